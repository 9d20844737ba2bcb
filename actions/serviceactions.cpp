#include "serviceactions.h"
#include "browsersettings.h"
#include "handles.h"
#include "keytext.h"
#include "registry.h"
#include "services.h"
#include "trace.h"
#include "writefault.h"
#include <cstdio>

int SendServiceControl(const char* displayName, DWORD control)
{
    char keyName[256];
    if (!ServiceKeyName(displayName, keyName))
        return 0;
    ScHandle manager(OpenSCManagerA(nullptr, nullptr, GENERIC_READ));
    ScHandle service(manager ? OpenServiceA(manager.get(), keyName, SERVICE_ALL_ACCESS) : nullptr);
    if (!service)
        return 0;
    SERVICE_STATUS status;
    return ControlService(service.get(), control, &status) ? 1 : 0;
}

// Key of the service whose registry "DisplayName" is the name; for names the inventory
// resolved (indirect texts) or took from the key, the manager's own lookup decides.
static int FindServiceKey(const char* displayName, char* keyName /*256*/)
{
    RegKey root;
    if (root.open(HKEY_LOCAL_MACHINE, KX_SERVICES_ROOT, KEY_READ)) {
        for (DWORD index = 0;; index++) {
            DWORD length = 256;
            LONG status = RegEnumKeyExA(root.get(), index, keyName, &length, nullptr, nullptr,
                                        nullptr, nullptr);
            if (status == ERROR_NO_MORE_ITEMS)
                break;
            if (status != ERROR_SUCCESS || !keyName[0])
                continue;
            RegKey key;
            char image[2], name[260];
            if (!key.open(root.get(), keyName, KEY_READ))
                continue;
            // A one-character buffer is enough to know the path is not empty.
            DWORD size = sizeof(image);
            LONG found = RegQueryValueExA(key.get(), "ImagePath", nullptr, nullptr, nullptr, &size);
            if (found != ERROR_SUCCESS || size <= 1)
                continue;
            if (ReadKeyText(key.get(), "DisplayName", name, sizeof(name)) &&
                lstrcmpiA(name, displayName) == 0)
                return 1;
        }
    }
    return ServiceKeyName(displayName, keyName);
}

int SetServiceStartType(const char* displayName, DWORD start)
{
    char keyName[256];
    if (!displayName || !displayName[0] || !FindServiceKey(displayName, keyName))
        return 0;
    // The manager keeps its own copy of the start type; telling it makes the change hold
    // now and not only after the next restart.
    ScHandle manager(OpenSCManagerA(nullptr, nullptr, GENERIC_READ));
    ScHandle service(manager ? OpenServiceA(manager.get(), keyName, SERVICE_CHANGE_CONFIG)
                             : nullptr);
    char path[400];
    snprintf(path, sizeof(path), KX_SERVICES_ROOT "\\%s", keyName);
    DWORD was = 0;
    int known = ReadRegDword(HKEY_LOCAL_MACHINE, path, "Start", &was);
    // A manager that refuses the change leaves the service as it was: the registry is not
    // written either, so the two never disagree.
    if (service && (WriteStepFails() ||
                    !ChangeServiceConfigA(service.get(), SERVICE_NO_CHANGE, start,
                                          SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr,
                                          nullptr, nullptr, nullptr))) {
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
