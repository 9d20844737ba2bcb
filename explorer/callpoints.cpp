#include "callpoints.h"

CallPointCounts g_callPoints;

int AskPatrolTime(HWND, UINT, int)
{
    g_callPoints.patrolTime++;
    return -1;
}

void ShowOnlineInfo(HWND, int index)
{
    g_callPoints.online++;
    g_callPoints.lastIndex = index;
}

void WriteHtmlReport(HWND) { g_callPoints.report++; }
void ToggleMonitorAutostart(HWND) { g_callPoints.autostart++; }
void ShowRestartCommands(HWND) { g_callPoints.restart++; }
void WriteHijackLog() { g_callPoints.hijack++; }
