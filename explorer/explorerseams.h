// Where the explorer's tests stand in for the system: the shell, the program information
// dialog and the sheet's modal loop.
#pragma once
#include <windows.h>

// Receives (verb, file, parameters) instead of the shell; verb "winexec" for command lines
// and "properties" for the properties sheet. nullptr restores the real calls.
typedef int (*ShellRunHook)(const char* verb, const char* file, const char* parameters);
void SetShellRunHook(ShellRunHook hook);
// Called instead of the modal information dialog (nullptr: the dialog).
typedef void (*ProgramInfoHook)(HWND owner, int index);
void SetProgramInfoHook(ProgramInfoHook hook);
// The sheet without the modal loop; its window.
HWND CreateModelessSheet(HWND owner, int request);
