// Alert of the service check (template 171). Refusing stops and disables the service, by the
// key name of the entry shown, before the dialog ends.
#include "actionevents.h"
#include "patrolmessage.h"
#include "writefault.h"
#include "alert.h"
#include "entrylist.h"
#include "history.h"
#include "registry.h"
#include "resstring.h"
#include "serviceactions.h"
#include "services.h"
#include "textutil.h"
#include "winpos.h"
#include <cstdio>

// Boot and system start belong to drivers; for anything else 0 is also what a missing value reads.
static UINT StartTypeString(int start, bool driver)
{
    if (driver && (start == 0 || start == 1))
        return start == 0 ? 1853 : 1854;
    switch (start) {
    case 2: return 664;
    case 3: return 665;
    case 4: return 666;
    }
    return 616;
}

static void FillServiceAlert(HWND dialog)
{
    InitAlertFrame(dialog, kAlertPos, 718);
    SetDlgItemResString(dialog, 1097, 630);
    VersionStrings strings;
    FillProgramBlock(dialog, g_alert.command, &strings);
    SetDlgItemTextA(dialog, 100, g_alert.title);
    SetDlgItemResString(dialog, 1143, 900);

    char path[512];
    snprintf(path, sizeof(path), "SYSTEM\\CurrentControlSet\\Services\\%s", g_alert.service);
    char startText[128] = "", statusText[256] = "", format[1024] = "";
    bool driver = g_alert.type == DRIVER_SERVICE && RegValueExists(HKEY_LOCAL_MACHINE, path, "Start");
    LoadResString(StartTypeString(GetRegNumber(HKEY_LOCAL_MACHINE, path, "Start"), driver),
                  startText, sizeof(startText));
    ServiceStateText(g_alert.service, statusText, sizeof(statusText));
    LoadResString(901, format, sizeof(format));
    const char* values[] = {startText, statusText};
    char message[1536];
    FillTextSlots(format, values, 2, message, sizeof(message));
    SetDlgItemTextA(dialog, 1144, message);
}

// State before the stop, then stop and disable, each logged only when it was done: a line
// in the history says what happened to the service.
static void RefuseService()
{
    int action = -1;
    switch (ServiceState(g_alert.service) >> 16) {
    case SERVICE_START_PENDING: action = ACT_SERVICE_FROM_MANUAL; break;
    case SERVICE_STOP_PENDING: action = ACT_SERVICE_FROM_DISABLED; break;
    case SERVICE_RUNNING: action = ACT_SERVICE__FROM_DISABLED; break;
    }
    if (action >= 0)
        WriteHistoryLine(g_alert.title, g_alert.command, "", g_alert.type, action);
    if (SendServiceControl(g_alert.service, SERVICE_CONTROL_STOP))
        WriteHistoryLine(g_alert.title, g_alert.command, "", g_alert.type, ACT_SERVICE_STOP);
    // A driver is disabled by the check, which keeps its start type for the restore.
    if (g_alert.type == DRIVER_SERVICE)
        return;
    SetLastError(0);
    ClearWriteRefusal();
    if (SetServiceStartType(g_alert.service, SERVICE_DISABLED))
        WriteHistoryLine(g_alert.title, g_alert.command, "", g_alert.type, ACT_SERVICE_DISABLED);
    else
        TellActionRefused(ACT_SERVICE_DISABLED, g_alert.type, g_alert.title, g_alert.command,
                            GetLastError());
}

INT_PTR CALLBACK ServiceAlertProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        FillServiceAlert(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDYES:
            EndAlert(dialog, IDYES);
            return TRUE;
        case IDNO:
        case IDCANCEL:
            RefuseService();
            EndAlert(dialog, IDNO);
            return TRUE;
        }
        break;
    }
    return AlertCommonMessage(dialog, message, wParam, lParam);
}
