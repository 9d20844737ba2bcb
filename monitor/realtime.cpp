#include "realtime.h"
#include "realtime_browsers.h"
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
#include "findrun.h"
#include "valueplaces.h"
#include <cstdio>
#include <initializer_list>
#include <string>

namespace {

// The loop waits on MAIN_WATCHES watches and one event that stands for all the others: they
// are waited on by helper threads, HELPER_WATCHES each (with their stop and re-arm events),
// so that no set ever comes near MAXIMUM_WAIT_OBJECTS. The main set holds the Run, hook,
// add-on, service, file-type and page watches (at most 51 and those appearing later); the
// value places and the Task Scheduler 2.0 locations are the helpers'.
const int MAIN_WATCHES = 55;
const int HELPER_WATCHES = 61;
const int HELPER_COUNT = 3;
const int MAX_WATCHES = MAIN_WATCHES + HELPER_WATCHES * HELPER_COUNT;

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
    bool helped;                  // waited on by a helper thread
    volatile LONG fired;          // a helper saw it signalled; the loop re-arms it
    bool subtree;                 // folders: with their subfolders
    bool parentOnly;              // only names below it: a missing location's nearest parent
};

// A category bit of the watches on the nearest existing parent of a missing location: a
// name appearing there makes the loop try the missing locations again at once.
const int kParentOfMissing = 0x10000;
bool g_retryMissing;

Watch g_watches[MAX_WATCHES];
int g_count;
// The loop's set: slot 0 is the helpers' event, then the main watches.
HANDLE g_handles[MAIN_WATCHES + 1];
int g_mainWatch[MAIN_WATCHES + 1];
int g_handleCount;
Handle g_helpersEvent;
int g_pending;   // RealtimeCategory bits of the changes seen
DWORD g_lastSignal;

struct Helper {
    Handle thread;
    Handle stop;      // ends the thread
    Handle rearmed;   // the loop re-armed a watch: wait on it again
    int watches[HELPER_WATCHES];
    int count;
};
Helper g_helpers[HELPER_COUNT];

// Locations that did not exist when the watches were armed (on a new system the win.ini
// mapping key or a RunOnce key often does not): tried again on every tick.
struct Missing {
    HKEY root;   // nullptr for a folder
    REGSAM view;
    char path[300];
    int category;
    bool helped;
    bool subtree;
};
Missing g_missing[MAX_WATCHES];
int g_missingCount;

void NoteMissing(HKEY root, const char* path, int category, REGSAM view = 0, bool helped = false,
                 bool subtree = false)
{
    if (g_missingCount >= MAX_WATCHES)
        return;
    for (int i = 0; i < g_missingCount; i++)
        if (g_missing[i].root == root && g_missing[i].view == view &&
            lstrcmpiA(g_missing[i].path, path) == 0)
            return;
    Missing& m = g_missing[g_missingCount++];
    m.root = root;
    m.view = view;
    lstrcpynA(m.path, path, sizeof(m.path));
    m.category = category;
    m.helped = helped;
    m.subtree = subtree;
}

const DWORD kRegFilter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;

bool ArmKey(Watch& w)
{
    if (w.parentOnly)
        return RegNotifyChangeKeyValue(w.key.get(), FALSE, REG_NOTIFY_CHANGE_NAME, w.event.get(),
                                       TRUE) == ERROR_SUCCESS;
    return RegNotifyChangeKeyValue(w.key.get(), TRUE, kRegFilter, w.event.get(), TRUE) ==
           ERROR_SUCCESS;
}

// A helper waits on its watches, leaving out each one that fired until the loop has re-armed
// it (a folder's handle stays signalled until then).
DWORD WINAPI HelperThread(void* arg)
{
    Helper* h = (Helper*)arg;
    for (;;) {
        HANDLE handles[HELPER_WATCHES + 2];
        int which[HELPER_WATCHES];
        DWORD n = 0;
        handles[n++] = h->stop.get();
        handles[n++] = h->rearmed.get();
        for (int i = 0; i < h->count; i++) {
            Watch& w = g_watches[h->watches[i]];
            if (InterlockedCompareExchange(&w.fired, 0, 0))
                continue;
            which[n - 2] = h->watches[i];
            handles[n++] = w.folder ? w.folder.get() : w.event.get();
        }
        DWORD r = WaitForMultipleObjects(n, handles, FALSE, INFINITE);
        if (r == WAIT_OBJECT_0 || r == WAIT_FAILED)
            return 0;
        if (r >= WAIT_OBJECT_0 + 2 && r < WAIT_OBJECT_0 + n) {
            InterlockedExchange(&g_watches[which[r - WAIT_OBJECT_0 - 2]].fired, 1);
            SetEvent(g_helpersEvent.get());
        }
    }
}

void StopHelpers()
{
    for (Helper& h : g_helpers) {
        if (h.thread) {
            SetEvent(h.stop.get());
            WaitForSingleObject(h.thread.get(), INFINITE);
        }
        h.thread.reset();
        h.stop.reset();
        h.rearmed.reset();
        h.count = 0;
    }
}

// Hands the helped watches out to the helpers and starts them. A change meanwhile is not
// lost: its event or folder handle stays signalled until someone waits on it.
void StartHelpers()
{
    StopHelpers();
    for (int i = 0; i < g_count; i++) {
        if (!g_watches[i].helped)
            continue;
        for (Helper& h : g_helpers)
            if (h.count < HELPER_WATCHES) {
                h.watches[h.count++] = i;
                break;
            }
    }
    for (Helper& h : g_helpers) {
        if (!h.count)
            continue;
        h.stop.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        h.rearmed.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
        if (h.stop && h.rearmed)
            h.thread.reset(CreateThread(nullptr, 0, HelperThread, &h, 0, nullptr));
        if (!h.thread)
            Trace("Realtime helper", "could not start");
    }
}

int HelpedCount()
{
    int n = 0;
    for (int i = 0; i < g_count; i++)
        n += g_watches[i].helped;
    return n;
}

// Room for one more watch in the set it belongs to.
bool Room(bool helped)
{
    if (g_count >= MAX_WATCHES)
        return false;
    return helped ? HelpedCount() < HELPER_WATCHES * HELPER_COUNT
                  : g_handleCount - 1 < MAIN_WATCHES;
}

void Place(Watch& w, HANDLE handle)
{
    int index = (int)(&w - g_watches);
    g_count++;
    if (!w.helped) {
        g_mainWatch[g_handleCount] = index;
        g_handles[g_handleCount++] = handle;
    }
}

bool Watched(const char* name)
{
    for (int i = 0; i < g_count; i++)
        if (lstrcmpiA(g_watches[i].name, name) == 0)
            return true;
    return false;
}

// view: 0, or KEY_WOW64_32KEY for the machine keys 64-bit Windows keeps for 32-bit programs.
bool AddKeyWatch(HKEY root, const char* path, const char* name, int category, REGSAM view,
                 bool helped, bool parentOnly)
{
    // A key two checks care about wakes both.
    for (int i = 0; i < g_count; i++)
        if (lstrcmpiA(g_watches[i].name, name) == 0) {
            g_watches[i].category |= category;
            return true;
        }
    if (!Room(helped))
        return false;
    Watch& w = g_watches[g_count];
    if (!w.key.open(root, path, KEY_NOTIFY | view))
        return false;
    w.parentOnly = parentOnly;
    w.event.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!w.event || !ArmKey(w)) {
        w.key.reset();
        w.event.reset();
        return false;
    }
    lstrcpynA(w.name, name, sizeof(w.name));
    w.category = category;
    w.helped = helped;
    w.fired = 0;
    Place(w, w.event.get());
    return true;
}

std::string KeyWatchName(HKEY root, const char* path, REGSAM view)
{
    return std::string(root == HKEY_LOCAL_MACHINE ? (view == KEY_WOW64_32KEY ? "HKLM32" : "HKLM")
                                                  : "HKCU") +
           "\\" + path;
}

bool AddKey(HKEY root, const char* path, int category = REALTIME_STARTUP, REGSAM view = 0,
            bool helped = false)
{
    return AddKeyWatch(root, path, KeyWatchName(root, path, view).c_str(), category, view, helped,
                       false);
}

void WatchKey(HKEY root, const char* path, int category = REALTIME_STARTUP, REGSAM view = 0,
              bool helped = false)
{
    if (!AddKey(root, path, category, view, helped))
        NoteMissing(root, path, category, view, helped);
}

// A folder watch of that name (the folder itself, or "parent of ..." for one that looks out
// only for new subfolders), unless one of the name is there.
bool AddFolderWatch(const char* folder, const char* name, int category, bool helped, bool subtree,
                    bool parentOnly)
{
    if (Watched(name))
        return true;
    if (!Room(helped))
        return false;
    Watch& w = g_watches[g_count];
    DWORD filter = parentOnly ? FILE_NOTIFY_CHANGE_DIR_NAME
                              : FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE |
                                    (subtree ? FILE_NOTIFY_CHANGE_DIR_NAME : 0);
    w.folder.reset(FindFirstChangeNotificationA(folder, subtree, filter));
    if (!w.folder)
        return false;
    w.parentOnly = parentOnly;
    lstrcpynA(w.name, name, sizeof(w.name));
    w.category = category;
    w.helped = helped;
    w.subtree = subtree;
    w.fired = 0;
    Place(w, w.folder.get());
    return true;
}

bool AddFolder(const char* folder, int category = REALTIME_STARTUP, bool helped = false,
               bool subtree = false)
{
    return folder[0] && AddFolderWatch(folder, folder, category, helped, subtree, false);
}

bool KeyExists(HKEY root, const char* path, REGSAM view)
{
    RegKey key;
    return key.open(root, path, KEY_NOTIFY | view);
}

bool FolderExists(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Watches the nearest existing parent of a missing location for names appearing in it, so
// that the location is watched as soon as it is made rather than at the next tick. Neither a
// hive's root nor a drive's is watched.
bool WatchParentOf(const Missing& m)
{
    std::string parent = m.path;
    for (;;) {
        size_t slash = parent.find_last_of('\\');
        if (slash == std::string::npos || slash == 0)
            return false;
        parent.resize(slash);
        if (m.root ? KeyExists(m.root, parent.c_str(), m.view)
                   : (parent.find('\\') != std::string::npos && FolderExists(parent.c_str())))
            break;
    }
    const std::string name =
        "parent of " + (m.root ? KeyWatchName(m.root, parent.c_str(), m.view) : parent);
    if (m.root)
        return AddKeyWatch(m.root, parent.c_str(), name.c_str(), kParentOfMissing, m.view, true,
                           true);
    return AddFolderWatch(parent.c_str(), name.c_str(), kParentOfMissing, true, false, true);
}

// True when a parent watch was added for a location still missing.
bool WatchMissingParents()
{
    int before = g_count;
    for (int i = 0; i < g_missingCount; i++)
        WatchParentOf(g_missing[i]);
    return g_count != before;
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

// The value places' keys (each subkey pattern is covered by the subtree watch), in both
// views where Windows keeps them apart; and where Task Scheduler 2.0 keeps its tasks.
void AddHelpedWatches()
{
    for (int i = 0; i < ValuePlaceCount(); i++) {
        const ValuePlace& place = ValuePlaceAt(i);
        const std::string key = ValuePlaceWatchKey(place);
        // A place spread over every service's key is checked with the services: otherwise
        // each service change would run the startup half first and the services a pass later.
        const int category =
            lstrcmpiA(key.c_str(), KX_SERVICES_ROOT) == 0 ? REALTIME_SERVICES : REALTIME_STARTUP;
        WatchKey(place.root, key.c_str(), category, 0, true);
        if (place.bothViews)
            WatchKey(place.root, key.c_str(), category, KEY_WOW64_32KEY, true);
    }
    for (const std::string& office : OfficeStartupFolders())
        if (!AddFolder(office.c_str(), REALTIME_STARTUP, true))
            NoteMissing(nullptr, office.c_str(), REALTIME_STARTUP, 0, true);
    WatchKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Schedule\\TaskCache\\Tree",
             REALTIME_TASKS, 0, true);
    char tasks[MAX_PATH];
    UINT n = GetSystemDirectoryA(tasks, MAX_PATH - 8);
    if (n > 0 && n < MAX_PATH - 8) {
        EnsureTrailingBackslash(tasks, sizeof(tasks));
        lstrcatA(tasks, "Tasks");
        if (!AddFolder(tasks, REALTIME_TASKS, true, true))
            NoteMissing(nullptr, tasks, REALTIME_TASKS, 0, true, true);
    }
}

}   // namespace

int RealtimeStart()
{
    RealtimeStop();
    g_helpersEvent.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    g_handles[0] = g_helpersEvent.get();
    g_mainWatch[0] = -1;
    g_handleCount = 1;
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
    AddHelpedWatches();
    // Today's browsers: policies, offered extensions and profiles, beside the helped set.
    AddBrowserWatches(
        [](HKEY root, const char* path, REGSAM view) { WatchKey(root, path, REALTIME_ADDONS, view, true); },
        [](const char* folder) {
            if (!AddFolder(folder, REALTIME_ADDONS, true))
                NoteMissing(nullptr, folder, REALTIME_ADDONS, 0, true);
        });
    WatchMissingParents();
    StartHelpers();
    char text[32];
    snprintf(text, sizeof(text), "%d", g_count);
    Trace("Realtime watches", text);
    return g_handleCount;
}

void RealtimeStop()
{
    // The helpers first: they wait on the handles closed below.
    StopHelpers();
    for (int i = 0; i < g_count; i++) {
        g_watches[i].key.reset();
        g_watches[i].event.reset();
        g_watches[i].folder.reset();
        g_watches[i].name[0] = 0;
        g_watches[i].category = 0;
        g_watches[i].helped = false;
        g_watches[i].subtree = false;
        g_watches[i].parentOnly = false;
        g_watches[i].fired = 0;
    }
    for (int i = 0; i < g_handleCount; i++) {
        g_handles[i] = nullptr;
        g_mainWatch[i] = -1;
    }
    g_helpersEvent.reset();
    g_count = 0;
    g_handleCount = 0;
    g_pending = 0;
    g_missingCount = 0;
    g_retryMissing = false;
}

int RealtimeRetryMissing()
{
    int armed = 0;
    bool helped = false;
    for (int i = 0; i < g_missingCount;) {
        const Missing& m = g_missing[i];
        if (m.root ? AddKey(m.root, m.path, m.category, m.view, m.helped)
                   : AddFolder(m.path, m.category, m.helped, m.subtree)) {
            helped |= m.helped;
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
    // A location still missing may have come a level nearer: its parent watch follows.
    if (WatchMissingParents())
        helped = true;
    if (helped)
        StartHelpers();
    return armed;
}

int RealtimeHandleCount() { return g_handleCount; }

const HANDLE* RealtimeHandles() { return g_handles; }

int RealtimeWatchCount() { return g_count; }

const char* RealtimeWatchNameAt(int watch)
{
    return watch >= 0 && watch < g_count ? g_watches[watch].name : "";
}

const char* RealtimeWatchName(int index)
{
    if (index < 0 || index >= g_handleCount)
        return "";
    if (index > 0)
        return g_watches[g_mainWatch[index]].name;
    // The helpers' event: the first watch they saw signalled.
    for (int i = 0; i < g_count; i++)
        if (g_watches[i].helped && InterlockedCompareExchange(&g_watches[i].fired, 0, 0))
            return g_watches[i].name;
    return "";
}

// A browser's watch set grew: the helpers take the new folders on.
static bool g_helpersStale;

static void WatchNewProfile(const char* folder)
{
    if (AddFolder(folder, REALTIME_ADDONS, true)) {
        g_helpersStale = true;
    } else {
        // Named before its folder is made: watched from the moment the folder appears.
        NoteMissing(nullptr, folder, REALTIME_ADDONS, 0, true);
        g_retryMissing = true;
    }
}

static void ReArm(Watch& w)
{
    if (w.folder)
        FindNextChangeNotification(w.folder.get());
    else
        ArmKey(w);
    if (w.category & kParentOfMissing)
        g_retryMissing = true;
    const int category = w.category & ~kParentOfMissing;
    if (!category)
        return;
    // A browser writes its profile folder all the time; only its settings files count.
    if (w.folder && category == REALTIME_ADDONS && !BrowserProfileChanged(w.name))
        return;
    // A changed profile list may name a profile made since the start, watched from now on.
    if (w.folder && (category & REALTIME_ADDONS))
        AddNewBrowserProfileWatches(WatchNewProfile);
    g_pending |= category;
    g_lastSignal = GetTickCount();
}

static void ReArmHelped();

void RealtimeOnSignal(int index)
{
    if (index < 0 || index >= g_handleCount)
        return;
    if (index > 0) {
        // Re-arm first, so that a change made while the check runs is not lost.
        ReArm(g_watches[g_mainWatch[index]]);
    } else {
        ReArmHelped();
    }
    // Something appeared beside a missing location: it may be that location.
    if (g_retryMissing) {
        g_retryMissing = false;
        RealtimeRetryMissing();
    }
    if (g_helpersStale) {
        g_helpersStale = false;
        StartHelpers();
    }
}

static void ReArmHelped()
{
    // Registry notifications belong to the thread that asked for them: the loop's own, which
    // lives as long as the watches. The helpers then wait on them again.
    bool any = false;
    for (int i = 0; i < g_count; i++) {
        Watch& w = g_watches[i];
        if (w.helped && InterlockedCompareExchange(&w.fired, 0, 0)) {
            ReArm(w);
            InterlockedExchange(&w.fired, 0);
            any = true;
        }
    }
    if (any)
        for (Helper& h : g_helpers)
            if (h.rearmed)
                SetEvent(h.rearmed.get());
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
