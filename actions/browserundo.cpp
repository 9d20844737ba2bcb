#include "browserundo.h"
#include "browserentries.h"
#include "datapaths.h"
#include "entrylist.h"
#include "firefoxpolicies.h"
#include "handles.h"
#include "history.h"
#include "registry.h"
#include "resstring.h"
#include "trace.h"
#include "writefault.h"
#include <shlwapi.h>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const char kRecordPrefix[] = "HKCU\\" KX_BROWSERS_UNDO_KEY "\\";

bool ReadRaw(HKEY root, REGSAM view, const std::string& path, const std::string& name,
             DWORD* type, std::string* data)
{
    return ReadRegBytes(root, path.c_str(), name.c_str(), view, type, data);
}

// Every write goes through here: a blocked root or an injected fault is a refusal.
bool WriteRaw(HKEY root, REGSAM view, const std::string& path, const std::string& name,
              DWORD type, const std::string& data)
{
    if (IsRegistryWriteBlocked(root) || KeyWriteFails(root, path.c_str()))
        return false;
    RegKey key;
    LONG rc = RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr,
                              key.out(), nullptr);
    if (rc == ERROR_SUCCESS)
        rc = RegSetValueExA(key.get(), name.c_str(), 0, type, (const BYTE*)data.data(), (DWORD)data.size());
    if (rc != ERROR_SUCCESS) {
        NoteWriteRefusal((DWORD)rc);
        SetLastError((DWORD)rc);
    }
    return rc == ERROR_SUCCESS;
}

bool RemoveRaw(HKEY root, REGSAM view, const std::string& path, const std::string& name)
{
    if (IsRegistryWriteBlocked(root) || KeyWriteFails(root, path.c_str()))
        return false;
    RegKey key;
    LONG rc = RegOpenKeyExA(root, path.c_str(), 0, KEY_SET_VALUE | view, key.out());
    if (rc == ERROR_SUCCESS)
        rc = RegDeleteValueA(key.get(), name.c_str());
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
        NoteWriteRefusal((DWORD)rc);
        SetLastError((DWORD)rc);
        return false;
    }
    return true;
}

// A key without subkeys; one already gone counts as removed.
bool RemoveKeyRaw(HKEY root, REGSAM view, const std::string& path)
{
    if (IsRegistryWriteBlocked(root) || KeyWriteFails(root, path.c_str()))
        return false;
    LONG rc = RegDeleteKeyExA(root, path.c_str(), view, 0);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
        NoteWriteRefusal((DWORD)rc);
        SetLastError((DWORD)rc);
        return false;
    }
    return true;
}

bool KeyExists(const std::string& path)
{
    RegKey key;
    return key.open(HKEY_CURRENT_USER, path.c_str(), KEY_READ);
}

// Kestrix's own record keys.
void DeleteKeyTreeOf(const std::string& path) { SHDeleteKeyA(HKEY_CURRENT_USER, path.c_str()); }

const char* RootName(HKEY root) { return root == HKEY_LOCAL_MACHINE ? "HKLM" : "HKCU"; }

std::string Text(HKEY root, const std::string& path, const char* name)
{
    DWORD type = 0;
    std::string data;
    if (!ReadRaw(root, 0, path, name, &type, &data))
        return "";
    return std::string(data.c_str());
}

DWORD Number(const std::string& path, const char* name)
{
    DWORD type = 0;
    std::string data;
    if (!ReadRaw(HKEY_CURRENT_USER, 0, path, name, &type, &data) || data.size() != 4)
        return 0;
    return *(const DWORD*)data.data();
}

bool WriteFileText(const std::string& path, const std::string& text)
{
    if (FileWriteFails(path.c_str()))
        return false;
    const std::string fresh = path + ".kxnew";
    Handle file(CreateFileA(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        NoteWriteRefusal(GetLastError());
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(file.get(), text.data(), (DWORD)text.size(), &written, nullptr) &&
              written == text.size();
    file.reset();
    if (!ok || !MoveFileExA(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        NoteWriteRefusal(GetLastError());
        DeleteFileA(fresh.c_str());
        return false;
    }
    return true;
}

// Puts back one recorded step.
bool PutBack(const std::string& step)
{
    std::string file = Text(HKEY_CURRENT_USER, step, "File");
    if (!file.empty()) {
        std::string copy = Text(HKEY_CURRENT_USER, step, "Copy");
        if (FileWriteFails(file.c_str()))
            return false;
        if (!CopyFileA(copy.c_str(), file.c_str(), FALSE)) {
            NoteWriteRefusal(GetLastError());
            return false;
        }
        return true;
    }
    HKEY root = Text(HKEY_CURRENT_USER, step, "Root") == "HKLM" ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    REGSAM view = Number(step, "View") == 32 ? KEY_WOW64_32KEY : 0;
    std::string path = Text(HKEY_CURRENT_USER, step, "Path");
    std::string name = Text(HKEY_CURRENT_USER, step, "Name");
    if (path.empty())
        return false;
    if (Number(step, "KeyOnly")) {
        if (!Number(step, "Existed"))
            return RemoveKeyRaw(root, view, path);
        RegKey key;
        if (IsRegistryWriteBlocked(root) || KeyWriteFails(root, path.c_str()))
            return false;
        return key.create(root, path.c_str(), view);
    }
    if (!Number(step, "Existed")) {
        // A value Kestrix made goes only while it holds what Kestrix wrote: another program's
        // since (a blocklist slot reused) stays.
        DWORD nowType = 0, wroteType = 0;
        std::string now, wrote;
        if (ReadRaw(HKEY_CURRENT_USER, 0, step, "Wrote", &wroteType, &wrote) &&
            ReadRaw(root, view, path, name, &nowType, &now) && (now != wrote || nowType != wroteType))
            return true;
        return RemoveRaw(root, view, path, name);
    }
    DWORD type = 0;
    std::string data;
    return ReadRaw(HKEY_CURRENT_USER, 0, step, "Data", &type, &data) &&
           WriteRaw(root, view, path, name, type, data);
}

bool StartsWithFolder(const std::string& path, const std::string& folder)
{
    return path.size() > folder.size() && path[folder.size()] == '\\' &&
           _strnicmp(path.c_str(), folder.c_str(), folder.size()) == 0;
}

// The records lie in the user's own registry, where any program the user runs may write: a
// restore (perhaps by an elevated manager) writes only where Kestrix changes browsers, and
// copies back only a file it kept itself.
bool StepAllowed(const std::string& step)
{
    const std::string file = Text(HKEY_CURRENT_USER, step, "File");
    if (!file.empty()) {
        const std::string copy = Text(HKEY_CURRENT_USER, step, "Copy");
        char kept[MAX_PATH] = "";
        if (!UserDataPath("browsers", kept, sizeof(kept)) || !StartsWithFolder(copy, kept) ||
            copy.find("..") != std::string::npos || file.find("..") != std::string::npos)
            return false;
        if (IsFirefoxPolicyFile(file))
            return true;
        size_t slash = file.find_last_of('\\');
        const std::string name = file.substr(slash + 1), folder = file.substr(0, slash);
        bool settingsFile = false;
        for (const char* allowed : {"prefs.js", "user.js", "extensions.json"})
            settingsFile |= lstrcmpiA(name.c_str(), allowed) == 0;
        if (!settingsFile)
            return false;
        for (const std::string& profile : BrowserProfileFolders())
            if (lstrcmpiA(profile.c_str(), folder.c_str()) == 0)
                return true;
        return false;
    }
    const std::string path = Text(HKEY_CURRENT_USER, step, "Path");
    for (const BrowserKey& key : BrowserWatchedKeys())
        if (lstrcmpiA(path.c_str(), key.path) == 0 || StartsWithFolder(path, key.path))
            return true;
    return false;
}

// A profile's settings file, which Firefox writes over when it closes (its policies file it
// only reads).
bool IsProfileFileStep(const std::string& step)
{
    const std::string file = Text(HKEY_CURRENT_USER, step, "File");
    return !file.empty() && !IsFirefoxPolicyFile(file);
}

// The steps of a record, last first (each put back over what the later ones left).
std::vector<std::string> StepsLastFirst(const std::string& record)
{
    std::vector<std::string> steps;
    for (int n = 1;; n++) {
        std::string step = record + "\\" + std::to_string(n);
        if (!KeyExists(step))
            break;
        steps.insert(steps.begin(), step);
    }
    return steps;
}

}   // namespace

BrowserChange::BrowserChange()
{
    static unsigned counter;
    SYSTEMTIME now;
    GetLocalTime(&now);
    char id[64];
    snprintf(id, sizeof(id), "%04u%02u%02u-%02u%02u%02u-%lu-%u", now.wYear, now.wMonth, now.wDay,
             now.wHour, now.wMinute, now.wSecond, (unsigned long)GetCurrentProcessId(), ++counter);
    id_ = id;
}

BrowserChange::~BrowserChange()
{
    if (!done_)
        Abandon();
}

std::string BrowserChange::Source() const { return kRecordPrefix + id_; }

bool BrowserChange::Record(HKEY root, REGSAM view, const std::string& path, const std::string& name,
                           bool keyOnly)
{
    const std::string step = std::string(KX_BROWSERS_UNDO_KEY) + "\\" + id_ + "\\" + std::to_string(steps_ + 1);
    DWORD type = REG_NONE;
    std::string data;
    bool existed;
    if (keyOnly) {
        RegKey key;
        existed = key.open(root, path.c_str(), KEY_READ | view);
    } else {
        existed = ReadRaw(root, view, path, name, &type, &data);
    }
    const DWORD flags[] = {existed ? 1u : 0u, view ? 32u : 0u, keyOnly ? 1u : 0u};
    const char* flagNames[] = {"Existed", "View", "KeyOnly"};
    bool ok = WriteRaw(HKEY_CURRENT_USER, 0, step, "Root", REG_SZ, std::string(RootName(root)) + '\0') &&
              WriteRaw(HKEY_CURRENT_USER, 0, step, "Path", REG_SZ, path + '\0') &&
              WriteRaw(HKEY_CURRENT_USER, 0, step, "Name", REG_SZ, name + '\0');
    for (int i = 0; ok && i < 3; i++)
        ok = WriteRaw(HKEY_CURRENT_USER, 0, step, flagNames[i], REG_DWORD, std::string((const char*)&flags[i], 4));
    if (ok && existed && !keyOnly)
        ok = WriteRaw(HKEY_CURRENT_USER, 0, step, "Data", type, data);
    if (!ok) {
        DWORD refusal = LastWriteRefusal();
        DeleteKeyTreeOf(step);
        NoteWriteRefusal(refusal);
        return false;
    }
    steps_++;
    return true;
}

bool BrowserChange::SetValue(HKEY root, REGSAM view, const std::string& path, const std::string& name,
                             DWORD type, const std::string& data)
{
    if (!Record(root, view, path, name, false))
        return false;
    const std::string step = std::string(KX_BROWSERS_UNDO_KEY) + "\\" + id_ + "\\" + std::to_string(steps_);
    return WriteRaw(HKEY_CURRENT_USER, 0, step, "Wrote", type, data) && WriteRaw(root, view, path, name, type, data);
}

bool BrowserChange::SetText(HKEY root, const std::string& path, const std::string& name, const std::string& text)
{
    return SetValue(root, 0, path, name, REG_SZ, text + '\0');
}

bool BrowserChange::SetNumber(HKEY root, const std::string& path, const std::string& name, DWORD number)
{
    return SetValue(root, 0, path, name, REG_DWORD, std::string((const char*)&number, 4));
}

bool BrowserChange::DeleteValue(HKEY root, REGSAM view, const std::string& path, const std::string& name)
{
    return Record(root, view, path, name, false) && RemoveRaw(root, view, path, name);
}

bool BrowserChange::DeleteKey(HKEY root, REGSAM view, const std::string& path)
{
    RegKey key;
    if (!key.open(root, path.c_str(), KEY_READ | view)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    bool hasSubkeys = false;
    ForEachSubkey(key.get(), [&](const std::string&) {
        hasSubkeys = true;
        return false;
    });
    if (hasSubkeys) {
        NoteWriteRefusal(ERROR_DIR_NOT_EMPTY);
        SetLastError(ERROR_DIR_NOT_EMPTY);
        return false;
    }
    std::vector<std::string> names;
    ForEachValueName(key.get(), [&](const std::string& name) { names.push_back(name); });
    key.reset();
    // The key itself first, so that a restore makes it before its values.
    if (!Record(root, view, path, "", true))
        return false;
    for (const std::string& name : names)
        if (!DeleteValue(root, view, path, name))
            return false;
    return RemoveKeyRaw(root, view, path);
}

bool BrowserChange::ReplaceFile(const std::string& path, const std::string& text)
{
    char folder[MAX_PATH];
    if (!UserDataPath("browsers", folder, sizeof(folder)) || !MakeDataFolder(folder))
        return false;
    size_t slash = path.find_last_of('\\');
    const std::string copy = std::string(folder) + "\\" + id_ + "-" + std::to_string(steps_ + 1) + "-" +
                             path.substr(slash == std::string::npos ? 0 : slash + 1);
    if (FileWriteFails(copy.c_str()) || !CopyFileA(path.c_str(), copy.c_str(), FALSE)) {
        NoteWriteRefusal(GetLastError());
        return false;
    }
    const std::string step = std::string(KX_BROWSERS_UNDO_KEY) + "\\" + id_ + "\\" + std::to_string(steps_ + 1);
    if (!WriteRaw(HKEY_CURRENT_USER, 0, step, "File", REG_SZ, path + '\0') ||
        !WriteRaw(HKEY_CURRENT_USER, 0, step, "Copy", REG_SZ, copy + '\0')) {
        DWORD refusal = LastWriteRefusal();
        DeleteKeyTreeOf(step);
        DeleteFileA(copy.c_str());
        NoteWriteRefusal(refusal);
        return false;
    }
    steps_++;
    return WriteFileText(path, text);
}

void BrowserChange::ForItem(const std::string& identity, const std::string& data)
{
    itemIdentity_ = identity;
    itemData_ = data;
}

int BrowserChange::Finish(const char* title, const char* command, int type)
{
    done_ = true;
    // Nothing changed (the browser was already as asked): nothing to restore either.
    if (!steps_)
        return 1;
    const std::string record = std::string(KX_BROWSERS_UNDO_KEY) + "\\" + id_;
    if (!itemIdentity_.empty() &&
        (!WriteRaw(HKEY_CURRENT_USER, 0, record, "Item", REG_SZ, itemIdentity_ + '\0') ||
         !WriteRaw(HKEY_CURRENT_USER, 0, record, "ItemData", REG_SZ, itemData_ + '\0')))
        Trace("Browser change", "the refused item could not be noted");
    WriteHistoryLine(title, command, Source().c_str(), type, ACT_START_REMOVE);
    return 1;
}

void BrowserChange::Abandon()
{
    done_ = true;
    const std::string record = std::string(KX_BROWSERS_UNDO_KEY) + "\\" + id_;
    // The refusal that made the change fail is the one to tell, not one met putting back.
    DWORD refusal = LastWriteRefusal();
    for (const std::string& step : StepsLastFirst(record)) {
        std::string copy = Text(HKEY_CURRENT_USER, step, "Copy");
        PutBack(step);
        if (!copy.empty())
            DeleteFileA(copy.c_str());
    }
    DeleteKeyTreeOf(record);
    if (refusal)
        NoteWriteRefusal(refusal);
}

bool IsBrowserChangeSource(const char* source)
{
    return source && _strnicmp(source, kRecordPrefix, sizeof(kRecordPrefix) - 1) == 0 &&
           source[sizeof(kRecordPrefix) - 1] && !strchr(source + sizeof(kRecordPrefix) - 1, '\\');
}

int RestoreBrowserChange(const char* source, std::vector<std::string>* places)
{
    if (!IsBrowserChangeSource(source))
        return 0;
    const std::string record = std::string(KX_BROWSERS_UNDO_KEY) + "\\" + (source + sizeof(kRecordPrefix) - 1);
    std::vector<std::string> steps = StepsLastFirst(record);
    if (steps.empty())
        return 0;
    for (const std::string& step : steps)
        if (!StepAllowed(step)) {
            NoteWriteRefusal(ERROR_ACCESS_DENIED);
            SetLastError(ERROR_ACCESS_DENIED);
            return 0;
        }
    for (const std::string& step : steps)
        if (IsProfileFileStep(step) && FirefoxIsOpen()) {
            NoteWriteRefusal(ERROR_SHARING_VIOLATION);
            SetLastError(ERROR_SHARING_VIOLATION);
            return 0;
        }
    int all = 1;
    for (const std::string& step : steps) {
        all &= PutBack(step) ? 1 : 0;
        std::string file = Text(HKEY_CURRENT_USER, step, "File");
        // The folder names the profile's entries; the file, the policies file's.
        if (!file.empty()) {
            places->push_back(file.substr(0, file.find_last_of('\\')));
            places->push_back(file);
        } else {
            places->push_back(Text(HKEY_CURRENT_USER, step, "Root") + "\\" + Text(HKEY_CURRENT_USER, step, "Path"));
        }
    }
    return all;
}

bool BrowserChangeItem(const char* source, std::string* identity, std::string* data)
{
    if (!IsBrowserChangeSource(source))
        return false;
    const std::string record = std::string(KX_BROWSERS_UNDO_KEY) + "\\" + (source + sizeof(kRecordPrefix) - 1);
    *identity = Text(HKEY_CURRENT_USER, record, "Item");
    *data = Text(HKEY_CURRENT_USER, record, "ItemData");
    return !identity->empty();
}

int FirefoxIsOpen()
{
    char windowClass[64] = "";
    LoadResString(11, windowClass, sizeof(windowClass));
    return windowClass[0] && FindWindowA(windowClass, nullptr) != nullptr;
}

bool SplitLocation(const std::string& location, HKEY* root, REGSAM* view, std::string* path)
{
    struct Root {
        const char* prefix;
        HKEY root;
        REGSAM view;
    } roots[] = {{"HKLM32\\", HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY},
                 {"HKLM\\", HKEY_LOCAL_MACHINE, 0},
                 {"HKCU\\", HKEY_CURRENT_USER, 0}};
    for (const Root& r : roots) {
        size_t n = strlen(r.prefix);
        if (location.size() > n && _strnicmp(location.c_str(), r.prefix, n) == 0) {
            *root = r.root;
            *view = r.view;
            *path = location.substr(n);
            return true;
        }
    }
    return false;
}
