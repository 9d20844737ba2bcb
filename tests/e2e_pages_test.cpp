// End to end: the real Kestrix.exe guards the browser's start page. A new page written while
// it runs is asked about at once; No writes the approved page back, and the put-back raises
// no second question.
#include "keys.h"
#include "e2e.h"
#include <string>

namespace {

const char kMain[] = "Software\\Microsoft\\Internet Explorer\\Main";
const char kApproved[] = "http://home.example/start";

class PagesE2eTest : public MonitorE2eBase {
protected:
    void SetUp() override
    {
        MonitorE2eBase::SetUp();
        SaveValue(HKEY_CURRENT_USER, kMain, "Start Page");
        WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "HideRufo", "1");
        WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Sound", "0");
        WriteValueText(HKEY_CURRENT_USER, kMain, "Start Page", kApproved);
        WriteValueText(HKEY_CURRENT_USER, KX_KEY, "StartPage", kApproved);
    }
};

TEST_F(PagesE2eTest, NewStartPageIsAskedAtOnceAndNoPutsTheApprovedPageBack)
{
    int monitor = StartReady();
    ASSERT_GE(monitor, 0);

    WriteValueText(HKEY_CURRENT_USER, kMain, "Start Page", "http://hijack.example/");
    ASSERT_EQ(0, Drive("wait #32770 Kestrix 10000 sleep 200 click 7"));
    EXPECT_EQ(0, Drive("gone #32770 Kestrix 5000"));
    for (int waited = 0; waited < 3000 &&
                         ReadValueText(HKEY_CURRENT_USER, kMain, "Start Page") != kApproved;
         waited += 50)
        Sleep(50);
    EXPECT_EQ(kApproved, ReadValueText(HKEY_CURRENT_USER, kMain, "Start Page"));
    EXPECT_EQ(kApproved, ReadValueText(HKEY_CURRENT_USER, KX_KEY, "StartPage"));
    EXPECT_NE(0, Drive("wait #32770 Kestrix 3000")) << "the put-back is not a change to ask about";
    WaitExit(Start("-Q"));
    EXPECT_NE(-1, WaitExit(monitor));
}

}   // namespace
