#include "notefile.h"
#include "datafolder.h"
#include "pathutil.h"
#include "platform.h"
#include "program.h"
#include <windows.h>
#include <cstdio>

int NoteFilePath(const char* programPath, char* out, int capacity)
{
    char name[MAX_PATH];
    lstrcpynA(name, FileNamePart(programPath), sizeof(name));
    int length = lstrlenA(name);
    name[length > 4 ? length - 4 : 0] = 0;
    snprintf(out, capacity, "%s\\note_%s.txt", ProgramFolder(), name);
    if (GetFileAttributesA(out) != INVALID_FILE_ATTRIBUTES)
        return lstrlenA(out);
    char base[MAX_PATH];
    GetProgramDataFolder(base, sizeof(base));
    snprintf(out, capacity, "%s\\note_%s.txt", base, name);
    return lstrlenA(out);
}

int DeleteFileAtRestart(const char* path)
{
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    if (IsWindowsNT())
        return MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
    // The 95 family runs the NUL= lines of wininit.ini once at the next start.
    char ini[MAX_PATH], shortPath[MAX_PATH];
    GetWindowsDirectoryA(ini, sizeof(ini));
    lstrcatA(ini, "\\wininit.ini");
    if (!GetShortPathNameA(path, shortPath, sizeof(shortPath)))
        lstrcpynA(shortPath, path, sizeof(shortPath));
    FILE* file = fopen(ini, "ab");
    if (!file)
        return 0;
    fprintf(file, "NUL=%s\r\n", shortPath);
    fclose(file);
    return 1;
}
