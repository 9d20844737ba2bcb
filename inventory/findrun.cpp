#include "findrun.h"
#include "datafolder.h"
#include "entrylist.h"
#include "folderwalk.h"
#include "handles.h"
#include "keys.h"
#include "options.h"
#include "pathutil.h"
#include "platform.h"
#include "program.h"
#include "registry.h"
#include "startupapproved.h"
#include "trace.h"
#include "valueplaces.h"
#include "versioninfo.h"
#include <cstring>
#include <initializer_list>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

struct ValueText {
    std::string name;
    std::string data;   // as text, up to its first terminator
    DWORD type;
};
typedef std::vector<ValueText> ValueList;

static const char kWinlogonKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
static const char kShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Name, data and type of every value of a key, in enumeration order, however long. Reading
// the whole key first keeps the order stable while the caller moves values out of it.
static ValueList ReadValues(HKEY root, const char* path, REGSAM view = 0)
{
    ValueList values;
    RegKey key;
    if (!key.open(root, path, KEY_READ | view))
        return values;
    DWORD count = 0;
    if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return values;
    values.reserve(count);
    ForEachValue(key.get(), [&](const RegValueItem& value) {
        values.push_back({value.name, value.text(), value.type});
    });
    return values;
}

// A Run key as last read: a key not written since is not read again (thousands of values
// are one registry call each).
struct ReadKey {
    KeyStamp stamp;
    ValueList values;
};

static ValueList ReadValuesAgain(HKEY root, const char* path, REGSAM view, ReadKey* last)
{
    KeyStamp stamp;
    {
        RegKey key;
        if (key.open(root, path, KEY_READ | view))
            stamp = SettledKeyStamp(key.get());
    }
    if (SameSettledStamp(stamp, last->stamp))
        return last->values;
    // The stamp is taken before the values: a write in between gives a newer stamp next time.
    ValueList values = ReadValues(root, path, view);
    last->stamp = stamp;
    last->values = stamp.written ? values : ValueList();
    return values;
}

static ReturnedValueHandler g_returnedValueHandler = nullptr;

void SetReturnedValueHandler(ReturnedValueHandler handler) { g_returnedValueHandler = handler; }

// The names in the disabled index, read in one sweep per pass instead of one lookup per
// Run value. Only names with text count, as for a single lookup.
typedef std::unordered_set<std::string> NameSet;

static std::string NameKey(const std::string& name)
{
    std::string key = name;
    if (!key.empty())
        CharUpperBuffA(&key[0], (DWORD)key.size());
    return key;
}

HKEY DisabledStoreRoot(int code)
{
    return (code >= CURRENT_RUN && code <= CURRENT_RUNSERVICESONCE) || code == WIN_LOAD ||
                   code == WIN_RUN || code == GROUP_STARTUP
               ? HKEY_CURRENT_USER
               : HKEY_LOCAL_MACHINE;
}

HKEY DisabledIndexRoot(const char* title)
{
    return RegValueExists(HKEY_CURRENT_USER, KX_DISABLED_KEY, title) ? HKEY_CURRENT_USER
                                                                       : HKEY_LOCAL_MACHINE;
}

static NameSet ReadDisabledIndex()
{
    NameSet names;
    char code[17];
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
        for (const auto& value : ReadValues(root, KX_DISABLED_KEY))
            if ((value.type == REG_SZ || value.type == REG_EXPAND_SZ) && !value.data.empty() &&
                GetRegValue(root, KX_DISABLED_KEY, value.name.c_str(), code, sizeof(code)) > 0)
                names.insert(NameKey(value.name));
    return names;
}

// What one BuildRun pass carries from key to key.
struct LastRunValue {
    NameSet disabled;   // the disabled index as read at the start of the pass
};

// Name and data of a value, as one text to look up.
static std::string ValueKey(const ValueText& value) { return NameKey(value.name) + '\n' + value.data; }

// The values of one Run key as read, before any of them is looked at.
struct RunKeyValues {
    int code;
    ValueList values;
    NameSet shared;   // the 32-bit view: what the own view shows alike
};

static RunKeyValues ReadRunKey(int rootIndex, int keyIndex)
{
    RunKeyValues read;
    read.code = keyIndex + 1 + 10 * rootIndex;
    HKEY root;
    const char* path;
    REGSAM view;
    RunKeyOfCode(read.code, &root, &path, &view);
    // Whole values: a long command still starts a program and must not slip past the
    // guard (the listed command is cut to its field). Slot 2 is the 32-bit view.
    static ReadKey lastRead[3][7];
    const int slot = rootIndex == RUN32_ROOT_INDEX ? 2 : rootIndex;
    read.values = ReadValuesAgain(root, path, view, &lastRead[slot][keyIndex]);
    // A key that Windows does not keep apart for 32-bit programs (or a system without
    // them) shows the same values in both views: those are listed once, from the 64-bit view.
    if (view)
        for (const auto& value : ReadValuesAgain(root, path, 0, &lastRead[0][keyIndex]))
            read.shared.insert(ValueKey(value));
    return read;
}

static void ListRunKey(const RunKeyValues& read, LastRunValue* last)
{
    const int code = read.code;
    for (const auto& value : read.values) {
        const std::string& name = value.name;
        const std::string& data = value.data;
        if (!read.shared.empty() && read.shared.count(ValueKey(value)))
            continue;
        // Windows starts only text values; a number, binary data or an empty text there runs
        // nothing. Every other value is listed, whatever its name looks like or however short
        // its command: Windows starts each, a twin in another key too.
        if ((value.type != REG_SZ && value.type != REG_EXPAND_SZ) || data.empty())
            continue;
        Trace("BuildRun - findrun", data.c_str());
        // A namesake from another location is not the disabled entry: it is listed as the
        // active entry it is.
        if (g_returnedValueHandler && last->disabled.count(NameKey(name))) {
            bool handled = g_returnedValueHandler(name.c_str(), data.c_str(), code);
            last->disabled = ReadDisabledIndex();   // the handler may have changed it
            if (handled)
                continue;
        }
        char command[512];
        std::string head = data.substr(0, 511);
        int rundll = SplitRundll32(head.c_str(), command, sizeof(command));
        AddEntry(name.c_str(), command, "", "", code, rundll);
    }
}

void BuildRun()
{
    // Every key is read before any value is looked at: the list is the keys as they were at
    // one moment, not as they were while thousands of entries were being resolved.
    std::vector<RunKeyValues> keys;
    // HKLM, HKCU, then the machine keys that 64-bit Windows keeps for 32-bit programs.
    for (int rootIndex : {0, 1, RUN32_ROOT_INDEX})
        for (int k = 0; k < 7; k++)
            keys.push_back(ReadRunKey(rootIndex, k));
    LastRunValue last;
    if (g_returnedValueHandler)
        last.disabled = ReadDisabledIndex();
    for (const RunKeyValues& read : keys)
        ListRunKey(read, &last);
}

int GetStartupGroup()
{
    SetWalkMode(WALK_STARTUP);
    SetWalkFound(0);
    const HKEY roots[3] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS};
    for (HKEY root : roots) {
        for (const char* value : {"Startup", "Common Startup"}) {
            char folder[MAX_PATH + 1];
            if (GetRegValue(root, kShellFoldersKey, value, folder, sizeof(folder)) > 0) {
                Trace("GetStartupGroup - findrun", folder);
                WalkFolder(folder, spBuildProc, 0, 0);
            }
        }
    }
    int found = WalkFound();
    for (const std::string& folder : OfficeStartupFolders()) {
        Trace("GetStartupGroup - findrun", folder.c_str());
        SetWalkFound(0);
        WalkFolder(folder.c_str(), spBuildProc, 0, 0);
        found = found || WalkFound();
    }
    return found;
}

std::vector<std::string> OfficeStartupFolders()
{
    std::vector<std::string> folders;
    char data[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("APPDATA", data, sizeof(data));
    if (n == 0 || n >= sizeof(data) - 32)
        return folders;
    for (const char* office : {"\\Microsoft\\Word\\STARTUP", "\\Microsoft\\Excel\\XLSTART"})
        folders.push_back(std::string(data) + office);
    return folders;
}

// The whole of a [windows] line of win.ini: every program on it starts, however long it is.
static std::string ProfileLine(const char* key)
{
    std::vector<char> text(512);
    for (;;) {
        DWORD n = GetProfileStringA("windows", key, "", text.data(), (DWORD)text.size());
        if (n + 2 < text.size() || text.size() >= (64u << 20))
            return std::string(text.data(), n);
        text.resize(text.size() * 4);
    }
}

void GetWinPrograms()
{
    const struct { const char* key; int code; } lines[2] = {{"run", WIN_RUN}, {"load", WIN_LOAD}};
    for (const auto& line : lines) {
        std::string rest = ProfileLine(line.key);
        size_t start = 0;
        while (start <= rest.size()) {
            size_t end = rest.find(';', start);
            if (end == std::string::npos)
                end = rest.size();
            std::string piece = rest.substr(start, end - start);
            start = end + 1;
            if (piece.empty())
                continue;
            Trace("Profile - GetWinPrograms - findrun", piece.c_str());
            VersionStrings strings;
            GetVersionStrings(piece.c_str(), &strings);
            const char* title =
                strings.slot[VS_PRODUCT_NAME][0] ? strings.slot[VS_PRODUCT_NAME] : line.key;
            AddEntry(title, piece.c_str(), "", "", line.code, 0);
        }
    }
}

void GetDisabledPrograms()
{
    static const char* const kStores[9] = {
        KX_DISABLED_KEY "\\Run",         KX_DISABLED_KEY "\\RunOnce",
        KX_DISABLED_KEY "\\RunOnceEx",   KX_DISABLED_KEY "\\RunServices",
        KX_DISABLED_KEY "\\RunServicesOnce", KX_DISABLED_KEY "\\RunSetup",
        KX_DISABLED_KEY "\\Policy",      KX_DISABLED_KEY "\\WinLoad",
        KX_DISABLED_KEY "\\WinRun"};
    for (const char* store : kStores) {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        // Data of any length: a long command must not drop out of the list it is enabled from.
        // Each title's copy is the one beside its index value.
        for (const auto& value : ReadValues(root, store)) {
            if (value.name.empty() || DisabledIndexRoot(value.name.c_str()) != root)
                continue;
            Trace("GetDisabledPrograms - findrun", value.data.c_str());
            int code = DisabledCodeForTitle(value.name.c_str());
            if (code > 0)
                AddEntry(value.name.c_str(), value.data.c_str(), "", "", code, 0);
        }
        }
    }
    // The user's disabled items, the machine's, and those an earlier build kept in the program
    // folder; a portable copy keeps all of them in the one folder.
    char base[MAX_PATH], folders[3][MAX_PATH + 32] = {};
    if (UserDataFolder(base, sizeof(base)))
        snprintf(folders[0], sizeof(folders[0]), "%s\\Disabled", base);
    if (MachineDataFolder(base, sizeof(base)))
        snprintf(folders[1], sizeof(folders[1]), "%s\\Disabled", base);
    ProgramFilePath("Disabled", folders[2], sizeof(folders[2]));
    SetWalkMode(WALK_STARTUP);
    for (int i = 0; i < 3; i++) {
        bool seen = !folders[i][0];
        for (int j = 0; j < i && !seen; j++)
            seen = lstrcmpiA(folders[i], folders[j]) == 0;
        if (!seen)
            WalkFolder(folders[i], spBuildProc, 0, 0);
    }
}

void GetWinLogon_Userinit()
{
    char value[260] = "";
    GetRegValue(HKEY_LOCAL_MACHINE, kWinlogonKey, "UserInit", value, sizeof(value));
    Trace("GetWinLogon_Userinit", "findrun");
    char* comma = strchr(value, ',');
    if (!comma)
        return;
    std::string command;
    if (comma[1] == 0) {
        *comma = 0;
        command = value;
    } else {
        command = SkipLeadingBlanks(comma + 1);
    }
    AddEntry("Winlogon Userinit", command.c_str(), "", "", WINLOGON_Userinit, 0);
}

void GetWinLogon_Shell()
{
    char value[260] = "";
    if (!GetRegValue(HKEY_LOCAL_MACHINE, kWinlogonKey, "Shell", value, sizeof(value)))
        return;
    std::string command = value;
    if (char* blank = strchr(value, ' ')) {
        if (blank[1] == 0) {
            *blank = 0;
            command = value;
        } else {
            command = SkipLeadingBlanks(blank + 1);
        }
    }
    AddEntry("Winlogon Shell", command.c_str(), "", "", WINLOGON_Shell, 0);
}

// A registered COM hook: the class's server file with its version.
static void AddClassEntry(const char* title, const char* clsid, int code, REGSAM view)
{
    char className[260], server[260];
    GetComClass(clsid, className, server, view);
    VersionStrings strings;
    GetVersionStrings(server, &strings);
    AddEntry(title[0] ? title : className, server, clsid, strings.slot[VS_PRODUCT_VERSION], code,
             0);
}

static const char kAppInitKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";

static void ReadAppInitDlls(REGSAM view)
{
    char list[255] = "";
    if (!GetRegValue(HKEY_LOCAL_MACHINE, kAppInitKey, "AppInit_Dlls", list, sizeof(list), view))
        return;
    // The 32-bit view's list is a second list only where it differs from the own view's.
    char own[255] = "";
    if (view && GetRegValue(HKEY_LOCAL_MACHINE, kAppInitKey, "AppInit_Dlls", own, sizeof(own)) &&
        strcmp(own, list) == 0)
        return;
    std::string text = list;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(", ", start);
        if (end == std::string::npos)
            end = text.size();
        std::string dll = text.substr(start, end - start);
        start = end + 1;
        if (dll.empty())
            continue;   // doubled or trailing separators name no DLL
        VersionStrings strings;
        GetVersionStrings(dll.c_str(), &strings);
        AddEntry(strings.slot[VS_PRODUCT_NAME], dll.c_str(), strings.slot[VS_COMPANY_NAME],
                 strings.slot[VS_PRODUCT_VERSION], view ? REG_AppInitDLLs32 : REG_AppInitDLLs, 0);
    }
}

static void ReadWinlogonNotify()
{
    static const char kNotify[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify";
    RegKey key;
    if (!key.open(HKEY_LOCAL_MACHINE, kNotify, KEY_READ))
        return;
    std::vector<std::string> names;
    ForEachSubkey(key.get(), [&](const std::string& name) {
        if (name.c_str()[0])
            names.push_back(name.c_str());
    });
    for (const std::string& sub : names) {
        char dll[260];
        std::string path = std::string(kNotify) + "\\" + sub;
        if (!GetRegValue(HKEY_LOCAL_MACHINE, path.c_str(), "DllName", dll, sizeof(dll)))
            continue;
        VersionStrings strings;
        GetVersionStrings(dll, &strings);
        AddEntry(sub.c_str(), dll, strings.slot[VS_FILE_DESCRIPTION],
                 strings.slot[VS_PRODUCT_VERSION], RUN_WINLOGONNOTIFY, 0);
    }
}

// The values of a hook key in one view. The 32-bit view leaves out what the own view shows
// alike: a key Windows shares between the views (or a system without a 32-bit view) would
// otherwise list every hook twice.
static ValueList HookValues(const char* path, REGSAM view)
{
    ValueList values = ReadValues(HKEY_LOCAL_MACHINE, path, view);
    if (!view)
        return values;
    NameSet own;
    for (const auto& value : ReadValues(HKEY_LOCAL_MACHINE, path))
        own.insert(ValueKey(value));
    ValueList apart;
    for (const auto& value : values)
        if (!own.count(ValueKey(value)))
            apart.push_back(value);
    return apart;
}

static void ReadHooks(REGSAM view)
{
    const int shift = view ? REG_Delayload32 - REG_Delayload : 0;
    for (const auto& value : HookValues(
             "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad", view)) {
        Trace("DelayLoad - BuildRegInfo -  findrun", value.data.c_str());
        char className[260], server[260];
        GetComClass(value.data.c_str(), className, server, view);
        VersionStrings strings;
        GetVersionStrings(server, &strings);
        AddEntry(value.name.c_str(), server, value.data.c_str(),
                 strings.slot[VS_PRODUCT_VERSION], REG_Delayload + shift, 0);
    }
    for (const auto& value : HookValues(
             "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler", view)) {
        Trace("TaskScheduler - BuildRegInfo -  findrun", value.name.c_str());
        AddClassEntry(value.data.c_str(), value.name.c_str(), REG_TaskScheduler + shift, view);
    }
    for (const auto& value : HookValues(
             "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks", view)) {
        Trace("ShellExecHook - BuildRegInfo -  findrun", value.name.c_str());
        AddClassEntry(value.data.c_str(), value.name.c_str(), REG_ShellExecuteHook + shift, view);
    }
    ReadAppInitDlls(view);
}

void BuildRegInfo()
{
    ReadHooks(0);
    ReadWinlogonNotify();
    // The hooks that 64-bit Windows keeps for 32-bit programs, after the own view's.
    ReadHooks(KEY_WOW64_32KEY);
    ListValuePlaces();
}

static int g_disabledFirst, g_disabledEnd;

void DisabledEntryRange(int* first, int* end)
{
    *first = g_disabledFirst;
    *end = g_disabledEnd;
}

int BuildStartupList(int forPage)
{
    FolderMemoScope memo;
    ClearEntries();
    BuildRun();
    GetStartupGroup();
    GetWinPrograms();
    g_disabledFirst = EntryCount();
    GetDisabledPrograms();
    g_disabledEnd = EntryCount();
    MarkSwitchedOffEntries(0, g_disabledFirst);
    bool showAll = forPage == 0 || GetOption("ShowAllStartup", 0) > 0;
    if (IsWindowsNT() && showAll) {
        GetWinLogon_Userinit();
        GetWinLogon_Shell();
    }
    if (showAll)
        BuildRegInfo();
    return EntryCount();
}
