#include "taskactions.h"
#include "tasks.h"
#include <cwchar>

static HRESULT DeleteItem(ITaskScheduler* scheduler, const WCHAR* name, void*)
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

HRESULT RemoveScheduledTask(const char* name) { return WithTaskItem(name, DeleteItem, nullptr); }
