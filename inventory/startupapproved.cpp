#include "startupapproved.h"
#include "entrylist.h"
#include "pathutil.h"
#include "registry.h"
#include <cstring>
#include <map>
#include <utility>
#include <vector>

static const char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The all-users Startup folder holds a startup-folder item whose switch is the machine's.
static bool InCommonStartup(const char* item)
{
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        char folder[MAX_PATH + 1];
        int n = GetRegValue(root, kShellFolders, "Common Startup", folder, sizeof(folder));
        if (n > 0 && _strnicmp(item, folder, n) == 0 && item[n] == '\\')
            return true;
    }
    return false;
}

bool StartupSwitchPlaceOf(const EntryRecord& entry, StartupSwitchPlace* place)
{
    const char* sub = nullptr;
    switch (entry.type) {
    case MACHINE_RUN: place->root = HKEY_LOCAL_MACHINE; sub = "\\Run"; break;
    case CURRENT_RUN: place->root = HKEY_CURRENT_USER; sub = "\\Run"; break;
    case MACHINE32_RUN: place->root = HKEY_LOCAL_MACHINE; sub = "\\Run32"; break;
    case GROUP_STARTUP: {
        const char* item = entry.source[0] ? entry.source : entry.command;
        if (!item[0])
            return false;
        place->root = InCommonStartup(item) ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        sub = "\\StartupFolder";
        place->name = FileNamePart(item);
        break;
    }
    default:
        return false;
    }
    place->key = std::string(STARTUP_APPROVED_KEY) + sub;
    if (entry.type != GROUP_STARTUP)
        place->name = entry.title;
    return true;
}

// Only binary data with a first byte counts; Windows writes 12 bytes (flag and FILETIME).
static int StateOfData(DWORD type, const BYTE* data, DWORD size)
{
    if (type != REG_BINARY || size == 0)
        return -1;
    return data[0] & 1;
}

// Every switch of one key, by upper-cased name: one sweep instead of a look-up per entry.
static std::map<std::string, int> ReadSwitches(HKEY root, const std::string& path)
{
    std::map<std::string, int> states;
    ForEachValue(root, path.c_str(), [&](const RegValueItem& value) {
        states[RegNameKey(value.name.c_str())] = StateOfData(
            value.type, (const BYTE*)value.data.data(), (DWORD)value.data.size());
    });
    return states;
}

void MarkSwitchedOffEntries(int first, int end)
{
    std::map<std::pair<HKEY, std::string>, std::map<std::string, int>> keys;
    for (int i = first; i < end && i < EntryCount(); i++) {
        EntryRecord* entry = g_entries.items[i];
        StartupSwitchPlace place;
        if (!StartupSwitchPlaceOf(*entry, &place))
            continue;
        auto where = std::make_pair(place.root, place.key);
        auto known = keys.find(where);
        if (known == keys.end())
            known = keys.emplace(where, ReadSwitches(place.root, place.key)).first;
        auto found = known->second.find(RegNameKey(place.name.c_str()));
        entry->offByWindows = found != known->second.end() && found->second == 1;
    }
}
