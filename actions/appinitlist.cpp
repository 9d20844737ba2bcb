#include "appinitlist.h"
#include "entrylist.h"
#include "entrystore.h"
#include "pathutil.h"
#include <string>

#define APPINIT_KEY "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows"
#define APPINIT_VALUE "AppInit_DLLs"

static std::string LongForm(const std::string& path)
{
    char buffer[MAX_PATH * 2];
    lstrcpynA(buffer, path.c_str(), sizeof(buffer));
    ToLongPathForm(buffer, sizeof(buffer));
    return buffer;
}

int RemoveAppInitDll(const char* dll, REGSAM view)
{
    RawText value;
    if (!ReadRawText(HKEY_LOCAL_MACHINE, APPINIT_KEY, APPINIT_VALUE, &value, view))
        return 0;
    std::string target = LongForm(dll), kept;
    bool removed = false;
    size_t start = 0;
    const std::string& list = value.text;
    while (start < list.size()) {
        size_t end = list.find_first_of(", ", start);
        if (end == std::string::npos)
            end = list.size();
        std::string piece = list.substr(start, end - start);
        if (!piece.empty()) {
            if (lstrcmpiA(LongForm(piece).c_str(), target.c_str()) == 0) {
                removed = true;
            } else {
                if (!kept.empty())
                    kept += ",";
                kept += piece;
            }
        }
        start = end + 1;
    }
    if (!removed)
        return 0;
    RawText rewritten;
    rewritten.text = kept;
    return WriteRawText(HKEY_LOCAL_MACHINE, APPINIT_KEY, APPINIT_VALUE, rewritten, view);
}

int AppendAppInitDll(const char* dll, REGSAM view)
{
    RawText value;
    ReadRawText(HKEY_LOCAL_MACHINE, APPINIT_KEY, APPINIT_VALUE, &value, view);
    // The list is split at blanks too, so the DLL goes in by its short path when it has one.
    char shortPath[MAX_PATH];
    DWORD n = GetShortPathNameA(dll, shortPath, sizeof(shortPath));
    std::string piece = (n > 0 && n < sizeof(shortPath)) ? shortPath : dll;
    if (!value.text.empty())
        value.text += ",";
    value.text += piece;
    value.type = REG_SZ;
    return WriteRawText(HKEY_LOCAL_MACHINE, APPINIT_KEY, APPINIT_VALUE, value, view);
}
