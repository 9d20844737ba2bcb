// Flipping Windows' own startup switch of an entry, as Task Manager's Startup page does.
#pragma once
#include <windows.h>

struct EntryRecord;

// on = 1 lets Windows start the entry again, 0 keeps it from starting; the entry stays where
// it is. An entry switched on here becomes known, so the monitor takes it without an alert.
// 1 when written; 0 when Windows keeps no switch for such an entry or the write failed.
int SetWindowsStartupSwitch(const EntryRecord& entry, int on);
