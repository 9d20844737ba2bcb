#include "resstring.h"
#include "keys.h"
#include "registry.h"
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>

int uiLanguage;

int LanguageIdFromCode(const char* code)
{
    static const struct {
        const char* code;
        int id;
    } table[] = {
        {"us", 9},  {"de", 7},  {"fr", 12}, {"es", 10}, {"it", 16}, {"se", 29},
        {"ru", 25}, {"pt", 22}, {"pl", 21}, {"no", 20}, {"gr", 8},  {"nl", 19},
        {"br", 22}, {"sq", 28}, {"tr", 31}, {"ar", 1},  {"fi", 11}, {"cn", 4},
        {"\xEA\xE0\xEA", 25},   // Russian written in code page 1251
    };
    for (const auto& row : table)
        if (lstrcmpiA(code, row.code) == 0)
            return row.id;
    return 0;
}

void InitUiLanguage()
{
    char code[16] = "";
    LoadStringA(GetModuleHandleA(nullptr), 634, code, sizeof(code));
    uiLanguage = LanguageIdFromCode(code);
}

namespace {

struct KeptString {
    std::string text;
    int length;
    int language;
};
// By id and capacity: the length returned depends on both.
typedef std::unordered_map<unsigned long long, KeptString> KeptStrings;
// A plain pointer: nothing is left to a thread's end, the scope that set it frees it.
thread_local KeptStrings* t_kept;

int LoadUncached(UINT id, char* buf, int capacity);

}   // namespace

ResStringCacheScope::ResStringCacheScope() : owner(t_kept == nullptr)
{
    if (owner)
        t_kept = new KeptStrings;
}

ResStringCacheScope::~ResStringCacheScope()
{
    if (owner) {
        delete t_kept;
        t_kept = nullptr;
    }
}

int LoadResString(UINT id, char* buf, int capacity)
{
    if (capacity <= 0)
        return 0;
    if (!t_kept)
        return LoadUncached(id, buf, capacity);
    unsigned long long key = ((unsigned long long)id << 32) | (unsigned)capacity;
    auto kept = t_kept->find(key);
    if (kept == t_kept->end() || kept->second.language != uiLanguage) {
        int length = LoadUncached(id, buf, capacity);
        (*t_kept)[key] = KeptString{buf, length, uiLanguage};
        return length;
    }
    lstrcpynA(buf, kept->second.text.c_str(), capacity);
    return kept->second.length;
}

namespace {

int LoadUncached(UINT id, char* buf, int capacity)
{
    buf[0] = 0;
    if (uiLanguage != 9) {
        char name[32], text[773];
        snprintf(name, sizeof(name), "LString%u", id);
        if (GetRegValue(HKEY_LOCAL_MACHINE, KX_KEY, name, text, sizeof(text)) > 0) {
            int limit = capacity - 1 < 771 ? capacity - 1 : 771;
            text[limit] = 0;
            int cutLength = lstrlenA(text);
            // "%n" stands for a line break in replacement texts.
            char* out = text;
            for (const char* in = text; *in; in++) {
                if (in[0] == '%' && in[1] == 'n') {
                    *out++ = '\n';
                    in++;
                } else {
                    *out++ = *in;
                }
            }
            *out = 0;
            lstrcpynA(buf, text, capacity);
            return cutLength;
        }
    }
    return LoadStringA(GetModuleHandleA(nullptr), id, buf, capacity);
}

}   // namespace

void SetDlgItemResString(HWND dialog, int controlId, UINT stringId)
{
    char text[1024];
    if (LoadResString(stringId, text, sizeof(text)) > 0)
        SetDlgItemTextA(dialog, controlId, text);
}
