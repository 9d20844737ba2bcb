#include "options.h"
#include "keys.h"
#include "platform.h"
#include "policy.h"
#include "program.h"
#include "registry.h"
#include "trace.h"
#include <windows.h>
#include <cstdio>
#include <cstdlib>

OptionSet g_options;
PatrolCountdowns g_countdowns;
int patrolHalf;
int suppressAlerts;
int g_optionsLoaded;

int GetOption(const char* name, int defaultValue)
{
    int managed;
    if (PolicyValue(name, &managed))
        return managed;
    char text[128];
    if (GetRegValue(HKEY_CURRENT_USER, KX_OPTIONS_KEY, name, text, sizeof(text)) == 0)
        return defaultValue;
    return atoi(text);
}

int SetOption(const char* name, int value)
{
    // A managed option keeps the user's own value for the day the policy goes.
    if (IsPolicyManaged(name)) {
        Trace("Option set by policy", name);
        return 0;
    }
    char text[32];
    snprintf(text, sizeof(text), "%d", value);
    int stored = SetRegValue(HKEY_CURRENT_USER, KX_OPTIONS_KEY, name, text);
    SetRegValue(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Update", "1");
    return stored;
}

int DefaultMaxCookie() { return IsMonitor() ? 315 : 4096; }
int DefaultTrayIcon() { return IsWindowsNT() ? 101 : 159; }

void ReadAllOptions()
{
    OptionSet& o = g_options;
    o.HideRufo = GetOption("HideRufo", 0);
    o.HideAlerts = GetOption("HideAlerts", 0);
    suppressAlerts = o.HideAlerts;
    o.Format = GetOption("Format", 0);
    o.ConfirmExit = GetOption("ConfirmExit", 0);
    o.Sound = GetOption("Sound", 1);
    o.History = GetOption("History", 1);
    o.HideMicrosoftServices = GetOption("HideMicrosoftServices", 1);
    o.LockFileTypes = GetOption("LockFileTypes", 0);
    o.ShowAllStartup = GetOption("ShowAllStartup", 0);
    o.NoMicrosoftStartup = GetOption("NoMicrosoftStartup", 0);
    o.VantaFormat = GetOption("VantaFormat", 0);
    o.MaxCookie = GetOption("MaxCookie", DefaultMaxCookie());
    o.Start = GetOption("Start", 2);
    o.Cookies = GetOption("Cookies", 0);
    o.Nuts = GetOption("Nuts", 0);
    o.Tasks = GetOption("Tasks", 11);
    o.IEHelpers = GetOption("IEHelpers", 2);
    o.FileType = GetOption("FileType", 10);
    o.StartPage = GetOption("StartPage", 2);
    o.HostFile = GetOption("HostFile", 3);
    o.Services = GetOption("Services", 7);
    o.Hidden = GetOption("Hidden", 0);
    o.WinInit = GetOption("WinInit", 5);
    o.RealtimeStartup = GetOption("RealtimeStartup", 1);
    o.RealtimeIEHelper = GetOption("RealtimeIEHelper", 1);
    o.RealtimeSysFiles = GetOption("RealtimeSysFiles", 1);
    o.RealtimeFileType = GetOption("RealtimeFileType", 0);
    o.RealtimeStartPage = GetOption("RealtimeStartPage", 1);
    o.RealtimeHidden = GetOption("RealtimeHidden", 0);
    o.ViewCookies = GetOption("ViewCookies", 0);

    PatrolCountdowns& c = g_countdowns;
    c.Start = o.Start;
    c.Cookies = o.Cookies;
    c.Nuts = o.Nuts;
    c.Tasks = o.Tasks;
    c.IEHelpers = o.IEHelpers;
    c.FileType = o.FileType;
    c.StartPage = o.StartPage;
    c.HostFile = o.HostFile;
    c.Services = o.Services;
    c.Hidden = o.Hidden;
    if (c.WinInit < o.WinInit)
        c.WinInit = o.WinInit;
    patrolHalf = 0;
    g_optionsLoaded = 1;
}

void WriteAllOptions()
{
    // The services flag is one setting under the name both programs read, so that a
    // choice made on the options page is the one the lists honour.
    const OptionSet& o = g_options;
    SetOption("HideRufo", o.HideRufo);
    SetOption("Format", o.Format);
    SetOption("ConfirmExit", o.ConfirmExit);
    SetOption("Sound", o.Sound);
    SetOption("History", o.History);
    SetOption("HideMicrosoftServices", o.HideMicrosoftServices);
    SetOption("VantaFormat", o.VantaFormat);
    SetOption("LockFileTypes", o.LockFileTypes);
    SetOption("ShowAllStartup", o.ShowAllStartup);
    SetOption("NoMicrosoftStartup", o.NoMicrosoftStartup);
    SetOption("Start", o.Start);
    SetOption("Cookies", o.Cookies);
    SetOption("Nuts", o.Nuts);
    SetOption("Tasks", o.Tasks);
    SetOption("IEHelpers", o.IEHelpers);
    SetOption("FileType", o.FileType);
    SetOption("StartPage", o.StartPage);
    SetOption("HostFile", o.HostFile);
    SetOption("WinInit", o.WinInit);
    SetOption("Services", o.Services);
    SetOption("Hidden", o.Hidden);
    SetOption("ViewCookies", o.ViewCookies);
    SetOption("RealtimeStartup", o.RealtimeStartup);
    SetOption("RealtimeIEHelper", o.RealtimeIEHelper);
    SetOption("RealtimeSysFiles", o.RealtimeSysFiles);
    SetOption("RealtimeFileType", o.RealtimeFileType);
    SetOption("RealtimeStartPage", o.RealtimeStartPage);
    SetOption("RealtimeHidden", o.RealtimeHidden);
}
