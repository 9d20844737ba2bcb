// Removing and disabling a scheduled task: the work item or the task of the task service
// goes (or stops running); the program it would start stays.
#pragma once
#include <windows.h>

// Deletes the work item whose name equals name (case-insensitive, ".job" optional), or the
// task of the task service whose path is name; S_OK when deleted, S_FALSE when no item has
// that name, 0 when the scheduler cannot run, else the scheduler's failure.
HRESULT RemoveScheduledTask(const char* name);

// Enables or disables the task of the task service whose path is name (case-insensitive);
// S_OK when it is in that state afterwards, S_FALSE when there is no such task, E_NOTIMPL
// for a version 1 work item, else the service's failure.
HRESULT SetScheduledTaskEnabled(const char* name, int enabled);
