// Delayed start: startup programs taken out of Windows' own startup and launched by the
// monitor some seconds after it starts. The store lives under HKLM (all users) and HKCU
// (current user) in Software\Orvane\Kestrix\Delay and its subkeys, each value named by
// the program file.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "entrylist.h"
#include "keys.h"

// Subkeys of the store, each below KX_DELAY_KEY.
#define KX_DELAY_TITLE_KEY KX_DELAY_KEY "\\Title"
#define KX_DELAY_TIME_KEY KX_DELAY_KEY "\\Time"
#define KX_DELAY_PARAMETERS_KEY KX_DELAY_KEY "\\Parameters"
#define KX_DELAY_SHORTCUTS_KEY KX_DELAY_KEY "\\Shortcuts"
#define KX_DELAY_APPLET_KEY KX_DELAY_KEY "\\Applet"
#define KX_DELAY_OPENAS_KEY KX_DELAY_KEY "\\OpenAs"

// The known-startup mark of a program moved to delayed start.
const int DELAY_MARK = 1103;
// A delayed program is approved by a value named by its program (the store's value name) in
// HKCU KX_DELAY_APPROVED_KEY; Kestrix writes it before it stores a program and deletes it with
// the program's delay values, and the schedule starts only approved programs. A store entry
// without it was written by someone else: the startup check asks about it.
#define KX_DELAY_APPROVED_KEY KX_KEY "\\DelayApproved"
int IsApprovedDelayed(const char* program);
void ApproveDelayed(const char* program);
// The store's programs (machine's first) that are not approved: their root and value name.
struct StoredDelay {
    HKEY root;
    std::string program;
};
std::vector<StoredDelay> UnapprovedDelayedPrograms();
// The delay a newly delayed program gets, in seconds.
const int DEFAULT_DELAY_SECONDS = 30;

// Root of a location code: up to 10 the machine, else the current user.
HKEY DelayRootForCode(int code);
// Root of a list entry's tag (0 machine, 1 current user).
HKEY DelayRootForTag(int tag);

// Fills the entry list with the delayed programs, machine first; returns the count.
int ListDelayedPrograms();

// Moves one startup entry to delayed start, asking where the Part says so.
// 1 moved, 0 skipped (refused, cancelled or not stored), -1 the whole command must stop.
int MoveToDelayedStart(HWND owner, const char* title, const char* command, const char* source,
                       int code, int tag);

// A program picked by the user: delay code 1 under HKLM (allUsers) or 11 under HKCU.
// 0 without a change when the program is delayed there already.
int AddDelayedProgram(const char* program, int allUsers);
// 1 when the store under root holds a record for the program. There is one record per
// program file and root, so a second entry of the same program is refused (string 1131).
int IsDelayedProgram(HKEY root, const char* program);

// Starts file with parameters in the window state stored for storeName under root
// (ShellExecuteExA, then WinExec of the file alone). 1 when either call started it.
int LaunchProgram(HWND owner, HKEY root, const char* storeName, const char* file,
                  const char* parameters);
// The fallback start: the program alone, quoted so that blanks in its path cannot start
// a different program. 1 when started.
int LaunchWithWinExec(const char* program, int show);
// Starts a delayed program as the monitor would: with its stored parameters, through its
// applet when it has one. The explorer's Launch button.
int LaunchDelayedProgram(HWND owner, HKEY root, const char* program);

// Deletes every value of the program from the store under root.
int DeleteDelayValues(HKEY root, const char* program);

// The command line that puts a delayed program back into its startup location.
void BuildRestoreCommand(const char* program, const char* parameters, const char* applet,
                         int code, char* out, int capacity);

// Remove button for list entry index: asks string 1134. 1 done, 0 nothing done,
// -1 cancelled (the caller stops its loop).
int RestoreDelayedEntry(HWND owner, int index);
// Its question alone: IDYES back into Windows startup, IDNO dropped, IDCANCEL.
int AskDelayedRemoval(HWND owner);
// Puts list entry index back into Windows startup without asking; 1 on success.
int RestoreDelayedProgram(int index);
// The same for a record of the list (its tag names the store), where no list is kept.
int RestoreDelayedRecord(const EntryRecord& entry);
// The Delay Start Options of a program under root; 1 only when every value was stored.
int StoreDelayOptions(HKEY root, const char* program, int seconds, int openAs,
                      const char* parameters, const char* title);
// "-Restore" and the options page: every delayed program back; returns the count restored.
int RestoreAllDelayed();

// The monitor's timed launch. Begin lists the delayed programs once at start-up and
// returns their number; Step is called on every sixth timer tick with the tick count and
// runs one launch pass. Step returns 1 while programs remain to be handled, 0 once the
// schedule has ended.
int DelayedStartBegin(HWND owner, DWORD nowMs);
int DelayedStartStep(DWORD nowMs);
// State of the schedule, for the monitor's trace and tests.
int DelayedStartHandled();
int DelayedStartStepSeconds();
