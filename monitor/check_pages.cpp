// The page check: the browser's start, search and desktop pages against the pages the user
// approved. A change is asked about; a refused one gets the approved page back.
#include "checks.h"
#include "keys.h"
#include "patrolmessage.h"
#include "registry.h"
#include "resstring.h"
#include "textutil.h"
#include "tray.h"
#include <cstring>

namespace {

struct PageWatch {
    UINT keyString;       // the key holding the page
    const char* name;     // value name, or nullptr with nameString
    UINT nameString;
    const char* baseline; // value under Software\Orvane\Kestrix
    UINT message;
};

const PageWatch kPages[] = {
    {623, nullptr, 624, "StartPage", 625},
    {623, nullptr, 675, "SearchPage", 676},
    {1016, "Source", 0, "SourcePage", 1017},
};

// One trailing "/" does not make a page different.
bool SamePage(const char* a, const char* b)
{
    size_t la = strlen(a), lb = strlen(b);
    if (la && a[la - 1] == '/')
        la--;
    if (lb && b[lb - 1] == '/')
        lb--;
    return la == lb && CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, (int)la, b, (int)lb) ==
                           CSTR_EQUAL;
}

void PageValue(const PageWatch& page, char* key /*260*/, char* name /*64*/)
{
    LoadResString(page.keyString, key, 260);
    if (page.name)
        lstrcpynA(name, page.name, 64);
    else
        LoadResString(page.nameString, name, 64);
}

void CheckPage(const PageWatch& page)
{
    char key[260] = "", name[64] = "";
    PageValue(page, key, name);
    // The approved page was taken at start (an empty text when there was none): a page that
    // appears or changes since is asked about.
    char current[REG_READ_BUFFER] = "", approved[REG_READ_BUFFER] = "";
    GetRegValue(HKEY_CURRENT_USER, key, name, current, sizeof(current));
    GetRegValue(HKEY_CURRENT_USER, KX_KEY, page.baseline, approved, sizeof(approved));
    if (SamePage(current, approved))
        return;
    SetTrayState(161, 829);
    char format[1024] = "", text[1024] = "";
    LoadResString(page.message, format, sizeof(format));
    const char* values[] = {current, approved};
    FillTextSlots(format, values, 2, text, sizeof(text));
    if (PatrolMessage(text, nullptr, MB_YESNO | MB_ICONEXCLAMATION) == IDYES)
        SetRegValue(HKEY_CURRENT_USER, KX_KEY, page.baseline, current);
    else
        SetRegValue(HKEY_CURRENT_USER, key, name, approved);   // exactly the approved text
}

}   // namespace

void TakePageBaselines()
{
    for (const PageWatch& page : kPages) {
        if (RegValueExists(HKEY_CURRENT_USER, KX_KEY, page.baseline))
            continue;
        char key[260] = "", name[64] = "", current[REG_READ_BUFFER] = "";
        PageValue(page, key, name);
        GetRegValue(HKEY_CURRENT_USER, key, name, current, sizeof(current));
        SetRegValue(HKEY_CURRENT_USER, KX_KEY, page.baseline, current);
    }
}

void CheckStartPages()
{
    for (const PageWatch& page : kPages)
        CheckPage(page);
}
