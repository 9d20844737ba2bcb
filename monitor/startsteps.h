// Start-up and schedule steps the monitor calls whose work lives with other inventories.
// Steps that are not plugged in yet return at once.
#pragma once

// "Get Initial Values", before anything slow: the approved copies of the automatic-update
// setting (0 when the machine has none), the address prefix and the start, search and desktop
// pages, each taken when none exists yet. Taken at start, not at a first check, so that a
// change in the first minute is asked about like any other.
void CopyAutoUpdateSetting();
void TakeSettingBaselines();
// "Get Initial Values": the watched-system-file records when missing.
void CreateSysFileRecords();
// "Get Initial Values": the file-type snapshot when missing.
void CreateFileTypeSnapshot();

// Delayed start: programs in the list at start, and one launch step for a delay in
// seconds; returns the number of programs it handled.
int CountDelayedPrograms();
int LaunchDelayedPrograms(int delaySeconds);
void SetDelayedLauncher(int (*launcher)(int delaySeconds));   // tests

// The cookie-filter word list, freed after every pass and at exit.
void FreeCookieFilterList();
// The alerts' repeat counter and last-alerted program, cleared by the start command.
void ResetAlertMemory();
// Command 6034: the wininit.ini restart commands in a dialog.
void ShowRestartCommands();
