#include "browserentries.h"
#include "addons.h"
#include "browserprofile.h"
#include "entrylist.h"
#include "firefoxpolicies.h"
#include "registry.h"
#include "trace.h"
#include "wholefile.h"
#include <shlobj.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string g_localOverride, g_roamingOverride;
bool g_overridden;

std::string UserFolder(int csidl, const std::string& override)
{
    if (g_overridden)
        return override;
    char path[MAX_PATH] = "";
    return SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : "";
}

struct ChromiumBrowser {
    const char* name;
    const char* userData;     // under %LOCALAPPDATA%
    const char* policyKey;    // under HKLM / HKCU
    const char* externalKey;  // extensions offered by other programs, under Software
};

const ChromiumBrowser kChromiumBrowsers[] = {
    {"Google Chrome", "Google\\Chrome\\User Data", "Software\\Policies\\Google\\Chrome",
     "Software\\Google\\Chrome\\Extensions"},
    {"Microsoft Edge", "Microsoft\\Edge\\User Data", "Software\\Policies\\Microsoft\\Edge",
     "Software\\Microsoft\\Edge\\Extensions"},
    {"Brave", "BraveSoftware\\Brave-Browser\\User Data", "Software\\Policies\\BraveSoftware\\Brave",
     "Software\\BraveSoftware\\Brave-Browser\\Extensions"},
};
const char kFirefox[] = "Mozilla Firefox";
const char kFirefoxPolicyKey[] = "Software\\Policies\\Mozilla\\Firefox";

const char* KindText(int kind)
{
    switch (kind) {
    case BROWSER_EXTENSION: return "extension";
    case BROWSER_HOMEPAGE: return "home page";
    case BROWSER_STARTUP_PAGE: return "start-up page";
    case BROWSER_SEARCH: return "search engine";
    }
    return "setting";
}

// The record is made here rather than by AddEntry: an address or a policy's data is shown and
// known exactly as the browser reads it, quotes and all.
void Add(const std::string& title, const std::string& command, const std::string& source,
         const std::string& key, const std::string& detail, int type, int tag, bool disabled)
{
    EntryRecord* record = (EntryRecord*)calloc(1, sizeof(EntryRecord));
    if (!record)
        return;
    lstrcpynA(record->title, title.c_str(), sizeof(record->title));
    lstrcpynA(record->command, command.c_str(), sizeof(record->command));
    lstrcpynA(record->source, source.c_str(), sizeof(record->source));
    lstrcpynA(record->key, key.c_str(), sizeof(record->key));
    lstrcpynA(record->detail, detail.c_str(), sizeof(record->detail));
    record->type = type;
    record->tag = tag;
    record->offByWindows = disabled ? 1 : 0;
    AppendEntryRecord(record);
}

void AddProfileSettings(const char* browser, const std::string& profile, const std::string& folder,
                        const std::vector<BrowserSetting>& settings)
{
    for (const BrowserSetting& s : settings) {
        std::string title = std::string(browser) + " " + KindText(s.kind);
        if (s.kind == BROWSER_EXTENSION || (s.kind == BROWSER_SEARCH && !s.name.empty()))
            title += ": " + (s.name.empty() ? s.id : s.name);
        std::string detail = "id=" + s.id;
        if (!s.location.empty())
            detail += "; from " + s.location;
        Add(title, s.value, folder, std::string(browser) + "\\" + profile, detail,
            s.kind == BROWSER_EXTENSION ? TYPE_BROWSER_EXTENSION : TYPE_BROWSER_PAGE, s.kind,
            !s.enabled);
    }
}

std::string FileText(const std::string& path)
{
    std::string text;
    ReadWholeFile(path.c_str(), &text);
    return text;
}

void AddChromiumProfiles(const ChromiumBrowser& browser, const std::string& local)
{
    if (local.empty())
        return;
    const std::string userData = local + "\\" + browser.userData;
    for (const std::string& profile : ChromiumProfileNames(userData)) {
        const std::string folder = userData + "\\" + profile;
        std::vector<BrowserSetting> settings;
        if (ReadChromiumProfile(FileText(folder + "\\Preferences"), FileText(folder + "\\Secure Preferences"),
                                folder + "\\Extensions", &settings))
            AddProfileSettings(browser.name, profile, folder, settings);
        else
            Trace("Browser profile does not parse", folder.c_str());
    }
}

void AddFirefoxProfiles(const std::string& roaming)
{
    if (roaming.empty())
        return;
    const std::string root = roaming + "\\Mozilla\\Firefox";
    for (const std::string& folder : FirefoxProfileFolders(FileText(root + "\\profiles.ini"), root)) {
        std::vector<BrowserSetting> settings;
        std::string extensions = FileText(folder + "\\extensions.json");
        if (!extensions.empty() && !ReadFirefoxExtensions(extensions, &settings)) {
            Trace("Browser profile does not parse", folder.c_str());
            continue;
        }
        ReadFirefoxPages(FileText(folder + "\\prefs.js"), FileText(folder + "\\user.js"), &settings);
        size_t slash = folder.find_last_of('\\');
        AddProfileSettings(kFirefox, folder.substr(slash == std::string::npos ? 0 : slash + 1), folder,
                           settings);
    }
}

const char* RootName(HKEY root) { return root == HKEY_LOCAL_MACHINE ? "HKLM" : "HKCU"; }

// The policy values that put an extension or a page on a browser: every value of the list
// keys, and the single values by name.
void AddPolicies(const char* browser, const char* policyKey, const char* const* lists,
                 const char* const* singles)
{
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        for (const char* const* list = lists; *list; list++) {
            std::string path = std::string(policyKey) + "\\" + *list;
            ForEachTextValue(root, path.c_str(), [&](const RegValueItem& value) {
                Add(std::string(browser) + " policy " + *list + ": " + value.name, value.text(),
                    std::string(RootName(root)) + "\\" + path, std::string(browser) + "\\policy",
                    "value " + value.name, TYPE_BROWSER_POLICY, 0, false);
            });
        }
        for (const char* const* single = singles; *single; single++) {
            ForEachTextValue(root, policyKey, [&](const RegValueItem& value) {
                if (lstrcmpiA(value.name.c_str(), *single) == 0)
                    Add(std::string(browser) + " policy " + value.name, value.text(), std::string(RootName(root)) + "\\" + policyKey,
                        std::string(browser) + "\\policy", "value " + value.name, TYPE_BROWSER_POLICY,
                        0, false);
            });
        }
    }
}

// Extensions other programs offer through the registry: a key per extension id, in both
// views of the machine and for the user.
void AddExternalExtensions(const ChromiumBrowser& browser)
{
    struct Place {
        HKEY root;
        REGSAM view;
    } places[] = {{HKEY_LOCAL_MACHINE, 0}, {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY}, {HKEY_CURRENT_USER, 0}};
    for (const Place& place : places) {
        ForEachSubkey(place.root, browser.externalKey, [&](const std::string& id) {
            std::string path = std::string(browser.externalKey) + "\\" + id;
            char file[260] = "", update[260] = "";
            GetRegValue(place.root, path.c_str(), "path", file, sizeof(file), place.view);
            GetRegValue(place.root, path.c_str(), "update_url", update, sizeof(update), place.view);
            Add(std::string(browser.name) + " extension offered by a program: " + id, file[0] ? file : update,
                std::string(RootName(place.root)) + "\\" + path, std::string(browser.name) + "\\registry",
                "id=" + id, TYPE_BROWSER_EXTERNAL, place.view ? 32 : 0, false);
        }, place.view);
    }
}

// The policies file beside the program: a damaged file lists nothing.
void AddFirefoxPolicyFiles()
{
    for (const std::string& file : FirefoxPolicyFiles()) {
        std::string text = FileText(file);
        std::vector<FirefoxPolicy> policies;
        if (text.empty())
            continue;
        if (!ReadFirefoxPolicies(text, &policies)) {
            Trace("Browser policy file does not parse", file.c_str());
            continue;
        }
        for (const FirefoxPolicy& policy : policies)
            Add(std::string(kFirefox) + " policy " + policy.name, policy.value, file,
                std::string(kFirefox) + "\\policy", "value " + policy.name, TYPE_BROWSER_POLICY, 0, false);
    }
}

}  // namespace

const char* BrowserPolicyKey(const std::string& browser)
{
    for (const ChromiumBrowser& b : kChromiumBrowsers)
        if (browser == b.name)
            return b.policyKey;
    return browser == kFirefox ? kFirefoxPolicyKey : nullptr;
}

std::vector<std::string> BrowserProfileFolders(bool namedNotMade)
{
    std::vector<std::string> folders;
    const std::string local = UserFolder(CSIDL_LOCAL_APPDATA, g_localOverride);
    const std::string roaming = UserFolder(CSIDL_APPDATA, g_roamingOverride);
    for (const ChromiumBrowser& browser : kChromiumBrowsers) {
        if (local.empty())
            break;
        const std::string userData = local + "\\" + browser.userData;
        std::vector<std::string> names = ChromiumProfileNames(userData);
        // A profile Local State names before its Preferences is written is watched already;
        // a few named before their folder is made are looked out for (Local State is anyone's
        // to write, and each takes a watch).
        int notMade = 0;
        for (const std::string& named : ChromiumLocalStateProfiles(FileText(userData + "\\Local State"))) {
            DWORD attributes = GetFileAttributesA((userData + "\\" + named).c_str());
            bool listed = false;
            for (const std::string& name : names)
                listed |= lstrcmpiA(name.c_str(), named.c_str()) == 0;
            bool made = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
            if (!listed && (made || (namedNotMade && attributes == INVALID_FILE_ATTRIBUTES &&
                                     ++notMade <= 8)))
                names.push_back(named);
        }
        for (const std::string& profile : names)
            folders.push_back(userData + "\\" + profile);
    }
    if (!roaming.empty()) {
        const std::string root = roaming + "\\Mozilla\\Firefox";
        for (const std::string& folder : FirefoxProfileFolders(FileText(root + "\\profiles.ini"), root))
            folders.push_back(folder);
    }
    return folders;
}

std::vector<std::string> BrowserRootFolders()
{
    std::vector<std::string> folders;
    const std::string local = UserFolder(CSIDL_LOCAL_APPDATA, g_localOverride);
    const std::string roaming = UserFolder(CSIDL_APPDATA, g_roamingOverride);
    for (const ChromiumBrowser& browser : kChromiumBrowsers)
        if (!local.empty())
            folders.push_back(local + "\\" + browser.userData);
    if (!roaming.empty())
        folders.push_back(roaming + "\\Mozilla\\Firefox");
    return folders;
}

std::vector<BrowserKey> BrowserWatchedKeys()
{
    std::vector<BrowserKey> keys;
    for (const ChromiumBrowser& browser : kChromiumBrowsers) {
        keys.push_back({browser.policyKey, false});
        keys.push_back({browser.externalKey, true});
    }
    keys.push_back({kFirefoxPolicyKey, false});
    return keys;
}

int IsFirefoxName(const std::string& browser) { return browser == kFirefox; }

void SetBrowserDataFolders(const char* local, const char* roaming)
{
    g_overridden = local || roaming;
    g_localOverride = local ? local : "";
    g_roamingOverride = roaming ? roaming : "";
}

int AddBrowserProfileEntries()
{
    int before = EntryCount();
    const std::string local = UserFolder(CSIDL_LOCAL_APPDATA, g_localOverride);
    const std::string roaming = UserFolder(CSIDL_APPDATA, g_roamingOverride);
    static const char* const kChromiumLists[] = {"ExtensionInstallForcelist", "RestoreOnStartupURLs", nullptr};
    static const char* const kChromiumSingles[] = {"HomepageLocation", "DefaultSearchProviderSearchURL",
                                                   "ExtensionSettings", nullptr};
    for (const ChromiumBrowser& browser : kChromiumBrowsers) {
        AddChromiumProfiles(browser, local);
        AddPolicies(browser.name, browser.policyKey, kChromiumLists, kChromiumSingles);
        AddExternalExtensions(browser);
    }
    AddFirefoxProfiles(roaming);
    static const char* const kFirefoxLists[] = {"Extensions\\Install", "Homepage", nullptr};
    static const char* const kFirefoxSingles[] = {nullptr};
    AddPolicies(kFirefox, kFirefoxPolicyKey, kFirefoxLists, kFirefoxSingles);
    AddFirefoxPolicyFiles();
    return EntryCount() - before;
}

int ListBrowserAddOnsAndProfiles()
{
    ListBrowserAddOns();
    AddBrowserProfileEntries();
    return EntryCount();
}
