// End to end: the real Kestrix.exe, started from a copy in the test's folder, driven by
// kxdriver.exe. A copy of the driver named KestrixEx.exe stands in for the explorer and
// logs the switches it was started with to explorer-calls.txt.
#include "e2e.h"
#include "keys.h"
#include <string>
#include <vector>

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const int kWaitMs = 10000;

class MonitorE2eTest : public MonitorE2eBase {
protected:
    void SetUp() override
    {
        MonitorE2eBase::SetUp();
        SaveValue(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix");
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

TEST_F(MonitorE2eTest, HiddenIconGivesNoTrayRecordUntilTheManagerShowsItAgain)
{
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "HideRufo", "1");
    for (bool shown : {false, true}) {
        SCOPED_TRACE(shown ? "shown again" : "hidden");
        int monitor = StartMonitor();
        // Commands are handled in order: the exit comes after the request to show the icon.
        EXPECT_EQ(Drive(shown ? "wait Kestrix - 5000 command 6053 0 command 6030 0"
                              : "wait Kestrix - 5000 command 6030 0"),
                  0);
        EXPECT_EQ(WaitExit(monitor), 0);
        std::string trace = Trace();
        EXPECT_NE(trace.find("Application Exit"), std::string::npos);
        EXPECT_EQ(shown, trace.find("Tray Message") != std::string::npos) << trace;
    }
}

}   // namespace
