// End to end: the real KestrixEx.exe beside a running monitor opens its sheet on the Startup
// Programs page with the user's Run value listed; a second start brings the first to the
// front without a second sheet, and "-Q" ends it.
#include "e2e.h"
#include "keys.h"
#include <sstream>

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class ExplorerE2eTest : public MonitorE2eBase {
protected:
    void SetUp() override
    {
        MonitorE2eBase::SetUp();
        std::string tests = TestProgramFolder();
        std::string build = tests.substr(0, tests.find_last_of('\\'));
        ASSERT_TRUE(CopyFileA((build + "\\KestrixEx.exe").c_str(), Explorer().c_str(), FALSE));
        ASSERT_EQ(FindWindowA("KestrixEx", nullptr), nullptr) << "a manager is already running";
        WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Sound", "0");
    }
    std::string Explorer() const { return TempPath("KestrixEx.exe"); }
};

TEST_F(ExplorerE2eTest, StartOpensTheSheetASecondStartOnlyBringsItForwardAndQEndsIt)
{
    SaveValue(HKEY_CURRENT_USER, kRunKey, "KxE2eAgent");
    WriteValueText(HKEY_CURRENT_USER, kRunKey, "KxE2eAgent", "C:\\Tools\\e2e agent.exe -tray");
    // Present at the monitor's first start, so approved with the rest of the machine and no
    // alert of its own is raised (an alert's closing would write the tab as the monitor's 0).
    int monitor = Start("");
    ASSERT_GE(monitor, 0);
    std::string output;
    ASSERT_EQ(0, Drive("wait Kestrix - 15000", &output)) << output;

    int first = Launch(Quoted(Explorer()) + " -START");
    ASSERT_EQ(0, Drive("wait #32770 Kestrix 20000 descend 1000 rows", &output)) << output;
    // Find the Run value among the rows.
    std::istringstream lines(output);
    std::string line;
    std::getline(lines, line);   // "window ..."
    std::getline(lines, line);
    int rows = atoi(line.c_str());
    ASSERT_GT(rows, 0) << output;
    std::string steps = "wait #32770 Kestrix 2000 descend 1000";
    for (int row = 0; row < rows; row++)
        steps += " cell " + std::to_string(row) + " 0 cell " + std::to_string(row) + " 3";
    ASSERT_EQ(0, Drive(steps, &output)) << output;
    EXPECT_NE(std::string::npos, output.find("KxE2eAgent\r\nHKCU_RUN")) << output;
    EXPECT_EQ(std::string::npos, output.find("KxE2eAgent\r\nHKCU_RUN", output.find("KxE2eAgent") + 1));

    int second = Launch(Quoted(Explorer()) + " -TASK");
    EXPECT_EQ(0, WaitExit(second, 20000));
    ASSERT_EQ(0, Drive("sleep 500 count #32770 Kestrix", &output)) << output;
    EXPECT_EQ("1", output.substr(0, 1)) << output;
    EXPECT_TRUE(Running(first));
    // The shown tab did not change.
    EXPECT_EQ("6026", ReadValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "StartTab"));

    int quit = Launch(Quoted(Explorer()) + " -Q");
    EXPECT_EQ(0, WaitExit(quit, 20000));
    EXPECT_EQ(0, WaitExit(first, 20000));
    EXPECT_EQ("1", ReadValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Update"));
}

}   // namespace
