// Browser profiles in their real layout (tests/browsers): the Chromium family's extensions and
// pages from both preference files, Firefox's profiles, add-ons and home pages, and damaged or
// oddly typed files that must give nothing rather than a wrong answer.
#include "browserprofile.h"
#include "kxtest.h"
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
    const std::string userData = kFixtures + "\\chrome\\User Data";
    std::vector<std::string> names = ChromiumProfileNames(userData);
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"Default", "Profile 1"}), names);

    const std::string extensions = userData + "\\Default\\Extensions";
    std::vector<BrowserSetting> settings;
    ASSERT_TRUE(ReadChromiumProfile(Fixture("chrome\\User Data\\Default\\Preferences"),
                                    Fixture("chrome\\User Data\\Default\\Secure Preferences"),
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
    ASSERT_TRUE(ReadChromiumProfile(Fixture("chrome\\User Data\\Profile 1\\Preferences"), "",
                                    userData + "\\Profile 1\\Extensions", &settings));
    EXPECT_EQ("2|homepage||https://second.example.org/||on\n", Lines(settings));
}

TEST(BrowserProfileTest, FirefoxProfilesListExtensionsAndTheHomePagesUserJsSets)
{
    const std::string root = kFixtures + "\\firefox";
    EXPECT_EQ((std::vector<std::string>{"D:\\FirefoxWork", root + "\\Profiles\\k3x9.default-release"}),
              FirefoxProfileFolders(Fixture("firefox\\profiles.ini"), root));

    std::vector<BrowserSetting> settings;
    ASSERT_TRUE(ReadFirefoxExtensions(Fixture("firefox\\Profiles\\k3x9.default-release\\extensions.json"), &settings));
    ReadFirefoxPages(Fixture("firefox\\Profiles\\k3x9.default-release\\prefs.js"),
                     Fixture("firefox\\Profiles\\k3x9.default-release\\user.js"), &settings);
    EXPECT_EQ("1|uBlock0@raymondhill.net|uBlock Origin|C:\\Users\\Ann\\AppData\\Roaming\\Mozilla\\Firefox\\Profiles\\"
              "k3x9.default-release\\extensions\\uBlock0@raymondhill.net.xpi|app-profile|on\n"
              "1|shopper@deals.example|Deal Finder|C:\\ProgramData\\deals\\shopper.xpi|app-system-share|off\n"
              "2|browser.startup.homepage||https://hijack.example/?from=\"user.js\"||on\n",
              Lines(settings));

    // Without user.js, prefs.js's pages, one per address.
    settings.clear();
    ReadFirefoxPages(Fixture("firefox\\Profiles\\k3x9.default-release\\prefs.js"), "", &settings);
    EXPECT_EQ("2|browser.startup.homepage||https://one.example.org/||on\n"
              "2|browser.startup.homepage||https://two.example.org/||on\n",
              Lines(settings));
}

TEST(BrowserProfileTest, DamagedOrOddlyTypedFilesGiveNothingWrong)
{
    const std::string good = Fixture("chrome\\User Data\\Default\\Preferences");
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
