// Time of the hijack scan log and of the HTML report over 4096 startup entries (half of them
// programs with version resources) and 1000 services. The interface language is left unset,
// so every text the reports load is looked for in the registry first, as for a translated
// interface (the slower case). Prints the figures; exits with 1 when either report takes
// 1 second or more.
#include <windows.h>
#include <cstdio>
#include <string>
#include "bench/benchutil.h"
#include "entrylist.h"
#include "findrun.h"
#include "hijacklog.h"
#include "inventories.h"
#include "program.h"
#include "reportlog.h"

using bench::Now;

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kServices[] = "SYSTEM\\CurrentControlSet\\Services";
const int kRunValues = 4096, kServiceKeys = 1000;

void Fill(bool add, const std::string& versioned)
{
    HKEY run;
    RegCreateKeyA(HKEY_CURRENT_USER, kRunKey, &run);
    for (int i = 0; i < kRunValues; i++) {
        char name[32];
        snprintf(name, sizeof(name), "KxBench%04d", i);
        std::string data = i % 2 ? versioned : "C:\\kxbench\\plain" + std::to_string(i) + ".exe";
        if (add)
            RegSetValueExA(run, name, 0, REG_SZ, (const BYTE*)data.c_str(), (DWORD)data.size() + 1);
        else
            RegDeleteValueA(run, name);
    }
    RegCloseKey(run);
    for (int i = 0; i < kServiceKeys; i++) {
        char path[128];
        snprintf(path, sizeof(path), "%s\\KxBenchService%04d", kServices, i);
        if (!add) {
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, path);
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, path);
            continue;
        }
        HKEY key;
        RegCreateKeyA(HKEY_LOCAL_MACHINE, path, &key);
        DWORD type = SERVICE_WIN32_OWN_PROCESS, start = SERVICE_DEMAND_START;
        RegSetValueExA(key, "Type", 0, REG_DWORD, (const BYTE*)&type, 4);
        RegSetValueExA(key, "Start", 0, REG_DWORD, (const BYTE*)&start, 4);
        RegSetValueExA(key, "ImagePath", 0, REG_SZ, (const BYTE*)versioned.c_str(),
                       (DWORD)versioned.size() + 1);
        std::string title = std::string("Kx Bench Service ") + std::to_string(i);
        RegSetValueExA(key, "DisplayName", 0, REG_SZ, (const BYTE*)title.c_str(),
                       (DWORD)title.size() + 1);
        RegCloseKey(key);
    }
}

}   // namespace

int main(int argc, char** argv)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    std::string folder = bench::FolderOf(self);
    SetProgramFolder(folder.c_str());
    if (argc > 1 && std::string(argv[1]) == "--clean") {   // after an interrupted run
        Fill(false, "");
        return 0;
    }
    Fill(true, folder + "\\kxfx_app.exe");
    bench::WaitUntilKeysSettled({{HKEY_CURRENT_USER, kRunKey}, {HKEY_LOCAL_MACHINE, kServices}});
    double start = Now();
    ClearEntries();
    BuildRun();
    printf("startup inventory alone: %.3f s\n", Now() - start);
    fflush(stdout);
    start = Now();
    ListServices();
    printf("services inventory alone: %.3f s\n", Now() - start);
    fflush(stdout);
    start = Now();
    WriteHijackScanLogTo((folder + "\\bench-hijack.log").c_str());
    double log = Now() - start;
    printf("hijack log: %.3f s\n", log);
    fflush(stdout);
    start = Now();
    WriteReportLogTo((folder + "\\bench-report.html").c_str(), 1);
    double report = Now() - start;
    Fill(false, "");
    DeleteFileA((folder + "\\bench-hijack.log").c_str());
    DeleteFileA((folder + "\\bench-report.html").c_str());
    const std::string machine = std::to_string(kRunValues) + " startup entries, " +
                                std::to_string(kServiceKeys) + " services";
    bool met = bench::Figure("hijack log, " + machine, log * 1000, "ms", 1000);
    met = bench::Figure("HTML report, " + machine, report * 1000, "ms", 1000) && met;
    return met ? 0 : 1;
}
