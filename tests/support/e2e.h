// Base fixture of the end-to-end suites: the real Kestrix.exe copied into the test's folder
// (which is also its program folder), driven from outside by kxdriver.exe. A copy of the
// driver named KestrixEx.exe stands in for the explorer.
#pragma once
#include "kxtest.h"
#include <string>
#include <vector>

class MonitorE2eBase : public KxTest {
protected:
    void SetUp() override;
    // No program started by a test outlives it.
    void TearDown() override;

    std::string Monitor() const { return TempPath("Kestrix.exe"); }

    // Starts a command in the test's folder (stdout/stderr to output when given); the
    // process is ended at teardown. Index of the process, -1 when it did not start.
    int Launch(const std::string& command, HANDLE output = nullptr);
    // Starts the copied monitor with arguments.
    int Start(const std::string& args)
    {
        return Launch(Quoted(Monitor()) + (args.empty() ? "" : " " + args));
    }
    // Starts the monitor and waits until its real-time watches are armed and its timer runs:
    // from then on every change is served (the first second only delays it). -1 when it did
    // not start or never got there.
    int StartReady(const std::string& args = "");
    // The monitor's trace (Debug is on).
    std::string Trace() const { return ReadTextFile(TempPath("send2ov.txt")); }
    // Waits until a patrol pass ended after the first from characters of the trace: what
    // changed before it was checked by then, and an alert it raised would still hold it open.
    bool WaitForPassAfter(size_t from, DWORD timeoutMs = 60000);
    // Waits for a started process to end; its exit code, -1 on timeout.
    int WaitExit(int index, int ms = 10000);
    bool Running(int index);
    // Runs the driver with its steps; its exit code, its output in output.
    int Drive(const std::string& steps, std::string* output = nullptr);

    static std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

    std::string driver_;
    std::vector<PROCESS_INFORMATION> started_;
};
