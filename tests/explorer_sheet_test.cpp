// The manager's property sheet and its Startup Programs page, driven in-process: the sheet is
// created without its modal loop, commands are sent to the page, and a watcher thread answers
// the questions they ask.
#include "kxtest.h"
#include "../explorer/elevate.h"
#include "../explorer/explorerseams.h"
#include "../explorer/infodialog.h"
#include "../explorer/mainwindow.h"
#include "../explorer/page_startup.h"
#include "../explorer/page_options.h"
#include "../explorer/pageframe.h"
#include "../explorer/pages.h"
#include "../explorer/sheet.h"
#include "../explorer/shellrun.h"
#include "delaystart.h"
#include "elevation.h"
#include "dialogs_pages.h"
#include "entrylist.h"
#include "keys.h"
#include "options.h"
#include "pathutil.h"
#include "platform.h"
#include "program.h"
#include "resource.h"
#include "resstring.h"
#include "aolwindow.h"
#include "sysfiles.h"
#include "runactions.h"
#include "signature.h"
#include "winpos.h"
#include "dialog_driver.h"
#include "message_watch.h"
#include "waits.h"
#include <atomic>
#include <functional>
#include <thread>
#include <commctrl.h>
#include <vector>

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string Res(UINT id)
{
    char text[1024] = "";
    LoadResString(id, text, sizeof(text));
    return text;
}

std::string Cell(HWND list, int row, int column)
{
    char text[512] = "";
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    SendMessageA(list, LVM_GETITEMTEXTA, row, (LPARAM)&item);
    return text;
}

int RowOf(HWND list, const std::string& title)
{
    int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    for (int row = 0; row < count; row++)
        if (Cell(list, row, 0) == title)
            return row;
    return -1;
}

void Select(HWND list, const std::vector<int>& rows)
{
    LVITEMA clear = {};
    clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, -1, (LPARAM)&clear);
    for (int row : rows) {
        LVITEMA item = {};
        item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, row, (LPARAM)&item);
    }
}

std::string Text(HWND page, int id)
{
    char text[512] = "";
    GetDlgItemTextA(page, id, text, sizeof(text));
    return text;
}

bool Shown(HWND page, int id) { return IsWindowVisible(GetDlgItem(page, id)) != 0; }
bool Enabled(HWND page, int id) { return IsWindowEnabled(GetDlgItem(page, id)) != 0; }

std::vector<std::string> g_shellCalls;
int RecordShell(const char* verb, const char* file, const char* parameters)
{
    g_shellCalls.push_back(std::string(verb) + "|" + file + "|" + (parameters ? parameters : ""));
    return 1;
}

// Times the information dialog was asked for.
int g_infoAsked;

class SheetTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        g_programKind = PROGRAM_EXPLORER;
        InitCommonControls();
        InstallEntryActions();
        WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Sound", "0");
        g_infoAsked = 0;
        g_shellCalls.clear();
        SetShellRunHook(RecordShell);
        // The information dialog is the pages' suite's; here only that it was asked for.
        SetProgramInfoHook([](HWND, int) { g_infoAsked++; });
        for (int& flag : g_startupSortFlags)
            flag = 0;
    }
    void TearDown() override
    {
        if (sheet_)
            DestroyWindow(sheet_);
        SetShellRunHook(nullptr);
        SetProgramInfoHook(nullptr);
        SetPlatformOverride(nullptr);
        SetElevatedOverride(-1);
        SetElevatedRunner(nullptr);
        ClearEntries();
        KxTest::TearDown();
    }
    HWND Open(int request)
    {
        sheet_ = CreateModelessSheet(nullptr, request);
        EXPECT_NE(nullptr, sheet_);
        return sheet_;
    }
    HWND Page() { return (HWND)SendMessageA(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0); }
    HWND List() { return GetDlgItem(Page(), IDC_PAGE_LIST); }
    void Close()
    {
        DestroyWindow(sheet_);
        sheet_ = nullptr;
    }
    // A user Run value; its program is a copy of the versioned fixture.
    std::string AddRun(const std::string& title, const std::string& file,
                       const char* fixture = "kxfx_app.exe")
    {
        SaveValue(HKEY_CURRENT_USER, kRunKey, title);
        std::string path = TempPath(file);
        CopyFileA((TestProgramFolder() + "\\" + fixture).c_str(), path.c_str(), FALSE);
        WriteValueText(HKEY_CURRENT_USER, kRunKey, title, path);
        return path;
    }
    LRESULT Command(int id) { return SendMessageA(Page(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

    HWND sheet_ = nullptr;
};

TEST_F(SheetTest, TabsInOrderStartAtTheRequestAndRememberTheTab)
{
    HWND sheet = Open(PAGE_HIDDEN);
    HWND tabs = (HWND)SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0);
    const UINT titles[] = {606, 609, 694, 680, 636, 607, 608, 739, 973, 610};
    ASSERT_EQ(10, (int)SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < 10; i++) {
        char text[64] = "";
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof(text);
        SendMessageA(tabs, TCM_GETITEMA, i, (LPARAM)&item);
        EXPECT_EQ(Res(titles[i]), text) << i;
    }
    EXPECT_EQ(8, (int)SendMessageA(tabs, TCM_GETCURSEL, 0, 0));
    EXPECT_EQ(PAGE_HIDDEN, g_activePageId);
    EXPECT_EQ(Res(910), Text(Page(), IDC_HIDDEN_BANNER1));
    EXPECT_NE(nullptr, GetDlgItem(sheet, SHEET_STATUS_BAR_ID));
    EXPECT_EQ(Res(IDS_CAPTION), WindowText(sheet));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(sheet, IDOK)));
    EXPECT_TRUE(GetWindowLongPtrA(sheet, GWL_STYLE) & WS_THICKFRAME);

    // A second request while the sheet is open opens no second sheet.
    EXPECT_EQ(0, OpenSheet(nullptr, PAGE_TASKS));
    EXPECT_EQ(PAGE_HIDDEN, g_activePageId);

    // Switching tabs saves the place and the tab; closing keeps the last tab shown.
    SendMessageA(sheet, PSM_SETCURSEL, 7, 0);
    EXPECT_EQ(PAGE_FILETYPES, g_activePageId);
    Close();
    EXPECT_EQ(0, g_activePageId);
    EXPECT_EQ("6042", ReadValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "StartTab"));
    EXPECT_NE("", ReadValueText(HKEY_CURRENT_USER, KX_KEY, "dxPos"));

    // Pages no tab carries open the first page; off the NT family there is no Services tab
    // and no status bar.
    Open(PAGE_MONITOR);
    EXPECT_EQ(PAGE_STARTUP, g_activePageId);
    Close();
    PlatformVersion nine = {VER_PLATFORM_WIN32_WINDOWS, 4, 10};
    SetPlatformOverride(&nine);
    HWND old = Open(PAGE_SERVICES);
    EXPECT_EQ(9, (int)SendMessageA((HWND)SendMessageA(old, PSM_GETTABCONTROL, 0, 0),
                                   TCM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(nullptr, GetDlgItem(old, SHEET_STATUS_BAR_ID));
    EXPECT_EQ(PAGE_STARTUP, g_activePageId);
}

TEST_F(SheetTest, ImageButtonsAndHelpRunThroughTheHoverRoutine)
{
    Open(PAGE_STARTUP);
    HWND page = Page();
    HWND help = GetDlgItem(page, IDC_PAGE_HELP_IMAGE);
    RECT r;
    GetWindowRect(help, &r);
    MapWindowPoints(nullptr, page, (POINT*)&r, 2);
    LPARAM at = MAKELPARAM(r.left + 4, r.top + 4);
    HANDLE normal = (HANDLE)SendMessageA(help, STM_GETIMAGE, IMAGE_BITMAP, 0);
    SendMessageA(page, WM_MOUSEMOVE, 0, at);
    HANDLE hover = (HANDLE)SendMessageA(help, STM_GETIMAGE, IMAGE_BITMAP, 0);
    EXPECT_NE(normal, hover);
    SendMessageA(page, WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    EXPECT_EQ(normal, (HANDLE)SendMessageA(help, STM_GETIMAGE, IMAGE_BITMAP, 0));
    SendMessageA(page, WM_LBUTTONDOWN, 0, at);
    SendMessageA(page, WM_LBUTTONUP, 0, at);
    // No local help file: the web site's page of the same name.
    ASSERT_EQ(1u, g_shellCalls.size());
    EXPECT_NE(std::string::npos, g_shellCalls[0].find("startup.html"));
    EXPECT_EQ(0u, g_shellCalls[0].find("open|http"));

    WriteTextFile(TempPath("startup.html"), "<html></html>");
    Command(IDC_PAGE_HELP_IMAGE);
    EXPECT_EQ("open|" + TempPath("startup.html") + "|", g_shellCalls.back());

    // Patrol time is handed over; nothing changes when the dialog is cancelled.
    std::string start = ReadValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Start");
    DialogDriver cancel(Res(784), [](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); });
    Command(IDC_PAGE_MONITOR_IMAGE);
    cancel.Join();
    EXPECT_TRUE(cancel.Found());
    EXPECT_EQ(start, ReadValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Start"));
}

TEST_F(SheetTest, StartupRowsShowCommandCompanyTypeAndFirstDetectedDate)
{
    std::string tool = AddRun("KxPageTool", "tool.exe");
    std::string off = AddRun("KxPageOff", "off.exe");
    std::string old = AddRun("KxPageOld", "old.exe");
    ASSERT_EQ(1, DisableRunProgram("KxPageOff", off.c_str(), "", CURRENT_RUN));
    // A program dated before keeps its date.
    char oldKey[260];
    GetProgramFile(old.c_str(), oldKey);
    WriteValueText(HKEY_CURRENT_USER, KX_DETECTED_KEY "\\Startup", oldKey, "03-04-2021 9:05");
    Open(PAGE_STARTUP);
    HWND list = List();
    int row = RowOf(list, "KxPageTool");
    ASSERT_GE(row, 0);
    EXPECT_EQ("tool.exe", Cell(list, row, 1));
    EXPECT_EQ("Orvane Fixtures", Cell(list, row, 2));
    EXPECT_EQ("HKCU_RUN", Cell(list, row, 3));
    EXPECT_NE("", Cell(list, row, 4));
    char key[260];
    GetProgramFile(tool.c_str(), key);
    EXPECT_EQ(Cell(list, row, 4), ReadValueText(HKEY_CURRENT_USER, KX_DETECTED_KEY "\\Startup", key));
    int offRow = RowOf(list, "KxPageOff");
    ASSERT_GE(offRow, 0);
    EXPECT_EQ(Res(626), Cell(list, offRow, 3));
    int oldRow = RowOf(list, "KxPageOld");
    ASSERT_GE(oldRow, 0);
    EXPECT_EQ("03-04-2021 9:05", Cell(list, oldRow, 4));
    EXPECT_EQ("HKCU_RUN", Cell(list, oldRow, 3));

    // The disabled row offers Enable; the status bar names the location.
    Select(list, {offRow});
    UpdateStartupSelection(Page());
    EXPECT_TRUE(Shown(Page(), IDC_STARTUP_ENABLE));
    EXPECT_FALSE(Shown(Page(), IDC_STARTUP_DISABLE));
    char status[512] = "";
    SendDlgItemMessageA(sheet_, SHEET_STATUS_BAR_ID, SB_GETTEXTA, 0, (LPARAM)status);
    EXPECT_EQ(0u, std::string(status).find(Res(646)));
    Select(list, {});
    UpdateStartupSelection(Page());
    EXPECT_FALSE(Shown(Page(), IDC_STARTUP_ENABLE));
    EXPECT_FALSE(Shown(Page(), IDC_STARTUP_DISABLE));
}

// Rows naming one program all show its first-detected date, though a fill asks about each
// program once: a program missing at one fill and created before the next is dated on the
// next, and one still missing stays undated.
TEST_F(SheetTest, EveryRowOfAProgramShowsItsDateAndOneCreatedBetweenFillsIsDated)
{
    const struct {
        const char* name;
        bool atFirst, atSecond;   // the program exists at the first fill, at the second
    } kPrograms[] = {{"present", true, true}, {"later", false, true}, {"gone", false, false}};
    const int kRowsEach = 3;
    auto title = [](const char* name, int n) {
        return std::string("KxSame") + name + std::to_string(n);
    };
    auto path = [&](const char* name) { return TempPath(std::string(name) + ".exe"); };
    auto create = [&](const char* name) {
        std::string fixture = TestProgramFolder() + "\\kxfx_app.exe";
        ASSERT_TRUE(CopyFileA(fixture.c_str(), path(name).c_str(), FALSE));
    };
    for (const auto& p : kPrograms) {
        for (int n = 0; n < kRowsEach; n++) {
            SaveValue(HKEY_CURRENT_USER, kRunKey, title(p.name, n));
            WriteValueText(HKEY_CURRENT_USER, kRunKey, title(p.name, n),
                           "\"" + path(p.name) + "\" /row" + std::to_string(n));
        }
        if (p.atFirst)
            create(p.name);
    }
    Open(PAGE_STARTUP);
    for (int fill = 0; fill < 2; fill++) {
        SCOPED_TRACE(fill);
        if (fill == 1) {
            for (const auto& p : kPrograms)
                if (p.atSecond && !p.atFirst)
                    create(p.name);
            FillStartupList(Page());
        }
        for (const auto& p : kPrograms) {
            SCOPED_TRACE(p.name);
            char key[260];
            GetProgramFile(("\"" + path(p.name) + "\"").c_str(), key);
            const char* detected = KX_DETECTED_KEY "\\Startup";
            bool exists = fill ? p.atSecond : p.atFirst;
            ASSERT_EQ(exists, ValueExists(HKEY_CURRENT_USER, detected, key));
            std::string dated = exists ? ReadValueText(HKEY_CURRENT_USER, detected, key) : "";
            EXPECT_EQ(exists, !dated.empty());
            for (int n = 0; n < kRowsEach; n++) {
                int row = RowOf(List(), title(p.name, n));
                ASSERT_GE(row, 0) << n;
                EXPECT_EQ(dated, Cell(List(), row, 4)) << n;
            }
        }
    }
}

TEST_F(SheetTest, SelectionRulesFollowTheEntryType)
{
    Open(PAGE_STARTUP);
    HWND page = Page(), list = List();
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    ClearEntries();
    const struct {
        const char* title;
        int type;
        const char* removeText;
        bool removeOn, switchOn;
    } kRows[] = {
        {"KxShell", WINLOGON_Shell, "&Reset", true, false},
        {"KxHook", REG_ShellExecuteHook, "&Remove", true, false},
        {"KxNotify", RUN_WINLOGONNOTIFY, "&Remove", false, true},
        {"KxPlain", CURRENT_RUN, "&Remove", true, true},
    };
    for (int i = 0; i < 4; i++) {
        AddEntry(kRows[i].title, "C:\\x.exe", "", "", kRows[i].type, 0);
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = i;
        item.pszText = (char*)kRows[i].title;
        item.lParam = i;
        SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
    }
    for (int i = 0; i < 4; i++) {
        Select(list, {i});
        UpdateStartupSelection(page);
        EXPECT_EQ(kRows[i].removeText, Text(page, IDC_PAGE_REMOVE)) << kRows[i].title;
        EXPECT_EQ(kRows[i].removeOn, Enabled(page, IDC_PAGE_REMOVE)) << kRows[i].title;
        EXPECT_EQ(kRows[i].switchOn, Enabled(page, IDC_STARTUP_DISABLE)) << kRows[i].title;
    }

    // The context menu offers the entry actions only below the Winlogon types.
    auto items = [](int index) {
        HMENU menu = BuildStartupMenu(index);
        std::vector<int> ids;
        for (int i = 0; i < GetMenuItemCount(menu); i++)
            ids.push_back((int)GetMenuItemID(menu, i));
        DestroyMenu(menu);
        return ids;
    };
    std::vector<int> plain = {1008, 1201, 1202, 1064, 1195, 0, 1003, 11, 1144, 0, 1067, 9, 1077};
    std::vector<int> shell = {1008, 1201, 1202, 1064, 0, 1067, 9, 1077};
    EXPECT_EQ(plain, items(3));
    EXPECT_EQ(shell, items(0));
}

std::vector<std::string> g_elevated;
int g_elevatedAnswer;   // -1 declined, else what the elevated copy does and returns
int RunInProcess(const char* file, const char* parameters)
{
    g_elevated.push_back(std::string(FileNamePart(file)) + " " + parameters);
    if (g_elevatedAnswer < 0)
        return -1;
    // What the elevated copy does with its command line, here in this process.
    int exitCode = -2;
    EXPECT_EQ(1, RunElevatedSwitch(parameters, &exitCode));
    return exitCode;
}

// Without administrator rights the machine's entries are changed by an elevated copy of the
// manager, asked for with a shield on the buttons; the user's own entries are changed here.
TEST_F(SheetTest, TheMachineEntriesAreChangedByAnElevatedCopyAndTheUsersHere)
{
    const char* machineTitle = "KxPage \"Machine\" %1";
    SaveValue(HKEY_LOCAL_MACHINE, kRunKey, machineTitle);
    std::string machine = TempPath("machine tool.exe");
    CopyFileA((TestProgramFolder() + "\\kxfx_app.exe").c_str(), machine.c_str(), FALSE);
    WriteValueText(HKEY_LOCAL_MACHINE, kRunKey, machineTitle, "\"" + machine + "\" /x");
    AddRun("KxPageUser", "user.exe");
    SetElevatedOverride(0);
    SetElevatedRunner(RunInProcess);
    g_elevated.clear();
    Open(PAGE_STARTUP);
    HWND list = List();

    // The machine's entry carries the shield in its context menu, the user's does not.
    for (const char* title : {machineTitle, "KxPageUser"}) {
        HMENU menu = BuildStartupMenu(StartupRowEntry(list, RowOf(list, title)));
        for (int command : {IDC_STARTUP_DISABLE, IDM_PAGE_MOVE_TO_DELAY}) {
            MENUITEMINFOA item = {};
            item.cbSize = sizeof(item);
            item.fMask = MIIM_BITMAP;
            ASSERT_TRUE(GetMenuItemInfoA(menu, command, FALSE, &item)) << title;
            char text[128] = "";
            GetMenuStringA(menu, command, text, sizeof(text), MF_BYCOMMAND);
            bool shielded = item.hbmpItem || std::string(text).find(Res(1700)) != std::string::npos;
            EXPECT_EQ(title == machineTitle, shielded) << title << " " << command;
        }
        DestroyMenu(menu);
    }
    Select(list, {RowOf(list, "KxPageUser")});
    Command(IDC_STARTUP_DISABLE);
    EXPECT_TRUE(g_elevated.empty()) << "the user's own entry needs no rights";
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunKey, "KxPageUser"));

    // Declined at the prompt: nothing changes, nothing is said.
    g_elevatedAnswer = -1;
    Select(list, {RowOf(list, machineTitle)});
    {
        MessageWatch guard(sheet_, 0);
        Command(IDC_STARTUP_DISABLE);
        EXPECT_FALSE(guard.Stop());
    }
    ASSERT_EQ(1u, g_elevated.size());
    EXPECT_EQ(0u, g_elevated[0].find("KestrixEx.exe -Elevated 1 1 ")) << g_elevated[0];
    EXPECT_EQ(std::string::npos, g_elevated[0].find('"')) << "no quote reaches the command line";
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, machineTitle));

    // Allowed: the copy disables it, enables it again, then removes it.
    g_elevatedAnswer = 0;
    Select(list, {RowOf(list, machineTitle)});
    Command(IDC_STARTUP_DISABLE);
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, machineTitle));
    EXPECT_EQ("1", ReadValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, machineTitle));
    Select(list, {RowOf(list, machineTitle)});
    Command(IDC_STARTUP_ENABLE);
    EXPECT_EQ("\"" + machine + "\" /x", ReadValueText(HKEY_LOCAL_MACHINE, kRunKey, machineTitle));
    Select(list, {RowOf(list, machineTitle)});
    {
        MessageWatch watch(sheet_, IDYES);
        Command(IDC_PAGE_REMOVE);
        watch.Wait();
    }
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, machineTitle));
    EXPECT_EQ(4u, g_elevated.size());
    EXPECT_EQ(0u, g_elevated[3].find("KestrixEx.exe -Elevated 2 1 ")) << g_elevated[3];

    // Moved to delayed start by the copy, which asks its question: out of the machine's Run
    // key, into the machine's store.
    WriteValueText(HKEY_LOCAL_MACHINE, kRunKey, machineTitle, "\"" + machine + "\" /x");
    Close();
    Open(PAGE_STARTUP);
    list = List();
    Select(list, {RowOf(list, machineTitle)});
    {
        MessageWatch watch(sheet_, IDOK);
        Command(IDM_PAGE_MOVE_TO_DELAY);
        watch.Wait();
    }
    ASSERT_EQ(5u, g_elevated.size());
    EXPECT_EQ(0u, g_elevated[4].find("KestrixEx.exe -Elevated 20 1 ")) << g_elevated[4];
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, machineTitle));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, KX_DELAY_KEY, machine));
    DeleteDelayValues(HKEY_LOCAL_MACHINE, machine.c_str());

    // A line this program does not write does nothing.
    int exitCode = 0;
    for (const char* line : {"-Elevated 1 1 4B78", "-Elevated 99 1 4B78 - -", "-Elevated 1 1 4B7 - -",
                             "-Elevated 1 1 4B00 - -", "-Elevated 1 1 - - -",
                             "-Elevated 19 0 - 4B78 -", "-Elevated 17 3 - 4B78 -",
                             "-Elevated 20 -1 4B78 4B78 -"}) {
        EXPECT_EQ(1, RunElevatedSwitch(line, &exitCode)) << line;
        EXPECT_EQ(1, exitCode) << line;
    }
    EXPECT_EQ(0, RunElevatedSwitch("-ElevatedX 1 1 4B78 - -", &exitCode));
    SetElevatedOverride(-1);
    SetElevatedRunner(nullptr);
}

TEST_F(SheetTest, DisableEnableAndRemoveChangeTheRegistryAndTheList)
{
    std::string one = AddRun("KxPageOne", "one.exe");
    AddRun("KxPageTwo", "two.exe");
    AddRun("KxPageThree", "three.exe");
    Open(PAGE_STARTUP);
    HWND list = List();

    Select(list, {RowOf(list, "KxPageOne")});
    Command(IDC_STARTUP_DISABLE);
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunKey, "KxPageOne"));
    EXPECT_EQ("11", ReadValueText(HKEY_CURRENT_USER, KX_DISABLED_KEY, "KxPageOne"));
    EXPECT_EQ(Res(626), Cell(list, RowOf(list, "KxPageOne"), 3));
    Select(list, {RowOf(list, "KxPageOne")});
    Command(IDC_STARTUP_ENABLE);
    EXPECT_EQ(one, ReadValueText(HKEY_CURRENT_USER, kRunKey, "KxPageOne"));
    EXPECT_EQ("HKCU_RUN", Cell(list, RowOf(list, "KxPageOne"), 3));

    // One row: the question names the command; No keeps it.
    {
        Select(list, {RowOf(list, "KxPageOne")});
        MessageWatch watch(sheet_, IDNO);
        Command(IDC_PAGE_REMOVE);
        watch.Wait();
        EXPECT_NE(std::string::npos, watch.text.find(one)) << watch.text;
        EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kRunKey, "KxPageOne"));
    }
    // Three rows go without any question.
    Select(list, {RowOf(list, "KxPageOne"), RowOf(list, "KxPageTwo"), RowOf(list, "KxPageThree")});
    {
        MessageWatch guard(sheet_, 0);
        Command(IDC_PAGE_REMOVE);
        EXPECT_FALSE(guard.Stop());
    }
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunKey, "KxPageOne"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunKey, "KxPageTwo"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunKey, "KxPageThree"));
    EXPECT_EQ(-1, RowOf(list, "KxPageTwo"));

    // Nothing selected: the no-selection message, captioned "Kestrix Help".
    Select(list, {});
    MessageWatch watch(sheet_, IDOK);
    Command(IDC_PAGE_INFO);
    watch.Wait();
    EXPECT_EQ(Res(31), watch.caption);
    EXPECT_NE(std::string::npos, watch.text.find("No selection has been made.")) << watch.text;
    EXPECT_EQ(0, g_infoAsked);
}

TEST_F(SheetTest, MoveToDelayedStartShowAllAndTheShellCommands)
{
    std::string tool = AddRun("KxPageDelay", "delay.exe");
    Open(PAGE_STARTUP);
    HWND list = List();
    Select(list, {RowOf(list, "KxPageDelay")});
    Command(IDC_PAGE_INFO);
    EXPECT_EQ(1, g_infoAsked);
    Command(IDM_PAGE_EXPLORE_FOLDER);
    Command(IDM_PAGE_PROPERTIES);
    ASSERT_EQ(2u, g_shellCalls.size());
    char upper[260];
    GetProgramFile(tool.c_str(), upper);
    std::string folder = std::string(upper).substr(0, std::string(upper).rfind('\\'));
    EXPECT_EQ(0, lstrcmpiA(("explore|" + folder + "|").c_str(), g_shellCalls[0].c_str()))
        << g_shellCalls[0];
    EXPECT_EQ(0, lstrcmpiA(("properties|" + tool + "|").c_str(), g_shellCalls[1].c_str()))
        << g_shellCalls[1];
    WriteTextFile(TempPath("note_delay.txt"), "my note");
    Command(IDM_PAGE_VIEW_NOTE);
    EXPECT_EQ(0, lstrcmpiA(("open|" + TempPath("note_delay.txt") + "|").c_str(),
                           g_shellCalls.back().c_str()))
        << g_shellCalls.back();

    // Enter reaches the sheet as OK: it opens the information, the sheet stays.
    SendMessageA(sheet_, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(2, g_infoAsked);
    EXPECT_TRUE(IsWindowVisible(sheet_));
    // Delete removes: one row asks first.
    {
        MessageWatch watch(sheet_, IDNO);
        NMLVKEYDOWN key = {};
        key.hdr.hwndFrom = list;
        key.hdr.idFrom = IDC_PAGE_LIST;
        key.hdr.code = LVN_KEYDOWN;
        key.wVKey = VK_DELETE;
        SendMessageA(Page(), WM_NOTIFY, IDC_PAGE_LIST, (LPARAM)&key);
        watch.Wait();
        EXPECT_NE(std::string::npos, watch.text.find("remove this startup entry")) << watch.text;
    }
    Select(list, {RowOf(list, "KxPageDelay")});
    Command(IDM_PAGE_MOVE_TO_DELAY);
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunKey, "KxPageDelay"));
    EXPECT_EQ("11", ReadValueText(HKEY_CURRENT_USER, KX_DELAY_KEY, tool));
    EXPECT_EQ("1103", ReadValueText(HKEY_CURRENT_USER, KX_KEY "\\Run", tool));
    EXPECT_EQ(-1, RowOf(list, "KxPageDelay"));

    CheckDlgButton(Page(), IDC_PAGE_CHECK, BST_CHECKED);
    Command(IDC_PAGE_CHECK);
    EXPECT_EQ("1", ReadValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "ShowAllStartup"));
    EXPECT_EQ("1", ReadValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Update"));
}

TEST_F(SheetTest, ColumnClicksSortAscendingThenDescendingWithDisabledEntriesLast)
{
    AddRun("KxSortB", "bbb.exe");
    AddRun("KxSortA", "ccc.exe");
    std::string off = AddRun("KxSortC", "aaa.exe");
    DisableRunProgram("KxSortC", off.c_str(), "", CURRENT_RUN);
    Open(PAGE_STARTUP);
    HWND list = List();
    auto order = [&] {
        std::vector<std::string> titles;
        int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
        for (int row = 0; row < count; row++)
            if (Cell(list, row, 0).rfind("KxSort", 0) == 0)
                titles.push_back(Cell(list, row, 0));
        return titles;
    };
    SortStartupList(list, 1);
    EXPECT_EQ((std::vector<std::string>{"KxSortB", "KxSortA", "KxSortC"}), order());
    EXPECT_EQ("2", ReadValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "SortStartup"));
    SortStartupList(list, 1);
    EXPECT_EQ((std::vector<std::string>{"KxSortC", "KxSortA", "KxSortB"}), order());
    // A refill keeps the order last chosen.
    FillStartupList(Page());
    EXPECT_EQ((std::vector<std::string>{"KxSortC", "KxSortA", "KxSortB"}), order());
}

// The Publisher column reads "checking..." until the worker's answer arrives, then who signed
// each program; it sorts by that text, and the hide option leaves out what Microsoft signed.
TEST_F(SheetTest, PublisherColumnFillsAsAnswersArriveSortsAndHidesMicrosoftSigned)
{
    ForgetFileSignatures();
    AddRun("KxPubSigned", "signed.exe", "kxfx_signed.exe");
    AddRun("KxPubPlain", "plain.exe");
    AddRun("KxPubBroken", "broken.exe", "kxfx_broken.exe");
    AddRun("KxPubMs", "ms.exe", "kxfx_mssigned.exe");
    SaveValue(HKEY_CURRENT_USER, kRunKey, "KxPubGone");
    WriteValueText(HKEY_CURRENT_USER, kRunKey, "KxPubGone", TempPath("gone.exe"));
    Open(PAGE_STARTUP);
    HWND list = List();
    HWND header = (HWND)SendMessageA(list, LVM_GETHEADER, 0, 0);
    ASSERT_EQ(6, (int)SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
    const std::string checking = Res(1436);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"KxPubSigned", "(Verified) Kestrix Test Signer"},
        {"KxPubPlain", "(Not verified) Orvane Fixtures"},
        {"KxPubBroken", "(Signature broken)"},
        {"KxPubMs", "(Verified) Microsoft Windows"},
        {"KxPubGone", "(File not found)"},
    };
    EXPECT_EQ(checking, Cell(list, RowOf(list, "KxPubSigned"), 5));
    auto allAnswered = [&] {
        for (const auto& e : expected)
            if (Cell(list, RowOf(list, e.first), 5) == checking)
                return false;
        return true;
    };
    ASSERT_TRUE(PumpUntil(allAnswered));
    for (const auto& e : expected)
        EXPECT_EQ(e.second, Cell(list, RowOf(list, e.first), 5)) << e.first;

    SortStartupList(list, 5);
    std::vector<std::string> order;
    for (int row = 0; row < (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0); row++)
        if (Cell(list, row, 0).rfind("KxPub", 0) == 0)
            order.push_back(Cell(list, row, 0));
    EXPECT_EQ((std::vector<std::string>{"KxPubGone", "KxPubPlain", "KxPubBroken", "KxPubSigned",
                                        "KxPubMs"}),
              order);

    EXPECT_EQ(Res(1439), Text(Page(), IDC_PAGE_HIDE_SIGNED));
    CheckDlgButton(Page(), IDC_PAGE_HIDE_SIGNED, BST_CHECKED);
    Command(IDC_PAGE_HIDE_SIGNED);
    EXPECT_EQ("1", ReadValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "HideSignedStartup"));
    EXPECT_LT(RowOf(list, "KxPubMs"), 0);
    for (const char* kept : {"KxPubSigned", "KxPubPlain", "KxPubBroken", "KxPubGone"})
        EXPECT_GE(RowOf(list, kept), 0) << kept;
}

// A shell extension is listed by the file of its class, so that the hide option leaves out
// those Microsoft signed and keeps the others.
TEST_F(SheetTest, ShellExtensionsAreListedByTheirFileAndHiddenWhenMicrosoftSigned)
{
    ForgetFileSignatures();
    const std::string handlers = "SOFTWARE\\Classes\\*\\shellex\\ContextMenuHandlers\\";
    const struct {
        const char* handler;
        const char* clsid;
        const char* fixture;
    } rows[] = {{"KxShellMs", "{6b1d3f0e-0000-4a11-9c00-00000000ca01}", "kxfx_mssigned.exe"},
                {"KxShellOwn", "{6b1d3f0e-0000-4a11-9c00-00000000ca02}", "kxfx_signed.exe"}};
    for (const auto& row : rows) {
        ForgetKey(HKEY_LOCAL_MACHINE, handlers + row.handler);
        ForgetKey(HKEY_LOCAL_MACHINE, std::string("SOFTWARE\\Classes\\CLSID\\") + row.clsid);
        std::string file = TempPath(std::string(row.handler) + ".dll");
        CopyFileA((TestProgramFolder() + "\\" + row.fixture).c_str(), file.c_str(), FALSE);
        WriteValueText(HKEY_LOCAL_MACHINE, handlers + row.handler, "", row.clsid);
        WriteValueText(HKEY_LOCAL_MACHINE,
                       std::string("SOFTWARE\\Classes\\CLSID\\") + row.clsid + "\\InprocServer32", "",
                       file);
    }
    // The places beyond the Run keys are on the page when it shows everything.
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "ShowAllStartup", "1");
    Open(PAGE_STARTUP);
    HWND list = List();
    for (const auto& row : rows) {
        int at = RowOf(list, row.handler);
        ASSERT_GE(at, 0) << row.handler;
        std::string command = Cell(list, at, 1), file = std::string(row.handler) + ".dll";
        EXPECT_EQ(0, lstrcmpiA(command.substr(command.size() - std::min(command.size(), file.size())).c_str(),
                               file.c_str()))
            << command;
        // The type column names the place.
        EXPECT_EQ("ContextMenu_All", Cell(list, at, 3));
    }
    CheckDlgButton(Page(), IDC_PAGE_HIDE_SIGNED, BST_CHECKED);
    Command(IDC_PAGE_HIDE_SIGNED);
    EXPECT_LT(RowOf(list, "KxShellMs"), 0);
    EXPECT_GE(RowOf(list, "KxShellOwn"), 0);
}

// What the list shows: every cell of our rows in order, the selected rows and the focused one.
struct ListState {
    std::vector<std::vector<std::string>> cells;
    std::vector<int> selected;
    int focused = -1;
    bool operator==(const ListState& o) const
    {
        return cells == o.cells && selected == o.selected && focused == o.focused;
    }
};

ListState StateOf(HWND list)
{
    ListState state;
    int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    for (int row = 0; row < count; row++) {
        std::vector<std::string> cells;
        for (int column = 0; column < 5; column++)
            cells.push_back(Cell(list, row, column));
        state.cells.push_back(cells);
        if (SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_SELECTED))
            state.selected.push_back(row);
    }
    state.focused = (int)SendMessageA(list, LVM_GETNEXTITEM, -1, LVNI_FOCUSED);
    return state;
}

// Coming back to the page shows what a fresh sheet shows, whatever happened in between: rows
// kept from the last fill must be put back in fill order, selection and sort as a new fill.
TEST_F(SheetTest, ComingBackToThePageShowsWhatAFreshSheetShows)
{
    // One program for all: the Command column ties, so its sort keeps the order it starts from.
    for (const char* title : {"KxKeepA", "KxKeepB", "KxKeepC"})
        AddRun(title, "same.exe");
    const struct {
        const char* what;
        std::function<void()> change;
        const char* newRow;   // a row the change adds, else nullptr
    } kChanges[] = {
        {"nothing", [] {}, nullptr},
        {"titles descending, then the tied command column",
         [this] {
             SortStartupList(List(), 0);
             SortStartupList(List(), 0);
             SortStartupList(List(), 1);
         },
         nullptr},
        {"rows selected and the view scrolled",
         [this] {
             int count = (int)SendMessageA(List(), LVM_GETITEMCOUNT, 0, 0);
             Select(List(), {count - 1, count - 2});
             SendMessageA(List(), LVM_ENSUREVISIBLE, count - 1, FALSE);
         },
         nullptr},
        {"a new Run value", [this] { AddRun("KxKeepD", "same.exe"); }, "KxKeepD"},
        {"an entry disabled",
         [this] {
             std::string path = TempPath("same.exe");
             DisableRunProgram("KxKeepB", path.c_str(), "", CURRENT_RUN);
         },
         nullptr},
    };
    for (const auto& c : kChanges) {
        SCOPED_TRACE(c.what);
        Open(PAGE_STARTUP);
        ASSERT_GE(RowOf(List(), "KxKeepA"), 0);
        c.change();
        SendMessageA(sheet_, PSM_SETCURSEL, 1, 0);
        SendMessageA(sheet_, PSM_SETCURSEL, 0, 0);
        ListState back = StateOf(List());
        if (c.newRow) {
            EXPECT_GE(RowOf(List(), c.newRow), 0);
        }
        Close();
        Open(PAGE_STARTUP);
        EXPECT_TRUE(back == StateOf(List()));
        EXPECT_EQ(std::vector<int>{0}, back.selected);
        Close();
    }
}

TEST(StartupSortKeys, FirstDetectedDatesBecomeYearMonthDayHourMinute)
{
    const struct {
        const char* date;
        const char* key;
    } kDates[] = {{"12/09/2026 7:05 PM", "202612090705"}, {"01/31/2025 13:45", "202501311345"},
                  {"12/09/2026", " "}, {"", " "}};
    for (const auto& d : kDates) {
        char key[13];
        SortableDate(d.date, key);
        EXPECT_STREQ(d.key, key) << d.date;
    }
}

class AddProgramTest : public SheetTest {};

TEST_F(AddProgramTest, AProgramWithBlanksInItsPathIsAddedQuotedAndKnown)
{
    CreateDirectoryA(TempPath("My Tools").c_str(), nullptr);
    std::string path = TempPath("My Tools\\app.exe");
    CopyFileA((TestProgramFolder() + "\\kxfx_app.exe").c_str(), path.c_str(), FALSE);
    SaveValue(HKEY_CURRENT_USER, kRunKey, "Fixture App Tool");
    EXPECT_EQ(1, AddStartupProgram(path.c_str()));
    EXPECT_EQ("\"" + path + "\"", ReadValueText(HKEY_CURRENT_USER, kRunKey, "Fixture App Tool"));
    EXPECT_EQ("1", ReadValueText(HKEY_CURRENT_USER, KX_KEY "\\Run", "\"" + path + "\""));

    std::string plain = TempPath("plain.exe");
    CopyFileA((TestProgramFolder() + "\\kxfx_plain.exe").c_str(), plain.c_str(), FALSE);
    SaveValue(HKEY_CURRENT_USER, kRunKey, "plain");
    AddStartupProgram(plain.c_str());
    EXPECT_EQ(plain, ReadValueText(HKEY_CURRENT_USER, kRunKey, "plain"));
}

TEST_F(SheetTest, QuitCommandEndsTheMainWindowWritingEveryOptionBack)
{
    HWND window = CreateMainWindow(GetModuleHandleA(nullptr), "KxTestMain", "Loading...");
    ASSERT_NE(nullptr, window);
    CoInitialize(nullptr);
    ReadAllOptions();
    g_options.Start = 7;
    // 6031 adds the monitor's own Run value, and a second time removes it.
    SaveValue(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix");
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix");
    SendMessageA(window, WM_COMMAND, PAGE_TOGGLE_AUTORUN, 0);
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix"));
    SendMessageA(window, WM_COMMAND, PAGE_TOGGLE_AUTORUN, 0);
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix"));
    SendMessageA(window, WM_COMMAND, PAGE_QUIT, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ("7", ReadValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Start"));
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    UnregisterClassA("KxTestMain", GetModuleHandleA(nullptr));
}

}   // namespace

// Programs of the system are started by their full path, so that a file of the same name in
// the current folder is never the one run; AOL's browser only from the folder AOL names.
TEST_F(SheetTest, SystemProgramsAreStartedByTheirFullPath)
{
    char system[MAX_PATH], hosts[MAX_PATH];
    GetSystemDirectoryA(system, sizeof(system));
    GetHOSTSFile(hosts, sizeof(hosts));
    bool hadHosts = GetFileAttributesA(hosts) != INVALID_FILE_ATTRIBUTES;
    if (!hadHosts)
        WriteTextFile(hosts, "127.0.0.1 localhost\r\n");
    g_shellCalls.clear();
    ViewHostsFile(nullptr);
    if (!hadHosts)
        DeleteFileA(hosts);
    ASSERT_EQ(1u, g_shellCalls.size());
    EXPECT_EQ("open|" + std::string(system) + "\\notepad.exe|\"" + hosts + "\"", g_shellCalls[0]);

    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "AOL Frame25";
    RegisterClassA(&wc);
    HWND aol = CreateWindowA("AOL Frame25", "AOL", 0, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_EQ(aol, FindAolClientWindow());
    const std::string folder = "C:\\" + std::string(256, 'a');   // 259 characters
    struct { const char* appPath; std::string call; } rows[] = {
        {nullptr, "open|http://kx.example/|"},
        {folder.c_str(), "winexec|\"" + folder + "\\WAOL.EXE\" -u \"http://kx.example/\"|"},
    };
    for (const auto& row : rows) {
        WriteProfileStringA("WAOL", "AppPath", row.appPath);
        g_shellCalls.clear();
        OpenWebAddress(nullptr, "http://kx.example/");
        ASSERT_EQ(1u, g_shellCalls.size());
        EXPECT_EQ(row.call, g_shellCalls[0]);
    }
    WriteProfileStringA("WAOL", "AppPath", nullptr);
    DestroyWindow(aol);
    UnregisterClassA("AOL Frame25", wc.hInstance);
}
