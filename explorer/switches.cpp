#include "switches.h"
#include "browsersettings.h"
#include "delaystart.h"
#include "keys.h"
#include "refusal.h"
#include "registry.h"
#include "resstring.h"
#include "textutil.h"
#include "writefault.h"
#include <windows.h>

int HasSwitch(const char* commandLine, const char* name)
{
    return commandLine && InMyString(commandLine, name);
}

int RunActionSwitches(const char* commandLine)
{
    if (HasSwitch(commandLine, "-Restore")) {
        RestoreAllDelayed();
        return 1;
    }
    if (HasSwitch(commandLine, "-AUOption")) {
        // Only a copy that was read is written: without one the setting stays.
        ClearWriteRefusal();
        if (!RestoreAUOptionFromCopy() && LastWriteRefusal())
            TellRefusal(nullptr);
        return 1;
    }
    if (HasSwitch(commandLine, "-SetPrefix")) {
        ClearWriteRefusal();
        if (!RestoreUrlPrefixFromCopy())
            TellRefusal(nullptr);
        return 1;
    }
    return 0;
}

int SwitchPage(const char* commandLine, int startTab, int* startMonitor)
{
    static const struct {
        const char* name;
        int page;
    } kSwitches[] = {
        {"-SERVICE", 6038}, {"-BHO", 6040},      {"-COOKIE", 6045},   {"-NUT", 6028},
        {"-OPTION", 6033},  {"-SCHEDULE", 6039}, {"-TASK", 6029},     {"-DELAY", 6055},
        {"-FILETYPE", 6042}, {"-HIDDEN", 6052},  {"-MONITOR", 6046},  {"-BLACKLIST", 6047},
        {"-EXIT", 6048},    {"-RESTART", 6033},
    };
    int page = startTab;
    *startMonitor = 0;
    if (HasSwitch(commandLine, "-START"))
        page = 6026;
    // The monitor's restart request wants the monitor back as well as the options page.
    *startMonitor = HasSwitch(commandLine, "-START") || HasSwitch(commandLine, "-RESTART");
    for (const auto& s : kSwitches)
        if (HasSwitch(commandLine, s.name))
            page = s.page;
    return page;
}
