#include "entrystore.h"
#include "entrylist.h"
#include "findrun.h"
#include "handles.h"
#include "keys.h"
#include "knownlist.h"
#include "registry.h"
#include "writefault.h"
#include <cstdio>
#include <vector>

#define KX_KNOWN_RUN KX_KEY "\\Run"

bool ReadRawText(HKEY root, const char* path, const char* name, RawText* out, REGSAM view)
{
    RegKey key;
    if (!key.open(root, path, KEY_READ | view))
        return false;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    std::vector<char> data(size + 1, 0);
    if (RegQueryValueExA(key.get(), name, nullptr, &type, (BYTE*)data.data(), &size) !=
        ERROR_SUCCESS)
        return false;
    out->type = type;
    out->text.assign(data.data());
    return true;
}

int WriteRawText(HKEY root, const char* path, const char* name, const RawText& value,
                 REGSAM view)
{
    if (IsRegistryWriteBlocked(root) || KeyWriteFails(root, path))
        return 0;
    RegKey key;
    LONG rc = RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, key.out(),
                              nullptr);
    if (rc == ERROR_SUCCESS)
        rc = RegSetValueExA(key.get(), name, 0, value.type, (const BYTE*)value.text.c_str(),
                            (DWORD)value.text.size() + 1);
    if (rc != ERROR_SUCCESS)
        NoteWriteRefusal((DWORD)rc);
    return rc == ERROR_SUCCESS;
}

void WriteKnownStartup(HKEY root, const char* command, int code)
{
    char name[260], text[16];
    StartupKeyName(command, name);
    snprintf(text, sizeof(text), "%d", code);
    SetRegValue(root, KX_KNOWN_RUN, name, text);
}

void DeleteKnownStartup(const char* name)
{
    char key[260];
    StartupKeyName(name, key);
    DeleteRegValue(HKEY_CURRENT_USER, KX_KNOWN_RUN, key);
}

int WriteIndexAt(HKEY root, const char* title, int code)
{
    char text[16];
    snprintf(text, sizeof(text), "%d", code);
    return SetRegValue(root, KX_DISABLED_KEY, title, text);
}

int WriteIndex(const char* title, int code) { return WriteIndexAt(DisabledStoreRoot(code), title, code); }

int StoreDisabledCopy(const char* title, const RawText& value, int code)
{
    const char* store = DisabledStoreKey(code);
    HKEY root = DisabledStoreRoot(code);
    if (!CreateRegKey(root, store))
        return 0;
    if (!WriteRawText(root, store, title, value))
        return 0;
    if (!WriteIndex(title, code)) {
        DeleteRegValue(root, store, title);
        return 0;
    }
    return 1;
}

bool DisabledHere(const char* title, int code) { return DisabledCodeForTitle(title) == code; }

void ForgetDisabledCopy(const char* title, int code)
{
    HKEY root = DisabledIndexRoot(title);
    DeleteRegValue(root, KX_DISABLED_KEY, title);
    DeleteRegValue(root, DisabledStoreKey(code), title);
}
