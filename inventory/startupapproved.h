// Windows' own startup switches (Task Manager's and Settings' Startup pages): since Windows 8
// an autostart entry can stay in place and still be kept from starting, by a binary value
// named like the entry under Explorer\StartupApproved whose first byte is odd.
#pragma once
#include <windows.h>
#include <string>

struct EntryRecord;

#define STARTUP_APPROVED_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved"

struct StartupSwitchPlace {
    HKEY root = nullptr;
    std::string key, name;
};

// Where Windows keeps the switch of an entry: the machine and user Run keys in \Run, the
// machine's 32-bit Run key in \Run32, a startup-folder item in \StartupFolder under its file
// name (HKLM for the all-users folder). false for entries Windows has no switch for.
bool StartupSwitchPlaceOf(const EntryRecord& entry, StartupSwitchPlace* place);

// Sets offByWindows on the entries [first, end) of the list: the active ones only, since an
// entry held in the disabled store does not start anyway.
void MarkSwitchedOffEntries(int first, int end);
