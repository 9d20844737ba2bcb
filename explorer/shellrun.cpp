#include "shellrun.h"
#include "explorerseams.h"
#include <shellapi.h>

static ShellRunHook g_hook;

void SetShellRunHook(ShellRunHook hook) { g_hook = hook; }

int ShellRun(HWND owner, const char* verb, const char* file, const char* parameters)
{
    if (g_hook)
        return g_hook(verb, file, parameters);
    return (INT_PTR)ShellExecuteA(owner, verb, file, parameters, nullptr, SW_SHOWNORMAL) > 32;
}

int RunCommandLine(const char* commandLine, int show)
{
    if (g_hook)
        return g_hook("winexec", commandLine, nullptr);
    return WinExec(commandLine, show) > 31;
}

int ShowFileProperties(HWND owner, const char* file)
{
    if (g_hook)
        return g_hook("properties", file, nullptr);
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_INVOKEIDLIST;
    info.hwnd = owner;
    info.lpVerb = "properties";
    info.lpFile = file;
    info.nShow = SW_SHOW;
    return ShellExecuteExA(&info) != 0;
}
