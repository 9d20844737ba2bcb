#include "hijacklog.h"
#include "hijacksections.h"
#include "entrylist.h"
#include "findrun.h"
#include "ostext.h"
#include "pathutil.h"
#include "program.h"
#include "reportfile.h"
#include "reportreg.h"
#include "resstring.h"
#include "runtasks.h"
#include "signaturetext.h"
#include "sysfiles.h"
#include "textutil.h"
#include "valueplaces.h"
#include "versioninfo.h"
#include <cstring>
#include <set>

static const char kIeMain[] = "Software\\Microsoft\\Internet Explorer\\Main";

void HijackBrowserLine(std::string& log)
{
    char ie[MAX_PATH + 16];
    InternetExplorerFile("IExplore.exe", ie, sizeof(ie));
    VersionStrings v;
    if (ie[0] && GetFileAttributesA(ie) != INVALID_FILE_ATTRIBUTES) {
        GetVersionStrings(ie, &v);
        AppendLineF(log, "MSIE: %s (%s)\r\n", v.slot[VS_FILE_DESCRIPTION], v.slot[VS_PRODUCT_VERSION]);
    } else {
        log += "MSIE: Internet Explorer Not found.\r\n";
    }
}

void HijackHeader(std::string& log)
{
    char caption[128] = "", version[600], timeText[16], dateText[16], os[256];
    LoadResString(2, caption, sizeof(caption));
    GetProgramVersionText(version, sizeof(version));
    AppendLineF(log, "Log created by %s version %s\r\n", caption, version);
    StampTexts(ReportNow(), timeText, dateText);
    AppendLineF(log, "Scan saved at %s, on %s\r\n", timeText, dateText);
    OsText(os, sizeof(os));
    AppendLineF(log, "Platform: %s\r\n", os);
    HijackBrowserLine(log);
    static const char* const kBoot[] = {"Normal", "Safe", "Safe with Network"};
    int boot = GetSystemMetrics(SM_CLEANBOOT);
    AppendLineF(log, "Boot mode: %s\r\n", boot >= 0 && boot <= 2 ? kBoot[boot] : "Unknown");

    char heading[64] = "";
    LoadResString(818, heading, sizeof(heading));
    AppendLineF(log, "\r\n%s\r\n", heading);
    ListRunningTasks();
    std::set<std::string> seen;
    for (int i = 0; i < EntryCount(); i++) {
        std::string path = GetEntry(i)->command;
        CharUpperBuffA(&path[0], (DWORD)path.size());
        if (!path.empty() && seen.insert(path).second)
            AppendLineF(log, "%s\r\n", path.c_str());
    }
    log += "\r\n";
}

void HijackPages(std::string& log)
{
    const struct { const char* prefix; HKEY root; const char* hive; const char* name; } kLines[] = {
        {"R1", HKEY_CURRENT_USER, "HKCU", "Default_Page_URL"},
        {"R0", HKEY_CURRENT_USER, "HKCU", "Start Page"},
        {"R1", HKEY_LOCAL_MACHINE, "HKLM", "Default_Page_URL"},
        {"R0", HKEY_LOCAL_MACHINE, "HKLM", "Start Page"},
        {"R1", HKEY_CURRENT_USER, "HKCU", "Window Title"},
        {"R0", HKEY_LOCAL_MACHINE, "HKLM", "Window Title"}};
    for (const auto& l : kLines) {
        std::string value = ReportValue(l.root, kIeMain, l.name);
        if (!value.empty())
            AppendLineF(log, "%s - %s\\%s,%s = %s\r\n", l.prefix, l.hive, kIeMain, l.name,
                        value.c_str());
    }
}

void HijackStartupFiles(std::string& log)
{
    char windows[MAX_PATH], systemIni[MAX_PATH + 16], text[1024];
    GetWindowsDirectoryA(windows, sizeof(windows));
    snprintf(systemIni, sizeof(systemIni), "%s\\system.ini", windows);
    GetPrivateProfileStringA("Boot", "Shell", "", text, sizeof(text), systemIni);
    if (text[0] && lstrcmpiA(text, "Explorer.exe") != 0)
        AppendLineF(log, "F0 - system.ini: Shell=%s\r\n", text);
    for (const char* key : {"run", "load"}) {
        GetProfileStringA("Windows", key, "", text, sizeof(text));
        if (text[0])
            AppendLineF(log, "F1 - win.ini: %s=%s\r\n", key, text);
    }
    GetPrivateProfileStringA("Boot", "UserInit", "", text, sizeof(text), systemIni);
    if (text[0])
        AppendLineF(log, "F2 - REG: system.ini: UserInit=%s\r\n", text);
    for (const char* name : {"Load", "Run"}) {
        std::string value = ReportValue(HKEY_CURRENT_USER,
                                        "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
                                        name);
        if (!value.empty())
            AppendLineF(log, "F3 - HKCU %s=%s\r\n", name, value.c_str());
    }
}

void HijackHosts(std::string& log)
{
    char path[MAX_PATH + 1];
    GetHOSTSFile(path, sizeof(path));
    std::string text;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    std::vector<char> data(652780);
    DWORD got = 0;
    ReadFile(file, data.data(), (DWORD)data.size(), &got, nullptr);
    CloseHandle(file);
    std::string line;
    auto finish = [&]() {
        if (line[0] != '#' && line.size() >= 3 && line.size() <= 497 &&
            line.find("127.0.0.1") == std::string::npos && line.find("::1") == std::string::npos &&
            line.find("0.0.0") == std::string::npos)
            AppendLineF(log, "O1 - Hosts: %s\r\n", line.c_str());
        line.clear();
    };
    for (DWORD i = 0; i < got; i++) {
        unsigned char c = (unsigned char)data[i];
        if (c == '\n')
            finish();
        else if (c >= 32)
            line += (char)c;
    }
    finish();
}

static const char* RunFormat(int type)
{
    switch (type) {
    case 1: return "HKLM\\..\\Run";
    case 2: return "HKLM\\..\\RunOnce";
    case 3: return "HKLM\\..\\RunOnceEx";
    case 4: return "HKLM\\..\\RunServices";
    case 5: return "HKLM\\..\\RunServicesOnce";
    case 6: return "HKLM\\..\\RunOnceSetup";
    case 7: return "HKLM\\..\\Policies\\Explorer\\Run";
    case 11: return "HKCU\\..\\Run";
    case 12: return "HKCU\\..\\RunOnce";
    case 13: return "HKCU\\..\\RunOnceEx";
    case 14: return "HKCU\\..\\RunServices";
    case 15: return "HKCU\\..\\RunServicesOnce";
    case 16: return "HKCU\\..\\RunOnceSetup";
    case 21: return "HKU\\..\\Run";
    case 22: return "HKU\\..\\RunOnce";
    case 23: return "HKU\\..\\RunOnceEx";
    case 24: return "HKU\\..\\RunService";
    case 25: return "HKU\\..\\RunServicesOnce";
    case 26: return "HKU\\..\\RunOnceSetup";
    case 41: return "HKLM\\..\\Run (32-bit)";
    case 42: return "HKLM\\..\\RunOnce (32-bit)";
    case 43: return "HKLM\\..\\RunOnceEx (32-bit)";
    case 44: return "HKLM\\..\\RunServices (32-bit)";
    case 45: return "HKLM\\..\\RunServicesOnce (32-bit)";
    case 46: return "HKLM\\..\\RunOnceSetup (32-bit)";
    case 47: return "HKLM\\..\\Policies\\Explorer\\Run (32-bit)";
    default: return "Other Run";
    }
}

// The all-users startup folders, so that their items read "Global Startup".
static std::vector<std::string> CommonStartupFolders()
{
    std::vector<std::string> folders;
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        std::string folder = ReportValue(
            root, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
            "Common Startup");
        if (!folder.empty())
            folders.push_back(folder + "\\");
    }
    return folders;
}

void HijackRunEntries(std::string& log)
{
    ClearEntries();
    BuildRun();
    for (int i = 0; i < EntryCount(); i++) {
        const EntryRecord* e = GetEntry(i);
        AppendLineF(log, "O4 - %s: [%s]%s%s\r\n", RunFormat(e->type), e->title, e->command,
                    HijackSignatureSuffix(e->command).c_str());
    }
    ClearEntries();
    GetStartupGroup();
    std::vector<std::string> common = CommonStartupFolders();
    for (int i = 0; i < EntryCount(); i++) {
        const EntryRecord* e = GetEntry(i);
        const char* item = e->source[0] ? e->source : e->command;
        bool global = e->tag == 0 && !common.empty();
        if (global) {
            global = false;
            for (const std::string& folder : common)
                if (_strnicmp(item, folder.c_str(), folder.size()) == 0)
                    global = true;
        }
        AppendLineF(log, "O4 - %s: %s=%s%s\r\n", global ? "Global Startup" : "Startup",
                    FileNamePart(item), e->command, HijackSignatureSuffix(e->command).c_str());
    }
}

void HijackMemory(std::string& log)
{
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof(status);
    GlobalMemoryStatusEx(&status);
    char load[32], physical[32], paging[32], virt[32];
    FormatThousands(status.dwMemoryLoad, load, sizeof(load));
    FormatThousands((long long)(status.ullAvailPhys / 1024), physical, sizeof(physical));
    FormatThousands((long long)(status.ullAvailPageFile / 1024), paging, sizeof(paging));
    FormatThousands((long long)(status.ullAvailVirtual / 1024), virt, sizeof(virt));
    AppendLineF(log, "Memory currently in use: %s%%\r\n", load);
    AppendLineF(log, "Physical Memory Free: %s KB\r\n", physical);
    AppendLineF(log, "Paging File Free: %s KB\r\n", paging);
    AppendLineF(log, "Virtual Memory Free: %s KB\r\n", virt);
    log += "\r\n\r\n--\r\nEnd of file\r\n";
}

int WriteHijackScanLogTo(const char* path)
{
    HANDLE file = CreateReportFile(path);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    HCURSOR old = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    VersionCacheScope versions;
    ResStringCacheScope strings;
    ReportSignatureScope signatures;
    std::string log;
    HijackHeader(log);
    HijackPages(log);
    HijackStartupFiles(log);
    HijackHosts(log);
    HijackAddOns(log);
    HijackRunEntries(log);
    HijackHooks(log);
    HijackBrowsers(log);
    HijackValuePlaces(log);
    HijackAdditional(log);
    HijackOwnLines(log);
    HijackMemory(log);
    ClearEntries();
    int written = FinishReportFile(file, log);
    SetCursor(old);
    return written;
}

int WriteHijackScanLog()
{
    char path[MAX_PATH + 32];
    if (!ReportFilePath("HijackKestrix.log", path, sizeof(path)))
        return 0;
    if (!WriteHijackScanLogTo(path))
        return 0;
    ShellOpen(path);
    return 1;
}

void HijackValuePlaces(std::string& log)
{
    for (const PlaceValue& v : ReadValuePlaces()) {
        if (IsListedOnlyOutsideWindows(v))
            continue;
        REGSAM view;
        const ValuePlace* place = ValuePlaceOfCode(v.code, &view);
        std::string data = PlaceDataText(v.code, v.type, v.data);
        AppendLineF(log, "%s%s: [%s\\%s] %s = %s\r\n", place->logPrefix, view ? " (32-bit)" : "",
                    place->root == HKEY_CURRENT_USER ? "HKCU" : "HKLM", v.path.c_str(),
                    v.name.c_str(), data.c_str());
    }
}
