#include "addedcategories.h"
#include "delaystart.h"
#include "entrylist.h"
#include "findrun.h"
#include "inventories.h"
#include "knownlist.h"
#include "placeactions.h"
#include "registry.h"
#include "services.h"
#include "tasks.h"
#include "taskservice.h"
#include "trace.h"
#include <cstdlib>

namespace {

bool IsRun32(int type) { return type >= MACHINE32_RUN && type <= MACHINE32_RUNPOLICY; }

bool IsHook32(int type)
{
    REGSAM view = 0;
    return HookOfCode(type, &view) && view;
}

struct Category {
    const char* mark;   // value name under KX_ADOPTED_KEY
    const char* list;   // the known list its entries go into
    int (*fill)();      // fills the entry list with the category among others
    bool (*belongs)(const EntryRecord& entry);
    // A known-list value that only a build guarding the category writes.
    bool (*keptValue)(const char* name, int code);
};

int FillStartup() { return BuildStartupList(0); }

const Category kCategories[] = {
    {"Run32", KX_KEY "\\Run", FillStartup,
     [](const EntryRecord& e) { return IsRun32(e.type); },
     [](const char*, int code) { return IsRun32(code); }},
    {"Hooks32", KX_KEY "\\Run", FillStartup,
     [](const EntryRecord& e) { return IsHook32(e.type); },
     [](const char*, int code) { return IsHook32(code); }},
    {"IEHelpers32", KX_KEY "\\IEHelpers", ListBrowserAddOns,
     [](const EntryRecord& e) { return e.type == TYPE_BHO32; },
     [](const char*, int code) { return code == TYPE_BHO32; }},
    {"Tasks2", KX_KEY "\\Tasks", ListScheduledTasks,
     [](const EntryRecord& e) {
         return e.type == TASK_SCHEDULED && (e.tag & TASK_TAG_SERVICE) != 0;
     },
     [](const char* name, int code) { return code != 0 && IsServiceTaskTitle(name); }},
    {"Drivers", KX_KEY "\\Services", ListServicesAndDrivers,
     [](const EntryRecord& e) { return e.type == DRIVER_SERVICE; },
     [](const char*, int code) { return code == DRIVER_SERVICE; }},
};

bool ListKeepsCategory(const Category& category)
{
    for (const auto& value : ReadRegTexts(HKEY_CURRENT_USER, category.list, REG_READ_BUFFER))
        if (category.keptValue(value.first.c_str(), atoi(value.second.c_str())))
            return true;
    return false;
}

// The name an entry is known by: in the startup list its startup key name (the title when it
// has no command), in the services list its key name, elsewhere its title.
void KnownName(const Category& category, const EntryRecord& entry, char* name)
{
    if (lstrcmpA(category.list, KX_KEY "\\Services") == 0) {
        lstrcpynA(name, entry.key, 260);
        return;
    }
    if (lstrcmpA(category.list, KX_KEY "\\Run") != 0) {
        lstrcpynA(name, entry.title, 260);
        return;
    }
    StartupKeyName(entry.command, name);
    if (!name[0])
        lstrcpynA(name, entry.title, 260);
}

// Earlier builds knew services by display name, this one by key name. The first start of this
// build carries each decision over to the key of every present service of that name, once: a
// service that comes later under a name already known is asked about.
void AdoptServiceKeys(int listsMadeNow)
{
    const char* const list = KX_KEY "\\Services";
    char mark[16];
    if (GetRegValue(HKEY_CURRENT_USER, KX_ADOPTED_KEY, "ServiceKeys", mark, sizeof(mark)) > 0)
        return;
    if (!listsMadeNow) {
        RegTextMap known = ReadRegTexts(HKEY_CURRENT_USER, list, REG_READ_BUFFER);
        KnownValues keys;
        if (known.size() > 1 || (known.size() == 1 && !known.count(""))) {
            ListServices();
            for (int i = 0; i < EntryCount(); i++) {
                const EntryRecord& entry = *GetEntry(i);
                auto byTitle = known.find(RegNameKey(entry.title));
                if (byTitle != known.end() && atoi(byTitle->second.c_str()) != 0 &&
                    !known.count(RegNameKey(entry.key)))
                    AddKnownValue(&keys, entry.key, byTitle->second.c_str());
            }
            ClearEntries();
        }
        WriteKnownValues(list, keys);
    }
    SetRegValue(HKEY_CURRENT_USER, KX_ADOPTED_KEY, "ServiceKeys", "1");
}

// Earlier builds started every program of the delayed-start store; this one only those it
// approved. The first start of this build approves what the store holds, once.
void AdoptDelayedStore()
{
    char mark[16];
    if (GetRegValue(HKEY_CURRENT_USER, KX_ADOPTED_KEY, "Delay", mark, sizeof(mark)) > 0)
        return;
    for (const StoredDelay& stored : UnapprovedDelayedPrograms())
        ApproveDelayed(stored.program.c_str());
    SetRegValue(HKEY_CURRENT_USER, KX_ADOPTED_KEY, "Delay", "1");
}

}  // namespace

void AdoptAddedCategories(int listsMadeNow)
{
    EntryLimitScope everyEntry;   // a list is never made from part of what is there
    AdoptServiceKeys(listsMadeNow);
    AdoptDelayedStore();
    for (const Category& category : kCategories) {
        char mark[16];
        if (GetRegValue(HKEY_CURRENT_USER, KX_ADOPTED_KEY, category.mark, mark, sizeof(mark)) > 0)
            continue;
        Trace("AdoptAddedCategories", category.mark);
        if (!listsMadeNow && !ListKeepsCategory(category)) {
            KnownValues present;
            category.fill();
            for (int i = 0; i < EntryCount(); i++) {
                const EntryRecord& entry = *GetEntry(i);
                if (!category.belongs(entry))
                    continue;
                char name[260], code[16];
                KnownName(category, entry, name);
                wsprintfA(code, "%d", entry.type);
                AddKnownValue(&present, name, code);
            }
            ClearEntries();
            CreateRegKey(HKEY_CURRENT_USER, category.list);
            WriteKnownValues(category.list, present);
        }
        SetRegValue(HKEY_CURRENT_USER, KX_ADOPTED_KEY, category.mark, "1");
    }
    // The value places keep exact copies of their own, taken here as at a first start.
    AdoptValuePlaces();
}
