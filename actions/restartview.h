// The pending restart commands of wininit.ini in a read-only view, shared by the monitor
// (command 6034 and the wininit check's Yes) and the manager (command 6034).
#pragma once
#include <windows.h>

// Shows the view when commands are pending; otherwise, where wininit.exe runs them, says that
// none were found. 1 when the user deleted the file from the view.
int ShowRestartCommandView(HWND owner);
