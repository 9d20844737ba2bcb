#include "filetypes.h"
#include "classsnapshot.h"
#include "pathutil.h"
#include "registry.h"
#include "resstring.h"
#include "textutil.h"
#include "trace.h"
#include "versioninfo.h"
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const int WATCH_LIST_READ = 1024;

// ".EXT" from "EXT" or ".EXT".
std::string WithDot(const char* extension)
{
    return extension[0] == '.' ? std::string(extension) : std::string(".") + extension;
}

// The text of a value, or empty; open commands may be of any length in the registry, but
// only the first 259 characters are kept, as everywhere else.
std::string ReadText(HKEY root, const std::string& path, const char* name)
{
    char text[WATCH_LIST_READ + 1] = "";
    GetRegValue(root, path.c_str(), name, text, sizeof(text));
    return text;
}

void Cut259(const std::string& text, char* out)
{
    lstrcpynA(out, text.c_str(), 260);
}

// Items of the watch list in order, without their semicolons.
std::vector<std::string> WatchItems(const std::string& list)
{
    std::vector<std::string> items;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos)
            end = list.size();
        if (end > start)
            items.push_back(list.substr(start, end - start < 256 ? end - start : 256));
        start = end + 1;
    }
    return items;
}

}   // namespace

const char* SnapshotClassKey(int kind)
{
    switch (kind) {
    case FT_CLASS:
        return KX_EXT_KEY;
    case FT_APPLICATION:
        return KX_EXTAPP_KEY;
    case FT_PROGID:
        return KX_EXTPROGID_KEY;
    }
    return nullptr;
}

// Class and open command of one kind, each as long as the registry layer reads them.
static int ResolveText(const char* extension, int kind, std::string& cls, std::string& open)
{
    std::string ext = WithDot(extension);
    switch (kind) {
    case FT_CLASS:
        cls = ReadText(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + ext, "");
        if (!cls.empty())
            open = ReadText(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + cls + "\\shell\\open\\command", "");
        break;
    case FT_APPLICATION:
        cls = ReadText(HKEY_CURRENT_USER, KX_FILEEXTS_KEY "\\" + ext, "Application");
        if (!cls.empty())
            open = ReadText(HKEY_CLASSES_ROOT, "Applications\\" + cls + "\\shell\\open\\command", "");
        break;
    case FT_PROGID:
        cls = ReadText(HKEY_CURRENT_USER, KX_FILEEXTS_KEY "\\" + ext, "ProgID");
        if (!cls.empty())
            open = ReadText(HKEY_CLASSES_ROOT, cls + "\\shell\\open\\command", "");
        break;
    default:
        return 0;
    }
    return !cls.empty() && !open.empty();
}

int ResolveFileType(const char* extension, int kind, char* className, char* command)
{
    className[0] = command[0] = 0;
    std::string cls, open;
    if (!ResolveText(extension, kind, cls, open))
        return 0;
    Cut259(cls, className);
    Cut259(open, command);
    return 1;
}

int ListFileTypes()
{
    ClearEntries();
    Trace("ListFileTypes", "filetype");
    VersionCacheScope versions;   // many watched types open with the same program
    std::string list = ReadText(HKEY_CURRENT_USER, KX_CLASS_KEY, "");
    int count = 0;
    for (const std::string& item : WatchItems(list)) {
        std::string ext = "." + item;
        for (int kind = FT_CLASS; kind <= FT_PROGID; kind++) {
            char cls[260], command[260];
            if (!ResolveFileType(ext.c_str(), kind, cls, command) || !cls[0])
                continue;
            std::string title = ReadText(HKEY_LOCAL_MACHINE, std::string("Software\\Classes\\") + cls, "");
            std::string source = cls;
            if (title.empty()) {
                // No description: the program file says what it is.
                char program[260] = "";
                VersionStrings strings;
                if (GetProgramFile(command, program) > 0 && GetVersionStrings(program, &strings)) {
                    title = strings.slot[VS_PRODUCT_NAME];
                    source = strings.slot[VS_FILE_DESCRIPTION];
                } else {
                    source.clear();
                }
            }
            if (AddEntry(title.c_str(), command, source.c_str(), ext.c_str(), TYPE_FILETYPE, kind))
                count++;
        }
    }
    return count;
}

static std::string WithoutQuotes(const std::string& command)
{
    std::string bare;
    for (char c : command)
        if (c != '"')
            bare += c;
    return bare;
}

// A command whose quotes were removed, quoted again: its program part (up to the first
// program extension, else the first blank) and every %1 or %L argument. Without this, a
// program under "Program Files" would run "C:\Program" and a file name with blanks would
// reach the program as several arguments.
static std::string RequoteCommand(const std::string& bare)
{
    if (bare.empty() || bare.find('"') != std::string::npos)
        return bare;
    size_t end = std::string::npos;
    static const char* const programs[] = {".exe", ".com", ".bat", ".cmd", ".scr", ".pif"};
    for (size_t i = 0; i + 4 <= bare.size() && end == std::string::npos; i++) {
        if (bare[i] != '.' || (i + 4 < bare.size() && bare[i + 4] != ' '))
            continue;
        for (const char* kind : programs)
            if (lstrcmpiA(bare.substr(i, 4).c_str(), kind) == 0)
                end = i + 4;
    }
    if (end == std::string::npos)
        end = bare.find(' ');
    if (end == std::string::npos)
        end = bare.size();
    std::string quoted = "\"" + bare.substr(0, end) + "\"";
    for (size_t i = end; i < bare.size(); i++) {
        bool marker = bare[i] == '%' && i + 1 < bare.size() &&
                      (bare[i + 1] == '1' || bare[i + 1] == 'L' || bare[i + 1] == 'l') &&
                      (i + 2 == bare.size() || bare[i + 2] == ' ');
        if (marker) {
            quoted += "\"%" + std::string(1, bare[i + 1]) + "\"";
            i++;
        } else {
            quoted += bare[i];
        }
    }
    return quoted;
}

int SnapshotFileType(const char* extensionWithDot, int kind)
{
    const char* classKey = SnapshotClassKey(kind);
    std::string cls, command;
    if (!classKey || !ResolveText(extensionWithDot, kind, cls, command))
        return 0;
    cls.resize(cls.size() < 259 ? cls.size() : 259);
    // A machine class is kept where only administrators write, or not at all: a record in
    // the user's own key is one any program of his could rewrite before an elevated restore
    // writes it into the machine's classes. A refusal is noted for the caller to tell.
    if (kind == FT_CLASS) {
        if (!WriteClassSnapshot(extensionWithDot, cls, command))
            return 0;
        DeleteRegValue(HKEY_CURRENT_USER, classKey, extensionWithDot);
        return 1;
    }
    SetRegValue(HKEY_CURRENT_USER, classKey, extensionWithDot, cls.c_str());
    // The quote-free form is what comparisons read; the command as written is what a
    // restore puts back.
    SetRegValue(HKEY_CURRENT_USER, KX_CLASS_KEY, cls.c_str(), WithoutQuotes(command).c_str());
    SetRegValue(HKEY_CURRENT_USER, KX_CLASSCOMMAND_KEY, cls.c_str(), command.c_str());
    return 1;
}

void ReadFileTypeSnapshot(const char* extensionWithDot, int kind, char* className,
                          std::string* command)
{
    className[0] = 0;
    command->clear();
    const char* classKey = SnapshotClassKey(kind);
    if (!classKey)
        return;
    std::string machineClass, machineCommand;
    if (kind == FT_CLASS && ReadClassSnapshot(extensionWithDot, &machineClass, &machineCommand)) {
        Cut259(machineClass, className);
        *command = machineCommand;
        return;
    }
    Cut259(ReadText(HKEY_CURRENT_USER, classKey, extensionWithDot), className);
    // An empty class would name the Class key's default value: the watch list itself.
    if (!className[0])
        return;
    std::string bare = ReadText(HKEY_CURRENT_USER, KX_CLASS_KEY, className);
    std::string written = ReadText(HKEY_CURRENT_USER, KX_CLASSCOMMAND_KEY, className);
    // A snapshot made before the command was kept as written (or re-made without it since)
    // has only the quote-free form.
    *command = !written.empty() && WithoutQuotes(written) == bare ? written : RequoteCommand(bare);
}

static int SnapshotListed()
{
    int count = ListFileTypes();
    for (int i = 0; i < count; i++)
        SnapshotFileType(GetEntry(i)->detail, GetEntry(i)->tag);
    return count;
}

int CreateClassInfo()
{
    Trace("CreateClassInfo", "filetype");
    std::string marker = ReadText(HKEY_CURRENT_USER, KX_EXT_KEY, "");
    if (marker.size() == 11) {
        SnapshotListed();
        SetRegValue(HKEY_CURRENT_USER, KX_EXT_KEY, "", "Do not edit.");
        return 0;
    }
    std::string list = ReadText(HKEY_CURRENT_USER, KX_CLASS_KEY, "");
    if (!marker.empty() && list.substr(0, 10).find(';') != std::string::npos)
        return 0;
    for (const char* key : {KX_EXT_KEY, KX_EXTAPP_KEY, KX_EXTPROGID_KEY, KX_CLASS_KEY})
        CreateRegKey(HKEY_CURRENT_USER, key);
    char watch[WATCH_LIST_READ] = "";
    LoadResString(750, watch, sizeof(watch));
    if (!SetRegValue(HKEY_CURRENT_USER, KX_CLASS_KEY, "", watch))
        Trace("ERROR Creating REGCLASSKEY", "filetype");
    int count = SnapshotListed();
    SetRegValue(HKEY_CURRENT_USER, KX_EXT_KEY, "", "Do not edit.");
    return count;
}

int ClassInUse(const char* className)
{
    for (int i = 0; i < EntryCount(); i++)
        if (lstrcmpiA(GetEntry(i)->source, className) == 0)
            return 1;
    return 0;
}

int FileTypeChanged(const EntryRecord& entry)
{
    char cls[260], present[260];
    std::string command;
    ReadFileTypeSnapshot(entry.detail, entry.tag, cls, &command);
    // Cut as the listed command was, before its quotes went: like is compared with like.
    std::string stored = WithoutQuotes(command.substr(0, 259));
    if (stored.empty() || InMyString(stored.c_str(), "AVI;BAT")) {
        SnapshotFileType(entry.detail, entry.tag);
        return 0;
    }
    StripQuotes(entry.command, present, sizeof(present));
    ToLongPathForm(present, sizeof(present));
    return lstrcmpiA(FileNamePart(stored.c_str()), FileNamePart(present)) != 0;
}

void FileTypeIcon(const char* extension, int kind, char* file, int* index)
{
    *index = 0;
    file[0] = 0;
    char cls[260], command[260];
    std::string icon;
    if (ResolveFileType(extension, FT_CLASS, cls, command))
        icon = ReadText(HKEY_LOCAL_MACHINE, std::string("Software\\Classes\\") + cls + "\\DefaultIcon", "");
    size_t comma = icon.rfind(',');
    if (comma != std::string::npos) {
        Cut259(icon.substr(0, comma), file);
        *index = atoi(icon.c_str() + comma + 1);
        return;
    }
    if (ResolveFileType(extension, kind, cls, command))
        lstrcpynA(file, command, 260);
}

void FileTypeProgramText(const char* command, char* out, int capacity)
{
    char text[260], bare[260];
    StripQuotes(command, bare, sizeof(bare));
    if (lstrcmpiA(bare, "%1 %*") == 0 || lstrcmpiA(bare, "%1 /S") == 0) {
        LoadResString(746, text, sizeof(text));
    } else if (!command[0]) {
        LoadResString(742, text, sizeof(text));
    } else {
        std::string reduced = command;
        char upper[260];
        lstrcpynA(upper, command, sizeof(upper));
        CharUpperA(upper);
        const char* rundll = strstr(upper, "RUNDLL32.EXE");
        if (rundll && strlen(rundll) > 13)
            reduced = command + (rundll - upper) + 13;
        char program[260] = "";
        GetProgramFile(reduced.c_str(), program);
        lstrcpynA(text, program[0] ? FileNamePart(program) : FileNamePart(reduced.c_str()), sizeof(text));
    }
    lstrcpynA(out, text, capacity);
}
