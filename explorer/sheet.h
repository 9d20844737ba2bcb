// The property sheet: opened once, at the requested page, and closed with the program.
#pragma once
#include <windows.h>

// Opens the sheet modally at the page of request (the first page when none carries it); a
// second request while it is open only brings it to the front. The PropertySheetA result.
INT_PTR OpenSheet(HWND owner, int request);
