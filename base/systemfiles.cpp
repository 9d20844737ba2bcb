#include "systemfiles.h"
#include <windows.h>

std::string SystemFilePath(const char* name)
{
    char folder[MAX_PATH] = "";
    UINT length = GetSystemDirectoryA(folder, sizeof(folder));
    if (length == 0 || length >= sizeof(folder))
        lstrcpyA(folder, "C:\\Windows\\System32");
    std::string path = folder;
    if (path.back() != '\\')
        path += '\\';
    return path + name;
}

int RestrictDllSearch()
{
    typedef BOOL(WINAPI * SetDirectoriesFn)(DWORD);
    // Looked up: systems before Windows 8 without the update that brought it lack it.
    auto set = (SetDirectoriesFn)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"),
                                                       "SetDefaultDllDirectories");
    const DWORD systemFolderOnly = 0x00000800;   // LOAD_LIBRARY_SEARCH_SYSTEM32
    return set && set(systemFolderOnly) ? 1 : 0;
}
