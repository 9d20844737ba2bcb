// The help pages the alerts open from the program folder.
#pragma once
#include <windows.h>

// Help page of a page command id: 6051 "helpme.html", anything else "features.html"; for
// a language other than "us" the file name carries the language code and "_" in front.
// Without the file in the program folder the page is opened from the web. 1 when a page was
// opened.
int OpenHelpPage(HWND owner, int pageId);
// File name the help routine opens for a page id (buffer of MAX_PATH).
void HelpFileName(int pageId, char* out, int capacity);
