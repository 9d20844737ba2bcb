// The explorer's command-line switches that act and end the program at once.
#pragma once

// Case-insensitive switch test over the whole command line; a line of 773
// characters or more matches nothing.
int HasSwitch(const char* commandLine, const char* name);

// "-Restore", "-AUOption", "-SetPrefix": performs the first one present and returns 1
// (the program then ends); 0 when none is present.
int RunActionSwitches(const char* commandLine);

// The page the command line selects (the last matching switch of the table wins; startTab
// when none matches). startMonitor is set when "-START" (or "-RESTART") asks for the monitor.
int SwitchPage(const char* commandLine, int startTab, int* startMonitor);
