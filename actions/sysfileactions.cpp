#include "sysfileactions.h"
#include "keys.h"
#include "registry.h"
#include "sysfiles.h"
#include "writefault.h"
#include <windows.h>
#include <cstdio>
#include <string>

namespace {

std::string RecordKey(const char* name) { return std::string(KX_SYSFILES_KEY "\\") + name; }

// Copies with both files' read-only attribute lifted for the copy and put back after.
int CopyKeepingReadOnly(const char* from, const char* to)
{
    DWORD fromAttributes = GetFileAttributesA(from), toAttributes = GetFileAttributesA(to);
    bool fromReadOnly = fromAttributes != INVALID_FILE_ATTRIBUTES && (fromAttributes & FILE_ATTRIBUTE_READONLY);
    bool toReadOnly = toAttributes != INVALID_FILE_ATTRIBUTES && (toAttributes & FILE_ATTRIBUTE_READONLY);
    if (fromReadOnly)
        SetFileAttributesA(from, fromAttributes & ~FILE_ATTRIBUTE_READONLY);
    if (toReadOnly)
        SetFileAttributesA(to, toAttributes & ~FILE_ATTRIBUTE_READONLY);
    BOOL copied = !FileWriteFails(to) && CopyFileA(from, to, FALSE);
    DWORD error = GetLastError();
    if (!copied)
        NoteWriteRefusal(error);
    if (fromReadOnly)
        SetFileAttributesA(from, fromAttributes);
    if (toReadOnly)
        SetFileAttributesA(to, toAttributes);
    SetLastError(error);
    return copied ? 1 : 0;
}

// Opens the file for reading to prove it is there and readable.
bool Readable(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

void StopWatching(const char* name, int stopWatching)
{
    if (stopWatching)
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, RecordKey(name).c_str());
}

}   // namespace

int SysFileLocation(const char* name, char* out, int capacity)
{
    return GetRegValue(HKEY_LOCAL_MACHINE, RecordKey(name).c_str(), "Location", out, capacity);
}

int AcceptSysFile(const char* name, const char* path, int stopWatching)
{
    StopWatching(name, stopWatching);
    char date[32], stamp[24], text[32];
    unsigned long size;
    if (!SysFileState(path, date, sizeof(date), &size, stamp)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    std::string key = RecordKey(name);
    SetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "Date", date);
    SetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "Stamp", stamp);
    snprintf(text, sizeof(text), "%lu", size);
    SetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "Size", text);
    char copy[MAX_PATH];
    SavedCopyPath(name, copy, sizeof(copy));
    return CopyKeepingReadOnly(path, copy);
}

int RestoreSysFile(const char* name, const char* path, int stopWatching)
{
    char copy[MAX_PATH];
    SavedCopyPath(name, copy, sizeof(copy));
    if (!Readable(copy)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    StopWatching(name, stopWatching);
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) {
        std::string previous = std::string(copy) + ".previous";
        if (!CopyKeepingReadOnly(path, previous.c_str()))
            return 0;   // without the second copy the present file would be lost
    }
    return CopyKeepingReadOnly(copy, path);
}

int AcceptSysFileChange(const char* recordName, int stopWatching)
{
    char location[MAX_PATH];
    if (!SysFileLocation(recordName, location, sizeof(location))) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    return AcceptSysFile(recordName, location, stopWatching);
}

int RejectSysFileChange(const char* recordName, int stopWatching)
{
    char location[MAX_PATH];
    if (!SysFileLocation(recordName, location, sizeof(location))) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    return RestoreSysFile(recordName, location, stopWatching);
}
