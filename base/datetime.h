// Dates and times in the user's short formats (Control Panel\International).
#pragma once
#include <windows.h>

// Date only, at most 11 characters.
int FormatShortDate(const SYSTEMTIME& time, char* out, int capacity);
// Time without seconds, at most 11 characters.
int FormatShortTime(const SYSTEMTIME& time, char* out, int capacity);
// Date, one blank, time: at most 23 characters.
int FormatDateTime(const SYSTEMTIME& time, char* out, int capacity);
