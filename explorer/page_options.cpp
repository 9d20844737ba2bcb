#include "page_options.h"
#include "alwaysrun.h"
#include "delaystart.h"
#include "dialogs_options.h"
#include "dialogs_pages.h"
#include "historydialog.h"
#include "options.h"
#include "pageframe.h"
#include "pages.h"
#include "patroltime.h"
#include "platform.h"
#include "policy.h"
#include "policyui.h"
#include "reportsave.h"
#include "resstring.h"
#include "sharedui.h"
#include "shellrun.h"
#include "sysfiles.h"
#include "sysmessage.h"
#include "systemfiles.h"
#include <commctrl.h>
#include <string>

int g_runAtStart;

// Values of TrayIcon: the original icon, and the one the NT family shows by default.
static const int TRAY_ICON_ORIGINAL = 159, TRAY_ICON_PLAIN = 101;

// Check boxes that are one option each.
static const struct {
    int id;
    int OptionSet::*field;
    const char* name;
} kChecks[] = {
    {IDC_OPTIONS_SOUND, &OptionSet::Sound, "Sound"},
    {IDC_OPTIONS_HISTORY, &OptionSet::History, "History"},
    {IDC_OPTIONS_LOCK_TYPES, &OptionSet::LockFileTypes, "LockFileTypes"},
    {IDC_OPTIONS_CONFIRM_EXIT, &OptionSet::ConfirmExit, "ConfirmExit"},
    {IDC_OPTIONS_VANTA, &OptionSet::VantaFormat, "VantaFormat"},
    {IDC_OPTIONS_HIDE_ICON, &OptionSet::HideRufo, "HideRufo"},
};

// The three watched areas of this page: image button, text and the patrol dialog's caption.
static const struct {
    int image, text;
    UINT textString, caption;
} kAreas[] = {
    {IDC_OPTIONS_WININIT_IMAGE, IDC_OPTIONS_WININIT_TEXT, 355, 790},
    {IDC_OPTIONS_PAGES_IMAGE, IDC_OPTIONS_PAGES_TEXT, 635, 791},
    {IDC_OPTIONS_HOSTS_IMAGE, IDC_OPTIONS_HOSTS_TEXT, 735, 792},
};

static constexpr PageLayout OptionsLayout()
{
    PageLayout layout;
    layout.bannerCount = SetTable(layout.banners, {IDC_OPTIONS_BANNER});
    layout.slotCount = SetTable(layout.slots, {{IDC_PAGE_CLOSE}});
    return layout;
}
static constexpr PageLayout kLayout = OptionsLayout();

int SetRunAtStart(int on)
{
    if (on) {
        if (AddAlwaysRun())
            g_runAtStart = 1;
    } else if (RemoveAlwaysRun()) {
        g_runAtStart = 0;
    }
    return g_runAtStart;
}

int TellMonitorTrayIcon(int hidden)
{
    HWND monitor = FindWindowA("Kestrix", nullptr);
    if (!monitor)
        return 0;
    // A monitor that hangs must not hang the options page with it.
    DWORD_PTR result = 0;
    SendMessageTimeoutA(monitor, WM_COMMAND, 6053, hidden, SMTO_ABORTIFHUNG, 5000, &result);
    return 1;
}

static void Inform(HWND owner, UINT stringId)
{
    char text[512] = "";
    if (LoadResString(stringId, text, sizeof(text)))
        KxMessageBox(owner, text, MB_OK | MB_ICONINFORMATION);
}

void ViewHostsFile(HWND owner)
{
    char hosts[MAX_PATH] = "";
    if (!GetHOSTSFile(hosts, sizeof(hosts)) || GetFileAttributesA(hosts) == INVALID_FILE_ATTRIBUTES) {
        Inform(owner, 736);
        return;
    }
    std::string quoted = std::string("\"") + hosts + "\"";
    ShellRun(owner, "open", SystemFilePath("notepad.exe").c_str(), quoted.c_str());
}

static void ShowArea(HWND page, int index)
{
    const PatrolArea* area = FindPatrolArea(kAreas[index].caption);
    int on = GetOption(area->patrolOption, area->patrolDefault) > 0;
    int realtime = area->realtimeOption &&
                   GetOption(area->realtimeOption, area->realtimeDefault) > 0;
    HBITMAP normal = !on ? g_bitmaps.monitorOff
                     : realtime ? g_bitmaps.monitorRealtime
                                : g_bitmaps.monitorOn;
    ArmImageButton(page, kAreas[index].image, normal, normal, g_bitmaps.monitorPressed,
                   kAreas[index].image);
    // Greyed when a policy sets all there is to set; the dialog still shows the values.
    ShowManaged(page, kAreas[index].image,
                IsPolicyManaged(area->patrolOption) &&
                    (!area->realtimeOption || IsPolicyManaged(area->realtimeOption)));
}

static void AskArea(HWND page, int image)
{
    for (int i = 0; i < 3; i++) {
        if (kAreas[i].image != image)
            continue;
        const PatrolArea* area = FindPatrolArea(kAreas[i].caption);
        int minutes = PatrolTimeDialog(page, area->caption,
                                       GetOption(area->patrolOption, area->patrolDefault));
        if (minutes >= 0)
            StoreOption(area->patrolOption, area->patrol, minutes);
        // The dialog may have changed the real-time switch even when cancelled.
        ShowArea(page, i);
    }
}

static void Init(HWND page)
{
    static const int kTexts[][2] = {
        {IDC_OPTIONS_BANNER, 251}, {IDC_OPTIONS_GROUP, 253}, {IDC_OPTIONS_LOCK_TYPES, 928},
        {IDC_OPTIONS_HISTORY, 709}, {IDC_OPTIONS_HIDE_ICON, 974}, {IDC_OPTIONS_TRAY_ICON, 1148},
        {IDC_OPTIONS_SOUND, 354}, {IDC_OPTIONS_VANTA, 1150}, {IDC_OPTIONS_CONFIRM_EXIT, 749},
        {IDC_OPTIONS_AUTORUN, 353}, {IDC_OPTIONS_LOG, 310}, {IDC_OPTIONS_SPREADSHEET, 1145},
        {IDC_OPTIONS_HIJACK_LOG, 1137}, {IDC_OPTIONS_VIEW_HOSTS, 734},
        {IDC_OPTIONS_VIEW_HISTORY, 727}, {IDC_OPTIONS_RESTORE_DELAYED, 1125},
        {IDC_OPTIONS_EXPORT, 853}, {IDC_PAGE_CLOSE, 304}, {IDC_PAGE_HELP_LABEL, 793},
    };
    for (const auto& text : kTexts)
        SetDlgItemResString(page, text[0], text[1]);
    for (const auto& area : kAreas)
        SetDlgItemResString(page, area.text, area.textString);
    if (!IsWindowsNT())
        ShowWindow(GetDlgItem(page, IDC_PAGE_CLOSE), SW_HIDE);
    // The page shows the values as stored, whatever the monitor changed meanwhile.
    ReadAllOptions();
    g_runAtStart = IsAlwaysRun();
    PageInit(page, PAGE_OPTIONS);
}

static void Activate(HWND page)
{
    PageActivate(page, PAGE_OPTIONS);
    for (int i = 0; i < 3; i++)
        ShowArea(page, i);
    for (const auto& check : kChecks) {
        CheckDlgButton(page, check.id, g_options.*check.field > 0 ? BST_CHECKED : BST_UNCHECKED);
        ShowManaged(page, check.id, IsPolicyManaged(check.name));
    }
    ShowManaged(page, IDC_OPTIONS_TRAY_ICON, IsPolicyManaged("TrayIcon"));
    CheckDlgButton(page, IDC_OPTIONS_AUTORUN, g_runAtStart ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_OPTIONS_TRAY_ICON,
                   GetOption("TrayIcon", DefaultTrayIcon()) != TRAY_ICON_PLAIN ? BST_CHECKED
                                                                               : BST_UNCHECKED);
    int nt = IsWindowsNT();
    ShowWindow(GetDlgItem(page, IDC_OPTIONS_WININIT_IMAGE), nt ? SW_HIDE : SW_SHOW);
    ShowWindow(GetDlgItem(page, IDC_OPTIONS_WININIT_TEXT), nt ? SW_HIDE : SW_SHOW);
    ShowWindow(GetDlgItem(page, IDC_OPTIONS_TRAY_ICON), nt ? SW_SHOW : SW_HIDE);
}

static void Disarm(HWND page)
{
    for (const auto& area : kAreas)
        DisarmImageButton(page, area.image);
}

static int Checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }

static void CheckBox(HWND page, int id)
{
    int on = Checked(page, id);
    if (id == IDC_OPTIONS_AUTORUN) {
        CheckDlgButton(page, id, SetRunAtStart(on) ? BST_CHECKED : BST_UNCHECKED);
    } else if (id == IDC_OPTIONS_TRAY_ICON) {
        SetOption("TrayIcon", on ? TRAY_ICON_ORIGINAL : TRAY_ICON_PLAIN);
    } else {
        for (const auto& check : kChecks)
            if (check.id == id)
                g_options.*check.field = on;
        if (id == IDC_OPTIONS_HIDE_ICON) {
            if (on)
                Inform(page, 927);
            TellMonitorTrayIcon(on);
        }
    }
    WriteAllOptions();
}

static INT_PTR Command(HWND page, int id)
{
    switch (id) {
    case IDC_OPTIONS_AUTORUN:
    case IDC_OPTIONS_SOUND:
    case IDC_OPTIONS_HISTORY:
    case IDC_OPTIONS_HIDE_ICON:
    case IDC_OPTIONS_LOCK_TYPES:
    case IDC_OPTIONS_CONFIRM_EXIT:
    case IDC_OPTIONS_TRAY_ICON:
    case IDC_OPTIONS_VANTA:
        CheckBox(page, id);
        return TRUE;
    case IDC_OPTIONS_WININIT_IMAGE:
    case IDC_OPTIONS_PAGES_IMAGE:
    case IDC_OPTIONS_HOSTS_IMAGE:
        AskArea(page, id);
        return TRUE;
    case IDC_OPTIONS_LOG:
        SaveReport(page, REPORT_LOG);
        return TRUE;
    case IDC_OPTIONS_SPREADSHEET:
        SaveReport(page, REPORT_LIST);
        return TRUE;
    case IDC_OPTIONS_HIJACK_LOG:
        SaveReport(page, REPORT_HIJACK);
        return TRUE;
    case IDC_OPTIONS_VIEW_HOSTS:
        ViewHostsFile(page);
        return TRUE;
    case IDC_OPTIONS_VIEW_HISTORY:
        ShowHistoryDialog(page);
        return TRUE;
    case IDC_OPTIONS_EXPORT:
        SaveReport(page, REPORT_SETTINGS);
        return TRUE;
    case IDC_OPTIONS_RESTORE_DELAYED:
        RestoreAllDelayed();
        return TRUE;
    case IDC_PAGE_HELP_IMAGE:
        RunHelp(page, PAGE_OPTIONS);
        return TRUE;
    case IDC_PAGE_CLOSE:
        PropSheet_PressButton(GetParent(page), PSBTN_CANCEL);
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        Init(page);
        return TRUE;
    case WM_NOTIFY: {
        const NMHDR* header = (const NMHDR*)lParam;
        if (header->code == PSN_SETACTIVE) {
            Activate(page);
            SetWindowLongPtrA(page, DWLP_MSGRESULT, 0);
            return TRUE;
        }
        if (header->code == PSN_KILLACTIVE) {
            Disarm(page);
            CleanupActivePage(page);
            SetWindowLongPtrA(page, DWLP_MSGRESULT, FALSE);
            return TRUE;
        }
        break;
    }
    case WM_PAGE_LAYOUT:
        LayoutPageControls(page, kLayout);
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED)
            return Command(page, LOWORD(wParam));
        break;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
        return ImageButtonMouse(page, message, lParam);
    case WM_CLOSE:
    case WM_DESTROY:
        Disarm(page);
        PageDestroy(page);
        break;
    }
    return FALSE;
}
