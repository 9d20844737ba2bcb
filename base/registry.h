// Registry access layer: every registry value the programs read or write goes through it.
// Results are 1/0 or a length; failures are silent apart from trace records.
#pragma once
#include <windows.h>
#include "handles.h"
#include <functional>
#include <string>
#include <type_traits>
#include <unordered_map>

// Read buffer used by GetRegValue: longer values read as missing.
const int REG_READ_BUFFER = 1024;

// view: 0 for the program's own registry view, or KEY_WOW64_32KEY / KEY_WOW64_64KEY for the
// keys that 64-bit Windows keeps apart for 32-bit programs (HKLM\Software).
int CreateRegKey(HKEY root, const char* path, REGSAM view = 0);
// Text of a REG_SZ / REG_EXPAND_SZ value (expanded) into buf; returns its length.
// Missing, unreadable or longer than capacity - 1: 0 and an empty buffer.
int GetRegValue(HKEY root, const char* path, const char* name, char* buf, int capacity,
                REGSAM view = 0);
int SetRegValue(HKEY root, const char* path, const char* name, const char* text);
int SetRegNumber(HKEY root, const char* path, const char* name, DWORD number);
// The first two bytes of the data as a 16-bit number; 0 when missing.
int GetRegNumber(HKEY root, const char* path, const char* name);
int DeleteRegValue(HKEY root, const char* path, const char* name, REGSAM view = 0);

// Tests: make every write through this layer under one root fail, as for a user
// without rights to it. nullptr lifts the block.
void SetRegistryWriteBlock(HKEY root);
int IsRegistryWriteBlocked(HKEY root);

// A value's type and every byte of its data, however long (a value that grows between the
// size query and the read is read again). False when missing or unreadable.
bool ReadRegBytes(HKEY root, const char* path, const char* name, REGSAM view, DWORD* type,
                  std::string* data);

// 1 when the value exists, whatever its type or data (an empty text too).
int RegValueExists(HKEY root, const char* path, const char* name);

// A value name as the registry compares names: upper-cased.
std::string RegNameKey(const char* name);

// Every value of a key as GetRegValue(root, path, name, buf, capacity) would read it, in one
// sweep, by RegNameKey: for callers that would otherwise ask thousands of names one by one.
// Values GetRegValue reads as missing are left out.
typedef std::unordered_map<std::string, std::string> RegTextMap;
RegTextMap ReadRegTexts(HKEY root, const char* path, int capacity);

// Walks over a key's subkeys or values in index order. Every name and every byte of data is
// read however long it is (the buffers grow on ERROR_MORE_DATA), so that no entry slips past
// a walk by a long name or long data. A visit may return false to end the walk early (or
// return nothing to go on to the end).
enum RegWalkEnd {
    REG_WALK_DONE,      // every item visited; also a key that is missing or cannot be opened
    REG_WALK_STOPPED,   // a visit ended the walk
    REG_WALK_FAILED,    // an item could not be read and was passed over
};

// A value as a walk reads it. name holds the whole name and data every byte as stored (both
// may hold zero bytes; their c_str() ends at the first). text() is the data up to its first
// zero byte, as a REG_SZ reads.
struct RegValueItem {
    std::string name;
    DWORD type = REG_NONE;
    std::string data;
    const char* text() const { return data.c_str(); }
};

RegWalkEnd WalkSubkeys(HKEY key, const std::function<bool(const std::string&)>& visit);
// As WalkSubkeys, with each subkey's last-write time (FILETIME units) as the walk reads it.
RegWalkEnd WalkSubkeysWritten(HKEY key,
                              const std::function<bool(const std::string&, ULONGLONG)>& visit);
RegWalkEnd WalkValueNames(HKEY key, const std::function<bool(const std::string&)>& visit);
RegWalkEnd WalkValues(HKEY key, const std::function<bool(const RegValueItem&)>& visit);

namespace regwalk {
// A visit that returns nothing goes on to the end.
template <class Visitor, class Item>
bool Visit(Visitor& visit, const Item& item)
{
    if constexpr (std::is_void_v<decltype(visit(item))>) {
        visit(item);
        return true;
    } else {
        return visit(item);
    }
}
}   // namespace regwalk

// Each subkey name: visit(const std::string& name).
template <class Visit>
RegWalkEnd ForEachSubkey(HKEY key, Visit visit)
{
    return WalkSubkeys(key, [&](const std::string& name) { return regwalk::Visit(visit, name); });
}
// Each value name: visit(const std::string& name).
template <class Visit>
RegWalkEnd ForEachValueName(HKEY key, Visit visit)
{
    return WalkValueNames(key,
                          [&](const std::string& name) { return regwalk::Visit(visit, name); });
}
// Each value with its type and data: visit(const RegValueItem& value).
template <class Visit>
RegWalkEnd ForEachValue(HKEY key, Visit visit)
{
    return WalkValues(key, [&](const RegValueItem& value) { return regwalk::Visit(visit, value); });
}
// Each REG_SZ and REG_EXPAND_SZ value (not expanded): visit(const RegValueItem& value).
template <class Visit>
RegWalkEnd ForEachTextValue(HKEY key, Visit visit)
{
    return WalkValues(key, [&](const RegValueItem& value) {
        return (value.type != REG_SZ && value.type != REG_EXPAND_SZ) ||
               regwalk::Visit(visit, value);
    });
}

// The same under root and path, in a registry view (0 for the program's own).
template <class Visit>
RegWalkEnd ForEachSubkey(HKEY root, const char* path, Visit visit, REGSAM view = 0)
{
    RegKey key;
    return key.open(root, path, KEY_READ | view) ? ForEachSubkey(key.get(), visit) : REG_WALK_DONE;
}
template <class Visit>
RegWalkEnd ForEachValueName(HKEY root, const char* path, Visit visit, REGSAM view = 0)
{
    RegKey key;
    return key.open(root, path, KEY_READ | view) ? ForEachValueName(key.get(), visit)
                                                 : REG_WALK_DONE;
}
template <class Visit>
RegWalkEnd ForEachValue(HKEY root, const char* path, Visit visit, REGSAM view = 0)
{
    RegKey key;
    return key.open(root, path, KEY_READ | view) ? ForEachValue(key.get(), visit) : REG_WALK_DONE;
}
template <class Visit>
RegWalkEnd ForEachTextValue(HKEY root, const char* path, Visit visit, REGSAM view = 0)
{
    RegKey key;
    return key.open(root, path, KEY_READ | view) ? ForEachTextValue(key.get(), visit)
                                                 : REG_WALK_DONE;
}

// What tells a key's values apart between two reads without reading them: its last-write time
// and value count. Not settled (written 0) when they cannot be read or the write lies within
// the last two seconds, where the clock's step may not tell a later write apart: a caller
// keeps what it read only under a settled stamp and reads again on any other.
struct KeyStamp {
    ULONGLONG written = 0;
    DWORD values = 0;
};
KeyStamp SettledKeyStamp(HKEY key);
// True when a last-write time (FILETIME units) lies more than those two seconds back.
bool IsSettledWrite(ULONGLONG written);
inline bool SameSettledStamp(const KeyStamp& now, const KeyStamp& kept)
{
    return now.written != 0 && now.written == kept.written && now.values == kept.values;
}
// Tests: the clock SettledKeyStamp compares with (FILETIME units); nullptr for the system's.
void SetRegistryClockSeam(ULONGLONG (*now)());
