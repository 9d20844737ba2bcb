#include "winpos.h"
#include "keys.h"
#include "options.h"
#include "registry.h"
#include <cstdio>
#include <cstdlib>

const WindowPosNames kAlertPos = {"xPosAlert", "yPosAlert", "dxAlert", "dyAlert"};
const WindowPosNames kSysFilesPos = {"xPosSysFiles", "yPosSysFiles", "dxSysFiles", "dySysFiles"};
const WindowPosNames kMainPos = {"xPos", "yPos", "dxPos", "dyPos"};

int g_activePageId;

void RestoreWindowPosition(HWND window, const WindowPosNames& names)
{
    SetOption("StartTab", g_activePageId);
    char left[32], top[32];
    int haveLeft = GetRegValue(HKEY_CURRENT_USER, KX_KEY, names.left, left, sizeof(left));
    int haveTop = GetRegValue(HKEY_CURRENT_USER, KX_KEY, names.top, top, sizeof(top));
    int x, y;
    if (haveLeft && haveTop) {
        x = atoi(left);
        y = atoi(top);
        if (x > GetSystemMetrics(SM_CXVIRTUALSCREEN))
            x = GetSystemMetrics(SM_CXSCREEN) / 2;
        if (y > GetSystemMetrics(SM_CYVIRTUALSCREEN))
            y = GetSystemMetrics(SM_CYSCREEN) / 2;
    } else {
        RECT r;
        GetWindowRect(window, &r);
        x = (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2;
        y = (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 3;
    }
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SaveWindowPosition(HWND window, const WindowPosNames& names)
{
    RECT r;
    if (!GetWindowRect(window, &r))
        return;
    const struct {
        const char* name;
        LONG value;
    } values[] = {{names.left, r.left},
                  {names.top, r.top},
                  {names.width, r.right - r.left},
                  {names.height, r.bottom - r.top}};
    for (const auto& v : values) {
        char text[32];
        snprintf(text, sizeof(text), "%ld", (long)v.value);
        SetRegValue(HKEY_CURRENT_USER, KX_KEY, v.name, text);
    }
    SetOption("StartTab", g_activePageId);
}
