// The service check: a service whose key name is missing from the known list is shown to the
// user; a refused one is disabled and stopped, and known afterwards either way. Everything
// goes by the key name: a service may take any display name, another service's too. Drivers
// are checked whatever the Services page shows, and asked about again when their ImagePath
// changes or they are set to start otherwise; a refused one keeps its start type in the history.
#include "actionevents.h"
#include "patrolmessage.h"
#include "writefault.h"
#include "alert.h"
#include "checks.h"
#include "driverstates.h"
#include "entrylist.h"
#include "history.h"
#include "keys.h"
#include "options.h"
#include "patrolask.h"
#include "serviceactions.h"
#include "services.h"
#include "sounds.h"
#include <vector>

static const char kKnownKey[] = KX_KEY "\\Services";

// Refused without a dialog: the dialog's own stop and disable did not run, so the history
// lines are written here, each only for a step that took effect.
static void RefuseSilently(const EntryRecord& entry, int previousStart)
{
    if (entry.type == DRIVER_SERVICE) {
        SetLastError(0);
        ClearWriteRefusal();
        if (!RefuseDriver(entry.title, entry.command, entry.key, previousStart))
            TellActionRefused(ACT_DRIVER_DISABLED, entry.type, entry.title, entry.command,
                              GetLastError());
        return;
    }
    SetLastError(0);
    ClearWriteRefusal();
    if (SetServiceStartType(entry.key, SERVICE_DISABLED))
        WriteHistoryLine(entry.title, entry.command, "", entry.type, ACT_SERVICE_DISABLED);
    else
        TellActionRefused(ACT_SERVICE_DISABLED, entry.type, entry.title, entry.command,
                            GetLastError());
    if (SendServiceControl(entry.key, SERVICE_CONTROL_STOP))
        WriteHistoryLine(entry.title, entry.command, "", entry.type, ACT_SERVICE_STOP);
}

void CheckServices()
{
    EntryLimitScope everyEntry;   // no entry is left out of the check
    ListServicesAndDrivers();
    KnownList known(kKnownKey);
    std::vector<EntryRecord> entries;
    for (int i = 0; i < EntryCount(); i++) {
        const EntryRecord& e = *GetEntry(i);
        bool driver = e.type == DRIVER_SERVICE;
        if (known.Number(e.key) == 0 || (driver && DriverStateChanged(e.key)))
            entries.push_back(e);
        else if (driver && !DriverStateKnown(e.key))
            RememberDriverState(e.key);   // known before its state was kept
    }
    for (const EntryRecord& entry : entries) {
        bool driver = entry.type == DRIVER_SERVICE;
        if (known.Number(entry.key) != 0 && !(driver && DriverStateChanged(entry.key)))
            continue;
        // Read before the dialog, whose No disables it: the history keeps it for the restore.
        int previousStart = driver ? ReadDriverStart(entry.key) : -1;
        SetCurrentAlert(entry.type, entry.title, entry.command);
        lstrcpynA(g_alert.service, entry.key, sizeof(g_alert.service));
        INT_PTR result = IDNO;
        bool silent = suppressAlerts > 1;
        if (silent)
            RefuseSilently(entry, previousStart);
        else
            result = AskAboutEntry(SOUND_STARTUP, entry.command, "Services", 161, 821,
                                   ALERT_SERVICE);
        if (result == IDNO && !silent) {
            // The dialog stopped and disabled it already; this makes sure of both.
            if (driver)
                RefuseSilently(entry, previousStart);
            else
                SetServiceStartType(entry.key, SERVICE_DISABLED);
            SendServiceControl(entry.key, SERVICE_CONTROL_STOP);
        }
        // A dialog that could not open decided nothing: the service is asked about again.
        if (result == IDNO || result == IDYES) {
            WriteKnownListEntry(kKnownKey, entry.key, entry.type);
            known.Remember(entry.key, entry.type);
            if (driver)
                RememberDriverState(entry.key);
        }
    }
    // Service DLLs changed in place are watched under the services' key: asked about here,
    // right after the services themselves.
    CheckValuePlaces();
}
