// Firefox's enterprise policies file, "distribution\policies.json" beside the program: the
// entries of it that put an extension or a page on the browser. Only read here; the monitor's
// No writes it without the entry it refused (actions/browseranswers).
#pragma once
#include <string>
#include <vector>

struct FirefoxPolicy {
    std::string name;    // "ExtensionSettings\<id>", "Extensions\Install\<address>",
                         // "Homepage\URL", "Homepage\StartPage", "SearchEngines\Default"
    std::string value;   // the install address, the page, the start mode, the engine
};

// The entries of a policies.json text, in the file's order within each kind. False, and
// nothing added, when the text does not parse or has no "policies" object.
bool ReadFirefoxPolicies(const std::string& json, std::vector<FirefoxPolicy>* out);

// The text without the named entry (as ReadFirefoxPolicies names it); false when it does not
// parse or has no such entry.
bool WithoutFirefoxPolicy(const std::string& json, const std::string& name, std::string* out);

// Every policies.json Firefox would read: "<install folder>\distribution\policies.json" for
// each install folder Windows knows (Mozilla's keys in both views, App Paths firefox.exe),
// whether or not the file exists.
std::vector<std::string> FirefoxPolicyFiles();
// 1 when path is one of them.
int IsFirefoxPolicyFile(const std::string& path);

// Tests: the one install folder to use instead of Windows' (nullptr: Windows' again).
void SetFirefoxInstallFolder(const char* folder);
