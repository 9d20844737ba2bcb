// The startup inventory and the operations that move autostart entries.
#pragma once
#include <string>
#include <vector>
#include <windows.h>

// Fills the entry list with every autostart entry; returns the count. forPage = 1 leaves
// out the Winlogon and hook entries unless ShowAllStartup is set.
int BuildStartupList(int forPage);

// Index range [first, end) of the entries the last BuildStartupList took from the disabled
// store and the Disabled folder: entries that Windows does not start.
void DisabledEntryRange(int* first, int* end);

// Where the disabled copy of an entry of this location and its index value are stored: the
// user's own entries (his Run keys, win.ini's load and run, his Startup folder) under HKCU,
// so that a user without administrator rights can disable them; the machine's under HKLM.
HKEY DisabledStoreRoot(int code);
// The root whose index holds the title: HKCU, else HKLM (where earlier builds kept every
// copy, and where they are still read).
HKEY DisabledIndexRoot(const char* title);

// The folders whose every file Office opens when it starts (Word's STARTUP, Excel's
// XLSTART) under the user's application data, whether they exist or not.
std::vector<std::string> OfficeStartupFolders();

// The steps of BuildStartupList, in its order. The startup group holds the Office start-up
// folders' files too.
void BuildRun();
int GetStartupGroup();
void GetWinPrograms();
void GetDisabledPrograms();
void GetWinLogon_Userinit();
void GetWinLogon_Shell();
void BuildRegInfo();

// A value of a Run key whose name is in the DisabledIndex may have been disabled here and put
// back by someone. BuildRun hands it to this handler, which the actions layer installs to
// disable it again, and leaves it out of the list when the handler returns 1 (it was that
// entry); otherwise it is listed.
typedef int (*ReturnedValueHandler)(const char* name, const char* data, int code);
void SetReturnedValueHandler(ReturnedValueHandler handler);
