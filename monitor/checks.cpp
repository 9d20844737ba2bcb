#include "checks.h"
#include "monitorseams.h"
#include "verify.h"

void CheckStartup()
{
    VerifyStartup();
    CheckValuePlaces();
}

static const PatrolCheckFn kBuiltIn[CHECK_COUNT] = {
    CheckStartup,      CheckIEHelpers,  CheckHiddenFiles,  CheckSystemFiles,
    CheckStartPages,   CheckFileTypes,  CheckScheduledTasks, CheckWinInit,
    CheckServices,     CheckCookieFilter, CheckMozillaCookies, CheckNewCookies,
    CheckAutoUpdateAndPrefix,
};

static PatrolCheckFn g_replaced[CHECK_COUNT];
static int (*g_schedulerProbe)() = nullptr;

void RunPatrolCheck(PatrolCheck which)
{
    if (which < 0 || which >= CHECK_COUNT)
        return;
    PatrolCheckFn check = g_replaced[which] ? g_replaced[which] : kBuiltIn[which];
    check();
}

void SetPatrolCheck(PatrolCheck which, PatrolCheckFn check)
{
    if (which >= 0 && which < CHECK_COUNT)
        g_replaced[which] = check;
}

int TaskSchedulerRunning() { return g_schedulerProbe ? g_schedulerProbe() : IsTaskSchedulerRunning(); }

void SetTaskSchedulerProbe(int (*probe)()) { g_schedulerProbe = probe; }
