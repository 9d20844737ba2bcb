// What the entry actions share: registry text kept exactly as it was (type and unexpanded
// text), the store of disabled copies with its index, and the known-startup list.
#pragma once
#include <windows.h>
#include <string>

struct RawText {
    DWORD type = REG_SZ;
    std::string text;
};

// A REG_SZ or REG_EXPAND_SZ value as it is; false when missing or of another type.
bool ReadRawText(HKEY root, const char* path, const char* name, RawText* out, REGSAM view = 0);
int WriteRawText(HKEY root, const char* path, const char* name, const RawText& value,
                 REGSAM view = 0);

// The known-startup value of a command (under root), so that the monitor raises no alert.
void WriteKnownStartup(HKEY root, const char* command, int code);
void DeleteKnownStartup(const char* name);

// The DisabledIndex value of a title, beside the copies of its location (DisabledStoreRoot),
// or under root.
int WriteIndex(const char* title, int code);
int WriteIndexAt(HKEY root, const char* title, int code);
// Stores the disabled copy and its index value; on failure nothing of it stays behind.
int StoreDisabledCopy(const char* title, const RawText& value, int code);
// The title's disabled entry is the one of this location, not a namesake from another.
bool DisabledHere(const char* title, int code);
void ForgetDisabledCopy(const char* title, int code);
