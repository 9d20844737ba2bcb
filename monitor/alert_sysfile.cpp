// Alert of the watched-system-file check (template 189). The dialog accepts or rejects the
// change itself and returns 1 when the file copy succeeded, 0 when it failed.
#include "alert.h"
#include "keys.h"
#include "program.h"
#include "registry.h"
#include "resstring.h"
#include "sysfileactions.h"
#include "sysfiles.h"
#include "systemfiles.h"
#include "sysmessage.h"
#include "winpos.h"
#include <cstdio>

static void FillSysFileAlert(HWND dialog)
{
    RestoreWindowPosition(dialog, kSysFilesPos);
    char caption[256];
    if (LoadResString(1000, caption, sizeof(caption)))
        SetWindowTextA(dialog, caption);
    SetDlgItemResString(dialog, 1025, 1001);
    SetDlgItemResString(dialog, 1026, 1002);
    SetDlgItemResString(dialog, 1027, 1003);
    SetDlgItemResString(dialog, 1174, 1004);
    SetDlgItemResString(dialog, 1039, 1005);
    SetDlgItemResString(dialog, 1170, 1006);
    SetDlgItemResString(dialog, 1171, 1007);
    SetDlgItemResString(dialog, 1172, 1008);
    SetDlgItemResString(dialog, 1173, 1009);
    SetDlgItemResString(dialog, 1014, 1010);
    SendDlgItemMessageA(dialog, 1175, WM_SETFONT, (WPARAM)AlertLargeFont(), FALSE);
    SetDlgItemTextA(dialog, 1175, g_alert.title);
    SetDlgItemTextA(dialog, 1176, g_alert.file);
    char record[400], comment[1024] = "";
    snprintf(record, sizeof(record), KX_SYSFILES_KEY "\\%s", g_alert.title);
    GetRegValue(HKEY_LOCAL_MACHINE, record, "Comment", comment, sizeof(comment));
    SetDlgItemTextA(dialog, 1028, comment);
}

// A view that failed: the system's text for the error, then out of the topmost band.
static void ViewFailed(HWND dialog)
{
    DWORD code = GetLastError();
    char system[512] = "", text[600];
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                   system, sizeof(system), nullptr);
    snprintf(text, sizeof(text), "%d  %s", (int)code, system);
    MessageBoxExA(dialog, text, g_programCaption, MB_OK | MB_ICONINFORMATION | MB_TOPMOST,
                  (WORD)uiLanguage);
}

static int ViewWatchedFile(const char* path)
{
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return 0;
    // Quoted: a path with blanks would otherwise reach Notepad as several names.
    char quoted[MAX_PATH + 3];
    snprintf(quoted, sizeof(quoted), "\"%s\"", path);
    return (INT_PTR)ShellExecuteA(nullptr, "open", SystemFilePath("notepad.exe").c_str(), quoted,
                                  nullptr, SW_SHOWNORMAL) > 32;
}

static int ViewSavedCopy(const char* recordName)
{
    char copy[MAX_PATH];
    SavedCopyPath(recordName, copy, sizeof(copy));
    return ViewWatchedFile(copy);
}

static void Decide(HWND dialog, int accept)
{
    int stopWatching = IsDlgButtonChecked(dialog, 1014) == BST_CHECKED;
    if (accept && GetFileAttributesA(g_alert.file) == INVALID_FILE_ATTRIBUTES) {
        ShowSystemError();
        EndAlert(dialog, 0);
        return;
    }
    int copied = accept ? AcceptSysFileChange(g_alert.title, stopWatching)
                        : RejectSysFileChange(g_alert.title, stopWatching);
    if (!copied)
        ShowSystemError();
    EndAlert(dialog, copied ? 1 : 0);
}

INT_PTR CALLBACK SysFileAlertProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        FillSysFileAlert(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case 1170:
        case 1171: {
            int viewed = LOWORD(wParam) == 1170 ? ViewWatchedFile(g_alert.file)
                                                : ViewSavedCopy(g_alert.title);
            if (!viewed)
                ViewFailed(dialog);
            SetWindowPos(dialog, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            return TRUE;
        }
        case 1172:
        case IDCANCEL:   // Esc accepts, as in the other alerts
            Decide(dialog, 1);
            return TRUE;
        case 1173:
            Decide(dialog, 0);
            return TRUE;
        }
        break;
    case WM_CLOSE:
        AlertClosing(dialog, kSysFilesPos);
        break;
    case WM_DESTROY:
        AlertClosing(dialog, kSysFilesPos);
        break;
    }
    return FALSE;
}
