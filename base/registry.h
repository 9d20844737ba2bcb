// Registry access layer: every registry value the programs read or write goes through it.
// Results are 1/0 or a length; failures are silent apart from trace records.
#pragma once
#include <windows.h>
#include <string>
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

// 1 when the value exists, whatever its type or data (an empty text too).
int RegValueExists(HKEY root, const char* path, const char* name);

// A value name as the registry compares names: upper-cased.
std::string RegNameKey(const char* name);

// Every value of a key as GetRegValue(root, path, name, buf, capacity) would read it, in one
// sweep, by RegNameKey: for callers that would otherwise ask thousands of names one by one.
// Values GetRegValue reads as missing are left out.
typedef std::unordered_map<std::string, std::string> RegTextMap;
RegTextMap ReadRegTexts(HKEY root, const char* path, int capacity);

// What tells a key's values apart between two reads without reading them: its last-write time
// and value count. Not settled (written 0) when they cannot be read or the write lies within
// the last two seconds, where the clock's step may not tell a later write apart: a caller
// keeps what it read only under a settled stamp and reads again on any other.
struct KeyStamp {
    ULONGLONG written = 0;
    DWORD values = 0;
};
KeyStamp SettledKeyStamp(HKEY key);
inline bool SameSettledStamp(const KeyStamp& now, const KeyStamp& kept)
{
    return now.written != 0 && now.written == kept.written && now.values == kept.values;
}
// Tests: the clock SettledKeyStamp compares with (FILETIME units); nullptr for the system's.
void SetRegistryClockSeam(ULONGLONG (*now)());
