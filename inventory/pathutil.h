// Command lines to program files: text helpers, program-file extraction, the
// program/argument split, RUNDLL32 lines, file existence with the Windows and
// System folder fall-backs, COM classes and application paths.
#pragma once
#include <windows.h>

// --- Text helpers; every output is bounded by its capacity. ---
void StripQuotes(const char* text, char* out, int capacity);   // out: up to 259 characters
void EnsureTrailingBackslash(char* path, int capacity);
void DropTrailingBackslash(char* path);                         // keeps "C:\"
int FileNameOffset(const char* path);                           // just after the last "\"
const char* FileNamePart(const char* path);
const char* SkipLeadingBlanks(const char* text);
void ReplaceChar(char* text, char from, char to);               // to == 0 removes
void KeySafeText(char* text);                                   // "=" becomes ":"
void FormatThousands(long long value, char* out, int capacity);

// Upper-case program file of a command line (at most 259 characters); the length.
int GetProgramFile(const char* command, char* out /*260*/);
// 1 when the command starts the monitor's own program file.
int IsOwnMonitorCommand(const char* command);
// Program part (long path form) and the arguments that follow it in the command.
void SplitProgram(const char* command, char* program /*260*/, char* args /*260*/);
// Text after "RUNDLL32.EXE "; 1 when the command was a RUNDLL32 line, else 0 and a copy.
int SplitRundll32(const char* command, char* out, int capacity);

// 1 when the file exists. A short name found only in the System folder is replaced
// by that file's short path.
int FileExists(char* path, int capacity);
// Folder holding the program ("C:\" kept); bare names are looked up in the Windows and
// System folders. 1 when a folder was found.
int FolderOfProgram(const char* path, char* out, int capacity);

// Display name and in-process server of a CLSID (with or without braces). Always 1. view:
// KEY_WOW64_32KEY for the classes registered for 32-bit programs.
int GetComClass(const char* clsid, char* name /*260*/, char* server /*260*/, REGSAM view = 0);
// App Paths registration of a file name: its ProductVersion and Path value when the
// registered file exists (1), else 0 with both empty.
int GetAppPath(const char* fileName, char* version /*128*/, char* folder /*260*/);
