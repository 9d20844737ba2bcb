#include "inventoryjson.h"
#include "cookies.h"
#include "delaystart.h"
#include "entrylist.h"
#include "filetypes.h"
#include "findrun.h"
#include "firstseen.h"
#include "folderwalk.h"
#include "inventories.h"
#include "options.h"
#include "pathutil.h"
#include "program.h"
#include "registry.h"
#include "runtasks.h"
#include "services.h"
#include "tasks.h"
#include "versioninfo.h"
#include <nlohmann/json.hpp>
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

using nlohmann::json;

namespace {

// The system's code page to UTF-8; every text we read is single-byte.
std::string Utf8(const char* text)
{
    if (!text || !text[0])
        return "";
    int wide = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (wide <= 0)
        return "";
    std::wstring w(wide, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &w[0], wide);
    int bytes = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return "";
    std::string out(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &out[0], bytes, nullptr, nullptr);
    out.resize(bytes - 1);
    return out;
}

// What the pages show of one entry of the list; location as the page's location column.
void AddEntry(Inventory* inventory, const char* category, int index, bool disabled,
              const char* location = nullptr)
{
    const EntryRecord* e = GetEntry(index);
    char program[260] = "", where[512] = "", date[64] = "";
    GetProgramFile(e->command, program);
    VersionStrings v;
    GetVersionStrings(program[0] ? program : e->command, &v);
    GetFirstSeenDate(program, e->type, date, sizeof(date));
    if (location)
        lstrcpynA(where, location, sizeof(where));
    else
        LocationText(index, where);
    InventoryEntry entry;
    entry.category = category;
    entry.location = Utf8(where);
    entry.title = Utf8(e->title);
    entry.command = Utf8(e->command);
    entry.programFile = Utf8(program);
    entry.version = Utf8(v.slot[VS_PRODUCT_VERSION]);
    entry.company = Utf8(v.slot[VS_COMPANY_NAME]);
    entry.firstSeen = Utf8(date);
    entry.disabled = disabled;
    inventory->entries.push_back(entry);
}

void AddAll(Inventory* inventory, const char* category, bool (*disabled)(int) = nullptr,
            const char* location = nullptr)
{
    for (int i = 0; i < EntryCount(); i++)
        AddEntry(inventory, category, i, disabled && disabled(i), location);
}

bool StartupDisabled(int index)
{
    const EntryRecord* r = GetEntry(index);
    return DisabledCodeForTitle(r->title) != 0 || r->offByWindows;
}

bool TaskDisabled(int index) { return (GetEntryTag(index) & TASK_TAG_DISABLED) != 0; }

bool ServiceDisabled(int index)
{
    // The entry's own key: display names are not unique.
    const char* key = GetEntry(index)->key;
    char path[512];
    if (!key[0])
        return false;
    snprintf(path, sizeof(path), KX_SERVICES_ROOT "\\%s", key);
    return GetRegNumber(HKEY_LOCAL_MACHINE, path, "Start") == SERVICE_DISABLED;
}

// Hidden files: the page shows only those with a full path.
void AddHiddenFiles(Inventory* inventory)
{
    BuildHiddenFileList();
    for (int i = 0; i < EntryCount(); i++)
        if (strchr(GetEntry(i)->command, '\\'))
            AddEntry(inventory, "Hidden file", i, false, "");
}

void AddCookieFilter(Inventory* inventory)
{
    LoadCookieFilters();
    for (int i = 0; i < CookieFilterCount(); i++) {
        InventoryEntry entry;
        entry.category = "Cookie filter";
        entry.location = "HKCU\\" KX_NUTS_KEY;
        entry.title = Utf8(CookieFilterText(i));
        inventory->entries.push_back(entry);
    }
}

std::string Now()
{
    SYSTEMTIME t;
    GetSystemTime(&t);
    char text[32];
    snprintf(text, sizeof(text), "%04u-%02u-%02uT%02u:%02u:%02uZ", t.wYear, t.wMonth, t.wDay,
             t.wHour, t.wMinute, t.wSecond);
    return text;
}

std::string OwnVersion()
{
    char self[MAX_PATH + 1] = "";
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    VersionStrings v;
    GetVersionStrings(self, &v);
    return Utf8(v.slot[VS_PRODUCT_VERSION]);
}

}   // namespace

Inventory TakeInventory()
{
    Inventory inventory;
    char computer[MAX_COMPUTERNAME_LENGTH + 1] = "", user[257] = "";
    DWORD size = sizeof(computer);
    GetComputerNameA(computer, &size);
    size = sizeof(user);
    GetUserNameA(user, &size);
    inventory.computer = Utf8(computer);
    inventory.user = Utf8(user);
    inventory.time = Now();
    inventory.kestrixVersion = OwnVersion();

    // Every entry whatever the pages' hide options say: the Microsoft services too.
    OptionSet savedOptions = g_options;
    int savedLoaded = g_optionsLoaded;
    ReadAllOptions();
    g_options.HideMicrosoftServices = 0;
    VersionCacheScope versions;

    BuildStartupList(0);
    AddAll(&inventory, "Startup", StartupDisabled);
    ListDelayedPrograms();
    AddAll(&inventory, "Delayed start");
    ListBrowserAddOns();
    AddAll(&inventory, "Browser add-on");
    ListScheduledTasks();
    AddAll(&inventory, "Scheduled task", TaskDisabled);
    ListServices();
    AddAll(&inventory, "Service", ServiceDisabled, "HKLM\\" KX_SERVICES_ROOT);
    ListFileTypes();
    AddAll(&inventory, "File type", nullptr, "");
    AddHiddenFiles(&inventory);
    ListRunningTasks();
    AddAll(&inventory, "Running task", nullptr, "");
    AddCookieFilter(&inventory);
    ClearEntries();

    g_options = savedOptions;
    g_optionsLoaded = savedLoaded;
    return inventory;
}

std::string InventoryJson(const Inventory& inventory)
{
    json entries = json::array();
    for (const InventoryEntry& e : inventory.entries)
        entries.push_back({{"category", e.category}, {"location", e.location}, {"title", e.title},
                           {"command", e.command}, {"programFile", e.programFile},
                           {"version", e.version}, {"company", e.company},
                           {"firstSeen", e.firstSeen}, {"disabled", e.disabled}});
    json document = {{"format", "Kestrix inventory 1"}, {"computer", inventory.computer},
                     {"user", inventory.user}, {"time", inventory.time},
                     {"kestrixVersion", inventory.kestrixVersion}, {"entries", entries}};
    // Texts that are not UTF-8 after all are replaced, never written raw.
    return document.dump(1, '\t', false, json::error_handler_t::replace) + "\r\n";
}

namespace {

bool TextField(const json& object, const char* name, std::string* out, std::string* error,
               size_t index)
{
    auto found = object.find(name);
    if (found == object.end()) {
        out->clear();
        return true;   // an older writer may leave a field out
    }
    if (!found->is_string()) {
        *error = "entry " + std::to_string(index + 1) + ": \"" + name + "\" is not text";
        return false;
    }
    *out = found->get<std::string>();
    return true;
}

}   // namespace

int ParseInventoryJson(const std::string& text, Inventory* inventory, std::string* error)
{
    json document = json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        *error = "not a JSON object";
        return 0;
    }
    auto format = document.find("format");
    if (format == document.end() || !format->is_string() ||
        format->get<std::string>() != "Kestrix inventory 1") {
        *error = "not a Kestrix inventory";
        return 0;
    }
    auto entries = document.find("entries");
    if (entries == document.end() || !entries->is_array()) {
        *error = "no list of entries";
        return 0;
    }
    *inventory = Inventory();
    for (const char* name : {"computer", "user", "time", "kestrixVersion"}) {
        auto found = document.find(name);
        std::string value = found != document.end() && found->is_string()
                                ? found->get<std::string>() : "";
        if (!strcmp(name, "computer")) inventory->computer = value;
        else if (!strcmp(name, "user")) inventory->user = value;
        else if (!strcmp(name, "time")) inventory->time = value;
        else inventory->kestrixVersion = value;
    }
    for (size_t i = 0; i < entries->size(); i++) {
        const json& item = (*entries)[i];
        if (!item.is_object()) {
            *error = "entry " + std::to_string(i + 1) + " is not an object";
            return 0;
        }
        InventoryEntry e;
        if (!TextField(item, "category", &e.category, error, i) ||
            !TextField(item, "location", &e.location, error, i) ||
            !TextField(item, "title", &e.title, error, i) ||
            !TextField(item, "command", &e.command, error, i) ||
            !TextField(item, "programFile", &e.programFile, error, i) ||
            !TextField(item, "version", &e.version, error, i) ||
            !TextField(item, "company", &e.company, error, i) ||
            !TextField(item, "firstSeen", &e.firstSeen, error, i))
            return 0;
        auto disabled = item.find("disabled");
        if (disabled != item.end() && !disabled->is_boolean()) {
            *error = "entry " + std::to_string(i + 1) + ": \"disabled\" is not true or false";
            return 0;
        }
        e.disabled = disabled != item.end() && disabled->get<bool>();
        inventory->entries.push_back(e);
    }
    return 1;
}

bool IsPassingCategory(const std::string& category) { return category == "Running task"; }

namespace {

typedef std::map<std::string, std::vector<const InventoryEntry*>> EntryIndex;

// Entries by category, location and title; a name may repeat (two services of one display
// name, a shortcut and a program of one name in the startup folder).
EntryIndex IndexOf(const Inventory& inventory)
{
    EntryIndex index;
    for (const InventoryEntry& e : inventory.entries) {
        if (IsPassingCategory(e.category))
            continue;
        json key = {e.category, e.location, e.title};
        index[key.dump(-1, ' ', false, json::error_handler_t::replace)].push_back(&e);
    }
    return index;
}

json Identity(const InventoryEntry& e)
{
    return {{"category", e.category}, {"location", e.location}, {"title", e.title},
            {"command", e.command}};
}

std::string Line(const char* kind, const json& object)
{
    return std::string(kind) + " " + object.dump(-1, ' ', false, json::error_handler_t::replace);
}

// The fields whose change counts; the first-seen date is the program's own record of when it
// looked, not a change of the machine.
json Changes(const InventoryEntry& a, const InventoryEntry& b)
{
    json changes = json::object();
    const std::pair<const char*, std::string InventoryEntry::*> fields[] = {
        {"command", &InventoryEntry::command}, {"programFile", &InventoryEntry::programFile},
        {"version", &InventoryEntry::version}, {"company", &InventoryEntry::company}};
    for (const auto& field : fields)
        if (a.*field.second != b.*field.second)
            changes[field.first] = {a.*field.second, b.*field.second};
    if (a.disabled != b.disabled)
        changes["disabled"] = {a.disabled, b.disabled};
    return changes;
}

}   // namespace

std::vector<std::string> CompareInventories(const Inventory& before, const Inventory& after)
{
    std::vector<std::string> lines;
    EntryIndex old = IndexOf(before), now = IndexOf(after);
    static const std::vector<const InventoryEntry*> none;
    for (const auto& slot : old) {
        auto match = now.find(slot.first);
        std::vector<const InventoryEntry*> was = slot.second,
                                           is = match == now.end() ? none : match->second;
        // Of entries sharing a name, those with the same command are the same entry; the rest
        // pair up in order as changed, and what is left was removed or added.
        for (auto a = was.begin(); a != was.end();) {
            auto b = std::find_if(is.begin(), is.end(), [&](const InventoryEntry* e) {
                return e->command == (*a)->command;
            });
            if (b == is.end()) {
                ++a;
                continue;
            }
            json changes = Changes(**a, **b);
            if (!changes.empty()) {
                json line = Identity(**b);
                line["changes"] = changes;
                lines.push_back(Line("changed", line));
            }
            a = was.erase(a);
            is.erase(b);
        }
        size_t shared = std::min(was.size(), is.size());
        for (size_t i = 0; i < shared; i++) {
            json line = Identity(*is[i]);
            line["changes"] = Changes(*was[i], *is[i]);
            lines.push_back(Line("changed", line));
        }
        for (size_t i = shared; i < was.size(); i++)
            lines.push_back(Line("removed", Identity(*was[i])));
        for (size_t i = shared; i < is.size(); i++)
            lines.push_back(Line("added", Identity(*is[i])));
    }
    for (const auto& slot : now)
        if (!old.count(slot.first))
            for (const InventoryEntry* e : slot.second)
                lines.push_back(Line("added", Identity(*e)));
    return lines;
}
