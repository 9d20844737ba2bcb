// The AppInit_DLLs list (comma or blank separated) of either registry view.
#pragma once
#include <windows.h>

// 0 when the DLL was not in the list, so nothing was removed.
int RemoveAppInitDll(const char* dll, REGSAM view);
// Adds the DLL at the end, by its short path when it has one.
int AppendAppInitDll(const char* dll, REGSAM view);
