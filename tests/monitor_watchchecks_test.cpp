// The add-on, scheduled-task and service checks against real keys, work items and service
// keys, with the user's answers injected through the dialog seam: what each answer leaves
// behind, and what the history says.
#include "addedcategories.h"
#include "addonactions.h"
#include "baseline.h"
#include "driverstates.h"
#include "history.h"
#include "realhives.h"
#include "undo.h"
#include "addons.h"
#include "filetypes.h"
#include "sysfiles.h"
#include "inventories.h"
#include "vault.h"
#include "datafolder.h"
#include "alert.h"
#include "checks.h"
#include "entrylist.h"
#include "keys.h"
#include "monitorseams.h"
#include "sysfileactions.h"
#include "kxtest.h"
#include "classsnapshot.h"
#include "monitorstate.h"
#include "options.h"
#include "platform.h"
#include "registry.h"
#include "service_tasks.h"
#include "services.h"
#include "sounds.h"
#include "tasks.h"
#include "taskservice.h"
#include "watched_items.h"
#include "writefault.h"
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <string>

namespace {

const char kBhoYes[] = "{6B1D5E0A-0000-4000-8000-00000000D001}";
const char kBhoNo[] = "{6B1D5E0A-0000-4000-8000-00000000D002}";
const std::string kServiceKey = KX_SERVICES_ROOT "\\KxCheckSvc";

struct Asked {
    int templateId;
    int type;
    std::string title;
};
std::vector<Asked> g_asked;
std::deque<INT_PTR> g_answers;
std::function<void()> g_dialogAction;   // what a dialog that acts by itself does

INT_PTR FakeDialog(HWND, int templateId)
{
    g_asked.push_back({templateId, g_alert.type, g_alert.title});
    if (g_dialogAction)
        g_dialogAction();
    INT_PTR answer = g_answers.empty() ? IDYES : g_answers.front();
    if (!g_answers.empty())
        g_answers.pop_front();
    return answer;
}
BOOL NoSound(LPCSTR, HMODULE, DWORD) { return TRUE; }
void NoCommand(const char*) {}

// Marks everything the machine has already as known, so that only the test's own items ask.
void KnowEverything(int (*list)(), const char* knownKey)
{
    list();
    // Services are known by their key names, everything else by its title.
    for (int i = 0; i < EntryCount(); i++)
        WriteValueText(HKEY_CURRENT_USER, knownKey,
                       GetEntry(i)->key[0] ? GetEntry(i)->key : GetEntry(i)->title,
                       std::to_string(GetEntry(i)->type));
    ClearEntries();
}

class WatchChecksTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        CoInitialize(nullptr);
        g_asked.clear();
        g_answers.clear();
        g_dialogAction = nullptr;
        suppressAlerts = 0;
        ReadAllOptions();
        SetAlertDialogSeam(FakeDialog);
        SetSoundPlayerSeam(NoSound);
        SetAddOnCommandRunner(NoCommand);
        SetTaskItemWait(0);
        for (const char* id : {kBhoYes, kBhoNo}) {
            ForgetKey(HKEY_LOCAL_MACHINE, std::string(KX_BHO_KEY "\\") + id);
            ForgetKey(HKEY_CLASSES_ROOT, std::string("CLSID\\") + id);
        }
        ForgetKey(HKEY_LOCAL_MACHINE, kServiceKey);
        RemoveJobs();
        KnowEverything(ListBrowserAddOns, KX_KEY "\\IEHelpers");
        KnowEverything(ListScheduledTasks, KX_KEY "\\Tasks");
        KnowEverything(ListServicesAndDrivers, KX_KEY "\\Services");
        hook_ = TestProgramFolder() + "\\kxfx_hook.dll";
    }
    void TearDown() override
    {
        RemoveJobs();
        SetAlertDialogSeam(nullptr);
        SetSoundPlayerSeam(nullptr);
        SetAddOnCommandRunner(nullptr);
        SetTaskItemWait(1000);
        suppressAlerts = 0;
        ClearEntries();
        CoUninitialize();
        KxTest::TearDown();
    }

    void AddHelper(const char* id, const std::string& server)
    {
        WriteValueText(HKEY_LOCAL_MACHINE, std::string(KX_BHO_KEY "\\") + id, "", "");
        WriteValueText(HKEY_CLASSES_ROOT, std::string("CLSID\\") + id + "\\InprocServer32", "",
                       server);
    }
    void AddService()
    {
        WriteValueText(HKEY_LOCAL_MACHINE, kServiceKey, "ImagePath",
                       TestProgramFolder() + "\\kxfx_plain.exe");
        WriteValueText(HKEY_LOCAL_MACHINE, kServiceKey, "DisplayName", "Kx Check Service");
    }
    static std::string JobPath(const std::wstring& name) { return TaskJobPath(name); }
    static void RemoveJobs()
    {
        for (const wchar_t* name : {L"KxCheckTask", L"McAfee.com Updater", L"KxMcAfeeTemplate"})
            DeleteFileA(JobPath(name).c_str());
        RemoveServiceTask(L"KxCheckFolder", L"KxLogonCheck");
    }
    bool MakeTask(const wchar_t* name)
    {
        return MakeWorkItem(name, TestProgramFolder() + "\\kxfx_app.exe");
    }
    std::string History() { return ReadTextFile(TempPath("history.txt")); }

    std::string hook_;
};

TEST_F(WatchChecksTest, AddOnYesIsKnownAndNoIsRemoved)
{
    AddHelper(kBhoYes, hook_);
    g_answers = {IDYES};
    CheckIEHelpers();
    ASSERT_EQ(1u, g_asked.size());
    EXPECT_EQ(ALERT_ADDON, g_asked[0].templateId);
    EXPECT_EQ(0, g_asked[0].type);
    EXPECT_EQ("Fixture Hook", g_asked[0].title);
    EXPECT_EQ("900", ReadValueText(HKEY_CURRENT_USER, KX_KEY "\\IEHelpers", "Fixture Hook"));

    // A second helper of another title: refused, removed, forgotten, written to the history.
    DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string(KX_BHO_KEY "\\") + kBhoYes);
    AddHelper(kBhoNo, TestProgramFolder() + "\\kxfx_plain.exe");
    g_asked.clear();
    g_answers = {IDNO};
    CheckIEHelpers();
    ASSERT_EQ(1u, g_asked.size());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::string(KX_BHO_KEY "\\") + kBhoNo));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_KEY "\\IEHelpers", "kxfx_plain.exe"));
    EXPECT_NE(std::string::npos, History().find("IEHELPER_Remove")) << History();
    g_asked.clear();
    CheckIEHelpers();
    EXPECT_TRUE(g_asked.empty());
}

TEST_F(WatchChecksTest, TaskNoDeletesTheWorkItemAndMcAfeeIsNeverAsked)
{
    ASSERT_TRUE(MakeTask(L"KxCheckTask"));
    // The scheduler refuses dotted names of new items; the installer's file is copied in.
    ASSERT_TRUE(MakeTask(L"KxMcAfeeTemplate"));
    // The scheduler service may be reading the new file for a moment.
    bool copied = false;
    for (int i = 0; i < 40 && !copied; i++, Sleep(50))
        copied = CopyFileA(JobPath(L"KxMcAfeeTemplate").c_str(),
                           JobPath(L"McAfee.com Updater").c_str(), FALSE);
    ASSERT_TRUE(copied);
    DeleteFileA(JobPath(L"KxMcAfeeTemplate").c_str());
    g_answers = {IDNO};
    CheckScheduledTasks();
    ASSERT_EQ(1u, g_asked.size());
    EXPECT_EQ(ALERT_TASK, g_asked[0].templateId);
    EXPECT_EQ(0u, g_asked[0].title.find("KxCheckTask"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(JobPath(L"KxCheckTask").c_str()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(JobPath(L"McAfee.com Updater").c_str()));
    EXPECT_NE(std::string::npos, History().find("ScheduledTask_Remove")) << History();

    ASSERT_TRUE(MakeTask(L"KxCheckTask"));
    g_asked.clear();
    g_answers = {IDYES};
    CheckScheduledTasks();
    ASSERT_EQ(1u, g_asked.size());
    EXPECT_EQ("800", ReadValueText(HKEY_CURRENT_USER, KX_KEY "\\Tasks", g_asked[0].title));
}

// A task of the task service is asked about like a work item, under its path.
TEST_F(WatchChecksTest, ANewServiceTaskIsAskedAboutByItsPathAndRemovedOnNo)
{
    const std::string path = "\\KxCheckFolder\\KxLogonCheck";
    const std::wstring xml =
        LogonTaskXml(TestProgramFolder() + "\\kxfx_app.exe", "", "Kx Author", "");
    ASSERT_TRUE(RegisterServiceTask(L"KxCheckFolder", L"KxLogonCheck", xml));
    g_answers = {IDNO};
    CheckScheduledTasks();
    ASSERT_EQ(1u, g_asked.size());
    EXPECT_EQ(ALERT_TASK, g_asked[0].templateId);
    EXPECT_EQ(path, g_asked[0].title);
    ServiceTask task;
    EXPECT_EQ(S_FALSE, ReadServiceTask(path.c_str(), &task));
    EXPECT_NE(std::string::npos, History().find("ScheduledTask_Remove")) << History();

    ASSERT_TRUE(RegisterServiceTask(L"KxCheckFolder", L"KxLogonCheck", xml));
    g_asked.clear();
    g_answers = {IDYES};
    CheckScheduledTasks();
    ASSERT_EQ(1u, g_asked.size());
    EXPECT_EQ("800", ReadValueText(HKEY_CURRENT_USER, KX_KEY "\\Tasks", path));
    g_asked.clear();
    CheckScheduledTasks();
    EXPECT_TRUE(g_asked.empty());
}

TEST_F(WatchChecksTest, SuppressedAlertsRefuseSilentlyAndTheHistorySaysOnlyWhatHappened)
{
    AddHelper(kBhoNo, hook_);
    AddService();
    suppressAlerts = 2;
    CheckIEHelpers();
    CheckServices();
    EXPECT_TRUE(g_asked.empty());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::string(KX_BHO_KEY "\\") + kBhoNo));
    // The service is disabled and known; it never ran, so nothing was stopped.
    DWORD start = 0, size = sizeof(start);
    RegGetValueA(HKEY_LOCAL_MACHINE, kServiceKey.c_str(), "Start", RRF_RT_REG_DWORD, nullptr,
                 &start, &size);
    EXPECT_EQ(4u, start);
    EXPECT_EQ("700", ReadValueText(HKEY_CURRENT_USER, KX_KEY "\\Services", "KxCheckSvc"));
    std::string history = History();
    EXPECT_NE(std::string::npos, history.find("SERVICE_Disabled")) << history;
    EXPECT_EQ(std::string::npos, history.find("SERVICE_Stop")) << history;
}

TEST_F(WatchChecksTest, ServiceAnswerMakesItKnownEitherWay)
{
    AddService();
    g_answers = {IDYES};
    CheckServices();
    ASSERT_EQ(1u, g_asked.size());
    EXPECT_EQ(ALERT_SERVICE, g_asked[0].templateId);
    EXPECT_EQ(SERVICE_EXE, g_asked[0].type);
    EXPECT_EQ("700", ReadValueText(HKEY_CURRENT_USER, KX_KEY "\\Services", "KxCheckSvc"));
    g_asked.clear();
    CheckServices();
    EXPECT_TRUE(g_asked.empty());
}

// A service that takes a known service's display name is another service: it is asked about,
// and refusing it disables it, by its own key, and leaves the namesake alone. A list of an
// earlier build, known by display name, carries its decision over to the present service once.
TEST_F(WatchChecksTest, AServiceIsKnownAndRefusedByItsKeyNotItsDisplayName)
{
    const std::string twinKey = KX_SERVICES_ROOT "\\KxCheckSvcTwin";
    ForgetKey(HKEY_LOCAL_MACHINE, twinKey);
    AddService();
    WriteValueText(HKEY_CURRENT_USER, KX_KEY "\\Services", "Kx Check Service", "700");
    DeleteRegValue(HKEY_CURRENT_USER, KX_ADOPTED_KEY, "ServiceKeys");
    AdoptAddedCategories(0);
    EXPECT_EQ("700", ReadValueText(HKEY_CURRENT_USER, KX_KEY "\\Services", "KxCheckSvc"));

    WriteValueText(HKEY_LOCAL_MACHINE, twinKey, "ImagePath", TestProgramFolder() + "\\kxfx_app.exe");
    WriteValueText(HKEY_LOCAL_MACHINE, twinKey, "DisplayName", "Kx Check Service");
    AdoptAddedCategories(0);   // once only: the twin is not carried over
    g_answers = {IDNO};
    CheckServices();
    ASSERT_EQ(1u, g_asked.size());
    EXPECT_EQ("Kx Check Service", g_asked[0].title);
    auto start = [](const std::string& key) {
        DWORD value = 0, size = sizeof(value);
        RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), "Start", RRF_RT_REG_DWORD, nullptr, &value,
                     &size);
        return value;
    };
    EXPECT_EQ(4u, start(twinKey));
    EXPECT_NE(4u, start(kServiceKey));
    EXPECT_EQ("700", ReadValueText(HKEY_CURRENT_USER, KX_KEY "\\Services", "KxCheckSvcTwin"));
    g_asked.clear();
    CheckServices();
    EXPECT_TRUE(g_asked.empty());
}

// A driver written under the services root; its start type as a number (-1: none).
void WriteDriver(const std::string& key, DWORD type, DWORD start, const std::string& image)
{
    WriteValueText(HKEY_LOCAL_MACHINE, key, "ImagePath", image, REG_EXPAND_SZ);
    WriteValueText(HKEY_LOCAL_MACHINE, key, "DisplayName", key.substr(key.rfind('\\') + 1));
    for (auto value : {std::make_pair("Type", type), std::make_pair("Start", start)})
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), value.first, REG_DWORD, &value.second, 4);
}
int DriverStart(const std::string& key)
{
    DWORD value = 0, size = sizeof(value);
    return RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), "Start", RRF_RT_REG_DWORD, nullptr,
                        &value, &size) == ERROR_SUCCESS ? (int)value : -1;
}
bool Listed(int (*list)(), const std::string& title, int* type = nullptr)
{
    list();
    for (int i = 0; i < EntryCount(); i++)
        if (title == GetEntry(i)->title) {
            if (type)
                *type = GetEntry(i)->type;
            return true;
        }
    return false;
}

// Drivers: the page lists them with its filter only, the monitor asks about a new one, a new
// program and an earlier start; No disables it and the history's restore puts back the exact
// start type it had (boot, system, manual), after which nothing is asked.
TEST_F(WatchChecksTest, DriversAreAskedRefusedByStartTypeAndRestoredExactly)
{
    const struct {
        const char* name;
        DWORD type, start;
        const char* image;
    } cases[] = {
        {"KxCheckDrvBoot", SERVICE_KERNEL_DRIVER, 0, "\\SystemRoot\\System32\\drivers\\kxboot.sys"},
        {"KxCheckDrvSystem", SERVICE_FILE_SYSTEM_DRIVER, 1, "System32\\drivers\\kxfs.sys"},
        {"KxCheckDrvDemand", SERVICE_KERNEL_DRIVER, 3, "\\??\\C:\\kx\\kxdemand.sys"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string key = KX_SERVICES_ROOT "\\" + std::string(c.name);
        ForgetKey(HKEY_LOCAL_MACHINE, key);
        WriteDriver(key, c.type, c.start, c.image);
        int type = 0;
        WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "ShowDrivers", "0");
        EXPECT_FALSE(Listed(ListServices, c.name));
        WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "ShowDrivers", "1");
        EXPECT_TRUE(Listed(ListServices, c.name, &type));
        EXPECT_EQ(DRIVER_SERVICE, type);
        WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "ShowDrivers", "0");

        g_asked.clear();
        g_answers = {IDNO};
        CheckServices();
        ASSERT_EQ(1u, g_asked.size());
        EXPECT_EQ(ALERT_SERVICE, g_asked[0].templateId);
        EXPECT_EQ(DRIVER_SERVICE, g_asked[0].type);
        EXPECT_EQ(4, DriverStart(key));

        int event = -1;
        for (int i = 0, n = ReadHistory(); i < n; i++)
            if (GetEntryTag(i) == ACT_DRIVER_DISABLED && c.name == std::string(GetEntry(i)->title))
                event = i;
        ASSERT_GE(event, 0) << History();
        ASSERT_TRUE(IsHistoryEventReversible(event));
        EXPECT_TRUE(RestoreHistoryEvent(event));
        EXPECT_EQ((int)c.start, DriverStart(key));
        g_asked.clear();
        CheckServices();
        EXPECT_TRUE(g_asked.empty());

        // Another program is asked about; disabling is not, starting it otherwise is.
        WriteValueText(HKEY_LOCAL_MACHINE, key, "ImagePath", "C:\\kx\\other.sys", REG_EXPAND_SZ);
        g_answers = {IDYES};
        CheckServices();
        EXPECT_EQ(1u, g_asked.size());
        DWORD disabled = 4, automatic = 2;
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), "Start", REG_DWORD, &disabled, 4);
        CheckServices();
        EXPECT_EQ(1u, g_asked.size());
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), "Start", REG_DWORD, &automatic, 4);
        g_answers = {IDYES};
        CheckServices();
        EXPECT_EQ(2u, g_asked.size());
        CheckServices();
        EXPECT_EQ(2u, g_asked.size());
        EXPECT_EQ(2, DriverStart(key));
    }
}

// The drivers of a real Windows 7 machine are Windows' own: present at a first start or at the
// first start of a build that guards drivers, they become known without one question.
TEST_F(WatchChecksTest, ARealMachinesDriversAreAdoptedUnasked)
{
    KX_REQUIRE_REAL_HIVES(folder);
    const std::string under = "HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\services\\";
    std::map<std::string, std::map<std::string, RegFileValue>> services;
    for (const RegFileValue& v : ReadRegFileValues(folder + "\\regipy_SYSTEM-services.reg", under)) {
        std::string name = v.key.substr(under.size());
        if (name.find('\\') == std::string::npos)
            services[name][v.name] = v;
    }
    int drivers = 0;
    for (const auto& service : services) {
        auto type = service.second.find("Type");
        auto image = service.second.find("ImagePath");
        if (type == service.second.end() || image == service.second.end() ||
            type->second.type != REG_DWORD || type->second.data.size() != 4)
            continue;
        DWORD kind = *(const DWORD*)type->second.data.data();
        if (kind != SERVICE_KERNEL_DRIVER && kind != SERVICE_FILE_SYSTEM_DRIVER)
            continue;
        const std::string key = KX_SERVICES_ROOT "\\KxReal " + service.first;
        ForgetKey(HKEY_LOCAL_MACHINE, key);
        for (const auto& value : service.second)
            RegSetKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), value.first.c_str(), value.second.type,
                            value.second.data.data(), (DWORD)value.second.data.size());
        drivers++;
    }
    ASSERT_GT(drivers, 200);
    // Every one is listed when Microsoft's are not hidden (the prefix has a few of the files).
    int listed = 0;
    g_options.HideMicrosoftServices = 0;
    ListServicesAndDrivers();
    g_options.HideMicrosoftServices = 1;
    for (int i = 0; i < EntryCount(); i++)
        listed += GetEntry(i)->type == DRIVER_SERVICE &&
                  std::string(GetEntry(i)->key).rfind("KxReal ", 0) == 0;
    EXPECT_EQ(drivers, listed);

    for (bool firstStart : {true, false}) {
        SCOPED_TRACE(firstStart ? "first start" : "upgrade");
        DeleteKeyTree(HKEY_CURRENT_USER, KX_DRIVER_STATES_KEY);
        if (firstStart) {
            DeleteKeyTree(HKEY_CURRENT_USER, KX_KEY "\\Services");
            InitServicesList();
        } else {
            DeleteKeyTree(HKEY_CURRENT_USER, KX_KEY "\\Services");
            KnowEverything(ListServices, KX_KEY "\\Services");   // an earlier build's list
            DeleteRegValue(HKEY_CURRENT_USER, KX_ADOPTED_KEY, "Drivers");
            AdoptAddedCategories(0);
        }
        g_asked.clear();
        CheckServices();
        EXPECT_TRUE(g_asked.empty()) << g_asked.size() << " asked, first: "
                                     << (g_asked.empty() ? "" : g_asked[0].title);
    }
}

TEST_F(WatchChecksTest, FileTypeChangeIsAskedOrRestoredSilentlyWhenLocked)
{
    ForgetKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\.kxa");
    ForgetKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\kxafile");
    const std::string command = "Software\\Classes\\kxafile\\shell\\open\\command";
    WriteValueText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.kxa", "", "kxafile");
    WriteValueText(HKEY_LOCAL_MACHINE, command, "", "C:\\Tools\\one.exe %1");
    WriteValueText(HKEY_CURRENT_USER, KX_CLASS_KEY, "", "KXA;");
    g_options.FileType = 1;
    CheckFileTypes();
    EXPECT_TRUE(g_asked.empty()) << "a newly watched extension is only snapshotted";

    struct { INT_PTR answer; int lock; const char* after; size_t asked; } rows[] = {
        {IDNO, 0, "C:\\Tools\\one.exe %1", 1},    // put back
        {IDYES, 0, "C:\\Tools\\other.exe %1", 1}, // re-snapshotted: not asked again below
        {IDYES, 1, "C:\\Tools\\other.exe %1", 0}, // locked: restored without asking
    };
    for (const auto& row : rows) {
        WriteValueText(HKEY_LOCAL_MACHINE, command, "", "C:\\Tools\\other.exe %1");
        if (row.lock)
            WriteValueText(HKEY_LOCAL_MACHINE, command, "", "C:\\Tools\\third.exe %1");
        g_options.LockFileTypes = row.lock;
        g_asked.clear();
        g_answers = {row.answer};
        CheckFileTypes();
        ASSERT_EQ(row.asked, g_asked.size()) << row.after;
        if (row.asked) {
            EXPECT_EQ(ALERT_FILETYPE, g_asked[0].templateId);
            EXPECT_EQ(TYPE_FILETYPE, g_asked[0].type);
            EXPECT_EQ(".KXA", g_asked[0].title);
        }
        EXPECT_EQ(row.after, ReadValueText(HKEY_LOCAL_MACHINE, command, ""));
    }
    g_asked.clear();
    CheckFileTypes();
    EXPECT_TRUE(g_asked.empty());
}

TEST_F(WatchChecksTest, ChangedSystemFileIsShownAndRejectPutsTheSavedCopyBack)
{
    const std::string path = TempPath("hosts");
    // Long lines, a NUL and no final line end: the copy must be byte for byte.
    std::string original = "127.0.0.1 localhost\r\n" + std::string(3000, 'a') + std::string(1, '\0') + "end";
    WriteTextFile(path, original);
    ASSERT_TRUE(RecordSysFile("KxHosts", path.c_str(), "", 0));
    PlatformVersion xp = {VER_PLATFORM_WIN32_NT, 5, 1};   // the check is off on major version 6
    SetPlatformOverride(&xp);
    CheckSystemFiles();
    EXPECT_TRUE(g_asked.empty()) << "unchanged";

    WriteTextFile(path, original + "\r\n10.0.0.1 bank.example");
    g_dialogAction = [] { RejectSysFileChange(g_alert.title, 0); };
    CheckSystemFiles();
    ASSERT_EQ(1u, g_asked.size());
    EXPECT_EQ(ALERT_SYSFILE, g_asked[0].templateId);
    EXPECT_EQ("KxHosts", g_asked[0].title);
    EXPECT_EQ(original, ReadTextFile(path));
    char copy[MAX_PATH];
    SavedCopyPath("KxHosts", copy, sizeof(copy));
    EXPECT_EQ(original + "\r\n10.0.0.1 bank.example", ReadTextFile(std::string(copy) + ".previous"))
        << "putting back can be undone";
    g_asked.clear();
    CheckSystemFiles();
    EXPECT_TRUE(g_asked.empty()) << "the put-back file matches its record";
    DeleteFileA(copy);
    DeleteFileA((std::string(copy) + ".previous").c_str());
    SetPlatformOverride(nullptr);
}

TEST_F(WatchChecksTest, NewHiddenFileIsLeftWhenSuppressedCondemnedOnNoKnownOnYes)
{
    ListHiddenFiles();
    for (int i = 0; i < EntryCount(); i++)
        ApproveHiddenFile(GetEntry(i)->command);
    const std::string no = TempPath("kxwatch-no.dat"), yes = TempPath("kxwatch-yes.dat");
    for (const std::string& path : {no, yes}) {
        WriteTextFile(path, path);
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
    }
    suppressAlerts = 2;
    CheckHiddenFiles();
    EXPECT_TRUE(g_asked.empty());
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_HIDDEN_KEY, no)) << "left for a later pass";

    suppressAlerts = 0;
    g_answers = {IDNO, IDYES};   // in listing order: kxwatch-no before kxwatch-yes
    CheckHiddenFiles();
    ASSERT_EQ(2u, g_asked.size());
    EXPECT_EQ(ALERT_HIDDEN, g_asked[0].templateId);
    EXPECT_EQ(TYPE_HIDDEN, g_asked[0].type);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(no.c_str())) << "condemned";
    EXPECT_NE(std::string::npos, History().find("HIDDEN_DeleteFile")) << History();
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, KX_HIDDEN_KEY, yes));
    g_asked.clear();
    CheckHiddenFiles();
    EXPECT_TRUE(g_asked.empty());
    SetFileAttributesA(yes.c_str(), FILE_ATTRIBUTE_NORMAL);
    char base[MAX_PATH];
    MachineDataFolder(base, sizeof(base));
    DeleteFileA((std::string(base) + "\\vault\\kxwatch-no.dat").c_str());
}

std::vector<std::string> g_told;
int RecordMessage(const char* text, const char*, UINT)
{
    g_told.push_back(text);
    return IDOK;
}

// A No that Windows refuses for lack of rights leaves the item as it was, writes no history
// line, and the user is told so and what to do; a No that works is not followed by a word.
TEST_F(WatchChecksTest, ANoTheMachineRefusesChangesNothingAndSaysWhatToDo)
{
    const std::string helperKey = std::string(KX_BHO_KEY "\\") + kBhoNo;
    const std::string classCommand = "Software\\Classes\\kxafile\\shell\\open\\command";
    ForgetKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\.kxa");
    ForgetKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\kxafile");
    const std::string hidden = TempPath("kxwatch-refused.dat");
    struct Row {
        const char* name;
        int places;
        std::function<void()> prepare, check;
        std::function<std::string()> observe;
        const char* historyLine;
        int answer = IDNO;
    } rows[] = {
        {"add-on", PLACE_HKLM,
         [&] { AddHelper(kBhoNo, TestProgramFolder() + "\\kxfx_plain.exe"); },
         [] { CheckIEHelpers(); },
         [&] { return std::string(KeyExists(HKEY_LOCAL_MACHINE, helperKey) ? "registered" : "gone"); },
         "IEHELPER_Remove"},
        {"file type", PLACE_HKLM_CLASSES,
         [&] {
             WriteValueText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.kxa", "", "kxafile");
             WriteValueText(HKEY_LOCAL_MACHINE, classCommand, "", "C:\\Tools\\one.exe %1");
             WriteValueText(HKEY_CURRENT_USER, KX_CLASS_KEY, "", "KXA;");
             g_options.FileType = 1;
             g_options.LockFileTypes = 0;
             CheckFileTypes();   // the snapshot
             WriteValueText(HKEY_LOCAL_MACHINE, classCommand, "", "C:\\Ads\\grabber.exe %1");
         },
         [] { CheckFileTypes(); },
         [&] { return ReadValueText(HKEY_LOCAL_MACHINE, classCommand, ""); }, "FILETYPE"},
        // Keeping the new program needs the machine's folder for its record: without it the
        // old record stays (the user's key is no place for it) and the user is told.
        {"file type kept", PLACE_PROGRAM_FOLDER | PLACE_MACHINE_FOLDER,
         [&] {
             WriteValueText(HKEY_LOCAL_MACHINE, classCommand, "", "C:\\Tools\\one.exe %1");
             CheckFileTypes();
             WriteValueText(HKEY_LOCAL_MACHINE, classCommand, "", "C:\\Tools\\two.exe %1");
         },
         [] { CheckFileTypes(); },
         [&] {
             std::string cls, command;
             ReadClassSnapshot(".KXA", &cls, &command);
             return cls + " | " + command + " | " + ReadValueText(HKEY_CURRENT_USER, KX_EXT_KEY, ".KXA");
         },
         "FILETYPE", IDYES},
        {"hidden file", PLACE_PROGRAM_FOLDER | PLACE_MACHINE_FOLDER,
         [&] {
             ListHiddenFiles();
             for (int i = 0; i < EntryCount(); i++)
                 ApproveHiddenFile(GetEntry(i)->command);
             WriteTextFile(hidden, "hidden");
             SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
         },
         [] { CheckHiddenFiles(); },
         [&] { return ReadTextFile(hidden); }, "HIDDEN_DeleteFile"},
    };
    SetPatrolMessageSeam(RecordMessage);
    for (Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.prepare();
        std::string before = row.observe();
        DeleteFileA(TempPath("history.txt").c_str());
        g_told.clear();
        g_asked.clear();
        g_answers = {row.answer};
        SetDeniedPlaces(row.places);
        row.check();
        SetDeniedPlaces(0);
        ASSERT_EQ(1u, g_asked.size());
        EXPECT_EQ(before, row.observe()) << "nothing changed";
        EXPECT_EQ(std::string::npos, History().find(row.historyLine)) << History();
        ASSERT_EQ(1u, g_told.size());
        EXPECT_NE(std::string::npos, g_told[0].find("administrator")) << g_told[0];
        EXPECT_NE(std::string::npos, g_told[0].find("Nothing was changed")) << g_told[0];

        // Allowed, the same answer does its work, quietly.
        g_told.clear();
        g_asked.clear();
        g_answers = {row.answer};
        row.check();
        EXPECT_NE(before, row.observe());
        EXPECT_TRUE(g_told.empty());
    }
    SetPatrolMessageSeam(nullptr);
    SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(hidden.c_str());
}

// However many entries there are, a check sees each: a new one listed after more known ones
// than the manager's page of entries holds is still asked about, and only it.
TEST_F(WatchChecksTest, ANewEntryListedPastThePageLimitIsAskedAbout)
{
    const int count = MAX_ENTRIES + 1;
    ListHiddenFiles();
    for (int i = 0; i < EntryCount(); i++)
        ApproveHiddenFile(GetEntry(i)->command);
    ClearEntries();
    // Known fillers first in listing order (subkeys are listed by name; the System folder is
    // walked before the temporary folder), the new entry after them.
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof(system));
    const std::string fillers = std::string(system) + "\\kxcap-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(fillers.c_str(), nullptr);
    auto id = [](int i) {
        char text[64];
        snprintf(text, sizeof(text), "{6B1D5E0A-0000-4000-8000-%012d}", i);
        return std::string(text);
    };
    auto service = [](int i) { return std::string(KX_SERVICES_ROOT "\\KxCap") + std::to_string(i); };
    auto hidden = [&](int i) {
        return i < count ? fillers + "\\kxcap" + std::to_string(i) + ".dat" : TempPath("kxcapnew.dat");
    };
    const int last = 999999999;   // the new entry's number: after every filler by name
    struct Kind {
        const char* name;
        std::function<void(int, bool known)> add;
        std::function<void(int)> remove;
        void (*check)();
    } kinds[] = {
        {"add-ons",
         [&](int i, bool known) {
             AddHelper(id(i).c_str(), "C:\\kxcap\\kxcap" + std::to_string(i) + ".dll");
             if (known)
                 WriteValueText(HKEY_CURRENT_USER, KX_KEY "\\IEHelpers",
                                "kxcap" + std::to_string(i) + ".dll", "900");
         },
         [&](int i) {
             DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string(KX_BHO_KEY "\\") + id(i));
             DeleteKeyTree(HKEY_CLASSES_ROOT, "CLSID\\" + id(i));
         },
         CheckIEHelpers},
        {"services",
         [&](int i, bool known) {
             WriteValueText(HKEY_LOCAL_MACHINE, service(i), "ImagePath", "C:\\kxcap\\s.exe");
             WriteValueText(HKEY_LOCAL_MACHINE, service(i), "DisplayName", "kxcap " + std::to_string(i));
             if (known)
                 WriteValueText(HKEY_CURRENT_USER, KX_KEY "\\Services", service(i).substr(service(i).rfind('\\') + 1), "700");
         },
         [&](int i) { DeleteKeyTree(HKEY_LOCAL_MACHINE, service(i)); },
         CheckServices},
        {"hidden files",
         [&](int i, bool known) {
             WriteTextFile(hidden(i), "");
             SetFileAttributesA(hidden(i).c_str(), FILE_ATTRIBUTE_HIDDEN);
             if (known)
                 ApproveHiddenFile(hidden(i).c_str());
         },
         [&](int i) {
             SetFileAttributesA(hidden(i).c_str(), FILE_ATTRIBUTE_NORMAL);
             DeleteFileA(hidden(i).c_str());
         },
         CheckHiddenFiles},
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        for (int i = 0; i < count; i++)
            kind.add(i, true);
        kind.add(last, false);
        g_asked.clear();
        kind.check();
        for (int i = 0; i < count; i++)
            kind.remove(i);
        kind.remove(last);
        ASSERT_EQ(1u, g_asked.size());
        EXPECT_NE(std::string::npos, g_asked[0].title.find(kind.check == CheckHiddenFiles
                                                               ? "kxcapnew"
                                                               : std::to_string(last)))
            << g_asked[0].title;
    }
    RemoveFolderTree(fillers);
}

}   // namespace
