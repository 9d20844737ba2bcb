#include "optionswatch.h"
#include "handles.h"
#include "keys.h"
#include "options.h"
#include "policy.h"
#include "registry.h"
#include "trace.h"
#include "tray.h"

namespace {

// The user's options, and the policy folders of the machine and the user (with their
// subkeys: the program's policy key is often made only when a policy is first set).
struct WatchedKey {
    HKEY root;
    const char* path;
    BOOL subtree;
} const kKeys[] = {
    {HKEY_CURRENT_USER, KX_OPTIONS_KEY, FALSE},
    {HKEY_CURRENT_USER, "Software\\Policies", TRUE},
    {HKEY_LOCAL_MACHINE, "Software\\Policies", TRUE},
};
const int kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);

RegKey g_keys[kKeyCount];
Handle g_event;

const DWORD kFilter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;

int Arm()
{
    int armed = 0;
    for (int i = 0; i < kKeyCount; i++)
        if (g_keys[i] && RegNotifyChangeKeyValue(g_keys[i].get(), kKeys[i].subtree, kFilter,
                                                 g_event.get(), TRUE) == ERROR_SUCCESS)
            armed++;
    return armed;
}

}   // namespace

HANDLE OptionsWatchStart()
{
    OptionsWatchStop();
    g_event.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!g_event)
        return nullptr;
    CreateRegKey(HKEY_CURRENT_USER, KX_OPTIONS_KEY);
    for (int i = 0; i < kKeyCount; i++)
        g_keys[i].open(kKeys[i].root, kKeys[i].path, KEY_NOTIFY);
    if (!Arm()) {
        Trace("Options watch", "nothing to watch");
        OptionsWatchStop();
        return nullptr;
    }
    return g_event.get();
}

void OptionsWatchStop()
{
    for (RegKey& key : g_keys)
        key.reset();
    g_event.reset();
}

HANDLE OptionsWatchEvent() { return g_event.get(); }

void OptionsWatchOnSignal()
{
    Arm();
    int wasHidden = g_options.HideRufo == 1;
    ReadAllOptions();
    int hidden = g_options.HideRufo == 1;
    Trace("Options watch", "options read again");
    if (hidden != wasHidden)
        TrayOperation(hidden ? TRAY_DELETE : TRAY_ADD, 0, 820);
}
