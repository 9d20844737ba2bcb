#include "entrylist.h"
#include "keys.h"
#include "options.h"
#include "platform.h"
#include "program.h"
#include "registry.h"
#include "resstring.h"
#include "textutil.h"
#include "valueplaces.h"
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <cstring>

EntryList g_entries;

const char* const kRunKeys[7] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Setup",
    "Software\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer\\Run",
};

static const struct {
    int code;
    const char* name;
} kEntryTypes[] = {
    {1, "MACHINE_RUN"},
    {2, "MACHINE_RUNONCE"},
    {3, "MACHINE_RUNONCEEX"},
    {4, "MACHINE_RUNSERVICES"},
    {5, "MACHINE_RUNSERVICESONCE"},
    {11, "CURRENT_RUN"},
    {12, "CURRENT_RUNONCE"},
    {13, "CURRENT_RUNONCEEX"},
    {14, "CURRENT_RUNSERVICES"},
    {15, "CURRENT_RUNSERVICESONCE"},
    {21, "USERS_RUN"},
    {22, "USERS_RUNONCE"},
    {23, "USERS_RUNONCEEX"},
    {24, "USERS_RUNSERVICES"},
    {25, "USERS_RUNSERVICESONCE"},
    {31, "KESTRIX_RUN"},
    {32, "KESTRIX_RUNONCE"},
    {33, "KESTRIX_RUNONCEEX"},
    {34, "KESTRIX_RUNSERVICES"},
    {35, "KESTRIX_RUNSERVICESONCE"},
    {100, "WIN_LOAD"},
    {101, "WIN_RUN"},
    {200, "GROUP_STARTUP"},
    {250, "WINLOGON_Userinit"},
    {251, "WINLOGON_Shell"},
    {252, "REG_Delayload"},
    {253, "REG_TaskScheduler"},
    {254, "REG_ShellExecuteHook"},
    {255, "REG_AppInitDLLs"},
    {500, "INFO_COOKIE"},
    {501, "INFO_NETCOOKIE"},
    {502, "INFO_SAVECOOKIE"},
    {503, "INFO_NUTS"},
    {600, "INFO_TASK"},
    {700, "SERVICE_EXE"},
    {701, "SERVICE_SVCHOST"},
    {800, "TASK_SCHEDULED"},
    {900, "TYPE_BHO"},
    {300, "RESTART_DELETE"},
    {301, "RESTART_RENAME"},
    {901, "TYPE_TOOLBAR"},
    {902, "TYPE_EXTENSION"},
    {350, "TYPE_MONITOR"},
    {360, "TYPE_BLACKLIST"},
    {450, "TYPE_PROSEARCH"},
    {400, "TYPE_FILETYPE"},
    {370, "TYPE_HIDDEN"},
    {256, "RUN_WINLOGONNOTIFY"},
    {6, "MACHINE_RUNONCESETUP"},
    {7, "MACHINE_RUNPOLICY"},
    {3000, "TYPE_UNKNOWN"},
    // Added after the table above, whose codes stored data and history lines keep using.
    {41, "MACHINE32_RUN"},
    {42, "MACHINE32_RUNONCE"},
    {43, "MACHINE32_RUNONCEEX"},
    {44, "MACHINE32_RUNSERVICES"},
    {45, "MACHINE32_RUNSERVICESONCE"},
    {46, "MACHINE32_RUNONCESETUP"},
    {47, "MACHINE32_RUNPOLICY"},
    {262, "REG_Delayload32"},
    {263, "REG_TaskScheduler32"},
    {264, "REG_ShellExecuteHook32"},
    {265, "REG_AppInitDLLs32"},
    {903, "TYPE_BHO32"},
    {904, "TYPE_BROWSER_EXTENSION"},
    {905, "TYPE_BROWSER_PAGE"},
    {906, "TYPE_BROWSER_POLICY"},
    {907, "TYPE_BROWSER_EXTERNAL"},
    {702, "DRIVER_SERVICE"},
};

// Only "*START_Remove" and "*HIDDEN_DeleteFile" can be reversed from the history.
static const struct {
    int code;
    const char* name;
    bool reversible;
} kActions[] = {
    {0, "*START_Remove", true},
    {1, "START_Disable", false},
    {2, "START_Enable", false},
    {3, "IEHELPER_Remove", false},
    {4, "TASK_Remove", false},
    {5, "TASK_Kill", false},
    {6, "START_Alert", false},
    {7, "TASK_Alert", false},
    {8, "IEHELPER_Alert", false},
    {9, "SERVICE_Stop", false},
    {10, "SERVICE_Automatic", false},
    {11, "SERVICE_Manual", false},
    {12, "SERVICE_Disabled", false},
    {12, "START_Restore", false},
    {13, "TASK_Restore", false},
    {14, "IEHELPER_Restore", false},
    {15, "ScheduledTask_Remove", false},
    {17, "SERVICE_from_Automatic", false},
    {18, "SERVICE_from_Manual", false},
    {19, "SERVICE_from_Disabled", false},
    {20, "SERVICE__from_Disabled", false},
    {21, "RESET_USERINIT", false},
    {22, "RESET_SHELL", false},
    {23, "REMOVE_TaskScheduler", false},
    {24, "REMOVE_DELAYLOAD", false},
    {23, "REMOVE_TASKSCHEDULER", false},
    {25, "REMOVE_SHELLEXECUTEHOOK", false},
    {26, "REMOVE_APPINIT", false},
    {28, "HIDDEN_Alert", false},
    {29, "*HIDDEN_DeleteFile", true},
    {30, "REMOVE_WinLogonNotify", false},
    {31, "LOG_UNKNOWN", false},
    {32, "FILETYPE_Restore", false},
    {33, "FILETYPE_Accept", false},
    {34, "*DRIVER_Disabled", true},
};

int RunKeyOfCode(int code, HKEY* root, const char** path, REGSAM* view)
{
    int base = code % 10, rootIndex = code / 10;
    if (code < 1 || base < 1 || base > 7 || (rootIndex != 0 && rootIndex != 1 &&
                                             rootIndex != RUN32_ROOT_INDEX))
        return 0;
    *root = rootIndex == 1 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    *path = kRunKeys[base - 1];
    *view = rootIndex == RUN32_ROOT_INDEX ? KEY_WOW64_32KEY : 0;
    return 1;
}

int IsMachineRunCode(int code)
{
    HKEY root;
    const char* path;
    REGSAM view;
    return RunKeyOfCode(code, &root, &path, &view) && root == HKEY_LOCAL_MACHINE;
}

int HookOfCode(int code, REGSAM* view)
{
    if (code >= REG_Delayload && code <= REG_AppInitDLLs) {
        *view = 0;
        return code;
    }
    if (code >= REG_Delayload32 && code <= REG_AppInitDLLs32) {
        *view = KEY_WOW64_32KEY;
        return code - (REG_Delayload32 - REG_Delayload);
    }
    return 0;
}

const char* DisabledStoreKey(int type)
{
    // The 32-bit view's entries share the stores: the index code tells where they go back.
    switch (type) {
    case 1: case 11: case 41: return KX_DISABLED_KEY "\\Run";
    case 2: case 12: case 42: return KX_DISABLED_KEY "\\RunOnce";
    case 3: case 13: case 43: return KX_DISABLED_KEY "\\RunOnceEx";
    case 4: case 14: case 44: return KX_DISABLED_KEY "\\RunServices";
    case 5: case 15: case 45: return KX_DISABLED_KEY "\\RunServicesOnce";
    case 6: case 16: case 46: return KX_DISABLED_KEY "\\RunSetup";
    case 7: case 17: case 47: return KX_DISABLED_KEY "\\Policy";
    case 100: return KX_DISABLED_KEY "\\WinLoad";
    case 101: return KX_DISABLED_KEY "\\WinRun";
    case 256: return KX_DISABLED_KEY "\\WinNotify";
    default: return nullptr;
    }
}

// The long form of a path that exists, remembered by path, size and last-write time: every
// startup check asks for it once per entry, and thousands of directory walks are most of
// what a check costs. A path that does not exist has no long form.
struct LongForm {
    DWORD attributes, sizeHigh, sizeLow;
    FILETIME written;
    std::string result;
};

// While one list is built, a folder found missing stays missing: the commands of thousands of
// entries below a folder that is gone would otherwise each ask the file system again.
static int g_memoDepth;
static std::unordered_map<std::string, bool> g_folderMissing;

FolderMemoScope::FolderMemoScope()
{
    if (g_memoDepth++ == 0)
        g_folderMissing.clear();
}

FolderMemoScope::~FolderMemoScope()
{
    if (--g_memoDepth == 0)
        g_folderMissing.clear();
}

// 1 when the folder part of path does not exist, so that path cannot either. A folder whose
// name ends in a dot or blank is not judged: the system trims those only at a path's end.
int InMissingFolder(const char* path)
{
    const char* slash = strrchr(path, '\\');
    if (!g_memoDepth || !slash || slash - path < 3 || slash[-1] == '.' || slash[-1] == ' ')
        return 0;
    std::string folder(path, slash - path);
    CharUpperBuffA(&folder[0], (DWORD)folder.size());
    auto known = g_folderMissing.find(folder);
    if (known != g_folderMissing.end())
        return known->second;
    bool missing = false;
    if (GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    g_folderMissing[folder] = missing;
    return missing;
}

void ToLongPathForm(char* path, int capacity)
{
    if (IsWindows95() || !path[0] || InMissingFolder(path))
        return;
    typedef DWORD(WINAPI * LongPathFn)(LPCSTR, LPSTR, DWORD);
    static LongPathFn longPath =
        (LongPathFn)(void*)GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), "GetLongPathNameA");
    if (!longPath)
        return;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return;
    static std::unordered_map<std::string, LongForm> known;
    auto found = known.find(path);
    if (found != known.end()) {
        const LongForm& f = found->second;
        if (f.attributes == data.dwFileAttributes && f.sizeHigh == data.nFileSizeHigh &&
            f.sizeLow == data.nFileSizeLow &&
            CompareFileTime(&f.written, &data.ftLastWriteTime) == 0) {
            if (!f.result.empty())
                lstrcpynA(path, f.result.c_str(), capacity);
            return;
        }
    }
    char result[MAX_PATH * 2];
    DWORD n = longPath(path, result, sizeof(result));
    bool made = n > 0 && n < sizeof(result);
    if (known.size() >= 8192)
        known.clear();
    known[path] = {data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow,
                   data.ftLastWriteTime, made ? result : ""};
    if (made)
        lstrcpynA(path, result, capacity);
}

static int CookieLimit()
{
    return g_optionsLoaded ? g_options.MaxCookie : GetOption("MaxCookie", DefaultMaxCookie());
}

static int g_unlimited;

EntryLimitScope::EntryLimitScope() { g_unlimited++; }
EntryLimitScope::~EntryLimitScope() { g_unlimited--; }

static bool ListFull() { return !g_unlimited && g_entries.count >= MAX_ENTRIES; }

int AppendEntryRecord(EntryRecord* record)
{
    if (ListFull()) {
        free(record);
        return 0;
    }
    if ((int)g_entries.items.size() <= g_entries.count)
        g_entries.items.resize(g_entries.count + 1);
    g_entries.items[g_entries.count++] = record;
    return 1;
}

int AddEntry(const char* title, const char* command, const char* source, const char* detail,
             int type, int tag)
{
    if (ListFull())
        return 0;
    char titleCut[128], commandCut[260], sourceCut[260];
    lstrcpynA(titleCut, title ? title : "", sizeof(titleCut));
    lstrcpynA(commandCut, command ? command : "", sizeof(commandCut));
    lstrcpynA(sourceCut, source ? source : "", sizeof(sourceCut));
    if (type == INFO_COOKIE && g_entries.count >= CookieLimit())
        return 0;

    EntryRecord* record = (EntryRecord*)calloc(1, sizeof(EntryRecord));
    if (!record)
        return 0;
    lstrcpynA(record->detail, detail ? detail : "", sizeof(record->detail));

    char bare[260];
    int n = 0;
    for (const char* p = commandCut; *p && n < (int)sizeof(bare) - 1; p++)
        if (*p != '"')
            bare[n++] = *p;
    bare[n] = 0;
    bool pathLike = strlen(bare) >= 4;
    if (pathLike)
        ToLongPathForm(bare, sizeof(bare));
    // A command of quotes alone names no program: it is kept as written, so that what
    // would run is still shown and known under its own text.
    lstrcpynA(record->command, bare[0] ? bare : commandCut, sizeof(record->command));

    if (!titleCut[0]) {
        char name[260];
        lstrcpynA(name, record->command, sizeof(name));
        size_t len = strlen(name);
        name[len >= 4 ? len - 4 : 0] = 0;
        const char* slash = strrchr(name, '\\');
        lstrcpynA(record->title, slash ? slash + 1 : name, sizeof(record->title));
    } else if (InMyString(titleCut, "Kestrix") && IsOwnMonitorFile(record->command)) {
        lstrcpynA(record->title, g_programCaption, sizeof(record->title));
    } else {
        lstrcpynA(record->title, titleCut, sizeof(record->title));
    }

    lstrcpynA(record->source, sourceCut, sizeof(record->source));
    if (pathLike)
        ToLongPathForm(record->source, sizeof(record->source));
    record->type = type;
    record->tag = tag;
    return AppendEntryRecord(record);
}

void ClearEntries()
{
    for (int i = 0; i < g_entries.count; i++)
        free(g_entries.items[i]);
    g_entries.items.clear();
    // A list lifted to tens of thousands gives its room back.
    if (g_entries.items.capacity() > (size_t)MAX_ENTRIES)
        g_entries.items.shrink_to_fit();
    g_entries.count = 0;
}

int EntryCount() { return g_entries.count; }

const EntryRecord* GetEntry(int index)
{
    if (index < 0 || index >= g_entries.count)
        return nullptr;
    return g_entries.items[index];
}

static int CopyField(const char* field, char* out, int capacity)
{
    lstrcpynA(out, field, capacity);
    return lstrlenA(out);
}

int GetEntryTitle(int index, char* out)
{
    const EntryRecord* r = GetEntry(index);
    if (!r) {
        out[0] = 0;
        return 0;
    }
    return CopyField(r->title, out, 128);
}

int GetEntryCommand(int index, char* out)
{
    const EntryRecord* r = GetEntry(index);
    if (!r) {
        out[0] = 0;
        return 0;
    }
    return CopyField(r->command, out, 260);
}

int GetEntrySource(int index, char* out)
{
    const EntryRecord* r = GetEntry(index);
    if (!r) {
        out[0] = 0;
        return 0;
    }
    return CopyField(r->source, out, 260);
}

int GetEntryDetail(int index, char* out, int capacity)
{
    const EntryRecord* r = GetEntry(index);
    if (!r) {
        if (capacity > 0)
            out[0] = 0;
        return 0;
    }
    return CopyField(r->detail, out, capacity);
}

int GetEntryType(int index)
{
    const EntryRecord* r = GetEntry(index);
    return r ? r->type : 0;
}

int GetEntryTag(int index)
{
    const EntryRecord* r = GetEntry(index);
    return r ? r->tag : 0;
}

const char* TypeName(int code)
{
    for (const auto& row : kEntryTypes)
        if (row.code == code)
            return row.name;
    const char* place = ValuePlaceTypeName(code);
    return place ? place : "TYPE_UNKNOWN";
}

int TypeCode(const char* name)
{
    for (const auto& row : kEntryTypes)
        if (lstrcmpiA(row.name, name) == 0)
            return row.code;
    int place = ValuePlaceCodeOfName(name);
    return place ? place : TYPE_UNKNOWN;
}

const char* ActionName(int code)
{
    for (const auto& row : kActions)
        if (row.code == code)
            return row.name;
    return "LOG_UNKNOWN";
}

int ActionCodeFromName(const char* name)
{
    for (const auto& row : kActions)
        if (lstrcmpiA(row.name, name) == 0)
            return row.code;
    return ACT_LOG_UNKNOWN;
}

int IsReversibleAction(int code)
{
    for (const auto& row : kActions)
        if (row.code == code)
            return row.reversible;
    return 0;
}


// Upper-case names of the DisabledIndex while a DisabledIndexScope is held.
static thread_local std::unordered_set<std::string>* t_disabledNames;

static std::string UpperName(const char* name)
{
    std::string key = name;
    if (!key.empty())
        CharUpperBuffA(&key[0], (DWORD)key.size());
    return key;
}

DisabledIndexScope::DisabledIndexScope() : owner(t_disabledNames == nullptr)
{
    if (!owner)
        return;
    auto* names = new std::unordered_set<std::string>;
    auto add = [&](const std::string& name) { names->insert(UpperName(name.c_str())); };
    if (ForEachValueName(HKEY_CURRENT_USER, KX_DISABLED_KEY, add) == REG_WALK_FAILED ||
        ForEachValueName(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, add) == REG_WALK_FAILED) {
        // A name that cannot be listed: every title is looked up as without the scope.
        delete names;
        return;
    }
    t_disabledNames = names;
}

DisabledIndexScope::~DisabledIndexScope()
{
    if (owner) {
        delete t_disabledNames;
        t_disabledNames = nullptr;
    }
}

int DisabledCodeForTitle(const char* title)
{
    if (t_disabledNames && !t_disabledNames->count(UpperName(title)))
        return 0;
    // The user's own index first; the machine's holds the machine's entries and what earlier
    // builds disabled.
    char text[33];
    if (GetRegValue(HKEY_CURRENT_USER, KX_DISABLED_KEY, title, text, sizeof(text)) == 0 &&
        GetRegValue(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, title, text, sizeof(text)) == 0)
        return 0;
    return atoi(text);
}

static int LocationTextOf(int type, const char* title, int offByWindows, char* out)
{
    const int capacity = 512;
    out[0] = 0;
    UINT fixedString = type == TASK_SCHEDULED                    ? 726
                       : type == TYPE_BHO || type == TYPE_BHO32 ? 725
                       : type == TYPE_TOOLBAR                    ? 724
                                                                 : 0;
    if (fixedString) {
        LoadResString(fixedString, out, capacity);
        if (type == TYPE_BHO32)
            lstrcatA(out, " (32-bit)");
        return lstrlenA(out);
    }
    // The 32-bit view's hooks read as their 64-bit namesakes, marked with the view.
    REGSAM hookView = 0;
    if (HookOfCode(type, &hookView) && hookView) {
        int length = LocationTextOf(HookOfCode(type, &hookView), title, offByWindows, out);
        snprintf(out + length, capacity - length, " (32-bit)");
        return lstrlenA(out);
    }
    if (IsValuePlaceCode(type))
        return ValuePlaceLocation(type, out, capacity);
    if (type > 256)
        return 0;

    // Disabled here, or else kept from starting by Windows' own startup switch.
    UINT markerString = DisabledCodeForTitle(title) != 0 ? 626 : offByWindows ? 1160 : 0;
    if (markerString) {
        char marker[128];
        LoadResString(markerString, marker, sizeof(marker));
        snprintf(out, capacity, " * %s * ", marker);
    }
    static const char* const keyWords[] = {"Run", "RunOnce", "RunOnceEx", "RunServices",
                                           "RunServicesOnce"};
    const char* rootName = nullptr;
    int base = 0;
    if (type >= 1 && type <= 5) {
        rootName = "HKLM\\";
        base = type;
    } else if (type >= 11 && type <= 15) {
        rootName = "HKCU\\";
        base = type - 10;
    } else if (type >= 21 && type <= 25) {
        rootName = "HKEY_USER\\";
        base = type - 20;
    }
    char place[256] = "";
    if (type >= MACHINE32_RUN && type <= MACHINE32_RUNPOLICY) {
        snprintf(place, sizeof(place), "HKLM\\%s (32-bit)", kRunKeys[type - MACHINE32_RUN]);
    } else if (rootName) {
        snprintf(place, sizeof(place), "%sSoftware\\Microsoft\\Windows\\CurrentVersion\\%s",
                 rootName, keyWords[base - 1]);
    } else {
        const char* text = nullptr;
        switch (type) {
        case WIN_LOAD: text = "WIN.INI     [Load] Section"; break;
        case WIN_RUN: text = "WIN.INI     [Run] Section"; break;
        case GROUP_STARTUP: text = "Windows Startup Group"; break;
        case WINLOGON_Userinit:
            text = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon Userinit";
            break;
        case WINLOGON_Shell:
            text = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon Shell";
            break;
        case REG_Delayload:
            text = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
            break;
        case REG_TaskScheduler:
            text = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler";
            break;
        case REG_ShellExecuteHook:
            text = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks";
            break;
        case REG_AppInitDLLs:
            text = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows  AppInit_DLLs";
            break;
        case RUN_WINLOGONNOTIFY:
            text = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon Notify";
            break;
        default: break;
        }
        if (text)
            lstrcpynA(place, text, sizeof(place));
    }
    size_t used = strlen(out);
    snprintf(out + used, capacity - used, "%s", place);
    return lstrlenA(out);
}

int LocationTextFor(int type, const char* title, char* out)
{
    return LocationTextOf(type, title, 0, out);
}

int LocationText(int index, char* out)
{
    const EntryRecord* r = GetEntry(index);
    if (!r) {
        out[0] = 0;
        return 0;
    }
    // Today's browsers: the profile folder or the registry key the entry was read from.
    if (r->type >= TYPE_BROWSER_EXTENSION && r->type <= TYPE_BROWSER_EXTERNAL) {
        snprintf(out, 512, "%s%s", r->source, r->offByWindows ? " (disabled in the browser)" : "");
        return lstrlenA(out);
    }
    return LocationTextOf(r->type, r->title, r->offByWindows, out);
}
