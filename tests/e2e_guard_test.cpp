// End to end: the real Kestrix.exe guards the Run key. A value added while it runs raises
// the new-program alert within two seconds; the driver reads the path and answers; the
// registry, history.txt and the absence of a second alert show the result.
#include "keys.h"
#include "kxtest.h"
#include <string>
#include <vector>

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kAlertCaption[] = "\"Kestrix New Program Alert\"";
const char kDelayedCaption[] = "\"This Program doesn't want to be Delayed\"";

class GuardE2eTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        SaveValue(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix");
        SaveValue(HKEY_CURRENT_USER, kRunKey, "KxGuardFixture");
        std::string tests = TestProgramFolder();
        std::string build = tests.substr(0, tests.find_last_of('\\'));
        ASSERT_TRUE(CopyFileA((build + "\\Kestrix.exe").c_str(), TempPath("Kestrix.exe").c_str(),
                              FALSE));
        driver_ = tests + "\\kxdriver.exe";
        ASSERT_TRUE(CopyFileA(driver_.c_str(), TempPath("KestrixEx.exe").c_str(), FALSE));
        program_ = tests + "\\kxfx_app.exe";
        WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Debug", "1");
        // No notification area under the test display; the guard needs no icon.
        WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "HideRufo", "1");
        WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Sound", "0");
        ASSERT_EQ(FindWindowA("Kestrix", nullptr), nullptr) << "a monitor is already running";
    }

    void TearDown() override
    {
        for (PROCESS_INFORMATION& p : started_) {
            if (WaitForSingleObject(p.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(p.hProcess, 1);
                WaitForSingleObject(p.hProcess, 5000);
            }
            CloseHandle(p.hProcess);
            CloseHandle(p.hThread);
        }
        KxTest::TearDown();
    }

    bool Run(const std::string& command, PROCESS_INFORMATION* pi, HANDLE output)
    {
        std::vector<char> line(command.begin(), command.end());
        line.push_back(0);
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        if (output) {
            si.dwFlags = STARTF_USESTDHANDLES;
            si.hStdOutput = si.hStdError = output;
            si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        }
        return CreateProcessA(nullptr, line.data(), nullptr, nullptr, output != nullptr, 0,
                              nullptr, TempDir().c_str(), &si, pi) != 0;
    }

    // Starts the monitor and waits until its timer runs and its first second is over, so
    // that a change is served at once rather than on the next tick.
    int StartMonitor(const std::string& args = "")
    {
        PROCESS_INFORMATION pi = {};
        if (!Run("\"" + TempPath("Kestrix.exe") + "\" " + args, &pi, nullptr))
            return -1;
        started_.push_back(pi);
        for (int waited = 0; waited < 15000; waited += 50) {
            if (ReadTextFile(TempPath("send2ov.txt")).find("Application Start: SetTimer") !=
                std::string::npos)
                break;
            Sleep(50);
        }
        Sleep(1100);
        return (int)started_.size() - 1;
    }

    bool StopMonitor(int index)
    {
        PROCESS_INFORMATION pi = {};
        if (!Run("\"" + TempPath("Kestrix.exe") + "\" -Q", &pi, nullptr))
            return false;
        WaitForSingleObject(pi.hProcess, 10000);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        return WaitForSingleObject(started_[index].hProcess, 10000) == WAIT_OBJECT_0;
    }

    int Drive(const std::string& steps, std::string* output = nullptr)
    {
        SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
        HANDLE readEnd = nullptr, writeEnd = nullptr;
        if (!CreatePipe(&readEnd, &writeEnd, &sa, 0))
            return -1;
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        PROCESS_INFORMATION pi = {};
        bool ok = Run("\"" + driver_ + "\" " + steps, &pi, writeEnd);
        CloseHandle(writeEnd);
        std::string text;
        char buffer[512];
        DWORD got = 0;
        while (ok && ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) && got)
            text.append(buffer, got);
        CloseHandle(readEnd);
        if (!ok)
            return -1;
        WaitForSingleObject(pi.hProcess, 30000);
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        if (output)
            *output = text;
        return (int)code;
    }

    std::string History() { return ReadTextFile(TempPath("history.txt")); }

    std::string driver_, program_;
    std::vector<PROCESS_INFORMATION> started_;
};

TEST_F(GuardE2eTest, NewRunValueIsAlertedAtOnceAndNoRemovesIt)
{
    int monitor = StartMonitor();
    ASSERT_GE(monitor, 0);
    WriteValueText(HKEY_CURRENT_USER, kRunKey, "KxGuardFixture", program_);
    std::string path;
    ASSERT_EQ(0, Drive(std::string("wait #32770 ") + kAlertCaption + " 2000 sleep 200 text 1026 click 7",
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

TEST_F(GuardE2eTest, YesKeepsTheValueAndANewMonitorDoesNotAskAgain)
{
    int monitor = StartMonitor();
    ASSERT_GE(monitor, 0);
    WriteValueText(HKEY_CURRENT_USER, kRunKey, "KxGuardFixture", program_);
    ASSERT_EQ(0, Drive(std::string("wait #32770 ") + kAlertCaption + " 2000 click 6"));
    EXPECT_EQ(0, Drive(std::string("gone #32770 ") + kAlertCaption + " 5000"));
    Sleep(300);
    EXPECT_EQ(program_, ReadValueText(HKEY_CURRENT_USER, kRunKey, "KxGuardFixture"));
    EXPECT_EQ("11", ReadValueText(HKEY_CURRENT_USER, KX_KEY "\\Run", program_));
    ASSERT_TRUE(StopMonitor(monitor));

    // A second monitor checks the Run key on its next change and stays silent.
    monitor = StartMonitor();
    WriteValueText(HKEY_CURRENT_USER, kRunKey, "KxGuardFixture", program_);
    EXPECT_NE(0, Drive(std::string("wait #32770 ") + kAlertCaption + " 3000"));
    EXPECT_TRUE(StopMonitor(monitor));
}

TEST_F(GuardE2eTest, DelayedProgramThatComesBackShowsTheMovedBackAlert)
{
    // Marked after the monitor's first-run set-up, which makes its own known list.
    int monitor = StartMonitor();
    ASSERT_GE(monitor, 0);
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_KEY, program_, "11");
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_KEY "\\Time", program_, "600");
    WriteValueText(HKEY_CURRENT_USER, KX_KEY "\\Run", program_, "1103");
    WriteValueText(HKEY_CURRENT_USER, kRunKey, "KxGuardFixture", program_);
    std::string path;
    ASSERT_EQ(0, Drive(std::string("wait #32770 ") + kDelayedCaption + " 2000 sleep 200 text 1026 click 6",
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
