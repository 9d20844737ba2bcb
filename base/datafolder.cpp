#include "datafolder.h"
#include "program.h"
#include "registry.h"
#include "writefault.h"
#include <windows.h>
#include <sddl.h>
#include <shlobj.h>
#include <cstdio>
#include <cstring>
#include <string>

static bool MakeFolder(const std::string& folder)
{
    if (CreateDirectoryA(folder.c_str(), nullptr))
        return true;
    DWORD attributes = GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int EarlierDataPath(const char* name, char* out, int capacity)
{
    char appData[MAX_PATH] = "";
    GetRegValue(HKEY_CURRENT_USER,
                "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "AppData",
                appData, sizeof(appData));
    std::string places[2] = {appData[0] ? std::string(appData) + "\\Kestrix" : std::string(),
                             ProgramFolder()};
    for (const std::string& folder : places) {
        std::string path = folder + "\\" + name;
        if (!folder.empty() && (int)path.size() < capacity &&
            GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
            lstrcpynA(out, path.c_str(), capacity);
            return (int)path.size();
        }
    }
    if (capacity > 0)
        out[0] = 0;
    return 0;
}

static std::string g_userOverride, g_machineOverride, g_documentsOverride;

void SetDataFolders(const char* user, const char* machine, const char* documents)
{
    g_userOverride = user ? user : "";
    g_machineOverride = machine ? machine : "";
    g_documentsOverride = documents ? documents : "";
}

// Asked of the shell once per folder: the answer holds while the program runs, and every
// write asks which place it goes to.
static std::string ShellFolder(int csidl)
{
    static std::string known[4];
    static bool asked[4];
    static const int kFolders[4] = {CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86,
                                    CSIDL_COMMON_APPDATA, CSIDL_LOCAL_APPDATA};
    int slot = -1;
    for (int i = 0; i < 4; i++)
        if ((csidl & ~CSIDL_FLAG_CREATE) == kFolders[i])
            slot = i;
    if (slot >= 0 && asked[slot])
        return known[slot];
    char path[MAX_PATH] = "";
    if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        path[0] = 0;
    if (slot >= 0 && path[0]) {
        known[slot] = path;
        asked[slot] = true;
    }
    return path;
}

// path is root itself or lies below it.
static bool Inside(const std::string& path, const std::string& root)
{
    return !root.empty() && path.size() >= root.size() &&
           _strnicmp(path.c_str(), root.c_str(), root.size()) == 0 &&
           (path.size() == root.size() || path[root.size()] == '\\' || root.back() == '\\');
}

int IsInstalledCopy()
{
    std::string folder = ProgramFolder();
    return Inside(folder, ShellFolder(CSIDL_PROGRAM_FILES)) ||
           Inside(folder, ShellFolder(CSIDL_PROGRAM_FILESX86));
}

static int Result(const std::string& folder, char* out, int capacity)
{
    if (capacity <= 0)
        return 0;
    out[0] = 0;
    if (folder.empty() || (int)folder.size() >= capacity || folder.size() >= MAX_PATH - 16) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    lstrcpynA(out, folder.c_str(), capacity);
    return (int)folder.size();
}

int UserDataFolder(char* out, int capacity)
{
    std::string folder;
    if (!g_userOverride.empty())
        folder = g_userOverride;
    else if (!IsInstalledCopy())
        folder = ProgramFolder();
    else if (!(folder = ShellFolder(CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE)).empty())
        folder += "\\Kestrix";
    if (!folder.empty() && !MakeFolder(folder)) {
        DWORD error = GetLastError();
        folder.clear();
        SetLastError(error);
    }
    return Result(folder, out, capacity);
}

// Administrators and the system write, users read; nothing is inherited from ProgramData,
// which lets every user make and fill folders of his own there. The owner is the
// administrators group, which a program without administrator rights cannot set: such a
// program can never make the folder (and own it) before the installer does.
static bool MakeMachineFolder(const std::string& folder)
{
    DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            return true;
        SetLastError(ERROR_DIRECTORY);
        return false;
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
            "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", SDDL_REVISION_1,
            &descriptor, nullptr))
        return false;
    SECURITY_ATTRIBUTES security = {sizeof(security), descriptor, FALSE};
    BOOL made = CreateDirectoryA(folder.c_str(), &security);
    DWORD error = GetLastError();
    LocalFree(descriptor);
    SetLastError(error);
    return made != 0;
}

static std::string MachineFolderPath()
{
    if (!g_machineOverride.empty())
        return g_machineOverride;
    if (!IsInstalledCopy())
        return ProgramFolder();
    std::string common = ShellFolder(CSIDL_COMMON_APPDATA);
    return common.empty() ? common : common + "\\Kestrix";
}

int MachineDataFolderName(char* out, int capacity)
{
    return Result(MachineFolderPath(), out, capacity);
}

int MachineDataFolder(char* out, int capacity)
{
    std::string folder = MachineFolderPath();
    bool made;
    if (folder.empty())
        made = false;
    else if (GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES && FileWriteFails(folder.c_str()))
        made = false;
    else if (g_machineOverride.empty() && IsInstalledCopy())
        made = MakeMachineFolder(folder);
    else
        made = MakeFolder(folder);
    if (!made) {
        DWORD error = GetLastError();
        folder.clear();
        SetLastError(error ? error : ERROR_PATH_NOT_FOUND);
    }
    return Result(folder, out, capacity);
}

static int PathIn(int (*folderOf)(char*, int), const char* name, char* out, int capacity)
{
    char folder[MAX_PATH];
    if (capacity <= 0)
        return 0;
    out[0] = 0;
    if (!folderOf(folder, sizeof(folder)))
        return 0;
    int n = snprintf(out, capacity, "%s\\%s", folder, name);
    if (n < 0 || n >= capacity) {
        out[0] = 0;
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    return n;
}

int UserDataPath(const char* name, char* out, int capacity)
{
    return PathIn(UserDataFolder, name, out, capacity);
}

int MachineDataPath(const char* name, char* out, int capacity)
{
    return PathIn(MachineDataFolder, name, out, capacity);
}

int DocumentsFolder(char* out, int capacity)
{
    std::string folder =
        g_documentsOverride.empty() ? ShellFolder(CSIDL_PERSONAL) : g_documentsOverride;
    if (folder.empty() || !MakeFolder(folder))
        return UserDataFolder(out, capacity);
    return Result(folder, out, capacity);
}

int AdoptEarlierFileAt(const char* earlier, const char* to)
{
    if (!to[0] || !earlier[0] || lstrcmpiA(earlier, to) == 0)
        return 0;
    if (GetFileAttributesA(to) != INVALID_FILE_ATTRIBUTES)
        return 1;
    DWORD attributes = GetFileAttributesA(earlier);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    if (!FileMoveFails(earlier, to) && MoveFileExA(earlier, to, MOVEFILE_COPY_ALLOWED))
        return 1;
    return !FileWriteFails(to) && CopyFileA(earlier, to, TRUE);
}

int AdoptEarlierFile(const char* name, const char* to)
{
    char earlier[MAX_PATH + 64];
    ProgramFilePath(name, earlier, sizeof(earlier));
    return AdoptEarlierFileAt(earlier, to);
}

int AdoptEarlierDataFile(const char* name, const char* to)
{
    char earlier[MAX_PATH + 64];
    return EarlierDataPath(name, earlier, sizeof(earlier)) && AdoptEarlierFileAt(earlier, to);
}
