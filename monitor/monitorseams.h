// Where the monitor's tests stand in for the system: the alert dialogs and message boxes,
// sounds, the tray, the clock, the checks, the help pages and what the monitor would start.
// Each setter takes nullptr to put the real call back.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include "patrolcheck.h"

typedef INT_PTR (*AlertDialogSeam)(HWND owner, int templateId);
void SetAlertDialogSeam(AlertDialogSeam seam);
typedef int (*PatrolMessageSeam)(const char* text, const char* caption, UINT flags);
void SetPatrolMessageSeam(PatrolMessageSeam seam);
typedef BOOL (*SoundPlayer)(LPCSTR sound, HMODULE module, DWORD flags);
void SetSoundPlayerSeam(SoundPlayer player);
// Shell_NotifyIconA and the tray menu's tracking.
void SetTrayNotifier(BOOL(WINAPI* notifier)(DWORD, PNOTIFYICONDATAA));
void SetTrayMenuTracker(void (*tracker)(HWND window, HMENU menu, POINT at));
void SetPatrolCheck(PatrolCheck which, PatrolCheckFn check);
void SetTaskSchedulerProbe(int (*probe)());
// Records the explorer's switches instead of starting it.
void SetExplorerStarter(int (*starter)(const char* pageSwitch));
void SetRunningTaskCounter(int (*counter)());
// The patrol's millisecond clock (GetTickCount otherwise).
void SetMonitorClock(DWORD (*clock)());
// Back to the values before the first start.
void ResetMonitorState();
void SetHelpPageSeam(int (*opener)(HWND owner, int pageId));
// One launch step of the delayed start for a delay in seconds; the programs it handled.
void SetDelayedLauncher(int (*launcher)(int delaySeconds));
