// The Delayed Start page: programs the monitor starts some seconds after Windows did.
#include "delaydialogs.h"
#include "writefault.h"
#include "refusal.h"
#include "delaystart.h"
#include "elevate.h"
#include "dialogs_pages.h"
#include "entrylist.h"
#include "listpage.h"
#include "pagecommands.h"
#include "pages.h"
#include "pathutil.h"
#include "registry.h"
#include "resstring.h"
#include "runtasks.h"
#include <cstdio>
#include <cstdlib>

static int DelaySeconds(const EntryRecord* r)
{
    char text[32] = "";
    GetRegValue(DelayRootForTag(r->tag), KX_DELAY_TIME_KEY, r->command, text, sizeof(text));
    return atoi(text);
}

void FormatDelayTime(int seconds, char* out, int capacity)
{
    char sec[32] = "", min[32] = "";
    LoadResString(1122, sec, sizeof(sec));
    LoadResString(1121, min, sizeof(min));
    if (seconds < 60)
        snprintf(out, capacity, "%d %s", seconds, sec);
    else
        snprintf(out, capacity, "%d %s : %d %s", seconds / 60, min, seconds % 60, sec);
}

static void Cell(int index, int column, char* out, int capacity)
{
    const EntryRecord* r = GetEntry(index);
    out[0] = 0;
    switch (column) {
    case 0: lstrcpynA(out, r->title, capacity); break;
    case 1: lstrcpynA(out, FileNamePart(r->command), capacity); break;
    case 2: {
        char program[260];
        lstrcpynA(program, r->command, sizeof(program));
        if (IsRunning(r->command))
            LoadResString(655, out, capacity);
        else if (!FileExists(program, sizeof(program)))
            LoadResString(730, out, capacity);
        break;
    }
    case 3: FormatDelayTime(DelaySeconds(r), out, capacity); break;
    }
}

static int SortKey(int index, int column, char* out, int capacity)
{
    const EntryRecord* r = GetEntry(index);
    if (column == 2)
        snprintf(out, capacity, "%d", IsRunning(r->command) ? 0 : 1);
    else if (column == 3)
        snprintf(out, capacity, "%04d", DelaySeconds(r));
    else
        return 0;
    return 1;
}

static HMENU Menu(int index)
{
    HMENU menu = CreatePopupMenu();
    AppendMenuRes(menu, IDC_PAGE_INFO, 301, "Info...");
    AppendMenuRes(menu, IDM_PAGE_EXPLORE_FOLDER, 1135, "Explore Program Folder");
    AppendMenuRes(menu, IDM_PAGE_PROPERTIES, 1136, "Open Program Properties...");
    AppendMenuRes(menu, IDC_PAGE_ADD, 311, "&Add");
    AppendMenuRes(menu, IDM_PAGE_LAUNCH, 1117, "&Launch Program");
    AppendMenuRes(menu, IDC_DELAY_OPTIONS_BUTTON, 1118, "&Delay Start Options...");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuRes(menu, IDC_PAGE_REMOVE, 302, "&Remove");
    AppendMenuRes(menu, IDM_PAGE_RESTORE_DELAYED, 1124, "&Restore Program to Windows Startup List");
    if (EntryNoteExists(index))
        AppendMenuRes(menu, IDM_PAGE_VIEW_NOTE, 971, "&View Note...");
    AppendMenuTail(menu);
    return menu;
}

// Each selected row in turn; action returns -1 to stop, 0 when it failed. The list is
// refilled afterwards; a change that failed is told with its reason when tell is set.
static void ForSelected(HWND page, int (*action)(HWND page, int index), bool tell = true)
{
    int entries[MAX_ENTRIES];
    int count = SelectedListEntries(page, entries, MAX_ENTRIES);
    if (!count) {
        NoSelectionMessage(page);
        return;
    }
    ClearWriteRefusal();
    bool failed = false;
    for (int i = 0; i < count; i++) {
        int result = action(page, entries[i]);
        if (result < 0)
            break;
        if (!result) {
            NoteActionFailure();
            failed = true;
        }
    }
    RefillListPage(page);
    if (failed && tell)
        TellRefusal(page);
}

// One delayed entry restored or dropped; by the elevated copy when the change needs rights
// this process lacks (the copy, or the failed start, is told already). 1 done or told, 0
// failed here, -1 the user declined the prompt (the command stops).
static int Change(HWND page, int verb, int index)
{
    const EntryRecord* r = GetEntry(index);
    if (!r)
        return 0;
    if (NeedsElevationFor(verb, *r)) {
        EntryRecord named = *r;
        named.type = r->type + DELAY_TAG_STEP * r->tag;
        return RunElevated(page, verb, named) < 0 ? -1 : 1;
    }
    if (verb == ELEVATED_DELAY_DROP)
        return DeleteDelayValues(DelayRootForTag(r->tag), r->command) ? 1 : 0;
    return RestoreDelayedProgram(index);
}

// The options of one entry, stored by the elevated copy for the machine's store.
static void Options(HWND page, int index)
{
    const EntryRecord* r = GetEntry(index);
    if (!r) {
        NoSelectionMessage(page);
        return;
    }
    EntryRecord named = *r;
    DelayOptionValues values = {};
    if (!ShowDelayOptions(page, DelayRootForTag(r->tag), named.command, &values))
        return;
    if (NeedsElevationFor(ELEVATED_DELAY_OPTIONS, named)) {
        lstrcpynA(named.title, values.title, sizeof(named.title));
        lstrcpynA(named.source, values.parameters, sizeof(named.source));
        named.type = values.seconds * 4 + values.openAs;
        RunElevated(page, ELEVATED_DELAY_OPTIONS, named);
    } else {
        ClearWriteRefusal();
        if (!StoreDelayOptions(DelayRootForTag(named.tag), named.command, values.seconds,
                               values.openAs, values.parameters, values.title)) {
            NoteActionFailure();
            TellRefusal(page);
        }
    }
    RefillListPage(page);
}

static int ElevatedVerbOf(int, int command)
{
    switch (command) {
    case IDC_PAGE_REMOVE:
    case IDM_PAGE_RESTORE_DELAYED:
        return ELEVATED_DELAY_RESTORE;
    case IDC_DELAY_OPTIONS_BUTTON:
        return ELEVATED_DELAY_OPTIONS;
    }
    return 0;
}

static int Command(HWND page, int command)
{
    switch (command) {
    case IDC_PAGE_ADD:
        if (AddProgramToDelayedStart(page))
            RefillListPage(page);
        return 1;
    case IDC_PAGE_REMOVE:
        ForSelected(page, [](HWND p, int index) {
            int answer = AskDelayedRemoval(p);
            if (answer == IDCANCEL)
                return -1;
            return Change(p, answer == IDYES ? ELEVATED_DELAY_RESTORE : ELEVATED_DELAY_DROP, index);
        });
        return 1;
    case IDM_PAGE_LAUNCH:
        ForSelected(page, [](HWND p, int index) {
            const EntryRecord* r = GetEntry(index);
            return LaunchDelayedProgram(p, DelayRootForTag(r->tag), r->command);
        }, false);
        return 1;
    case IDM_PAGE_RESTORE_DELAYED:
        ForSelected(page, [](HWND p, int index) { return Change(p, ELEVATED_DELAY_RESTORE, index); });
        return 1;
    case IDC_DELAY_OPTIONS_BUTTON:
        Options(page, FocusedListEntry(page));
        return 1;
    }
    return 0;
}

static constexpr ListPageDef DelayPage()
{
    ListPageDef page;
    page.commandId = PAGE_DELAY;
    SetTable(page.texts, {{IDC_DELAY_BANNER1, 1100}, {IDC_DELAY_BANNER2, 1133},
                          {IDC_PAGE_INFO, 301}, {IDC_PAGE_ADD, 311},
                          {IDC_DELAY_OPTIONS_BUTTON, 1132}, {IDC_PAGE_REMOVE, 302}});
    page.layout.bannerCount = SetTable(page.layout.banners, {IDC_DELAY_BANNER1, IDC_DELAY_BANNER2});
    page.layout.slotCount = SetTable(page.layout.slots, {{IDC_PAGE_INFO}, {IDC_PAGE_ADD},
                                                         {IDC_DELAY_OPTIONS_BUTTON},
                                                         {IDC_PAGE_REMOVE}, {IDC_PAGE_CLOSE}});
    page.columnCount = SetTable(page.columns, {{627, 0.35, COL_TEXT}, {628, 0.30, COL_TEXT},
                                               {648, 0.15, COL_TEXT}, {1119, 0.20, COL_TEXT}});
    page.sortableColumns = 4;
    page.sortOption = "SortPrograms";
    page.alwaysRefill = 1;
    page.cutSortKeys = 1;
    page.fill = ListDelayedPrograms;
    page.cell = Cell;
    page.sortKey = SortKey;
    page.menu = Menu;
    page.elevatedVerb = ElevatedVerbOf;
    page.command = Command;
    return page;
}
constexpr ListPageDef g_delayPage = DelayPage();
