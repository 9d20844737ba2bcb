// The startup check against the real startup inventory and registry, with the user's
// answers injected through the dialog seam: what each answer leaves in the Run keys, the
// known list, the disabled store and the delayed-start store.
#include "alert.h"
#include "alert_driver.h"
#include "delaystart.h"
#include "entrylist.h"
#include "findrun.h"
#include "keys.h"
#include "knownlist.h"
#include "monitorseams.h"
#include "kxtest.h"
#include "waits.h"
#include "monitorstate.h"
#include "options.h"
#include "pathutil.h"
#include "registry.h"
#include "runactions.h"
#include "sounds.h"
#include "vendorentries.h"
#include "verify.h"
#include <algorithm>
#include <deque>

namespace {

const char* const kHkcuRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kHkcuRunOnce = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char* const kKnown = KX_KEY "\\Run";

struct Asked {
    int templateId;
    int type;
    std::string title, command;
    int alertOpenWhileAsked;
};
std::vector<Asked> g_asked;
std::deque<INT_PTR> g_answers;
int g_sounds;

INT_PTR FakeDialog(HWND, int templateId)
{
    g_asked.push_back({templateId, g_alert.type, g_alert.title, g_alert.command, alertOpen});
    INT_PTR answer = g_answers.empty() ? IDYES : g_answers.front();
    if (!g_answers.empty())
        g_answers.pop_front();
    return answer;
}

BOOL CountSound(LPCSTR, HMODULE, DWORD)
{
    g_sounds++;
    return TRUE;
}

class VerifyTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        g_asked.clear();
        g_answers.clear();
        g_sounds = 0;
        suppressAlerts = 0;
        alertOpen = 0;
        SetAlertDialogSeam(FakeDialog);
        SetSoundPlayerSeam(CountSound);
        ResetRepeatedAlert();
        app_ = TestProgramFolder() + "\\kxfx_app.exe";
        plain_ = TestProgramFolder() + "\\kxfx_plain.exe";
        // Whatever the machine starts already is known; the tests add their own entries.
        BuildStartupList(0);
        for (int i = 0; i < EntryCount(); i++) {
            const EntryRecord* e = GetEntry(i);
            char name[260];
            StartupKeyName(e->command, name);
            WriteValueText(HKEY_CURRENT_USER, kKnown, name, std::to_string(e->type));
        }
        ClearEntries();
    }
    void TearDown() override
    {
        SetAlertDialogSeam(nullptr);
        SetSoundPlayerSeam(nullptr);
        suppressAlerts = 0;
        KxTest::TearDown();
    }

    void AddRun(const char* key, const std::string& name, const std::string& data)
    {
        SaveValue(HKEY_CURRENT_USER, key, name);
        WriteValueText(HKEY_CURRENT_USER, key, name, data);
    }

    std::string app_, plain_;
};

TEST_F(VerifyTest, NothingNewShowsNothing)
{
    VerifyStartup();
    EXPECT_TRUE(g_asked.empty());
    EXPECT_EQ(0, g_sounds);
}

TEST_F(VerifyTest, ApprovedEntryBecomesKnownAndStaysSilent)
{
    const std::string command = "\"" + app_ + "\" -min";
    AddRun(kHkcuRun, "KxFixtureApp", command);
    VerifyStartup();
    ASSERT_EQ(1u, g_asked.size());
    EXPECT_EQ(ALERT_STARTUP, g_asked[0].templateId);
    EXPECT_EQ(CURRENT_RUN, g_asked[0].type);
    // The alert carries the entry's command as the inventory lists it.
    EXPECT_NE(std::string::npos, g_asked[0].command.find(app_));
    EXPECT_EQ(1, g_asked[0].alertOpenWhileAsked);
    EXPECT_EQ(0, alertOpen);
    EXPECT_EQ(1, g_sounds);
    EXPECT_EQ("11", ReadValueText(HKEY_CURRENT_USER, kKnown, g_asked[0].command));
    EXPECT_EQ(command, ReadValueText(HKEY_CURRENT_USER, kHkcuRun, "KxFixtureApp"));
    // First seen under the program key.
    std::string key = app_;
    for (char& c : key)
        c = (char)toupper((unsigned char)c);
    EXPECT_NE("", ReadValueText(HKEY_CURRENT_USER, KX_DETECTED_KEY "\\Startup", key));

    VerifyStartup();
    EXPECT_EQ(1u, g_asked.size());
}

TEST_F(VerifyTest, RejectedEntryIsRemovedAndForgotten)
{
    AddRun(kHkcuRun, "KxFixtureApp", app_);
    WriteValueText(HKEY_CURRENT_USER, kKnown, "KxFixtureApp", "0");
    g_answers = {IDNO};
    VerifyStartup();
    ASSERT_EQ(1u, g_asked.size());
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kHkcuRun, "KxFixtureApp"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kKnown, app_));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kKnown, "KxFixtureApp"));
    EXPECT_NE(std::string::npos,
              ReadTextFile(TempPath("history.txt")).find("*START_Remove"));
    VerifyStartup();
    EXPECT_EQ(1u, g_asked.size());
}

TEST_F(VerifyTest, DisableAnswerMovesTheEntryToTheDisabledStore)
{
    AddRun(kHkcuRun, "KxFixtureApp", app_);
    g_answers = {ALERT_RESULT_DISABLE};
    VerifyStartup();
    ASSERT_EQ(1u, g_asked.size());
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kHkcuRun, "KxFixtureApp"));
    EXPECT_NE(0, DisabledCodeForTitle("KxFixtureApp"));
    // The known list is not changed by a disable.
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kKnown, app_));
}

TEST_F(VerifyTest, DisabledFromTheAlertStaysQuietUntilEnabled)
{
    AddRun(kHkcuRun, "KxFixtureApp", app_);
    // A No to a second alert would delete the stored copy for good.
    g_answers = {ALERT_RESULT_DISABLE, IDNO};
    VerifyStartup();
    VerifyStartup();
    ASSERT_EQ(1u, g_asked.size());
    EXPECT_EQ(CURRENT_RUN, DisabledCodeForTitle("KxFixtureApp"));
    EXPECT_EQ(app_, ReadValueText(HKEY_CURRENT_USER, KX_DISABLED_KEY "\\Run", "KxFixtureApp"));
    EXPECT_EQ(std::string::npos, ReadTextFile(TempPath("history.txt")).find("*START_Remove"));

    // Enabled by the user, it is an active entry again and is asked about as any other.
    g_answers = {IDYES};
    EXPECT_EQ(1, DisableRunProgram("KxFixtureApp", app_.c_str(), "", CURRENT_RUN));
    VerifyStartup();
    EXPECT_EQ(2u, g_asked.size());
    EXPECT_EQ(app_, ReadValueText(HKEY_CURRENT_USER, kHkcuRun, "KxFixtureApp"));
}

TEST_F(VerifyTest, RefusedOrDisabledProgramIsStoppedBeforeItCanComeBack)
{
    // The fixture runs on and puts its value back within 50 ms whenever it is gone.
    const std::string stubborn = TestProgramFolder() + "\\kxfx_readder.exe";
    SaveValue(HKEY_CURRENT_USER, kHkcuRun, "KxFixtureStubborn");
    for (INT_PTR answer : {(INT_PTR)IDNO, (INT_PTR)ALERT_RESULT_DISABLE}) {
        PROCESS_INFORMATION pi = {};
        ASSERT_TRUE(StartTestProgram("\"" + stubborn + "\" KxFixtureStubborn", &pi));
        for (int i = 0; i < 100 && !ValueExists(HKEY_CURRENT_USER, kHkcuRun, "KxFixtureStubborn");
             i++)
            Sleep(50);
        g_answers = {answer};
        VerifyStartup();
        bool stopped = WaitForSingleObject(pi.hProcess, 3000) == WAIT_OBJECT_0;
        TerminateProcess(pi.hProcess, 0);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        EXPECT_TRUE(stopped) << answer;
        Sleep(200);
        EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kHkcuRun, "KxFixtureStubborn")) << answer;
    }
    EXPECT_EQ(2u, g_asked.size());
    EXPECT_NE(0, DisabledCodeForTitle("KxFixtureStubborn"));
    EXPECT_NE(std::string::npos, ReadTextFile(TempPath("history.txt")).find("TASK_Kill"));
}

TEST_F(VerifyTest, WinIniEntryAddedWhileRunningAlertsLikeARunValue)
{
    // win.ini [windows] maps to this key on NT.
    const char* windows = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
    SaveValue(HKEY_CURRENT_USER, windows, "load");
    SaveValue(HKEY_CURRENT_USER, windows, "run");
    for (const char* data : {"\"C:\\Program Files\\Acme Tools\\tool.exe\"",
                             "C:\\Acme\\plain.exe -x"}) {
        for (const char* key : {"load", "run"}) {
            WriteValueText(HKEY_CURRENT_USER, windows, key, std::string(data) + " -" + key);
            size_t before = g_asked.size();
            VerifyStartup();
            ASSERT_EQ(before + 1, g_asked.size()) << key << " " << data;
            EXPECT_EQ(lstrcmpiA(key, "load") == 0 ? WIN_LOAD : WIN_RUN, g_asked.back().type);
            EXPECT_NE(std::string::npos, g_asked.back().command.find("tool.exe") +
                                             g_asked.back().command.find("plain.exe") + 1)
                << g_asked.back().command;
            VerifyStartup();
            EXPECT_EQ(before + 1, g_asked.size()) << key << " " << data;
            DeleteRegValue(HKEY_CURRENT_USER, windows, key);
        }
    }
}

TEST_F(VerifyTest, OtherResultsRecordNothingAndAskAgain)
{
    AddRun(kHkcuRun, "KxFixtureApp", app_);
    g_answers = {-1, 0};
    VerifyStartup();
    VerifyStartup();
    EXPECT_EQ(2u, g_asked.size());
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kHkcuRun, "KxFixtureApp"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kKnown, app_));
}

TEST_F(VerifyTest, KnownStateFollowsKeyNameThenTitle)
{
    // A command with "=" is known under the name with ":".
    const std::string command = app_ + " /mode=quiet";
    AddRun(kHkcuRun, "KxFixtureApp", command);
    VerifyStartup();
    ASSERT_EQ(1u, g_asked.size());
    EXPECT_EQ("11", ReadValueText(HKEY_CURRENT_USER, kKnown, app_ + " /mode:quiet"));
    VerifyStartup();
    EXPECT_EQ(1u, g_asked.size());

    // Known only by its title: silent. Zero under both names: new.
    AddRun(kHkcuRun, "KxFixtureTitle", plain_);
    WriteValueText(HKEY_CURRENT_USER, kKnown, "KxFixtureTitle", "11");
    VerifyStartup();
    EXPECT_EQ(1u, g_asked.size());
    WriteValueText(HKEY_CURRENT_USER, kKnown, "KxFixtureTitle", "0");
    WriteValueText(HKEY_CURRENT_USER, kKnown, plain_, "0");
    VerifyStartup();
    EXPECT_EQ(2u, g_asked.size());
    EXPECT_EQ(0, StartupKnownState("nothing", ""));
}

TEST_F(VerifyTest, SuppressedAlertsRejectEveryNewEntrySilently)
{
    AddRun(kHkcuRun, "KxFixtureApp", app_);
    AddRun(kHkcuRunOnce, "KxFixturePlain", plain_);
    suppressAlerts = 2;
    VerifyStartup();
    EXPECT_TRUE(g_asked.empty());
    EXPECT_EQ(0, g_sounds);
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kHkcuRun, "KxFixtureApp"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kHkcuRunOnce, "KxFixturePlain"));
}

TEST_F(VerifyTest, NoOnTheRepeatedAlertRejectsTheRestOfThePass)
{
    // The dialog's rule sets suppressAlerts; the check honours it for the next entries.
    AddRun(kHkcuRun, "KxFixtureApp", app_);
    AddRun(kHkcuRunOnce, "KxFixturePlain", plain_);
    SetAlertDialogSeam([](HWND, int templateId) -> INT_PTR {
        g_asked.push_back({templateId, g_alert.type, g_alert.title, g_alert.command, alertOpen});
        suppressAlerts = 2;
        return ALERT_RESULT_DISABLE;
    });
    VerifyStartup();
    EXPECT_EQ(1u, g_asked.size());
    EXPECT_NE(0, DisabledCodeForTitle("KxFixtureApp"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kHkcuRunOnce, "KxFixturePlain"));
}

// The vendor's installer cleanup passes unasked only from its own place with its own program;
// the same title anywhere else, or on another program, is asked about. Passing it never ends
// the check: the entry after it is still asked about.
TEST_F(VerifyTest, VendorCleanupPassesOnlyFromItsPlaceWithItsProgram)
{
    const char* const kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    SaveValue(HKEY_LOCAL_MACHINE, kCurrentVersion, "CommonFilesDir");
    WriteValueText(HKEY_LOCAL_MACHINE, kCurrentVersion, "CommonFilesDir", TempPath("common"));
    const std::string vendor = TempPath("common") + "\\McAfee\\Installer\\McCleanup.exe";
    const std::string title = "McAfee Application Installer Cleanup (0122)";
    const struct {
        HKEY root;
        const char* key;
        std::string command;
        bool asked;
    } rows[] = {
        {HKEY_LOCAL_MACHINE, kHkcuRunOnce, "\"" + vendor + "\" /cleanup", false},
        {HKEY_CURRENT_USER, kHkcuRun, vendor + " /cleanup", true},
        {HKEY_LOCAL_MACHINE, kHkcuRun, vendor, true},
        {HKEY_LOCAL_MACHINE, kHkcuRunOnce, app_ + " /cleanup", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.command + (row.root == HKEY_CURRENT_USER ? " HKCU " : " HKLM ") + row.key);
        SaveValue(row.root, row.key, title);
        WriteValueText(row.root, row.key, title, row.command);
        AddRun(kHkcuRunOnce, "KxFixturePlain", plain_);
        g_asked.clear();
        VerifyStartup();
        std::vector<std::string> asked;
        for (const Asked& a : g_asked)
            asked.push_back(a.title);
        std::vector<std::string> expected;
        if (row.asked)
            expected.push_back(title);
        expected.push_back("KxFixturePlain");
        std::sort(asked.begin(), asked.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, asked);
        EXPECT_TRUE(ValueExists(row.root, row.key, title));
        DeleteRegValue(row.root, row.key, title.c_str());
        char name[260];
        for (const std::string& command : {row.command, plain_}) {
            StartupKeyName(command.c_str(), name);
            DeleteRegValue(HKEY_CURRENT_USER, kKnown, name);
        }
        DeleteRegValue(HKEY_CURRENT_USER, kKnown, title.c_str());
    }
}

// The vendor's update task is known by its program in the vendor's folder, in the classic
// scheduler's store; its title alone, which any task can take, passes nothing.
TEST_F(VerifyTest, VendorTaskIsKnownByItsProgramNotItsTitle)
{
    const char* const kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    SaveValue(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir");
    WriteValueText(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir", "D:\\Apps\\");
    const struct {
        const char* title;
        const char* command;
        int type, tag;
        int vendor;
    } rows[] = {
        {"McAfee.com Updater.job", "D:\\Apps\\McAfee.com\\Agent\\mcupdate.exe", TASK_SCHEDULED, 0, 1},
        {"mcafee.com scan.job", "\"d:\\apps\\mcafee.com\\agent\\MCUPDATE.EXE\" /s", TASK_SCHEDULED, 0, 1},
        {"McAfee.com Updater.job", "C:\\x\\agent.exe", TASK_SCHEDULED, 0, 0},
        {"McAfee.com Updater.job", "D:\\Apps\\McAfee.com\\Agent\\mcupdate.exe.exe", TASK_SCHEDULED, 0, 0},
        {"Updater.job", "D:\\Apps\\McAfee.com\\Agent\\mcupdate.exe", TASK_SCHEDULED, 0, 0},
        {"\\McAfee.com\\Updater", "D:\\Apps\\McAfee.com\\Agent\\mcupdate.exe", TASK_SCHEDULED, 1, 0},
        {"McAfee.com Updater", "D:\\Apps\\McAfee.com\\Agent\\mcupdate.exe", CURRENT_RUN, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.title) + " " + row.command);
        EntryRecord entry = {};
        lstrcpynA(entry.title, row.title, sizeof(entry.title));
        lstrcpynA(entry.command, row.command, sizeof(entry.command));
        entry.type = row.type;
        entry.tag = row.tag;
        EXPECT_EQ(row.vendor, IsVendorTask(entry));
    }
}

// A program written into the delayed-start store behind Kestrix's back starts at every logon:
// it is asked about like a new startup entry; No takes it out of the store, Yes approves it.
TEST_F(VerifyTest, ADelayedStoreEntryKestrixDidNotWriteIsAskedAbout)
{
    const struct {
        HKEY root;
        INT_PTR answer;
        bool stays;
    } rows[] = {{HKEY_CURRENT_USER, IDNO, false},
                {HKEY_LOCAL_MACHINE, ALERT_RESULT_DISABLE, false},
                {HKEY_CURRENT_USER, IDYES, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.answer);
        ForgetKey(row.root, KX_DELAY_KEY);
        WriteValueText(row.root, KX_DELAY_KEY, plain_, "11");
        WriteValueText(row.root, KX_DELAY_TIME_KEY, plain_, "30");
        g_asked.clear();
        g_answers = {row.answer};
        VerifyStartup();
        ASSERT_EQ(1u, g_asked.size());
        EXPECT_EQ(ALERT_STARTUP, g_asked[0].templateId);
        EXPECT_EQ(plain_, g_asked[0].command);
        EXPECT_EQ(row.stays, ValueExists(row.root, KX_DELAY_KEY, plain_));
        EXPECT_EQ(row.stays, ValueExists(row.root, KX_DELAY_TIME_KEY, plain_));
        EXPECT_EQ(row.stays, IsApprovedDelayed(plain_.c_str()) != 0);
        g_asked.clear();
        VerifyStartup();
        EXPECT_TRUE(g_asked.empty());
        char name[260];
        StartupKeyName(plain_.c_str(), name);
        DeleteRegValue(HKEY_CURRENT_USER, kKnown, name);
    }
}

// However many entries there are, the check sees each: a new value past the list's page limit
// is asked about like any other.
TEST_F(VerifyTest, AValueBeyondTheListsLimitIsAskedAbout)
{
    HKEY run;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, kHkcuRunOnce, &run));
    HKEY known;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, kKnown, &known));
    // Known fillers past the limit, then the new value, last by name and by time.
    for (int i = 0; i <= MAX_ENTRIES; i++) {
        std::string name = "KxCap" + std::to_string(i), data = "C:\\kxcap\\p" + std::to_string(i) + ".exe";
        RegSetValueExA(run, name.c_str(), 0, REG_SZ, (const BYTE*)data.c_str(), (DWORD)data.size() + 1);
        RegSetValueExA(known, data.c_str(), 0, REG_SZ, (const BYTE*)"12", 3);
    }
    RegCloseKey(known);
    const char* late = "C:\\kxcap\\late.exe";
    RegSetValueExA(run, "KxCapZZ", 0, REG_SZ, (const BYTE*)late, (DWORD)strlen(late) + 1);
    VerifyStartup();
    for (int i = 0; i <= MAX_ENTRIES; i++)
        RegDeleteValueA(run, ("KxCap" + std::to_string(i)).c_str());
    RegDeleteValueA(run, "KxCapZZ");
    RegCloseKey(run);
    ASSERT_EQ(1u, g_asked.size());
    EXPECT_EQ("KxCapZZ", g_asked[0].title);
}

class MovedBackTest : public VerifyTest {
protected:
    void Delay(HKEY root, const std::string& program, const char* code)
    {
        ForgetKey(root, KX_DELAY_KEY);
        ApproveDelayed(program.c_str());
        WriteValueText(root, KX_DELAY_KEY, program, code);
        WriteValueText(root, KX_DELAY_TIME_KEY, program, "30");
        WriteValueText(HKEY_CURRENT_USER, kKnown, program, "1103");
    }
};

TEST_F(MovedBackTest, YesKeepsItInStartupAndEndsTheDelay)
{
    AddRun(kHkcuRun, "KxFixtureApp", app_);
    Delay(HKEY_CURRENT_USER, app_, "11");
    VerifyStartup();
    ASSERT_EQ(1u, g_asked.size());
    EXPECT_EQ(ALERT_DELAYED_BACK, g_asked[0].templateId);
    EXPECT_EQ(0, g_sounds);
    EXPECT_EQ("11", ReadValueText(HKEY_CURRENT_USER, kKnown, app_));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_DELAY_KEY, app_));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_DELAY_TIME_KEY, app_));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kHkcuRun, "KxFixtureApp"));
    VerifyStartup();
    EXPECT_EQ(1u, g_asked.size());
}

TEST_F(MovedBackTest, YesWithArgumentsEndsTheDelayOfTheProgramFile)
{
    // The store names the program file; the known list the whole command.
    const std::string command = app_ + " -tray";
    AddRun(kHkcuRun, "KxFixtureApp", command);
    ForgetKey(HKEY_CURRENT_USER, KX_DELAY_KEY);
    char program[260], args[260];
    SplitProgram(command.c_str(), program, args);
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_KEY, program, "11");
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_TIME_KEY, program, "30");
    WriteValueText(HKEY_CURRENT_USER, kKnown, command, "1103");
    VerifyStartup();
    ASSERT_EQ(1u, g_asked.size());
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_DELAY_TIME_KEY, program));
}

TEST_F(MovedBackTest, DisableKeepsOnlyTheDelayedCopy)
{
    AddRun(kHkcuRun, "KxFixtureApp", app_);
    Delay(HKEY_CURRENT_USER, app_, "11");
    g_answers = {IDNO};
    VerifyStartup();
    ASSERT_EQ(1u, g_asked.size());
    EXPECT_EQ("11", ReadValueText(HKEY_CURRENT_USER, kKnown, app_));
    EXPECT_NE(0, DisabledCodeForTitle("KxFixtureApp"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kHkcuRun, "KxFixtureApp"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, KX_DELAY_TIME_KEY, app_));
}

TEST_F(MovedBackTest, MachineEntryEndsTheMachineDelay)
{
    const char* machineRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    SaveValue(HKEY_LOCAL_MACHINE, machineRun, "KxFixtureMachine");
    WriteValueText(HKEY_LOCAL_MACHINE, machineRun, "KxFixtureMachine", plain_);
    Delay(HKEY_LOCAL_MACHINE, plain_, "1");
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_TIME_KEY, plain_, "30");
    VerifyStartup();
    ASSERT_EQ(1u, g_asked.size());
    EXPECT_EQ("1", ReadValueText(HKEY_CURRENT_USER, kKnown, plain_));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, KX_DELAY_TIME_KEY, plain_));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, KX_DELAY_TIME_KEY, plain_));
}

}  // namespace

namespace {

int NoHelpPage(HWND, int) { return 1; }

// Autostart values a careless or hostile installer may leave, checked with the real alert.
class OddValuesTest : public VerifyTest {
protected:
    void SetUp() override
    {
        VerifyTest::SetUp();
        SetAlertDialogSeam(nullptr);
        SetHelpPageSeam(NoHelpPage);
        startup_ = TempPath("Startup");
        CreateDirectoryA(startup_.c_str(), nullptr);
        SaveValue(HKEY_CURRENT_USER, kShellFolders, "Startup");
    }
    void TearDown() override
    {
        SetHelpPageSeam(nullptr);
        VerifyTest::TearDown();
    }
    void AddRaw(const std::string& name, DWORD type, const std::string& data)
    {
        SaveValue(HKEY_CURRENT_USER, kHkcuRun, name);
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, kHkcuRun, &key));
        RegSetValueExA(key, name.c_str(), 0, type, (const BYTE*)data.data(), (DWORD)data.size());
        RegCloseKey(key);
    }
    // One startup check; every alert shows its program path and gets the answer.
    std::vector<std::string> Check(std::function<void(HWND)> answer)
    {
        // Wine's shell puts its own folder back when a shortcut is read.
        WriteValueText(HKEY_CURRENT_USER, kShellFolders, "Startup", startup_);
        std::vector<std::string> shown;
        std::vector<AlertStep> steps(20, AlertStep{"", [&](HWND d) {
                                                      shown.push_back(ItemText(d, 1026));
                                                      answer(d);
                                                  }});
        DriveAlerts(steps, [] {
            VerifyStartup();
            return (INT_PTR)0;
        });
        EXPECT_FALSE(DriverTimedOut());
        return shown;
    }

    static constexpr const char* kShellFolders =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    std::string startup_;
};

TEST_F(OddValuesTest, EveryAlertShowsWhatWouldRunAndYesSettlesIt)
{
    const std::string longData = "C:\\odd\\long.exe " + std::string(6000, 'x');
    const std::string longName = "KxOdd" + std::string(395, 'n');
    AddRaw("KxOddDword", REG_DWORD, std::string("\x10\x27\0\0", 4));
    AddRaw("KxOddBinary", REG_BINARY, "C:\\odd\\binary.exe -run");
    AddRaw("KxOddMulti", REG_MULTI_SZ, std::string("C:\\odd\\multi.exe\0-x\0\0", 22));
    AddRaw("KxOddEmpty", REG_SZ, std::string("\0", 1));
    AddRaw("KxOddLong", REG_SZ, longData + '\0');
    AddRaw(longName, REG_SZ, plain_ + '\0');
    AddRaw("KxOddQuotes", REG_SZ, std::string("\"\"\"\"\"\"\0", 7));
    AddRaw("KxOddPercent", REG_EXPAND_SZ, std::string("%KX_NO_SUCH%\\odd%%.exe\0", 23));
    // A hook whose class names no file: listed without a command.
    const char* delayLoad =
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
    const char* clsid = "{4B5D0E1A-0000-4000-8000-00000000ABCD}";
    SaveValue(HKEY_LOCAL_MACHINE, delayLoad, "KxOddHook");
    WriteValueText(HKEY_LOCAL_MACHINE, delayLoad, "KxOddHook", clsid);
    // A shortcut whose target is gone, one cut short, and random bytes named .exe.
    ASSERT_EQ(1, RestoreEntry("broken", "C:\\odd\\missing.exe", (startup_ + "\\broken.lnk").c_str(),
                              GROUP_STARTUP));
    DeleteRegValue(HKEY_CURRENT_USER, kKnown, "C:\\odd\\missing.exe");
    WriteTextFile(startup_ + "\\truncated.lnk",
                  std::string("L\0\0\0\x01\x14\x02\0\0\0\0\0\xc0\0\0\0\0\0\0F\x9b\0", 22));
    WriteTextFile(startup_ + "\\random.exe", std::string("\x8f\x01\xfe MZ \x00\x13 garbage", 16));
    char randomExe[MAX_PATH];
    lstrcpynA(randomExe, (startup_ + "\\random.exe").c_str(), sizeof(randomExe));
    ToLongPathForm(randomExe, sizeof(randomExe));

    // Dismissed alerts record nothing: the same values alert again, in the same order.
    std::vector<std::string> first = Check([](HWND d) { EndDialog(d, 0); });
    std::vector<std::string> second = Check([](HWND d) { Press(d, IDYES); });
    EXPECT_EQ(first, second);
    // What would run, as text: the program, or the raw value when it names none. Values of
    // other types Windows does not start, and shortcuts that lead nowhere start nothing.
    std::vector<std::string> expected = {longData.substr(0, 259), plain_, "\"\"\"\"\"\"",
                                         "%KX_NO_SUCH%\\odd%%.exe", randomExe, clsid};
    std::sort(expected.begin(), expected.end());
    std::sort(second.begin(), second.end());
    EXPECT_EQ(expected, second);
    for (const std::string& path : second)
        EXPECT_NE("", path);
    EXPECT_TRUE(Check([](HWND d) { Press(d, IDNO); }).empty());
}

}  // namespace
