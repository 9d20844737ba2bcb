// The AOL client's main window, which acts as a browser on AOL machines.
#pragma once
#include <windows.h>

// nullptr when no AOL client runs.
HWND FindAolClientWindow();
