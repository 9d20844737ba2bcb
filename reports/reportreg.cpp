#include "reportreg.h"
#include "handles.h"
#include "registry.h"
#include <cstdio>

std::string ReportValue(HKEY root, const std::string& path, const char* name, REGSAM view)
{
    RegKey key;
    if (!key.open(root, path.c_str(), KEY_READ | view))
        return "";
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return "";
    std::vector<char> data(size + 2, 0);
    if (RegQueryValueExA(key.get(), name, nullptr, &type, (BYTE*)data.data(), &size) !=
        ERROR_SUCCESS)
        return "";
    if (type == REG_DWORD && size >= 4) {
        char number[16];
        snprintf(number, sizeof(number), "%lu", *(DWORD*)data.data());
        return number;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ)
        return "";
    std::string text = data.data();   // a multi-string's first string
    if (type == REG_EXPAND_SZ) {
        DWORD needed = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
        std::vector<char> expanded(needed + 1, 0);
        if (needed && ExpandEnvironmentStringsA(text.c_str(), expanded.data(), needed + 1))
            text = expanded.data();
    }
    return text;
}

static std::vector<std::string> Names(HKEY root, const std::string& path, bool values,
                                      REGSAM view)
{
    std::vector<std::string> names;
    auto add = [&](const std::string& name) { names.push_back(name); };
    if (values)
        ForEachValueName(root, path.c_str(), add, view);
    else
        ForEachSubkey(root, path.c_str(), add, view);
    return names;
}

std::vector<std::string> SubkeyNames(HKEY root, const std::string& path, REGSAM view)
{
    return Names(root, path, false, view);
}

std::vector<std::string> ValueNames(HKEY root, const std::string& path, REGSAM view)
{
    return Names(root, path, true, view);
}
