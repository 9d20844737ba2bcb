// End to end: the real Kestrix.exe, started from a copy in the test's folder, driven by
// kxdriver.exe. A copy of the driver named KestrixEx.exe stands in for the explorer and
// logs the switches it was started with to explorer-calls.txt.
#include "kxtest.h"
#include "keys.h"
#include <string>
#include <vector>

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const int kWaitMs = 10000;

class MonitorE2eTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        SaveValue(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix");
        std::string tests = TestProgramFolder();
        std::string build = tests.substr(0, tests.find_last_of('\\'));
        ASSERT_TRUE(CopyFileA((build + "\\Kestrix.exe").c_str(), Monitor().c_str(), FALSE))
            << build;
        driver_ = tests + "\\kxdriver.exe";
        ASSERT_TRUE(CopyFileA(driver_.c_str(), TempPath("KestrixEx.exe").c_str(), FALSE));
        WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Debug", "1");
        ASSERT_EQ(FindWindowA("Kestrix", nullptr), nullptr) << "a monitor is already running";
    }

    void TearDown() override
    {
        // No monitor may outlive its test.
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

    std::string Monitor() const { return TempPath("Kestrix.exe"); }

    // Starts the copied monitor with arguments; the index of its process.
    int Start(const std::string& args)
    {
        std::string command = "\"" + Monitor() + "\"" + (args.empty() ? "" : " " + args);
        std::vector<char> line(command.begin(), command.end());
        line.push_back(0);
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            TempDir().c_str(), &si, &pi))
            return -1;
        started_.push_back(pi);
        return (int)started_.size() - 1;
    }

    // Waits for the process to end; its exit code, or -1 on timeout.
    int WaitExit(int index, int ms = kWaitMs)
    {
        if (index < 0 || WaitForSingleObject(started_[index].hProcess, ms) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 0;
        GetExitCodeProcess(started_[index].hProcess, &code);
        return (int)code;
    }
    bool Running(int index) { return WaitForSingleObject(started_[index].hProcess, 0) == WAIT_TIMEOUT; }

    // Runs the driver with the steps; its exit code, stdout in output.
    int Drive(const std::string& steps, std::string* output = nullptr)
    {
        SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
        HANDLE readEnd = nullptr, writeEnd = nullptr;
        if (!CreatePipe(&readEnd, &writeEnd, &sa, 0))
            return -1;
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        std::string command = "\"" + driver_ + "\" " + steps;
        std::vector<char> line(command.begin(), command.end());
        line.push_back(0);
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = si.hStdError = writeEnd;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        PROCESS_INFORMATION pi = {};
        BOOL ok = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 nullptr, &si, &pi);
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

    std::string Trace() { return ReadTextFile(TempPath("send2ov.txt")); }
    std::string ExplorerCalls() { return ReadTextFile(TempPath("explorer-calls.txt")); }

    // Polls a text source until it contains part.
    template <class F>
    bool WaitFor(F source, const std::string& part, int ms = kWaitMs)
    {
        for (int waited = 0;; waited += 50) {
            if (source().find(part) != std::string::npos)
                return true;
            if (waited >= ms)
                return false;
            Sleep(50);
        }
    }

    // Starts the monitor and waits until its timer runs.
    int StartMonitor()
    {
        int index = Start("");
        EXPECT_TRUE(WaitFor([&] { return Trace(); }, "Application Start: SetTimer"))
            << Trace();
        return index;
    }

    static int CountMonitorWindows()
    {
        int n = 0;
        for (HWND w = FindWindowExA(nullptr, nullptr, "Kestrix", nullptr); w;
             w = FindWindowExA(nullptr, w, "Kestrix", nullptr))
            n++;
        return n;
    }

    std::string driver_;
    std::vector<PROCESS_INFORMATION> started_;
};

TEST_F(MonitorE2eTest, SecondStartOpensTheStartupPageAndNoOpenDoesNothing)
{
    int monitor = StartMonitor();
    EXPECT_NE(Trace().find("Tray Message: ADD"), std::string::npos);

    EXPECT_EQ(WaitExit(Start("")), 0);
    EXPECT_TRUE(WaitFor([&] { return ExplorerCalls(); }, "-START")) << ExplorerCalls();
    EXPECT_EQ(WaitExit(Start("-noopen")), 0);
    Sleep(300);
    EXPECT_EQ(ExplorerCalls(), "-START\n");
    EXPECT_EQ(CountMonitorWindows(), 1);
    EXPECT_TRUE(Running(monitor));

    // Page commands reach the explorer with their switch.
    EXPECT_EQ(Drive("wait Kestrix - 5000 command 6029 0 command 6033 0"), 0);
    // Two launches run side by side: their lines may come in either order.
    EXPECT_TRUE(WaitFor([&] { return ExplorerCalls(); }, "-OPTIONS"));
    EXPECT_TRUE(WaitFor([&] { return ExplorerCalls(); }, "-TASK"));
    EXPECT_EQ(ExplorerCalls().size(), std::string("-START\n-TASK\n-OPTIONS\n").size());
}

TEST_F(MonitorE2eTest, QuitEndsTheRunningMonitor)
{
    // With the add-on library present it hears of the start and of the exit, once each.
    ASSERT_TRUE(CopyFileA((TestProgramFolder() + "\\VOLTEXA.DLL").c_str(),
                          TempPath("VOLTEXA.DLL").c_str(), FALSE));
    int monitor = StartMonitor();
    EXPECT_EQ(ReadTextFile(TempPath("voltexa-calls.txt")), "2 window\n");
    EXPECT_EQ(WaitExit(Start("-Q")), 0);
    EXPECT_EQ(WaitExit(monitor), 0);
    EXPECT_NE(Trace().find("Application Exit: Kestrix"), std::string::npos);
    EXPECT_EQ(ReadTextFile(TempPath("voltexa-calls.txt")), "2 window\n3\n");
    EXPECT_EQ(FindWindowA("Kestrix", nullptr), nullptr);
    EXPECT_EQ(ExplorerCalls(), "");
}

TEST_F(MonitorE2eTest, QuitAsksFirstWhenConfirmExitIsSetAndNoKeepsItRunning)
{
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "ConfirmExit", "1");
    // Without a notification area Wine's tray calls are slow; this test needs no icon.
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "HideRufo", "1");
    int monitor = StartMonitor();
    EXPECT_EQ(WaitExit(Start("-q")), 0);

    std::string shown;
    ASSERT_EQ(Drive("wait #32770 Kestrix 10000 dump click 7", &shown), 0) << shown;
    EXPECT_NE(shown.find("Do you want Kestrix.exe to Exit?"), std::string::npos) << shown;
    // "No": the explorer opens its options page and the monitor stays.
    EXPECT_TRUE(WaitFor([&] { return ExplorerCalls(); }, "-RESTART")) << ExplorerCalls();
    EXPECT_EQ(WaitExit(monitor, 300), -1);
    EXPECT_EQ(Drive("gone #32770 Kestrix 5000"), 0);
    EXPECT_NE(FindWindowA("Kestrix", nullptr), nullptr);

    // Asked again, "Yes" ends it.
    EXPECT_EQ(WaitExit(Start("-Q")), 0);
    ASSERT_EQ(Drive("wait #32770 Kestrix 10000 click 6"), 0);
    EXPECT_EQ(WaitExit(monitor), 0);
}

TEST_F(MonitorE2eTest, QuitWithNoMonitorRunningStartsNothing)
{
    int quit = Start("-Q");
    int seen = 0;
    while (Running(quit) && seen == 0) {
        seen = CountMonitorWindows();
        Sleep(20);
    }
    EXPECT_EQ(WaitExit(quit), 0);
    EXPECT_EQ(seen, 0);
    EXPECT_EQ(CountMonitorWindows(), 0);
    // It ended before its start-up: no settings, no trace, no explorer.
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, KX_KEY "\\Run"));
    EXPECT_EQ(Trace(), "");
    EXPECT_EQ(ExplorerCalls(), "");
}

TEST_F(MonitorE2eTest, MissingExplorerGivesMessage795AndTheMonitorKeepsRunning)
{
    ASSERT_TRUE(DeleteFileA(TempPath("KestrixEx.exe").c_str()));
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "HideRufo", "1");
    int monitor = StartMonitor();
    std::string shown;
    ASSERT_EQ(Drive("wait Kestrix - 5000 command 6026 0 wait #32770 Kestrix 10000 dump click 1",
                    &shown),
              0)
        << shown;
    EXPECT_NE(shown.find("KestrixEx.exe must exist in the same folder as Kestrix.exe"),
              std::string::npos)
        << shown;
    EXPECT_EQ(Drive("gone #32770 Kestrix 5000"), 0);
    EXPECT_TRUE(Running(monitor));
    // Still answering: the exit command ends it.
    EXPECT_EQ(Drive("wait Kestrix - 5000 command 6030 0"), 0);
    EXPECT_EQ(WaitExit(monitor), 0);
}

TEST_F(MonitorE2eTest, HiddenIconGivesNoTrayRecordAndCommand6053CannotAddOne)
{
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "HideRufo", "1");
    int monitor = StartMonitor();
    // Commands are handled in order: the exit comes after the request to show the icon.
    EXPECT_EQ(Drive("wait Kestrix - 5000 command 6053 0 command 6030 0"), 0);
    EXPECT_EQ(WaitExit(monitor), 0);
    std::string trace = Trace();
    EXPECT_NE(trace.find("Application Exit"), std::string::npos);
    EXPECT_EQ(trace.find("Tray Message"), std::string::npos) << trace;
}

}   // namespace
