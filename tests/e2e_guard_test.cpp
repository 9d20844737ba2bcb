// End to end: the real Kestrix.exe guards the Run key. A value added while it runs raises
// the new-program alert within two seconds; the driver reads the path and answers; the
// registry, history.txt and the absence of a second alert show the result.
#include "keys.h"
#include "e2e.h"
#include "waits.h"
#include <string>
#include <vector>

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kAlertCaption[] = "\"Kestrix New Program Alert\"";
const char kDelayedCaption[] = "\"This Program doesn't want to be Delayed\"";

class GuardE2eTest : public MonitorE2eBase {
protected:
    void SetUp() override
    {
        MonitorE2eBase::SetUp();
        SaveValue(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix");
        SaveValue(HKEY_CURRENT_USER, kRunKey, "KxGuardFixture");
        program_ = TestProgramFolder() + "\\kxfx_app.exe";
        // No notification area under the test display; the guard needs no icon.
        WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "HideRufo", "1");
        WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Sound", "0");
    }

    bool StopMonitor(int index)
    {
        WaitExit(Start("-Q"));
        return WaitExit(index) != -1;
    }

    std::string History() { return ReadTextFile(TempPath("history.txt")); }

    std::string program_;
};

TEST_F(GuardE2eTest, NewRunValueIsAlertedAtOnceAndNoRemovesIt)
{
    int monitor = StartReady();
    ASSERT_GE(monitor, 0);
    WriteValueText(HKEY_CURRENT_USER, kRunKey, "KxGuardFixture", program_);
    std::string path;
    ASSERT_EQ(0, Drive(std::string("wait #32770 ") + kAlertCaption + " 10000 sleep 200 text 1026 click 7",
                       &path))
        << path;
    EXPECT_NE(std::string::npos, path.find(program_)) << path;
    EXPECT_EQ(0, Drive(std::string("gone #32770 ") + kAlertCaption + " 5000"));
    for (int waited = 0; waited < 3000 && ValueExists(HKEY_CURRENT_USER, kRunKey, "KxGuardFixture");
         waited += 50)
        Sleep(50);
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunKey, "KxGuardFixture"));
    // The monitor's own removal raises no second alert.
    EXPECT_NE(0, Drive(std::string("wait #32770 ") + kAlertCaption + " 3000"));
    std::string history = History();
    EXPECT_NE(std::string::npos, history.find("START_Alert")) << history;
    EXPECT_NE(std::string::npos, history.find("*START_Remove")) << history;
    EXPECT_TRUE(StopMonitor(monitor));
}

TEST_F(GuardE2eTest, ImageHijackIsAlertedAtOnceByItsPlaceAndNoTakesItAway)
{
    // Watched by a helper thread beside the loop's own set.
    const std::string ifeo =
        "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\kxfx_e2e.exe";
    ForgetKey(HKEY_LOCAL_MACHINE, ifeo);
    int monitor = StartReady();
    ASSERT_GE(monitor, 0);
    WriteValueText(HKEY_LOCAL_MACHINE, ifeo, "Debugger", program_);
    std::string name;
    ASSERT_EQ(0, Drive(std::string("wait #32770 ") + kAlertCaption + " 10000 sleep 200 text 100 click 7",
                       &name))
        << name;
    EXPECT_NE(std::string::npos, name.find("IFEO Debugger: kxfx_e2e.exe")) << name;
    EXPECT_TRUE(WaitUntil([&] { return !ValueExists(HKEY_LOCAL_MACHINE, ifeo, "Debugger"); }));
    EXPECT_NE(0, Drive(std::string("wait #32770 ") + kAlertCaption + " 2000"));
    std::string history = History();
    EXPECT_NE(std::string::npos, history.find("*START_Remove\tPLACE_IFEO_Debugger\tkxfx_e2e.exe"))
        << history;
    EXPECT_TRUE(StopMonitor(monitor));
}

TEST_F(GuardE2eTest, RefusedProgramThatRunsIsStoppedAndCannotComeBack)
{
    // The fixture runs on and writes its Run value again whenever it is gone.
    int monitor = StartReady();
    ASSERT_GE(monitor, 0);
    int stubborn =
        Launch(Quoted(TestProgramFolder() + "\\kxfx_readder.exe") + " KxGuardFixture");
    ASSERT_GE(stubborn, 0);
    ASSERT_EQ(0, Drive(std::string("wait #32770 ") + kAlertCaption + " 3000 click 7"));
    EXPECT_EQ(0, Drive(std::string("gone #32770 ") + kAlertCaption + " 5000"));
    EXPECT_NE(-1, WaitExit(stubborn, 5000));
    EXPECT_NE(0, Drive(std::string("wait #32770 ") + kAlertCaption + " 3000"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunKey, "KxGuardFixture"));
    std::string history = History();
    EXPECT_NE(std::string::npos, history.find("TASK_Kill")) << history;
    EXPECT_NE(std::string::npos, history.find("*START_Remove")) << history;
    EXPECT_TRUE(StopMonitor(monitor));
}

TEST_F(GuardE2eTest, WinIniLoadEntryIsAlertedAtOnceEvenWhenItsKeyIsNew)
{
    // On a new system the key that win.ini [windows] maps to does not exist yet.
    const char windows[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
    ForgetKey(HKEY_CURRENT_USER, windows);
    int monitor = StartReady();
    ASSERT_GE(monitor, 0);
    WriteValueText(HKEY_CURRENT_USER, windows, "load",
                   "\"C:\\Program Files\\Acme Tools\\tool.exe\"");
    std::string path;
    EXPECT_EQ(0, Drive(std::string("wait #32770 ") + kAlertCaption +
                           " 5000 sleep 200 text 1026 click 6",
                       &path))
        << path;
    EXPECT_NE(std::string::npos, path.find("C:\\Program Files\\Acme Tools\\tool.exe")) << path;
    EXPECT_TRUE(StopMonitor(monitor));
}

TEST_F(GuardE2eTest, YesKeepsTheValueAndANewMonitorDoesNotAskAgain)
{
    int monitor = StartReady();
    ASSERT_GE(monitor, 0);
    WriteValueText(HKEY_CURRENT_USER, kRunKey, "KxGuardFixture", program_);
    ASSERT_EQ(0, Drive(std::string("wait #32770 ") + kAlertCaption + " 10000 click 6"));
    EXPECT_EQ(0, Drive(std::string("gone #32770 ") + kAlertCaption + " 5000"));
    // The answer is written after the dialog's own steps.
    EXPECT_TRUE(WaitUntil([&] { return ReadValueText(HKEY_CURRENT_USER, KX_KEY "\\Run", program_) == "11"; }));
    EXPECT_EQ(program_, ReadValueText(HKEY_CURRENT_USER, kRunKey, "KxGuardFixture"));
    ASSERT_TRUE(StopMonitor(monitor));

    // A second monitor checks the Run key on its next change and stays silent.
    monitor = StartReady();
    WriteValueText(HKEY_CURRENT_USER, kRunKey, "KxGuardFixture", program_);
    EXPECT_NE(0, Drive(std::string("wait #32770 ") + kAlertCaption + " 3000"));
    EXPECT_TRUE(StopMonitor(monitor));
}

TEST_F(GuardE2eTest, DelayedProgramThatComesBackShowsTheMovedBackAlert)
{
    // Marked after the monitor's first-run set-up, which makes its own known list.
    int monitor = StartReady();
    ASSERT_GE(monitor, 0);
    // Approved first, as Kestrix stores a program.
    WriteValueText(HKEY_CURRENT_USER, KX_KEY "\\DelayApproved", program_, "1");
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_KEY, program_, "11");
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_KEY "\\Time", program_, "600");
    WriteValueText(HKEY_CURRENT_USER, KX_KEY "\\Run", program_, "1103");
    WriteValueText(HKEY_CURRENT_USER, kRunKey, "KxGuardFixture", program_);
    std::string path;
    ASSERT_EQ(0, Drive(std::string("wait #32770 ") + kDelayedCaption + " 10000 sleep 200 text 1026 click 6",
                       &path));
    EXPECT_NE(std::string::npos, path.find(program_)) << path;
    for (int waited = 0; waited < 3000 && ValueExists(HKEY_CURRENT_USER, KX_DELAY_KEY, program_);
         waited += 50)
        Sleep(50);
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_DELAY_KEY, program_));
    EXPECT_EQ("11", ReadValueText(HKEY_CURRENT_USER, KX_KEY "\\Run", program_));
    EXPECT_TRUE(StopMonitor(monitor));
}

}  // namespace
