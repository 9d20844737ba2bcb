// Remembered places of dialogs and windows: four decimal values under HKCU Software\Orvane\Kestrix.
#pragma once
#include <windows.h>

struct WindowPosNames {
    const char* left;
    const char* top;
    const char* width;
    const char* height;
};

extern const WindowPosNames kAlertPos;      // monitor alert dialogs
extern const WindowPosNames kSysFilesPos;   // system-file change dialog
extern const WindowPosNames kMainPos;       // explorer main window

// Page command id of the explorer page shown now; the monitor keeps 0.
extern int g_activePageId;

void RestoreWindowPosition(HWND window, const WindowPosNames& names);
void SaveWindowPosition(HWND window, const WindowPosNames& names);
