// The inventory pages and the program information dialog, driven in-process: every page is
// filled from fixture data of its inventory and checked by its columns, rows and buttons;
// the actions that change the machine are pressed and their effect read back.
#include "browserentries.h"
#include "dialog_driver.h"
#include "kxtest.h"
#include "waits.h"
#include "../explorer/elevate.h"
#include "../explorer/explorerseams.h"
#include "../explorer/infodialog.h"
#include "../explorer/listpage.h"
#include "../explorer/pageframe.h"
#include "../explorer/pages.h"
#include "../explorer/sheet.h"
#include "../explorer/shellrun.h"
#include "addonactions.h"
#include "addons.h"
#include "filetypeactions.h"
#include "delaystart.h"
#include "dialogs_delay.h"
#include "dialogs_info.h"
#include "dialogs_pages.h"
#include "elevation.h"
#include "entrylist.h"
#include "filetypes.h"
#include "handles.h"
#include "keys.h"
#include "message_watch.h"
#include "options.h"
#include "pathutil.h"
#include "platform.h"
#include "program.h"
#include "registry.h"
#include "resstring.h"
#include "runtasks.h"
#include "sysfiles.h"
#include "runactions.h"
#include "service_tasks.h"
#include "tasks.h"
#include "watched_items.h"
#include "winpos.h"
#include <commctrl.h>
#include <functional>
#include <map>
#include <vector>

namespace {

const char kClsid[] = "{6B1C2E40-7A7B-4C2D-9E1F-0A1B2C3D4E5F}";
const char kExtension[] = "kxpg";
const wchar_t kTask[] = L"KxPageTask";

std::string Res(UINT id)
{
    char text[2048] = "";
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

std::string Header(HWND list, int column)
{
    char text[128] = "";
    LVCOLUMNA item = {};
    item.mask = LVCF_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    SendMessageA(list, LVM_GETCOLUMNA, column, (LPARAM)&item);
    return text;
}

int Rows(HWND list) { return (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0); }

int RowWith(HWND list, int column, const std::string& text)
{
    for (int row = 0; row < Rows(list); row++)
        if (!lstrcmpiA(Cell(list, row, column).c_str(), text.c_str()))
            return row;
    return -1;
}

void Select(HWND list, int row)
{
    LVITEMA clear = {};
    clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, -1, (LPARAM)&clear);
    if (row >= 0)
        SelectListRow(list, row);
}

std::string Text(HWND window, int id)
{
    char text[4096] = "";
    GetDlgItemTextA(window, id, text, sizeof(text));
    return text;
}

bool Usable(HWND window, int id)
{
    HWND control = GetDlgItem(window, id);
    return control && IsWindowVisible(control) && IsWindowEnabled(control);
}

// The message box the thread of owner shows next: its texts, answered with OK.
std::string AnswerMessageBox(HWND owner)
{
    HWND box = WaitForThreadDialog(GetWindowThreadProcessId(owner, nullptr), owner, owner);
    std::string text;
    if (!box)
        return text;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM arg) -> BOOL {
            *(std::string*)arg += WindowText(child) + "|";
            return TRUE;
        },
        (LPARAM)&text);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    return text;
}

int g_infoOpened;
void CountInfo(HWND, int) { g_infoOpened++; }
int RecordShell(const char*, const char*, const char*) { return 1; }
void NoCommand(const char*) {}

class PagesTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        g_programKind = PROGRAM_EXPLORER;
        InitCommonControls();
        CoInitialize(nullptr);
        InstallEntryActions();
        WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Sound", "0");
        SetShellRunHook(RecordShell);
        SetProgramInfoHook(CountInfo);
        SetAddOnCommandRunner(NoCommand);
        SetTaskItemWait(0);
        RemoveServiceTask(L"KxPageFolder", L"KxPageLogon");
        g_infoOpened = 0;
        for (int& flag : g_pageSortFlags)
            flag = 0;
        ForgetKey(HKEY_LOCAL_MACHINE, std::string(KX_BHO_KEY "\\") + kClsid);
        ForgetKey(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClsid);
        ForgetKey(HKEY_LOCAL_MACHINE, std::string("Software\\Classes\\.") + kExtension);
        ForgetKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\KxPageFile");
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        hidden_ = std::string(temp) + "kxpghidden.dat";
        program_ = TempPath("kxpage.exe");
        CopyFileA((TestProgramFolder() + "\\kxfx_app.exe").c_str(), program_.c_str(), FALSE);
    }
    void TearDown() override
    {
        if (sheet_)
            DestroyWindow(sheet_);
        SetShellRunHook(nullptr);
        SetProgramInfoHook(nullptr);
        SetAddOnCommandRunner(nullptr);
        SetElevatedOverride(-1);
        SetElevatedRunner(nullptr);
        SetTaskItemWait(1000);
        DeleteFileA(TaskJobPath(kTask).c_str());
        RemoveServiceTask(L"KxPageFolder", L"KxPageLogon");
        SetFileAttributesA(hidden_.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(hidden_.c_str());
        ClearEntries();
        CoUninitialize();
        KxTest::TearDown();
    }
    // One entry of every inventory that names the fixture program.
    void MakeFixtures()
    {
        ASSERT_TRUE(AddDelayedProgram(program_.c_str(), 0));
        WriteValueText(HKEY_LOCAL_MACHINE, std::string(KX_BHO_KEY "\\") + kClsid, "", "");
        WriteValueText(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClsid, "", "Kx page helper");
        WriteValueText(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClsid + "\\InprocServer32", "",
                       program_);
        ASSERT_TRUE(MakeWorkItem(kTask, program_));
        WriteValueText(HKEY_LOCAL_MACHINE, std::string("Software\\Classes\\.") + kExtension, "",
                       "KxPageFile");
        WriteValueText(HKEY_LOCAL_MACHINE, "Software\\Classes\\KxPageFile", "", "Kx page document");
        WriteValueText(HKEY_LOCAL_MACHINE, "Software\\Classes\\KxPageFile\\shell\\open\\command",
                       "", "\"" + program_ + "\" \"%1\"");
        ASSERT_EQ(0, AddWatchedExtension(kExtension));
        ASSERT_TRUE(WriteTextFile(hidden_, "hidden"));
        SetFileAttributesA(hidden_.c_str(), FILE_ATTRIBUTE_HIDDEN);
    }
    HWND Open(int request)
    {
        sheet_ = CreateModelessSheet(nullptr, request);
        EXPECT_NE(nullptr, sheet_);
        return sheet_;
    }
    void Close()
    {
        DestroyWindow(sheet_);
        sheet_ = nullptr;
    }
    HWND Page() { return (HWND)SendMessageA(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0); }
    HWND List() { return GetDlgItem(Page(), IDC_PAGE_LIST); }
    LRESULT Command(int id) { return SendMessageA(Page(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

    HWND sheet_ = nullptr;
    std::string program_, hidden_;
};

}   // namespace

// Every page: its column headers, a row for the fixture program with the texts the page
// shows for it, the buttons that work and the first row selected.
TEST_F(PagesTest, EveryPageListsItsInventoryWithItsColumnsAndButtons)
{
    MakeFixtures();
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    std::string selfName = FileNamePart(self), folder = program_.substr(0, program_.rfind('\\'));
    struct Expect {
        int page;
        std::vector<UINT> headers;
        std::vector<int> buttons;
        int keyColumn;
        std::string key;
        std::vector<std::pair<int, std::string>> cells;
    };
    const std::string company = "Orvane Fixtures";
    const std::vector<Expect> pages = {
        {PAGE_DELAY, {627, 628, 648, 1119},
         {IDC_PAGE_INFO, IDC_PAGE_ADD, IDC_DELAY_OPTIONS_BUTTON, IDC_PAGE_REMOVE, IDC_PAGE_CLOSE},
         1, "kxpage.exe", {{0, "Fixture App"}, {2, ""}, {3, "30 " + Res(1122)}}},
        {PAGE_IEHELPERS, {681, 684, 699, 714, 912, 1437}, {IDC_PAGE_INFO, IDC_PAGE_REMOVE, IDC_PAGE_CLOSE},
         1, "kxpage.exe", {{0, "Fixture App"}, {2, company}, {3, "BHO"}}},
        {PAGE_SCHEDULED, {681, 684, 699, 683, 682, 1437}, {IDC_PAGE_INFO, IDC_PAGE_REMOVE, IDC_PAGE_CLOSE},
         1, "kxpage.exe", {{2, company}, {4, Res(686)}}},
        {PAGE_SERVICES, {627, 628, 699, 648, 651, 912, 1437},
         {IDC_PAGE_INFO, IDC_PAGE_CLOSE, IDC_PAGE_CHECK, IDC_PAGE_HIDE_SIGNED,
          IDC_PAGE_SHOW_DRIVERS},
         -1, "", {}},
        {PAGE_TASKS, {629, 631, 699, 912, 1437},
         {IDC_PAGE_INFO, IDC_PAGE_REFRESH, IDC_PAGE_SPECIFIC, IDC_PAGE_CLOSE}, 0, selfName, {}},
        {PAGE_FILETYPES, {627, 628, 699, 747, 748, 714},
         {IDC_PAGE_INFO, IDC_PAGE_ADD, IDC_PAGE_REMOVE, IDC_PAGE_CLOSE}, 4, ".KXPG",
         {{0, "Kx page document"}, {2, company}, {3, "KxPageFile"}, {5, "System"}}},
        {PAGE_HIDDEN, {629, 776, 912, 914, 714},
         {IDC_PAGE_INFO, IDC_PAGE_REFRESH, IDC_PAGE_SPECIFIC, IDC_PAGE_CLOSE}, 0, "kxpghidden.dat",
         {{4, ""}}},
    };
    for (const Expect& e : pages) {
        SCOPED_TRACE(e.page);
        Open(e.page);
        ASSERT_EQ(e.page, g_activePageId);
        HWND list = List();
        HWND header = (HWND)SendMessageA(list, LVM_GETHEADER, 0, 0);
        ASSERT_EQ((int)e.headers.size(), (int)SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
        for (size_t c = 0; c < e.headers.size(); c++)
            EXPECT_EQ(Res(e.headers[c]), Header(list, (int)c)) << c;
        for (int id : e.buttons)
            EXPECT_TRUE(Usable(Page(), id)) << id;
        EXPECT_NE("", Text(Page(), IDC_PAGE_INFO));
        // Every entry the inventory keeps has a row; the first is selected.
        int rows = Rows(list);
        EXPECT_GT(rows, 0);
        EXPECT_LE(rows, EntryCount());
        EXPECT_EQ(0, (int)SendMessageA(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
        if (e.keyColumn >= 0) {
            int row = RowWith(list, e.keyColumn, e.key);
            ASSERT_GE(row, 0) << e.key;
            for (const auto& cell : e.cells)
                EXPECT_EQ(cell.second, Cell(list, row, cell.first)) << cell.first;
            // The publisher arrives from the worker thread; no program here is signed, so the
            // company follows (column 2 on every page with the column).
            int publisher = e.headers.back() == 1437 ? (int)e.headers.size() - 1 : -1;
            if (publisher >= 0) {
                EXPECT_TRUE(PumpUntil([&] { return Cell(list, row, publisher) != Res(1436); }));
                EXPECT_EQ("(Not verified) " + Cell(list, row, 2), Cell(list, row, publisher));
            }
            // The status bar follows the selection.
            Select(list, row);
            char status[600] = "";
            SendDlgItemMessageA(sheet_, SHEET_STATUS_BAR_ID, SB_GETTEXTA, 0, (LPARAM)status);
            EXPECT_NE("", std::string(status));
            Command(IDC_PAGE_INFO);
            EXPECT_EQ(ListRowEntry(list, row), g_infoIndex);
        }
        Close();
    }
    EXPECT_EQ(6, g_infoOpened);
}

// A task of the task service has its row under its path; its menu switches it off and on.
TEST_F(PagesTest, TheScheduledPageListsServiceTasksAndSwitchesThemOffAndOn)
{
    const std::string path = "\\KxPageFolder\\KxPageLogon";
    ASSERT_TRUE(RegisterServiceTask(L"KxPageFolder", L"KxPageLogon",
                                    LogonTaskXml(program_, "", "Kx Author", "")));
    Open(PAGE_SCHEDULED);
    struct Step {
        int command;
        std::string nextRun;
    } steps[] = {{0, Res(686)}, {IDC_STARTUP_DISABLE, Res(626)}, {IDC_STARTUP_ENABLE, Res(686)}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.command);
        if (step.command) {
            Select(List(), RowWith(List(), 0, path));
            Command(step.command);
        }
        int row = RowWith(List(), 0, path);
        ASSERT_GE(row, 0);
        EXPECT_EQ(step.nextRun, Cell(List(), row, 3));
        EXPECT_EQ(Res(686), Cell(List(), row, 4));
    }
    Close();
}

TEST_F(PagesTest, ColumnClicksSortEachWayAndTheOrderOutlivesTheSheet)
{
    MakeFixtures();
    ASSERT_TRUE(WriteTextFile(TempPath("a.dat"), "a"));
    Open(PAGE_HIDDEN);
    HWND list = List();
    NMLISTVIEW click = {};
    click.hdr.hwndFrom = list;
    click.hdr.idFrom = IDC_PAGE_LIST;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iSubItem = 1;
    SendMessageA(Page(), WM_NOTIFY, IDC_PAGE_LIST, (LPARAM)&click);
    ASSERT_GT(Rows(list), 0);
    std::vector<std::string> up;
    for (int row = 0; row < Rows(list); row++)
        up.push_back(Cell(list, row, 1));
    for (size_t i = 1; i < up.size(); i++)
        EXPECT_LE(lstrcmpiA(up[i - 1].c_str(), up[i].c_str()), 0) << up[i];
    SendMessageA(Page(), WM_NOTIFY, IDC_PAGE_LIST, (LPARAM)&click);
    EXPECT_EQ("2", ReadValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "SortHidden"));
    std::string first = Cell(list, 0, 1);
    EXPECT_EQ(0, lstrcmpiA(up.back().c_str(), first.c_str()));
    Close();
    Open(PAGE_HIDDEN);
    EXPECT_EQ(0, lstrcmpiA(first.c_str(), Cell(List(), 0, 1).c_str()));
}

TEST(DelayTimeText, SecondsAloneOrMinutesAndSeconds)
{
    char text[64];
    FormatDelayTime(75, text, sizeof(text));
    EXPECT_EQ("1 " + Res(1121) + " : 15 " + Res(1122), std::string(text));
    FormatDelayTime(45, text, sizeof(text));
    EXPECT_EQ("45 " + Res(1122), std::string(text));
}

// The commands that change the machine, one per page, with the questions they ask.
TEST_F(PagesTest, PageActionsChangeTheMachineAndRefillTheList)
{
    MakeFixtures();
    std::string upperProgram(260, 0);
    GetProgramFile(program_.c_str(), &upperProgram[0]);

    // File Types: Remove stops watching without a question.
    Open(PAGE_FILETYPES);
    Select(List(), RowWith(List(), 4, ".KXPG"));
    {
        MessageWatch none(sheet_, 0);
        Command(IDC_PAGE_REMOVE);
        EXPECT_FALSE(none.Stop());
    }
    EXPECT_EQ(-1, RowWith(List(), 4, ".KXPG"));
    EXPECT_EQ(std::string::npos,
              ReadValueText(HKEY_CURRENT_USER, KX_CLASS_KEY, "").find(kExtension));
    Close();

    // Hidden Files: Unhide leaves the file with plain attributes.
    Open(PAGE_HIDDEN);
    Select(List(), RowWith(List(), 0, "kxpghidden.dat"));
    Command(IDC_PAGE_SPECIFIC);
    EXPECT_FALSE(GetFileAttributesA(hidden_.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(-1, RowWith(List(), 0, "kxpghidden.dat"));
    Close();

    // IE Helpers: Remove asks with the title; Yes takes the registration away.
    Open(PAGE_IEHELPERS);
    Select(List(), RowWith(List(), 1, "kxpage.exe"));
    {
        MessageWatch yes(sheet_, IDYES);
        Command(IDC_PAGE_REMOVE);
        yes.Wait();
        EXPECT_NE(std::string::npos, yes.text.find("Fixture App")) << yes.text;
    }
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::string(KX_BHO_KEY "\\") + kClsid));
    EXPECT_EQ(-1, RowWith(List(), 1, "kxpage.exe"));
    Close();

    // Today's browsers are listed on the same page. Remove on a Chromium extension blocks it
    // by the policy the browser honours, its own sealed file untouched; on a page it says
    // where the page is changed and changes nothing.
    const std::string browsers = std::string("Z:") + KX_SOURCE_DIR + "\\tests\\browsers";
    const char chromePolicies[] = "Software\\Policies\\Google\\Chrome";
    ForgetKey(HKEY_CURRENT_USER, chromePolicies);
    SetBrowserDataFolders((browsers + "\\Local").c_str(), (browsers + "\\Roaming").c_str());
    const std::string preferences = browsers + "\\Local\\Google\\Chrome\\User Data\\Default\\Secure Preferences";
    const std::string before = ReadTextFile(preferences);
    Open(PAGE_IEHELPERS);
    int extensionRow = RowWith(List(), 0, "Google Chrome extension: Coupon Helper");
    ASSERT_GE(extensionRow, 0);
    EXPECT_EQ("BROWSER EXTENSION", Cell(List(), extensionRow, 3));
    EXPECT_GE(RowWith(List(), 0, "Mozilla Firefox extension: uBlock Origin"), 0);
    Select(List(), extensionRow);
    {
        MessageWatch yes(sheet_, IDYES);
        Command(IDC_PAGE_REMOVE);
        yes.Wait();
        EXPECT_NE(std::string::npos, yes.text.find("turn off Google Chrome extension: Coupon Helper")) << yes.text;
        EXPECT_NE(std::string::npos, yes.text.find("policy the browser applies")) << yes.text;
    }
    EXPECT_EQ("kfmfkbhjgfaeoocdbahnbgocmogjbkpg",
              ReadValueText(HKEY_CURRENT_USER, std::string(chromePolicies) + "\\ExtensionInstallBlocklist", "1"));
    EXPECT_EQ(before, ReadTextFile(preferences));
    int pageRow = RowWith(List(), 0, "Google Chrome home page");
    ASSERT_GE(pageRow, 0);
    Select(List(), pageRow);
    {
        MessageWatch ok(sheet_, IDOK);
        Command(IDC_PAGE_REMOVE);
        ok.Wait();
        EXPECT_NE(std::string::npos, ok.text.find("home page is a setting of the browser")) << ok.text;
    }
    Close();
    SetBrowserDataFolders(nullptr, nullptr);

    // Scheduled Tasks: No keeps the task, Yes deletes it and its known value.
    Open(PAGE_SCHEDULED);
    int taskRow = RowWith(List(), 1, "kxpage.exe");
    ASSERT_GE(taskRow, 0);
    std::string taskTitle = Cell(List(), taskRow, 0);
    WriteValueText(HKEY_CURRENT_USER, KX_KEY "\\Tasks", taskTitle, "1");
    Select(List(), taskRow);
    {
        MessageWatch no(sheet_, IDNO);
        Command(IDC_PAGE_REMOVE);
        no.Wait();
    }
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(TaskJobPath(kTask).c_str()));
    Select(List(), RowWith(List(), 1, "kxpage.exe"));
    {
        MessageWatch yes(sheet_, IDYES);
        Command(IDC_PAGE_REMOVE);
        yes.Wait();
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(TaskJobPath(kTask).c_str()));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_KEY "\\Tasks", taskTitle));
    Close();

    // Delayed Start: Remove with No drops the program from the store without a Run value.
    Open(PAGE_DELAY);
    Select(List(), RowWith(List(), 1, "kxpage.exe"));
    {
        MessageWatch no(sheet_, IDNO);
        Command(IDC_PAGE_REMOVE);
        no.Wait();
    }
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_DELAY_KEY, program_));
    EXPECT_EQ(-1, RowWith(List(), 1, "kxpage.exe"));
    Close();

    // Services: the check box writes its option, also into the copy written at the end.
    Open(PAGE_SERVICES);
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(Page(), IDC_PAGE_CHECK));
    CheckDlgButton(Page(), IDC_PAGE_CHECK, BST_UNCHECKED);
    Command(IDC_PAGE_CHECK);
    EXPECT_EQ("0", ReadValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "HideMicrosoftServices"));
    EXPECT_EQ(0, g_options.HideMicrosoftServices);
    // Drivers only with their own box, which is off at first: the file and its Type text.
    const std::string driver = "SYSTEM\\CurrentControlSet\\Services\\KxPageDriver";
    ForgetKey(HKEY_LOCAL_MACHINE, driver);
    WriteValueText(HKEY_LOCAL_MACHINE, driver, "ImagePath", "\\??\\C:\\kx\\kxpage.sys");
    WriteValueText(HKEY_LOCAL_MACHINE, driver, "DisplayName", "Kx Page Driver");
    DWORD fileSystem = SERVICE_FILE_SYSTEM_DRIVER;
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, driver.c_str(), "Type", REG_DWORD, &fileSystem, 4);
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(Page(), IDC_PAGE_SHOW_DRIVERS));
    for (bool show : {false, true, false}) {
        CheckDlgButton(Page(), IDC_PAGE_SHOW_DRIVERS, show ? BST_CHECKED : BST_UNCHECKED);
        Command(IDC_PAGE_SHOW_DRIVERS);
        EXPECT_EQ(show ? "1" : "0", ReadValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "ShowDrivers"));
        int row = RowWith(List(), 0, "Kx Page Driver");
        EXPECT_EQ(show, row >= 0);
        if (row >= 0) {
            EXPECT_EQ("kxpage.sys (" + Res(1852) + ")", Cell(List(), row, 1));
        }
    }
    Close();

    // Active Tasks: a second request while the sheet shows it refreshes the list.
    Open(PAGE_TASKS);
    SendMessageA(List(), LVM_DELETEALLITEMS, 0, 0);
    EXPECT_EQ(0, OpenSheet(nullptr, PAGE_TASKS));
    EXPECT_GT(Rows(List()), 0);
}

std::vector<std::string> g_elevated;
int g_elevatedAnswer;   // -1 declined, ELEVATED_NOT_STARTED, else the copy runs here
int RunInProcess(const char*, const char* parameters)
{
    g_elevated.push_back(parameters);
    if (g_elevatedAnswer == ELEVATED_NOT_STARTED)
        SetLastError(ERROR_ACCESS_DENIED);
    if (g_elevatedAnswer < 0)
        return g_elevatedAnswer;
    int exitCode = -5;
    SetTerminateSeam(nullptr);   // the copy holds the rights this process was refused
    EXPECT_EQ(1, RunElevatedSwitch(parameters, &exitCode));
    return exitCode;
}

// What the system answers a standard user ending an elevated or another user's process.
BOOL WINAPI RefuseTerminate(HANDLE, UINT)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

// A Run value of the machine that starts the program.
bool MachineRunNames(const std::string& program)
{
    bool found = false;
    const char* run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    ForEachValueName(HKEY_LOCAL_MACHINE, run, [&](const std::string& name) {
        found |= ReadValueText(HKEY_LOCAL_MACHINE, run, name).find(program) != std::string::npos;
    });
    return found;
}

// The item carries the shield picture, or "(administrator)" where there is none.
bool MenuItemShielded(HMENU menu, int command)
{
    char text[256] = "";
    MENUITEMINFOA item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_BITMAP | MIIM_STRING;
    item.dwTypeData = text;
    item.cch = sizeof(text);
    if (!GetMenuItemInfoA(menu, command, FALSE, &item))
        return false;
    return item.hbmpItem || std::string(text).find(Res(1700)) != std::string::npos;
}

// Without administrator rights each page's machine-wide action goes to the elevated copy,
// whose button and menu item carry the shield; declined or not startable, nothing changes
// (the second said); with the rights, no shield and nothing is relaunched.
TEST_F(PagesTest, MachineActionsOfEveryPageGoThroughTheElevatedCopy)
{
    MakeFixtures();
    SetElevatedRunner(RunInProcess);
    const std::string bho = std::string(KX_BHO_KEY "\\") + kClsid;
    auto hiddenAttribute = [&] { return (GetFileAttributesA(hidden_.c_str()) & FILE_ATTRIBUTE_HIDDEN) != 0; };
    static const char* const kRefused = "Windows refused this change";
    auto machineDelayGone = [&] { return !ValueExists(HKEY_LOCAL_MACHINE, KX_DELAY_KEY, program_); };
    auto delayForAllUsers = [&] {
        DeleteDelayValues(HKEY_CURRENT_USER, program_.c_str());
        DeleteDelayValues(HKEY_LOCAL_MACHINE, program_.c_str());
        ASSERT_TRUE(AddDelayedProgram(program_.c_str(), 1));
    };
    PROCESS_INFORMATION sleeper = {};
    ASSERT_TRUE(StartTestProgram("\"" + TestProgramFolder() + "\\kxdriver.exe\" sleep 30000", &sleeper));
    Handle sleeperProcess(sleeper.hProcess), sleeperThread(sleeper.hThread);
    WaitForInputIdle(sleeper.hProcess, 2000);
    // A refused end leaves it running now; an ended one is waited for.
    auto sleeperGone = [&] { return WaitForSingleObject(sleeper.hProcess, 0) == WAIT_OBJECT_0; };
    auto sleeperEnds = [&] { return WaitForSingleObject(sleeper.hProcess, 5000) == WAIT_OBJECT_0; };
    auto refuseEnd = [] { SetTerminateSeam(RefuseTerminate); };
    const struct Case {
        const char* name;
        int page, column;
        const char* row;
        int command, menuItem, question, answer, verb;
        const char* said;                 // start of the message after it, nullptr for none
        std::function<bool()> changed;    // the machine as the action leaves it
        bool expectChanged;
        std::function<void()> prepare;    // the state the action starts from
    } kCases[] = {
        {"unhide refused a start", PAGE_HIDDEN, 0, "kxpghidden.dat", IDC_PAGE_SPECIFIC,
         IDM_PAGE_DELETE_FILE, 0, ELEVATED_NOT_STARTED, ELEVATED_UNHIDE, kRefused, [&] { return !hiddenAttribute(); }, false, {}},
        {"unhide declined", PAGE_HIDDEN, 0, "kxpghidden.dat", IDC_PAGE_SPECIFIC,
         IDM_PAGE_DELETE_FILE, 0, -1,
         ELEVATED_UNHIDE, nullptr, [&] { return !hiddenAttribute(); }, false, {}},
        {"unhide", PAGE_HIDDEN, 0, "kxpghidden.dat", IDC_PAGE_SPECIFIC,
         IDM_PAGE_DELETE_FILE, 0, 0, ELEVATED_UNHIDE,
         nullptr, [&] { return !hiddenAttribute(); }, true, {}},
        {"add-on removal", PAGE_IEHELPERS, 1, "kxpage.exe", IDC_PAGE_REMOVE,
         IDC_PAGE_REMOVE, IDYES, 0, ELEVATED_ADDON_REMOVE, nullptr, [&] { return !KeyExists(HKEY_LOCAL_MACHINE, bho); }, true, {}},
        {"task removal", PAGE_SCHEDULED, 1, "kxpage.exe", IDC_PAGE_REMOVE,
         IDC_PAGE_REMOVE, IDYES, 0, ELEVATED_TASK_REMOVE, nullptr,
         [&] { return GetFileAttributesA(TaskJobPath(kTask).c_str()) == INVALID_FILE_ATTRIBUTES; }, true, {}},
        {"delayed restore refused a start", PAGE_DELAY, 1, "kxpage.exe", IDM_PAGE_RESTORE_DELAYED,
         IDM_PAGE_RESTORE_DELAYED, 0, ELEVATED_NOT_STARTED, ELEVATED_DELAY_RESTORE, kRefused,
         machineDelayGone, false, delayForAllUsers},
        {"delayed drop", PAGE_DELAY, 1, "kxpage.exe", IDC_PAGE_REMOVE, IDC_DELAY_OPTIONS_BUTTON,
         IDNO, 0, ELEVATED_DELAY_DROP, nullptr, [&] { return machineDelayGone() && !MachineRunNames(program_); },
         true, delayForAllUsers},
        {"delayed restore", PAGE_DELAY, 1, "kxpage.exe", IDM_PAGE_RESTORE_DELAYED, IDC_PAGE_REMOVE,
         0, 0, ELEVATED_DELAY_RESTORE, nullptr, [&] { return machineDelayGone() && MachineRunNames(program_); },
         true, delayForAllUsers},
        // No shield: whose process it is shows only when ending it is refused.
        {"end refused, no copy", PAGE_TASKS, 0, "kxdriver.exe", IDC_PAGE_SPECIFIC, 0, 0,
         ELEVATED_NOT_STARTED, ELEVATED_TERMINATE, kRefused, sleeperGone, false, refuseEnd},
        {"end refused, declined", PAGE_TASKS, 0, "kxdriver.exe", IDC_PAGE_SPECIFIC, 0, 0, -1,
         ELEVATED_TERMINATE, nullptr, sleeperGone, false, refuseEnd},
        {"end refused, the copy ends it", PAGE_TASKS, 0, "kxdriver.exe", IDC_PAGE_SPECIFIC, 0, 0, 0,
         ELEVATED_TERMINATE, nullptr, sleeperEnds, true, refuseEnd},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        SetElevatedOverride(0);
        g_elevated.clear();
        g_elevatedAnswer = c.answer;
        if (c.prepare)
            c.prepare();
        Open(c.page);
        int row = RowWith(List(), c.column, c.row);
        ASSERT_GE(row, 0);
        Select(List(), row);
        const ListPageDef* def = FindListPage(c.page);
        int index = ListRowEntry(List(), row);
        for (int elevated : {1, 0}) {
            SetElevatedOverride(elevated);
            HMENU menu = ListPageMenu(*def, index);
            if (c.menuItem) {
                EXPECT_EQ(!elevated, MenuItemShielded(menu, c.menuItem)) << "elevated " << elevated;
            }
            // The rename list of the next restart is the machine's on every page that offers it.
            if (GetMenuState(menu, IDM_PAGE_DELETE_ON_REBOOT, MF_BYCOMMAND) != (UINT)-1) {
                EXPECT_EQ(!elevated, MenuItemShielded(menu, IDM_PAGE_DELETE_ON_REBOOT));
            }
            EXPECT_FALSE(MenuItemShielded(menu, IDC_PAGE_INFO));
            DestroyMenu(menu);
        }
        {
            MessageWatch first(sheet_, c.question ? c.question : IDOK);
            Command(c.command);
            if (c.question || c.said) {
                first.Wait();
            } else {
                EXPECT_FALSE(first.Stop()) << first.text;
            }
            if (c.said) {
                EXPECT_NE(std::string::npos, first.text.find(c.said)) << first.text;
            }
        }
        ASSERT_EQ(1u, g_elevated.size());
        EXPECT_EQ(0u, g_elevated[0].find("-Elevated " + std::to_string(c.verb) + " ")) << g_elevated[0];
        EXPECT_EQ(c.expectChanged, c.changed());
        SetTerminateSeam(nullptr);
        Close();
    }
    TerminateProcess(sleeper.hProcess, 0);

    // The copy ends only the process the user was shown: an id that runs another program
    // now is left running, and that is said.
    PROCESS_INFORMATION other = {};
    ASSERT_TRUE(StartTestProgram("\"" + TestProgramFolder() + "\\kxdriver.exe\" sleep 30000", &other));
    Handle otherProcess(other.hProcess), otherThread(other.hThread);
    EntryRecord shown = {};
    shown.type = (int)other.dwProcessId;
    lstrcpynA(shown.command, program_.c_str(), sizeof(shown.command));
    {
        MessageWatch said(nullptr, IDOK);
        int exitCode = 0;
        EXPECT_EQ(1, RunElevatedSwitch(ElevatedParameters(ELEVATED_TERMINATE, shown).c_str(), &exitCode));
        said.Wait();
        EXPECT_EQ(1, exitCode);
        EXPECT_NE(std::string::npos, said.text.find("no longer runs")) << said.text;
    }
    EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(other.hProcess, 0));
    TerminateProcess(other.hProcess, 0);

    // The options of a program in the machine's store: chosen here, stored by the copy.
    delayForAllUsers();
    g_elevated.clear();
    g_elevatedAnswer = 0;
    Open(PAGE_DELAY);
    Select(List(), RowWith(List(), 1, "kxpage.exe"));
    DialogDriver options("Delay Start Options", [](HWND dialog) {
        SendDlgItemMessageA(dialog, IDC_DELAY_MINUTES, CB_SETCURSEL, 1, 0);
        SendDlgItemMessageA(dialog, IDC_DELAY_SECONDS, CB_SETCURSEL, 3, 0);
        SendDlgItemMessageA(dialog, IDC_DELAY_OPENAS, CB_SETCURSEL, 2, 0);
        SetDlgItemTextA(dialog, IDC_DELAY_PARAMETERS, "/q \"x y\"");
        SetDlgItemTextA(dialog, IDC_DELAY_TITLE, "Kx tool");
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    Command(IDC_DELAY_OPTIONS_BUTTON);
    options.Join();
    ASSERT_TRUE(options.Found());
    ASSERT_EQ(1u, g_elevated.size());
    EXPECT_EQ(0u, g_elevated[0].find("-Elevated 17 362 ")) << g_elevated[0];
    EXPECT_EQ("90", ReadValueText(HKEY_LOCAL_MACHINE, KX_DELAY_TIME_KEY, program_));
    EXPECT_EQ("2", ReadValueText(HKEY_LOCAL_MACHINE, KX_DELAY_OPENAS_KEY, program_));
    EXPECT_EQ("/q \"x y\"", ReadValueText(HKEY_LOCAL_MACHINE, KX_DELAY_PARAMETERS_KEY, program_));
    EXPECT_EQ("Kx tool", ReadValueText(HKEY_LOCAL_MACHINE, KX_DELAY_TITLE_KEY, program_));
    Close();
    DeleteDelayValues(HKEY_LOCAL_MACHINE, program_.c_str());

    // With the rights the page acts itself.
    SetElevatedOverride(1);
    g_elevated.clear();
    SetFileAttributesA(hidden_.c_str(), FILE_ATTRIBUTE_HIDDEN);
    Open(PAGE_HIDDEN);
    Select(List(), RowWith(List(), 0, "kxpghidden.dat"));
    Command(IDC_PAGE_SPECIFIC);
    EXPECT_FALSE(hiddenAttribute());
    EXPECT_TRUE(g_elevated.empty());
    SetElevatedOverride(-1);
    SetElevatedRunner(nullptr);
}

TEST_F(PagesTest, AddFileTypeRefusesABadExtensionAndWatchesAGoodOne)
{
    Open(PAGE_FILETYPES);
    std::string said;
    DialogDriver driver(Res(752), [&](HWND dialog) {
        SetDlgItemTextA(dialog, IDC_ADDFT_EDIT, "a;b");
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        said = AnswerMessageBox(dialog);
        SetDlgItemTextA(dialog, IDC_ADDFT_EDIT, ".kxpq");
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    Command(IDC_PAGE_ADD);
    driver.Join();
    ASSERT_TRUE(driver.Found());
    EXPECT_NE(std::string::npos, said.find("not a valid")) << said;
    EXPECT_NE(std::string::npos, ReadValueText(HKEY_CURRENT_USER, KX_CLASS_KEY, "").find("kxpq"));
    EXPECT_NE("", ReadValueText(HKEY_CURRENT_USER, KX_KEY, "xPosAddFileType"));
}

class InfoDialogTest : public PagesTest {
protected:
    void SetUp() override
    {
        PagesTest::SetUp();
        SetProgramInfoHook(nullptr);
        plain_ = TempPath("kxplain.exe");
        CopyFileA((TestProgramFolder() + "\\kxfx_plain.exe").c_str(), plain_.c_str(), FALSE);
        ClearEntries();
        AddEntry("Kx Info App", program_.c_str(), "", "", CURRENT_RUN, 0);
        AddEntry("Kx Info Plain", plain_.c_str(), "", "", CURRENT_RUN, 0);
        g_infoExpanded = 0;
        // New notes go to the per-user data folder, which outlives the test's own folder.
        char note[MAX_PATH];
        NoteFilePath(program_.c_str(), note, sizeof(note));
        note_ = note;
        DeleteFileA(note);
    }
    void TearDown() override
    {
        DeleteFileA(note_.c_str());
        PagesTest::TearDown();
    }
    std::string plain_, note_;
};

// Fields of a program with version information and of one without; the note made, edited,
// saved and read again; next wraps around; the height flips at every opening.
TEST_F(InfoDialogTest, FieldsNoteRoundTripAndStepping)
{
    std::map<std::string, std::string> seen;
    std::string noteAfterCreate;
    bool wrapped = false, expandedFirst = false;
    DialogDriver driver("Kx Info App", [&](HWND dialog) {
        for (int id : {IDC_INFO_TOP, IDC_INFO_PRODUCT, IDC_INFO_COMPANY, IDC_INFO_VERSION,
                       IDC_INFO_STATUS, IDC_INFO_LOCATION, IDC_INFO_SIZE, IDC_INFO_DETECTED,
                       IDC_INFO_SAVE_NOTE, IDC_INFO_NOTE, IDC_INFO_PATH, IDC_INFO_PUBLISHER})
            seen[std::to_string(id)] = Text(dialog, id);
        expandedFirst = IsWindowVisible(GetDlgItem(dialog, IDC_INFO_NOTE)) != 0;
        SendMessageA(dialog, WM_COMMAND, IDC_INFO_SAVE_NOTE, 0);
        noteAfterCreate = Text(dialog, IDC_INFO_NOTE);
        SetDlgItemTextA(dialog, IDC_INFO_NOTE, "my own words about it");
        SendMessageA(dialog, WM_COMMAND, IDC_INFO_SAVE_NOTE, 0);
        SendMessageA(dialog, WM_COMMAND, IDC_INFO_NEXT, 0);
        seen["plain"] = Text(dialog, IDC_INFO_PRODUCT) + "|" + Text(dialog, IDC_INFO_STATUS) + "|" +
                        Text(dialog, IDC_INFO_TOP) + "|" + Text(dialog, IDC_INFO_PUBLISHER);
        SendMessageA(dialog, WM_COMMAND, IDC_INFO_NEXT, 0);
        wrapped = WindowText(dialog) == "Kx Info App";
        seen["reloaded"] = Text(dialog, IDC_INFO_NOTE);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    ShowProgramInfo(nullptr, 0);
    driver.Join();
    ASSERT_TRUE(driver.Found());
    EXPECT_TRUE(expandedFirst);
    EXPECT_EQ(1, g_infoExpanded);
    EXPECT_EQ("Fixture App Tool", seen[std::to_string(IDC_INFO_TOP)]);
    EXPECT_EQ("Fixture App", seen[std::to_string(IDC_INFO_PRODUCT)]);
    EXPECT_EQ("Orvane Fixtures", seen[std::to_string(IDC_INFO_COMPANY)]);
    EXPECT_EQ("1.2.3.4", seen[std::to_string(IDC_INFO_VERSION)]);
    EXPECT_EQ(Res(831), seen[std::to_string(IDC_INFO_STATUS)]);
    EXPECT_EQ(0u, seen[std::to_string(IDC_INFO_LOCATION)].find(Res(646)));
    EXPECT_NE("", seen[std::to_string(IDC_INFO_SIZE)]);
    EXPECT_EQ(Res(969), seen[std::to_string(IDC_INFO_SAVE_NOTE)]);
    EXPECT_EQ(Res(647), seen[std::to_string(IDC_INFO_NOTE)]);
    EXPECT_EQ("Kx Info App\r\n" + program_ + "\r\n", noteAfterCreate);
    EXPECT_EQ("|" + Res(831) + "|Kx Info Plain|(Not verified)", seen["plain"]);
    EXPECT_EQ("(Not verified) Orvane Fixtures", seen[std::to_string(IDC_INFO_PUBLISHER)]);
    EXPECT_TRUE(wrapped);
    EXPECT_EQ("my own words about it", seen["reloaded"]);
    EXPECT_EQ("my own words about it", ReadTextFile(note_));
    EXPECT_NE("", ReadValueText(HKEY_CURRENT_USER, KX_KEY, "xInfo"));

    // The second opening shows the short form.
    DialogDriver again("Kx Info App", [&](HWND dialog) {
        expandedFirst = IsWindowVisible(GetDlgItem(dialog, IDC_INFO_NOTE)) != 0;
        seen["button"] = Text(dialog, IDC_INFO_EXPAND);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    ShowProgramInfo(nullptr, 0);
    again.Join();
    EXPECT_FALSE(expandedFirst);
    EXPECT_EQ(Res(918), seen["button"]);
}
