// The program information dialog: everything known locally about one entry of the list, the
// user's note about its program, and for services their state and start type.
#pragma once
#include <windows.h>

// Largest note kept, in bytes.
const int NOTE_LIMIT = 16384;

// The entry shown (moved by the dialog's previous and next buttons).
extern int g_infoIndex;
// Which of the two heights the dialog shows; flips at every opening.
extern int g_infoExpanded;

// Modal dialog for entry index, owned by the page.
void ShowProgramInfo(HWND owner, int index);

// The note file of a command's program: its text, at most NOTE_LIMIT bytes; 1 when it exists.
int ReadProgramNote(const char* command, char* out, int capacity);
