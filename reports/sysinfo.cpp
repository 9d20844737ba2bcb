// The system-information block at the head of the report log.
#include "reportlog.h"
#include "cookielines.h"
#include "onlineinfo.h"
#include "ostext.h"
#include "pathutil.h"
#include "reportfile.h"
#include "reportreg.h"
#include "resstring.h"
#include "versioninfo.h"

void SystemInformation(std::string& out, int html)
{
    const char* L = html ? "<br>\r\n" : "\r\n";
    auto text = [html](const std::string& s) { return html ? HtmlEscape(s.c_str()) : OneLine(s.c_str()); };
    char caption[128] = "", version[600], timeText[16], dateText[16], os[256];
    LoadResString(2, caption, sizeof(caption));
    GetProgramVersionText(version, sizeof(version));
    StampTexts(ReportNow(), timeText, dateText);
    AppendF(out, "Report created by %s version %s at %s, on %s%s%s", text(caption).c_str(),
            text(version).c_str(), timeText, dateText, L, L);
    OsText(os, sizeof(os));
    AppendF(out, html ? "<b>Platform:</b> %s%s" : "Platform: %s%s", text(os).c_str(), L);

    char browser[512];
    DefaultBrowserPath(browser, sizeof(browser));
    VersionStrings v;
    if (browser[0] && GetFileAttributesA(browser) != INVALID_FILE_ATTRIBUTES) {
        GetVersionStrings(browser, &v);
        AppendF(out, html ? "<b>Browser:</b> %s - <i>%s</i> version %s%s" : "Browser: %s - %s version %s%s",
                text(v.slot[VS_PRODUCT_NAME]).c_str(), text(v.slot[VS_FILE_DESCRIPTION]).c_str(),
                text(v.slot[VS_PRODUCT_VERSION]).c_str(), L);
    } else {
        AppendF(out, "Browser: Unable to find default browser.%s", L);
    }
    MEMORYSTATUSEX memory = {};
    memory.dwLength = sizeof(memory);
    GlobalMemoryStatusEx(&memory);
    AppendF(out, "Memory currently in use: %ld%%%s%s", (long)memory.dwMemoryLoad, L,
            html ? "<br>" : "");

    char ie[MAX_PATH + 16];
    InternetExplorerFile("IExplore.exe", ie, sizeof(ie));
    if (ie[0] && GetFileAttributesA(ie) != INVALID_FILE_ATTRIBUTES) {
        GetVersionStrings(ie, &v);
        char cookies[MAX_PATH + 1];
        ReportIeCookieFolder(cookies, sizeof(cookies));
        AppendF(out, "MSIE: %s (%s)%sIE Cookie Path: %s %s", text(v.slot[VS_FILE_DESCRIPTION]).c_str(),
                text(v.slot[VS_PRODUCT_VERSION]).c_str(), L, text(cookies).c_str(), L);
    } else {
        AppendF(out, "MSIE: Internet Explorer Not found.%s", L);
    }
    out += "\r\n";

    const struct { const char* file; const char* format; } kBrowsers[] = {
        {"AOL.EXE", "America Online version %s"}, {"firefox.exe", "Firefox %s installed in %s"},
        {"Mozilla.exe", "Mozilla %s installed in %s"}, {"Netscp.exe", "Netscape %s installed in %s"}};
    for (const auto& b : kBrowsers) {
        char found[128], folder[260];
        if (!GetAppPath(b.file, found, folder))
            continue;
        AppendF(out, b.format, text(found).c_str(), text(folder).c_str());
        out += L;
    }
    out += L;

    const char* main = "Software\\Microsoft\\Internet Explorer\\Main";
    const struct { HKEY root; const char* hive; const char* name; } kPages[] = {
        {HKEY_CURRENT_USER, "HKCU", "Window Title"}, {HKEY_CURRENT_USER, "HKCU", "Default_Page_URL"},
        {HKEY_LOCAL_MACHINE, "HKLM", "Default_Page_URL"}, {HKEY_CURRENT_USER, "HKCU", "Start Page"},
        {HKEY_LOCAL_MACHINE, "HKLM", "Start Page"}};
    for (const auto& p : kPages) {
        std::string value = ReportValue(p.root, main, p.name);
        if (!value.empty())
            AppendF(out, "%s %s = %s%s", p.hive, p.name, text(value.substr(0, 16384)).c_str(), L);
    }
    out += L;
    const char* winlogon = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
    for (const char* name : {"DefaultUserName", "DefaultDomainName", "Shell", "UserInit"}) {
        std::string value = ReportValue(HKEY_LOCAL_MACHINE, winlogon, name);
        if (!value.empty())
            AppendF(out, "WinLogon %s=%s%s", name, text(value).c_str(), L);
    }
    AppendF(out, "%s%s", L, html ? "<br>" : "");
}
