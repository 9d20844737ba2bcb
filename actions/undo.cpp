#include "undo.h"
#include "driverstates.h"
#include "entrylist.h"
#include "history.h"
#include "runactions.h"
#include "systemfiles.h"
#include "vault.h"
#include <windows.h>
#include <string>

int IsHistoryEventReversible(int index)
{
    const EntryRecord* e = GetEntry(index);
    return e && IsReversibleAction(e->tag);
}

int ReRegisterHelper(const char* command)
{
    // The DLL path is quoted: helper DLLs usually live under "Program Files". The
    // registration tool is named by its full path, never looked for in the current folder.
    std::string line = "\"" + SystemFilePath("regsvr32.exe") + "\" /s \"" + command + "\"";
    return WinExec(line.c_str(), SW_SHOWNORMAL) > 31;
}

int RestoreHistoryEvent(int index)
{
    const EntryRecord* e = GetEntry(index);
    if (!e)
        return 0;
    // Reading the history again frees the record, so work on copies.
    EntryRecord event = *e;
    int result = 0;
    switch (event.tag) {
    case ACT_START_REMOVE:
        result = RestoreEntry(event.title, event.command, event.source, event.type);
        break;
    case ACT_START_DISABLE:
    case ACT_START_ENABLE:
        result = DisableRunProgram(event.title, event.command, event.source, event.type);
        break;
    case ACT_IEHELPER_REMOVE:
        result = ReRegisterHelper(event.command);
        break;
    case ACT_DRIVER_DISABLED:
        result = RestoreDriverStart(event.source);
        break;
    case ACT_HIDDEN_DELETEFILE:
        result = RestoreHiddenFromVault(event.title, event.command, event.source);
        break;
    default:
        break;
    }
    ReadHistory();
    return result;
}
