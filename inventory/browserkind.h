// Which browser opens web addresses: the cookie code needs to know whether the default one
// keeps Internet Explorer cookie files or a Mozilla cookies.txt.
#pragma once

enum BrowserKind {
    BROWSER_IE = 1, BROWSER_NETSCAPE = 2, BROWSER_FIREFOX = 3, BROWSER_MAXTHON = 4,
    BROWSER_AVANT = 5, BROWSER_MOZILLA = 6,
};

// Program file of the default browser: the http open command without quotes and options (it
// ends at the first ".exe" that ends a word, else before the first option); Internet
// Explorer's when the command is empty. The length.
int DefaultBrowserPath(char* out, int capacity);
// "Path" of HKLM App Paths\IEXPLORE.EXE without a trailing semicolon, then a backslash and
// fileName; empty when the value is missing.
void InternetExplorerFile(const char* fileName, char* out, int capacity);
// 1 to 6 from the default browser's program (its file name decides first: Firefox lives in a
// "Mozilla Firefox" folder); an unknown browser counts as Internet Explorer.
int DefaultBrowserKind();
// 1 for the kinds whose cookies live in a Mozilla-family cookies.txt (2, 3 and 6).
int IsMozillaKind(int kind);
