// The cookie list: every cookie of one browser family with a tick box, to keep or remove
// them; and the text viewer that shows one cookie file.
#pragma once
#include <windows.h>

// Opens the cookie list modally for the Mozilla family (1) or Internet Explorer (0).
INT_PTR ShowCookieList(HWND owner, int mozilla);
// Shows at most 16 KB of a text file; caption as given.
INT_PTR ShowTextViewer(HWND owner, const char* caption, const char* path);
