#include "serviceactions.h"
#include "browsersettings.h"
#include "handles.h"
#include "keytext.h"
#include "registry.h"
#include "services.h"
#include "trace.h"
#include "writefault.h"
#include <cstdio>
#include <cstring>

int SendServiceControl(const char* keyName, DWORD control)
{
    if (!keyName || !keyName[0])
        return 0;
    // The one right the control needs.
    DWORD access = control == SERVICE_CONTROL_STOP              ? SERVICE_STOP
                   : control == SERVICE_CONTROL_PAUSE ||
                           control == SERVICE_CONTROL_CONTINUE ? SERVICE_PAUSE_CONTINUE
                   : control == SERVICE_CONTROL_INTERROGATE    ? SERVICE_INTERROGATE
                                                               : SERVICE_USER_DEFINED_CONTROL;
    ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    ScHandle service(manager ? OpenServiceA(manager.get(), keyName, access) : nullptr);
    if (!service)
        return 0;
    SERVICE_STATUS status;
    return ControlService(service.get(), control, &status) ? 1 : 0;
}

// 1 when the services root has a subkey of that name with a program (a non-empty ImagePath).
static int IsServiceKey(const char* keyName)
{
    if (!keyName || !keyName[0] || strchr(keyName, '\\'))
        return 0;
    char path[400], image[2];
    snprintf(path, sizeof(path), KX_SERVICES_ROOT "\\%s", keyName);
    RegKey key;
    DWORD size = sizeof(image);
    // A one-character buffer is enough to know the path is not empty.
    LONG found = key.open(HKEY_LOCAL_MACHINE, path, KEY_READ)
                     ? RegQueryValueExA(key.get(), "ImagePath", nullptr, nullptr, nullptr, &size)
                     : ERROR_FILE_NOT_FOUND;
    return found == ERROR_SUCCESS && size > 1;
}

int SetServiceStartType(const char* keyName, DWORD start)
{
    if (!IsServiceKey(keyName))
        return 0;
    // The manager keeps its own copy of the start type; telling it makes the change hold
    // now and not only after the next restart.
    ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    ScHandle service(manager ? OpenServiceA(manager.get(), keyName, SERVICE_CHANGE_CONFIG)
                             : nullptr);
    if (!service && GetLastError() == ERROR_ACCESS_DENIED) {
        // Without the right to change it, the registry is not written behind its back.
        NoteWriteRefusal(ERROR_ACCESS_DENIED);
        return 0;
    }
    char path[400];
    snprintf(path, sizeof(path), KX_SERVICES_ROOT "\\%s", keyName);
    DWORD was = 0;
    int known = ReadRegDword(HKEY_LOCAL_MACHINE, path, "Start", &was);
    // A manager that refuses the change leaves the service as it was: the registry is not
    // written either, so the two never disagree.
    if (service && (WriteStepFailsIn(PLACE_HKLM) ||
                    !ChangeServiceConfigA(service.get(), SERVICE_NO_CHANGE, start,
                                          SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr,
                                          nullptr, nullptr, nullptr))) {
        NoteWriteRefusal(GetLastError());
        Trace("ERROR ChangeServiceConfig", keyName);
        return 0;
    }
    if (!SetRegNumber(HKEY_LOCAL_MACHINE, path, "Start", start)) {
        Trace("ERROR SetServiceStartType", keyName);
        // The manager's copy goes back too: the service is wholly as it was.
        if (service && known && was <= SERVICE_DISABLED)
            ChangeServiceConfigA(service.get(), SERVICE_NO_CHANGE, was, SERVICE_NO_CHANGE,
                                 nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        return 0;
    }
    return 1;
}
