// Time from the start of the real KestrixEx.exe to its Startup Programs list holding a row for
// each of 4000 Run values (half of them programs with version resources), and the time of a
// switch to the next tab and back with that list; then the time each inventory page takes to
// be filled and drawn (the File Types page with 150 watched extensions). Prints the figures;
// exits with 1 when the fill takes 1 second or more, the tab switch 200 ms or more, or a page
// 1 second or more.
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <string>
#include "bench/benchutil.h"

using bench::Now;

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const int kValues = 4000;

std::string Folder()
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    std::string path = self;
    return path.substr(0, path.find_last_of('\\'));
}

void SetRunValues(bool add, const std::string& versioned, const std::string& plain)
{
    HKEY key;
    if (RegCreateKeyA(HKEY_CURRENT_USER, kRunKey, &key) != ERROR_SUCCESS)
        return;
    for (int i = 0; i < kValues; i++) {
        char name[32];
        snprintf(name, sizeof(name), "KxBench%04d", i);
        if (add) {
            const std::string& data = i % 2 ? versioned : plain;
            RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)data.c_str(), (DWORD)data.size() + 1);
        } else {
            RegDeleteValueA(key, name);
        }
    }
    RegCloseKey(key);
}

struct Finder {
    HWND found;
};

BOOL CALLBACK FindList(HWND child, LPARAM arg)
{
    if (GetDlgCtrlID(child) == 1000 && IsWindowVisible(child)) {
        ((Finder*)arg)->found = child;
        return FALSE;
    }
    return TRUE;
}

// One start of the manager: seconds to the full list and to switch away and back (-1 when
// the list never filled).
void RunOnce(const std::string& command, double* filled, double* switched)
{
    *filled = *switched = -1;
    std::string line = command;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    double start = Now();
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return;
    HWND sheet = nullptr, list = nullptr;
    while (Now() - start < 120) {
        if (!sheet)
            sheet = FindWindowA("#32770", "Kestrix");
        if (sheet && !list) {
            Finder f = {nullptr};
            EnumChildWindows(sheet, FindList, (LPARAM)&f);
            list = f.found;
        }
        if (list && SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) >= kValues) {
            *filled = Now() - start;
            break;
        }
        Sleep(5);
    }
    if (*filled >= 0) {
        double before = Now();
        SendMessageA(sheet, PSM_SETCURSEL, 1, 0);
        SendMessageA(sheet, PSM_SETCURSEL, 0, 0);
        *switched = Now() - before;
    }
    HWND main = FindWindowA("KestrixEx", nullptr);
    if (main)
        PostMessageA(main, WM_COMMAND, 6030, 0);
    if (WaitForSingleObject(pi.hProcess, 20000) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}

// The watched file types the File Types page lists: as many extensions as the watch list holds,
// each opened by a versioned program.
const int kExtensions = 150;   // "kbNNN;" each: the list stays under its 1020 characters

void SetFileTypes(bool add, const std::string& program)
{
    std::string list;
    for (int i = 0; i < kExtensions; i++) {
        char ext[16], cls[32], key[96];
        snprintf(ext, sizeof(ext), "kb%03d", i);
        snprintf(cls, sizeof(cls), "KxBenchFile%03d", i);
        snprintf(key, sizeof(key), "Software\\Classes\\.%s", ext);
        std::string command = "Software\\Classes\\" + std::string(cls) + "\\shell\\open\\command";
        if (add) {
            bench::SetText(HKEY_LOCAL_MACHINE, key, "", cls);
            bench::SetText(HKEY_LOCAL_MACHINE, command.c_str(), "", "\"" + program + "\" \"%1\"");
            list += std::string(list.empty() ? "" : ";") + ext;
        } else {
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, key);
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, ("Software\\Classes\\" + std::string(cls)).c_str());
        }
    }
    if (add)
        bench::SetText(HKEY_CURRENT_USER, "Software\\Orvane\\Kestrix\\Class", "", list);
}

// Seconds each inventory tab takes to be filled and drawn (-1 when the sheet never showed).
void RunPages(const std::string& command, double seconds[9])
{
    for (int i = 0; i < 9; i++)
        seconds[i] = -1;
    std::string line = command;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return;
    HWND sheet = nullptr;
    for (double start = Now(); !sheet && Now() - start < 60; Sleep(20))
        sheet = FindWindowA("#32770", "Kestrix");
    WaitForInputIdle(pi.hProcess, 10000);
    // Tabs 1 to 8 without the cookie filter (6): Delayed Start to Hidden Files.
    for (int tab = 1; sheet && tab <= 8; tab++) {
        if (tab == 6)
            continue;
        double before = Now();
        SendMessageA(sheet, PSM_SETCURSEL, tab, 0);
        RedrawWindow(sheet, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        SendMessageA(sheet, WM_NULL, 0, 0);
        seconds[tab] = Now() - before;
    }
    HWND main = FindWindowA("KestrixEx", nullptr);
    if (main)
        PostMessageA(main, WM_COMMAND, 6030, 0);
    if (WaitForSingleObject(pi.hProcess, 20000) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}

}   // namespace

int main()
{
    std::string folder = Folder();
    std::string versioned = folder + "\\kxfx_app.exe", plain = folder + "\\kxfx_plain.exe";
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Orvane");
    HKEY options;
    if (RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Orvane\\Kestrix\\Options", &options) == ERROR_SUCCESS) {
        RegSetValueExA(options, "Sound", 0, REG_SZ, (const BYTE*)"0", 2);
        RegCloseKey(options);
    }
    SetRunValues(true, versioned, plain);

    std::string command = "\"" + folder.substr(0, folder.find_last_of('\\')) + "\\KestrixEx.exe\"";
    // The first start also makes the baseline of every program; the second is the usual case.
    double firstFill, firstSwitch, filled, switched;
    RunOnce(command, &firstFill, &firstSwitch);
    // The usual case reads keys written a while ago, whenever the first run ended.
    bench::WaitUntilKeysSettled({{HKEY_CURRENT_USER, kRunKey}});
    RunOnce(command, &filled, &switched);
    SetRunValues(false, versioned, plain);
    // The other pages, with the startup list back to its usual size.
    SetFileTypes(true, versioned);
    double pages[9];
    RunPages(command, pages);
    SetFileTypes(false, versioned);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Orvane");

    const std::string rows = std::to_string(kValues) + " rows";
    if (filled < 0 || firstFill < 0)
        return bench::FigureMissing("manager start to " + rows, "the list never filled within 120 s"), 1;
    bench::Figure("manager first start (baseline made too) to " + rows, firstFill * 1000, "ms");
    bool met = bench::Figure("manager second start to " + rows, filled * 1000, "ms", 1000);
    met = bench::Figure("tab switch away and back with " + rows, switched * 1000, "ms", 200) && met;
    static const char* const kTabs[9] = {"", "Delayed Start", "IE Helpers", "Scheduled Tasks",
                                         "Services", "Active Tasks", "", "File Types", "Hidden Files"};
    for (int tab = 1; tab <= 8; tab++) {
        if (tab == 6)
            continue;
        std::string name = std::string(kTabs[tab]) + " page filled and drawn";
        met = (pages[tab] >= 0 ? bench::Figure(name, pages[tab] * 1000, "ms", 1000)
                               : bench::FigureMissing(name, "never filled")) && met;
    }
    return met ? 0 : 1;
}
