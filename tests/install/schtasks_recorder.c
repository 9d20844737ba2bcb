/* Stands in for schtasks.exe in the install test's prefix: Wine's Task Scheduler keeps no
 * trigger, principal or action of a task it registers, so the installer's calls are recorded
 * instead. Each call appends its command line to C:\kx-schtasks\calls.txt and keeps a copy of
 * the task file it was given as C:\kx-schtasks\task<n>.xml. */
#include <windows.h>
#include <stdio.h>
#include <string.h>

int main(void)
{
    const char* line = GetCommandLineA();
    CreateDirectoryA("C:\\kx-schtasks", NULL);
    FILE* calls = fopen("C:\\kx-schtasks\\calls.txt", "ab");
    if (!calls)
        return 2;
    fprintf(calls, "%s\r\n", line);
    long count = ftell(calls);
    fclose(calls);

    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    for (int i = 1; argv && i + 1 < argc; i++) {
        if (lstrcmpiW(argv[i], L"/xml") == 0) {
            wchar_t copy[64];
            swprintf(copy, 64, L"C:\\kx-schtasks\\task%ld.xml", count);
            if (!CopyFileW(argv[i + 1], copy, FALSE))
                return 3;
        }
    }
    return 0;
}
