// The monitor window's commands, the tray operations and the tray menu.
#include "monitor_fixture.h"
#include "alwaysrun.h"
#include "keys.h"
#include "monitorseams.h"
#include "optionswatch.h"
#include "registry.h"
#include "voltexa.h"

class MonitorWindowTest : public MonitorTest {};

static const PlatformVersion kXp = {VER_PLATFORM_WIN32_NT, 5, 1};
static const PlatformVersion kWin98 = {VER_PLATFORM_WIN32_WINDOWS, 4, 10};
static const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

static int PostedCommand(HWND window)
{
    MSG msg;
    while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE))
        if (msg.message == WM_COMMAND)
            return (int)msg.wParam;
    return 0;
}

TEST_F(MonitorWindowTest, PageCommandsStartTheExplorerWithTheirSwitch)
{
    const std::pair<int, const char*> pages[] = {
        {6026, "-START"},     {6028, "-NUTS"},     {6029, "-TASK"},   {6033, "-OPTIONS"},
        {6038, "-SERVICE"},   {6039, "-SCHEDULE"}, {6040, "-BHO"},    {6042, "-FILETYPES"},
        {6046, "-MONITOR"},   {6047, "-BLACKLIST"}, {6052, "-HIDDEN"}, {6055, "-DELAY"},
    };
    for (const auto& page : pages)
        Command(page.first);
    ASSERT_EQ(g_explorerSwitches.size(), 12u);
    for (size_t i = 0; i < 12; i++)
        EXPECT_EQ(g_explorerSwitches[i], pages[i].second);
    // Ids outside the table do nothing.
    Command(6027);
    Command(6054);
    Command(6037);
    EXPECT_EQ(g_explorerSwitches.size(), 12u);
}

TEST_F(MonitorWindowTest, ExitCommandPostsTheExitRequestToItself)
{
    Command(6030);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, window_, WM_DESTROY, WM_DESTROY, PM_REMOVE));
}

TEST_F(MonitorWindowTest, StartCommandAddsTheIconAndStartsTheTimer)
{
    patrolTicks = 9;
    Command(6025);
    EXPECT_EQ(CountTray(NIM_ADD), 1);
    EXPECT_TRUE(timerCreated);
    EXPECT_EQ(patrolTicks, 0);
    ASSERT_FALSE(g_trayCalls.empty());
    const TrayCall& add = g_trayCalls[0];
    EXPECT_EQ(add.id, TRAY_ICON_ID);
    EXPECT_EQ(add.callback, WM_TRAY_NOTIFY);
    EXPECT_EQ(add.flags, (UINT)(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(add.size, (DWORD)NOTIFYICONDATAA_V2_SIZE);
    EXPECT_EQ(add.tip, "Rufo is currently on patrol.");
    // The shell's restart message adds it again.
    ASSERT_NE(g_taskbarCreatedMessage, 0u);
    Send(g_taskbarCreatedMessage);
    EXPECT_EQ(CountTray(NIM_ADD), 2);
}

TEST_F(MonitorWindowTest, AddAlwaysUsesTheTrayIconOptionAndIdleFollowsIt)
{
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "TrayIcon", "159");
    EXPECT_EQ(TrayOperation(TRAY_ADD, 157, 821), 1);
    ASSERT_EQ(g_trayCalls.size(), 1u);
    EXPECT_EQ(g_trayCalls[0].icon, Icon(159));
    g_fakeNow += 5000;
    PatrolPass();
    EXPECT_EQ(g_trayCalls.back().icon, Icon(159));
    EXPECT_EQ(g_trayCalls.back().tip, "Rufo is currently on patrol.");
    // Modify keeps the icon it is given; delete sends no flags.
    TrayOperation(TRAY_MODIFY, 161, 829);
    EXPECT_EQ(g_trayCalls.back().icon, Icon(161));
    TrayOperation(TRAY_DELETE, 0, 820);
    EXPECT_EQ(g_trayCalls.back().message, (DWORD)NIM_DELETE);
    EXPECT_EQ(g_trayCalls.back().flags, 0u);
}

TEST_F(MonitorWindowTest, DefaultIdleIconDependsOnThePlatform)
{
    SetPlatformOverride(&kXp);
    EXPECT_EQ(IdleTrayIcon(), 101);
    SetPlatformOverride(&kWin98);
    EXPECT_EQ(IdleTrayIcon(), 159);
}

TEST_F(MonitorWindowTest, HiddenIconRefusesThePatrolsTrayOperationsAndCommand6053ShowsItAgain)
{
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "HideRufo", "1");
    ReadAllOptions();
    Command(6025);
    Ticks(17);
    EXPECT_TRUE(g_trayCalls.empty());
    EXPECT_EQ(TrayOperation(TRAY_ADD, 0, 820), 0);
    // The patrol itself goes on.
    EXPECT_FALSE(g_checksRun.empty());
    // The manager's choice holds both ways, whatever the monitor read at its start.
    Command(6053, 0);
    Command(6053, 1);
    Ticks(17);
    ASSERT_EQ(g_trayCalls.size(), 2u);
    EXPECT_EQ(g_trayCalls[0].message, (DWORD)NIM_ADD);
    EXPECT_EQ(g_trayCalls[1].message, (DWORD)NIM_DELETE);
}

// An option written by another program (the manager, a script, a policy) reaches the monitor
// through its watch on the keys, with the tray icon hidden and shown as HideRufo says.
TEST_F(MonitorWindowTest, AnOptionWrittenElsewhereIsReadAtOnceAndTheIconFollowsIt)
{
    Command(6025);
    g_trayCalls.clear();
    // Windows always has the policy folders; a fresh prefix may not.
    CreateRegKey(HKEY_CURRENT_USER, "Software\\Policies");
    CreateRegKey(HKEY_LOCAL_MACHINE, "Software\\Policies");
    HANDLE changed = OptionsWatchStart();
    ASSERT_NE(nullptr, changed);
    const std::string userPolicy = "Software\\Policies\\Orvane\\Kestrix";
    const struct {
        HKEY root;
        std::string key;
        const char* name;
        const char* value;
        int* field;
        int expected;
        DWORD tray;   // the tray message it causes, 0 for none
    } kChanges[] = {
        {HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Sound", "0", &g_options.Sound, 0, 0},
        {HKEY_CURRENT_USER, KX_OPTIONS_KEY, "HideRufo", "1", &g_options.HideRufo, 1, NIM_DELETE},
        {HKEY_CURRENT_USER, KX_OPTIONS_KEY, "HideRufo", "0", &g_options.HideRufo, 0, NIM_ADD},
        {HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Services", "13", &g_options.Services, 13, 0},
        // A policy key made after the watch started is seen too, and overrides the user.
        {HKEY_CURRENT_USER, userPolicy, "Services", "4", &g_options.Services, 4, 0},
        {HKEY_LOCAL_MACHINE, userPolicy, "HideRufo", "1", &g_options.HideRufo, 1, NIM_DELETE},
    };
    for (const auto& c : kChanges) {
        SCOPED_TRACE(c.name + std::string("=") + c.value);
        g_trayCalls.clear();
        if (!c.tray)
            *c.field = -7;   // a value no reading leaves
        WriteValueText(c.root, c.key, c.name, c.value);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(changed, 10000));
        OptionsWatchOnSignal();
        EXPECT_EQ(c.expected, *c.field);
        if (c.tray) {
            ASSERT_EQ(1u, g_trayCalls.size());
            EXPECT_EQ(c.tray, g_trayCalls[0].message);
        }
    }
    OptionsWatchStop();
    DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Policies\\Orvane");
    DeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Policies\\Orvane");
}

TEST_F(MonitorWindowTest, Command6053DeletesWithNonZeroAndAddsWithZero)
{
    Command(6053, 1);
    Command(6053, 0);
    ASSERT_EQ(g_trayCalls.size(), 2u);
    EXPECT_EQ(g_trayCalls[0].message, (DWORD)NIM_DELETE);
    EXPECT_EQ(g_trayCalls[1].message, (DWORD)NIM_ADD);
}

TEST_F(MonitorWindowTest, TrayOperationFailsWithoutATooltip)
{
    EXPECT_EQ(TrayOperation(TRAY_MODIFY, 157, 8999), 0);
    EXPECT_TRUE(g_trayCalls.empty());
}

static std::vector<std::pair<int, std::string>> g_menuItems;
static int g_menusShown;
static void RecordMenu(HWND, HMENU menu, POINT)
{
    g_menusShown++;
    g_menuItems.clear();
    for (int i = 0; i < GetMenuItemCount(menu); i++) {
        char label[128] = "";
        GetMenuStringA(menu, i, label, sizeof(label), MF_BYPOSITION);
        g_menuItems.push_back({(int)GetMenuItemID(menu, i), label});
    }
}

TEST_F(MonitorWindowTest, MenuOnNtHasServicesAndNoRestartCommands)
{
    SetPlatformOverride(&kXp);
    g_menusShown = 0;
    SetTrayMenuTracker(RecordMenu);
    Send(WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_RBUTTONUP);
    SetTrayMenuTracker(nullptr);
    ASSERT_EQ(g_menusShown, 1);
    const std::vector<std::pair<int, std::string>> expected = {
        {6033, "&Options..."},
        {0, ""},
        {6026, "Display &Startup Info..."},
        {6055, "Delayed Start..."},
        {6040, "Display IE Helpers..."},
        {6038, "Display Ser&vices..."},
        {6039, "Display Scheduled &Tasks..."},
        {0, ""},
        {6029, "Display Active &Tasks..."},
        {6028, "Display  &Cookies Filters..."},
        {6042, "Display &File Types..."},
        {6052, "Display &Hidden Files..."},
        {0, ""},
        {6030, "E&xit Program"},
    };
    EXPECT_EQ(g_menuItems, expected);
}

TEST_F(MonitorWindowTest, MenuOn9xHasRestartCommandsAndNoServices)
{
    SetPlatformOverride(&kWin98);
    int commands[20], labels[20];
    int n = TrayMenuCommands(commands, labels, 20);
    std::vector<int> ids(commands, commands + n);
    EXPECT_EQ(ids, (std::vector<int>{6033, 0, 6026, 6055, 6040, 6039, 0, 6029, 6028, 6042, 6052,
                                     6034, 0, 6030}));
}

TEST_F(MonitorWindowTest, RightClickOnAnotherIconShowsNoMenu)
{
    g_menusShown = 0;
    SetTrayMenuTracker(RecordMenu);
    Send(WM_TRAY_NOTIFY, 99, WM_RBUTTONUP);
    Send(WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_LBUTTONUP);
    SetTrayMenuTracker(nullptr);
    EXPECT_EQ(g_menusShown, 0);
}

TEST_F(MonitorWindowTest, DoubleClickOpensTheStartupPageUnlessTheHandlerIsBusy)
{
    Send(WM_TRAY_NOTIFY, 12345, WM_LBUTTONDBLCLK);
    EXPECT_EQ(PostedCommand(window_), 6026);
    trayBusy = 1;   // the menu is open
    Send(WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_LBUTTONDBLCLK);
    EXPECT_EQ(PostedCommand(window_), 0);
    // The start command clears the busy flag.
    Command(6025);
    EXPECT_EQ(trayBusy, 0);
}

TEST_F(MonitorWindowTest, NotificationRefreshesAlwaysRunFromTheRegistry)
{
    SaveValue(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix");
    DeleteRegValue(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix");
    alwaysRun = 1;
    Send(WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_MOUSEMOVE);
    EXPECT_EQ(alwaysRun, 0);
    WriteValueText(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix", "x");
    Send(WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_MOUSEMOVE);
    EXPECT_EQ(alwaysRun, 1);
}

TEST_F(MonitorWindowTest, AlwaysRunToggleWritesQuotedValueAndKnownMarkThenRemovesIt)
{
    SaveValue(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix");
    DeleteRegValue(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix");
    alwaysRun = 0;
    Command(6031);
    EXPECT_EQ(alwaysRun, 1);
    std::string path = TempPath("kestrix.exe");
    EXPECT_EQ(ReadValueText(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix"), "\"" + path + "\"");
    EXPECT_EQ(ReadValueText(HKEY_CURRENT_USER, KX_KEY "\\Run", path), "1");

    Command(6031);
    EXPECT_EQ(alwaysRun, 0);
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix"));
}

TEST_F(MonitorWindowTest, KnownMarkIsWrittenEvenWhenTheRunValueCannotBe)
{
    SaveValue(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix");
    DeleteRegValue(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix");
    SetRegistryWriteBlock(HKEY_LOCAL_MACHINE);
    alwaysRun = 0;
    Command(6031);
    SetRegistryWriteBlock(nullptr);
    EXPECT_EQ(alwaysRun, 0);
    EXPECT_EQ(ReadValueText(HKEY_CURRENT_USER, KX_KEY "\\Run", TempPath("kestrix.exe")), "1");
}

TEST_F(MonitorWindowTest, TaskChangeMessageOnlySetsTheFlag)
{
    Send(WM_TASK_CHANGE);
    EXPECT_EQ(taskChangeFlag, 1);
    EXPECT_EQ(lastTaskCount, 0);
}

TEST_F(MonitorWindowTest, AddOnLibraryIsOptionalAndGetsOrdinalTwoThenThree)
{
    // Absent: nothing loads and the exit hook is a no-op.
    VoltexaStart(window_);
    EXPECT_EQ(VoltexaLoaded(), 0);
    VoltexaExit();

    ASSERT_TRUE(CopyFileA((TestProgramFolder() + "\\VOLTEXA.DLL").c_str(),
                          TempPath("VOLTEXA.DLL").c_str(), FALSE));
    VoltexaStart(window_);
    EXPECT_EQ(VoltexaLoaded(), 1);
    EXPECT_EQ(ReadTextFile(TempPath("voltexa-calls.txt")), "2 window\n");
    VoltexaExit();
    VoltexaExit();
    EXPECT_EQ(VoltexaLoaded(), 0);
    EXPECT_EQ(ReadTextFile(TempPath("voltexa-calls.txt")), "2 window\n3\n");
}

TEST_F(MonitorWindowTest, SessionEndRunsTheExitSequenceOnceWithoutAsking)
{
    ASSERT_TRUE(CopyFileA((TestProgramFolder() + "\\VOLTEXA.DLL").c_str(),
                          TempPath("VOLTEXA.DLL").c_str(), FALSE));
    VoltexaStart(window_);
    Command(6025);
    EXPECT_EQ(MonitorWndProc(window_, WM_QUERYENDSESSION, 0, 0), TRUE);
    // A logoff that was called off changes nothing.
    Send(WM_ENDSESSION, FALSE);
    EXPECT_EQ(CountTray(NIM_DELETE), 0);
    EXPECT_TRUE(timerCreated);

    Send(WM_ENDSESSION, TRUE);
    Send(WM_DESTROY);
    EXPECT_EQ(CountTray(NIM_DELETE), 1);
    EXPECT_FALSE(timerCreated);
    EXPECT_EQ(VoltexaLoaded(), 0);
    EXPECT_EQ(ReadTextFile(TempPath("voltexa-calls.txt")), "2 window\n3\n");
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}
