// The Options page: program-wide switches, the patrol times of the areas without a page of
// their own, and the report, history, HOSTS, export and restore buttons.
#pragma once
#include <windows.h>

// The monitor's own autostart value exists (read at the page's start and after each toggle).
extern int g_runAtStart;
// Adds (on) or removes the monitor's autostart value; the flag afterwards.
int SetRunAtStart(int on);
// Tells the running monitor to hide (1) or show (0) its tray icon; 1 when one was told.
int TellMonitorTrayIcon(int hidden);
// Opens the HOSTS file in Notepad, or says that there is none.
void ViewHostsFile(HWND owner);
