// Commands of the Startup Programs page: buttons, keys and context menu share these ids.
#include "delaystart.h"
#include "elevate.h"
#include "refusal.h"
#include "writefault.h"
#include "dialogs_pages.h"
#include "entrylist.h"
#include "infodialog.h"
#include "keys.h"
#include "knownlist.h"
#include "onlineinfo.h"
#include "sysfiles.h"
#include "vault.h"
#include "options.h"
#include "page_startup.h"
#include "pagecommands.h"
#include "pageframe.h"
#include "pages.h"
#include "pathutil.h"
#include "patroltime.h"
#include "registry.h"
#include "reportsave.h"
#include "resstring.h"
#include "runactions.h"
#include "sharedui.h"
#include "startupswitch.h"
#include "shellrun.h"
#include "sysmessage.h"
#include "taskstop.h"
#include "versioninfo.h"
#include <commctrl.h>
#include <commdlg.h>
#include <cstdio>
#include <cstring>
#include <vector>

static const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

static HWND List(HWND page) { return GetDlgItem(page, IDC_PAGE_LIST); }

// Entry indexes of the selected rows in list order.
static std::vector<int> SelectedEntries(HWND page)
{
    std::vector<int> entries;
    HWND list = List(page);
    for (int row = -1; (row = (int)SendMessageA(list, LVM_GETNEXTITEM, row, LVNI_SELECTED)) >= 0;)
        entries.push_back(StartupRowEntry(list, row));
    return entries;
}

static int FocusedEntry(HWND page)
{
    HWND list = List(page);
    int row = (int)SendMessageA(list, LVM_GETNEXTITEM, -1, LVNI_FOCUSED | LVNI_SELECTED);
    if (row < 0)
        row = (int)SendMessageA(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED);
    return row < 0 ? -1 : StartupRowEntry(list, row);
}

static void Refill(HWND page)
{
    FillStartupList(page);
    UpdateStartupSelection(page);
}

static void Info(HWND page)
{
    HWND list = List(page);
    int row = (int)SendMessageA(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED);
    if (row < 0) {
        NoSelectionMessage(page);
        return;
    }
    ShowProgramInfo(page, StartupRowEntry(list, row));
    LVITEMA item = {};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, row, (LPARAM)&item);
    SetFocus(list);
}

// The entry's change, by an elevated copy of the manager when it needs rights this one lacks
// (which tells the user itself when it fails). false when the change failed here.
static bool Toggle(HWND page, const EntryRecord& r)
{
    if (NeedsElevation(r)) {
        RunElevated(page, ELEVATED_TOGGLE, r);
        return true;
    }
    return DisableRunProgram(r.title, r.command, r.source, r.type) != 0;
}

static bool Delete(HWND page, const EntryRecord& r)
{
    if (NeedsElevation(r)) {
        RunElevated(page, ELEVATED_REMOVE, r);
        return true;
    }
    return DeleteRunProgram(r.title, r.command, r.source, r.type) != 0;
}

static void DisableOrEnable(HWND page, int disable)
{
    std::vector<int> entries = SelectedEntries(page);
    if (entries.empty()) {
        NoSelectionMessage(page);
        return;
    }
    ClearWriteRefusal();
    bool failed = false;
    for (int index : entries) {
        const EntryRecord* r = GetEntry(index);
        if (!r)
            continue;
        int isDisabled = DisabledCodeForTitle(r->title) != 0;
        if (disable) {
            StopRunningProgram(r->command, r->title, entries.size() == 1);
            if (!isDisabled && !r->offByWindows)
                failed |= !Toggle(page, *r);
        } else if (isDisabled) {
            failed |= !Toggle(page, *r);
        } else if (r->offByWindows) {
            // Kept off by Windows' own switch: switched on there, so that Task Manager
            // shows the same state.
            SetWindowsStartupSwitch(*r, 1);
        }
    }
    Refill(page);
    if (failed)
        TellRefusal(page);
}

static void Remove(HWND page)
{
    std::vector<int> entries = SelectedEntries(page);
    if (entries.empty()) {
        NoSelectionMessage(page);
        return;
    }
    ClearWriteRefusal();
    bool failed = false;
    for (int index : entries) {
        const EntryRecord* r = GetEntry(index);
        if (!r)
            continue;
        if (r->type >= WINLOGON_Userinit) {
            DeleteRegProgram(page, r->title, r->command, r->source, r->type);
        } else if (entries.size() == 1) {
            StopRunningProgram(r->command, r->title, 1);
            if (AskResString(page, 15, r->command, MB_YESNO | MB_ICONEXCLAMATION) == IDYES)
                failed |= !Delete(page, *r);
        } else {
            StopRunningProgram(r->command, r->title, 0);
            failed |= !Delete(page, *r);
        }
    }
    Refill(page);
    if (failed)
        TellRefusal(page);
}

static void MoveToDelay(HWND page)
{
    std::vector<int> entries = SelectedEntries(page);
    if (entries.empty()) {
        NoSelectionMessage(page);
        return;
    }
    for (int index : entries) {
        const EntryRecord* r = GetEntry(index);
        if (r && NeedsElevationFor(ELEVATED_DELAY_MOVE, *r)) {
            // The copy asks and tells what the move needs; declined, the command stops.
            EntryRecord named = *r;
            named.type = r->type + DELAY_TAG_STEP * r->tag;
            if (RunElevated(page, ELEVATED_DELAY_MOVE, named) < 0)
                break;
        } else if (r && MoveToDelayedStart(page, r->title, r->command, r->source, r->type, r->tag) < 0) {
            break;
        }
    }
    Refill(page);
}

// Title of a program the user picked: its description, product name or file name.
static void TitleOfProgram(const char* path, char* title, int capacity)
{
    VersionStrings* version = new VersionStrings;
    GetVersionStrings(path, version);
    if (version->slot[VS_FILE_DESCRIPTION][0])
        lstrcpynA(title, version->slot[VS_FILE_DESCRIPTION], capacity);
    else if (version->slot[VS_PRODUCT_NAME][0])
        lstrcpynA(title, version->slot[VS_PRODUCT_NAME], capacity);
    else {
        lstrcpynA(title, FileNamePart(path), capacity);
        int length = lstrlenA(title);
        title[length > 4 ? length - 4 : 0] = 0;
    }
    delete version;
}

int AddStartupProgram(const char* path)
{
    char title[128], command[MAX_PATH + 2], keyName[260];
    TitleOfProgram(path, title, sizeof(title));
    // Windows runs the value as a command line: a path with blanks must be quoted, or a
    // program placed at the first blank would start instead.
    if (strchr(path, ' '))
        snprintf(command, sizeof(command), "\"%s\"", path);
    else
        lstrcpynA(command, path, sizeof(command));
    int stored = SetRegValue(HKEY_CURRENT_USER, kRunKey, title, command);
    StartupKeyName(command, keyName);
    SetRegValue(HKEY_CURRENT_USER, KX_KEY "\\Run", keyName, "1");
    return stored;
}

static void Add(HWND page)
{
    char title[128] = "", filter[260] = "", file[MAX_PATH] = "";
    LoadResString(902, title, sizeof(title));
    int length = LoadResString(903, filter, sizeof(filter) - 1);
    // The string's percent signs stand for the separators between the filter texts.
    for (int i = 0; i < length; i++)
        if (filter[i] == '%')
            filter[i] = 0;
    filter[length] = filter[length + 1] = 0;
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = page;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof(file);
    ofn.lpstrTitle = title;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
    if (!GetOpenFileNameA(&ofn))
        return;
    AddStartupProgram(file);
    Refill(page);
}

static void PatrolTime(HWND page)
{
    int minutes = PatrolTimeDialog(page, 784, GetOption("Start", 2));
    if (minutes < 0)
        return;
    SetOption("Start", minutes);
    g_options.Start = minutes;
    SetMonitorButton(page, minutes > 0, GetOption("RealtimeStartup", 1) > 0);
}

// The single-row commands act on the focused row.
static void OnFocused(HWND page, void (*action)(HWND page, int index))
{
    int index = FocusedEntry(page);
    if (index < 0)
        NoSelectionMessage(page);
    else
        action(page, index);
}

static void DeleteOnReboot(HWND page, int index) { DeleteEntryFileOnReboot(page, index); }

static void ShowAll(HWND page)
{
    int checked = IsDlgButtonChecked(page, IDC_PAGE_CHECK) == BST_CHECKED;
    SetOption("ShowAllStartup", checked);
    g_options.ShowAllStartup = checked;
    Refill(page);
}

int StartupCommand(HWND page, int command)
{
    switch (command) {
    case IDOK:
    case IDC_PAGE_INFO: Info(page); return 1;
    case IDCANCEL: return 1;
    case IDM_PAGE_REPORT: SaveReport(page, REPORT_LOG); return 1;
    case IDC_STARTUP_ENABLE: DisableOrEnable(page, 0); return 1;
    case IDC_STARTUP_DISABLE: DisableOrEnable(page, 1); return 1;
    case IDC_PAGE_REMOVE: Remove(page); return 1;
    case IDC_PAGE_CLOSE: PropSheet_PressButton(GetParent(page), PSBTN_CANCEL); return 1;
    case IDC_PAGE_CHECK: ShowAll(page); return 1;
    case IDC_PAGE_ADD: Add(page); return 1;
    case IDM_PAGE_ONLINE_INFO: {
        int index = FocusedEntry(page);
        if (index < 0)
            NoSelectionMessage(page);
        else
            ShowEntryOnlineInformation(index);
        return 1;
    }
    case IDC_PAGE_HELP_IMAGE: RunHelp(page, PAGE_STARTUP); return 1;
    case IDC_PAGE_MONITOR_IMAGE: PatrolTime(page); return 1;
    case IDM_PAGE_DELETE_ON_REBOOT: OnFocused(page, DeleteOnReboot); return 1;
    case IDM_PAGE_VIEW_NOTE: OnFocused(page, ViewEntryNote); return 1;
    case IDM_PAGE_MOVE_TO_DELAY: MoveToDelay(page); return 1;
    case IDM_PAGE_EXPLORE_FOLDER: OnFocused(page, ExploreEntryFolder); return 1;
    case IDM_PAGE_PROPERTIES: OnFocused(page, ShowEntryProperties); return 1;
    }
    return 0;
}
