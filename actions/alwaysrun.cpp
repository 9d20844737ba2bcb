#include "alwaysrun.h"
#include "findrun.h"
#include "handles.h"
#include "keys.h"
#include "program.h"
#include "registry.h"
#include "runactions.h"
#include "trace.h"
#include <windows.h>
#include <cstdio>

static const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

int IsAlwaysRun()
{
    RegKey key;
    if (!key.open(HKEY_LOCAL_MACHINE, kRunKey, KEY_QUERY_VALUE))
        return 0;
    return RegQueryValueExA(key.get(), g_programCaption, nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

void AlwaysRunCommand(char* out, int capacity)
{
    // Quoted, so that a folder with blanks cannot start another program at logon.
    char path[MAX_PATH + 16];
    ProgramFilePath("kestrix.exe", path, sizeof(path));
    snprintf(out, capacity, "\"%s\"", path);
}

int AddAlwaysRun()
{
    Trace("AddAlwaysRun", "alwaysrun");
    char command[MAX_PATH + 24];
    AlwaysRunCommand(command, sizeof(command));
    int written = SetRegValue(HKEY_LOCAL_MACHINE, kRunKey, g_programCaption, command);
    // The known-entry name is the startup key name of the path as the startup inventory
    // lists it (without quotes), with "=" as ":".
    char name[MAX_PATH + 16];
    ProgramFilePath("kestrix.exe", name, sizeof(name));
    for (char* p = name; *p; p++)
        if (*p == '=')
            *p = ':';
    SetRegValue(HKEY_CURRENT_USER, KX_KEY "\\Run", name, "1");
    return written;
}

int RemoveAlwaysRun()
{
    Trace("RemoveAlwaysRun", "alwaysrun");
    char path[MAX_PATH + 16];
    ProgramFilePath("kestrix.exe", path, sizeof(path));
    return DeleteRunProgram(g_programCaption, path, "", 1) ? 1 : 0;
}
