// What today's browsers start with, read from their profiles: the Chromium family's
// extensions, home, start-up and search pages (Preferences and Secure Preferences, JSON) and
// Firefox's add-ons (extensions.json) and pages (prefs.js, user.js). Files are only read; a
// file that does not parse gives nothing, so that a damaged profile is never acted on.
#pragma once
#include <string>
#include <vector>

enum BrowserSettingKind {
    BROWSER_EXTENSION = 1,   // id, name, value = the extension's folder
    BROWSER_HOMEPAGE = 2,    // value = the address
    BROWSER_STARTUP_PAGE = 3,
    BROWSER_SEARCH = 4,      // name = the engine's short name, value = its search address
};

struct BrowserSetting {
    int kind = 0;
    std::string id;         // extension id; for pages the preference's name
    std::string name;
    std::string value;
    std::string location;   // where an extension came from, as the browser records it
    bool enabled = true;
};

// One profile's settings from the text of its Preferences and Secure Preferences (either may
// be empty: the file is missing). extensionsFolder is the profile's "Extensions" folder, which
// relative extension paths start from; the name of an extension whose preferences have no
// manifest is read from its manifest.json there. False, and nothing added, when a present
// file does not parse.
bool ReadChromiumProfile(const std::string& preferences, const std::string& securePreferences,
                         const std::string& extensionsFolder, std::vector<BrowserSetting>* out);

// The extensions of a Firefox profile's extensions.json (themes, dictionaries and the
// browser's own built-in add-ons left out). False when the text does not parse.
bool ReadFirefoxExtensions(const std::string& extensionsJson, std::vector<BrowserSetting>* out);

// The home pages (one per "|"-separated address) from prefs.js, then user.js, whose values
// win as Firefox applies it at every start.
void ReadFirefoxPages(const std::string& prefsJs, const std::string& userJs,
                      std::vector<BrowserSetting>* out);

// The profile folders a Firefox profiles.ini names, each ending without a backslash;
// relative paths are taken from iniFolder.
std::vector<std::string> FirefoxProfileFolders(const std::string& profilesIni,
                                               const std::string& iniFolder);

// The profile folder names of a Chromium "User Data" folder ("Default", "Profile 1", ...):
// the folders that hold a Preferences file.
std::vector<std::string> ChromiumProfileNames(const std::string& userDataFolder);

// The profile folder names Local State lists (profile.info_cache), the browser's own list:
// written when a profile is made, often before the profile's Preferences. Names that would
// leave the User Data folder are left out; nothing when the text does not parse.
std::vector<std::string> ChromiumLocalStateProfiles(const std::string& localState);
