#include "startupfiles.h"
#include "entrylist.h"
#include "entrystore.h"
#include "findrun.h"
#include "handles.h"
#include "keys.h"
#include "datafolder.h"
#include "pathutil.h"
#include "program.h"
#include "registry.h"
#include "shortcut.h"
#include "writefault.h"
#include <windows.h>
#include <shlobj.h>
#include <cstdio>
#include <cstring>

#define SHELL_FOLDERS_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"

static bool IsFile(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return path[0] && attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The file that stands for a startup-folder item: the shortcut or program placed in the
// folder (source), or the item itself when it has no source.
static const char* StartupItemFile(const char* source, const char* command)
{
    return source[0] ? source : command;
}

static bool StartupFolder(char* out, int capacity);

// An item of the all-users Startup folder: its disabled and parked copies guard the machine
// and live in the machine's data folder; every other item's in the user's.
static bool InCommonStartup(const char* item);

int IsCommonStartupItem(const char* source, const char* command)
{
    return InCommonStartup(StartupItemFile(source, command)) ? 1 : 0;
}

static bool InCommonStartup(const char* item)
{
    char common[MAX_PATH + 16] = "";
    if (!GetRegValue(HKEY_LOCAL_MACHINE, SHELL_FOLDERS_KEY, "Common Startup", common, MAX_PATH))
        return false;
    size_t n = strlen(common);
    return _strnicmp(item, common, n) == 0 && item[n] == '\\';
}

// "<data folder>\<sub>" for the item's copies, made when create is set. 1 when it is a folder.
static bool CopyFolder(const char* item, const char* sub, char* out, int capacity, bool create)
{
    char base[MAX_PATH];
    int known = InCommonStartup(item) ? MachineDataFolder(base, sizeof(base))
                                      : UserDataFolder(base, sizeof(base));
    out[0] = 0;
    if (!known || snprintf(out, capacity, "%s\\%s", base, sub) >= capacity)
        return false;
    if (create && GetFileAttributesA(out) == INVALID_FILE_ATTRIBUTES && !FileWriteFails(out) &&
        !CreateDirectoryA(out, nullptr))
        NoteWriteRefusal(GetLastError());
    DWORD attributes = GetFileAttributesA(out);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

static bool DisabledFolder(const char* item, char* out, int capacity, bool create)
{
    return CopyFolder(item, "Disabled", out, capacity, create);
}

// The disabled copy of the item: in its data folder, or where an earlier build put it (the
// program folder's Disabled folder) while it waits there.
static void DisabledCopyPath(const char* itemFile, char* out, int capacity)
{
    char folder[MAX_PATH + 16];
    out[0] = 0;
    if (DisabledFolder(itemFile, folder, sizeof(folder), false))
        snprintf(out, capacity, "%s\\%s", folder, FileNamePart(itemFile));
    char earlier[MAX_PATH * 2];
    ProgramFilePath("Disabled", folder, sizeof(folder));
    snprintf(earlier, sizeof(earlier), "%s\\%s", folder, FileNamePart(itemFile));
    if ((!out[0] || GetFileAttributesA(out) == INVALID_FILE_ATTRIBUTES) &&
        GetFileAttributesA(earlier) != INVALID_FILE_ATTRIBUTES)
        lstrcpynA(out, earlier, capacity);
}

static bool StartupFolder(char* out, int capacity)
{
    return GetRegValue(HKEY_CURRENT_USER, SHELL_FOLDERS_KEY, "Startup", out, capacity) > 0 ||
           GetRegValue(HKEY_LOCAL_MACHINE, SHELL_FOLDERS_KEY, "Startup", out, capacity) > 0 ||
           GetRegValue(HKEY_LOCAL_MACHINE, SHELL_FOLDERS_KEY, "Common Startup", out, capacity) > 0;
}

// The Startup folder a disabled item goes back to: the all-users one for an item of it, or one
// waiting in the machine's Disabled folder; the user's for every other.
static bool HomeFolder(const char* item, const char* copy, char* out, int capacity)
{
    char user[MAX_PATH], machine[MAX_PATH + 16];
    bool common = InCommonStartup(item);
    if (!common && MachineDataFolder(machine, MAX_PATH) && UserDataFolder(user, sizeof(user)) &&
        lstrcmpiA(user, machine) != 0) {
        lstrcatA(machine, "\\Disabled\\");
        common = _strnicmp(copy, machine, strlen(machine)) == 0;
    }
    if (common &&
        GetRegValue(HKEY_LOCAL_MACHINE, SHELL_FOLDERS_KEY, "Common Startup", out, capacity) > 0)
        return true;
    return StartupFolder(out, capacity);
}

// A shortcut file, listed by its target; any other item may be the program itself.
static bool IsShortcutFile(const char* path)
{
    size_t n = strlen(path);
    return n >= 4 && lstrcmpiA(path + n - 4, ".lnk") == 0;
}

// Where the item of a disabled entry goes back to: the Startup folder, under its name.
static bool StartupHomeOf(const char* item, std::string* home)
{
    char folder[MAX_PATH + 16];
    if (!HomeFolder(item, item, folder, sizeof(folder)))
        return false;
    *home = std::string(folder) + "\\" + FileNamePart(item);
    return true;
}

// One of the folders a copy of the kind sub may be in: the user's, the machine's, and the
// program folder where an earlier build kept them.
static bool InCopyFolder(const char* path, const char* sub)
{
    char folders[3][MAX_PATH + 16] = {};
    char base[MAX_PATH];
    if (UserDataFolder(base, sizeof(base)))
        snprintf(folders[0], sizeof(folders[0]), "%s\\%s", base, sub);
    if (MachineDataFolder(base, sizeof(base)))
        snprintf(folders[1], sizeof(folders[1]), "%s\\%s", base, sub);
    ProgramFilePath(sub, folders[2], sizeof(folders[2]));
    for (const char* folder : folders) {
        size_t n = strlen(folder);
        if (n && _strnicmp(path, folder, n) == 0 && path[n] == '\\' && !strchr(path + n + 1, '\\'))
            return true;
    }
    return false;
}

static bool InDisabledFolder(const char* path) { return InCopyFolder(path, "Disabled"); }

int DisableStartupFile(const char* title, const char* source, const char* command)
{
    const char* item = StartupItemFile(source, command);
    if (!IsFile(item))
        return WriteIndex(title, GROUP_STARTUP);
    char folder[MAX_PATH + 16], target[MAX_PATH * 2];
    if (!DisabledFolder(item, folder, sizeof(folder), true))
        return 0;
    DisabledCopyPath(item, target, sizeof(target));
    // MoveFileA refuses to replace a file already there: a namesake is never overwritten.
    if (FileMoveFails(item, target) || !MoveFileA(item, target)) {
        NoteWriteRefusal(GetLastError());
        return 0;
    }
    if (!WriteIndexAt(InCommonStartup(item) ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, title,
                      GROUP_STARTUP)) {
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
        return DeleteRegValue(DisabledIndexRoot(title), KX_DISABLED_KEY, title);
    char folder[MAX_PATH + 16], target[MAX_PATH * 2];
    if (!HomeFolder(item, disabled, folder, sizeof(folder)))
        return 0;
    snprintf(target, sizeof(target), "%s\\%s", folder, FileNamePart(item));
    if (FileMoveFails(disabled, target) || !MoveFileA(disabled, target)) {
        NoteWriteRefusal(GetLastError());
        return 0;
    }
    if (!DeleteRegValue(DisabledIndexRoot(title), KX_DISABLED_KEY, title)) {
        MoveFileA(target, disabled);
        return 0;
    }
    return 1;
}

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
    } else {
        char parked[MAX_PATH * 2];
        result = ParkStartupItem(file.c_str(), parked, sizeof(parked));
        if (result) {
            *logCommand = parked;
            *logSource = home;
        }
    }
    if (result && disabled)
        DeleteRegValue(DisabledIndexRoot(title), KX_DISABLED_KEY, title);
    return result;
}

int CreateStartupShortcut(const char* path, const char* title, const char* command)
{
    // Only a shortcut can be made again; and an existing file is never replaced.
    size_t n = strlen(path);
    if (n < 5 || lstrcmpiA(path + n - 4, ".lnk") != 0 || GetFileAttributesA(path) !=
                                                             INVALID_FILE_ATTRIBUTES)
        return 0;
    ComScope com;   // ends after the interfaces below are released
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
    return result;
}

int IsStartupShortcut(const char* path) { return IsShortcutFile(path); }

int ParkStartupItem(const char* item, char* parked, int capacity)
{
    char folder[MAX_PATH + 16];
    if (!CopyFolder(item, "Parked", folder, sizeof(folder), true))
        return 0;
    // Items parked earlier keep their place: a namesake gets a number in front.
    const char* name = FileNamePart(item);
    for (int n = 1; n < 1000; n++) {
        if (n == 1)
            snprintf(parked, capacity, "%s\\%s", folder, name);
        else
            snprintf(parked, capacity, "%s\\%d %s", folder, n, name);
        // MoveFileA never replaces a file that is there.
        if (!FileMoveFails(item, parked) && MoveFileExA(item, parked, MOVEFILE_COPY_ALLOWED))
            return 1;
        if (GetFileAttributesA(parked) == INVALID_FILE_ATTRIBUTES) {
            NoteWriteRefusal(GetLastError());
            return 0;   // not a name clash: the item cannot be moved
        }
    }
    return 0;
}

int UnparkStartupItem(const char* parked, const char* place)
{
    if (!IsFile(parked))
        return 0;
    if (FileMoveFails(parked, place) || !MoveFileExA(parked, place, MOVEFILE_COPY_ALLOWED)) {
        NoteWriteRefusal(GetLastError());
        return 0;
    }
    return 1;
}

// A file of a Parked folder; those an earlier build parked in the program folder stay there,
// where the history lines that name them find them.
static bool IsParkedItem(const char* path) { return InCopyFolder(path, "Parked") && IsFile(path); }

// The command the startup inventory lists an item by: a shortcut's target, else the item.
static std::string ListedCommand(const char* item)
{
    char target[MAX_PATH] = "", description[1024];
    if (!IsShortcutFile(item) || ResolveShortcut(item, target, description) != 0 || !target[0])
        return item;
    ToLongPathForm(target, sizeof(target));
    return target;
}

int RestoreStartupFile(const char* title, const char* command, const char* source,
                       std::string* listed)
{
    if (source[0] && (!IsShortcutFile(source) || IsParkedItem(command))) {
        if (!UnparkStartupItem(command, source))
            return 0;
        *listed = ListedCommand(source);
        return 1;
    }
    // A shortcut an older version deleted: only its target is known.
    *listed = command;
    return CreateStartupShortcut(source, title, command);
}
