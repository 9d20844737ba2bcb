// The settings export: the system's own registry data as a registry script that the
// registry editor imports again.
#pragma once
#include <windows.h>

// Writes HKCU Software\Orvane\Kestrix and HKLM SOFTWARE\Orvane, every subkey and value in its
// own type, to path; 1 when written.
int ExportSettingsTo(const char* path);
