#include "realtime.h"
#include "entrylist.h"
#include "handles.h"
#include "monitorstate.h"
#include "options.h"
#include "patrol.h"
#include "registry.h"
#include "trace.h"
#include <cstdio>
#include <initializer_list>

namespace {

const int MAX_WATCHES = 40;   // well below MAXIMUM_WAIT_OBJECTS - 1

struct Watch {
    RegKey key;                   // registry watch: the open key
    Handle event;                 //   and the event RegNotifyChangeKeyValue sets
    ChangeNotifyHandle folder;    // folder watch
    char name[300];
};

Watch g_watches[MAX_WATCHES];
HANDLE g_handles[MAX_WATCHES];
int g_count;
int g_pending;
DWORD g_lastSignal;

// Locations that did not exist when the watches were armed (on a new system the win.ini
// mapping key or a RunOnce key often does not): tried again on every tick.
struct Missing {
    HKEY root;   // nullptr for a folder
    char path[300];
};
Missing g_missing[MAX_WATCHES];
int g_missingCount;

void NoteMissing(HKEY root, const char* path)
{
    if (g_missingCount >= MAX_WATCHES)
        return;
    g_missing[g_missingCount].root = root;
    lstrcpynA(g_missing[g_missingCount].path, path, sizeof(g_missing[0].path));
    g_missingCount++;
}

const DWORD kRegFilter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;

bool ArmKey(Watch& w)
{
    return RegNotifyChangeKeyValue(w.key.get(), TRUE, kRegFilter, w.event.get(), TRUE) ==
           ERROR_SUCCESS;
}

bool AddKey(HKEY root, const char* path)
{
    if (g_count >= MAX_WATCHES)
        return false;
    Watch& w = g_watches[g_count];
    if (!w.key.open(root, path, KEY_NOTIFY))
        return false;
    w.event.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!w.event || !ArmKey(w)) {
        w.key.reset();
        w.event.reset();
        return false;
    }
    snprintf(w.name, sizeof(w.name), "%s\\%s", root == HKEY_LOCAL_MACHINE ? "HKLM" : "HKCU", path);
    g_handles[g_count++] = w.event.get();
    return true;
}

void WatchKey(HKEY root, const char* path)
{
    if (!AddKey(root, path))
        NoteMissing(root, path);
}

bool AddFolder(const char* folder)
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
            NoteMissing(nullptr, folder);
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
    WatchKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon");
    WatchKey(HKEY_LOCAL_MACHINE,
             "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad");
    WatchKey(HKEY_LOCAL_MACHINE,
             "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler");
    WatchKey(HKEY_LOCAL_MACHINE,
             "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks");
    AddStartupFolders(HKEY_LOCAL_MACHINE);
    AddStartupFolders(HKEY_CURRENT_USER);
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
        if (m.root ? AddKey(m.root, m.path) : AddFolder(m.path)) {
            // It has just appeared, so something was written there: a change to check.
            Trace("Realtime watch", m.path);
            g_missing[i] = g_missing[--g_missingCount];
            g_pending = 1;
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
    g_pending = 1;
    g_lastSignal = GetTickCount();
}

DWORD RealtimeWaitTimeout()
{
    if (!g_pending)
        return INFINITE;
    DWORD quiet = GetTickCount() - g_lastSignal;
    return quiet >= REALTIME_SETTLE_MS ? 0 : REALTIME_SETTLE_MS - quiet;
}

int RealtimeTakeRequest()
{
    if (!g_pending || GetTickCount() - g_lastSignal < REALTIME_SETTLE_MS)
        return 0;
    g_pending = 0;
    return 1;
}

void RealtimeForceStartupCheck()
{
    if (!g_options.RealtimeStartup)
        return;
    g_countdowns.Start = 1;
    patrolHalf = 0;
    Trace("VERIFY", "Realtime Startup Change");
    DWORD before = lastPassTick;
    if (!alertOpen && !passRunning) {
        PatrolPass();
        if (lastPassTick != before) {
            patrolTicks = 0;
            suppressAlerts = 0;
            return;
        }
    }
    // Guarded: the next tick runs the pass.
    patrolTicks = 16;
}
