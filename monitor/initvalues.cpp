#include "initvalues.h"
#include "alwaysrun.h"
#include "baseline.h"
#include "entrylist.h"
#include "monitorstate.h"
#include "options.h"
#include "resstring.h"
#include "startsteps.h"
#include "trace.h"
#include "versioninfo.h"

void TraceBeginKestrix()
{
    char version[128];
    GetProgramVersionText(version, sizeof(version));
    Trace("-------------------------------------Begin Kestrix", version);
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

        CreateSysFileRecords();
        CheckDataVersion();
    }
    CreateFileTypeSnapshot();
    ReadAllOptions();

    alwaysRun = IsAlwaysRun();
    ClearEntries();
    delayTicks = delayStep = delayLaunched = 0;
    delayTotal = CountDelayedPrograms();
}
