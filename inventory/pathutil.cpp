#include "pathutil.h"
#include "entrylist.h"
#include "program.h"
#include "registry.h"
#include "textutil.h"
#include "versioninfo.h"
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

void StripQuotes(const char* text, char* out, int capacity)
{
    int limit = capacity < 260 ? capacity : 260;
    int n = 0;
    for (const char* p = text; *p && n < limit - 1; p++)
        if (*p != '"')
            out[n++] = *p;
    out[n] = 0;
}

void EnsureTrailingBackslash(char* path, int capacity)
{
    size_t n = strlen(path);
    if ((n == 0 || path[n - 1] != '\\') && (int)n + 1 < capacity) {
        path[n] = '\\';
        path[n + 1] = 0;
    }
}

void DropTrailingBackslash(char* path)
{
    size_t n = strlen(path);
    if (n > 0 && path[n - 1] == '\\' && !(n > 1 && path[n - 2] == ':'))
        path[n - 1] = 0;
}

int FileNameOffset(const char* path)
{
    const char* slash = strrchr(path, '\\');
    return slash ? (int)(slash - path) + 1 : 0;
}

const char* FileNamePart(const char* path) { return path + FileNameOffset(path); }

const char* SkipLeadingBlanks(const char* text)
{
    while (*text == ' ')
        text++;
    return text;
}

void ReplaceChar(char* text, char from, char to)
{
    char* w = text;
    for (char* r = text; *r; r++) {
        if (*r != from)
            *w++ = *r;
        else if (to)
            *w++ = to;
    }
    *w = 0;
}

void KeySafeText(char* text) { ReplaceChar(text, '=', ':'); }

void FormatThousands(long long value, char* out, int capacity)
{
    char digits[32];
    unsigned long long magnitude =
        value < 0 ? 0ull - (unsigned long long)value : (unsigned long long)value;
    snprintf(digits, sizeof(digits), "%llu", magnitude);
    std::string text = value < 0 ? "-" : "";
    size_t len = strlen(digits);
    for (size_t i = 0; i < len; i++) {
        if (i > 0 && (len - i) % 3 == 0)
            text += ',';
        text += digits[i];
    }
    lstrcpynA(out, text.c_str(), capacity);
}

// Length of part when the text begins with it (case-insensitive), else 0.
static int StartsWithWord(const char* text, const char* part)
{
    int n = (int)strlen(part);
    for (int i = 0; i < n; i++)
        if (!text[i] || toupper((unsigned char)text[i]) != part[i])
            return 0;
    return n;
}

// The text a command is scanned in: \SystemRoot (and %SystemRoot%) becomes the Windows
// folder, %PROGRAMFILES% (when expandPrograms) the Program Files folder. Only a prefix where
// the command begins (after blanks and an opening quote) counts: the same word later on is
// an argument, and the program is the file the command starts with.
// *consumed is how many characters of the command the expansion replaced.
static std::string ScanText(const char* command, bool expandPrograms, int* consumed,
                            int* prefixLength)
{
    *consumed = 0;
    *prefixLength = 0;
    const char* p = SkipLeadingBlanks(command);
    if (*p == '"')
        p++;
    char folder[MAX_PATH] = "";
    int word = 0;
    const bool percent = *p == '%';
    const char* mark = (*p == '\\' || percent) ? p + 1 : p;
    if ((word = StartsWithWord(mark, "SYSTEMROOT")) != 0) {
        p = mark + word;
        if (percent && *p++ != '%')
            return command;   // "%SystemRoot" without its closing sign
        GetWindowsDirectoryA(folder, sizeof(folder));
    } else if (expandPrograms && (word = StartsWithWord(p, "%PROGRAMFILES%")) != 0) {
        p += word;
        if (!GetRegValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                         "ProgramFilesDir", folder, sizeof(folder)))
            lstrcpynA(folder, "C:\\Program Files", sizeof(folder));
    } else {
        return command;
    }
    // The word must be the whole first folder name.
    if (*p && *p != '\\' && *p != '"' && *p != ' ')
        return command;
    *consumed = (int)(p - command);
    *prefixLength = (int)strlen(folder);
    return std::string(folder) + p;
}

// Upper-case copy up to the first extension whose third letter is one of stops;
// the start moves to the drive letter before the last colon. Returns the index in
// text just after the copied part.
static int ScanProgram(const std::string& text, const char* stops, char* out, int capacity)
{
    std::string copied;
    size_t start = 0, i = 0;
    const size_t len = text.size();
    for (; i < len; i++) {
        char c = text[i];
        if (c == ':')
            start = copied.size() > 0 ? copied.size() - 1 : 0;
        if (c == '.' && i + 2 < len && strchr(stops, text[i + 2])) {
            for (size_t k = 0; k < 4 && i < len; k++, i++)
                copied += (char)toupper((unsigned char)text[i]);
            break;
        }
        copied += (char)toupper((unsigned char)c);
    }
    lstrcpynA(out, copied.c_str() + start, capacity);
    return (int)i;
}

int IsOwnMonitorCommand(const char* command)
{
    char program[260];
    return command && GetProgramFile(command, program) && IsOwnMonitorFile(program);
}

int GetProgramFile(const char* command, char* out)
{
    int consumed, prefix;
    std::string text = ScanText(command, true, &consumed, &prefix);
    if (text.size() > 259)
        text.resize(259);
    ScanProgram(text, "xXlL", out, 260);
    return (int)strlen(out);
}

void SplitProgram(const char* command, char* program, char* args)
{
    int consumed, prefix;
    std::string text = ScanText(command, false, &consumed, &prefix);
    if (text.size() > 259)
        text.resize(259);
    int end = ScanProgram(text, "xXlLpP", program, 260);
    ToLongPathForm(program, 260);
    // Map the end of the program part back into the unchanged command.
    int inCommand = end - prefix + consumed;
    int len = (int)strlen(command);
    if (inCommand < 0)
        inCommand = 0;
    lstrcpynA(args, inCommand < len ? command + inCommand : "", 260);
}

int SplitRundll32(const char* command, char* out, int capacity)
{
    if (!InMyString(command, "RUNDLL32.EXE")) {
        lstrcpynA(out, command, capacity);
        return 0;
    }
    size_t len = strlen(command);
    for (size_t i = 0; i + 6 < len; i++) {
        if (toupper((unsigned char)command[i]) == 'R' &&
            toupper((unsigned char)command[i + 2]) == 'N' &&
            toupper((unsigned char)command[i + 4]) == 'L' && command[i + 6] == '3') {
            // After "RUNDLL32.EXE": a closing quote and blanks are not part of the DLL line.
            size_t at = i + 12 < len ? i + 12 : len;
            if (command[at] == '"')
                at++;
            lstrcpynA(out, SkipLeadingBlanks(command + at), capacity);
            return 1;
        }
    }
    lstrcpynA(out, command, capacity);
    return 0;
}

static int ExistsAsShortPath(const char* path, char* shortPath, int capacity)
{
    DWORD n = GetShortPathNameA(path, shortPath, capacity);
    if (n == 0 || (int)n >= capacity)
        return 0;
    OFSTRUCT of = {};
    return OpenFile(shortPath, &of, OF_EXIST) != HFILE_ERROR;
}

static std::string InFolder(UINT (WINAPI* folderOf)(LPSTR, UINT), const char* name)
{
    char folder[MAX_PATH] = "";
    folderOf(folder, sizeof(folder));
    std::string path = folder;
    if (!path.empty() && path.back() != '\\')
        path += '\\';
    return path + name;
}

int FileExists(char* path, int capacity)
{
    if (!path[0])
        return 0;
    char shortPath[MAX_PATH];
    if (ExistsAsShortPath(path, shortPath, sizeof(shortPath)))
        return 1;
    if (strlen(path) >= 32)
        return 0;
    if (ExistsAsShortPath(InFolder(GetWindowsDirectoryA, path).c_str(), shortPath,
                          sizeof(shortPath)))
        return 1;
    if (ExistsAsShortPath(InFolder(GetSystemDirectoryA, path).c_str(), shortPath,
                          sizeof(shortPath))) {
        lstrcpynA(path, shortPath, capacity);
        return 1;
    }
    return 0;
}

int FolderOfProgram(const char* path, char* out, int capacity)
{
    out[0] = 0;
    const char* slash = strrchr(path, '\\');
    if (slash) {
        int n = (int)(slash - path);
        if (n > 0 && path[n - 1] == ':')
            n++;   // "C:\"
        lstrcpynA(out, path, n + 1 < capacity ? n + 1 : capacity);
        return 1;
    }
    if (!path[0] || strlen(path) >= 32)
        return 0;
    UINT (WINAPI* folders[2])(LPSTR, UINT) = {GetWindowsDirectoryA, GetSystemDirectoryA};
    for (auto folderOf : folders) {
        if (GetFileAttributesA(InFolder(folderOf, path).c_str()) != INVALID_FILE_ATTRIBUTES) {
            char folder[MAX_PATH] = "";
            folderOf(folder, sizeof(folder));
            lstrcpynA(out, folder, capacity);
            return 1;
        }
    }
    return 0;
}

int GetComClass(const char* clsid, char* name, char* server, REGSAM view)
{
    char key[320];
    snprintf(key, sizeof(key), clsid[0] == '{' ? "CLSID\\%s" : "CLSID\\{%s}", clsid);
    GetRegValue(HKEY_CLASSES_ROOT, key, "", name, 260, view);
    strncat(key, "\\InprocServer32", sizeof(key) - strlen(key) - 1);
    GetRegValue(HKEY_CLASSES_ROOT, key, "", server, 260, view);
    return 1;
}

int GetAppPath(const char* fileName, char* version, char* folder)
{
    version[0] = 0;
    folder[0] = 0;
    char key[400], file[MAX_PATH];
    snprintf(key, sizeof(key), "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\%s",
             fileName);
    if (!GetRegValue(HKEY_LOCAL_MACHINE, key, "", file, sizeof(file)))
        return 0;
    StripQuotes(file, file, sizeof(file));
    if (!FileExists(file, sizeof(file)))
        return 0;
    VersionStrings strings;
    GetVersionStrings(file, &strings);
    lstrcpynA(version, strings.slot[VS_PRODUCT_VERSION], 128);
    GetRegValue(HKEY_LOCAL_MACHINE, key, "Path", folder, 260);
    return 1;
}
