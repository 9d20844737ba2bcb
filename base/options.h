// Options: decimal text under HKCU Software\Orvane\Kestrix\Options, each with a default.
#pragma once

struct OptionSet {
    int HideRufo, HideAlerts, Format, ConfirmExit, Sound, History, HideMicrosoftServices,
        LockFileTypes, ShowAllStartup, NoMicrosoftStartup, VantaFormat, MaxCookie;
    // Patrol countdown options (0 = category off).
    int Start, Cookies, Nuts, Tasks, IEHelpers, FileType, StartPage, HostFile, Services, Hidden,
        WinInit;
    int RealtimeStartup, RealtimeIEHelper, RealtimeSysFiles, RealtimeFileType, RealtimeStartPage,
        RealtimeHidden;
    int ViewCookies;
};

// The patrol countdowns, one per category; the batch reader loads them from the options.
struct PatrolCountdowns {
    int Start, Cookies, Nuts, Tasks, IEHelpers, FileType, StartPage, HostFile, Services, Hidden,
        WinInit;
};

extern OptionSet g_options;
extern PatrolCountdowns g_countdowns;
extern int patrolHalf;       // 0 first half of the categories, 1 second half
extern int suppressAlerts;   // from HideAlerts; above 1 the patrol acts without asking
extern int g_optionsLoaded;   // set once the batch reader has run

// Reads one option: a policy's value when one sets it (base/policy.h); else missing or empty
// gives the default, anything else atoi of the text.
int GetOption(const char* name, int defaultValue);
// Writes the number as decimal text, then Update = "1". An option a policy sets is not
// written (0).
int SetOption(const char* name, int value);
// Defaults that depend on program and platform.
int DefaultMaxCookie();
int DefaultTrayIcon();

// Batch reader: every option but Debug, Cleanup, Update, StartTab and TrayIcon, in table
// order; also resets the countdowns and patrolHalf.
void ReadAllOptions();
// The explorer's writer, in its fixed order.
void WriteAllOptions();
