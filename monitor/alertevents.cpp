#include "alertevents.h"
#include "actionevents.h"
#include "entrylist.h"
#include "eventlog.h"
#include "versioninfo.h"
#include <cstdio>

static void SelfVersionAndUser(char* version, int versionCapacity, char* user, DWORD userCapacity)
{
    char self[MAX_PATH + 1] = "";
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    VersionStrings strings;
    GetVersionStrings(self, &strings);
    lstrcpynA(version, strings.slot[VS_PRODUCT_VERSION], versionCapacity);
    if (!GetUserNameA(user, &userCapacity))
        user[0] = 0;
}

static void ReportMonitor(DWORD id)
{
    if (!EventLogEnabled())
        return;
    char version[128], user[257];
    SelfVersionAndUser(version, sizeof(version), user, sizeof(user));
    const char* inserts[] = {version, user};
    ReportKestrixEvent(id, inserts, 2);
}

void ReportMonitorStarted() { ReportMonitor(KX_EVENT_MONITOR_STARTED); }
void ReportMonitorStopped() { ReportMonitor(KX_EVENT_MONITOR_STOPPED); }

// The family each alert template asks about; the entry's type code follows when it has one.
static const char* FamilyOf(int templateId)
{
    switch (templateId) {
    case ALERT_STARTUP: return "Startup program";
    case ALERT_DELAYED_BACK: return "Delayed program back in startup";
    case ALERT_TASK: return "Scheduled task";
    case ALERT_ADDON: return "Browser add-on";
    case ALERT_FILETYPE: return "File type";
    case ALERT_SERVICE: return "Service";
    case ALERT_SYSFILE: return "System file";
    case ALERT_HIDDEN: return "Hidden file";
    }
    return "Change";
}

void AlertEventTexts(int templateId, const CurrentAlert& alert, char* category, char* title,
                     char* command, char* location)
{
    const int capacity = 512;
    if (alert.type != 0 && templateId != ALERT_FILETYPE && templateId != ALERT_HIDDEN)
        snprintf(category, capacity, "%s (%s)", FamilyOf(templateId), TypeName(alert.type));
    else
        lstrcpynA(category, FamilyOf(templateId), capacity);
    lstrcpynA(title, alert.title, capacity);
    lstrcpynA(command, alert.command, capacity);
    location[0] = 0;
    switch (templateId) {
    case ALERT_FILETYPE:
        snprintf(location, capacity, "association now: %s", alert.previous);
        break;
    case ALERT_SYSFILE:
        lstrcpynA(location, alert.file, capacity);
        break;
    case ALERT_SERVICE:
        snprintf(location, capacity, "HKLM\\SYSTEM\\CurrentControlSet\\Services\\%s", alert.title);
        break;
    case ALERT_TASK:
        EventLocationText(TASK_SCHEDULED, alert.title, "", location, capacity);
        break;
    case ALERT_ADDON:
        EventLocationText(alert.type ? alert.type : TYPE_BHO, alert.title, "", location, capacity);
        break;
    case ALERT_HIDDEN:
        lstrcpynA(location, alert.command, capacity);
        break;
    default:
        EventLocationText(alert.type, alert.title, "", location, capacity);
        break;
    }
}

const char* AnswerText(INT_PTR result)
{
    switch (result) {
    case IDYES: return "Yes, the change stays";
    case IDNO: return "No, the change is undone";
    case ALERT_RESULT_DISABLE: return "Disable, the entry is kept from starting";
    }
    return "no answer, the alert did not open";
}

void ReportAlertShown(int templateId, const CurrentAlert& alert)
{
    if (!EventLogEnabled())
        return;
    char category[512], title[512], command[512], location[512];
    AlertEventTexts(templateId, alert, category, title, command, location);
    const char* inserts[] = {category, title, command, location};
    ReportKestrixEvent(KX_EVENT_ALERT_SHOWN, inserts, 4);
}

void ReportAlertAnswer(int templateId, const CurrentAlert& alert, INT_PTR result)
{
    if (!EventLogEnabled())
        return;
    char category[512], title[512], command[512], location[512];
    AlertEventTexts(templateId, alert, category, title, command, location);
    const char* inserts[] = {AnswerText(result), category, title, command};
    ReportKestrixEvent(KX_EVENT_ALERT_ANSWERED, inserts, 4);
}

void ReportMessageShown(const char* caption, const char* text)
{
    const char* inserts[] = {"Setting", caption ? caption : "", text ? text : "", ""};
    ReportKestrixEvent(KX_EVENT_ALERT_SHOWN, inserts, 4);
}

void ReportMessageAnswer(const char* caption, const char* text, int answer)
{
    // The boxes ask different questions; the button is told as it reads.
    const char* button = answer == IDYES ? "Yes" : answer == IDNO ? "No" : answer == IDOK ? "OK"
                                                                                           : "closed";
    const char* inserts[] = {button, "Setting", caption ? caption : "", text ? text : ""};
    ReportKestrixEvent(KX_EVENT_ALERT_ANSWERED, inserts, 4);
}
