// Today's browsers under the monitor: the check against its baseline over copies of the
// real-layout profiles (tests/browsers), what No leaves behind for each kind of item, and the
// history's restore, which must give back exactly what No took.
#include "browseranswers.h"
#include "browserentries.h"
#include "checks.h"
#include "entrylist.h"
#include "firefoxpolicies.h"
#include "foldercopy.h"
#include "history.h"
#include "kxtest.h"
#include "monitorseams.h"
#include "monitorstate.h"
#include "realtime.h"
#include "realtime_browsers.h"
#include "keys.h"
#include "handles.h"
#include "registry.h"
#include "undo.h"
#include "writefault.h"
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace {

const std::string kFixtures = std::string("Z:") + KX_SOURCE_DIR + "\\tests\\browsers";
const char* const kPolicyKeys[] = {"Software\\Policies\\Google\\Chrome", "Software\\Policies\\Microsoft\\Edge",
                                   "Software\\Policies\\BraveSoftware\\Brave", "Software\\Policies\\Mozilla\\Firefox"};
const char kChromeOffers[] = "Software\\Google\\Chrome\\Extensions";
const char kForcelist[] = "Software\\Policies\\Google\\Chrome\\ExtensionInstallForcelist";
const char kNewId[] = "ffffgggghhhhiiiijjjjkkkkllllmmmm";

std::vector<std::string> g_shown;
std::deque<int> g_answers;

int Answer(const char* text, const char*, UINT)
{
    g_shown.push_back(text);
    int answer = g_answers.empty() ? IDOK : g_answers.front();
    if (!g_answers.empty())
        g_answers.pop_front();
    return answer;
}
BOOL NoSound(LPCSTR, HMODULE, DWORD) { return TRUE; }

void DeleteOffers32()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kChromeOffers, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS)
        return;
    char name[256];
    while (RegEnumKeyA(key, 0, name, sizeof(name)) == ERROR_SUCCESS)
        if (RegDeleteKeyExA(key, name, KEY_WOW64_32KEY, 0) != ERROR_SUCCESS)
            break;
    RegCloseKey(key);
}

// Every value below a key, as "path\name=type:bytes" lines (empty keys leave no trace).
void Dump(HKEY root, const std::string& path, REGSAM view, std::string* out)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return;
    char name[512];
    BYTE data[4096];
    for (DWORD i = 0;; i++) {
        DWORD nameSize = sizeof(name), dataSize = sizeof(data), type = 0;
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS)
            break;
        *out += path + "\\" + name + "=" + std::to_string(type) + ":" + std::string((char*)data, dataSize) + "\n";
    }
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof(name)) == ERROR_SUCCESS; i++)
        Dump(root, path + "\\" + name, view, out);
    RegCloseKey(key);
}

class BrowserWatchTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        for (const char* key : kPolicyKeys) {
            ForgetKey(HKEY_CURRENT_USER, key);
            ForgetKey(HKEY_LOCAL_MACHINE, key);
        }
        ForgetKey(HKEY_CURRENT_USER, kChromeOffers);
        DeleteOffers32();
        ASSERT_TRUE(CopyFolderTree(kFixtures, TempPath("browsers")));
        SetBrowserDataFolders(TempPath("browsers\\Local").c_str(), TempPath("browsers\\Roaming").c_str());
        SetFirefoxInstallFolder(TempPath("browsers\\Program Files\\Mozilla Firefox").c_str());
        g_shown.clear();
        g_answers.clear();
        SetPatrolMessageSeam(Answer);
        SetSoundPlayerSeam(NoSound);
        // The first check takes what is there as approved.
        CheckBrowserEntries();
        ASSERT_TRUE(g_shown.empty()) << g_shown[0];
    }
    void TearDown() override
    {
        RealtimeStop();
        SetDeniedPlaces(0);
        lock_.reset();
        SetFirefoxInstallFolder(nullptr);
        DestroyFirefox();
        SetPatrolMessageSeam(nullptr);
        SetSoundPlayerSeam(nullptr);
        SetBrowserDataFolders(nullptr, nullptr);
        DeleteOffers32();
        alertOpen = 0;
        KxTest::TearDown();
    }

public:
    std::string Chrome(const char* file) { return TempPath(std::string("browsers\\Local\\Google\\Chrome\\User Data\\Default\\") + file); }
    std::string Firefox(const char* file)
    {
        return TempPath(std::string("browsers\\Roaming\\Mozilla\\Firefox\\Profiles\\k3x9.default-release\\") + file);
    }
    std::string Policies() { return TempPath("browsers\\Program Files\\Mozilla Firefox\\distribution\\policies.json"); }
    void ForcePolicyExtension()
    {
        Replace(Policies(), "\"ExtensionSettings\": {",
                "\"ExtensionSettings\": {\"evil@x.example\": {\"installation_mode\": \"force_installed\", "
                "\"install_url\": \"https://evil.example/e.xpi\"},");
    }
    void Replace(const std::string& file, const std::string& from, const std::string& to)
    {
        std::string text = ReadTextFile(file);
        size_t at = text.find(from);
        ASSERT_NE(std::string::npos, at) << from;
        ASSERT_TRUE(WriteTextFile(file, text.replace(at, from.size(), to)));
    }
    void AddChromeExtension()
    {
        Replace(Chrome("Preferences"), "\"settings\": {",
                std::string("\"settings\": {\n \"") + kNewId +
                    "\": { \"location\": 1, \"path\": \"x\\\\1.0\", \"manifest\": { \"name\": \"Sneaky Shopper\" } },");
    }
    void AddFirefoxAddon()
    {
        Replace(Firefox("extensions.json"), "\"addons\":[",
                "\"addons\":[\n {\"id\":\"coupons@evil.example\",\"type\":\"extension\",\"location\":\"app-profile\","
                "\"active\":true,\"userDisabled\":false,\"defaultLocale\":{\"name\":\"Coupon Grabber\"}},");
    }
    void SetFirefoxHome(const char* page)
    {
        ASSERT_TRUE(WriteTextFile(Firefox("user.js"),
                                  std::string("user_pref(\"browser.startup.homepage\", \"") + page + "\");\n"));
    }
    // What No and the restore act on: the policy and offer keys and the profile files.
    std::string State()
    {
        std::string state;
        Dump(HKEY_CURRENT_USER, "Software\\Policies", 0, &state);
        Dump(HKEY_LOCAL_MACHINE, "Software\\Policies\\Google", 0, &state);
        Dump(HKEY_LOCAL_MACHINE, kChromeOffers, KEY_WOW64_32KEY, &state);
        for (const std::string& file : {Chrome("Preferences"), Firefox("user.js"), Firefox("prefs.js"), Firefox("extensions.json"),
                                        Policies()})
            state += file + "\n" + ReadTextFile(file) + "\n";
        return state;
    }
    // The newest browser line of the history, restored.
    int RestoreNewest()
    {
        int found = -1;
        for (int i = 0; i < ReadHistory(); i++)
            if (GetEntry(i)->tag == ACT_START_REMOVE && GetEntry(i)->type >= TYPE_BROWSER_EXTENSION &&
                GetEntry(i)->type <= TYPE_BROWSER_EXTERNAL)
                found = i;
        return found < 0 ? -1 : RestoreHistoryEvent(found);
    }
    void OpenFirefox()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "MozillaWindowClass";
        RegisterClassA(&wc);
        firefox_ = CreateWindowA("MozillaWindowClass", "Firefox", 0, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(nullptr, firefox_);
    }
    void DestroyFirefox()
    {
        if (firefox_)
            DestroyWindow(firefox_);
        firefox_ = nullptr;
    }
    HWND firefox_ = nullptr;
    Handle lock_;
};

TEST_F(BrowserWatchTest, EachNewOrChangedItemIsAskedOnceNamingBrowserAndProfile)
{
    const struct {
        const char* what;
        std::function<void(BrowserWatchTest*)> change;
        std::vector<std::string> said;   // empty: no alert
    } rows[] = {
        {"new extension", [](BrowserWatchTest* t) { t->AddChromeExtension(); },
         {"Google Chrome, profile Default", "Sneaky Shopper"}},
        {"force-install policy",
         [](BrowserWatchTest*) { WriteValueText(HKEY_CURRENT_USER, kForcelist, "1", std::string(kNewId) + ";https://x.example/crx"); },
         {"policy value for Google Chrome", "ExtensionInstallForcelist: 1", kNewId}},
        {"changed home page", [](BrowserWatchTest* t) { t->SetFirefoxHome("https://evil.example/"); },
         {"Mozilla Firefox home page (profile k3x9.default-release)", "new page is https://evil.example/", "hijack.example"}},
        {"changed search engine",
         [](BrowserWatchTest* t) { t->Replace(t->Chrome("Secure Preferences"), "searchy.example/?q", "evilsearch.example/?q"); },
         {"Google Chrome search engine", "profile Default", "evilsearch.example", "searchy.example"}},
        {"offered extension, 32-bit view",
         [](BrowserWatchTest*) {
             HKEY key;
             ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kChromeOffers) + "\\" + kNewId).c_str(), 0,
                                                      nullptr, 0, KEY_WRITE | KEY_WOW64_32KEY, nullptr, &key, nullptr));
             RegSetValueExA(key, "update_url", 0, REG_SZ, (const BYTE*)"https://u.example/", 19);
             RegCloseKey(key);
         },
         {"program offers Google Chrome", kNewId, "https://u.example/"}},
        {"policies file forces an extension", [](BrowserWatchTest* t) { t->ForcePolicyExtension(); },
         {"policy value for Mozilla Firefox", "ExtensionSettings\\evil@x.example", "https://evil.example/e.xpi",
          "distribution\\policies.json"}},
        {"policies file changes the home page",
         [](BrowserWatchTest* t) { t->Replace(t->Policies(), "https://intranet.corp.example/", "https://evil.example/"); },
         {"Mozilla Firefox policy Homepage\\URL", "https://evil.example/"}},
        {"unchanged file rewritten", [](BrowserWatchTest* t) { t->Replace(t->Chrome("Preferences"), "{", "{"); }, {}},
        {"Firefox add-on turned off by the user",
         [](BrowserWatchTest* t) { t->Replace(t->Firefox("extensions.json"), "\"active\":true", "\"active\":false"); }, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        g_shown.clear();
        g_answers = {IDYES};
        row.change(this);
        CheckBrowserEntries();
        ASSERT_EQ(row.said.empty() ? 0u : 1u, g_shown.size());
        for (const std::string& text : row.said)
            EXPECT_NE(std::string::npos, g_shown[0].find(text)) << g_shown[0];
        // Yes approved it.
        g_shown.clear();
        CheckBrowserEntries();
        EXPECT_TRUE(g_shown.empty());
    }
}

TEST_F(BrowserWatchTest, NoPutsBackTheStateBeforeAndTheHistoryRestoresExactlyWhatNoTook)
{
    const struct {
        const char* what;
        std::function<void(BrowserWatchTest*)> change;
        bool backAsBefore;              // No leaves the state before the change
        std::string afterNo;            // else: what the state holds after No
        std::string said;               // what No says (empty: nothing)
    } rows[] = {
        {"force-install policy value removed",
         [](BrowserWatchTest*) { WriteValueText(HKEY_CURRENT_USER, kForcelist, "1", std::string(kNewId) + ";https://x.example/crx"); },
         true, "", ""},
        {"machine policy value removed",
         [](BrowserWatchTest*) { WriteValueText(HKEY_LOCAL_MACHINE, "Software\\Policies\\Google\\Chrome", "HomepageLocation", "https://evil.example/"); },
         true, "", ""},
        {"offered extension key removed from the 32-bit view",
         [](BrowserWatchTest*) {
             HKEY key;
             ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kChromeOffers) + "\\" + kNewId).c_str(), 0,
                                                      nullptr, 0, KEY_WRITE | KEY_WOW64_32KEY, nullptr, &key, nullptr));
             RegSetValueExA(key, "path", 0, REG_SZ, (const BYTE*)"C:\\x.crx", 9);
             RegSetValueExA(key, "version", 0, REG_SZ, (const BYTE*)"1.0", 4);
             RegCloseKey(key);
         },
         true, "", ""},
        {"Firefox policies file without the entry, the file as it was kept",
         [](BrowserWatchTest* t) { t->ForcePolicyExtension(); }, true, "", ""},
        {"Firefox home page put back in user.js", [](BrowserWatchTest* t) { t->SetFirefoxHome("https://evil.example/"); },
         true, "", ""},
        {"Firefox add-on turned off", [](BrowserWatchTest* t) { t->AddFirefoxAddon(); },
         false, "\"active\":false,\"defaultLocale\":{\"name\":\"Coupon Grabber\"},\"id\":\"coupons@evil.example\"", ""},
        {"Chrome extension blocked by policy", [](BrowserWatchTest*) {}, false,
         std::string("ExtensionInstallBlocklist\\1=1:") + kNewId, "blocked this extension with a policy"},
        {"Chrome home page put back by policy",
         [](BrowserWatchTest* t) { t->Replace(t->Chrome("Preferences"), "https://start.example.org/", "https://evil.example/"); },
         false, "Chrome\\HomepageLocation=1:https://start.example.org/", "put your page back with a policy"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        if (std::string(row.what) == "Chrome extension blocked by policy")
            AddChromeExtension();
        const std::string before = State();
        row.change(this);
        const std::string changed = State();
        g_shown.clear();
        g_answers = {IDNO};
        CheckBrowserEntries();
        ASSERT_GE(g_shown.size(), 1u);
        const std::string after = State();
        if (row.backAsBefore)
            EXPECT_EQ(before, after);
        else
            EXPECT_NE(std::string::npos, after.find(row.afterNo)) << after;
        if (!row.said.empty()) {
            ASSERT_EQ(2u, g_shown.size());
            EXPECT_NE(std::string::npos, g_shown[1].find(row.said)) << g_shown[1];
        } else {
            EXPECT_EQ(1u, g_shown.size()) << g_shown.back();
        }
        // Answered: not asked again.
        g_shown.clear();
        CheckBrowserEntries();
        EXPECT_TRUE(g_shown.empty()) << g_shown[0];

        EXPECT_EQ(1, RestoreNewest());
        EXPECT_EQ(changed, State());
        // Nothing brought back stays marked refused.
        std::string refused;
        Dump(HKEY_CURRENT_USER, KX_BROWSERS_REFUSED_KEY, 0, &refused);
        EXPECT_EQ("", refused);
        // What the restore brought back is approved.
        CheckBrowserEntries();
        EXPECT_TRUE(g_shown.empty()) << g_shown[0];
    }
}

TEST_F(BrowserWatchTest, FirefoxFilesChangeOnlyOnceFirefoxIsClosed)
{
    SetFirefoxHome("https://evil.example/");
    const std::string changed = State();
    OpenFirefox();
    g_answers = {IDNO};
    CheckBrowserEntries();
    ASSERT_EQ(2u, g_shown.size());
    EXPECT_NE(std::string::npos, g_shown[1].find("as soon as Firefox is closed")) << g_shown[1];
    EXPECT_EQ(changed, State());
    // Still open: still waiting, not asked again.
    g_shown.clear();
    CheckBrowserEntries();
    EXPECT_TRUE(g_shown.empty());
    EXPECT_EQ(changed, State());

    DestroyFirefox();
    CheckBrowserEntries();
    EXPECT_TRUE(g_shown.empty());
    EXPECT_NE(std::string::npos, ReadTextFile(Firefox("user.js")).find("hijack.example"));
    EXPECT_EQ(std::string::npos, ReadTextFile(Firefox("user.js")).find("evil.example"));

    // Set again once put back: asked again.
    SetFirefoxHome("https://evil.example/");
    g_answers = {IDYES};
    CheckBrowserEntries();
    EXPECT_EQ(1u, g_shown.size());
}

TEST_F(BrowserWatchTest, RefusedWriteChangesNothingAndIsSaid)
{
    // Policy removal from the machine's key, and a page policy in the user's own key whose
    // second write fails after its first took: both leave everything as it was.
    const struct {
        const char* what;
        std::function<void(BrowserWatchTest*)> change;
        std::function<void()> refuse;
    } rows[] = {
        {"machine policy, no rights",
         [](BrowserWatchTest*) { WriteValueText(HKEY_LOCAL_MACHINE, "Software\\Policies\\Google\\Chrome", "HomepageLocation", "https://evil.example/"); },
         [] { SetDeniedPlaces(PLACE_HKLM); }},
        {"Firefox page the file would not read back",
         [](BrowserWatchTest* t) {
             ASSERT_TRUE(WriteTextFile(t->Firefox("user.js"),
                                       "/*\nuser_pref(\"browser.startup.homepage\", \"https://old.example/\");\n"
                                       "*/ user_pref(\"browser.startup.homepage\", \"https://evil.example/\");\n"));
         },
         [] {}},
        {"page policy, later step fails",
         [](BrowserWatchTest* t) { t->Replace(t->Chrome("Preferences"), "https://start.example.org/", "https://evil.example/"); },
         [] { SetWriteFault(9); }},
        // Held by another program, as Program Files refuses a standard user's write.
        {"Firefox policies file that cannot be written", [](BrowserWatchTest* t) { t->ForcePolicyExtension(); },
         [this] {
             lock_.reset(CreateFileA(Policies().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
             ASSERT_TRUE(lock_);
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        row.change(this);
        const std::string changed = State();
        g_shown.clear();
        g_answers = {IDNO};
        row.refuse();
        CheckBrowserEntries();
        SetDeniedPlaces(0);
        SetWriteFault(0);
        ASSERT_EQ(2u, g_shown.size()) << g_shown.back();
        EXPECT_NE(std::string::npos, g_shown[1].find("Nothing was changed")) << g_shown[1];
        EXPECT_EQ(changed, State());
        // Nothing was recorded for the history either.
        for (int i = 0; i < ReadHistory(); i++)
            EXPECT_NE(ACT_START_REMOVE, GetEntry(i)->tag);
        // Still not answered: asked again, and approved now for the next row.
        g_shown.clear();
        g_answers = {IDYES};
        CheckBrowserEntries();
        EXPECT_EQ(1u, g_shown.size());
    }
}

TEST_F(BrowserWatchTest, OnlyTheSettingsFilesOfAProfileFolderCountAsItsChange)
{
    const std::string folder = Firefox("");
    const char* name = folder.c_str();
    BrowserProfileChanged(name);
    EXPECT_FALSE(BrowserProfileChanged(name));
    const struct {
        const char* file;
        bool counts;
    } rows[] = {
        {"sessionstore.jsonlz4", false}, {"cookies.sqlite-wal", false}, {"prefs.js", true},
        {"user.js", true}, {"extensions.json", true}, {"places.sqlite", false}, {"profiles.ini", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        ASSERT_TRUE(WriteTextFile(folder + row.file, std::string("written ") + row.file + " " + std::to_string(GetTickCount())));
        EXPECT_EQ(row.counts, BrowserProfileChanged(name));
        EXPECT_FALSE(BrowserProfileChanged(name));
    }
}

TEST_F(BrowserWatchTest, RestoreTakesOutOnlyTheBlocklistEntryKestrixWrote)
{
    const std::string blocklist = "Software\\Policies\\Google\\Chrome\\ExtensionInstallBlocklist";
    const std::string identity = "904|Google Chrome\\Default|" + std::string(kNewId);
    const char kAdmins[] = "aaaabbbbccccddddeeeeffffgggghhhh", kOthers[] = "hhhhggggffffeeeeddddccccbbbbaaaa";
    WriteValueText(HKEY_CURRENT_USER, blocklist, "1", kAdmins);
    AddChromeExtension();
    const struct {
        const char* what;
        const char* slotAfterRestore;   // nullptr: gone
    } rows[] = {
        {"Kestrix's entry as it wrote it", nullptr},
        {"the slot rewritten by another program since", kOthers},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        // Asked about (again: the previous row's restore approved it).
        DeleteRegValue(HKEY_CURRENT_USER, KX_BROWSERS_KNOWN_KEY, identity.c_str());
        g_shown.clear();
        g_answers = {IDNO, IDOK};
        CheckBrowserEntries();
        ASSERT_EQ(2u, g_shown.size());
        ASSERT_EQ(kNewId, ReadValueText(HKEY_CURRENT_USER, blocklist, "2"));
        if (row.slotAfterRestore)
            WriteValueText(HKEY_CURRENT_USER, blocklist, "2", row.slotAfterRestore);
        ASSERT_EQ(1, RestoreNewest());
        EXPECT_EQ(row.slotAfterRestore != nullptr, ValueExists(HKEY_CURRENT_USER, blocklist, "2"));
        if (row.slotAfterRestore) {
            EXPECT_EQ(row.slotAfterRestore, ReadValueText(HKEY_CURRENT_USER, blocklist, "2"));
        }
        EXPECT_EQ(kAdmins, ReadValueText(HKEY_CURRENT_USER, blocklist, "1"));
        // No longer refused: approved, not asked about.
        EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_BROWSERS_REFUSED_KEY, identity));
        g_shown.clear();
        CheckBrowserEntries();
        EXPECT_TRUE(g_shown.empty()) << g_shown[0];
        DeleteRegValue(HKEY_CURRENT_USER, blocklist.c_str(), "2");
    }
}

// The loop's part until the first request: its categories and the watch that fired first.
std::pair<int, std::string> PumpUntilRequest(DWORD ms = 10000)
{
    std::string first;
    for (DWORD started = GetTickCount(); GetTickCount() - started < ms;) {
        DWORD wait = RealtimeWaitTimeout();
        DWORD r = WaitForMultipleObjects(RealtimeHandleCount(), RealtimeHandles(), FALSE, wait > 200 ? 200 : wait);
        if (r < WAIT_OBJECT_0 + (DWORD)RealtimeHandleCount()) {
            if (first.empty())
                first = RealtimeWatchName(r - WAIT_OBJECT_0);
            RealtimeOnSignal(r - WAIT_OBJECT_0);
        }
        if (int categories = RealtimeTakeRequest())
            return {categories, first};
    }
    return {0, first};
}

TEST_F(BrowserWatchTest, ProfileMadeAfterTheStartAndThePoliciesFileAreWatchedLive)
{
    const std::string userData = TempPath("browsers\\Local\\Google\\Chrome\\User Data");
    const std::string firefoxRoot = TempPath("browsers\\Roaming\\Mozilla\\Firefox");
    const std::string newFirefox = firefoxRoot + "\\Profiles\\n3w.second", newChrome = userData + "\\Profile 2";
    ASSERT_GT(RealtimeStart(), 0);
    // What the start itself stirred.
    PumpUntilRequest(300);
    const struct {
        const char* what;
        std::function<void()> change;
        std::string watch;   // the watch that sees it
    } rows[] = {
        {"Firefox profile made and named in profiles.ini",
         [&] {
             ASSERT_TRUE(CreateDirectoryA(newFirefox.c_str(), nullptr));
             ASSERT_TRUE(WriteTextFile(newFirefox + "\\prefs.js", "// new\n"));
             ASSERT_TRUE(WriteTextFile(firefoxRoot + "\\profiles.ini", ReadTextFile(firefoxRoot + "\\profiles.ini") +
                                                                          "\n[Profile7]\nName=second\nIsRelative=1\nPath=Profiles/n3w.second\n"));
         },
         firefoxRoot},
        {"an add-on in the new Firefox profile",
         [&] { ASSERT_TRUE(WriteTextFile(newFirefox + "\\extensions.json", "{\"addons\":[]}")); }, newFirefox},
        // Chromium names the profile in Local State before it writes the profile's Preferences.
        {"Chrome profile made and named in Local State",
         [&] {
             ASSERT_TRUE(CreateDirectoryA(newChrome.c_str(), nullptr));
             ASSERT_TRUE(WriteTextFile(userData + "\\Local State", "{\"profile\":{\"info_cache\":{\"Profile 2\":{}}}}"));
         },
         userData},
        {"the new Chrome profile's first Preferences",
         [&] { ASSERT_TRUE(WriteTextFile(newChrome + "\\Preferences", "{\"extensions\":{\"settings\":{}}}")); }, newChrome},
        // A profile named before its folder is made is watched once the folder appears.
        {"Chrome profile named in Local State before its folder is made",
         [&] {
             ASSERT_TRUE(WriteTextFile(userData + "\\Local State",
                                       "{\"profile\":{\"info_cache\":{\"Profile 2\":{},\"Profile 3\":{}}}}"));
         },
         userData},
        {"the named profile's folder made later",
         [&] {
             ASSERT_TRUE(CreateDirectoryA((userData + "\\Profile 3").c_str(), nullptr));
             ASSERT_TRUE(WriteTextFile(userData + "\\Profile 3\\Preferences", "{\"extensions\":{\"settings\":{}}}"));
         },
         ""},
        {"a Preferences change in the profile made later",
         [&] { ASSERT_TRUE(WriteTextFile(userData + "\\Profile 3\\Preferences", "{\"homepage\":\"https://kx.example/\"}")); },
         userData + "\\Profile 3"},
        {"Firefox's policies file",
         [&] { ForcePolicyExtension(); }, TempPath("browsers\\Program Files\\Mozilla Firefox\\distribution")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        row.change();
        std::pair<int, std::string> request = PumpUntilRequest();
        EXPECT_TRUE(request.first & REALTIME_ADDONS) << request.first;
        // Without a watch named, the folder's own watch or its parent's, whichever wakes first.
        if (!row.watch.empty()) {
            EXPECT_EQ(0, lstrcmpiA(row.watch.c_str(), request.second.c_str())) << request.second;
        }
    }
}

TEST_F(BrowserWatchTest, RestoreWritesOnlyWhereKestrixChangesBrowsers)
{
    // Records forged by another program of the user: a Run value, a system file, a file kept
    // outside the data folder.
    const std::string record = KX_KEY "\\Browsers\\Undo\\forged\\1";
    const std::string runKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    const std::string outside = TempPath("outside.js");
    SaveValue(HKEY_CURRENT_USER, runKey, "KxForged");
    ASSERT_TRUE(WriteTextFile(outside, "user_pref(\"x\", \"y\");\n"));
    const struct {
        const char* what;
        std::vector<std::pair<const char*, std::string>> values;
        std::function<bool()> untouched;
    } rows[] = {
        {"a Run value", {{"Root", "HKCU"}, {"Path", runKey}, {"Name", "KxForged"}},
         [&] { return !ValueExists(HKEY_CURRENT_USER, runKey, "KxForged"); }},
        {"a policy key's look-alike", {{"Root", "HKCU"}, {"Path", "Software\\Policies\\Google\\ChromeX"}, {"Name", "v"}},
         [&] { return !ValueExists(HKEY_CURRENT_USER, "Software\\Policies\\Google\\ChromeX", "v"); }},
        {"a file of the profile from a copy outside the data folder",
         {{"File", Firefox("user.js")}, {"Copy", outside}},
         [&] { return ReadTextFile(Firefox("user.js")).find("\"x\"") == std::string::npos; }},
        {"another file", {{"File", TempPath("browsers\\other.js")}, {"Copy", outside}},
         [&] { return GetFileAttributesA(TempPath("browsers\\other.js").c_str()) == INVALID_FILE_ATTRIBUTES; }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        DeleteKeyTree(HKEY_CURRENT_USER, KX_KEY "\\Browsers\\Undo\\forged");
        for (const auto& value : row.values)
            WriteValueText(HKEY_CURRENT_USER, record, value.first, value.second);
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, record.c_str(), &key));
        const DWORD existed = 1;
        RegSetValueExA(key, "Existed", 0, REG_DWORD, (const BYTE*)&existed, sizeof(existed));
        RegCloseKey(key);
        WriteValueText(HKEY_CURRENT_USER, record, "Data", "C:\\evil.exe");
        EXPECT_EQ(0, RestoreBrowserEntry("HKCU\\" KX_KEY "\\Browsers\\Undo\\forged"));
        EXPECT_TRUE(row.untouched());
    }
    DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Policies\\Google\\ChromeX");
}

TEST(FirefoxPrefEdit, OnlyTheNamedPrefLinesChange)
{
    const std::string text = "// comment user_pref(\"browser.startup.homepage\", \"a\");\r\n"
                             "user_pref(\"browser.startup.homepage\", \"old\");\r\n"
                             "user_pref(\"browser.startup.homepage.x\", \"keep\");\n";
    const std::string page = "https://new.example/?q=\"x\"";
    bool found = false;
    EXPECT_EQ("// comment user_pref(\"browser.startup.homepage\", \"a\");\r\n"
              "user_pref(\"browser.startup.homepage\", \"https://new.example/?q=\\\"x\\\"\");\r\n"
              "user_pref(\"browser.startup.homepage.x\", \"keep\");\n",
              WithFirefoxPref(text, "browser.startup.homepage", &page, false, &found));
    EXPECT_TRUE(found);
    EXPECT_EQ("// comment user_pref(\"browser.startup.homepage\", \"a\");\r\n"
              "user_pref(\"browser.startup.homepage.x\", \"keep\");\n",
              WithFirefoxPref(text, "browser.startup.homepage", nullptr, false, &found));
    const std::string b = "b";
    EXPECT_EQ("x\nuser_pref(\"a\", \"b\");\n", WithFirefoxPref("x", "a", &b, true, &found));
    EXPECT_FALSE(found);
    std::string out;
    EXPECT_FALSE(WithFirefoxAddonOff("{\"addons\":[{\"id\":\"a\"}]}", "b", &out));
    EXPECT_FALSE(WithFirefoxAddonOff("{\"addons\":[", "a", &out));
}

}   // namespace
