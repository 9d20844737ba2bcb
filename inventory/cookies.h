// The current user's browser cookies: the Internet Explorer cookie folder (one text file per
// cookie) and the Mozilla-family cookies.txt of the profile, and the filter words ("nuts")
// that condemn cookies.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "keys.h"

#define KX_NUTS_KEY KX_KEY "\\Nuts"
#define KX_COOKIES_KEY KX_KEY "\\Cookies"

// Data of a Nuts value: a word the user typed, or one Mozilla cookie marked for removal
// (named by its list title).
const int NUT_WORD = 1;
const int NUT_MARKED_COOKIE = 2;
const int COOKIE_FILTER_TEXT = 512;      // a filter's text, terminator included
const int MAX_COOKIE_FILTERS = 256;      // words the user may add

// --- The filter list, held apart from the entry list ---

// Frees the list and reads every Nuts value into it; the count. Unnamed values are passed
// over: an empty word would condemn every cookie.
int LoadCookieFilters();
void FreeCookieFilters();
int CookieFilterCount();
const char* CookieFilterText(int index);   // "" out of range
int CookieFilterData(int index);
// 1 when the text (at most 512 characters) contains any filter's text, in any case.
int CookieMatchesFilter(const char* text);
// 1 when a filter has exactly this name (without regard to case).
int CookieFilterNamed(const char* name);

// --- Where the cookies are ---

// The Internet Explorer cookie folder, ending in "\": the IECookieFolder choice, the Cookies
// shell folder (Shell Folders, then User Shell Folders) or the Windows folder's Cookies, the
// first that holds an index.dat. On failure out holds string 968 "Cookie Folder Not Found".
// out: MAX_PATH.
BOOL FindIECookieFolder(char* out);
// The Mozilla profile folder, ending in "\": the CookieFolder choice, else the Firefox
// profile ("default.*" before "*.default"), or for Netscape the old Mozilla profile. On
// failure out holds string 968. out: MAX_PATH.
BOOL FindMozillaProfileFolder(char* out);
// 1 when the application-data folder has a Mozilla folder.
int MozillaInstalled();

// The monitor's cookie mode: 1 Internet Explorer, 3 Mozilla family (set by the filter check).
const int COOKIE_MODE_IE = 1;
const int COOKIE_MODE_MOZILLA = 3;
int CookieMode();
void SetCookieMode(int mode);
// The family a scan works on: in the monitor its cookie mode, in the explorer the option
// Browser the cookie filter page writes. 1 for the Mozilla family.
int CookieFamilyIsMozilla();

// --- The Mozilla cookie file ---

struct MozillaCookie {
    std::string domain, hostOnly, path, secure, expiry, name, value;
};
// One line without its line end. 1 when it is a cookie: not a comment and seven TAB-separated
// fields (a value holding further TABs keeps them).
int ParseMozillaCookieLine(const std::string& line, MozillaCookie* out);
// "domain - name", the domain without a leading full stop (out: 128, cut).
void MozillaCookieTitle(const MozillaCookie& cookie, char* out);
// Expiry seconds since 1970 (UTC) in the user's date-time form; empty when out of range.
void CookieExpiryText(const std::string& seconds, char* out, int capacity);

// Splits text into lines, each with its own line end ("\n" or "\r\n", none for a last line
// without one), so that joining them again gives the text back byte for byte.
std::vector<std::string> SplitLinesKeepingEnds(const std::string& text);
// Content of a line without its line end.
std::string LineContent(const std::string& line);
// 1 when the filter condemns the line: a filter's text occurs in it (its first 512
// characters), or it is a cookie whose list title is a Nuts name.
int FilterCondemnsLine(const std::string& line);

// Writes the lines of from that the loaded filters keep to a temporary file beside to, which
// then replaces to; nothing is changed when a step fails. The number of lines dropped, -1
// on failure.
int WriteFilteredCookieFile(const char* from, const char* to);

// --- Scans ---

// Mode 0 lists the cookies of the family in use into the entry list; mode 1 filters them
// (loading the filters first and freeing them after): Internet Explorer cookie files the
// filter condemns are deleted and the rest listed; for Mozilla the kept lines go to
// cookiesnew.txt in the profile folder and UpdateCookieFile is set. The number listed.
int CookieScan(int mode);
int CookieScanFor(int mozilla, int mode);
