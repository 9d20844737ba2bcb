#include "browserkind.h"
#include "pathutil.h"
#include "registry.h"
#include "textutil.h"
#include <windows.h>
#include <cstdio>
#include <cstring>
#include <string>

void InternetExplorerFile(const char* fileName, char* out, int capacity)
{
    char folder[REG_READ_BUFFER];
    out[0] = 0;
    if (GetRegValue(HKEY_LOCAL_MACHINE,
                    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE",
                    "Path", folder, sizeof(folder)) <= 0)
        return;
    size_t n = strlen(folder);
    if (n && folder[n - 1] == ';')
        folder[n - 1] = 0;
    snprintf(out, capacity, "%s\\%s", folder, fileName);
}

int DefaultBrowserPath(char* out, int capacity)
{
    if (capacity <= 0)
        return 0;
    char command[512] = "";
    GetRegValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\HTTP\\shell\\open\\command", "", command,
                sizeof(command));
    std::string s;
    for (const char* p = command; *p; p++)
        if (*p != '"')
            s += *p;
    // The program ends at the first ".exe" that ends a word; a hyphen inside a folder name
    // then cannot cut it. Without one, the text before the first option is the program.
    size_t end = std::string::npos;
    for (size_t i = 0; i + 4 <= s.size() && end == std::string::npos; i++)
        if (lstrcmpiA(s.substr(i, 4).c_str(), ".exe") == 0 &&
            (i + 4 == s.size() || s[i + 4] == ' '))
            end = i + 4;
    size_t hyphen = s.find('-');
    if (end != std::string::npos)
        s.resize(end);
    else if (hyphen != std::string::npos)
        s.resize(hyphen > 0 ? hyphen - 1 : 0);
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    if (s.empty()) {
        char ie[MAX_PATH + 16];
        InternetExplorerFile("IExplore.exe", ie, sizeof(ie));
        s = ie;
    }
    lstrcpynA(out, s.c_str(), capacity);
    return lstrlenA(out);
}

int DefaultBrowserKind()
{
    char path[512];
    DefaultBrowserPath(path, sizeof(path));
    CharLowerA(path);
    const struct { const char* part; int kind; } kKinds[] = {
        {"iexplore", BROWSER_IE},  {"netscp", BROWSER_NETSCAPE}, {"maxthon", BROWSER_MAXTHON},
        {"avant", BROWSER_AVANT}, {"mozilla", BROWSER_MOZILLA},  {"firefox", BROWSER_FIREFOX}};
    // The program's own name decides first: Firefox lives in a "Mozilla Firefox" folder.
    for (const char* text : {(const char*)FileNamePart(path), (const char*)path})
        for (const auto& k : kKinds)
            if (strstr(text, k.part))
                return k.kind;
    return BROWSER_IE;
}

int IsMozillaKind(int kind)
{
    return kind == BROWSER_NETSCAPE || kind == BROWSER_FIREFOX || kind == BROWSER_MOZILLA;
}
