// The reports written from fixture machines: the hijack scan log's line formats, the saved
// list's columns, the HTML report's escaping and links, the online-information address, and
// the settings export restored through Wine's own regedit.
#include "kxtest.h"
#include "waits.h"
#include "../explorer/reportsave.h"
#include "datapaths.h"
#include "message_watch.h"
#include "program.h"
#include "reportswitch.h"
#include "writefault.h"
#include "delaystart.h"
#include "handles.h"
#include "hijacklog.h"
#include "keys.h"
#include "options.h"
#include "registry.h"
#include "onlineinfo.h"
#include "realhives.h"
#include "ostext.h"
#include "reportfile.h"
#include "reportlog.h"
#include "regexport.h"
#include "savedlist.h"
#include <cstring>
#include <fstream>
#include <map>

namespace {

const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kScript[] = "<script>alert(1)</script>";

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A line that starts with start (what follows is the publisher of its program).
bool HasLineStarting(const std::vector<std::string>& lines, const std::string& start)
{
    for (const std::string& line : lines)
        if (line.rfind(start, 0) == 0)
            return true;
    return false;
}

size_t Count(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        n++;
    return n;
}

// Fields of one CSV line read as RFC 4180 does.
std::vector<std::string> CsvFields(const std::string& line)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); i++) {
        char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"')
            fields.back() += line[++i];
        else if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            fields.emplace_back();
        else
            fields.back() += c;
    }
    return fields;
}

std::vector<std::pair<std::string, std::string>> g_opened;
int RecordOpen(const char* verb, const char* target)
{
    g_opened.emplace_back(verb, target);
    return 1;
}

std::string Fixture(const char* name) { return TestProgramFolder() + "\\" + name; }

}   // namespace

class ReportsTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        g_opened.clear();
        SetReportShellHook(RecordOpen);
        SYSTEMTIME noon = {2026, 12, 3, 9, 12, 30, 0, 0};
        SetReportClock(&noon);
        ForgetKey(HKEY_CURRENT_USER, kRun);
    }
    void TearDown() override
    {
        SetReportShellHook(nullptr);
        SetReportClock(nullptr);
        KxTest::TearDown();
    }
    void Value(HKEY root, const std::string& path, const std::string& name, const std::string& data,
               DWORD type = REG_SZ)
    {
        SaveValue(root, path, name);
        WriteValueText(root, path, name, data, type);
    }
    void Number(HKEY root, const std::string& path, const char* name, DWORD number)
    {
        SaveValue(root, path, name);
        HKEY key;
        RegCreateKeyA(root, path.c_str(), &key);
        RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE*)&number, 4);
        RegCloseKey(key);
    }
    // Imports a registry script with Wine's own regedit, as the user would.
    void Regedit(const std::string& path)
    {
        char windows[MAX_PATH];
        GetWindowsDirectoryA(windows, sizeof(windows));
        std::string command = std::string(windows) + "\\regedit.exe /s \"" + path + "\"";
        PROCESS_INFORMATION pi;
        ASSERT_TRUE(StartTestProgram(command, &pi));
        WaitForSingleObject(pi.hProcess, 30000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    std::string Report(int (*write)(const char*), const char* name)
    {
        std::string path = TempPath(name);
        EXPECT_EQ(1, write(path.c_str()));
        return ReadTextFile(path);
    }
};

TEST_F(ReportsTest, StampsUseTheTwelveHourClockAndMonthFirstDates)
{
    const struct { WORD hour, minute, month, day; const char *time, *date; } rows[] = {
        {12, 30, 12, 9, "12:30:00 PM", "12/09/2026"}, {13, 5, 1, 5, " 1:05:00 PM", " 1/05/2026"},
        {0, 10, 7, 31, "12:10:00 AM", " 7/31/2026"}, {11, 59, 10, 1, "11:59:00 AM", "10/01/2026"}};
    for (const auto& r : rows) {
        SYSTEMTIME t = {2026, r.month, 0, r.day, r.hour, r.minute, 0, 0};
        char timeText[16], dateText[16];
        StampTexts(t, timeText, dateText);
        EXPECT_STREQ(r.time, timeText);
        EXPECT_STREQ(r.date, dateText);
    }
}

TEST_F(ReportsTest, OsTextNamesEachPlatformAndEdition)
{
    struct Row { DWORD platform, major, minor, build; const char* csd; WORD sp, suite; BYTE product;
                 int extended, tablet; const char* text; };
    const Row rows[] = {
        {2, 5, 1, 2600, "Service Pack 2", 2, 0x200, 1, 1, 0,
         "Windows XP SP2 Home Edition Service Pack 2 (Build 2600)"},
        {2, 5, 1, 2600, "", 0, 0, 1, 1, 1, "Windows XP Tablet PC Edition  (Build 2600)"},
        {2, 5, 2, 3790, "", 0, 2, 3, 1, 0, "Windows Server 2003 family, Enterprise Edition  (Build 3790)"},
        {2, 5, 2, 3790, "", 0, 0x400, 3, 1, 0, "Windows Server 2003 family, Web Edition  (Build 3790)"},
        {2, 5, 0, 2195, "Service Pack 4", 0, 0x80, 2, 1, 0,
         "Windows 2000 Datacenter Server Service Pack 4 (Build 2195)"},
        {2, 4, 0, 1381, "Service Pack 5", 0, 0, 1, 1, 0,
         "Windows NT Workstation 4.0 Service Pack 5 (Build 1381)"},
        {1, 4, 0, 950, " C", 0, 0, 0, 0, 0, "Microsoft Windows 95 OSR2 "},
        {1, 4, 10, 2222, " A", 0, 0, 0, 0, 0, "Microsoft Windows 98 SE "},
        {1, 4, 90, 3000, "", 0, 0, 0, 0, 0, "Microsoft Windows Millennium Edition"},
        {0, 1, 0, 0, "", 0, 0, 0, 0, 0, "Microsoft Win32s"},
    };
    for (const Row& r : rows) {
        OsFacts f = {};
        f.version.dwPlatformId = r.platform;
        f.version.dwMajorVersion = r.major;
        f.version.dwMinorVersion = r.minor;
        f.version.dwBuildNumber = r.build;
        lstrcpyA(f.version.szCSDVersion, r.csd);
        f.version.wServicePackMajor = r.sp;
        f.version.wSuiteMask = r.suite;
        f.version.wProductType = r.product;
        f.extended = r.extended;
        f.tabletPc = r.tablet;
        char text[256];
        OsTextFor(f, text, sizeof(text));
        EXPECT_STREQ(r.text, text);
    }
}

TEST_F(ReportsTest, HijackLogWritesEachSectionInItsFormat)
{
    const std::string ie = "Software\\Microsoft\\Internet Explorer";
    const std::string policies = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
    const std::string ext = ie + "\\Extensions\\{5E1B7C40-0A11-4F00-9A00-00000000E001}";
    ForgetKey(HKEY_CURRENT_USER, ie + "\\MenuExt\\KX Menu");
    ForgetKey(HKEY_CURRENT_USER, ext);
    ForgetKey(HKEY_CURRENT_USER, ie + "\\Desktop\\Components");
    ForgetKey(HKEY_LOCAL_MACHINE, ie + "\\Plugins\\Extension\\.kxp");
    Value(HKEY_CURRENT_USER, kRun, kScript, "C:\\kx\\evil.exe /s");
    Value(HKEY_CURRENT_USER, ie + "\\Main", "Start Page", "http://start.example/");
    Value(HKEY_LOCAL_MACHINE, ie + "\\Main", "Window Title", "Owned");
    Value(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "Load",
          "kxload.exe");
    Value(HKEY_CURRENT_USER, "Control Panel\\don't load", "inetcpl.cpl", "No");
    Number(HKEY_CURRENT_USER, policies, "DisableTaskMgr", 1);
    Number(HKEY_CURRENT_USER, policies, "DisableRegEdit", 0);
    Value(HKEY_CURRENT_USER, ie + "\\MenuExt\\KX Menu", "", "res://kx.dll/menu.htm");
    Value(HKEY_CURRENT_USER, ext, "ButtonText", "KX Button");
    Value(HKEY_CURRENT_USER, ext, "Exec", "C:\\kx\\button.exe");
    Value(HKEY_CURRENT_USER, ext, "MenuText", "KX Tools");
    Value(HKEY_LOCAL_MACHINE, ie + "\\Plugins\\Extension\\.kxp", "Location", "C:\\kx\\np.dll");
    Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\DefaultPrefix",
          "", "http://search.example/?q=");
    Value(HKEY_CURRENT_USER, ie + "\\Styles", "User Stylesheet", "C:\\kx\\sheet.css");
    for (int i = 0; i < 10; i++) {
        std::string key = ie + "\\Desktop\\Components\\" + std::to_string(i);
        WriteValueText(HKEY_CURRENT_USER, key, "FriendlyName",
                       i == 1 ? "Current Home Page" : "Component " + std::to_string(i));
        WriteValueText(HKEY_CURRENT_USER, key, "Source", "about:" + std::to_string(i));
    }
    Number(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update",
           "AUOptions", 4);
    AddDelayedProgram("C:\\KX\\LATER.EXE", 0);
    const std::string driver = "SYSTEM\\CurrentControlSet\\Services\\KxReportDriver";
    ForgetKey(HKEY_LOCAL_MACHINE, driver);
    Value(HKEY_LOCAL_MACHINE, driver, "ImagePath", "\\??\\C:\\kx\\kxrep.sys");
    Value(HKEY_LOCAL_MACHINE, driver, "DisplayName", "KX Report Driver");
    Number(HKEY_LOCAL_MACHINE, driver, "Type", SERVICE_KERNEL_DRIVER);

    std::string text = Report(WriteHijackScanLogTo, "HijackKestrix.log");
    std::vector<std::string> lines = Lines(text);
    ASSERT_GT(lines.size(), 8u);
    EXPECT_EQ(0u, lines[0].rfind("Log created by Kestrix version ", 0)) << lines[0];
    EXPECT_EQ("Scan saved at 12:30:00 PM, on 12/09/2026", lines[1]);
    EXPECT_EQ(0u, lines[2].rfind("Platform: Windows ", 0)) << lines[2];
    EXPECT_EQ(0u, lines[3].rfind("MSIE: ", 0)) << lines[3];
    EXPECT_EQ("Boot mode: Normal", lines[4]);
    EXPECT_EQ("Running processes:", lines[6]);
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    CharUpperA(self);
    EXPECT_TRUE(HasLine(lines, self)) << self;

    const char* const present[] = {
        "R0 - HKCU\\Software\\Microsoft\\Internet Explorer\\Main,Start Page = http://start.example/",
        "R0 - HKLM\\Software\\Microsoft\\Internet Explorer\\Main,Window Title = Owned",
        "F3 - HKCU Load=kxload.exe",
        "O4 - HKCU\\..\\Run: [<script>alert(1)</script>]C:\\kx\\evil.exe /s  (File not found)",
        "O5 - control.ini: inetcpl.cpl=No",
        "O7 - HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System, DisableTaskMgr =1",
        "O8 - Extra context menu item: KX Menu - res://kx.dll/menu.htm",
        "O9 - Extra button: KX Button - {5E1B7C40-0A11-4F00-9A00-00000000E001} - C:\\kx\\button.exe (HKCU)",
        "O9 - Extra 'Tools' menuitem: KX Tools - {5E1B7C40-0A11-4F00-9A00-00000000E001} - C:\\kx\\button.exe (HKCU)",
        "O12 - Plugin for .kxp: C:\\kx\\np.dll",
        "O13 - DefaultPrefix: http://search.example/?q=",
        "O19 -  User style sheet: C:\\kx\\sheet.css",
        "O24 -  Desktop Component 0: Component 0 - about:0",
        "O24 -  Desktop Component 8: Component 8 - about:8",
        "---  Additional Kestrix Info  ---",
        "KX03 - Windows Automatic Update = 4:Automatically download recommended updates for my "
        "computer and install them.",
        "KX08 - HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\DefaultPrefix: Default = "
        "http://search.example/?q=",
        "--",
        "End of file",
    };
    for (const char* line : present)
        EXPECT_TRUE(HasLine(lines, line)) << line;
    EXPECT_EQ(std::string::npos, text.find("DisableRegEdit")) << "a zero policy is no finding";
    EXPECT_EQ(std::string::npos, text.find("Current Home Page"));
    EXPECT_EQ(std::string::npos, text.find("Desktop Component 9"));
    EXPECT_NE(std::string::npos, text.find("KX06 - Delayed Start: [")) << "delayed program";
    // Drivers have their own lines whatever the Services page shows; the saved list follows it.
    EXPECT_NE(std::string::npos,
              text.find("O61 - Driver: KX Report Driver (Kernel driver) -  - C:\\kx\\kxrep.sys"));
    for (const char* show : {"0", "1"}) {
        WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "ShowDrivers", show);
        std::string csv = Report(WriteSavedListTo, "KestrixLog.csv");
        EXPECT_EQ(show[0] == '1',
                  csv.find("\"Drivers\",\"Kernel driver\",\"KX Report Driver\"") != std::string::npos)
            << csv;
    }
    EXPECT_NE(std::string::npos, text.find("Memory currently in use: "));
    EXPECT_EQ(text.size() - 2, text.rfind("\r\n")) << "every line ends in CR LF";
}

// Hooks 32-bit programs installed in the registry view 64-bit Windows keeps for them get lines
// of their own, marked "(32-bit)"; one the program's own view holds alike is listed once.
TEST_F(ReportsTest, ThirtyTwoBitViewHooksHaveTheirOwnLines)
{
    const std::string cv = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    const std::string delayLoad = cv + "\\ShellServiceObjectDelayLoad";
    const std::string shared = cv + "\\Explorer\\SharedTaskScheduler";
    const std::string bho = cv + "\\Explorer\\Browser Helper Objects";
    const std::string windows = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
    const char kClass[] = "{5E1B7C40-0A11-4F00-9A00-0000000032B1}";
    const std::string classKey = std::string("CLSID\\") + kClass;
    struct Write {
        REGSAM view;
        HKEY root;
        std::string key;
        const char* name;
        const char* data;
    };
    const Write writes[] = {
        {KEY_WOW64_32KEY, HKEY_CLASSES_ROOT, classKey, "", "KX Hook32"},
        {KEY_WOW64_32KEY, HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", "", "C:\\kx\\hook32.dll"},
        {KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, delayLoad, "KxDelay32", kClass},
        {KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, delayLoad, "KxDelayBoth", kClass},
        {0, HKEY_LOCAL_MACHINE, delayLoad, "KxDelayBoth", kClass},
        {KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, shared, kClass, "KX Tasks32"},
        {KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, bho + "\\" + kClass, nullptr, nullptr},
        {KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, windows, "AppInit_DLLs", "C:\\kx\\init32.dll"},
    };
    std::string savedAppInit;
    {
        RegKey key;
        char text[1024] = "";
        DWORD size = sizeof(text) - 1;
        if (key.open(HKEY_LOCAL_MACHINE, windows.c_str(), KEY_READ | KEY_WOW64_32KEY) &&
            RegQueryValueExA(key.get(), "AppInit_DLLs", nullptr, nullptr, (BYTE*)text, &size) == 0)
            savedAppInit = text;
    }
    auto clean = [&] {
        for (const Write& w : writes) {
            RegKey key;
            if (!w.name) {
                RegDeleteKeyExA(w.root, w.key.c_str(), w.view, 0);
            } else if (key.open(w.root, w.key.c_str(), KEY_ALL_ACCESS | w.view)) {
                if (!strcmp(w.name, "AppInit_DLLs"))
                    RegSetValueExA(key.get(), w.name, 0, REG_SZ, (const BYTE*)savedAppInit.c_str(),
                                   (DWORD)savedAppInit.size() + 1);
                else
                    RegDeleteValueA(key.get(), w.name);
            }
        }
        RegDeleteKeyExA(HKEY_CLASSES_ROOT, (classKey + "\\InprocServer32").c_str(), KEY_WOW64_32KEY, 0);
        RegDeleteKeyExA(HKEY_CLASSES_ROOT, classKey.c_str(), KEY_WOW64_32KEY, 0);
    };
    clean();
    for (const Write& w : writes) {
        RegKey key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(w.root, w.key.c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS | w.view, nullptr, key.out(), nullptr))
            << w.key;
        if (w.name)
            RegSetValueExA(key.get(), w.name, 0, REG_SZ, (const BYTE*)w.data, (DWORD)strlen(w.data) + 1);
    }
    std::string text = Report(WriteHijackScanLogTo, "HijackKestrix.log");
    clean();
    std::vector<std::string> lines = Lines(text);
    // Lines naming a program end with its publisher (the library is not there).
    const std::string missing = "  (File not found)";
    const std::string tail = std::string(" - KX Hook32 - ") + kClass + " - C:\\kx\\hook32.dll" + missing;
    for (const std::string& line :
         {"O2 - BHO (32-bit): KX Hook32 - " + std::string(kClass) + " - C:\\kx\\hook32.dll" + missing,
          std::string("O20 - AppInit_DLLs (32-bit): C:\\kx\\init32.dll"), "O21 - KxDelay32 (32-bit)" + tail,
          "O22 - SharedTaskScheduler (32-bit): (KX Hook32) - " + std::string(kClass) +
              " - C:\\kx\\hook32.dll" + missing})
        EXPECT_TRUE(HasLine(lines, line)) << line;
    // The value both views hold alike: its class is only in the 32-bit view, so the own view's
    // line is left out for want of a server, and the 32-bit one for being the same value.
    EXPECT_EQ(std::string::npos, text.find("KxDelayBoth"));
}

TEST_F(ReportsTest, SystemIniShellAndUserInitGiveF0AndF2Lines)
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof(windows));
    std::string ini = std::string(windows) + "\\system.ini";
    char shell[512] = "", userInit[512] = "";
    GetPrivateProfileStringA("Boot", "Shell", "", shell, sizeof(shell), ini.c_str());
    GetPrivateProfileStringA("Boot", "UserInit", "", userInit, sizeof(userInit), ini.c_str());
    const struct { const char *shell, *userInit, *f0, *f2; } rows[] = {
        {"explorer.exe", "", nullptr, nullptr},
        {"Explorer.exe kxhide.exe", "C:\\kx\\init.exe,", "F0 - system.ini: Shell=Explorer.exe kxhide.exe",
         "F2 - REG: system.ini: UserInit=C:\\kx\\init.exe,"},
        {"", "userinit.exe", nullptr, "F2 - REG: system.ini: UserInit=userinit.exe"},
    };
    for (const auto& r : rows) {
        WritePrivateProfileStringA("Boot", "Shell", r.shell[0] ? r.shell : nullptr, ini.c_str());
        WritePrivateProfileStringA("Boot", "UserInit", r.userInit[0] ? r.userInit : nullptr,
                                   ini.c_str());
        std::string text = Report(WriteHijackScanLogTo, "f.log");
        std::vector<std::string> lines = Lines(text);
        EXPECT_EQ(r.f0 ? 1u : 0u, Count(text, "F0 - ")) << r.shell;
        EXPECT_EQ(r.f2 ? 1u : 0u, Count(text, "F2 - ")) << r.userInit;
        if (r.f0) {
            EXPECT_TRUE(HasLine(lines, r.f0)) << r.f0;
        }
        if (r.f2) {
            EXPECT_TRUE(HasLine(lines, r.f2)) << r.f2;
        }
    }
    WritePrivateProfileStringA("Boot", "Shell", shell[0] ? shell : nullptr, ini.c_str());
    WritePrivateProfileStringA("Boot", "UserInit", userInit[0] ? userInit : nullptr, ini.c_str());
}

TEST_F(ReportsTest, HostsLinesSkipCommentsAndLocalAddresses)
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof(windows));
    std::string hosts = std::string(windows) + "\\system32\\drivers\\etc\\hosts";
    std::string old = ReadTextFile(hosts);
    WriteTextFile(hosts, "# comment 10.0.0.1 x\r\n127.0.0.1 localhost\r\n::1 localhost\r\n"
                         "10.1.2.3\tbank.example\r\nab\r\n0.0.0.0 ads.example");
    std::string text = Report(WriteHijackScanLogTo, "h.log");
    WriteTextFile(hosts, old);
    EXPECT_EQ(1u, Count(text, "O1 - Hosts:"));
    EXPECT_NE(std::string::npos, text.find("O1 - Hosts: 10.1.2.3bank.example\r\n"));
}

TEST_F(ReportsTest, CookieLinesCountTheCookiesOfEachFolder)
{
    // The user's chosen IE folder (it holds an index.dat) with two cookie files.
    std::string folder = TempPath("Cookies");
    CreateDirectoryA(folder.c_str(), nullptr);
    for (const char* name : {"index.dat", "user@a.example[1].txt", "user@b.example[2].txt"})
        WriteTextFile(folder + "\\" + name, "x");
    SetRegValue(HKEY_CURRENT_USER, KX_KEY, "IECookieFolder", folder.c_str());
    std::string text = Report(WriteHijackScanLogTo, "h.log");
    EXPECT_NE(std::string::npos, text.find("2 IE Cookies in Folder: " + folder + "\\\r\n")) << text;
}

TEST_F(ReportsTest, SavedListKeepsNineFieldsWhateverTheTitleHolds)
{
    std::string app = Fixture("kxfx_app.exe");
    Value(HKEY_CURRENT_USER, kRun, "KX App", app);
    Value(HKEY_CURRENT_USER, kRun, "Comma, \"quoted\" title", "C:\\kx\\a,b.exe");
    Value(HKEY_CURRENT_USER, kRun, "Two\r\nlines", "C:\\kx\\two.exe");
    std::string text = Report(WriteSavedListTo, "KestrixLog.csv");
    EXPECT_EQ(0u, text.find("Log created by Kestrix version ")) << text.substr(0, 80);
    EXPECT_NE(std::string::npos, text.find("\r\nScan saved at 12:30:00 PM, on 12/09/2026\r\n"));
    EXPECT_NE(std::string::npos, text.find(
        "\r\nType,SubType,Title,Filename,Company,First Detected,Path,Description, Version\r\n"));

    // Rows are split where a quoted field does not continue.
    std::vector<std::string> rows;
    std::string row;
    for (const std::string& line : Lines(text)) {
        row += (row.empty() ? "" : "\r\n") + line;
        if (Count(row, "\"") % 2 == 0) {
            rows.push_back(row);
            row.clear();
        }
    }
    std::map<std::string, std::vector<std::string>> byTitle;
    for (size_t i = 3; i < rows.size(); i++) {
        std::vector<std::string> f = CsvFields(rows[i]);
        EXPECT_EQ(9u, f.size()) << rows[i];
        byTitle[f[2]] = f;
    }
    std::vector<std::string> expected = {"HKCU", "Run", "KX App", "KXFX_APP.EXE",
                                         "Orvane Fixtures", "", app, "Fixture App Tool", "1.2.3.4"};
    EXPECT_EQ(expected, byTitle["KX App"]);
    EXPECT_EQ("C:\\kx\\a,b.exe", byTitle["Comma, \"quoted\" title"][6]);
    EXPECT_EQ("C:\\kx\\two.exe", byTitle["Two  lines"][6]);
    EXPECT_EQ("Orvane  Fixtures", CleanField("Orvane, Fixtures", 128));
    EXPECT_EQ("abc", CleanField("abcdef", 3));
}

// Names and commands written by whoever planted a Run value: in no report can they add a line,
// a row or a key of their own, or run as a spreadsheet formula.
TEST_F(ReportsTest, HostileNamesAddNoLinesRowsKeysOrFormulasToAnyReport)
{
    const std::string forged = "O4 - HKLM\\..\\Run: [Forged]C:\\forged.exe";
    struct { std::string name, command, title; } rows[] = {
        {"=HYPERLINK(\"http://x\",\"Fix\")", "C:\\kx\\one.exe", "'=HYPERLINK(\"http://x\",\"Fix\")"},
        {"+cmd|' /C calc'!A0", "C:\\kx\\two.exe", "'+cmd|' /C calc'!A0"},
        {"-2+3", "C:\\kx\\three.exe", "'-2+3"},
        {"@SUM(1+1)", "C:\\kx\\four.exe", "'@SUM(1+1)"},
        {"\tTabbed", "C:\\kx\\five.exe", "'\tTabbed"},
        {"Lines\r\n" + forged, "C:\\kx\\six.exe\r\n=1+1", "Lines  " + forged},
    };
    for (const auto& row : rows) {
        Value(HKEY_CURRENT_USER, kRun, row.name, row.command);
        WriteValueText(HKEY_CURRENT_USER, KX_KEY "\\Run", row.name, "11");
    }
    WriteValueText(HKEY_CURRENT_USER, KX_KEY "\\Forged]\r\n[HKEY_CURRENT_USER\\Software\\Orvane\\Injected",
                   "x", "y");

    // Saved list: one physical line per row, nine quoted fields, formulas made text.
    std::string csv = Report(WriteSavedListTo, "KestrixLog.csv");
    std::map<std::string, std::vector<std::string>> byTitle;
    std::vector<std::string> lines = Lines(csv);
    for (size_t i = 3; i < lines.size(); i++) {
        std::vector<std::string> f = CsvFields(lines[i]);
        ASSERT_EQ(9u, f.size()) << lines[i];
        EXPECT_EQ('"', lines[i][0]) << lines[i];
        EXPECT_EQ(std::string::npos, lines[i].find(",=")) << lines[i];
        byTitle[f[2]] = f;
    }
    for (const auto& row : rows)
        EXPECT_EQ(1u, byTitle.count(row.title)) << row.title;
    EXPECT_EQ("C:\\kx\\six.exe  =1+1", byTitle[rows[5].title][6]);

    // Hijack log: the forged text stays inside the line of the value that holds it (which
    // ends with the publisher of its missing program).
    std::vector<std::string> log = Lines(Report(WriteHijackScanLogTo, "HijackKestrix.log"));
    EXPECT_FALSE(HasLine(log, forged));
    EXPECT_FALSE(HasLine(log, "=1+1"));
    EXPECT_TRUE(HasLine(log, "O4 - HKCU\\..\\Run: [Lines  " + forged +
                                 "]C:\\kx\\six.exe  =1+1  (File not found)"));

    // Settings export: regedit imports it whole; names it cannot read back are noted, not written.
    std::string reg = TempPath("user-Kestrix.reg");
    ASSERT_EQ(1, ExportSettingsTo(reg.c_str()));
    DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Orvane");
    ASSERT_NO_FATAL_FAILURE(Regedit(reg));
    for (const auto& row : rows) {
        bool breaks = row.name.find('\n') != std::string::npos;
        EXPECT_EQ(breaks ? "<no value>" : "11", ReadValueText(HKEY_CURRENT_USER, KX_KEY "\\Run", row.name))
            << row.name;
    }
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, KX_KEY "\\Injected"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Orvane\\Injected"));
}

TEST_F(ReportsTest, HtmlReportEscapesMachineTextAndBalancesItsLists)
{
    Value(HKEY_CURRENT_USER, kRun, kScript, "C:\\kx\\x.exe \"<b>\"");
    Value(HKEY_CURRENT_USER, kRun, "KX & Co", "C:\\Program Files\\KX & Co\\kx app.exe");
    Value(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, "kx & CO", "11");   // the index ignores case
    std::string text = Report([](const char* p) { return WriteReportLogTo(p, 1); }, "r.html");
    const std::string place = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run<br>";
    EXPECT_EQ(1u, Count(text, "\tLocation:  *    Disabled * " + place));
    EXPECT_EQ(1u, Count(text, "\tLocation: " + place));
    EXPECT_EQ(std::string::npos, text.find("<script>"));
    EXPECT_EQ(std::string::npos, text.find("x.exe <b>"));
    EXPECT_NE(std::string::npos, text.find("<li><b>&lt;script&gt;alert(1)&lt;/script&gt;</b>"));
    // The inventory lists the command without its quotes.
    EXPECT_NE(std::string::npos, text.find("\tPath:     C:\\kx\\x.exe &lt;b&gt;<br>"));
    EXPECT_NE(std::string::npos, text.find("<A href='" KX_INFO_HOST "/cgi-bin/vantainfo.pl?program="
                                           "KX%20APP.EXE&amp;vendor=&amp;version=&amp;build="));
    EXPECT_NE(std::string::npos, text.find("<b>Platform:</b> Windows "));
    for (const char* tag : {"ol", "ul", "li", "A", "b", "center", "BIG", "html", "body"})
        EXPECT_EQ(Count(text, std::string("<") + tag + ">") + Count(text, std::string("<") + tag + " "),
                  Count(text, std::string("</") + tag + ">"))
            << tag;
    for (int s = 0; s <= 7; s++)
        EXPECT_NE(std::string::npos, text.find("<A NAME=\"A" + std::to_string(s) + "\"></A>"));
    EXPECT_EQ(std::string::npos, text.find("KestrixLog.html#A7"));

    std::string plain = Report([](const char* p) { return WriteReportLogTo(p, 0); }, "r.txt");
    EXPECT_EQ(0u, plain.find("Title\tProgram\tDescription\tVersion\tCopyright\tLocation\tPath\r\n"));
    EXPECT_EQ(std::string::npos, plain.find("<br>"));
    EXPECT_NE(std::string::npos, plain.find(std::string(kScript) + "\tx.exe <b>\t"));
}

TEST_F(ReportsTest, OnlineAddressEncodesEveryValueAndPicksTheKnowledgePage)
{
    std::string app = Fixture("kxfx_app.exe");
    std::string basic = InfoAddress(INFO_BASIC, 11, app.c_str(), "");
    EXPECT_EQ(0u, basic.find(KX_INFO_HOST "/cgi-bin/vantainfo.pl?program=KXFX_APP.EXE&vendor="
                             "Orvane%20Fixtures&version=1.2.3.4&build="));
    EXPECT_NE(std::string::npos, basic.find("&Type=11&Loc=en&ext=EXE"));
    std::string extended = InfoAddress(INFO_EXTENDED, 11, app.c_str(), "");
    EXPECT_EQ(0u, extended.find(KX_INFO_HOST "/cgi-bin/vantainfo12.pl?program=KXFX_APP.EXE&"));
    EXPECT_NE(std::string::npos, extended.find("&Loc=us&ext=EXE&version=1.2.3.4&name=Fixture%20App"));
    EXPECT_NE(std::string::npos, extended.find("&path=" + UrlEncode(app.c_str())));
    EXPECT_NE(std::string::npos,
              InfoAddress(INFO_BASIC, 1, "C:\\kx\\a b&c.tar.exe", "").find("program=A%20B%26C.TAR.EXE"));
    EXPECT_NE(std::string::npos,
              InfoAddress(INFO_BASIC, 1, "C:\\kx\\a.tar.exe", "").find("&ext=TAR.EXE"));
    EXPECT_EQ("a%20b%26c%3Dd%23e%25%2B%27", UrlEncode("a b&c=d#e%+'"));

    CreateDirectoryA(TempPath("kbase").c_str(), nullptr);
    for (const char* page : {"notepad", "kxcommand", "kxsaver", "ycomp", "a"})
        WriteTextFile(TempPath("kbase\\") + page + ".html", "x");
    const struct { const char* name; const char* page; } rows[] = {
        {"NOTEPAD.EXE", "notepad"}, {"%1 %*", "kxcommand"}, {"%1 /S", "kxsaver"},
        {"ycomp2.exe", "ycomp"}, {"my-ycomp.exe", nullptr}, {"a~1,b.exe", "a"}, {".a", nullptr}, {"other.exe", nullptr}};
    for (const auto& r : rows) {
        char path[MAX_PATH + 1];
        int n = KnowledgePage(r.name, path, sizeof(path));
        if (r.page)
            EXPECT_EQ(TempPath("kbase\\") + r.page + ".html", std::string(path)) << r.name;
        else
            EXPECT_EQ(0, n) << r.name;
    }
    EXPECT_EQ(1, ShowOnlineInformation(11, "C:\\Windows\\notepad.exe", "Notepad"));
    ASSERT_EQ(1u, g_opened.size());
    EXPECT_EQ(TempPath("kbase\\notepad.html"), g_opened[0].second) << "no request was sent";
    EXPECT_EQ(1, ShowOnlineInformation(11, app.c_str(), "App"));
    ASSERT_EQ(2u, g_opened.size());
    EXPECT_EQ(basic, g_opened[1].second);
}

namespace {
int g_shellAnswer;
std::string g_shortcutText;
int RecordShortcut(const char* verb, const char* target)
{
    g_opened.emplace_back(verb, target);
    if (g_opened.size() == 1)
        g_shortcutText = ReadTextFile(target);
    return g_shellAnswer;
}
}   // namespace

TEST_F(ReportsTest, ExtendedFormOpensTheAddressThroughTempUrl)
{
    std::string app = Fixture("kxfx_app.exe");
    std::string address = InfoAddress(INFO_EXTENDED, 11, app.c_str(), "App");
    SetReportShellHook(RecordShortcut);
    SetOption("VantaFormat", 1);
    // shell answer, BrowserFailure, result, calls (the second one runs Internet Explorer)
    const struct { int answer, browserFailure, result; size_t calls; } rows[] = {
        {1, 1, 1, 1}, {0, 0, 0, 1}, {0, 1, 0, 2}};
    for (const auto& r : rows) {
        g_opened.clear();
        g_shortcutText.clear();
        g_shellAnswer = r.answer;
        SetOption("BrowserFailure", r.browserFailure);
        EXPECT_EQ(r.result, ShowOnlineInformation(11, app.c_str(), "App"));
        ASSERT_EQ(r.calls, g_opened.size());
        EXPECT_EQ("open", g_opened[0].first);
        EXPECT_EQ(TempPath("temp.url"), g_opened[0].second);
        EXPECT_NE(std::string::npos, g_shortcutText.find("URL=" + address)) << g_shortcutText;
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(TempPath("temp.url").c_str()))
            << "the shortcut is deleted after use";
        if (r.calls == 2) {
            EXPECT_EQ("winexec", g_opened[1].first);
            EXPECT_NE(std::string::npos, g_opened[1].second.find("\" " + address));
        }
    }
}

TEST_F(ReportsTest, DefaultBrowserIsTheProgramOfTheHttpCommand)
{
    const char* key = "SOFTWARE\\Classes\\HTTP\\shell\\open\\command";
    const struct { const char* command; const char* path; int kind; } rows[] = {
        {"\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\" -url \"%1\"",
         "C:\\Program Files\\Mozilla Firefox\\firefox.exe", 3},
        {"\"C:\\Program Files\\Some-Browser\\avant.exe\" \"%1\"",
         "C:\\Program Files\\Some-Browser\\avant.exe", 5},
        {"C:\\Netscape\\netscp.exe -h %1", "C:\\Netscape\\netscp.exe", 2},
        {"C:\\other\\browse -url", "C:\\other\\browse", 1}};
    for (const auto& r : rows) {
        Value(HKEY_LOCAL_MACHINE, key, "", r.command);
        char path[512];
        DefaultBrowserPath(path, sizeof(path));
        EXPECT_STREQ(r.path, path) << r.command;
        EXPECT_EQ(r.kind, DefaultBrowserKind()) << r.command;
    }
}

TEST_F(ReportsTest, ExportRestoresEveryValueInItsTypeThroughRegedit)
{
    struct Item { HKEY root; std::string key, name; DWORD type; std::string data; };
    std::string big(5000, 'x');
    const std::vector<Item> items = {
        {HKEY_CURRENT_USER, KX_KEY, "", REG_SZ, "12/09/2026"},
        {HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Format", REG_SZ, "1"},
        {HKEY_CURRENT_USER, KX_KEY "\\Run", "C:\\Path \"with\" quotes", REG_SZ, "C:\\a\\b.exe \"x\""},
        {HKEY_CURRENT_USER, KX_DELAY_KEY "\\Time", "C:\\KX\\LATER.EXE", REG_SZ, "30"},
        {HKEY_CURRENT_USER, KX_DELAY_KEY "\\Title", "Long", REG_SZ, big},
        {HKEY_CURRENT_USER, KX_DISABLED_KEY "\\Run", std::string(300, 'n'), REG_EXPAND_SZ,
         "%SystemRoot%\\kx.exe"},
        {HKEY_CURRENT_USER, KX_DISABLED_KEY "\\Run\\Deep\\Deeper", "Multi", REG_MULTI_SZ,
         std::string("one\0two\0\0", 9)},
        {HKEY_CURRENT_USER, KX_KEY "\\Bytes", "Bin", REG_BINARY, std::string("\x00\xff\x10", 3)},
        {HKEY_CURRENT_USER, KX_KEY "\\Bytes", "Word", REG_DWORD, std::string("\x78\x56\x34\x12", 4)},
        {HKEY_CURRENT_USER, KX_KEY "\\Bytes", "Lines", REG_SZ, std::string("a\r\nb")},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvane\\Kestrix\\Sysfiles\\HOSTS", "Size", REG_SZ, "734"},
    };
    auto write = [](const Item& it) {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(it.root, it.key.c_str(), &key));
        DWORD size = (DWORD)it.data.size() + (it.type == REG_SZ || it.type == REG_EXPAND_SZ ? 1 : 0);
        RegSetValueExA(key, it.name.c_str(), 0, it.type, (const BYTE*)it.data.c_str(), size);
        RegCloseKey(key);
    };
    for (const Item& it : items)
        write(it);
    std::string path = TempPath("user-Kestrix.reg");
    ASSERT_EQ(1, ExportSettingsTo(path.c_str()));
    std::string wide = ReadTextFile(path), text;
    ASSERT_EQ(0u, wide.find("\xff\xfe"));
    for (size_t i = 2; i + 1 < wide.size(); i += 2)
        text += wide[i];
    EXPECT_EQ(0u, text.find("Windows Registry Editor Version 5.00\r\n\r\n"
                            "[HKEY_CURRENT_USER\\Software\\Orvane\\Kestrix]\r\n@=\"12/09/2026\"\r\n"));
    EXPECT_NE(std::string::npos, text.find("\r\n\"Word\"=dword:12345678\r\n"));
    EXPECT_NE(std::string::npos, text.find("\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane]\r\n"));

    DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Orvane");
    DeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Orvane");
    ASSERT_NO_FATAL_FAILURE(Regedit(path));

    for (const Item& it : items) {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(it.root, it.key.c_str(), 0, KEY_READ, &key)) << it.key;
        std::vector<char> data(8192);
        DWORD size = (DWORD)data.size(), type = 0;
        LONG rc = RegQueryValueExA(key, it.name.c_str(), nullptr, &type, (BYTE*)data.data(), &size);
        RegCloseKey(key);
        ASSERT_EQ(ERROR_SUCCESS, rc) << it.key << " " << it.name;
        EXPECT_EQ(it.type, type) << it.name;
        EXPECT_EQ(it.data, std::string(data.data(), strnlen(data.data(), size) == size ||
                                        it.type == REG_MULTI_SZ || it.type == REG_BINARY ||
                                        it.type == REG_DWORD ? size : strnlen(data.data(), size)))
            << it.name;
    }
}

TEST_F(ReportsTest, RealUsersRunValuesAppearInTheLogAndTheList)
{
    KX_REQUIRE_REAL_HIVES(folder);
    std::map<std::string, std::string> values;   // a later file's value replaces an earlier one
    for (const char* file : {"plaso_NTUSER-RunTests.reg", "plaso_NTUSER-WIN7.reg",
                             "plaso_NTUSER.reg", "regipy_NTUSER.reg"}) {
        std::ifstream in(folder + "\\" + file);
        std::string line, section;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.rfind("[", 0) == 0)
                section = line;
            size_t eq = line.find("\"=\"");
            if (section != std::string("[HKEY_CURRENT_USER\\") + kRun + "]" || line[0] != '"' ||
                eq == std::string::npos)
                continue;   // string values only
            std::string name = RegFileUnescape(line.substr(1, eq - 1));
            values[name] = RegFileUnescape(line.substr(eq + 3, line.size() - eq - 4));
            WriteValueText(HKEY_CURRENT_USER, kRun, name, values[name]);
        }
    }
    ASSERT_FALSE(values.empty());
    std::vector<std::string> log = Lines(Report(WriteHijackScanLogTo, "h.log"));
    for (auto v : values) {
        v.second.erase(std::remove(v.second.begin(), v.second.end(), '"'), v.second.end());
        EXPECT_TRUE(HasLineStarting(log, "O4 - HKCU\\..\\Run: [" + v.first + "]" + v.second + "  ("))
            << v.first;
    }
    std::vector<std::string> list = Lines(Report(WriteSavedListTo, "l.csv"));
    for (size_t i = 3; i < list.size(); i++)
        EXPECT_EQ(9u, CsvFields(list[i]).size()) << list[i];
}

// Who signed each program: a line of the HTML report (red when the signature is broken) and
// the end of the program's hijack-log line, whatever the command itself claims.
TEST_F(ReportsTest, ReportsNameWhoSignedEachProgram)
{
    Value(HKEY_CURRENT_USER, kRun, "KxSigned", Fixture("kxfx_signed.exe"));
    Value(HKEY_CURRENT_USER, kRun, "KxBroken", Fixture("kxfx_broken.exe"));
    const std::string fake = Fixture("kxfx_app.exe") + " -x  (Verified) Microsoft Windows";
    Value(HKEY_CURRENT_USER, kRun, "KxFake", fake);
    std::string html = Report([](const char* p) { return WriteReportLogTo(p, 1); }, "r.html");
    EXPECT_NE(std::string::npos, html.find("\tPublisher: (Verified) Kestrix Test Signer<br>\r\n"));
    EXPECT_NE(std::string::npos,
              html.find("\tPublisher: <b><font color=red>(Signature broken)</font></b><br>\r\n"));
    EXPECT_NE(std::string::npos, html.find("\tPublisher: (Not verified) Orvane Fixtures<br>\r\n"));

    std::vector<std::string> log = Lines(Report(WriteHijackScanLogTo, "h.log"));
    EXPECT_TRUE(HasLine(log, "O4 - HKCU\\..\\Run: [KxSigned]" + Fixture("kxfx_signed.exe") +
                                 "  (Verified) Kestrix Test Signer"));
    EXPECT_TRUE(HasLine(log, "O4 - HKCU\\..\\Run: [KxBroken]" + Fixture("kxfx_broken.exe") +
                                 "  (Signature broken)"));
    EXPECT_TRUE(HasLine(log, "O4 - HKCU\\..\\Run: [KxFake]" + fake + "  (Not verified)"));
}

TEST_F(ReportsTest, CommandLineWritesTheReportAndEndsWithItsExitCode)
{
    std::string tests = TestProgramFolder();
    std::string explorer = tests.substr(0, tests.find_last_of('\\')) + "\\KestrixEx.exe";
    auto run = [&](const std::string& args) {
        PROCESS_INFORMATION pi;
        if (!StartTestProgram("\"" + explorer + "\" " + args, &pi))
            return -1;
        WaitForSingleObject(pi.hProcess, 120000);
        DWORD code = 99;
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return (int)code;
    };
    std::string log = TempPath("cmd log.txt"), list = TempPath("list.csv");
    EXPECT_EQ(0, run("-WriteLog \"" + log + "\""));
    EXPECT_EQ(0u, ReadTextFile(log).find("Log created by Kestrix version "));
    EXPECT_EQ(0, run("-writelist " + list));
    EXPECT_NE(std::string::npos, ReadTextFile(list).find("\r\nType,SubType,Title,"));
    EXPECT_EQ(1, run("-WriteLog " + TempPath("missing\\x.log")));
    EXPECT_EQ(2, run("-WriteList"));
    std::string report = TempPath("the report.html");
    EXPECT_EQ(0, run("-WriteReport \"" + report + "\""));
    EXPECT_NE(std::string::npos, ReadTextFile(report).find("<H2 align='center'> Kestrix Report Log </H2>"));
    EXPECT_EQ(1, run("-WriteReport " + TempPath("missing\\r.html")));
    EXPECT_EQ(2, run("-WriteReport"));
    EXPECT_EQ(nullptr, FindWindowA("KestrixEx", nullptr));
}

namespace {
std::string g_offeredName, g_offeredFolder, g_chosenPath;
BOOL ChoosePath(OPENFILENAMEA* dialog)
{
    g_offeredName = dialog->lpstrFile;
    g_offeredFolder = dialog->lpstrInitialDir ? dialog->lpstrInitialDir : "";
    if (g_chosenPath.empty())
        return FALSE;   // the user cancelled
    lstrcpynA(dialog->lpstrFile, g_chosenPath.c_str(), dialog->nMaxFile);
    return TRUE;
}
}   // namespace

// Every report offers its usual name in the user's Documents folder; what the user picks is
// written and opened (the settings export says where), a cancel writes nothing, and a folder
// Windows refuses is told with the path, never silently dropped.
TEST_F(ReportsTest, SaveAsOffersTheUsualNameInDocumentsAndARefusedWriteIsTold)
{
    SetSaveDialogHook(ChoosePath);
    char documents[MAX_PATH] = "", user[228] = "";
    ASSERT_TRUE(DocumentsFolder(documents, sizeof(documents)));
    DWORD length = sizeof(user);
    GetUserNameA(user, &length);
    const std::string refused = std::string(ProgramFolder()) + "\\kx refused report";
    const struct {
        int kind;
        const char* format;   // the Format option, for the report log
        std::string name;
        const char* begins;   // what the written file starts with
    } kKinds[] = {
        {REPORT_LOG, "0", "KestrixLog.html", "<html>"},
        {REPORT_LOG, "1", "KestrixLog.txt", "Title\tProgram"},
        {REPORT_LIST, "0", "KestrixLog.csv", ""},
        {REPORT_HIJACK, "0", "HijackKestrix.log", "Log created by Kestrix version "},
        {REPORT_SETTINGS, "0", std::string(user) + "-Kestrix.reg", "\xff\xfe"},
    };
    for (const auto& k : kKinds) {
        SCOPED_TRACE(k.name);
        WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Format", k.format);
        g_opened.clear();

        g_chosenPath.clear();
        EXPECT_EQ(0, SaveReport(nullptr, k.kind));
        EXPECT_EQ(k.name, g_offeredName);
        EXPECT_EQ(documents, g_offeredFolder);
        EXPECT_TRUE(g_opened.empty());

        g_chosenPath = TempPath("chosen " + k.name);
        {
            MessageWatch where(nullptr, IDOK);
            EXPECT_EQ(1, SaveReport(nullptr, k.kind));
            if (k.kind == REPORT_SETTINGS) {
                where.Wait();
                EXPECT_NE(std::string::npos, where.text.find(g_chosenPath)) << where.text;
            } else {
                EXPECT_FALSE(where.Stop()) << where.text;
                ASSERT_EQ(1u, g_opened.size());
                EXPECT_EQ(g_chosenPath, g_opened[0].second);
            }
        }
        EXPECT_EQ(0u, ReadTextFile(g_chosenPath).find(k.begins));

        g_opened.clear();
        g_chosenPath = refused;
        SetDeniedPlaces(PLACE_PROGRAM_FOLDER);
        {
            MessageWatch told(nullptr, IDOK);
            EXPECT_EQ(0, SaveReport(nullptr, k.kind));
            told.Wait();
            EXPECT_NE(std::string::npos, told.text.find(refused + " could not be written")) << told.text;
        }
        SetDeniedPlaces(0);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(refused.c_str()));
        EXPECT_TRUE(g_opened.empty());
    }
    SetSaveDialogHook(nullptr);
}

// The switches write where they are told; a place Windows refuses ends with exit code 1 and
// the path and the system's reason on standard error.
TEST_F(ReportsTest, ReportSwitchIntoARefusedPlaceSaysWhyAndFails)
{
    const std::string refused = std::string(ProgramFolder()) + "\\kx switch report.html";
    const std::string errors = TempPath("errors.txt");
    for (const char* name : {"-WriteReport", "-WriteLog", "-WriteList"}) {
        SCOPED_TRACE(name);
        Handle file(CreateFileA(errors.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(file);
        HANDLE before = GetStdHandle(STD_ERROR_HANDLE);
        SetStdHandle(STD_ERROR_HANDLE, file.get());
        SetDeniedPlaces(PLACE_PROGRAM_FOLDER);
        int exitCode = -1;
        int ran = RunReportSwitch((std::string(name) + " \"" + refused + "\"").c_str(), &exitCode);
        SetDeniedPlaces(0);
        SetStdHandle(STD_ERROR_HANDLE, before);
        file.reset();
        EXPECT_EQ(1, ran);
        EXPECT_EQ(1, exitCode);
        std::string said = ReadTextFile(errors);
        EXPECT_EQ(0u, said.find("Cannot write " + refused + ": ")) << said;
        EXPECT_GT(said.size(), ("Cannot write " + refused + ": \r\n").size()) << "the reason is given";
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(refused.c_str()));
    }
}
