#include "platform.h"

static bool g_overridden;
static PlatformVersion g_override;

PlatformVersion GetPlatformVersion()
{
    if (g_overridden)
        return g_override;
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExA(&info);
#pragma GCC diagnostic pop
    return PlatformVersion{info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion};
}

int IsWindowsNT() { return GetPlatformVersion().platformId == VER_PLATFORM_WIN32_NT; }

int IsWindows95()
{
    PlatformVersion v = GetPlatformVersion();
    return v.platformId == VER_PLATFORM_WIN32_WINDOWS && v.minor == 0;
}

int WindowsMajorVersion() { return (int)GetPlatformVersion().major; }

void SetPlatformOverride(const PlatformVersion* version)
{
    g_overridden = version != nullptr;
    if (version)
        g_override = *version;
}
