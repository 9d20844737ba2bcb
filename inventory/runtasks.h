// Running tasks: which programs run, matching a process against a command, stopping one.
#pragma once
#include <windows.h>

// Called for each process: id, 16-bit task handle (0 for ordinary processes), program path
// (empty when the process cannot be read) and the caller's argument. Return 0 to stop.
typedef int (*ProcessVisitor)(DWORD processId, WORD task16, const char* path, void* arg);

// 1 when an enumeration ran, 0 when none was possible on this system.
int EnumerateProcesses(ProcessVisitor visitor, void* arg);

// Process id of the first process running the command's program file; 0 when none.
DWORD FindRunningProgram(const char* command);
int IsRunning(const char* command);

// Fills the entry list with the running programs (type INFO_TASK); returns the count.
int ListRunningTasks();

// The program key a running process is matched against: the command's program file in its
// long form (out: 260).
void RunningProgramKey(const char* command, char* out);
// 1 when a process image path is the program (a program key): the same file, or for a
// program named without a folder, a file of that name.
int ImageIsProgram(const char* path, const char* program);
// Opens a process to end it (terminate and limited query rights only); with a program key,
// only when the process's image is that program. nullptr otherwise.
HANDLE OpenProgramProcess(DWORD processId, const char* program);
// Terminates the process with its current exit code; the result of TerminateProcess. With a
// command, only a process running that command's program is ended.
int StopProcess(DWORD processId, const char* program = nullptr);
// The same for a process already open to end it.
int TerminateOpenProcess(HANDLE process);
// Tests: stands in for TerminateProcess, so a refusal can be tried (nullptr: the real one).
void SetTerminateSeam(BOOL(WINAPI* terminate)(HANDLE process, UINT exitCode));

// Lets the taskbar redraw so the icons of a stopped program vanish.
void RepaintTaskbar();

// The program file of a command (the shared program-file extraction), cut to capacity.
void TaskProgramFile(const char* command, char* out, int capacity);

// Tests: load other DLL names in place of PSAPI.DLL and VDMDBG.DLL (nullptr: the real ones).
void SetProcessLibraryNames(const char* psapi, const char* vdmdbg);
