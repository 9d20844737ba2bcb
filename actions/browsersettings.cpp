#include "browsersettings.h"
#include "handles.h"
#include "keys.h"
#include "registry.h"
#include "resstring.h"

int ReadRegDword(HKEY root, const char* path, const char* name, DWORD* out)
{
    RegKey key;
    if (!key.open(root, path, KEY_READ))
        return 0;
    DWORD type = 0, value = 0, size = sizeof(value);
    if (RegQueryValueExA(key.get(), name, nullptr, &type, (BYTE*)&value, &size) != ERROR_SUCCESS ||
        size != sizeof(value) || (type != REG_DWORD && type != REG_BINARY))
        return 0;
    *out = value;
    return 1;
}

int ReadSystemAUOption(DWORD* out)
{
    return ReadRegDword(HKEY_LOCAL_MACHINE, KX_AUTOUPDATE_KEY, "AUOptions", out);
}

int ReadAUOptionCopy(DWORD* out) { return ReadRegDword(HKEY_CURRENT_USER, KX_KEY, "AUOptions", out); }

int StoreAUOptionCopy(DWORD value) { return SetRegNumber(HKEY_CURRENT_USER, KX_KEY, "AUOptions", value); }

int WriteSystemAUOption(DWORD value)
{
    return SetRegNumber(HKEY_LOCAL_MACHINE, KX_AUTOUPDATE_KEY, "AUOptions", value);
}

void CopyAutoUpdateSetting()
{
    DWORD copy = 0, system = 0;
    // An existing copy is never replaced; a machine without the setting is copied as 0, so
    // that a setting appearing later is a change.
    if (!ReadAUOptionCopy(&copy))
        StoreAUOptionCopy(ReadSystemAUOption(&system) ? system : 0);
}

int RestoreAUOptionFromCopy()
{
    DWORD copy = 0, system = 0;
    if (!ReadAUOptionCopy(&copy) || copy < 1 || copy > 4)
        return 0;
    if (WriteSystemAUOption(copy)) {
        DeleteRegValue(HKEY_CURRENT_USER, KX_KEY, "AUOptionsRefused");
        return 1;
    }
    if (!ReadSystemAUOption(&system))
        system = 0;
    SetRegNumber(HKEY_CURRENT_USER, KX_KEY, "AUOptionsRefused", system);
    return 0;
}

int IsRefusedAUOption(DWORD system)
{
    DWORD refused = 0;
    return ReadRegDword(HKEY_CURRENT_USER, KX_KEY, "AUOptionsRefused", &refused) &&
           refused == system;
}

int IsRefusedUrlPrefix(const char* system)
{
    char refused[256];
    if (!RegValueExists(HKEY_CURRENT_USER, KX_KEY, "wwwPrefixRefused"))
        return 0;
    GetRegValue(HKEY_CURRENT_USER, KX_KEY, "wwwPrefixRefused", refused, sizeof(refused));
    return lstrcmpiA(refused, system) == 0;
}

void StoredUrlPrefix(char* out, int capacity)
{
    if (GetRegValue(HKEY_CURRENT_USER, KX_KEY, "wwwPrefix", out, capacity) == 0)
        LoadResString(1061, out, capacity);
}

int ReadSystemUrlPrefix(char* out, int capacity)
{
    out[0] = 0;
    RegKey key;
    if (!key.open(HKEY_LOCAL_MACHINE, KX_PREFIXES_KEY, KEY_READ) ||
        RegQueryValueExA(key.get(), "www", nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return 0;
    GetRegValue(HKEY_LOCAL_MACHINE, KX_PREFIXES_KEY, "www", out, capacity);
    return 1;
}

int WriteSystemUrlPrefix(const char* prefix)
{
    char before[256] = "";
    int had = ReadSystemUrlPrefix(before, sizeof(before));
    if (!SetRegValue(HKEY_LOCAL_MACHINE, KX_PREFIXES_KEY, "www", prefix))
        return 0;
    if (SetRegValue(HKEY_LOCAL_MACHINE, KX_DEFAULT_PREFIX_KEY, "", prefix))
        return 1;
    // Both or neither: the first place goes back to what it held.
    if (had)
        SetRegValue(HKEY_LOCAL_MACHINE, KX_PREFIXES_KEY, "www", before);
    else
        DeleteRegValue(HKEY_LOCAL_MACHINE, KX_PREFIXES_KEY, "www");
    return 0;
}

int RestoreUrlPrefixFromCopy()
{
    char prefix[256], system[256] = "";
    StoredUrlPrefix(prefix, sizeof(prefix));
    if (WriteSystemUrlPrefix(prefix)) {
        DeleteRegValue(HKEY_CURRENT_USER, KX_KEY, "wwwPrefixRefused");
        return 1;
    }
    ReadSystemUrlPrefix(system, sizeof(system));
    SetRegValue(HKEY_CURRENT_USER, KX_KEY, "wwwPrefixRefused", system);
    return 0;
}
