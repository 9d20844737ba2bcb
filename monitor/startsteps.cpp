#include "startsteps.h"
#include "alert.h"
#include "browsersettings.h"
#include "cookies.h"
#include "delaystart.h"
#include "filetypes.h"
#include "sysfiles.h"
#include "monitorstate.h"
#include "checks.h"
#include "keys.h"
#include "registry.h"

void CreateSysFileRecords() { InitSysFileRecords(); }
void CreateFileTypeSnapshot() { CreateClassInfo(); }
void CopyAutoUpdateSetting()
{
    DWORD copy = 0, system = 0;
    // An existing copy is never replaced; a machine without the setting is copied as 0, so
    // that a setting appearing later is a change.
    if (!ReadAUOptionCopy(&copy))
        StoreAUOptionCopy(ReadSystemAUOption(&system) ? system : 0);
}

void TakeSettingBaselines()
{
    CopyAutoUpdateSetting();
    char prefix[256];
    if (!RegValueExists(HKEY_CURRENT_USER, KX_KEY, "wwwPrefix") &&
        ReadSystemUrlPrefix(prefix, sizeof(prefix)))
        SetRegValue(HKEY_CURRENT_USER, KX_KEY, "wwwPrefix", prefix);
    TakePageBaselines();
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
