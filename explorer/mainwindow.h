// The explorer's hidden main window: it owns the sheet and takes the page commands that a
// second start of the program posts.
#pragma once
#include <windows.h>

// Registers the class (name from string 9) and creates the window; nullptr on failure.
HWND CreateMainWindow(HINSTANCE instance, const char* className, const char* caption);
// Starts the monitor ("Kestrix.exe" beside this program) unless one runs; 1 when one runs
// or was started.
int StartMonitorIfMissing();
