#include "cookielines.h"
#include "cookies.h"
#include "reportfile.h"
#include <windows.h>

void HijackCookieLines(std::string& log)
{
    char folder[MAX_PATH];
    if (FindIECookieFolder(folder)) {
        int count = CookieScanFor(0, 0);
        AppendLineF(log, "%d IE Cookies in Folder: %s\r\n", count, folder);
    }
    if (FindMozillaProfileFolder(folder)) {
        int count = CookieScanFor(1, 0);
        AppendLineF(log, "%d Mozilla Cookies in Folder: %s\r\n", count, folder);
    }
}

int ReportIeCookieFolder(char* out, int capacity)
{
    char folder[MAX_PATH];
    if (capacity <= 0)
        return 0;
    out[0] = 0;
    if (!FindIECookieFolder(folder))
        return 0;
    lstrcpynA(out, folder, capacity);
    return lstrlenA(out);
}
