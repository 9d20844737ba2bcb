#include "actionevents.h"
#include "entrylist.h"
#include "eventlog.h"
#include <cstdio>

int IsAlertRecordAction(int action)
{
    return action == ACT_START_ALERT || action == ACT_TASK_ALERT || action == ACT_IEHELPER_ALERT ||
           action == ACT_HIDDEN_ALERT;
}

void EventCategoryText(int type, char* out, int capacity)
{
    const char* name = TypeName(type);
    lstrcpynA(out, name && name[0] ? name : "TYPE_UNKNOWN", capacity);
}

void EventLocationText(int type, const char* title, const char* source, char* out, int capacity)
{
    char location[512] = "";
    LocationTextFor(type, title ? title : "", location);
    lstrcpynA(out, location[0] ? location : source ? source : "", capacity);
}

void ReportActionTaken(int action, int type, const char* title, const char* command,
                       const char* source)
{
    if (!EventLogEnabled() || IsAlertRecordAction(action))
        return;
    char category[64], location[512];
    EventCategoryText(type, category, sizeof(category));
    EventLocationText(type, title, source, location, sizeof(location));
    const char* inserts[] = {ActionName(action), category, title, command, location};
    ReportKestrixEvent(KX_EVENT_ACTION_TAKEN, inserts, 5);
}

void ReportActionRefused(int action, int type, const char* title, const char* command,
                         DWORD error)
{
    if (!EventLogEnabled())
        return;
    char category[64], reason[512];
    EventCategoryText(type, category, sizeof(category));
    if (error)
        SystemErrorText(error, reason, sizeof(reason));
    else
        lstrcpynA(reason, "the system gave no reason; the entry was left as it was",
                  sizeof(reason));
    const char* inserts[] = {ActionName(action), category, title, command, reason};
    ReportKestrixEvent(KX_EVENT_ACTION_REFUSED, inserts, 5);
}
