#include "browserkind.h"
#include "registry.h"
#include "textutil.h"
#include <windows.h>
#include <cstring>

static const char kHttpCommandKey[] = "SOFTWARE\\Classes\\HTTP\\shell\\open\\command";
static const char kIExploreKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE";

int DefaultBrowserPath(char* out, int capacity)
{
    if (capacity <= 0)
        return 0;
    out[0] = 0;
    char command[512] = "";
    GetRegValue(HKEY_LOCAL_MACHINE, kHttpCommandKey, "", command, sizeof(command));
    // Quotes out; options begin at the first hyphen, after the blank in front of it.
    int n = 0;
    for (const char* p = command; *p && n < (int)sizeof(command) - 1; p++)
        if (*p != '"')
            command[n++] = *p;
    command[n] = 0;
    char* hyphen = strchr(command, '-');
    if (hyphen)
        *(hyphen > command ? hyphen - 1 : hyphen) = 0;
    if (!command[0]) {
        char folder[512] = "";
        GetRegValue(HKEY_LOCAL_MACHINE, kIExploreKey, "Path", folder, sizeof(folder));
        size_t length = strlen(folder);
        if (length && folder[length - 1] == ';')
            folder[length - 1] = 0;
        if (folder[0]) {
            lstrcpynA(command, folder, sizeof(command) - 14);
            lstrcatA(command, "\\IExplore.exe");
        }
    }
    lstrcpynA(out, command, capacity);
    return lstrlenA(out);
}

int DefaultBrowserKind()
{
    char path[512];
    DefaultBrowserPath(path, sizeof(path));
    static const struct {
        const char* part;
        int kind;
    } kKinds[] = {{"iexplore", BROWSER_IE}, {"netscp", BROWSER_NETSCAPE}, {"maxthon", BROWSER_MAXTHON},
                  {"avant", BROWSER_AVANT}, {"mozilla", BROWSER_MOZILLA}, {"firefox", BROWSER_FIREFOX}};
    for (const auto& k : kKinds)
        if (InMyString(path, k.part))
            return k.kind;
    return BROWSER_IE;
}

int IsMozillaKind(int kind)
{
    return kind == BROWSER_NETSCAPE || kind == BROWSER_FIREFOX || kind == BROWSER_MOZILLA;
}
