#include "mainwindow.h"
#include "alwaysrun.h"
#include "entrylist.h"
#include "options.h"
#include "page_options.h"
#include "pageframe.h"
#include "pages.h"
#include "program.h"
#include "resource.h"
#include "restartview.h"
#include "sharedui.h"
#include "sheet.h"
#include "shellrun.h"
#include <objbase.h>
#include <cstdio>

int StartMonitorIfMissing()
{
    if (FindWindowA("Kestrix", nullptr))
        return 1;
    char path[MAX_PATH], command[MAX_PATH + 2];
    ProgramFilePath("Kestrix.exe", path, sizeof(path));
    snprintf(command, sizeof(command), "\"%s\"", path);
    return RunCommandLine(command, SW_SHOW);
}

// 1 for the commands that open the sheet at a page.
static int IsPageCommand(int command)
{
    switch (command) {
    case PAGE_STARTUP: case PAGE_COOKIES: case PAGE_TASKS: case PAGE_OPTIONS:
    case PAGE_SERVICES: case PAGE_SCHEDULED: case PAGE_IEHELPERS: case PAGE_FILETYPES:
    case PAGE_MONITOR: case PAGE_BLACKLIST: case PAGE_HIDDEN: case PAGE_DELAY:
        return 1;
    }
    return 0;
}

static void ExitRequest(HWND window)
{
    if (GetOption("ConfirmExit", 0) == 0) {
        DestroyWindow(window);
        return;
    }
    if (FindWindowA("Kestrix", nullptr))
        OpenSheet(window, PAGE_STARTUP);
    else
        StartMonitorIfMissing();
}

static void Command(HWND window, int command)
{
    if (IsPageCommand(command)) {
        OpenSheet(window, command);
        return;
    }
    switch (command) {
    case PAGE_VIEW_COOKIES: {
        int former = g_options.ViewCookies;
        g_options.ViewCookies = 1;
        OpenSheet(window, PAGE_COOKIES);
        g_options.ViewCookies = former;
        break;
    }
    case PAGE_QUIT:
        DestroyWindow(window);
        break;
    case PAGE_TOGGLE_AUTORUN:
        SetRunAtStart(!IsAlwaysRun());
        break;
    case PAGE_RESTART_COMMANDS:
        ShowRestartCommandView(window);
        break;
    case PAGE_EXIT:
        ExitRequest(window);
        break;
    }
}

static LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        Command(window, LOWORD(wParam));
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        // The sheet has closed: the program ends with every option written back.
        if (EntryCount() > 0)
            ClearEntries();
        CoUninitialize();
        WriteAllOptions();
        DestroySharedUi();
        g_mainWindow = nullptr;
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateMainWindow(HINSTANCE instance, const char* className, const char* caption)
{
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_KESTRIX));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)GetStockObject(LTGRAY_BRUSH);
    wc.lpszClassName = className;
    if (!RegisterClassA(&wc))
        return nullptr;
    // Off the screen and without size: the window only owns the sheet.
    HWND window = CreateWindowExA(WS_EX_APPWINDOW, className, caption,
                                  WS_VISIBLE | WS_CAPTION | WS_SYSMENU, 0, -200, 0, 0, nullptr,
                                  nullptr, instance, nullptr);
    g_mainWindow = window;
    return window;
}
