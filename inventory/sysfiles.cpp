#include "sysfiles.h"
#include "datafolder.h"
#include "datetime.h"
#include "handles.h"
#include "keys.h"
#include "pathutil.h"
#include "platform.h"
#include "program.h"
#include "registry.h"
#include "writefault.h"
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int GetHOSTSFile(char* out, int capacity)
{
    char folder[MAX_PATH] = "";
    if (IsWindowsNT()) {
        GetSystemDirectoryA(folder, sizeof(folder));
        lstrcatA(folder, "\\drivers\\etc");
    } else {
        GetWindowsDirectoryA(folder, sizeof(folder));
    }
    snprintf(out, capacity, "%s\\HOSTS", folder);
    return lstrlenA(out);
}

void SavedCopyPath(const char* name, char* out, int capacity)
{
    if (MachineDataPath(name, out, capacity) &&
        (GetFileAttributesA(out) != INVALID_FILE_ATTRIBUTES || AdoptEarlierDataFile(name, out)))
        return;
    char earlier[MAX_PATH + 64];
    if (EarlierDataPath(name, earlier, sizeof(earlier)) && lstrlenA(earlier) < capacity) {
        lstrcpynA(out, earlier, capacity);
        return;
    }
    // Not there yet: where a write would make it, refused when the folder cannot be made.
    char folder[MAX_PATH];
    if (!out[0] && MachineDataFolderName(folder, sizeof(folder)))
        snprintf(out, capacity, "%s\\%s", folder, name);
}

int SysFileState(const char* path, char* date, int dateCapacity, unsigned long* size, char* stamp)
{
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    FILETIME local;
    SYSTEMTIME time;
    FileTimeToLocalFileTime(&info.ftLastWriteTime, &local);
    FileTimeToSystemTime(&local, &time);
    FormatDateTime(time, date, dateCapacity);
    *size = info.nFileSizeLow;
    // The minute alone misses a change made within the minute the record was made; the
    // full write time goes beside it.
    snprintf(stamp, 24, "%08lX%08lX", (unsigned long)info.ftLastWriteTime.dwHighDateTime,
             (unsigned long)info.ftLastWriteTime.dwLowDateTime);
    return 1;
}

static std::string RecordKey(const char* name) { return std::string(KX_SYSFILES_KEY "\\") + name; }

int RecordSysFile(const char* name, const char* path, const char* comment, int type)
{
    std::string key = RecordKey(name);
    CreateRegKey(HKEY_LOCAL_MACHINE, key.c_str());
    char date[32], stamp[24], text[32];
    unsigned long size;
    if (!SysFileState(path, date, sizeof(date), &size, stamp))
        return 0;
    SetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "Date", date);
    SetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "Stamp", stamp);
    snprintf(text, sizeof(text), "%lu", size);
    SetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "Size", text);
    snprintf(text, sizeof(text), "%d", type);
    SetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "Type", text);
    if (comment && comment[0])
        SetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "Comment", comment);
    SetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "Location", path);
    char copy[MAX_PATH];
    SavedCopyPath(name, copy, sizeof(copy));
    SetFileAttributesA(copy, FILE_ATTRIBUTE_NORMAL);
    if (!FileWriteFails(copy) && CopyFileA(path, copy, FALSE))
        return 1;
    NoteWriteRefusal(GetLastError());
    return 0;
}

void InitSysFileRecords()
{
    char made[64] = "";
    if (GetRegValue(HKEY_LOCAL_MACHINE, KX_SYSFILES_KEY, "", made, sizeof(made)) > 0)
        return;
    CreateRegKey(HKEY_LOCAL_MACHINE, KX_SYSFILES_KEY);
    char hosts[MAX_PATH];
    GetHOSTSFile(hosts, sizeof(hosts));
    RecordSysFile("HOSTS", hosts, "HOST file can be used to protect or redirect domain access.", 0);
    RecordSysFile("Autoexec.bat", "C:\\autoexec.bat", "Runs at system boot time at command level.", 0);
    RecordSysFile("Config.sys", "C:\\Config.sys", "Used at system boot time at command level.", 0);
    SYSTEMTIME now;
    GetLocalTime(&now);
    char today[32];
    FormatDateTime(now, today, sizeof(today));
    SetRegValue(HKEY_LOCAL_MACHINE, KX_SYSFILES_KEY, "", today);
}

int SysFileChanged(const char* name, const char* path)
{
    std::string key = RecordKey(name);
    char date[32], stamp[24];
    unsigned long size;
    if (!SysFileState(path, date, sizeof(date), &size, stamp))
        return 0;   // a file that is gone is passed over
    char typeText[32] = "", sizeText[32] = "", dateText[64] = "", stampText[32] = "";
    GetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "Type", typeText, sizeof(typeText));
    GetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "Size", sizeText, sizeof(sizeText));
    GetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "Date", dateText, sizeof(dateText));
    GetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "Stamp", stampText, sizeof(stampText));
    char text[32];
    if (strtoul(sizeText, nullptr, 10) == 0) {
        // This patrol still compares with the old size.
        snprintf(text, sizeof(text), "%lu", size);
        SetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "Size", text);
    }
    if (!dateText[0]) {
        SetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "Date", date);
        SetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "Stamp", stamp);
        return 0;
    }
    // A record made before times were kept holds the date alone: the date part compares.
    std::string dateOnly(date, strcspn(date, " "));
    bool sameDate = lstrcmpA(dateText, date) == 0 || (!strchr(dateText, ' ') && dateOnly == dateText);
    bool dateDiffers = !sameDate || (stampText[0] && lstrcmpA(stampText, stamp) != 0);
    if (!dateDiffers)
        return 0;
    if (atoi(typeText) != 0)
        return 1;
    return strtoul(sizeText, nullptr, 10) != size;
}

void NoteFilePath(const char* programPath, char* out, int capacity)
{
    char program[260] = "";
    if (GetProgramFile(programPath, program) <= 0)
        lstrcpynA(program, programPath, sizeof(program));
    std::string name = FileNamePart(program);
    name = name.size() >= 4 ? name.substr(0, name.size() - 4) : std::string();
    // The name keeps the letters the user gave the program, not the upper-case key.
    std::string given = FileNamePart(programPath);
    if (given.size() >= name.size() && lstrcmpiA(given.substr(0, name.size()).c_str(), name.c_str()) == 0)
        name = given.substr(0, name.size());
    // The name comes from a command anyone may have written: whatever a file name cannot hold
    // (a "/" or ":" above all) becomes "_", so the note stays in its folder under its own name.
    for (char& c : name)
        if ((unsigned char)c < 32 || strchr("\\/:*?\"<>|", c))
            c = '_';
    name = name.substr(0, 120);
    std::string file = "note_" + name + ".txt";
    if (UserDataPath(file.c_str(), out, capacity) &&
        (GetFileAttributesA(out) != INVALID_FILE_ATTRIBUTES || AdoptEarlierDataFile(file.c_str(), out)))
        return;
    char earlier[MAX_PATH + 64];
    if (EarlierDataPath(file.c_str(), earlier, sizeof(earlier)) && lstrlenA(earlier) < capacity)
        lstrcpynA(out, earlier, capacity);
}

std::string WinInitPath()
{
    char folder[MAX_PATH] = "";
    GetWindowsDirectoryA(folder, sizeof(folder));
    return std::string(folder) + "\\wininit.ini";
}

int HasRestartCommands()
{
    char folder[MAX_PATH] = "";
    GetWindowsDirectoryA(folder, sizeof(folder));
    if (GetFileAttributesA((std::string(folder) + "\\wininit.exe").c_str()) == INVALID_FILE_ATTRIBUTES)
        return 0;
    WIN32_FILE_ATTRIBUTE_DATA info;
    return GetFileAttributesExA(WinInitPath().c_str(), GetFileExInfoStandard, &info) &&
           (info.nFileSizeLow || info.nFileSizeHigh);
}

std::string RestartCommandsText()
{
    Handle file(CreateFileA(WinInitPath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return std::string();
    char raw[16384];
    DWORD got = 0;
    ReadFile(file.get(), raw, sizeof(raw), &got, nullptr);
    std::string text;
    for (DWORD i = 0; i < got; i++) {
        char c = raw[i] ? raw[i] : ' ';   // a NUL would end the view's text early
        if (c == '\n' && (i == 0 || raw[i - 1] != '\r'))
            text += '\r';
        text += c;
    }
    return text;
}

int DeleteRestartCommands()
{
    std::string path = WinInitPath();
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path.c_str()) || GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}
