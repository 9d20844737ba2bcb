#include "startsteps.h"

void CopyAutoUpdateSetting() {}    // automatic-update copy: not yet plugged in
void CreateSysFileRecords() {}     // system-file records: not yet plugged in
void CreateFileTypeSnapshot() {}   // file-type snapshot (CreateClassInfo): not yet plugged in
int CountDelayedPrograms() { return 0; }   // delayed-start list: not yet plugged in
void FreeCookieFilterList() {}     // cookie-filter words: not yet plugged in
void ResetAlertMemory() {}         // alert repeat memory: not yet plugged in
void ShowRestartCommands() {}      // wininit.ini restart commands dialog: not yet plugged in

static int (*g_launcher)(int) = nullptr;

void SetDelayedLauncher(int (*launcher)(int)) { g_launcher = launcher; }

int LaunchDelayedPrograms(int delaySeconds)
{
    if (g_launcher)
        return g_launcher(delaySeconds);
    return 0;   // delayed-start launcher: not yet plugged in
}
