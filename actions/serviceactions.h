// What the programs do to a service: send it a control (stop) and change its start type.
// Both take the display name the service inventory shows.
#pragma once
#include <windows.h>

// 1 when the service control manager accepted the control, else 0.
int SendServiceControl(const char* displayName, DWORD control);
// Writes "Start" (2 automatic, 3 manual, 4 disabled) of the service with that display name;
// 1 when a service was found and its value written, else 0 and nothing written.
int SetServiceStartType(const char* displayName, DWORD start);
