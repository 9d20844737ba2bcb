// Places where the pages hand over to dialogs and reports that are built elsewhere: the
// program information dialog, the patrol-time dialog, online information, the HTML report,
// the monitor-autostart toggle, the restart-command view and the hijack log. Each returns what
// its caller needs to carry on while the real one is missing.
#pragma once
#include <windows.h>

// Program information dialog for entry index; returns when it closes.
void ShowProgramInfo(HWND owner, int index);
// Patrol-time dialog captioned with captionString: minutes, 0 = off, -1 = nothing changed.
int AskPatrolTime(HWND owner, UINT captionString, int current);
// Online information about the program of entry index.
void ShowOnlineInfo(HWND owner, int index);
// Command 9: the HTML report of the current list.
void WriteHtmlReport(HWND owner);
// Main-window commands 6031 and 6034.
void ToggleMonitorAutostart(HWND owner);
void ShowRestartCommands(HWND owner);
// HijackKestrix.log in the program folder.
void WriteHijackLog();

// Options page: KestrixLog.csv in the program folder, and the .reg export of the settings.
void WriteSavedListReport(HWND owner);
void ExportSettings(HWND owner);

// Tests: counts of each call point reached, in the order above.
struct CallPointCounts {
    int info, patrolTime, online, report, autostart, restart, hijack;
    int savedList, exportSettings;
    int lastIndex;
};
extern CallPointCounts g_callPoints;
