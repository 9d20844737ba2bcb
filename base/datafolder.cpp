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

int MachineDataFolder(char* out, int capacity)
{
    char name[MAX_PATH] = "";
    bool made;
    if (!MachineDataFolderName(name, sizeof(name)))
        made = false;
    else if (GetFileAttributesA(name) == INVALID_FILE_ATTRIBUTES && FileWriteFails(name))
        made = false;
    else if (MachineDataFolderIsProtected())
        made = MakeMachineFolder(name);
    else
        made = MakeDataFolder(name);
    if (capacity > 0)
        out[0] = 0;
    if (!made) {
        DWORD error = GetLastError();
        SetLastError(error ? error : ERROR_PATH_NOT_FOUND);
        return 0;
    }
    int length = lstrlenA(name);
    if (length >= capacity) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    lstrcpynA(out, name, capacity);
    return length;
}

int MachineDataPath(const char* name, char* out, int capacity)
{
    return PathInDataFolder(MachineDataFolder, name, out, capacity);
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
