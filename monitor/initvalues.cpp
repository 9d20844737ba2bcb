#include "initvalues.h"
#include "alwaysrun.h"
#include "baseline.h"
#include "browsersettings.h"
#include "checks.h"
#include "browserbaseline.h"
#include "delaystart.h"
#include "entrylist.h"
#include "filetypes.h"
#include "keys.h"
#include "monitorstate.h"
#include "options.h"
#include "registry.h"
#include "resstring.h"
#include "sysfiles.h"
#include "trace.h"
#include "versioninfo.h"

void TraceBeginKestrix()
{
    char version[128];
    GetProgramVersionText(version, sizeof(version));
    Trace("-------------------------------------Begin Kestrix", version);
}

// The approved copies of the automatic-update setting (0 when the machine has none), the address
// prefix and the start, search and desktop pages, each taken when none exists yet. Taken at
// start, not at a first check, so that a change in the first minute is asked about like any
// other.
void TakeSettingBaselines()
{
    CopyAutoUpdateSetting();
    char prefix[256];
    if (!RegValueExists(HKEY_CURRENT_USER, KX_KEY, "wwwPrefix") &&
        ReadSystemUrlPrefix(prefix, sizeof(prefix)))
        SetRegValue(HKEY_CURRENT_USER, KX_KEY, "wwwPrefix", prefix);
    TakePageBaselines();
    // Today's browsers as they are at the first start of a build that guards them.
    AdoptBrowserItems();
}

void GetInitialValues()
{
    g_traceCounter = 9999;
    lastPassTick = MonitorTickCount();
    InitUiLanguage();
    if (GetOption("Debug", 0))
        g_traceCounter = 0;

    // First run (key skeleton, initial values), baseline and the services and hidden-file
    // lists, in the shared start-up order.
    // The approved copies of single settings first: taking them costs nothing, and whatever
    // changes after the window exists is then asked about.
    TakeSettingBaselines();
    {
        StartSnapshotScope snapshot;
        StartBaseline();
        TraceBeginKestrix();

        InitSysFileRecords();
        CheckDataVersion();
    }
    CreateClassInfo();
    ReadAllOptions();

    alwaysRun = IsAlwaysRun();
    ClearEntries();
    delayTicks = delayStep = delayLaunched = 0;
    delayTotal = DelayedStartBegin(nullptr, MonitorTickCount());
}
