// Event log reports of the actions on entries: one for each action taken (made with its
// history line, whatever the History option says) and one for an action the system refused,
// with the system's reason. Both do nothing while reporting is off (base/eventlog.h).
#pragma once
#include <windows.h>

// The alert records of the history are not actions: the alert's own events tell of them.
int IsAlertRecordAction(int action);
void ReportActionTaken(int action, int type, const char* title, const char* command,
                       const char* source);
// error: the system's code (GetLastError, or a COM result) at the refusal; 0 when the action
// gave none (it left the entry alone), which is told as such.
void ReportActionRefused(int action, int type, const char* title, const char* command,
                         DWORD error);
// The insert texts of an entry's category and location.
void EventCategoryText(int type, char* out, int capacity);
void EventLocationText(int type, const char* title, const char* source, char* out, int capacity);
