// Disabling, enabling, removing and restoring autostart entries. Every move stores the new
// copy before it deletes the old one, so a step that fails (no rights to HKLM, a file in the
// way) leaves the entry where it was.
#include "baseline.h"
#include "entrylist.h"
#include "findrun.h"
#include "handles.h"
#include "history.h"
#include "keys.h"
#include "pathutil.h"
#include "program.h"
#include "protectwarn.h"
#include "registry.h"
#include "resstring.h"
#include "runactions.h"
#include "textutil.h"
#include "trace.h"
#include "writefault.h"
#include <shlobj.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#define KX_KNOWN_RUN KX_KEY "\\Run"
#define WINLOGON_KEY "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"
#define NOTIFY_KEY WINLOGON_KEY "\\Notify"
#define DELAYLOAD_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad"
#define TASKSCHEDULER_KEY \
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler"
#define EXECUTEHOOKS_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks"
#define APPINIT_KEY "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows"
#define APPINIT_VALUE "AppInit_DLLs"
#define SHELL_FOLDERS_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"

namespace {

// --- Registry values kept exactly as they were (type and unexpanded text). ---

struct RawText {
    DWORD type = REG_SZ;
    std::string text;
};

bool ReadRawText(HKEY root, const char* path, const char* name, RawText* out, REGSAM view = 0)
{
    RegKey key;
    if (!key.open(root, path, KEY_READ | view))
        return false;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    std::vector<char> data(size + 1, 0);
    if (RegQueryValueExA(key.get(), name, nullptr, &type, (BYTE*)data.data(), &size) !=
        ERROR_SUCCESS)
        return false;
    out->type = type;
    out->text.assign(data.data());
    return true;
}

int WriteRawText(HKEY root, const char* path, const char* name, const RawText& value,
                 REGSAM view = 0)
{
    if (IsRegistryWriteBlocked(root))
        return 0;
    RegKey key;
    if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_WRITE | view, nullptr, key.out(), nullptr) !=
        ERROR_SUCCESS)
        return 0;
    return RegSetValueExA(key.get(), name, 0, value.type, (const BYTE*)value.text.c_str(),
                          (DWORD)value.text.size() + 1) == ERROR_SUCCESS;
}

bool ValuePresent(HKEY root, const char* path, const char* name, REGSAM view = 0)
{
    RegKey key;
    return key.open(root, path, KEY_READ | view) &&
           RegQueryValueExA(key.get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// Deleted, or not there in the first place.
int DeleteValueIfPresent(HKEY root, const char* path, const char* name, REGSAM view = 0)
{
    return DeleteRegValue(root, path, name, view) || !ValuePresent(root, path, name, view);
}

// A Run key of either registry view.
struct RunPlace {
    HKEY root;
    const char* path;
    REGSAM view;
};

bool RunKeyOf(int code, RunPlace* place)
{
    return RunKeyOfCode(code, &place->root, &place->path, &place->view) != 0;
}

// A command as it goes back into a Run value: its program part quoted when it holds a
// blank, since the listed command has lost its quotes.
std::string CommandLineFor(const char* command)
{
    if (strchr(command, '"'))
        return command;
    char program[260] = "", args[260] = "";
    SplitProgram(command, program, args);
    size_t length = strlen(command), argsLength = strlen(args);
    if (!program[0] || argsLength > length ||
        strcmp(command + length - argsLength, args) != 0)
        return command;
    std::string path(command, length - argsLength);
    if (path.find(' ') == std::string::npos)
        return command;
    return "\"" + path + "\"" + args;
}

void WriteKnownStartup(HKEY root, const char* command, int code)
{
    char name[260], text[16];
    StartupKeyName(command, name);
    snprintf(text, sizeof(text), "%d", code);
    SetRegValue(root, KX_KNOWN_RUN, name, text);
}

void DeleteKnownStartup(const char* name)
{
    char key[260];
    StartupKeyName(name, key);
    DeleteRegValue(HKEY_CURRENT_USER, KX_KNOWN_RUN, key);
}

int WriteIndex(const char* title, int code)
{
    char text[16];
    snprintf(text, sizeof(text), "%d", code);
    return SetRegValue(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, title, text);
}

// Stores the disabled copy and its index value; on failure nothing of it stays behind.
int StoreDisabledCopy(const char* title, const RawText& value, int code)
{
    const char* store = DisabledStoreKey(code);
    if (!CreateRegKey(HKEY_LOCAL_MACHINE, store))
        return 0;
    if (!WriteRawText(HKEY_LOCAL_MACHINE, store, title, value))
        return 0;
    if (!WriteIndex(title, code)) {
        DeleteRegValue(HKEY_LOCAL_MACHINE, store, title);
        return 0;
    }
    return 1;
}

// The title's disabled entry is the one of this location, not a namesake from another.
bool DisabledHere(const char* title, int code) { return DisabledCodeForTitle(title) == code; }

void ForgetDisabledCopy(const char* title, int code)
{
    DeleteRegValue(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, title);
    DeleteRegValue(HKEY_LOCAL_MACHINE, DisabledStoreKey(code), title);
}

// --- win.ini [windows] load= and run= lists. ---

std::string ReadWinIniKey(const char* name)
{
    // Grow until the whole value fits: a cut value must never be written back.
    for (DWORD size = 512;; size *= 2) {
        std::vector<char> buffer(size, 0);
        DWORD length = GetProfileStringA("windows", name, "", buffer.data(), size);
        if (length < size - 2 || size >= (1u << 20))
            return std::string(buffer.data(), length);
    }
}

int WriteWinIniKey(const char* name, const std::string& text)
{
    char path[MAX_PATH + 16];
    UINT n = GetWindowsDirectoryA(path, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        lstrcatA(path, "\\win.ini");
        DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    return !WriteStepFails() && WriteProfileStringA("windows", name, text.c_str()) != 0;
}

// A win.ini piece as the inventory lists it: without quotes, in long path form.
std::string ListedForm(const std::string& text)
{
    char bare[260];
    int n = 0;
    for (const char* p = text.c_str(); *p && n < (int)sizeof(bare) - 1; p++)
        if (*p != '"')
            bare[n++] = *p;
    bare[n] = 0;
    if (n >= 4)
        ToLongPathForm(bare, sizeof(bare));
    return bare;
}

// Splits the key into the pieces that are the command (match gets the last one, as it was
// written) and the rest. false when no piece is the command.
bool SplitOutOfWinIni(const char* name, const char* command, std::string* match,
                      std::string* rest)
{
    std::string value = ReadWinIniKey(name), target = ListedForm(command);
    bool found = false;
    size_t start = 0;
    while (start <= value.size()) {
        size_t end = value.find(';', start);
        if (end == std::string::npos)
            end = value.size();
        std::string piece = value.substr(start, end - start);
        start = end + 1;
        // Empty pieces are dropped so that repeated edits do not pile up semicolons.
        if (piece.empty())
            continue;
        if (lstrcmpiA(ListedForm(piece).c_str(), target.c_str()) == 0) {
            found = true;
            *match = piece;
        } else {
            *rest += piece + ";";
        }
    }
    return found;
}

// 0 when no piece was the command, so nothing was removed.
int RemoveFromWinIni(const char* name, const char* command)
{
    std::string match, rest;
    return SplitOutOfWinIni(name, command, &match, &rest) && WriteWinIniKey(name, rest);
}

int AppendToWinIni(const char* name, const char* command)
{
    std::string value = ReadWinIniKey(name);
    if (!value.empty() && value.back() != ';')
        value += ";";
    value += command;
    return WriteWinIniKey(name, value);
}

const char* WinIniKeyOf(int code) { return code == WIN_LOAD ? "load" : "run"; }

// --- AppInit_DLLs. ---

std::string LongForm(const std::string& path)
{
    char buffer[MAX_PATH * 2];
    lstrcpynA(buffer, path.c_str(), sizeof(buffer));
    ToLongPathForm(buffer, sizeof(buffer));
    return buffer;
}

int RemoveAppInitDll(const char* dll, REGSAM view)
{
    RawText value;
    if (!ReadRawText(HKEY_LOCAL_MACHINE, APPINIT_KEY, APPINIT_VALUE, &value, view))
        return 0;
    std::string target = LongForm(dll), kept;
    bool removed = false;
    size_t start = 0;
    const std::string& list = value.text;
    while (start < list.size()) {
        size_t end = list.find_first_of(", ", start);
        if (end == std::string::npos)
            end = list.size();
        std::string piece = list.substr(start, end - start);
        if (!piece.empty()) {
            if (lstrcmpiA(LongForm(piece).c_str(), target.c_str()) == 0) {
                removed = true;
            } else {
                if (!kept.empty())
                    kept += ",";
                kept += piece;
            }
        }
        start = end + 1;
    }
    if (!removed)
        return 0;
    RawText rewritten;
    rewritten.text = kept;
    return WriteRawText(HKEY_LOCAL_MACHINE, APPINIT_KEY, APPINIT_VALUE, rewritten, view);
}

int AppendAppInitDll(const char* dll, REGSAM view)
{
    RawText value;
    ReadRawText(HKEY_LOCAL_MACHINE, APPINIT_KEY, APPINIT_VALUE, &value, view);
    // The list is split at blanks too, so the DLL goes in by its short path when it has one.
    char shortPath[MAX_PATH];
    DWORD n = GetShortPathNameA(dll, shortPath, sizeof(shortPath));
    std::string piece = (n > 0 && n < sizeof(shortPath)) ? shortPath : dll;
    if (!value.text.empty())
        value.text += ",";
    value.text += piece;
    value.type = REG_SZ;
    return WriteRawText(HKEY_LOCAL_MACHINE, APPINIT_KEY, APPINIT_VALUE, value, view);
}

// --- Startup-folder files. ---

bool IsFile(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return path[0] && attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The file that stands for a startup-folder item: the shortcut or program placed in the
// folder (source), or the item itself when it has no source.
const char* StartupItemFile(const char* source, const char* command)
{
    return source[0] ? source : command;
}

bool DisabledFolder(char* out, int capacity, bool create)
{
    ProgramFilePath("Disabled", out, capacity);
    if (create)
        CreateDirectoryA(out, nullptr);
    DWORD attributes = GetFileAttributesA(out);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void DisabledCopyPath(const char* itemFile, char* out, int capacity)
{
    char folder[MAX_PATH + 16];
    DisabledFolder(folder, sizeof(folder), false);
    snprintf(out, capacity, "%s\\%s", folder, FileNamePart(itemFile));
}

bool StartupFolder(char* out, int capacity)
{
    return GetRegValue(HKEY_CURRENT_USER, SHELL_FOLDERS_KEY, "Startup", out, capacity) > 0 ||
           GetRegValue(HKEY_LOCAL_MACHINE, SHELL_FOLDERS_KEY, "Startup", out, capacity) > 0 ||
           GetRegValue(HKEY_LOCAL_MACHINE, SHELL_FOLDERS_KEY, "Common Startup", out, capacity) > 0;
}

int DeleteFileForGood(const char* path)
{
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    return !WriteStepFails() && DeleteFileA(path) != 0;
}

// A shortcut can be made again from its target; any other item may be the program itself.
bool IsShortcutFile(const char* path)
{
    size_t n = strlen(path);
    return n >= 4 && lstrcmpiA(path + n - 4, ".lnk") == 0;
}

// Where the item of a disabled entry goes back to: the Startup folder, under its name.
bool StartupHomeOf(const char* item, std::string* home)
{
    char folder[MAX_PATH + 16];
    if (!StartupFolder(folder, sizeof(folder)))
        return false;
    *home = std::string(folder) + "\\" + FileNamePart(item);
    return true;
}

bool InDisabledFolder(const char* path)
{
    char folder[MAX_PATH + 16];
    DisabledFolder(folder, sizeof(folder), false);
    size_t n = strlen(folder);
    return _strnicmp(path, folder, n) == 0 && path[n] == '\\' && !strchr(path + n + 1, '\\');
}

int DisableStartupFile(const char* title, const char* source, const char* command)
{
    const char* item = StartupItemFile(source, command);
    if (!IsFile(item))
        return WriteIndex(title, GROUP_STARTUP);
    char folder[MAX_PATH + 16], target[MAX_PATH * 2];
    if (!DisabledFolder(folder, sizeof(folder), true))
        return 0;
    DisabledCopyPath(item, target, sizeof(target));
    // MoveFileA refuses to replace a file already there: a namesake is never overwritten.
    if (WriteStepFails() || !MoveFileA(item, target))
        return 0;
    if (!WriteIndex(title, GROUP_STARTUP)) {
        MoveFileA(target, item);
        return 0;
    }
    return 1;
}

int EnableStartupFile(const char* title, const char* source, const char* command)
{
    const char* item = StartupItemFile(source, command);
    char disabled[MAX_PATH * 2];
    DisabledCopyPath(item, disabled, sizeof(disabled));
    if (!item[0] || !IsFile(disabled))
        return DeleteRegValue(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, title);
    char folder[MAX_PATH + 16], target[MAX_PATH * 2];
    if (!StartupFolder(folder, sizeof(folder)))
        return 0;
    snprintf(target, sizeof(target), "%s\\%s", folder, FileNamePart(item));
    if (WriteStepFails() || !MoveFileA(disabled, target))
        return 0;
    if (!DeleteRegValue(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, title)) {
        MoveFileA(target, disabled);
        return 0;
    }
    return 1;
}

// --- Winlogon Notify DLLs: disabled by moving DllName into OldName. ---

std::string NotifyKey(const char* title) { return std::string(NOTIFY_KEY "\\") + title; }

int DisableNotify(const char* title, const char* command)
{
    RawText copy;
    copy.text = command;
    if (!StoreDisabledCopy(title, copy, RUN_WINLOGONNOTIFY))
        return 0;
    WriteKnownStartup(HKEY_CURRENT_USER, command, RUN_WINLOGONNOTIFY);
    std::string key = NotifyKey(title);
    char dll[REG_READ_BUFFER];
    // An empty DllName must not wipe the name an earlier disable kept in OldName.
    if (GetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "DllName", dll, sizeof(dll)) > 0 &&
        SetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "OldName", dll))
        SetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "DllName", "");
    return 1;
}

// 0 only when a kept name could not be written back.
int PutNotifyBack(const char* title)
{
    std::string key = NotifyKey(title);
    char dll[REG_READ_BUFFER];
    if (GetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "OldName", dll, sizeof(dll)) <= 0)
        return 1;
    if (!SetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "DllName", dll))
        return 0;
    SetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "OldName", "");
    return 1;
}

// --- The two directions of DisableRunProgram. ---

int DisableEntry(const char* title, const char* command, const char* source, int code)
{
    RunPlace run;
    if (RunKeyOf(code, &run)) {
        // The copy is the value as it stands (quotes, type); the listed command only when gone.
        RawText value;
        if (!ReadRawText(run.root, run.path, title, &value, run.view))
            value.text = command;
        if (!StoreDisabledCopy(title, value, code))
            return 0;
        if (!DeleteValueIfPresent(run.root, run.path, title, run.view)) {
            ForgetDisabledCopy(title, code);
            return 0;
        }
        return 1;
    }
    switch (code) {
    case WIN_LOAD:
    case WIN_RUN: {
        // Only a command that is really in the key is disabled; the copy is the piece as
        // it was written there (quotes, short path), so enabling puts back the same text.
        RawText copy;
        std::string rest;
        if (!SplitOutOfWinIni(WinIniKeyOf(code), command, &copy.text, &rest))
            return 0;
        if (!StoreDisabledCopy(title, copy, code))
            return 0;
        if (!RemoveFromWinIni(WinIniKeyOf(code), command)) {
            ForgetDisabledCopy(title, code);
            return 0;
        }
        return 1;
    }
    case GROUP_STARTUP:
        return DisableStartupFile(title, source, command);
    case RUN_WINLOGONNOTIFY:
        return DisableNotify(title, command);
    default:
        return 0;
    }
}

int EnableEntry(const char* title, const char* command, const char* source, int code)
{
    RunPlace run;
    if (RunKeyOf(code, &run)) {
        // A value that came back in the meantime is the newer one and stays as it is.
        bool written = false;
        if (!ValuePresent(run.root, run.path, title, run.view)) {
            RawText value;
            if (!ReadRawText(HKEY_LOCAL_MACHINE, DisabledStoreKey(code), title, &value))
                value.text = CommandLineFor(command);
            if (!WriteRawText(run.root, run.path, title, value, run.view))
                return 0;
            written = true;
        }
        if (!DeleteRegValue(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, title)) {
            if (written)
                DeleteRegValue(run.root, run.path, title, run.view);
            return 0;
        }
        DeleteRegValue(HKEY_LOCAL_MACHINE, DisabledStoreKey(code), title);
        return 1;
    }
    switch (code) {
    case WIN_LOAD:
    case WIN_RUN: {
        RawText stored;
        if (!ReadRawText(HKEY_LOCAL_MACHINE, DisabledStoreKey(code), title, &stored))
            stored.text = command;
        if (!AppendToWinIni(WinIniKeyOf(code), stored.text.c_str()))
            return 0;
        if (!DeleteRegValue(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, title)) {
            RemoveFromWinIni(WinIniKeyOf(code), command);
            return 0;
        }
        DeleteRegValue(HKEY_LOCAL_MACHINE, DisabledStoreKey(code), title);
        return 1;
    }
    case GROUP_STARTUP:
        return EnableStartupFile(title, source, command);
    case RUN_WINLOGONNOTIFY:
        if (!PutNotifyBack(title))
            return 0;
        if (!DeleteRegValue(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, title))
            return 0;
        DeleteRegValue(HKEY_LOCAL_MACHINE, DisabledStoreKey(code), title);
        return 1;
    default:
        return 0;
    }
}

// --- Removal. ---

// A shortcut is deleted (never the program it starts). Any other item is parked instead, and
// the history line names the parked file as its command and the item's place as its source,
// so that a restore moves the very file back. The item of an entry disabled here waits in
// the Disabled folder and goes back to the Startup folder. A file that stays (in use, no
// rights) is not reported as removed.
int RemoveStartupFile(const char* title, const char* source, const char* command,
                      std::string* logCommand, std::string* logSource)
{
    *logCommand = command;
    *logSource = source;
    const char* item = StartupItemFile(source, command);
    std::string file = item, home = item;
    bool disabled = DisabledHere(title, GROUP_STARTUP);
    if (disabled) {
        char copy[MAX_PATH * 2];
        DisabledCopyPath(item, copy, sizeof(copy));
        if (item[0] && !IsFile(item) && IsFile(copy))
            file = copy;
        if (InDisabledFolder(file.c_str()) && !StartupHomeOf(file.c_str(), &home))
            home = file;
    }
    int result = 1;
    if (!IsFile(file.c_str())) {
        result = 1;
    } else if (IsShortcutFile(file.c_str())) {
        result = DeleteFileForGood(file.c_str());
    } else {
        char parked[MAX_PATH * 2];
        result = ParkStartupItem(file.c_str(), parked, sizeof(parked));
        if (result) {
            *logCommand = parked;
            *logSource = home;
        }
    }
    if (result && disabled)
        DeleteRegValue(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, title);
    return result;
}

// Asks before a system hook goes: the warning dialog in the explorer, a message box in
// the monitor.
int ConfirmHookRemoval(HWND owner, const char* title, const char* command)
{
    if (g_programKind == PROGRAM_EXPLORER)
        return ShowProtectionWarning(owner, title, command);
    char text[512];
    LoadResString(1013, text, sizeof(text));
    return MessageBoxExA(owner, text, g_programCaption,
                         MB_YESNO | MB_DEFBUTTON2 | MB_ICONSTOP | MB_TOPMOST,
                         (WORD)uiLanguage) == IDYES;
}

// --- Restore. ---

// A removed hook goes back into the view it was removed from.
int RestoreHook(const char* title, const char* command, const char* source, int code)
{
    REGSAM view = 0;
    RawText value;
    switch (HookOfCode(code, &view)) {
    case REG_Delayload:
        value.text = source;
        return WriteRawText(HKEY_LOCAL_MACHINE, DELAYLOAD_KEY, title, value, view);
    case REG_TaskScheduler:
        value.text = title;
        return WriteRawText(HKEY_LOCAL_MACHINE, TASKSCHEDULER_KEY, source, value, view);
    case REG_ShellExecuteHook:
        value.text = title;
        return WriteRawText(HKEY_LOCAL_MACHINE, EXECUTEHOOKS_KEY, source, value, view);
    case REG_AppInitDLLs:
        return AppendAppInitDll(command, view);
    default:
        return 0;
    }
}

int CreateStartupShortcut(const char* path, const char* title, const char* command)
{
    // Only a shortcut can be made again; and an existing file is never replaced.
    size_t n = strlen(path);
    if (n < 5 || lstrcmpiA(path + n - 4, ".lnk") != 0 || GetFileAttributesA(path) !=
                                                             INVALID_FILE_ATTRIBUTES)
        return 0;
    HRESULT init = CoInitialize(nullptr);
    int result = 0;
    {
        ComPtr<IShellLinkA> link;
        ComPtr<IPersistFile> file;
        if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IShellLinkA, link.outVoid())) &&
            SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.outVoid()))) {
            char folder[260] = "";
            FolderOfProgram(command, folder, sizeof(folder));
            link->SetPath(command);
            link->SetDescription(title);
            link->SetIconLocation(command, 0);
            link->SetWorkingDirectory(folder);
            link->SetArguments("");
            WCHAR wide[MAX_PATH * 2];
            if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH * 2) > 0)
                result = SUCCEEDED(file->Save(wide, TRUE));
        }
    }
    if (SUCCEEDED(init))
        CoUninitialize();
    return result;
}

// Disabled here before and put back by someone: the first call restores the stored copy,
// the second moves the present value into the store again. A value named like an entry
// disabled from another location is not taken.
int DisableReturnedValue(const char* name, const char* data, int code)
{
    if (!DisabledHere(name, code))
        return 0;
    DisableRunProgram(name, data, "", code);
    DisableRunProgram(name, data, "", code);
    return 1;
}

}  // namespace

void InstallEntryActions() { SetReturnedValueHandler(DisableReturnedValue); }

int IsStartupShortcut(const char* path) { return IsShortcutFile(path); }

int ParkStartupItem(const char* item, char* parked, int capacity)
{
    char folder[MAX_PATH + 16];
    ProgramFilePath("Parked", folder, sizeof(folder));
    CreateDirectoryA(folder, nullptr);
    DWORD attributes = GetFileAttributesA(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    // Items parked earlier keep their place: a namesake gets a number in front.
    const char* name = FileNamePart(item);
    for (int n = 1; n < 1000; n++) {
        if (n == 1)
            snprintf(parked, capacity, "%s\\%s", folder, name);
        else
            snprintf(parked, capacity, "%s\\%d %s", folder, n, name);
        // MoveFileA never replaces a file that is there.
        if (!WriteStepFails() && MoveFileExA(item, parked, MOVEFILE_COPY_ALLOWED))
            return 1;
        if (GetFileAttributesA(parked) == INVALID_FILE_ATTRIBUTES)
            return 0;   // not a name clash: the item cannot be moved
    }
    return 0;
}

int UnparkStartupItem(const char* parked, const char* place)
{
    return IsFile(parked) && !WriteStepFails() && MoveFileExA(parked, place, MOVEFILE_COPY_ALLOWED);
}

int DisableRunProgram(const char* title, const char* command, const char* source, int code)
{
    Trace(title, "DisableRunProgram -  findrun");
    // The index holds one code per title. An entry of another location with the same title
    // (an HKCU value named like a disabled HKLM one) is neither the disabled entry, which
    // must stay where it is, nor can it be stored beside it: it is left alone.
    int disabledCode = DisabledCodeForTitle(title);
    if (disabledCode == code)
        return EnableEntry(title, command, source, code);
    if (disabledCode)
        return 0;
    return DisableEntry(title, command, source, code);
}

int DeleteRunProgram(const char* title, const char* command, const char* source, int code)
{
    Trace(title, "DeleteRunProgram -  findrun");
    REGSAM hookView;
    if ((code >= WINLOGON_Userinit && code <= REG_AppInitDLLs) || HookOfCode(code, &hookView))
        return DeleteRegProgram(nullptr, title, command, source, code);

    int result = 0;
    RunPlace run;
    if (RunKeyOf(code, &run)) {
        if (DisabledHere(title, code)) {
            DeleteRegValue(HKEY_LOCAL_MACHINE, DisabledStoreKey(code), title);
            result = DeleteRegValue(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, title);
        } else {
            result = DeleteRegValue(run.root, run.path, title, run.view);
        }
    } else if (code == WIN_LOAD || code == WIN_RUN) {
        // The disabled copy and the command in win.ini both go; the result says whether
        // either was there to go.
        if (DisabledHere(title, code)) {
            DeleteRegValue(HKEY_LOCAL_MACHINE, DisabledStoreKey(code), title);
            result = DeleteRegValue(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, title);
        }
        result |= RemoveFromWinIni(WinIniKeyOf(code), command);
    }
    std::string logCommand = command, logSource = source;
    if (code == GROUP_STARTUP)
        result = RemoveStartupFile(title, source, command, &logCommand, &logSource);

    // Only a removal that happened is logged and forgotten: the line is what a restore
    // works from, and an entry still in place must stay known.
    if (!result)
        return 0;
    if (!InMyString(command, "Kestrix"))
        WriteHistoryLine(title, logCommand.c_str(), logSource.c_str(), code, ACT_START_REMOVE);
    DeleteKnownStartup(command);
    DeleteKnownStartup(title);
    return result;
}

int DeleteRegProgram(HWND owner, const char* title, const char* command, const char* source,
                     int code)
{
    Trace(title, "DeleteRegProgram -  findrun");
    int result = 0;
    switch (code) {
    case WINLOGON_Userinit: {
        char userinit[MAX_PATH + 32];
        UINT n = GetSystemDirectoryA(userinit, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            return 0;
        lstrcatA(userinit, "\\Userinit.exe,");
        result = SetRegValue(HKEY_LOCAL_MACHINE, WINLOGON_KEY, "Userinit", userinit);
        WriteKnownStartup(HKEY_LOCAL_MACHINE, userinit, WINLOGON_Userinit);
        if (result)
            WriteHistoryLine(title, command, source, code, ACT_RESET_USERINIT);
        return result;
    }
    case WINLOGON_Shell:
        result = SetRegValue(HKEY_LOCAL_MACHINE, WINLOGON_KEY, "Shell", "Explorer.exe");
        WriteKnownStartup(HKEY_LOCAL_MACHINE, "Explorer.exe", WINLOGON_Shell);
        if (result)
            WriteHistoryLine(title, command, source, code, ACT_RESET_SHELL);
        return result;
    default:
        break;
    }
    // The hooks act in the registry view their entry came from.
    REGSAM view = 0;
    int hook = HookOfCode(code, &view);
    if (!hook)
        return 0;   // Winlogon Notify entries can be disabled but not removed

    if (!ConfirmHookRemoval(owner, title, command))
        return 0;
    DeleteKnownStartup(command);
    int action = ACT_START_REMOVE;
    switch (hook) {
    case REG_Delayload:
        result = DeleteRegValue(HKEY_LOCAL_MACHINE, DELAYLOAD_KEY, title, view);
        action = ACT_REMOVE_DELAYLOAD;
        break;
    case REG_TaskScheduler:
        result = DeleteRegValue(HKEY_LOCAL_MACHINE, TASKSCHEDULER_KEY, source, view);
        action = ACT_REMOVE_TASKSCHEDULER;
        break;
    case REG_ShellExecuteHook:
        result = DeleteRegValue(HKEY_LOCAL_MACHINE, EXECUTEHOOKS_KEY, source, view);
        action = ACT_REMOVE_SHELLEXECUTEHOOK;
        break;
    default:
        result = RemoveAppInitDll(command, view);
        break;
    }
    if (result)
        WriteHistoryLine(title, command, source, code, action);
    return result;
}

int RestoreEntry(const char* title, const char* command, const char* source, int code)
{
    int result = 0;
    RunPlace run;
    if (RunKeyOf(code, &run)) {
        RawText value;
        value.text = CommandLineFor(command);
        result = WriteRawText(run.root, run.path, title, value, run.view);
    } else {
        switch (code) {
        case WIN_LOAD:
        case WIN_RUN:
            result = AppendToWinIni(WinIniKeyOf(code), command);
            break;
        case GROUP_STARTUP:
            // A parked item (command) goes back to its place (source); the entry is then
            // listed by that place.
            if (source[0] && !IsShortcutFile(source)) {
                result = UnparkStartupItem(command, source);
                if (result)
                    WriteKnownStartup(HKEY_CURRENT_USER, source, code);
                return result;
            }
            result = CreateStartupShortcut(source, title, command);
            break;
        case REG_Delayload:
        case REG_TaskScheduler:
        case REG_ShellExecuteHook:
        case REG_AppInitDLLs:
        case REG_Delayload32:
        case REG_TaskScheduler32:
        case REG_ShellExecuteHook32:
        case REG_AppInitDLLs32:
            result = RestoreHook(title, command, source, code);
            break;
        case RUN_WINLOGONNOTIFY:
            PutNotifyBack(title);
            return 0;
        default:
            return 0;
        }
    }
    // Known, so that the monitor takes the entry back without an alert.
    if (result)
        WriteKnownStartup(HKEY_CURRENT_USER, command, code);
    return result;
}
