// history.txt in the program folder: one line per action taken on an entry.
#pragma once
#include <windows.h>

// Appends one line (unless the History option is 0); 1 when written.
int WriteHistoryLine(const char* title, const char* command, const char* source, int type,
                     int action);
