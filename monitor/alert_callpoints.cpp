// Call points of the alerts into parts of the system that are not built yet. Each keeps the
// documented "nothing happened" result until its owner fills it.
#include "alert_callpoints.h"
#include "pathutil.h"
#include "program.h"
#include "resstring.h"
#include "sysfileactions.h"
#include "sysfiles.h"
#include "systemfiles.h"
#include "taskstop.h"
#include <shellapi.h>
#include <cstdio>

void LookupProgramOnline(HWND, int, const char*)
{
    // Online program information: filled by the online-information work.
}

static int (*g_helpSeam)(HWND, int);

void SetHelpPageSeam(int (*opener)(HWND, int)) { g_helpSeam = opener; }

void HelpFileName(int pageId, char* out, int capacity)
{
    const char* page = pageId == 6051 ? "helpme.html" : "features.html";
    char code[16] = "";
    LoadResString(634, code, sizeof(code));
    if (code[0] && lstrcmpiA(code, "us") != 0)
        snprintf(out, capacity, "%s_%s", code, page);
    else
        snprintf(out, capacity, "%s", page);
}

int OpenHelpPage(HWND owner, int pageId)
{
    if (g_helpSeam)
        return g_helpSeam(owner, pageId);
    char name[MAX_PATH], path[MAX_PATH];
    HelpFileName(pageId, name, sizeof(name));
    ProgramFilePath(name, path, sizeof(path));
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return 0;   // the maker's web copy: filled with the explorer's help routine
    return (INT_PTR)ShellExecuteA(owner, "open", path, nullptr, ProgramFolder(), SW_SHOWNORMAL) > 32;
}

int ViewWatchedFile(const char* path)
{
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return 0;
    // Quoted: a path with blanks would otherwise reach Notepad as several names.
    char quoted[MAX_PATH + 3];
    snprintf(quoted, sizeof(quoted), "\"%s\"", path);
    return (INT_PTR)ShellExecuteA(nullptr, "open", SystemFilePath("notepad.exe").c_str(), quoted,
                                  nullptr, SW_SHOWNORMAL) > 32;
}
int ViewSavedCopy(const char* recordName)
{
    char copy[MAX_PATH];
    SavedCopyPath(recordName, copy, sizeof(copy));
    return ViewWatchedFile(copy);
}
int AcceptSysFileChange(const char* recordName, int stopWatching)
{
    char location[MAX_PATH];
    if (!SysFileLocation(recordName, location, sizeof(location))) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    return AcceptSysFile(recordName, location, stopWatching);
}
int RejectSysFileChange(const char* recordName, int stopWatching)
{
    char location[MAX_PATH];
    if (!SysFileLocation(recordName, location, sizeof(location))) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    return RestoreSysFile(recordName, location, stopWatching);
}

// Stopped before it is removed or disabled, so that it cannot write its value back.
int StopStartupProgram(const char* command, const char* title)
{
    return StopRunningProgram(command, title, 0) != 0;
}
