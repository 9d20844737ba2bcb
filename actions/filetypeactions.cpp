#include "filetypeactions.h"
#include "classsnapshot.h"
#include "filetypes.h"
#include "registry.h"
#include <string>

namespace {

std::string WatchList()
{
    char list[1025] = "";
    GetRegValue(HKEY_CURRENT_USER, KX_CLASS_KEY, "", list, sizeof(list));
    return list;
}

// Written empty first so that the key exists, then deleted.
void ForgetValue(const char* key, const char* name)
{
    SetRegValue(HKEY_CURRENT_USER, key, name, "");
    DeleteRegValue(HKEY_CURRENT_USER, key, name);
}

}   // namespace

int AddWatchedExtension(const char* text)
{
    const char* ext = text[0] == '.' ? text + 1 : text;
    std::string list = WatchList();
    if (list.size() + lstrlenA(ext) >= 1020)
        return 763;
    // An empty name or one with a separator would break the list into other items.
    std::string item(ext);
    if (item.empty() || item.find_first_of(";\\") != std::string::npos)
        return 762;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos)
            end = list.size();
        if (lstrcmpiA(list.substr(start, end - start).c_str(), ext) == 0)
            return 762;
        start = end + 1;
    }
    std::string dotted = "." + item;
    for (int kind = FT_CLASS; kind <= FT_PROGID; kind++)
        SnapshotFileType(dotted.c_str(), kind);
    // A list written by hand may lack its final separator.
    if (!list.empty() && list.back() != ';')
        list += ';';
    list += item + ";";
    SetRegValue(HKEY_CURRENT_USER, KX_CLASS_KEY, "", list.c_str());
    return 0;
}

void RemoveWatchedExtension(const char* extension)
{
    std::string list = WatchList(), kept;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos)
            end = list.size();
        std::string item = list.substr(start, end - start);
        if (!item.empty() && lstrcmpiA(item.c_str(), extension) != 0)
            kept += item + ";";
        start = end + 1;
    }
    SetRegValue(HKEY_CURRENT_USER, KX_CLASS_KEY, "", kept.c_str());

    std::string dotted = std::string(".") + extension;
    ForgetClassSnapshot(dotted.c_str());
    char cls[260] = "";
    GetRegValue(HKEY_CURRENT_USER, KX_EXT_KEY, dotted.c_str(), cls, sizeof(cls));
    if (!cls[0])
        return;
    ForgetValue(KX_EXT_KEY, dotted.c_str());
    ForgetValue(KX_EXTTYPE_KEY, dotted.c_str());
    ListFileTypes();
    if (!ClassInUse(cls)) {
        ForgetValue(KX_CLASS_KEY, cls);
        ForgetValue(KX_CLASSCOMMAND_KEY, cls);
    }
}

int RestoreFileType(const char* extensionWithDot, int kind)
{
    char cls[260];
    std::string command;
    ReadFileTypeSnapshot(extensionWithDot, kind, cls, &command);
    if (!cls[0])
        return 0;
    std::string ext(extensionWithDot), name(cls);
    HKEY extRoot, commandRoot;
    std::string extKey, valueName, commandKey;
    switch (kind) {
    case FT_CLASS:
        extRoot = commandRoot = HKEY_LOCAL_MACHINE;
        extKey = "Software\\Classes\\" + ext;
        commandKey = "Software\\Classes\\" + name + "\\shell\\open\\command";
        break;
    case FT_APPLICATION:
        extRoot = HKEY_CURRENT_USER;
        commandRoot = HKEY_CLASSES_ROOT;
        extKey = KX_FILEEXTS_KEY "\\" + ext;
        valueName = "Application";
        commandKey = "Applications\\" + name + "\\shell\\open\\command";
        break;
    case FT_PROGID:
        extRoot = HKEY_CURRENT_USER;
        commandRoot = HKEY_CLASSES_ROOT;
        extKey = KX_FILEEXTS_KEY "\\" + ext;
        valueName = "ProgID";
        commandKey = name + "\\shell\\open\\command";
        break;
    default:
        return 0;
    }
    // The class's command first, then the extension's pointer to the class: when the second
    // write fails the command goes back, so the association is wholly old or wholly restored.
    char oldCommand[1024] = "";
    int hadCommand = GetRegValue(commandRoot, commandKey.c_str(), "", oldCommand, sizeof(oldCommand));
    if (!command.empty() && !SetRegValue(commandRoot, commandKey.c_str(), "", command.c_str()))
        return 0;
    if (!SetRegValue(extRoot, extKey.c_str(), valueName.c_str(), cls)) {
        if (!command.empty()) {
            if (hadCommand)
                SetRegValue(commandRoot, commandKey.c_str(), "", oldCommand);
            else
                DeleteRegValue(commandRoot, commandKey.c_str(), "");
        }
        return 0;
    }
    return 1;
}
