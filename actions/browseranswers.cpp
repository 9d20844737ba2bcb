#include "browseranswers.h"
#include "browserentries.h"
#include "browserprofile.h"
#include "browserundo.h"
#include "entrylist.h"
#include "firefoxpolicies.h"
#include "registry.h"
#include "resstring.h"
#include "textutil.h"
#include "trace.h"
#include "wholefile.h"
#include "writefault.h"
#include <cctype>
#include <nlohmann/json.hpp>

namespace {

const char kWaitingKey[] = KX_BROWSERS_KEY "\\Waiting";
const char kHomePref[] = "browser.startup.homepage";

enum {
    IDS_BROWSER_BLOCKED = 2010,
    IDS_BROWSER_PAGE_POLICY = 2011,
    IDS_BROWSER_WAITING = 2012,
    IDS_BROWSER_NOTHING_KEPT = 2013,
};

std::string JsQuoted(const std::string& text)
{
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        if (c == '\n' || c == '\r')
            continue;
        quoted += c;
    }
    return quoted + "\"";
}

// The name of the user_pref a line sets, when it begins with one.
bool PrefLineName(const std::string& line, std::string* name)
{
    size_t at = line.find_first_not_of(" \t");
    static const char kCall[] = "user_pref(";
    if (at == std::string::npos || line.compare(at, sizeof(kCall) - 1, kCall) != 0)
        return false;
    at = line.find_first_not_of(" \t", at + sizeof(kCall) - 1);
    if (at == std::string::npos || (line[at] != '"' && line[at] != '\''))
        return false;
    size_t end = line.find(line[at], at + 1);
    if (end == std::string::npos)
        return false;
    *name = line.substr(at + 1, end - at - 1);
    return true;
}

std::string Joined(const std::string& lines, char separator)
{
    std::string text = lines;
    for (char& c : text)
        if (c == '\n')
            c = separator;
    return text;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

std::string FileText(const std::string& path, bool* present)
{
    std::string text;
    *present = ReadWholeFile(path.c_str(), &text) != 0 || GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    return text;
}

// Firefox's pages: user.js is applied over prefs.js at every start, so the page goes back in
// the file that decides (user.js when it sets one, else prefs.js) and the other stays as it
// is; with none approved, every setting of it goes. The files are changed only when Firefox
// would read the approved page from them: a file whose comments or quotes swallow the line
// is left alone.
bool PutBackFirefoxPage(BrowserChange& change, const std::string& folder, const std::string& approved)
{
    const std::string paths[2] = {folder + "\\prefs.js", folder + "\\user.js"};
    std::string texts[2], edited[2];
    bool present[2], found[2] = {false, false};
    for (int i = 0; i < 2; i++)
        edited[i] = texts[i] = FileText(paths[i], &present[i]);
    const std::string value = Joined(approved, '|');
    if (approved.empty()) {
        for (int i = 0; i < 2; i++)
            edited[i] = WithFirefoxPref(texts[i], kHomePref, nullptr, false, &found[i]);
    } else {
        edited[1] = WithFirefoxPref(texts[1], kHomePref, &value, false, &found[1]);
        if (!found[1])
            edited[0] = WithFirefoxPref(texts[0], kHomePref, &value, true, &found[0]);
    }
    std::vector<BrowserSetting> pages;
    ReadFirefoxPages(edited[0], edited[1], &pages);
    std::string read;
    for (const BrowserSetting& page : pages)
        read += (read.empty() ? "" : "\n") + page.value;
    if (read != approved) {
        NoteWriteRefusal(ERROR_INVALID_DATA);
        SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    for (int i = 0; i < 2; i++)
        if (present[i] && edited[i] != texts[i] && !change.ReplaceFile(paths[i], edited[i]))
            return false;
    return true;
}

bool TurnOffFirefoxAddon(BrowserChange& change, const std::string& folder, const std::string& id)
{
    const std::string path = folder + "\\extensions.json";
    std::string text, edited;
    if (!ReadWholeFile(path.c_str(), &text) || !WithFirefoxAddonOff(text, id, &edited)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    return change.ReplaceFile(path, edited);
}

// A Firefox change that waits: made by ApplyWaitingBrowserChanges once the browser is closed.
int Wait(const BrowserItem& item, const std::string& argument)
{
    const std::string data = std::to_string(item.type) + "\t" + item.source + "\t" + argument + "\t" + item.title;
    if (!SetRegValue(HKEY_CURRENT_USER, kWaitingKey, item.identity.c_str(), data.c_str()))
        return BROWSER_REFUSED;
    MarkBrowserItemRefused(item);
    return BROWSER_WAITING;
}

int RefuseFirefoxItem(const BrowserItem& item, const std::string& approved)
{
    const std::string argument = item.type == TYPE_BROWSER_EXTENSION ? item.id : approved;
    if (FirefoxIsOpen())
        return Wait(item, argument);
    BrowserChange change;
    bool done = item.type == TYPE_BROWSER_EXTENSION ? TurnOffFirefoxAddon(change, item.source, item.id)
                                                    : PutBackFirefoxPage(change, item.source, approved);
    if (!done)
        return BROWSER_REFUSED;
    change.Finish(item.title.c_str(), item.data.c_str(), item.type);
    // A turned-off add-on stays listed: as it is now, it is answered.
    if (item.type == TYPE_BROWSER_EXTENSION)
        MarkBrowserItemRefused(item);
    return BROWSER_DONE;
}

// The lowest free number of a list policy ("1", "2", ...), or the one that already holds text.
std::string ListSlot(const std::string& path, const std::string& text, bool* present)
{
    *present = false;
    for (int n = 1;; n++) {
        char value[REG_READ_BUFFER] = "";
        std::string name = std::to_string(n);
        if (!RegValueExists(HKEY_CURRENT_USER, path.c_str(), name.c_str()))
            return name;
        GetRegValue(HKEY_CURRENT_USER, path.c_str(), name.c_str(), value, sizeof(value));
        if (text == value) {
            *present = true;
            return name;
        }
    }
}

bool BlockChromiumExtension(BrowserChange& change, const std::string& policyKey, const std::string& id)
{
    const std::string path = policyKey + "\\ExtensionInstallBlocklist";
    bool present = false;
    std::string slot = ListSlot(path, id, &present);
    return present || change.SetText(HKEY_CURRENT_USER, path, slot, id);
}

// The page policies a Chromium browser applies over its own settings. The values written are
// approved at once: they are Kestrix's own, not a change to ask about.
bool PutBackChromiumPage(BrowserChange& change, const std::string& policyKey, int kind,
                         const std::string& approved, std::vector<std::pair<std::string, std::string>>* own)
{
    const std::string location = "HKCU\\" + policyKey;
    std::vector<std::string> pages = Lines(approved);
    switch (kind) {
    case BROWSER_HOMEPAGE:
        if (pages.empty())
            return change.SetNumber(HKEY_CURRENT_USER, policyKey, "HomepageIsNewTabPage", 1);
        own->push_back({PolicyIdentity(location, "HomepageLocation"), pages[0]});
        return change.SetText(HKEY_CURRENT_USER, policyKey, "HomepageLocation", pages[0]) &&
               change.SetNumber(HKEY_CURRENT_USER, policyKey, "HomepageIsNewTabPage", 0);
    case BROWSER_STARTUP_PAGE: {
        // 4 opens the listed pages, 5 the new tab page.
        if (!change.SetNumber(HKEY_CURRENT_USER, policyKey, "RestoreOnStartup", pages.empty() ? 5 : 4))
            return false;
        const std::string list = policyKey + "\\RestoreOnStartupURLs";
        std::vector<std::string> names;
        ForEachValueName(HKEY_CURRENT_USER, list.c_str(), [&](const std::string& name) { names.push_back(name); });
        for (const std::string& name : names)
            if (!change.DeleteValue(HKEY_CURRENT_USER, 0, list, name))
                return false;
        for (size_t i = 0; i < pages.size(); i++) {
            own->push_back({PolicyIdentity("HKCU\\" + list, std::to_string(i + 1)), pages[i]});
            if (!change.SetText(HKEY_CURRENT_USER, list, std::to_string(i + 1), pages[i]))
                return false;
        }
        return true;
    }
    default:
        own->push_back({PolicyIdentity(location, "DefaultSearchProviderSearchURL"), approved});
        return change.SetNumber(HKEY_CURRENT_USER, policyKey, "DefaultSearchProviderEnabled", 1) &&
               change.SetText(HKEY_CURRENT_USER, policyKey, "DefaultSearchProviderSearchURL", approved);
    }
}

int RefuseChromiumItem(const BrowserItem& item, const std::string& approved)
{
    const char* policyKey = BrowserPolicyKey(item.browser);
    if (!policyKey) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return BROWSER_REFUSED;
    }
    if (item.type == TYPE_BROWSER_PAGE && item.kind == BROWSER_SEARCH && approved.empty()) {
        MarkBrowserItemRefused(item);
        return BROWSER_NOTHING_KEPT;
    }
    BrowserChange change;
    std::vector<std::pair<std::string, std::string>> own;
    bool done = item.type == TYPE_BROWSER_EXTENSION
                    ? BlockChromiumExtension(change, policyKey, item.id)
                    : PutBackChromiumPage(change, policyKey, item.kind, approved, &own);
    if (!done)
        return BROWSER_REFUSED;
    // Restored, the item is the user's choice again: neither refused nor asked about.
    change.ForItem(item.identity, item.data);
    change.Finish(item.title.c_str(), item.data.c_str(), item.type);
    for (const auto& value : own)
        ApproveBrowserIdentity(value.first, value.second);
    // The browser's own file keeps the item until the browser applies the policy.
    MarkBrowserItemRefused(item);
    return BROWSER_BY_POLICY;
}

// Registry items: taken away, kept in the change record.
int RemoveRegistryItem(const BrowserItem& item)
{
    HKEY root;
    REGSAM view;
    std::string path;
    if (!SplitLocation(item.source, &root, &view, &path)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return BROWSER_REFUSED;
    }
    BrowserChange change;
    bool done = item.type == TYPE_BROWSER_POLICY
                    ? change.DeleteValue(root, 0, path, item.id)
                    : change.DeleteKey(root, item.view32 ? KEY_WOW64_32KEY : 0, path);
    if (!done)
        return BROWSER_REFUSED;
    change.Finish(item.title.c_str(), item.data.c_str(), item.type);
    return BROWSER_DONE;
}

// An entry of Firefox's policies file: the file without it, the file as it was kept. Firefox
// reads the file only when it starts, so it need not be closed.
int RemoveFirefoxPolicy(const BrowserItem& item)
{
    std::string text, edited;
    if (!ReadWholeFile(item.source.c_str(), &text) || !WithoutFirefoxPolicy(text, item.id, &edited)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return BROWSER_REFUSED;
    }
    BrowserChange change;
    if (!change.ReplaceFile(item.source, edited))
        return BROWSER_REFUSED;
    change.Finish(item.title.c_str(), item.data.c_str(), item.type);
    return BROWSER_DONE;
}

// What a step of a restore brought back: the entries read from there are approved.
bool CameFrom(const BrowserItem& item, const std::vector<std::string>& places)
{
    for (const std::string& place : places)
        if (lstrcmpiA(item.source.c_str(), place.c_str()) == 0)
            return true;
    return false;
}

}   // namespace

std::string WithFirefoxPref(const std::string& text, const std::string& name, const std::string* value,
                            bool append, bool* found)
{
    *found = false;
    const std::string line = value ? "user_pref(" + JsQuoted(name) + ", " + JsQuoted(*value) + ");" : "";
    std::string out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        size_t next = end == std::string::npos ? text.size() : end + 1;
        std::string current = text.substr(start, next - start);
        std::string prefName;
        if (PrefLineName(current, &prefName) && prefName == name) {
            *found = true;
            if (value)
                out += line + (current.size() > 1 && current[current.size() - 2] == '\r' ? "\r\n" : "\n");
        } else {
            out += current;
        }
        start = next;
    }
    if (!*found && value && append) {
        if (!out.empty() && out.back() != '\n')
            out += "\n";
        out += line + "\n";
    }
    return out;
}

bool WithFirefoxAddonOff(const std::string& text, const std::string& id, std::string* out)
{
    nlohmann::json root = nlohmann::json::parse(text, nullptr, false);
    if (!root.is_object())
        return false;
    auto addons = root.find("addons");
    if (addons == root.end() || !addons->is_array())
        return false;
    bool found = false;
    for (auto& addon : *addons) {
        auto addonId = addon.is_object() ? addon.find("id") : addon.end();
        if (addon.is_object() && addonId != addon.end() && addonId->is_string() && addonId->get<std::string>() == id) {
            addon["active"] = false;
            addon["userDisabled"] = true;
            found = true;
        }
    }
    if (!found)
        return false;
    *out = root.dump();
    return true;
}

int RefuseBrowserItem(const BrowserItem& item, const std::string& approved)
{
    switch (item.type) {
    case TYPE_BROWSER_POLICY:
        if (IsFirefoxPolicyFile(item.source))
            return RemoveFirefoxPolicy(item);
        return RemoveRegistryItem(item);
    case TYPE_BROWSER_EXTERNAL:
        return RemoveRegistryItem(item);
    case TYPE_BROWSER_EXTENSION:
    case TYPE_BROWSER_PAGE:
        return IsFirefoxName(item.browser) ? RefuseFirefoxItem(item, approved)
                                           : RefuseChromiumItem(item, approved);
    }
    return BROWSER_REFUSED;
}

std::string BrowserAnswerText(int answer, const BrowserItem& item)
{
    int id = 0;
    switch (answer) {
    case BROWSER_BY_POLICY:
        id = item.type == TYPE_BROWSER_EXTENSION ? IDS_BROWSER_BLOCKED : IDS_BROWSER_PAGE_POLICY;
        break;
    case BROWSER_WAITING: id = IDS_BROWSER_WAITING; break;
    case BROWSER_NOTHING_KEPT: id = IDS_BROWSER_NOTHING_KEPT; break;
    default: return "";
    }
    char format[1024] = "";
    LoadResString(id, format, sizeof(format));
    return FillText(format, {item.title.c_str(), item.browser.c_str()});
}

int ApplyWaitingBrowserChanges()
{
    if (FirefoxIsOpen())
        return 0;
    std::vector<RegValueItem> waiting;
    ForEachTextValue(HKEY_CURRENT_USER, kWaitingKey, [&](const RegValueItem& value) { waiting.push_back(value); });
    int made = 0;
    for (const RegValueItem& value : waiting) {
        std::vector<std::string> fields;
        std::string data = value.text();
        for (size_t start = 0;;) {
            size_t tab = data.find('\t', start);
            fields.push_back(data.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
            if (tab == std::string::npos)
                break;
            start = tab + 1;
        }
        if (fields.size() < 4) {
            DeleteRegValue(HKEY_CURRENT_USER, kWaitingKey, value.name.c_str());
            continue;
        }
        int type = atoi(fields[0].c_str());
        BrowserChange change;
        bool done = type == TYPE_BROWSER_EXTENSION ? TurnOffFirefoxAddon(change, fields[1], fields[2])
                                                   : PutBackFirefoxPage(change, fields[1], fields[2]);
        if (!done) {
            Trace("Browser change still waits", fields[1].c_str());
            continue;
        }
        change.Finish(fields[3].c_str(), fields[2].c_str(), type);
        DeleteRegValue(HKEY_CURRENT_USER, kWaitingKey, value.name.c_str());
        // The approved page is back: the refused one, set again, is a change to ask about.
        if (type == TYPE_BROWSER_PAGE)
            DeleteRegValue(HKEY_CURRENT_USER, KX_BROWSERS_REFUSED_KEY, value.name.c_str());
        made++;
    }
    return made;
}

int RestoreBrowserEntry(const char* source)
{
    std::vector<std::string> places;
    if (!RestoreBrowserChange(source, &places))
        return 0;
    for (const BrowserItem& item : ReadBrowserItems())
        if (CameFrom(item, places))
            ApproveBrowserItem(item);
    std::string identity, data;
    if (BrowserChangeItem(source, &identity, &data))
        ApproveBrowserIdentity(identity, data);
    return 1;
}
