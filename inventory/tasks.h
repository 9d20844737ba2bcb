// Scheduled tasks: the work items of the Task Scheduler 1.0 (the .job files), reached through
// its COM interfaces, and the steps that make sure the scheduler runs; the list adds the
// tasks of the Task Scheduler 2.0 (taskservice.h), titled by their paths.
#pragma once
#include <windows.h>
#include <mstask.h>
#include "entrylist.h"

// Set when this program started the scheduler itself and must stop it again (9x family).
extern int schedulerStartedHere;

// 0 when the scheduler runs or was started, else a Windows error code.
int EnsureScheduler();
// Ends the scheduler program that EnsureScheduler started.
void StopScheduler();
// 1 when the scheduler runs (nothing is started).
int SchedulerRunning();

// Tag bits of an entry for a task of the task service; a version 1 work item has tag 0.
enum TaskTag { TASK_TAG_SERVICE = 1, TASK_TAG_DISABLED = 2, TASK_TAG_AT_LOGON = 4,
               TASK_TAG_AT_BOOT = 8 };

// Clears the entry list and fills it with one TASK_SCHEDULED entry per work item, then one
// per task of the task service that is not one of those work items; the count, 0 when the
// scheduler cannot be made to run, a negative COM result when its object cannot be created.
int ListScheduledTasks();

// Width of a task's title in the list; a longer name is listed cut to it.
const int TASK_TITLE_WIDTH = sizeof(EntryRecord::title);
// A work item's or task's full name as the list titles it: in the ANSI code page, cut to the
// whole characters that fit. Lookups by title compare with this form.
void ListedTaskName(const WCHAR* name, char* out /*TASK_TITLE_WIDTH*/);

// True when the task of the task service at path is the work item titled v1Title: Windows
// shows the root folder's tasks to the version 1 interface too, named with ".job".
bool IsVersion1Twin(const char* path, const char* v1Title);

// "MM/DD/YYYY  h:mm AM|PM", or string 686 "Never" for the scheduler's empty time.
void FormatRunTime(const SYSTEMTIME& time, char* out, int capacity);

// Called with the scheduler and the enumerated name of the work item that a lookup found.
typedef HRESULT (*TaskItemAction)(ITaskScheduler* scheduler, const WCHAR* name, void* arg);
// The single-item pattern: makes sure the scheduler runs, waits for it, and calls action for
// the work item whose name equals name (case-insensitive; the ".job" of the file may be left
// out). The action's result; S_FALSE when no item matched; TYPE_E_AMBIGUOUSNAME when a title
// cut to the list's width matches more than one item; 0 when the scheduler cannot run.
HRESULT WithTaskItem(const char* name, TaskItemAction action, void* arg);
// Activates a work item by its enumerated name (Windows takes it as enumerated, Wine only
// without the ".job" of the file).
HRESULT ActivateTask(ITaskScheduler* scheduler, const WCHAR* name, ITask** task);

// Single properties of one work item or task of the task service (by its path); "" when not
// found. 0 or a COM result. A task's comment also names its programs, author and triggers.
HRESULT TaskComment(const char* name, char* out, int capacity);
HRESULT TaskStatusText(const char* name, char* out, int capacity);
HRESULT TaskNextRunTime(const char* name, char* out, int capacity);

// Tests: the wait before a single-item operation, in milliseconds (default 1000).
void SetTaskItemWait(DWORD ms);
