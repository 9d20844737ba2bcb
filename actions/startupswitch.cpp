#include "startupswitch.h"
#include "entrylist.h"
#include "handles.h"
#include "keys.h"
#include "knownlist.h"
#include "registry.h"
#include "startupapproved.h"
#include <cstdio>
#include <cstring>

int SetWindowsStartupSwitch(const EntryRecord& entry, int on)
{
    StartupSwitchPlace place;
    if (!StartupSwitchPlaceOf(entry, &place) || IsRegistryWriteBlocked(place.root))
        return 0;
    // Windows' layout: a flag (even on, odd off) and, when switched off, the time of it.
    BYTE data[12] = {};
    data[0] = on ? 2 : 3;
    if (!on) {
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        memcpy(data + 4, &now, sizeof(now));
    }
    RegKey key;
    if (RegCreateKeyExA(place.root, place.key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        key.out(), nullptr) != ERROR_SUCCESS ||
        RegSetValueExA(key.get(), place.name.c_str(), 0, REG_BINARY, data, sizeof(data)) !=
            ERROR_SUCCESS)
        return 0;
    if (on) {
        char name[260], code[16];
        StartupKeyName(entry.command, name);
        snprintf(code, sizeof(code), "%d", entry.type);
        SetRegValue(HKEY_CURRENT_USER, KX_KEY "\\Run", name[0] ? name : entry.title, code);
    }
    return 1;
}
