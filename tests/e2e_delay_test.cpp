// End to end: the real Kestrix.exe launches a delayed program when its step comes. The
// program is the recorder, placed in a folder with a blank in its name; it logs how it was
// started and when.
#include "kxtest.h"
#include "delaystart.h"
#include "keys.h"
#include "waits.h"
#include <algorithm>
#include <sstream>
#include <string>

namespace {

class DelayE2eTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        std::string tests = TestProgramFolder();
        std::string build = tests.substr(0, tests.find_last_of('\\'));
        ASSERT_TRUE(CopyFileA((build + "\\Kestrix.exe").c_str(), TempPath("Kestrix.exe").c_str(),
                              FALSE));
        // The monitor starts the explorer on some paths; a stand-in keeps that harmless.
        ASSERT_TRUE(CopyFileA((tests + "\\kxdriver.exe").c_str(),
                              TempPath("KestrixEx.exe").c_str(), FALSE));
        CreateDirectoryA(TempPath("Delayed App").c_str(), nullptr);
        program_ = TempPath("Delayed App\\app.exe");
        ASSERT_TRUE(CopyFileA((tests + "\\delayrec.exe").c_str(), program_.c_str(), FALSE));
        ASSERT_EQ(FindWindowA("Kestrix", nullptr), nullptr) << "a monitor is already running";
    }

    void TearDown() override
    {
        if (monitor_.hProcess) {
            TerminateProcess(monitor_.hProcess, 1);
            WaitForSingleObject(monitor_.hProcess, 5000);
            CloseHandle(monitor_.hProcess);
            CloseHandle(monitor_.hThread);
        }
        KxTest::TearDown();
    }

    std::string program_;
    PROCESS_INFORMATION monitor_ = {};
};

TEST_F(DelayE2eTest, TheMonitorStartsADelayedProgramAtItsStepWithItsArgumentsAndWindowState)
{
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_KEY, program_, "11");
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_TIME_KEY, program_, "10");
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_PARAMETERS_KEY, program_, " -from-monitor");
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_OPENAS_KEY, program_, "1");
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Debug", "1");   // the trace tells the steps

    std::string command = "\"" + TempPath("Kestrix.exe") + "\"";
    FILETIME started;
    GetSystemTimeAsFileTime(&started);
    ASSERT_TRUE(StartTestProgram(command, &monitor_, TempDir().c_str()));

    // The first pass comes after six ticks of 2 seconds.
    std::string log;
    WaitUntil([&] { return !(log = ReadTextFile(program_ + ".log")).empty(); }, 60000);
    ASSERT_FALSE(log.empty()) << "the delayed program was not started";
    EXPECT_NE(std::string::npos, log.find("-from-monitor")) << log;
    EXPECT_NE(std::string::npos, log.find("|show=6|")) << log;   // minimized

    unsigned long long created = strtoull(log.substr(log.rfind("created=") + 8).c_str(), nullptr, 10);
    unsigned long long begin = ((unsigned long long)started.dwHighDateTime << 32) | started.dwLowDateTime;
    EXPECT_GE(created, begin + 10ull * 10000000ull) << "started before its delay";

    // Started once only: the schedule is over, and nothing of it runs again.
    EXPECT_TRUE(WaitForTrace(TempPath("send2ov.txt"), "DelayedStartStep - delaystart: schedule over"))
        << ReadTextFile(TempPath("send2ov.txt"));
    std::string again = ReadTextFile(program_ + ".log");
    EXPECT_EQ(1, (int)std::count(again.begin(), again.end(), '\n')) << again;
}

}   // namespace
