#include "datapaths.h"
#include "program.h"
#include <windows.h>
#include <shlobj.h>
#include <cstring>
#include <string>

static bool MakeFolder(const std::string& folder)
{
    if (CreateDirectoryA(folder.c_str(), nullptr))
        return true;
    DWORD attributes = GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int MakeDataFolder(const char* folder) { return MakeFolder(folder); }

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

int MachineDataFolderIsProtected() { return g_machineOverride.empty() && IsInstalledCopy(); }

int PathInDataFolder(int (*folderOf)(char*, int), const char* name, char* out, int capacity)
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
    return PathInDataFolder(UserDataFolder, name, out, capacity);
}

int DocumentsFolder(char* out, int capacity)
{
    std::string folder =
        g_documentsOverride.empty() ? ShellFolder(CSIDL_PERSONAL) : g_documentsOverride;
    if (folder.empty() || !MakeFolder(folder))
        return UserDataFolder(out, capacity);
    return Result(folder, out, capacity);
}
