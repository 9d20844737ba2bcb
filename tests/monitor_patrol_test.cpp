// The tick: pass scheduling, category countdowns, task-change check, delayed-start schedule.
#include "monitor_fixture.h"
#include "keys.h"
#include "monitorseams.h"
#include "realtime.h"
#include "registry.h"
#include <algorithm>

class PatrolTest : public MonitorTest {};

static const PlatformVersion kXp = {VER_PLATFORM_WIN32_NT, 5, 1};
static const PlatformVersion kWin7 = {VER_PLATFORM_WIN32_NT, 6, 1};
static const PlatformVersion kWin98 = {VER_PLATFORM_WIN32_WINDOWS, 4, 10};

TEST_F(PatrolTest, FirstPassComesOnTheSeventeenthTickAndRunsOnlyTheUpdateCheck)
{
    SetPlatformOverride(&kXp);
    Ticks(16);
    EXPECT_TRUE(g_checksRun.empty());
    Tick();
    EXPECT_EQ(g_checksRun, std::vector<int>{CHECK_AUTOUPDATE});
    EXPECT_EQ(g_countdowns.Start, 1);
    EXPECT_EQ(g_countdowns.IEHelpers, 1);
    EXPECT_EQ(g_countdowns.StartPage, 1);
    EXPECT_EQ(g_countdowns.HostFile, 2);
    EXPECT_EQ(g_countdowns.FileType, 9);
    EXPECT_EQ(g_countdowns.Hidden, 0);
    // Second-half countdowns wait for their own half.
    EXPECT_EQ(g_countdowns.Tasks, 11);
    EXPECT_EQ(g_countdowns.Services, 7);
    EXPECT_EQ(patrolHalf, 1);
    EXPECT_EQ(patrolTicks, 0);
    // Busy state for the first half, then idle with tooltip 820.
    ASSERT_EQ(g_trayCalls.size(), 2u);
    EXPECT_EQ(g_trayCalls[0].message, (DWORD)NIM_MODIFY);
    EXPECT_EQ(g_trayCalls[0].icon, Icon(157));
    EXPECT_EQ(g_trayCalls[0].tip, "Rufo is verifying your Startup Programs.");
    EXPECT_EQ(g_trayCalls[1].icon, Icon(IdleTrayIcon()));
    EXPECT_EQ(g_trayCalls[1].tip, "Rufo is currently on patrol.");
}

TEST_F(PatrolTest, StartupCheckFirstRunsInTheThirdPassThenHalvesAlternate)
{
    SetPlatformOverride(&kXp);
    std::vector<std::vector<int>> passes;
    for (int pass = 0; pass < 6; pass++) {
        g_checksRun.clear();
        ASSERT_EQ(TicksToNextPass(), 17);
        passes.push_back(g_checksRun);
    }
    auto ran = [&](int pass, PatrolCheck check) {
        return std::count(passes[pass].begin(), passes[pass].end(), check) > 0;
    };
    EXPECT_FALSE(ran(0, CHECK_STARTUP));
    EXPECT_FALSE(ran(1, CHECK_STARTUP));
    EXPECT_TRUE(ran(2, CHECK_STARTUP));
    EXPECT_TRUE(ran(2, CHECK_IEHELPERS));
    EXPECT_TRUE(ran(2, CHECK_STARTPAGE));
    EXPECT_FALSE(ran(2, CHECK_SYSFILES));
    EXPECT_TRUE(ran(4, CHECK_SYSFILES));
    EXPECT_FALSE(ran(4, CHECK_STARTUP));   // every second first-half pass: 2, 6, ...
    // Categories visit in table order within a pass.
    EXPECT_EQ(passes[2], (std::vector<int>{CHECK_AUTOUPDATE, CHECK_STARTUP, CHECK_IEHELPERS,
                                           CHECK_STARTPAGE}));
    // The second half only moves its countdowns; the Mozilla filter runs on each of them.
    EXPECT_EQ(passes[1], (std::vector<int>{CHECK_AUTOUPDATE, CHECK_MOZILLA_NUTS}));
    EXPECT_EQ(g_countdowns.Tasks, 11 - 3);
    EXPECT_EQ(g_countdowns.Services, 7 - 3);
    for (int pass = 0; pass < 6; pass++)
        EXPECT_EQ(ran(pass, CHECK_SERVICES) + ran(pass, CHECK_TASKS), 0) << pass;
}

TEST_F(PatrolTest, PlatformConditionsGateTheirCategoriesBeforeTheCountdown)
{
    SetPlatformOverride(&kWin7);
    ReadAllOptions();
    TicksToNextPass();
    EXPECT_EQ(g_countdowns.HostFile, 3);   // skipped untouched on major version 6
    TicksToNextPass();
    EXPECT_EQ(g_countdowns.WinInit, 5);    // wininit is watched on 9x only

    SetPlatformOverride(&kWin98);
    TicksToNextPass();
    EXPECT_EQ(g_countdowns.HostFile, 2);
    TicksToNextPass();
    EXPECT_EQ(g_countdowns.WinInit, 4);
}

TEST_F(PatrolTest, ScheduledTaskCountdownResetsButCheckIsSkippedWithoutScheduler)
{
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Tasks", "1");
    ReadAllOptions();
    patrolHalf = 1;
    g_schedulerRuns = 0;
    TicksToNextPass();
    EXPECT_EQ(CountRuns(CHECK_TASKS), 0);
    EXPECT_EQ(g_countdowns.Tasks, 1);
    g_schedulerRuns = 1;
    TicksToNextPass();
    TicksToNextPass();
    EXPECT_EQ(CountRuns(CHECK_TASKS), 1);
}

TEST_F(PatrolTest, CategoryOffStaysOffUnlessItsRealtimeOptionForcesOneRun)
{
    // Hidden is off with its real-time option off; FileType is off but real-time on.
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "FileType", "0");
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "RealtimeFileType", "1");
    ReadAllOptions();
    for (int round = 0; round < 3; round++) {
        g_fakeTaskCount++;
        Send(WM_TASK_CHANGE);
        Tick();   // task-change check: next tick is a first-half pass
        EXPECT_EQ(patrolTicks, 16);
        Tick();
        TicksToNextPass();
    }
    EXPECT_EQ(CountRuns(CHECK_HIDDEN), 0);
    EXPECT_EQ(CountRuns(CHECK_FILETYPES), 3);
    EXPECT_EQ(g_countdowns.FileType, 0);   // back to the option value after each forced run
}

TEST_F(PatrolTest, TaskChangeInSecondHalfMakesNextPassFirstHalfAndSecondHalfFollows)
{
    TicksToNextPass();
    ASSERT_EQ(patrolHalf, 1);
    g_trayCalls.clear();
    Send(WM_TASK_CHANGE);
    Tick();
    EXPECT_EQ(patrolHalf, 0);
    EXPECT_EQ(lastTaskCount, 5);
    EXPECT_EQ(TicksToNextPass(), 1);
    EXPECT_EQ(TicksToNextPass(), 17);
    ASSERT_EQ(g_trayCalls.size(), 4u);
    EXPECT_EQ(g_trayCalls[0].icon, Icon(157));
    EXPECT_EQ(g_trayCalls[2].icon, Icon(158));
    EXPECT_EQ(g_trayCalls[2].tip, "Rufo is checking for any unauthorized changes.");
}

TEST_F(PatrolTest, UnchangedTaskCountLeavesTheScheduleAlone)
{
    lastTaskCount = g_fakeTaskCount;
    Ticks(3);
    Send(WM_TASK_CHANGE);
    Tick();
    EXPECT_EQ(patrolTicks, 4);
    EXPECT_EQ(taskChangeFlag, 0);
}

TEST_F(PatrolTest, TaskChangeFlagSurvivesAnOpenAlertUntilItCloses)
{
    alertOpen = 1;
    Send(WM_TASK_CHANGE);
    Ticks(2);
    EXPECT_EQ(taskChangeFlag, 1);
    EXPECT_EQ(lastTaskCount, 0);
    alertOpen = 0;
    Tick();
    EXPECT_EQ(taskChangeFlag, 0);
    EXPECT_EQ(lastTaskCount, 5);
}

TEST_F(PatrolTest, PassAttemptDuringAnAlertRunsNothingButClearsTheFlag)
{
    Ticks(16);
    alertOpen = 1;
    Send(WM_TASK_CHANGE);
    Tick();   // the pass attempt returns at once
    EXPECT_TRUE(g_checksRun.empty());
    EXPECT_EQ(taskChangeFlag, 0);
    EXPECT_EQ(patrolTicks, 0);
    EXPECT_EQ(patrolHalf, 0);
    alertOpen = 0;
    Tick();
    EXPECT_EQ(lastTaskCount, 0);   // no check ran
}

TEST_F(PatrolTest, FourthConsecutiveTaskChangeGivesPossibleSystemConflict)
{
    g_traceCounter = 0;
    lastTaskCount = g_fakeTaskCount;
    auto conflicts = [&]() {
        std::string trace = ReadTextFile(TempPath("send2ov.txt"));
        int n = 0;
        for (size_t at = trace.find("RID: Possible System Conflict"); at != std::string::npos;
             at = trace.find("RID: Possible System Conflict", at + 1))
            n++;
        return n;
    };
    for (int i = 1; i <= 3; i++) {
        Send(WM_TASK_CHANGE);
        Tick();
        EXPECT_EQ(taskChangeRepeats, i);
    }
    EXPECT_EQ(conflicts(), 0);
    Send(WM_TASK_CHANGE);
    Tick();
    EXPECT_EQ(conflicts(), 1);
    EXPECT_EQ(taskChangeRepeats, 0);
    Send(WM_TASK_CHANGE);
    Tick();
    EXPECT_EQ(taskChangeRepeats, 1);
    // A quiet tick starts the count again.
    Tick();
    EXPECT_EQ(taskChangeRepeats, 0);
}

TEST_F(PatrolTest, TaskChangeRereadsOptionsWhenUpdateIsSet)
{
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Start", "9");
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "RealtimeStartup", "0");
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Update", "1");
    Send(WM_TASK_CHANGE);
    Tick();
    EXPECT_EQ(g_options.Start, 9);
    EXPECT_EQ(g_countdowns.Start, 9);   // its real-time option is off now
    EXPECT_EQ(g_countdowns.IEHelpers, 1);
    EXPECT_EQ(ReadValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Update"), "0");
}

TEST_F(PatrolTest, PassWithinOneSecondOfTheLastIsSkipped)
{
    lastPassTick = g_fakeNow - 500;
    PatrolPass();
    EXPECT_TRUE(g_checksRun.empty());
    EXPECT_EQ(passRunning, 0);
    EXPECT_EQ(patrolHalf, 0);
    g_fakeNow += 600;
    PatrolPass();
    EXPECT_EQ(g_checksRun, std::vector<int>{CHECK_AUTOUPDATE});
}

TEST_F(PatrolTest, LongPassMovesTheGuardToItsEnd)
{
    g_traceCounter = 0;
    g_checkCost = 1500;
    PatrolPass();
    EXPECT_EQ(lastPassTick, g_fakeNow);
    std::string trace = ReadTextFile(TempPath("send2ov.txt"));
    EXPECT_NE(trace.find("Release KESTRIXVANTA10: Total Verify Time 1500, : verify"),
              std::string::npos);
    g_checkCost = 0;
    DWORD start = g_fakeNow;
    PatrolPass();   // within a second of the long pass's end
    EXPECT_EQ(lastPassTick, start);
    g_fakeNow += 1000;
    PatrolPass();
    trace = ReadTextFile(TempPath("send2ov.txt"));
    EXPECT_NE(trace.find(" KESTRIXVANTA10: Total Verify Time 0, : verify"), std::string::npos);
}

TEST_F(PatrolTest, EverySixtySecondPassRecreatesTheTrayIcon)
{
    for (int pass = 1; pass <= 62; pass++) {
        g_fakeNow += 5000;
        PatrolPass();
        if (pass < 62) {
            ASSERT_EQ(CountTray(NIM_ADD), 0) << pass;
        }
    }
    EXPECT_EQ(CountTray(NIM_DELETE), 1);
    EXPECT_EQ(CountTray(NIM_ADD), 1);
    EXPECT_EQ(passCount, 0);
}

TEST_F(PatrolTest, PassClearsSuppressAlertsAfterwards)
{
    // HideAlerts above 1 acts without asking for one pass only.
    suppressAlerts = 2;
    Ticks(17);
    EXPECT_EQ(suppressAlerts, 0);
}

static std::vector<int> g_launches;
static int RecordLaunch(int delay)
{
    g_launches.push_back(delay);
    return 1;
}

TEST_F(PatrolTest, DelayedStartStepsEverySixthTickUntilEveryProgramIsHandled)
{
    g_launches.clear();
    SetDelayedLauncher(RecordLaunch);
    delayTotal = 2;
    Ticks(5);
    EXPECT_TRUE(g_launches.empty());
    Tick();
    EXPECT_EQ(g_launches, std::vector<int>{10});
    Ticks(6);
    EXPECT_EQ(g_launches, (std::vector<int>{10, 20}));
    Ticks(30);
    EXPECT_EQ(g_launches.size(), 2u);
    EXPECT_EQ(delayLaunched, 2);
}

TEST_F(PatrolTest, DelayedStartRunsWhileAnAlertIsOpen)
{
    g_launches.clear();
    SetDelayedLauncher(RecordLaunch);
    delayTotal = 1;
    alertOpen = 1;
    Ticks(6);
    EXPECT_EQ(g_launches, std::vector<int>{10});
}

// --- Real-time requests that meet a running check, an open alert or the one-second rule ---

static PatrolCheck g_notifyDuring;   // the check that is running when the change arrives
static int g_notifyCategory;
static int g_notifyInAlert;

template <PatrolCheck C>
void NotifyingCheck()
{
    RecordCheck<C>();
    if (C != g_notifyDuring || !g_notifyCategory)
        return;
    int category = g_notifyCategory;
    g_notifyCategory = 0;   // one change
    alertOpen = g_notifyInAlert;
    RealtimeForceChecks(category);
    alertOpen = 0;
}

template <size_t... I>
static void NotifyAllChecks(std::index_sequence<I...>)
{
    (SetPatrolCheck((PatrolCheck)I, NotifyingCheck<(PatrolCheck)I>), ...);
}

TEST_F(PatrolTest, RequestMeetingARunningCheckIsServedOnceThePassEnds)
{
    struct Case {
        const char* what;
        int requested;
        PatrolCheck runs;      // the check the request needs
        PatrolCheck during;    // the check running when it arrives
        int inAlert;
        int startHalf;         // half of the pass the change meets
        int startCountdown;    // its Start countdown (2: the first pass after a start)
    } cases[] = {
        {"startup change during the startup check", REALTIME_STARTUP, CHECK_STARTUP,
         CHECK_STARTUP, 0, 0, 1},
        {"startup change during a services alert", REALTIME_STARTUP, CHECK_STARTUP,
         CHECK_SERVICES, 1, 1, 2},
        {"services change during the startup check", REALTIME_SERVICES, CHECK_SERVICES,
         CHECK_STARTUP, 0, 0, 1},
        {"startup change during the first pass's add-on step", REALTIME_STARTUP,
         CHECK_STARTUP, CHECK_IEHELPERS, 0, 0, 2},
        {"startup change during the update step", REALTIME_STARTUP, CHECK_STARTUP,
         CHECK_AUTOUPDATE, 1, 1, 2},
    };
    NotifyAllChecks(std::make_index_sequence<CHECK_COUNT>());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_checksRun.clear();
        ReadAllOptions();
        g_countdowns.Start = c.startCountdown;
        g_countdowns.IEHelpers = 1;
        g_countdowns.Services = 1;
        patrolHalf = c.startHalf;
        patrolTicks = 16;
        lastPassTick = g_fakeNow - 5000;
        g_notifyDuring = c.during;
        g_notifyCategory = c.requested;
        g_notifyInAlert = c.inAlert;
        g_checkCost = 100;
        Tick();   // the pass the change meets
        ASSERT_EQ(g_notifyCategory, 0) << "the change never arrived";
        int before = CountRuns(c.runs);
        // Within the second after the pass nothing may run; at its end the request is served.
        g_fakeNow += 500;
        RealtimeServeWaiting();
        EXPECT_EQ(CountRuns(c.runs), before);
        EXPECT_GT(RealtimeWaitTimeout(), 0u);
        EXPECT_LE(RealtimeWaitTimeout(), 700u);
        g_fakeNow += 600;
        RealtimeServeWaiting();
        EXPECT_EQ(CountRuns(c.runs), before + 1);
        // Served once: neither the loop nor the next tick runs it again.
        g_fakeNow += 1500;
        RealtimeServeWaiting();
        EXPECT_EQ(CountRuns(c.runs), before + 1);
        EXPECT_EQ(RealtimeWaitTimeout(), INFINITE);
        alertOpen = 0;
    }
    g_checkCost = 0;
}

TEST_F(PatrolTest, RequestUnderTheOneSecondRuleSurvivesATickThatCannotPass)
{
    SetPatrolCheck(CHECK_STARTUP, NotifyingCheck<CHECK_STARTUP>);
    g_notifyCategory = 0;
    g_countdowns.Start = 2;
    lastPassTick = g_fakeNow;
    RealtimeForceChecks(REALTIME_STARTUP);
    EXPECT_EQ(CountRuns(CHECK_STARTUP), 0);
    // The tick comes while the rule still holds, and then an alert opens for a while.
    g_fakeNow += 400;
    Send(WM_TIMER, PATROL_TIMER_ID);
    alertOpen = 1;
    g_fakeNow += 5000;
    RealtimeServeWaiting();
    Send(WM_TIMER, PATROL_TIMER_ID);
    EXPECT_EQ(CountRuns(CHECK_STARTUP), 0);
    alertOpen = 0;
    RealtimeServeWaiting();
    EXPECT_EQ(CountRuns(CHECK_STARTUP), 1);
    EXPECT_EQ(g_countdowns.Start, g_options.Start);
}
