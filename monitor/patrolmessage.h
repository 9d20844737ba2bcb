// The message boxes of the patrol (page, cookie, automatic-update and prefix alerts): no
// owner, the topmost flag and the interface language; each also sets the alert mark.
#pragma once
#include <windows.h>

// Shows text under caption (nullptr: the program caption) with the flags and MB_TOPMOST;
// the button pressed (IDYES, IDNO...).
int PatrolMessage(const char* text, const char* caption, UINT flags);
