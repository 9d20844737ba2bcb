// The Scheduled Tasks page: the work items of the Task Scheduler and the tasks of its 2.0
// service, which can also be switched off and on.
#include "dialogs_pages.h"
#include "elevate.h"
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
#include <vector>

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

static int VerbOf(const EntryRecord& r, int command)
{
    switch (command) {
    case IDC_PAGE_REMOVE: return ELEVATED_TASK_REMOVE;
    case IDC_STARTUP_ENABLE: return r.tag & TASK_TAG_SERVICE ? ELEVATED_TASK_ENABLE : 0;
    case IDC_STARTUP_DISABLE: return r.tag & TASK_TAG_SERVICE ? ELEVATED_TASK_DISABLE : 0;
    }
    return 0;
}

static int ElevatedVerbOf(int index, int command)
{
    const EntryRecord* r = GetEntry(index);
    return r ? VerbOf(*r, command) : 0;
}

// The change, by the elevated copy when the task store needs rights this process lacks (the
// copy tells its own failure).
static bool Change(HWND page, int verb, const EntryRecord& r)
{
    if (NeedsElevationFor(verb, r))
        return RunElevated(page, verb, r) > 0;
    switch (verb) {
    case ELEVATED_TASK_REMOVE: return Changed(page, RemoveScheduledTask(r.title));
    case ELEVATED_TASK_ENABLE: return Changed(page, SetScheduledTaskEnabled(r.title, 1));
    case ELEVATED_TASK_DISABLE: return Changed(page, SetScheduledTaskEnabled(r.title, 0));
    }
    return false;
}

static int Command(HWND page, int command)
{
    if (command != IDC_PAGE_REMOVE && command != IDC_STARTUP_ENABLE &&
        command != IDC_STARTUP_DISABLE)
        return 0;
    int indexes[MAX_ENTRIES];
    int count = SelectedListEntries(page, indexes, MAX_ENTRIES);
    if (!count) {
        NoSelectionMessage(page);
        return 1;
    }
    // Copies: an elevated change may read the list again.
    std::vector<EntryRecord> entries;
    for (int i = 0; i < count; i++)
        if (const EntryRecord* r = GetEntry(indexes[i]))
            entries.push_back(*r);
    for (const EntryRecord& r : entries) {
        int verb = VerbOf(r, command);
        if (!verb)
            continue;   // a work item has no switch
        if (command == IDC_PAGE_REMOVE) {
            if (AskResString(page, 687, r.title, MB_YESNO | MB_ICONQUESTION) != IDYES)
                continue;
            if (Change(page, verb, r))
                DeleteRegValue(HKEY_CURRENT_USER, KX_KEY "\\Tasks", r.title);
        } else {
            Change(page, verb, r);
        }
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
    page.elevatedVerb = ElevatedVerbOf;
    return page;
}
constexpr ListPageDef g_scheduledPage = ScheduledPage();
