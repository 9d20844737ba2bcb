// The IE Helpers page: browser helper objects, toolbars and toolbar buttons, and today's
// browsers' extensions, pages and policies.
#include "addonactions.h"
#include "writefault.h"
#include "refusal.h"
#include "addons.h"
#include "browseranswers.h"
#include "browserentries.h"
#include "dialogs_pages.h"
#include "elevate.h"
#include "entrylist.h"
#include "listpage.h"
#include "pagecommands.h"
#include "pages.h"
#include "pathutil.h"
#include "resstring.h"
#include <cstdio>
#include <vector>

enum {
    IDS_REMOVE_BROWSER_VALUE = 2020,
    IDS_BLOCK_CHROMIUM_EXTENSION = 2021,
    IDS_TURN_OFF_FIREFOX_ADDON = 2022,
};

static const char* KindName(int type)
{
    switch (type) {
    case TYPE_BHO: return "BHO";
    case TYPE_TOOLBAR: return "TOOLBAR";
    case TYPE_EXTENSION: return "EXTENSION";
    case TYPE_BHO32: return "BHO32";
    case TYPE_BROWSER_EXTENSION: return "BROWSER EXTENSION";
    case TYPE_BROWSER_PAGE: return "BROWSER PAGE";
    case TYPE_BROWSER_POLICY: return "BROWSER POLICY";
    case TYPE_BROWSER_EXTERNAL: return "OFFERED EXTENSION";
    }
    return "";
}

static bool IsBrowserSetting(int type) { return type >= TYPE_BROWSER_EXTENSION && type <= TYPE_BROWSER_EXTERNAL; }

const char* AddOnKindKey(int type)
{
    switch (type) {
    case TYPE_TOOLBAR: return KX_TOOLBAR_KEY;
    case TYPE_EXTENSION: return KX_EXTENSIONS_KEY;
    case TYPE_BHO32: return KX_BHO32_KEY;
    }
    return KX_BHO_KEY;
}

static void Cell(int index, int column, char* out, int capacity)
{
    const EntryRecord* r = GetEntry(index);
    out[0] = 0;
    switch (column) {
    case 0: lstrcpynA(out, r->title, capacity); break;
    case 1: lstrcpynA(out, FileNamePart(r->command), capacity); break;
    case 3: lstrcpynA(out, KindName(r->type), capacity); break;
    }
}

static void IconSource(int index, char* file, int* iconIndex)
{
    const EntryRecord* r = GetEntry(index);
    *iconIndex = 0;
    int length = lstrlenA(r->detail);
    if (length > 4 && !lstrcmpiA(r->detail + length - 4, ".ico"))
        lstrcpynA(file, r->detail, 260);
}

static void Status(int index, char* out, int capacity)
{
    char location[64] = "";
    LoadResString(716, location, sizeof(location));
    const EntryRecord* r = GetEntry(index);
    if (IsBrowserSetting(r->type))
        snprintf(out, capacity, "%s: %s", location, r->source);
    else
        snprintf(out, capacity, "%s: HKLM\\%s", location, AddOnKindKey(r->type));
}

static HMENU Menu(int index)
{
    HMENU menu = CreatePopupMenu();
    AppendMenuHead(menu, index);
    AppendMenuRes(menu, IDC_PAGE_REMOVE, 302, "&Remove");
    AppendMenuRes(menu, IDM_PAGE_DELETE_ON_REBOOT, 801, "Delete &File on Reboot");
    AppendMenuTail(menu);
    return menu;
}

static int ElevatedVerbOf(int index, int command)
{
    const EntryRecord* r = GetEntry(index);
    return command == IDC_PAGE_REMOVE && r && !IsBrowserSetting(r->type) ? ELEVATED_ADDON_REMOVE : 0;
}

static int Command(HWND page, int command)
{
    if (command != IDC_PAGE_REMOVE)
        return 0;
    int indexes[MAX_ENTRIES];
    int count = SelectedListEntries(page, indexes, MAX_ENTRIES);
    if (!count) {
        NoSelectionMessage(page);
        return 1;
    }
    // Copies: an elevated removal may read the list again.
    std::vector<std::pair<int, EntryRecord>> entries;
    for (int i = 0; i < count; i++)
        if (const EntryRecord* r = GetEntry(indexes[i]))
            entries.push_back({indexes[i], *r});
    ClearWriteRefusal();
    bool failed = false;
    for (const auto& [index, r] : entries) {
        if (r.type == TYPE_BROWSER_PAGE) {
            AskResString(page, 1600, r.title, MB_OK | MB_ICONINFORMATION);
        } else if (IsBrowserSetting(r.type)) {
            // The question says what will be done: a Chromium browser's extension is blocked
            // by policy, a Firefox add-on turned off, a policy or offer taken away.
            BrowserItem item = BrowserItemOfEntry(r);
            UINT question = r.type != TYPE_BROWSER_EXTENSION ? IDS_REMOVE_BROWSER_VALUE
                            : IsFirefoxName(item.browser)    ? IDS_TURN_OFF_FIREFOX_ADDON
                                                             : IDS_BLOCK_CHROMIUM_EXTENSION;
            if (AskResString(page, question, r.title, MB_YESNO | MB_ICONQUESTION) == IDYES &&
                RefuseBrowserItem(item, "") == BROWSER_REFUSED) {
                NoteActionFailure();
                failed = true;
            }
        } else if (AskResString(page, 698, r.title, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        } else if (NeedsElevationFor(ELEVATED_ADDON_REMOVE, r)) {
            RunElevated(page, ELEVATED_ADDON_REMOVE, r);   // the copy tells its own failure
        } else if (!RemoveAddOn(r.command, index)) {
            NoteActionFailure();
            failed = true;
        }
    }
    RefillListPage(page);
    if (failed)
        TellRefusal(page);
    return 1;
}

static constexpr ListPageDef IeHelpersPage()
{
    ListPageDef page;
    page.commandId = PAGE_IEHELPERS;
    SetTable(page.texts, {{IDC_IEHELPERS_BANNER1, 695}, {IDC_IEHELPERS_BANNER2, 696},
                          {IDC_PAGE_INFO, 301}, {IDC_PAGE_REMOVE, 302}});
    page.layout.bannerCount = SetTable(page.layout.banners, {IDC_IEHELPERS_BANNER1,
                                                             IDC_IEHELPERS_BANNER2});
    page.layout.slotCount = SetTable(page.layout.slots, {{IDC_PAGE_INFO}, {IDC_PAGE_REMOVE},
                                                         {IDC_PAGE_CLOSE}});
    page.layout.hasMonitor = 1;
    page.columnCount = SetTable(page.columns, {{681, 0.24, COL_TEXT}, {684, 0.15, COL_TEXT},
                                               {699, 0.16, COL_COMPANY}, {714, 0.07, COL_TEXT},
                                               {912, 0.16, COL_FIRST_DETECTED},
                                               {1437, 0.22, COL_PUBLISHER}});
    page.sortableColumns = 6;
    page.fullWidth = 1;
    page.sortOption = "SortIEHelper";
    page.patrolCaption = 785;
    page.patrolOption = "IEHelpers";
    page.patrolDefault = 2;
    page.realtimeOption = "RealtimeIEHelper";
    page.realtimeDefault = 1;
    page.detectedList = "IEHelper";
    page.fill = ListBrowserAddOnsAndProfiles;
    page.cell = Cell;
    page.iconSource = IconSource;
    page.status = Status;
    page.menu = Menu;
    page.command = Command;
    page.elevatedVerb = ElevatedVerbOf;
    return page;
}
constexpr ListPageDef g_ieHelpersPage = IeHelpersPage();
