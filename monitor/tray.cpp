#include "tray.h"
#include "monitorseams.h"
#include "monitorstate.h"
#include "options.h"
#include "platform.h"
#include "resstring.h"
#include "trace.h"
#include <cstring>

static BOOL(WINAPI* g_notifier)(DWORD, PNOTIFYICONDATAA) = nullptr;

void SetTrayNotifier(BOOL(WINAPI* notifier)(DWORD, PNOTIFYICONDATAA)) { g_notifier = notifier; }

int IdleTrayIcon() { return GetOption("TrayIcon", DefaultTrayIcon()); }

int TrayOperation(int operation, int iconId, int tipStringId)
{
    // A hidden icon is never shown again by the patrol; taking it away is always allowed.
    if (g_options.HideRufo == 1 && operation != TRAY_DELETE)
        return 0;
    char tip[64];
    if (!LoadResString(tipStringId, tip, sizeof(tip)))
        return 0;

    NOTIFYICONDATAA data;
    memset(&data, 0, sizeof(data));
    // The record as shells since IE5 know it; its tooltip field holds 128 characters.
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data.hWnd = g_monitorWindow;
    data.uID = TRAY_ICON_ID;
    data.uCallbackMessage = WM_TRAY_NOTIFY;
    data.dwInfoFlags = NIIF_INFO;
    lstrcpynA(data.szTip, tip, sizeof(data.szTip));

    DWORD message = NIM_DELETE;
    if (operation == TRAY_ADD) {
        Trace("Tray Message", "ADD");
        iconId = IdleTrayIcon();
        message = NIM_ADD;
    } else if (operation == TRAY_MODIFY) {
        message = NIM_MODIFY;
    }
    if (operation != TRAY_DELETE) {
        data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        if (iconId)
            data.hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(iconId));
    }
    if (g_notifier)
        g_notifier(message, &data);
    else
        Shell_NotifyIconA(message, &data);
    return 1;
}

void SetTrayState(int iconId, int tipStringId) { TrayOperation(TRAY_MODIFY, iconId, tipStringId); }

void SetTrayIdle() { TrayOperation(TRAY_MODIFY, IdleTrayIcon(), 820); }
