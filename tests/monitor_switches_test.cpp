// The startup guard over the machine's 32-bit Run keys and Windows' own startup switches: a
// 32-bit Run value signals the real-time watch and is asked about like any other; an entry
// that Windows keeps switched off stays quiet, and one switched back on is asked about.
#include "addons.h"
#include "alert.h"
#include "entrylist.h"
#include "findrun.h"
#include "keys.h"
#include "knownlist.h"
#include "monitorseams.h"
#include "kxtest.h"
#include "monitorstate.h"
#include "options.h"
#include "realtime.h"
#include "registry.h"
#include "runactions.h"
#include "sounds.h"
#include "startupapproved.h"
#include "verify.h"
#include <cstring>
#include <deque>
#include <initializer_list>

namespace {

const char* const kKnown = KX_KEY "\\Run";
const char* const kTitle = "KxSwitchApp";
const char* const kClass = "{KxSwitchClass}";
const char* const kDelayLoad = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
const char* const kSharedTasks =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler";
const char* const kExecuteHooks =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks";
const char* const kAppInit32 = "Software\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Windows";

struct Asked {
    int type;
    std::string title;
};
std::vector<Asked> g_asked;
std::deque<INT_PTR> g_answers;

INT_PTR FakeDialog(HWND, int)
{
    g_asked.push_back({g_alert.type, g_alert.title});
    INT_PTR answer = g_answers.empty() ? IDYES : g_answers.front();
    if (!g_answers.empty())
        g_answers.pop_front();
    return answer;
}

BOOL NoSound(LPCSTR, HMODULE, DWORD) { return TRUE; }

void WriteRun(REGSAM view, HKEY root, const std::string& name, const std::string& data)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, kRunKeys[0], 0, nullptr, 0, KEY_WRITE | view,
                                             nullptr, &key, nullptr));
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, (const BYTE*)data.c_str(),
                   (DWORD)data.size() + 1);
    RegCloseKey(key);
}

void WriteSwitch(HKEY root, const char* sub, const char* name, BYTE first)
{
    std::string path = std::string(STARTUP_APPROVED_KEY) + sub;
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(root, path.c_str(), &key));
    BYTE data[12] = {first};
    RegSetValueExA(key, name, 0, REG_BINARY, data, sizeof(data));
    RegCloseKey(key);
}

void WriteIn(REGSAM view, const char* path, const char* name, const char* data)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0,
                                             KEY_WRITE | view, nullptr, &key, nullptr));
    RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)data, (DWORD)strlen(data) + 1);
    RegCloseKey(key);
}

void DeleteValueIn(REGSAM view, HKEY root, const std::string& path, const char* name)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_SET_VALUE | view, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, name);
        RegCloseKey(key);
    }
}

void CleanUp()
{
    for (REGSAM view : {(REGSAM)0, (REGSAM)KEY_WOW64_32KEY})
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            DeleteValueIn(view, root, kRunKeys[0], kTitle);
    for (const char* sub : {"\\Run", "\\Run32"})
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            DeleteValueIn(0, root, std::string(STARTUP_APPROVED_KEY) + sub, kTitle);
    for (REGSAM view : {(REGSAM)0, (REGSAM)KEY_WOW64_32KEY}) {
        DeleteValueIn(view, HKEY_LOCAL_MACHINE, kDelayLoad, "KxSwitchDelay");
        DeleteValueIn(view, HKEY_LOCAL_MACHINE, kSharedTasks, kClass);
        DeleteValueIn(view, HKEY_LOCAL_MACHINE, kExecuteHooks, kClass);
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, (std::string(KX_BHO_KEY "\\") + kClass).c_str(), view,
                        0);
    }
}

class SwitchGuardTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        CleanUp();
        g_asked.clear();
        g_answers.clear();
        suppressAlerts = 0;
        alertOpen = 0;
        InstallEntryActions();
        SetAlertDialogSeam(FakeDialog);
        SetSoundPlayerSeam(NoSound);
        ResetRepeatedAlert();
        app_ = TestProgramFolder() + "\\kxfx_app.exe";
        // Whatever the machine starts already is known; the tests add their own entries.
        BuildStartupList(0);
        for (int i = 0; i < EntryCount(); i++) {
            char name[260];
            StartupKeyName(GetEntry(i)->command, name);
            WriteValueText(HKEY_CURRENT_USER, kKnown, name, std::to_string(GetEntry(i)->type));
        }
        ClearEntries();
    }
    void TearDown() override
    {
        SetAlertDialogSeam(nullptr);
        SetSoundPlayerSeam(nullptr);
        CleanUp();
        KxTest::TearDown();
    }
    std::string app_;
};

}  // namespace

TEST_F(SwitchGuardTest, ThirtyTwoBitRunValueIsAskedAboutAndEachAnswerActsInItsView)
{
    const struct {
        INT_PTR answer;
        bool stays32, stored;
    } rows[] = {
        {IDYES, true, false},
        {IDNO, false, false},
        {ALERT_RESULT_DISABLE, false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.answer);
        WriteRun(KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, kTitle, app_);
        DeleteRegValue(HKEY_CURRENT_USER, kKnown, app_.c_str());
        g_asked.clear();
        g_answers = {row.answer};
        VerifyStartup();
        ASSERT_EQ(1u, g_asked.size());
        EXPECT_EQ(MACHINE32_RUN, g_asked[0].type);
        char text[300];
        EXPECT_EQ(row.stays32, GetRegValue(HKEY_LOCAL_MACHINE, kRunKeys[0], kTitle, text,
                                           sizeof(text), KEY_WOW64_32KEY) > 0);
        EXPECT_EQ(row.stored ? MACHINE32_RUN : 0, DisabledCodeForTitle(kTitle));
        // Answered once: the next check is quiet.
        VerifyStartup();
        EXPECT_EQ(1u, g_asked.size());
        DeleteRegValue(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, kTitle);
        DeleteRegValue(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY "\\Run", kTitle);
    }
}

TEST_F(SwitchGuardTest, EntryKeptOffByWindowsIsQuietAndAskedAboutWhenSwitchedBackOn)
{
    const struct {
        const char* name;
        REGSAM view;
        HKEY root;
        const char* sub;
        int type;
    } places[] = {
        {"HKCU Run", 0, HKEY_CURRENT_USER, "\\Run", CURRENT_RUN},
        {"HKLM Run", 0, HKEY_LOCAL_MACHINE, "\\Run", MACHINE_RUN},
        {"HKLM Run (32-bit)", KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, "\\Run32", MACHINE32_RUN},
    };
    for (const auto& place : places) {
        SCOPED_TRACE(place.name);
        g_asked.clear();
        // Approved long ago, then switched off in Task Manager.
        WriteRun(place.view, place.root, kTitle, app_);
        WriteValueText(HKEY_CURRENT_USER, kKnown, app_, std::to_string(place.type));
        WriteSwitch(place.root, place.sub, kTitle, 3);
        VerifyStartup();
        VerifyStartup();
        EXPECT_TRUE(g_asked.empty());

        // Switched on by someone: it starts again, and the user hears of it once.
        WriteSwitch(place.root, place.sub, kTitle, 2);
        VerifyStartup();
        ASSERT_EQ(1u, g_asked.size());
        EXPECT_EQ(place.type, g_asked[0].type);
        EXPECT_EQ(kTitle, g_asked[0].title);
        EXPECT_EQ(std::to_string(place.type), ReadValueText(HKEY_CURRENT_USER, kKnown, app_));
        VerifyStartup();
        EXPECT_EQ(1u, g_asked.size());
        CleanUp();
    }
}

TEST_F(SwitchGuardTest, AnEntryThatStartsKeepsTheNameItSharesWithOneSwitchedOff)
{
    // The same program from HKCU (switched off) and HKLM (starting): the started one is known
    // under the shared name and must stay so.
    WriteRun(0, HKEY_CURRENT_USER, kTitle, app_);
    WriteRun(0, HKEY_LOCAL_MACHINE, kTitle, app_);
    WriteValueText(HKEY_CURRENT_USER, kKnown, app_, "1");
    WriteSwitch(HKEY_CURRENT_USER, "\\Run", kTitle, 3);
    VerifyStartup();
    EXPECT_TRUE(g_asked.empty());
    EXPECT_EQ("1", ReadValueText(HKEY_CURRENT_USER, kKnown, app_));
}

namespace {

// The monitor loop's part until the first request of the category, or until a generous bound
// passes.
std::string FirstSignalledWatch(int category)
{
    DWORD started = GetTickCount();
    std::string first;
    while (GetTickCount() - started < 15000) {
        DWORD r = WaitForMultipleObjects(RealtimeHandleCount(), RealtimeHandles(), FALSE, 100);
        if (r < WAIT_OBJECT_0 + (DWORD)RealtimeHandleCount()) {
            if (first.empty())
                first = RealtimeWatchName(r - WAIT_OBJECT_0);
            RealtimeOnSignal(r - WAIT_OBJECT_0);
        }
        if (RealtimeTakeRequest() & category)
            return first;
    }
    return "<no request>";
}

void Settle()
{
    DWORD started = GetTickCount();
    while (GetTickCount() - started < 300) {
        DWORD r = WaitForMultipleObjects(RealtimeHandleCount(), RealtimeHandles(), FALSE, 50);
        if (r < WAIT_OBJECT_0 + (DWORD)RealtimeHandleCount())
            RealtimeOnSignal(r - WAIT_OBJECT_0);
        RealtimeTakeRequest();
    }
}

}  // namespace

TEST_F(SwitchGuardTest, ThirtyTwoBitKeysAndStartupSwitchesAreWatchedAndAskedAbout)
{
    SaveValue(HKEY_LOCAL_MACHINE, kAppInit32, "AppInit_DLLs");
    const struct {
        const char* place;
        const char* key;
        const char* value;
        const char* data;
        int category, asked;
    } rows[] = {
        {"HKLM32\\", kRunKeys[0], kTitle, "C:\\kx\\realtime32.exe", REALTIME_STARTUP, MACHINE32_RUN},
        // Hooks whose class names no file are known by their titles: one title each.
        {"HKLM32\\", kDelayLoad, "KxSwitchDelay", kClass, REALTIME_STARTUP, REG_Delayload32},
        {"HKLM32\\", kSharedTasks, kClass, "KxSwitchTasks", REALTIME_STARTUP, REG_TaskScheduler32},
        {"HKLM32\\", kExecuteHooks, kClass, "KxSwitchHook", REALTIME_STARTUP,
         REG_ShellExecuteHook32},
        {"HKLM32\\", "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "AppInit_DLLs",
         "C:\\kx\\appinit32.dll", REALTIME_STARTUP, REG_AppInitDLLs32},
        {"HKLM32\\", KX_BHO_KEY, nullptr, nullptr, REALTIME_ADDONS, 0},
        {"HKCU\\", STARTUP_APPROVED_KEY, nullptr, nullptr, REALTIME_STARTUP, 0},
    };
    // The places exist on a machine that has them in use.
    WriteRun(KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, kTitle, "C:\\kx\\before.exe");
    WriteSwitch(HKEY_CURRENT_USER, "\\Run", kTitle, 2);
    for (const auto& row : rows)
        if (row.value)
            CreateRegKey(HKEY_LOCAL_MACHINE, row.key, KEY_WOW64_32KEY);
    ASSERT_GT(RealtimeStart(), 0);
    EXPECT_LT(RealtimeHandleCount(), MAXIMUM_WAIT_OBJECTS);
    Settle();

    for (const auto& row : rows) {
        SCOPED_TRACE(row.key);
        if (row.category == REALTIME_ADDONS)
            CreateRegKey(HKEY_LOCAL_MACHINE, (std::string(row.key) + "\\" + kClass).c_str(),
                         KEY_WOW64_32KEY);
        else if (!row.value)
            WriteSwitch(HKEY_CURRENT_USER, "\\Run", kTitle, 3);
        else
            WriteIn(KEY_WOW64_32KEY, row.key, row.value, row.data);
        EXPECT_EQ(std::string(row.place) + row.key, FirstSignalledWatch(row.category));
        Settle();
        if (!row.asked)
            continue;
        g_asked.clear();
        VerifyStartup();
        ASSERT_EQ(1u, g_asked.size());
        EXPECT_EQ(row.asked, g_asked[0].type);
    }
    RealtimeStop();
}
