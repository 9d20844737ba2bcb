#include "writefault.h"
#include "datapaths.h"
#include "program.h"
#include <cstring>

static int g_faultStep;
static int g_stepsSeen;
static int g_deniedPlaces;
static DWORD g_lastRefusal;

void SetWriteFault(int step)
{
    g_faultStep = step;
    g_stepsSeen = 0;
}

int WriteStepsSeen() { return g_stepsSeen; }

void NoteWriteRefusal(DWORD error) { g_lastRefusal = error ? error : ERROR_GEN_FAILURE; }
DWORD LastWriteRefusal() { return g_lastRefusal; }
void ClearWriteRefusal() { g_lastRefusal = 0; }

int WriteStepFails()
{
    g_stepsSeen++;
    if (g_faultStep <= 0 || g_stepsSeen != g_faultStep)
        return 0;
    // Each kind in turn: refused, locked, full.
    static const DWORD kErrors[] = {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_DISK_FULL};
    NoteWriteRefusal(kErrors[g_faultStep % 3]);
    SetLastError(kErrors[g_faultStep % 3]);
    return 1;
}

void SetDeniedPlaces(int places) { g_deniedPlaces = places; }

// path is folder itself or lies below it.
static bool Inside(const char* path, const char* folder)
{
    size_t n = strlen(folder);
    return n && _strnicmp(path, folder, n) == 0 && (path[n] == 0 || path[n] == '\\');
}

int PlaceOfFile(const char* path)
{
    if (!path || !path[0])
        return PLACE_NONE;
    char machine[MAX_PATH];
    // The machine's folder first: a portable copy keeps it in the program folder.
    if (MachineDataFolderName(machine, sizeof(machine)) && Inside(path, machine) &&
        lstrcmpiA(machine, ProgramFolder()) != 0)
        return PLACE_MACHINE_FOLDER;
    return Inside(path, ProgramFolder()) ? PLACE_PROGRAM_FOLDER : PLACE_NONE;
}

int PlaceOfKey(HKEY root, const char* path)
{
    if (root == HKEY_CLASSES_ROOT)
        return PLACE_HKLM_CLASSES;
    if (root != HKEY_LOCAL_MACHINE)
        return PLACE_NONE;
    return path && _strnicmp(path, "Software\\Classes", 16) == 0 &&
                   (path[16] == 0 || path[16] == '\\')
               ? PLACE_HKLM_CLASSES
               : PLACE_HKLM;
}

int WriteStepFailsIn(int place)
{
    if (place & g_deniedPlaces) {
        NoteWriteRefusal(ERROR_ACCESS_DENIED);
        SetLastError(ERROR_ACCESS_DENIED);
        return 1;
    }
    return WriteStepFails();
}

int FileWriteFails(const char* path) { return WriteStepFailsIn(PlaceOfFile(path)); }

int KeyWriteFails(HKEY root, const char* path) { return WriteStepFailsIn(PlaceOfKey(root, path)); }

int FileMoveFails(const char* from, const char* to)
{
    return WriteStepFailsIn(PlaceOfFile(from) | PlaceOfFile(to));
}
