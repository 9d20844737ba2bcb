// Reading the first-seen dates that the baseline records under Software\Orvane\Detected.
#include "firstseen.h"
#include "entrylist.h"
#include "keys.h"
#include "registry.h"

const char* DetectedSubkeyForType(int type)
{
    if (type < 300)
        return KX_DETECTED_KEY "\\Startup";
    switch (type) {
    case TYPE_BHO: case TYPE_TOOLBAR: case TYPE_EXTENSION: case TYPE_BHO32:
        return KX_DETECTED_KEY "\\IEHelper";
    case SERVICE_EXE: case SERVICE_SVCHOST: case DRIVER_SERVICE: return KX_DETECTED_KEY "\\Services";
    case TASK_SCHEDULED: return KX_DETECTED_KEY "\\Tasks";
    case TYPE_FILETYPE: return KX_DETECTED_KEY "\\FileTypes";
    case TYPE_HIDDEN: return KX_DETECTED_KEY "\\Hidden";
    default: return KX_DETECTED_KEY "\\ActiveTasks";
    }
}

int GetFirstSeenDate(const char* programKey, int type, char* out, int capacity)
{
    if (capacity <= 0)
        return 0;
    out[0] = 0;
    char date[64];
    if (GetRegValue(HKEY_CURRENT_USER, DetectedSubkeyForType(type), programKey, date,
                    sizeof(date)) <= 0)
        return 0;
    int limit = capacity < 24 ? capacity : 24;   // dates are at most 23 characters
    lstrcpynA(out, date, limit);
    return lstrlenA(out);
}
