#include "callpoints.h"
#include "alwaysrun.h"
#include "entrylist.h"
#include "hijacklog.h"
#include "onlineinfo.h"
#include "page_options.h"
#include "patroltime.h"
#include "regexport.h"
#include "reportlog.h"
#include "savedlist.h"

CallPointCounts g_callPoints;

int AskPatrolTime(HWND owner, UINT captionString, int current)
{
    g_callPoints.patrolTime++;
    return PatrolTimeDialog(owner, captionString, current);
}

void ShowOnlineInfo(HWND, int index)
{
    if (const EntryRecord* entry = GetEntry(index))
        ShowOnlineInformation(entry->type, entry->command, entry->title);
}

void WriteHtmlReport(HWND)
{
    g_callPoints.report++;
    WriteReportLog();
}

void ToggleMonitorAutostart(HWND)
{
    g_callPoints.autostart++;
    SetRunAtStart(!IsAlwaysRun());
}

void WriteHijackLog()
{
    g_callPoints.hijack++;
    WriteHijackScanLog();
}

void WriteSavedListReport(HWND)
{
    g_callPoints.savedList++;
    WriteSavedList();
}

void ExportSettingsReport(HWND owner)
{
    g_callPoints.exportSettings++;
    ExportSettings(owner);
}
