#include "firstrun.h"
#include "datetime.h"
#include "keys.h"
#include "registry.h"
#include "trace.h"
#include <windows.h>

int IsFirstRun()
{
    char date[64];
    return GetRegValue(HKEY_CURRENT_USER, KX_KEY, "", date, sizeof(date)) == 0;
}

void CreateKeySkeleton()
{
    Trace("Get Initial Values", "FIRSTTIME");
    static const char* const keys[] = {
        KX_VENDOR_KEY,          KX_KEY,
        KX_KEY "\\Nuts",        KX_KEY "\\Cookies",
        KX_KEY "\\Options",     KX_KEY "\\Run",
        KX_KEY "\\IEHelpers",   KX_KEY "\\HostFile",
        KX_KEY "\\Tasks",
    };
    for (const char* key : keys)
        CreateRegKey(HKEY_CURRENT_USER, key);
    SYSTEMTIME now;
    GetLocalTime(&now);
    char date[32];
    FormatDateTime(now, date, sizeof(date));
    SetRegValue(HKEY_CURRENT_USER, KX_KEY, "", date);
}
