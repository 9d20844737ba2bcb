// Dialogs of the Delayed Start page: the Startup Program Type question, the delay options
// of one program, and the add-program flow that uses both.
#pragma once
#include <windows.h>

// Dialog 199: 1 all users, 2 current user, 0 cancelled.
int AskStartupProgramType(HWND owner);
// What dialog 198 chose; the caller stores it (StoreDelayOptions), elevated where it must.
struct DelayOptionValues {
    int seconds, openAs;
    char parameters[257], title[257];
};
// Dialog 198 for the program's values under root; 1 when OK filled values.
int ShowDelayOptions(HWND owner, HKEY root, const char* program, DelayOptionValues* values);
// Open-file dialog, then dialog 199; 1 when a program was added to the store.
int AddProgramToDelayedStart(HWND owner);
