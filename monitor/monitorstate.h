// The monitor's process-wide counters and flags; one thread owns all of them.
#pragma once
#include <windows.h>

extern HWND g_monitorWindow;
extern int patrolTicks;         // ticks since the last patrol pass
extern int passCount;           // passes since the tray icon was last re-created
extern int alertOpen;           // a modal alert of the patrol is on screen
extern int passRunning;         // a patrol pass runs
extern DWORD lastPassTick;      // tick count of the last pass (or its end after a long one)
extern int checksWaiting;     // RealtimeCategory bits of changes whose check has not started
extern int taskChangeFlag;      // message 9024 asked for a task-change check
extern int taskChangeRepeats;   // consecutive ticks on which the task-change check ran
extern int lastTaskCount;       // running tasks seen by the previous check
extern int delayTotal, delayLaunched, delayTicks, delayStep;   // delayed-start schedule
extern int alwaysRun;           // the monitor's own autostart value exists
extern int timerCreated;        // timer 1 runs
extern UINT g_taskbarCreatedMessage;

const UINT_PTR PATROL_TIMER_ID = 1;
const UINT PATROL_TIMER_PERIOD = 2000;

// Millisecond clock of the patrol; GetTickCount unless a test supplies its own.
DWORD MonitorTickCount();
