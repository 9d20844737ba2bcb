#include "browserprofile.h"
#include "handles.h"
#include "wholefile.h"
#include <windows.h>
#include <algorithm>
#include <cctype>
#include <functional>
#include <nlohmann/json.hpp>

using nlohmann::json;

namespace {

// Profile files are written by whoever can write the user's folder: every read below checks
// the type first, so that no value of an unexpected type can end the scan.
json Parse(const std::string& text) { return json::parse(text, nullptr, false); }

const json* Member(const json& object, const char* key)
{
    if (!object.is_object())
        return nullptr;
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

const json* Path(const json& object, std::initializer_list<const char*> keys)
{
    const json* at = &object;
    for (const char* key : keys)
        if (!(at = Member(*at, key)))
            return nullptr;
    return at;
}

std::string Text(const json* value) { return value && value->is_string() ? value->get<std::string>() : ""; }

bool IsAbsolute(const std::string& path)
{
    return (path.size() > 2 && path[1] == ':') || path.rfind("\\\\", 0) == 0;
}

std::string Backslashed(std::string path)
{
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// "__MSG_appName__" names a message of the extension's default locale.
std::string LocalizedName(const std::string& name, const std::string& folder, const json& manifest)
{
    if (name.size() < 9 || name.rfind("__MSG_", 0) != 0 || name.compare(name.size() - 2, 2, "__") != 0)
        return name;
    std::string key = name.substr(6, name.size() - 8);
    std::string locale = Text(Member(manifest, "default_locale"));
    if (locale.empty() || locale.find_first_of("\\/.") != std::string::npos)
        return name;
    std::string text;
    if (!ReadWholeFile((folder + "\\_locales\\" + locale + "\\messages.json").c_str(), &text))
        return name;
    json messages = Parse(text);
    if (!messages.is_object())
        return name;
    for (auto it = messages.begin(); it != messages.end(); ++it)
        if (SameTextIgnoringCase(it.key(), key)) {
            std::string message = Text(Member(it.value(), "message"));
            return message.empty() ? name : message;
        }
    return name;
}

const char* ChromiumLocationText(int location)
{
    switch (location) {
    case 1: return "Web Store";
    case 2: return "external preferences";
    case 3: return "external registry";
    case 4: return "unpacked folder";
    case 6: return "external preferences download";
    case 7: return "policy download";
    case 8: return "command line";
    case 9: return "policy";
    default: return "unknown";
    }
}

bool ChromiumExtensionDisabled(const json& settings)
{
    const json* state = Member(settings, "state");
    if (state && state->is_number_integer() && state->get<long long>() == 0)
        return true;
    const json* reasons = Member(settings, "disable_reasons");
    if (reasons && reasons->is_number_integer())
        return reasons->get<long long>() != 0;
    return reasons && reasons->is_array() && !reasons->empty();
}

void AddChromiumExtension(const std::string& id, const json& settings,
                          const std::string& extensionsFolder, std::vector<BrowserSetting>* out)
{
    if (!settings.is_object())
        return;
    const json* location = Member(settings, "location");
    int where = location && location->is_number_integer() ? (int)location->get<long long>() : 0;
    // The browser's own parts.
    if (where == 5 || where == 10)
        return;
    BrowserSetting entry;
    entry.kind = BROWSER_EXTENSION;
    entry.id = id;
    entry.location = ChromiumLocationText(where);
    entry.enabled = !ChromiumExtensionDisabled(settings);
    std::string path = Backslashed(Text(Member(settings, "path")));
    if (!path.empty())
        entry.value = IsAbsolute(path) ? path : extensionsFolder + "\\" + path;
    json manifest;
    if (const json* stored = Member(settings, "manifest"))
        manifest = *stored;
    std::string manifestText;
    if (!manifest.is_object() && !entry.value.empty() &&
        ReadWholeFile((entry.value + "\\manifest.json").c_str(), &manifestText))
        manifest = Parse(manifestText);
    entry.name = LocalizedName(Text(Member(manifest, "name")), entry.value, manifest);
    out->push_back(std::move(entry));
}

}  // namespace

bool ReadChromiumProfile(const std::string& preferences, const std::string& securePreferences,
                         const std::string& extensionsFolder, std::vector<BrowserSetting>* out)
{
    json plain = preferences.empty() ? json::object() : Parse(preferences);
    json secure = securePreferences.empty() ? json::object() : Parse(securePreferences);
    if (!plain.is_object() || !secure.is_object())
        return false;

    // An extension's settings may be split over both files; the protected file's win.
    json extensions = json::object();
    for (const json* file : {&plain, &secure}) {
        const json* settings = Path(*file, {"extensions", "settings"});
        if (!settings || !settings->is_object())
            continue;
        for (auto it = settings->begin(); it != settings->end(); ++it) {
            json& merged = extensions[it.key()];
            if (merged.is_object() && it.value().is_object())
                merged.update(it.value());
            else
                merged = it.value();
        }
    }
    for (auto it = extensions.begin(); it != extensions.end(); ++it)
        AddChromiumExtension(it.key(), it.value(), extensionsFolder, out);

    for (const json* file : {&secure, &plain}) {
        std::string home = Text(Member(*file, "homepage"));
        if (!home.empty()) {
            out->push_back({BROWSER_HOMEPAGE, "homepage", "", home, "", true});
            break;
        }
    }
    for (const json* file : {&secure, &plain}) {
        const json* restore = Path(*file, {"session", "restore_on_startup"});
        const json* urls = Path(*file, {"session", "startup_urls"});
        if (!restore && !urls)
            continue;
        // 4: open the listed pages; other choices leave the list unused.
        if (restore && restore->is_number_integer() && restore->get<long long>() == 4 && urls &&
            urls->is_array())
            for (const json& url : *urls)
                if (url.is_string())
                    out->push_back({BROWSER_STARTUP_PAGE, "session.startup_urls", "", url.get<std::string>(), "", true});
        break;
    }
    for (const json* file : {&secure, &plain}) {
        const json* data = Path(*file, {"default_search_provider_data", "template_url_data"});
        std::string url = data ? Text(Member(*data, "url")) : "";
        if (!url.empty()) {
            out->push_back({BROWSER_SEARCH, "default_search_provider_data",
                            Text(Member(*data, "short_name")), url, "", true});
            break;
        }
    }
    return true;
}

bool ReadFirefoxExtensions(const std::string& extensionsJson, std::vector<BrowserSetting>* out)
{
    json root = Parse(extensionsJson);
    if (!root.is_object())
        return false;
    const json* addons = Member(root, "addons");
    if (!addons || !addons->is_array())
        return true;
    for (const json& addon : *addons) {
        if (Text(Member(addon, "type")) != "extension")
            continue;
        std::string location = Text(Member(addon, "location"));
        // The browser's own add-ons.
        if (location == "app-builtin" || location == "app-system-defaults" ||
            location == "app-system-addons")
            continue;
        BrowserSetting entry;
        entry.kind = BROWSER_EXTENSION;
        entry.id = Text(Member(addon, "id"));
        entry.name = Text(Path(addon, {"defaultLocale", "name"}));
        entry.value = Text(Member(addon, "path"));
        entry.location = location;
        const json* active = Member(addon, "active");
        entry.enabled = !active || !active->is_boolean() || active->get<bool>();
        out->push_back(std::move(entry));
    }
    return true;
}

namespace {

// A JavaScript string literal at text[*at] (its opening quote); false when there is none.
bool ReadJsString(const std::string& text, size_t* at, std::string* value)
{
    size_t i = *at;
    if (i >= text.size() || (text[i] != '"' && text[i] != '\''))
        return false;
    char quote = text[i++];
    value->clear();
    while (i < text.size() && text[i] != quote) {
        char c = text[i++];
        if (c == '\n')
            return false;
        if (c == '\\' && i < text.size()) {
            char e = text[i++];
            if (e == 'n')
                c = '\n';
            else if (e == 't')
                c = '\t';
            else if (e == 'u' && i + 4 <= text.size()) {
                unsigned code = strtoul(text.substr(i, 4).c_str(), nullptr, 16);
                i += 4;
                c = code < 0x100 ? (char)code : '?';
            } else
                c = e;
        }
        value->push_back(c);
    }
    if (i >= text.size())
        return false;
    *at = i + 1;
    return true;
}

void SkipSpace(const std::string& text, size_t* at)
{
    while (*at < text.size() && isspace((unsigned char)text[*at]))
        (*at)++;
}

// The text without its comments (strings kept whole): a call that is commented out is no
// setting.
std::string WithoutComments(const std::string& text)
{
    std::string kept;
    kept.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char c = text[i];
        if (c == '"' || c == '\'') {
            size_t end = i + 1;
            while (end < text.size() && text[end] != c && text[end] != '\n')
                end += text[end] == '\\' ? 2 : 1;
            end = std::min(end + 1, text.size());
            kept.append(text, i, end - i);
            i = end;
        } else if (text.compare(i, 2, "//") == 0) {
            i = text.find('\n', i);
            if (i == std::string::npos)
                break;
        } else if (text.compare(i, 2, "/*") == 0) {
            size_t end = text.find("*/", i + 2);
            if (end == std::string::npos)
                break;
            kept.push_back(' ');
            i = end + 2;
        } else {
            kept.push_back(c);
            i++;
        }
    }
    return kept;
}

// Every user_pref("name", "text") whose value is a string.
void ForEachStringPref(const std::string& source, const std::function<void(const std::string&, const std::string&)>& visit)
{
    static const char kCall[] = "user_pref(";
    const std::string text = WithoutComments(source);
    for (size_t at = text.find(kCall); at != std::string::npos; at = text.find(kCall, at)) {
        at += sizeof(kCall) - 1;
        std::string name, value;
        SkipSpace(text, &at);
        if (!ReadJsString(text, &at, &name))
            continue;
        SkipSpace(text, &at);
        if (at >= text.size() || text[at] != ',')
            continue;
        at++;
        SkipSpace(text, &at);
        if (ReadJsString(text, &at, &value))
            visit(name, value);
    }
}

}  // namespace

void ReadFirefoxPages(const std::string& prefsJs, const std::string& userJs,
                      std::vector<BrowserSetting>* out)
{
    std::string home;
    bool found = false;
    for (const std::string* file : {&prefsJs, &userJs})
        ForEachStringPref(*file, [&](const std::string& name, const std::string& value) {
            if (name == "browser.startup.homepage") {
                home = value;
                found = true;
            }
        });
    if (!found)
        return;
    size_t start = 0;
    while (start <= home.size()) {
        size_t bar = home.find('|', start);
        std::string page = home.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
        if (!page.empty())
            out->push_back({BROWSER_HOMEPAGE, "browser.startup.homepage", "", page, "", true});
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
}

std::vector<std::string> FirefoxProfileFolders(const std::string& profilesIni, const std::string& iniFolder)
{
    std::vector<std::string> folders;
    bool inProfile = false, relative = false;
    std::string path;
    auto finish = [&] {
        if (inProfile && !path.empty())
            folders.push_back(relative ? iniFolder + "\\" + path : path);
        path.clear();
        relative = false;
    };
    size_t at = 0;
    while (at < profilesIni.size()) {
        size_t end = profilesIni.find('\n', at);
        std::string line = profilesIni.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? profilesIni.size() : end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (!line.empty() && line[0] == '[') {
            finish();
            inProfile = line.rfind("[Profile", 0) == 0;
        } else if (line.rfind("Path=", 0) == 0) {
            path = Backslashed(line.substr(5));
            while (!path.empty() && path.back() == '\\')
                path.pop_back();
        } else if (line.rfind("IsRelative=", 0) == 0) {
            relative = line.substr(11) == "1";
        }
    }
    finish();
    return folders;
}

std::vector<std::string> ChromiumProfileNames(const std::string& userDataFolder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    FindHandle find(FindFirstFileA((userDataFolder + "\\*").c_str(), &found));
    if (!find)
        return names;
    do {
        std::string name = found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == "." || name == "..")
            continue;
        if (GetFileAttributesA((userDataFolder + "\\" + name + "\\Preferences").c_str()) !=
            INVALID_FILE_ATTRIBUTES)
            names.push_back(name);
    } while (FindNextFileA(find.get(), &found));
    return names;
}

std::vector<std::string> ChromiumLocalStateProfiles(const std::string& localState)
{
    std::vector<std::string> names;
    nlohmann::json root = nlohmann::json::parse(localState, nullptr, false);
    if (!root.is_object())
        return names;
    auto profile = root.find("profile");
    if (profile == root.end() || !profile->is_object())
        return names;
    auto cache = profile->find("info_cache");
    if (cache == profile->end() || !cache->is_object())
        return names;
    for (auto it = cache->begin(); it != cache->end(); ++it) {
        const std::string& name = it.key();
        if (!name.empty() && name != "." && name != ".." && name.find_first_of("\\/:") == std::string::npos)
            names.push_back(name);
    }
    return names;
}
