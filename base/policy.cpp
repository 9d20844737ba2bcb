#include "policy.h"
#include "handles.h"
#include <windows.h>
#include <cstring>
#include <initializer_list>

static const PolicyOption kPolicies[] = {
    // The Options page's switches.
    {"Sound", 0, 1, 0},
    {"History", 0, 1, 0},
    {"LockFileTypes", 0, 1, 0},
    {"ConfirmExit", 0, 1, 0},
    {"VantaFormat", 0, 1, 0},
    {"HideRufo", 0, 1, 0},
    {"TrayIcon", 101, 159, 1},
    // Patrol times in minutes (0 turns an area off), as the patrol-time dialog takes them.
    {"Start", 0, 99, 0},
    {"Cookies", 0, 99, 0},
    {"Nuts", 0, 99, 0},
    {"Tasks", 0, 99, 0},
    {"IEHelpers", 0, 99, 0},
    {"FileType", 0, 99, 0},
    {"StartPage", 0, 99, 0},
    {"HostFile", 0, 99, 0},
    {"Services", 0, 99, 0},
    {"Hidden", 0, 99, 0},
    {"WinInit", 0, 99, 0},
    // The real-time switches of the patrol-time dialog.
    {"RealtimeStartup", 0, 1, 0},
    {"RealtimeIEHelper", 0, 1, 0},
    {"RealtimeSysFiles", 0, 1, 0},
    {"RealtimeFileType", 0, 1, 0},
    {"RealtimeStartPage", 0, 1, 0},
    {"RealtimeHidden", 0, 1, 0},
};

const PolicyOption* PolicyOptionTable(int* count)
{
    *count = (int)(sizeof(kPolicies) / sizeof(kPolicies[0]));
    return kPolicies;
}

const PolicyOption* FindPolicyOption(const char* name)
{
    if (!name)
        return nullptr;
    for (const PolicyOption& row : kPolicies)
        if (lstrcmpiA(row.name, name) == 0)
            return &row;
    return nullptr;
}

// The value of one policy key; 0 when missing, of another type or not a plain number.
static int ReadPolicy(HKEY root, const char* name, long long* value)
{
    RegKey key;
    if (!key.open(root, KX_POLICY_KEY, KEY_QUERY_VALUE))
        return 0;
    BYTE data[32];
    DWORD type = 0, size = sizeof(data) - 1;
    if (RegQueryValueExA(key.get(), name, nullptr, &type, data, &size) != ERROR_SUCCESS)
        return 0;
    if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD number;
        memcpy(&number, data, sizeof(number));
        *value = number;
        return 1;
    }
    if (type != REG_SZ || size == 0)
        return 0;
    data[size] = 0;
    long long number = 0;
    int digits = 0;
    for (const BYTE* p = data; *p; p++) {
        if (*p < '0' || *p > '9' || ++digits > 9)
            return 0;
        number = number * 10 + (*p - '0');
    }
    if (!digits)
        return 0;
    *value = number;
    return 1;
}

int PolicyValue(const char* name, int* value)
{
    const PolicyOption* row = FindPolicyOption(name);
    if (!row)
        return 0;
    // The machine's policy wins over the user's, as Windows' own policies do.
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        long long number;
        if (!ReadPolicy(root, row->name, &number))
            continue;
        bool inRange = row->onlyEnds ? number == row->minimum || number == row->maximum
                                     : number >= row->minimum && number <= row->maximum;
        if (!inRange)
            continue;
        *value = (int)number;
        return 1;
    }
    return 0;
}

int IsPolicyManaged(const char* name)
{
    int value;
    return PolicyValue(name, &value);
}
