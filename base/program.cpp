#include "program.h"
#include <cstdio>
#include <cstring>

ProgramKind g_programKind = PROGRAM_MONITOR;
char g_programCaption[128] = "Kestrix";

static char g_folder[MAX_PATH + 1];
static bool g_folderSet;

int IsMonitor() { return g_programKind == PROGRAM_MONITOR; }

const char* ProgramFolder()
{
    if (!g_folderSet) {
        char path[MAX_PATH + 2] = "";
        DWORD n = GetModuleFileNameA(nullptr, path, sizeof(path));
        g_folder[0] = 0;
        if (n > 0 && n <= MAX_PATH) {
            char* slash = strrchr(path, '\\');
            if (slash)
                *slash = 0;
            lstrcpynA(g_folder, path, sizeof(g_folder));
        }
        g_folderSet = true;
    }
    return g_folder;
}

void SetProgramFolder(const char* folder)
{
    if (!folder) {
        g_folderSet = false;
        return;
    }
    lstrcpynA(g_folder, folder, sizeof(g_folder));
    g_folderSet = true;
}

void ProgramFilePath(const char* name, char* path, int capacity)
{
    snprintf(path, capacity, "%s\\%s", ProgramFolder(), name);
}

int IsOwnMonitorFile(const char* path)
{
    char own[MAX_PATH + 16];
    ProgramFilePath("Kestrix.exe", own, sizeof(own));
    if (!path || !path[0])
        return 0;
    if (lstrcmpiA(path, own) == 0)
        return 1;
    char longPath[MAX_PATH], longOwn[MAX_PATH];
    DWORD a = GetLongPathNameA(path, longPath, MAX_PATH);
    DWORD b = GetLongPathNameA(own, longOwn, MAX_PATH);
    return a && a < MAX_PATH && b && b < MAX_PATH && lstrcmpiA(longPath, longOwn) == 0;
}
