// Startup verification: the known-state rule, the pre-scan, and the answers of the new
// program alert (131) and the moved-back alert (192).
#include "verify.h"
#include "patrolmessage.h"
#include "writefault.h"
#include "actionevents.h"
#include "alert.h"
#include "baseline.h"
#include "delaystart.h"
#include "entrylist.h"
#include "findrun.h"
#include "handles.h"
#include "history.h"
#include "keys.h"
#include "knownlist.h"
#include "monitorstate.h"
#include "options.h"
#include "pathutil.h"
#include "registry.h"
#include "runactions.h"
#include "sounds.h"
#include "taskstop.h"
#include "textutil.h"
#include "trace.h"
#include "tray.h"
#include "valueplaces.h"
#include "vendorentries.h"
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <unordered_map>
#include <vector>

static const char* const kKnownKey = KX_KEY "\\Run";

static int KnownNumber(const char* name)
{
    char text[64];
    if (!name[0] || GetRegValue(HKEY_CURRENT_USER, kKnownKey, name, text, sizeof(text)) == 0)
        return 0;
    return atoi(text);
}

int StartupKnownState(const char* command, const char* title)
{
    char keyName[260];
    StartupKeyName(command, keyName);
    int number = KnownNumber(keyName);
    if (number == 0)
        number = KnownNumber(title);
    return number;
}

// The known list read in one sweep: with thousands of entries one registry round trip per
// lookup is most of the check's cost. Names compare as the registry compares them.
typedef std::unordered_map<std::string, int> KnownList;

static std::string NameKey(const char* name)
{
    std::string key = name;
    if (!key.empty())
        CharUpperBuffA(&key[0], (DWORD)key.size());
    return key;
}

static KnownList ReadKnownList()
{
    KnownList known;
    RegKey key;
    if (!key.open(HKEY_CURRENT_USER, kKnownKey, KEY_READ))
        return known;
    // Kept until the list is written again.
    static KeyStamp lastStamp;
    static KnownList lastKnown;
    KeyStamp stamp = SettledKeyStamp(key.get());
    if (SameSettledStamp(stamp, lastStamp))
        return lastKnown;
    DWORD count = 0;
    RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                     nullptr, nullptr, nullptr, nullptr);
    known.reserve(count);
    char expanded[REG_READ_BUFFER];
    ForEachValue(key.get(), [&](const RegValueItem& value) {
        const char* name = value.name.c_str();
        // Only text counts, as for a single lookup; a value longer than a single lookup reads
        // is looked up on its own.
        if (value.data.size() > (size_t)REG_READ_BUFFER) {
            known[NameKey(name)] = KnownNumber(name);
            return;
        }
        if (value.type != REG_SZ && value.type != REG_EXPAND_SZ)
            return;
        const char* text = value.text();
        if (value.type == REG_EXPAND_SZ) {
            DWORD needed = ExpandEnvironmentStringsA(text, expanded, REG_READ_BUFFER - 1);
            if (needed == 0 || needed >= (DWORD)REG_READ_BUFFER)
                return;
            text = expanded;
        }
        known[NameKey(name)] = atoi(text);
    });
    lastStamp = stamp;
    lastKnown = stamp.written ? known : KnownList();
    return known;
}

static int ListedNumber(const KnownList& known, const char* name)
{
    if (!name[0])
        return 0;
    auto found = known.find(NameKey(name));
    return found == known.end() ? 0 : found->second;
}

static int ListedState(const KnownList& known, const EntryRecord& entry)
{
    char keyName[260];
    StartupKeyName(entry.command, keyName);
    int number = ListedNumber(known, keyName);
    if (number == 0)
        number = ListedNumber(known, entry.title);
    return number;
}

// Known under the startup key name, or under the title when the entry has no command (an
// empty name would be the key's default value, which the lookup never reads).
static void WriteKnown(const EntryRecord& entry)
{
    char keyName[260], text[16];
    StartupKeyName(entry.command, keyName);
    snprintf(text, sizeof(text), "%d", entry.type);
    SetRegValue(HKEY_CURRENT_USER, kKnownKey, keyName[0] ? keyName : entry.title, text);
}

// What the alert shows as the program: the command, or for an entry without one (a hook
// whose class names no file) the raw value it came from, so the alert never shows nothing.
static void SetAlertFor(const EntryRecord& entry)
{
    const char* shown = entry.command[0]  ? entry.command
                        : entry.source[0] ? entry.source
                                          : entry.title;
    SetCurrentAlert(entry.type, entry.title, shown);
}

// Opens one alert with the monitor's guard flag and the trace's alert mark set.
static INT_PTR AskUser(int templateId)
{
    alertOpen = 1;
    g_traceAlertMark = 1;
    INT_PTR result = ShowAlertDialog(g_monitorWindow, templateId);
    alertOpen = 0;
    return result;
}

// The refusals are reported with the system's reason; the actions report what they did.
static void Disable(const EntryRecord& entry)
{
    if (DisabledCodeForTitle(entry.title))
        return;
    SetLastError(0);
    ClearWriteRefusal();
    if (!DisableRunProgram(entry.title, entry.command, entry.source, entry.type))
        TellActionRefused(ACT_START_DISABLE, entry.type, entry.title, entry.command,
                            GetLastError());
}

static void MovedBack(const EntryRecord& entry)
{
    char keyName[260];
    StartupKeyName(entry.command, keyName);
    SetAlertFor(entry);
    INT_PTR result = AskUser(ALERT_DELAYED_BACK);
    if (result == IDYES) {
        WriteKnown(entry);
        // The store names a program by its program file; a command with arguments would
        // otherwise leave the delayed copy behind, and the program would start twice.
        HKEY root = DelayRootForCode(entry.type);
        DeleteDelayValues(root, keyName);
        char program[260], args[260];
        SplitProgram(entry.command, program, args);
        if (program[0] && lstrcmpiA(program, keyName) != 0)
            DeleteDelayValues(root, program);
    } else if (result == IDNO) {
        WriteKnown(entry);
        Disable(entry);
    }
}

// Stop, remove, and forget both known names, so the entry alerts again if it comes back.
static void Reject(const EntryRecord& entry)
{
    char keyName[260];
    StartupKeyName(entry.command, keyName);
    // Stopped first, so that it cannot write its value back.
    StopRunningProgram(keyName, entry.title, 0);
    SetLastError(0);
    ClearWriteRefusal();
    if (!DeleteRunProgram(entry.title, keyName, entry.source, entry.type))
        TellActionRefused(ACT_START_REMOVE, entry.type, entry.title, entry.command,
                            GetLastError());
    DeleteRegValue(HKEY_CURRENT_USER, kKnownKey, keyName);
    DeleteRegValue(HKEY_CURRENT_USER, kKnownKey, entry.title);
}

static void NewEntry(const EntryRecord& entry)
{
    if (suppressAlerts > 1) {
        Reject(entry);
        return;
    }
    PlayAlertSound(SOUND_STARTUP);
    RecordFirstSeen(entry.command, KX_DETECTED_KEY "\\Startup");
    SetTrayState(161, 821);
    INT_PTR result = AskUser(ALERT_STARTUP);
    if (result == IDYES) {
        WriteKnown(entry);
    } else if (result == IDNO) {
        Reject(entry);
    } else if (result == ALERT_RESULT_DISABLE) {
        StopRunningProgram(entry.command, entry.title, 0);
        Disable(entry);
    }
}

// An entry kept off by Windows' switch is not known to start: its known values go, so that
// switching it back on raises the alert. Names that an entry which does start shares stay,
// as does a delayed program's mark.
static void ForgetSwitchedOff(const std::vector<EntryRecord>& switchedOff,
                              const std::vector<EntryRecord>& active)
{
    if (switchedOff.empty())
        return;
    std::unordered_map<std::string, int> kept;
    char keyName[260];
    for (const EntryRecord& entry : active) {
        StartupKeyName(entry.command, keyName);
        kept[NameKey(keyName)] = 1;
        kept[NameKey(entry.title)] = 1;
    }
    for (const EntryRecord& entry : switchedOff) {
        StartupKeyName(entry.command, keyName);
        for (const char* name : {(const char*)keyName, (const char*)entry.title}) {
            if (!name[0] || kept.count(NameKey(name)))
                continue;
            int number = KnownNumber(name);
            if (number != 0 && number != KNOWN_DELAYED)
                DeleteRegValue(HKEY_CURRENT_USER, kKnownKey, name);
        }
    }
}

// The delayed-start store starts its programs at every logon: an entry Kestrix did not put there
// is asked about like a new startup entry. Yes approves it; No (or Disable) takes it out of the
// store, so it never starts.
static void CheckDelayedStore()
{
    for (const StoredDelay& stored : UnapprovedDelayedPrograms()) {
        // An earlier answer of this check may have settled it.
        if (IsApprovedDelayed(stored.program.c_str()))
            continue;
        EntryRecord entry = {};
        char code[16] = "";
        GetRegValue(stored.root, KX_DELAY_KEY, stored.program.c_str(), code, sizeof(code));
        GetRegValue(stored.root, KX_DELAY_TITLE_KEY, stored.program.c_str(), entry.title,
                    sizeof(entry.title));
        lstrcpynA(entry.command, stored.program.c_str(), sizeof(entry.command));
        if (!entry.title[0])
            lstrcpynA(entry.title, FileNamePart(entry.command), sizeof(entry.title));
        entry.type = atoi(code);
        INT_PTR result = IDNO;
        if (suppressAlerts <= 1) {
            PlayAlertSound(SOUND_STARTUP);
            RecordFirstSeen(entry.command, KX_DETECTED_KEY "\\Startup");
            SetTrayState(161, 821);
            SetAlertFor(entry);
            result = AskUser(ALERT_STARTUP);
        }
        if (result == IDYES) {
            ApproveDelayed(stored.program.c_str());
        } else if (result == IDNO || result == ALERT_RESULT_DISABLE) {
            ClearWriteRefusal();
            if (DeleteDelayValues(stored.root, stored.program.c_str()))
                WriteHistoryLine(entry.title, entry.command, "", entry.type, ACT_START_REMOVE);
            else
                TellActionRefused(ACT_START_REMOVE, entry.type, entry.title, entry.command,
                                  GetLastError());
        }
    }
}

void VerifyStartup()
{
    EntryLimitScope everyEntry;   // no entry is left out of the check
    TraceBegin("VERIFY", "Startup Programs");
    BuildStartupList(0);
    // The alerts re-enter the message loop, where other work may refill the shared list;
    // the check walks its own copy. Entries held in the disabled store do not start: they
    // stay quiet until the user enables them (asking would offer to delete the copy).
    int disabledFirst = 0, disabledEnd = 0;
    DisabledEntryRange(&disabledFirst, &disabledEnd);
    // Entries that Windows' own startup switch keeps off do not start either.
    std::vector<EntryRecord> entries, switchedOff;
    entries.reserve(EntryCount());
    for (int i = 0; i < EntryCount(); i++) {
        if (i >= disabledFirst && i < disabledEnd)
            continue;
        // The value places keep exact known copies of their own (check_places.cpp).
        if (IsValuePlaceCode(GetEntry(i)->type))
            continue;
        if (GetEntry(i)->offByWindows)
            switchedOff.push_back(*GetEntry(i));
        else
            entries.push_back(*GetEntry(i));
    }
    ForgetSwitchedOff(switchedOff, entries);

    KnownList known = ReadKnownList();
    bool anything = false;
    for (const EntryRecord& entry : entries) {
        int state = ListedState(known, entry);
        if (state == KNOWN_NEW || state == KNOWN_DELAYED) {
            anything = true;
            break;
        }
    }
    if (!anything)
        Trace("VERIFY", "No Startup Change Detected.");

    for (const EntryRecord& entry : entries) {
        if (!anything)
            break;
        int listed = ListedState(known, entry);
        if (listed != KNOWN_NEW && listed != KNOWN_DELAYED)
            continue;
        // Asked about only after a look at the list as it is now: an earlier answer of this
        // check may have settled it.
        int state = StartupKnownState(entry.command, entry.title);
        if (state == KNOWN_DELAYED) {
            MovedBack(entry);
            known = ReadKnownList();
            continue;
        }
        if (state != KNOWN_NEW)
            continue;
        // The vendor's installer cleanup removes itself; it alone is passed over.
        if (IsVendorCleanupEntry(entry))
            continue;
        SetAlertFor(entry);
        bool asks = suppressAlerts <= 1;
        NewEntry(entry);
        // The alert's message loop lets others write the list too.
        if (asks)
            known = ReadKnownList();
    }
    CheckDelayedStore();
    TraceElapsed();
}
