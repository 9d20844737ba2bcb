// Cookies of both browser families in real files: where they are found, how they are listed,
// and that filtering and the review remove exactly the condemned cookies and nothing else.
#include "cookieactions.h"
#include "cookies.h"
#include "entrylist.h"
#include "keys.h"
#include "kxtest.h"
#include "options.h"
#include "registry.h"
#include <string>
#include <vector>

namespace {

const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kUserShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Line(const std::string& domain, const std::string& name, const std::string& value,
                 const char* secure = "FALSE", const char* expiry = "1893456000")
{
    return domain + "\tTRUE\t/\t" + secure + "\t" + expiry + "\t" + name + "\t" + value;
}

class CookiesTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        for (const char* key : {kShellFolders, kUserShellFolders}) {
            SaveValue(HKEY_CURRENT_USER, key, "Cookies");
            SaveValue(HKEY_CURRENT_USER, key, "AppData");
        }
        // No machine folder may answer for the test's own.
        WriteValueText(HKEY_CURRENT_USER, kShellFolders, "Cookies", TempPath("none"));
        WriteValueText(HKEY_CURRENT_USER, kUserShellFolders, "Cookies", TempPath("none"));
        WriteValueText(HKEY_CURRENT_USER, kShellFolders, "AppData", TempDir());
        ie_ = TempPath("Cookies");
        profile_ = TempPath("profile");
        CreateDirectoryA(ie_.c_str(), nullptr);
        CreateDirectoryA(profile_.c_str(), nullptr);
        SetCookieMode(COOKIE_MODE_IE);
    }
    void TearDown() override
    {
        FreeCookieFilters();
        ClearEntries();
        SetCookieMode(COOKIE_MODE_IE);
        KxTest::TearDown();
    }
    void UseIEFolder()
    {
        WriteTextFile(ie_ + "\\index.dat", "");
        WriteValueText(HKEY_CURRENT_USER, KX_KEY, "IECookieFolder", ie_);
    }
    void UseProfile() { WriteValueText(HKEY_CURRENT_USER, KX_KEY, "CookieFolder", profile_ + "\\"); }
    std::string CookieFile() const { return profile_ + "\\cookies.txt"; }
    std::vector<std::string> Titles()
    {
        std::vector<std::string> titles;
        for (int i = 0; i < EntryCount(); i++)
            titles.push_back(GetEntry(i)->title);
        return titles;
    }

    std::string ie_, profile_;
};

TEST_F(CookiesTest, IECookieFolderIsTheFirstPlaceHoldingAnIndexDat)
{
    char folder[MAX_PATH] = "\xbd";
    EXPECT_FALSE(FindIECookieFolder(folder));
    EXPECT_STREQ("Cookie Folder Not Found", folder);

    // A chosen folder without index.dat is passed over for the shell folder.
    WriteValueText(HKEY_CURRENT_USER, KX_KEY, "IECookieFolder", TempDir());
    WriteTextFile(ie_ + "\\index.dat", "");
    WriteValueText(HKEY_CURRENT_USER, kUserShellFolders, "Cookies", ie_);
    ASSERT_TRUE(FindIECookieFolder(folder));
    EXPECT_EQ(ie_ + "\\", folder);

    WriteTextFile(TempPath("index.dat"), "");
    ASSERT_TRUE(FindIECookieFolder(folder));
    EXPECT_EQ(TempDir() + "\\", folder) << "the user's choice comes first";
}

TEST_F(CookiesTest, MozillaProfileIsTheChoiceElseTheDefaultFirefoxProfile)
{
    char folder[MAX_PATH];
    EXPECT_FALSE(FindMozillaProfileFolder(folder));
    EXPECT_STREQ("Cookie Folder Not Found", folder);
    EXPECT_EQ(0, MozillaInstalled());

    const std::string profiles = TempPath("Mozilla\\Firefox\\Profiles");
    for (const char* f : {"Mozilla", "Mozilla\\Firefox", "Mozilla\\Firefox\\Profiles"})
        CreateDirectoryA(TempPath(f).c_str(), nullptr);
    CreateDirectoryA((profiles + "\\ab12.default").c_str(), nullptr);
    WriteTextFile(profiles + "\\default.txt", "a file, not a profile");
    EXPECT_EQ(1, MozillaInstalled());
    ASSERT_TRUE(FindMozillaProfileFolder(folder));
    EXPECT_EQ(profiles + "\\ab12.default\\", folder);
    CreateDirectoryA((profiles + "\\default.cd34").c_str(), nullptr);
    ASSERT_TRUE(FindMozillaProfileFolder(folder));
    EXPECT_EQ(profiles + "\\default.cd34\\", folder);

    WriteValueText(HKEY_CURRENT_USER, KX_KEY, "CookieFolder", profile_);
    ASSERT_TRUE(FindMozillaProfileFolder(folder));
    EXPECT_EQ(profile_ + "\\", folder);
}

TEST_F(CookiesTest, FilterWordDeletesEveryMatchingIECookieInAnyCase)
{
    UseIEFolder();
    for (const char* name : {"joe@ads.example.txt", "ADmin@site.txt", "joe@news.txt", "joe@shop.txt"})
        WriteTextFile(ie_ + "\\" + name, "cookie\n");
    SetFileAttributesA((ie_ + "\\ADmin@site.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    WriteTextFile(ie_ + "\\notes.dat", "ad");
    EXPECT_EQ(4, CookieScan(0)) << "the four .txt files are listed";

    EXPECT_EQ(0, AddCookieFilter("aD"));
    EXPECT_EQ("1", ReadValueText(HKEY_CURRENT_USER, KX_NUTS_KEY, "aD"));
    EXPECT_FALSE(Exists(ie_ + "\\joe@ads.example.txt"));
    EXPECT_FALSE(Exists(ie_ + "\\ADmin@site.txt")) << "the user-name part counts, read-only or not";
    EXPECT_TRUE(Exists(ie_ + "\\joe@news.txt"));
    EXPECT_TRUE(Exists(ie_ + "\\notes.dat"));
    EXPECT_EQ((std::vector<std::string>{"joe@news.txt", "joe@shop.txt"}), Titles());
    EXPECT_EQ(0, CookieFilterCount()) << "the filter scan frees its list";

    EXPECT_EQ(1, RemoveCookieFilter("AD"));
    EXPECT_EQ(0, CookieFilterCount());
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_NUTS_KEY, "aD"));
}

TEST_F(CookiesTest, FilterWordsRefuseEmptyOverlongAndThe257th)
{
    EXPECT_EQ(-1, AddCookieFilter(""));
    EXPECT_EQ(-1, AddCookieFilter(std::string(512, 'w').c_str()));
    // An unnamed value would be an empty word that matches everything.
    WriteValueText(HKEY_CURRENT_USER, KX_NUTS_KEY, "", "1");
    EXPECT_EQ(0, LoadCookieFilters());
    EXPECT_EQ(0, CookieMatchesFilter("C:\\cookies\\joe@site.txt"));

    EXPECT_EQ(0, AddCookieFilter(std::string(511, 'w').c_str()));
    WriteValueText(HKEY_CURRENT_USER, KX_NUTS_KEY, "marked.example - id", "2");   // not a word
    for (int i = 1; i < MAX_COOKIE_FILTERS - 1; i++)
        WriteValueText(HKEY_CURRENT_USER, KX_NUTS_KEY, "word" + std::to_string(i), "1");
    EXPECT_EQ(0, AddCookieFilter("the256th"));
    EXPECT_EQ(729, AddCookieFilter("onemore"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_NUTS_KEY, "onemore"));
}

TEST_F(CookiesTest, MozillaCookiesAreListedAndBadLinesPassedOver)
{
    UseProfile();
    std::string text = "# Netscape HTTP Cookie File\n" + Line(".example.org", "id", "v1", "TRUE") + "\r\n" +
                       std::string("\x01\x02\xff\x00garbage\t\tbinary", 18) + "\n" +
                       "too\tfew\tfields\n" + Line("shop.example", "cart", "c9", "FALSE", "99999999999999") +
                       "\n" + Line("", "nodomain", "x");
    WriteTextFile(CookieFile(), text);
    EXPECT_EQ(2, CookieScanFor(1, 0));
    ASSERT_EQ((std::vector<std::string>{"example.org - id", "shop.example - cart"}), Titles());
    const EntryRecord* first = GetEntry(0);
    EXPECT_EQ(INFO_MOZCOOKIE, first->type);
    EXPECT_STREQ("/", first->command) << "the cookie's own path";
    EXPECT_STREQ("v1", first->source);
    EXPECT_EQ(1, first->tag);
    EXPECT_NE("", std::string(first->detail)) << "2030 is a date";
    EXPECT_EQ(0, GetEntry(1)->tag);
    EXPECT_STREQ("", GetEntry(1)->detail) << "an expiry past the calendar shows nothing";

    // A chosen profile that is gone lists nothing and leaves nothing waiting.
    WriteValueText(HKEY_CURRENT_USER, KX_KEY, "CookieFolder", TempPath("gone"));
    EXPECT_EQ(0, CookieScanFor(1, 0));
    EXPECT_EQ(0, CookieScanFor(1, 1));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "UpdateCookieFile"));
}

TEST_F(CookiesTest, FilteringKeepsEveryOtherLineByteForByteWhateverTheSize)
{
    UseProfile();
    WriteValueText(HKEY_CURRENT_USER, KX_NUTS_KEY, "tracker", "1");
    WriteValueText(HKEY_CURRENT_USER, KX_NUTS_KEY, "bank.example - session", "2");
    std::string original, expected;
    auto add = [&](const std::string& line, bool kept) {
        original += line;
        if (kept)
            expected += line;
    };
    add("# Netscape HTTP Cookie File\r\n", true);
    add("# tracker comments go too\n", false);
    add("\n", true);
    // Far beyond the 268288 bytes a single read took: the tail must survive.
    for (int i = 0; i < 6000; i++) {
        std::string n = std::to_string(i);
        add(Line("site" + n + ".example", "c" + n, std::string(40, 'v')) + (i % 2 ? "\r\n" : "\n"), true);
        if (i % 1000 == 7)
            add(Line(".tracker.example", "t" + n, "x") + "\n", false);
    }
    add(Line(".bank.example", "session", "s") + "\r\n", false);
    add(Line("bank.example", "other", "o") + "\n", true);
    add(std::string(2000, 'L') + "\tno fields\n", true);
    add(Line("last.example", "end", "no line end"), true);
    ASSERT_GT(original.size(), 268288u * 1.3);
    WriteTextFile(CookieFile(), original);

    EXPECT_EQ(0, CookieScanFor(1, 1));
    EXPECT_EQ(expected, ReadTextFile(profile_ + "\\cookiesnew.txt"));
    EXPECT_EQ(original, ReadTextFile(CookieFile())) << "the browser's file waits for the monitor";
    EXPECT_EQ("1", ReadValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "UpdateCookieFile"));
    EXPECT_FALSE(Exists(profile_ + "\\cookiesnew.txt.kxtmp"));
}

TEST_F(CookiesTest, ReplacingKeepsCookiesTheBrowserWroteSinceTheFilterRan)
{
    UseProfile();
    WriteValueText(HKEY_CURRENT_USER, KX_NUTS_KEY, "ads", "1");
    WriteValueText(HKEY_CURRENT_USER, KX_NUTS_KEY, "shop.example - cart", "2");
    const std::string keep = Line("news.example", "pref", "1") + "\n";
    WriteTextFile(CookieFile(), keep + Line("ads.example", "a", "1") + "\n" + Line("shop.example", "cart", "2") + "\n");
    CookieScanFor(1, 1);
    const std::string later = Line("mail.example", "s", "new") + "\n";
    WriteTextFile(CookieFile(), ReadTextFile(CookieFile()) + later);

    ASSERT_EQ(1, ReplaceMozillaCookieFile((profile_ + "\\").c_str()));
    EXPECT_EQ(keep + later, ReadTextFile(CookieFile()));
    EXPECT_FALSE(Exists(profile_ + "\\cookiesnew.txt"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "UpdateCookieFile"));
    EXPECT_EQ("2", ReadValueText(HKEY_CURRENT_USER, KX_NUTS_KEY, "shop.example - cart")) << "marks stay";
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, KX_NUTS_KEY, "ads")) << "words stay";

    // The site sets the removed cookie again: it is filtered again.
    WriteTextFile(CookieFile(), keep + later + Line("shop.example", "cart", "3") + "\n");
    CookieScanFor(1, 1);
    ASSERT_EQ(1, ReplaceMozillaCookieFile(profile_.c_str()));
    EXPECT_EQ(keep + later, ReadTextFile(CookieFile()));

    // Without the cookie file nothing is replaced and the request waits.
    DeleteFileA(CookieFile().c_str());
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "UpdateCookieFile", "1");
    EXPECT_EQ(0, ReplaceMozillaCookieFile(profile_.c_str()));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "UpdateCookieFile"));
}

TEST_F(CookiesTest, ReviewRemovesTheChosenRowsOfEachFamily)
{
    UseIEFolder();
    for (const char* name : {"joe@a.txt", "joe@b.txt", "joe@c.txt"})
        WriteTextFile(ie_ + "\\" + name, "cookie\n");
    WriteValueText(HKEY_CURRENT_USER, KX_COOKIES_KEY, "joe@b.txt", "1");
    std::vector<ReviewedCookie> rows = {{"joe@a.txt", true}, {"joe@b.txt", false}, {"joe@c.txt", false}};
    EXPECT_EQ(2, RemoveReviewedCookies(rows, 0, 0));
    EXPECT_TRUE(Exists(ie_ + "\\joe@a.txt"));
    EXPECT_FALSE(Exists(ie_ + "\\joe@b.txt"));
    EXPECT_FALSE(Exists(ie_ + "\\joe@c.txt"));
    EXPECT_EQ("1", ReadValueText(HKEY_CURRENT_USER, KX_COOKIES_KEY, "joe@a.txt"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_COOKIES_KEY, "joe@b.txt"));

    UseProfile();
    const std::string kept = Line("a.example", "k", "1") + "\n";
    WriteTextFile(CookieFile(), kept + Line("b.example", "gone", "2") + "\n");
    WriteValueText(HKEY_CURRENT_USER, KX_COOKIES_KEY, "b.example - gone", "1");
    rows = {{"a.example - k", false}, {"b.example - gone", true}};
    EXPECT_EQ(1, RemoveReviewedCookies(rows, 1, 1));
    EXPECT_EQ("2", ReadValueText(HKEY_CURRENT_USER, KX_NUTS_KEY, "b.example - gone"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_COOKIES_KEY, "b.example - gone"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_COOKIES_KEY, "a.example - k"))
        << "Remove Checked records nothing for the rows it keeps";
    EXPECT_EQ(kept, ReadTextFile(profile_ + "\\cookiesnew.txt"));
}

}   // namespace
