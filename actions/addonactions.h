// Removing a browser add-on: its registration goes, its server file stays.
#pragma once

// Removes every listed add-on (current entry list) whose command is path, unregisters its
// server and writes the history line. index names the chosen entry. The number of
// registrations removed; 0 when any was refused (writefault.h says why): that one stays
// registered, unhistoried and listed.
int RemoveAddOn(const char* path, int index);

// Tests: runs the unregistration command line in place of WinExec (nullptr: WinExec).
void SetAddOnCommandRunner(void (*runner)(const char* commandLine));
