// Alerts of the browser add-on and hidden-file checks (templates 140 and 191).
#include "alert.h"
#include "entrylist.h"
#include "history.h"
#include "pathutil.h"
#include "resstring.h"
#include "winpos.h"

// Caption, program block, name line and message shared by both.
static void FillAddonStyleAlert(HWND dialog, UINT messageId, const char* historyTitleFallback,
                                int historyType, int historyAction, int titleInHistory)
{
    InitAlertFrame(dialog, kAlertPos, 718);
    SetDlgItemResString(dialog, 1097, 644);
    VersionStrings strings;
    FillProgramBlock(dialog, g_alert.command, &strings);
    SetDlgItemTextA(dialog, 100, g_alert.title);
    SetDlgItemResString(dialog, 1036, messageId);
    char key[260] = "";
    GetProgramFile(g_alert.command, key);
    const char* text = titleInHistory ? g_alert.title : strings.slot[VS_PRODUCT_NAME];
    if (!text[0])
        text = historyTitleFallback;
    WriteHistoryLine(text, key, strings.slot[VS_FILE_DESCRIPTION], historyType, historyAction);
}

INT_PTR CALLBACK AddonAlertProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        FillAddonStyleAlert(dialog, 701, g_alert.title, TYPE_BHO, ACT_IEHELPER_ALERT, 0);
        return TRUE;
    }
    return AlertCommonMessage(dialog, message, wParam, lParam);
}

// OK keeps the file; the button with id 2 is Delete, so Esc deletes too.
INT_PTR CALLBACK HiddenAlertProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        FillAddonStyleAlert(dialog, 1015, g_alert.title, TYPE_HIDDEN, ACT_HIDDEN_ALERT, 1);
        SetDlgItemResString(dialog, 2, 925);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            EndAlert(dialog, IDYES);
            return TRUE;
        case IDCANCEL:
            EndAlert(dialog, IDNO);
            return TRUE;
        }
        break;
    }
    return AlertCommonMessage(dialog, message, wParam, lParam);
}
