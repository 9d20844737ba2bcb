#include "startsteps.h"
#include "alert.h"
#include "delaystart.h"
#include "filetypes.h"
#include "sysfiles.h"
#include "monitorstate.h"

void CopyAutoUpdateSetting() {}    // automatic-update copy: not yet plugged in
void CreateSysFileRecords() { InitSysFileRecords(); }
void CreateFileTypeSnapshot() { CreateClassInfo(); }
int CountDelayedPrograms() { return DelayedStartBegin(nullptr, MonitorTickCount()); }
void FreeCookieFilterList() {}     // cookie-filter words: not yet plugged in
void ResetAlertMemory() { ResetRepeatedAlert(); }

static int (*g_launcher)(int) = nullptr;

void SetDelayedLauncher(int (*launcher)(int)) { g_launcher = launcher; }

int LaunchDelayedPrograms(int delaySeconds)
{
    if (g_launcher)
        return g_launcher(delaySeconds);
    // The schedule keeps its own step time; the tick only says when a pass is due.
    int before = DelayedStartHandled();
    if (!DelayedStartStep(MonitorTickCount()))
        return delayTotal;   // schedule over: nothing left to start
    return DelayedStartHandled() - before;
}
