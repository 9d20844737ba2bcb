// Time from a new extension in a Chrome profile that holds 50 others to the monitor's alert
// window, with the real Kestrix.exe: the profile's Preferences is written again with one more
// extension (a new id each run), as Chrome writes it, 10 runs from idle, each answered Yes.
// Prints every run, the median and the maximum; exits with 1 when the median is 500 ms or more.
#include <windows.h>
#include <shlobj.h>
#include <cstdio>
#include <string>
#include <vector>
#include "bench/benchutil.h"

using namespace bench;

namespace {

const int kExtensions = 50;
const int kRuns = 10;

// A 32-letter id from a-p, as Chromium's are.
std::string ExtensionId(int n)
{
    std::string id(32, 'a');
    for (int i = 0; i < 32 && n; i++, n /= 16)
        id[31 - i] = (char)('a' + n % 16);
    return id;
}

std::string Preferences(int extra)
{
    std::string text = "{\"extensions\":{\"settings\":{";
    for (int i = 0; i < kExtensions + (extra ? 1 : 0); i++) {
        int n = i < kExtensions ? 1000 + i : extra;
        char entry[400];
        snprintf(entry, sizeof(entry),
                 "%s\"%s\":{\"location\":1,\"path\":\"%s\\\\1.0_0\",\"from_webstore\":true,"
                 "\"manifest\":{\"name\":\"Bench Extension %d\",\"version\":\"1.0\"}}",
                 i ? "," : "", ExtensionId(n).c_str(), ExtensionId(n).c_str(), n);
        text += entry;
    }
    return text + "}},\"homepage\":\"https://bench.example/\"}";
}

bool WriteWhole(const std::string& path, const std::string& text)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, text.data(), (DWORD)text.size(), &written, nullptr) && written == text.size();
    CloseHandle(file);
    return ok;
}

void RemoveTree(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = folder + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
}

void Answer(HWND alert, int button)
{
    PostMessageA(alert, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(alert, button));
    for (int i = 0; i < 500 && IsWindow(alert); i++)
        Sleep(10);
}

}   // namespace

int main()
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    std::string tests = FolderOf(self);
    std::string monitorSource = FolderOf(tests) + "\\Kestrix.exe";
    char caption[256] = "";
    std::string folder, monitor;
    if (!PrepareMonitorRun(monitorSource, "kxbenchbrowsers", caption, sizeof(caption), &folder, &monitor))
        return 1;
    // The browser alert is a message box under the program's caption.
    const char* alertCaption = "Kestrix";

    char local[MAX_PATH] = "";
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local))) {
        FigureMissing("new extension beside 50: write to alert", "no local application data folder");
        return 1;
    }
    const std::string google = std::string(local) + "\\Google";
    if (GetFileAttributesA(google.c_str()) != INVALID_FILE_ATTRIBUTES) {
        FigureMissing("new extension beside 50: write to alert", "the prefix has a Google folder of its own");
        return 1;
    }
    const std::string profile = google + "\\Chrome\\User Data\\Default";
    for (const std::string& made : {google, google + "\\Chrome", google + "\\Chrome\\User Data", profile})
        CreateDirectoryA(made.c_str(), nullptr);
    const std::string preferences = profile + "\\Preferences";
    WriteWhole(preferences, Preferences(0));

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
    bool met = true;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi)) {
        met = FigureMissing("new extension beside 50: write to alert", "the monitor did not start");
    } else {
        HWND monitorWindow = WaitForWindow("Kestrix", nullptr, 15);
        // Past the monitor's first seconds.
        Sleep(5000);
        std::vector<double> times;
        for (int run = 0; run < kRuns && monitorWindow; run++) {
            double start = Now();
            WriteWhole(preferences, Preferences(5000 + run));
            HWND alert = WaitForWindow("#32770", alertCaption, 10);
            double elapsed = Now() - start;
            if (!alert) {
                printf("run %2d: no alert within 10 s\n", run);
                times.push_back(10);
                continue;
            }
            times.push_back(elapsed);
            printf("run %2d: %4.0f ms\n", run, elapsed * 1000);
            fflush(stdout);
            Sleep(100);
            Answer(alert, IDYES);
            // Measured from idle: a change within a second of the last pass waits for the tick.
            Sleep(3000);
        }
        if (times.empty()) {
            met = FigureMissing("new extension beside 50: write to alert", "the monitor did not start");
        } else {
            met = Figure("new extension beside 50: write to alert, median", Median(times) * 1000, "ms", 500);
            Figure("new extension beside 50: write to alert, maximum", Maximum(times) * 1000, "ms");
        }
        if (monitorWindow)
            PostMessageA(monitorWindow, WM_COMMAND, 6030, 0);
        if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0)
            TerminateProcess(pi.hProcess, 1);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    ForgetMonitorData();
    RemoveTree(google);
    for (const char* file : {"history.txt", "send2ov.txt", "Kestrix.exe"})
        DeleteFileA((folder + "\\" + file).c_str());
    RemoveDirectoryA(folder.c_str());
    return met ? 0 : 1;
}
