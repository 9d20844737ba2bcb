// Disabling, enabling, removing and restoring autostart entries.
#pragma once
#include <windows.h>

// Each program calls this first: from then on the startup inventory disables again a Run
// value that was disabled here and has been put back by someone.
void InstallEntryActions();

// Disable when the title is not in the DisabledIndex, enable (put back) when it is.
int DisableRunProgram(const char* title, const char* command, const char* source, int code);
// Removes an entry for good (Run keys, win.ini, startup folders, disabled copies).
int DeleteRunProgram(const char* title, const char* command, const char* source, int code);
// Winlogon values and registry hooks; asks first where the entry is a system hook.
int DeleteRegProgram(HWND owner, const char* title, const char* command, const char* source,
                     int code);
// Puts a removed or delayed entry back where it came from.
int RestoreEntry(const char* title, const char* command, const char* source, int code);
