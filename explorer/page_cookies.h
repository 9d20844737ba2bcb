// The Cookies page: the cookie filter words, the browser family whose cookies are filtered,
// its cookie folder, and the way to the cookie list.
#pragma once
#include <windows.h>

INT_PTR CALLBACK CookiesPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
