#include "reportfile.h"
#include "datafolder.h"
#include "registry.h"
#include "writefault.h"
#include <shellapi.h>
#include <cstdarg>
#include <cstdio>
#include <cstring>

static ReportShellHook g_shellHook;
static SYSTEMTIME g_clock;
static bool g_clockSet;

void AppendF(std::string& out, const char* format, ...)
{
    char buffer[2048];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    if (n < 0)
        return;
    if (n < (int)sizeof(buffer)) {
        out.append(buffer, n);
        return;
    }
    // Lines built from long registry values: format again at full size.
    std::string big(n + 1, '\0');
    va_start(args, format);
    vsnprintf(&big[0], big.size(), format, args);
    va_end(args);
    out.append(big.c_str(), n);
}

HANDLE CreateReportFile(const char* path)
{
    if (FileWriteFails(path))
        return INVALID_HANDLE_VALUE;
    return CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_ARCHIVE, nullptr);
}

int ReportFilePath(const char* name, char* path, int capacity)
{
    char folder[MAX_PATH];
    path[0] = 0;
    if (!DocumentsFolder(folder, sizeof(folder)))
        return 0;
    int n = snprintf(path, capacity, "%s\\%s", folder, name);
    if (n < 0 || n >= capacity) {
        path[0] = 0;
        return 0;
    }
    return 1;
}

int FinishReportFile(HANDLE file, const std::string& text)
{
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), (DWORD)text.size(), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

void SetReportShellHook(ReportShellHook hook) { g_shellHook = hook; }

int ShellOpen(const char* target)
{
    if (g_shellHook)
        return g_shellHook("open", target);
    return (INT_PTR)ShellExecuteA(nullptr, "open", target, nullptr, nullptr, SW_SHOWNORMAL) > 32;
}

int RunCommandShown(const char* commandLine)
{
    if (g_shellHook)
        return g_shellHook("winexec", commandLine);
    return WinExec(commandLine, SW_SHOWNORMAL) > 31;
}

void SetReportClock(const SYSTEMTIME* time)
{
    g_clockSet = time != nullptr;
    if (time)
        g_clock = *time;
}

SYSTEMTIME ReportNow()
{
    SYSTEMTIME now;
    if (g_clockSet)
        return g_clock;
    GetLocalTime(&now);
    return now;
}

void StampTexts(const SYSTEMTIME& t, char* timeText, char* dateText)
{
    int hour = t.wHour % 12 == 0 ? 12 : t.wHour % 12;
    snprintf(timeText, 16, "%2d:%02d:%02d %s", hour, t.wMinute % 60, t.wSecond % 60,
             t.wHour < 12 ? "AM" : "PM");
    snprintf(dateText, 16, "%2d/%02d/%4d", t.wMonth % 100, t.wDay % 100, t.wYear % 10000);
}

std::string HtmlEscape(const char* text)
{
    std::string out;
    for (const unsigned char* p = (const unsigned char*)text; *p; p++) {
        switch (*p) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += (*p < 32 && *p != '\t') ? ' ' : (char)*p;
        }
    }
    return out;
}

std::string CleanField(const char* text, int limit)
{
    std::string out(text, strnlen(text, limit));
    for (char& c : out)
        if (c == ',')
            c = ' ';
    return out;
}

std::string OneLine(const char* text)
{
    std::string out(text);
    for (char& c : out)
        if ((unsigned char)c < 32 && c != '\t')
            c = ' ';
    return out;
}

std::string CsvField(const char* text)
{
    std::string out = "\"";
    if (text[0] && strchr("=+-@\t\r", text[0]))
        out += '\'';
    for (const char* p = text; *p; p++) {
        if (*p == '"')
            out += '"';
        out += *p == '\r' || *p == '\n' ? ' ' : *p;
    }
    return out + "\"";
}

std::string UrlEncode(const char* text)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char* p = (const unsigned char*)text; *p; p++) {
        unsigned char c = *p;
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            out += (char)c;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}
