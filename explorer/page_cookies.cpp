#include "page_cookies.h"
#include "browserkind.h"
#include "cookieactions.h"
#include "cookiereview.h"
#include "cookies.h"
#include "dialogs_cookies.h"
#include "keys.h"
#include "options.h"
#include "pageframe.h"
#include "pages.h"
#include "patroltime.h"
#include "platform.h"
#include "registry.h"
#include "resstring.h"
#include "sharedui.h"
#include <commctrl.h>
#include <commdlg.h>
#include <string>

namespace {

constexpr PageLayout CookiesLayout()
{
    PageLayout layout;
    layout.bannerCount =
        SetTable(layout.banners, {IDC_COOKIES_BANNER1, IDC_COOKIES_BANNER2, IDC_COOKIES_BANNER3});
    layout.rowCount = SetTable(layout.rows, {IDC_COOKIES_TITLE, IDC_PAGE_CHECK, IDC_COOKIES_IE,
                                             IDC_COOKIES_MOZILLA});
    layout.slotCount = SetTable(layout.slots, {{IDC_PAGE_ADD}, {IDC_PAGE_REMOVE}, {IDC_COOKIES_VIEW}});
    layout.hasMonitor = 1;
    return layout;
}
constexpr PageLayout kLayout = CookiesLayout();

const int kPageIcon = 183;   // the cookie-filter icon
const UINT WM_OPEN_COOKIE_LIST = WM_APP + 45;

HWND List(HWND page) { return GetDlgItem(page, IDC_PAGE_LIST); }

int BrowserIsMozilla() { return IsMozillaKind(GetOption("Browser", 1)); }

void Message(HWND page, UINT stringId)
{
    char text[512] = "", caption[128] = "";
    LoadResString(stringId, text, sizeof(text));
    LoadResString(31, caption, sizeof(caption));
    MessageBoxExA(page, text, caption, MB_OK | MB_ICONINFORMATION | MB_TOPMOST, (WORD)uiLanguage);
}

void ShowFolder(HWND page)
{
    char folder[MAX_PATH];
    if (BrowserIsMozilla())
        FindMozillaProfileFolder(folder);
    else
        FindIECookieFolder(folder);
    SetDlgItemTextA(page, IDC_COOKIES_FOLDER, folder);
}

void ShowBrowser(HWND page)
{
    int mozilla = BrowserIsMozilla();
    CheckRadioButton(page, IDC_COOKIES_IE, IDC_COOKIES_MOZILLA,
                     mozilla ? IDC_COOKIES_MOZILLA : IDC_COOKIES_IE);
    ShowFolder(page);
}

// The filter words, in the order the registry gives them.
void Fill(HWND page)
{
    HWND list = List(page);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    LoadCookieFilters();
    for (int i = 0; i < CookieFilterCount(); i++) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
        item.iItem = i;
        item.pszText = (char*)CookieFilterText(i);
        item.lParam = i;
        item.iImage = 0;
        SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
    }
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
}

void Select(HWND page, int row)
{
    HWND list = List(page);
    int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    if (count == 0)
        return;
    if (row >= count)
        row = count - 1;
    LVITEMA item = {};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, row < 0 ? 0 : row, (LPARAM)&item);
}

int SelectedRow(HWND page)
{
    return (int)SendMessageA(List(page), LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
}

std::string RowText(HWND page, int row)
{
    char text[COOKIE_FILTER_TEXT] = "";
    LVITEMA item = {};
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    SendMessageA(List(page), LVM_GETITEMTEXTA, row, (LPARAM)&item);
    return text;
}

void AddWord(HWND page)
{
    char word[129] = "";
    GetDlgItemTextA(page, IDC_COOKIES_WORD, word, sizeof(word));
    if (!word[0])
        return;
    HCURSOR old = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    int result = AddCookieFilter(word);
    SetCursor(old);
    if (result == 729) {
        Message(page, 729);
        return;
    }
    SetDlgItemTextA(page, IDC_COOKIES_WORD, "");
    Fill(page);
    Select(page, 0);
}

void RemoveWord(HWND page)
{
    int row = SelectedRow(page);
    if (row < 0) {
        Message(page, 58);
        return;
    }
    RemoveCookieFilter(RowText(page, row).c_str());
    Fill(page);
    SetDlgItemTextA(page, IDC_COOKIES_SELECTED, "");
    Select(page, row);
}

void ChooseBrowser(HWND page, int mozilla)
{
    SetOption("Browser", mozilla ? 6 : 1);
    ShowFolder(page);
}

// The folder of a file the user picks: the dialog picks files, so a name is typed ("Path")
// and dropped again.
void PickFolder(HWND page)
{
    char title[128] = "", appData[MAX_PATH] = "";
    LoadResString(799, title, sizeof(title));
    GetRegValue(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                "AppData", appData, sizeof(appData));
    char file[MAX_PATH] = "Path";
    static const char kFilter[] = "All Folder (*.*)\0 *.*\0";
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = page;
    ofn.lpstrFilter = kFilter;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof(file);
    ofn.lpstrInitialDir = appData;
    ofn.lpstrTitle = title;
    ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (!GetOpenFileNameA(&ofn))
        return;
    int length = lstrlenA(file);
    if (length <= 4)
        return;
    file[length - 4] = 0;   // "Path" off; the folder keeps its "\"
    SetRegValue(HKEY_CURRENT_USER, KX_KEY, BrowserIsMozilla() ? "CookieFolder" : "IECookieFolder", file);
    ShowFolder(page);
}

void PatrolTime(HWND page)
{
    int minutes = PatrolTimeDialog(page, 789, GetOption("Nuts", 0));
    if (minutes < 0)
        return;
    SetOption("Nuts", minutes);
    g_options.Nuts = minutes;
    SetMonitorButton(page, minutes > 0, 0);
}

void InitPage(HWND page)
{
    static const int kTexts[][2] = {
        {IDC_COOKIES_BANNER1, 771}, {IDC_COOKIES_BANNER2, 772}, {IDC_COOKIES_BANNER3, 773},
        {IDC_COOKIES_TITLE, 967},   {IDC_COOKIES_VIEW, 774},    {IDC_PAGE_ADD, 311},
        {IDC_PAGE_REMOVE, 302},     {IDC_PAGE_CHECK, 796},      {IDC_COOKIES_IE, 798},
        {IDC_COOKIES_MOZILLA, 797}, {IDC_PAGE_HELP_LABEL, 793}, {IDC_PAGE_MONITOR_LABEL, 794},
    };
    for (const auto& t : kTexts)
        SetDlgItemResString(page, t[0], t[1]);
    char caption[128] = "";
    if (LoadResString(722, caption, sizeof(caption)))
        SetWindowTextA(page, caption);
    SendDlgItemMessageA(page, IDC_COOKIES_WORD, EM_LIMITTEXT, 128, 0);
    if (!MozillaInstalled()) {
        // Internet Explorer stays selected.
        EnableWindow(GetDlgItem(page, IDC_COOKIES_IE), FALSE);
        ShowWindow(GetDlgItem(page, IDC_COOKIES_MOZILLA), SW_HIDE);
    }

    HWND list = List(page);
    RECT r;
    GetWindowRect(list, &r);
    char header[64] = "";
    LoadResString(967, header, sizeof(header));
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
    column.fmt = LVCFMT_LEFT;
    column.cx = (int)((r.right - r.left - GetSystemMetrics(SM_CYVSCROLL)) * 0.60);
    column.pszText = header;
    SendMessageA(list, LVM_INSERTCOLUMNA, 0, (LPARAM)&column);
    HIMAGELIST images = ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                         ILC_COLOR | ILC_MASK, 1, 1);
    ImageList_AddIcon(images, LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kPageIcon)));
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)images);
    PageInit(page, PAGE_COOKIES);
}

void Activate(HWND page)
{
    HCURSOR old = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    Fill(page);
    Select(page, 0);
    PageActivate(page, PAGE_COOKIES);
    ArmImageButton(page, IDC_PAGE_FOLDER_IMAGE, g_bitmaps.folder, g_bitmaps.folderHover,
                   g_bitmaps.folderPressed, IDC_PAGE_FOLDER_IMAGE);
    SetMonitorButton(page, GetOption("Nuts", 0) > 0, 0);
    ShowBrowser(page);
    CheckDlgButton(page, IDC_PAGE_CHECK, g_options.ViewCookies ? BST_CHECKED : BST_UNCHECKED);
    SetCursor(old);
    // Opened once the tab shows, not inside its activation.
    if (g_options.ViewCookies)
        PostMessageA(page, WM_OPEN_COOKIE_LIST, 0, 0);
}

// Below the list: the word to add and the selected filter, then the folder row.
void Layout(HWND page)
{
    LayoutPageControls(page, kLayout);
    RECT units = {4, 12, 0, 0};
    MapDialogRect(page, &units);
    int margin = units.left, rowHeight = units.top;
    HWND list = List(page);
    RECT r;
    GetWindowRect(list, &r);
    MapWindowPoints(nullptr, page, (POINT*)&r, 2);
    BITMAP bm = {};
    GetObjectA(g_bitmaps.folder, sizeof(bm), &bm);
    int folderHeight = bm.bmHeight > rowHeight ? bm.bmHeight : rowHeight;
    int listBottom = r.bottom - rowHeight - folderHeight - 2 * margin;
    if (listBottom - r.top < rowHeight * 2)
        return;   // too small a sheet: the first picture stays
    SetWindowPos(list, nullptr, r.left, r.top, r.right - r.left, listBottom - r.top, SWP_NOZORDER);
    int width = r.right - r.left, half = (width - margin) / 2;
    int y = listBottom + margin;
    SetWindowPos(GetDlgItem(page, IDC_COOKIES_WORD), nullptr, r.left, y, half, rowHeight, SWP_NOZORDER);
    SetWindowPos(GetDlgItem(page, IDC_COOKIES_SELECTED), nullptr, r.left + half + margin, y, half,
                 rowHeight, SWP_NOZORDER);
    y += rowHeight + margin;
    int folderWidth = bm.bmWidth > 0 ? bm.bmWidth : rowHeight;
    SetWindowPos(GetDlgItem(page, IDC_PAGE_FOLDER_IMAGE), nullptr, r.left, y, folderWidth, folderHeight,
                 SWP_NOZORDER);
    SetWindowPos(GetDlgItem(page, IDC_COOKIES_FOLDER), nullptr, r.left + folderWidth + margin,
                 y + (folderHeight - rowHeight) / 2, width - folderWidth - margin, rowHeight, SWP_NOZORDER);
}

INT_PTR Command(HWND page, int id, int code)
{
    switch (id) {
    case IDOK:
    case IDC_PAGE_ADD: AddWord(page); return TRUE;
    case IDC_PAGE_REMOVE: RemoveWord(page); return TRUE;
    case IDC_COOKIES_VIEW: ShowCookieList(page, BrowserIsMozilla()); return TRUE;
    case IDC_COOKIES_IE:
    case IDC_COOKIES_MOZILLA:
        if (code == BN_CLICKED)
            ChooseBrowser(page, id == IDC_COOKIES_MOZILLA);
        return TRUE;
    case IDC_PAGE_CHECK:
        g_options.ViewCookies = IsDlgButtonChecked(page, IDC_PAGE_CHECK) == BST_CHECKED;
        SetOption("ViewCookies", g_options.ViewCookies);
        return TRUE;
    case IDC_PAGE_FOLDER_IMAGE: PickFolder(page); return TRUE;
    case IDC_PAGE_MONITOR_IMAGE: PatrolTime(page); return TRUE;
    case IDC_PAGE_HELP_IMAGE: RunHelp(page, PAGE_COOKIES); return TRUE;
    }
    return FALSE;
}

INT_PTR Notify(HWND page, NMHDR* header)
{
    switch (header->code) {
    case PSN_SETACTIVE:
        Activate(page);
        SetWindowLongPtrA(page, DWLP_MSGRESULT, 0);
        return TRUE;
    case PSN_KILLACTIVE:
        CleanupActivePage(page);
        SetWindowLongPtrA(page, DWLP_MSGRESULT, FALSE);
        return TRUE;
    }
    if (header->idFrom == IDC_PAGE_LIST && header->code == LVN_ITEMCHANGED) {
        const NMLISTVIEW* change = (const NMLISTVIEW*)header;
        if ((change->uNewState & LVIS_SELECTED) && !(change->uOldState & LVIS_SELECTED))
            SetDlgItemTextA(page, IDC_COOKIES_SELECTED, RowText(page, change->iItem).c_str());
        return TRUE;
    }
    return FALSE;
}

}   // namespace

INT_PTR CALLBACK CookiesPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitPage(page);
        return TRUE;
    case WM_NOTIFY:
        return Notify(page, (NMHDR*)lParam);
    case WM_COMMAND:
        return Command(page, LOWORD(wParam), HIWORD(wParam));
    case WM_OPEN_COOKIE_LIST:
        ShowCookieList(page, BrowserIsMozilla());
        return TRUE;
    case WM_PAGE_LAYOUT:
        Layout(page);
        return TRUE;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
        return ImageButtonMouse(page, message, lParam);
    case WM_CLOSE:
    case WM_DESTROY: {
        HIMAGELIST images =
            (HIMAGELIST)SendDlgItemMessageA(page, IDC_PAGE_LIST, LVM_SETIMAGELIST, LVSIL_SMALL, 0);
        if (images)
            ImageList_Destroy(images);
        DisarmImageButton(page, IDC_PAGE_FOLDER_IMAGE);
        FreeCookieFilters();
        PageDestroy(page);
        break;
    }
    }
    return FALSE;
}
