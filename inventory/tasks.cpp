#include "tasks.h"
#include "entrylist.h"
#include "filecheck.h"
#include "handles.h"
#include "platform.h"
#include "resstring.h"
#include "services.h"
#include "systemfiles.h"
#include "taskservice.h"
#include "textutil.h"
#include "trace.h"
#include "wholefile.h"
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

int schedulerStartedHere;

namespace {

const CLSID kClsidTaskScheduler = {0x148BD52A, 0xA2AB, 0x11CE,
                                   {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
const IID kIidTaskScheduler = {0x148BD527, 0xA2AB, 0x11CE,
                               {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
const IID kIidTask = {0x148BD524, 0xA2AB, 0x11CE,
                      {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};

const char kAgentClass[] = "SAGEWINDOWCLASS";
const char kAgentTitle[] = "SYSTEM AGENT COM WINDOW";

DWORD g_itemWait = 1000;

// Stops the scheduler again at the end of an operation when this program started it.
struct SchedulerScope {
    ~SchedulerScope()
    {
        if (schedulerStartedHere)
            StopScheduler();
    }
};

bool EndsWithJob(const WCHAR* name)
{
    size_t length = wcslen(name);
    return length > 4 && _wcsicmp(name + length - 4, L".job") == 0;
}

// The enumerated name matches the asked one as it is or without its ".job", each as the
// list titles it (ListedTaskName).
bool NameMatches(const WCHAR* enumerated, const char* asked)
{
    char name[TASK_TITLE_WIDTH];
    ListedTaskName(enumerated, name);
    if (lstrcmpiA(name, asked) == 0)
        return true;
    if (!EndsWithJob(enumerated))
        return false;
    std::wstring bare(enumerated, wcslen(enumerated) - 4);
    ListedTaskName(bare.c_str(), name);
    return lstrcmpiA(name, asked) == 0;
}

HRESULT CreateScheduler(ITaskScheduler** scheduler)
{
    return CoCreateInstance(kClsidTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, kIidTaskScheduler,
                            (void**)scheduler);
}

// Calls visit for every enumerated name, each batch of five from the last name to the first,
// until visit returns false. Names are freed here.
template <class Visit>
void ForEachWorkItem(ITaskScheduler* scheduler, Visit visit)
{
    ComPtr<IEnumWorkItems> items;
    if (FAILED(scheduler->Enum(items.out())) || !items)
        return;
    bool more = true;
    while (more) {
        LPWSTR* names = nullptr;
        ULONG fetched = 0;
        // Fewer than asked gives S_FALSE, which still carries names.
        HRESULT hr = items->Next(5, &names, &fetched);
        if (FAILED(hr) || fetched == 0 || !names)
            break;
        for (ULONG i = fetched; i-- > 0;) {
            if (more && names[i])
                more = visit(names[i]);
            CoTaskMemFree(names[i]);
        }
        CoTaskMemFree(names);
    }
}

void RunTimeText(HRESULT hr, const SYSTEMTIME& time, char* out, int capacity)
{
    SYSTEMTIME shown = time;
    if (FAILED(hr))
        memset(&shown, 0, sizeof(shown));
    FormatRunTime(shown, out, capacity);
}

}   // namespace

void SetTaskItemWait(DWORD ms) { g_itemWait = ms; }

int EnsureScheduler()
{
    schedulerStartedHere = 0;
    if (!IsWindowsNT()) {
        if (FindWindowA(kAgentClass, kAgentTitle))
            return 0;
        std::string program = SystemFilePath("mstask.exe");
        if (GetFileAttributesA(program.c_str()) == INVALID_FILE_ATTRIBUTES)
            return (int)GetLastError();
        const char* path = program.c_str();
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessA(path, nullptr, nullptr, nullptr, FALSE,
                            CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &si,
                            &pi))
            return (int)GetLastError();
        schedulerStartedHere = 1;
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        return 0;
    }
    // Asked with query rights, which every user has; start rights, which a standard user
    // lacks, only for a service that is stopped.
    ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    ScHandle service(manager ? OpenServiceA(manager.get(), "Schedule",
                                            SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG)
                             : nullptr);
    SERVICE_STATUS status;
    if (!service || !QueryServiceStatus(service.get(), &status))
        return (int)GetLastError();
    if (status.dwCurrentState == SERVICE_RUNNING ||
        status.dwCurrentState == SERVICE_START_PENDING)
        return 0;
    // A service switched off is not to be started: its start rights are not even asked for.
    DWORD needed = 0;
    QueryServiceConfigA(service.get(), nullptr, 0, &needed);
    std::vector<BYTE> config(needed ? needed : 1);
    if (needed && QueryServiceConfigA(service.get(), (QUERY_SERVICE_CONFIGA*)config.data(), needed,
                                      &needed) &&
        ((QUERY_SERVICE_CONFIGA*)config.data())->dwStartType == SERVICE_DISABLED)
        return ERROR_SERVICE_DISABLED;
    ScHandle starter(OpenServiceA(manager.get(), "Schedule", SERVICE_START));
    if (!starter)
        return (int)GetLastError();
    if (StartServiceA(starter.get(), 0, nullptr) ||
        GetLastError() == ERROR_SERVICE_ALREADY_RUNNING)
        return 0;
    return (int)GetLastError();
}

void StopScheduler()
{
    schedulerStartedHere = 0;
    HWND agent = FindWindowA(kAgentClass, kAgentTitle);
    if (!agent)
        return;
    DWORD processId = 0;
    GetWindowThreadProcessId(agent, &processId);
    Handle process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, processId));
    if (process) {
        DWORD code = 0;
        GetExitCodeProcess(process.get(), &code);
        TerminateProcess(process.get(), code);
    }
    if (HWND tray = FindWindowA("Shell_TrayWnd", nullptr))
        InvalidateRect(tray, nullptr, TRUE);
}

int SchedulerRunning()
{
    if (!IsWindowsNT())
        return FindWindowA(kAgentClass, kAgentTitle) != nullptr;
    ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    ScHandle service(manager ? OpenServiceA(manager.get(), "Schedule", SERVICE_QUERY_STATUS)
                             : nullptr);
    SERVICE_STATUS status;
    return service && QueryServiceStatus(service.get(), &status) &&
           status.dwCurrentState == SERVICE_RUNNING;
}

void FormatRunTime(const SYSTEMTIME& time, char* out, int capacity)
{
    if (time.wYear + time.wMonth + time.wDay == 0) {
        if (!LoadResString(686, out, capacity))
            lstrcpynA(out, "Never", capacity);
        return;
    }
    unsigned hour = time.wHour % 12 ? time.wHour % 12 : 12;
    snprintf(out, capacity, "%02u/%02u/%04u  %u:%02u %s", time.wMonth, time.wDay, time.wYear,
             hour, time.wMinute, time.wHour < 12 ? "AM" : "PM");
}

// The work item's file in the Tasks folder, with its ".job".
std::string JobFilePath(const WCHAR* name)
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof(windows));
    std::string path = std::string(windows) + "\\Tasks\\" + NarrowAll(name);
    if (!EndsWithJob(name))
        path += ".job";
    return path;
}

HRESULT ActivateTask(ITaskScheduler* scheduler, const WCHAR* name, ITask** task)
{
    *task = nullptr;
    // The system's work-item reader trusts the sizes inside the file; a damaged one can crash it.
    // A file that cannot be opened here is left to the reader, which fails on it as well.
    std::string bytes;
    if (ReadWholeFile(JobFilePath(name).c_str(), &bytes) && !JobBytesSound(bytes))
        return SCHED_E_UNKNOWN_OBJECT_VERSION;
    HRESULT hr = scheduler->Activate(name, kIidTask, (IUnknown**)task);
    if (SUCCEEDED(hr) || !EndsWithJob(name))
        return hr;
    WCHAR bare[260];
    lstrcpynW(bare, name, (int)(wcslen(name) - 4 + 1 < 260 ? wcslen(name) - 4 + 1 : 260));
    return scheduler->Activate(bare, kIidTask, (IUnknown**)task);
}

bool IsVersion1Twin(const char* path, const char* v1Title)
{
    if (!IsServiceTaskTitle(path) || strchr(path + 1, '\\'))
        return false;
    // The work item is titled by its file name, with or without ".job", cut as the list cuts.
    std::string name = path + 1;
    char listed[TASK_TITLE_WIDTH];
    CutText((name + ".job").c_str(), listed, sizeof(listed));
    if (lstrcmpiA(listed, v1Title) == 0)
        return true;
    CutText(name.c_str(), listed, sizeof(listed));
    return lstrcmpiA(listed, v1Title) == 0;
}

void ListedTaskName(const WCHAR* name, char* out) { NarrowText(name, out, TASK_TITLE_WIDTH); }

namespace {

int ServiceTaskTag(const ServiceTask& task)
{
    return TASK_TAG_SERVICE | (task.enabled ? 0 : TASK_TAG_DISABLED) |
           (task.triggers & TRIGGER_AT_LOGON ? TASK_TAG_AT_LOGON : 0) |
           (task.triggers & TRIGGER_AT_BOOT ? TASK_TAG_AT_BOOT : 0);
}

// The tasks of the task service after the first version1Count entries, the work items.
void AddServiceTaskEntries(int version1Count)
{
    std::vector<ServiceTask> tasks;
    ListServiceTasks(tasks);
    for (const ServiceTask& task : tasks) {
        bool twin = false;
        for (int i = 0; i < version1Count && !twin; i++)
            twin = IsVersion1Twin(task.path, GetEntry(i)->title);
        if (twin)
            continue;
        char title[TASK_TITLE_WIDTH], nextRun[64], lastRun[64];
        CutText(task.path, title, sizeof(title));
        FormatRunTime(task.nextRun, nextRun, sizeof(nextRun));
        FormatRunTime(task.lastRun, lastRun, sizeof(lastRun));
        AddEntry(title, task.actionCount ? task.actions[0].program : "", nextRun, lastRun,
                 TASK_SCHEDULED, ServiceTaskTag(task));
    }
}

}   // namespace

int ListScheduledTasks()
{
    ClearEntries();
    Trace("ListScheduledTasks", "tasks");
    if (EnsureScheduler() != 0)
        return 0;
    SchedulerScope stopAfter;
    Sleep(10);
    ComScope com;
    ComPtr<ITaskScheduler> scheduler;
    HRESULT hr = CreateScheduler(scheduler.out());
    if (FAILED(hr))
        return (int)hr;
    ForEachWorkItem(scheduler.get(), [&](const WCHAR* name) {
        ComPtr<ITask> task;
        if (FAILED(ActivateTask(scheduler.get(), name, task.out())) || !task)
            return true;   // an item that cannot be read is passed over
        char title[TASK_TITLE_WIDTH], application[260] = "", nextRun[64], lastRun[64];
        ListedTaskName(name, title);
        LPWSTR app = nullptr;
        if (SUCCEEDED(task->GetApplicationName(&app)) && app)
            NarrowText(app, application, sizeof(application));
        CoTaskMemFree(app);
        SYSTEMTIME time = {};
        hr = task->GetMostRecentRunTime(&time);
        RunTimeText(hr, time, lastRun, sizeof(lastRun));
        memset(&time, 0, sizeof(time));
        hr = task->GetNextRunTime(&time);
        RunTimeText(hr, time, nextRun, sizeof(nextRun));
        AddEntry(title, application, nextRun, lastRun, TASK_SCHEDULED, 0);
        return true;
    });
    AddServiceTaskEntries(EntryCount());
    return EntryCount();
}

HRESULT WithTaskItem(const char* name, TaskItemAction action, void* arg)
{
    if (!name || EnsureScheduler() != 0)
        return 0;
    SchedulerScope stopAfter;
    Sleep(g_itemWait);
    ComScope com;
    ComPtr<ITaskScheduler> scheduler;
    HRESULT hr = CreateScheduler(scheduler.out());
    if (FAILED(hr))
        return hr;
    // A title as long as the list shows them may be the cut name of more than one item:
    // then none is acted on.
    if (lstrlenA(name) >= TASK_TITLE_WIDTH - 8) {
        int matches = 0;
        ForEachWorkItem(scheduler.get(), [&](const WCHAR* enumerated) {
            matches += NameMatches(enumerated, name);
            return true;
        });
        if (matches > 1)
            return TYPE_E_AMBIGUOUSNAME;
    }
    HRESULT result = S_FALSE;
    ForEachWorkItem(scheduler.get(), [&](const WCHAR* enumerated) {
        if (!NameMatches(enumerated, name))
            return true;
        result = action(scheduler.get(), enumerated, arg);
        return false;
    });
    return result;
}

namespace {

struct TextOut {
    char* text;
    int capacity;
};

HRESULT ReadComment(ITaskScheduler* scheduler, const WCHAR* name, void* arg)
{
    TextOut* out = (TextOut*)arg;
    ComPtr<ITask> task;
    HRESULT hr = ActivateTask(scheduler, name, task.out());
    if (FAILED(hr))
        return hr;
    LPWSTR comment = nullptr;
    hr = task->GetComment(&comment);
    if (SUCCEEDED(hr))
        NarrowText(comment, out->text, out->capacity);
    CoTaskMemFree(comment);
    return hr;
}

HRESULT ReadStatus(ITaskScheduler* scheduler, const WCHAR* name, void* arg)
{
    TextOut* out = (TextOut*)arg;
    ComPtr<ITask> task;
    HRESULT hr = ActivateTask(scheduler, name, task.out());
    if (FAILED(hr))
        return hr;
    HRESULT status = 0;
    hr = task->GetStatus(&status);
    if (FAILED(hr))
        return hr;
    UINT id = status == SCHED_S_TASK_RUNNING         ? 689
              : status == SCHED_S_TASK_NOT_SCHEDULED ? 690
                                                     : 688;
    LoadResString(id, out->text, out->capacity);
    return hr;
}

HRESULT ReadNextRun(ITaskScheduler* scheduler, const WCHAR* name, void* arg)
{
    TextOut* out = (TextOut*)arg;
    ComPtr<ITask> task;
    HRESULT hr = ActivateTask(scheduler, name, task.out());
    if (FAILED(hr))
        return hr;
    SYSTEMTIME time = {};
    hr = task->GetNextRunTime(&time);
    RunTimeText(hr, time, out->text, out->capacity);
    return hr;
}

void AppendLine(std::string& text, const std::string& line)
{
    if (line.empty())
        return;
    if (!text.empty())
        text += "\r\n";
    text += line;
}

std::string ResText(UINT id)
{
    char text[256] = "";
    LoadResString(id, text, sizeof(text));
    return text;
}

// Description, one line per program it starts, author and the triggers worth knowing.
std::string ServiceTaskComment(const ServiceTask& task)
{
    std::string text;
    AppendLine(text, task.description);
    for (int i = 0; i < task.actionCount; i++) {
        char line[600];
        ActionCommandLine(task.actions[i], line, sizeof(line));
        AppendLine(text, line);
    }
    if (task.author[0]) {
        AppendLine(text, FillText(ResText(1420).c_str(), {task.author}));
    }
    if (task.triggers & TRIGGER_AT_LOGON)
        AppendLine(text, ResText(1421));
    if (task.triggers & TRIGGER_AT_BOOT)
        AppendLine(text, ResText(1422));
    return text;
}

enum ServiceText { TEXT_COMMENT, TEXT_STATUS, TEXT_NEXT_RUN };

HRESULT ReadServiceText(const char* title, ServiceText which, char* out, int capacity)
{
    if (capacity <= 0)
        return 0;
    out[0] = 0;
    ServiceTask task;
    HRESULT hr = ReadServiceTask(title, &task);
    if (hr != S_OK)
        return hr == S_FALSE ? 0 : hr;
    switch (which) {
    case TEXT_COMMENT: lstrcpynA(out, ServiceTaskComment(task).c_str(), capacity); break;
    case TEXT_STATUS: LoadResString(task.running ? 689 : task.enabled ? 688 : 1423, out, capacity); break;
    case TEXT_NEXT_RUN: FormatRunTime(task.nextRun, out, capacity); break;
    }
    return S_OK;
}

HRESULT ReadOne(const char* name, TaskItemAction action, char* out, int capacity)
{
    if (capacity <= 0)
        return 0;
    out[0] = 0;
    TextOut text = {out, capacity};
    HRESULT hr = WithTaskItem(name, action, &text);
    return hr == S_FALSE ? 0 : hr;
}

}   // namespace

HRESULT TaskComment(const char* name, char* out, int capacity)
{
    if (IsServiceTaskTitle(name))
        return ReadServiceText(name, TEXT_COMMENT, out, capacity);
    return ReadOne(name, ReadComment, out, capacity);
}

HRESULT TaskStatusText(const char* name, char* out, int capacity)
{
    if (IsServiceTaskTitle(name))
        return ReadServiceText(name, TEXT_STATUS, out, capacity);
    return ReadOne(name, ReadStatus, out, capacity);
}

HRESULT TaskNextRunTime(const char* name, char* out, int capacity)
{
    if (IsServiceTaskTitle(name))
        return ReadServiceText(name, TEXT_NEXT_RUN, out, capacity);
    return ReadOne(name, ReadNextRun, out, capacity);
}
