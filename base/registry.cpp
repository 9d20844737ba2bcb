#include "registry.h"
#include "handles.h"
#include "trace.h"
#include "writefault.h"
#include <vector>

static HKEY g_blockedRoot;

void SetRegistryWriteBlock(HKEY root) { g_blockedRoot = root; }
// Asked once just before each write: a blocked root, or a fault a test injected into this
// write step (writefault.h).
int IsRegistryWriteBlocked(HKEY root)
{
    return (g_blockedRoot != nullptr && root == g_blockedRoot) || WriteStepFails();
}

int CreateRegKey(HKEY root, const char* path, REGSAM view)
{
    RegKey key;
    if (IsRegistryWriteBlocked(root) || !key.create(root, path, view)) {
        Trace("ERROR RegCreateKey", path);
        return 0;
    }
    return 1;
}

int GetRegValue(HKEY root, const char* path, const char* name, char* buf, int capacity,
                REGSAM view)
{
    if (capacity <= 0)
        return 0;
    buf[0] = 0;
    RegKey key;
    if (!key.open(root, path, KEY_READ | view))
        return 0;
    char data[REG_READ_BUFFER + 1];
    DWORD type = 0, size = REG_READ_BUFFER;
    if (RegQueryValueExA(key.get(), name, nullptr, &type, (BYTE*)data, &size) != ERROR_SUCCESS)
        return 0;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return 0;
    data[size < REG_READ_BUFFER ? size : REG_READ_BUFFER] = 0;

    char expanded[REG_READ_BUFFER];
    const char* text = data;
    if (type == REG_EXPAND_SZ) {
        DWORD needed = ExpandEnvironmentStringsA(data, expanded, REG_READ_BUFFER - 1);
        if (needed == 0 || needed >= (DWORD)REG_READ_BUFFER)
            Trace(data, "Registry Error #1023: String can not be expanded");
        else
            text = expanded;
    }
    int length = lstrlenA(text);
    if (length >= capacity) {
        Trace(text, "Registry Error #1024: Buffer overflow contained");
        return 0;
    }
    lstrcpynA(buf, text, capacity);
    return length;
}

int SetRegValue(HKEY root, const char* path, const char* name, const char* text)
{
    if (IsRegistryWriteBlocked(root))
        return 0;
    RegKey key;
    if (!key.open(root, path, KEY_ALL_ACCESS)) {
        Trace("ERROR RegOpenKeyEx:SetRegValue", path);
        if (!CreateRegKey(root, path) || !key.open(root, path, KEY_ALL_ACCESS))
            return 0;
    }
    return RegSetValueExA(key.get(), name, 0, REG_SZ, (const BYTE*)text, lstrlenA(text) + 1) ==
           ERROR_SUCCESS;
}

int RegValueExists(HKEY root, const char* path, const char* name)
{
    RegKey key;
    return key.open(root, path, KEY_QUERY_VALUE) &&
           RegQueryValueExA(key.get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

int SetRegNumber(HKEY root, const char* path, const char* name, DWORD number)
{
    if (IsRegistryWriteBlocked(root))
        return 0;
    RegKey key;
    if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_WRITE, nullptr, key.out(), nullptr) !=
        ERROR_SUCCESS)
        return 0;
    return RegSetValueExA(key.get(), name, 0, REG_DWORD, (const BYTE*)&number, sizeof(number)) ==
           ERROR_SUCCESS;
}

int GetRegNumber(HKEY root, const char* path, const char* name)
{
    RegKey key;
    if (!key.open(root, path, KEY_READ))
        return 0;
    BYTE data[REG_READ_BUFFER] = {};
    DWORD size = sizeof(data);
    if (RegQueryValueExA(key.get(), name, nullptr, nullptr, data, &size) != ERROR_SUCCESS)
        return 0;
    return data[0] + 256 * data[1];
}

int DeleteRegValue(HKEY root, const char* path, const char* name, REGSAM view)
{
    if (IsRegistryWriteBlocked(root))
        return 0;
    RegKey key;
    if (!key.open(root, path, KEY_WRITE | view))
        return 0;
    if (RegDeleteValueA(key.get(), name) != ERROR_SUCCESS) {
        Trace("ERROR RegDeleteValue", name);
        return 0;
    }
    return 1;
}

std::string RegNameKey(const char* name)
{
    std::string key = name;
    if (!key.empty())
        CharUpperBuffA(&key[0], (DWORD)key.size());
    return key;
}

RegTextMap ReadRegTexts(HKEY root, const char* path, int capacity)
{
    RegTextMap texts;
    RegKey key;
    DWORD count = 0;
    if (capacity <= 0 || !key.open(root, path, KEY_READ) ||
        RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return texts;
    texts.reserve(count);
    // Room for the longest name the registry allows, in any code page.
    std::vector<char> name(2 * 16384);
    char data[REG_READ_BUFFER + 1], expanded[REG_READ_BUFFER];
    for (DWORD index = 0;; index++) {
        DWORD nameLength = (DWORD)name.size(), size = REG_READ_BUFFER, type = 0;
        LONG status = RegEnumValueA(key.get(), index, name.data(), &nameLength, nullptr, &type,
                                    (BYTE*)data, &size);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        // Longer than the read buffer reads as missing, as for a single lookup.
        if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
            continue;
        data[size < REG_READ_BUFFER ? size : REG_READ_BUFFER] = 0;
        const char* text = data;
        if (type == REG_EXPAND_SZ) {
            DWORD needed = ExpandEnvironmentStringsA(data, expanded, REG_READ_BUFFER - 1);
            if (needed != 0 && needed < (DWORD)REG_READ_BUFFER)
                text = expanded;
        }
        if (lstrlenA(text) < capacity)
            texts[RegNameKey(name.data())] = text;
    }
    return texts;
}

static ULONGLONG (*g_registryClock)() = nullptr;

void SetRegistryClockSeam(ULONGLONG (*now)()) { g_registryClock = now; }

KeyStamp SettledKeyStamp(HKEY key)
{
    KeyStamp stamp;
    FILETIME written;
    DWORD values = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, &written) != ERROR_SUCCESS)
        return stamp;
    ULONGLONG at;
    if (g_registryClock) {
        at = g_registryClock();
    } else {
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        at = ((ULONGLONG)now.dwHighDateTime << 32) | now.dwLowDateTime;
    }
    ULONGLONG was = ((ULONGLONG)written.dwHighDateTime << 32) | written.dwLowDateTime;
    if (at > was + 2 * 10000000ULL) {
        stamp.written = was;
        stamp.values = values;
    }
    return stamp;
}
