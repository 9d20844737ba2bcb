#include "winilists.h"
#include "entrylist.h"
#include "pathutil.h"
#include "trace.h"
#include "writefault.h"
#include <windows.h>
#include <vector>

static const DWORD kReadLimit = 64u << 20;
static DWORD g_readLimit = kReadLimit;

void SetWinIniReadLimit(unsigned bytes) { g_readLimit = bytes ? bytes : kReadLimit; }

// The whole value; false when it does not fit the largest buffer tried: a cut value must
// never be written back, so the caller then changes nothing.
static bool ReadWinIniKey(const char* name, std::string* value)
{
    for (DWORD size = 512; size <= g_readLimit; size *= 2) {
        std::vector<char> buffer(size, 0);
        DWORD length = GetProfileStringA("windows", name, "", buffer.data(), size);
        if (length < size - 2) {
            value->assign(buffer.data(), length);
            return true;
        }
    }
    Trace("ERROR win.ini value too long to rewrite", name);
    return false;
}

static int WriteWinIniKey(const char* name, const std::string& text)
{
    char path[MAX_PATH + 16];
    UINT n = GetWindowsDirectoryA(path, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        lstrcatA(path, "\\win.ini");
        DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    return !WriteStepFails() && WriteProfileStringA("windows", name, text.c_str()) != 0;
}

// A win.ini piece as the inventory lists it: without quotes, in long path form.
static std::string ListedForm(const std::string& text)
{
    char bare[260];
    int n = 0;
    for (const char* p = text.c_str(); *p && n < (int)sizeof(bare) - 1; p++)
        if (*p != '"')
            bare[n++] = *p;
    bare[n] = 0;
    if (n >= 4)
        ToLongPathForm(bare, sizeof(bare));
    return bare;
}

bool SplitOutOfWinIni(const char* name, const char* command, std::string* match,
                      std::string* rest)
{
    std::string value, target = ListedForm(command);
    if (!ReadWinIniKey(name, &value))
        return false;
    bool found = false;
    size_t start = 0;
    while (start <= value.size()) {
        size_t end = value.find(';', start);
        if (end == std::string::npos)
            end = value.size();
        std::string piece = value.substr(start, end - start);
        start = end + 1;
        // Empty pieces are dropped so that repeated edits do not pile up semicolons.
        if (piece.empty())
            continue;
        if (lstrcmpiA(ListedForm(piece).c_str(), target.c_str()) == 0) {
            found = true;
            *match = piece;
        } else {
            *rest += piece + ";";
        }
    }
    return found;
}

int RemoveFromWinIni(const char* name, const char* command)
{
    std::string match, rest;
    return SplitOutOfWinIni(name, command, &match, &rest) && WriteWinIniKey(name, rest);
}

int AppendToWinIni(const char* name, const char* command)
{
    std::string value;
    if (!ReadWinIniKey(name, &value))
        return 0;
    if (!value.empty() && value.back() != ';')
        value += ";";
    value += command;
    return WriteWinIniKey(name, value);
}

const char* WinIniKeyOf(int code) { return code == WIN_LOAD ? "load" : "run"; }
