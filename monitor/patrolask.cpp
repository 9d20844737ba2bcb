#include "patrolask.h"
#include "alert.h"
#include "baseline.h"
#include "handles.h"
#include "keywatch.h"
#include "keys.h"
#include "monitorstate.h"
#include "registry.h"
#include "sounds.h"
#include "trace.h"
#include "tray.h"
#include <cstdio>
#include <cstdlib>
#include <map>

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

static std::string Upper(const char* text)
{
    std::string upper(text);
    CharUpperBuffA(&upper[0], (DWORD)upper.size());
    return upper;
}

// Each list as last read, kept while its key stands unchanged: a thousand known services cost
// a look at the key instead of a thousand values on every pass.
struct KnownListCopy {
    KeyWatch watch;
    std::unordered_map<std::string, int> numbers;
};
static std::map<std::string, KnownListCopy> g_knownCopies;

KnownList::KnownList(const char* listKey)
{
    KnownListCopy& copy = g_knownCopies[listKey];
    if (!KeyChangedSinceLastAsk(&copy.watch, HKEY_CURRENT_USER, listKey, false)) {
        numbers_ = copy.numbers;
        return;
    }
    copy.numbers.clear();
    RegKey key;
    if (!key.open(HKEY_CURRENT_USER, listKey, KEY_READ))
        return;
    ForEachTextValue(key.get(), [&](const RegValueItem& value) {
        if (value.name.c_str()[0])
            numbers_[Upper(value.name.c_str())] = atoi(value.text());
    });
    copy.numbers = numbers_;
}

int KnownList::Number(const char* name) const
{
    auto found = numbers_.find(Upper(name));
    return found == numbers_.end() ? 0 : found->second;
}

void KnownList::Remember(const char* name, int number) { numbers_[Upper(name)] = number; }

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

std::vector<EntryRecord> CopyUnknownEntries(const KnownList& known)
{
    std::vector<EntryRecord> entries;
    for (int i = 0; i < EntryCount(); i++)
        if (known.Number(GetEntry(i)->title) == 0)
            entries.push_back(*GetEntry(i));
    return entries;
}
