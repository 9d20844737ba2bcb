// The startup check against the real startup inventory and registry, with the user's
// answers injected through the dialog seam: what each answer leaves in the Run keys, the
// known list, the disabled store and the delayed-start store.
#include "alert.h"
#include "baseline.h"
#include "delaystart.h"
#include "entrylist.h"
#include "findrun.h"
#include "keys.h"
#include "kxtest.h"
#include "monitorstate.h"
#include "options.h"
#include "pathutil.h"
#include "sounds.h"
#include "verify.h"
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

TEST_F(VerifyTest, McAfeeCleanupEntryEndsTheCheck)
{
    AddRun(kHkcuRun, "McAfee Application Installer Cleanup (0122)", app_ + " /cleanup");
    AddRun(kHkcuRunOnce, "KxFixturePlain", plain_);
    VerifyStartup();
    EXPECT_TRUE(g_asked.empty());
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kHkcuRunOnce, "KxFixturePlain"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kHkcuRun,
                            "McAfee Application Installer Cleanup (0122)"));
}

class MovedBackTest : public VerifyTest {
protected:
    void Delay(HKEY root, const std::string& program, const char* code)
    {
        ForgetKey(root, KX_DELAY_KEY);
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
