// Stand-in for the add-on library: logs each call of its two ordinals to voltexa-calls.txt
// beside itself, so tests see when and with what the monitor calls them.
#include <windows.h>
#include <cstdio>
#include <cstring>

static HMODULE g_self;

static void Log(const char* line)
{
    char path[MAX_PATH];
    GetModuleFileNameA(g_self, path, sizeof(path));
    char* slash = strrchr(path, '\\');
    if (!slash)
        return;
    lstrcpyA(slash + 1, "voltexa-calls.txt");
    FILE* file = fopen(path, "ab");
    if (!file)
        return;
    fprintf(file, "%s\n", line);
    fclose(file);
}

extern "C" int WINAPI VoltexaReady(HWND window)
{
    char line[64];
    snprintf(line, sizeof(line), "2 %s", IsWindow(window) ? "window" : "no-window");
    Log(line);
    return 1;
}

extern "C" int WINAPI VoltexaGone()
{
    Log("3");
    return 1;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        g_self = instance;
    return TRUE;
}
