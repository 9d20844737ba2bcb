// The startup inventory and the operations that move autostart entries.
#pragma once
#include <windows.h>

// Fills the entry list with every autostart entry; returns the count. forPage = 1 leaves
// out the Winlogon and hook entries unless ShowAllStartup is set.
int BuildStartupList(int forPage);

// The steps of BuildStartupList, in its order.
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
