// The optional add-on library VOLTEXA.DLL: told when the monitor is ready and when it exits.
#pragma once
#include <windows.h>

// Loads the library from the monitor's folder when it is there and calls its ordinal 2.
void VoltexaStart(HWND window);
// Calls ordinal 3 (once) and unloads the library.
void VoltexaExit();
int VoltexaLoaded();
