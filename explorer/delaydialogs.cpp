#include "delaydialogs.h"
#include "delaystart.h"
#include "elevate.h"
#include "refusal.h"
#include "writefault.h"
#include "dialogs_delay.h"
#include "keys.h"
#include "registry.h"
#include "resstring.h"
#include "sysmessage.h"
#include <commdlg.h>
#include <cstdio>
#include <cstdlib>

// Edit fields of the options dialog hold up to this many characters.
static const int kFieldChars = 256;

static INT_PTR CALLBACK ProgramTypeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: {
        char caption[128] = "";
        if (LoadResString(1129, caption, sizeof(caption)))
            SetWindowTextA(dialog, caption);
        SetDlgItemResString(dialog, IDC_TYPE_QUESTION, 1126);
        SetDlgItemResString(dialog, IDC_TYPE_ALL_USERS, 1127);
        SetDlgItemResString(dialog, IDC_TYPE_CURRENT_USER, 1128);
        CheckRadioButton(dialog, IDC_TYPE_ALL_USERS, IDC_TYPE_CURRENT_USER, IDC_TYPE_CURRENT_USER);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            EndDialog(dialog, IsDlgButtonChecked(dialog, IDC_TYPE_ALL_USERS) == BST_CHECKED ? 1 : 2);
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

int AskStartupProgramType(HWND owner)
{
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRAM_TYPE),
                                     owner, ProgramTypeProc, 0);
    return result == 1 || result == 2 ? (int)result : 0;
}

struct DelayOptionsTarget {
    HKEY root;
    const char* program;
    DelayOptionValues* values;
};

static void FillOptions(HWND dialog, const DelayOptionsTarget* target)
{
    SetDlgItemTextA(dialog, IDC_DELAY_PROGRAM, target->program);
    HWND minutes = GetDlgItem(dialog, IDC_DELAY_MINUTES);
    HWND seconds = GetDlgItem(dialog, IDC_DELAY_SECONDS);
    HWND openAs = GetDlgItem(dialog, IDC_DELAY_OPENAS);
    char text[kFieldChars + 1];
    for (int m = 0; m <= 60; m++) {
        snprintf(text, sizeof(text), "%d", m);
        SendMessageA(minutes, CB_ADDSTRING, 0, (LPARAM)text);
    }
    for (int s = 0; s <= 50; s += 10) {
        snprintf(text, sizeof(text), "%d", s);
        SendMessageA(seconds, CB_ADDSTRING, 0, (LPARAM)text);
    }
    for (UINT id = 1138; id <= 1140; id++) {
        text[0] = 0;
        LoadResString(id, text, sizeof(text));
        SendMessageA(openAs, CB_ADDSTRING, 0, (LPARAM)text);
    }

    // Without a Time value both choices show 0.
    int time = 0;
    if (GetRegValue(target->root, KX_DELAY_TIME_KEY, target->program, text, sizeof(text)))
        time = atoi(text);
    if (time < 0)
        time = 0;
    int minute = time / 60 > 60 ? 60 : time / 60;
    SendMessageA(minutes, CB_SETCURSEL, minute, 0);
    SendMessageA(seconds, CB_SETCURSEL, (time % 60) / 10, 0);

    text[0] = 0;
    GetRegValue(target->root, KX_DELAY_OPENAS_KEY, target->program, text, sizeof(text));
    int state = atoi(text);
    SendMessageA(openAs, CB_SETCURSEL, state >= 0 && state <= 2 ? state : 0, 0);

    SendDlgItemMessageA(dialog, IDC_DELAY_PARAMETERS, EM_LIMITTEXT, kFieldChars, 0);
    SendDlgItemMessageA(dialog, IDC_DELAY_TITLE, EM_LIMITTEXT, kFieldChars, 0);
    text[0] = 0;
    GetRegValue(target->root, KX_DELAY_PARAMETERS_KEY, target->program, text, sizeof(text));
    SetDlgItemTextA(dialog, IDC_DELAY_PARAMETERS, text);
    text[0] = 0;
    GetRegValue(target->root, KX_DELAY_TITLE_KEY, target->program, text, sizeof(text));
    SetDlgItemTextA(dialog, IDC_DELAY_TITLE, text);
}

static void ReadOptions(HWND dialog, DelayOptionValues* values)
{
    LRESULT minute = SendDlgItemMessageA(dialog, IDC_DELAY_MINUTES, CB_GETCURSEL, 0, 0);
    LRESULT second = SendDlgItemMessageA(dialog, IDC_DELAY_SECONDS, CB_GETCURSEL, 0, 0);
    LRESULT state = SendDlgItemMessageA(dialog, IDC_DELAY_OPENAS, CB_GETCURSEL, 0, 0);
    values->seconds = (minute > 0 ? (int)minute : 0) * 60 + (second > 0 ? (int)second : 0) * 10;
    values->openAs = state > 0 ? (int)state : 0;
    GetDlgItemTextA(dialog, IDC_DELAY_PARAMETERS, values->parameters, sizeof(values->parameters));
    GetDlgItemTextA(dialog, IDC_DELAY_TITLE, values->title, sizeof(values->title));
}

static INT_PTR CALLBACK DelayOptionsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        FillOptions(dialog, (const DelayOptionsTarget*)lParam);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            ReadOptions(dialog, ((const DelayOptionsTarget*)GetWindowLongPtrA(dialog, DWLP_USER))->values);
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

int ShowDelayOptions(HWND owner, HKEY root, const char* program, DelayOptionValues* values)
{
    DelayOptionsTarget target = {root, program, values};
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_DELAY_OPTIONS), owner,
                           DelayOptionsProc, (LPARAM)&target) == 1;
}

int AddProgramToDelayedStart(HWND owner)
{
    char title[128] = "", filter[260] = "", folder[MAX_PATH] = "", file[MAX_PATH] = "";
    LoadResString(902, title, sizeof(title));
    int length = LoadResString(903, filter, sizeof(filter) - 1);
    // The string's percent signs stand for the separators between the filter texts.
    for (int i = 0; i < length; i++)
        if (filter[i] == '%')
            filter[i] = 0;
    filter[length] = filter[length + 1] = 0;
    if (!GetRegValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                     "ProgramFilesDir", folder, sizeof(folder)))
        lstrcpynA(folder, "C:\\Program Files", sizeof(folder));

    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof(file);
    ofn.lpstrInitialDir = folder;
    ofn.lpstrTitle = title;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
    if (!GetOpenFileNameA(&ofn))
        return 0;

    int choice = AskStartupProgramType(owner);
    if (choice == 0)
        return 0;
    if (IsDelayedProgram(choice == 1 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, file)) {
        char text[512] = "";
        LoadResString(1131, text, sizeof(text));
        KxMessageBox(owner, text, MB_OK | MB_ICONINFORMATION);
        return 0;
    }
    EntryRecord named = {};
    lstrcpynA(named.command, file, sizeof(named.command));
    if (choice == 1 && NeedsElevationFor(ELEVATED_DELAY_ADD, named)) {
        // Approved in this user's settings, which the elevated copy may not share.
        ApproveDelayed(file);
        return RunElevated(owner, ELEVATED_DELAY_ADD, named) > 0;
    }
    ClearWriteRefusal();
    if (AddDelayedProgram(file, choice == 1))
        return 1;
    NoteActionFailure();
    TellRefusal(owner);
    return 0;
}
