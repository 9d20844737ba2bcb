// Shared fixture of the monitor suites: a monitor window driven in-process through its
// window procedure, a fake millisecond clock, recording checks and a recording tray.
#pragma once
#include "checks.h"
#include "explorerstart.h"
#include "kxmain.h"
#include "monitorseams.h"
#include "kxtest.h"
#include "monitorstate.h"
#include "options.h"
#include "patrol.h"
#include "platform.h"
#include "program.h"
#include "resource.h"
#include "resstring.h"
#include "trace.h"
#include "tray.h"
#include <string>
#include <utility>
#include <vector>

struct TrayCall {
    DWORD message;
    UINT id, callback, flags;
    DWORD size;
    HICON icon;
    std::string tip;
};

inline std::vector<int> g_checksRun;
inline std::vector<TrayCall> g_trayCalls;
inline std::vector<std::string> g_explorerSwitches;
inline DWORD g_fakeNow;
inline int g_fakeTaskCount;
inline int g_schedulerRuns;
inline DWORD g_checkCost;   // milliseconds each recorded check takes on the fake clock

template <PatrolCheck C>
void RecordCheck()
{
    g_checksRun.push_back(C);
    g_fakeNow += g_checkCost;
}

inline BOOL WINAPI RecordTray(DWORD message, PNOTIFYICONDATAA data)
{
    g_trayCalls.push_back({message, data->uID, data->uCallbackMessage, data->uFlags,
                           data->cbSize, data->hIcon, data->szTip});
    return TRUE;
}

inline int RecordExplorer(const char* pageSwitch)
{
    g_explorerSwitches.push_back(pageSwitch);
    return 1;
}

inline DWORD FakeClock() { return g_fakeNow; }
inline int FakeTaskCount() { return g_fakeTaskCount; }
inline int FakeScheduler() { return g_schedulerRuns; }

class MonitorTest : public KxTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // One timer tick, 2 seconds after the previous one.
    void Tick();
    void Ticks(int n);
    // Runs ticks up to and including the next patrol pass; the number of ticks.
    int TicksToNextPass();
    void Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    void Command(int id, LPARAM lParam = 0) { Send(WM_COMMAND, id, lParam); }
    int CountRuns(PatrolCheck check) const;
    // Number of tray calls with the message (NIM_ADD...).
    int CountTray(DWORD message) const;
    HICON Icon(int id) const { return LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id)); }

    HWND window_ = nullptr;
};

template <size_t... I>
inline void RecordAllChecks(std::index_sequence<I...>)
{
    (SetPatrolCheck((PatrolCheck)I, RecordCheck<(PatrolCheck)I>), ...);
}

inline LRESULT CALLBACK QuietProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    return DefWindowProcA(w, m, wp, lp);
}

inline void MonitorTest::SetUp()
{
    KxTest::SetUp();
    ResetMonitorState();
    g_programKind = PROGRAM_MONITOR;
    InitUiLanguage();
    LoadResString(IDS_CAPTION, g_programCaption, sizeof(g_programCaption));
    g_checksRun.clear();
    g_trayCalls.clear();
    g_explorerSwitches.clear();
    g_fakeNow = 100000;
    g_fakeTaskCount = 5;
    g_schedulerRuns = 1;
    g_checkCost = 0;
    RecordAllChecks(std::make_index_sequence<CHECK_COUNT>());
    SetTaskSchedulerProbe(FakeScheduler);
    SetMonitorClock(FakeClock);
    SetRunningTaskCounter(FakeTaskCount);
    SetTrayNotifier(RecordTray);
    SetExplorerStarter(RecordExplorer);
    g_traceCounter = 9999;
    g_countdowns = PatrolCountdowns{};
    ReadAllOptions();
    window_ = CreateMonitorWindow(GetModuleHandleA(nullptr), "KxMonitorTestClass", "Kestrix");
    ASSERT_NE(window_, nullptr);
    trayBusy = 0;
}

inline void MonitorTest::TearDown()
{
    if (window_) {
        KillTimer(window_, PATROL_TIMER_ID);
        // Leave without the exit sequence: it would end the test's message loop.
        SetWindowLongPtrA(window_, GWLP_WNDPROC, (LONG_PTR)QuietProc);
        DestroyWindow(window_);
    }
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    for (int i = 0; i < CHECK_COUNT; i++)
        SetPatrolCheck((PatrolCheck)i, nullptr);
    SetTaskSchedulerProbe(nullptr);
    SetMonitorClock(nullptr);
    SetRunningTaskCounter(nullptr);
    SetTrayNotifier(nullptr);
    SetExplorerStarter(nullptr);
    SetDelayedLauncher(nullptr);
    SetPlatformOverride(nullptr);
    g_traceCounter = 9999;
    ResetMonitorState();
    KxTest::TearDown();
}

inline void MonitorTest::Tick()
{
    g_fakeNow += 2000;
    Send(WM_TIMER, PATROL_TIMER_ID);
}

inline void MonitorTest::Ticks(int n)
{
    for (int i = 0; i < n; i++)
        Tick();
}

inline int MonitorTest::TicksToNextPass()
{
    for (int n = 1; n <= 40; n++) {
        int before = patrolTicks;
        Tick();
        if (before > 15)
            return n;
    }
    return -1;
}

inline void MonitorTest::Send(UINT message, WPARAM wParam, LPARAM lParam)
{
    MonitorWndProc(window_, message, wParam, lParam);
}

inline int MonitorTest::CountRuns(PatrolCheck check) const
{
    int n = 0;
    for (int c : g_checksRun)
        n += c == check;
    return n;
}

inline int MonitorTest::CountTray(DWORD message) const
{
    int n = 0;
    for (const TrayCall& call : g_trayCalls)
        n += call.message == message;
    return n;
}
