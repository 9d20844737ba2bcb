// Time to learn who signed the programs of 4096 startup entries that share 50 files (a third
// signed, a third unsigned, a third with a broken signature), with no answer kept beforehand:
// once checked in line as the hide option and the reports do, once through the worker thread
// as a page does, and once more with the answers kept. Prints the figures; exits with 1 when
// a cold run takes 1 second or more.
#include "entrylist.h"
#include "signature.h"
#include <windows.h>
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

    DestroyWindow(window);
    ClearEntries();
    for (const std::string& file : files)
        DeleteFileA(file.c_str());
    RemoveDirectoryA(folder.c_str());
    return met ? 0 : 1;
}
