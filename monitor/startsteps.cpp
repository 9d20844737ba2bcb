#include "startsteps.h"
#include "alert.h"
#include "browsersettings.h"
#include "cookies.h"
#include "delaystart.h"
#include "filetypes.h"
#include "sysfiles.h"
#include "monitorstate.h"

void CreateSysFileRecords() { InitSysFileRecords(); }
void CreateFileTypeSnapshot() { CreateClassInfo(); }
void CopyAutoUpdateSetting()
{
    DWORD copy = 0, system = 0;
    // Only a setting that was read is copied, and an existing copy is never replaced.
    if (!ReadAUOptionCopy(&copy) && ReadSystemAUOption(&system))
        StoreAUOptionCopy(system);
}

int CountDelayedPrograms() { return DelayedStartBegin(nullptr, MonitorTickCount()); }
void FreeCookieFilterList() { FreeCookieFilters(); }
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
