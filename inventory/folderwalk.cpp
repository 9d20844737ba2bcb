#include "folderwalk.h"
#include "cookies.h"
#include "entrylist.h"
#include "fileinfo.h"
#include "handles.h"
#include "listedfile.h"
#include "pathutil.h"
#include "registry.h"
#include "shortcut.h"
#include "versioninfo.h"
#include <cstring>
#include <string>

static int g_walkMode = WALK_STARTUP;
static int g_walkFound;

void SetWalkMode(int mode) { g_walkMode = mode; }
int WalkFound() { return g_walkFound; }
void SetWalkFound(int found) { g_walkFound = found; }

int WalkFolder(const char* folder, WalkStep step, int depth, int modeArgument)
{
    std::string base = folder;
    if (!base.empty() && base.back() != '\\')
        base += '\\';
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA((base + "*.*").c_str(), &data));
    if (!find)
        return 0;
    do {
        std::string path = base + data.cFileName;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (data.cFileName[0] == '.')
                continue;
            if (depth > 0 && WalkFolder(path.c_str(), step, depth - 1, modeArgument))
                return 1;
        }
        if (step(path.c_str(), &data, modeArgument))
            return 1;
    } while (FindNextFileA(find.get(), &data));
    return 0;
}

static bool EndsWith(const char* text, const char* tail)
{
    size_t n = strlen(text), k = strlen(tail);
    return n >= k && lstrcmpiA(text + n - k, tail) == 0;
}

static void AddStartupItem(const char* path)
{
    VersionStrings strings;
    if (EndsWith(path, "lnk")) {
        char target[MAX_PATH], description[1024];
        if (ResolveShortcut(path, target, description) != 0) {
            // A link to a shell item or an address starts that at logon: listed with it, under
            // the link's own name. A file target that is missing starts nothing.
            char item[1024];
            if (!ShortcutItemTarget(path, item, sizeof(item)))
                return;
            std::string name = FileNamePart(path);
            name.resize(name.size() >= 4 ? name.size() - 4 : 0);
            AddEntry(name.c_str(), item, path, "", GROUP_STARTUP, 0);
            g_walkFound = 1;
            return;
        }
        std::string title = description;
        if (title.empty()) {
            GetVersionStrings(target, &strings);
            title = strings.slot[VS_FILE_DESCRIPTION];
            if (title.empty())
                title = strings.slot[VS_PRODUCT_NAME];
        }
        AddEntry(title.c_str(), target, path, "", GROUP_STARTUP, 0);
    } else if (EndsWith(path, "exe")) {
        GetVersionStrings(path, &strings);
        const char* title = strings.slot[VS_FILE_DESCRIPTION][0] ? strings.slot[VS_FILE_DESCRIPTION]
                                                                 : strings.slot[VS_PRODUCT_NAME];
        AddEntry(title, path, path, "", GROUP_STARTUP, 0);
    } else if (EndsWith(path, "ini")) {
        return;
    } else {
        AddEntry("", path, "", "", GROUP_STARTUP, 0);
    }
    g_walkFound = 1;
}

static int CookieStep(const char* path, const WIN32_FIND_DATAA* data, int modeArgument)
{
    g_walkFound = 0;
    if ((data->dwFileAttributes & FILE_ATTRIBUTE_SYSTEM) || !EndsWith(data->cFileName, ".txt"))
        return 0;
    if (modeArgument == 1 && CookieMatchesFilter(path)) {
        // Read-only or not, only the listed file; failure is ignored.
        DeleteListedFile(path);
        return 0;
    }
    char created[32];
    CreationTimeText(path, created);
    return AddEntry(data->cFileName, path, "", created, INFO_COOKIE, 0) ? 0 : 1;
}

static void HiddenStep(const char* path, const WIN32_FIND_DATAA* data)
{
    if (!(data->dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) ||
        (data->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    VersionStrings strings;
    GetVersionStrings(path, &strings);
    int tag = (data->dwFileAttributes & FILE_ATTRIBUTE_SYSTEM) ? 0 : 1;
    AddEntry(strings.slot[VS_PRODUCT_NAME], path, path, "", TYPE_HIDDEN, tag);
}

int spBuildProc(const char* path, const WIN32_FIND_DATAA* data, int modeArgument)
{
    if (data->dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY)
        return 0;
    char item[MAX_PATH * 2];
    lstrcpynA(item, path, sizeof(item));
    DropTrailingBackslash(item);
    switch (g_walkMode) {
    case WALK_STARTUP:
        AddStartupItem(item);
        return 0;
    case WALK_COOKIES:
        return CookieStep(item, data, modeArgument);
    case WALK_HIDDEN:
        HiddenStep(item, data);
        return 0;
    }
    return 0;
}

int BuildHiddenFileList()
{
    ClearEntries();
    SetWalkMode(WALK_HIDDEN);
    char folder[MAX_PATH + 1] = "";
    WalkFolder("C:\\", spBuildProc, 0, 0);
    GetWindowsDirectoryA(folder, sizeof(folder));
    WalkFolder(folder, spBuildProc, 0, 0);
    GetSystemDirectoryA(folder, sizeof(folder));
    WalkFolder(folder, spBuildProc, 1, 0);
    if (GetRegValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                    "CommonFilesDir", folder, sizeof(folder)))
        WalkFolder(folder, spBuildProc, 1, 0);
    DWORD n = GetTempPathA(sizeof(folder), folder);
    if (n > 0 && n < sizeof(folder)) {
        DropTrailingBackslash(folder);
        WalkFolder(folder, spBuildProc, 1, 0);
    }
    return EntryCount();
}
