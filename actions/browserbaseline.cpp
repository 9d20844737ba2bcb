#include "browserbaseline.h"
#include "addedcategories.h"
#include "browserentries.h"
#include "browserprofile.h"
#include "entrylist.h"
#include "registry.h"
#include <map>

namespace {

std::string After(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0 ? text.substr(prefix.size()) : "";
}

// "id=<id>; from ..." -> <id>.
std::string DetailId(const std::string& detail)
{
    std::string id = After(detail, "id=");
    size_t end = id.find("; ");
    return end == std::string::npos ? id : id.substr(0, end);
}

BrowserItem FromEntry(const EntryRecord& e)
{
    BrowserItem item;
    item.type = e.type;
    std::string key = e.key;
    size_t slash = key.find('\\');
    item.browser = key.substr(0, slash);
    item.profile = slash == std::string::npos ? "" : key.substr(slash + 1);
    item.title = e.title;
    item.source = e.source;
    item.data = e.command;
    switch (e.type) {
    case TYPE_BROWSER_EXTENSION:
        item.id = DetailId(e.detail);
        item.kind = e.tag;
        item.identity = "904|" + key + "|" + item.id;
        break;
    case TYPE_BROWSER_PAGE:
        item.id = DetailId(e.detail);
        item.kind = e.tag;
        item.identity = "905|" + key + "|" + std::to_string(e.tag);
        break;
    case TYPE_BROWSER_POLICY:
        item.id = After(e.detail, "value ");
        item.identity = PolicyIdentity(item.source, item.id);
        break;
    default:
        item.id = DetailId(e.detail);
        item.view32 = e.tag == 32;
        item.identity = std::string("907|") + e.source + "|" + (item.view32 ? "32" : "0");
        break;
    }
    return item;
}

std::unordered_map<std::string, std::string> ReadStore(const char* path)
{
    // Whole values: a page group may be longer than the registry layer's read buffer.
    std::unordered_map<std::string, std::string> map;
    ForEachTextValue(HKEY_CURRENT_USER, path, [&](const RegValueItem& value) {
        map.emplace(RegNameKey(value.name.c_str()), value.text());
    });
    return map;
}

const std::string* Find(const std::unordered_map<std::string, std::string>& map,
                        const std::string& identity)
{
    auto found = map.find(RegNameKey(identity.c_str()));
    return found == map.end() ? nullptr : &found->second;
}

}   // namespace

BrowserItem BrowserItemOfEntry(const EntryRecord& entry) { return FromEntry(entry); }

std::string PolicyIdentity(const std::string& location, const std::string& name)
{
    return "906|" + location + "|" + name;
}

std::vector<BrowserItem> ReadBrowserItems()
{
    EntryLimitScope everyEntry;
    ClearEntries();
    AddBrowserProfileEntries();
    std::vector<BrowserItem> items;
    std::map<std::string, size_t> pageGroups;
    for (int i = 0; i < EntryCount(); i++) {
        BrowserItem item = FromEntry(*GetEntry(i));
        if (item.type == TYPE_BROWSER_PAGE) {
            auto group = pageGroups.find(item.identity);
            if (group != pageGroups.end()) {
                items[group->second].data += "\n" + item.data;
                continue;
            }
            pageGroups[item.identity] = items.size();
        }
        items.push_back(std::move(item));
    }
    ClearEntries();
    return items;
}

BrowserBaseline::BrowserBaseline()
    : known_(ReadStore(KX_BROWSERS_KNOWN_KEY)), refused_(ReadStore(KX_BROWSERS_REFUSED_KEY))
{
}

bool BrowserBaseline::Known(const BrowserItem& item) const
{
    const std::string* known = Find(known_, item.identity);
    const std::string* refused = Find(refused_, item.identity);
    return (known && (*known == item.data || item.type == TYPE_BROWSER_EXTENSION)) ||
           (refused && *refused == item.data);
}

std::string BrowserBaseline::Approved(const BrowserItem& item) const
{
    const std::string* known = Find(known_, item.identity);
    return known ? *known : "";
}

int ApproveBrowserIdentity(const std::string& identity, const std::string& data)
{
    DeleteRegValue(HKEY_CURRENT_USER, KX_BROWSERS_REFUSED_KEY, identity.c_str());
    return SetRegValue(HKEY_CURRENT_USER, KX_BROWSERS_KNOWN_KEY, identity.c_str(), data.c_str());
}

int ApproveBrowserItem(const BrowserItem& item) { return ApproveBrowserIdentity(item.identity, item.data); }

int MarkBrowserItemRefused(const BrowserItem& item)
{
    return SetRegValue(HKEY_CURRENT_USER, KX_BROWSERS_REFUSED_KEY, item.identity.c_str(),
                       item.data.c_str());
}

int AdoptBrowserItems()
{
    char mark[16];
    if (GetRegValue(HKEY_CURRENT_USER, KX_ADOPTED_KEY, "Browsers", mark, sizeof(mark)) > 0)
        return 0;
    for (const BrowserItem& item : ReadBrowserItems())
        if (!ApproveBrowserItem(item))
            return 0;   // tried again at the next check rather than asking about all of it
    SetRegValue(HKEY_CURRENT_USER, KX_ADOPTED_KEY, "Browsers", "1");
    return 1;
}
