// history.txt in the program folder: one line per action taken on an entry, shared by
// both programs, and its reader.
#pragma once
#include <windows.h>

// Size of the buffer a line is built in; a longer line is cut but keeps its CR LF.
const int HISTORY_LINE_BUFFER = 1024;
// Only the last this many bytes of history.txt are read (from a line start).
const int HISTORY_READ_LIMIT = 131072;

// Appends one line (unless the History option is 0); 1 when written.
int WriteHistoryLine(const char* title, const char* command, const char* source, int type,
                     int action);
// The time field: "MM/DD/YYYY  h:mm AM|PM", or string 686 when the date is all zero.
int FormatHistoryTime(const SYSTEMTIME& time, char* out, int capacity);
// Full path of history.txt.
void HistoryFilePath(char* path, int capacity);

// Clears the entry list and refills it from history.txt, one entry per line (tag = action
// code, type = type code, detail = time). Returns the number of events.
int ReadHistory();
// Deletes history.txt and reads again (an empty list).
int ClearHistory();
