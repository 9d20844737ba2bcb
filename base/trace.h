// The monitor's diagnostic trace: send2ov.txt in the program folder, section "Trace".
// The explorer's trace calls do nothing.
#pragma once

// Record counter: tracing is on while it is at most 9000. Starts off (9999);
// the monitor sets it to 0 at start when the Debug option is non-zero.
extern int g_traceCounter;
// Set when an alert was shown during a timed step; the elapsed record then reports 1.
extern int g_traceAlertMark;

int Trace(const char* what, const char* where);
int TraceBegin(const char* what, const char* where);
int TraceElapsed();

void TraceFilePath(char* path, int capacity);
