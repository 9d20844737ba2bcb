// The rows a page's list was last filled with. Filling thousands of rows costs most of an
// activation, and an activation mostly finds the same entries again: a fill that would insert
// exactly the rows the list already shows keeps them instead.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

struct ListRows {
    int columns = 0;
    std::vector<int> entries;          // item data of each row, in insert order
    std::vector<std::string> texts;    // columns texts per row; kCallbackCell: asked when drawn
    int shown = 0;                     // the list holds these rows as this fill left them
};

extern const char kCallbackCell[];

void StartListRows(ListRows* rows, int columns);
// Appends one row; texts holds rows->columns cells.
void AddListRow(ListRows* rows, int entry, const char* const* texts);

// Makes the list hold the rows in their insert order: inserts them afresh (icons asked when
// drawn) unless it already shows exactly them, in which case the rows stay and only their
// order, selection, focus and scroll position are put back as a fresh fill leaves them.
// *shown is what the list holds afterwards. 1 when the rows were kept.
int ShowListRows(HWND list, ListRows* rows, ListRows* shown);
// A row was inserted or deleted by anyone else: the list no longer shows what was filled.
void ForgetListRows(ListRows* shown);
