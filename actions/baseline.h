// The baseline: known-entry lists (HKCU Software\Orvane\Kestrix\Run, IEHelpers, Tasks, Services,
// Hidden) and first-seen dates (HKCU Software\Orvane\Detected\<category>).
#pragma once
#include "firstseen.h"

// The name a program file is dated under: its upper-case program file; the length.
int ProgramKey(const char* command, char* out /*260*/);
// The value name of a command in the known startup list: "=" becomes ":".
void StartupKeyName(const char* command, char* out /*260*/);

// 1 when a date was already recorded for the command's program, else 0 (records it now
// when the program file exists). The subkey is a full path under HKCU or the name of a
// subkey of Software\Orvane\Detected.
int RecordFirstSeen(const char* command, const char* detectedSubkey);
// Once per machine: creates Software\Orvane\Detected and dates every present program.
void MakeBaseline();
// Adds the present state to the known lists (never removes).
void InitRegStartups();
// First run and upgrades: initial values plus the monitor's own autostart value.
void CreateInitialValues();
// "Cleanup Run Registry": the Run, IEHelpers and Tasks lists replaced by the present state.
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
