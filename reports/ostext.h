// The Windows version name the reports print ("Windows XP SP2 Home Edition Service Pack 2
// (Build 2600)" and the like).
#pragma once
#include <windows.h>

// What the name is built from; the system fills it, tests may give their own.
struct OsFacts {
    OSVERSIONINFOEXA version;
    int extended;   // the extended record was available
    int tabletPc;   // GetSystemMetrics(SM_TABLETPC)
};
OsFacts ReadOsFacts();
// The name for the facts; the length.
int OsTextFor(const OsFacts& facts, char* out, int capacity);
// The name of the running system.
int OsText(char* out, int capacity);
