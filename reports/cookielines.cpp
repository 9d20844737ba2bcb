// The reports' cookie facts need the cookie inventory's counts and folders, which this
// layer does not have yet: until it is linked here, the log has no cookie lines and the
// system information no cookie folder.
#include "cookielines.h"

void HijackCookieLines(std::string& log)
{
    (void)log;
}

int ReportIeCookieFolder(char* out, int capacity)
{
    if (capacity > 0)
        out[0] = 0;
    return 0;
}
