#include "foldercopy.h"
#include <windows.h>

bool CopyFolderTree(const std::string& from, const std::string& to)
{
    CreateDirectoryA(to.c_str(), nullptr);
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((from + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    bool all = true;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            all = CopyFolderTree(from + "\\" + name, to + "\\" + name) && all;
        else
            all = CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE) && all;
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return all;
}
