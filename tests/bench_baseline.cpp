// Wall time of a first start's baseline (first-run lists, first-seen dates, the services and
// hidden-file lists, the version check) with 4096 Run values on the machine, and of its parts.
// Prints the figures; exits with 1 when the whole takes 1 second or more.
#include "addedcategories.h"
#include "baseline.h"
#include "firstrun.h"
#include "entrylist.h"
#include "findrun.h"
#include "inventories.h"
#include "options.h"
#include "runtasks.h"
#include "bench/benchutil.h"
#include <windows.h>
#include <cstdio>
#include <string>

using bench::Now;

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const int kValues = 4096;

std::string Name(int i)
{
    char text[32];
    snprintf(text, sizeof(text), "KxBenchBase%04d", i);
    return text;
}

void SetRunValues(bool add)
{
    HKEY key;
    if (RegCreateKeyA(HKEY_CURRENT_USER, kRunKey, &key) != ERROR_SUCCESS)
        return;
    for (int i = 0; i < kValues; i++) {
        std::string data = "C:\\kxbench\\baseline\\program" + std::to_string(i) + ".exe /run";
        if (add)
            RegSetValueExA(key, Name(i).c_str(), 0, REG_SZ, (const BYTE*)data.c_str(),
                           (DWORD)data.size() + 1);
        else
            RegDeleteValueA(key, Name(i).c_str());
    }
    RegCloseKey(key);
}

}   // namespace

int main()
{
    bench::ForgetMonitorData();
    SetRunValues(true);
    CoInitialize(nullptr);
    bench::WaitUntilKeysSettled({{HKEY_CURRENT_USER, kRunKey}});

    // The parts, each on its own (later ones find the file system warm, as the start does).
    double t0 = Now();
    BuildStartupList(0);
    double startupList = Now() - t0;
    ClearEntries();
    bench::ForgetMonitorData();

    double start = Now();
    {
        StartSnapshotScope snapshot;
        StartBaseline();
        CheckDataVersion();
    }
    double whole = Now() - start;

    // The same steps one by one, on a fresh state again, to show where the time goes.
    bench::ForgetMonitorData();
    {
        double t = Now();
        StartSnapshotScope snapshot;
        printf("step: present state read: %.3f s\n", Now() - t);
        const struct {
            const char* name;
            void (*step)();
        } steps[] = {{"key skeleton", CreateKeySkeleton},
                     {"initial values", CreateInitialValues},
                     {"first-seen dates", MakeBaseline},
                     {"services list", InitServicesList},
                     {"hidden-file list", InitHiddenList},
                     {"added categories", [] { AdoptAddedCategories(1); }},
                     {"version check", CheckDataVersion}};
        for (const auto& step : steps) {
            t = Now();
            step.step();
            printf("step: %s: %.3f s\n", step.name, Now() - t);
        }
    }

    const struct {
        const char* name;
        int (*list)();
    } others[] = {{"add-ons", ListBrowserAddOns}, {"scheduled tasks", ListScheduledTasks},
                  {"services", ListServices}, {"file types", ListFileTypePrograms},
                  {"running tasks", ListRunningTasks}, {"hidden files", ListHiddenFiles}};
    printf("startup list of %d Run values: %.3f s\n", kValues, startupList);
    for (const auto& other : others) {
        double t = Now();
        other.list();
        printf("%s: %.3f s\n", other.name, Now() - t);
    }
    ClearEntries();
    bool met = bench::Figure("first start's baseline with " + std::to_string(kValues) + " Run values",
                             whole * 1000, "ms", 1000);
    SetRunValues(false);
    bench::ForgetMonitorData();
    CoUninitialize();
    return met ? 0 : 1;
}
