// Loaded at run time rather than imported: the monitor must run without the library.
#include "voltexa.h"
#include "handles.h"
#include "program.h"
#include "trace.h"

static Module g_voltexa;

int VoltexaLoaded() { return g_voltexa ? 1 : 0; }

void VoltexaStart(HWND window)
{
    if (g_voltexa)
        return;
    // Only from our own folder, never from the search path.
    char path[MAX_PATH + 16];
    ProgramFilePath("VOLTEXA.DLL", path, sizeof(path));
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return;
    g_voltexa.reset(LoadLibraryA(path));
    if (!g_voltexa)
        return;
    Trace("Voltexa", "loaded");
    typedef int(WINAPI * StartFn)(HWND);
    auto start = (StartFn)(void*)GetProcAddress(g_voltexa.get(), MAKEINTRESOURCEA(2));
    if (start)
        start(window);
}

void VoltexaExit()
{
    if (!g_voltexa)
        return;
    typedef int(WINAPI * ExitFn)();
    auto exitHook = (ExitFn)(void*)GetProcAddress(g_voltexa.get(), MAKEINTRESOURCEA(3));
    if (exitHook)
        exitHook();
    g_voltexa.reset();
}
