// The Hidden Files page: hidden files in the system folders.
#include "dialogs_pages.h"
#include "elevate.h"
#include "writefault.h"
#include "refusal.h"
#include "entrylist.h"
#include "fileinfo.h"
#include "folderwalk.h"
#include "listpage.h"
#include "pagecommands.h"
#include "pages.h"
#include "pathutil.h"
#include "resstring.h"
#include "sysmessage.h"
#include "vault.h"
#include <cstring>

static int Keep(int index) { return strchr(GetEntry(index)->command, '\\') != nullptr; }

static void Cell(int index, int column, char* out, int capacity)
{
    const EntryRecord* r = GetEntry(index);
    out[0] = 0;
    switch (column) {
    case 0: lstrcpynA(out, FileNamePart(r->command), capacity); break;
    case 1: {
        int folder = FileNameOffset(r->command);
        lstrcpynA(out, r->command, folder > 1 && folder < capacity ? folder : capacity);
        break;
    }
    case 3: {
        char size[32], date[32];
        if (!GetSizeAndDate(r->command, size, date)) {
            LoadResString(923, out, capacity);
            break;
        }
        int length = lstrlenA(date);
        if (length > 16)
            date[length - 3] = 0;
        lstrcpynA(out, date, capacity);
        break;
    }
    case 4:
        // The inventory's tag is 1 for a file without the system attribute.
        lstrcpynA(out, r->tag == 0 ? "SYSTEM" : "", capacity);
        break;
    }
}

static HMENU Menu(int index)
{
    HMENU menu = CreatePopupMenu();
    AppendMenuHead(menu, index);
    AppendMenuRes(menu, IDC_PAGE_REFRESH, 305, "&Refresh");
    AppendMenuRes(menu, IDM_PAGE_DELETE_FILE, 925, "&Delete");
    AppendMenuRes(menu, IDM_PAGE_DELETE_ON_REBOOT, 801, "Delete &File on Reboot");
    AppendMenuRes(menu, IDM_PAGE_VIEW_NOTEPAD, 913, "&View using NotePad");
    AppendMenuTail(menu);
    return menu;
}

static int ElevatedVerbOf(int, int command)
{
    return command == IDC_PAGE_SPECIFIC ? ELEVATED_UNHIDE
           : command == IDM_PAGE_DELETE_FILE ? ELEVATED_HIDDEN_DELETE
                                             : 0;
}

static int Command(HWND page, int command)
{
    int index = FocusedListEntry(page);
    const EntryRecord* r = GetEntry(index);
    switch (command) {
    case IDC_PAGE_REFRESH:
        RefillListPage(page);
        return 1;
    case IDC_PAGE_SPECIFIC:
    case IDM_PAGE_DELETE_FILE:
    case IDM_PAGE_VIEW_NOTEPAD:
    case IDM_PAGE_DELETE_ON_REBOOT:
        break;
    default:
        return 0;
    }
    if (!r) {
        NoSelectionMessage(page);
        return 1;
    }
    char path[260];
    lstrcpynA(path, r->command, sizeof(path));
    ClearWriteRefusal();
    switch (command) {
    case IDC_PAGE_SPECIFIC:
        if (NeedsElevationFor(ELEVATED_UNHIDE, *r)) {
            RunElevated(page, ELEVATED_UNHIDE, *r);   // the copy tells its own failure
        } else if (!UnhideFile(path)) {
            NoteActionFailure();
            TellRefusal(page);
        }
        break;
    case IDM_PAGE_DELETE_FILE: {
        if (AskResString(page, 926, path, MB_YESNO | MB_ICONSTOP) != IDYES)
            return 1;
        ListedState why = LISTED_OPEN;
        if (NeedsElevationFor(ELEVATED_HIDDEN_DELETE, *r)) {
            EntryRecord copy = *r;
            RunElevated(page, ELEVATED_HIDDEN_DELETE, copy);
        } else if (!CondemnHiddenFile(r->title, path, &why)) {
            if (why == LISTED_ELSEWHERE)
                ShowDeleteRefusal(page, RESTART_ELSEWHERE, path);
            else if (why != LISTED_MISSING) {
                NoteActionFailure();
                TellRefusal(page);
            }
        }
        break;
    }
    case IDM_PAGE_VIEW_NOTEPAD:
        ViewHiddenFile(path);
        return 1;
    case IDM_PAGE_DELETE_ON_REBOOT:
        if (!DeleteEntryFileOnReboot(page, index))
            return 1;
        break;
    }
    RefillListPage(page);
    return 1;
}

static constexpr ListPageDef HiddenPage()
{
    ListPageDef page;
    page.commandId = PAGE_HIDDEN;
    SetTable(page.texts, {{IDC_HIDDEN_BANNER1, 910}, {IDC_HIDDEN_BANNER2, 911},
                          {IDC_PAGE_INFO, 301}, {IDC_PAGE_REFRESH, 305}, {IDC_PAGE_SPECIFIC, 931}});
    page.layout.bannerCount = SetTable(page.layout.banners, {IDC_HIDDEN_BANNER1,
                                                             IDC_HIDDEN_BANNER2});
    page.layout.slotCount = SetTable(page.layout.slots, {{IDC_PAGE_INFO}, {IDC_PAGE_REFRESH},
                                                         {IDC_PAGE_SPECIFIC}, {IDC_PAGE_CLOSE}});
    page.layout.hasMonitor = 1;
    page.columnCount = SetTable(page.columns, {{629, 0.23, COL_TEXT}, {776, 0.30, COL_TEXT},
                                               {912, 0.20, COL_FIRST_DETECTED},
                                               {914, 0.20, COL_LAZY}, {714, 0.12, COL_TEXT}});
    page.sortableColumns = 5;
    page.sortOption = "SortHidden";
    page.patrolCaption = 924;
    page.patrolOption = "Hidden";
    page.realtimeOption = "RealtimeHidden";
    page.detectedList = "Hidden";
    page.tagColumn = 5;
    page.fill = BuildHiddenFileList;
    page.keep = Keep;
    page.cell = Cell;
    page.menu = Menu;
    page.command = Command;
    page.elevatedVerb = ElevatedVerbOf;
    return page;
}
constexpr ListPageDef g_hiddenPage = HiddenPage();
