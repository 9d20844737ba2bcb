// The service check: a service missing from the known list is shown to the user; a refused
// one is disabled and stopped, and known afterwards either way.
#include "actionevents.h"
#include "alert.h"
#include "checks.h"
#include "history.h"
#include "keys.h"
#include "options.h"
#include "patrolask.h"
#include "serviceactions.h"
#include "services.h"
#include "sounds.h"

static const char kKnownKey[] = KX_KEY "\\Services";

// Refused without a dialog: the dialog's own stop and disable did not run, so the history
// lines are written here, each only for a step that took effect.
static void RefuseSilently(const EntryRecord& entry)
{
    SetLastError(0);
    if (SetServiceStartType(entry.title, SERVICE_DISABLED))
        WriteHistoryLine(entry.title, entry.command, "", entry.type, ACT_SERVICE_DISABLED);
    else
        ReportActionRefused(ACT_SERVICE_DISABLED, entry.type, entry.title, entry.command,
                            GetLastError());
    if (SendServiceControl(entry.title, SERVICE_CONTROL_STOP))
        WriteHistoryLine(entry.title, entry.command, "", entry.type, ACT_SERVICE_STOP);
}

void CheckServices()
{
    ListServices();
    KnownList known(kKnownKey);
    for (const EntryRecord& entry : CopyUnknownEntries(known)) {
        if (known.Number(entry.title) != 0)
            continue;
        SetCurrentAlert(entry.type, entry.title, entry.command);
        INT_PTR result = IDNO;
        bool silent = suppressAlerts > 1;
        if (silent)
            RefuseSilently(entry);
        else
            result = AskAboutEntry(SOUND_STARTUP, entry.command, "Services", 161, 821,
                                   ALERT_SERVICE);
        if (result == IDNO && !silent) {
            // The dialog stopped and disabled it already; this makes sure of both.
            SetServiceStartType(entry.title, SERVICE_DISABLED);
            SendServiceControl(entry.title, SERVICE_CONTROL_STOP);
        }
        // A dialog that could not open decided nothing: the service is asked about again.
        if (result == IDNO || result == IDYES) {
            WriteKnownListEntry(kKnownKey, entry.title, entry.type);
            known.Remember(entry.title, entry.type);
        }
    }
}
