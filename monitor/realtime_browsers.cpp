#include "realtime_browsers.h"
#include "browserentries.h"
#include "firefoxpolicies.h"
#include <cstring>
#include <map>
#include <string>

namespace {

// A profile's settings, and the lists of profiles beside them.
const char* const kSettingsFiles[] = {"Preferences", "Secure Preferences", "extensions.json", "prefs.js",
                                      "user.js", "Local State", "profiles.ini", "policies.json"};
std::map<std::string, std::string> g_stamps;

std::string Stamp(const std::string& folder)
{
    std::string stamp;
    for (const char* name : kSettingsFiles) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExA((folder + "\\" + name).c_str(), GetFileExInfoStandard, &data))
            memset(&data, 0, sizeof(data));
        stamp.append((const char*)&data.nFileSizeLow, sizeof(DWORD));
        stamp.append((const char*)&data.nFileSizeHigh, sizeof(DWORD));
        stamp.append((const char*)&data.ftLastWriteTime, sizeof(FILETIME));
    }
    return stamp;
}

}   // namespace

bool BrowserProfileChanged(const char* folder)
{
    std::string stamp = Stamp(folder);
    auto known = g_stamps.find(folder);
    if (known == g_stamps.end()) {
        g_stamps[folder] = stamp;
        return true;
    }
    if (known->second == stamp)
        return false;
    known->second = stamp;
    return true;
}

void AddBrowserWatches(void (*key)(HKEY root, const char* path, REGSAM view),
                       void (*folder)(const char* path))
{
    for (const BrowserKey& watched : BrowserWatchedKeys()) {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            key(root, watched.path, 0);
        if (watched.bothViews)
            key(HKEY_LOCAL_MACHINE, watched.path, KEY_WOW64_32KEY);
    }
    // The profile's own files (Preferences, extensions.json, prefs.js, user.js) lie in it.
    for (const std::string& root : BrowserRootFolders()) {
        BrowserProfileChanged(root.c_str());
        folder(root.c_str());
    }
    for (const std::string& profile : BrowserProfileFolders(true)) {
        BrowserProfileChanged(profile.c_str());
        folder(profile.c_str());
    }
    // Firefox's policies file, in the "distribution" folder beside the program.
    for (const std::string& file : FirefoxPolicyFiles()) {
        const std::string distribution = file.substr(0, file.find_last_of('\\'));
        BrowserProfileChanged(distribution.c_str());
        folder(distribution.c_str());
    }
}

int AddNewBrowserProfileWatches(void (*folder)(const char* path))
{
    int added = 0;
    for (const std::string& profile : BrowserProfileFolders(true)) {
        if (g_stamps.count(profile))
            continue;
        // Stamped as it is now: the check this change wakes reads it whole.
        BrowserProfileChanged(profile.c_str());
        folder(profile.c_str());
        added++;
    }
    return added;
}
