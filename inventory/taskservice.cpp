#include "taskservice.h"
#include "handles.h"
#include "textutil.h"
#include "trace.h"
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

namespace {

// Deeper folders than this are not walked: the store is a tree, but a loop must not hang us.
const int kMaxFolderDepth = 32;

typedef std::function<bool(ITaskFolder*, IRegisteredTask*)> TaskVisit;

HRESULT ConnectRoot(ComPtr<ITaskService>& service, ComPtr<ITaskFolder>& root)
{
    HRESULT hr = CoCreateInstance(__uuidof(TaskScheduler), nullptr, CLSCTX_INPROC_SERVER,
                                  __uuidof(ITaskService), service.outVoid());
    if (FAILED(hr))
        return hr;
    Variant local;   // empty: this machine, the current user
    hr = service->Connect(local.get(), local.get(), local.get(), local.get());
    if (FAILED(hr))
        return hr;
    Bstr rootPath(L"\\");
    return service->GetFolder(rootPath.get(), root.out());
}

// The tasks of one folder from the task store's own folder of the same path. Wine's service
// cannot count or index a folder's task collection (E_NOTIMPL), yet opens each task by name.
bool VisitStoredTasks(ITaskFolder* folder, const TaskVisit& visit)
{
    Bstr path;
    if (FAILED(folder->get_Path(path.out())))
        return true;
    wchar_t windows[MAX_PATH];
    if (!GetWindowsDirectoryW(windows, MAX_PATH))
        return true;
    std::wstring pattern = std::wstring(windows) + L"\\System32\\Tasks";
    if (wcscmp(path.text(), L"\\") != 0)
        pattern += path.text();
    pattern += L"\\*";
    WIN32_FIND_DATAW found;
    FindHandle find(FindFirstFileW(pattern.c_str(), &found));
    if (!find)
        return true;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        Bstr name(found.cFileName);
        ComPtr<IRegisteredTask> task;
        if (SUCCEEDED(folder->GetTask(name.get(), task.out())) && task &&
            !visit(folder, task.get()))
            return false;
    } while (FindNextFileW(find.get(), &found));
    return true;
}

// Visits the tasks of one folder, hidden ones too; false when visit asked to stop.
bool VisitTasks(ITaskFolder* folder, const TaskVisit& visit)
{
    ComPtr<IRegisteredTaskCollection> tasks;
    LONG count = 0;
    if (FAILED(folder->GetTasks(TASK_ENUM_HIDDEN, tasks.out())) || !tasks)
        return true;
    HRESULT hr = tasks->get_Count(&count);
    if (hr == E_NOTIMPL)
        return VisitStoredTasks(folder, visit);
    for (LONG i = 1; SUCCEEDED(hr) && i <= count; i++) {
        Variant index(i);
        ComPtr<IRegisteredTask> task;
        if (SUCCEEDED(tasks->get_Item(index.get(), task.out())) && task &&
            !visit(folder, task.get()))
            return false;
    }
    return true;
}

bool WalkFolder(ITaskFolder* folder, const TaskVisit& visit, int depth)
{
    if (!VisitTasks(folder, visit))
        return false;
    ComPtr<ITaskFolderCollection> folders;
    LONG count = 0;
    if (depth >= kMaxFolderDepth || FAILED(folder->GetFolders(0, folders.out())) || !folders ||
        FAILED(folders->get_Count(&count)))
        return true;
    for (LONG i = 1; i <= count; i++) {
        Variant index(i);
        ComPtr<ITaskFolder> sub;
        if (SUCCEEDED(folders->get_Item(index.get(), sub.out())) && sub &&
            !WalkFolder(sub.get(), visit, depth + 1))
            return false;
    }
    return true;
}

// Every task of the service; the failure when the service cannot be reached.
HRESULT WalkAllTasks(const TaskVisit& visit)
{
    ComPtr<ITaskService> service;
    ComPtr<ITaskFolder> root;
    HRESULT hr = ConnectRoot(service, root);
    if (FAILED(hr))
        return hr;
    WalkFolder(root.get(), visit, 0);
    return S_OK;
}

// A run time of the service; zero when it has none. The service gives local time.
void RunTime(HRESULT hr, DATE date, SYSTEMTIME& out)
{
    memset(&out, 0, sizeof(out));
    if (hr != S_OK || date <= 0 || !VariantTimeToSystemTime(date, &out))
        memset(&out, 0, sizeof(out));
}

void ReadActions(ITaskDefinition* definition, ServiceTask& out)
{
    ComPtr<IActionCollection> actions;
    LONG count = 0;
    if (FAILED(definition->get_Actions(actions.out())) || !actions ||
        FAILED(actions->get_Count(&count)))
        return;
    for (LONG i = 1; i <= count && out.actionCount < kMaxTaskActions; i++) {
        ComPtr<IAction> action;
        ComPtr<IExecAction> exec;
        // COM-handler, e-mail and message actions start no program of their own.
        if (FAILED(actions->get_Item(i, action.out())) || !action ||
            FAILED(action->QueryInterface(__uuidof(IExecAction), exec.outVoid())) || !exec)
            continue;
        TaskExec& slot = out.actions[out.actionCount++];
        Bstr text;
        if (SUCCEEDED(exec->get_Path(text.out())))
            NarrowText(text.get(), slot.program, sizeof(slot.program));
        if (SUCCEEDED(exec->get_Arguments(text.out())))
            NarrowText(text.get(), slot.arguments, sizeof(slot.arguments));
    }
}

void ReadTriggers(ITaskDefinition* definition, ServiceTask& out)
{
    ComPtr<ITriggerCollection> triggers;
    LONG count = 0;
    if (FAILED(definition->get_Triggers(triggers.out())) || !triggers ||
        FAILED(triggers->get_Count(&count)))
        return;
    for (LONG i = 1; i <= count; i++) {
        ComPtr<ITrigger> trigger;
        TASK_TRIGGER_TYPE2 type;
        if (FAILED(triggers->get_Item(i, trigger.out())) || !trigger ||
            FAILED(trigger->get_Type(&type)))
            continue;
        if (type == TASK_TRIGGER_LOGON)
            out.triggers |= TRIGGER_AT_LOGON;
        else if (type == TASK_TRIGGER_BOOT)
            out.triggers |= TRIGGER_AT_BOOT;
    }
}

void ReadDefinition(IRegisteredTask* task, ServiceTask& out)
{
    ComPtr<ITaskDefinition> definition;
    if (FAILED(task->get_Definition(definition.out())) || !definition)
        return;
    ComPtr<IRegistrationInfo> registration;
    if (SUCCEEDED(definition->get_RegistrationInfo(registration.out())) && registration) {
        Bstr text;
        if (SUCCEEDED(registration->get_Author(text.out())))
            NarrowText(text.get(), out.author, sizeof(out.author));
        if (SUCCEEDED(registration->get_Description(text.out())))
            NarrowText(text.get(), out.description, sizeof(out.description));
    }
    ReadActions(definition.get(), out);
    ReadTriggers(definition.get(), out);
}

void ReadTask(IRegisteredTask* task, ServiceTask& out)
{
    memset(&out, 0, sizeof(out));
    Bstr text;
    if (SUCCEEDED(task->get_Path(text.out())))
        NarrowText(text.get(), out.path, sizeof(out.path));
    if (SUCCEEDED(task->get_Name(text.out())))
        NarrowText(text.get(), out.name, sizeof(out.name));
    VARIANT_BOOL enabled = VARIANT_TRUE;
    out.enabled = FAILED(task->get_Enabled(&enabled)) || enabled != VARIANT_FALSE;
    TASK_STATE state = TASK_STATE_UNKNOWN;
    out.running = SUCCEEDED(task->get_State(&state)) && state == TASK_STATE_RUNNING;
    DATE date = 0;
    HRESULT hr = task->get_NextRunTime(&date);
    RunTime(hr, date, out.nextRun);
    date = 0;
    // A task that never ran answers SCHED_S_TASK_HAS_NOT_RUN, a success without a time.
    hr = task->get_LastRunTime(&date);
    RunTime(hr, date, out.lastRun);
    ReadDefinition(task, out);
}

// The path as the list holds it: converted and cut to the whole characters that fit the
// width of a title (128).
bool TitleMatches(IRegisteredTask* task, const char* title)
{
    Bstr path;
    if (FAILED(task->get_Path(path.out())))
        return false;
    char listed[128];
    NarrowText(path.text(), listed, sizeof(listed));
    return lstrcmpiA(listed, title) == 0;
}

// Tasks whose listed title is this one: more than one only for a title cut to the width.
int CountTitled(const char* title)
{
    int count = 0;
    WalkAllTasks([&](ITaskFolder*, IRegisteredTask* task) {
        count += TitleMatches(task, title);
        return true;
    });
    return count;
}

}   // namespace

int ListServiceTasks(std::vector<ServiceTask>& out)
{
    Trace("ListServiceTasks", "taskservice");
    out.clear();
    ComScope com;
    HRESULT hr = WalkAllTasks([&](ITaskFolder*, IRegisteredTask* task) {
        out.emplace_back();
        ReadTask(task, out.back());
        return true;
    });
    return FAILED(hr) ? (int)hr : (int)out.size();
}

HRESULT WithServiceTask(const char* title, ServiceTaskCallback action, void* arg)
{
    if (!IsServiceTaskTitle(title))
        return S_FALSE;
    ComScope com;
    if (lstrlenA(title) >= 120 && CountTitled(title) > 1)
        return TYPE_E_AMBIGUOUSNAME;
    HRESULT result = S_FALSE;
    HRESULT hr = WalkAllTasks([&](ITaskFolder* folder, IRegisteredTask* task) {
        if (!TitleMatches(task, title))
            return true;
        result = action(folder, task, arg);
        return false;
    });
    return FAILED(hr) ? hr : result;
}

HRESULT ReadServiceTask(const char* title, ServiceTask* out)
{
    memset(out, 0, sizeof(*out));
    return WithServiceTask(
        title,
        [](ITaskFolder*, IRegisteredTask* task, void* arg) {
            ReadTask(task, *(ServiceTask*)arg);
            return S_OK;
        },
        out);
}

void ActionCommandLine(const TaskExec& action, char* out, int capacity)
{
    const char* quote = strchr(action.program, ' ') && action.program[0] != '"' ? "\"" : "";
    snprintf(out, capacity, "%s%s%s%s%s", quote, action.program, quote,
             action.arguments[0] ? " " : "", action.arguments);
}
