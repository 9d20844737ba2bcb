// The service inventory against the services of a real Windows 7 machine (a REGEDIT4 export
// kept beside the project in shared/testdata/real-hives). In the shared prefix each service is
// written under a name of its own, so that the prefix's own services stay untouched; the
// ServiceManager case runs in a prefix of its own (tests/realservices/run.sh) where the export
// was imported and the service manager started on it.
#include "kxtest.h"
#include "entrylist.h"
#include "handles.h"
#include "keys.h"
#include "realhives.h"
#include "services.h"
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

const std::string kPrefix = "KxReal ";
const std::string kRoot = "SYSTEM\\CurrentControlSet\\Services\\";

struct Value {
    std::string data;
    DWORD type;
};
// Service name -> (value path below the service, e.g. "ImagePath" or "Parameters\ServiceDll").
typedef std::map<std::string, std::map<std::string, Value>> Services;

std::string HivesFile() { return RealHivesFolder() + "\\regipy_SYSTEM-services.reg"; }

std::string HexText(const std::string& bytes)
{
    std::string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 3) {
        char byte = (char)strtol(bytes.substr(i, 2).c_str(), nullptr, 16);
        if (!byte)
            break;
        out += byte;
    }
    return out;
}

// The values the inventory reads, of every service key and its Parameters subkey.
Services ReadServices(const std::string& path)
{
    static const char* const kWanted[] = {"ImagePath", "DisplayName", "Description", "Start",
                                          "ServiceDll"};
    const std::string section = "HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\services\\";
    Services services;
    std::ifstream in(path, std::ios::binary);
    std::string line, service, sub;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("[", 0) == 0) {
            std::string key = line.substr(1, line.size() - 2);
            service.clear();
            if (key.rfind(section, 0) != 0)
                continue;
            std::string rest = key.substr(section.size());
            size_t slash = rest.find('\\');
            service = rest.substr(0, slash);
            sub = slash == std::string::npos ? "" : rest.substr(slash + 1);
            if (!sub.empty() && sub != "Parameters")
                service.clear();
            continue;
        }
        if (service.empty() || line.size() < 2 || line[0] != '"')
            continue;
        size_t nameEnd = line.find("\"=", 1);
        if (nameEnd == std::string::npos)
            continue;
        std::string name = RegFileUnescape(line.substr(1, nameEnd - 1));
        bool wanted = false;
        for (const char* w : kWanted)
            wanted = wanted || name == w;
        if (!wanted)
            continue;
        std::string rest = line.substr(nameEnd + 2);
        Value v{"", REG_SZ};
        if (rest.rfind("\"", 0) == 0)
            v.data = RegFileUnescape(rest.substr(1, rest.size() - 2));
        else if (rest.rfind("hex(2):", 0) == 0)
            v = {HexText(rest.substr(7)), REG_EXPAND_SZ};
        else if (rest.rfind("hex(7):", 0) == 0)
            v = {HexText(rest.substr(7)), REG_MULTI_SZ};
        else if (rest.rfind("dword:", 0) == 0)
            v = {rest.substr(6), REG_DWORD};
        else
            continue;
        services[service][sub.empty() ? name : sub + "\\" + name] = v;
    }
    return services;
}

std::string Upper(const char* text)
{
    std::string upper(text);
    if (!upper.empty())
        CharUpperA(&upper[0]);
    return upper;
}

bool Contains(std::string text, std::string part)
{
    CharUpperA(&text[0]);
    CharUpperA(&part[0]);
    return text.find(part) != std::string::npos;
}

// Would the inventory list it: a text image path naming a program file or the service host.
bool ListedKind(const std::map<std::string, Value>& values)
{
    auto image = values.find("ImagePath");
    return image != values.end() && image->second.type != REG_DWORD &&
           !image->second.data.empty() &&
           (Contains(image->second.data, ".exe") || Contains(image->second.data, "svchost"));
}

// "@file,-id" loaded straight from the file's string table, a way of its own beside the
// shell's; empty when the file or the string is not there.
std::string LoadIndirect(const std::string& text)
{
    size_t comma = text.rfind(",-");
    if (text.empty() || text[0] != '@' || comma == std::string::npos)
        return "";
    char file[MAX_PATH];
    if (!ExpandEnvironmentStringsA(text.substr(1, comma - 1).c_str(), file, sizeof(file)))
        return "";
    HMODULE module = LoadLibraryExA(file, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return "";
    WCHAR wide[1024] = L"";
    int length = LoadStringW(module, (UINT)atoi(text.c_str() + comma + 2), wide, 1024);
    FreeLibrary(module);
    char narrow[1024] = "";
    if (length > 0)
        WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof(narrow), nullptr, nullptr);
    return narrow;
}

class RealServicesTest : public KxTest {};

TEST_F(RealServicesTest, EveryRealServiceOfItsOwnProgramIsListedUnderAReadableName)
{
    KX_REQUIRE_REAL_HIVES(folder);
    Services services = ReadServices(HivesFile());
    ASSERT_GT(services.size(), 300u);
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "HideMicrosoftServices", "0");
    ListServices();
    const int before = EntryCount();

    std::map<std::string, std::string> expected;   // key -> plain display name or ""
    for (const auto& service : services) {
        std::string key = kRoot + kPrefix + service.first;
        ForgetKey(HKEY_LOCAL_MACHINE, key);
        for (const auto& value : service.second) {
            std::string path = key, name = value.first;
            size_t slash = name.find('\\');
            if (slash != std::string::npos) {
                path += "\\" + name.substr(0, slash);
                name = name.substr(slash + 1);
            }
            const Value& v = value.second;
            if (v.type == REG_DWORD) {
                HKEY handle;
                RegCreateKeyA(HKEY_LOCAL_MACHINE, path.c_str(), &handle);
                DWORD number = strtoul(v.data.c_str(), nullptr, 16);
                RegSetValueExA(handle, name.c_str(), 0, REG_DWORD, (const BYTE*)&number, 4);
                RegCloseKey(handle);
            } else {
                WriteValueText(HKEY_LOCAL_MACHINE, path, name, v.data, v.type);
            }
        }
        if (!ListedKind(service.second))
            continue;
        auto display = service.second.find("DisplayName");
        bool plain = display != service.second.end() && display->second.type == REG_SZ &&
                     !display->second.data.empty() && display->second.data[0] != '@';
        expected[kPrefix + service.first] = plain ? display->second.data : "";
    }
    ASSERT_GT(expected.size(), 100u);

    ListServices();
    EXPECT_EQ(before + (int)expected.size(), EntryCount());
    std::map<std::string, const EntryRecord*> listed;
    int resolved = 0;
    for (int i = 0; i < EntryCount(); i++) {
        const EntryRecord* e = GetEntry(i);
        EXPECT_NE('@', e->title[0]) << e->title;
        EXPECT_NE('@', e->detail[0]) << e->title << ": " << e->detail;
        listed[e->title] = e;
    }
    for (const auto& service : expected) {
        const std::string& plain = service.second;
        if (!plain.empty()) {
            EXPECT_EQ(1u, listed.count(plain.substr(0, 127))) << service.first;
            continue;
        }
        // Indirect names: the text from the named file where the prefix has it, else the key.
        if (listed.count(service.first) == 0)
            resolved++;
    }
    size_t ours = 0;
    for (const auto& entry : listed)
        if (entry.first.rfind(kPrefix, 0) == 0)
            ours++;
    std::printf("%zu real services imported, %zu listed by their key name, %d by a resolved "
                "indirect name\n",
                expected.size(), ours, resolved);
    auto adobe = listed.find("Adobe Acrobat Update Service");
    ASSERT_NE(listed.end(), adobe);
    EXPECT_EQ(SERVICE_EXE, adobe->second->type);
    EXPECT_STREQ("Automatic", adobe->second->source);
    EXPECT_TRUE(Contains(adobe->second->command, "armsvc.exe")) << adobe->second->command;
}

// The imported services as the prefix's service manager holds them: every one is known to it
// and listed once, under its plain name or its indirect name's text (the key name where the
// prefix has no such text), never as "@file,-id".
TEST_F(RealServicesTest, ThroughTheServiceManagerEveryImportedServiceIsListed)
{
    const char* ownList = getenv("KX_OWN_SERVICES");
    if (!ownList)
        GTEST_SKIP() << "runs in a prefix of its own: tests/realservices/run.sh";
    std::set<std::string> own;
    std::ifstream ownFile(ownList);
    for (std::string line; std::getline(ownFile, line);)
        own.insert(Upper(line.c_str()));
    Services services = ReadServices(HivesFile());
    ASSERT_GT(services.size(), 300u);

    ScHandle manager(OpenSCManagerA(nullptr, nullptr, GENERIC_READ));
    ASSERT_TRUE(manager);
    std::map<std::string, std::string> expected;   // key name -> title
    int indirect = 0, resolved = 0;
    for (const auto& service : services) {
        if (own.count(Upper(service.first.c_str())) || !ListedKind(service.second))
            continue;
        char name[4096] = "";
        DWORD size = sizeof(name);
        ASSERT_TRUE(GetServiceDisplayNameA(manager.get(), service.first.c_str(), name, &size))
            << service.first << " is not known to the service manager";
        std::string title = name[0] ? name : service.first;
        if (title[0] == '@') {
            indirect++;
            std::string text = LoadIndirect(title);
            resolved += !text.empty();
            title = text.empty() ? service.first : text;
        }
        expected[service.first] = title.substr(0, 127);
    }
    ASSERT_GT(expected.size(), 100u);
    EXPECT_GT(indirect, 20);

    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "HideMicrosoftServices", "0");
    ListServices();
    std::map<std::string, int> titles;
    const EntryRecord* adobe = nullptr;
    for (int i = 0; i < EntryCount(); i++) {
        const EntryRecord* e = GetEntry(i);
        EXPECT_NE('@', e->title[0]) << e->title;
        EXPECT_NE('@', e->detail[0]) << e->title << ": " << e->detail;
        titles[e->title]++;
        if (std::string(e->title) == "Adobe Acrobat Update Service")
            adobe = e;
    }
    for (const auto& service : expected)
        EXPECT_EQ(1u, titles.count(service.second)) << service.first << " as " << service.second;
    std::printf("%zu real services listed through the service manager, %d with indirect names, "
                "%d of them resolved in this prefix\n",
                expected.size(), indirect, resolved);
    ASSERT_NE(nullptr, adobe);
    EXPECT_EQ(SERVICE_EXE, adobe->type);
    EXPECT_STREQ("Automatic", adobe->source);
    EXPECT_TRUE(Contains(adobe->command, "armsvc.exe")) << adobe->command;
}

}   // namespace
