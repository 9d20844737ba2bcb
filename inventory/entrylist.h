// The entry record, the one list per program, and the entry-type and action tables.
#pragma once
#include <windows.h>
#include <vector>

const int MAX_ENTRIES = 4096;

struct EntryRecord {
    char title[128];
    char command[260];
    char source[260];
    int type;      // EntryType code
    int tag;       // producer-specific number
    char detail[1024];
    // Startup entries: 1 when Windows' own startup switch (Task Manager, Settings) keeps the
    // entry from starting though it is in place. Set by the startup inventory.
    int offByWindows;
    // Services: the key name under the services root. A service is approved, stopped and
    // disabled by it: display names are not unique, and any service can take another's.
    char key[256];
};

// The list takes MAX_ENTRIES entries, the rows a page of the manager shows; a check of the
// monitor lifts the limit while it runs (EntryLimitScope), so that no entry is ever left out of
// what the guard looks at.
struct EntryList {
    std::vector<EntryRecord*> items;
    int count;
};

extern EntryList g_entries;

// Entry-type codes (the table order is in entrylist.cpp).
enum EntryType {
    MACHINE_RUN = 1, MACHINE_RUNONCE = 2, MACHINE_RUNONCEEX = 3, MACHINE_RUNSERVICES = 4,
    MACHINE_RUNSERVICESONCE = 5, MACHINE_RUNONCESETUP = 6, MACHINE_RUNPOLICY = 7,
    CURRENT_RUN = 11, CURRENT_RUNONCE = 12, CURRENT_RUNONCEEX = 13, CURRENT_RUNSERVICES = 14,
    CURRENT_RUNSERVICESONCE = 15,
    USERS_RUN = 21, USERS_RUNONCE = 22, USERS_RUNONCEEX = 23, USERS_RUNSERVICES = 24,
    USERS_RUNSERVICESONCE = 25,
    KESTRIX_RUN = 31, KESTRIX_RUNONCE = 32, KESTRIX_RUNONCEEX = 33, KESTRIX_RUNSERVICES = 34,
    KESTRIX_RUNSERVICESONCE = 35,
    // The machine Run keys as 64-bit Windows keeps them for 32-bit programs
    // (HKLM\Software\WOW6432Node): base code + 40.
    MACHINE32_RUN = 41, MACHINE32_RUNONCE = 42, MACHINE32_RUNONCEEX = 43,
    MACHINE32_RUNSERVICES = 44, MACHINE32_RUNSERVICESONCE = 45, MACHINE32_RUNONCESETUP = 46,
    MACHINE32_RUNPOLICY = 47,
    WIN_LOAD = 100, WIN_RUN = 101, GROUP_STARTUP = 200,
    WINLOGON_Userinit = 250, WINLOGON_Shell = 251, REG_Delayload = 252, REG_TaskScheduler = 253,
    REG_ShellExecuteHook = 254, REG_AppInitDLLs = 255, RUN_WINLOGONNOTIFY = 256,
    // The same four hooks as 64-bit Windows keeps them for 32-bit programs: code + 10.
    REG_Delayload32 = 262, REG_TaskScheduler32 = 263, REG_ShellExecuteHook32 = 264,
    REG_AppInitDLLs32 = 265,
    RESTART_DELETE = 300, RESTART_RENAME = 301, TYPE_MONITOR = 350, TYPE_BLACKLIST = 360,
    TYPE_HIDDEN = 370, TYPE_FILETYPE = 400, TYPE_PROSEARCH = 450,
    INFO_COOKIE = 500, INFO_NETCOOKIE = 501, INFO_SAVECOOKIE = 502, INFO_NUTS = 503,
    INFO_MOZCOOKIE = 504,   // Mozilla cookie list entries; has no table row
    INFO_TASK = 600, SERVICE_EXE = 700, SERVICE_SVCHOST = 701, TASK_SCHEDULED = 800,
    DRIVER_SERVICE = 702,   // kernel and file-system drivers; tag: the service type (1 or 2)
    TYPE_BHO = 900, TYPE_TOOLBAR = 901, TYPE_EXTENSION = 902,
    TYPE_BHO32 = 903,   // a helper object registered for 32-bit browsers
    // Today's browsers (Chromium family, Firefox): read from profiles and policies.
    TYPE_BROWSER_EXTENSION = 904, TYPE_BROWSER_PAGE = 905, TYPE_BROWSER_POLICY = 906,
    TYPE_BROWSER_EXTERNAL = 907,
    TYPE_UNKNOWN = 3000,
};

// 1 for the entries of the service manager (services and drivers), which run no command line.
inline int IsServiceCode(int code)
{
    return code == SERVICE_EXE || code == SERVICE_SVCHOST || code == DRIVER_SERVICE;
}

// Action codes written to the history (names in entrylist.cpp).
enum ActionCode {
    ACT_START_REMOVE = 0, ACT_START_DISABLE = 1, ACT_START_ENABLE = 2, ACT_IEHELPER_REMOVE = 3,
    ACT_TASK_REMOVE = 4, ACT_TASK_KILL = 5, ACT_START_ALERT = 6, ACT_TASK_ALERT = 7,
    ACT_IEHELPER_ALERT = 8, ACT_SERVICE_STOP = 9, ACT_SERVICE_AUTOMATIC = 10,
    ACT_SERVICE_MANUAL = 11, ACT_SERVICE_DISABLED = 12, ACT_START_RESTORE = 12,
    ACT_TASK_RESTORE = 13, ACT_IEHELPER_RESTORE = 14, ACT_SCHEDULEDTASK_REMOVE = 15,
    ACT_SERVICE_FROM_AUTOMATIC = 17, ACT_SERVICE_FROM_MANUAL = 18, ACT_SERVICE_FROM_DISABLED = 19,
    ACT_SERVICE__FROM_DISABLED = 20, ACT_RESET_USERINIT = 21, ACT_RESET_SHELL = 22,
    ACT_REMOVE_TASKSCHEDULER = 23, ACT_REMOVE_DELAYLOAD = 24, ACT_REMOVE_SHELLEXECUTEHOOK = 25,
    ACT_REMOVE_APPINIT = 26, ACT_HIDDEN_ALERT = 28, ACT_HIDDEN_DELETEFILE = 29,
    ACT_REMOVE_WINLOGONNOTIFY = 30, ACT_LOG_UNKNOWN = 31, ACT_FILETYPE_RESTORE = 32,
    ACT_FILETYPE_ACCEPT = 33,
    // A driver disabled on No; its source is "<previous start> <key name>" for the restore.
    ACT_DRIVER_DISABLED = 34,
};

// The seven Run keys; an entry's code is base (1..7) + 10 x root index (HKLM 0, HKCU 1,
// HKLM's 32-bit view 4).
extern const char* const kRunKeys[7];
const int RUN32_ROOT_INDEX = 4;
// Root, key and registry view (0 or KEY_WOW64_32KEY) of a Run-key code; 0 for other codes.
int RunKeyOfCode(int code, HKEY* root, const char** path, REGSAM* view);
// 1 for the codes of machine-wide Run keys (either view): their entries belong to all users.
int IsMachineRunCode(int code);
// The registry hooks (ShellServiceObjectDelayLoad, SharedTaskScheduler, ShellExecuteHooks,
// AppInit_DLLs) of either view: the code of the hook in the program's own view (252..255),
// with the view (0 or KEY_WOW64_32KEY); 0 for other codes.
int HookOfCode(int code, REGSAM* view);
// Store key of the disabled copy for a code, nullptr for codes kept elsewhere.
const char* DisabledStoreKey(int type);

int AddEntry(const char* title, const char* command, const char* source, const char* detail,
             int type, int tag);
// Appends a record made with malloc (the list frees it); 0 (and the record freed) at the limit.
int AppendEntryRecord(EntryRecord* record);
// Held by the monitor's checks and baseline: the list takes every entry there is.
struct EntryLimitScope {
    EntryLimitScope();
    ~EntryLimitScope();
    EntryLimitScope(const EntryLimitScope&) = delete;
    EntryLimitScope& operator=(const EntryLimitScope&) = delete;
};
void ClearEntries();
int EntryCount();

int GetEntryTitle(int index, char* out);     // out: 128
int GetEntryCommand(int index, char* out);   // out: 260
int GetEntrySource(int index, char* out);    // out: 260
int GetEntryDetail(int index, char* out, int capacity);
int GetEntryType(int index);
int GetEntryTag(int index);
const EntryRecord* GetEntry(int index);

// Long path form of a text in place (not on Windows 95); unchanged when it fails.
void ToLongPathForm(char* path, int capacity);

// Held while a list is built: ToLongPathForm remembers which folders are missing until the
// outermost scope ends.
struct FolderMemoScope {
    FolderMemoScope();
    ~FolderMemoScope();
    FolderMemoScope(const FolderMemoScope&) = delete;
    FolderMemoScope& operator=(const FolderMemoScope&) = delete;
};

// 1 when the folder of path is known, within a FolderMemoScope, not to exist (so the file
// cannot either); 0 when it exists or cannot be judged.
int InMissingFolder(const char* path);

const char* TypeName(int code);
int TypeCode(const char* name);
const char* ActionName(int code);
int ActionCodeFromName(const char* name);
int IsReversibleAction(int code);

// The code under which a title is held in the DisabledIndex; 0 when not disabled.
int DisabledCodeForTitle(const char* title);
// Held while a report walks thousands of entries: the DisabledIndex's names are read once, and
// a title not among them is answered without a registry lookup.
struct DisabledIndexScope {
    DisabledIndexScope();
    ~DisabledIndexScope();
    DisabledIndexScope(const DisabledIndexScope&) = delete;
    DisabledIndexScope& operator=(const DisabledIndexScope&) = delete;
    bool owner;
};
// Location column text for an entry (buffer of 512).
int LocationText(int index, char* out);
int LocationTextFor(int type, const char* title, char* out);

