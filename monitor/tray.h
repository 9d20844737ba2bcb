// The notification-area icon and its menu.
#pragma once
#include <windows.h>
#include <shellapi.h>

enum TrayOp { TRAY_ADD = 0, TRAY_MODIFY = 1, TRAY_DELETE = 2 };

const UINT TRAY_ICON_ID = 6036;
const UINT WM_TRAY_NOTIFY = 6035;

// Adds, changes or deletes the icon; 1 when the shell was asked, 0 when the icon is hidden
// (HideRufo = 1) or the tooltip is missing.
int TrayOperation(int operation, int iconId, int tipStringId);
// Tray state of the patrol: icon and tooltip.
void SetTrayState(int iconId, int tipStringId);
// Idle state: icon from the TrayIcon option, tooltip 820.
void SetTrayIdle();
int IdleTrayIcon();

// Message 6035.
void OnTrayNotify(HWND window, WPARAM iconId, LPARAM mouseMessage);
// Commands of the menu for this platform, in order; 0 marks a separator.
int TrayMenuCommands(int* commands, int* labels, int capacity);

extern int trayBusy;   // the notification handler runs
