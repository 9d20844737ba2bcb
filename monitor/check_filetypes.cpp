// The file-type check: an association of a watched extension that no longer names the
// program of its snapshot is put back, silently when file types are locked, or after asking.
#include "alert.h"
#include "patrolmessage.h"
#include "writefault.h"
#include "baseline.h"
#include "checks.h"
#include "entrylist.h"
#include "filetypeactions.h"
#include "filetypes.h"
#include "keys.h"
#include "monitorstate.h"
#include "options.h"
#include "pathutil.h"
#include "patrolask.h"
#include "registry.h"
#include "sounds.h"
#include "trace.h"
#include "tray.h"

static INT_PTR AskAboutFileType(const char* stored, const char* present)
{
    PlayAlertSound(SOUND_FILETYPE);
    RecordFirstSeen(stored, KX_DETECTED_KEY "\\FileTypes");
    RecordFirstSeen(present, KX_DETECTED_KEY "\\FileTypes");
    SetTrayState(161, 827);
    alertOpen = 1;
    g_traceAlertMark = 1;
    INT_PTR result = ShowAlertDialog(g_monitorWindow, ALERT_FILETYPE);
    alertOpen = 0;
    return result;
}

void CheckFileTypes()
{
    EntryLimitScope everyEntry;   // no entry is left out of the check
    if (GetOption("Update", 0)) {
        ReadAllOptions();
        // Directly: the option writer would set Update again.
        SetRegValue(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Update", "0");
    }
    if (g_options.FileType <= 0)
        return;
    ListFileTypes();
    for (const EntryRecord& entry : CopyEntries()) {
        if (entry.tag < FT_CLASS || entry.tag > FT_PROGID || !FileTypeChanged(entry))
            continue;
        char cls[260], stored[260];
        std::string command;
        ReadFileTypeSnapshot(entry.detail, entry.tag, cls, &command);
        // Shown and recorded beside the present command, which is listed without quotes.
        StripQuotes(command.c_str(), stored, sizeof(stored));
        SetCurrentAlert(TYPE_FILETYPE, entry.detail, stored);
        lstrcpynA(g_alert.previous, entry.command, sizeof(g_alert.previous));
        if (g_options.LockFileTypes) {
            RestoreFileType(entry.detail, entry.tag);
            continue;
        }
        INT_PTR result = AskAboutFileType(stored, entry.command);
        ClearWriteRefusal();
        if (result == IDNO && !RestoreFileType(entry.detail, entry.tag))
            TellActionRefused(ACT_FILETYPE_RESTORE, TYPE_FILETYPE, entry.detail, stored,
                              GetLastError());
        else if (result == IDYES && !SnapshotFileType(entry.detail, entry.tag))
            TellActionRefused(ACT_FILETYPE_ACCEPT, TYPE_FILETYPE, entry.detail, entry.command,
                              GetLastError());
    }
}
