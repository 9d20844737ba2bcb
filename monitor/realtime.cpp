#include "realtime.h"
#include "addons.h"
#include "entrylist.h"
#include "filetypes.h"
#include "handles.h"
#include "keys.h"
#include "monitorstate.h"
#include "options.h"
#include "patrol.h"
#include "pathutil.h"
#include "registry.h"
#include "services.h"
#include "startupapproved.h"
#include "sysfiles.h"
#include "trace.h"
#include <cstdio>
#include <initializer_list>

namespace {

// Below MAXIMUM_WAIT_OBJECTS - 1. At most 51 are armed: 16 Run and win.ini keys of HKLM and
// HKCU, 7 Run keys and 5 hook, AppInit and helper-object keys of the 32-bit view, 2 startup
// switch keys, Winlogon, 3 hook keys, up to 4 startup folders, the 2 delayed-start stores,
// 3 add-on keys, the services, the tasks folder, the HOSTS folder, 3 class keys and 2 page keys.
const int MAX_WATCHES = 56;

const char* const kHookKeys[] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks",
};

struct Watch {
    RegKey key;                   // registry watch: the open key
    Handle event;                 //   and the event RegNotifyChangeKeyValue sets
    ChangeNotifyHandle folder;    // folder watch
    char name[300];
    int category;                 // RealtimeCategory it serves
};

Watch g_watches[MAX_WATCHES];
HANDLE g_handles[MAX_WATCHES];
int g_count;
int g_pending;   // RealtimeCategory bits of the changes seen
DWORD g_lastSignal;

// Locations that did not exist when the watches were armed (on a new system the win.ini
// mapping key or a RunOnce key often does not): tried again on every tick.
struct Missing {
    HKEY root;   // nullptr for a folder
    REGSAM view;
    char path[300];
    int category;
};
Missing g_missing[MAX_WATCHES];
int g_missingCount;

void NoteMissing(HKEY root, const char* path, int category, REGSAM view = 0)
{
    if (g_missingCount >= MAX_WATCHES)
        return;
    g_missing[g_missingCount].root = root;
    g_missing[g_missingCount].view = view;
    lstrcpynA(g_missing[g_missingCount].path, path, sizeof(g_missing[0].path));
    g_missing[g_missingCount].category = category;
    g_missingCount++;
}

const DWORD kRegFilter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;

bool ArmKey(Watch& w)
{
    return RegNotifyChangeKeyValue(w.key.get(), TRUE, kRegFilter, w.event.get(), TRUE) ==
           ERROR_SUCCESS;
}

// view: 0, or KEY_WOW64_32KEY for the machine keys 64-bit Windows keeps for 32-bit programs.
bool AddKey(HKEY root, const char* path, int category = REALTIME_STARTUP, REGSAM view = 0)
{
    if (g_count >= MAX_WATCHES)
        return false;
    Watch& w = g_watches[g_count];
    if (!w.key.open(root, path, KEY_NOTIFY | view))
        return false;
    w.event.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!w.event || !ArmKey(w)) {
        w.key.reset();
        w.event.reset();
        return false;
    }
    snprintf(w.name, sizeof(w.name), "%s\\%s",
             root == HKEY_LOCAL_MACHINE ? (view == KEY_WOW64_32KEY ? "HKLM32" : "HKLM") : "HKCU",
             path);
    w.category = category;
    g_handles[g_count++] = w.event.get();
    return true;
}

void WatchKey(HKEY root, const char* path, int category = REALTIME_STARTUP, REGSAM view = 0)
{
    if (!AddKey(root, path, category, view))
        NoteMissing(root, path, category, view);
}

bool AddFolder(const char* folder, int category = REALTIME_STARTUP)
{
    if (g_count >= MAX_WATCHES || !folder[0])
        return false;
    for (int i = 0; i < g_count; i++)
        if (lstrcmpiA(g_watches[i].name, folder) == 0)
            return true;
    Watch& w = g_watches[g_count];
    w.folder.reset(FindFirstChangeNotificationA(
        folder, FALSE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE));
    if (!w.folder)
        return false;
    lstrcpynA(w.name, folder, sizeof(w.name));
    w.category = category;
    g_handles[g_count++] = w.folder.get();
    return true;
}

// The startup folders, as the inventory reads them.
void AddStartupFolders(HKEY root)
{
    static const char* const kShellFolders =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    char folder[MAX_PATH];
    for (const char* value : {"Startup", "Common Startup"})
        if (GetRegValue(root, kShellFolders, value, folder, sizeof(folder)) > 0 &&
            !AddFolder(folder))
            NoteMissing(nullptr, folder, REALTIME_STARTUP);
}

}   // namespace

int RealtimeStart()
{
    RealtimeStop();
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        for (const char* runKey : kRunKeys)
            WatchKey(root, runKey);
        // win.ini load= and run= (mapped to the registry on NT) and AppInit_DLLs.
        WatchKey(root, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows");
    }
    // The machine Run keys that 64-bit Windows keeps for 32-bit programs, and Windows' own
    // startup switches (an entry switched back on there starts again).
    for (const char* runKey : kRunKeys)
        WatchKey(HKEY_LOCAL_MACHINE, runKey, REALTIME_STARTUP, KEY_WOW64_32KEY);
    WatchKey(HKEY_LOCAL_MACHINE, STARTUP_APPROVED_KEY);
    WatchKey(HKEY_CURRENT_USER, STARTUP_APPROVED_KEY);
    WatchKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon");
    // The hooks in both views; AppInit_DLLs of the own view is watched with win.ini above.
    for (REGSAM view : {(REGSAM)0, (REGSAM)KEY_WOW64_32KEY}) {
        for (const char* hookKey : kHookKeys)
            WatchKey(HKEY_LOCAL_MACHINE, hookKey, REALTIME_STARTUP, view);
    }
    WatchKey(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
             REALTIME_STARTUP, KEY_WOW64_32KEY);
    AddStartupFolders(HKEY_LOCAL_MACHINE);
    AddStartupFolders(HKEY_CURRENT_USER);
    // The delayed-start store starts its programs at logon too.
    WatchKey(HKEY_LOCAL_MACHINE, KX_DELAY_KEY);
    WatchKey(HKEY_CURRENT_USER, KX_DELAY_KEY);
    // A missing add-on key is made, so that the first add-on of a machine is seen too.
    for (const char* addOnKey : {KX_BHO_KEY, KX_TOOLBAR_KEY, KX_EXTENSIONS_KEY}) {
        CreateRegKey(HKEY_LOCAL_MACHINE, addOnKey);
        AddKey(HKEY_LOCAL_MACHINE, addOnKey, REALTIME_ADDONS);
    }
    CreateRegKey(HKEY_LOCAL_MACHINE, KX_BHO_KEY, KEY_WOW64_32KEY);
    AddKey(HKEY_LOCAL_MACHINE, KX_BHO_KEY, REALTIME_ADDONS, KEY_WOW64_32KEY);
    AddKey(HKEY_LOCAL_MACHINE, KX_SERVICES_ROOT, REALTIME_SERVICES);
    char tasks[MAX_PATH];
    if (GetWindowsDirectoryA(tasks, MAX_PATH - 8)) {
        EnsureTrailingBackslash(tasks, sizeof(tasks));
        lstrcatA(tasks, "Tasks");
        if (!AddFolder(tasks, REALTIME_TASKS))
            NoteMissing(nullptr, tasks, REALTIME_TASKS);
    }
    char hosts[MAX_PATH];
    GetHOSTSFile(hosts, sizeof(hosts));
    hosts[FileNameOffset(hosts) > 0 ? FileNameOffset(hosts) - 1 : 0] = 0;
    AddFolder(hosts, REALTIME_SYSFILES);
    // The three places an association is read from; each watched with its subkeys.
    AddKey(HKEY_LOCAL_MACHINE, "Software\\Classes", REALTIME_FILETYPES);
    AddKey(HKEY_CURRENT_USER, "Software\\Classes", REALTIME_FILETYPES);
    AddKey(HKEY_CURRENT_USER, KX_FILEEXTS_KEY, REALTIME_FILETYPES);
    // The start and search pages, and the desktop's page (often made only when first set).
    WatchKey(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main", REALTIME_PAGES);
    WatchKey(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Desktop\\Components",
             REALTIME_PAGES);
    char text[32];
    snprintf(text, sizeof(text), "%d", g_count);
    Trace("Realtime watches", text);
    return g_count;
}

void RealtimeStop()
{
    for (int i = 0; i < g_count; i++) {
        g_watches[i].key.reset();
        g_watches[i].event.reset();
        g_watches[i].folder.reset();
        g_watches[i].name[0] = 0;
        g_watches[i].category = 0;
        g_handles[i] = nullptr;
    }
    g_count = 0;
    g_pending = 0;
    g_missingCount = 0;
}

int RealtimeRetryMissing()
{
    int armed = 0;
    for (int i = 0; i < g_missingCount;) {
        const Missing& m = g_missing[i];
        if (m.root ? AddKey(m.root, m.path, m.category, m.view) : AddFolder(m.path, m.category)) {
            // It has just appeared, so something was written there: a change to check.
            Trace("Realtime watch", m.path);
            g_pending |= m.category;
            g_missing[i] = g_missing[--g_missingCount];
            g_lastSignal = GetTickCount();
            armed++;
        } else {
            i++;
        }
    }
    return armed;
}

int RealtimeHandleCount() { return g_count; }

const HANDLE* RealtimeHandles() { return g_handles; }

const char* RealtimeWatchName(int index)
{
    return index >= 0 && index < g_count ? g_watches[index].name : "";
}

void RealtimeOnSignal(int index)
{
    if (index < 0 || index >= g_count)
        return;
    Watch& w = g_watches[index];
    // Re-arm first, so that a change made while the check runs is not lost.
    if (w.folder)
        FindNextChangeNotification(w.folder.get());
    else
        ArmKey(w);
    g_pending |= w.category;
    g_lastSignal = GetTickCount();
}

DWORD RealtimeWaitTimeout()
{
    DWORD timeout = INFINITE;
    if (checksWaiting) {
        // Wake when the one-second rule lets the pass run; an alert or pass that holds it
        // ends inside a message, after which the loop looks again.
        DWORD since = MonitorTickCount() - lastPassTick;
        timeout = alertOpen || passRunning ? 250 : since >= 1000 ? 0 : 1000 - since;
    }
    if (g_pending) {
        DWORD quiet = GetTickCount() - g_lastSignal;
        DWORD settle = quiet >= REALTIME_SETTLE_MS ? 0 : REALTIME_SETTLE_MS - quiet;
        if (settle < timeout)
            timeout = settle;
    }
    return timeout;
}

int RealtimeTakeRequest()
{
    if (!g_pending || GetTickCount() - g_lastSignal < REALTIME_SETTLE_MS)
        return 0;
    int categories = g_pending;
    g_pending = 0;
    return categories;
}

void RealtimeForceStartupCheck() { RealtimeForceChecks(REALTIME_STARTUP); }

void RealtimeForceChecks(int categories)
{
    const OptionSet& o = g_options;
    int wanted = 0;
    if ((categories & REALTIME_STARTUP) && o.RealtimeStartup)
        wanted |= REALTIME_STARTUP;
    // A category switched off stays off: its countdown is only set when it runs at all.
    if ((categories & REALTIME_ADDONS) && o.RealtimeIEHelper && o.IEHelpers > 0)
        wanted |= REALTIME_ADDONS;
    if ((categories & REALTIME_SYSFILES) && o.RealtimeSysFiles && o.HostFile > 0)
        wanted |= REALTIME_SYSFILES;
    if ((categories & REALTIME_FILETYPES) && o.RealtimeFileType && o.FileType > 0)
        wanted |= REALTIME_FILETYPES;
    if ((categories & REALTIME_PAGES) && o.RealtimeStartPage && o.StartPage > 0)
        wanted |= REALTIME_PAGES;
    if ((categories & REALTIME_SERVICES) && o.Services > 0)
        wanted |= REALTIME_SERVICES;
    if ((categories & REALTIME_TASKS) && o.Tasks > 0)
        wanted |= REALTIME_TASKS;
    if (!wanted)
        return;
    const int firstHalf = REALTIME_STARTUP | REALTIME_ADDONS | REALTIME_SYSFILES |
                          REALTIME_FILETYPES | REALTIME_PAGES;
    Trace("VERIFY", wanted & firstHalf ? "Realtime Startup Change" : "Realtime Service Change");
    // Kept until a pass starts the check itself; a guard only delays it.
    checksWaiting |= wanted;
    RealtimeServeWaiting();
}

static bool PassGuarded()
{
    return alertOpen || passRunning || MonitorTickCount() - lastPassTick < 1000;
}

void RealtimeServeWaiting()
{
    if (!checksWaiting)
        return;
    if (PassGuarded()) {
        patrolTicks = 16;   // the tick tries too
        return;
    }
    PatrolPass();
    // The other half's changes follow on the next tick if the loop has not served them first.
    patrolTicks = checksWaiting ? 16 : 0;
    suppressAlerts = 0;
}
