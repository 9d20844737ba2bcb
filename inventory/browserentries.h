// Today's browsers in the entry list: every profile's extensions and pages of Google Chrome,
// Microsoft Edge, Brave and Firefox, the policy values that force an extension or a page on
// them, and the registry keys that offer an extension to a Chromium browser.
#pragma once
#include <string>
#include <vector>

// Entry fields of the browser types (TYPE_BROWSER_*):
//   title    what it is, for people: "<browser> extension: <name>", "<browser> home page", ...
//   command  the extension's folder or file, the page's address, the policy's data
//   source   the profile folder, or the registry key ("HKLM\..." / "HKCU\...") of a policy or
//            external extension
//   key      "<browser>\<profile>" (profile "policy" or "registry" for those entries)
//   detail   "id=<id>", then "; from <where>" and "; value <name>" where known
//   tag      the BrowserSettingKind of profile entries; the registry view (0 or 32) of others
//   offByWindows  1 when the browser has the extension disabled
// Appends the entries of every browser and profile of the current user; the count added.
int AddBrowserProfileEntries();

// The browser add-ons of the IE Helpers page: the helper objects, toolbars and buttons of
// Internet Explorer, then today's browsers'. Clears the list first; the count.
int ListBrowserAddOnsAndProfiles();

// The policy key ("Software\Policies\...") of a browser by its name; nullptr when unknown.
const char* BrowserPolicyKey(const std::string& browser);
// 1 for Firefox, whose profile files Kestrix may change while it is closed.
int IsFirefoxName(const std::string& browser);

// Where the entries are read from, for the monitor's watches: every profile folder of every
// browser; and the keys (under HKLM and HKCU) of the policies and offered extensions, the
// latter kept in both views of the machine.
// namedNotMade: with the Chromium profiles Local State names whose folder is not made yet
// (the watches look out for them).
std::vector<std::string> BrowserProfileFolders(bool namedNotMade = false);
// The folders that hold the profiles (each Chromium browser's "User Data", Firefox's folder of
// profiles.ini), whether or not they exist: a profile added there is a change too.
std::vector<std::string> BrowserRootFolders();
struct BrowserKey {
    const char* path;
    bool bothViews;
};
std::vector<BrowserKey> BrowserWatchedKeys();

// Tests: the folders standing for %LOCALAPPDATA% and %APPDATA% (nullptr: the user's own).
void SetBrowserDataFolders(const char* local, const char* roaming);
