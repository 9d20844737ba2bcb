// What every report shares: building its text, writing the file in one piece, handing the
// result to the shell, and the small text forms (stamps, numbers, escapes) the reports print.
#pragma once
#include "browserkind.h"
#include <windows.h>
#include <string>

// Appends printf-style text of any length.
void AppendF(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Report text taken from the machine: control characters but tab become blanks, so that a
// value cannot end its line and add lines that look like the report's own.
std::string OneLine(const char* text);

namespace reporttext {
struct Cleaned {
    std::string text;
    const char* get() const { return text.c_str(); }
};
inline Cleaned Clean(const char* text) { return {OneLine(text ? text : "")}; }
inline Cleaned Clean(char* text) { return Clean((const char*)text); }
inline Cleaned Clean(const std::string& text) { return Clean(text.c_str()); }
template <typename T> struct Kept {
    T value;
    T get() const { return value; }
};
template <typename T> Kept<T> Clean(T value) { return {value}; }
}   // namespace reporttext

// AppendF for lines of machine text: every text argument is passed through OneLine, so only
// the format's own line ends end lines. Numbers are passed as they are.
template <typename... Args> void AppendLineF(std::string& out, const char* format, Args... args)
{
    AppendF(out, format, reporttext::Clean(args).get()...);
}

// "<Documents>\<name>", where reports go unless a switch names the file. 0 when there is no
// such folder or the path does not fit.
int ReportFilePath(const char* name, char* path, int capacity);
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
// A saved-list field as a spreadsheet must read it: always quoted with its quotes doubled
// (RFC 4180), line breaks as blanks, and an apostrophe before a field that would otherwise
// start a formula (=, +, -, @, tab or CR first), so every line keeps its fields and no field
// runs.
std::string CsvField(const char* text);
// Every byte outside letters, digits and "-._~" as %XX, so that no value of a query can end
// it, start another key or be read back as something else.
std::string UrlEncode(const char* text);

