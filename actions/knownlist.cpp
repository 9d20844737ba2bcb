#include "knownlist.h"
#include "handles.h"
#include "pathutil.h"
#include "registry.h"
#include <windows.h>

void AddKnownValue(KnownValues* list, const char* name, const char* text)
{
    auto found = list->byName.emplace(RegNameKey(name), list->values.size());
    if (found.second)
        list->values.push_back({name, text});
    else
        list->values[found.first->second].text = text;
}

void StartupKeyName(const char* command, char* out)
{
    lstrcpynA(out, command, 260);
    KeySafeText(out);
}

namespace {

struct StoredValue {
    DWORD type;
    std::string data;   // every byte as stored
};
typedef std::unordered_map<std::string, StoredValue> StoredValues;   // by exact name

// Every value of an open key, read in one sweep; false when some could not be read (those
// are missing from stored).
bool ReadStoredValues(HKEY key, StoredValues* stored)
{
    DWORD count = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    stored->reserve(count);
    return ForEachValue(key, [&](const RegValueItem& value) {
               (*stored)[value.name] = {value.type, value.data};
           }) == REG_WALK_DONE;
}

// The bytes a text is written as: REG_SZ with its terminator.
bool Holds(const StoredValues& stored, const KnownValues::Value& value)
{
    auto found = stored.find(value.name);
    return found != stored.end() && found->second.type == REG_SZ &&
           found->second.data.size() == value.text.size() + 1 &&
           found->second.data.compare(0, value.text.size(), value.text) == 0 &&
           found->second.data.back() == 0;
}

}   // namespace

void WriteKnownValues(const char* listKey, const KnownValues& list)
{
    if (IsRegistryWriteBlocked(HKEY_CURRENT_USER))
        return;
    RegKey key;
    if (!key.open(HKEY_CURRENT_USER, listKey, KEY_READ | KEY_SET_VALUE) &&
        !(CreateRegKey(HKEY_CURRENT_USER, listKey) &&
          key.open(HKEY_CURRENT_USER, listKey, KEY_READ | KEY_SET_VALUE)))
        return;
    // A value that could not be read is written again.
    StoredValues stored;
    ReadStoredValues(key.get(), &stored);
    for (const KnownValues::Value& value : list.values)
        if (!Holds(stored, value))
            RegSetValueExA(key.get(), value.name.c_str(), 0, REG_SZ, (const BYTE*)value.text.c_str(),
                           (DWORD)value.text.size() + 1);
}

int KnownListHolds(const char* listKey, const KnownValues& list)
{
    RegKey key;
    DWORD subkeys = 0;
    if (!key.open(HKEY_CURRENT_USER, listKey, KEY_READ) ||
        RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
        subkeys != 0)
        return 0;
    StoredValues stored;
    if (!ReadStoredValues(key.get(), &stored) || stored.size() != list.values.size())
        return 0;
    for (const KnownValues::Value& value : list.values)
        if (!Holds(stored, value))
            return 0;
    return 1;
}
