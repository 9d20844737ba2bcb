// Which browser opens web addresses: the cookie code needs to know whether the default one
// keeps Internet Explorer cookie files or a Mozilla cookies.txt.
#pragma once

enum BrowserKind {
    BROWSER_IE = 1, BROWSER_NETSCAPE = 2, BROWSER_FIREFOX = 3, BROWSER_MAXTHON = 4,
    BROWSER_AVANT = 5, BROWSER_MOZILLA = 6,
};

// Program of the default browser's open command (out: 512); Internet Explorer's when the
// command is empty. The length.
int DefaultBrowserPath(char* out, int capacity);
// 1 to 6 from the default browser's path; an unknown browser counts as Internet Explorer.
int DefaultBrowserKind();
// 1 for the kinds whose cookies live in a Mozilla-family cookies.txt (2, 3 and 6).
int IsMozillaKind(int kind);
