// The hidden-file check: a hidden file in the system folders that is not in the known list
// is shown; Delete condemns it to the vault, any other answer approves it.
#include "alert.h"
#include "patrolmessage.h"
#include "writefault.h"
#include "checks.h"
#include "entrylist.h"
#include "inventories.h"
#include "monitorstate.h"
#include "options.h"
#include "patrolask.h"
#include "registry.h"
#include "sounds.h"
#include "vault.h"

void CheckHiddenFiles()
{
    EntryLimitScope everyEntry;   // no entry is left out of the check
    ListHiddenFiles();
    for (const EntryRecord& entry : CopyEntries()) {
        char known[64] = "";
        if (GetRegValue(HKEY_CURRENT_USER, KX_HIDDEN_KEY, entry.command, known, sizeof(known)) > 0)
            continue;
        SetCurrentAlert(TYPE_HIDDEN, entry.title, entry.command);
        if (suppressAlerts > 1)
            continue;   // left for a later pass
        INT_PTR result = AskAboutEntry(SOUND_IE_HELPER, entry.command, "Hidden", 158, 822, ALERT_HIDDEN);
        ClearWriteRefusal();
        ListedState why = LISTED_OPEN;
        if (result == IDNO && !CondemnHiddenFile(entry.title, entry.command, &why) &&
            why != LISTED_MISSING)
            TellActionRefused(ACT_HIDDEN_DELETEFILE, TYPE_HIDDEN, entry.title, entry.command,
                              GetLastError());
        else
            ApproveHiddenFile(entry.command);
    }
}
