#include "callpoints.h"
#include "alwaysrun.h"
#include "page_options.h"
#include "patroltime.h"

CallPointCounts g_callPoints;

void ShowProgramInfo(HWND, int index)
{
    g_callPoints.info++;
    g_callPoints.lastIndex = index;
}

int AskPatrolTime(HWND owner, UINT captionString, int current)
{
    g_callPoints.patrolTime++;
    return PatrolTimeDialog(owner, captionString, current);
}

void ShowOnlineInfo(HWND, int index)
{
    g_callPoints.online++;
    g_callPoints.lastIndex = index;
}

void WriteHtmlReport(HWND) { g_callPoints.report++; }
void ToggleMonitorAutostart(HWND)
{
    g_callPoints.autostart++;
    SetRunAtStart(!IsAlwaysRun());
}
void ShowRestartCommands(HWND) { g_callPoints.restart++; }
void WriteHijackLog() { g_callPoints.hijack++; }

// Options page buttons whose reports are built with the other reports.
void WriteSavedListReport(HWND) { g_callPoints.savedList++; }
void ExportSettings(HWND) { g_callPoints.exportSettings++; }
