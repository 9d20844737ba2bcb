#include "e2e.h"
#include "keys.h"
#include "waits.h"

void MonitorE2eBase::SetUp()
{
    KxTest::SetUp();
    std::string tests = TestProgramFolder();
    std::string build = tests.substr(0, tests.find_last_of('\\'));
    ASSERT_TRUE(CopyFileA((build + "\\Kestrix.exe").c_str(), Monitor().c_str(), FALSE)) << build;
    driver_ = tests + "\\kxdriver.exe";
    ASSERT_TRUE(CopyFileA(driver_.c_str(), TempPath("KestrixEx.exe").c_str(), FALSE));
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Debug", "1");
    ASSERT_EQ(FindWindowA("Kestrix", nullptr), nullptr) << "a monitor is already running";
}

void MonitorE2eBase::TearDown()
{
    for (PROCESS_INFORMATION& p : started_) {
        if (WaitForSingleObject(p.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(p.hProcess, 1);
            WaitForSingleObject(p.hProcess, 5000);
        }
        CloseHandle(p.hProcess);
        CloseHandle(p.hThread);
    }
    started_.clear();
    KxTest::TearDown();
}

int MonitorE2eBase::Launch(const std::string& command, HANDLE output)
{
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    if (output) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = si.hStdError = output;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION pi = {};
    if (!StartTestProgram(command, &pi, TempDir().c_str(), &si, output != nullptr))
        return -1;
    started_.push_back(pi);
    return (int)started_.size() - 1;
}

int MonitorE2eBase::WaitExit(int index, int ms)
{
    if (index < 0 || WaitForSingleObject(started_[index].hProcess, ms) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(started_[index].hProcess, &code);
    return (int)code;
}

bool MonitorE2eBase::Running(int index)
{
    return index >= 0 && WaitForSingleObject(started_[index].hProcess, 0) == WAIT_TIMEOUT;
}

int MonitorE2eBase::Drive(const std::string& steps, std::string* output)
{
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0))
        return -1;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    int index = Launch(Quoted(driver_) + " " + steps, writeEnd);
    CloseHandle(writeEnd);
    std::string text;
    char buffer[512];
    DWORD got = 0;
    while (index >= 0 && ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) && got)
        text.append(buffer, got);
    CloseHandle(readEnd);
    if (output)
        *output = text;
    return index < 0 ? -1 : WaitExit(index, 30000);
}

int MonitorE2eBase::StartReady(const std::string& args)
{
    int index = Start(args);
    if (index < 0)
        return -1;
    bool ready = WaitUntil([&] {
        return Trace().find("Application Start: SetTimer") != std::string::npos || !Running(index);
    });
    return ready && Running(index) ? index : -1;
}

bool MonitorE2eBase::WaitForPassAfter(size_t from, DWORD timeoutMs)
{
    return WaitUntil(
        [&] {
            std::string trace = Trace();
            return trace.size() > from &&
                   trace.find("Total Verify Time", from) != std::string::npos;
        },
        timeoutMs);
}
