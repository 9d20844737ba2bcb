#include "explorerstart.h"
#include "monitorseams.h"
#include "monitorstate.h"
#include "program.h"
#include "resstring.h"
#include "sysmessage.h"
#include "trace.h"
#include <shellapi.h>

static int (*g_starter)(const char*) = nullptr;

void SetExplorerStarter(int (*starter)(const char*)) { g_starter = starter; }

const char* ExplorerSwitchForCommand(int command)
{
    switch (command) {
    case 6026: return "-START";
    case 6028: return "-NUTS";
    case 6029: return "-TASK";
    case 6033: return "-OPTIONS";
    case 6038: return "-SERVICE";
    case 6039: return "-SCHEDULE";
    case 6040: return "-BHO";
    case 6042: return "-FILETYPES";
    case 6046: return "-MONITOR";
    case 6047: return "-BLACKLIST";
    case 6052: return "-HIDDEN";
    case 6055: return "-DELAY";
    default: return nullptr;
    }
}

int StartExplorer(const char* pageSwitch)
{
    if (g_starter)
        return g_starter(pageSwitch);
    Trace("StartExplorer", pageSwitch);
    char path[MAX_PATH + 16];
    ProgramFilePath("KestrixEx.exe", path, sizeof(path));
    HINSTANCE result = ShellExecuteA(g_monitorWindow, "open", path, pageSwitch, ProgramFolder(),
                                     SW_SHOWNORMAL);
    if ((INT_PTR)result > 32)
        return 1;
    char text[512];
    if (LoadResString(795, text, sizeof(text)))
        KxMessageBox(nullptr, text, MB_OK | MB_ICONERROR | MB_TOPMOST);
    return 0;
}
