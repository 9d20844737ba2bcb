// The inventory pages' shared machinery: one table entry per page says its texts, columns,
// buttons, sort and patrol options and where its rows come from; one dialog procedure runs
// them all (list with icons, first-detected dates, sorting, status bar, context menu, the
// commands every page has).
#pragma once
#include <windows.h>
#include "pageframe.h"

enum ColumnKind {
    COL_TEXT,            // the page's cell text, set when the row is inserted
    COL_LAZY,            // the page's cell text, asked for when the row is first drawn
    COL_COMPANY,         // CompanyName of the resolved program, read when first drawn
    COL_FIRST_DETECTED,  // first-seen date under the page's Detected list
    COL_PUBLISHER,       // who signed the program, checked off the window's thread
};

// Columns a page may have.
const int kMaxListColumns = 7;

struct ColumnDef {
    UINT text = 0;
    double share = 0;   // of the list width; 0 leaves the column at its header's width
    int kind = COL_TEXT;
};

// A control's text from the string table.
struct ControlText {
    int control = 0;
    UINT text = 0;
};

// A page's table entry. Each page fills the fields it needs by name (SetTable for the tables)
// in a constexpr function; the rest keep the values below.
struct ListPageDef {
    int commandId = 0;
    ControlText texts[6] = {};
    PageLayout layout;
    ColumnDef columns[kMaxListColumns] = {};
    int columnCount = 0;
    int sortableColumns = 0;
    int fullWidth = 0;                    // widths share the whole window, no scroll bar taken off
    const char* sortOption = nullptr;
    UINT patrolCaption = 0;               // 0: the page has no patrol time
    const char* patrolOption = nullptr;
    int patrolDefault = 0;
    const char* realtimeOption = nullptr; // nullptr: no real-time variant
    int realtimeDefault = 0;
    const char* detectedList = nullptr;   // subkey of Software\Orvane\Detected for first-seen dates
    int alwaysRefill = 0;                 // refill at every activation, not only when empty
    int cutSortKeys = 0;                  // keys cut to the shorter one before comparing
    int companyBlank = 0;                 // 1: an unknown company shows a single blank
    // Column + 1 that compares tags as numbers, always ascending.
    int tagColumn = 0;
    // Rebuilds the entry list; the count.
    int (*fill)() = nullptr;
    // Rows are made only for entries this accepts (nullptr: every entry).
    int (*keep)(int index) = nullptr;
    // Text of a COL_TEXT or COL_LAZY column.
    void (*cell)(int index, int column, char* out, int capacity) = nullptr;
    // Sort key of a column when it differs from the shown text; 0 when it does not.
    int (*sortKey)(int index, int column, char* out, int capacity) = nullptr;
    // File and icon index of a row's icon ("" for the program's own first icon).
    void (*iconSource)(int index, char* file /*260*/, int* iconIndex) = nullptr;
    // Status bar text of the selected entry (nullptr: its command).
    void (*status)(int index, char* out, int capacity) = nullptr;
    HMENU (*menu)(int index) = nullptr;
    // The elevated verb (elevate.h) a command of the page would use on the entry; 0 for none.
    // Its buttons and menu items carry the shield when the verb needs rights this process lacks.
    int (*elevatedVerb)(int index, int command) = nullptr;
    // The page's own commands; 1 when handled.
    int (*command)(HWND page, int command) = nullptr;
    // Extra initialisation and activation steps (nullptr: none).
    void (*init)(HWND page) = nullptr;
    void (*activate)(HWND page) = nullptr;
};

// Every page's table entry, found by command id.
const ListPageDef* FindListPage(int commandId);
extern const ListPageDef g_delayPage, g_ieHelpersPage, g_scheduledPage, g_servicesPage,
    g_tasksPage, g_fileTypesPage, g_hiddenPage;

// Column direction flags shared by every list page (0 ascending).
extern int g_pageSortFlags[kMaxListColumns];

// Refills the entry list and the page's list view.
void FillListPage(HWND page, const ListPageDef& def);
// Sorts by column as a header click does: flips its direction and stores the sort option.
void SortListPage(HWND page, const ListPageDef& def, int column);
// Sorts ascending by a column without touching its direction or the sort option.
void SortListPageAscending(HWND page, const ListPageDef& def, int column);
// Refill, then the selection and status bar again.
void RefillListPage(HWND page);
// Writes an option the page changes (and the copy the explorer writes back at its end).
void SetPageOption(const char* name, int value);

// Entry index of a row (its item data); -1 for none.
int ListRowEntry(HWND list, int row);
// Entry indexes of the selected rows in list order.
int SelectedListEntries(HWND page, int* out, int capacity);
// The focused selected row's entry, else the first selected; -1 when none.
int FocusedListEntry(HWND page);
// Selects and focuses one row.
void SelectListRow(HWND list, int row);
// The cached company text of an entry (read on first use).
const char* ListCompany(int index);

// The page's context menu of an entry, with the shield on what asks for administrator rights.
HMENU ListPageMenu(const ListPageDef& def, int index);
// The elevated verb of a command on an entry: the page's own, or the shared delete at restart.
int ListPageVerb(const ListPageDef& def, int index, int command);

// Delay Time column: "%d Sec." under a minute, else minutes and seconds.
void FormatDelayTime(int seconds, char* out, int capacity);
// Registry key of an add-on kind (type 900, 901 or 902) under HKLM.
const char* AddOnKindKey(int type);

INT_PTR CALLBACK ListPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
