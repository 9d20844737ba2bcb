#include "cookiereview.h"
#include "cookieactions.h"
#include "cookies.h"
#include "dialogs_cookies.h"
#include "entrylist.h"
#include "handles.h"
#include "options.h"
#include "registry.h"
#include "resstring.h"
#include "winpos.h"
#include <commctrl.h>
#include <algorithm>
#include <string>
#include <vector>

namespace {

const WindowPosNames kCookiePos = {"xCookie", "yCookie", "dxCookie", "dyCookie"};

// What a row shows, kept apart from the entry list, which the removals refill.
struct Row {
    std::string cells[5];
    std::string path;
};

struct Review {
    int mozilla;
    std::vector<Row> rows;
    int sortColumn;
    int descending[5];
};

Review* Of(HWND dialog) { return (Review*)GetWindowLongPtrA(dialog, DWLP_USER); }
HWND List(HWND dialog) { return GetDlgItem(dialog, IDC_PAGE_LIST); }

void AddColumns(HWND dialog, int mozilla)
{
    HWND list = List(dialog);
    RECT r;
    GetClientRect(list, &r);
    int width = r.right - GetSystemMetrics(SM_CYVSCROLL);
    static const UINT kIE[] = {608, 669};
    static const double kIEWidths[] = {0.60, 0.39};
    static const UINT kMozilla[] = {781, 775, 776, 777, 778};
    static const double kMozillaWidths[] = {0.40, 0.20, 0.10, 0.20, 0.09};
    const UINT* titles = mozilla ? kMozilla : kIE;
    const double* widths = mozilla ? kMozillaWidths : kIEWidths;
    int count = mozilla ? 5 : 2;
    for (int i = 0; i < count; i++) {
        char title[64] = "";
        LoadResString(titles[i], title, sizeof(title));
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = (int)(width * widths[i]);
        column.pszText = title;
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, i, (LPARAM)&column);
    }
}

// The rows of the family; Mozilla cookies already marked for removal are left out.
void ReadRows(Review& review)
{
    review.rows.clear();
    CookieScanFor(review.mozilla, 0);
    if (review.mozilla)
        LoadCookieFilters();
    char trueText[16] = "True", falseText[16] = "False";
    for (int i = 0; i < EntryCount(); i++) {
        const EntryRecord* e = GetEntry(i);
        if (review.mozilla && CookieFilterNamed(e->title))
            continue;
        Row row;
        row.cells[0] = e->title;
        row.path = e->command;
        if (review.mozilla) {
            row.cells[1] = e->detail;
            row.cells[2] = e->command;   // the cookie's path
            row.cells[3] = e->source;
            row.cells[4] = e->tag ? trueText : falseText;
        } else {
            row.cells[1] = e->detail;
        }
        review.rows.push_back(row);
    }
    if (review.mozilla)
        FreeCookieFilters();
    ClearEntries();
}

int CALLBACK CompareRows(LPARAM a, LPARAM b, LPARAM data)
{
    const Review& review = *(const Review*)data;
    int column = review.sortColumn;
    int order = lstrcmpiA(review.rows[a].cells[column].c_str(), review.rows[b].cells[column].c_str());
    return review.descending[column] ? -order : order;
}

void Sort(HWND dialog, int column)
{
    Review& review = *Of(dialog);
    review.sortColumn = column;
    SendMessageA(List(dialog), LVM_SORTITEMS, (WPARAM)&review, (LPARAM)CompareRows);
}

void Fill(HWND dialog)
{
    Review& review = *Of(dialog);
    HWND list = List(dialog);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    ReadRows(review);
    int columns = review.mozilla ? 5 : 2;
    for (size_t i = 0; i < review.rows.size(); i++) {
        const Row& row = review.rows[i];
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = (int)i;
        item.pszText = (char*)row.cells[0].c_str();
        item.lParam = (LPARAM)i;
        int at = (int)SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
        for (int c = 1; c < columns; c++) {
            LVITEMA cell = {};
            cell.iSubItem = c;
            cell.pszText = (char*)row.cells[c].c_str();
            SendMessageA(list, LVM_SETITEMTEXTA, at, (LPARAM)&cell);
        }
        char kept[REG_READ_BUFFER];
        bool reviewed =
            GetRegValue(HKEY_CURRENT_USER, KX_COOKIES_KEY, row.cells[0].c_str(), kept, sizeof(kept)) > 0;
        ListView_SetCheckState(list, at, reviewed);
    }
    review.descending[1] = 0;
    Sort(dialog, 1);
    char count[64];
    wsprintfA(count, "%d", (int)review.rows.size());
    SendDlgItemMessageA(dialog, IDC_COOKIE_LIST_STATUS, SB_SETTEXTA, 0, (LPARAM)count);
}

void Remove(HWND dialog, int removeTicked)
{
    char text[512] = "", caption[128] = "";
    LoadResString(removeTicked ? 738 : 728, text, sizeof(text));
    LoadResString(31, caption, sizeof(caption));
    if (MessageBoxExA(dialog, text, caption, MB_YESNO | MB_ICONQUESTION, (WORD)uiLanguage) != IDYES)
        return;
    Review& review = *Of(dialog);
    HWND list = List(dialog);
    std::vector<ReviewedCookie> chosen;
    int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    for (int i = 0; i < count; i++) {
        LVITEMA item = {};
        item.mask = LVIF_PARAM;
        item.iItem = i;
        SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item);
        chosen.push_back({review.rows[item.lParam].cells[0], ListView_GetCheckState(list, i) != 0});
    }
    HCURSOR old = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    RemoveReviewedCookies(chosen, removeTicked, review.mozilla);
    Fill(dialog);
    SetCursor(old);
}

void View(HWND dialog)
{
    Review& review = *Of(dialog);
    if (review.mozilla)
        return;
    HWND list = List(dialog);
    int at = (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED);
    if (at < 0)
        return;
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = at;
    SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item);
    const Row& row = review.rows[item.lParam];
    ShowTextViewer(dialog, row.cells[0].c_str(), row.path.c_str());
}

void Layout(HWND dialog)
{
    RECT units = {6, 14, 80, 4};
    MapDialogRect(dialog, &units);
    int margin = units.left, buttonHeight = units.top, buttonWidth = units.right;
    RECT client;
    GetClientRect(dialog, &client);
    HWND status = GetDlgItem(dialog, IDC_COOKIE_LIST_STATUS);
    SendMessageA(status, WM_SIZE, 0, 0);
    RECT bar = {};
    GetWindowRect(status, &bar);
    int bottom = client.bottom - (bar.bottom - bar.top);
    int buttonsTop = bottom - margin - buttonHeight;
    RECT list;
    GetWindowRect(List(dialog), &list);
    MapWindowPoints(nullptr, dialog, (POINT*)&list, 2);
    SetWindowPos(List(dialog), nullptr, margin, list.top, client.right - 2 * margin,
                 buttonsTop - margin - list.top, SWP_NOZORDER);
    const int ids[] = {IDC_COOKIE_LIST_VIEW, IDC_COOKIE_REMOVE_UNCHECKED, IDC_COOKIE_REMOVE_CHECKED};
    for (int i = 0; i < 3; i++)
        SetWindowPos(GetDlgItem(dialog, ids[i]), nullptr, margin + i * (buttonWidth + margin), buttonsTop,
                     buttonWidth, buttonHeight, SWP_NOZORDER);
    SetWindowPos(GetDlgItem(dialog, IDCANCEL), nullptr, client.right - margin - buttonWidth, buttonsTop,
                 buttonWidth, buttonHeight, SWP_NOZORDER);
}

void Init(HWND dialog, Review* review)
{
    SetWindowLongPtrA(dialog, DWLP_USER, (LONG_PTR)review);
    static const int kTexts[][2] = {
        {IDC_COOKIE_LIST_TEXT1, 231}, {IDC_COOKIE_LIST_TEXT2, 232}, {IDC_COOKIE_LIST_VIEW, 659},
        {IDC_COOKIE_REMOVE_UNCHECKED, 303}, {IDC_COOKIE_REMOVE_CHECKED, 708}, {IDCANCEL, 304},
    };
    for (const auto& t : kTexts)
        SetDlgItemResString(dialog, t[0], t[1]);
    char caption[128] = "";
    if (LoadResString(608, caption, sizeof(caption)))
        SetWindowTextA(dialog, caption);
    char folder[MAX_PATH];
    if (review->mozilla)
        FindMozillaProfileFolder(folder);
    else
        FindIECookieFolder(folder);
    SetDlgItemTextA(dialog, IDC_COOKIE_LIST_FOLDER, folder);
    if (review->mozilla)
        ShowWindow(GetDlgItem(dialog, IDC_COOKIE_LIST_VIEW), SW_HIDE);
    CreateStatusWindowA(WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, "", dialog, IDC_COOKIE_LIST_STATUS);
    HWND list = List(dialog);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                 LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    AddColumns(dialog, review->mozilla);
    RestoreWindowPosition(dialog, kCookiePos);
    Layout(dialog);
    Fill(dialog);
}

INT_PTR CALLBACK CookieListProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        Init(dialog, (Review*)lParam);
        return TRUE;
    case WM_GETMINMAXINFO: {
        MINMAXINFO* info = (MINMAXINFO*)lParam;
        info->ptMinTrackSize.x = 640;
        info->ptMinTrackSize.y = 320;
        return TRUE;
    }
    case WM_SIZE:
        if (Of(dialog))
            Layout(dialog);
        return TRUE;
    case WM_NOTIFY: {
        const NMHDR* header = (const NMHDR*)lParam;
        if (header->idFrom != IDC_PAGE_LIST || !Of(dialog))
            break;
        if (header->code == LVN_COLUMNCLICK) {
            int column = ((const NMLISTVIEW*)header)->iSubItem;
            Review& review = *Of(dialog);
            Sort(dialog, column);
            review.descending[column] = !review.descending[column];
            SetOption("SortCookie", column + 1);
            return TRUE;
        }
        if (header->code == NM_DBLCLK) {
            View(dialog);
            return TRUE;
        }
        break;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDC_COOKIE_LIST_VIEW: View(dialog); return TRUE;
        case IDC_COOKIE_REMOVE_UNCHECKED: Remove(dialog, 0); return TRUE;
        case IDC_COOKIE_REMOVE_CHECKED: Remove(dialog, 1); return TRUE;
        case IDCANCEL:
            SaveWindowPosition(dialog, kCookiePos);
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

INT_PTR CALLBACK ViewerProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        const char* const* args = (const char* const*)lParam;
        SetWindowTextA(dialog, args[0]);
        SetDlgItemTextA(dialog, IDC_VIEWER_PATH, args[1]);
        SetDlgItemResString(dialog, IDCANCEL, 304);
        std::string text(16 * 1024, '\0');
        DWORD got = 0;
        Handle file(CreateFileA(args[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
        if (file && ReadFile(file.get(), &text[0], (DWORD)text.size(), &got, nullptr))
            text.resize(got);
        else
            text.clear();
        // Cookie files hold LF line ends and may hold NULs; the edit wants CRLF and text.
        std::string shown;
        for (char c : text) {
            if (c == '\n' && (shown.empty() || shown.back() != '\r'))
                shown += '\r';
            shown += c ? c : ' ';
        }
        SetDlgItemTextA(dialog, IDC_VIEWER_TEXT, shown.c_str());
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK)) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

}   // namespace

INT_PTR ShowCookieList(HWND owner, int mozilla)
{
    Review review = {};
    review.mozilla = mozilla;
    review.sortColumn = 1;
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_COOKIE_LIST), owner,
                           CookieListProc, (LPARAM)&review);
}

INT_PTR ShowTextViewer(HWND owner, const char* caption, const char* path)
{
    const char* args[] = {caption, path};
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_TEXT_VIEWER), owner,
                           ViewerProc, (LPARAM)args);
}
