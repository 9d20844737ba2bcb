// Waiting for what a test expects to happen (a trace line, a window, programs ending) instead
// of sleeping a fixed time: a loaded machine only makes the wait longer, never the test wrong.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

// Polls until done() holds or timeoutMs passed; whether it held.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 15000);

// As WaitUntil, running the thread's messages meanwhile: for windows of the test thread that
// fill in what a worker thread posts back. Wakes on each message rather than polling.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000);

// Waits until the trace file (send2ov.txt) holds text; whether it did.
bool WaitForTrace(const std::string& traceFile, const std::string& text, DWORD timeoutMs = 30000);

// The first visible dialog or message box of thread other than skip (and, when owner is
// given, owned by it), waited for up to timeoutMs; nullptr when none showed.
HWND WaitForThreadDialog(DWORD thread, HWND skip, HWND owner = nullptr, DWORD timeoutMs = 5000);

// Ids of the running processes whose program file lies in folder or below it.
std::vector<DWORD> ProcessesUnder(const std::string& folder);

// Waits until every process under folder has ended, except those in keep: what a synchronous
// launch started is then known to have done all it will.
bool WaitForProcessesUnderToEnd(const std::string& folder, const std::vector<DWORD>& keep = {},
                                DWORD timeoutMs = 30000);

// CreateProcessA for a test's own helper program. Wine now and then fails a start before the
// program is even loaded (the same failure tools/wine-run.sh retries for whole suites): such a
// start is made once more, and a start that fails twice is reported with its error.
bool StartTestProgram(const std::string& commandLine, PROCESS_INFORMATION* started,
                      const char* folder = nullptr, STARTUPINFOA* startup = nullptr,
                      BOOL inheritHandles = FALSE);
