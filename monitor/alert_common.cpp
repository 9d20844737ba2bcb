// What every alert dialog shares: the current alert, the runner, the program block with
// icon and version texts, fonts, position and the end of a dialog.
#include "alert.h"
#include "alertevents.h"
#include "monitorseams.h"
#include "fonts.h"
#include "onlineinfo.h"
#include "pathutil.h"
#include "resstring.h"
#include "signature.h"
#include "winpos.h"
#include <cstring>
#include <initializer_list>

CurrentAlert g_alert;

static AlertDialogSeam g_dialogSeam;

void SetCurrentAlert(int type, const char* title, const char* command)
{
    memset(&g_alert, 0, sizeof(g_alert));
    g_alert.type = type;
    lstrcpynA(g_alert.title, title ? title : "", sizeof(g_alert.title));
    lstrcpynA(g_alert.command, command ? command : "", sizeof(g_alert.command));
}

void ClearCurrentAlert()
{
    g_alert.title[0] = 0;
    g_alert.command[0] = 0;
    g_alert.previous[0] = 0;
    g_alert.file[0] = 0;
}

void SetAlertDialogSeam(AlertDialogSeam seam) { g_dialogSeam = seam; }

static INT_PTR RunAlertDialog(HWND owner, int templateId)
{
    if (g_dialogSeam)
        return g_dialogSeam(owner, templateId);
    DLGPROC proc = AlertDialogProc(templateId);
    if (!proc)
        return -1;
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId), owner, proc, 0);
}

INT_PTR ShowAlertDialog(HWND owner, int templateId)
{
    // The dialog clears the current alert as it ends; the answer is told from this copy.
    CurrentAlert asked = g_alert;
    ReportAlertShown(templateId, asked);
    INT_PTR result = RunAlertDialog(owner, templateId);
    ReportAlertAnswer(templateId, asked, result);
    return result;
}

DLGPROC AlertDialogProc(int templateId)
{
    switch (templateId) {
    case ALERT_STARTUP: return StartupAlertProc;
    case ALERT_DELAYED_BACK: return DelayedBackAlertProc;
    case ALERT_ADDON: return AddonAlertProc;
    case ALERT_TASK: return TaskAlertProc;
    case ALERT_SERVICE: return ServiceAlertProc;
    case ALERT_HIDDEN: return HiddenAlertProc;
    case ALERT_FILETYPE: return FileTypeAlertProc;
    case ALERT_SYSFILE: return SysFileAlertProc;
    }
    return nullptr;
}

void AlertClosing(HWND dialog, const WindowPosNames& position)
{
    SaveWindowPosition(dialog, position);
}

HFONT AlertLargeFont() { return GetAlertFont(FONT_VERDANA_10_BOLD); }

HFONT AlertBoldFont() { return GetAlertFont(FONT_SANS_8_BOLD); }

void InitAlertFrame(HWND dialog, const WindowPosNames& position, UINT captionString)
{
    char caption[256];
    if (LoadResString(captionString, caption, sizeof(caption)))
        SetWindowTextA(dialog, caption);
    SetDlgItemResString(dialog, 1067, 641);
    SetDlgItemResString(dialog, 6, 719);
    SetDlgItemResString(dialog, 7, 720);
    if (GetDlgItem(dialog, 100))
        SendDlgItemMessageA(dialog, 100, WM_SETFONT, (WPARAM)AlertLargeFont(), FALSE);
    if (GetDlgItem(dialog, 1026))
        SendDlgItemMessageA(dialog, 1026, WM_SETFONT, (WPARAM)AlertBoldFont(), FALSE);
    RestoreWindowPosition(dialog, position);
}

void ShowProgramIcon(HWND dialog, int buttonId, const char* command)
{
    char key[260];
    if (!command || GetProgramFile(command, key) == 0 || !FileExists(key, sizeof(key)))
        return;
    HICON icon = ExtractIconA(GetModuleHandleA(nullptr), key, 0);
    if (!icon || icon == (HICON)1)
        return;
    HICON old = (HICON)SendDlgItemMessageA(dialog, buttonId, BM_SETIMAGE, IMAGE_ICON, (LPARAM)icon);
    if (old)
        DestroyIcon(old);
}

void ReleaseAlertIcons(HWND dialog)
{
    static const int kIconButtons[] = {117, 1112, 1116};
    for (int id : kIconButtons) {
        if (!GetDlgItem(dialog, id))
            continue;
        HICON icon = (HICON)SendDlgItemMessageA(dialog, id, BM_SETIMAGE, IMAGE_ICON, 0);
        if (icon)
            DestroyIcon(icon);
    }
}

// Version text into a field, leaving the template's face when the file has none.
static void SetVersionField(HWND dialog, int id, const char* text)
{
    if (text[0] && GetDlgItem(dialog, id))
        SetDlgItemTextA(dialog, id, text);
}

// Marks a publisher control whose text should stand out (read when it is drawn).
static const char kAlarmProp[] = "KxAlarm";

void ShowAlertPublisher(HWND dialog, int id, const char* programFile, const char* company)
{
    HWND control = GetDlgItem(dialog, id);
    if (!control)
        return;
    char path[260];
    lstrcpynA(path, programFile ? programFile : "", sizeof(path));
    if (path[0])
        FileExists(path, sizeof(path));
    SignatureResult signature;
    GetFileSignature(path, &signature);
    char text[300];
    PublisherText(signature, company, text, sizeof(text));
    SetWindowTextA(control, text);
    if (IsAlarmingSignature(signature))
        SetPropA(control, kAlarmProp, (HANDLE)1);
    else
        RemovePropA(control, kAlarmProp);
}

int FillProgramBlock(HWND dialog, const char* command, VersionStrings* strings)
{
    memset(strings, 0, sizeof(*strings));
    SetDlgItemTextA(dialog, 1026, command ? command : "");
    ShowProgramIcon(dialog, 117, command);
    char key[260] = "";
    int found = 0;
    if (command && GetProgramFile(command, key) > 0)
        found = GetVersionStrings(key, strings);
    SetVersionField(dialog, 1029, strings->slot[VS_PRODUCT_VERSION]);
    SetVersionField(dialog, 1030, strings->slot[VS_COMPANY_NAME]);
    SetVersionField(dialog, 1031, strings->slot[VS_FILE_DESCRIPTION]);
    SetVersionField(dialog, 1032, strings->slot[VS_LEGAL_COPYRIGHT]);
    ShowAlertPublisher(dialog, IDC_ALERT_PUBLISHER, command && command[0] ? key : "",
                       strings->slot[VS_COMPANY_NAME]);
    return found;
}

void EndAlert(HWND dialog, INT_PTR result)
{
    ClearCurrentAlert();
    EndDialog(dialog, result);
}

void AlertInfoButton(HWND dialog, int type, const char* path)
{
    // The lookup tells an alert from a listed entry by the type code moved up by 1000.
    ShowOnlineInformation(type + 1000, path, "");
    SetWindowPos(dialog, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

INT_PTR AlertCommonMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CTLCOLORSTATIC:
        if (lParam && GetPropA((HWND)lParam, kAlarmProp)) {
            HDC dc = (HDC)wParam;
            SetTextColor(dc, RGB(192, 0, 0));
            SetBkMode(dc, TRANSPARENT);
            return (INT_PTR)GetSysColorBrush(COLOR_3DFACE);
        }
        break;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDYES:
        case IDCANCEL:   // Esc accepts, as Yes does
            EndAlert(dialog, IDYES);
            return TRUE;
        case IDNO:
            EndAlert(dialog, IDNO);
            return TRUE;
        case 1067:
            AlertInfoButton(dialog, g_alert.type, g_alert.command);
            return TRUE;
        }
        break;
    case WM_CLOSE:
        AlertClosing(dialog, kAlertPos);
        break;
    case WM_DESTROY:
        AlertClosing(dialog, kAlertPos);
        ReleaseAlertIcons(dialog);
        for (int id : {IDC_ALERT_PUBLISHER, IDC_ALERT_PUBLISHER_OLD, IDC_ALERT_PUBLISHER_NEW})
            if (HWND control = GetDlgItem(dialog, id))
                RemovePropA(control, kAlarmProp);
        break;
    }
    return FALSE;
}
