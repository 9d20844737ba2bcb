// Everything the explorer hands to the shell or to a command line goes through these two, so
// that tests can see what would have been started instead of starting it.
#pragma once
#include <windows.h>

// ShellExecuteA with verb on file (parameters may be nullptr); 1 when the shell took it.
int ShellRun(HWND owner, const char* verb, const char* file, const char* parameters);
// WinExec of a whole command line; 1 when started.
int RunCommandLine(const char* commandLine, int show);
// The shell's properties sheet of a file; 1 when shown.
int ShowFileProperties(HWND owner, const char* file);
