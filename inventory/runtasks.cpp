// Running tasks on both Windows families: PSAPI (+ VDMDBG for 16-bit tasks) on NT,
// tool-help snapshots on 9x.
#include "runtasks.h"
#include "entrylist.h"
#include "handles.h"
#include "pathutil.h"
#include "platform.h"
#include "program.h"
#include "resstring.h"
#include "sysmessage.h"
#include "systemfiles.h"
#include "trace.h"
#include "versioninfo.h"
#include <string>
#include <tlhelp32.h>
#include <cstdio>
#include <cstring>

static const char* g_psapiName = nullptr;
static const char* g_vdmdbgName = nullptr;

void SetProcessLibraryNames(const char* psapi, const char* vdmdbg)
{
    g_psapiName = psapi;
    g_vdmdbgName = vdmdbg;
}

void TaskProgramFile(const char* command, char* out, int capacity)
{
    char program[260];
    GetProgramFile(command ? command : "", program);
    lstrcpynA(out, program, capacity);
}

typedef BOOL(WINAPI* EnumProcessesFn)(DWORD*, DWORD, DWORD*);
typedef BOOL(WINAPI* EnumProcessModulesFn)(HANDLE, HMODULE*, DWORD, DWORD*);
typedef DWORD(WINAPI* GetModuleFileNameExFn)(HANDLE, HMODULE, LPSTR, DWORD);
typedef BOOL(WINAPI* TaskEnumProcEx)(DWORD, WORD, WORD, PSZ, PSZ, LPARAM);
typedef INT(WINAPI* VDMEnumTaskWOWExFn)(DWORD, TaskEnumProcEx, LPARAM);

struct VdmVisit {
    ProcessVisitor visitor;
    void* arg;
    int stop;
};

static BOOL WINAPI VisitVdmTask(DWORD processId, WORD, WORD task16, PSZ, PSZ fileName,
                                LPARAM param)
{
    VdmVisit* visit = (VdmVisit*)param;
    if (!visit->visitor(processId, task16, fileName ? fileName : "", visit->arg)) {
        visit->stop = 1;
        return TRUE;   // non-zero ends the 16-bit enumeration
    }
    return FALSE;
}

static int EnumerateNt(ProcessVisitor visitor, void* arg)
{
    Module psapi(LoadLibraryA(g_psapiName ? g_psapiName : SystemFilePath("PSAPI.DLL").c_str()));
    Module vdmdbg(LoadLibraryA(g_vdmdbgName ? g_vdmdbgName : SystemFilePath("VDMDBG.DLL").c_str()));
    if (!psapi || !vdmdbg)
        return 0;
    auto enumProcesses = (EnumProcessesFn)(void*)GetProcAddress(psapi.get(), "EnumProcesses");
    auto enumModules =
        (EnumProcessModulesFn)(void*)GetProcAddress(psapi.get(), "EnumProcessModules");
    auto moduleFileName =
        (GetModuleFileNameExFn)(void*)GetProcAddress(psapi.get(), "GetModuleFileNameExA");
    auto enumWow = (VDMEnumTaskWOWExFn)(void*)GetProcAddress(vdmdbg.get(), "VDMEnumTaskWOWEx");
    if (!enumProcesses || !enumModules || !moduleFileName || !enumWow)
        return 0;

    HANDLE heap = GetProcessHeap();
    DWORD size = 1024, returned = 0;
    DWORD* ids = nullptr;
    for (;;) {
        ids = (DWORD*)HeapAlloc(heap, 0, size);
        if (!ids)
            return 0;
        if (!enumProcesses(ids, size, &returned)) {
            HeapFree(heap, 0, ids);
            return 0;
        }
        if (returned != size)
            break;
        // A full buffer may have cut the list: try again with twice the room.
        HeapFree(heap, 0, ids);
        size *= 2;
    }

    DWORD count = returned / sizeof(DWORD);
    for (DWORD i = 0; i < count; i++) {
        char path[260] = "";
        // The image name needs only the limited query right, which a standard user holds
        // even over elevated programs; reading the module list needs the memory too.
        DWORD pathSize = sizeof(path);
        Handle limited(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ids[i]));
        if (!limited || !QueryFullProcessImageNameA(limited.get(), 0, path, &pathSize))
            path[0] = 0;
        Handle process(path[0] ? nullptr
                               : OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE,
                                             ids[i]));
        if (process) {
            HMODULE first = nullptr;
            DWORD needed = 0;
            if (enumModules(process.get(), &first, sizeof(first), &needed) && first) {
                if (!moduleFileName(process.get(), first, path, sizeof(path)))
                    path[0] = 0;
            }
        }
        if (!visitor(ids[i], 0, path, arg))
            break;
        size_t len = strlen(path);
        if (len >= 9 && lstrcmpiA(path + len - 9, "NTVDM.EXE") == 0) {
            VdmVisit visit = {visitor, arg, 0};
            enumWow(ids[i], VisitVdmTask, (LPARAM)&visit);
            if (visit.stop)
                break;
        }
    }
    HeapFree(heap, 0, ids);
    return 1;
}

static int Enumerate9x(ProcessVisitor visitor, void* arg)
{
    Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return 0;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry)) {
        if (!visitor(entry.th32ProcessID, 0, entry.szExeFile, arg))
            break;
    }
    return 1;
}

int EnumerateProcesses(ProcessVisitor visitor, void* arg)
{
    PlatformVersion version = GetPlatformVersion();
    if (version.platformId == VER_PLATFORM_WIN32_NT)
        return EnumerateNt(visitor, arg);
    if (version.platformId == VER_PLATFORM_WIN32_WINDOWS)
        return Enumerate9x(visitor, arg);
    return 0;
}

struct FindVisit {
    char program[260];
    DWORD found;
};

int ImageIsProgram(const char* path, const char* program)
{
    if (!path[0] || !program[0])
        return 0;
    char image[260];
    TaskProgramFile(path, image, sizeof(image));
    ToLongPathForm(image, sizeof(image));
    if (lstrcmpiA(image, program) == 0)
        return 1;
    // A program named without its folder runs from wherever the search finds it: any file of
    // that name is it. A program with a folder is that file and no other of its name.
    return !strchr(program, '\\') && lstrcmpiA(FileNamePart(path), program) == 0;
}

static int MatchProcess(DWORD processId, WORD, const char* path, void* arg)
{
    FindVisit* find = (FindVisit*)arg;
    if (!ImageIsProgram(path, find->program))
        return 1;
    find->found = processId;
    return 0;
}

void RunningProgramKey(const char* command, char* out /*260*/)
{
    TaskProgramFile(command, out, 260);
    // A bare name that the Windows or System folder holds is that file: its full path is known.
    char folder[MAX_PATH];
    if (out[0] && !strchr(out, '\\') && FolderOfProgram(out, folder, sizeof(folder))) {
        std::string full = std::string(folder) + "\\" + out;
        lstrcpynA(out, full.c_str(), 260);
    }
    ToLongPathForm(out, 260);
}

DWORD FindRunningProgram(const char* command)
{
    FindVisit find;
    RunningProgramKey(command, find.program);
    find.found = 0;
    if (!find.program[0])
        return 0;
    EnumerateProcesses(MatchProcess, &find);
    return find.found;
}

int IsRunning(const char* command) { return FindRunningProgram(command) != 0; }

static int ListProcess(DWORD processId, WORD, const char* path, void*)
{
    if (!path[0])
        return 1;
    char program[260];
    TaskProgramFile(path, program, sizeof(program));
    if (!program[0])
        return 1;
    for (int i = 0; i < EntryCount(); i++) {
        const EntryRecord* entry = GetEntry(i);
        char listed[260];
        lstrcpynA(listed, entry->command, sizeof(listed));
        // The list holds the long form; compare like with like.
        char longForm[260];
        lstrcpynA(longForm, program, sizeof(longForm));
        ToLongPathForm(longForm, sizeof(longForm));
        if (lstrcmpiA(listed, program) == 0 || lstrcmpiA(listed, longForm) == 0)
            return 1;
    }
    VersionStrings version;
    GetVersionStrings(program, &version);
    AddEntry(version.slot[VS_FILE_DESCRIPTION], program, "", "", INFO_TASK, (int)processId);
    return 1;
}

int ListRunningTasks()
{
    Trace("ListRunningTasks", "runtasks");
    ClearEntries();
    EnumerateProcesses(ListProcess, nullptr);
    return EntryCount();
}

static BOOL(WINAPI* g_terminate)(HANDLE, UINT);

void SetTerminateSeam(BOOL(WINAPI* terminate)(HANDLE, UINT)) { g_terminate = terminate; }

int TerminateOpenProcess(HANDLE process)
{
    DWORD code = 0;
    if (!GetExitCodeProcess(process, &code))
        return 0;
    return (g_terminate ? g_terminate : TerminateProcess)(process, code) ? 1 : 0;
}

HANDLE OpenProgramProcess(DWORD processId, const char* program)
{
    // The rights to end it and to read its image, nothing more.
    Handle process(
        OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process)
        return nullptr;
    if (program) {
        // The id may have passed to another program since the list was made.
        char image[MAX_PATH] = "";
        DWORD size = sizeof(image);
        if (!QueryFullProcessImageNameA(process.get(), 0, image, &size) ||
            !ImageIsProgram(image, program))
            return nullptr;
    }
    return process.release();
}

int StopProcess(DWORD processId, const char* program)
{
    char key[260];
    if (program)
        RunningProgramKey(program, key);
    Handle process(OpenProgramProcess(processId, program ? key : nullptr));
    if (!process)
        return 0;
    return TerminateOpenProcess(process.get());
}

void RepaintTaskbar()
{
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    if (taskbar)
        InvalidateRect(taskbar, nullptr, TRUE);
}
