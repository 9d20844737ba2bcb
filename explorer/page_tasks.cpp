// The Active Tasks page: the programs running now.
#include "dialogs_pages.h"
#include "elevate.h"
#include "entrylist.h"
#include "listpage.h"
#include "pagecommands.h"
#include "pages.h"
#include "pathutil.h"
#include "refusal.h"
#include "runtasks.h"
#include "taskstop.h"
#include "writefault.h"
#include <cstring>

// Processes whose program path could not be read have no folder and no row.
static int Keep(int index) { return strchr(GetEntry(index)->command, '\\') != nullptr; }

static void Cell(int index, int column, char* out, int capacity)
{
    const EntryRecord* r = GetEntry(index);
    out[0] = 0;
    if (column == 0)
        lstrcpynA(out, FileNamePart(r->command), capacity);
    else if (column == 1)
        lstrcpynA(out, r->title, capacity);
}

static HMENU Menu(int index)
{
    HMENU menu = CreatePopupMenu();
    AppendMenuHead(menu, index);
    AppendMenuRes(menu, IDC_PAGE_REFRESH, 305, "&Refresh");
    AppendMenuRes(menu, IDC_PAGE_SPECIFIC, 306, "&Kill Task");
    AppendMenuRes(menu, IDM_PAGE_DELETE_ON_REBOOT, 801, "Delete &File on Reboot");
    AppendMenuTail(menu);
    return menu;
}

static int Command(HWND page, int command)
{
    if (command == IDC_PAGE_REFRESH) {
        RefillListPage(page);
        return 1;
    }
    if (command != IDC_PAGE_SPECIFIC)
        return 0;
    int entries[MAX_ENTRIES];
    int count = SelectedListEntries(page, entries, MAX_ENTRIES);
    if (!count) {
        NoSelectionMessage(page);
        return 1;
    }
    ClearWriteRefusal();
    bool failed = false;
    for (int i = 0; i < count; i++) {
        const EntryRecord* r = GetEntry(entries[i]);
        DWORD error = 0;
        // Ended, or no longer that program: the refreshed list shows it.
        if (!r || EndListedProcess((DWORD)r->tag, r->command, r->title, &error) ||
            error == ERROR_NOT_FOUND)
            continue;
        // Another user's or an elevated process: the elevated copy ends exactly this one.
        EntryRecord named = *r;
        named.type = r->tag;
        if (error == ERROR_ACCESS_DENIED && NeedsElevationFor(ELEVATED_TERMINATE, named)) {
            if (RunElevated(page, ELEVATED_TERMINATE, named) < 0)
                break;
            continue;
        }
        NoteWriteRefusal(error);
        failed = true;
    }
    RefillListPage(page);
    if (failed)
        TellRefusal(page);
    return 1;
}

static constexpr ListPageDef TasksPage()
{
    ListPageDef page;
    page.commandId = PAGE_TASKS;
    SetTable(page.texts, {{IDC_TASKS_BANNER1, 221}, {IDC_TASKS_BANNER2, 222}, {IDC_PAGE_INFO, 301},
                          {IDC_PAGE_REFRESH, 305}, {IDC_PAGE_SPECIFIC, 306}});
    page.layout.bannerCount = SetTable(page.layout.banners, {IDC_TASKS_BANNER1, IDC_TASKS_BANNER2});
    page.layout.slotCount = SetTable(page.layout.slots, {{IDC_PAGE_INFO}, {IDC_PAGE_REFRESH},
                                                         {IDC_PAGE_SPECIFIC}, {IDC_PAGE_CLOSE}});
    page.columnCount = SetTable(page.columns, {{629, 0.19, COL_TEXT}, {631, 0.27, COL_TEXT},
                                               {699, 0.16, COL_COMPANY},
                                               {912, 0.16, COL_FIRST_DETECTED},
                                               {1437, 0.22, COL_PUBLISHER}});
    page.sortableColumns = 5;
    page.sortOption = "SortActiveTask";
    page.detectedList = "ActiveTasks";
    page.alwaysRefill = 1;
    page.fill = ListRunningTasks;
    page.keep = Keep;
    page.cell = Cell;
    page.menu = Menu;
    page.command = Command;
    return page;
}
constexpr ListPageDef g_tasksPage = TasksPage();
