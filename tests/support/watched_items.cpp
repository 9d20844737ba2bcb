#include "watched_items.h"
#include "kxtest.h"
#include <initguid.h>
#include <mstask.h>

std::string TaskJobPath(const std::wstring& name)
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof(windows));
    return std::string(windows) + "\\Tasks\\" + std::string(name.begin(), name.end()) + ".job";
}

bool MakeWorkItem(const std::wstring& name, const std::string& program, const std::wstring& comment)
{
    ITaskScheduler* scheduler = nullptr;
    if (FAILED(CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                IID_ITaskScheduler, (void**)&scheduler)))
        return false;
    ITask* task = nullptr;
    HRESULT hr = scheduler->NewWorkItem(name.c_str(), CLSID_CTask, IID_ITask, (IUnknown**)&task);
    if (SUCCEEDED(hr)) {
        task->SetApplicationName(std::wstring(program.begin(), program.end()).c_str());
        task->SetComment(comment.c_str());
        IPersistFile* file = nullptr;
        hr = task->QueryInterface(IID_IPersistFile, (void**)&file);
        if (SUCCEEDED(hr)) {
            hr = file->Save(nullptr, TRUE);
            file->Release();
        }
        task->Release();
    }
    scheduler->Release();
    return SUCCEEDED(hr);
}

bool CreateFixtureService(const char* name, const char* display, DWORD startType,
                          const char* description)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager)
        return false;
    std::string path = "\"" + TestProgramFolder() + "\\kxfx_service.exe\"";
    SC_HANDLE service = CreateServiceA(manager, name, display, SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS, startType, SERVICE_ERROR_IGNORE,
                                       path.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    if (service && description) {
        SERVICE_DESCRIPTIONA text = {(char*)description};
        ChangeServiceConfig2A(service, SERVICE_CONFIG_DESCRIPTION, &text);
    }
    if (service)
        CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return service != nullptr;
}

DWORD WaitForServiceState(SC_HANDLE service, DWORD wanted)
{
    SERVICE_STATUS status = {};
    for (int i = 0; i < 100; i++) {
        if (!QueryServiceStatus(service, &status) || status.dwCurrentState == wanted)
            break;
        Sleep(50);
    }
    return status.dwCurrentState;
}

DWORD StartServiceAndWait(const char* name, DWORD wanted)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = manager ? OpenServiceA(manager, name, SERVICE_ALL_ACCESS) : nullptr;
    DWORD state = 0;
    if (service) {
        StartServiceA(service, 0, nullptr);
        state = WaitForServiceState(service, wanted);
        CloseServiceHandle(service);
    }
    if (manager)
        CloseServiceHandle(manager);
    return state;
}

void RemoveService(const char* name)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = manager ? OpenServiceA(manager, name, SERVICE_ALL_ACCESS) : nullptr;
    if (service) {
        SERVICE_STATUS status;
        ControlService(service, SERVICE_CONTROL_STOP, &status);
        WaitForServiceState(service, SERVICE_STOPPED);
        DeleteService(service);
        CloseServiceHandle(service);
    }
    if (manager)
        CloseServiceHandle(manager);
}
