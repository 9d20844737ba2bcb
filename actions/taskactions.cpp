#include "taskactions.h"
#include "handles.h"
#include "tasks.h"
#include "taskservice.h"
#include <cwchar>

namespace {

HRESULT DeleteItem(ITaskScheduler* scheduler, const WCHAR* name, void*)
{
    HRESULT hr = scheduler->Delete(name);
    size_t length = wcslen(name);
    if (SUCCEEDED(hr) || length <= 4 || length >= 260 || _wcsicmp(name + length - 4, L".job") != 0)
        return hr;
    // Wine names its items by file but deletes them by task name.
    WCHAR bare[260];
    lstrcpynW(bare, name, (int)(length - 4 + 1));
    return scheduler->Delete(bare);
}

HRESULT DeleteServiceTask(ITaskFolder* folder, IRegisteredTask* task, void*)
{
    Bstr name;
    HRESULT hr = task->get_Name(name.out());
    return FAILED(hr) ? hr : folder->DeleteTask(name.get(), 0);
}

bool IsEnabled(ITaskFolder* folder, BSTR name, VARIANT_BOOL* enabled)
{
    ComPtr<IRegisteredTask> fresh;
    return SUCCEEDED(folder->GetTask(name, fresh.out())) && fresh &&
           SUCCEEDED(fresh->get_Enabled(enabled));
}

// The task registered again with its own definition, its settings switched: what put_Enabled
// does on Windows, for a service that accepts put_Enabled without acting on it (Wine's).
HRESULT RegisterSwitched(ITaskFolder* folder, IRegisteredTask* task, BSTR name,
                         VARIANT_BOOL wanted)
{
    ComPtr<ITaskDefinition> definition;
    ComPtr<ITaskSettings> settings;
    HRESULT hr = task->get_Definition(definition.out());
    if (SUCCEEDED(hr))
        hr = definition->get_Settings(settings.out());
    if (SUCCEEDED(hr))
        hr = settings->put_Enabled(wanted);
    if (FAILED(hr))
        return hr;
    TASK_LOGON_TYPE logon = TASK_LOGON_INTERACTIVE_TOKEN;
    ComPtr<IPrincipal> principal;
    if (SUCCEEDED(definition->get_Principal(principal.out())) && principal &&
        FAILED(principal->get_LogonType(&logon)))
        logon = TASK_LOGON_INTERACTIVE_TOKEN;
    Variant none;
    ComPtr<IRegisteredTask> updated;
    return folder->RegisterTaskDefinition(name, definition.get(), TASK_UPDATE, none.get(),
                                          none.get(), logon, none.get(), updated.out());
}

HRESULT SwitchServiceTask(ITaskFolder* folder, IRegisteredTask* task, void* arg)
{
    VARIANT_BOOL wanted = *(int*)arg ? VARIANT_TRUE : VARIANT_FALSE;
    Bstr name;
    HRESULT hr = task->get_Name(name.out());
    if (FAILED(hr))
        return hr;
    hr = task->put_Enabled(wanted);
    if (FAILED(hr))
        return hr;
    VARIANT_BOOL now = wanted;
    if (IsEnabled(folder, name.get(), &now) && now == wanted)
        return S_OK;
    hr = RegisterSwitched(folder, task, name.get(), wanted);
    if (FAILED(hr))
        return hr;
    return IsEnabled(folder, name.get(), &now) && now == wanted ? S_OK : E_FAIL;
}

}   // namespace

HRESULT RemoveScheduledTask(const char* name)
{
    if (IsServiceTaskTitle(name))
        return EnsureScheduler() != 0 ? 0 : WithServiceTask(name, DeleteServiceTask, nullptr);
    return WithTaskItem(name, DeleteItem, nullptr);
}

HRESULT SetScheduledTaskEnabled(const char* name, int enabled)
{
    if (!IsServiceTaskTitle(name))
        return E_NOTIMPL;
    return WithServiceTask(name, SwitchServiceTask, &enabled);
}
