// The scheduled-task check: a work item missing from the known list is shown to the user; a
// refused one is deleted.
#include "actionevents.h"
#include "patrolmessage.h"
#include "writefault.h"
#include "alert.h"
#include "checks.h"
#include "entrylist.h"
#include "history.h"
#include "keys.h"
#include "options.h"
#include "patrolask.h"
#include "platform.h"
#include "registry.h"
#include "runtasks.h"
#include "sounds.h"
#include "taskactions.h"
#include "tasks.h"
#include "textutil.h"
#include "vendorentries.h"

static const char kKnownKey[] = KX_KEY "\\Tasks";

int IsTaskSchedulerRunning() { return SchedulerRunning(); }

void CheckScheduledTasks()
{
    EntryLimitScope everyEntry;   // no entry is left out of the check
    ListScheduledTasks();
    KnownList known(kKnownKey);
    for (const EntryRecord& entry : CopyUnknownEntries(known)) {
        if (known.Number(entry.title) != 0 || IsVendorTask(entry))
            continue;
        SetCurrentAlert(0, entry.title, entry.command);
        INT_PTR result = suppressAlerts > 1 ? IDNO
                                            : AskAboutEntry(SOUND_TASK, entry.command, "Tasks",
                                                            161, 823, ALERT_TASK);
        if (result == IDNO) {
            // Only a deletion that happened goes into the history.
            ClearWriteRefusal();
            HRESULT removed = RemoveScheduledTask(entry.title);
            if (removed == S_OK)
                WriteHistoryLine(entry.title, entry.command, "", TASK_SCHEDULED,
                                 ACT_SCHEDULEDTASK_REMOVE);
            else
                TellActionRefused(ACT_SCHEDULEDTASK_REMOVE, TASK_SCHEDULED, entry.title,
                                    entry.command, (DWORD)removed);
            DeleteRegValue(HKEY_CURRENT_USER, kKnownKey, entry.title);
        } else if (result == IDYES) {
            WriteKnownListEntry(kKnownKey, entry.title, entry.type);
            known.Remember(entry.title, entry.type);
        }
    }
    if (!IsWindowsNT())
        RepaintTaskbar();
}
