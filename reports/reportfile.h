// What every report shares: building its text, writing the file in one piece, handing the
// result to the shell, and the small text forms (stamps, numbers, escapes) the reports print.
#pragma once
#include "browserkind.h"
#include <windows.h>
#include <string>

// Appends printf-style text of any length.
void AppendF(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Creates (replacing) path; an invalid handle when it cannot be created.
HANDLE CreateReportFile(const char* path);
// Writes text to a created report file and closes it; 1 when every byte was written.
int FinishReportFile(HANDLE file, const std::string& text);

// The shell's "open" of a report or address; 1 when the shell took it.
int ShellOpen(const char* target);
// WinExec of a command line shown normally; 1 when started.
int RunCommandShown(const char* commandLine);
// Tests: receives (verb, target) instead of the shell; verb "winexec" for command lines.
// nullptr restores the real calls.
typedef int (*ReportShellHook)(const char* verb, const char* target);
void SetReportShellHook(ReportShellHook hook);

// "%2d:%02d:%02d AM|PM" on the 12-hour clock and "%2d/%02d/%4d" (month, day, year).
void StampTexts(const SYSTEMTIME& time, char* timeText /*16*/, char* dateText /*16*/);
// Tests: the clock the stamps read (nullptr: the local time).
void SetReportClock(const SYSTEMTIME* time);
SYSTEMTIME ReportNow();

// Text for HTML: & < > " ' become entities, control characters but tab become blanks.
std::string HtmlEscape(const char* text);
// A saved-list field: commas become blanks and the text is cut to limit characters.
std::string CleanField(const char* text, int limit);
// A saved-list field that is written as it is: quoted (RFC 4180) when it holds a comma,
// a double quote or a line break, so every line keeps its number of fields.
std::string QuotedField(const char* text);
// Every byte outside letters, digits and "-._~" as %XX, so that no value of a query can end
// it, start another key or be read back as something else.
std::string UrlEncode(const char* text);

