// Alert of the file-type check (template 143): the stored program above, the new one below.
#include "alert.h"
#include "entrylist.h"
#include "pathutil.h"
#include "resstring.h"
#include "winpos.h"

// One program block of the dialog: path, icon, product and company.
static void FillFileTypeProgram(HWND dialog, const char* program, int pathId, int iconId,
                                int productId, int companyId, int publisherId)
{
    SetDlgItemTextA(dialog, pathId, program);
    ShowProgramIcon(dialog, iconId, program);
    VersionStrings strings;
    char key[260] = "";
    if (GetProgramFile(program, key) > 0)
        GetVersionStrings(key, &strings);
    else
        strings.slot[VS_PRODUCT_NAME][0] = strings.slot[VS_COMPANY_NAME][0] = 0;
    SetDlgItemTextA(dialog, productId, strings.slot[VS_PRODUCT_NAME]);
    SetDlgItemTextA(dialog, companyId, strings.slot[VS_COMPANY_NAME]);
    ShowAlertPublisher(dialog, publisherId, key, strings.slot[VS_COMPANY_NAME]);
}

static void FillFileTypeAlert(HWND dialog)
{
    InitAlertFrame(dialog, kAlertPos, 760);
    SendDlgItemMessageA(dialog, 1121, WM_SETFONT, (WPARAM)AlertLargeFont(), FALSE);
    SetDlgItemTextA(dialog, 1121, g_alert.title);
    SetDlgItemResString(dialog, 1122, 756);
    SetDlgItemResString(dialog, 1123, 757);
    SetDlgItemResString(dialog, 1124, 758);
    SetDlgItemResString(dialog, 1125, 759);
    SetDlgItemResString(dialog, 1115, 301);
    SetDlgItemResString(dialog, 1120, 301);
    FillFileTypeProgram(dialog, g_alert.command, 1113, 1112, 1111, 1114, IDC_ALERT_PUBLISHER_OLD);
    FillFileTypeProgram(dialog, g_alert.previous, 1117, 1116, 1118, 1119, IDC_ALERT_PUBLISHER_NEW);
}

INT_PTR CALLBACK FileTypeAlertProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        FillFileTypeAlert(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case 1115:
            AlertInfoButton(dialog, g_alert.type, g_alert.command);
            return TRUE;
        case 1120:
            AlertInfoButton(dialog, g_alert.type, g_alert.previous);
            return TRUE;
        }
        break;
    }
    return AlertCommonMessage(dialog, message, wParam, lParam);
}
