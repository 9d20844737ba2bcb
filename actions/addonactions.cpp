#include "addonactions.h"
#include "addons.h"
#include "entrylist.h"
#include "handles.h"
#include "history.h"
#include "pathutil.h"
#include "registry.h"
#include "systemfiles.h"
#include "trace.h"
#include "writefault.h"
#include <shlwapi.h>
#include <cstdio>
#include <cstring>

static void (*g_runner)(const char*);

void SetAddOnCommandRunner(void (*runner)(const char*)) { g_runner = runner; }

// 1 when the add-on's key is gone. An empty name would delete the whole list's key.
static int DeleteSubkey(const char* parent, const char* name, REGSAM view = 0)
{
    if (!name[0] || strchr(name, '\\') || IsRegistryWriteBlocked(HKEY_LOCAL_MACHINE))
        return 0;
    RegKey key;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, parent, 0, KEY_READ | KEY_WRITE | view, key.out());
    if (rc == ERROR_SUCCESS)
        rc = SHDeleteKeyA(key.get(), name);
    if (rc == ERROR_SUCCESS)
        return 1;
    Trace("ERROR RegDeleteKey", name);
    NoteWriteRefusal((DWORD)rc);
    return 0;
}

int RemoveAddOn(const char* path, int /*index*/)
{
    if (!path)
        return 0;
    int deletions = 0, failed = 0;
    for (int i = 0; i < EntryCount(); i++) {
        // Copies: the history writer and the unregistration may outlive the list.
        EntryRecord entry = *GetEntry(i);
        if (lstrcmpiA(entry.command, path) != 0)
            continue;
        char location[400];
        int deleted = 0;
        switch (entry.type) {
        case TYPE_EXTENSION:
            deleted = DeleteSubkey(KX_EXTENSIONS_KEY, entry.source);
            snprintf(location, sizeof(location), "%s", KX_EXTENSIONS_KEY);
            break;
        case TYPE_TOOLBAR:
            deleted = DeleteRegValue(HKEY_LOCAL_MACHINE, KX_TOOLBAR_KEY, entry.source);
            snprintf(location, sizeof(location), "%s\\", KX_TOOLBAR_KEY);
            break;
        case TYPE_BHO:
            deleted = DeleteSubkey(KX_BHO_KEY, entry.source);
            snprintf(location, sizeof(location), "%s", KX_BHO_KEY);
            break;
        case TYPE_BHO32:
            // The key as the 32-bit view shows it, named where 64-bit Windows keeps it.
            deleted = DeleteSubkey(KX_BHO_KEY, entry.source, KEY_WOW64_32KEY);
            snprintf(location, sizeof(location), "%s", KX_BHO32_KEY);
            break;
        default:
            continue;   // not an add-on of this list
        }
        // Refused: the add-on stays registered and listed, and no history line claims it went.
        if (!deleted) {
            failed++;
            continue;
        }
        deletions++;
        // Quoted: servers usually live under "Program Files", and an unquoted path with
        // blanks would unregister nothing.
        char line[2 * MAX_PATH + 40];
        snprintf(line, sizeof(line), "\"%s\" /u /s \"%s\"", SystemFilePath("regsvr32.exe").c_str(),
                 entry.command);
        if (!entry.command[0])
            ;   // a button without a program has no server to unregister
        else if (g_runner)
            g_runner(line);
        else
            WinExec(line, SW_SHOWNORMAL);
        WriteHistoryLine(FileNamePart(path), path, location, TYPE_BHO, ACT_IEHELPER_REMOVE);
    }
    return failed ? 0 : deletions;
}
