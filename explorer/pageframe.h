// The frame every page of the sheet shares: initialisation and activation steps, the image
// buttons, the status bar, saved position, help and the layout of the sheet and its pages.
#pragma once
#include <windows.h>
#include <cstddef>
#include <initializer_list>

// Fills the first entries of a fixed table from a list; the number filled. Pages declare their
// tables at compile time, where a list longer than its table does not compile.
template <class T> struct TableItem { typedef T type; };
template <class T, size_t N>
constexpr int SetTable(T (&table)[N], std::initializer_list<typename TableItem<T>::type> items)
{
    int count = 0;
    for (const T& item : items)
        table[count++] = item;
    return count;
}

// A place among the bottom buttons; two buttons that share it (one shown at a time) both
// have their id here.
struct ButtonSlot {
    int id = 0;
    int sharedWith = 0;
};

// Control ids a page places with the shared layout.
struct PageLayout {
    int banners[4] = {};
    int bannerCount = 0;
    int rows[4] = {};       // full-width rows between the banner and the list
    int rowCount = 0;
    ButtonSlot slots[6] = {};
    int slotCount = 0;
    int hasMonitor = 0;
};

// WM_INITDIALOG: active page id, saved position and StartTab; on the NT family the first
// page also makes the sheet resizable and gives it its status bar.
void PageInit(HWND page, int commandId);
// PSN_SETACTIVE after the page filled its list.
void PageActivate(HWND page, int commandId);
// PSN_KILLACTIVE.
void CleanupActivePage(HWND page);
// WM_CLOSE and WM_DESTROY of a page.
void PageDestroy(HWND page);

// Image buttons: bitmaps and the command a release sends to the page.
void ArmImageButton(HWND page, int id, HBITMAP normal, HBITMAP hover, HBITMAP pressed,
                    int command);
void DisarmImageButton(HWND page, int id);
// The Monitor button of a page: "on" (real-time variant when realtime) or "off".
void SetMonitorButton(HWND page, int on, int realtime);
// Mouse messages a page forwards; 1 when an image button took it.
int ImageButtonMouse(HWND page, UINT message, LPARAM lParam);

// Status bar of the sheet, part 0; font may be nullptr for the bar's own.
void SetStatusText(HWND page, const char* text, HFONT font);
// The help page of a page command id: local file first, else the web site.
void RunHelp(HWND owner, int commandId);
// A web address: through the AOL client when one runs, else the shell's "open".
void OpenWebAddress(HWND owner, const char* address);

// The sheet's layout (NT family): tab control, hidden sheet button, page size, then message
// 6049 to the page that is shown.
void LayoutSheet(HWND sheet);
// What a page does on 6049.
void LayoutPageControls(HWND page, const PageLayout& layout);

// The main window the pages tell when the sheet closes (nullptr in tests).
extern HWND g_mainWindow;
// The open sheet, nullptr while none is open.
extern HWND g_sheetWindow;
