// What the user approved of today's browsers: one baseline value per extension, page group,
// policy value and offered extension, named by where it is and holding what was there. The
// monitor asks about what is not in it; a refused item the browser itself must act on (a
// blocked Chromium extension, a page put back by policy, a change waiting for Firefox to
// close) is remembered as refused so that it is not asked about again.
#pragma once
#include "keys.h"
#include <string>
#include <unordered_map>
#include <vector>

#define KX_BROWSERS_KEY KX_KEY "\\Browsers"
#define KX_BROWSERS_KNOWN_KEY KX_BROWSERS_KEY "\\Known"
#define KX_BROWSERS_REFUSED_KEY KX_BROWSERS_KEY "\\Refused"

// One thing a browser starts with, as the monitor compares it. The pages of one kind of one
// profile are one item (their addresses joined by line breaks, in order).
struct BrowserItem {
    int type = 0;           // TYPE_BROWSER_*
    std::string identity;   // the baseline's value name
    std::string data;       // what is compared: folder, addresses, policy data
    std::string browser;    // "Google Chrome", "Mozilla Firefox", ...
    std::string profile;    // profile name; "policy" or "registry" for those
    std::string title;      // for people
    std::string source;     // profile folder, or "HKLM\..." / "HKCU\..." key
    std::string id;         // extension id; the policy's value name
    int kind = 0;           // BrowserSettingKind of extensions and pages
    bool view32 = false;    // offered extensions: the machine's 32-bit view
};

struct EntryRecord;
// The item one browser entry of the list stands for (a page entry: that one page).
BrowserItem BrowserItemOfEntry(const EntryRecord& entry);

// Every browser item of the current user, read now (the shared entry list is refilled).
std::vector<BrowserItem> ReadBrowserItems();

// The baseline read once for a check.
class BrowserBaseline {
public:
    BrowserBaseline();
    // Approved as it is, refused as it is, or an extension already approved (a new version
    // in another folder is the same extension).
    bool Known(const BrowserItem& item) const;
    // The approved data of the item's identity; empty when none.
    std::string Approved(const BrowserItem& item) const;

private:
    std::unordered_map<std::string, std::string> known_, refused_;
};

// Yes: the item as it is becomes approved (and no longer refused). 1 when stored.
int ApproveBrowserItem(const BrowserItem& item);
// Approves an identity and data directly (the policy values Kestrix writes itself).
int ApproveBrowserIdentity(const std::string& identity, const std::string& data);
// No, where the browser acts later: the item as it is is not asked about again.
int MarkBrowserItemRefused(const BrowserItem& item);
// The baseline identity of a policy value ("HKCU\<path>", value name).
std::string PolicyIdentity(const std::string& location, const std::string& name);
// Once: everything present is approved (the first start of a build that guards browsers).
// 1 when it adopted now.
int AdoptBrowserItems();
