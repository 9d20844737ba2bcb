#include "patroltime.h"
#include "dialogs_options.h"
#include "policy.h"
#include "policyui.h"
#include "resstring.h"
#include <commctrl.h>
#include <cstdlib>

static const PatrolArea kAreas[] = {
    {784, "Start", &OptionSet::Start, 2, "RealtimeStartup", &OptionSet::RealtimeStartup, 1},
    {785, "IEHelpers", &OptionSet::IEHelpers, 2, "RealtimeIEHelper", &OptionSet::RealtimeIEHelper, 1},
    {786, "Tasks", &OptionSet::Tasks, 11, nullptr, nullptr, 0},
    {787, "Cookies", &OptionSet::Cookies, 0, nullptr, nullptr, 0},
    {788, "FileType", &OptionSet::FileType, 10, "RealtimeFileType", &OptionSet::RealtimeFileType, 0},
    {789, "Nuts", &OptionSet::Nuts, 0, nullptr, nullptr, 0},
    {790, "WinInit", &OptionSet::WinInit, 5, nullptr, nullptr, 0},
    {791, "StartPage", &OptionSet::StartPage, 2, "RealtimeStartPage", &OptionSet::RealtimeStartPage, 1},
    {792, "HostFile", &OptionSet::HostFile, 3, "RealtimeSysFiles", &OptionSet::RealtimeSysFiles, 1},
    {924, "Hidden", &OptionSet::Hidden, 0, "RealtimeHidden", &OptionSet::RealtimeHidden, 0},
    {957, "Services", &OptionSet::Services, 7, nullptr, nullptr, 0},
};

// The trackbar's range; the edit takes two digits, so a longer time is typed.
static const int SLIDER_MAX = 30;

const PatrolArea* FindPatrolArea(UINT caption)
{
    for (const PatrolArea& area : kAreas)
        if (area.caption == caption)
            return &area;
    return nullptr;
}

void StoreOption(const char* name, int OptionSet::*field, int value)
{
    SetOption(name, value);
    if (field)
        g_options.*field = value;
}

struct PatrolDialogState {
    const PatrolArea* area;
    UINT caption;
    int current;
    int realtimeAtStart;
};

// Only plain digits count as a number: a sign would make the result look like a cancel.
static int ReadMinutes(const char* text, int* minutes)
{
    if (!text[0])
        return 0;
    for (const char* p = text; *p; p++)
        if (*p < '0' || *p > '9')
            return 0;
    *minutes = atoi(text);
    return 1;
}

static void SetMinutes(HWND dialog, int minutes, int enabled)
{
    SetDlgItemInt(dialog, IDC_PATROL_MINUTES, minutes, FALSE);
    SendDlgItemMessageA(dialog, IDC_PATROL_SLIDER, TBM_SETPOS, TRUE, minutes);
    EnableWindow(GetDlgItem(dialog, IDC_PATROL_MINUTES), enabled);
    EnableWindow(GetDlgItem(dialog, IDC_PATROL_SLIDER), enabled);
}

static int RealtimeOn(const PatrolArea* area)
{
    return area && area->realtimeOption &&
           GetOption(area->realtimeOption, area->realtimeDefault) > 0;
}

// Step run at the start and after every click on the real-time box.
static void ShowState(HWND dialog, const PatrolDialogState& state)
{
    HWND slider = GetDlgItem(dialog, IDC_PATROL_SLIDER);
    SendMessageA(slider, TBM_SETRANGE, TRUE, MAKELPARAM(0, SLIDER_MAX));
    SendMessageA(slider, TBM_SETTICFREQ, 3, 0);
    // A time a policy sets is shown and cannot be changed.
    int timeManaged = state.area && IsPolicyManaged(state.area->patrolOption);
    if (!state.area || !state.area->realtimeOption) {
        ShowWindow(GetDlgItem(dialog, IDC_PATROL_REALTIME), SW_HIDE);
        SetMinutes(dialog, state.current, !timeManaged);
    } else if (RealtimeOn(state.area)) {
        CheckDlgButton(dialog, IDC_PATROL_REALTIME, BST_CHECKED);
        SetMinutes(dialog, 0, FALSE);
    } else {
        CheckDlgButton(dialog, IDC_PATROL_REALTIME, BST_UNCHECKED);
        SetMinutes(dialog, state.current, !timeManaged);
    }
    if (timeManaged) {
        ShowManaged(dialog, IDC_PATROL_MINUTES, 1);
        ShowManaged(dialog, IDC_PATROL_SLIDER, 1);
    }
    if (state.area && state.area->realtimeOption)
        ShowManaged(dialog, IDC_PATROL_REALTIME, IsPolicyManaged(state.area->realtimeOption));
}

static void StoreRealtime(const PatrolArea* area, int on)
{
    if (area && area->realtimeOption)
        StoreOption(area->realtimeOption, area->realtime, on ? 1 : 0);
}

static void Init(HWND dialog, PatrolDialogState* state)
{
    SetWindowLongPtrA(dialog, DWLP_USER, (LONG_PTR)state);
    char caption[128];
    if (LoadResString(state->caption, caption, sizeof(caption)))
        SetWindowTextA(dialog, caption);
    SetDlgItemResString(dialog, IDC_PATROL_TEXT, 782);
    SetDlgItemResString(dialog, IDC_PATROL_UNIT, 783);
    SetDlgItemResString(dialog, IDC_PATROL_ZERO, 802);
    SetDlgItemResString(dialog, IDCANCEL, 304);
    SetDlgItemResString(dialog, IDC_PATROL_REALTIME, 905);
    SendDlgItemMessageA(dialog, IDC_PATROL_MINUTES, EM_LIMITTEXT, 2, 0);
    state->realtimeAtStart = RealtimeOn(state->area);
    ShowState(dialog, *state);
}

static int EditMinutes(HWND dialog)
{
    char text[16] = "";
    GetDlgItemTextA(dialog, IDC_PATROL_MINUTES, text, sizeof(text));
    int minutes = 0;
    return ReadMinutes(text, &minutes) ? minutes : 0;
}

static INT_PTR CALLBACK PatrolTimeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    PatrolDialogState* state = (PatrolDialogState*)GetWindowLongPtrA(dialog, DWLP_USER);
    switch (message) {
    case WM_INITDIALOG:
        Init(dialog, (PatrolDialogState*)lParam);
        return TRUE;
    case WM_HSCROLL: {
        int position = (int)SendDlgItemMessageA(dialog, IDC_PATROL_SLIDER, TBM_GETPOS, 0, 0);
        SetDlgItemInt(dialog, IDC_PATROL_MINUTES, position, FALSE);
        EnableWindow(GetDlgItem(dialog, IDC_PATROL_MINUTES), position != 0);
        return TRUE;
    }
    case WM_COMMAND:
        if (!state)
            break;
        switch (LOWORD(wParam)) {
        case IDC_PATROL_MINUTES:
            if (HIWORD(wParam) == EN_CHANGE) {
                char text[16] = "";
                int minutes = 0;
                GetDlgItemTextA(dialog, IDC_PATROL_MINUTES, text, sizeof(text));
                if (ReadMinutes(text, &minutes))
                    SendDlgItemMessageA(dialog, IDC_PATROL_SLIDER, TBM_SETPOS, TRUE, minutes);
            }
            return TRUE;
        case IDC_PATROL_REALTIME:
            StoreRealtime(state->area, IsDlgButtonChecked(dialog, IDC_PATROL_REALTIME) == BST_CHECKED);
            ShowState(dialog, *state);
            return TRUE;
        case IDOK:
            StoreRealtime(state->area, IsDlgButtonChecked(dialog, IDC_PATROL_REALTIME) == BST_CHECKED);
            EndDialog(dialog, EditMinutes(dialog));
            return TRUE;
        case IDCANCEL:
            if (RealtimeOn(state->area) != state->realtimeAtStart)
                StoreRealtime(state->area, state->realtimeAtStart);
            EndDialog(dialog, -1);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

int PatrolTimeDialog(HWND owner, UINT caption, int current)
{
    PatrolDialogState state = {FindPatrolArea(caption), caption, current < 0 ? 0 : current, 0};
    return (int)DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PATROL_TIME), owner,
                                PatrolTimeProc, (LPARAM)&state);
}
