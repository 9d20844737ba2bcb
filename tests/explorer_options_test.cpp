// The Options page, the patrol-time dialog and the history dialog, driven in-process: the sheet
// runs without its modal loop, and a second thread answers the modal dialogs the page opens.
#include "kxtest.h"
#include "waits.h"
#include "../explorer/elevate.h"
#include "../explorer/explorerseams.h"
#include "../explorer/historydialog.h"
#include "../explorer/page_options.h"
#include "../explorer/pages.h"
#include "../explorer/patroltime.h"
#include "../explorer/policyui.h"
#include "../explorer/reportsave.h"
#include "../explorer/sheet.h"
#include "../explorer/shellrun.h"
#include "dialogs_options.h"
#include "dialogs_pages.h"
#include "elevation.h"
#include "entrylist.h"
#include "history.h"
#include "keys.h"
#include "options.h"
#include "platform.h"
#include "policy.h"
#include "program.h"
#include "reportfile.h"
#include "resstring.h"
#include "runactions.h"
#include "vault.h"
#include <atomic>
#include <commctrl.h>
#include <functional>
#include <thread>

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string Res(UINT id)
{
    char text[1024] = "";
    LoadResString(id, text, sizeof(text));
    return text;
}

std::string Option(const char* name)
{
    return ReadValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, name);
}

// Runs action on the first visible dialog of the test thread (other than skip) once one shows;
// the test thread meanwhile sits in that dialog's modal loop.
class ModalDriver {
public:
    ModalDriver(HWND skip, std::function<void(HWND)> action)
        : thread_(GetCurrentThreadId()), skip_(skip), action_(std::move(action)),
          worker_([this] { Run(); })
    {
    }
    ~ModalDriver() { Join(); }
    void Join()
    {
        if (worker_.joinable())
            worker_.join();
    }
    bool Found() const { return found_; }

private:
    void Run()
    {
        if (HWND dialog = WaitForThreadDialog(thread_, skip_, nullptr, 10000)) {
            found_ = true;
            action_(dialog);
        }
    }
    DWORD thread_;
    HWND skip_;
    std::function<void(HWND)> action_;
    std::atomic<bool> found_{false};
    std::thread worker_;
};

std::string Text(HWND window)
{
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

// A window of the monitor's class that records the commands it receives.
std::vector<std::pair<WPARAM, LPARAM>> g_monitorCommands;
LRESULT CALLBACK FakeMonitorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND)
        g_monitorCommands.push_back({wParam, lParam});
    return DefWindowProcA(window, message, wParam, lParam);
}

class OptionsTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        g_programKind = PROGRAM_EXPLORER;
        InitCommonControls();
        InstallEntryActions();
        SaveValue(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix");
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix");
        WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Sound", "0");
        ReadAllOptions();
        g_monitorCommands.clear();
    }
    void TearDown() override
    {
        if (sheet_)
            DestroyWindow(sheet_);
        if (monitor_)
            DestroyWindow(monitor_);
        UnregisterClassA("Kestrix", GetModuleHandleA(nullptr));
        SetShellRunHook(nullptr);
        SetPlatformOverride(nullptr);
        ClearEntries();
        KxTest::TearDown();
    }
    HWND OpenOptions()
    {
        sheet_ = CreateModelessSheet(nullptr, PAGE_OPTIONS);
        EXPECT_NE(nullptr, sheet_);
        return (HWND)SendMessageA(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0);
    }
    void FakeMonitor()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = FakeMonitorProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "Kestrix";
        RegisterClassA(&wc);
        monitor_ = CreateWindowA("Kestrix", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, monitor_);
    }
    // A history line made by the real action, as the user's list shows it.
    std::string AddRun(const std::string& title)
    {
        SaveValue(HKEY_CURRENT_USER, kRunKey, title);
        std::string path = TempPath(title + ".exe");
        WriteTextFile(path, "MZ");
        WriteValueText(HKEY_CURRENT_USER, kRunKey, title, path);
        return path;
    }

    HWND sheet_ = nullptr;
    HWND monitor_ = nullptr;
};

int Click(HWND page, int id, bool check)
{
    CheckDlgButton(page, id, check ? BST_CHECKED : BST_UNCHECKED);
    return (int)SendMessageA(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                             (LPARAM)GetDlgItem(page, id));
}

TEST_F(OptionsTest, EachCheckBoxWritesItsOptionAndTheMonitorHearsOfTheTrayIcon)
{
    FakeMonitor();
    HWND page = OpenOptions();
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(Res(251), Text(GetDlgItem(page, IDC_OPTIONS_BANNER)));
    EXPECT_EQ(Res(353), Text(GetDlgItem(page, IDC_OPTIONS_AUTORUN)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, IDC_OPTIONS_WININIT_IMAGE))) << "NT: no restart file";

    static const struct {
        int id;
        const char* option;
        const char* on;
        const char* off;
        int OptionSet::*field;
    } kBoxes[] = {
        {IDC_OPTIONS_SOUND, "Sound", "1", "0", &OptionSet::Sound},
        {IDC_OPTIONS_HISTORY, "History", "1", "0", &OptionSet::History},
        {IDC_OPTIONS_LOCK_TYPES, "LockFileTypes", "1", "0", &OptionSet::LockFileTypes},
        {IDC_OPTIONS_CONFIRM_EXIT, "ConfirmExit", "1", "0", &OptionSet::ConfirmExit},
        {IDC_OPTIONS_VANTA, "VantaFormat", "1", "0", &OptionSet::VantaFormat},
        {IDC_OPTIONS_HIDE_ICON, "HideRufo", "1", "0", &OptionSet::HideRufo},
        {IDC_OPTIONS_TRAY_ICON, "TrayIcon", "159", "101", nullptr},
    };
    for (const auto& box : kBoxes) {
        for (bool on : {true, false}) {
            WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Update", "0");
            std::string message;
            if (box.id == IDC_OPTIONS_HIDE_ICON && on) {
                // Hiding the icon tells the user how to come back first.
                ModalDriver answer(sheet_, [&](HWND shown) {
                    Sleep(50);
                    EnumChildWindows(
                        shown,
                        [](HWND child, LPARAM arg) -> BOOL {
                            *(std::string*)arg += Text(child) + "|";
                            return TRUE;
                        },
                        (LPARAM)&message);
                    PostMessageA(shown, WM_COMMAND, IDOK, 0);
                });
                Click(page, box.id, on);
                answer.Join();
                EXPECT_NE(std::string::npos, message.find("Taskbar icon will be hidden")) << message;
            } else {
                Click(page, box.id, on);
            }
            EXPECT_EQ(on ? box.on : box.off, Option(box.option)) << box.option << on;
            EXPECT_EQ("1", Option("Update")) << box.option;
            if (box.field) {
                EXPECT_EQ(on ? 1 : 0, g_options.*box.field) << box.option;
            }
        }
    }
    // The monitor was told twice: hide (1), then show (0).
    ASSERT_EQ(2u, g_monitorCommands.size());
    EXPECT_EQ(6053u, g_monitorCommands[0].first);
    EXPECT_EQ(1, (int)g_monitorCommands[0].second);
    EXPECT_EQ(0, (int)g_monitorCommands[1].second);

    // Run at start: the monitor's own Run value, marked known; off removes it again.
    Click(page, IDC_OPTIONS_AUTORUN, true);
    std::string command = ReadValueText(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix");
    EXPECT_NE(std::string::npos, command.find(TempPath("kestrix.exe"))) << command;
    EXPECT_EQ(1, g_runAtStart);
    Click(page, IDC_OPTIONS_AUTORUN, false);
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix"));
    EXPECT_EQ((UINT)BST_UNCHECKED, IsDlgButtonChecked(page, IDC_OPTIONS_AUTORUN));

    // The report and export buttons write their reports where Save As offers them, the
    // user's Documents folder (no viewer is started); the export tells where its file went.
    SetReportShellHook([](const char*, const char*) { return 1; });
    SetSaveDialogHook([](OPENFILENAMEA* dialog) -> BOOL {
        std::string path = std::string(dialog->lpstrInitialDir) + "\\" + dialog->lpstrFile;
        lstrcpynA(dialog->lpstrFile, path.c_str(), dialog->nMaxFile);
        return TRUE;
    });
    for (int id : {IDC_OPTIONS_LOG, IDC_OPTIONS_HIJACK_LOG, IDC_OPTIONS_SPREADSHEET})
        SendMessageA(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    {
        ModalDriver answer(sheet_, [](HWND box) { PostMessageA(box, WM_COMMAND, IDOK, 0); });
        SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_OPTIONS_EXPORT, BN_CLICKED), 0);
        EXPECT_TRUE(answer.Found());
    }
    SetReportShellHook(nullptr);
    SetSaveDialogHook(nullptr);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(TempPath("HijackKestrix.log").c_str()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(TempPath("KestrixLog.csv").c_str()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(TempPath("KestrixLog.html").c_str()));
}

TEST_F(OptionsTest, WithoutAMonitorTheIconMessageIsSkipped)
{
    EXPECT_EQ(0, TellMonitorTrayIcon(1));
    FakeMonitor();
    EXPECT_EQ(1, TellMonitorTrayIcon(0));
    ASSERT_EQ(1u, g_monitorCommands.size());
    EXPECT_EQ(6053u, g_monitorCommands[0].first);
}

// One run of the patrol-time dialog: the edit text typed (nullptr: none), whether the
// real-time box is clicked, and OK or Cancel.
struct PatrolCase {
    UINT caption;
    const char* realtimeBefore;   // nullptr: the area has no real-time switch
    const char* typed;
    bool clickRealtime;
    int button;
    int result;
    const char* realtimeAfter;
    int slider;                   // trackbar position before the button, -1: not checked
};

TEST_F(OptionsTest, PatrolTimeDialogResults)
{
    static const PatrolCase kCases[] = {
        {784, "0", "45", false, IDOK, 45, "0", 30},       // longer than the trackbar
        {784, "0", "0", false, IDOK, 0, "0", 0},          // patrol off
        {784, "0", "7", false, IDOK, 7, "0", 7},
        {786, nullptr, "ab", false, IDOK, 0, nullptr, -1}, // not a number: off
        {786, nullptr, "-5", false, IDOK, 0, nullptr, -1}, // a sign is no number either
        {784, "0", nullptr, true, IDOK, 0, "1", 0},        // real-time: interval patrol off
        {784, "0", "9", true, IDCANCEL, -1, "0", -1},      // cancel puts the switch back
        {792, "1", nullptr, true, IDOK, 3, "0", 3},        // real-time off shows the minutes
    };
    for (const PatrolCase& c : kCases) {
        const PatrolArea* area = FindPatrolArea(c.caption);
        ASSERT_NE(nullptr, area);
        if (c.realtimeBefore)
            WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, area->realtimeOption, c.realtimeBefore);
        std::string caption;
        bool realtimeShown = false;
        int slider = -1;
        ModalDriver driver(nullptr, [&](HWND dialog) {
            caption = Text(dialog);
            realtimeShown = IsWindowVisible(GetDlgItem(dialog, IDC_PATROL_REALTIME)) != 0;
            if (c.typed)
                SendMessageA(GetDlgItem(dialog, IDC_PATROL_MINUTES), WM_SETTEXT, 0, (LPARAM)c.typed);
            if (c.clickRealtime) {
                HWND box = GetDlgItem(dialog, IDC_PATROL_REALTIME);
                UINT state = (UINT)SendMessageA(box, BM_GETCHECK, 0, 0);
                SendMessageA(box, BM_SETCHECK, state == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
                SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_PATROL_REALTIME, BN_CLICKED), (LPARAM)box);
            }
            slider = (int)SendMessageA(GetDlgItem(dialog, IDC_PATROL_SLIDER), TBM_GETPOS, 0, 0);
            PostMessageA(dialog, WM_COMMAND, c.button, 0);
        });
        int result = PatrolTimeDialog(nullptr, c.caption, area->patrolDefault);
        driver.Join();
        ASSERT_TRUE(driver.Found()) << c.caption;
        EXPECT_EQ(Res(c.caption), caption);
        EXPECT_EQ(c.result, result) << c.caption << " " << (c.typed ? c.typed : "");
        EXPECT_EQ(c.realtimeBefore != nullptr, realtimeShown) << c.caption;
        if (c.realtimeAfter) {
            EXPECT_EQ(c.realtimeAfter, Option(area->realtimeOption)) << c.caption;
        }
        if (c.slider >= 0) {
            EXPECT_EQ(c.slider, slider) << c.caption << " " << (c.typed ? c.typed : "");
        }
    }
}

TEST_F(OptionsTest, PageMonitorButtonStoresThePatrolTimeItKeepsOnExit)
{
    HWND page = OpenOptions();
    ASSERT_NE(nullptr, page);
    ModalDriver driver(sheet_, [](HWND dialog) {
        SendMessageA(GetDlgItem(dialog, IDC_PATROL_MINUTES), WM_SETTEXT, 0, (LPARAM) "12");
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_OPTIONS_PAGES_IMAGE, BN_CLICKED), 0);
    driver.Join();
    EXPECT_EQ("12", Option("StartPage"));
    // The write-back when the program ends keeps the new time.
    WriteAllOptions();
    EXPECT_EQ("12", Option("StartPage"));
}

// Opens the history dialog and runs action in it.
void InHistory(std::function<void(HWND dialog, HWND list)> action)
{
    ModalDriver driver(nullptr, [&](HWND dialog) {
        action(dialog, GetDlgItem(dialog, IDC_HISTORY_LIST));
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(1, ShowHistoryDialog(nullptr));
    driver.Join();
    EXPECT_TRUE(driver.Found());
}

int Rows(HWND list) { return (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0); }

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

void SelectRow(HWND list, int row)
{
    LVITEMA item = {};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, row, (LPARAM)&item);
}

TEST_F(OptionsTest, HistoryListShowsTheEventsInFileOrderWithProgramIcons)
{
    HWND list = CreateWindowExA(0, "SysListView32", "",
                                WS_POPUP | LVS_REPORT | LVS_SHAREIMAGELISTS, 0, 0, 300, 200,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(list != nullptr);
    for (int c = 0; c < 4; c++) {
        LVCOLUMNA column = {};
        column.mask = LVCF_WIDTH;
        column.cx = 60;
        SendMessageA(list, LVM_INSERTCOLUMNA, c, (LPARAM)&column);
    }
    HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 4);
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)images);
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    WriteHistoryLine("First", self, "", CURRENT_RUN, ACT_START_REMOVE);
    WriteHistoryLine("Second", "C:\\b.exe", "", 252, ACT_REMOVE_DELAYLOAD);
    ASSERT_EQ(2, FillHistoryList(list));
    ASSERT_EQ(2, (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    char text[128];
    LVITEMA item = {};
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    item.iSubItem = 0;
    SendMessageA(list, LVM_GETITEMTEXTA, 1, (LPARAM)&item);
    EXPECT_STREQ("Second", text);
    item.iSubItem = 1;
    SendMessageA(list, LVM_GETITEMTEXTA, 1, (LPARAM)&item);
    EXPECT_STREQ("REMOVE_DELAYLOAD", text);
    item.iSubItem = 2;
    SendMessageA(list, LVM_GETITEMTEXTA, 1, (LPARAM)&item);
    EXPECT_STREQ("REG_Delayload", text);
    // The first row's program has an icon, the second row's file does not exist.
    LVITEMA icon = {};
    icon.mask = LVIF_IMAGE;
    icon.iItem = 0;
    SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&icon);
    EXPECT_EQ(0, icon.iImage);
    icon.iItem = 1;
    SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&icon);
    EXPECT_EQ(I_IMAGENONE, icon.iImage);
    EXPECT_EQ(1, ImageList_GetImageCount(images));
    // Reading again does not pile up icons.
    FillHistoryList(list);
    EXPECT_EQ(1, ImageList_GetImageCount(images));
    DestroyWindow(list);
    ImageList_Destroy(images);
}

TEST_F(OptionsTest, HistoryRestoresEachReversibleKindThroughTheRealActions)
{
    struct Kind {
        const char* title;
        const char* action;
        bool reversible;
        std::function<std::string()> make;          // does the action; the path involved
        std::function<bool(const std::string&)> back;
    };
    const Kind kinds[] = {
        {"KxHistRemoved", "*START_Remove", true,
         [&] {
             std::string path = AddRun("KxHistRemoved");
             EXPECT_TRUE(DeleteRunProgram("KxHistRemoved", path.c_str(), "", CURRENT_RUN));
             return path;
         },
         [](const std::string& path) {
             return ReadValueText(HKEY_CURRENT_USER, kRunKey, "KxHistRemoved") == path;
         }},
        {"KxHistHidden", "*HIDDEN_DeleteFile", true,
         [&] {
             std::string path = TempPath("kxhisthidden.dat");
             WriteTextFile(path, "hidden data");
             SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
             EXPECT_TRUE(CondemnHiddenFile("KxHistHidden", path.c_str()));
             return path;
         },
         [](const std::string& path) { return ReadTextFile(path) == "hidden data"; }},
        // Not offered by Restore; a double click toggles it back all the same.
        {"KxHistOff", "START_Disable", false,
         [&] {
             std::string path = AddRun("KxHistOff");
             EXPECT_TRUE(DisableRunProgram("KxHistOff", path.c_str(), "", CURRENT_RUN));
             // Disabling writes no history line itself: the line is written as the log holds it.
             WriteHistoryLine("KxHistOff", path.c_str(), "", CURRENT_RUN, ACT_START_DISABLE);
             return path;
         },
         [](const std::string& path) {
             return ReadValueText(HKEY_CURRENT_USER, kRunKey, "KxHistOff") == path;
         }},
    };
    for (const Kind& kind : kinds) {
        std::string path = kind.make();
        ASSERT_FALSE(kind.back(path)) << kind.title;
        bool restoreEnabled = false;
        int rowsAfter = -1;
        InHistory([&](HWND dialog, HWND list) {
            int row = -1;
            for (int r = 0; r < Rows(list); r++)
                if (Cell(list, r, 0) == kind.title && Cell(list, r, 1) == kind.action)
                    row = r;
            if (row < 0)
                return;
            SelectRow(list, row);
            restoreEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_HISTORY_RESTORE)) != 0;
            if (kind.reversible) {
                SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_HISTORY_RESTORE, BN_CLICKED), 0);
            } else {
                NMITEMACTIVATE click = {};
                click.hdr.hwndFrom = list;
                click.hdr.idFrom = IDC_HISTORY_LIST;
                click.hdr.code = NM_DBLCLK;
                click.iItem = row;
                SendMessageA(dialog, WM_NOTIFY, IDC_HISTORY_LIST, (LPARAM)&click);
            }
            rowsAfter = Rows(list);
        });
        EXPECT_EQ(kind.reversible, restoreEnabled) << kind.title;
        EXPECT_TRUE(kind.back(path)) << kind.title;
        EXPECT_GT(rowsAfter, 0) << kind.title << ": the list is read again, the event stays";
    }
}

namespace {
std::vector<std::string> g_elevatedLines;
int RunElevatedHere(const char*, const char* parameters)
{
    g_elevatedLines.push_back(parameters);
    int exitCode = -5;
    EXPECT_EQ(1, RunElevatedSwitch(parameters, &exitCode));
    return exitCode;
}
}   // namespace

// Without administrator rights a machine entry's removal is undone by the elevated copy.
TEST_F(OptionsTest, HistoryPutsAMachineEntryBackThroughTheElevatedCopy)
{
    const std::string path = TempPath("kxhistmachine.exe");
    SaveValue(HKEY_LOCAL_MACHINE, kRunKey, "KxHistMachine");
    WriteValueText(HKEY_LOCAL_MACHINE, kRunKey, "KxHistMachine", path);
    ASSERT_TRUE(DeleteRunProgram("KxHistMachine", path.c_str(), "", MACHINE_RUN));
    SetElevatedOverride(0);
    SetElevatedRunner(RunElevatedHere);
    g_elevatedLines.clear();
    InHistory([&](HWND dialog, HWND list) {
        for (int r = 0; r < Rows(list); r++)
            if (Cell(list, r, 0) == "KxHistMachine")
                SelectRow(list, r);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_HISTORY_RESTORE, BN_CLICKED), 0);
    });
    SetElevatedOverride(-1);
    SetElevatedRunner(nullptr);
    ASSERT_EQ(1u, g_elevatedLines.size());
    EXPECT_EQ(0u, g_elevatedLines[0].find("-Elevated 12 1 ")) << g_elevatedLines[0];
    EXPECT_EQ(path, ReadValueText(HKEY_LOCAL_MACHINE, kRunKey, "KxHistMachine"));
}

TEST_F(OptionsTest, BrokenHistoryListsWhatItCanAndClearEmptiesIt)
{
    std::string junk("09/01/2026  9:05 AM\t*START_Remove\tHKCU_RUN\tGood\tC:\\good.exe\t\r\n");
    junk += "no tabs at all\r\n";
    junk += std::string("\x01\x02\x00\xff\xfe binary\t\x00\t", 14) + "\r\n";
    junk += "10/01/2026  1:00 PM\tSTART_Disable\tHKCU_RUN\t" + std::string(300, 'x') + "\t\t\n";
    junk += "\n";
    junk += "11/01/2026  2:00 PM\tTASK_Kill\tINFO_TASK\tLast\tC:\\last.exe\t";
    ASSERT_TRUE(WriteTextFile(TempPath("history.txt"), junk));

    int rows = -1;
    std::string first, last, lastAction;
    bool restoreForTask = true;
    InHistory([&](HWND dialog, HWND list) {
        rows = Rows(list);
        first = Cell(list, 0, 0);
        last = Cell(list, rows - 1, 0);
        lastAction = Cell(list, rows - 1, 1);
        SelectRow(list, rows - 1);
        restoreForTask = IsWindowEnabled(GetDlgItem(dialog, IDC_HISTORY_RESTORE)) != 0;
        // Sorting by time puts the newest first on the second click.
        SortHistoryList(list, 3);
        SortHistoryList(list, 3);
        last = Cell(list, 0, 0) + "/" + last;
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_HISTORY_CLEAR, BN_CLICKED), 0);
        rows = rows * 100 + Rows(list);
    });
    EXPECT_EQ(600, rows) << "six lines listed, then none after Clear File";
    EXPECT_EQ("Good", first);
    EXPECT_EQ("Last/Last", last);
    EXPECT_EQ("TASK_Kill", lastAction);
    EXPECT_FALSE(restoreForTask);
    EXPECT_EQ("4", Option("SortHistory"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(TempPath("history.txt").c_str()));

    // Clear on a missing file, and a reopened dialog: empty, no message.
    InHistory([&](HWND dialog, HWND list) {
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_HISTORY_CLEAR, BN_CLICKED), 0);
        rows = Rows(list);
    });
    EXPECT_EQ(0, rows);
}

}  // namespace

namespace {

// The tooltip text over a control of a dialog; empty when the control has none.
std::string ManagedTip(HWND dialog, int id)
{
    HWND tips = ManagedTooltip(dialog);
    if (!tips)
        return "";
    char text[256] = "";
    TOOLINFOA tool = {};
    tool.cbSize = sizeof(tool);
    tool.hwnd = dialog;
    tool.uId = (UINT_PTR)id;
    tool.lpszText = text;
    SendMessageA(tips, TTM_GETTEXTA, sizeof(text), (LPARAM)&tool);
    return text;
}

TEST_F(OptionsTest, PolicySetOptionIsShownAsSetGreyedAndManagedAndWinsOverTheUser)
{
    // The user wants sounds and no history; the machine's policy says the opposite of both,
    // and sets the restart-file and HOSTS patrol times.
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Sound", "1");
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "History", "0");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_POLICY_KEY, "Sound", "0");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_POLICY_KEY, "History", "1");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_POLICY_KEY, "WinInit", "9");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_POLICY_KEY, "HostFile", "4");
    HWND page = OpenOptions();
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(0, g_options.Sound);
    EXPECT_EQ(1, g_options.History);
    EXPECT_EQ((UINT)BST_UNCHECKED, IsDlgButtonChecked(page, IDC_OPTIONS_SOUND));
    EXPECT_EQ((UINT)BST_CHECKED, IsDlgButtonChecked(page, IDC_OPTIONS_HISTORY));
    for (int id : {IDC_OPTIONS_SOUND, IDC_OPTIONS_HISTORY, IDC_OPTIONS_WININIT_IMAGE}) {
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, id))) << id;
        EXPECT_EQ(Res(1170), ManagedTip(page, id)) << id;
    }
    // The HOSTS area keeps its real-time switch for the user: not greyed.
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_OPTIONS_HOSTS_IMAGE)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_OPTIONS_CONFIRM_EXIT)));
    EXPECT_EQ("", ManagedTip(page, IDC_OPTIONS_CONFIRM_EXIT));

    // Another box's click writes all options: the user's own values stay as they were.
    Click(page, IDC_OPTIONS_CONFIRM_EXIT, true);
    EXPECT_EQ("1", Option("Sound"));
    EXPECT_EQ("0", Option("History"));
    EXPECT_EQ("1", Option("ConfirmExit"));

    // The patrol-time dialog shows the managed time greyed; its real-time box stays free.
    bool minutesEnabled = true, realtimeEnabled = false;
    std::string minutes, tip;
    ModalDriver driver(sheet_, [&](HWND dialog) {
        minutesEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_PATROL_MINUTES)) != 0;
        realtimeEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_PATROL_REALTIME)) != 0;
        minutes = Text(GetDlgItem(dialog, IDC_PATROL_MINUTES));
        tip = ManagedTip(dialog, IDC_PATROL_MINUTES);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "RealtimeSysFiles", "0");
    EXPECT_EQ(-1, PatrolTimeDialog(page, 792, GetOption("HostFile", 3)));
    driver.Join();
    EXPECT_FALSE(minutesEnabled);
    EXPECT_TRUE(realtimeEnabled);
    EXPECT_EQ("4", minutes);
    EXPECT_EQ(Res(1170), tip);

    // With the policy gone the page is the user's again.
    DeleteKeyTree(HKEY_LOCAL_MACHINE, KX_POLICY_KEY);
    NMHDR activate = {sheet_, 0, (UINT)PSN_SETACTIVE};
    SendMessageA(page, WM_NOTIFY, 0, (LPARAM)&activate);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_OPTIONS_SOUND)));
    EXPECT_EQ("", ManagedTip(page, IDC_OPTIONS_SOUND));
}

}   // namespace
