#include "versioninfo.h"
#include "filecheck.h"
#include "program.h"
#include "textutil.h"
#include <windows.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>

static const char* const kSlotNames[VS_SLOT_COUNT] = {
    "ProductName", "ProductVersion", "CompanyName", "FileDescription", "LegalCopyright"};

// Larger version blocks are treated as absent.
static const DWORD kMaxVersionBlock = 8191;

namespace {

// The answer for one file: every text is at most 127 characters.
struct CachedVersion {
    int found;
    char slot[VS_SLOT_COUNT][128];
};
typedef std::unordered_map<std::string, CachedVersion> VersionCache;
thread_local VersionCache* t_versionCache;

int ReadVersionStrings(const char* path, VersionStrings* out);

}   // namespace

VersionCacheScope::VersionCacheScope() : owner(t_versionCache == nullptr)
{
    if (owner)
        t_versionCache = new VersionCache;
}

VersionCacheScope::~VersionCacheScope()
{
    if (owner) {
        delete t_versionCache;
        t_versionCache = nullptr;
    }
}

int GetVersionStrings(const char* path, VersionStrings* out)
{
    if (!t_versionCache)
        return ReadVersionStrings(path, out);
    std::string key(path);
    CharUpperBuffA(&key[0], (DWORD)key.size());
    auto known = t_versionCache->find(key);
    if (known == t_versionCache->end()) {
        int found = ReadVersionStrings(path, out);
        CachedVersion kept = {found, {}};
        for (int s = 0; s < VS_SLOT_COUNT; s++)
            lstrcpynA(kept.slot[s], out->slot[s], sizeof(kept.slot[s]));
        t_versionCache->emplace(key, kept);
        return found;
    }
    memset(out, 0, sizeof(*out));
    for (int s = 0; s < VS_SLOT_COUNT; s++)
        strcpy(out->slot[s], known->second.slot[s]);
    return known->second.found;
}

namespace {

int ReadVersionStrings(const char* path, VersionStrings* out)
{
    memset(out, 0, sizeof(*out));
    // A full path to a missing file is answered by one attribute lookup; the version reader
    // would first try to load it as a module. A name without an extension is left to the
    // reader, which tries it with ".dll" too.
    bool fullPath = (path[0] && path[1] == ':' && path[2] == '\\') ||
                    (path[0] == '\\' && path[1] == '\\');
    const char* name = strrchr(path, '\\');
    const char* dot = name ? strrchr(name, '.') : nullptr;
    if (fullPath && dot && dot[1] && GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return 0;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0 || size > kMaxVersionBlock)
        return 0;
    std::string block(size, '\0');
    if (!GetFileVersionInfoA(path, 0, size, &block[0]))
        return 0;
    // The system's queries trust the block's lengths (and write behind it by them): a block
    // they could lead astray is treated as absent.
    if (!VersionBlockSound(block))
        return 0;
    const char* blockEnd = block.data() + block.size();
    WORD* pairs = nullptr;
    UINT pairBytes = 0;
    if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", (void**)&pairs, &pairBytes) ||
        !pairs || (const char*)pairs < block.data() || (const char*)pairs >= blockEnd)
        return 0;
    if (pairBytes > (UINT)(blockEnd - (const char*)pairs))
        pairBytes = (UINT)(blockEnd - (const char*)pairs);

    int found = 0;
    for (UINT p = 0; p + 1 < pairBytes / sizeof(WORD); p += 2) {
        char texts[VS_SLOT_COUNT][128] = {};
        for (int s = 0; s < VS_SLOT_COUNT; s++) {
            char query[96];
            snprintf(query, sizeof(query), "\\StringFileInfo\\%04x%04x\\%s", pairs[p],
                     pairs[p + 1], kSlotNames[s]);
            char* value = nullptr;
            UINT length = 0;
            if (!VerQueryValueA(block.data(), query, (void**)&value, &length) || !value ||
                value < block.data() || value >= blockEnd)
                continue;
            size_t room = (size_t)(blockEnd - value), n = strnlen(value, room);
            if (n < room && n <= 127)
                memcpy(texts[s], value, n + 1);
        }
        if (!texts[VS_PRODUCT_NAME][0])
            continue;   // a translation without a product name is passed over
        for (int s = 0; s < VS_SLOT_COUNT; s++)
            strcpy(out->slot[s], texts[s]);
        found = 1;
    }
    if (found && InMyString(out->slot[VS_PRODUCT_NAME], "Operating System"))
        strcpy(out->slot[VS_PRODUCT_NAME], out->slot[VS_FILE_DESCRIPTION]);
    return found;
}

}   // namespace

void GetProgramVersionText(char* out, int capacity)
{
    char monitorPath[MAX_PATH + 32], explorerPath[MAX_PATH + 32];
    ProgramFilePath("Kestrix.exe", monitorPath, sizeof(monitorPath));
    ProgramFilePath("KestrixEx.exe", explorerPath, sizeof(explorerPath));

    VersionStrings monitor, second;
    GetVersionStrings(monitorPath, &monitor);
    char text[600];
    lstrcpynA(text, monitor.slot[VS_PRODUCT_VERSION], 300);

    char self[MAX_PATH + 1] = "";
    GetModuleFileNameA(nullptr, self, sizeof(self));
    const char* secondPath = explorerPath;
    if (InMyString(self, "hijack"))
        secondPath = self;
    if (GetFileAttributesA(secondPath) != INVALID_FILE_ATTRIBUTES) {
        GetVersionStrings(secondPath, &second);
        size_t n = strlen(text);
        snprintf(text + n, sizeof(text) - n, ":%s", second.slot[VS_PRODUCT_VERSION]);
    }
    lstrcpynA(out, text, capacity);
}
