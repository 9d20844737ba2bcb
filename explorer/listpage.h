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
    UINT text;
    double share;   // of the list width; 0 leaves the column at its header's width
    int kind;
};

struct ListPageDef {
    int commandId;
    int texts[6][2];   // control, string
    PageLayout layout;
    ColumnDef columns[kMaxListColumns];
    int columnCount;
    int sortableColumns;
    int fullWidth;                  // widths share the whole window, no scroll bar taken off
    const char* sortOption;
    UINT patrolCaption;             // 0: the page has no patrol time
    const char* patrolOption;
    int patrolDefault;
    const char* realtimeOption;     // nullptr: no real-time variant
    int realtimeDefault;
    const char* detectedList;       // subkey of Software\Orvane\Detected for first-seen dates
    int alwaysRefill;               // refill at every activation, not only when empty
    int cutSortKeys;                // keys cut to the shorter one before comparing
    int companyBlank;               // 1: an unknown company shows a single blank
    int tagColumn;                  // column + 1 that compares tags as numbers, always ascending
    // Rebuilds the entry list; the count.
    int (*fill)();
    // Rows are made only for entries this accepts (nullptr: every entry).
    int (*keep)(int index);
    // Text of a COL_TEXT or COL_LAZY column.
    void (*cell)(int index, int column, char* out, int capacity);
    // Sort key of a column when it differs from the shown text; 0 when it does not.
    int (*sortKey)(int index, int column, char* out, int capacity);
    // File and icon index of a row's icon ("" for the program's own first icon).
    void (*iconSource)(int index, char* file /*260*/, int* iconIndex);
    // Status bar text of the selected entry (nullptr: its command).
    void (*status)(int index, char* out, int capacity);
    HMENU (*menu)(int index);
    // The page's own commands; 1 when handled.
    int (*command)(HWND page, int command);
    // Extra initialisation and activation steps (nullptr: none).
    void (*init)(HWND page);
    void (*activate)(HWND page);
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

// Delay Time column: "%d Sec." under a minute, else minutes and seconds.
void FormatDelayTime(int seconds, char* out, int capacity);
// Registry key of an add-on kind (type 900, 901 or 902) under HKLM.
const char* AddOnKindKey(int type);

INT_PTR CALLBACK ListPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
