// The monitor's reports to the event log: started, stopped, each alert shown and the user's
// answer. The actions that follow an answer report themselves (actions/actionevents.h).
#pragma once
#include <windows.h>
#include "alert.h"

void ReportMonitorStarted();
void ReportMonitorStopped();
// The alert of a template about the current alert. The dialog clears the current alert when
// it ends, so the answer is told from a copy taken before it opened.
void ReportAlertShown(int templateId, const CurrentAlert& alert);
void ReportAlertAnswer(int templateId, const CurrentAlert& alert, INT_PTR result);
// The patrol's message-box alerts (pages, automatic update, prefix, cookies).
void ReportMessageShown(const char* caption, const char* text);
void ReportMessageAnswer(const char* caption, const char* text, int answer);
// Inserts of an alert: category, title, command and location (each buffer 512).
void AlertEventTexts(int templateId, const CurrentAlert& alert, char* category, char* title,
                     char* command, char* location);
// The answer's insert text.
const char* AnswerText(INT_PTR result);
