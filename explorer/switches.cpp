#include "switches.h"
#include "delaystart.h"
#include "keys.h"
#include "registry.h"
#include "resstring.h"
#include "textutil.h"
#include <windows.h>

static const char* const kAutoUpdateKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update";
static const char* const kPrefixesKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\Prefixes";
static const char* const kDefaultPrefixKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\DefaultPrefix";

int HasSwitch(const char* commandLine, const char* name)
{
    return commandLine && InMyString(commandLine, name);
}

// The monitor asks for these two when the user refuses a change of a machine-wide setting.
static void RestoreAutoUpdateSetting()
{
    SetRegNumber(HKEY_LOCAL_MACHINE, kAutoUpdateKey, "AUOptions",
                 GetRegNumber(HKEY_CURRENT_USER, KX_KEY, "AUOptions"));
}

static void RestoreUrlPrefix()
{
    char prefix[256];
    if (GetRegValue(HKEY_CURRENT_USER, KX_KEY, "wwwPrefix", prefix, sizeof(prefix)) == 0)
        LoadResString(1061, prefix, sizeof(prefix));
    SetRegValue(HKEY_LOCAL_MACHINE, kPrefixesKey, "www", prefix);
    SetRegValue(HKEY_LOCAL_MACHINE, kDefaultPrefixKey, "", prefix);
}

int RunActionSwitches(const char* commandLine)
{
    if (HasSwitch(commandLine, "-Restore")) {
        RestoreAllDelayed();
        return 1;
    }
    if (HasSwitch(commandLine, "-AUOption")) {
        RestoreAutoUpdateSetting();
        return 1;
    }
    if (HasSwitch(commandLine, "-SetPrefix")) {
        RestoreUrlPrefix();
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
