// Removing a scheduled task: the work item goes; the program it would start stays.
#pragma once
#include <windows.h>

// Deletes the work item whose name equals name (case-insensitive, ".job" optional);
// S_OK when deleted, S_FALSE when no item has that name, 0 when the scheduler cannot
// run, else the scheduler's failure.
HRESULT RemoveScheduledTask(const char* name);
