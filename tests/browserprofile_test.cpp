// Browser profiles in their real layout (tests/browsers): the Chromium family's extensions and
// pages from both preference files, Firefox's profiles, add-ons and home pages, and damaged or
// oddly typed files that must give nothing rather than a wrong answer.
#include "browserentries.h"
#include "browserprofile.h"
#include "entrylist.h"
#include "firefoxpolicies.h"
#include "hijacksections.h"
#include "kxtest.h"
#include "savedlist.h"
#include "wholefile.h"
#include <algorithm>
#include <string>
#include <vector>

namespace {

const std::string kFixtures = std::string("Z:") + KX_SOURCE_DIR + "\\tests\\browsers";

std::string Fixture(const std::string& relative)
{
    std::string text;
    ReadWholeFile((kFixtures + "\\" + relative).c_str(), &text);
    return text;
}

// One line per setting, so that a table states the whole expected result.
std::string Lines(const std::vector<BrowserSetting>& settings)
{
    std::string lines;
    for (const BrowserSetting& s : settings)
        lines += std::to_string(s.kind) + "|" + s.id + "|" + s.name + "|" + s.value + "|" +
                 s.location + "|" + (s.enabled ? "on" : "off") + "\n";
    return lines;
}

}  // namespace

TEST(BrowserProfileTest, ChromiumProfilesListExtensionsAndPagesFromBothFiles)
{
    const std::string userData = kFixtures + "\\Local\\Google\\Chrome\\User Data";
    std::vector<std::string> names = ChromiumProfileNames(userData);
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"Default", "Profile 1"}), names);

    const std::string extensions = userData + "\\Default\\Extensions";
    std::vector<BrowserSetting> settings;
    ASSERT_TRUE(ReadChromiumProfile(Fixture("Local\\Google\\Chrome\\User Data\\Default\\Preferences"),
                                    Fixture("Local\\Google\\Chrome\\User Data\\Default\\Secure Preferences"),
                                    extensions, &settings));
    // The component viewer is the browser's own; the store extension is disabled by the
    // protected file and named from its manifest's default locale; paths start at Extensions
    // unless absolute.
    EXPECT_EQ("1|aapbdbdomjkkjkaonfhkkikfgjllcleb|Page Translator|" + extensions +
                  "\\aapbdbdomjkkjkaonfhkkikfgjllcleb\\2.0.9_0|Web Store|off\n"
                  "1|kfmfkbhjgfaeoocdbahnbgocmogjbkpg|Coupon Helper|C:\\Users\\Public\\unpacked\\helper|unpacked folder|on\n"
                  "1|pmgljoohajacndjcmlnmfhbbgcmlkljn|Forced By Policy|" + extensions +
                  "\\pmgljoohajacndjcmlnmfhbbgcmlkljn\\3.1_0|policy|on\n"
                  "2|homepage||https://start.example.org/||on\n"
                  "3|session.startup_urls||https://news.example.org/||on\n"
                  "3|session.startup_urls||https://mail.example.org/||on\n"
                  "4|default_search_provider_data|Searchy|https://searchy.example/?q={searchTerms}||on\n",
              Lines(settings));

    // Start-up pages count only when the browser opens them (choice 4).
    settings.clear();
    ASSERT_TRUE(ReadChromiumProfile(Fixture("Local\\Google\\Chrome\\User Data\\Profile 1\\Preferences"), "",
                                    userData + "\\Profile 1\\Extensions", &settings));
    EXPECT_EQ("2|homepage||https://second.example.org/||on\n", Lines(settings));
}

TEST(BrowserProfileTest, FirefoxProfilesListExtensionsAndTheHomePagesUserJsSets)
{
    const std::string root = kFixtures + "\\Roaming\\Mozilla\\Firefox";
    EXPECT_EQ((std::vector<std::string>{"D:\\FirefoxWork", root + "\\Profiles\\k3x9.default-release"}),
              FirefoxProfileFolders(Fixture("Roaming\\Mozilla\\Firefox\\profiles.ini"), root));

    std::vector<BrowserSetting> settings;
    ASSERT_TRUE(ReadFirefoxExtensions(Fixture("Roaming\\Mozilla\\Firefox\\Profiles\\k3x9.default-release\\extensions.json"), &settings));
    ReadFirefoxPages(Fixture("Roaming\\Mozilla\\Firefox\\Profiles\\k3x9.default-release\\prefs.js"),
                     Fixture("Roaming\\Mozilla\\Firefox\\Profiles\\k3x9.default-release\\user.js"), &settings);
    EXPECT_EQ("1|uBlock0@raymondhill.net|uBlock Origin|C:\\Users\\Ann\\AppData\\Roaming\\Mozilla\\Firefox\\Profiles\\"
              "k3x9.default-release\\extensions\\uBlock0@raymondhill.net.xpi|app-profile|on\n"
              "1|shopper@deals.example|Deal Finder|C:\\ProgramData\\deals\\shopper.xpi|app-system-share|off\n"
              "2|browser.startup.homepage||https://hijack.example/?from=\"user.js\"||on\n",
              Lines(settings));

    // Without user.js, prefs.js's pages, one per address.
    settings.clear();
    ReadFirefoxPages(Fixture("Roaming\\Mozilla\\Firefox\\Profiles\\k3x9.default-release\\prefs.js"), "", &settings);
    EXPECT_EQ("2|browser.startup.homepage||https://one.example.org/||on\n"
              "2|browser.startup.homepage||https://two.example.org/||on\n",
              Lines(settings));
}

TEST(BrowserProfileTest, DamagedOrOddlyTypedFilesGiveNothingWrong)
{
    const std::string good = Fixture("Local\\Google\\Chrome\\User Data\\Default\\Preferences");
    ASSERT_FALSE(good.empty());
    struct Case {
        const char* what;
        std::string preferences, secure;
        bool parses;
        std::string lines;
    } cases[] = {
        {"cut short", good.substr(0, good.size() / 2), "", false, ""},
        {"good file, damaged protected file", good, "{\"extensions\":", false, ""},
        {"not an object", "[1,2,3]", "", false, ""},
        {"nested without end", std::string(100000, '['), "", false, ""},
        {"settings of the wrong types",
         R"({"extensions":{"settings":{"a":[],"b":{"location":"1","path":7,"manifest":"x",)"
         R"("disable_reasons":"y","state":"0"}}},"homepage":5,)"
         R"("session":{"restore_on_startup":"4","startup_urls":{"u":"v"}},)"
         R"("default_search_provider_data":{"template_url_data":[]}})",
         "", true, "1|b|||unknown|on\n"},
        {"startup list with other items", "", R"({"session":{"restore_on_startup":4,"startup_urls":[1,"https://a/",null]}})",
         true, "3|session.startup_urls||https://a/||on\n"},
        {"extension path escaping its folder keeps its own text", "",
         R"({"extensions":{"settings":{"x":{"location":1,"path":"..\\..\\elsewhere"}}}})", true,
         "1|x||EXT\\..\\..\\elsewhere|Web Store|on\n"},
    };
    for (const Case& c : cases) {
        std::vector<BrowserSetting> settings;
        EXPECT_EQ(c.parses, ReadChromiumProfile(c.preferences, c.secure, "EXT", &settings)) << c.what;
        EXPECT_EQ(c.lines, Lines(settings)) << c.what;
    }

    std::vector<BrowserSetting> settings;
    EXPECT_FALSE(ReadFirefoxExtensions("{\"addons\":[{\"id\":1", &settings));
    EXPECT_TRUE(ReadFirefoxExtensions(R"({"addons":[{"type":"extension","id":5,"active":"no","defaultLocale":[]}]})", &settings));
    EXPECT_EQ("1|||||on\n", Lines(settings));
    settings.clear();
    // Unfinished literals, a homepage that is a number, a comment line that looks like a call.
    ReadFirefoxPages("user_pref(\"browser.startup.homepage\", \"https://cut\nuser_pref(\"browser.startup.homepage\", 3);\n"
                     "// user_pref(\"browser.startup.homepage\", \"https://commented/\");\n"
                     "/* user_pref(\"browser.startup.homepage\", \"https://block/\"); */",
                     "user_pref(\"browser.startup.homepage\"", &settings);
    EXPECT_EQ("", Lines(settings));
    // A "//" inside an address is no comment.
    ReadFirefoxPages("user_pref(\"browser.startup.homepage\", \"https://kept/\"); // why", "", &settings);
    EXPECT_EQ("2|browser.startup.homepage||https://kept/||on\n", Lines(settings));
    EXPECT_TRUE(FirefoxProfileFolders("[Profile0]\nIsRelative=1\n[Profile1]\nPath=\n", "F").empty());
}

std::string PolicyLines(const std::vector<FirefoxPolicy>& policies)
{
    std::string lines;
    for (const FirefoxPolicy& p : policies)
        lines += p.name + "=" + p.value + "\n";
    return lines;
}

TEST(BrowserProfileTest, FirefoxPoliciesFileGivesItsExtensionsAndPagesAndEachGoesAlone)
{
    const std::string good = Fixture("Program Files\\Mozilla Firefox\\distribution\\policies.json");
    ASSERT_FALSE(good.empty());
    const std::string fixtureLines =
        "ExtensionSettings\\helper@corp.example=file:///C:/corp/helper.xpi\n"
        "ExtensionSettings\\uBlock0@raymondhill.net=https://addons.mozilla.org/firefox/downloads/latest/ublock-origin/latest.xpi\n"
        "Extensions\\Install\\https://corp.example/addons/vpn.xpi=https://corp.example/addons/vpn.xpi\n"
        "Homepage\\URL=https://intranet.corp.example/\n"
        "Homepage\\StartPage=homepage\n"
        "SearchEngines\\Default=DuckDuckGo\n";
    const struct {
        const char* what;
        std::string text;
        bool parses;
        std::string lines;
    } cases[] = {
        {"real layout: allowed and blocked extensions and other policies left out", good, true, fixtureLines},
        {"cut short", good.substr(0, good.size() - 3), false, ""},
        {"policies not an object", R"({"policies":["Homepage"]})", false, ""},
        {"no policies", R"({"Homepage":{"URL":"https://a/"}})", false, ""},
        {"members of the wrong types",
         R"({"policies":{"ExtensionSettings":{"a":"force_installed","b":{"installation_mode":"force_installed","install_url":5},)"
         R"("c":{"installation_mode":["normal_installed"]}},"Extensions":{"Install":"https://x/"},)"
         R"("Homepage":{"URL":3,"StartPage":null},"SearchEngines":[]}})",
         true, "ExtensionSettings\\b=force_installed\n"},
        {"an address with backslashes", R"({"policies":{"Extensions":{"Install":["C:\\addons\\x.xpi"]}}})", true,
         "Extensions\\Install\\C:\\addons\\x.xpi=C:\\addons\\x.xpi\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<FirefoxPolicy> policies;
        EXPECT_EQ(c.parses, ReadFirefoxPolicies(c.text, &policies));
        EXPECT_EQ(c.lines, PolicyLines(policies));
        // Each entry goes alone: the file without it lists all the others, in order.
        for (size_t i = 0; i < policies.size(); i++) {
            std::string without;
            ASSERT_TRUE(WithoutFirefoxPolicy(c.text, policies[i].name, &without)) << policies[i].name;
            std::vector<FirefoxPolicy> rest = policies, after;
            rest.erase(rest.begin() + i);
            ASSERT_TRUE(ReadFirefoxPolicies(without, &after));
            EXPECT_EQ(PolicyLines(rest), PolicyLines(after));
        }
        std::string unchanged = "untouched";
        EXPECT_FALSE(WithoutFirefoxPolicy(c.text, "ExtensionSettings\\blocked@example.org\\x", &unchanged));
        EXPECT_FALSE(WithoutFirefoxPolicy(c.text, "DisableTelemetry", &unchanged));
        EXPECT_EQ("untouched", unchanged);
    }
}

// Firefox's install folders, found as Windows finds them: each version's Main key in either
// view of the machine, and App Paths' program; each folder once.
class FirefoxInstallTest : public KxTest {};

TEST_F(FirefoxInstallTest, PoliciesFilesLieBesideEveryInstallWindowsNames)
{
    const std::string mozilla = "SOFTWARE\\Mozilla\\Mozilla Firefox";
    const std::string appPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\firefox.exe";
    // Both views' keys (the 32-bit view is WOW6432Node under SOFTWARE).
    for (const std::string& key : {mozilla, appPath}) {
        ForgetKey(HKEY_LOCAL_MACHINE, key);
        ForgetKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\WOW6432Node" + key.substr(8));
    }
    const struct {
        REGSAM view;
        std::string key, name, value;
    } rows[] = {
        {0, mozilla + "\\128.0 (x64 en-US)\\Main", "Install Directory", "C:\\Program Files\\Mozilla Firefox\\"},
        {KEY_WOW64_32KEY, mozilla + "\\115.9.1esr (x86 en-US)\\Main", "Install Directory", "C:\\Program Files (x86)\\Firefox ESR"},
        // The same install again, as App Paths names its program: once only.
        {0, appPath, "", "\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\""},
    };
    for (const auto& row : rows) {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, row.key.c_str(), 0, nullptr, 0,
                                                 KEY_WRITE | row.view, nullptr, &key, nullptr));
        RegSetValueExA(key, row.name.c_str(), 0, REG_SZ, (const BYTE*)row.value.c_str(), (DWORD)row.value.size() + 1);
        RegCloseKey(key);
    }
    SetFirefoxInstallFolder(nullptr);
    EXPECT_EQ((std::vector<std::string>{"C:\\Program Files\\Mozilla Firefox\\distribution\\policies.json",
                                        "C:\\Program Files (x86)\\Firefox ESR\\distribution\\policies.json"}),
              FirefoxPolicyFiles());
    // A copy no installer registered, known to Windows only by App Paths.
    WriteValueText(HKEY_LOCAL_MACHINE, appPath, "", "D:\\Portable\\Firefox\\firefox.exe");
    EXPECT_EQ((std::vector<std::string>{"C:\\Program Files\\Mozilla Firefox\\distribution\\policies.json",
                                        "D:\\Portable\\Firefox\\distribution\\policies.json",
                                        "C:\\Program Files (x86)\\Firefox ESR\\distribution\\policies.json"}),
              FirefoxPolicyFiles());
    EXPECT_TRUE(IsFirefoxPolicyFile("c:\\program files\\mozilla firefox\\distribution\\POLICIES.json"));
    EXPECT_FALSE(IsFirefoxPolicyFile("C:\\Program Files\\Mozilla Firefox\\distribution\\..\\..\\x\\policies.json"));
}

// The whole listing of the IE Helpers page's browser part, the hijack log's lines and the
// saved list's rows, over the fixture profiles and policy and offer keys written here. A name
// that carries a line break stays on its own line in both outputs.
class BrowserEntriesTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        for (const char* key : {"Software\\Policies\\Google\\Chrome", "Software\\Google\\Chrome\\Extensions",
                                "Software\\Policies\\Mozilla\\Firefox"})
            ForgetKey(HKEY_CURRENT_USER, key);
        SetBrowserDataFolders((kFixtures + "\\Local").c_str(), (kFixtures + "\\Roaming").c_str());
        SetFirefoxInstallFolder((kFixtures + "\\Program Files\\Mozilla Firefox").c_str());
    }
    void TearDown() override
    {
        SetBrowserDataFolders(nullptr, nullptr);
        SetFirefoxInstallFolder(nullptr);
        ClearEntries();
        KxTest::TearDown();
    }
};

TEST_F(BrowserEntriesTest, ProfilesPoliciesAndOffersAreListedLoggedAndSaved)
{
    WriteValueText(HKEY_CURRENT_USER, "Software\\Policies\\Google\\Chrome\\ExtensionInstallForcelist", "1",
                   "pmgljoohajacndjcmlnmfhbbgcmlkljn;https://clients2.google.com/service/update2/crx");
    WriteValueText(HKEY_CURRENT_USER, "Software\\Policies\\Google\\Chrome", "HomepageLocation",
                   "https://forced.example/\r\nO2 - BHO: fake");
    WriteValueText(HKEY_CURRENT_USER, "Software\\Google\\Chrome\\Extensions\\kfmfkbhjgfaeoocdbahnbgocmogjbkpg",
                   "update_url", "https://offer.example/update.xml");
    WriteValueText(HKEY_CURRENT_USER, "Software\\Policies\\Mozilla\\Firefox\\Extensions\\Install", "1",
                   "https://addons.example/shopper.xpi");

    ClearEntries();
    ASSERT_EQ(21, AddBrowserProfileEntries());
    const std::string chrome = kFixtures + "\\Local\\Google\\Chrome\\User Data";
    const std::string firefox = kFixtures + "\\Roaming\\Mozilla\\Firefox\\Profiles\\k3x9.default-release";
    struct Row {
        int type;
        const char* key;
        const char* title;
        std::string source;
        bool disabled;
    } rows[] = {
        {TYPE_BROWSER_EXTENSION, "Google Chrome\\Default", "Google Chrome extension: Page Translator", chrome + "\\Default", true},
        {TYPE_BROWSER_EXTENSION, "Google Chrome\\Default", "Google Chrome extension: Coupon Helper", chrome + "\\Default", false},
        {TYPE_BROWSER_EXTENSION, "Google Chrome\\Default", "Google Chrome extension: Forced By Policy", chrome + "\\Default", false},
        {TYPE_BROWSER_PAGE, "Google Chrome\\Default", "Google Chrome home page", chrome + "\\Default", false},
        {TYPE_BROWSER_PAGE, "Google Chrome\\Default", "Google Chrome start-up page", chrome + "\\Default", false},
        {TYPE_BROWSER_PAGE, "Google Chrome\\Default", "Google Chrome start-up page", chrome + "\\Default", false},
        {TYPE_BROWSER_PAGE, "Google Chrome\\Default", "Google Chrome search engine: Searchy", chrome + "\\Default", false},
        {TYPE_BROWSER_PAGE, "Google Chrome\\Profile 1", "Google Chrome home page", chrome + "\\Profile 1", false},
        {TYPE_BROWSER_POLICY, "Google Chrome\\policy",
         "Google Chrome policy ExtensionInstallForcelist: 1",
         "HKCU\\Software\\Policies\\Google\\Chrome\\ExtensionInstallForcelist", false},
        {TYPE_BROWSER_POLICY, "Google Chrome\\policy", "Google Chrome policy HomepageLocation",
         "HKCU\\Software\\Policies\\Google\\Chrome", false},
        {TYPE_BROWSER_EXTERNAL, "Google Chrome\\registry",
         "Google Chrome extension offered by a program: kfmfkbhjgfaeoocdbahnbgocmogjbkpg",
         "HKCU\\Software\\Google\\Chrome\\Extensions\\kfmfkbhjgfaeoocdbahnbgocmogjbkpg", false},
        {TYPE_BROWSER_EXTENSION, "Mozilla Firefox\\k3x9.default-release", "Mozilla Firefox extension: uBlock Origin", firefox, false},
        {TYPE_BROWSER_EXTENSION, "Mozilla Firefox\\k3x9.default-release", "Mozilla Firefox extension: Deal Finder", firefox, true},
    };
    // In the walk's order: per browser its profiles, policies and offers; Firefox's home page
    // and policy follow these rows.
    for (int i = 0; i < 13; i++) {
        const EntryRecord* e = GetEntry(i);
        SCOPED_TRACE(i);
        EXPECT_EQ(rows[i].type, e->type);
        EXPECT_STREQ(rows[i].key, e->key);
        EXPECT_STREQ(rows[i].title, e->title);
        EXPECT_EQ(rows[i].source, e->source);
        EXPECT_EQ(rows[i].disabled, e->offByWindows != 0);
    }
    EXPECT_STREQ("https://offer.example/update.xml", GetEntry(10)->command);
    EXPECT_STREQ("https://forced.example/\r\nO2 - BHO: fake", GetEntry(9)->command);
    EXPECT_STREQ("id=kfmfkbhjgfaeoocdbahnbgocmogjbkpg; from unpacked folder", GetEntry(1)->detail);

    // Last, the policies file's entries, named by the file.
    const EntryRecord* last = GetEntry(20);
    ASSERT_NE(nullptr, last);
    EXPECT_STREQ("Mozilla Firefox policy SearchEngines\\Default", last->title);
    EXPECT_EQ(kFixtures + "\\Program Files\\Mozilla Firefox\\distribution\\policies.json", last->source);

    std::string log;
    HijackBrowsers(log);
    EXPECT_NE(std::string::npos,
              log.find("O25 - Google Chrome\\Default - Google Chrome extension: Page Translator - " + chrome +
                       "\\Default\\Extensions\\aapbdbdomjkkjkaonfhkkikfgjllcleb\\2.0.9_0 - "
                       "id=aapbdbdomjkkjkaonfhkkikfgjllcleb; from Web Store (disabled)\r\n"));
    EXPECT_NE(std::string::npos, log.find("O26 - Mozilla Firefox\\policy - Mozilla Firefox policy Extensions\\Install: 1 - "
                                          "https://addons.example/shopper.xpi - value 1\r\n"));
    EXPECT_NE(std::string::npos, log.find("O25 - Mozilla Firefox\\k3x9.default-release - Mozilla Firefox home page - "
                                          "https://hijack.example/?from=\"user.js\" - id=browser.startup.homepage\r\n"));
    EXPECT_NE(std::string::npos, log.find("O26 - Mozilla Firefox\\policy - Mozilla Firefox policy Homepage\\URL - "
                                          "https://intranet.corp.example/ - value Homepage\\URL\r\n"));
    // Every line starts with a prefix of its own: the policy's line break did not start one.
    size_t lines = 0;
    for (size_t at = 0; at < log.size(); at = log.find("\r\n", at) + 2, lines++)
        EXPECT_EQ(0u, log.compare(at, 2, "O2")) << log.substr(at, 40);
    EXPECT_EQ(21u, lines);

    const std::string csv = TempPath("list.csv");
    ASSERT_TRUE(WriteSavedListTo(csv.c_str()));
    std::string saved = ReadTextFile(csv);
    EXPECT_NE(std::string::npos, saved.find("\"Browsers\",\"Extension\",\"Google Chrome extension: Coupon Helper\""));
    EXPECT_NE(std::string::npos, saved.find("\"Browsers\",\"Offered\",\"Google Chrome extension offered by a program"));
    EXPECT_EQ(std::string::npos, saved.find("\nO2 - BHO: fake"));
}
