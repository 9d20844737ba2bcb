#include "restartview.h"
#include "program.h"
#include "resstring.h"
#include "sysfiles.h"
#include <string>

// Dialog 196 is carried by both programs (resources/dialogs_shared.rc).
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
            EndDialog(dialog, DeleteRestartCommands() ? 1 : 0);
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

int ShowRestartCommandView(HWND owner)
{
    if (HasRestartCommands())
        return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(RESTART_VIEW), owner,
                               RestartViewProc, 0) == 1;
    // Where wininit.exe is missing nothing runs the file: nothing to show or say.
    char folder[MAX_PATH] = "";
    GetWindowsDirectoryA(folder, sizeof(folder));
    if (GetFileAttributesA((std::string(folder) + "\\wininit.exe").c_str()) == INVALID_FILE_ATTRIBUTES)
        return 0;
    char text[256] = "";
    LoadResString(59, text, sizeof(text));
    MessageBoxExA(owner, text, g_programCaption, MB_OK | MB_ICONINFORMATION, (WORD)uiLanguage);
    return 0;
}
