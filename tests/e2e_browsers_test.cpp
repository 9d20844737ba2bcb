// End to end: the real Kestrix.exe guards today's browsers. A force-install policy value and
// a changed Firefox home page, made while it runs, are each asked about at once, naming the
// browser and profile; No puts back the state before, and the put-back asks nothing more.
#include "keys.h"
#include "e2e.h"
#include "waits.h"
#include <shlobj.h>
#include <string>

namespace {

const char kChromePolicies[] = "Software\\Policies\\Google\\Chrome";
const char kForcelist[] = "Software\\Policies\\Google\\Chrome\\ExtensionInstallForcelist";
const char kPrefs[] = "// Mozilla User Preferences\n\nuser_pref(\"browser.startup.homepage\", \"https://home.example/\");\n";

class BrowsersE2eTest : public MonitorE2eBase {
protected:
    void SetUp() override
    {
        MonitorE2eBase::SetUp();
        WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "HideRufo", "1");
        WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Sound", "0");
        ForgetKey(HKEY_CURRENT_USER, kChromePolicies);
        ForgetKey(HKEY_LOCAL_MACHINE, kChromePolicies);
        // The monitor finds Firefox's profiles where Firefox does: a profiles.ini in the user's
        // application data, here naming one profile in the test's folder.
        char appData[MAX_PATH] = "";
        ASSERT_TRUE(SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData)));
        mozilla_ = std::string(appData) + "\\Mozilla";
        ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(mozilla_.c_str())) << "a Firefox of the prefix";
        profile_ = TempPath("ffprofile");
        ASSERT_TRUE(CreateDirectoryA(mozilla_.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA((mozilla_ + "\\Firefox").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA(profile_.c_str(), nullptr));
        ASSERT_TRUE(WriteTextFile(mozilla_ + "\\Firefox\\profiles.ini",
                                  "[Profile0]\r\nName=default\r\nIsRelative=0\r\nPath=" + profile_ + "\r\nDefault=1\r\n"));
        ASSERT_TRUE(WriteTextFile(profile_ + "\\prefs.js", kPrefs));
        ASSERT_TRUE(WriteTextFile(profile_ + "\\extensions.json", "{\"schemaVersion\":35,\"addons\":[]}"));
    }
    void TearDown() override
    {
        MonitorE2eBase::TearDown();
        if (!mozilla_.empty())
            RemoveFolderTree(mozilla_);
    }

    // Answers the next alert with No; its text.
    std::string AnswerNo()
    {
        std::string shown;
        EXPECT_EQ(0, Drive("wait #32770 Kestrix 10000 sleep 200 dump click 7", &shown)) << shown;
        EXPECT_EQ(0, Drive("gone #32770 Kestrix 5000"));
        return shown;
    }

    std::string mozilla_, profile_;
};

TEST_F(BrowsersE2eTest, ForceInstallPolicyAndChangedHomePageAreAskedAndNoPutsTheStateBack)
{
    int monitor = StartReady();
    ASSERT_GE(monitor, 0);

    WriteValueText(HKEY_CURRENT_USER, kForcelist, "1", "ffffgggghhhhiiiijjjjkkkkllllmmmm;https://evil.example/crx");
    std::string shown = AnswerNo();
    EXPECT_NE(std::string::npos, shown.find("policy value for Google Chrome")) << shown;
    EXPECT_TRUE(WaitUntil([&] { return !ValueExists(HKEY_CURRENT_USER, kForcelist, "1"); }));

    ASSERT_TRUE(WriteTextFile(profile_ + "\\prefs.js",
                              "user_pref(\"browser.startup.homepage\", \"https://evil.example/\");\n"));
    shown = AnswerNo();
    EXPECT_NE(std::string::npos, shown.find("Mozilla Firefox home page (profile ffprofile)")) << shown;
    EXPECT_NE(std::string::npos, shown.find("https://evil.example/")) << shown;
    EXPECT_TRUE(WaitUntil([&] { return ReadTextFile(profile_ + "\\prefs.js").find("home.example") != std::string::npos; }));
    EXPECT_EQ("user_pref(\"browser.startup.homepage\", \"https://home.example/\");\n", ReadTextFile(profile_ + "\\prefs.js"));

    // The put-backs are no change to ask about.
    EXPECT_NE(0, Drive("wait #32770 Kestrix 3000"));
    std::string history = ReadTextFile(TempPath("history.txt"));
    EXPECT_NE(std::string::npos, history.find("IEHELPER_Alert\tTYPE_BROWSER_POLICY\tGoogle Chrome policy")) << history;
    EXPECT_NE(std::string::npos, history.find("*START_Remove\tTYPE_BROWSER_POLICY")) << history;
    EXPECT_NE(std::string::npos, history.find("*START_Remove\tTYPE_BROWSER_PAGE")) << history;
    WaitExit(Start("-Q"));
    EXPECT_NE(-1, WaitExit(monitor));
}

}   // namespace
