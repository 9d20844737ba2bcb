#include "keywatch.h"

static bool Stamp(HKEY root, const char* path, REGSAM view, FILETIME* written, DWORD* subkeys,
                  DWORD* values)
{
    RegKey key;
    return key.open(root, path, KEY_QUERY_VALUE | view) &&
           RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, subkeys, nullptr, nullptr,
                            values, nullptr, nullptr, nullptr, written) == ERROR_SUCCESS;
}

bool KeyChangedSinceLastAsk(KeyWatch* watch, HKEY root, const char* path, bool subtree,
                            REGSAM view)
{
    FILETIME written = {};
    DWORD subkeys = 0, values = 0;
    bool stamped = Stamp(root, path, view, &written, &subkeys, &values);
    if (stamped && watch->thread == GetCurrentThreadId() && watch->event &&
        WaitForSingleObject(watch->event.get(), 0) == WAIT_TIMEOUT &&
        CompareFileTime(&written, &watch->written) == 0 && subkeys == watch->subkeys &&
        values == watch->values)
        return false;
    watch->thread = 0;
    // Opened afresh: closing the old handle ends the notifications armed on it.
    if (!stamped || !watch->key.open(root, path, KEY_NOTIFY | view))
        return true;
    if (!watch->event)
        watch->event.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!watch->event)
        return true;
    ResetEvent(watch->event.get());
    // The stamp was taken first: a change between it and the arming shows in the next stamp.
    if (RegNotifyChangeKeyValue(watch->key.get(), subtree,
                                REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                watch->event.get(), TRUE) == ERROR_SUCCESS) {
        watch->thread = GetCurrentThreadId();
        watch->written = written;
        watch->subkeys = subkeys;
        watch->values = values;
    }
    return true;
}
