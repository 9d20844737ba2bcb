// Changes to what belongs to the whole machine from a manager without administrator rights:
// the action goes to a copy of the manager started elevated (Windows asks the user), which
// performs just that action and ends. Every page asks here, so that the buttons and menu items
// that will ask for rights carry the shield.
#pragma once
#include "entrylist.h"
#include <windows.h>
#include <string>

// What the elevated copy is asked to do with the entry it is given.
enum ElevatedVerb {
    ELEVATED_TOGGLE = 1,            // a startup entry disabled, or a disabled one enabled
    ELEVATED_REMOVE = 2,            // a startup entry removed
    ELEVATED_ADDON_REMOVE = 3,      // the add-ons whose server is the command
    ELEVATED_TASK_REMOVE = 4,       // the scheduled task named by the title
    ELEVATED_TASK_ENABLE = 5,
    ELEVATED_TASK_DISABLE = 6,
    ELEVATED_UNHIDE = 7,            // the hidden file the command names
    ELEVATED_HIDDEN_DELETE = 8,     // the hidden file into the vault
    ELEVATED_DELETE_AT_RESTART = 9, // the file the command names, at the next restart
    ELEVATED_SERVICE_START = 10,    // the service keyed by the source gets start type r.type
    ELEVATED_SERVICE_STOP = 11,
    ELEVATED_RESTORE_ENTRY = 12,    // a removed startup entry put back from the history
    ELEVATED_HIDDEN_RESTORE = 13,   // a condemned file back from the vault (the source names it)
    ELEVATED_REREGISTER = 14,       // the add-on server the command names registered again
    // The delayed programs: the command is the program; where the entry's tag matters, the
    // type carries it as code + DELAY_TAG_STEP * tag.
    ELEVATED_DELAY_DROP = 15,       // the program's values out of the machine's store
    ELEVATED_DELAY_RESTORE = 16,    // back into its startup place, then out of the store
    ELEVATED_DELAY_OPTIONS = 17,    // type seconds * 4 + window state, source parameters
    ELEVATED_DELAY_ADD = 18,        // a program the user picked, delayed for all users
    // The process id in the type, ended only while its image is the command.
    ELEVATED_TERMINATE = 19,
    ELEVATED_DELAY_MOVE = 20,       // a startup entry to delayed start (its tag in the type)
};
const int DELAY_TAG_STEP = 1000;

// 1 when the verb on the entry writes where only administrators may (the machine's Run keys,
// the all-users Startup folder, Winlogon and the machine's hooks, win.ini, other users' keys,
// the machine's add-ons, tasks, services, system folders, the restart's rename list) and this
// process holds no administrator's rights.
int NeedsElevationFor(int verb, const EntryRecord& r);
// The same for a startup entry's toggle or removal.
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
// returns the copy's exit code, -1 for a declined prompt, or ELEVATED_NOT_STARTED with the
// last error set when no copy could be started. nullptr: the real start.
const int ELEVATED_NOT_STARTED = -2;
typedef int (*ElevatedRunner)(const char* file, const char* parameters);
void SetElevatedRunner(ElevatedRunner runner);

// The shield that tells a button's action asks for administrator rights.
void ShowShield(HWND button, int shown);
// The same on a menu item: the shield picture beside it, or "(administrator)" after its text
// where the system has no such picture.
void MarkMenuShield(HMENU menu, int command);
