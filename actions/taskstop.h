// Stopping a running startup program as an action the history remembers.
#pragma once
#include <windows.h>

// Stops the program of a command when it runs (asking first when ask is set) and writes the
// history line. Returns the process id found, 0 when nothing ran.
DWORD StopRunningProgram(const char* command, const char* title, int ask);
