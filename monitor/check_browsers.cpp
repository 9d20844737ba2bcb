// Today's browsers, part of the add-on check: a new extension, a new or changed policy value,
// an extension a program offers, or a changed home, start-up or search page is asked about,
// naming the browser and profile. Yes approves it; No puts the browser back (browseranswers.h)
// and says what was done when the browser itself must finish it.
#include "actionevents.h"
#include "browseranswers.h"
#include "checks.h"
#include "entrylist.h"
#include "history.h"
#include "monitorstate.h"
#include "options.h"
#include "patrolmessage.h"
#include "resstring.h"
#include "sounds.h"
#include "textutil.h"
#include "trace.h"
#include "tray.h"

namespace {

enum {
    IDS_NEW_EXTENSION = 2000,
    IDS_CHANGED_PAGE = 2001,
    IDS_NEW_POLICY = 2002,
    IDS_OFFERED_EXTENSION = 2003,
    IDS_NO_PAGE = 2004,
};

std::string Shown(const std::string& pages)
{
    std::string text = pages;
    for (char& c : text)
        if (c == '\n')
            c = ' ';
    return text;
}

std::string AlertText(const BrowserItem& item, const std::string& approved)
{
    char format[1024] = "", none[128] = "";
    switch (item.type) {
    case TYPE_BROWSER_EXTENSION:
        LoadResString(IDS_NEW_EXTENSION, format, sizeof(format));
        return FillText(format, {item.browser.c_str(), item.profile.c_str(), item.title.c_str(), item.data.c_str()});
    case TYPE_BROWSER_PAGE: {
        LoadResString(IDS_CHANGED_PAGE, format, sizeof(format));
        LoadResString(IDS_NO_PAGE, none, sizeof(none));
        std::string before = approved.empty() ? none : Shown(approved);
        return FillText(format, {item.title.c_str(), item.profile.c_str(), Shown(item.data).c_str(), before.c_str()});
    }
    case TYPE_BROWSER_POLICY:
        LoadResString(IDS_NEW_POLICY, format, sizeof(format));
        break;
    default:
        LoadResString(IDS_OFFERED_EXTENSION, format, sizeof(format));
        break;
    }
    return FillText(format, {item.browser.c_str(), item.title.c_str(), item.data.c_str(), item.source.c_str()});
}

int Ask(const BrowserItem& item, const std::string& text)
{
    WriteHistoryLine(item.title.c_str(), item.data.c_str(), item.source.c_str(), item.type, ACT_IEHELPER_ALERT);
    SetTrayState(158, 822);
    PlayAlertSound(SOUND_IE_HELPER);
    alertOpen = 1;
    g_traceAlertMark = 1;
    int answer = PatrolMessage(text.c_str(), nullptr, MB_YESNO | MB_ICONEXCLAMATION);
    alertOpen = 0;
    return answer;
}

void Refuse(const BrowserItem& item, const std::string& approved)
{
    SetLastError(0);
    int answer = RefuseBrowserItem(item, approved);
    if (answer == BROWSER_REFUSED) {
        TellActionRefused(ACT_START_REMOVE, item.type, item.title.c_str(), item.data.c_str(), GetLastError());
        return;
    }
    std::string said = BrowserAnswerText(answer, item);
    if (!said.empty() && suppressAlerts <= 1)
        PatrolMessage(said.c_str(), nullptr, MB_OK | MB_ICONINFORMATION);
}

}   // namespace

void CheckBrowserEntries()
{
    // Changes refused while Firefox was open are made once it is closed.
    ApplyWaitingBrowserChanges();
    // The first start of a build that guards browsers takes what is there as approved.
    if (AdoptBrowserItems())
        return;
    // Read once; the alerts re-enter the message loop.
    BrowserBaseline baseline;
    for (const BrowserItem& item : ReadBrowserItems()) {
        if (baseline.Known(item))
            continue;
        Trace("VERIFY", item.title.c_str());
        std::string approved = baseline.Approved(item);
        int answer = suppressAlerts > 1 ? IDNO : Ask(item, AlertText(item, approved));
        if (answer == IDYES)
            ApproveBrowserItem(item);
        else if (answer == IDNO)
            Refuse(item, approved);
    }
}
