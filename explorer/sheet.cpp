#include "sheet.h"
#include "explorerseams.h"
#include "hijacklog.h"
#include "keys.h"
#include "options.h"
#include "pageframe.h"
#include "pages.h"
#include "platform.h"
#include "program.h"
#include "registry.h"
#include "resource.h"
#include "resstring.h"
#include "sysmessage.h"
#include "textutil.h"
#include "winpos.h"
#include <commctrl.h>
#include <mmsystem.h>
#include <shlwapi.h>
#include <cstring>

static char g_titles[10][64];
static char g_caption[128];

static int CommonControlsVersion()
{
    HMODULE library = LoadLibraryA("comctl32.dll");
    if (!library)
        return 0;
    int packed = 0;
    auto getVersion = (DLLGETVERSIONPROC)(void*)GetProcAddress(library, "DllGetVersion");
    DLLVERSIONINFO info = {};
    info.cbSize = sizeof(info);
    if (getVersion && SUCCEEDED(getVersion(&info)))
        packed = (int)(info.dwMajorVersion * 65536 + info.dwMinorVersion);
    FreeLibrary(library);
    return packed;
}

// Before the sheet exists: resizable frame with caption and system menu.
static int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM lParam)
{
    if (message == PSCB_PRECREATE && lParam) {
        const DWORD addStyle = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_SETFONT |
                               DS_3DLOOK;
        const DWORD addExStyle = WS_EX_CONTROLPARENT | WS_EX_WINDOWEDGE;
        WORD* words = (WORD*)lParam;
        if (words[1] == 0xFFFF) {   // DLGTEMPLATEEX: version, signature, help id, ex style, style
            DWORD* fields = (DWORD*)(words + 2);
            fields[1] |= addExStyle;
            fields[2] |= addStyle;
        } else {
            DLGTEMPLATE* dialog = (DLGTEMPLATE*)lParam;
            dialog->style |= addStyle;
            dialog->dwExtendedStyle |= addExStyle;
        }
    } else if (message == PSCB_INITIALIZED) {
        g_sheetWindow = sheet;
    }
    return 0;
}

static void PlayOpenSound()
{
    if (GetOption("Sound", 1) < 1)
        return;
    char file[MAX_PATH] = "";
    GetRegValue(HKEY_CURRENT_USER, "AppEvents\\Schemes\\Apps\\Kestrix\\Open\\.current", "", file,
                sizeof(file));
    if (file[0])
        PlaySoundA(file, nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT);
    else
        PlaySoundA(MAKEINTRESOURCEA(IDW_ALERT), GetModuleHandleA(nullptr),
                   SND_RESOURCE | SND_ASYNC | SND_NODEFAULT);
}

static int BringToFront(HWND owner, int request)
{
    if (g_activePageId == 0)
        return 0;
    HWND front = g_sheetWindow ? g_sheetWindow : owner;
    if (request == 6028 && front)
        SetWindowPos(front, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    else if (g_activePageId == 6029 && g_sheetWindow) {
        HWND page = (HWND)SendMessageA(g_sheetWindow, PSM_GETCURRENTPAGEHWND, 0, 0);
        if (page)
            SendMessageA(page, WM_COMMAND, MAKEWPARAM(1006, BN_CLICKED), 0);
    }
    if (owner)
        BringWindowToTop(owner);
    if (front) {
        BringWindowToTop(front);
        SetForegroundWindow(front);
    }
    return 1;
}

static INT_PTR RunSheet(HWND owner, int request, int modeless)
{
    g_activePageId = 1;
    const PageInfo* pages;
    int count = SheetPages(&pages);
    int v1 = CommonControlsVersion() <= 262214;
    PROPSHEETPAGEA sheetPages[10] = {};
    int start = 0;
    for (int i = 0; i < count; i++) {
        PROPSHEETPAGEA& p = sheetPages[i];
        p.dwSize = v1 ? PROPSHEETPAGEA_V1_SIZE : sizeof(PROPSHEETPAGEA);
        p.dwFlags = PSP_USETITLE | PSP_USEHICON;
        p.hInstance = GetModuleHandleA(nullptr);
        p.pszTemplate = MAKEINTRESOURCEA(pages[i].templateId);
        p.hIcon = (HICON)LoadImageA(p.hInstance, MAKEINTRESOURCEA(pages[i].iconId), IMAGE_ICON,
                                    16, 16, 0);
        LoadResString(pages[i].titleString, g_titles[i], sizeof(g_titles[i]));
        p.pszTitle = g_titles[i];
        p.pfnDlgProc = pages[i].proc;
        p.lParam = pages[i].commandId;
        if (pages[i].commandId == request)
            start = i;
    }
    LoadResString(IDS_CAPTION, g_caption, sizeof(g_caption));
    PROPSHEETHEADERA header = {};
    header.dwSize = v1 ? PROPSHEETHEADERA_V1_SIZE : sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | (modeless ? PSH_MODELESS : 0);
    if (IsWindowsNT()) {
        header.dwFlags |= PSH_USECALLBACK;
        header.pfnCallback = SheetCallback;
    }
    header.hwndParent = owner;
    header.hInstance = GetModuleHandleA(nullptr);
    header.pszCaption = g_caption;
    header.nPages = count;
    header.nStartPage = start;
    header.ppsp = sheetPages;

    PlayOpenSound();
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof(self));
    const char* name = strrchr(self, '\\');
    if (InMyString(name ? name + 1 : self, "hijack"))
        WriteHijackScanLog();

    INT_PTR result = PropertySheetA(&header);
    if (modeless) {
        if (result && result != -1)
            g_sheetWindow = (HWND)result;
        return result;
    }
    g_sheetWindow = nullptr;
    if (result == -1) {
        char text[512];
        if (LoadResString(24, text, sizeof(text)))
            KxMessageBox(owner, text, MB_OK | MB_ICONSTOP);
    }
    return result;
}

INT_PTR OpenSheet(HWND owner, int request)
{
    if (BringToFront(owner, request))
        return 0;
    return RunSheet(owner, request, 0);
}

HWND CreateModelessSheet(HWND owner, int request)
{
    INT_PTR result = RunSheet(owner, request, 1);
    return result == -1 ? nullptr : (HWND)result;
}
