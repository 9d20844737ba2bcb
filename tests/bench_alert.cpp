// Time from a new Run value to the monitor's new-program alert window, over 20 runs with
// the real Kestrix.exe. Prints every run, the median and the maximum; exits with 1 when the
// median is 1 second or more or the maximum 3 seconds or more.
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const int kRuns = 20;

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

void SetText(HKEY root, const char* path, const char* name, const std::string& text)
{
    HKEY key;
    if (RegCreateKeyA(root, path, &key) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)text.c_str(), (DWORD)text.size() + 1);
    RegCloseKey(key);
}

void DeleteValue(HKEY root, const char* path, const char* name)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(key, name);
    RegCloseKey(key);
}

bool ReadText(HKEY root, const char* path, const char* name, std::string* text)
{
    char buf[1024];
    DWORD size = sizeof(buf), type = 0;
    if (RegGetValueA(root, path, name, RRF_RT_REG_SZ, &type, buf, &size) != ERROR_SUCCESS)
        return false;
    *text = buf;
    return true;
}

// The monitor's own data, so that it starts as on a fresh machine and leaves nothing behind.
void ForgetMonitorData()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Orvane");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Orvane");
}

double Now()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return (double)counter.QuadPart / (double)frequency.QuadPart;
}

HWND WaitForWindow(const char* cls, const char* caption, double seconds)
{
    double end = Now() + seconds;
    do {
        if (HWND w = FindWindowA(cls, caption))
            return w;
        Sleep(1);
    } while (Now() < end);
    return nullptr;
}

}   // namespace

int main()
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    std::string tests = FolderOf(self);
    std::string monitorSource = FolderOf(tests) + "\\Kestrix.exe";
    std::string program = tests + "\\kxfx_app.exe";

    char caption[256] = "";
    if (HMODULE strings = LoadLibraryExA(monitorSource.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
        LoadStringA(strings, 718, caption, sizeof(caption));
        FreeLibrary(strings);
    }
    if (!caption[0]) {
        printf("cannot read the alert caption from %s\n", monitorSource.c_str());
        return 1;
    }
    if (FindWindowA("Kestrix", nullptr)) {
        printf("a monitor is already running\n");
        return 1;
    }

    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    std::string folder = std::string(temp) + "kxbench" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string monitor = folder + "\\Kestrix.exe";
    if (!CopyFileA(monitorSource.c_str(), monitor.c_str(), FALSE)) {
        printf("cannot copy %s\n", monitorSource.c_str());
        return 1;
    }

    std::string machineEntry;
    bool hadMachineEntry = ReadText(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix", &machineEntry);
    ForgetMonitorData();
    const char* options = "Software\\Orvane\\Kestrix\\Options";
    SetText(HKEY_CURRENT_USER, options, "HideRufo", "1");
    SetText(HKEY_CURRENT_USER, options, "Sound", "0");

    std::string command = "\"" + monitor + "\"";
    std::vector<char> line(command.begin(), command.end());
    line.push_back(0);
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &si, &pi)) {
        printf("cannot start the monitor\n");
        return 1;
    }
    HWND monitorWindow = WaitForWindow("Kestrix", nullptr, 15);
    Sleep(2500);   // first-run set-up done and the first second of the patrol past

    std::vector<double> times;
    for (int run = 0; run < kRuns && monitorWindow; run++) {
        std::string name = "KxBench" + std::to_string(run);
        double start = Now();
        // A different command each run, so that the repeated-alert rule never applies.
        SetText(HKEY_CURRENT_USER, kRunKey, name.c_str(), program + " /run" + std::to_string(run));
        HWND alert = WaitForWindow("#32770", caption, 10);
        double elapsed = Now() - start;
        if (!alert) {
            printf("run %2d: no alert within 10 s\n", run + 1);
            times.push_back(10);
            DeleteValue(HKEY_CURRENT_USER, kRunKey, name.c_str());
            continue;
        }
        times.push_back(elapsed);
        printf("run %2d: %4.0f ms\n", run + 1, elapsed * 1000);
        fflush(stdout);
        Sleep(100);
        PostMessageA(alert, WM_COMMAND, MAKEWPARAM(7, BN_CLICKED), (LPARAM)GetDlgItem(alert, 7));
        for (int i = 0; i < 500 && IsWindow(alert); i++)
            Sleep(10);
        // The monitor's own removal wakes it once more; that pass runs on the next tick and
        // a change within a second of it would wait for the tick after. Measure from idle.
        Sleep(3500);
        DeleteValue(HKEY_CURRENT_USER, kRunKey, name.c_str());
    }

    if (monitorWindow)
        PostMessageA(monitorWindow, WM_COMMAND, 6030, 0);
    if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    ForgetMonitorData();
    if (hadMachineEntry)
        SetText(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix", machineEntry);
    else
        DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix");
    for (const char* file : {"history.txt", "send2ov.txt", "Kestrix.exe"})
        DeleteFileA((folder + "\\" + file).c_str());
    RemoveDirectoryA(folder.c_str());

    if (times.empty()) {
        printf("the monitor did not start\n");
        return 1;
    }
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    double median = sorted.size() % 2 ? sorted[sorted.size() / 2]
                                      : (sorted[sorted.size() / 2 - 1] + sorted[sorted.size() / 2]) / 2;
    double maximum = sorted.back();
    bool met = median < 1.0 && maximum < 3.0;
    printf("registry write to alert window: median %.0f ms, maximum %.0f ms over %d runs "
           "(target: median < 1000 ms, maximum < 3000 ms): %s\n",
           median * 1000, maximum * 1000, (int)times.size(), met ? "met" : "MISSED");
    return met ? 0 : 1;
}
