// Snapshots of the machine's file-type classes (HKLM\Software\Classes), kept in the machine's
// data folder: putting one back writes a class every user's programs open with, so the
// snapshot lives where only administrators write, never in a key any program of the user
// may rewrite first.
#pragma once
#include <string>

// The class and open command recorded for an extension (".EXT"); 0 when none is.
int ReadClassSnapshot(const char* extensionWithDot, std::string* className, std::string* command);
// Records them, replacing an older record of the extension; 0 (nothing changed, the refusal
// noted) when the file cannot be written.
int WriteClassSnapshot(const char* extensionWithDot, const std::string& className,
                       const std::string& command);
// Forgets the extension's record; 1 when none is left.
int ForgetClassSnapshot(const char* extensionWithDot);
