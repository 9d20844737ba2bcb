#include "earlierdata.h"
#include "classsnapshot.h"
#include "datafolder.h"
#include "filetypes.h"
#include "handles.h"
#include "history.h"
#include "program.h"
#include "registry.h"
#include "writefault.h"
#include <windows.h>
#include <cstdio>
#include <string>
#include <vector>

int AdoptEarlierClassSnapshots()
{
    std::vector<std::string> extensions;
    {
        RegKey key;
        if (!key.open(HKEY_CURRENT_USER, KX_EXT_KEY, KEY_READ))
            return 0;
        ForEachValueName(key.get(), [&](const std::string& name) {
            if (!name.empty() && name.size() < 260)
                extensions.push_back(name);
        });
    }
    int moved = 0;
    for (const std::string& ext : extensions) {
        std::string cls, command;
        if (ReadClassSnapshot(ext.c_str(), &cls, &command))
            continue;   // this build's own record holds
        char earlierClass[260];
        ReadFileTypeSnapshot(ext.c_str(), FT_CLASS, earlierClass, &command);
        if (earlierClass[0] && WriteClassSnapshot(ext.c_str(), earlierClass, command)) {
            DeleteRegValue(HKEY_CURRENT_USER, KX_EXT_KEY, ext.c_str());
            moved++;
        }
    }
    return moved;
}

int AdoptEarlierData()
{
    int moved = AdoptEarlierClassSnapshots();
    char user[MAX_PATH];
    if (!UserDataFolder(user, sizeof(user)) || lstrcmpiA(user, ProgramFolder()) == 0)
        return moved;   // a portable copy: its files are where they always were
    char history[MAX_PATH + 16];
    HistoryFilePath(history, sizeof(history));
    if (GetFileAttributesA(history) == INVALID_FILE_ATTRIBUTES)
        moved += AdoptEarlierFile("history.txt", history);

    char earlier[MAX_PATH + 16];
    ProgramFilePath("Disabled", earlier, sizeof(earlier));
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA((std::string(earlier) + "\\*").c_str(), &data));
    if (!find)
        return moved;
    std::string folder = std::string(user) + "\\Disabled";
    if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return moved;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        // MoveFileA never replaces a namesake already there.
        std::string from = std::string(earlier) + "\\" + data.cFileName;
        std::string to = folder + "\\" + data.cFileName;
        if (!FileMoveFails(from.c_str(), to.c_str()) && MoveFileA(from.c_str(), to.c_str()))
            moved++;
    } while (FindNextFileA(find.get(), &data));
    return moved;
}
