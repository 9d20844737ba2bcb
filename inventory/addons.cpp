#include "addons.h"
#include "entrylist.h"
#include "handles.h"
#include "keytext.h"
#include "pathutil.h"
#include "registry.h"
#include "textutil.h"
#include "trace.h"
#include "versioninfo.h"
#include <cstdio>
#include <string>
#include <vector>

namespace {

// Names of a key's subkeys or values, in index order.
std::vector<std::string> Names(const char* path, bool values, REGSAM view = 0)
{
    std::vector<std::string> names;
    auto add = [&](const std::string& name) { names.push_back(name); };
    if (values)
        ForEachValueName(HKEY_LOCAL_MACHINE, path, add, view);
    else
        ForEachSubkey(HKEY_LOCAL_MACHINE, path, add, view);
    return names;
}

// Title and detail of a helper object or toolbar from its server file.
void AddServedEntry(const char* source, const char* server, int type)
{
    VersionStrings strings;
    GetVersionStrings(server, &strings);
    const char* title = strings.slot[VS_PRODUCT_NAME][0] ? strings.slot[VS_PRODUCT_NAME]
                                                         : FileNamePart(server);
    AddEntry(title, server, source, strings.slot[VS_PRODUCT_VERSION], type, 0);
}

// The server of a helper object in one view; false when it has none.
bool HelperServer(const std::string& name, REGSAM view, char* server, int capacity)
{
    char path[320];
    snprintf(path, sizeof(path), "CLSID\\%s\\InprocServer32", name.c_str());
    RegKey key;
    return key.open(HKEY_CLASSES_ROOT, path, KEY_READ | view) &&
           ReadKeyText(key.get(), "", server, capacity);
}

// The helper-object key of one view, its classes looked up in the same view. The 32-bit view
// leaves out an object that the own view lists with the same server: a key Windows shares
// between the views (or a system without a 32-bit view) would list it twice.
void ListHelperObjects(REGSAM view)
{
    std::vector<std::string> own;
    if (view)
        own = Names(KX_BHO_KEY, false);
    for (const std::string& name : Names(KX_BHO_KEY, false, view)) {
        char server[261], ownServer[261];
        if (!HelperServer(name, view, server, sizeof(server)))
            continue;   // a helper object without a server does nothing
        bool listed = false;
        for (const std::string& ownName : own)
            listed = listed || (lstrcmpiA(ownName.c_str(), name.c_str()) == 0 &&
                                HelperServer(name, 0, ownServer, sizeof(ownServer)) &&
                                lstrcmpiA(ownServer, server) == 0);
        if (!listed)
            AddServedEntry(name.c_str(), server, view ? TYPE_BHO32 : TYPE_BHO);
    }
}

void ListToolbars()
{
    for (const std::string& name : Names(KX_TOOLBAR_KEY, true)) {
        if (name.empty())
            continue;   // the key's default value names no class
        char className[260], server[260];
        GetComClass(name.c_str(), className, server);
        AddServedEntry(name.c_str(), server, TYPE_TOOLBAR);
    }
}

void ListExtensions()
{
    for (const std::string& name : Names(KX_EXTENSIONS_KEY, false)) {
        std::string path = std::string(KX_EXTENSIONS_KEY "\\") + name;
        RegKey key;
        if (!key.open(HKEY_LOCAL_MACHINE, path.c_str(), KEY_READ))
            continue;
        char title[261], command[261], detail[261];
        if (!ReadKeyText(key.get(), "ButtonText", title, sizeof(title)))
            continue;
        if (InMyString(title, "shdoclc.dll"))
            lstrcpynA(title, "Related", sizeof(title));
        if (!ReadKeyText(key.get(), "Exec", command, sizeof(command)))
            ReadKeyText(key.get(), "script", command, sizeof(command));
        if (!ReadKeyText(key.get(), "HotIcon", detail, sizeof(detail)))
            lstrcpynA(detail, command, sizeof(detail));
        // Buttons name their program with arguments or environment text; the file decides.
        char program[260];
        if (GetProgramFile(command, program) > 0) {
            lstrcpynA(command, program, sizeof(command));
            VersionStrings strings;
            if (GetVersionStrings(program, &strings) && strings.slot[VS_PRODUCT_NAME][0])
                lstrcpynA(title, strings.slot[VS_PRODUCT_NAME], sizeof(title));
        }
        AddEntry(title, command, name.c_str(), detail, TYPE_EXTENSION, 0);
    }
}

}   // namespace

int ListBrowserAddOns()
{
    ClearEntries();
    Trace("ListBrowserAddOns", "addons");
    ListHelperObjects(0);
    ListToolbars();
    ListExtensions();
    // Helper objects that 64-bit Windows keeps for 32-bit browsers, after the own view's.
    ListHelperObjects(KEY_WOW64_32KEY);
    return EntryCount();
}
