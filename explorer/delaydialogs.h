// Dialogs of the Delayed Start page: the Startup Program Type question, the delay options
// of one program, and the add-program flow that uses both.
#pragma once
#include <windows.h>

// Dialog 199: 1 all users, 2 current user, 0 cancelled.
int AskStartupProgramType(HWND owner);
// Dialog 198 for the program's values under root; 1 when OK stored them.
int ShowDelayOptions(HWND owner, HKEY root, const char* program);
// Open-file dialog, then dialog 199; 1 when a program was added to the store.
int AddProgramToDelayedStart(HWND owner);
