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

// Disable when the title is not in the DisabledIndex, enable (put back) when it is.
int DisableRunProgram(const char* title, const char* command, const char* source, int code);
// Removes an entry for good (Run keys, win.ini, startup folders, disabled copies).
int DeleteRunProgram(const char* title, const char* command, const char* source, int code);
// Winlogon values and registry hooks; asks first where the entry is a system hook.
int DeleteRegProgram(HWND owner, const char* title, const char* command, const char* source,
                     int code);
// Puts a removed or delayed entry back where it came from.
int RestoreEntry(const char* title, const char* command, const char* source, int code);
