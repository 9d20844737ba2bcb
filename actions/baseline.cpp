#include "baseline.h"
#include "addedcategories.h"
#include "alwaysrun.h"
#include "datetime.h"
#include "driverstates.h"
#include "entrylist.h"
#include "firstseen.h"
#include "findrun.h"
#include "firstrun.h"
#include "handles.h"
#include "inventories.h"
#include "knownlist.h"
#include "keys.h"
#include "options.h"
#include "pathutil.h"
#include "registry.h"
#include "runtasks.h"
#include "services.h"
#include "trace.h"
#include "textutil.h"
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#define KX_RUN_LIST KX_KEY "\\Run"
#define KX_IEHELPERS_LIST KX_KEY "\\IEHelpers"
#define KX_TASKS_LIST KX_KEY "\\Tasks"
#define KX_SERVICES_LIST KX_KEY "\\Services"
#define KX_HIDDEN_LIST KX_KEY "\\Hidden"

static const char* const kDetectedSubkeys[] = {"Startup", "IEHelper", "Services", "Tasks",
                                               "ActiveTasks", "FileTypes", "Hidden"};

int ProgramKey(const char* command, char* out) { return GetProgramFile(command, out); }

// Date and time: a program first seen in the morning and one seen in the evening differ.
static void TodayText(char* out, int capacity)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    FormatDateTime(now, out, capacity);
}

int RecordFirstSeen(const char* command, const char* detectedSubkey)
{
    char subkey[300];
    if (strchr(detectedSubkey, '\\'))
        lstrcpynA(subkey, detectedSubkey, sizeof(subkey));
    else
        snprintf(subkey, sizeof(subkey), "%s\\%s", KX_DETECTED_KEY, detectedSubkey);

    char key[260];
    ProgramKey(command, key);
    if (!FileExists(key, sizeof(key)))
        return 0;
    char date[64];
    if (GetRegValue(HKEY_CURRENT_USER, subkey, key, date, sizeof(date)) > 0)
        return 1;
    TodayText(date, sizeof(date));
    SetRegValue(HKEY_CURRENT_USER, subkey, key, date);
    return 0;
}

// Dates many commands under one Detected subkey in one sweep, as RecordFirstSeen would one by
// one: the dates held are read once, and a file in a folder found missing, or itself found
// missing, is not looked for again (a first start dates thousands of entries, and thousands
// naming a few removed programs each looked for the file the long way).
static void RecordFirstSeenAll(const std::vector<std::string>& commands, const char* subkey)
{
    FolderMemoScope memo;
    RegTextMap dated = ReadRegTexts(HKEY_CURRENT_USER, subkey, 64);
    std::unordered_set<std::string> missing;
    char today[64];
    TodayText(today, sizeof(today));
    for (const std::string& command : commands) {
        char key[260];
        ProgramKey(command.c_str(), key);
        if (!key[0] || InMissingFolder(key))
            continue;
        std::string name = RegNameKey(key);
        if (dated.count(name) || missing.count(name))
            continue;
        if (!FileExists(key, sizeof(key))) {
            missing.insert(name);
            continue;
        }
        // FileExists may have named the file by its short path.
        name = RegNameKey(key);
        if (dated.count(name))
            continue;
        if (SetRegValue(HKEY_CURRENT_USER, subkey, key, today))
            dated.emplace(name, today);
    }
}

// Dates the command of every entry in the list under one Detected subkey.
static void RecordListedPrograms(const char* subkey)
{
    std::vector<std::string> commands;
    for (int i = 0; i < EntryCount(); i++) {
        char command[260];
        if (GetEntryCommand(i, command) > 0)
            commands.push_back(command);
    }
    ClearEntries();
    RecordFirstSeenAll(commands, subkey);
}

// What initial values write into the Run, IEHelpers and Tasks lists for the present state,
// and the startup commands that are dated.
struct PresentLists {
    KnownValues run, ieHelpers, tasks;
};
struct PresentState {
    PresentLists lists;
    std::vector<std::string> startupCommands;
};

static PresentState ReadPresentState();

// The present state a start sequence took once, at its beginning (see StartSnapshotScope).
static int g_scopeDepth;
static int g_firstStart;   // the scope's start is a first start: its lists were made from it
static std::unique_ptr<PresentState> g_present;

static const PresentState* HeldPresent()
{
    if (!g_scopeDepth)
        return nullptr;
    EntryLimitScope everyEntry;
    if (!g_present)
        g_present.reset(new PresentState(ReadPresentState()));
    return g_present.get();
}

StartSnapshotScope::StartSnapshotScope()
{
    if (g_scopeDepth++ == 0) {
        g_present.reset();
        // A first start makes its lists from what is there now: read it before anything else,
        // so that what arrives later is asked about.
        g_firstStart = IsFirstRun();
        if (g_firstStart)
            HeldPresent();
    }
}

StartSnapshotScope::~StartSnapshotScope()
{
    if (--g_scopeDepth == 0) {
        g_present.reset();
        g_firstStart = 0;
    }
}

void MakeBaseline()
{
    EntryLimitScope everyEntry;   // a list is never made from part of what is there
    char made[64];
    if (GetRegValue(HKEY_CURRENT_USER, KX_DETECTED_KEY, "", made, sizeof(made)) > 0)
        return;
    CreateRegKey(HKEY_CURRENT_USER, KX_DETECTED_KEY);
    for (const char* name : kDetectedSubkeys) {
        char path[128];
        snprintf(path, sizeof(path), "%s\\%s", KX_DETECTED_KEY, name);
        CreateRegKey(HKEY_CURRENT_USER, path);
    }
    TodayText(made, sizeof(made));
    SetRegValue(HKEY_CURRENT_USER, KX_DETECTED_KEY, "", made);

    if (const PresentState* present = HeldPresent()) {
        RecordFirstSeenAll(present->startupCommands, KX_DETECTED_KEY "\\Startup");
    } else {
        BuildStartupList(0);
        RecordListedPrograms(KX_DETECTED_KEY "\\Startup");
    }
    ListBrowserAddOns();
    RecordListedPrograms(KX_DETECTED_KEY "\\IEHelper");
    ListScheduledTasks();
    RecordListedPrograms(KX_DETECTED_KEY "\\Tasks");
    ListServicesAndDrivers();
    RecordListedPrograms(KX_DETECTED_KEY "\\Services");
    ListFileTypePrograms();
    RecordListedPrograms(KX_DETECTED_KEY "\\FileTypes");
    RecordRunningTasks();
    ListHiddenFiles();
    RecordListedPrograms(KX_DETECTED_KEY "\\Hidden");
}

// The known list of the entries in the shared list, named by their titles: [title] = type
// code.
static KnownValues ListedTitles()
{
    KnownValues list;
    for (int i = 0; i < EntryCount(); i++) {
        char title[128], code[16];
        GetEntryTitle(i, title);
        snprintf(code, sizeof(code), "%d", GetEntryType(i));
        AddKnownValue(&list, title, code);
    }
    ClearEntries();
    return list;
}

static PresentState ReadPresentState()
{
    PresentState present;
    Trace("InitRegStartups", "StarupList - kestrix");
    BuildStartupList(0);
    for (int i = 0; i < EntryCount(); i++) {
        char command[260], name[260], code[16];
        GetEntryCommand(i, command);
        if (command[0])
            present.startupCommands.push_back(command);
        StartupKeyName(command, name);
        // A hook whose class names no file has no command: it is known by its title (an
        // empty name would be the key's default value, which the lookup never reads).
        if (!name[0])
            GetEntryTitle(i, name);
        snprintf(code, sizeof(code), "%d", GetEntryType(i));
        AddKnownValue(&present.lists.run, name, code);
    }
    ClearEntries();

    Trace("InitRegStartups", "IEHelperList - kestrix");
    ListBrowserAddOns();
    present.lists.ieHelpers = ListedTitles();

    Trace("InitRegStartups", "GetScheduledTasks - kestrix");
    ListScheduledTasks();
    present.lists.tasks = ListedTitles();
    return present;
}

static PresentLists ReadPresentLists()
{
    if (const PresentState* held = HeldPresent())
        return held->lists;
    return ReadPresentState().lists;
}

// 1 when the list holds any value besides its default.
static int ListHoldsValues(const char* listKey)
{
    RegKey key;
    DWORD values = 0;
    if (!key.open(HKEY_CURRENT_USER, listKey, KEY_READ) ||
        RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return 0;
    char mark[8];
    DWORD size = sizeof(mark);
    bool hasDefault = RegQueryValueExA(key.get(), "", nullptr, nullptr, (BYTE*)mark, &size) !=
                      ERROR_FILE_NOT_FOUND;
    return values > (hasDefault ? 1u : 0u);
}

void InitRegStartups()
{
    EntryLimitScope everyEntry;   // a list is never made from part of what is there
    const char* const keys[] = {KX_RUN_LIST, KX_IEHELPERS_LIST, KX_TASKS_LIST};
    bool anyEmpty = false;
    for (const char* key : keys)
        anyEmpty = anyEmpty || !ListHoldsValues(key);
    if (!anyEmpty)
        return;
    PresentLists present = ReadPresentLists();
    const KnownValues* values[] = {&present.run, &present.ieHelpers, &present.tasks};
    // A list that holds decisions keeps them and gains nothing: what it does not know is asked
    // about, whatever made this run (a changed data version, a deleted mark).
    for (int i = 0; i < 3; i++)
        if (!ListHoldsValues(keys[i]))
            WriteKnownValues(keys[i], *values[i]);
}

void CreateInitialValues()
{
    Trace("Create Initial Values", "");
    InitRegStartups();
    AddAlwaysRun();
}

// The known lists hold values only, but a stray subkey must not keep a list alive.
static void DeleteKeyWithSubkeys(HKEY root, const char* path)
{
    if (IsRegistryWriteBlocked(root))
        return;
    {
        RegKey key;
        if (!key.open(root, path, KEY_READ | KEY_WRITE))
            return;
        // Named first: deleting while walking would shift the indexes.
        std::vector<std::string> subkeys;
        ForEachSubkey(key.get(), [&](const std::string& name) { subkeys.push_back(name); });
        for (const std::string& name : subkeys) {
            DeleteKeyWithSubkeys(root, (std::string(path) + "\\" + name).c_str());
            if (RegDeleteKeyA(key.get(), name.c_str()) != ERROR_SUCCESS)
                break;
        }
    }
    RegDeleteKeyA(root, path);
}

void RebuildLists()
{
    EntryLimitScope everyEntry;   // a list is never made from part of what is there
    Trace("Cleanup Run Registry", "kestrix");
    // What is there now, not what the start read: forgetting by an older reading would drop
    // what came since (the monitor's own value, for one).
    PresentLists present = ReadPresentState().lists;
    const struct {
        const char* key;
        const KnownValues& values;
    } lists[] = {{KX_RUN_LIST, present.run},
                 {KX_IEHELPERS_LIST, present.ieHelpers},
                 {KX_TASKS_LIST, present.tasks}};
    // What was known and is still there stays known; what is gone is forgotten, so that it is
    // asked about should it come back. Nothing is added: an entry the list does not know is
    // asked about at the next check. A delayed program's mark stays while it waits elsewhere.
    for (const auto& list : lists) {
        KnownValues kept;
        for (const auto& value : ReadRegTexts(HKEY_CURRENT_USER, list.key, REG_READ_BUFFER))
            if (list.values.byName.count(value.first) ||
                (list.key == lists[0].key && atoi(value.second.c_str()) == 1103))
                kept.byName.emplace(value.first, 0);
        RegKey key;
        if (!key.open(HKEY_CURRENT_USER, list.key, KEY_READ)) {
            CreateRegKey(HKEY_CURRENT_USER, list.key);
            continue;
        }
        std::vector<std::string> gone, subkeys;
        char name[16384];
        for (DWORD index = 0;; index++) {
            DWORD length = sizeof(name);
            LONG status = RegEnumValueA(key.get(), index, name, &length, nullptr, nullptr, nullptr,
                                        nullptr);
            if (status == ERROR_NO_MORE_ITEMS)
                break;
            if (status == ERROR_SUCCESS && name[0] && !kept.byName.count(RegNameKey(name)))
                gone.push_back(name);
        }
        for (DWORD index = 0; RegEnumKeyA(key.get(), index, name, 256) == ERROR_SUCCESS; index++)
            subkeys.push_back(name);
        key.reset();
        for (const std::string& value : gone)
            DeleteRegValue(HKEY_CURRENT_USER, list.key, value.c_str());
        // The known lists hold values only, but a stray subkey must not keep a list alive.
        for (const std::string& sub : subkeys)
            DeleteKeyWithSubkeys(HKEY_CURRENT_USER, (std::string(list.key) + "\\" + sub).c_str());
    }
}

// 1 when the list's default value marks it as initialised; else makes the key afresh.
static int ListInitialised(const char* listKey)
{
    char mark[REG_READ_BUFFER];
    int length = GetRegValue(HKEY_CURRENT_USER, listKey, "", mark, sizeof(mark));
    if (mark[0] == 'P')
        return 1;
    if (length > 0)
        DeleteKeyWithSubkeys(HKEY_CURRENT_USER, listKey);
    CreateRegKey(HKEY_CURRENT_USER, listKey);
    return 0;
}

void InitServicesList()
{
    EntryLimitScope everyEntry;   // a list is never made from part of what is there
    if (ListInitialised(KX_SERVICES_LIST))
        return;
    SetRegValue(HKEY_CURRENT_USER, KX_SERVICES_LIST, "", "P");
    ListServicesAndDrivers();
    // Services are known by their key names (display names are not unique); drivers with
    // their start type and program, so that a change to either is asked about.
    KnownValues keys;
    for (int i = 0; i < EntryCount(); i++) {
        char code[16];
        snprintf(code, sizeof(code), "%d", GetEntryType(i));
        AddKnownValue(&keys, GetEntry(i)->key, code);
        if (GetEntryType(i) == DRIVER_SERVICE)
            RememberDriverState(GetEntry(i)->key);
    }
    ClearEntries();
    WriteKnownValues(KX_SERVICES_LIST, keys);
}

void InitHiddenList()
{
    EntryLimitScope everyEntry;   // a list is never made from part of what is there
    if (ListInitialised(KX_HIDDEN_LIST))
        return;
    CreateRegKey(HKEY_CURRENT_USER, KX_DETECTED_KEY);
    InitRegStartups();
    SetRegValue(HKEY_CURRENT_USER, KX_HIDDEN_LIST, "", "P");
    ListHiddenFiles();
    char today[64];
    TodayText(today, sizeof(today));
    for (int i = 0; i < EntryCount(); i++) {
        char command[260];
        if (GetEntryCommand(i, command) > 0)
            SetRegValue(HKEY_CURRENT_USER, KX_HIDDEN_LIST, command, today);
    }
    ClearEntries();
}

static int CollectProgram(DWORD, WORD, const char* path, void* arg)
{
    if (path[0])
        ((std::vector<std::string>*)arg)->push_back(path);
    return 1;
}

void RecordRunningTasks()
{
    // The programs' paths are all a date needs: the list's version texts are not read.
    std::vector<std::string> programs;
    EnumerateProcesses(CollectProgram, &programs);
    RecordFirstSeenAll(programs, KX_DETECTED_KEY "\\ActiveTasks");
}

void StartBaseline()
{
    EntryLimitScope everyEntry;   // a list is never made from part of what is there
    int firstRun = IsFirstRun();
    if (firstRun) {
        CreateKeySkeleton();
        CreateInitialValues();
    }
    MakeBaseline();
    InitServicesList();
    InitHiddenList();
    AdoptAddedCategories(firstRun);
}

// A baseline made by a build that listed no services carries the mark but no service; it is
// made again from the present services, so that upgrading raises no alert for each of them.
static void RefillEmptyServicesList()
{
    {
        RegKey key;
        DWORD values = 0;
        if (!key.open(HKEY_CURRENT_USER, KX_SERVICES_LIST, KEY_READ) ||
            RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return;
        char mark[REG_READ_BUFFER];
        bool hasDefault = GetRegValue(HKEY_CURRENT_USER, KX_SERVICES_LIST, "", mark, sizeof(mark)) > 0;
        if (values > (hasDefault ? 1u : 0u))
            return;
    }
    DeleteRegValue(HKEY_CURRENT_USER, KX_SERVICES_LIST, "");
    InitServicesList();
}

void CheckDataVersion()
{
    EntryLimitScope everyEntry;   // a list is never made from part of what is there
    char version[REG_READ_BUFFER];
    if (GetRegValue(HKEY_CURRENT_USER, KX_KEY, "Version", version, sizeof(version)) > 0) {
        if (!InMyString(version, KX_DATA_VERSION)) {
            // Only the data of the build that listed no services is made again: a list of this
            // layout keeps the user's decisions.
            if (lstrcmpA(version, "12.2.2007.0") == 0)
                RefillEmptyServicesList();
            RebuildLists();
            SetRegValue(HKEY_CURRENT_USER, KX_KEY, "Version", KX_DATA_VERSION);
            AddAlwaysRun();
        }
        if (GetOption("Cleanup", 0) != 0) {
            RebuildLists();
            SetOption("Cleanup", 0);
        }
        return;
    }
    // A first start has just made its lists from the present state: nothing there to forget.
    if (!(g_scopeDepth && g_firstStart))
        RebuildLists();
    SetRegValue(HKEY_CURRENT_USER, KX_KEY, "Version", KX_DATA_VERSION);
}
