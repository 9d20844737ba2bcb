// The history dialog: the events of history.txt, newest at the bottom and in view, with
// Restore for the reversible ones and Clear File.
#pragma once
#include <windows.h>

// Modal over owner; ends with 1.
INT_PTR ShowHistoryDialog(HWND owner);
// Sorts the rows by column (0 to 3) in the column's next direction and remembers SortHistory.
void SortHistoryList(HWND list, int column);
// Reads history.txt and shows its events in list, each with its program's icon when the
// list has a small image list. Returns the number of events.
int FillHistoryList(HWND list);
