#include "pageframe.h"
#include "aolwindow.h"
#include "dialogs_pages.h"
#include "dpi.h"
#include "entrylist.h"
#include "keys.h"
#include "onlineinfo.h"
#include "options.h"
#include "pages.h"
#include "platform.h"
#include "program.h"
#include "registry.h"
#include "resource.h"
#include "resstring.h"
#include "sharedui.h"
#include "shellrun.h"
#include "winpos.h"
#include <commctrl.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

HWND g_mainWindow;
HWND g_sheetWindow;
static HWND g_layoutPage;   // the page that receives layout messages
static HWND g_hoverButton;

static const char kOldProcProp[] = "KxSheetProc";
static const char kMinWidthProp[] = "KxMinWidth";
static const char kMinHeightProp[] = "KxMinHeight";
static const char kTabIconsProp[] = "KxTabIcons";
static const char kNormalProp[] = "KxNormal";
static const char kHoverProp[] = "KxHover";
static const char kPressedProp[] = "KxPressed";
static const char kCommandProp[] = "KxCommand";

// Where the maker keeps the help pages that are not installed locally.

static HWND SheetOf(HWND page) { return GetParent(page); }

static LRESULT CALLBACK SheetProc(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC old = (WNDPROC)GetPropA(sheet, kOldProcProp);
    switch (message) {
    case WM_GETMINMAXINFO: {
        MINMAXINFO* info = (MINMAXINFO*)lParam;
        info->ptMinTrackSize.x = (LONG)(INT_PTR)GetPropA(sheet, kMinWidthProp);
        info->ptMinTrackSize.y = (LONG)(INT_PTR)GetPropA(sheet, kMinHeightProp);
        return 0;
    }
    case WM_COMMAND:
        // The sheet's own OK button is hidden and disabled, so an OK can only be the Enter
        // key: it means the page's information command, not "apply and close".
        if (LOWORD(wParam) == IDOK && g_layoutPage && GetParent(g_layoutPage) == sheet) {
            SendMessageA(g_layoutPage, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            return 0;
        }
        break;
    case WM_SIZE: {
        LRESULT result = CallWindowProcA(old, sheet, message, wParam, lParam);
        SendDlgItemMessageA(sheet, SHEET_STATUS_BAR_ID, WM_SIZE, 0, 0);
        LayoutSheet(sheet);
        return result;
    }
    case WM_NCDESTROY: {
        SetWindowLongPtrA(sheet, GWLP_WNDPROC, (LONG_PTR)old);
        RemovePropA(sheet, kOldProcProp);
        RemovePropA(sheet, kMinWidthProp);
        RemovePropA(sheet, kMinHeightProp);
        HIMAGELIST icons = (HIMAGELIST)RemovePropA(sheet, kTabIconsProp);
        LRESULT result = CallWindowProcA(old, sheet, message, wParam, lParam);
        if (icons)
            ImageList_Destroy(icons);
        if (g_sheetWindow == sheet)
            g_sheetWindow = nullptr;
        return result;
    }
    }
    return CallWindowProcA(old, sheet, message, wParam, lParam);
}

static int ReadPosValue(const char* name, int* value)
{
    char text[32];
    if (!GetRegValue(HKEY_CURRENT_USER, KX_KEY, name, text, sizeof(text)))
        return 0;
    *value = atoi(text);
    return 1;
}

static void RestoreSheetPosition(HWND sheet)
{
    SetOption("StartTab", g_activePageId);

    RECT r;
    GetWindowRect(sheet, &r);
    int width = r.right - r.left, height = r.bottom - r.top;
    int screenW = GetSystemMetrics(SM_CXVIRTUALSCREEN), screenH = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    int x = 0, y = 0;
    int haveX = ReadPosValue(kMainPos.left, &x), haveY = ReadPosValue(kMainPos.top, &y);
    if (IsWindowsNT()) {
        int dx = 0, dy = 0;
        if (ReadPosValue(kMainPos.width, &dx)) {
            ReadPosValue(kMainPos.height, &dy);
            width = dx > screenW ? 0 : dx;
            height = dy > screenH ? 0 : dy;
        }
        if (haveX && haveY) {
            if (x > screenW)
                x = 0;
            if (y > screenH)
                y = 0;
        }
    } else if (haveX && haveY) {
        if (x > screenW)
            x = GetSystemMetrics(SM_CXSCREEN) / 2;
        if (y > screenH)
            y = GetSystemMetrics(SM_CYSCREEN) / 2;
    }
    if (!haveX || !haveY) {
        x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
        y = (GetSystemMetrics(SM_CYSCREEN) - height) / 3;
    }
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (IsWindowsNT() ? 0 : SWP_NOSIZE);
    SetWindowPos(sheet, nullptr, x, y, width, height, flags);
}

void PageInit(HWND page, int commandId)
{
    CreateSharedUi();
    g_activePageId = commandId;
    HWND sheet = SheetOf(page);
    if (!sheet)
        return;
    if (IsWindowsNT() && !GetPropA(sheet, kOldProcProp)) {
        RECT client;
        GetClientRect(sheet, &client);
        SetPropA(sheet, kMinWidthProp, (HANDLE)(INT_PTR)(client.right - 10));
        SetPropA(sheet, kMinHeightProp, (HANDLE)(INT_PTR)(client.bottom - 32));
        SetPropA(sheet, kOldProcProp, (HANDLE)GetWindowLongPtrA(sheet, GWLP_WNDPROC));
        SetWindowLongPtrA(sheet, GWLP_WNDPROC, (LONG_PTR)SheetProc);
        CreateStatusWindowA(WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, "", sheet,
                            SHEET_STATUS_BAR_ID);
    }
    RestoreSheetPosition(sheet);
}

void ArmImageButton(HWND page, int id, HBITMAP normal, HBITMAP hover, HBITMAP pressed,
                    int command)
{
    HWND button = GetDlgItem(page, id);
    if (!button)
        return;
    SetPropA(button, kNormalProp, normal);
    SetPropA(button, kHoverProp, hover);
    SetPropA(button, kPressedProp, pressed);
    SetPropA(button, kCommandProp, (HANDLE)(INT_PTR)command);
    SendMessageA(button, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)normal);
}

void DisarmImageButton(HWND page, int id)
{
    HWND button = GetDlgItem(page, id);
    if (!button)
        return;
    RemovePropA(button, kNormalProp);
    RemovePropA(button, kHoverProp);
    RemovePropA(button, kPressedProp);
    RemovePropA(button, kCommandProp);
    if (g_hoverButton == button)
        g_hoverButton = nullptr;
}

void SetMonitorButton(HWND page, int on, int realtime)
{
    HBITMAP normal = !on ? g_bitmaps.monitorOff
                     : realtime ? g_bitmaps.monitorRealtime
                                : g_bitmaps.monitorOn;
    ArmImageButton(page, IDC_PAGE_MONITOR_IMAGE, normal, normal, g_bitmaps.monitorPressed,
                   IDC_PAGE_MONITOR_IMAGE);
}

static void ShowImage(HWND button, const char* prop)
{
    HANDLE bitmap = GetPropA(button, prop);
    if (bitmap && (HANDLE)SendMessageA(button, STM_GETIMAGE, IMAGE_BITMAP, 0) != bitmap)
        SendMessageA(button, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)bitmap);
}

int ImageButtonMouse(HWND page, UINT message, LPARAM lParam)
{
    POINT pt = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
    HWND under = ChildWindowFromPointEx(page, pt, CWP_SKIPINVISIBLE);
    if (under == page || (under && !GetPropA(under, kCommandProp)))
        under = nullptr;
    if (g_hoverButton && g_hoverButton != under && IsWindow(g_hoverButton))
        ShowImage(g_hoverButton, kNormalProp);
    g_hoverButton = under;
    if (!under)
        return 0;
    switch (message) {
    case WM_MOUSEMOVE:
        ShowImage(under, (GetKeyState(VK_LBUTTON) & 0x8000) ? kPressedProp : kHoverProp);
        return 1;
    case WM_LBUTTONDOWN:
        ShowImage(under, kPressedProp);
        return 1;
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK: {
        ShowImage(under, kNormalProp);
        int command = (int)(INT_PTR)GetPropA(under, kCommandProp);
        SendMessageA(page, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), (LPARAM)under);
        return 1;
    }
    }
    return 0;
}

void SetStatusText(HWND page, const char* text, HFONT font)
{
    HWND sheet = page ? SheetOf(page) : g_sheetWindow;
    HWND bar = sheet ? GetDlgItem(sheet, SHEET_STATUS_BAR_ID) : nullptr;
    if (!bar)
        return;
    if (font)
        SendMessageA(bar, WM_SETFONT, (WPARAM)font, TRUE);
    SendMessageA(bar, SB_SETTEXTA, 0 | SBT_POPOUT, (LPARAM)text);
}

void PageActivate(HWND page, int commandId)
{
    HWND sheet = SheetOf(page);
    if (sheet) {
        SetWindowLongPtrA(sheet, GWL_EXSTYLE,
                          GetWindowLongPtrA(sheet, GWL_EXSTYLE) & ~(LONG_PTR)WS_EX_CONTEXTHELP);
        HWND ok = GetDlgItem(sheet, IDOK);
        if (ok) {
            ShowWindow(ok, SW_HIDE);
            EnableWindow(ok, FALSE);
        }
        SetDlgItemResString(sheet, IDCANCEL, 304);
        HWND owner = GetWindow(sheet, GW_OWNER);
        char caption[128];
        if (owner && LoadResString(IDS_CAPTION, caption, sizeof(caption)))
            SetWindowTextA(owner, caption);
    }
    ArmImageButton(page, IDC_PAGE_HELP_IMAGE, g_bitmaps.help, g_bitmaps.helpHover,
                   g_bitmaps.helpPressed, IDC_PAGE_HELP_IMAGE);
    g_layoutPage = page;
    SetStatusText(page, "", nullptr);
    if (sheet && IsWindowsNT())
        LayoutSheet(sheet);
    g_activePageId = commandId;
}

static void SaveSheetPosition(HWND page)
{
    HWND sheet = SheetOf(page);
    if (sheet)
        SaveWindowPosition(sheet, kMainPos);
}

void CleanupActivePage(HWND page)
{
    ClearEntries();
    DisarmImageButton(page, IDC_PAGE_HELP_IMAGE);
    DisarmImageButton(page, IDC_PAGE_MONITOR_IMAGE);
    SetStatusText(page, "", nullptr);
    SaveSheetPosition(page);
}

void PageDestroy(HWND page)
{
    if (g_layoutPage == page)
        g_layoutPage = nullptr;
    DisarmImageButton(page, IDC_PAGE_HELP_IMAGE);
    DisarmImageButton(page, IDC_PAGE_MONITOR_IMAGE);
    // Every page that was shown is destroyed with the sheet; only the first keeps the
    // remembered tab, the others would overwrite it with 0.
    if (g_activePageId != 0)
        SaveSheetPosition(page);
    g_activePageId = 0;
    if (g_mainWindow)
        PostMessageA(g_mainWindow, WM_CLOSE, 0, 0);
}

void RunHelp(HWND owner, int commandId)
{
    char language[16] = "", name[64], path[MAX_PATH];
    LoadResString(IDS_LANGUAGE, language, sizeof(language));
    const char* file = HelpFileForPage(commandId);
    if (language[0] && lstrcmpiA(language, "us") != 0)
        snprintf(name, sizeof(name), "%s_%s", language, file);
    else
        lstrcpynA(name, file, sizeof(name));
    ProgramFilePath(name, path, sizeof(path));
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) {
        ShellRun(owner, "open", path, nullptr);
        return;
    }
    char address[512];
    snprintf(address, sizeof(address), "%s%s", KX_HELP_SITE, name);
    OpenWebAddress(owner, address);
}

void OpenWebAddress(HWND owner, const char* address)
{
    // AOL's own browser only where its folder is known: by its bare name it would be looked
    // for in the current folder first.
    char aolFolder[MAX_PATH] = "";
    if (FindAolClientWindow() && GetProfileStringA("WAOL", "AppPath", "", aolFolder, sizeof(aolFolder))) {
        std::string command = std::string("\"") + aolFolder;
        if (command.back() != '\\')
            command += '\\';
        command += std::string("WAOL.EXE\" -u \"") + address + "\"";
        RunCommandLine(command.c_str(), SW_SHOW);
        return;
    }
    ShellRun(owner, "open", address, nullptr);
}

static void SetTabIcons(HWND sheet, HWND tabs)
{
    if (GetPropA(sheet, kTabIconsProp))
        return;
    HIMAGELIST icons = ImageList_Create(16, 16, ILC_COLOR | ILC_MASK, 10, 0);
    const PageInfo* pages;
    int count = SheetPages(&pages);
    for (int i = 0; i < count; i++) {
        HICON icon = (HICON)LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(pages[i].iconId),
                                       IMAGE_ICON, 16, 16, 0);
        ImageList_AddIcon(icons, icon);
        if (icon)
            DestroyIcon(icon);
    }
    SetPropA(sheet, kTabIconsProp, icons);
    SendMessageA(tabs, TCM_SETIMAGELIST, 0, (LPARAM)icons);
}

static BOOL CALLBACK FindSheetClose(HWND child, LPARAM arg)
{
    char text[64], close[64];
    if (GetParent(child) == *(HWND*)arg && GetWindowTextA(child, text, sizeof(text)) &&
        LoadResString(304, close, sizeof(close)) && lstrcmpA(text, close) == 0) {
        *(HWND*)arg = child;
        return FALSE;
    }
    return TRUE;
}

void LayoutSheet(HWND sheet)
{
    HWND tabs = (HWND)SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0);
    if (!tabs)
        return;
    RECT frame;
    GetWindowRect(sheet, &frame);
    int width = frame.right - frame.left, height = frame.bottom - frame.top;
    // The sheet's margins are pixels at 96 DPI.
    auto px = ScaleForDpi;
    SetWindowPos(tabs, nullptr, 0, 0, width - px(20), height - px(67), SWP_NOMOVE | SWP_NOZORDER);
    SetTabIcons(sheet, tabs);

    HWND close = sheet;
    EnumChildWindows(sheet, FindSheetClose, (LPARAM)&close);
    if (close != sheet) {
        SetWindowPos(close, nullptr, width - px(92), height - px(66), 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ShowWindow(close, SW_HIDE);
    }

    // The page being activated is not yet the sheet's current page: the frame remembers it.
    HWND page = g_layoutPage;
    if (!page || GetParent(page) != sheet)
        return;
    int pageHeight = height - px(112);
    if (SendMessageA(tabs, TCM_GETROWCOUNT, 0, 0) == 1)
        pageHeight += px(10);
    SetWindowPos(page, nullptr, 0, 0, width - px(28), pageHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(page, WM_PAGE_LAYOUT, 0, 0);
    InvalidateRect(sheet, nullptr, TRUE);
}

static int TextHeight(HWND control, int width)
{
    char text[2048];
    GetWindowTextA(control, text, sizeof(text));
    HDC dc = GetDC(control);
    HFONT font = (HFONT)SendMessageA(control, WM_GETFONT, 0, 0);
    HGDIOBJ old = SelectObject(dc, font ? (HGDIOBJ)font : GetStockObject(DEFAULT_GUI_FONT));
    RECT r = {0, 0, width, 0};
    DrawTextA(dc, text[0] ? text : " ", -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return r.bottom;
}

static void Place(HWND page, int id, int x, int y, int w, int h)
{
    HWND control = GetDlgItem(page, id);
    if (control)
        SetWindowPos(control, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

void LayoutPageControls(HWND page, const PageLayout& layout)
{
    RECT units = {4, 8, 60, 14};   // margin, row height, button width and height in dialog units
    MapDialogRect(page, &units);
    int margin = units.left, rowHeight = units.top + 4, buttonWidth = units.right,
        buttonHeight = units.bottom;
    RECT client;
    GetClientRect(page, &client);
    int width = client.right, height = client.bottom;

    int iconSize = GetSystemMetrics(SM_CXICON);
    Place(page, IDC_PAGE_BANNER_ICON, margin, margin, iconSize, iconSize);

    // Image buttons at the top right, each with its label under it.
    BITMAP bm = {};
    GetObjectA(g_bitmaps.help, sizeof(bm), &bm);
    int imageSize = bm.bmWidth ? bm.bmWidth : 36;
    int labelWidth = imageSize + 2 * margin;
    int right = width - margin;
    int imagesLeft = right;
    int ids[2][2] = {{IDC_PAGE_MONITOR_IMAGE, IDC_PAGE_MONITOR_LABEL},
                     {IDC_PAGE_HELP_IMAGE, IDC_PAGE_HELP_LABEL}};
    for (auto& pair : ids) {
        if (!GetDlgItem(page, pair[0]) || (pair[0] == IDC_PAGE_MONITOR_IMAGE && !layout.hasMonitor))
            continue;
        int left = imagesLeft - labelWidth;
        Place(page, pair[0], left + margin, margin, imageSize, imageSize);
        Place(page, pair[1], left, margin + imageSize + 2, labelWidth, units.top);
        imagesLeft = left;
    }
    int imagesBottom = margin + imageSize + 2 + units.top;

    int textLeft = margin + iconSize + 2 * margin;
    int textWidth = imagesLeft - margin - textLeft;
    int y = margin / 2;
    for (int i = 0; i < layout.bannerCount; i++) {
        HWND banner = GetDlgItem(page, layout.banners[i]);
        if (!banner)
            continue;
        // Measured and placed at the same width, with a few pixels spare on the right: a
        // static as wide as the measure can clip the last word instead of wrapping it.
        int h = TextHeight(banner, textWidth - 8);
        Place(page, layout.banners[i], textLeft, y, textWidth - 8, h);
        y += h;
    }
    int top = std::max(std::max(y, imagesBottom), margin + iconSize) + margin;
    for (int i = 0; i < layout.rowCount; i++) {
        Place(page, layout.rows[i], margin, top, width - 2 * margin, rowHeight);
        top += rowHeight + margin / 2;
    }

    int buttonsTop = height - margin - buttonHeight;
    int slots = layout.slotCount;
    if (slots > 0) {
        int span = width - 2 * margin;
        if (buttonWidth * slots > span)
            buttonWidth = span / slots - margin;
        int gap = slots > 1 ? (span - buttonWidth * slots) / (slots - 1) : 0;
        for (int s = 0; s < slots; s++) {
            int x = slots > 1 ? margin + s * (buttonWidth + gap) : (width - buttonWidth) / 2;
            for (int id : {layout.slots[s].id, layout.slots[s].sharedWith})
                if (id)
                    Place(page, id, x, buttonsTop, buttonWidth, buttonHeight);
        }
    }
    int listBottom = slots > 0 ? buttonsTop - margin : height - margin;
    Place(page, IDC_PAGE_LIST, margin, top, width - 2 * margin, listBottom - top);
    // Static texts wrap again only when they repaint.
    RedrawWindow(page, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}
