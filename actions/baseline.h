// The baseline: known-entry lists (HKCU Software\Orvane\Kestrix\Run, IEHelpers, Tasks, Services,
// Hidden) and first-seen dates (HKCU Software\Orvane\Detected\<category>).
#pragma once
#include "firstseen.h"

// The name a program file is dated under: its upper-case program file; the length.
int ProgramKey(const char* command, char* out /*260*/);

// 1 when a date was already recorded for the command's program, else 0 (records it now
// when the program file exists). The subkey is a full path under HKCU or the name of a
// subkey of Software\Orvane\Detected.
int RecordFirstSeen(const char* command, const char* detectedSubkey);
// Once per machine: creates Software\Orvane\Detected and dates every present program.
void MakeBaseline();
// Fills each of the Run, IEHelpers and Tasks lists that holds nothing yet with the present
// state; a list that holds decisions is left as it is.
void InitRegStartups();
// First run and upgrades: initial values plus the monitor's own autostart value.
void CreateInitialValues();
// "Cleanup Run Registry": the Run, IEHelpers and Tasks lists forget what is no longer there;
// they keep what they knew and learn nothing (what they do not know is asked about).
void RebuildLists();
void InitServicesList();
void InitHiddenList();
// Dates every running task under Detected\ActiveTasks.
void RecordRunningTasks();
// The start-up order both programs follow: first run, baseline, services and hidden-files
// lists, then the categories an earlier build did not guard (addedcategories.h). The version
// check runs later, after the program's other start-up steps.
void StartBaseline();
void CheckDataVersion();

// Held by a program's start from its first baseline step to the version check: the present
// state is read once, at the beginning when this is a first start, and every step uses that
// one reading. Whatever arrives later is not in it and so is asked about.
struct StartSnapshotScope {
    StartSnapshotScope();
    ~StartSnapshotScope();
    StartSnapshotScope(const StartSnapshotScope&) = delete;
    StartSnapshotScope& operator=(const StartSnapshotScope&) = delete;
};
