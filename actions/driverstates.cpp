#include "driverstates.h"
#include "entrylist.h"
#include "handles.h"
#include "history.h"
#include "keytext.h"
#include "registry.h"
#include "serviceactions.h"
#include "services.h"
#include <windows.h>
#include <cstdio>
#include <cstdlib>

namespace {

std::string ServiceKeyPath(const char* keyName)
{
    return std::string(KX_SERVICES_ROOT "\\") + keyName;
}

// A key name that a history line (tab-separated) and one registry path carry unchanged.
bool PlainKeyName(const char* keyName)
{
    if (!keyName || !keyName[0])
        return false;
    for (const char* p = keyName; *p; p++)
        if ((unsigned char)*p < 0x20 || *p == '\\')
            return false;
    return true;
}

// Start and ImagePath of a state text.
void SplitState(const std::string& state, int* start, std::string* image)
{
    size_t bar = state.find('|');
    *start = atoi(state.substr(0, bar).c_str());
    *image = bar == std::string::npos ? std::string() : state.substr(bar + 1);
}

}   // namespace

int ReadDriverStart(const char* keyName)
{
    RegKey key;
    if (!PlainKeyName(keyName) ||
        !key.open(HKEY_LOCAL_MACHINE, ServiceKeyPath(keyName).c_str(), KEY_READ))
        return -1;
    DWORD data = 0, size = sizeof(data), type = 0;
    if (RegQueryValueExA(key.get(), "Start", nullptr, &type, (BYTE*)&data, &size) !=
            ERROR_SUCCESS || type != REG_DWORD || size != sizeof(data) || data > 0x7FFFFFFF)
        return -1;
    return (int)data;
}

std::string DriverStateText(const char* keyName)
{
    RegKey key;
    if (!PlainKeyName(keyName) ||
        !key.open(HKEY_LOCAL_MACHINE, ServiceKeyPath(keyName).c_str(), KEY_READ))
        return std::string();
    char image[1024] = "";
    ReadKeyText(key.get(), "ImagePath", image, sizeof(image));
    return std::to_string(ReadDriverStart(keyName)) + "|" + image;
}

int RememberDriverState(const char* keyName)
{
    std::string state = DriverStateText(keyName);
    return !state.empty() && SetRegValue(HKEY_CURRENT_USER, KX_DRIVER_STATES_KEY, keyName,
                                         state.c_str());
}

int DriverStateKnown(const char* keyName)
{
    return PlainKeyName(keyName) &&
           RegValueExists(HKEY_CURRENT_USER, KX_DRIVER_STATES_KEY, keyName);
}

int DriverStateChanged(const char* keyName)
{
    char known[REG_READ_BUFFER] = "";
    if (!DriverStateKnown(keyName) ||
        GetRegValue(HKEY_CURRENT_USER, KX_DRIVER_STATES_KEY, keyName, known, sizeof(known)) <= 0)
        return 0;
    int knownStart = 0, nowStart = 0;
    std::string knownImage, nowImage;
    SplitState(known, &knownStart, &knownImage);
    SplitState(DriverStateText(keyName), &nowStart, &nowImage);
    if (lstrcmpiA(knownImage.c_str(), nowImage.c_str()) != 0)
        return 1;
    return nowStart != knownStart && nowStart != SERVICE_DISABLED;
}

int RefuseDriver(const char* title, const char* command, const char* keyName, int previousStart)
{
    if (!PlainKeyName(keyName))
        return 0;
    if (ReadDriverStart(keyName) != SERVICE_DISABLED &&
        !SetServiceStartType(keyName, SERVICE_DISABLED))
        return 0;
    // Only a start type the system knows is put back: a driver that had none, or was disabled
    // already, gets a line that offers no restore.
    if (previousStart >= SERVICE_BOOT_START && previousStart < SERVICE_DISABLED) {
        char source[300];
        snprintf(source, sizeof(source), "%d %s", previousStart, keyName);
        WriteHistoryLine(title, command, source, DRIVER_SERVICE, ACT_DRIVER_DISABLED);
    } else {
        WriteHistoryLine(title, command, "", DRIVER_SERVICE, ACT_SERVICE_DISABLED);
    }
    RememberDriverState(keyName);
    return 1;
}

int RestoreDriverStart(const char* source)
{
    if (!source || source[0] < '0' || source[0] > '3' || source[1] != ' ')
        return 0;
    int start = source[0] - '0';
    const char* keyName = source + 2;
    if (!PlainKeyName(keyName) || !SetServiceStartType(keyName, (DWORD)start))
        return 0;
    RememberDriverState(keyName);
    return 1;
}
