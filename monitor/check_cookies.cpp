// The cookie checks: the filter removes condemned Internet Explorer cookies on its countdown
// and, for the Mozilla family, puts the filtered cookie file in place once the browser is
// closed; the new-cookie check offers the cookie review when a cookie was never reviewed.
#include "browserkind.h"
#include "checks.h"
#include "entrylist.h"
#include "cookieactions.h"
#include "cookies.h"
#include "explorerstart.h"
#include "monitorstate.h"
#include "options.h"
#include "patrolask.h"
#include "patrolmessage.h"
#include "registry.h"
#include "resstring.h"
#include "sounds.h"
#include "trace.h"
#include "tray.h"

void CheckCookieFilter()
{
    if (IsMozillaKind(DefaultBrowserKind())) {
        SetCookieMode(COOKIE_MODE_MOZILLA);
        return;
    }
    SetCookieMode(COOKIE_MODE_IE);
    CookieScan(1);
}

// A browser window may rewrite cookies.txt from memory when it closes, so the filtered file
// waits until none is open.
static int MozillaBrowserOpen()
{
    char windowClass[64] = "";
    LoadResString(11, windowClass, sizeof(windowClass));
    return windowClass[0] && FindWindowA(windowClass, nullptr) != nullptr;
}

void CheckMozillaCookies()
{
    char folder[MAX_PATH];
    if (CookieMode() != COOKIE_MODE_MOZILLA || !FindMozillaProfileFolder(folder))
        return;
    if (GetOption("UpdateCookieFile", 0) > 0 && !MozillaBrowserOpen())
        ReplaceMozillaCookieFile(folder);
}

void CheckNewCookies()
{
    EntryLimitScope everyEntry;   // no entry is left out of the check
    CookieScan(0);
    for (const EntryRecord& entry : CopyEntries()) {
        char reviewed[REG_READ_BUFFER] = "";
        if (GetRegValue(HKEY_CURRENT_USER, KX_COOKIES_KEY, entry.title, reviewed, sizeof(reviewed)))
            continue;
        SetTrayState(161, 826);
        PlayAlertSound(SOUND_COOKIE);
        alertOpen = 1;
        char text[512] = "";
        LoadResString(16, text, sizeof(text));
        int answer = PatrolMessage(text, nullptr, MB_YESNO | MB_ICONEXCLAMATION);
        alertOpen = 0;
        if (answer == IDYES)
            StartExplorer("-COOKIES");
        return;   // one announcement a pass
    }
}
