#include "earlierdata.h"
#include "datafolder.h"
#include "handles.h"
#include "history.h"
#include "program.h"
#include "writefault.h"
#include <windows.h>
#include <cstdio>
#include <string>

int AdoptEarlierData()
{
    char user[MAX_PATH];
    if (!UserDataFolder(user, sizeof(user)) || lstrcmpiA(user, ProgramFolder()) == 0)
        return 0;   // a portable copy: its data is where it always was
    int moved = 0;
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
