// Message boxes the system shows for itself.
#pragma once
#include <windows.h>

// "System Error" box with the code and system text of GetLastError().
void ShowSystemError();
// MessageBoxExA with the program caption and the interface language.
int KxMessageBox(HWND owner, const char* text, UINT flags);
