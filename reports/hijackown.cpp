// The log's closing sections: the browsers installed, and the system's own findings (KX lines)
// from the delayed-start store, scheduled tasks, hidden files and watched file types.
#include "hijacksections.h"
#include "aolwindow.h"
#include "cookielines.h"
#include "delaystart.h"
#include "entrylist.h"
#include "inventories.h"
#include "onlineinfo.h"
#include "pathutil.h"
#include "reportfile.h"
#include "reportreg.h"
#include "resstring.h"
#include "versioninfo.h"

static const HKEY HKLM = HKEY_LOCAL_MACHINE;

void HijackAdditional(std::string& log)
{
    log += "\r\n---  Additional Kestrix Info  ---\r\n";
    char browser[512];
    DefaultBrowserPath(browser, sizeof(browser));
    VersionStrings v;
    if (browser[0] && GetFileAttributesA(browser) != INVALID_FILE_ATTRIBUTES) {
        GetVersionStrings(browser, &v);
        AppendLineF(log, "Default Browser: %s - %s version %s\r\n", v.slot[VS_PRODUCT_NAME],
                    v.slot[VS_FILE_DESCRIPTION], v.slot[VS_PRODUCT_VERSION]);
    } else {
        log += "Browser: Unable to find default browser.\r\n";
    }
    HijackBrowserLine(log);
    char version[128], folder[260];
    if (FindAolClientWindow() && GetAppPath("AOL.EXE", version, folder))
        AppendLineF(log, "America Online version %s running %s\r\n", version, folder);
    const struct { const char* file; const char* name; } kBrowsers[] = {
        {"firefox.exe", "Firefox"}, {"Mozilla.exe", "Mozilla"}, {"Netscp.exe", "Netscape"}};
    for (const auto& b : kBrowsers)
        if (GetAppPath(b.file, version, folder))
            AppendLineF(log, "%s %s installed in %s.\r\n", b.name, version, folder);
    HijackCookieLines(log);
    log += "\r\n";
}

static void SessionManagerLines(std::string& log)
{
    const struct { const char* set; const char* shortName; } kSets[] = {
        {"ControlSet001", "CS1"}, {"CurrentControlSet", "CCS"}, {"ControlSet002", "CS2"},
        {"ControlSet003", "CS3"}};
    bool any = false;
    for (const char* name : {"BootExecute", "PendingFileRenameOperations"})
        for (const auto& cs : kSets) {
            std::string v = ReportValue(
                HKLM, std::string("SYSTEM\\") + cs.set + "\\Control\\Session Manager", name);
            if (v.empty())
                continue;
            AppendLineF(log, "KX0%d - HKLM\\%s: %s = %s\r\n", name[0] == 'B' ? 0 : 1, cs.shortName,
                        name, v.c_str());
            any = true;
        }
    std::string v = ReportValue(
        HKLM, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", "ComSpec");
    if (!v.empty()) {
        AppendLineF(log, "KX02 - HKLM\\CCS: Command = %s\r\n", v.c_str());
        any = true;
    }
    if (any)
        log += "\r\n";
}

void HijackOwnLines(std::string& log)
{
    SessionManagerLines(log);
    std::string au = ReportValue(
        HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update",
        "AUOptions");
    int option = atoi(au.c_str());
    if (option != 0) {
        char text[256] = "";
        if (option >= 1 && option <= 4)
            LoadResString(1050 + option, text, sizeof(text));
        AppendLineF(log, "KX03 - Windows Automatic Update = %d:%s\r\n\r\n", option, text);
    }

    ListDelayedPrograms();
    for (int i = 0; i < EntryCount(); i++)
        AppendLineF(log, "KX06 - Delayed Start: [%s]%s\r\n", GetEntry(i)->title, GetEntry(i)->command);
    log += "\r\n";

    const std::string url = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\";
    std::string prefix = ReportValue(HKLM, url + "DefaultPrefix", "");
    std::string www = ReportValue(HKLM, url + "Prefixes", "www");
    if (!prefix.empty())
        AppendLineF(log, "KX08 - HKLM\\%sDefaultPrefix: Default = %s\r\n", url.c_str(), prefix.c_str());
    if (!www.empty())
        AppendLineF(log, "KX08 - HKLM\\%sPrefixes: www = %s\r\n", url.c_str(), www.c_str());
    if (!prefix.empty() || !www.empty())
        log += "\r\n";

    ListScheduledTasks();
    for (int i = 0; i < EntryCount(); i++) {
        const EntryRecord* e = GetEntry(i);
        AppendLineF(log, "KX31 - Scheduled Tasks: [%s]%s %s\r\n", e->title, e->command, e->detail);
    }
    log += "\r\n";
    ListHiddenFiles();
    for (int i = 0; i < EntryCount() && i < 41; i++)
        AppendLineF(log, "KX32 - Hidden File: %s\r\n", GetEntry(i)->command);
    log += "\r\n";
    ListFileTypePrograms();
    for (int i = 0; i < EntryCount(); i++) {
        const EntryRecord* e = GetEntry(i);
        AppendLineF(log, "KX33 - File Type %s: [%s]%s\r\n", e->detail, e->title, e->command);
    }
    log += "\r\n";
    ClearEntries();
}
