#include "kxmain.h"
#include "optionswatch.h"
#include "earlierdata.h"
#include "alertevents.h"
#include "eventlog.h"
#include "realtime.h"
#include "alert.h"
#include "alwaysrun.h"
#include "cookies.h"
#include "entrylist.h"
#include "explorerstart.h"
#include "fonts.h"
#include "initvalues.h"
#include "monitorstate.h"
#include "options.h"
#include "patrol.h"
#include "program.h"
#include "resource.h"
#include "resstring.h"
#include "restartview.h"
#include "runactions.h"
#include "sysmessage.h"
#include "textutil.h"
#include "trace.h"
#include "tray.h"
#include "voltexa.h"
#include <commctrl.h>
#include <objbase.h>
#include <cstdio>

static char g_className[32];
static int g_exiting;       // the exit sequence ran
static int g_closing;       // WM_CLOSE: the window is being destroyed for real
static int g_comStarted;

HWND CreateMonitorWindow(HINSTANCE instance, const char* className, const char* caption)
{
    lstrcpynA(g_className, className, sizeof(g_className));
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = MonitorWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_KESTRIX));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)GetStockObject(LTGRAY_BRUSH);
    wc.lpszClassName = className;
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return nullptr;
    g_exiting = g_closing = 0;
    HWND window = CreateWindowA(className, caption, WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr,
                                nullptr, instance, nullptr);
    g_monitorWindow = window;
    return window;
}

void OnStartCommand(HWND window)
{
    Trace("Program Init1", "Add Tray Icon");
    g_taskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
    trayBusy = 0;
    TrayOperation(TRAY_ADD, 0, 820);

    ClearEntries();
    taskChangeRepeats = 0;
    ResetRepeatedAlert();

    Trace("Application Start", "VerifyData");
    Trace("Application Start", "SetTimer");
    patrolTicks = 0;
    timerCreated = SetTimer(window, PATROL_TIMER_ID, PATROL_TIMER_PERIOD, nullptr) != 0;
    // Armed before the initial values when the entry ran; arming again would drop what
    // they have seen since.
    if (!RealtimeHandleCount())
        RealtimeStart();
    ReportMonitorStarted();
}

static void ExitSequence(HWND window)
{
    g_exiting = 1;
    VoltexaExit();
    RealtimeStop();
    TrayOperation(TRAY_DELETE, 0, 820);
    if (timerCreated) {
        KillTimer(window, PATROL_TIMER_ID);
        timerCreated = 0;
    }
    Trace("Application Exit", g_className);
    ReportMonitorStopped();
    ClearEntries();
    FreeCookieFilters();
    if (g_comStarted) {
        CoUninitialize();
        g_comStarted = 0;
    }
    PostQuitMessage(0);
}

int OnExitRequest(HWND window, int windowGoing)
{
    if (g_exiting)
        return 1;
    Trace("WM_DESTROY", "kxmain");
    // A window that is already being destroyed cannot be kept: no question then.
    if (!windowGoing && GetOption("ConfirmExit", 0)) {
        char text[512];
        LoadResString(17, text, sizeof(text));
        int answer = KxMessageBox(nullptr, text, MB_YESNO | MB_ICONQUESTION | MB_TOPMOST);
        if (answer == IDNO) {
            // The explorer opens its options page; quoted, from our own folder, so it
            // is found whatever the current directory is.
            char path[MAX_PATH + 16], command[MAX_PATH + 40];
            ProgramFilePath("KestrixEx.exe", path, sizeof(path));
            snprintf(command, sizeof(command), "\"%s\" -RESTART", path);
            WinExec(command, SW_SHOW);
            return 0;
        }
    }
    ExitSequence(window);
    return 1;
}

static void OnCommand(HWND window, int command, LPARAM lParam)
{
    switch (command) {
    case 6025:
        OnStartCommand(window);
        return;
    case 6030:
        PostMessageA(window, WM_DESTROY, 0, 0);
        return;
    case 6031:
        if (!alwaysRun) {
            if (AddAlwaysRun())
                alwaysRun = 1;
        } else if (RemoveAlwaysRun()) {
            alwaysRun = 0;
        }
        return;
    case 6034:
        ShowRestartCommandView(g_monitorWindow);
        return;
    case 6053:
        // The manager says the new choice before it writes it: it holds from now on.
        g_options.HideRufo = lParam ? 1 : 0;
        TrayOperation(lParam ? TRAY_DELETE : TRAY_ADD, 0, 820);
        return;
    default:
        if (const char* pageSwitch = ExplorerSwitchForCommand(command))
            StartExplorer(pageSwitch);
        return;
    }
}

LRESULT CALLBACK MonitorWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam), lParam);
        return 0;
    case WM_TIMER:
        if (wParam == PATROL_TIMER_ID) {
            RealtimeRetryMissing();
            MonitorTick();
        }
        return 0;
    case WM_TRAY_NOTIFY:
        OnTrayNotify(window, wParam, lParam);
        return 0;
    case WM_TASK_CHANGE:
        taskChangeFlag = 1;
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;   // the monitor never holds up a logoff or shutdown
    case WM_ENDSESSION:
        // Windows ends the process once this returns: the exit sequence runs now, without
        // the exit question, and only once.
        if (wParam && !g_exiting) {
            Trace("WM_ENDSESSION", "kxmain");
            ExitSequence(window);
        }
        return 0;
    case WM_CLOSE:
        g_closing = 1;
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        OnExitRequest(window, g_closing);
        return 0;
    default:
        if (g_taskbarCreatedMessage && message == g_taskbarCreatedMessage)
            TrayOperation(TRAY_ADD, 0, 820);
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int MonitorMain(HINSTANCE instance, const char* commandLine, int)
{
    g_programKind = PROGRAM_MONITOR;
    InstallEntryActions();
    AdoptEarlierData();
    InitUiLanguage();
    char className[32], caption[32];
    if (!LoadResString(IDS_WINDOW_CLASS, className, sizeof(className)) ||
        !LoadResString(IDS_CAPTION, caption, sizeof(caption)))
        return 0;
    lstrcpynA(g_programCaption, caption, sizeof(g_programCaption));

    const char* args = commandLine ? commandLine : "";
    int quit = InMyString(args, "-Q");
    if (HWND running = FindWindowA(className, nullptr)) {
        if (quit)
            PostMessageA(running, WM_COMMAND, 6030, 0);
        else if (!InMyString(args, "-NoOpen"))
            StartExplorer("-START");
        return 0;
    }
    if (quit)
        return 0;

    HWND window = CreateMonitorWindow(instance, className, caption);
    if (!window)
        return 0;
    EnableEventLog(1);
    CreateAlertFonts();
    ShowWindow(window, SW_HIDE);
    g_comStarted = SUCCEEDED(CoInitialize(nullptr));
    InitCommonControls();

    TraceBeginKestrix();
    alertOpen = 0;
    g_countdowns.WinInit = 0;
    // Watching starts before the first-run baseline reads the entries: a value written while
    // that runs (seconds with thousands of entries) is neither in the baseline nor missed.
    RealtimeStart();
    GetInitialValues();

    taskChangeFlag = 0;
    VoltexaStart(window);
    PostMessageA(window, WM_COMMAND, 6025, 0);

    MSG msg = {};
    int result = 0;
    OptionsWatchStart();
    for (bool quit = false; !quit;) {
        // Change notifications of the autostart locations and of the options wake the loop
        // as messages do.
        DWORD count = (DWORD)RealtimeHandleCount();
        HANDLE handles[MAXIMUM_WAIT_OBJECTS];
        CopyMemory(handles, RealtimeHandles(), count * sizeof(HANDLE));
        HANDLE options = OptionsWatchEvent();
        if (options && count < MAXIMUM_WAIT_OBJECTS - 1)
            handles[count] = options;
        else
            options = nullptr;
        DWORD waited = count + (options ? 1 : 0);
        DWORD woke = MsgWaitForMultipleObjects(waited, handles, FALSE, RealtimeWaitTimeout(),
                                               QS_ALLINPUT);
        if (options && woke == WAIT_OBJECT_0 + count)
            OptionsWatchOnSignal();
        else if (woke < WAIT_OBJECT_0 + count)
            RealtimeOnSignal((int)(woke - WAIT_OBJECT_0));
        else if (woke == WAIT_FAILED)
            WaitMessage();   // a handle went bad: wait on messages alone rather than spin
        while (!quit && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (int categories = quit ? 0 : RealtimeTakeRequest())
            RealtimeForceChecks(categories);
        if (!quit)
            RealtimeServeWaiting();
    }
    OptionsWatchStop();
    if (IsWindow(window))
        DestroyWindow(window);
    DeleteAlertFonts();
    return result == 0 ? (int)msg.wParam : 0;
}
