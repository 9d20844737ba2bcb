// Reactions to the tray icon: double click opens the startup page, right click the menu.
#include "tray.h"
#include "monitorseams.h"
#include "alwaysrun.h"
#include "monitorstate.h"
#include "platform.h"
#include "resstring.h"
#include "trace.h"

int trayBusy;

static POINT g_cursor;
static void (*g_tracker)(HWND, HMENU, POINT) = nullptr;

void SetTrayMenuTracker(void (*tracker)(HWND, HMENU, POINT)) { g_tracker = tracker; }

int TrayMenuCommands(int* commands, int* labels, int capacity)
{
    struct Item {
        int command, label, platform;   // platform: 0 all, 1 NT only, 2 9x only
    };
    static const Item kItems[] = {
        {6033, 610, 0}, {0, 0, 0},       {6026, 503, 0},  {6055, 1020, 0}, {6040, 697, 0},
        {6038, 509, 1}, {6039, 685, 0},  {0, 0, 0},       {6029, 504, 0},  {6028, 505, 0},
        {6042, 510, 0}, {6052, 1018, 0}, {6034, 507, 2},  {0, 0, 0},       {6030, 508, 0},
    };
    int nt = IsWindowsNT();
    int n = 0;
    for (const Item& item : kItems) {
        if ((item.platform == 1 && !nt) || (item.platform == 2 && nt))
            continue;
        if (n >= capacity)
            break;
        commands[n] = item.command;
        labels[n] = item.label;
        n++;
    }
    return n;
}

static void ShowTrayMenu(HWND window)
{
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    int commands[20], labels[20];
    int n = TrayMenuCommands(commands, labels, 20);
    for (int i = 0; i < n; i++) {
        if (!commands[i]) {
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        char label[128];
        LoadResString(labels[i], label, sizeof(label));
        AppendMenuA(menu, MF_STRING, commands[i], label);
    }
    SetForegroundWindow(window);
    if (g_tracker)
        g_tracker(window, menu, g_cursor);
    else
        TrackPopupMenuEx(menu, TPM_VERTICAL, g_cursor.x, g_cursor.y, window, nullptr);
    // Without it the menu would not close when the user clicks elsewhere.
    PostMessageA(window, WM_NULL, 0, 0);
    DestroyMenu(menu);
}

void OnTrayNotify(HWND window, WPARAM iconId, LPARAM mouseMessage)
{
    if (trayBusy)
        return;
    trayBusy = 1;
    GetCursorPos(&g_cursor);
    alwaysRun = IsAlwaysRun();
    if (mouseMessage == WM_LBUTTONDBLCLK) {
        Trace("Tray Action", "Double Click");
        SetForegroundWindow(window);
        PostMessageA(window, WM_COMMAND, 6026, 0);
    } else if (mouseMessage == WM_RBUTTONUP && iconId == TRAY_ICON_ID) {
        ShowTrayMenu(window);
    }
    trayBusy = 0;
}
