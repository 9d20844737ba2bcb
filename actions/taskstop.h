// Stopping a running startup program as an action the history remembers.
#pragma once
#include <windows.h>

// Stops the program of a command when it runs (asking first when ask is set) and writes the
// history line. Returns the process id found (also when the user said No), 0 when nothing ran
// or it could not be stopped.
DWORD StopRunningProgram(const char* command, const char* title, int ask);
