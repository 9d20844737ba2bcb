#include "helppage.h"
#include "monitorseams.h"
#include "onlineinfo.h"
#include "program.h"
#include "resstring.h"
#include <shellapi.h>
#include <cstdio>
#include <string>

static int (*g_helpSeam)(HWND, int);

void SetHelpPageSeam(int (*opener)(HWND, int)) { g_helpSeam = opener; }

void HelpFileName(int pageId, char* out, int capacity)
{
    const char* page = pageId == 6051 ? "helpme.html" : "features.html";
    char code[16] = "";
    LoadResString(634, code, sizeof(code));
    if (code[0] && lstrcmpiA(code, "us") != 0)
        snprintf(out, capacity, "%s_%s", code, page);
    else
        snprintf(out, capacity, "%s", page);
}

int OpenHelpPage(HWND owner, int pageId)
{
    if (g_helpSeam)
        return g_helpSeam(owner, pageId);
    char name[MAX_PATH], path[MAX_PATH];
    HelpFileName(pageId, name, sizeof(name));
    ProgramFilePath(name, path, sizeof(path));
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
        // A copy installed without its help pages shows them from the web, as the manager does.
        std::string address = std::string(KX_HELP_SITE) + name;
        return OpenWebPage(address.c_str());
    }
    return (INT_PTR)ShellExecuteA(owner, "open", path, nullptr, ProgramFolder(), SW_SHOWNORMAL) > 32;
}
