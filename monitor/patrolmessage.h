// The message boxes of the patrol (page, cookie, automatic-update and prefix alerts): no
// owner, the topmost flag and the interface language; each also sets the alert mark.
#pragma once
#include <windows.h>

// Shows text under caption (nullptr: the program caption) with the flags and MB_TOPMOST;
// the button pressed (IDYES, IDNO...).
int PatrolMessage(const char* text, const char* caption, UINT flags);

// An answer the machine refused (Windows' reason in error, or the last refused write of the
// action, writefault.h): recorded in the event log and, unless the patrol acts without
// asking, told to the user with what to do about it. The refusal is forgotten.
void TellActionRefused(int action, int type, const char* title, const char* command, DWORD error);
