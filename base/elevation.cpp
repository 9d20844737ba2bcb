#include "elevation.h"
#include "handles.h"
#include <windows.h>

static int g_override = -1;

void SetElevatedOverride(int elevated) { g_override = elevated; }

int IsElevated()
{
    if (g_override >= 0)
        return g_override;
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
        return 1;
    Handle token(raw);
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation), &size))
        return 1;   // no such information: a system without the split token
    return elevation.TokenIsElevated ? 1 : 0;
}
