#include "firefoxpolicies.h"
#include "registry.h"
#include <windows.h>
#include <algorithm>
#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

std::string g_installOverride;
bool g_overridden;

const char kMozillaKey[] = "SOFTWARE\\Mozilla\\Mozilla Firefox";
const char kAppPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\firefox.exe";

std::string Text(const json& object, const char* name)
{
    auto found = object.find(name);
    return found != object.end() && found->is_string() ? found->get<std::string>() : "";
}

// The installs Firefox keeps one key per version for ("128.0 (x64 en-US)\Main"), in either
// view, and App Paths' program file.
std::vector<std::string> InstallFolders()
{
    if (g_overridden)
        return {g_installOverride};
    std::vector<std::string> folders;
    auto add = [&](std::string folder) {
        folder.erase(std::remove(folder.begin(), folder.end(), '"'), folder.end());
        while (!folder.empty() && (folder.back() == '\\' || folder.back() == ' '))
            folder.pop_back();
        if (folder.empty())
            return;
        for (const std::string& known : folders)
            if (lstrcmpiA(known.c_str(), folder.c_str()) == 0)
                return;
        folders.push_back(folder);
    };
    for (REGSAM view : {(REGSAM)0, (REGSAM)KEY_WOW64_32KEY}) {
        std::vector<std::string> versions;
        ForEachSubkey(HKEY_LOCAL_MACHINE, kMozillaKey, [&](const std::string& version) { versions.push_back(version); }, view);
        for (const std::string& version : versions) {
            char folder[MAX_PATH] = "";
            const std::string main = std::string(kMozillaKey) + "\\" + version + "\\Main";
            if (GetRegValue(HKEY_LOCAL_MACHINE, main.c_str(), "Install Directory", folder, sizeof(folder), view) > 0)
                add(folder);
        }
        char program[MAX_PATH] = "";
        if (GetRegValue(HKEY_LOCAL_MACHINE, kAppPath, "", program, sizeof(program), view) > 0) {
            std::string file = program;
            file.erase(std::remove(file.begin(), file.end(), '"'), file.end());
            size_t slash = file.find_last_of('\\');
            if (slash != std::string::npos)
                add(file.substr(0, slash));
        }
    }
    return folders;
}

// The policies object of a parsed file, or nullptr.
json* Policies(json& root)
{
    if (!root.is_object())
        return nullptr;
    auto policies = root.find("policies");
    return policies != root.end() && policies->is_object() ? &*policies : nullptr;
}

bool Installed(const std::string& mode) { return mode == "force_installed" || mode == "normal_installed"; }

}   // namespace

bool ReadFirefoxPolicies(const std::string& text, std::vector<FirefoxPolicy>* out)
{
    json root = json::parse(text, nullptr, false);
    const json* policies = Policies(root);
    if (!policies)
        return false;
    auto settings = policies->find("ExtensionSettings");
    if (settings != policies->end() && settings->is_object())
        for (auto it = settings->begin(); it != settings->end(); ++it) {
            if (!it.value().is_object() || !Installed(Text(it.value(), "installation_mode")))
                continue;
            std::string url = Text(it.value(), "install_url");
            out->push_back({"ExtensionSettings\\" + it.key(), url.empty() ? Text(it.value(), "installation_mode") : url});
        }
    auto extensions = policies->find("Extensions");
    if (extensions != policies->end() && extensions->is_object()) {
        auto install = extensions->find("Install");
        if (install != extensions->end() && install->is_array())
            for (const json& address : *install)
                if (address.is_string())
                    out->push_back({"Extensions\\Install\\" + address.get<std::string>(), address.get<std::string>()});
    }
    auto homepage = policies->find("Homepage");
    if (homepage != policies->end() && homepage->is_object())
        for (const char* name : {"URL", "StartPage"})
            if (!Text(*homepage, name).empty())
                out->push_back({std::string("Homepage\\") + name, Text(*homepage, name)});
    auto search = policies->find("SearchEngines");
    if (search != policies->end() && search->is_object() && !Text(*search, "Default").empty())
        out->push_back({"SearchEngines\\Default", Text(*search, "Default")});
    return true;
}

bool WithoutFirefoxPolicy(const std::string& text, const std::string& name, std::string* out)
{
    json root = json::parse(text, nullptr, false);
    json* policies = Policies(root);
    if (!policies)
        return false;
    // The name's first part is the policy, the next its member; an extension id or an address
    // may hold backslashes of its own, so only the first one or two split.
    size_t first = name.find('\\');
    if (first == std::string::npos)
        return false;
    const std::string policy = name.substr(0, first);
    std::string member = name.substr(first + 1);
    auto found = policies->find(policy);
    if (found == policies->end() || !found->is_object())
        return false;
    bool removed = false;
    if (policy == "Extensions") {
        const std::string prefix = "Install\\";
        auto install = found->find("Install");
        if (member.compare(0, prefix.size(), prefix) != 0 || install == found->end() || !install->is_array())
            return false;
        const std::string address = member.substr(prefix.size());
        for (size_t i = install->size(); i-- > 0;)
            if ((*install)[i].is_string() && (*install)[i].get<std::string>() == address) {
                install->erase(i);
                removed = true;
            }
    } else if (policy == "ExtensionSettings" || policy == "Homepage" || policy == "SearchEngines") {
        removed = found->erase(member) > 0;
    }
    if (!removed)
        return false;
    *out = root.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
    return true;
}

std::vector<std::string> FirefoxPolicyFiles()
{
    std::vector<std::string> files;
    for (const std::string& folder : InstallFolders())
        files.push_back(folder + "\\distribution\\policies.json");
    return files;
}

int IsFirefoxPolicyFile(const std::string& path)
{
    if (path.find("..") != std::string::npos)
        return 0;
    for (const std::string& file : FirefoxPolicyFiles())
        if (lstrcmpiA(file.c_str(), path.c_str()) == 0)
            return 1;
    return 0;
}

void SetFirefoxInstallFolder(const char* folder)
{
    g_overridden = folder != nullptr;
    g_installOverride = folder ? folder : "";
}
