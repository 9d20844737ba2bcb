#include "monitorstate.h"
#include "monitorseams.h"

HWND g_monitorWindow;
int patrolTicks, passCount, alertOpen, passRunning;
DWORD lastPassTick;
int taskChangeFlag, taskChangeRepeats, lastTaskCount;
int checksWaiting;
int delayTotal, delayLaunched, delayTicks, delayStep;
int alwaysRun, timerCreated;
UINT g_taskbarCreatedMessage;

static DWORD (*g_clock)() = nullptr;

DWORD MonitorTickCount() { return g_clock ? g_clock() : GetTickCount(); }

void SetMonitorClock(DWORD (*clock)()) { g_clock = clock; }

void ResetMonitorState()
{
    g_monitorWindow = nullptr;
    patrolTicks = passCount = alertOpen = passRunning = 0;
    lastPassTick = 0;
    taskChangeFlag = taskChangeRepeats = lastTaskCount = 0;
    checksWaiting = 0;
    delayTotal = delayLaunched = delayTicks = delayStep = 0;
    alwaysRun = timerCreated = 0;
    g_taskbarCreatedMessage = 0;
}
