// Real-time detection: a change to an autostart location signals, a burst of
// changes gives one request, watches re-arm, and a request forces the startup check under
// the patrol's guards.
#include "addons.h"
#include "checks.h"
#include "entrylist.h"
#include "findrun.h"
#include "monitorseams.h"
#include "kxtest.h"
#include "monitorstate.h"
#include "options.h"
#include "patrol.h"
#include "realtime.h"
#include "sysfiles.h"
#include "services.h"
#include "valueplaces.h"
#include <functional>
#include "tray.h"

namespace {

const char* const kHkcuRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The message loop's part: wait on the handles, re-arm, and collect requests until the
// time is up (or, with untilRequest, until the first request). Returns the number of
// requests and the watch that fired first.
struct PumpResult {
    int requests = 0;
    std::string firstWatch;
};

PumpResult Pump(DWORD started, DWORD forMs, bool untilRequest = false)
{
    PumpResult result;
    while (GetTickCount() - started < forMs) {
        DWORD left = forMs - (GetTickCount() - started);
        DWORD wait = RealtimeWaitTimeout();
        if (wait > left)
            wait = left;
        DWORD r = WaitForMultipleObjects(RealtimeHandleCount(), RealtimeHandles(), FALSE, wait);
        if (r < WAIT_OBJECT_0 + (DWORD)RealtimeHandleCount()) {
            if (result.firstWatch.empty())
                result.firstWatch = RealtimeWatchName(r - WAIT_OBJECT_0);
            RealtimeOnSignal(r - WAIT_OBJECT_0);
        }
        if (RealtimeTakeRequest()) {
            result.requests++;
            if (untilRequest)
                break;
        }
    }
    return result;
}

// Pumps until the first request; a loaded machine only makes it come later.
PumpResult PumpUntilRequest() { return Pump(GetTickCount(), 10000, true); }

class RealtimeTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        HKEY key;
        RegCreateKeyA(HKEY_CURRENT_USER, kHkcuRun, &key);
        RegCloseKey(key);
        for (const char* name : {"KxRealtime0", "KxRealtime1", "KxRealtime2", "KxRealtime3",
                                 "KxRealtime4", "KxRealtime5", "KxRealtime6", "KxRealtime7"})
            SaveValue(HKEY_CURRENT_USER, kHkcuRun, name);
        ASSERT_GT(RealtimeStart(), 0);
        // Nothing pending from the machine's own start-up noise.
        Pump(GetTickCount(), 200);
    }
    void TearDown() override
    {
        RealtimeStop();
        KxTest::TearDown();
    }
};

TEST_F(RealtimeTest, RunValueWriteSignals)
{
    WriteValueText(HKEY_CURRENT_USER, kHkcuRun, "KxRealtime0", "C:\\kx\\realtime.exe");
    PumpResult result = PumpUntilRequest();
    EXPECT_EQ(1, result.requests);
    EXPECT_EQ(std::string("HKCU\\") + kHkcuRun, result.firstWatch);
}

TEST_F(RealtimeTest, KeyMissingAtStartIsWatchedOnceItAppears)
{
    // A new system has no win.ini mapping key until something writes load= or run=.
    const std::string windows = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
    const std::string name = "HKCU\\" + windows;
    RealtimeStop();
    ForgetKey(HKEY_CURRENT_USER, windows);
    int watches = RealtimeStart();
    for (int i = 0; i < watches; i++)
        ASSERT_NE(name, RealtimeWatchName(i));
    EXPECT_EQ(0, RealtimeRetryMissing());

    WriteValueText(HKEY_CURRENT_USER, windows, "load", "\"C:\\Program Files\\Acme\\tool.exe\"");
    EXPECT_EQ(1, RealtimeRetryMissing());
    ASSERT_EQ(watches + 1, RealtimeHandleCount());
    EXPECT_EQ(name, RealtimeWatchName(watches));
    EXPECT_EQ(1, PumpUntilRequest().requests);
    // From then on it is watched like the others.
    WriteValueText(HKEY_CURRENT_USER, windows, "run", "C:\\Acme\\other.exe");
    PumpResult result = PumpUntilRequest();
    EXPECT_EQ(1, result.requests);
    EXPECT_EQ(name, result.firstWatch);
}

// A location missing at the start is watched from the moment it is made, without waiting
// for a tick: its nearest parent is watched for new names, however many levels are missing,
// in either view and for folders too, and a sibling appearing there asks for no check.
TEST_F(RealtimeTest, LocationMadeAfterTheStartIsWatchedAtOnce)
{
    const std::string officeTest = "Software\\Microsoft\\Office test";
    const std::string perf = officeTest + "\\Special\\Perf";
    auto make = [](HKEY root, const std::string& path, REGSAM view, const char* data) {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS | view, nullptr, &key, nullptr));
        if (data)
            RegSetValueExA(key, "", 0, REG_SZ, (const BYTE*)data, (DWORD)strlen(data) + 1);
        RegCloseKey(key);
    };
    const struct {
        HKEY root;
        REGSAM view;
        const char* native;   // the key path itself, where the view keeps it
    } views[] = {{HKEY_CURRENT_USER, 0, "Software\\Microsoft"},
                 {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, "Software\\WOW6432Node\\Microsoft"}};
    for (const auto& v : views) {
        SCOPED_TRACE(v.view ? "HKLM, 32-bit view" : "HKCU");
        RealtimeStop();
        ForgetKey(v.root, std::string(v.native) + "\\Office test");
        ForgetKey(v.root, std::string(v.native) + "\\KxSibling");
        ASSERT_GT(RealtimeStart(), 0);
        Pump(GetTickCount(), 200);
        make(v.root, "Software\\Microsoft\\KxSibling", v.view, nullptr);
        EXPECT_EQ(0, Pump(GetTickCount(), 300).requests);
        // One level made first, the rest later: each step is followed.
        make(v.root, officeTest, v.view, nullptr);
        EXPECT_EQ(0, Pump(GetTickCount(), 300).requests);
        make(v.root, perf, v.view, "C:\\kx\\perf.dll");
        EXPECT_EQ(1, PumpUntilRequest().requests);
        // Watched like the others from then on.
        make(v.root, perf, v.view, "C:\\kx\\other.dll");
        EXPECT_EQ(1, PumpUntilRequest().requests);
    }

    // An Office start-up folder, where the machine has none yet.
    const std::string xlstart = OfficeStartupFolders().back();
    const std::string excel = xlstart.substr(0, xlstart.find_last_of('\\'));
    if (GetFileAttributesA(excel.c_str()) != INVALID_FILE_ATTRIBUTES)
        return;
    RealtimeStop();
    ASSERT_GT(RealtimeStart(), 0);
    Pump(GetTickCount(), 200);
    ASSERT_TRUE(CreateDirectoryA(excel.c_str(), nullptr));
    EXPECT_EQ(0, Pump(GetTickCount(), 300).requests);
    ASSERT_TRUE(CreateDirectoryA(xlstart.c_str(), nullptr));
    EXPECT_EQ(1, PumpUntilRequest().requests);
    const std::string book = xlstart + "\\kxrt.xlam";
    WriteTextFile(book, "add-in");
    EXPECT_EQ(1, PumpUntilRequest().requests);
    RealtimeStop();
    DeleteFileA(book.c_str());
    RemoveDirectoryA(xlstart.c_str());
    RemoveDirectoryA(excel.c_str());
}

TEST_F(RealtimeTest, BurstOfChangesGivesOneRequestAndWatchesReArm)
{
    DWORD started = GetTickCount();
    for (int i = 0; i < 8; i++) {
        WriteValueText(HKEY_CURRENT_USER, kHkcuRun, "KxRealtime" + std::to_string(i),
                       "C:\\kx\\burst.exe");
        Sleep(5);
    }
    EXPECT_EQ(1, Pump(started, 10000, true).requests);
    EXPECT_EQ(0, Pump(GetTickCount(), 300).requests) << "the burst gave a second request";
    // Re-armed: a later change is seen again, and so is a deletion.
    WriteValueText(HKEY_CURRENT_USER, kHkcuRun, "KxRealtime1", "C:\\kx\\again.exe");
    EXPECT_EQ(1, PumpUntilRequest().requests);
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kHkcuRun, "KxRealtime1");
    EXPECT_EQ(1, PumpUntilRequest().requests);
    // Quiet locations give nothing.
    EXPECT_EQ(0, Pump(GetTickCount(), 300).requests);
}

TEST_F(RealtimeTest, StartupFolderChangeSignals)
{
    const char* shellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    SaveValue(HKEY_CURRENT_USER, shellFolders, "Startup");
    WriteValueText(HKEY_CURRENT_USER, shellFolders, "Startup", TempDir());
    ASSERT_GT(RealtimeStart(), 0);
    Pump(GetTickCount(), 200);
    WriteTextFile(TempPath("new.lnk"), "x");
    PumpResult result = PumpUntilRequest();
    EXPECT_EQ(1, result.requests);
    EXPECT_EQ(TempDir(), result.firstWatch);
}

TEST_F(RealtimeTest, AddOnServiceAndTaskChangesNameTheirCategory)
{
    const std::string bho = std::string(KX_BHO_KEY "\\") + "{6B1D5E0A-0000-4000-8000-00000000C001}";
    const std::string service = KX_SERVICES_ROOT "\\KxRealtimeSvc";
    ForgetKey(HKEY_LOCAL_MACHINE, bho);
    ForgetKey(HKEY_LOCAL_MACHINE, service);
    char tasks[MAX_PATH];
    GetWindowsDirectoryA(tasks, sizeof(tasks));
    const std::string job = std::string(tasks) + "\\Tasks\\KxRealtime.job";
    char hosts[MAX_PATH];
    GetHOSTSFile(hosts, sizeof(hosts));
    const std::string besideHosts = std::string(hosts) + ".kxrealtime";
    ForgetKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\.kxrt");
    struct Case {
        const char* what;
        std::function<void()> change;
        int category;
    } cases[] = {
        {"add-on", [&] { WriteValueText(HKEY_LOCAL_MACHINE, bho, "", ""); }, REALTIME_ADDONS},
        {"service", [&] { WriteValueText(HKEY_LOCAL_MACHINE, service, "ImagePath", "C:\\kx\\s.exe"); },
         REALTIME_SERVICES},
        {"task", [&] { WriteTextFile(job, "job"); }, REALTIME_TASKS},
        {"HOSTS folder", [&] { WriteTextFile(besideHosts, "x"); }, REALTIME_SYSFILES},
        {"class key", [&] { WriteValueText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.kxrt", "", "kxrt"); },
         REALTIME_FILETYPES},
    };
    for (const Case& c : cases) {
        Pump(GetTickCount(), 150);
        DWORD started = GetTickCount();
        c.change();
        int categories = 0;
        while (GetTickCount() - started < 10000 && !categories) {
            DWORD r = WaitForMultipleObjects(RealtimeHandleCount(), RealtimeHandles(), FALSE,
                                             RealtimeWaitTimeout() == INFINITE ? 50 : RealtimeWaitTimeout());
            if (r < WAIT_OBJECT_0 + (DWORD)RealtimeHandleCount())
                RealtimeOnSignal(r - WAIT_OBJECT_0);
            categories = RealtimeTakeRequest();
        }
        EXPECT_TRUE(categories & c.category) << c.what << " gave " << categories;
    }
    DeleteFileA(job.c_str());
    DeleteFileA(besideHosts.c_str());
}

// --- Forcing the startup check ---

int g_startupChecks;
void CountStartupCheck() { g_startupChecks++; }
void NoCheck() {}
BOOL WINAPI NoTray(DWORD, PNOTIFYICONDATAA) { return TRUE; }

// Pumps until the first request; its categories and the watch that fired first.
struct Request {
    int categories = 0;
    std::string firstWatch;
};

Request PumpCategories()
{
    Request request;
    DWORD started = GetTickCount();
    while (GetTickCount() - started < 10000) {
        DWORD r = WaitForMultipleObjects(RealtimeHandleCount(), RealtimeHandles(), FALSE,
                                         RealtimeWaitTimeout() > 200 ? 200 : RealtimeWaitTimeout());
        if (r < WAIT_OBJECT_0 + (DWORD)RealtimeHandleCount()) {
            if (request.firstWatch.empty())
                request.firstWatch = RealtimeWatchName(r - WAIT_OBJECT_0);
            RealtimeOnSignal(r - WAIT_OBJECT_0);
        }
        if ((request.categories = RealtimeTakeRequest()) != 0)
            break;
    }
    return request;
}

std::string NativeKey(const std::string& key, REGSAM view)
{
    return view ? key.substr(0, 9) + "WOW6432Node\\" + key.substr(9) : key;
}

TEST_F(RealtimeTest, EveryValuePlaceAndTheTaskStoreSignalBeyondTheLoopsOwnSet)
{
    // Every place's key exists, as on a machine that uses them.
    RealtimeStop();
    struct Row {
        HKEY root;
        std::string key, name, watch;
        REGSAM view;
        int category;
    };
    std::vector<Row> rows;
    for (int i = 0; i < ValuePlaceCount(); i++) {
        const ValuePlace& p = ValuePlaceAt(i);
        for (REGSAM view : {(REGSAM)0, (REGSAM)KEY_WOW64_32KEY}) {
            if (view && !p.bothViews)
                continue;
            // A "?" of the key stands for a subkey of the test's own.
            const std::string watched = ValuePlaceWatchKey(p);
            const bool wild = watched != p.key;
            std::string key = ValuePlaceSampleKey(p, "kxfx_rt") + (p.eachSubkey ? "\\kxfx_rt" : "");
            if (!KeyExists(p.root, NativeKey(watched, view)))
                ForgetKey(p.root, NativeKey(watched, view));
            ForgetKey(p.root, NativeKey(watched + "\\kxfx_rt", view));
            HKEY made;
            ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(p.root, watched.c_str(), 0, nullptr, 0,
                                                     KEY_ALL_ACCESS | view, nullptr, &made, nullptr));
            RegCloseKey(made);
            std::string name = p.value ? p.value : "KxRealtime";
            if (!p.eachSubkey && !wild)
                SaveValue(p.root, NativeKey(key, view), name);
            std::string hive = p.root == HKEY_CURRENT_USER ? "HKCU\\" : view ? "HKLM32\\" : "HKLM\\";
            // A place over every service's key wakes the services' check, which reads it too.
            const int category = _stricmp(watched.c_str(), KX_SERVICES_ROOT) == 0 ? REALTIME_SERVICES
                                                                                 : REALTIME_STARTUP;
            rows.push_back({p.root, key, name, hive + key, view, category});
        }
    }
    const std::string tree = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Schedule\\TaskCache\\Tree";
    ForgetKey(HKEY_LOCAL_MACHINE, tree + "\\KxRealtime");
    if (!KeyExists(HKEY_LOCAL_MACHINE, tree))
        ForgetKey(HKEY_LOCAL_MACHINE, tree);
    HKEY made;
    RegCreateKeyA(HKEY_LOCAL_MACHINE, tree.c_str(), &made);
    RegCloseKey(made);
    rows.push_back({HKEY_LOCAL_MACHINE, tree + "\\KxRealtime", "Id", "HKLM\\" + tree,
                    0, REALTIME_TASKS});

    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    std::string tasks = std::string(system) + "\\Tasks";
    CreateDirectoryA(tasks.c_str(), nullptr);
    // Office's start-up folders, made for the test where missing.
    std::vector<std::string> office = OfficeStartupFolders(), madeOffice;
    for (const std::string& folder : office) {
        std::string app = folder.substr(0, folder.rfind('\\'));
        if (GetFileAttributesA(app.c_str()) == INVALID_FILE_ATTRIBUTES)
            madeOffice.push_back(app);
        else if (GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
            madeOffice.push_back(folder);
        CreateDirectoryA(app.substr(0, app.rfind('\\')).c_str(), nullptr);
        CreateDirectoryA(app.c_str(), nullptr);
        CreateDirectoryA(folder.c_str(), nullptr);
    }

    ASSERT_GT(RealtimeStart(), 0);
    EXPECT_LT(RealtimeHandleCount(), MAXIMUM_WAIT_OBJECTS);
    EXPECT_GT(RealtimeWatchCount(), RealtimeHandleCount());
    Pump(GetTickCount(), 300);

    int written = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.watch);
        // Data of its own each time: a write that changes nothing need not signal.
        std::string data = "C:\\kx\\rt" + std::to_string(++written) + ".exe";
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(row.root, row.key.c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS | row.view, nullptr, &key, nullptr));
        RegSetValueExA(key, row.name.c_str(), 0, REG_SZ, (const BYTE*)data.c_str(),
                       (DWORD)data.size() + 1);
        RegCloseKey(key);
        Request request = PumpCategories();
        EXPECT_TRUE(request.categories & row.category);
        // A subtree watch of an enclosing place, or the other view's of a key both views
        // share, may be the first to see it.
        ASSERT_NE(std::string::npos, request.firstWatch.find('\\'));
        std::string seen = request.firstWatch.substr(request.firstWatch.find('\\') + 1);
        EXPECT_EQ(0, _strnicmp(row.key.c_str(), seen.c_str(), seen.size())) << request.firstWatch;
        Pump(GetTickCount(), 100);
    }

    // A file in each Office start-up folder.
    for (const std::string& folder : office) {
        SCOPED_TRACE(folder);
        ASSERT_TRUE(WriteTextFile(folder + "\\kxfx_rt.dotm", "office"));
        Request request = PumpCategories();
        EXPECT_TRUE(request.categories & REALTIME_STARTUP);
        DeleteFileA((folder + "\\kxfx_rt.dotm").c_str());
        Pump(GetTickCount(), 100);
    }
    for (const std::string& folder : madeOffice)
        RemoveFolderTree(folder);

    // A task file in the task store.
    ASSERT_TRUE(WriteTextFile(tasks + "\\KxTask", "<Task/>"));
    Request request = PumpCategories();
    EXPECT_TRUE(request.categories & REALTIME_TASKS) << "top";
    DeleteFileA((tasks + "\\KxTask").c_str());
    Pump(GetTickCount(), 100);
    // A task folder made, and a task in it. (Wine's subtree watch covers only the folders made
    // after it started; Windows' covers all.)
    std::string later = tasks + "\\KxLater";
    CreateDirectoryA(later.c_str(), nullptr);
    request = PumpCategories();
    EXPECT_TRUE(request.categories & REALTIME_TASKS) << "new folder";
    ASSERT_TRUE(WriteTextFile(later + "\\KxTask", "<Task/>"));
    request = PumpCategories();
    EXPECT_TRUE(request.categories & REALTIME_TASKS) << "later sub";
    DeleteFileA((later + "\\KxTask").c_str());
    RemoveDirectoryA(later.c_str());
}

class ForceTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        ResetMonitorState();
        ReadAllOptions();
        for (int c = 0; c < CHECK_COUNT; c++)
            SetPatrolCheck((PatrolCheck)c, NoCheck);
        SetPatrolCheck(CHECK_STARTUP, CountStartupCheck);
        SetTrayNotifier(NoTray);
        g_startupChecks = 0;
    }
    void TearDown() override
    {
        for (int c = 0; c < CHECK_COUNT; c++)
            SetPatrolCheck((PatrolCheck)c, nullptr);
        SetTrayNotifier(nullptr);
        ResetMonitorState();
        KxTest::TearDown();
    }
};

TEST_F(ForceTest, RequestRunsAFirstHalfPassWithTheStartupCheckAtOnce)
{
    patrolHalf = 1;
    patrolTicks = 5;
    suppressAlerts = 2;
    RealtimeForceStartupCheck();
    EXPECT_EQ(1, g_startupChecks);
    EXPECT_EQ(0, patrolTicks);
    EXPECT_EQ(0, suppressAlerts);
    EXPECT_EQ(1, patrolHalf);   // the second half comes next
    EXPECT_EQ(g_options.Start, g_countdowns.Start);
}

TEST_F(ForceTest, GuardedRequestIsKeptForTheNextTick)
{
    RealtimeForceStartupCheck();
    ASSERT_EQ(1, g_startupChecks);
    // Within a second of the last pass: nothing now, the next tick runs it.
    RealtimeForceStartupCheck();
    EXPECT_EQ(1, g_startupChecks);
    EXPECT_EQ(16, patrolTicks);

    lastPassTick = GetTickCount() - 5000;
    alertOpen = 1;
    patrolTicks = 0;
    RealtimeForceStartupCheck();
    EXPECT_EQ(1, g_startupChecks);
    EXPECT_EQ(16, patrolTicks);
    alertOpen = 0;
    MonitorTick();
    EXPECT_EQ(2, g_startupChecks);
}

int g_serviceChecks;
void CountServiceCheck() { g_serviceChecks++; }

TEST_F(ForceTest, ServiceRequestRunsTheSecondHalfAndBothHalvesFollowEachOther)
{
    SetPatrolCheck(CHECK_SERVICES, CountServiceCheck);
    g_serviceChecks = 0;
    RealtimeForceChecks(REALTIME_SERVICES);
    EXPECT_EQ(1, g_serviceChecks);
    EXPECT_EQ(0, g_startupChecks);
    EXPECT_EQ(0, patrolHalf);   // the first half comes next

    lastPassTick = GetTickCount() - 5000;
    RealtimeForceChecks(REALTIME_STARTUP | REALTIME_SERVICES);
    EXPECT_EQ(1, g_startupChecks);
    EXPECT_EQ(1, g_serviceChecks);
    EXPECT_EQ(16, patrolTicks);   // the services' half on the next tick
    lastPassTick = GetTickCount() - 5000;
    MonitorTick();
    EXPECT_EQ(2, g_serviceChecks);

    // A category switched off is not switched on by a change.
    g_options.Services = 0;
    g_countdowns.Services = 0;
    lastPassTick = GetTickCount() - 5000;
    RealtimeForceChecks(REALTIME_SERVICES);
    EXPECT_EQ(2, g_serviceChecks);
}

TEST_F(ForceTest, RealtimeStartupOffLeavesThePatrolAlone)
{
    g_options.RealtimeStartup = 0;
    patrolTicks = 3;
    RealtimeForceStartupCheck();
    EXPECT_EQ(0, g_startupChecks);
    EXPECT_EQ(3, patrolTicks);
}

}  // namespace
