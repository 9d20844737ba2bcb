// The page, automatic-update, prefix and cookie checks against real keys and files, with the
// user's answers given through the message seam: what is asked, and what each answer leaves.
#include "browsersettings.h"
#include "checks.h"
#include "cookies.h"
#include "entrylist.h"
#include "explorerstart.h"
#include "initvalues.h"
#include "keys.h"
#include "monitorseams.h"
#include "kxtest.h"
#include "writefault.h"
#include "monitorstate.h"
#include "options.h"
#include "patrolmessage.h"
#include "platform.h"
#include "program.h"
#include "registry.h"
#include "sounds.h"
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace {

const char kMain[] = "Software\\Microsoft\\Internet Explorer\\Main";
const char kDesktop[] = "Software\\Microsoft\\Internet Explorer\\Desktop\\Components\\0";
const char kHttpCommand[] = "SOFTWARE\\Classes\\HTTP\\shell\\open\\command";

struct Shown {
    std::string text, caption;
    UINT flags;
};
std::vector<Shown> g_shown;
std::deque<int> g_answers;
std::vector<std::string> g_started;

int Answer(const char* text, const char* caption, UINT flags)
{
    g_shown.push_back({text, caption, flags});
    int answer = g_answers.empty() ? IDYES : g_answers.front();
    if (!g_answers.empty())
        g_answers.pop_front();
    return answer;
}
int RecordStart(const char* pageSwitch)
{
    g_started.push_back(pageSwitch);
    return 1;
}
BOOL NoSound(LPCSTR, HMODULE, DWORD) { return TRUE; }

class BrowserChecksTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        g_shown.clear();
        g_answers.clear();
        g_started.clear();
        for (const char* name : {"Start Page", "Search Page"})
            SaveValue(HKEY_CURRENT_USER, kMain, name);
        SaveValue(HKEY_CURRENT_USER, kDesktop, "Source");
        SaveValue(HKEY_LOCAL_MACHINE, KX_AUTOUPDATE_KEY, "AUOptions");
        SaveValue(HKEY_LOCAL_MACHINE, KX_PREFIXES_KEY, "www");
        SaveValue(HKEY_LOCAL_MACHINE, KX_DEFAULT_PREFIX_KEY, "");
        SaveValue(HKEY_LOCAL_MACHINE, kHttpCommand, "");
        DeleteRegValue(HKEY_LOCAL_MACHINE, KX_AUTOUPDATE_KEY, "AUOptions");
        DeleteRegValue(HKEY_LOCAL_MACHINE, KX_PREFIXES_KEY, "www");
        ReadAllOptions();
        SetPatrolMessageSeam(Answer);
        SetExplorerStarter(RecordStart);
        SetSoundPlayerSeam(NoSound);
        PlatformVersion xp = {VER_PLATFORM_WIN32_NT, 5, 1};
        SetPlatformOverride(&xp);
        SetCookieMode(COOKIE_MODE_IE);
    }
    void TearDown() override
    {
        SetPatrolMessageSeam(nullptr);
        SetExplorerStarter(nullptr);
        SetSoundPlayerSeam(nullptr);
        SetPlatformOverride(nullptr);
        SetCookieMode(COOKIE_MODE_IE);
        ClearEntries();
        alertOpen = 0;
        KxTest::TearDown();
    }
    static void SetPages(const char* start, const char* search, const char* desktop)
    {
        WriteValueText(HKEY_CURRENT_USER, kMain, "Start Page", start);
        WriteValueText(HKEY_CURRENT_USER, kMain, "Search Page", search);
        WriteValueText(HKEY_CURRENT_USER, kDesktop, "Source", desktop);
    }
    static std::string Kx(const char* name) { return ReadValueText(HKEY_CURRENT_USER, KX_KEY, name); }
};

TEST_F(BrowserChecksTest, FirstRunApprovesThePagesAndOnlyRealChangesAsk)
{
    SetPages("http://home.example/", "http://find.example", "file:///C:/desk.htm");
    TakeSettingBaselines();
    CheckStartPages();
    EXPECT_TRUE(g_shown.empty());
    EXPECT_EQ("http://home.example/", Kx("StartPage"));
    EXPECT_EQ("http://find.example", Kx("SearchPage"));
    EXPECT_EQ("file:///C:/desk.htm", Kx("SourcePage"));

    // One trailing "/" and the case make no change.
    SetPages("HTTP://HOME.EXAMPLE", "http://find.example/", "file:///C:/desk.htm");
    CheckStartPages();
    EXPECT_TRUE(g_shown.empty());
}

// Each setting's approved value is taken at start: a change made before the first check (in
// the first minute of a first start) is asked about, a page or setting that was missing at start
// and appears too.
TEST_F(BrowserChecksTest, SettingsChangedBeforeTheFirstCheckAreAsked)
{
    const struct {
        const char* what;
        std::function<void()> change;
        void (*check)();
    } rows[] = {
        {"start page changed", [] { WriteValueText(HKEY_CURRENT_USER, kMain, "Start Page", "http://x.example"); },
         CheckStartPages},
        {"search page changed", [] { WriteValueText(HKEY_CURRENT_USER, kMain, "Search Page", "http://x.example"); },
         CheckStartPages},
        {"desktop page set", [] { WriteValueText(HKEY_CURRENT_USER, kDesktop, "Source", "http://x.example"); },
         CheckStartPages},
        {"automatic update set", [] { WriteSystemAUOption(1); }, CheckAutoUpdateAndPrefix},
        {"prefix changed",
         [] { WriteValueText(HKEY_LOCAL_MACHINE, KX_PREFIXES_KEY, "www", "http://x.example/?q="); },
         CheckAutoUpdateAndPrefix},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        for (const char* name : {"StartPage", "SearchPage", "SourcePage", "AUOptions", "wwwPrefix"})
            DeleteRegValue(HKEY_CURRENT_USER, KX_KEY, name);
        DeleteRegValue(HKEY_LOCAL_MACHINE, KX_AUTOUPDATE_KEY, "AUOptions");
        WriteValueText(HKEY_LOCAL_MACHINE, KX_PREFIXES_KEY, "www", "http://");
        WriteValueText(HKEY_CURRENT_USER, kMain, "Start Page", "http://home.example/");
        WriteValueText(HKEY_CURRENT_USER, kMain, "Search Page", "http://find.example/");
        DeleteRegValue(HKEY_CURRENT_USER, kDesktop, "Source");
        TakeSettingBaselines();
        row.change();
        g_shown.clear();
        g_answers = {IDNO};
        row.check();
        EXPECT_EQ(1u, g_shown.size());
    }
}

TEST_F(BrowserChecksTest, RefusedPagesGetTheApprovedTextBackAndApprovedOnesAreKept)
{
    SetPages("http://home.example/", "http://find.example", "file:///C:/desk.htm");
    TakeSettingBaselines();
    CheckStartPages();
    SetPages("http://hijack.example", "http://find.example", "http://ads.example/bg.htm");
    g_answers = {IDNO, IDYES};
    CheckStartPages();
    ASSERT_EQ(2u, g_shown.size());
    const std::string& text = g_shown[0].text;
    size_t now = text.find("http://hijack.example"), before = text.find("http://home.example/");
    EXPECT_NE(std::string::npos, now);
    EXPECT_LT(now, before) << "the new page first, the page to go back to second: " << text;
    EXPECT_EQ("Kestrix", g_shown[0].caption);
    EXPECT_EQ((UINT)(MB_YESNO | MB_ICONEXCLAMATION | MB_TOPMOST), g_shown[0].flags);
    EXPECT_NE(std::string::npos, g_shown[1].text.find("Desktop"));

    EXPECT_EQ("http://home.example/", ReadValueText(HKEY_CURRENT_USER, kMain, "Start Page"));
    EXPECT_EQ("http://home.example/", Kx("StartPage"));
    EXPECT_EQ("http://ads.example/bg.htm", Kx("SourcePage"));
    EXPECT_EQ("http://ads.example/bg.htm", ReadValueText(HKEY_CURRENT_USER, kDesktop, "Source"));

    // Refusing the desktop page writes the approved one back into "Source".
    WriteValueText(HKEY_CURRENT_USER, kDesktop, "Source", "http://other.example");
    g_answers = {IDNO};
    CheckStartPages();
    EXPECT_EQ("http://ads.example/bg.htm", ReadValueText(HKEY_CURRENT_USER, kDesktop, "Source"));
}

TEST_F(BrowserChecksTest, AutoUpdateCopyIsTakenOnceAndZeroStandsForNoSetting)
{
    DWORD copy = 99;
    CopyAutoUpdateSetting();
    ASSERT_TRUE(ReadAUOptionCopy(&copy));
    EXPECT_EQ(0u, copy) << "a machine without the setting";
    DeleteRegValue(HKEY_CURRENT_USER, KX_KEY, "AUOptions");
    WriteSystemAUOption(3);
    CopyAutoUpdateSetting();
    ASSERT_TRUE(ReadAUOptionCopy(&copy));
    EXPECT_EQ(3u, copy);
    WriteSystemAUOption(1);
    CopyAutoUpdateSetting();
    ReadAUOptionCopy(&copy);
    EXPECT_EQ(3u, copy) << "an existing copy stays";
}

TEST_F(BrowserChecksTest, AutoUpdateChangeIsAskedAndEachAnswerDoesItsPart)
{
    // A copy that is no setting is refreshed every pass and the prefix is not compared.
    StoreAUOptionCopy(5);
    WriteSystemAUOption(2);
    WriteValueText(HKEY_LOCAL_MACHINE, KX_PREFIXES_KEY, "www", "http://evil.example/?q=");
    CheckAutoUpdateAndPrefix();
    DWORD copy = 0, system = 0;
    ReadAUOptionCopy(&copy);
    EXPECT_EQ(2u, copy);
    EXPECT_TRUE(g_shown.empty());
    WriteValueText(HKEY_LOCAL_MACHINE, KX_PREFIXES_KEY, "www", "http://");

    WriteSystemAUOption(1);
    g_answers = {IDYES};
    CheckAutoUpdateAndPrefix();
    ASSERT_EQ(1u, g_shown.size());
    EXPECT_EQ("Kestrix - Windows Auto Update Settings", g_shown[0].caption);
    EXPECT_NE(std::string::npos, g_shown[0].text.find("Notify me but don't"));
    EXPECT_NE(std::string::npos, g_shown[0].text.find("Turn off Automatic Updates."));
    ReadSystemAUOption(&system);
    EXPECT_EQ(2u, system) << "prevented: the approved setting is back";

    // On Windows major version 6 the explorer writes it, with its own rights.
    PlatformVersion vista = {VER_PLATFORM_WIN32_NT, 6, 0};
    SetPlatformOverride(&vista);
    WriteSystemAUOption(4);
    g_answers = {IDYES, IDNO};
    CheckAutoUpdateAndPrefix();
    EXPECT_EQ(std::vector<std::string>{"-AUOption"}, g_started);
    CheckAutoUpdateAndPrefix();
    ReadAUOptionCopy(&copy);
    EXPECT_EQ(4u, copy) << "approved";
}

// Without rights to the machine's settings: the put-back is refused, the user is told why
// once, and the check does not ask again while the setting stays as refused.
TEST_F(BrowserChecksTest, APutBackWindowsRefusesIsToldOnceAndNotAskedEveryPass)
{
    StoreAUOptionCopy(2);
    WriteValueText(HKEY_CURRENT_USER, KX_KEY, "wwwPrefix", "http://");
    const struct { const char* name; void (*change)(const char*); const char* system; } rows[] = {
        {"automatic update", [](const char* v) { WriteSystemAUOption(atoi(v)); }, "1"},
        {"prefix", [](const char* v) { WriteValueText(HKEY_LOCAL_MACHINE, KX_PREFIXES_KEY, "www", v); },
         "http://search.example/?q="},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        r.change(r.system);
        g_shown.clear();
        g_answers = {IDYES};
        SetDeniedPlaces(PLACE_HKLM);
        CheckAutoUpdateAndPrefix();
        ASSERT_EQ(2u, g_shown.size());
        EXPECT_NE(std::string::npos, g_shown[1].text.find("administrator")) << g_shown[1].text;
        CheckAutoUpdateAndPrefix();
        CheckAutoUpdateAndPrefix();
        EXPECT_EQ(2u, g_shown.size()) << "asked again while nothing changed";
        SetDeniedPlaces(0);
        DWORD system = 0;
        ReadSystemAUOption(&system);
        EXPECT_EQ(r.name[0] == 'a' ? 1u : 2u, system);
        // Another change is asked about again, and now put back.
        r.change(r.name[0] == 'a' ? "3" : "ftp://");
        g_answers = {IDYES};
        CheckAutoUpdateAndPrefix();
        EXPECT_EQ(3u, g_shown.size());
    }
    DWORD system = 0;
    ReadSystemAUOption(&system);
    EXPECT_EQ(2u, system);
    EXPECT_EQ("http://", ReadValueText(HKEY_LOCAL_MACHINE, KX_PREFIXES_KEY, "www"));
}

TEST_F(BrowserChecksTest, PrefixChangeIsAskedOnlyWhenThereIsAPrefixToGuard)
{
    StoreAUOptionCopy(2);
    WriteSystemAUOption(2);
    CheckAutoUpdateAndPrefix();
    EXPECT_TRUE(g_shown.empty()) << "a machine without the value has nothing to ask about";

    WriteValueText(HKEY_LOCAL_MACHINE, KX_PREFIXES_KEY, "www", "HTTP://");
    CheckAutoUpdateAndPrefix();
    EXPECT_TRUE(g_shown.empty());

    WriteValueText(HKEY_LOCAL_MACHINE, KX_PREFIXES_KEY, "www", "http://search.example/?q=");
    g_answers = {IDYES};
    CheckAutoUpdateAndPrefix();
    ASSERT_EQ(1u, g_shown.size());
    EXPECT_EQ("Kestrix - Internet Browser Default Prefix", g_shown[0].caption);
    EXPECT_EQ((UINT)(MB_YESNO | MB_ICONSTOP | MB_TOPMOST), g_shown[0].flags);
    EXPECT_EQ("http://", ReadValueText(HKEY_LOCAL_MACHINE, KX_PREFIXES_KEY, "www"));
    EXPECT_EQ("http://", ReadValueText(HKEY_LOCAL_MACHINE, KX_DEFAULT_PREFIX_KEY, ""));

    WriteValueText(HKEY_LOCAL_MACHINE, KX_PREFIXES_KEY, "www", "ftp://");
    g_answers = {IDNO};
    CheckAutoUpdateAndPrefix();
    EXPECT_EQ("ftp://", Kx("wwwPrefix"));
    CheckAutoUpdateAndPrefix();
    EXPECT_EQ(2u, g_shown.size()) << "approved, so no second question";
}

TEST_F(BrowserChecksTest, OnlyTheFirstUnreviewedCookieIsAnnounced)
{
    const std::string folder = TempPath("Cookies");
    CreateDirectoryA(folder.c_str(), nullptr);
    WriteTextFile(folder + "\\index.dat", "");
    WriteValueText(HKEY_CURRENT_USER, KX_KEY, "IECookieFolder", folder);
    for (const char* name : {"joe@a.txt", "joe@b.txt", "joe@c.txt"})
        WriteTextFile(folder + "\\" + name, "cookie\n");
    WriteValueText(HKEY_CURRENT_USER, KX_COOKIES_KEY, "joe@a.txt", "1");
    WriteValueText(HKEY_CURRENT_USER, KX_COOKIES_KEY, "joe@b.txt", "");

    g_answers = {IDYES};
    CheckNewCookies();
    ASSERT_EQ(1u, g_shown.size());
    EXPECT_NE(std::string::npos, g_shown[0].text.find("new cookies"));
    EXPECT_EQ(std::vector<std::string>{"-COOKIES"}, g_started);
    EXPECT_EQ(0, alertOpen);

    WriteValueText(HKEY_CURRENT_USER, KX_COOKIES_KEY, "joe@b.txt", "1");
    WriteValueText(HKEY_CURRENT_USER, KX_COOKIES_KEY, "joe@c.txt", "1");
    CheckNewCookies();
    EXPECT_EQ(1u, g_shown.size());
}

TEST_F(BrowserChecksTest, MozillaDefaultBrowserMovesTheFilterToTheClosedBrowsersFile)
{
    const std::string profile = TempPath("profile");
    CreateDirectoryA(profile.c_str(), nullptr);
    WriteValueText(HKEY_CURRENT_USER, KX_KEY, "CookieFolder", profile);
    WriteValueText(HKEY_CURRENT_USER, KX_NUTS_KEY, "ads", "1");
    const std::string kept = "news.example\tTRUE\t/\tFALSE\t0\tp\t1\n";
    WriteTextFile(profile + "\\cookies.txt", kept + "ads.example\tTRUE\t/\tFALSE\t0\ta\t1\n");

    WriteValueText(HKEY_LOCAL_MACHINE, kHttpCommand, "",
                   "\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\" -url \"%1\"");
    CheckCookieFilter();
    EXPECT_EQ(COOKIE_MODE_MOZILLA, CookieMode());
    CheckMozillaCookies();
    EXPECT_NE(kept, ReadTextFile(profile + "\\cookies.txt")) << "nothing waits to replace it yet";

    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "UpdateCookieFile", "1");
    CheckMozillaCookies();
    EXPECT_EQ(kept, ReadTextFile(profile + "\\cookies.txt"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "UpdateCookieFile"));

    WriteValueText(HKEY_LOCAL_MACHINE, kHttpCommand, "", "C:\\Program Files\\Internet Explorer\\iexplore.exe");
    CheckCookieFilter();
    EXPECT_EQ(COOKIE_MODE_IE, CookieMode());
}

}   // namespace
