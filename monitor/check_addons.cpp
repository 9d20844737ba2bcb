// The browser add-on check: a helper object, toolbar or button missing from the known list is
// shown to the user; a refused one is removed.
#include "actionevents.h"
#include "patrolmessage.h"
#include "writefault.h"
#include "addonactions.h"
#include "addons.h"
#include "alert.h"
#include "checks.h"
#include "entrylist.h"
#include "keys.h"
#include "options.h"
#include "patrolask.h"
#include "registry.h"
#include "sounds.h"
#include "taskstop.h"

static const char kKnownKey[] = KX_KEY "\\IEHelpers";

// The list is read again first: the alert's message loop may have refilled it, and removal
// acts on every listed add-on of the same server.
static void Refuse(const EntryRecord& entry)
{
    StopRunningProgram(entry.command, entry.title, 0);
    ListBrowserAddOns();
    for (int i = 0; i < EntryCount(); i++) {
        if (lstrcmpiA(GetEntry(i)->command, entry.command) == 0 &&
            lstrcmpiA(GetEntry(i)->source, entry.source) == 0) {
            SetLastError(0);
            ClearWriteRefusal();
            if (!RemoveAddOn(entry.command, i))
                TellActionRefused(ACT_IEHELPER_REMOVE, entry.type, entry.title, entry.command,
                                    GetLastError());
            break;
        }
    }
    DeleteRegValue(HKEY_CURRENT_USER, kKnownKey, entry.title);
}

void CheckIEHelpers()
{
    EntryLimitScope everyEntry;   // no entry is left out of the check
    if (g_options.IEHelpers < 1)
        return;
    ListBrowserAddOns();
    KnownList known(kKnownKey);
    for (const EntryRecord& entry : CopyUnknownEntries(known)) {
        if (known.Number(entry.title) != 0)
            continue;
        SetCurrentAlert(0, entry.title, entry.command);
        INT_PTR result = suppressAlerts > 1 ? IDNO
                                            : AskAboutEntry(SOUND_IE_HELPER, entry.command,
                                                            "IEHelper", 158, 822, ALERT_ADDON);
        if (result == IDNO)
            Refuse(entry);
        else if (result == IDYES) {
            WriteKnownListEntry(kKnownKey, entry.title, entry.type);
            known.Remember(entry.title, entry.type);
        }
    }
    CheckBrowserEntries();
}
