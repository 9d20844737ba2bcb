#include "page_startup.h"
#include "elevate.h"
#include "baseline.h"
#include "dialogs_pages.h"
#include "entrylist.h"
#include "findrun.h"
#include "firstseen.h"
#include "sysfiles.h"
#include "options.h"
#include "pagecommands.h"
#include "pageframe.h"
#include "pages.h"
#include "keys.h"
#include "listrows.h"
#include "pathutil.h"
#include "platform.h"
#include "publishercolumn.h"
#include "registry.h"
#include "resource.h"
#include "resstring.h"
#include "sharedui.h"
#include "valueplaces.h"
#include "signature.h"
#include "versioninfo.h"
#include <commctrl.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

int g_startupSortFlags[kStartupColumns];

// What the list shows per entry, kept for sorting. Company and icon cost a read of the program
// file each, so they are looked up when a row is first drawn (or sorted by company).
static char g_company[MAX_ENTRIES][128];
static char g_companyRead[MAX_ENTRIES];
static int g_image[MAX_ENTRIES];
static char g_firstSeen[MAX_ENTRIES][24];
static char g_rowDisabled[MAX_ENTRIES];
static int g_lastDirection[kStartupColumns];

static constexpr PageLayout StartupLayout()
{
    PageLayout layout;
    layout.bannerCount = SetTable(layout.banners, {IDC_STARTUP_BANNER});
    layout.rowCount = SetTable(layout.rows, {IDC_PAGE_CHECK, IDC_PAGE_HIDE_SIGNED});
    layout.slotCount = SetTable(layout.slots, {{IDC_PAGE_INFO}, {IDC_PAGE_ADD}, {IDC_PAGE_REMOVE},
                                               {IDC_STARTUP_ENABLE, IDC_STARTUP_DISABLE},
                                               {IDC_PAGE_CLOSE}});
    layout.hasMonitor = 1;
    return layout;
}
static constexpr PageLayout kLayout = StartupLayout();

const char* StartupTypeName(int code)
{
    static const struct {
        int code;
        const char* name;
    } kNames[] = {
        {1, "HKLM_RUN"}, {2, "HKLM_RUNONCE"}, {3, "HKLM_RUNONCEEX"}, {4, "HKLM_RUNSERVICES"},
        {5, "HKLM_RUNSERVICESONCE"}, {6, "HKLM_RUNONCESETUP"}, {7, "HKLM_POLICY"},
        {11, "HKCU_RUN"}, {12, "HKCU_RUNONCE"}, {13, "HKCU_RUNONCEEX"}, {14, "HKCU_RUNSERVICES"},
        {15, "HKCU_RUNSERVICESONCE"}, {16, "HKCU_RUNONCESETUP"}, {17, "HKCU_POLICY"},
        {21, "HKU_RUN"}, {22, "HKU_RUNONCE"}, {23, "HKU_RUNONCEEX"}, {24, "HKU_RUNSERVICES"},
        {25, "HKU_RUNSERVICESONCE"}, {26, "HKU_RUNONCESETUP"}, {27, "HKU_POLICY"},
        {41, "HKLM32_RUN"}, {42, "HKLM32_RUNONCE"}, {43, "HKLM32_RUNONCEEX"},
        {44, "HKLM32_RUNSERVICES"}, {45, "HKLM32_RUNSERVICESONCE"}, {46, "HKLM32_RUNONCESETUP"},
        {47, "HKLM32_POLICY"},
        {31, "RUN_POLICY"}, {32, "K_RUNONCE"}, {33, "K_RUNONCEEX"}, {34, "K_RUNSERVICES"},
        {35, "K_RUNSERVICESONCE"}, {100, "WIN.INI_LOAD"}, {101, "WIN.INI_RUN"},
        {200, "STARTUP_FOLDER"}, {250, "LOGON_USERINIT"}, {251, "LOGON_SHELL"},
        {252, "DELAYLOAD"}, {253, "TASKSCHEDULER"}, {254, "SHELLHOOK"}, {255, "APPINIT_DLL"},
        {256, "NOTIFY"}, {262, "DELAYLOAD32"}, {263, "TASKSCHEDULER32"}, {264, "SHELLHOOK32"},
        {265, "APPINIT_DLL32"},
    };
    for (const auto& n : kNames)
        if (n.code == code)
            return n.name;
    // A value place by its own name, without the prefix all of them share.
    const char* place = ValuePlaceTypeName(code);
    return place && strncmp(place, "PLACE_", 6) == 0 ? place + 6 : "";
}

// "Command" column: the file-name part, through RunDLL32 for applet entries.
static void CommandColumnText(const EntryRecord* r, char* out, int capacity)
{
    snprintf(out, capacity, "%s%s", r->tag == 1 ? "RunDLL32.exe " : "", FileNamePart(r->command));
}

static void ResolvedProgram(const char* command, char* out /*260*/)
{
    GetProgramFile(command, out);
    FileExists(out, 260);
}

static int AddRowIcon(HIMAGELIST images, const char* program)
{
    HICON icon = nullptr;
    char path[260];
    lstrcpynA(path, program, sizeof(path));
    if (path[0] && FileExists(path, sizeof(path))) {
        icon = ExtractIconA(GetModuleHandleA(nullptr), path, 0);
        if (icon == (HICON)1)
            icon = nullptr;
    }
    int image;
    if (icon) {
        image = ImageList_AddIcon(images, icon);
        DestroyIcon(icon);
    } else {
        image = ImageList_AddIcon(images, LoadIconA(GetModuleHandleA(nullptr),
                                                     MAKEINTRESOURCEA(IDI_ALERT)));
    }
    return image < 0 ? 0 : image;
}

static const char* Company(int index)
{
    if (index < 0 || index >= EntryCount())
        return "";
    if (!g_companyRead[index]) {
        g_companyRead[index] = 1;
        g_company[index][0] = 0;
        char program[260];
        ResolvedProgram(GetEntry(index)->command, program);
        VersionStrings* version = new VersionStrings;
        if (GetVersionStrings(program, version))
            lstrcpynA(g_company[index], version->slot[VS_COMPANY_NAME], sizeof(g_company[index]));
        delete version;
    }
    return g_company[index];
}

static int RowImage(HWND list, int index)
{
    if (index < 0 || index >= EntryCount())
        return 0;
    if (g_image[index] < 0) {
        char program[260];
        ResolvedProgram(GetEntry(index)->command, program);
        HIMAGELIST images = (HIMAGELIST)SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0);
        g_image[index] = AddRowIcon(images, program);
    }
    return g_image[index];
}

// A row is drawn or read: its company text and icon.
static void RowDisplayInfo(NMLVDISPINFOA* info)
{
    LVITEMA& item = info->item;
    int index = (int)item.lParam;
    if (!(item.mask & LVIF_PARAM)) {
        LVITEMA param = {};
        param.mask = LVIF_PARAM;
        param.iItem = item.iItem;
        SendMessageA(info->hdr.hwndFrom, LVM_GETITEMA, 0, (LPARAM)&param);
        index = (int)param.lParam;
    }
    if ((item.mask & LVIF_TEXT) && item.iSubItem == 2 && item.pszText && item.cchTextMax > 0)
        lstrcpynA(item.pszText, Company(index), item.cchTextMax);
    if ((item.mask & LVIF_TEXT) && item.iSubItem == 5 && item.pszText && item.cchTextMax > 0)
        lstrcpynA(item.pszText, PublisherCell(GetParent(info->hdr.hwndFrom), index, Company),
                  item.cchTextMax);
    if (item.mask & LVIF_IMAGE)
        item.iImage = RowImage(info->hdr.hwndFrom, index);
}

static void SortRows(HWND list, int column, int descending);
// The page whose rows are being sorted (the publisher keys ask for their checks there).
static HWND g_sortPage;

// The rows the list was last filled with (kept when a refill finds the same).
static ListRows g_shownRows;

// The disabled index and the first-seen dates, read once per fill: one registry look-up per
// row each would be most of what filling thousands of rows costs. A program not dated in the
// sweep (missing ones never are) is asked about once per fill, not once per row: thousands of
// rows naming a few dozen removed programs each asked the file system the long way. Kept for
// one fill only, so a program created since the last fill is dated on the next.
struct FillLookups {
    RegTextMap disabled, firstSeen;
    std::unordered_map<std::string, std::string> asked;   // detected subkey + program: date
};

static int RowDisabled(const FillLookups& lookups, const EntryRecord* r)
{
    auto found = lookups.disabled.find(RegNameKey(r->title));
    return found != lookups.disabled.end() && atoi(found->second.c_str()) != 0;
}

static void FirstDetected(FillLookups& lookups, const EntryRecord* r, char* out, int capacity)
{
    char key[260];
    ProgramKey(r->command, key);
    out[0] = 0;
    const char* subkey = DetectedSubkeyForType(r->type);
    if (lstrcmpiA(subkey, KX_DETECTED_KEY "\\Startup") == 0) {
        auto found = lookups.firstSeen.find(RegNameKey(key));
        if (found != lookups.firstSeen.end() && !found->second.empty()) {
            lstrcpynA(out, found->second.c_str(), capacity < 24 ? capacity : 24);
            return;
        }
    }
    // Not dated yet (or dated since the sweep): as for a single row, once per program.
    std::string asked = std::string(subkey) + '|' + RegNameKey(key);
    auto known = lookups.asked.find(asked);
    if (known != lookups.asked.end()) {
        lstrcpynA(out, known->second.c_str(), capacity);
        return;
    }
    if (GetFirstSeenDate(key, r->type, out, capacity) <= 0) {
        RecordFirstSeen(r->command, "Startup");
        GetFirstSeenDate(key, r->type, out, capacity);
    }
    lookups.asked.emplace(asked, out);
}

void FillStartupList(HWND page)
{
    HWND list = GetDlgItem(page, IDC_PAGE_LIST);
    CancelFileSignatureRequests(page);
    BuildStartupList(1);
    StartPublisherColumn();
    // Hiding what Windows' maker signed needs every answer now; by default nothing waits.
    int hideSigned = GetOption("HideSignedStartup", 0) > 0;
    HIMAGELIST old = (HIMAGELIST)SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0);
    HIMAGELIST images = ImageList_Create(GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), ILC_COLOR | ILC_MASK,
                                         EntryCount() + 1, 16);
    ImageList_AddIcon(images, LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_KESTRIX)));
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)images);
    if (old)
        ImageList_Destroy(old);

    FillLookups lookups;
    lookups.disabled = ReadRegTexts(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, 33);
    for (const auto& user : ReadRegTexts(HKEY_CURRENT_USER, KX_DISABLED_KEY, 33))
        lookups.disabled[user.first] = user.second;
    lookups.firstSeen = ReadRegTexts(HKEY_CURRENT_USER, KX_DETECTED_KEY "\\Startup", 64);
    char disabledText[64] = "", offText[64] = "";
    LoadResString(626, disabledText, sizeof(disabledText));
    LoadResString(1160, offText, sizeof(offText));
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    int count = EntryCount();
    ListRows rows;
    StartListRows(&rows, kStartupColumns);
    for (int i = 0; i < count; i++) {
        const EntryRecord* r = GetEntry(i);
        if (hideSigned && EntryMicrosoftSigned(i))
            continue;
        char command[300];
        g_companyRead[i] = 0;
        g_image[i] = -1;
        CommandColumnText(r, command, sizeof(command));
        // Kept from starting by Windows' own switch: listed, sorted and shown as disabled.
        int disabledHere = RowDisabled(lookups, r);
        g_rowDisabled[i] = disabledHere || r->offByWindows;
        FirstDetected(lookups, r, g_firstSeen[i], sizeof(g_firstSeen[i]));
        const char* texts[kStartupColumns] = {r->title, command, kCallbackCell,
                                              disabledHere        ? disabledText
                                              : r->offByWindows   ? offText
                                                                  : StartupTypeName(r->type),
                                              g_firstSeen[i], kCallbackCell};
        AddListRow(&rows, i, texts);
    }
    ShowListRows(list, &rows, &g_shownRows);
    int sortColumn = GetOption("SortStartup", 0);
    if (sortColumn > 0 && sortColumn <= kStartupColumns) {
        // A refill keeps the order the user chose: the stored column in its last direction.
        int column = sortColumn - 1;
        SortRows(list, column, g_lastDirection[column]);
    }
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
}

int StartupRowEntry(HWND list, int row)
{
    char text[128] = "";
    LVITEMA item = {};
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    SendMessageA(list, LVM_GETITEMTEXTA, row, (LPARAM)&item);
    int count = EntryCount();
    for (int i = 0; i < count; i++) {
        const char* title = GetEntry(i)->title;
        const char* slash = strrchr(title, '\\');
        if (lstrcmpiA(slash ? slash + 1 : title, text) == 0)
            return i;
    }
    return row;
}

void SortableDate(const char* date, char* out)
{
    int length = lstrlenA(date);
    const char* colon = length >= 12 ? strchr(date + 11, ':') : nullptr;
    if (!colon || colon - (date + 11) < 1 || colon - (date + 11) > 2) {
        lstrcpyA(out, " ");
        return;
    }
    char hour[3] = {'0', date[11], 0};
    if (colon - (date + 11) == 2) {
        hour[0] = date[11];
        hour[1] = date[12];
    }
    snprintf(out, 13, "%.4s%.2s%.2s%.2s%.2s", date + 6, date, date + 3, hour, colon + 1);
}

static void SortKey(int index, int column, char* out, int capacity)
{
    const EntryRecord* r = GetEntry(index);
    char key[300] = "";
    if (!r) {
        out[0] = 0;
        return;
    }
    switch (column) {
    case 0: lstrcpynA(key, r->title, sizeof(key)); break;
    case 1: lstrcpynA(key, FileNamePart(r->command), sizeof(key)); break;
    case 2: lstrcpynA(key, Company(index), sizeof(key)); break;
    case 3: snprintf(key, sizeof(key), "%d", r->type); break;
    case 4: SortableDate(g_firstSeen[index], key); break;
    case 5:
        lstrcpynA(key, PublisherCell(g_sortPage, index, Company), sizeof(key));
        break;
    }
    if (column != 4 && g_rowDisabled[index])
        snprintf(out, capacity, "zzz%s", key);
    else
        lstrcpynA(out, key, capacity);
}

// Every entry's key of the column being sorted by, made once per sort rather than twice per
// comparison.
static std::vector<std::string> g_sortKeys;

// Column + kStartupColumns when descending.
static int CALLBACK CompareRows(LPARAM first, LPARAM second, LPARAM sortParam)
{
    int descending = (int)sortParam / kStartupColumns;
    if (first < 0 || second < 0 || first >= (LPARAM)g_sortKeys.size() ||
        second >= (LPARAM)g_sortKeys.size())
        return 0;
    char a[310], b[310];
    lstrcpynA(a, g_sortKeys[first].c_str(), sizeof(a));
    lstrcpynA(b, g_sortKeys[second].c_str(), sizeof(b));
    // Keys are cut to the shorter one: a title sorts together with its longer variants.
    int length = std::min(lstrlenA(a), lstrlenA(b));
    a[length] = b[length] = 0;
    int result = lstrcmpiA(a, b);
    return descending ? -result : result;
}

static void SortRows(HWND list, int column, int descending)
{
    g_sortPage = GetParent(list);
    int count = EntryCount();
    g_sortKeys.assign(count, std::string());
    for (int i = 0; i < count; i++) {
        char key[310];
        SortKey(i, column, key, sizeof(key));
        g_sortKeys[i] = key;
    }
    SendMessageA(list, LVM_SORTITEMS, column + kStartupColumns * descending, (LPARAM)CompareRows);
    g_sortKeys.clear();
}

void SortStartupList(HWND list, int column)
{
    if (column < 0 || column >= kStartupColumns)
        return;
    g_lastDirection[column] = g_startupSortFlags[column];
    SortRows(list, column, g_startupSortFlags[column]);
    g_startupSortFlags[column] ^= 1;
    SetOption("SortStartup", column + 1);
}

void UpdateStartupSelection(HWND page)
{
    HWND list = GetDlgItem(page, IDC_PAGE_LIST);
    HWND enable = GetDlgItem(page, IDC_STARTUP_ENABLE), disable = GetDlgItem(page, IDC_STARTUP_DISABLE);
    HWND remove = GetDlgItem(page, IDC_PAGE_REMOVE);
    int row = (int)SendMessageA(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED);
    if (row < 0) {
        ShowWindow(enable, SW_HIDE);
        ShowWindow(disable, SW_HIDE);
        return;
    }
    int index = StartupRowEntry(list, row);
    const EntryRecord* r = GetEntry(index);
    if (!r)
        return;
    EnableWindow(remove, TRUE);
    int shield = NeedsElevation(*r);
    for (HWND button : {enable, disable, remove})
        ShowShield(button, shield);
    int disabled = DisabledCodeForTitle(r->title) != 0 || r->offByWindows;
    ShowWindow(disabled ? enable : disable, SW_SHOW);
    ShowWindow(disabled ? disable : enable, SW_HIDE);
    EnableWindow(enable, TRUE);
    EnableWindow(disable, TRUE);
    char location[512], text[600];
    LoadResString(646, text, sizeof(text));
    LocationText(index, location);
    lstrcatA(text, location);
    SetStatusText(page, text, g_fonts.sansBold10);
    SetDlgItemResString(page, IDC_PAGE_REMOVE, 302);
    if (r->type == WINLOGON_Userinit || r->type == WINLOGON_Shell) {
        SetDlgItemResString(page, IDC_PAGE_REMOVE, 677);
        EnableWindow(enable, FALSE);
        EnableWindow(disable, FALSE);
    } else if (REGSAM view; HookOfCode(r->type, &view)) {
        EnableWindow(enable, FALSE);
        EnableWindow(disable, FALSE);
    } else if (r->type == RUN_WINLOGONNOTIFY) {
        EnableWindow(remove, FALSE);
    }
}

HMENU BuildStartupMenu(int index)
{
    const EntryRecord* r = GetEntry(index);
    HMENU menu = CreatePopupMenu();
    if (!r)
        return menu;
    AppendMenuHead(menu, index);
    AppendMenuRes(menu, IDC_PAGE_ADD, 311, "&Add");
    if (r->type < WINLOGON_Userinit) {
        AppendMenuRes(menu, IDM_PAGE_MOVE_TO_DELAY, 0, "&Move to Delayed Start Program List");
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuRes(menu, IDC_PAGE_REMOVE, 302, "&Remove");
        if (DisabledCodeForTitle(r->title) || r->offByWindows)
            AppendMenuRes(menu, IDC_STARTUP_ENABLE, 632, "&Enable");
        else
            AppendMenuRes(menu, IDC_STARTUP_DISABLE, 633, "&Disable");
        AppendMenuRes(menu, IDM_PAGE_DELETE_ON_REBOOT, 801, "Delete &File on Reboot");
        if (NeedsElevation(*r))
            for (int command : {IDC_PAGE_REMOVE, IDC_STARTUP_ENABLE, IDC_STARTUP_DISABLE})
                MarkMenuShield(menu, command);
        if (NeedsElevationFor(ELEVATED_DELETE_AT_RESTART, *r))
            MarkMenuShield(menu, IDM_PAGE_DELETE_ON_REBOOT);
        if (NeedsElevationFor(ELEVATED_DELAY_MOVE, *r))
            MarkMenuShield(menu, IDM_PAGE_MOVE_TO_DELAY);
    }
    AppendMenuTail(menu);
    return menu;
}

static void InitPage(HWND page)
{
    SetDlgItemResString(page, IDC_STARTUP_BANNER, 211);
    SetDlgItemResString(page, IDC_PAGE_INFO, 301);
    SetDlgItemResString(page, IDC_PAGE_ADD, 311);
    SetDlgItemResString(page, IDC_PAGE_REMOVE, 302);
    SetDlgItemResString(page, IDC_STARTUP_ENABLE, 632);
    SetDlgItemResString(page, IDC_STARTUP_DISABLE, 633);
    SetDlgItemResString(page, IDC_PAGE_CLOSE, 304);
    SetDlgItemTextA(page, IDC_PAGE_CHECK, "  Show All Advanced Startup Programs");
    SetDlgItemResString(page, IDC_PAGE_HIDE_SIGNED, 1439);
    SetDlgItemResString(page, IDC_PAGE_HELP_LABEL, 793);
    SetDlgItemResString(page, IDC_PAGE_MONITOR_LABEL, 794);
    ShowWindow(GetDlgItem(page, IDC_STARTUP_DISABLE), SW_HIDE);
    if (!IsWindowsNT())
        ShowWindow(GetDlgItem(page, IDC_PAGE_CLOSE), SW_HIDE);

    HWND list = GetDlgItem(page, IDC_PAGE_LIST);
    RECT r;
    GetWindowRect(list, &r);
    int width = r.right - r.left - GetSystemMetrics(SM_CYVSCROLL);
    static const struct {
        UINT text;
        double share;
    } kColumns[] = {{627, 0.23}, {628, 0.12}, {699, 0.14}, {714, 0.12}, {912, 0.16}, {1437, 0.22}};
    for (int i = 0; i < kStartupColumns; i++) {
        char title[64] = "";
        LoadResString(kColumns[i].text, title, sizeof(title));
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = (int)(width * kColumns[i].share);
        column.pszText = title;
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, i, (LPARAM)&column);
    }
    PageInit(page, PAGE_STARTUP);
}

static void Activate(HWND page)
{
    HCURSOR old = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    EnableWindow(GetDlgItem(page, IDC_PAGE_CHECK), TRUE);
    FillStartupList(page);
    HWND list = GetDlgItem(page, IDC_PAGE_LIST);
    LVITEMA item = {};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, 0, (LPARAM)&item);
    PageActivate(page, PAGE_STARTUP);
    SetMonitorButton(page, GetOption("Start", 2) >= 1, GetOption("RealtimeStartup", 1) > 0);
    CheckDlgButton(page, IDC_PAGE_CHECK, GetOption("ShowAllStartup", 0) > 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_PAGE_HIDE_SIGNED,
                   GetOption("HideSignedStartup", 0) > 0 ? BST_CHECKED : BST_UNCHECKED);
    UpdateStartupSelection(page);
    SetCursor(old);
}

static void ContextMenu(HWND page, const NMITEMACTIVATE* click)
{
    if (click->iItem < 0)
        return;
    HMENU menu = BuildStartupMenu(StartupRowEntry(click->hdr.hwndFrom, click->iItem));
    POINT pt;
    GetCursorPos(&pt);
    TrackPopupMenuEx(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, page, nullptr);
    DestroyMenu(menu);
}

static INT_PTR Notify(HWND page, NMHDR* header)
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
    if (header->idFrom != IDC_PAGE_LIST)
        return FALSE;
    switch (header->code) {
    case LVN_GETDISPINFOA:
        RowDisplayInfo((NMLVDISPINFOA*)header);
        return TRUE;
    case LVN_INSERTITEM:
    case LVN_DELETEITEM:
        ForgetListRows(&g_shownRows);
        return FALSE;
    case LVN_DELETEALLITEMS:
        ForgetListRows(&g_shownRows);
        // Nothing is kept per row: no notification for each of them.
        SetWindowLongPtrA(page, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case LVN_COLUMNCLICK:
        SortStartupList(header->hwndFrom, ((NMLISTVIEW*)header)->iSubItem);
        return TRUE;
    case LVN_ITEMCHANGED:
    case NM_CLICK:
    case NM_CHAR:
        UpdateStartupSelection(page);
        return TRUE;
    case LVN_KEYDOWN:
        if (((NMLVKEYDOWN*)header)->wVKey == VK_DELETE)
            StartupCommand(page, IDC_PAGE_REMOVE);
        return TRUE;
    case NM_RCLICK:
        ContextMenu(page, (NMITEMACTIVATE*)header);
        return TRUE;
    case NM_DBLCLK:
        StartupCommand(page, IDC_PAGE_INFO);
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK StartupPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        ForgetListRows(&g_shownRows);
        InitPage(page);
        return TRUE;
    case WM_NOTIFY:
        return Notify(page, (NMHDR*)lParam);
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_PAGE_HIDE_SIGNED) {
            SetOption("HideSignedStartup", IsDlgButtonChecked(page, IDC_PAGE_HIDE_SIGNED) == BST_CHECKED);
            FillStartupList(page);
            UpdateStartupSelection(page);
            return TRUE;
        }
        return StartupCommand(page, LOWORD(wParam));
    case WM_PUBLISHER_ANSWER:
        // Sorted by publisher: the order is made again once the last answer is in.
        if (PublisherAnswer(page, wParam) && GetOption("SortStartup", 0) == kStartupColumns)
            SortRows(GetDlgItem(page, IDC_PAGE_LIST), kStartupColumns - 1,
                     g_lastDirection[kStartupColumns - 1]);
        return TRUE;
    case WM_PAGE_LAYOUT:
        LayoutPageControls(page, kLayout);
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
        ForgetListRows(&g_shownRows);
        CancelFileSignatureRequests(page);
        PageDestroy(page);
        break;
    }
    }
    return FALSE;
}
