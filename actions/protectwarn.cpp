#include "protectwarn.h"
#include "dialogs_explorer.h"
#include "handles.h"
#include "pathutil.h"
#include "resstring.h"
#include "textutil.h"
#include "versioninfo.h"
#include "winpos.h"

const WindowPosNames kWarningPos = {"xDefaultWarning", "yDefaultWarning", "dxDefaultWarning",
                                    "dyDefaultWarning"};

namespace {

struct WarningState {
    const char* title;
    const char* command;
    GdiObject boldFont;
};

// Control 1179: the title, or the Microsoft-file sentence when the file says it is one.
void SetFileText(HWND dialog, const WarningState& state)
{
    char program[260];
    GetProgramFile(state.command, program);
    VersionStrings versions;
    GetVersionStrings(program, &versions);
    char text[512];
    char format[256];
    if (InMyString(versions.slot[VS_LEGAL_COPYRIGHT], "Microsoft") &&
        LoadResString(909, format, sizeof(format)) > 0) {
        const char* values[] = {state.title};
        FillTextSlots(format, values, 1, text, sizeof(text));
    } else
        lstrcpynA(text, state.title, sizeof(text));
    SetDlgItemTextA(dialog, IDC_WARNING_FILE, text);
}

void InitWarning(HWND dialog, WarningState* state)
{
    SetWindowLongPtrA(dialog, DWLP_USER, (LONG_PTR)state);
    char caption[256];
    if (LoadResString(972, caption, sizeof(caption)) > 0)
        SetWindowTextA(dialog, caption);
    RestoreWindowPosition(dialog, kWarningPos);

    HWND command = GetDlgItem(dialog, IDC_WARNING_COMMAND);
    LOGFONTA font = {};
    HFONT dialogFont = (HFONT)SendMessageA(dialog, WM_GETFONT, 0, 0);
    if (dialogFont && GetObjectA(dialogFont, sizeof(font), &font)) {
        font.lfWeight = FW_BOLD;
        state->boldFont.reset(CreateFontIndirectA(&font));
        if (state->boldFont.get())
            SendMessageA(command, WM_SETFONT, (WPARAM)state->boldFont.get(), FALSE);
    }
    SetWindowTextA(command, state->command);
    SetDlgItemResString(dialog, IDC_WARNING_TEXT, 907);
    SetFileText(dialog, *state);
    SetDlgItemResString(dialog, IDC_WARNING_CONFIRM, 906);
}

INT_PTR CALLBACK WarningProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitWarning(dialog, (WarningState*)lParam);
        return TRUE;
    case WM_COMMAND:
        // Only OK closes the warning; Escape and the close box do nothing.
        if (LOWORD(wParam) == IDOK) {
            int yes = IsDlgButtonChecked(dialog, IDC_WARNING_CONFIRM) == BST_CHECKED;
            SaveWindowPosition(dialog, kWarningPos);
            EndDialog(dialog, yes ? IDYES : IDNO);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

int ShowProtectionWarning(HWND owner, const char* title, const char* command)
{
    WarningState state{title ? title : "", command ? command : "", GdiObject()};
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr),
                                     MAKEINTRESOURCEA(IDD_PROTECTION_WARNING), owner, WarningProc,
                                     (LPARAM)&state);
    return result == IDYES;
}
