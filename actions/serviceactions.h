// What the programs do to a service: send it a control (stop) and change its start type.
// Both take the service's key name (the entry's key), never a display name.
#pragma once
#include <windows.h>

// 1 when the service control manager accepted the control, else 0.
int SendServiceControl(const char* keyName, DWORD control);
// Writes "Start" (2 automatic, 3 manual, 4 disabled) of the service with that key name; 1 when
// the service was found and its value written, else 0 and nothing written.
int SetServiceStartType(const char* keyName, DWORD start);
