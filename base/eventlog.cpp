#include "eventlog.h"
#include "trace.h"
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

static EventWriter g_writer;
static int g_enabled;

void SetEventWriter(EventWriter writer) { g_writer = writer; }
void EnableEventLog(int on) { g_enabled = on; }
int EventLogEnabled() { return g_enabled; }

WORD EventTypeOfId(DWORD id)
{
    switch (id >> 30) {
    case 2: return EVENTLOG_WARNING_TYPE;
    case 3: return EVENTLOG_ERROR_TYPE;
    }
    return EVENTLOG_INFORMATION_TYPE;
}

void CleanEventInsert(const char* text, char* out, int capacity)
{
    if (capacity <= 0)
        return;
    int limit = capacity - 1 < EVENT_INSERT_LIMIT ? capacity - 1 : EVENT_INSERT_LIMIT;
    int n = 0;
    for (const char* p = text ? text : ""; *p && n < limit; p++) {
        unsigned char c = (unsigned char)*p;
        if (c < 0x20 || c == 0x7f)
            c = ' ';
        else if (c == '%' && n > 0 && out[n - 1] == '%')
            continue;
        out[n++] = (char)c;
    }
    out[n] = 0;
}

// Registered for each report: events are rare, and no handle outlives the report.
static int WriteToSystemLog(WORD type, DWORD id, const char* const* strings, int count)
{
    HANDLE source = RegisterEventSourceA(nullptr, "Kestrix");
    if (!source)
        return 0;
    BOOL written = ReportEventA(source, type, 0, id, nullptr, (WORD)count, 0,
                                const_cast<const char**>(strings), nullptr);
    DeregisterEventSource(source);
    return written != FALSE;
}

int ReportKestrixEvent(DWORD id, const char* const* inserts, int count)
{
    if (!g_enabled)
        return 0;
    // The caller's last error may still be wanted after the report.
    DWORD lastError = GetLastError();
    std::vector<std::string> cleaned(count);
    std::vector<const char*> strings(count);
    for (int i = 0; i < count; i++) {
        char buffer[EVENT_INSERT_LIMIT + 1];
        CleanEventInsert(inserts[i], buffer, sizeof(buffer));
        cleaned[i] = buffer;
        strings[i] = cleaned[i].c_str();
    }
    EventWriter writer = g_writer ? g_writer : WriteToSystemLog;
    int written = writer(EventTypeOfId(id), id, strings.data(), count);
    if (!written) {
        char number[32];
        snprintf(number, sizeof(number), "%lu", (unsigned long)(id & 0xffff));
        Trace("ERROR ReportEvent", number);
    }
    SetLastError(lastError);
    return written;
}

void SystemErrorText(DWORD error, char* out, int capacity)
{
    if (capacity <= 0)
        return;
    out[0] = 0;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             error, 0, out, (DWORD)capacity, nullptr);
    while (n > 0 && (out[n - 1] == '\r' || out[n - 1] == '\n' || out[n - 1] == ' '))
        out[--n] = 0;
    if (n == 0)
        snprintf(out, capacity, "error %lu", (unsigned long)error);
}
