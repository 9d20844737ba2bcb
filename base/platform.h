// The few platform decisions the code branches on (9x vs NT family, Windows version).
// Everything asks these functions, never GetVersionEx directly, so tests can steer them.
#pragma once
#include <windows.h>

struct PlatformVersion {
    DWORD platformId;   // VER_PLATFORM_WIN32_WINDOWS (1) or VER_PLATFORM_WIN32_NT (2)
    DWORD major;
    DWORD minor;
};

PlatformVersion GetPlatformVersion();
int IsWindowsNT();            // 1 on the NT family
int IsWindows95();            // platform 1, minor 0: the only system without GetLongPathNameA
int WindowsMajorVersion();

// Tests: replace what the system reports; pass nullptr to go back to the real values.
void SetPlatformOverride(const PlatformVersion* version);
