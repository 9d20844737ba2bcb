// Where the pages hand over to the dialogs and reports that live in their own files: the
// program information dialog, the patrol-time dialog, online information, the reports, the
// monitor-autostart toggle. Tests count each one reached.
#pragma once
#include <windows.h>

// Program information dialog for entry index; returns when it closes (infodialog.cpp).
void ShowProgramInfo(HWND owner, int index);
// Patrol-time dialog captioned with captionString: minutes, 0 = off, -1 = nothing changed.
int AskPatrolTime(HWND owner, UINT captionString, int current);
// Online information about the program of entry index.
void ShowOnlineInfo(HWND owner, int index);
// Command 9: the HTML report of the current list.
void WriteHtmlReport(HWND owner);
// Main-window command 6031.
void ToggleMonitorAutostart(HWND owner);
// HijackKestrix.log in the program folder.
void WriteHijackLog();

// Options page: KestrixLog.csv in the program folder, and the .reg export of the settings.
void WriteSavedListReport(HWND owner);
void ExportSettingsReport(HWND owner);

// Tests: counts of each call point reached, in the order above.
struct CallPointCounts {
    int info, patrolTime, online, report, autostart, hijack;
    int savedList, exportSettings;
    int lastIndex;
};
extern CallPointCounts g_callPoints;
