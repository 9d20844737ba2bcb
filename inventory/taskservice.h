// Task Scheduler 2.0: the registered tasks of every folder of the task service (the XML tasks
// under "\" and "\Microsoft\..."), read through ITaskService.
#pragma once
#include <windows.h>
#include <taskschd.h>
#include <vector>

// Trigger kinds that start a task without a schedule: the autostart paths worth showing.
enum ServiceTaskTrigger { TRIGGER_AT_LOGON = 1, TRIGGER_AT_BOOT = 2 };

const int kMaxTaskActions = 4;

struct TaskExec {
    char program[260];
    char arguments[260];
};

struct ServiceTask {
    char path[260];   // "\Folder\Name"; a task of the root folder is "\Name"
    char name[128];
    int enabled;
    int running;
    int triggers;   // ServiceTaskTrigger bits
    TaskExec actions[kMaxTaskActions];   // the program-starting (exec) actions
    int actionCount;
    char author[128];
    char description[512];
    SYSTEMTIME nextRun;   // all zero when there is none or the service cannot tell
    SYSTEMTIME lastRun;
};

// Every task of every folder, folders walked depth-first from the root; the count, or a
// negative COM result when the service cannot be reached.
int ListServiceTasks(std::vector<ServiceTask>& out);

// True for a title that names a task of the task service (its path) rather than a version 1
// work item: only paths start with a backslash.
inline bool IsServiceTaskTitle(const char* title) { return title && title[0] == '\\'; }

// Called with the folder and the task that a lookup found.
typedef HRESULT (*ServiceTaskCallback)(ITaskFolder* folder, IRegisteredTask* task, void* arg);
// Calls action for the task whose path, cut to a list title, equals title (case-insensitive).
// The action's result; S_FALSE when no task matched; TYPE_E_AMBIGUOUSNAME when a title cut to
// the list's width names more than one task; the failure when the service cannot be reached.
HRESULT WithServiceTask(const char* title, ServiceTaskCallback action, void* arg);
// Reads the task that title names into out; S_OK, or S_FALSE when there is none.
HRESULT ReadServiceTask(const char* title, ServiceTask* out);

// A program and its arguments as one command line; the program quoted when it holds a blank.
void ActionCommandLine(const TaskExec& action, char* out, int capacity);
