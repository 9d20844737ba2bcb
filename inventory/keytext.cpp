#include "keytext.h"
#include <vector>

int ReadKeyText(HKEY key, const char* name, char* out, int capacity)
{
    if (capacity <= 0)
        return 0;
    out[0] = 0;
    if (!key)
        return 0;
    std::vector<char> data(capacity + 1);
    DWORD type = 0, size = (DWORD)capacity;
    if (RegQueryValueExA(key, name, nullptr, &type, (BYTE*)data.data(), &size) != ERROR_SUCCESS)
        return 0;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return 0;
    data[size < (DWORD)capacity ? size : (DWORD)capacity] = 0;   // need not end in a terminator
    if (type == REG_EXPAND_SZ) {
        DWORD needed = ExpandEnvironmentStringsA(data.data(), out, (DWORD)capacity);
        if (needed == 0 || needed > (DWORD)capacity) {
            out[0] = 0;
            return 0;
        }
        return lstrlenA(out);
    }
    int length = lstrlenA(data.data());
    if (length >= capacity)
        return 0;
    lstrcpynA(out, data.data(), capacity);
    return length;
}
