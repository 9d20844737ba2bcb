// Stopping a running startup program as an action the history remembers.
#pragma once
#include <windows.h>

// Stops the program of a command when it runs (asking first when ask is set) and writes the
// history line. Returns the process id found (also when the user said No), 0 when nothing ran
// or it could not be stopped.
DWORD StopRunningProgram(const char* command, const char* title, int ask);

// Ends the process processId only while its image is the program shown to the user (image,
// a full path), and writes the history line. 1 when it ended; 0 otherwise, with *error
// ERROR_ACCESS_DENIED when the system refused us (another user's or an elevated process),
// ERROR_NOT_FOUND when the id no longer runs that program, else the system's reason.
int EndListedProcess(DWORD processId, const char* image, const char* title, DWORD* error);
