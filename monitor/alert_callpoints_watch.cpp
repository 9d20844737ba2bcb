// The alert call points into the service and scheduled-task inventories.
#include "alert_callpoints.h"
#include "serviceactions.h"
#include "services.h"
#include "tasks.h"

int QueryServiceStateForAlert(const char* serviceName)
{
    return (int)(ServiceState(serviceName) >> 16);
}

int StopServiceForAlert(const char* serviceName)
{
    return SendServiceControl(serviceName, SERVICE_CONTROL_STOP);
}

int DisableServiceForAlert(const char* serviceName)
{
    return SetServiceStartType(serviceName, SERVICE_DISABLED);
}

void ServiceStatusText(const char* serviceName, char* out, int capacity)
{
    char text[256];
    ServiceStateText(serviceName, text, sizeof(text));
    lstrcpynA(out, text, capacity);
}

void TaskNextRunText(const char* taskTitle, char* out, int capacity)
{
    TaskNextRunTime(taskTitle, out, capacity);
}
