#include "findrun.h"
#include "entrylist.h"
#include "folderwalk.h"
#include "handles.h"
#include "keys.h"
#include "options.h"
#include "pathutil.h"
#include "platform.h"
#include "program.h"
#include "registry.h"
#include "trace.h"
#include "versioninfo.h"
#include <cstring>
#include <string>
#include <utility>
#include <vector>

typedef std::vector<std::pair<std::string, std::string>> ValueList;

static const char kWinlogonKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
static const char kShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Name and data of every string value of a key, in enumeration order. Reading the whole
// key first keeps the order stable while the caller moves values out of it.
static ValueList ReadValues(HKEY root, const char* path, int maxName, int maxData)
{
    ValueList values;
    RegKey key;
    if (!key.open(root, path, KEY_READ))
        return values;
    DWORD count = 0;
    if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return values;
    std::vector<char> name(maxName + 1), data(maxData + 2);
    for (DWORD index = 0; index <= count; index++) {
        DWORD nameLength = maxName + 1, dataLength = maxData + 1, type = 0;
        LONG status = RegEnumValueA(key.get(), index, name.data(), &nameLength, nullptr, &type,
                                    (BYTE*)data.data(), &dataLength);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS)
            continue;
        data[dataLength] = 0;   // binary data need not end in a terminator
        values.emplace_back(std::string(name.data(), nameLength), std::string(data.data()));
    }
    return values;
}

static ReturnedValueHandler g_returnedValueHandler = nullptr;

void SetReturnedValueHandler(ReturnedValueHandler handler) { g_returnedValueHandler = handler; }

static bool InDisabledIndex(const char* name)
{
    char code[17];
    return GetRegValue(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, name, code, sizeof(code)) > 0;
}

// The value read just before, across every key of one BuildRun pass.
struct LastRunValue {
    std::string name, data;
    bool present = false;
};

static void ReadRunKey(HKEY root, int rootIndex, int keyIndex, LastRunValue* last)
{
    const int code = keyIndex + 1 + 10 * rootIndex;
    ValueList values = ReadValues(root, kRunKeys[keyIndex], 511, 511);
    for (const auto& value : values) {
        const std::string& name = value.first;
        const std::string& data = value.second;
        bool repeat = last->present && lstrcmpiA(name.c_str(), last->name.c_str()) == 0 &&
                      lstrcmpiA(data.c_str(), last->data.c_str()) == 0;
        last->name = name;
        last->data = data;
        last->present = true;
        if (repeat)
            continue;
        Trace("BuildRun - findrun", data.c_str());
        // A namesake from another location is not the disabled entry: it is listed as the
        // active entry it is.
        if (InDisabledIndex(name.c_str()) && g_returnedValueHandler &&
            g_returnedValueHandler(name.c_str(), data.c_str(), code))
            continue;
        if (name.size() > 1 && data.size() > 4 && (unsigned char)name[0] < 128) {
            char command[512];
            int rundll = SplitRundll32(data.c_str(), command, sizeof(command));
            AddEntry(name.c_str(), command, "", "", code, rundll);
        }
    }
}

void BuildRun()
{
    const HKEY roots[2] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
    LastRunValue last;
    for (int r = 0; r < 2; r++)
        for (int k = 0; k < 7; k++)
            ReadRunKey(roots[r], r, k, &last);
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
    return WalkFound();
}

void GetWinPrograms()
{
    const struct { const char* key; int code; } lines[2] = {{"run", WIN_RUN}, {"load", WIN_LOAD}};
    for (const auto& line : lines) {
        char text[512] = "";
        GetProfileStringA("windows", line.key, "", text, sizeof(text));
        std::string rest = text;
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
        for (const auto& value : ReadValues(HKEY_LOCAL_MACHINE, store, 254, 254)) {
            if (value.first.empty())
                continue;
            Trace("GetDisabledPrograms - findrun", value.second.c_str());
            int code = DisabledCodeForTitle(value.first.c_str());
            if (code > 0)
                AddEntry(value.first.c_str(), value.second.c_str(), "", "", code, 0);
        }
    }
    char folder[MAX_PATH + 32];
    ProgramFilePath("Disabled", folder, sizeof(folder));
    SetWalkMode(WALK_STARTUP);
    WalkFolder(folder, spBuildProc, 0, 0);
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
static void AddClassEntry(const char* title, const char* clsid, int code)
{
    char className[260], server[260];
    GetComClass(clsid, className, server);
    VersionStrings strings;
    GetVersionStrings(server, &strings);
    AddEntry(title[0] ? title : className, server, clsid, strings.slot[VS_PRODUCT_VERSION], code,
             0);
}

static void ReadAppInitDlls()
{
    char list[255] = "";
    if (!GetRegValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
                     "AppInit_Dlls", list, sizeof(list)))
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
                 strings.slot[VS_PRODUCT_VERSION], REG_AppInitDLLs, 0);
    }
}

static void ReadWinlogonNotify()
{
    static const char kNotify[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify";
    RegKey key;
    if (!key.open(HKEY_LOCAL_MACHINE, kNotify, KEY_READ))
        return;
    std::vector<std::string> names;
    char name[255];
    for (DWORD index = 0;; index++) {
        DWORD length = sizeof(name);
        LONG status =
            RegEnumKeyExA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status == ERROR_SUCCESS && name[0])
            names.push_back(name);
    }
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

void BuildRegInfo()
{
    for (const auto& value : ReadValues(
             HKEY_LOCAL_MACHINE,
             "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad", 254,
             254)) {
        Trace("DelayLoad - BuildRegInfo -  findrun", value.second.c_str());
        char className[260], server[260];
        GetComClass(value.second.c_str(), className, server);
        VersionStrings strings;
        GetVersionStrings(server, &strings);
        AddEntry(value.first.c_str(), server, value.second.c_str(),
                 strings.slot[VS_PRODUCT_VERSION], REG_Delayload, 0);
    }
    for (const auto& value : ReadValues(
             HKEY_LOCAL_MACHINE,
             "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler", 254,
             254)) {
        Trace("TaskScheduler - BuildRegInfo -  findrun", value.first.c_str());
        AddClassEntry(value.second.c_str(), value.first.c_str(), REG_TaskScheduler);
    }
    for (const auto& value : ReadValues(
             HKEY_LOCAL_MACHINE,
             "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks", 254,
             254)) {
        Trace("ShellExecHook - BuildRegInfo -  findrun", value.first.c_str());
        AddClassEntry(value.second.c_str(), value.first.c_str(), REG_ShellExecuteHook);
    }
    ReadAppInitDlls();
    ReadWinlogonNotify();
}

int BuildStartupList(int forPage)
{
    ClearEntries();
    BuildRun();
    GetStartupGroup();
    GetWinPrograms();
    GetDisabledPrograms();
    bool showAll = forPage == 0 || GetOption("ShowAllStartup", 0) > 0;
    if (IsWindowsNT() && showAll) {
        GetWinLogon_Userinit();
        GetWinLogon_Shell();
    }
    if (showAll)
        BuildRegInfo();
    return EntryCount();
}
