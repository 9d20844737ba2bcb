// A stand-in for a delayed startup program: appends one line to "<its own path>.log" with
// its command line, the window state it was asked for and its creation time, so tests see
// what was really started, how and in which order. "-stay" keeps it running until
// "<its own path>.stop" exists (at most 60 seconds).
#include <windows.h>
#include <cstdio>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof(self));
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    unsigned long long stamp =
        ((unsigned long long)created.dwHighDateTime << 32) | created.dwLowDateTime;

    const char* line = GetCommandLineA();
    char log[MAX_PATH + 8];
    snprintf(log, sizeof(log), "%s.log", self);
    // Several copies may start at once: retry while another one holds the file.
    for (int attempt = 0; attempt < 100; attempt++) {
        HANDLE file = CreateFileA(log, FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            Sleep(20);
            continue;
        }
        char text[2048];
        int n = snprintf(text, sizeof(text), "%s|show=%d|flags=%lu|created=%llu\r\n", line,
                         (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1,
                         (unsigned long)startup.dwFlags, stamp);
        DWORD written = 0;
        WriteFile(file, text, (DWORD)n, &written, nullptr);
        CloseHandle(file);
        break;
    }

    if (strstr(line, "-stay")) {
        char stop[MAX_PATH + 8];
        snprintf(stop, sizeof(stop), "%s.stop", self);
        for (int i = 0; i < 600 && GetFileAttributesA(stop) == INVALID_FILE_ATTRIBUTES; i++)
            Sleep(100);
    }
    return 0;
}
