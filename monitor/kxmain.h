// The resident monitor: entry, window procedure and exit.
#pragma once
#include <windows.h>

const UINT WM_TASK_CHANGE = 9024;

int MonitorMain(HINSTANCE instance, const char* commandLine, int show);

// Registers the class and creates the hidden monitor window (also remembered as
// g_monitorWindow); nullptr on failure.
HWND CreateMonitorWindow(HINSTANCE instance, const char* className, const char* caption);
LRESULT CALLBACK MonitorWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Command 6025: tray icon and timer.
void OnStartCommand(HWND window);
// WM_DESTROY: asks first when ConfirmExit is set (unless the window is really going away),
// then the exit sequence. 1 when the monitor is exiting.
int OnExitRequest(HWND window, int windowGoing);
