// The pages whose lists are not filled yet: their banners, Help button and Close, with the
// page's other buttons greyed out. Each keeps the frame's behaviour (position, tab, layout).
#include "dialogs_pages.h"
#include "options.h"
#include "platform.h"
#include "pageframe.h"
#include "pages.h"
#include "resstring.h"
#include "sharedui.h"
#include <commctrl.h>

struct PlaceholderPage {
    int commandId;
    int texts[5][2];   // control, string
    PageLayout layout;
    const char* patrolOption;
    const char* realtimeOption;
};

static const PlaceholderPage kPlaceholders[] = {
    {PAGE_OPTIONS,
     {{IDC_OPTIONS_BANNER, 251}},
     {{IDC_OPTIONS_BANNER}, 1, {}, 0, {{IDC_PAGE_CLOSE}}, 1, 0},
     nullptr, nullptr},
};

static const PlaceholderPage* Find(int commandId)
{
    for (const PlaceholderPage& p : kPlaceholders)
        if (p.commandId == commandId)
            return &p;
    return nullptr;
}

static void Init(HWND page, const PlaceholderPage& p)
{
    for (const auto& text : p.texts)
        if (text[0])
            SetDlgItemResString(page, text[0], text[1]);
    SetDlgItemResString(page, IDC_PAGE_ADD, 311);
    SetDlgItemResString(page, IDC_PAGE_REMOVE, 302);
    SetDlgItemResString(page, IDC_PAGE_CLOSE, 304);
    SetDlgItemResString(page, IDC_PAGE_HELP_LABEL, 793);
    SetDlgItemResString(page, IDC_PAGE_MONITOR_LABEL, 794);
    if (p.commandId == PAGE_COOKIES) {
        SetDlgItemResString(page, IDC_PAGE_CHECK, 796);
        SetDlgItemResString(page, IDC_COOKIES_IE, 798);
        SetDlgItemResString(page, IDC_COOKIES_MOZILLA, 797);
    }
    // Only Close and Help work until the page's own list is built.
    static const int kWaiting[] = {IDC_PAGE_INFO, IDC_PAGE_ADD, IDC_PAGE_REMOVE, IDC_PAGE_REFRESH,
                                   IDC_PAGE_SPECIFIC, IDC_DELAY_OPTIONS_BUTTON, IDC_COOKIES_VIEW,
                                   IDC_PAGE_CHECK, IDC_COOKIES_IE, IDC_COOKIES_MOZILLA,
                                   IDC_PAGE_LIST};
    for (int id : kWaiting)
        if (HWND control = GetDlgItem(page, id))
            EnableWindow(control, FALSE);
    if (!IsWindowsNT())
        ShowWindow(GetDlgItem(page, IDC_PAGE_CLOSE), SW_HIDE);
}

INT_PTR CALLBACK PlaceholderPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    const PlaceholderPage* p = Find((int)GetWindowLongPtrA(page, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        int commandId = (int)((const PROPSHEETPAGEA*)lParam)->lParam;
        SetWindowLongPtrA(page, DWLP_USER, commandId);
        p = Find(commandId);
        if (p)
            Init(page, *p);
        PageInit(page, commandId);
        return TRUE;
    }
    case WM_NOTIFY: {
        const NMHDR* header = (const NMHDR*)lParam;
        if (!p)
            break;
        if (header->code == PSN_SETACTIVE) {
            PageActivate(page, p->commandId);
            if (p->patrolOption)
                SetMonitorButton(page, GetOption(p->patrolOption, 0) > 0,
                                 p->realtimeOption && GetOption(p->realtimeOption, 0) > 0);
            SetWindowLongPtrA(page, DWLP_MSGRESULT, 0);
            return TRUE;
        }
        if (header->code == PSN_KILLACTIVE) {
            CleanupActivePage(page);
            SetWindowLongPtrA(page, DWLP_MSGRESULT, FALSE);
            return TRUE;
        }
        break;
    }
    case WM_PAGE_LAYOUT:
        if (p)
            LayoutPageControls(page, p->layout);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_PAGE_CLOSE) {
            PropSheet_PressButton(GetParent(page), PSBTN_CANCEL);
            return TRUE;
        }
        if (LOWORD(wParam) == IDC_PAGE_HELP_IMAGE && p) {
            RunHelp(page, p->commandId);
            return TRUE;
        }
        break;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
        return ImageButtonMouse(page, message, lParam);
    case WM_CLOSE:
    case WM_DESTROY:
        PageDestroy(page);
        break;
    }
    return FALSE;
}
