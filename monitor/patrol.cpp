#include "patrol.h"
#include "monitorseams.h"
#include "baseline.h"
#include "checks.h"
#include "cookies.h"
#include "delaystart.h"
#include "entrylist.h"
#include "keys.h"
#include "monitorstate.h"
#include "options.h"
#include "platform.h"
#include "realtime.h"
#include "registry.h"
#include "runtasks.h"
#include "trace.h"
#include "tray.h"
#include <cstdio>

namespace {

enum Condition { ALWAYS, NOT_VISTA, SCHEDULER_RUNS, ON_9X };

struct Category {
    PatrolCheck check;
    int PatrolCountdowns::*countdown;   // nullptr: no countdown, runs on every pass of its half
    int OptionSet::*option;
    Condition condition;
    const char* label;
    int realtime;   // the RealtimeCategory a change of which this check serves, or 0
};

const Category kFirstHalf[] = {
    {CHECK_STARTUP, &PatrolCountdowns::Start, &OptionSet::Start, ALWAYS, "Startup Programs", REALTIME_STARTUP},
    {CHECK_IEHELPERS, &PatrolCountdowns::IEHelpers, &OptionSet::IEHelpers, ALWAYS, "IE Helpers", REALTIME_ADDONS},
    {CHECK_HIDDEN, &PatrolCountdowns::Hidden, &OptionSet::Hidden, ALWAYS, "Hidden Files", 0},
    {CHECK_SYSFILES, &PatrolCountdowns::HostFile, &OptionSet::HostFile, NOT_VISTA,
     "Verify System Files", REALTIME_SYSFILES},
    {CHECK_STARTPAGE, &PatrolCountdowns::StartPage, &OptionSet::StartPage, ALWAYS,
     "IE Start/Search Page", REALTIME_PAGES},
    {CHECK_FILETYPES, &PatrolCountdowns::FileType, &OptionSet::FileType, ALWAYS, "File Types", REALTIME_FILETYPES},
};

const Category kSecondHalf[] = {
    {CHECK_TASKS, &PatrolCountdowns::Tasks, &OptionSet::Tasks, SCHEDULER_RUNS, "Scheduled Tasks", REALTIME_TASKS},
    {CHECK_WININIT, &PatrolCountdowns::WinInit, &OptionSet::WinInit, ON_9X, "Win INIT file", 0},
    {CHECK_SERVICES, &PatrolCountdowns::Services, &OptionSet::Services, ALWAYS, "Services", REALTIME_SERVICES},
    {CHECK_NUTS, &PatrolCountdowns::Nuts, &OptionSet::Nuts, ALWAYS, "Filter Cookies", 0},
    {CHECK_MOZILLA_NUTS, nullptr, nullptr, ALWAYS, "Filter Mozilla Cookies", 0},
    {CHECK_COOKIES, &PatrolCountdowns::Cookies, &OptionSet::Cookies, ALWAYS,
     "Check for New Cookies", 0},
};

void RunTimed(const Category& category)
{
    TraceBegin("VERIFY", category.label);
    RunPatrolCheck(category.check);
    TraceElapsed();
}

void VisitCategory(const Category& category)
{
    // Platform conditions are tested before the countdown is touched. A check that never runs
    // here leaves nothing waiting for it.
    if ((category.condition == NOT_VISTA && WindowsMajorVersion() == 6) ||
        (category.condition == ON_9X && IsWindowsNT())) {
        checksWaiting &= ~category.realtime;
        return;
    }
    if (!category.countdown) {
        // The Mozilla cookie filter decides by itself whether it is enabled.
        RunTimed(category);
        return;
    }
    int& countdown = g_countdowns.*category.countdown;
    if (countdown <= 0)
        return;
    countdown--;
    if (countdown >= 1)
        return;
    countdown = g_options.*category.option;
    // Served from here on: a change that arrives while the check runs asks again.
    checksWaiting &= ~category.realtime;
    if (category.condition == SCHEDULER_RUNS && !TaskSchedulerRunning())
        return;
    RunTimed(category);
}

template <size_t N>
void VisitHalf(const Category (&categories)[N])
{
    for (const Category& category : categories)
        VisitCategory(category);
}

int (*g_taskCounter)() = nullptr;

// Changes kept back by a guard are served by the first pass that really runs: it takes the
// half their checks belong to and makes their countdowns fire.
void ApplyWaitingChecks()
{
    const int firstHalf = REALTIME_STARTUP | REALTIME_ADDONS | REALTIME_SYSFILES |
                          REALTIME_FILETYPES | REALTIME_PAGES;
    PatrolCountdowns& c = g_countdowns;
    if (checksWaiting & firstHalf) {
        patrolHalf = 0;
        if (checksWaiting & REALTIME_STARTUP)
            c.Start = 1;
        if (checksWaiting & REALTIME_ADDONS)
            c.IEHelpers = 1;
        if (checksWaiting & REALTIME_SYSFILES)
            c.HostFile = 1;
        if (checksWaiting & REALTIME_FILETYPES)
            c.FileType = 1;
        if (checksWaiting & REALTIME_PAGES)
            c.StartPage = 1;
    } else if (checksWaiting) {
        patrolHalf = 1;
        if (checksWaiting & REALTIME_SERVICES)
            c.Services = 1;
        if (checksWaiting & REALTIME_TASKS)
            c.Tasks = 1;
    }
}

}   // namespace

void SetRunningTaskCounter(int (*counter)()) { g_taskCounter = counter; }

void PatrolPass()
{
    if (alertOpen || passRunning)
        return;
    if (passCount++ > 60) {
        TrayOperation(TRAY_DELETE, 0, 820);
        TrayOperation(TRAY_ADD, 0, 820);
        passCount = 0;
    }
    ClearEntries();
    g_traceAlertMark = 0;
    passRunning = 1;

    DWORD now = MonitorTickCount();
    if (now - lastPassTick < 1000) {
        passRunning = 0;
        return;
    }
    lastPassTick = now;
    ApplyWaitingChecks();
    UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS);

    RunPatrolCheck(CHECK_AUTOUPDATE);
    if (patrolHalf == 0) {
        SetTrayState(157, 821);
        VisitHalf(kFirstHalf);
    } else {
        SetTrayState(158, 824);
        VisitHalf(kSecondHalf);
    }

    ClearEntries();
    FreeCookieFilters();
    if (taskChangeFlag)
        RecordRunningTasks();

    patrolHalf = patrolHalf ? 0 : 1;
    SetTrayIdle();

    DWORD elapsed = MonitorTickCount() - lastPassTick;
    char text[96];
    if (elapsed <= 1000) {
        snprintf(text, sizeof(text), "KESTRIXVANTA10: Total Verify Time %lu, ",
                 (unsigned long)elapsed);
    } else {
        snprintf(text, sizeof(text), "Release KESTRIXVANTA10: Total Verify Time %lu, ",
                 (unsigned long)elapsed);
        lastPassTick = MonitorTickCount();
    }
    Trace(text, "verify");

    passRunning = 0;
    SetErrorMode(previousMode);
}

void CheckTaskChange()
{
    TraceBegin("* * * VERIFY TASKS", "Check for Task Change");
    int count = g_taskCounter ? g_taskCounter() : ListRunningTasks();
    if (count != lastTaskCount) {
        if (GetOption("Update", 0)) {
            ReadAllOptions();
            // Directly: the option writer would set Update again.
            SetRegValue(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Update", "0");
        }
        const OptionSet& o = g_options;
        PatrolCountdowns& c = g_countdowns;
        if (o.RealtimeStartup)
            c.Start = 1;
        if (o.RealtimeIEHelper)
            c.IEHelpers = 1;
        if (o.RealtimeSysFiles)
            c.HostFile = 1;
        if (o.RealtimeStartPage)
            c.StartPage = 1;
        if (o.RealtimeFileType)
            c.FileType = 1;
        if (o.RealtimeHidden)
            c.Hidden = 1;
        patrolTicks = 16;
        patrolHalf = 0;
        Trace("* * * * VERIFY TASKS", "NEW TASK DETECTED");
    }
    TraceElapsed();
    lastTaskCount = count;
    ClearEntries();
}

static int (*g_launcher)(int) = nullptr;

void SetDelayedLauncher(int (*launcher)(int)) { g_launcher = launcher; }

// One launch step; the programs it handled.
static int LaunchDelayedPrograms(int delaySeconds)
{
    if (g_launcher)
        return g_launcher(delaySeconds);
    // The schedule keeps its own step time; the tick only says when a pass is due.
    int before = DelayedStartHandled();
    if (!DelayedStartStep(MonitorTickCount()))
        return delayTotal;   // schedule over: nothing left to start
    return DelayedStartHandled() - before;
}


void MonitorTick()
{
    if (delayLaunched < delayTotal) {
        if (delayTicks++ > 4) {
            delayStep++;
            delayLaunched += LaunchDelayedPrograms(delayStep * 10);
            delayTicks = 0;
        }
    }

    if (patrolTicks++ > 15) {
        PatrolPass();
        patrolTicks = 0;
        suppressAlerts = 0;
        taskChangeFlag = 0;
    }

    if (!taskChangeFlag) {
        taskChangeRepeats = 0;
    } else if (!alertOpen && !passRunning) {
        if (taskChangeRepeats >= 3) {
            TraceBegin("RID", "Possible System Conflict");
            Sleep(50);
            taskChangeRepeats = 0;
            TraceElapsed();
        } else {
            taskChangeRepeats++;
            Trace("CheckTaskChanges()", "kxmain");
            CheckTaskChange();
        }
        taskChangeFlag = 0;
    }
}
