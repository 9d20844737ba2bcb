// Time to learn who signed the programs of 4096 startup entries that share 50 files (a third
// signed, a third unsigned, a third with a broken signature), with no answer kept beforehand:
// once checked in line as the hide option and the reports do, once through the worker thread
// as a page does, and once more with the answers kept. Then the real KestrixEx.exe with those
// 4096 entries as Run values: the time from its start to a Startup list holding every row
// (each start is cold: answers are kept in the process), against the page's own target and
// against the same page whose 4096 entries name two unsigned programs, as the manager's own
// benchmark lists them (next to nothing to check), measured in the same run under the same
// load. Last the page whose 4096 entries name 50 programs that do not exist (removed programs
// left behind in Run): nothing to check, so it should open about as fast as the page of
// existing ones. Prints the figures; exits with 1 when a cold run or the page of existing
// programs takes 1 second or more, or the page of missing ones 2 seconds or more.
#include "entrylist.h"
#include "signature.h"
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <set>
#include <string>
#include <vector>
#include "bench/benchutil.h"

using bench::Now;

namespace {

const int kEntries = 4096;
const int kFiles = 50;
const UINT kAnswer = WM_APP + 1;

std::string Folder()
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    return bench::FolderOf(self);
}

// Every entry's program checked one after another in one pass, as the hide option and the
// reports do.
double CheckInLine()
{
    double start = Now();
    SignaturePass pass;
    for (int i = 0; i < EntryCount(); i++)
        pass.Check(GetEntry(i)->command);
    return Now() - start;
}

// The distinct programs asked of the worker, then every answer awaited.
double CheckOnWorker(HWND window, int* answered)
{
    double start = Now();
    SignaturePass pass;
    std::set<std::string> programs;
    for (int i = 0; i < EntryCount(); i++)
        programs.insert(pass.Program(GetEntry(i)->command));
    int asked = 0;
    for (const std::string& program : programs)
        asked += RequestFileSignature(program.c_str(), window, kAnswer, 0);
    *answered = 0;
    MSG msg;
    while (*answered < asked && Now() - start < 60 && GetMessageA(&msg, window, 0, 0) > 0)
        if (msg.message == kAnswer)
            ++*answered;
    return Now() - start;
}

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

void SetRunValues(const std::vector<std::string>& files, bool add)
{
    HKEY key;
    if (RegCreateKeyA(HKEY_CURRENT_USER, kRunKey, &key) != ERROR_SUCCESS)
        return;
    for (int i = 0; i < kEntries; i++) {
        std::string name = "KxBench" + std::to_string(i);
        std::string data = "\"" + files[i % files.size()] + "\" /entry" + std::to_string(i);
        if (add)
            RegSetValueExA(key, name.c_str(), 0, REG_SZ, (const BYTE*)data.c_str(), (DWORD)data.size() + 1);
        else
            RegDeleteValueA(key, name.c_str());
    }
    RegCloseKey(key);
}

BOOL CALLBACK FindList(HWND child, LPARAM found)
{
    if (GetDlgCtrlID(child) == 1000 && IsWindowVisible(child)) {
        *(HWND*)found = child;
        return FALSE;
    }
    return TRUE;
}

// Seconds from the manager's start to its Startup list holding every row (-1: never).
double OpenStartupPage(const std::string& command)
{
    std::string line = command;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    double start = Now(), filled = -1;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    HWND sheet = nullptr, list = nullptr;
    while (Now() - start < 120) {
        if (!sheet)
            sheet = FindWindowA("#32770", "Kestrix");
        if (sheet && !list)
            EnumChildWindows(sheet, FindList, (LPARAM)&list);
        if (list && SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) >= kEntries) {
            filled = Now() - start;
            break;
        }
        Sleep(5);
    }
    HWND main = FindWindowA("KestrixEx", nullptr);
    if (main)
        PostMessageA(main, WM_COMMAND, 6030, 0);
    if (WaitForSingleObject(pi.hProcess, 20000) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return filled;
}

// The usual start, the median of three (the first start, not counted, also makes the
// monitor's baseline of every program).
double StartupPage(const std::string& command, const std::vector<std::string>& files)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Orvane");
    bench::SetText(HKEY_CURRENT_USER, "Software\\Orvane\\Kestrix\\Options", "Sound", "0");
    SetRunValues(files, true);
    OpenStartupPage(command);
    std::vector<double> starts;
    for (int i = 0; i < 3; i++) {
        double seconds = OpenStartupPage(command);
        if (seconds < 0) {
            starts.clear();
            break;
        }
        starts.push_back(seconds);
    }
    SetRunValues(files, false);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Orvane");
    return starts.empty() ? -1 : bench::Median(starts);
}

}   // namespace

int main()
{
    std::string fixtures = Folder();
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    std::string folder = std::string(temp) + "kxsigbench" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    const char* kinds[] = {"kxfx_signed.exe", "kxfx_app.exe", "kxfx_broken.exe"};
    std::vector<std::string> files;
    for (int f = 0; f < kFiles; f++) {
        std::string file = folder + "\\program" + std::to_string(f) + ".exe";
        if (!CopyFileA((fixtures + "\\" + kinds[f % 3]).c_str(), file.c_str(), FALSE)) {
            printf("cannot copy %s\n", kinds[f % 3]);
            return 1;
        }
        files.push_back(file);
    }
    ClearEntries();
    for (int i = 0; i < kEntries; i++) {
        std::string command = "\"" + files[i % kFiles] + "\" /entry" + std::to_string(i);
        AddEntry(("KxBench" + std::to_string(i)).c_str(), command.c_str(), "", "", CURRENT_RUN, 0);
    }
    HWND window = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);

    ForgetFileSignatures();
    double inLine = CheckInLine();
    double kept = CheckInLine();
    ForgetFileSignatures();
    int answered = 0;
    double worker = CheckOnWorker(window, &answered);

    const std::string entries = std::to_string(EntryCount()) + " entries sharing " +
                                std::to_string(kFiles) + " files";
    bool met = bench::Figure(entries + ", cold, checked in line", inLine * 1000, "ms", 1000);
    met = bench::Figure(entries + ", cold, through the worker", worker * 1000, "ms", 1000) && met;
    bench::Figure(entries + ", answers kept", kept * 1000, "ms");
    if (answered != kFiles)
        met = bench::FigureMissing(entries + ", worker answers", "not every file was answered");

    std::string manager = "\"" + bench::FolderOf(fixtures) + "\\KestrixEx.exe\"";
    double page = StartupPage(manager, files);
    double usual = StartupPage(manager, {fixtures + "\\kxfx_app.exe", fixtures + "\\kxfx_plain.exe"});
    std::vector<std::string> absent;
    for (int f = 0; f < kFiles; f++)
        absent.push_back(folder + "\\absent" + std::to_string(f) + ".exe");
    double missing = StartupPage(manager, absent);
    if (page < 0 || usual < 0) {
        met = bench::FigureMissing("Startup page with " + entries, "the list never filled within 120 s");
    } else {
        met = bench::Figure("Startup page with " + entries + ", start to every row", page * 1000, "ms",
                            1000) && met;
        bench::Figure("the same page naming 2 unsigned programs", usual * 1000, "ms");
        bench::Figure("50 files' page against 2 files' page", page / usual * 100, "%");
    }
    const std::string absentPage = "Startup page with " + std::to_string(kEntries) +
                                   " entries naming 50 missing programs";
    if (missing < 0) {
        met = bench::FigureMissing(absentPage, "the list never filled within 120 s");
    } else {
        met = bench::Figure(absentPage + ", start to every row", missing * 1000, "ms", 2000) && met;
        if (page > 0)
            bench::Figure("50 missing programs' page against 50 files' page", missing / page * 100,
                          "%");
    }

    DestroyWindow(window);
    ClearEntries();
    for (const std::string& file : files)
        DeleteFileA(file.c_str());
    RemoveDirectoryA(folder.c_str());
    return met ? 0 : 1;
}
