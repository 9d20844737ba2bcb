#include "undo.h"
#include "entrylist.h"
#include "history.h"
#include "runactions.h"
#include "vault.h"
#include <windows.h>
#include <cstdio>

int IsHistoryEventReversible(int index)
{
    const EntryRecord* e = GetEntry(index);
    return e && IsReversibleAction(e->tag);
}

static int ReRegisterHelper(const char* command)
{
    // The DLL path is quoted: helper DLLs usually live under "Program Files".
    char line[MAX_PATH + 32];
    snprintf(line, sizeof(line), "regsvr32 /s \"%s\"", command);
    return WinExec(line, SW_SHOWNORMAL) > 31;
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
    case ACT_HIDDEN_DELETEFILE:
        result = RestoreHiddenFromVault(event.title, event.command, event.source);
        break;
    default:
        break;
    }
    ReadHistory();
    return result;
}
