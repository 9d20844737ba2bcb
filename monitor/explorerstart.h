// Starting the explorer KestrixEx.exe from the monitor's folder with a page switch.
#pragma once
#include <windows.h>

// 1 when the shell started it; otherwise message 795 is shown and 0 returned.
int StartExplorer(const char* pageSwitch);
// The switch a WM_COMMAND id opens, nullptr when the id opens no page.
const char* ExplorerSwitchForCommand(int command);
