// The Startup Programs page: its list, selection rules, sorting, context menu and commands.
#pragma once
#include <windows.h>

// Column direction flags, process-wide (0 ascending).
const int kStartupColumns = 6;
extern int g_startupSortFlags[kStartupColumns];

// Refills the entry list from the startup inventory and the list view from it.
void FillStartupList(HWND page);
// Entry index of a list row: the first entry whose title (or its part after the last
// backslash) equals the row's title, else the row's own position.
int StartupRowEntry(HWND list, int row);
// Buttons and status bar for the selection.
void UpdateStartupSelection(HWND page);
// Sorts by column, flips its direction and stores SortStartup.
void SortStartupList(HWND list, int column);
// The context menu of an entry (the caller destroys it).
HMENU BuildStartupMenu(int index);
// Text of the "Type" column for an entry-type code ("" when it has none).
const char* StartupTypeName(int code);
// Sort key of a first-detected date text ("YYYYMMDDhhmm", or " ").
void SortableDate(const char* date, char* out /*13*/);

// The page's commands; 1 when the command was one of them.
int StartupCommand(HWND page, int command);
// The Add command after the file was chosen: HKCU Run value and its known-startup mark.
int AddStartupProgram(const char* path);
