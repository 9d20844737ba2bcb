// O2 to O24: browser add-ons, policies, prefixes, name servers and shell hooks. These read
// the registry themselves: class titles come from the class key, not from version resources.
#include "hijacksections.h"
#include "entrylist.h"
#include "inventories.h"
#include "options.h"
#include "pathutil.h"
#include "reportfile.h"
#include "reportreg.h"
#include "services.h"
#include "signaturetext.h"
#include "textutil.h"
#include "versioninfo.h"
#include <cstring>

namespace {

const HKEY HKLM = HKEY_LOCAL_MACHINE;
const HKEY HKCU = HKEY_CURRENT_USER;

// Title and server of a class; an empty title becomes the server's file name without its
// last four characters, as an added entry gets it.
void ClassOf(const std::string& clsid, std::string& title, std::string& server, REGSAM view = 0)
{
    std::string key = clsid[0] == '{' ? "CLSID\\" + clsid : "CLSID\\{" + clsid + "}";
    title = ReportValue(HKEY_CLASSES_ROOT, key, "", view).substr(0, 127);
    server = ReportValue(HKEY_CLASSES_ROOT, key + "\\InprocServer32", "", view).substr(0, 259);
    if (title.empty()) {
        std::string name = FileNamePart(server.c_str());
        title = name.size() > 4 ? name.substr(0, name.size() - 4) : "";
    }
}

void BrowserExtensions(std::string& log, HKEY root, const char* suffix)
{
    const std::string base = "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions";
    for (const std::string& name : SubkeyNames(root, base)) {
        std::string key = base + "\\" + name;
        std::string command = ReportValue(root, key, "script");
        if (command.empty())
            command = ReportValue(root, key, "exec");
        if (command.empty()) {
            std::string title;
            ClassOf(name, title, command);
        }
        if (command.empty())
            continue;
        command += suffix;
        std::string button = ReportValue(root, key, "ButtonText");
        AppendLineF(log, "O9 - Extra button: %s - %s - %s\r\n",
                    button.empty() ? "(no name)" : button.c_str(), name.c_str(), command.c_str());
        std::vector<std::string> values = ValueNames(root, key);
        for (const std::string& v : values)
            if (lstrcmpiA(v.c_str(), "MenuText") == 0)
                AppendLineF(log, "O9 - Extra 'Tools' menuitem: %s - %s - %s\r\n",
                            ReportValue(root, key, "MenuText").c_str(), name.c_str(), command.c_str());
    }
}

void ResetPages(std::string& log)
{
    char windows[MAX_PATH], inf[MAX_PATH + 32], text[1024];
    GetWindowsDirectoryA(windows, sizeof(windows));
    snprintf(inf, sizeof(inf), "%s\\inf\\iereset.inf", windows);
    for (const char* key : {"START_PAGE_URL", "SEARCH_PAGE_URL"}) {
        GetPrivateProfileStringA("Strings", key, "", text, sizeof(text), inf);
        if (text[0])
            AppendLineF(log, "O14 - IERESET.INF: %s = %s\r\n", key, text);
    }
    // The line scan reads the file where Windows keeps it on a standard installation.
    HANDLE file = CreateFileA("C:\\WINDOWS\\inf\\iereset.inf", GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    std::vector<char> data(16384);
    DWORD got = 0;
    ReadFile(file, data.data(), (DWORD)data.size(), &got, nullptr);
    CloseHandle(file);
    std::string line;
    for (DWORD i = 0; i < got; i++) {
        unsigned char c = (unsigned char)data[i];
        if (c >= 32) {
            line += (char)c;
            continue;
        }
        if (c != '\n')
            continue;
        for (const char* page : {"Start Page", "Default_Page_URL", "Default_Search_URL",
                                 "Search Page"}) {
            size_t comma = line.find(',', 1);
            if (!InMyString(line.c_str(), page) || comma == std::string::npos)
                continue;
            const char* hive = InMyString(line.c_str(), "HKCU")   ? "HKCU,"
                               : InMyString(line.c_str(), "HKLM") ? "HKLM,"
                                                                  : "";
            AppendLineF(log, "O14 - IERESET.INF:%s %s = %s\r\n", hive, page,
                        line.substr(line.rfind(',') + 1).c_str());
        }
        line.clear();
    }
}

// Domains of the trusted-sites zone (2), machine first: a domain whose own "*", "http" or
// "https" value names the zone, or one of its subdomains that does.
void TrustedZone(std::string& log)
{
    const std::string base =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains";
    auto trusted = [](HKEY root, const std::string& key) {
        for (const char* scheme : {"*", "http", "https"})
            if (ReportValue(root, key, scheme) == "2")
                return true;
        return false;
    };
    for (HKEY root : {HKLM, HKCU})
        for (const std::string& domain : SubkeyNames(root, base)) {
            std::string key = base + "\\" + domain;
            if (trusted(root, key))
                AppendLineF(log, "O15 - Trusted Zone: %s\r\n", domain.c_str());
            for (const std::string& sub : SubkeyNames(root, key))
                if (trusted(root, key + "\\" + sub))
                    AppendLineF(log, "O15 - Trusted Zone: %s.%s\r\n", sub.c_str(), domain.c_str());
        }
}

const struct { const char* set; const char* shortName; } kControlSets[] = {
    {"ControlSet001", "CS1"}, {"CurrentControlSet", "CCS"}, {"ControlSet002", "CS2"},
    {"ControlSet003", "CS3"}};

void NameServers(std::string& log)
{
    for (const char* name : {"SearchList", "NameServer"})
        for (const auto& cs : kControlSets) {
            std::string v = ReportValue(
                HKLM, std::string("SYSTEM\\") + cs.set + "\\Services\\Tcpip\\Parameters", name);
            if (!v.empty())
                AppendLineF(log, "O17 - HKLM\\%s: %s = %s\r\n", cs.shortName, name, v.c_str());
        }
    for (const char* service : {"VxD\\MSTCP", "Tcpip\\Parameters"})
        for (const auto& cs : kControlSets) {
            std::string v = ReportValue(
                HKLM, std::string("SYSTEM\\") + cs.set + "\\Services\\" + service, "Domain");
            if (!v.empty())
                AppendLineF(log, "O17 - HKLM\\System\\%s\\Services\\%s: Domain = %s\r\n",
                            cs.shortName, service, v.c_str());
        }
}

// The registry views a machine-wide hook is read in: the program's own, then the one 64-bit
// Windows keeps for 32-bit programs, whose lines are marked " (32-bit)".
const struct {
    REGSAM view;
    const char* mark;
} kViews[] = {{0, ""}, {KEY_WOW64_32KEY, " (32-bit)"}};

// A 32-bit view's class that the own view holds with the same server is listed once, as the
// own view's.
bool TwinInOwnView(const std::string& clsid, const std::string& server)
{
    std::string title, ownServer;
    ClassOf(clsid, title, ownServer);
    return lstrcmpiA(ownServer.c_str(), server.c_str()) == 0;
}

bool ValueInOwnView(const char* key, const std::string& name)
{
    for (const std::string& own : ValueNames(HKLM, key))
        if (lstrcmpiA(own.c_str(), name.c_str()) == 0)
            return true;
    return false;
}

void DelayLoads(std::string& log)
{
    static const char* const kIgnored[] = {
        "{7849596a-48ea-486e-8937-a2a3009f31a9}", "{fbeb8a05-beee-4442-804e-409d6c4515e9}",
        "{E6FB5E20-DE35-11CF-9C87-00AA005127ED}", "{35CEC8A3-2BE6-11D2-8773-92E220524153}"};
    const char* key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
    for (const auto& v : kViews)
        for (const std::string& name : ValueNames(HKLM, key, v.view)) {
            std::string clsid = ReportValue(HKLM, key, name.c_str(), v.view).substr(0, 127);
            std::string title, server;
            bool ignored = false;
            for (const char* id : kIgnored)
                ignored = ignored || lstrcmpiA(id, clsid.c_str()) == 0;
            if (ignored || clsid.empty())
                continue;
            ClassOf(clsid, title, server, v.view);
            if (v.view && ReportValue(HKLM, key, name.c_str()) == clsid)
                continue;   // the same value in both views is listed once
            if (!server.empty())
                AppendLineF(log, "O21 - %s%s - %s - %s - %s%s\r\n", name.c_str(), v.mark, title.c_str(),
                            clsid.c_str(), server.c_str(), HijackSignatureSuffix(server.c_str()).c_str());
        }
    key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler";
    for (const auto& v : kViews)
        for (const std::string& clsid : ValueNames(HKLM, key, v.view)) {
            std::string title, server;
            ClassOf(clsid, title, server, v.view);
            if (v.view && ValueInOwnView(key, clsid) &&
                ReportValue(HKLM, key, clsid.c_str()) == ReportValue(HKLM, key, clsid.c_str(), v.view))
                continue;
            if (!server.empty() && !InMyString(server.c_str(), "browseui.dll"))
                AppendLineF(log, "O22 - SharedTaskScheduler%s: (%s) - %s - %s%s\r\n", v.mark,
                            title.c_str(), clsid.c_str(), server.c_str(),
                            HijackSignatureSuffix(server.c_str()).c_str());
        }
}

void Services(std::string& log)
{
    // Each kind from a listing of its own, which the Services page and the report share.
    ListServiceEntries(false);
    for (int i = 0; i < EntryCount(); i++) {
        const EntryRecord* e = GetEntry(i);
        char program[260];
        GetProgramFile(e->command, program);
        VersionStrings v;
        GetVersionStrings(program, &v);
        AppendLineF(log, "O23 - Service: %s - %s - %s%s\r\n", e->title, v.slot[VS_COMPANY_NAME],
                    program, HijackSignatureSuffix(program).c_str());
    }
    // Drivers after the services, so that the services' lines stay as they were.
    ListDrivers();
    for (int i = 0; i < EntryCount(); i++) {
        const EntryRecord* e = GetEntry(i);
        VersionStrings v;
        GetVersionStrings(e->command, &v);
        AppendLineF(log, "O61 - Driver: %s (%s) - %s - %s%s\r\n", e->title,
                    DriverKindText(e->tag).c_str(), v.slot[VS_COMPANY_NAME], e->command,
                    HijackSignatureSuffix(e->command).c_str());
    }
    ClearEntries();
}

void DesktopComponents(std::string& log)
{
    for (int i = 0; i <= 8; i++) {
        char key[128];
        snprintf(key, sizeof(key),
                 "Software\\Microsoft\\Internet Explorer\\Desktop\\Components\\%1d", i);
        std::string name = ReportValue(HKCU, key, "FriendlyName");
        if (name.empty())
            break;
        if (!InMyString(name.c_str(), "Current Home Page"))
            AppendLineF(log, "O24 -  Desktop Component %d: %s - %s\r\n", i, name.c_str(),
                        ReportValue(HKCU, key, "Source").c_str());
    }
}

}   // namespace

void HijackAddOns(std::string& log)
{
    const char* bho = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
    for (const auto& v : kViews) {
        std::vector<std::string> own = v.view ? SubkeyNames(HKLM, bho) : std::vector<std::string>();
        for (const std::string& clsid : SubkeyNames(HKLM, bho, v.view)) {
            std::string title, server;
            ClassOf(clsid, title, server, v.view);
            bool inOwnView = false;
            for (const std::string& name : own)
                inOwnView = inOwnView || lstrcmpiA(name.c_str(), clsid.c_str()) == 0;
            if (inOwnView && TwinInOwnView(clsid, server))
                continue;
            AppendLineF(log, "O2 - BHO%s: %s - %s - %s%s\r\n", v.mark, title.c_str(), clsid.c_str(),
                        server.c_str(), HijackSignatureSuffix(server.c_str()).c_str());
        }
    }
    for (const std::string& clsid : ValueNames(HKLM, "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar")) {
        std::string title, server;
        ClassOf(clsid, title, server);
        AppendLineF(log, "O3 - Toolbar: %s - %s - %s%s\r\n", title.c_str(), clsid.c_str(),
                    server.c_str(), HijackSignatureSuffix(server.c_str()).c_str());
    }
}

void HijackHooks(std::string& log)
{
    std::string v = ReportValue(HKCU, "Control Panel\\don't load", "inetcpl.cpl");
    if (InMyString(v.c_str(), "no"))
        AppendLineF(log, "O5 - control.ini: inetcpl.cpl=%s\r\n", v.c_str());
    for (const char* policy : {"Restrictions", "Control Panel"})
        if (!ReportValue(HKCU, std::string("Software\\Policies\\Microsoft\\Internet Explorer\\") +
                                   policy, "").empty())
            AppendLineF(log, "O6 - HKCU\\Software\\Policies\\Microsoft\\Internet Explorer\\%s present\r\n",
                        policy);
    const char* system = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
    for (const char* name : {"DisableRegistryTools ", "DisableRegEdit", "DisableTaskMgr "}) {
        std::string valueName = name;
        if (valueName.back() == ' ')
            valueName.pop_back();
        HKEY key;
        if (RegOpenKeyExA(HKCU, system, 0, KEY_READ, &key) != ERROR_SUCCESS)
            break;
        BYTE data[1024] = {};
        DWORD size = sizeof(data);
        LONG rc = RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr, data, &size);
        RegCloseKey(key);
        signed char low = (signed char)data[0];
        if (rc == ERROR_SUCCESS && low > 0)
            AppendLineF(log, "O7 - HKCU\\%s, %s=%d\r\n", system, name, low);
    }
    const char* menuExt = "Software\\Microsoft\\Internet Explorer\\MenuExt";
    for (const std::string& name : SubkeyNames(HKCU, menuExt)) {
        std::string target = ReportValue(HKCU, std::string(menuExt) + "\\" + name, "");
        if (!target.empty())
            AppendLineF(log, "O8 - Extra context menu item: %s - %s\r\n", name.c_str(), target.c_str());
    }
    BrowserExtensions(log, HKLM, "");
    BrowserExtensions(log, HKCU, " (HKCU)");

    const std::string advanced = "SOFTWARE\\Microsoft\\Internet Explorer\\AdvancedOptions";
    for (const std::string& name : SubkeyNames(HKLM, advanced)) {
        std::string key = advanced + "\\" + name;
        if (InMyString(ReportValue(HKLM, key, "HelpID").c_str(), "iexplore.hlp"))
            continue;
        std::string text = ReportValue(HKLM, key, "Text"), bitmap = ReportValue(HKLM, key, "Bitmap");
        size_t slash = bitmap.rfind('\\');
        if (slash != std::string::npos)
            bitmap.resize(slash);
        AppendLineF(log, "O11 - Options group: [%s] %s - %s\r\n", text.c_str(), text.c_str(),
                    bitmap.c_str());
    }
    const std::string plugins = "SOFTWARE\\Microsoft\\Internet Explorer\\Plugins\\Extension";
    for (const std::string& name : SubkeyNames(HKLM, plugins)) {
        std::string location = ReportValue(HKLM, plugins + "\\" + name, "Location");
        if (!location.empty())
            AppendLineF(log, "O12 - Plugin for %s: %s\r\n", name.c_str(), location.c_str());
    }
    const std::string url = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\";
    v = ReportValue(HKLM, url + "DefaultPrefix", "");
    if (v.size() > 7)
        AppendLineF(log, "O13 - DefaultPrefix: %s\r\n", v.c_str());
    v = ReportValue(HKLM, url + "Prefixes", "www");
    if (v.size() > 7)
        AppendLineF(log, "O13 - WWW Prefix: %s\r\n", v.c_str());
    v = ReportValue(HKLM, url + "Prefixes", "www.");
    if (v.size() > 7)
        AppendLineF(log, "O13 -  WWW. Prefix: %s\r\n", v.c_str());
    ResetPages(log);
    TrustedZone(log);

    const std::string dpf = "SOFTWARE\\Microsoft\\Code Store Database\\Distribution Units";
    for (const std::string& clsid : SubkeyNames(HKLM, dpf)) {
        std::string code = ReportValue(HKLM, dpf + "\\" + clsid + "\\DownloadInformation", "CODEBASE");
        if (code.empty())
            continue;
        std::string title, server;
        ClassOf(clsid, title, server);
        AppendLineF(log, "O16 - DPF: %s (%s) - %s\r\n", clsid.c_str(), title.c_str(), code.c_str());
    }
    NameServers(log);
    v = ReportValue(HKCU, "Software\\Microsoft\\Internet Explorer\\Styles", "User Stylesheet");
    if (!v.empty())
        AppendLineF(log, "O19 -  User style sheet: %s\r\n", v.c_str());
    const char* appInit = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
    v = ReportValue(HKLM, appInit, "AppInit_DLLs");
    if (!v.empty())
        AppendLineF(log, "O20 - AppInit_DLLs: %s\r\n\r\n", v.c_str());
    std::string v32 = ReportValue(HKLM, appInit, "AppInit_DLLs", KEY_WOW64_32KEY);
    if (!v32.empty() && v32 != v)
        AppendLineF(log, "O20 - AppInit_DLLs (32-bit): %s\r\n\r\n", v32.c_str());
    DelayLoads(log);
    Services(log);
    DesktopComponents(log);
}
