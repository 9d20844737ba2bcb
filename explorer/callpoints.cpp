#include "callpoints.h"
#include "entrylist.h"
#include "hijacklog.h"
#include "onlineinfo.h"
#include "reportlog.h"

CallPointCounts g_callPoints;

int AskPatrolTime(HWND, UINT, int)
{
    g_callPoints.patrolTime++;
    return -1;
}

void ShowOnlineInfo(HWND, int index)
{
    if (const EntryRecord* entry = GetEntry(index))
        ShowOnlineInformation(entry->type, entry->command, entry->title);
}

void WriteHtmlReport(HWND) { WriteReportLog(); }
void ToggleMonitorAutostart(HWND) { g_callPoints.autostart++; }
void WriteHijackLog() { WriteHijackScanLog(); }
