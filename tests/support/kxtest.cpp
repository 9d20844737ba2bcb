#include "kxtest.h"
#include "datafolder.h"
#include "entrylist.h"
#include "options.h"
#include "platform.h"
#include "program.h"
#include "registry.h"
#include "runactions.h"
#include "resstring.h"
#include "trace.h"
#include "winpos.h"
#include <cstdio>
#include <fstream>
#include <sstream>

void DeleteKeyTree(HKEY root, const std::string& path)
{
    RegDeleteTreeA(root, path.c_str());
    RegDeleteKeyA(root, path.c_str());
}

bool RemoveFolderTree(const std::string& folder)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = folder + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveFolderTree(full);
            } else {
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    return RemoveDirectoryA(folder.c_str()) != 0;
}

bool WriteTextFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    return out.good();
}

std::string ReadTextFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool KeyExists(HKEY root, const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool ValueExists(HKEY root, const std::string& path, const std::string& name)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

std::string ReadValueText(HKEY root, const std::string& path, const std::string& name)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<no key>";
    std::vector<char> data(65536, 0);
    DWORD size = (DWORD)data.size() - 1, type = 0;
    LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, (BYTE*)data.data(), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return "<no value>";
    return std::string(data.data());
}

void WriteValueText(HKEY root, const std::string& path, const std::string& name,
                    const std::string& text, DWORD type)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(root, path.c_str(), &key)) << path;
    RegSetValueExA(key, name.c_str(), 0, type, (const BYTE*)text.c_str(), (DWORD)text.size() + 1);
    RegCloseKey(key);
}

std::string TestProgramFolder()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string s = path;
    return s.substr(0, s.find_last_of('\\'));
}

void KxTest::ForgetKey(HKEY root, const std::string& path)
{
    DeleteKeyTree(root, path);
    keys_.emplace_back(root, path);
}

void KxTest::SaveValue(HKEY root, const std::string& path, const std::string& name)
{
    SavedValue v{root, path, name, false, 0, {}};
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD size = 0;
        if (RegQueryValueExA(key, name.c_str(), nullptr, &v.type, nullptr, &size) ==
            ERROR_SUCCESS) {
            v.data.resize(size);
            RegQueryValueExA(key, name.c_str(), nullptr, &v.type, v.data.data(), &size);
            v.existed = true;
        }
        RegCloseKey(key);
    }
    values_.push_back(v);
}

void KxTest::SetUp()
{
    InstallEntryActions();
    DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Orvane");
    DeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Orvane");
    // Policies would override the options every test sets.
    DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Policies\\Orvane");
    DeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Policies\\Orvane");

    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    char base[MAX_PATH];
    GetTempPathA(sizeof(base), base);
    char folder[MAX_PATH * 2];
    snprintf(folder, sizeof(folder), "%skx-%s-%s-%lu", base, info->test_suite_name(), info->name(),
             (unsigned long)GetCurrentProcessId());
    for (char* p = folder + strlen(base); *p; p++)
        if (*p == '/' || *p == '\\' || *p == ':')
            *p = '_';
    temp_ = folder;
    RemoveFolderTree(temp_);
    CreateDirectoryA(temp_.c_str(), nullptr);

    // Shared library state back to how a fresh program starts.
    ClearEntries();
    SetPlatformOverride(nullptr);
    SetRegistryWriteBlock(nullptr);
    SetProgramFolder(temp_.c_str());
    // A portable copy in the test's folder, whose reports go there too.
    SetDataFolders(nullptr, nullptr, temp_.c_str());
    g_programKind = PROGRAM_MONITOR;
    lstrcpynA(g_programCaption, "Kestrix", sizeof(g_programCaption));
    g_traceCounter = 9999;
    g_traceAlertMark = 0;
    g_activePageId = 0;
    g_options = OptionSet{};
    g_countdowns = PatrolCountdowns{};
    g_optionsLoaded = 0;
    patrolHalf = 0;
    suppressAlerts = 0;
    InitUiLanguage();
}

void KxTest::TearDown()
{
    ClearEntries();
    SetPlatformOverride(nullptr);
    SetRegistryWriteBlock(nullptr);
    for (auto it = values_.rbegin(); it != values_.rend(); ++it) {
        HKEY key;
        if (RegCreateKeyA(it->root, it->path.c_str(), &key) != ERROR_SUCCESS)
            continue;
        if (it->existed)
            RegSetValueExA(key, it->name.c_str(), 0, it->type, it->data.data(),
                           (DWORD)it->data.size());
        else
            RegDeleteValueA(key, it->name.c_str());
        RegCloseKey(key);
    }
    for (const auto& k : keys_)
        DeleteKeyTree(k.first, k.second);
    DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Orvane");
    DeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Orvane");
    // Policies would override the options every test sets.
    DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Policies\\Orvane");
    DeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Policies\\Orvane");
    SetProgramFolder(nullptr);
    SetDataFolders(nullptr, nullptr, nullptr);
    RemoveFolderTree(temp_);
}
