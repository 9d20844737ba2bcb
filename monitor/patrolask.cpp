#include "patrolask.h"
#include "alert.h"
#include "baseline.h"
#include "keys.h"
#include "monitorstate.h"
#include "registry.h"
#include "sounds.h"
#include "trace.h"
#include "tray.h"
#include <cstdio>
#include <cstdlib>

INT_PTR AskAboutEntry(int sound, const char* command, const char* detectedSubkey, int trayIcon,
                      int trayTip, int templateId)
{
    PlayAlertSound(sound);
    char subkey[128];
    snprintf(subkey, sizeof(subkey), KX_DETECTED_KEY "\\%s", detectedSubkey);
    RecordFirstSeen(command, subkey);
    SetTrayState(trayIcon, trayTip);
    alertOpen = 1;
    g_traceAlertMark = 1;
    INT_PTR result = ShowAlertDialog(g_monitorWindow, templateId);
    alertOpen = 0;
    return result;
}

int KnownListNumber(const char* listKey, const char* name)
{
    char text[64];
    if (!name[0] || GetRegValue(HKEY_CURRENT_USER, listKey, name, text, sizeof(text)) == 0)
        return 0;
    return atoi(text);
}

void WriteKnownListEntry(const char* listKey, const char* name, int type)
{
    char text[16];
    snprintf(text, sizeof(text), "%d", type);
    SetRegValue(HKEY_CURRENT_USER, listKey, name, text);
}

std::vector<EntryRecord> CopyEntries()
{
    std::vector<EntryRecord> entries;
    entries.reserve(EntryCount());
    for (int i = 0; i < EntryCount(); i++)
        entries.push_back(*GetEntry(i));
    return entries;
}
