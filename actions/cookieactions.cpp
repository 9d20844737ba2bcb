#include "cookieactions.h"
#include "listedfile.h"
#include "cookies.h"
#include "keys.h"
#include "registry.h"
#include "trace.h"
#include "writefault.h"
#include <windows.h>

int AddCookieFilter(const char* word)
{
    if (!word || !word[0] || lstrlenA(word) >= COOKIE_FILTER_TEXT)
        return -1;
    // Only the words the user typed count: cookies marked in the review stay marked for good.
    LoadCookieFilters();
    int words = 0;
    for (int i = 0; i < CookieFilterCount(); i++)
        words += CookieFilterData(i) != NUT_MARKED_COOKIE;
    if (words >= MAX_COOKIE_FILTERS) {
        FreeCookieFilters();
        return 729;
    }
    FreeCookieFilters();
    if (!SetRegValue(HKEY_CURRENT_USER, KX_NUTS_KEY, word, "1"))
        return -1;
    LoadCookieFilters();
    // Matching cookies go at once; the scan reloads the list and frees it after.
    CookieScan(1);
    return 0;
}

int RemoveCookieFilter(const char* word)
{
    FreeCookieFilters();
    int removed = DeleteRegValue(HKEY_CURRENT_USER, KX_NUTS_KEY, word);
    LoadCookieFilters();
    return removed;
}

// Deletes one cookie of the list. An Internet Explorer cookie without a known folder is
// marked instead when markWithoutFolder is set (the filter then takes it wherever it is).
static int RemoveCookie(const std::string& title, int mozilla, bool markWithoutFolder)
{
    if (mozilla)
        return SetRegValue(HKEY_CURRENT_USER, KX_NUTS_KEY, title.c_str(), "2");
    char folder[MAX_PATH];
    if (!FindIECookieFolder(folder)) {
        if (markWithoutFolder)
            return SetRegValue(HKEY_CURRENT_USER, KX_NUTS_KEY, title.c_str(), "2");
        return 0;
    }
    // The cookie folder is the user's: the delete goes to the listed file only.
    std::string path = std::string(folder) + title;
    return !WriteStepFails() && DeleteListedFile(path.c_str()) ? 1 : 0;
}

int RemoveReviewedCookies(const std::vector<ReviewedCookie>& rows, int removeTicked, int mozilla)
{
    UINT previous = SetErrorMode(SEM_NOOPENFILEERRORBOX | SEM_FAILCRITICALERRORS);
    int removed = 0;
    for (const ReviewedCookie& row : rows) {
        bool goes = removeTicked ? row.ticked : !row.ticked;
        if (goes) {
            DeleteRegValue(HKEY_CURRENT_USER, KX_COOKIES_KEY, row.title.c_str());
            removed += RemoveCookie(row.title, mozilla, removeTicked != 0);
        } else if (!removeTicked) {
            SetRegValue(HKEY_CURRENT_USER, KX_COOKIES_KEY, row.title.c_str(), "1");
        }
    }
    if (mozilla)
        CookieScanFor(1, 1);
    SetErrorMode(previous);
    return removed;
}

int ReplaceMozillaCookieFile(const char* profileFolder)
{
    std::string folder = profileFolder;
    if (!folder.empty() && folder.back() != '\\')
        folder += '\\';
    std::string cookies = folder + "cookies.txt";
    LoadCookieFilters();
    int dropped = WriteFilteredCookieFile(cookies.c_str(), cookies.c_str());
    if (dropped < 0) {
        FreeCookieFilters();
        return 0;
    }
    DeleteFileA((folder + "cookiesnew.txt").c_str());
    DeleteRegValue(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "UpdateCookieFile");
    // The marks stay: a site that sets a removed cookie again has it filtered again.
    FreeCookieFilters();
    return 1;
}
