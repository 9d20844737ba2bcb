#include "registry.h"
#include "handles.h"
#include "trace.h"
#include "writefault.h"
#include <algorithm>
#include <vector>

static HKEY g_blockedRoot;

void SetRegistryWriteBlock(HKEY root) { g_blockedRoot = root; }
// Asked once just before each write: a blocked root, or a fault a test injected into this
// write step (writefault.h).
static int WriteBlocked(HKEY root, const char* path)
{
    if (g_blockedRoot != nullptr && root == g_blockedRoot) {
        NoteWriteRefusal(ERROR_ACCESS_DENIED);
        SetLastError(ERROR_ACCESS_DENIED);
        return 1;
    }
    return KeyWriteFails(root, path);
}

int IsRegistryWriteBlocked(HKEY root) { return WriteBlocked(root, nullptr); }

// A write the registry refused: remembered for the message that tells the user. A key or
// value that is not there is no refusal.
static bool Refused(LONG rc)
{
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
        NoteWriteRefusal((DWORD)rc);
    return rc != ERROR_SUCCESS;
}

int CreateRegKey(HKEY root, const char* path, REGSAM view)
{
    RegKey key;
    if (WriteBlocked(root, path) ||
        Refused(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_CREATE_SUB_KEY | view, nullptr,
                                key.out(), nullptr))) {
        Trace("ERROR RegCreateKey", path);
        return 0;
    }
    return 1;
}

bool ReadRegBytes(HKEY root, const char* path, const char* name, REGSAM view, DWORD* type,
                  std::string* data)
{
    RegKey key;
    if (!key.open(root, path, KEY_QUERY_VALUE | view))
        return false;
    DWORD size = 0;
    LONG rc = RegQueryValueExA(key.get(), name, nullptr, type, nullptr, &size);
    for (int tries = 0; rc == ERROR_SUCCESS && tries < 4; tries++) {
        std::vector<BYTE> bytes(size + 2);
        DWORD got = size;
        rc = RegQueryValueExA(key.get(), name, nullptr, type, bytes.data(), &got);
        if (rc == ERROR_SUCCESS) {
            data->assign((const char*)bytes.data(), got);
            return true;
        }
        if (rc == ERROR_MORE_DATA) {
            size = got;
            rc = ERROR_SUCCESS;
        }
    }
    return false;
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
    if (WriteBlocked(root, path))
        return 0;
    RegKey key;
    if (!key.open(root, path, KEY_SET_VALUE)) {
        Trace("ERROR RegOpenKeyEx:SetRegValue", path);
        if (!CreateRegKey(root, path) || Refused(RegOpenKeyExA(root, path, 0, KEY_SET_VALUE, key.out())))
            return 0;
    }
    return !Refused(RegSetValueExA(key.get(), name, 0, REG_SZ, (const BYTE*)text, lstrlenA(text) + 1));
}

int RegValueExists(HKEY root, const char* path, const char* name)
{
    RegKey key;
    return key.open(root, path, KEY_QUERY_VALUE) &&
           RegQueryValueExA(key.get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

int SetRegNumber(HKEY root, const char* path, const char* name, DWORD number)
{
    if (WriteBlocked(root, path))
        return 0;
    RegKey key;
    if (Refused(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.out(), nullptr)))
        return 0;
    return !Refused(RegSetValueExA(key.get(), name, 0, REG_DWORD, (const BYTE*)&number, sizeof(number)));
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
    if (WriteBlocked(root, path))
        return 0;
    RegKey key;
    if (Refused(RegOpenKeyExA(root, path, 0, KEY_SET_VALUE | view, key.out())))
        return 0;
    if (Refused(RegDeleteValueA(key.get(), name))) {
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

namespace {

// No name the registry holds is longer (16383 characters for a value, 255 for a key; a
// multi-byte code page takes up to two bytes for each); a name buffer grows no further.
const size_t kLongestName = 2 * 16384;
// An item that cannot be read is passed over; a key deleted or closed under the walk fails
// at every index, and this many failures in a row end the walk.
const int kFailuresInARow = 16;

size_t StartingNameBuffer(DWORD longestCharacters)
{
    return std::min(std::max<size_t>(2 * (size_t)longestCharacters + 2, 256), kLongestName);
}

// Reads each value in turn; without data, only the names.
RegWalkEnd EnumValues(HKEY key, bool withData,
                      const std::function<bool(const RegValueItem&)>& visit)
{
    // The longest name and data, as the key answers now: the starting sizes, grown when a
    // value written meanwhile is longer.
    DWORD longestName = 0, longestData = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     &longestName, &longestData, nullptr, nullptr);
    std::vector<char> name(StartingNameBuffer(longestName));
    // Two zero bytes after the data, so that text (even text stored without its terminator)
    // reads terminated.
    std::vector<BYTE> data(withData ? std::max<size_t>(longestData, 254) + 2 : 0);
    RegValueItem item;
    bool failed = false;
    int inRow = 0;
    for (DWORD index = 0;; index++) {
        DWORD nameLength, size, type;
        LONG status;
        for (;;) {
            nameLength = (DWORD)name.size();
            size = withData ? (DWORD)data.size() - 2 : 0;
            type = REG_NONE;
            status = RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type,
                                   withData ? data.data() : nullptr, withData ? &size : nullptr);
            if (status != ERROR_MORE_DATA)
                break;
            // Data too long for the buffer reports the size it needs; a name too long does not.
            if (withData && (size_t)size + 2 > data.size())
                data.resize((size_t)size + 2);
            else if (name.size() < kLongestName)
                name.resize(std::min(name.size() * 2, kLongestName));
            else
                break;
        }
        if (status == ERROR_NO_MORE_ITEMS)
            return failed ? REG_WALK_FAILED : REG_WALK_DONE;
        if (status != ERROR_SUCCESS) {
            Trace("ERROR RegEnumValue", "");
            failed = true;
            if (++inRow >= kFailuresInARow)
                return REG_WALK_FAILED;
            continue;
        }
        inRow = 0;
        item.name.assign(name.data(), nameLength);
        item.type = type;
        if (withData) {
            data[size] = data[size + 1] = 0;
            item.data.assign((const char*)data.data(), size);
        }
        if (!visit(item))
            return REG_WALK_STOPPED;
    }
}

}   // namespace

RegWalkEnd WalkSubkeys(HKEY key, const std::function<bool(const std::string&)>& visit)
{
    return WalkSubkeysWritten(key, [&](const std::string& name, ULONGLONG) { return visit(name); });
}

RegWalkEnd WalkSubkeysWritten(HKEY key,
                              const std::function<bool(const std::string&, ULONGLONG)>& visit)
{
    DWORD longest = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr,
                     nullptr, nullptr, nullptr, nullptr);
    std::vector<char> name(StartingNameBuffer(longest));
    std::string item;
    bool failed = false;
    int inRow = 0;
    for (DWORD index = 0;; index++) {
        DWORD length;
        LONG status;
        FILETIME written = {};
        for (;;) {
            length = (DWORD)name.size();
            status = RegEnumKeyExA(key, index, name.data(), &length, nullptr, nullptr, nullptr,
                                   &written);
            if (status != ERROR_MORE_DATA || name.size() >= kLongestName)
                break;
            name.resize(std::min(name.size() * 2, kLongestName));
        }
        if (status == ERROR_NO_MORE_ITEMS)
            return failed ? REG_WALK_FAILED : REG_WALK_DONE;
        if (status != ERROR_SUCCESS) {
            Trace("ERROR RegEnumKeyEx", "");
            failed = true;
            if (++inRow >= kFailuresInARow)
                return REG_WALK_FAILED;
            continue;
        }
        inRow = 0;
        item.assign(name.data(), length);
        if (!visit(item, ((ULONGLONG)written.dwHighDateTime << 32) | written.dwLowDateTime))
            return REG_WALK_STOPPED;
    }
}

RegWalkEnd WalkValueNames(HKEY key, const std::function<bool(const std::string&)>& visit)
{
    return EnumValues(key, false, [&](const RegValueItem& value) { return visit(value.name); });
}

RegWalkEnd WalkValues(HKEY key, const std::function<bool(const RegValueItem&)>& visit)
{
    return EnumValues(key, true, visit);
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
    char expanded[REG_READ_BUFFER];
    ForEachTextValue(key.get(), [&](const RegValueItem& value) {
        // Longer than the read buffer reads as missing, as for a single lookup.
        if (value.data.size() > (size_t)REG_READ_BUFFER)
            return;
        const char* text = value.text();
        if (value.type == REG_EXPAND_SZ) {
            DWORD needed = ExpandEnvironmentStringsA(text, expanded, REG_READ_BUFFER - 1);
            if (needed != 0 && needed < (DWORD)REG_READ_BUFFER)
                text = expanded;
        }
        if (lstrlenA(text) < capacity)
            texts[RegNameKey(value.name.c_str())] = text;
    });
    return texts;
}

static ULONGLONG (*g_registryClock)() = nullptr;

void SetRegistryClockSeam(ULONGLONG (*now)()) { g_registryClock = now; }

bool IsSettledWrite(ULONGLONG written)
{
    ULONGLONG at;
    if (g_registryClock) {
        at = g_registryClock();
    } else {
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        at = ((ULONGLONG)now.dwHighDateTime << 32) | now.dwLowDateTime;
    }
    return written != 0 && at > written + 2 * 10000000ULL;
}

KeyStamp SettledKeyStamp(HKEY key)
{
    KeyStamp stamp;
    FILETIME written;
    DWORD values = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, &written) != ERROR_SUCCESS)
        return stamp;
    ULONGLONG was = ((ULONGLONG)written.dwHighDateTime << 32) | written.dwLowDateTime;
    if (IsSettledWrite(was)) {
        stamp.written = was;
        stamp.values = values;
    }
    return stamp;
}
