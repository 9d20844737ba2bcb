#include "listpage.h"
#include "elevate.h"
#include "baseline.h"
#include "dialogs_pages.h"
#include "entrylist.h"
#include "firstseen.h"
#include "infodialog.h"
#include "keys.h"
#include "listrows.h"
#include "options.h"
#include "onlineinfo.h"
#include "page_startup.h"
#include "pagecommands.h"
#include "pages.h"
#include "pathutil.h"
#include "patroltime.h"
#include "platform.h"
#include "publishercolumn.h"
#include "reportsave.h"
#include "resource.h"
#include "resstring.h"
#include "sharedui.h"
#include "signature.h"
#include "versioninfo.h"
#include "winpos.h"
#include <commctrl.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

int g_pageSortFlags[kMaxListColumns];
static int g_lastDirection[kMaxListColumns];

// What a row shows beyond its inserted texts, looked up when the row is first drawn: reading a
// program's version resource or icon costs a file open, and most rows are never seen.
static char g_company[MAX_ENTRIES][128];
static char g_companyRead[MAX_ENTRIES];
static int g_image[MAX_ENTRIES];
static char g_firstSeen[MAX_ENTRIES][24];
static char g_lazy[MAX_ENTRIES][64];   // one lazily read column per page
static char g_lazyRead[MAX_ENTRIES];

static const ListPageDef* const kPages[] = {&g_delayPage, &g_ieHelpersPage, &g_scheduledPage,
                                            &g_servicesPage, &g_tasksPage, &g_fileTypesPage,
                                            &g_hiddenPage};

const ListPageDef* FindListPage(int commandId)
{
    for (const ListPageDef* def : kPages)
        if (def->commandId == commandId)
            return def;
    return nullptr;
}

static const ListPageDef* DefOf(HWND page)
{
    return FindListPage((int)GetWindowLongPtrA(page, DWLP_USER));
}

static HWND List(HWND page) { return GetDlgItem(page, IDC_PAGE_LIST); }

const char* ListCompany(int index)
{
    if (index < 0 || index >= EntryCount())
        return "";
    if (!g_companyRead[index]) {
        g_companyRead[index] = 1;
        g_company[index][0] = 0;
        char program[260];
        EntryProgramFile(index, program);
        VersionStrings* version = new VersionStrings;
        if (program[0] && GetVersionStrings(program, version))
            lstrcpynA(g_company[index], version->slot[VS_COMPANY_NAME], sizeof(g_company[index]));
        delete version;
    }
    return g_company[index];
}

static const char* LazyText(const ListPageDef& def, int index, int column)
{
    if (!g_lazyRead[index]) {
        g_lazyRead[index] = 1;
        g_lazy[index][0] = 0;
        def.cell(index, column, g_lazy[index], sizeof(g_lazy[index]));
    }
    return g_lazy[index];
}

static int RowImage(const ListPageDef& def, HWND list, int index)
{
    if (index < 0 || index >= EntryCount())
        return 0;
    if (g_image[index] >= 0)
        return g_image[index];
    char file[260] = "";
    int iconIndex = 0;
    if (def.iconSource)
        def.iconSource(index, file, &iconIndex);
    if (!file[0])
        EntryProgramFile(index, file);
    HICON icon = nullptr;
    if (file[0] && FileExists(file, sizeof(file))) {
        icon = ExtractIconA(GetModuleHandleA(nullptr), file, iconIndex);
        if (icon == (HICON)1)
            icon = nullptr;
    }
    HIMAGELIST images = (HIMAGELIST)SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0);
    int image;
    if (icon) {
        image = ImageList_AddIcon(images, icon);
        DestroyIcon(icon);
    } else {
        image = ImageList_AddIcon(images, LoadIconA(GetModuleHandleA(nullptr),
                                                     MAKEINTRESOURCEA(IDI_ALERT)));
    }
    g_image[index] = image < 0 ? 0 : image;
    return g_image[index];
}

static void DisplayInfo(const ListPageDef& def, NMLVDISPINFOA* info)
{
    LVITEMA& item = info->item;
    int index = (int)item.lParam;
    if (!(item.mask & LVIF_PARAM))
        index = ListRowEntry(info->hdr.hwndFrom, item.iItem);
    if (index < 0 || index >= EntryCount())
        return;
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0 &&
        item.iSubItem < def.columnCount) {
        switch (def.columns[item.iSubItem].kind) {
        case COL_COMPANY: {
            const char* company = ListCompany(index);
            lstrcpynA(item.pszText, company[0] || !def.companyBlank ? company : " ",
                      item.cchTextMax);
            break;
        }
        case COL_LAZY:
            lstrcpynA(item.pszText, LazyText(def, index, item.iSubItem), item.cchTextMax);
            break;
        case COL_PUBLISHER:
            lstrcpynA(item.pszText, PublisherCell(GetParent(info->hdr.hwndFrom), index, ListCompany),
                      item.cchTextMax);
            break;
        }
    }
    if (item.mask & LVIF_IMAGE)
        item.iImage = RowImage(def, info->hdr.hwndFrom, index);
}

// The rows each page's list was last filled with, by list window.
static std::unordered_map<HWND, ListRows> g_shownRows;

static void FirstDetected(const ListPageDef& def, const EntryRecord* r, char* out, int capacity)
{
    char key[260];
    ProgramKey(r->command, key);
    out[0] = 0;
    if (GetFirstSeenDate(key, r->type, out, capacity) > 0 || !def.detectedList)
        return;
    RecordFirstSeen(r->command, def.detectedList);
    GetFirstSeenDate(key, r->type, out, capacity);
}

static const ListPageDef* g_sortDef;
static HWND g_sortPage;

static void SortKeyOf(const ListPageDef& def, int index, int column, char* out, int capacity)
{
    out[0] = 0;
    const EntryRecord* r = GetEntry(index);
    if (!r || column >= def.columnCount)
        return;
    if (def.sortKey && def.sortKey(index, column, out, capacity))
        return;
    switch (def.columns[column].kind) {
    case COL_TEXT: def.cell(index, column, out, capacity); break;
    case COL_LAZY: lstrcpynA(out, LazyText(def, index, column), capacity); break;
    case COL_COMPANY: lstrcpynA(out, ListCompany(index), capacity); break;
    case COL_PUBLISHER: lstrcpynA(out, PublisherCell(g_sortPage, index, ListCompany), capacity); break;
    case COL_FIRST_DETECTED: {
        char key[13];
        SortableDate(g_firstSeen[index], key);
        lstrcpynA(out, key, capacity);
        break;
    }
    }
}

// Sort parameter: column + kMaxListColumns when descending.
static int CALLBACK CompareRows(LPARAM first, LPARAM second, LPARAM sortParam)
{
    const ListPageDef& def = *g_sortDef;
    int column = (int)sortParam % kMaxListColumns, descending = (int)sortParam / kMaxListColumns;
    if (def.tagColumn == column + 1) {
        const EntryRecord *a = GetEntry((int)first), *b = GetEntry((int)second);
        int ta = a ? a->tag : 0, tb = b ? b->tag : 0;
        return ta < tb ? -1 : ta > tb;
    }
    char a[1100], b[1100];
    SortKeyOf(def, (int)first, column, a, sizeof(a));
    SortKeyOf(def, (int)second, column, b, sizeof(b));
    if (def.cutSortKeys) {
        int length = std::min(lstrlenA(a), lstrlenA(b));
        a[length] = b[length] = 0;
    }
    int result = lstrcmpiA(a, b);
    return descending ? -result : result;
}

static void SortRows(HWND list, const ListPageDef& def, int column, int descending)
{
    g_sortDef = &def;
    g_sortPage = GetParent(list);
    SendMessageA(list, LVM_SORTITEMS, column + kMaxListColumns * descending, (LPARAM)CompareRows);
}

void SortListPageAscending(HWND page, const ListPageDef& def, int column)
{
    SortRows(List(page), def, column, 0);
}

void SortListPage(HWND page, const ListPageDef& def, int column)
{
    if (column < 0 || column >= def.sortableColumns || column >= def.columnCount)
        return;
    g_lastDirection[column] = g_pageSortFlags[column];
    SortRows(List(page), def, column, g_pageSortFlags[column]);
    g_pageSortFlags[column] ^= 1;
    if (def.sortOption)
        SetOption(def.sortOption, column + 1);
}

void FillListPage(HWND page, const ListPageDef& def)
{
    HWND list = List(page);
    CancelFileSignatureRequests(page);
    def.fill();
    StartPublisherColumn();
    HIMAGELIST old = (HIMAGELIST)SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0);
    HIMAGELIST images = ImageList_Create(GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), ILC_COLOR | ILC_MASK,
                                         EntryCount() + 1, 16);
    ImageList_AddIcon(images, LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_KESTRIX)));
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)images);
    if (old)
        ImageList_Destroy(old);

    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    int count = EntryCount();
    ListRows rows;
    StartListRows(&rows, def.columnCount);
    std::vector<std::string> cells(def.columnCount);
    std::vector<const char*> texts(def.columnCount);
    for (int i = 0; i < count; i++) {
        if (def.keep && !def.keep(i))
            continue;
        const EntryRecord* r = GetEntry(i);
        g_companyRead[i] = g_lazyRead[i] = 0;
        g_image[i] = -1;
        g_firstSeen[i][0] = 0;
        for (int c = 0; c < def.columnCount; c++) {
            char text[1100] = "";
            if (c == 0 || def.columns[c].kind == COL_TEXT) {
                def.cell(i, c, text, sizeof(text));
                cells[c] = text;
            } else if (def.columns[c].kind == COL_FIRST_DETECTED) {
                FirstDetected(def, r, g_firstSeen[i], sizeof(g_firstSeen[i]));
                cells[c] = g_firstSeen[i];
            } else {
                cells[c] = kCallbackCell;
            }
            texts[c] = cells[c].c_str();
        }
        AddListRow(&rows, i, texts.data());
    }
    ShowListRows(list, &rows, &g_shownRows[list]);
    int sortColumn = def.sortOption ? GetOption(def.sortOption, 0) : 0;
    if (sortColumn > 0 && sortColumn <= def.sortableColumns) {
        // A refill keeps the order the user chose: the stored column in its last direction.
        SortRows(list, def, sortColumn - 1, g_lastDirection[sortColumn - 1]);
    }
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
}

int ListRowEntry(HWND list, int row)
{
    if (row < 0)
        return -1;
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item))
        return -1;
    return (int)item.lParam;
}

int SelectedListEntries(HWND page, int* out, int capacity)
{
    HWND list = List(page);
    int count = 0;
    for (int row = -1;
         count < capacity && (row = (int)SendMessageA(list, LVM_GETNEXTITEM, row, LVNI_SELECTED)) >= 0;)
        out[count++] = ListRowEntry(list, row);
    return count;
}

int FocusedListEntry(HWND page)
{
    HWND list = List(page);
    int row = (int)SendMessageA(list, LVM_GETNEXTITEM, -1, LVNI_FOCUSED | LVNI_SELECTED);
    if (row < 0)
        row = (int)SendMessageA(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED);
    return ListRowEntry(list, row);
}

void SelectListRow(HWND list, int row)
{
    LVITEMA item = {};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, row, (LPARAM)&item);
    SendMessageA(list, LVM_ENSUREVISIBLE, row, FALSE);
}

static void UpdateSelection(HWND page, const ListPageDef& def)
{
    int index = FocusedListEntry(page);
    const EntryRecord* r = GetEntry(index);
    if (!r)
        return;
    char text[1100];
    if (def.status)
        def.status(index, text, sizeof(text));
    else
        lstrcpynA(text, r->command, sizeof(text));
    SetStatusText(page, text, nullptr);
    for (const ButtonSlot& slot : def.layout.slots)
        for (int id : {slot.id, slot.sharedWith})
            if (id) {
                int verb = ListPageVerb(def, index, id);
                ShowShield(GetDlgItem(page, id), verb && NeedsElevationFor(verb, *r));
            }
}

int ListPageVerb(const ListPageDef& def, int index, int command)
{
    if (command == IDM_PAGE_DELETE_ON_REBOOT)
        return ELEVATED_DELETE_AT_RESTART;
    return def.elevatedVerb ? def.elevatedVerb(index, command) : 0;
}

HMENU ListPageMenu(const ListPageDef& def, int index)
{
    HMENU menu = def.menu(index);
    const EntryRecord* r = GetEntry(index);
    for (int i = 0; r && i < GetMenuItemCount(menu); i++) {
        int command = (int)GetMenuItemID(menu, i);
        int verb = command > 0 ? ListPageVerb(def, index, command) : 0;
        if (verb && NeedsElevationFor(verb, *r))
            MarkMenuShield(menu, command);
    }
    return menu;
}

// A signature arrived: the rows show it; when the list is sorted by the publisher and the
// last one arrived, the order is made again from the final texts.
static void PublisherArrived(HWND page, const ListPageDef& def, WPARAM ticket)
{
    if (!PublisherAnswer(page, ticket) || !def.sortOption)
        return;
    int sortColumn = GetOption(def.sortOption, 0);
    if (sortColumn > 0 && sortColumn <= def.columnCount &&
        def.columns[sortColumn - 1].kind == COL_PUBLISHER)
        SortRows(List(page), def, sortColumn - 1, g_lastDirection[sortColumn - 1]);
}

void RefillListPage(HWND page)
{
    const ListPageDef* def = DefOf(page);
    if (!def)
        return;
    FillListPage(page, *def);
    UpdateSelection(page, *def);
}

// The explorer writes every option back when it ends: a patrol time changed here must also
// be changed in the copy it writes from.
static int* OptionField(const char* name)
{
    static const struct {
        const char* name;
        int* field;
    } kFields[] = {
        {"IEHelpers", &g_options.IEHelpers}, {"Tasks", &g_options.Tasks},
        {"Services", &g_options.Services}, {"FileType", &g_options.FileType},
        {"Hidden", &g_options.Hidden}, {"HideMicrosoftServices", &g_options.HideMicrosoftServices},
    };
    for (const auto& f : kFields)
        if (!lstrcmpA(f.name, name))
            return f.field;
    return nullptr;
}

void SetPageOption(const char* name, int value)
{
    SetOption(name, value);
    if (int* field = OptionField(name))
        *field = value;
}

static void ShowMonitorButton(HWND page, const ListPageDef& def)
{
    if (!def.patrolCaption)
        return;
    SetMonitorButton(page, GetOption(def.patrolOption, def.patrolDefault) > 0,
                     def.realtimeOption && GetOption(def.realtimeOption, def.realtimeDefault) > 0);
}

static void PatrolTime(HWND page, const ListPageDef& def)
{
    if (!def.patrolCaption)
        return;
    int minutes = PatrolTimeDialog(page, def.patrolCaption, GetOption(def.patrolOption, def.patrolDefault));
    if (minutes < 0)
        return;
    SetPageOption(def.patrolOption, minutes);
    ShowMonitorButton(page, def);
}

static void Info(HWND page, const ListPageDef& def)
{
    HWND list = List(page);
    int row = (int)SendMessageA(list, LVM_GETNEXTITEM, -1, LVNI_FOCUSED | LVNI_SELECTED);
    if (row < 0)
        row = (int)SendMessageA(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED);
    if (row < 0) {
        NoSelectionMessage(page);
        return;
    }
    ShowProgramInfo(page, ListRowEntry(list, row));
    // The dialog can stop a service or change its start type.
    if (def.commandId == PAGE_SERVICES)
        FillListPage(page, def);
    SelectListRow(list, row);
    SetFocus(list);
}

static void OnFocused(HWND page, void (*action)(HWND page, int index))
{
    int index = FocusedListEntry(page);
    if (index < 0)
        NoSelectionMessage(page);
    else
        action(page, index);
}

static int Command(HWND page, const ListPageDef& def, int command)
{
    if (def.command && def.command(page, command))
        return 1;
    switch (command) {
    case IDOK:
    case IDC_PAGE_INFO: Info(page, def); return 1;
    case IDCANCEL: return 1;
    case IDM_PAGE_REPORT: SaveReport(page, REPORT_LOG); return 1;
    case IDC_PAGE_CLOSE: PropSheet_PressButton(GetParent(page), PSBTN_CANCEL); return 1;
    case IDM_PAGE_ONLINE_INFO:
        OnFocused(page, [](HWND, int index) { ShowEntryOnlineInformation(index); });
        return 1;
    case IDC_PAGE_HELP_IMAGE: RunHelp(page, def.commandId); return 1;
    case IDC_PAGE_MONITOR_IMAGE: PatrolTime(page, def); return 1;
    case IDM_PAGE_DELETE_ON_REBOOT:
        OnFocused(page, [](HWND p, int index) { DeleteEntryFileOnReboot(p, index); });
        return 1;
    case IDM_PAGE_VIEW_NOTE: OnFocused(page, ViewEntryNote); return 1;
    case IDM_PAGE_EXPLORE_FOLDER: OnFocused(page, ExploreEntryFolder); return 1;
    case IDM_PAGE_PROPERTIES: OnFocused(page, ShowEntryProperties); return 1;
    }
    return 0;
}

static void InitPage(HWND page, const ListPageDef& def)
{
    for (const ControlText& text : def.texts)
        if (text.control)
            SetDlgItemResString(page, text.control, text.text);
    SetDlgItemResString(page, IDC_PAGE_HELP_LABEL, 793);
    SetDlgItemResString(page, IDC_PAGE_MONITOR_LABEL, 794);
    SetDlgItemResString(page, IDC_PAGE_CLOSE, 304);
    if (!IsWindowsNT())
        ShowWindow(GetDlgItem(page, IDC_PAGE_CLOSE), SW_HIDE);

    HWND list = List(page);
    RECT r;
    GetWindowRect(list, &r);
    int width = r.right - r.left - (def.fullWidth ? 0 : GetSystemMetrics(SM_CYVSCROLL));
    for (int i = 0; i < def.columnCount; i++) {
        char title[64] = "";
        LoadResString(def.columns[i].text, title, sizeof(title));
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = (int)(width * def.columns[i].share);
        column.pszText = title;
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, i, (LPARAM)&column);
        if (def.columns[i].share <= 0)
            SendMessageA(list, LVM_SETCOLUMNWIDTH, i, LVSCW_AUTOSIZE_USEHEADER);
    }
    if (def.init)
        def.init(page);
    PageInit(page, def.commandId);
}

static void Activate(HWND page, const ListPageDef& def)
{
    HCURSOR old = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    HWND list = List(page);
    if (def.alwaysRefill || EntryCount() == 0 || SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == 0)
        FillListPage(page, def);
    if (def.activate)
        def.activate(page);
    SelectListRow(list, 0);
    PageActivate(page, def.commandId);
    ShowMonitorButton(page, def);
    UpdateSelection(page, def);
    SetCursor(old);
}

static void ContextMenu(HWND page, const ListPageDef& def, const NMITEMACTIVATE* click)
{
    if (click->iItem < 0 || !def.menu)
        return;
    HMENU menu = ListPageMenu(def, ListRowEntry(click->hdr.hwndFrom, click->iItem));
    POINT pt;
    GetCursorPos(&pt);
    TrackPopupMenuEx(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, page, nullptr);
    DestroyMenu(menu);
}

static INT_PTR Notify(HWND page, const ListPageDef& def, NMHDR* header)
{
    switch (header->code) {
    case PSN_SETACTIVE:
        Activate(page, def);
        SetWindowLongPtrA(page, DWLP_MSGRESULT, 0);
        return TRUE;
    case PSN_KILLACTIVE:
        CleanupActivePage(page);
        SetWindowLongPtrA(page, DWLP_MSGRESULT, FALSE);
        return TRUE;
    }
    if (header->idFrom != IDC_PAGE_LIST)
        return FALSE;
    switch (header->code) {
    case LVN_GETDISPINFOA:
        DisplayInfo(def, (NMLVDISPINFOA*)header);
        return TRUE;
    case LVN_INSERTITEM:
    case LVN_DELETEITEM:
        ForgetListRows(&g_shownRows[header->hwndFrom]);
        return FALSE;
    case LVN_DELETEALLITEMS:
        ForgetListRows(&g_shownRows[header->hwndFrom]);
        // Nothing is kept per row: no notification for each of them.
        SetWindowLongPtrA(page, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case LVN_COLUMNCLICK:
        SortListPage(page, def, ((NMLISTVIEW*)header)->iSubItem);
        return TRUE;
    case LVN_ITEMCHANGED:
    case NM_CLICK:
    case NM_CHAR:
        UpdateSelection(page, def);
        return TRUE;
    case NM_RCLICK:
        ContextMenu(page, def, (NMITEMACTIVATE*)header);
        return TRUE;
    case NM_DBLCLK:
        Info(page, def);
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK ListPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        int commandId = (int)((const PROPSHEETPAGEA*)lParam)->lParam;
        SetWindowLongPtrA(page, DWLP_USER, commandId);
        if (const ListPageDef* def = FindListPage(commandId))
            InitPage(page, *def);
        return TRUE;
    }
    const ListPageDef* def = DefOf(page);
    if (!def)
        return FALSE;
    switch (message) {
    case WM_NOTIFY:
        return Notify(page, *def, (NMHDR*)lParam);
    case WM_COMMAND:
        return Command(page, *def, LOWORD(wParam));
    case WM_PAGE_LAYOUT:
        LayoutPageControls(page, def->layout);
        return TRUE;
    case WM_PUBLISHER_ANSWER:
        PublisherArrived(page, *def, wParam);
        return TRUE;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
        return ImageButtonMouse(page, message, lParam);
    case WM_CLOSE:
    case WM_DESTROY: {
        HIMAGELIST images = (HIMAGELIST)SendDlgItemMessageA(page, IDC_PAGE_LIST, LVM_SETIMAGELIST,
                                                            LVSIL_SMALL, 0);
        if (images)
            ImageList_Destroy(images);
        g_shownRows.erase(List(page));
        CancelFileSignatureRequests(page);
        PageDestroy(page);
        break;
    }
    }
    return FALSE;
}
