// End to end: the real Kestrix.exe guards the services. A service installed and started while
// it runs raises the service alert; No leaves it stopped and disabled, known, and the history
// says what was done.
#include "keys.h"
#include "e2e.h"
#include "watched_items.h"
#include <string>

namespace {

const char kAlertCaption[] = "\"Kestrix New Program Alert\"";
const char kSvc[] = "KxE2eService";
const char kSvcDisplay[] = "Orvane E2E Service";

class ServicesE2eTest : public MonitorE2eBase {
protected:
    void SetUp() override
    {
        MonitorE2eBase::SetUp();
        RemoveService();
        SaveValue(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                  "Kestrix");
        WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "HideRufo", "1");
        WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Sound", "0");
    }
    void TearDown() override
    {
        MonitorE2eBase::TearDown();
        RemoveService();
    }

    static void RemoveService() { ::RemoveService(kSvc); }

    // Installs the fixture service and starts it; its current state.
    static DWORD InstallAndStart()
    {
        if (!CreateFixtureService(kSvc, kSvcDisplay, SERVICE_AUTO_START))
            return 0;
        return StartServiceAndWait(kSvc, SERVICE_RUNNING);
    }

    static DWORD StateAndStart(DWORD* start)
    {
        SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, GENERIC_READ);
        SC_HANDLE service = OpenServiceA(manager, kSvc, SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG);
        SERVICE_STATUS status = {};
        QueryServiceStatus(service, &status);
        BYTE buffer[8192];
        DWORD needed = 0;
        *start = QueryServiceConfigA(service, (QUERY_SERVICE_CONFIGA*)buffer, sizeof(buffer), &needed)
                     ? ((QUERY_SERVICE_CONFIGA*)buffer)->dwStartType
                     : 0;
        CloseServiceHandle(service);
        CloseServiceHandle(manager);
        return status.dwCurrentState;
    }

};

TEST_F(ServicesE2eTest, NewServiceIsAlertedAndNoLeavesItStoppedAndDisabled)
{
    int monitor = StartReady();
    ASSERT_GE(monitor, 0);
    ASSERT_EQ((DWORD)SERVICE_RUNNING, InstallAndStart());

    std::string shown;
    ASSERT_EQ(0, Drive(std::string("wait #32770 ") + kAlertCaption +
                           " 15000 sleep 300 text 100 text 1144 click 7",
                       &shown))
        << shown;
    EXPECT_NE(std::string::npos, shown.find(kSvcDisplay)) << shown;
    // The check may meet the service while it is still starting on a busy machine.
    EXPECT_TRUE(shown.find("Active Status: Running") != std::string::npos ||
                shown.find("Active Status: Pending Start") != std::string::npos)
        << shown;
    EXPECT_EQ(0, Drive(std::string("gone #32770 ") + kAlertCaption + " 5000"));

    DWORD start = 0, state = 0;
    for (int waited = 0; waited < 5000; waited += 100) {
        state = StateAndStart(&start);
        if (state == SERVICE_STOPPED && start == SERVICE_DISABLED)
            break;
        Sleep(100);
    }
    EXPECT_EQ((DWORD)SERVICE_STOPPED, state);
    EXPECT_EQ((DWORD)SERVICE_DISABLED, start);
    // The check writes the known value after the dialog's own steps.
    for (int waited = 0; waited < 3000 && !ValueExists(HKEY_CURRENT_USER, KX_KEY "\\Services",
                                                       kSvc);
         waited += 50)
        Sleep(50);
    EXPECT_EQ("700", ReadValueText(HKEY_CURRENT_USER, KX_KEY "\\Services", kSvc));

    // Running before the stop, then stopped, then disabled: one line each, in that order.
    std::string history = ReadTextFile(TempPath("history.txt"));
    size_t running = history.find("SERVICE__from_Disabled");
    size_t stopped = history.find("SERVICE_Stop");
    size_t disabled = history.find("SERVICE_Disabled");
    ASSERT_NE(std::string::npos, running) << history;
    ASSERT_NE(std::string::npos, stopped) << history;
    ASSERT_NE(std::string::npos, disabled) << history;
    EXPECT_LT(running, stopped);
    EXPECT_LT(stopped, disabled);
    EXPECT_EQ(std::string::npos, history.find("SERVICE_Stop", stopped + 1)) << history;
    EXPECT_NE(std::string::npos, history.find(kSvcDisplay)) << history;

    // Known now: the monitor's own changes to the service raise no second alert.
    EXPECT_NE(0, Drive(std::string("wait #32770 ") + kAlertCaption + " 3000"));
    WaitExit(Start("-Q"));
    EXPECT_NE(-1, WaitExit(monitor));
}

}   // namespace
