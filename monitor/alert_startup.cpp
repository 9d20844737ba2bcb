// The startup alerts: a new autostart program (131) and a delayed program that has put
// itself back into Windows' own startup (192), with the repeated-alert rule.
#include "alert.h"
#include "entrylist.h"
#include "helppage.h"
#include "history.h"
#include "options.h"
#include "pathutil.h"
#include "resstring.h"
#include "textutil.h"
#include "valueplaces.h"
#include "winpos.h"
#include <cstdio>
#include <cstring>

// The same program alerting again and again is answered by disabling it.
static int g_repeatCount;
static char g_repeatCommand[260];

void ResetRepeatedAlert()
{
    g_repeatCount = 0;
    g_repeatCommand[0] = 0;
}

int RepeatedAlertCount() { return g_repeatCount; }

static void NoteRepeatedAlert(const char* command)
{
    // Counted per program: another program in between starts the count again.
    if (lstrcmpiA(command, g_repeatCommand) == 0)
        g_repeatCount++;
    else
        g_repeatCount = 0;
    lstrcpynA(g_repeatCommand, command, sizeof(g_repeatCommand));
}

// Text for the "%s" of string 7, chosen by the entry's type.
static UINT StartupReasonString(int type)
{
    switch (type) {
    case 2: case 3: case 5: case 6: case 12: case 13: case 15: case 16:
    case 22: case 23: case 25: case 26:
    case MACHINE32_RUNONCE: case MACHINE32_RUNONCEEX: case MACHINE32_RUNSERVICESONCE:
    case MACHINE32_RUNONCESETUP:
        return 766;
    case WIN_LOAD: case WIN_RUN:
        return 767;
    case GROUP_STARTUP:
        return 768;
    }
    return 765;
}

static const char* LocationLabel(int type)
{
    REGSAM view;
    if (HookOfCode(type, &view))
        type = HookOfCode(type, &view);   // a 32-bit view's hook reads as its namesake
    switch (type) {
    case WINLOGON_Userinit: return "WinLogon:UserInit";
    case WINLOGON_Shell: return "WinLogon:Shell";
    case REG_Delayload: return "ObjectDelayLoad";
    case REG_TaskScheduler: return "SharedTaskScheduler";
    case REG_AppInitDLLs: return "AppInit_DLLs";
    }
    return nullptr;
}

// Name line: the product name; for Winlogon and hook entries the location instead. A
// file without a product name shows the entry's title, so the user still sees what it is.
static void StartupNameLine(const VersionStrings& strings, char* out, int capacity)
{
    REGSAM view;
    if (const ValuePlace* place = ValuePlaceOfCode(g_alert.type, &view)) {
        // The place is the news: "IFEO Debugger: notepad.exe".
        const char* label = strstr(place->logPrefix, " - ");
        snprintf(out, capacity, "%s%s: %s", label ? label + 3 : place->logPrefix,
                 view ? " (32-bit)" : "", g_alert.title);
        return;
    }
    const char* name = strings.slot[VS_PRODUCT_NAME];
    const char* label = LocationLabel(g_alert.type);
    if (name[0] && label)
        name = label;
    if (!name[0])
        name = g_alert.title;
    lstrcpynA(out, name, capacity);
}

static void FillStartupMessage(HWND dialog)
{
    char text[1024], reason[1024];
    LoadResString(7, text, sizeof(text));
    if (strstr(text, "%s")) {
        LoadResString(StartupReasonString(g_alert.type), reason, sizeof(reason));
        const char* values[] = {reason};
        char message[2048];
        FillTextSlots(text, values, 1, message, sizeof(message));
        SetDlgItemTextA(dialog, 1036, message);
    } else {
        SetDlgItemTextA(dialog, 1036, text);
    }
}

// Yes, Cancel or No once the repeated-alert rule has had its say.
static void AnswerStartupAlert(HWND dialog, int yes)
{
    if (g_repeatCount >= 2) {
        ResetRepeatedAlert();
        if (yes) {
            OpenHelpPage(dialog, 6051);
            EndAlert(dialog, ALERT_RESULT_DISABLE);
        } else {
            suppressAlerts = 2;
            EndAlert(dialog, ALERT_RESULT_DISABLE);
            OpenHelpPage(dialog, 6051);
        }
        return;
    }
    if (yes)
        EndAlert(dialog, IDYES);
    else
        EndAlert(dialog, g_alert.type == RUN_WINLOGONNOTIFY ? ALERT_RESULT_DISABLE : IDNO);
}

INT_PTR CALLBACK StartupAlertProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        InitAlertFrame(dialog, kAlertPos, 718);
        SetDlgItemResString(dialog, 1097, 630);
        VersionStrings strings;
        FillProgramBlock(dialog, g_alert.command, &strings);
        char name[260];
        StartupNameLine(strings, name, sizeof(name));
        SetDlgItemTextA(dialog, 100, name);
        FillStartupMessage(dialog);
        ShowWindow(GetDlgItem(dialog, 1014), SW_HIDE);
        EnableWindow(GetDlgItem(dialog, 1014), FALSE);

        NoteRepeatedAlert(g_alert.command);
        char key[260] = "";
        GetProgramFile(g_alert.command, key);
        WriteHistoryLine(name, key, strings.slot[VS_FILE_DESCRIPTION], g_alert.type,
                         ACT_START_ALERT);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDYES:
        case IDCANCEL:
            AnswerStartupAlert(dialog, 1);
            return TRUE;
        case IDNO:
            AnswerStartupAlert(dialog, 0);
            return TRUE;
        }
        break;
    }
    return AlertCommonMessage(dialog, message, wParam, lParam);
}

INT_PTR CALLBACK DelayedBackAlertProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        InitAlertFrame(dialog, kAlertPos, 1023);
        SetDlgItemResString(dialog, 1097, 630);
        SetDlgItemResString(dialog, 7, 633);
        VersionStrings strings;
        FillProgramBlock(dialog, g_alert.command, &strings);
        const char* name = strings.slot[VS_PRODUCT_NAME];
        SetDlgItemTextA(dialog, 100, name[0] ? name : g_alert.title);
        SetDlgItemResString(dialog, 1036, 1022);
        return TRUE;
    }
    }
    return AlertCommonMessage(dialog, message, wParam, lParam);
}
