// Cookie inventory: the filter words, the two cookie folders and the scan that lists or
// filters the cookies of the browser family in use.
#include "cookies.h"
#include "browserkind.h"
#include "entrylist.h"
#include "folderwalk.h"
#include "handles.h"
#include "options.h"
#include "pathutil.h"
#include "program.h"
#include "registry.h"
#include "resstring.h"
#include "textutil.h"
#include "wholefile.h"
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct CookieFilter {
    char text[COOKIE_FILTER_TEXT];
    int data;
};
std::vector<CookieFilter> g_filters;
int g_cookieMode = COOKIE_MODE_IE;

const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kUserShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

void NotFound(char* out) { LoadResString(968, out, MAX_PATH); }

// The folder with a "\" appended when it holds an index.dat (path of 3 to 250 characters).
bool HoldsIndexDat(const char* folder, char* out)
{
    int length = lstrlenA(folder);
    if (length < 3 || length > 250)
        return false;
    char candidate[MAX_PATH];
    lstrcpynA(candidate, folder, sizeof(candidate));
    EnsureTrailingBackslash(candidate, sizeof(candidate));
    char index[MAX_PATH + 16];
    lstrcpyA(index, candidate);
    lstrcatA(index, "index.dat");
    if (!FileExists(index, sizeof(index)))
        return false;
    lstrcpyA(out, candidate);
    return true;
}

bool IsFolder(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The first subfolder of folder matching pattern (not a "." name); empty when none.
std::string FirstSubfolder(const std::string& folder, const char* pattern)
{
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA((folder + pattern).c_str(), &data));
    if (!find)
        return "";
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && data.cFileName[0] != '.')
            return folder + data.cFileName + "\\";
    } while (FindNextFileA(find.get(), &data));
    return "";
}

std::string AppDataFolder()
{
    char folder[MAX_PATH] = "";
    GetRegValue(HKEY_CURRENT_USER, kShellFolders, "AppData", folder, sizeof(folder));
    return folder;
}

int ScanIE(int mode)
{
    ClearEntries();
    char folder[MAX_PATH];
    if (!FindIECookieFolder(folder))
        return 0;
    SetWalkMode(WALK_COOKIES);
    WalkFolder(folder, spBuildProc, 0, mode);
    return EntryCount();
}

int ListMozilla(const char* cookieFile)
{
    std::string text;
    if (!ReadWholeFile(cookieFile, &text))
        return 0;
    for (const std::string& line : SplitLinesKeepingEnds(text)) {
        MozillaCookie cookie;
        if (!ParseMozillaCookieLine(LineContent(line), &cookie) || cookie.domain.empty())
            continue;
        char title[128], expires[32];
        MozillaCookieTitle(cookie, title);
        CookieExpiryText(cookie.expiry, expires, sizeof(expires));
        int secure = InMyString(cookie.secure.c_str(), "TRUE") ? 1 : 0;
        if (!AddEntry(title, cookie.path.c_str(), cookie.value.c_str(), expires, INFO_MOZCOOKIE, secure))
            break;   // the list is full
    }
    return EntryCount();
}

int ScanMozilla(int mode)
{
    ClearEntries();
    char folder[MAX_PATH];
    if (!FindMozillaProfileFolder(folder))
        return 0;
    std::string cookies = std::string(folder) + "cookies.txt";
    if (mode == 0)
        return ListMozilla(cookies.c_str());
    std::string filtered = std::string(folder) + "cookiesnew.txt";
    if (WriteFilteredCookieFile(cookies.c_str(), filtered.c_str()) < 0)
        return 0;
    SetRegValue(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "UpdateCookieFile", "1");
    return 0;
}

}   // namespace

int LoadCookieFilters()
{
    FreeCookieFilters();
    RegKey key;
    if (!key.open(HKEY_CURRENT_USER, KX_NUTS_KEY, KEY_READ))
        return 0;
    ForEachValue(key.get(), [](const RegValueItem& value) {
        CookieFilter filter;
        // The unnamed value is no filter; a name too long for a filter's text cannot be one.
        if (!value.name.c_str()[0] || value.name.size() >= sizeof(filter.text))
            return;
        lstrcpynA(filter.text, value.name.c_str(), sizeof(filter.text));
        if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD))
            filter.data = (int)*(const DWORD*)value.data.data();
        else
            filter.data = atoi(value.text());
        g_filters.push_back(filter);
    });
    return (int)g_filters.size();
}

void FreeCookieFilters() { std::vector<CookieFilter>().swap(g_filters); }

int CookieFilterCount() { return (int)g_filters.size(); }

const char* CookieFilterText(int index)
{
    return index >= 0 && index < (int)g_filters.size() ? g_filters[index].text : "";
}

int CookieFilterData(int index)
{
    return index >= 0 && index < (int)g_filters.size() ? g_filters[index].data : 0;
}

int CookieMatchesFilter(const char* text)
{
    if (!text || lstrlenA(text) > COOKIE_FILTER_TEXT)
        return 0;
    for (const CookieFilter& filter : g_filters)
        if (filter.text[0] && InMyString(text, filter.text))
            return 1;
    return 0;
}

int CookieFilterNamed(const char* name)
{
    for (const CookieFilter& filter : g_filters)
        if (lstrcmpiA(filter.text, name) == 0)
            return 1;
    return 0;
}

BOOL FindIECookieFolder(char* out)
{
    char folder[MAX_PATH] = "";
    if (GetRegValue(HKEY_CURRENT_USER, KX_KEY, "IECookieFolder", folder, sizeof(folder)) &&
        HoldsIndexDat(folder, out))
        return TRUE;
    for (const char* key : {kShellFolders, kUserShellFolders})
        if (GetRegValue(HKEY_CURRENT_USER, key, "Cookies", folder, sizeof(folder)) &&
            HoldsIndexDat(folder, out))
            return TRUE;
    UINT length = GetWindowsDirectoryA(folder, MAX_PATH - 10);
    if (length > 0 && length < MAX_PATH - 10) {
        EnsureTrailingBackslash(folder, sizeof(folder));
        lstrcatA(folder, "Cookies");
        if (HoldsIndexDat(folder, out))
            return TRUE;
    }
    NotFound(out);
    return FALSE;
}

BOOL FindMozillaProfileFolder(char* out)
{
    char chosen[MAX_PATH] = "";
    if (GetRegValue(HKEY_CURRENT_USER, KX_KEY, "CookieFolder", chosen, sizeof(chosen))) {
        EnsureTrailingBackslash(chosen, sizeof(chosen));
        lstrcpynA(out, chosen, MAX_PATH);
        return TRUE;
    }
    std::string appData = AppDataFolder();
    std::string found;
    if (!appData.empty()) {
        if (appData.back() != '\\')
            appData += '\\';
        std::string profiles = appData + "Mozilla\\Firefox\\Profiles\\";
        found = FirstSubfolder(profiles, "*.default");
        std::string preferred = FirstSubfolder(profiles, "default.*");
        if (!preferred.empty())
            found = preferred;
        if (DefaultBrowserKind() == BROWSER_NETSCAPE) {
            std::string old = FirstSubfolder(appData + "Mozilla\\Profiles\\default\\", "*");
            if (!old.empty())
                found = old;
        }
    }
    if (found.empty() || found.size() >= MAX_PATH) {
        NotFound(out);
        return FALSE;
    }
    lstrcpyA(out, found.c_str());
    return TRUE;
}

int MozillaInstalled()
{
    std::string appData = AppDataFolder();
    return !appData.empty() && IsFolder((appData + "\\Mozilla").c_str());
}

int CookieMode() { return g_cookieMode; }
void SetCookieMode(int mode) { g_cookieMode = mode; }

int CookieFamilyIsMozilla()
{
    if (IsMonitor())
        return g_cookieMode == COOKIE_MODE_MOZILLA;
    return IsMozillaKind(GetOption("Browser", BROWSER_IE));
}

int CookieScan(int mode) { return CookieScanFor(CookieFamilyIsMozilla(), mode); }

int CookieScanFor(int mozilla, int mode)
{
    if (mode == 1)
        LoadCookieFilters();
    int count = mozilla ? ScanMozilla(mode) : ScanIE(mode);
    if (mode == 1)
        FreeCookieFilters();
    return count;
}
