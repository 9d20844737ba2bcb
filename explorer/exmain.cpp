#include "exmain.h"
#include "elevate.h"
#include "earlierdata.h"
#include "baseline.h"
#include "filetypes.h"
#include "mainwindow.h"
#include "options.h"
#include "pages.h"
#include "inventoryswitch.h"
#include "reportswitch.h"
#include "program.h"
#include "resource.h"
#include "resstring.h"
#include "runactions.h"
#include "sharedui.h"
#include "switches.h"
#include "sysfiles.h"
#include <commctrl.h>
#include <objbase.h>

int ExplorerMain(HINSTANCE instance, const char* commandLine, int)
{
    g_programKind = PROGRAM_EXPLORER;
    InstallEntryActions();
    AdoptEarlierData();
    InitUiLanguage();
    char className[64], firstCaption[128];
    if (!LoadResString(9, className, sizeof(className)) ||
        !LoadResString(833, firstCaption, sizeof(firstCaption)))
        return 0;
    LoadResString(IDS_CAPTION, g_programCaption, sizeof(g_programCaption));

    int startTab = GetOption("StartTab", PAGE_STARTUP);
    if (startTab < PAGE_STARTUP)
        startTab = PAGE_STARTUP;
    int exitCode = 0;
    if (RunElevatedSwitch(commandLine, &exitCode))
        return exitCode;
    if (RunReportSwitch(commandLine, &exitCode) || RunInventorySwitch(commandLine, &exitCode))
        return exitCode;
    if (RunActionSwitches(commandLine))
        return 0;
    int startMonitor = 0;
    int page = SwitchPage(commandLine, startTab, &startMonitor);
    if (startMonitor)
        StartMonitorIfMissing();
    int quit = HasSwitch(commandLine, "-Q");
    if (HWND running = FindWindowA(className, nullptr)) {
        PostMessageA(running, WM_COMMAND, quit ? PAGE_QUIT : page, 0);
        return 0;
    }
    if (quit)
        return 0;

    HWND window = CreateMainWindow(instance, className, firstCaption);
    if (!window)
        return 0;
    CreateSharedUi();

    CoInitialize(nullptr);
    InitCommonControls();
    {
        StartSnapshotScope snapshot;
        StartBaseline();
        InitSysFileRecords();
        CreateClassInfo();
        ReadAllOptions();
        CheckDataVersion();
    }

    PostMessageA(window, WM_COMMAND, page, 0);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return (int)msg.wParam;
}
