// The pages of the explorer's property sheet, in tab order, and the page command ids.
#pragma once
#include <windows.h>

enum PageCommand {
    PAGE_STARTUP = 6026, PAGE_COOKIES = 6028, PAGE_TASKS = 6029, PAGE_QUIT = 6030,
    PAGE_TOGGLE_AUTORUN = 6031, PAGE_OPTIONS = 6033, PAGE_RESTART_COMMANDS = 6034,
    PAGE_SERVICES = 6038, PAGE_SCHEDULED = 6039, PAGE_IEHELPERS = 6040, PAGE_FILETYPES = 6042,
    PAGE_VIEW_COOKIES = 6045, PAGE_MONITOR = 6046, PAGE_BLACKLIST = 6047, PAGE_EXIT = 6048,
    PAGE_HELPME = 6051, PAGE_HIDDEN = 6052, PAGE_DELAY = 6055,
};

// The sheet asks a page to place its controls again with this message.
const UINT WM_PAGE_LAYOUT = 6049;
// Id of the status bar the sheet carries.
const int SHEET_STATUS_BAR_ID = 6050;

struct PageInfo {
    int commandId;
    UINT titleString;
    int templateId;
    int iconId;
    const char* helpFile;
    DLGPROC proc;
};

// The pages of this platform in tab order (Services only on the NT family); the count.
int SheetPages(const PageInfo** out);
// Help page of a page command id.
const char* HelpFileForPage(int commandId);
// Page of the table for a command id; nullptr when no page carries it.
const PageInfo* FindPage(int commandId);

// Dialog procedures of the pages.
INT_PTR CALLBACK StartupPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ListPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
