// A change notification on a registry key, for code that keeps what it read from the key until
// something there changes: a patrol pass then costs a look at an event and at the key's
// last-write time instead of a re-read.
#pragma once
#include <windows.h>
#include "handles.h"

struct KeyWatch {
    RegKey key;
    Handle event;
    DWORD thread = 0;   // a notification ends with the thread that asked for it
    // The key as it was when the watch was armed: a key deleted and made again under the same
    // name sends nothing to a handle of the old one, but it differs here.
    FILETIME written = {};
    DWORD subkeys = 0, values = 0;
};

// True when the key (with subtree, its subkeys too) may have changed since the last call: on
// the first call, after any change, from another thread, and whenever the key cannot be opened
// or the notification armed. The watch is armed again before returning true, so that a change
// made while the caller reads is seen by the next call. view: 0 or KEY_WOW64_32KEY.
bool KeyChangedSinceLastAsk(KeyWatch* watch, HKEY root, const char* path, bool subtree,
                            REGSAM view = 0);
