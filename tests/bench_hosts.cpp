// Time from an edit of the HOSTS file to the monitor's file-change alert window, over 10 runs
// with the real Kestrix.exe, each edit accepted so that the next one is a change again. Prints
// every run, the median and the maximum; exits with 1 when the median is 1 second or more.
#include "sysfiles.h"
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>
#include "bench/benchutil.h"

using namespace bench;

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// The system-file check is off on Windows major version 6, which Wine reports by default.
const char kVersionKey[] = "Software\\Wine\\AppDefaults\\Kestrix.exe";
const char kAlertCaption[] = "Kestrix: File Change Alert";
const int kRuns = 10;

bool ReadWhole(const std::string& path, std::string* bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD size = GetFileSize(file, nullptr), got = 0;
    bytes->assign(size, 0);
    bool ok = size == 0 || ReadFile(file, &(*bytes)[0], size, &got, nullptr);
    CloseHandle(file);
    return ok && got == size;
}

bool WriteWhole(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

}   // namespace

int main()
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    std::string monitorSource = FolderOf(FolderOf(self)) + "\\Kestrix.exe";
    char caption[256] = "";
    std::string folder, monitor;
    if (!PrepareMonitorRun(monitorSource, "kxhosts", caption, sizeof(caption), &folder, &monitor))
        return 1;
    char hostsPath[MAX_PATH] = "";
    GetHOSTSFile(hostsPath, sizeof(hostsPath));
    std::string hosts = hostsPath, original;
    bool hadHosts = ReadWhole(hosts, &original);
    std::string machineEntry;
    bool hadMachineEntry = ReadText(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix", &machineEntry);

    ForgetMonitorData();
    SetText(HKEY_CURRENT_USER, kVersionKey, "Version", "winxp");
    const char* options = "Software\\Orvane\\Kestrix\\Options";
    SetText(HKEY_CURRENT_USER, options, "HideRufo", "1");
    SetText(HKEY_CURRENT_USER, options, "Sound", "0");
    std::string text = "127.0.0.1 localhost\r\n::1 localhost\r\n";
    WriteWhole(hosts, text);

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
    // The first start records the file; then the first passes go by.
    std::string location;
    for (int i = 0; i < 300 && !ReadText(HKEY_LOCAL_MACHINE, "Software\\Orvane\\Kestrix\\Sysfiles\\HOSTS",
                                         "Location", &location);
         i++)
        Sleep(50);
    Sleep(3000);

    std::vector<double> times;
    for (int run = 0; run < kRuns && monitorWindow && !location.empty(); run++) {
        text += "10.0.0." + std::to_string(run + 1) + " kxbench" + std::to_string(run) + "\r\n";
        double start = Now();
        WriteWhole(hosts, text);
        HWND alert = WaitForWindow("#32770", kAlertCaption, 10);
        double elapsed = Now() - start;
        if (!alert) {
            printf("run %2d: no alert within 10 s\n", run + 1);
            times.push_back(10);
            continue;
        }
        times.push_back(elapsed);
        printf("run %2d: %4.0f ms\n", run + 1, elapsed * 1000);
        fflush(stdout);
        Sleep(100);
        // Accept: the edit becomes the saved state, so the next edit is a change again.
        PostMessageA(alert, WM_COMMAND, MAKEWPARAM(1172, BN_CLICKED), (LPARAM)GetDlgItem(alert, 1172));
        for (int i = 0; i < 500 && IsWindow(alert); i++)
            Sleep(10);
        Sleep(3000);
    }

    if (monitorWindow)
        PostMessageA(monitorWindow, WM_COMMAND, 6030, 0);
    if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    if (hadHosts)
        WriteWhole(hosts, original);
    char copy[MAX_PATH];
    SavedCopyPath("HOSTS", copy, sizeof(copy));
    DeleteFileA(copy);
    DeleteFileA((std::string(copy) + ".previous").c_str());
    ForgetMonitorData();
    RegDeleteTreeA(HKEY_CURRENT_USER, kVersionKey);
    if (hadMachineEntry)
        SetText(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix", machineEntry);
    else
        DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, "Kestrix");
    for (const char* file : {"history.txt", "send2ov.txt", "Kestrix.exe"})
        DeleteFileA((folder + "\\" + file).c_str());
    RemoveDirectoryA(folder.c_str());

    if (times.empty())
        return FigureMissing("HOSTS edit to alert", "the monitor did not record the HOSTS file"), 1;
    bool met = Figure("HOSTS edit to alert, median", Median(times) * 1000, "ms", 1000);
    Figure("HOSTS edit to alert, maximum", Maximum(times) * 1000, "ms");
    return met ? 0 : 1;
}
