// The patrol's categories and the checks each one runs. Checks that are not plugged in
// yet return at once; tests may replace any check to watch the scheduling.
#pragma once
#include "patrolcheck.h"

void RunPatrolCheck(PatrolCheck which);

// Whether the task scheduler runs; the scheduled-task check is skipped otherwise.
int TaskSchedulerRunning();

// The built-in checks.
void CheckStartup();
// The value places (image hijacks, boot and logon values): part of the startup check.
void CheckValuePlaces();
void CheckIEHelpers();
// Today's browsers: part of the add-on check.
void CheckBrowserEntries();
void CheckHiddenFiles();
void CheckSystemFiles();
void CheckStartPages();
// The approved pages, each taken when there is none yet (an empty text for a missing page).
void TakePageBaselines();
void CheckFileTypes();
void CheckScheduledTasks();
void CheckWinInit();
void CheckServices();
void CheckCookieFilter();
void CheckMozillaCookies();
void CheckNewCookies();
void CheckAutoUpdateAndPrefix();
int IsTaskSchedulerRunning();
