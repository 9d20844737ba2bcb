#include "trace.h"
#include "datapaths.h"
#include "program.h"
#include <windows.h>
#include <cstdio>

int g_traceCounter = 9999;
int g_traceAlertMark;

static char g_stepLabel[256];
static DWORD g_stepStart;

void TraceFilePath(char* path, int capacity)
{
    UserDataPath(IsMonitor() ? "send2ov.txt" : "sendex2ov.txt", path, capacity);
}

static int WriteRecord(const char* value)
{
    if (!IsMonitor() || g_traceCounter > 9000)
        return 0;
    char key[64], path[MAX_PATH + 32];
    snprintf(key, sizeof(key), "%lu.%d", (unsigned long)GetTickCount(), g_traceCounter);
    g_traceCounter++;
    TraceFilePath(path, sizeof(path));
    WritePrivateProfileStringA("Trace", key, value, path);
    return 1;
}

int Trace(const char* what, const char* where)
{
    if (!IsMonitor() || g_traceCounter > 9000)
        return 0;
    lstrcpynA(g_stepLabel, where ? where : "", sizeof(g_stepLabel));
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[32], value[2048];
    snprintf(stamp, sizeof(stamp), "%02d-%02d  %02d:%02d:%02d", now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond);
    snprintf(value, sizeof(value), "%s %s: %s", stamp, what ? what : "", where ? where : "");
    return WriteRecord(value);
}

int TraceBegin(const char* what, const char* where)
{
    int written = Trace(what, where);
    g_stepStart = GetTickCount();
    return written;
}

int TraceElapsed()
{
    if (!IsMonitor() || g_traceCounter > 9000)
        return 0;
    int number = (int)((GetTickCount() - g_stepStart) / 2);
    if (g_traceAlertMark) {
        number = 1;
        g_traceAlertMark = 0;
    }
    char bar[20] = "";
    if (number >= 1000) {
        int stars = number / 1000;
        if (stars > 16)
            stars = 16;
        bar[0] = '\t';
        for (int i = 0; i < stars; i++)
            bar[1 + i] = '*';
        bar[1 + stars] = 0;
    }
    char value[512];
    snprintf(value, sizeof(value), "**:**:** NanoCycles: %s = %d %s", g_stepLabel, number, bar);
    return WriteRecord(value);
}
