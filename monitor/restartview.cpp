// Command 6034 and the wininit check's Yes: the pending restart commands of wininit.ini in a
// read-only view; Delete removes the file so that none of them runs.
#include "alert.h"
#include "monitorstate.h"
#include "program.h"
#include "resstring.h"
#include "startsteps.h"
#include "sysfiles.h"
#include <windows.h>
#include <string>

static const int RESTART_VIEW = 196;

static INT_PTR CALLBACK RestartViewProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: {
        char text[256];
        if (LoadResString(30, text, sizeof(text)))
            SetWindowTextA(dialog, text);
        SetDlgItemResString(dialog, 1002, 702);
        SetDlgItemResString(dialog, 1003, 614);
        SetDlgItemResString(dialog, IDCANCEL, 304);
        SetDlgItemTextA(dialog, 1001, RestartCommandsText().c_str());
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == 1003) {
            DeleteRestartCommands();
            EndDialog(dialog, 1);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void ShowRestartCommands()
{
    if (HasRestartCommands()) {
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(RESTART_VIEW), g_monitorWindow,
                        RestartViewProc, 0);
        return;
    }
    // Where wininit.exe is missing nothing runs the file: nothing to show or say.
    char folder[MAX_PATH] = "";
    GetWindowsDirectoryA(folder, sizeof(folder));
    if (GetFileAttributesA((std::string(folder) + "\\wininit.exe").c_str()) == INVALID_FILE_ATTRIBUTES)
        return;
    char text[256] = "";
    LoadResString(59, text, sizeof(text));
    MessageBoxExA(g_monitorWindow, text, g_programCaption, MB_OK | MB_ICONINFORMATION, (WORD)uiLanguage);
}
