#include "datetime.h"
#include "registry.h"
#include <cstdio>

static const char* const kInternationalKey = "Control Panel\\International";

static int FindPattern(const char* value, const char* const* patterns, int count)
{
    for (int i = 0; i < count; i++)
        if (lstrcmpiA(value, patterns[i]) == 0)
            return i;
    return 0;   // unknown patterns take the first form
}

int FormatShortDate(const SYSTEMTIME& t, char* out, int capacity)
{
    static const char* const patterns[] = {"M/d/yyyy", "M/d/yy",     "MM/dd/yy", "MM/dd/yyyy",
                                           "yy/MM/dd", "yyyy-MM-dd", "dd-MMM-yy"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char value[24];
    GetRegValue(HKEY_CURRENT_USER, kInternationalKey, "sShortDate", value, sizeof(value));
    char date[64];
    switch (FindPattern(value, patterns, 7)) {
    case 1:
    case 2:
        snprintf(date, sizeof(date), "%02d/%02d/%02d", t.wMonth, t.wDay, t.wYear);
        break;
    case 4:
        snprintf(date, sizeof(date), "%02d/%02d/%02d", t.wYear, t.wMonth, t.wDay);
        break;
    case 5:
        snprintf(date, sizeof(date), "%04d-%02d-%02d", t.wYear, t.wMonth, t.wDay);
        break;
    case 6:
        snprintf(date, sizeof(date), "%02d-%s-%02d", t.wDay,
                 months[(t.wMonth >= 1 && t.wMonth <= 12) ? t.wMonth - 1 : 0], t.wYear);
        break;
    default:
        snprintf(date, sizeof(date), "%02d/%02d/%04d", t.wMonth, t.wDay, t.wYear);
        break;
    }
    date[11] = 0;
    lstrcpynA(out, date, capacity);
    return lstrlenA(out);
}

int FormatShortTime(const SYSTEMTIME& t, char* out, int capacity)
{
    static const char* const patterns[] = {"h:mm:ss tt", "hh:mm:ss tt", "H:mm:ss", "HH:mm:ss"};
    char value[24];
    GetRegValue(HKEY_CURRENT_USER, kInternationalKey, "sTimeFormat", value, sizeof(value));
    int hour12 = t.wHour % 12 == 0 ? 12 : t.wHour % 12;
    const char* half = t.wHour < 12 ? "AM" : "PM";
    char time[64];
    switch (FindPattern(value, patterns, 4)) {
    case 1:
        snprintf(time, sizeof(time), "%02d:%02d %s", hour12, t.wMinute, half);
        break;
    case 2:
        snprintf(time, sizeof(time), "%d:%02d", t.wHour, t.wMinute);
        break;
    case 3:
        snprintf(time, sizeof(time), "%02d:%02d", t.wHour, t.wMinute);
        break;
    default:
        snprintf(time, sizeof(time), "%d:%02d %s", hour12, t.wMinute, half);
        break;
    }
    time[11] = 0;
    lstrcpynA(out, time, capacity);
    return lstrlenA(out);
}

int FormatDateTime(const SYSTEMTIME& t, char* out, int capacity)
{
    char date[16], time[16], both[32];
    FormatShortDate(t, date, sizeof(date));
    FormatShortTime(t, time, sizeof(time));
    snprintf(both, sizeof(both), "%s %s", date, time);
    lstrcpynA(out, both, capacity);
    return lstrlenA(out);
}
