// The Scheduled Tasks page: the work items of the Task Scheduler and the tasks of its 2.0
// service, which can also be switched off and on.
#include "dialogs_pages.h"
#include "writefault.h"
#include "refusal.h"
#include "entrylist.h"
#include "keys.h"
#include "listpage.h"
#include "pagecommands.h"
#include "pages.h"
#include "pathutil.h"
#include "registry.h"
#include "resstring.h"
#include "sysmessage.h"
#include "taskactions.h"
#include "tasks.h"

static void Cell(int index, int column, char* out, int capacity)
{
    const EntryRecord* r = GetEntry(index);
    out[0] = 0;
    switch (column) {
    case 0: lstrcpynA(out, r->title, capacity); break;
    case 1: lstrcpynA(out, FileNamePart(r->command), capacity); break;
    case 3:
        // A switched-off task does not run whatever its schedule says.
        if (!(r->tag & TASK_TAG_DISABLED) || !LoadResString(626, out, capacity))
            lstrcpynA(out, r->source, capacity);
        break;
    case 4: lstrcpynA(out, r->detail, capacity); break;
    }
}

static HMENU Menu(int index)
{
    HMENU menu = CreatePopupMenu();
    AppendMenuHead(menu, index);
    AppendMenuRes(menu, IDC_PAGE_REMOVE, 302, "&Remove");
    const EntryRecord* r = GetEntry(index);
    if (r && (r->tag & TASK_TAG_SERVICE)) {
        if (r->tag & TASK_TAG_DISABLED)
            AppendMenuRes(menu, IDC_STARTUP_ENABLE, 632, "&Enable");
        else
            AppendMenuRes(menu, IDC_STARTUP_DISABLE, 633, "&Disable");
    }
    AppendMenuRes(menu, IDM_PAGE_DELETE_ON_REBOOT, 801, "Delete &File on Reboot");
    AppendMenuTail(menu);
    return menu;
}

// A task left as it was is said so, and keeps its known value; a change Windows refused is
// said with what to do about it.
static bool Changed(HWND page, HRESULT hr)
{
    if (hr == S_OK)
        return true;
    if (hr == S_FALSE) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        ShowSystemError();
        return false;
    }
    ClearWriteRefusal();
    NoteWriteRefusal(HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : (DWORD)hr);
    TellRefusal(page);
    return false;
}

static int Command(HWND page, int command)
{
    if (command != IDC_PAGE_REMOVE && command != IDC_STARTUP_ENABLE &&
        command != IDC_STARTUP_DISABLE)
        return 0;
    int entries[MAX_ENTRIES];
    int count = SelectedListEntries(page, entries, MAX_ENTRIES);
    if (!count) {
        NoSelectionMessage(page);
        return 1;
    }
    if (command != IDC_PAGE_REMOVE) {
        for (int i = 0; i < count; i++)
            if (const EntryRecord* r = GetEntry(entries[i]))
                if (r->tag & TASK_TAG_SERVICE)   // a work item has no switch
                    Changed(page, SetScheduledTaskEnabled(r->title, command == IDC_STARTUP_ENABLE));
        RefillListPage(page);
        return 1;
    }
    for (int i = 0; i < count; i++) {
        const EntryRecord* r = GetEntry(entries[i]);
        if (!r || AskResString(page, 687, r->title, MB_YESNO | MB_ICONQUESTION) != IDYES)
            continue;
        if (Changed(page, RemoveScheduledTask(r->title)))
            DeleteRegValue(HKEY_CURRENT_USER, KX_KEY "\\Tasks", r->title);
    }
    RefillListPage(page);
    return 1;
}

static constexpr ListPageDef ScheduledPage()
{
    ListPageDef page;
    page.commandId = PAGE_SCHEDULED;
    SetTable(page.texts, {{IDC_SCHEDULED_BANNER1, 678}, {IDC_SCHEDULED_BANNER2, 679},
                          {IDC_PAGE_INFO, 301}, {IDC_PAGE_REMOVE, 302}});
    page.layout.bannerCount = SetTable(page.layout.banners, {IDC_SCHEDULED_BANNER1,
                                                             IDC_SCHEDULED_BANNER2});
    page.layout.slotCount = SetTable(page.layout.slots, {{IDC_PAGE_INFO}, {IDC_PAGE_REMOVE},
                                                         {IDC_PAGE_CLOSE}});
    page.layout.hasMonitor = 1;
    page.columnCount = SetTable(page.columns, {{681, 0.23, COL_TEXT}, {684, 0.15, COL_TEXT},
                                               {699, 0.15, COL_COMPANY}, {683, 0.14, COL_TEXT},
                                               {682, 0.12, COL_TEXT}, {1437, 0.21, COL_PUBLISHER}});
    page.sortableColumns = 6;
    page.fullWidth = 1;
    page.sortOption = "SortScheduledTask";
    page.patrolCaption = 786;
    page.patrolOption = "Tasks";
    page.patrolDefault = 11;
    page.fill = ListScheduledTasks;
    page.cell = Cell;
    page.menu = Menu;
    page.command = Command;
    return page;
}
constexpr ListPageDef g_scheduledPage = ScheduledPage();
