#include "realtime_browsers.h"
#include "browserentries.h"
#include <string>

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
    for (const std::string& profile : BrowserProfileFolders())
        folder(profile.c_str());
}
