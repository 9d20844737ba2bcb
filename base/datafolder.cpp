#include "datafolder.h"
#include "program.h"
#include "registry.h"
#include <windows.h>
#include <string>

static bool MakeFolder(const std::string& folder)
{
    if (CreateDirectoryA(folder.c_str(), nullptr))
        return true;
    DWORD attributes = GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int GetProgramDataFolder(char* out, int capacity)
{
    char appData[MAX_PATH] = "";
    GetRegValue(HKEY_CURRENT_USER,
                "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "AppData",
                appData, sizeof(appData));
    std::string folder = std::string(appData) + "\\Kestrix";
    if (!appData[0] || !MakeFolder(folder) || !MakeFolder(folder + "\\vault"))
        folder = ProgramFolder();
    lstrcpynA(out, folder.c_str(), capacity);
    return lstrlenA(out);
}
