#include "kxtest.h"
#include "delaystart.h"
#include "entrylist.h"
#include "keys.h"
#include "program.h"
#include "registry.h"
#include "switches.h"
#include <string>

static const char* const kAutoUpdate =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update";
static const char* const kPrefixes = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\Prefixes";
static const char* const kDefaultPrefix =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\DefaultPrefix";
static const char* const kUserRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class ExplorerSwitchTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        g_programKind = PROGRAM_EXPLORER;
        SaveValue(HKEY_LOCAL_MACHINE, kAutoUpdate, "AUOptions");
        SaveValue(HKEY_LOCAL_MACHINE, kPrefixes, "www");
        SaveValue(HKEY_LOCAL_MACHINE, kDefaultPrefix, "");
    }
};

TEST_F(ExplorerSwitchTest, SwitchesMatchAnywhereWithoutCase)
{
    EXPECT_TRUE(HasSwitch("KestrixEx.exe -options", "-OPTION"));
    EXPECT_FALSE(HasSwitch("KestrixEx.exe -START", "-Restore"));
    std::string longLine = "KestrixEx.exe -Restore " + std::string(760, 'x');
    EXPECT_FALSE(HasSwitch(longLine.c_str(), "-Restore"));
    EXPECT_EQ(0, RunActionSwitches("KestrixEx.exe -START"));
}

// The last switch of the table that matches selects the page, wherever it stands in the line.
TEST_F(ExplorerSwitchTest, PageSwitchesSelectTheirPageAndTheLastMatchWins)
{
    const struct {
        const char* line;
        int page, startsMonitor;
    } kLines[] = {
        {"", 6052, 0},                 {"-START", 6026, 1},        {"-restart", 6033, 1},
        {"-OPTIONS", 6033, 0},         {"-FILETYPES", 6042, 0},    {"-NUTS", 6028, 0},
        {"-COOKIES", 6045, 0},         {"-SERVICE", 6038, 0},      {"-BHO", 6040, 0},
        {"-SCHEDULE", 6039, 0},        {"-TASK", 6029, 0},         {"-DELAY", 6055, 0},
        {"-HIDDEN", 6052, 0},          {"-MONITOR", 6046, 0},      {"-BLACKLIST", 6047, 0},
        {"-EXIT", 6048, 0},            {"-BHO -TASK", 6029, 0},    {"-START -DELAY", 6055, 1},
    };
    for (const auto& l : kLines) {
        int startMonitor = -1;
        EXPECT_EQ(l.page, SwitchPage(l.line, 6052, &startMonitor)) << l.line;
        EXPECT_EQ(l.startsMonitor, startMonitor) << l.line;
    }
}

TEST_F(ExplorerSwitchTest, AutoUpdateSwitchPutsTheApprovedSettingBack)
{
    SetRegNumber(HKEY_CURRENT_USER, KX_KEY, "AUOptions", 4);
    SetRegNumber(HKEY_LOCAL_MACHINE, kAutoUpdate, "AUOptions", 1);
    EXPECT_EQ(1, RunActionSwitches("KestrixEx.exe -AUOption"));
    EXPECT_EQ(4, GetRegNumber(HKEY_LOCAL_MACHINE, kAutoUpdate, "AUOptions"));

    // A copy that is missing, or is no setting, is never written over the machine's own.
    for (int copy : {-1, 0, 5}) {
        DeleteRegValue(HKEY_CURRENT_USER, KX_KEY, "AUOptions");
        if (copy >= 0)
            SetRegNumber(HKEY_CURRENT_USER, KX_KEY, "AUOptions", copy);
        SetRegNumber(HKEY_LOCAL_MACHINE, kAutoUpdate, "AUOptions", 3);
        RunActionSwitches("KestrixEx.exe -AUOption");
        EXPECT_EQ(3, GetRegNumber(HKEY_LOCAL_MACHINE, kAutoUpdate, "AUOptions")) << copy;
    }
}

TEST_F(ExplorerSwitchTest, PrefixSwitchWritesTheApprovedPrefixOrHttp)
{
    EXPECT_EQ(1, RunActionSwitches("KestrixEx.exe -SetPrefix"));
    EXPECT_EQ("http://", ReadValueText(HKEY_LOCAL_MACHINE, kPrefixes, "www"));
    EXPECT_EQ("http://", ReadValueText(HKEY_LOCAL_MACHINE, kDefaultPrefix, ""));

    WriteValueText(HKEY_CURRENT_USER, KX_KEY, "wwwPrefix", "ftp://");
    RunActionSwitches("KestrixEx.exe -setprefix");
    EXPECT_EQ("ftp://", ReadValueText(HKEY_LOCAL_MACHINE, kPrefixes, "www"));
    EXPECT_EQ("ftp://", ReadValueText(HKEY_LOCAL_MACHINE, kDefaultPrefix, ""));
}

TEST_F(ExplorerSwitchTest, RestoreSwitchPutsEveryDelayedProgramBackIntoStartup)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    std::string program = TempPath("delayed.exe");
    ASSERT_TRUE(CopyFileA(self, program.c_str(), FALSE));
    SaveValue(HKEY_CURRENT_USER, kUserRun, "delayed");
    ASSERT_EQ(1, AddDelayedProgram(program.c_str(), 0));
    ASSERT_EQ(1, ListDelayedPrograms());

    EXPECT_EQ(1, RunActionSwitches("KestrixEx.exe -Restore"));
    EXPECT_EQ(0, ListDelayedPrograms());
    bool found = false;
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kUserRun, 0, KEY_READ, &key));
    char name[256], data[1024];
    for (DWORD i = 0;; i++) {
        DWORD nameSize = sizeof(name), dataSize = sizeof(data);
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, nullptr, (BYTE*)data, &dataSize) !=
            ERROR_SUCCESS)
            break;
        if (std::string(data).find("delayed.exe") != std::string::npos) {
            found = true;
            RegDeleteValueA(key, name);
            break;
        }
    }
    RegCloseKey(key);
    EXPECT_TRUE(found) << "no Run value names the restored program";
}
