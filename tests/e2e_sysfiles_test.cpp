// End to end: the real Kestrix.exe guards the HOSTS file. An edit made while it runs raises
// the file-change alert; Reject puts the saved copy back byte for byte.
#include "keys.h"
#include "e2e.h"
#include "sysfiles.h"
#include <string>

namespace {

const char kAlertCaption[] = "\"Kestrix: File Change Alert\"";
// The check is off on Windows major version 6, which Wine reports by default.
const char kWineVersionKey[] = "Software\\Wine\\AppDefaults\\Kestrix.exe";

class SysFilesE2eTest : public MonitorE2eBase {
protected:
    void SetUp() override
    {
        MonitorE2eBase::SetUp();
        ForgetKey(HKEY_CURRENT_USER, kWineVersionKey);
        WriteValueText(HKEY_CURRENT_USER, kWineVersionKey, "Version", "winxp");
        WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "HideRufo", "1");
        WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Sound", "0");
        char path[MAX_PATH];
        GetHOSTSFile(path, sizeof(path));
        hosts_ = path;
        saved_ = ReadTextFile(hosts_);
    }
    void TearDown() override
    {
        MonitorE2eBase::TearDown();
        WriteTextFile(hosts_, saved_);
        char copy[MAX_PATH];
        SavedCopyPath("HOSTS", copy, sizeof(copy));
        DeleteFileA(copy);
        DeleteFileA((std::string(copy) + ".previous").c_str());
    }
    std::string hosts_, saved_;
};

TEST_F(SysFilesE2eTest, HostsEditIsAlertedAndRejectPutsTheSavedCopyBack)
{
    // Long lines and no final line end: the put-back file must be the very same bytes.
    const std::string original = "127.0.0.1 localhost\r\n# " + std::string(2000, 'x') + "\r\n::1 localhost";
    ASSERT_TRUE(WriteTextFile(hosts_, original));
    // Ready: the file's record is made and the watches are armed.
    int monitor = StartReady();
    ASSERT_GE(monitor, 0);
    ASSERT_EQ(hosts_, ReadValueText(HKEY_LOCAL_MACHINE, KX_SYSFILES_KEY "\\HOSTS", "Location"));

    ASSERT_TRUE(WriteTextFile(hosts_, original + "\r\n10.6.6.6 bank.example"));
    std::string shown;
    ASSERT_EQ(0, Drive(std::string("wait #32770 ") + kAlertCaption + " 15000 sleep 300 text 1175 click 1173",
                       &shown))
        << shown;
    EXPECT_NE(std::string::npos, shown.find("HOSTS")) << shown;
    EXPECT_EQ(0, Drive(std::string("gone #32770 ") + kAlertCaption + " 5000"));
    EXPECT_EQ(original, ReadTextFile(hosts_));
    EXPECT_NE(0, Drive(std::string("wait #32770 ") + kAlertCaption + " 3000")) << "no second alert";
    WaitExit(Start("-Q"));
    EXPECT_NE(-1, WaitExit(monitor));
}

}   // namespace
