// Changes to the machine's own startup entries from a manager without administrator rights:
// the action goes to a copy of the manager started elevated (Windows asks the user), which
// performs just that action and ends.
#pragma once
#include "entrylist.h"
#include <windows.h>
#include <string>

enum ElevatedVerb {
    ELEVATED_TOGGLE = 1,   // disable, or enable a disabled entry
    ELEVATED_REMOVE = 2,
};

// 1 when changing the entry writes where only administrators may (the machine's Run keys,
// the all-users Startup folder, Winlogon and the machine's hooks, win.ini, other users' keys)
// and this process holds no administrator's rights.
int NeedsElevation(const EntryRecord& r);
// The elevated copy's command-line parameters for the action on the entry.
std::string ElevatedParameters(int verb, const EntryRecord& r);
// Starts the elevated copy and waits for it. 1 when it did the action; 0 when it failed (the
// copy told the user why) or could not be started (told here); -1 when the user declined.
int RunElevated(HWND owner, int verb, const EntryRecord& r);
// In the copy: performs the action the command line names and sets *exitCode (0 done, 1
// failed, told to the user). 0 when the command line names no such action.
int RunElevatedSwitch(const char* commandLine, int* exitCode);

// Tests: called with the program file and the parameters in place of the elevated start;
// returns the copy's exit code, or -1 for a declined prompt. nullptr: the real start.
typedef int (*ElevatedRunner)(const char* file, const char* parameters);
void SetElevatedRunner(ElevatedRunner runner);

// The shield that tells a button's action asks for administrator rights.
void ShowShield(HWND button, int shown);
