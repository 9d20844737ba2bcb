// Reports to the Windows Application log under the source "Kestrix"; the texts are the
// message table of the monitor (resources/events.mc, ids in the generated events.h).
// Reporting is off until a program turns it on (the monitor does). A report that cannot be
// written is only traced: the guard goes on whatever the log does.
#pragma once
#include <windows.h>
#include "events.h"

// The longest insert kept; a longer text is cut, as the log's own limits would cut it.
const int EVENT_INSERT_LIMIT = 1024;

// Writes one event: type (EVENTLOG_*_TYPE), id and the insert strings. 1 when written.
typedef int (*EventWriter)(WORD type, DWORD id, const char* const* strings, int count);
// Tests: stands in for ReportEventA (nullptr puts it back). The system's log keeps
// nothing that a test could read back.
void SetEventWriter(EventWriter writer);

void EnableEventLog(int on);
int EventLogEnabled();

// The event type a message id's severity bits ask for.
WORD EventTypeOfId(DWORD id);
// Copies an insert so that it cannot forge lines or pull other texts into the message: line
// breaks, tabs and other control characters become blanks, a doubled percent sign (the
// viewer's parameter reference) loses its second sign, and the text is cut at the limit.
void CleanEventInsert(const char* text, char* out, int capacity);
// Reports id with the inserts when reporting is on; 1 when the writer took it.
int ReportKestrixEvent(DWORD id, const char* const* inserts, int count);
// The system's text for an error code (trailing line break removed), or "error N".
void SystemErrorText(DWORD error, char* out, int capacity);
