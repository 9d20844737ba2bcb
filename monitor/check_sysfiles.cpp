// The system-file check: a watched file that changed since its record is shown; the alert
// accepts the change or puts the saved copy back itself. Also the wininit.ini check.
#include "alert.h"
#include "checks.h"
#include "handles.h"
#include "keys.h"
#include "monitorstate.h"
#include "program.h"
#include "options.h"
#include "platform.h"
#include "registry.h"
#include "resstring.h"
#include "sounds.h"
#include "restartview.h"
#include "sysfileactions.h"
#include "sysfiles.h"
#include "trace.h"
#include "tray.h"
#include <string>
#include <vector>

static std::vector<std::string> RecordNames()
{
    std::vector<std::string> names;
    ForEachSubkey(HKEY_LOCAL_MACHINE, KX_SYSFILES_KEY, [&](const std::string& name) {
        if (name.c_str()[0])
            names.emplace_back(name.c_str());
    });
    return names;
}

void CheckSystemFiles()
{
    if (WindowsMajorVersion() == 6)
        return;
    for (const std::string& name : RecordNames()) {
        char location[MAX_PATH] = "";
        if (!SysFileLocation(name.c_str(), location, sizeof(location)) ||
            !SysFileChanged(name.c_str(), location))
            continue;
        PlayAlertSound(SOUND_SYSFILE);
        SetTrayState(161, 828);
        alertOpen = 1;
        g_traceAlertMark = 1;
        SetCurrentAlert(0, name.c_str(), "");
        lstrcpynA(g_alert.file, location, sizeof(g_alert.file));
        ShowAlertDialog(g_monitorWindow, ALERT_SYSFILE);
        alertOpen = 0;
    }
}

void CheckWinInit()
{
    Trace("VERIFY", "WinInit");
    if (IsWindowsNT())
        return;
    if (suppressAlerts > 1) {
        g_countdowns.WinInit = 0;   // off until the options are read again
        return;
    }
    g_traceAlertMark = 1;
    if (!HasRestartCommands())
        return;
    // Shown once while the monitor runs.
    g_countdowns.WinInit = 99999;
    char text[512] = "";
    LoadResString(28, text, sizeof(text));
    if (MessageBoxExA(nullptr, text, g_programCaption,
                      MB_YESNO | MB_ICONEXCLAMATION | MB_TOPMOST, (WORD)uiLanguage) == IDYES)
        ShowRestartCommandView(g_monitorWindow);
}
