// The alert dialogs, opened for real and answered in-process: texts by control id for a
// program with and without version information, the result of every button and of Esc,
// the history line and position record of each opening, the repeated-alert rule, sounds.
#include "alert.h"
#include "alert_driver.h"
#include "entrylist.h"
#include "keys.h"
#include "helppage.h"
#include "monitorseams.h"
#include "kxtest.h"
#include "options.h"
#include "onlineinfo.h"
#include "reportfile.h"
#include "resstring.h"
#include "sounds.h"
#include <mmsystem.h>

namespace {

std::string Res(UINT id)
{
    char text[1024] = "";
    LoadResString(id, text, sizeof(text));
    return text;
}

std::vector<std::string> g_messages;
int RecordMessage(const char* text, const char*, UINT)
{
    g_messages.push_back(text);
    return IDOK;
}

std::vector<int> g_helpPages;
int RecordHelp(HWND, int pageId)
{
    g_helpPages.push_back(pageId);
    return 1;
}

class AlertTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        ResetRepeatedAlert();
        g_helpPages.clear();
        SetHelpPageSeam(RecordHelp);
        g_messages.clear();
        SetPatrolMessageSeam(RecordMessage);
        suppressAlerts = 0;
        app_ = TestProgramFolder() + "\\kxfx_app.exe";
        plain_ = TestProgramFolder() + "\\kxfx_plain.exe";
    }
    void TearDown() override
    {
        SetHelpPageSeam(nullptr);
        SetPatrolMessageSeam(nullptr);
        ResetRepeatedAlert();
        KxTest::TearDown();
    }

    // Opens a template for the current alert and answers it with one action.
    INT_PTR Answer(int templateId, std::function<void(HWND)> action)
    {
        INT_PTR result = DriveAlerts({{"", std::move(action)}},
                                     [&] { return ShowAlertDialog(nullptr, templateId); });
        EXPECT_TRUE(AllStepsRan());
        EXPECT_FALSE(DriverTimedOut());
        return result;
    }
    INT_PTR Startup(int type, const std::string& command, std::function<void(HWND)> action)
    {
        SetCurrentAlert(type, "FixtureValue", command.c_str());
        return Answer(ALERT_STARTUP, std::move(action));
    }
    std::string History() { return ReadTextFile(TempPath("history.txt")); }

    std::string app_, plain_;
};

TEST_F(AlertTest, StartupAlertShowsVersionInformationOfTheProgram)
{
    std::map<int, std::string> seen;
    bool checkBoxHidden = false, checkBoxEnabled = true;
    std::string caption;
    INT_PTR result = Startup(CURRENT_RUN, app_, [&](HWND d) {
        caption = WindowText(d);
        for (int id : {100, 1026, 1029, 1030, 1031, 1032, 1097, 1036, 1067, 6, 7})
            seen[id] = ItemText(d, id);
        checkBoxHidden = !IsWindowVisible(GetDlgItem(d, 1014));
        checkBoxEnabled = IsWindowEnabled(GetDlgItem(d, 1014));
        Press(d, IDYES);
    });
    EXPECT_EQ(IDYES, result);
    EXPECT_EQ(Res(718), caption);
    EXPECT_EQ("Fixture App", seen[100]);
    EXPECT_EQ(app_, seen[1026]);
    EXPECT_EQ("1.2.3.4", seen[1029]);
    EXPECT_EQ("Orvane Fixtures", seen[1030]);
    EXPECT_EQ("Fixture App Tool", seen[1031]);
    // The fixture's copyright is too long to count, so the template's face stays.
    EXPECT_EQ("No copyright notice found", seen[1032]);
    EXPECT_EQ("Version", seen[1097]);
    EXPECT_EQ(Res(641), seen[1067]);
    EXPECT_EQ("&Yes", seen[6]);
    EXPECT_EQ("&No", seen[7]);
    EXPECT_NE(std::string::npos, seen[1036].find(Res(765)));
    EXPECT_EQ(0u, seen[1036].find("A new auto Startup Program has been detected.\n"));
    EXPECT_TRUE(checkBoxHidden);
    EXPECT_FALSE(checkBoxEnabled);

    // Opening wrote the alert line with the name line and the description.
    std::string history = History();
    EXPECT_NE(std::string::npos, history.find("START_Alert"));
    EXPECT_NE(std::string::npos, history.find("Fixture App\t"));
    EXPECT_NE(std::string::npos, history.find("Fixture App Tool"));
    // And closing remembered where the alert stood.
    for (const char* name : {"xPosAlert", "yPosAlert", "dxAlert", "dyAlert"})
        EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, KX_KEY, name)) << name;
}

TEST_F(AlertTest, StartupAlertWithoutVersionInformationKeepsTheTemplateFaces)
{
    std::map<int, std::string> seen;
    INT_PTR result = Startup(CURRENT_RUN, plain_, [&](HWND d) {
        for (int id : {100, 1026, 1029, 1030, 1031})
            seen[id] = ItemText(d, id);
        Press(d, IDNO);
    });
    EXPECT_EQ(IDNO, result);
    EXPECT_EQ("FixtureValue", seen[100]);   // no product name: the entry's own name
    EXPECT_EQ(plain_, seen[1026]);
    EXPECT_EQ("Not available", seen[1029]);
    EXPECT_EQ("Company name not included in this program.", seen[1030]);
    EXPECT_EQ("No Description found", seen[1031]);
}

// Every alert about a program says who signed it; a broken signature or a missing file is
// drawn in red, the rest in the dialog's own colour.
TEST_F(AlertTest, AlertsNameWhoSignedTheProgramAndABrokenOneStandsOut)
{
    const std::string folder = TestProgramFolder();
    const struct {
        int templateId;
        std::string program, text;
        bool red;
    } cases[] = {
        {ALERT_STARTUP, folder + "\\kxfx_signed.exe", "(Verified) Kestrix Test Signer", false},
        {ALERT_STARTUP, folder + "\\kxfx_broken.exe", "(Signature broken)", true},
        {ALERT_ADDON, app_, "(Not verified) Orvane Fixtures", false},
        {ALERT_TASK, plain_, "(Not verified)", false},
        {ALERT_DELAYED_BACK, folder + "\\kxfx_gone.exe", "(File not found)", true},
        {ALERT_HIDDEN, folder + "\\kxfx_mssigned.exe", "(Verified) Microsoft Windows", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        std::string text;
        COLORREF color = 0xbdbdbd;
        SetCurrentAlert(TYPE_UNKNOWN, "KxSigned", c.program.c_str());
        Answer(c.templateId, [&](HWND d) {
            text = ItemText(d, IDC_ALERT_PUBLISHER);
            HDC dc = CreateCompatibleDC(nullptr);
            SetTextColor(dc, RGB(1, 2, 3));
            SendMessageA(d, WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)GetDlgItem(d, IDC_ALERT_PUBLISHER));
            color = GetTextColor(dc);
            DeleteDC(dc);
            PressEsc(d);
        });
        EXPECT_EQ(c.text, text);
        EXPECT_EQ(c.red, color == RGB(192, 0, 0));
    }
    // The file type alert, for both of its programs.
    std::map<int, std::string> seen;
    SetCurrentAlert(TYPE_FILETYPE, ".kxf", (folder + "\\kxfx_signed.exe").c_str());
    lstrcpynA(g_alert.previous, (folder + "\\kxfx_broken.exe").c_str(), sizeof(g_alert.previous));
    Answer(ALERT_FILETYPE, [&](HWND d) {
        for (int id : {IDC_ALERT_PUBLISHER_OLD, IDC_ALERT_PUBLISHER_NEW})
            seen[id] = ItemText(d, id);
        PressEsc(d);
    });
    EXPECT_EQ("(Verified) Kestrix Test Signer", seen[IDC_ALERT_PUBLISHER_OLD]);
    EXPECT_EQ("(Signature broken)", seen[IDC_ALERT_PUBLISHER_NEW]);
}

TEST_F(AlertTest, StartupAlertEscAcceptsAndTypeTwoFiftySixNoDisables)
{
    EXPECT_EQ(IDYES, Startup(CURRENT_RUN, app_, PressEsc));
    EXPECT_EQ(ALERT_RESULT_DISABLE,
              Startup(RUN_WINLOGONNOTIFY, plain_, [](HWND d) { Press(d, IDNO); }));
    EXPECT_EQ(IDYES, Startup(RUN_WINLOGONNOTIFY, app_, [](HWND d) { Press(d, IDYES); }));
}

TEST_F(AlertTest, StartupMessageAndNameLineFollowTheEntryType)
{
    struct Case {
        int type;
        UINT reason;
    } cases[] = {{MACHINE_RUNONCE, 766}, {CURRENT_RUNONCEEX, 766}, {USERS_RUNSERVICESONCE, 766},
                 {WIN_LOAD, 767},        {WIN_RUN, 767},          {GROUP_STARTUP, 768},
                 {MACHINE_RUN, 765},     {REG_AppInitDLLs, 765}};
    for (const Case& c : cases) {
        std::string message;
        Startup(c.type, plain_, [&](HWND d) {
            message = ItemText(d, 1036);
            PressEsc(d);
        });
        EXPECT_NE(std::string::npos, message.find(Res(c.reason))) << c.type;
    }
    // Winlogon and hook entries with a product name show their location instead.
    std::pair<int, std::string> labels[] = {{WINLOGON_Userinit, "WinLogon:UserInit"},
                                            {WINLOGON_Shell, "WinLogon:Shell"},
                                            {REG_Delayload, "ObjectDelayLoad"},
                                            {REG_TaskScheduler, "SharedTaskScheduler"},
                                            {REG_AppInitDLLs, "AppInit_DLLs"},
                                            {REG_ShellExecuteHook, "Fixture App"}};
    for (const auto& label : labels) {
        std::string name;
        Startup(label.first, app_, [&](HWND d) {
            name = ItemText(d, 100);
            PressEsc(d);
        });
        EXPECT_EQ(label.second, name) << label.first;
    }
}

TEST_F(AlertTest, ReplacedStartupMessageCannotReadFormatArguments)
{
    WriteValueText(HKEY_LOCAL_MACHINE, KX_KEY, "LString7", "Odd %d %x %s end");
    int language = uiLanguage;
    uiLanguage = 7;   // replacement texts apply to translated interfaces
    std::string message;
    Startup(CURRENT_RUN, plain_, [&](HWND d) {
        message = ItemText(d, 1036);
        PressEsc(d);
    });
    uiLanguage = language;
    EXPECT_EQ("Odd " + Res(765) + " %x %s end", message) << "the first marker takes the one value";
}

TEST_F(AlertTest, ThirdAlertForTheSameProgramAnsweredYesDisablesAndOpensHelp)
{
    EXPECT_EQ(IDYES, Startup(CURRENT_RUN, app_, [](HWND d) { Press(d, IDYES); }));
    EXPECT_EQ(IDYES, Startup(CURRENT_RUN, app_, [](HWND d) { Press(d, IDYES); }));
    EXPECT_TRUE(g_helpPages.empty());
    EXPECT_EQ(ALERT_RESULT_DISABLE, Startup(CURRENT_RUN, app_, [](HWND d) { Press(d, IDYES); }));
    ASSERT_EQ(1u, g_helpPages.size());
    EXPECT_EQ(6051, g_helpPages[0]);
    EXPECT_EQ(0, suppressAlerts);
    // The rule starts over.
    EXPECT_EQ(0, RepeatedAlertCount());
    EXPECT_EQ(IDYES, Startup(CURRENT_RUN, app_, PressEsc));
}

TEST_F(AlertTest, ThirdAlertAnsweredNoDisablesAndSuppressesTheRestOfThePass)
{
    Startup(CURRENT_RUN, app_, PressEsc);
    Startup(CURRENT_RUN, app_, PressEsc);
    EXPECT_EQ(ALERT_RESULT_DISABLE, Startup(CURRENT_RUN, app_, [](HWND d) { Press(d, IDNO); }));
    EXPECT_EQ(2, suppressAlerts);
    ASSERT_EQ(1u, g_helpPages.size());
    EXPECT_EQ(6051, g_helpPages[0]);
}

TEST_F(AlertTest, RepeatedAlertCountsOnlyTheSameProgramInARow)
{
    // The remembered path compares case-insensitively.
    std::string upper = app_;
    for (char& c : upper)
        c = (char)toupper((unsigned char)c);
    Startup(CURRENT_RUN, app_, PressEsc);
    Startup(CURRENT_RUN, upper, PressEsc);
    EXPECT_EQ(1, RepeatedAlertCount());
    // Another program in between starts the count again: A, A, B, B is no third alert of one.
    Startup(CURRENT_RUN, plain_, PressEsc);
    EXPECT_EQ(0, RepeatedAlertCount());
    EXPECT_EQ(IDYES, Startup(CURRENT_RUN, plain_, PressEsc));
    EXPECT_TRUE(g_helpPages.empty());
}

TEST_F(AlertTest, MovedBackAlertOffersYesOrDisable)
{
    std::map<int, std::string> seen;
    std::string caption;
    SetCurrentAlert(CURRENT_RUN, "FixtureValue", app_.c_str());
    EXPECT_EQ(IDNO, Answer(ALERT_DELAYED_BACK, [&](HWND d) {
                  caption = WindowText(d);
                  for (int id : {100, 1036, 1097, 7, 1029})
                      seen[id] = ItemText(d, id);
                  Press(d, IDNO);
              }));
    EXPECT_EQ(Res(1023), caption);
    EXPECT_EQ("Fixture App", seen[100]);
    EXPECT_EQ(0u, seen[1036].find(
                      "\nThis program has put itself back into the regular Windows Startup "
                      "Programs list."));
    EXPECT_EQ("Version", seen[1097]);
    EXPECT_EQ("Disable", seen[7]);
    EXPECT_EQ("1.2.3.4", seen[1029]);
    SetCurrentAlert(CURRENT_RUN, "FixtureValue", plain_.c_str());
    EXPECT_EQ(IDYES, Answer(ALERT_DELAYED_BACK, PressEsc));
    SetCurrentAlert(CURRENT_RUN, "FixtureValue", plain_.c_str());
    EXPECT_EQ(IDYES, Answer(ALERT_DELAYED_BACK, [](HWND d) { Press(d, IDYES); }));
    // This dialog writes no history.
    EXPECT_EQ("", History());
}

TEST_F(AlertTest, AddonAndTaskAlertsNameTheirEntryAndAccept)
{
    std::string name, message, label;
    SetCurrentAlert(0, "Fixture Toolbar", app_.c_str());
    EXPECT_EQ(IDYES, Answer(ALERT_ADDON, [&](HWND d) {
                  name = ItemText(d, 100);
                  message = ItemText(d, 1036);
                  label = ItemText(d, 1097);
                  PressEsc(d);
              }));
    EXPECT_EQ("Fixture Toolbar", name);
    EXPECT_EQ(Res(701), message);
    EXPECT_EQ("Version:", label);
    SetCurrentAlert(0, "Fixture Toolbar", plain_.c_str());
    EXPECT_EQ(IDNO, Answer(ALERT_ADDON, [](HWND d) { Press(d, IDNO); }));
    EXPECT_NE(std::string::npos, History().find("IEHELPER_Alert"));

    SetCurrentAlert(0, "Nightly Backup.job", app_.c_str());
    EXPECT_EQ(IDYES, Answer(ALERT_TASK, [&](HWND d) {
                  name = ItemText(d, 100);
                  message = ItemText(d, 1036);
                  PressEsc(d);
              }));
    EXPECT_EQ("Nightly Backup", name);
    EXPECT_EQ(Res(692), message);
    // A task of the task service has no file extension to drop: its path is shown whole.
    SetCurrentAlert(0, "\\Kx Folder\\Nightly", app_.c_str());
    EXPECT_EQ(IDYES, Answer(ALERT_TASK, [&](HWND d) {
                  name = ItemText(d, 100);
                  PressEsc(d);
              }));
    EXPECT_EQ("\\Kx Folder\\Nightly", name);
    SetCurrentAlert(0, "abc", plain_.c_str());
    EXPECT_EQ(IDNO, Answer(ALERT_TASK, [&](HWND d) {
                  name = ItemText(d, 100);
                  Press(d, IDNO);
              }));
    EXPECT_EQ(Res(718), name);
    std::string history = History();
    EXPECT_NE(std::string::npos, history.find("TASK_Alert"));
    EXPECT_NE(std::string::npos, history.find("Fixture App"));
}

TEST_F(AlertTest, HiddenFileAlertEscDeletes)
{
    std::string deleteLabel, okLabel;
    SetCurrentAlert(TYPE_HIDDEN, "hidden.exe", plain_.c_str());
    EXPECT_EQ(IDNO, Answer(ALERT_HIDDEN, [&](HWND d) {
                  deleteLabel = ItemText(d, 2);
                  okLabel = ItemText(d, 1);
                  PressEsc(d);
              }));
    EXPECT_EQ("&Delete", deleteLabel);
    EXPECT_EQ("OK", okLabel);
    SetCurrentAlert(TYPE_HIDDEN, "hidden.exe", plain_.c_str());
    EXPECT_EQ(IDYES, Answer(ALERT_HIDDEN, [](HWND d) { Press(d, IDOK); }));
    SetCurrentAlert(TYPE_HIDDEN, "hidden.exe", plain_.c_str());
    EXPECT_EQ(IDNO, Answer(ALERT_HIDDEN, [](HWND d) { Press(d, 2); }));
    std::string history = History();
    EXPECT_NE(std::string::npos, history.find("HIDDEN_Alert"));
    EXPECT_NE(std::string::npos, history.find("hidden.exe"));
}

TEST_F(AlertTest, ServiceAlertEscRefusesAndRecordsOnlyWhatWasDone)
{
    const std::string service = "KxFixtureService";
    ForgetKey(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\" + service);
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyA(HKEY_LOCAL_MACHINE,
                            ("SYSTEM\\CurrentControlSet\\Services\\" + service).c_str(), &key));
    DWORD manual = 3;
    RegSetValueExA(key, "Start", 0, REG_DWORD, (const BYTE*)&manual, sizeof(manual));
    RegCloseKey(key);

    std::string top, status;
    // The dialog acts on the key of the entry shown, not on the display name.
    SetCurrentAlert(SERVICE_EXE, "Kx Fixture Display Name", app_.c_str());
    lstrcpynA(g_alert.service, service.c_str(), sizeof(g_alert.service));
    EXPECT_EQ(IDNO, Answer(ALERT_SERVICE, [&](HWND d) {
                  top = ItemText(d, 1143);
                  status = ItemText(d, 1144);
                  PressEsc(d);
              }));
    EXPECT_EQ(Res(900), top);
    EXPECT_EQ(0u, status.find("Startup Status: Manual\n"));
    // Nothing of this service runs, so no line claims a stop; its start type is written, and
    // the line says so only because the key now holds 4.
    std::string history = History();
    EXPECT_EQ(std::string::npos, history.find(ActionName(ACT_SERVICE_STOP))) << history;
    DWORD start = 0, size = sizeof(start);
    RegGetValueA(HKEY_LOCAL_MACHINE, ("SYSTEM\\CurrentControlSet\\Services\\" + service).c_str(),
                 "Start", RRF_RT_REG_DWORD, nullptr, &start, &size);
    EXPECT_EQ(start == 4, history.find(ActionName(ACT_SERVICE_DISABLED)) != std::string::npos)
        << history;
    // A start type the service manager refused is told, once.
    EXPECT_EQ(start == 4 ? 0u : 1u, g_messages.size());
    if (start != 4 && !g_messages.empty()) {
        EXPECT_NE(std::string::npos, g_messages[0].find("Nothing was changed")) << g_messages[0];
    }

    SetCurrentAlert(SERVICE_EXE, "KxNoSuchService", app_.c_str());
    lstrcpynA(g_alert.service, "KxNoSuchService", sizeof(g_alert.service));
    EXPECT_EQ(IDYES, Answer(ALERT_SERVICE, [&](HWND d) {
                  status = ItemText(d, 1144);
                  Press(d, IDYES);
              }));
    EXPECT_EQ(0u, status.find("Startup Status: Unknown\n"));
    SetCurrentAlert(SERVICE_EXE, service.c_str(), app_.c_str());
    EXPECT_EQ(IDNO, Answer(ALERT_SERVICE, [](HWND d) { Press(d, IDNO); }));
}

TEST_F(AlertTest, FileTypeAlertShowsBothPrograms)
{
    std::map<int, std::string> seen;
    std::string caption;
    SetCurrentAlert(TYPE_FILETYPE, ".kxf", app_.c_str());
    lstrcpynA(g_alert.previous, plain_.c_str(), sizeof(g_alert.previous));
    EXPECT_EQ(IDYES, Answer(ALERT_FILETYPE, [&](HWND d) {
                  caption = WindowText(d);
                  for (int id : {1121, 1113, 1111, 1114, 1117, 1118, 1119, 1115, 1120})
                      seen[id] = ItemText(d, id);
                  PressEsc(d);
              }));
    EXPECT_EQ(Res(760), caption);
    EXPECT_EQ(".kxf", seen[1121]);
    EXPECT_EQ(app_, seen[1113]);
    EXPECT_EQ("Fixture App", seen[1111]);
    EXPECT_EQ("Orvane Fixtures", seen[1114]);
    EXPECT_EQ(plain_, seen[1117]);
    EXPECT_EQ("", seen[1118]);
    EXPECT_EQ("", seen[1119]);
    EXPECT_EQ(Res(301), seen[1115]);
    EXPECT_EQ(Res(301), seen[1120]);
    SetCurrentAlert(TYPE_FILETYPE, ".kxf", app_.c_str());
    EXPECT_EQ(IDNO, Answer(ALERT_FILETYPE, [](HWND d) { Press(d, IDNO); }));
    // A file-type alert writes no history line.
    EXPECT_EQ("", History());
}

TEST_F(AlertTest, SystemFileAlertEndsWithZeroWhenTheCopyFails)
{
    const std::string hosts = TempPath("hosts");
    WriteTextFile(hosts, "127.0.0.1 localhost\r\n");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_SYSFILES_KEY "\\HOSTS", "Comment", "Name lookups");
    std::map<int, std::string> seen;
    auto fill = [&] {
        SetCurrentAlert(0, "HOSTS", "");
        lstrcpynA(g_alert.file, hosts.c_str(), sizeof(g_alert.file));
    };
    fill();
    int errorBoxes = 0;
    INT_PTR result = DriveAlerts(
        {{Res(1000),
          [&](HWND d) {
              for (int id : {1025, 1026, 1027, 1174, 1039, 1175, 1176, 1028, 1170, 1171, 1172,
                             1173, 1014})
                  seen[id] = ItemText(d, id);
              Press(d, 1172);
          }},
         {"System Error", [&](HWND box) {
              errorBoxes++;
              Press(box, IDOK);
          }}},
        [] { return ShowAlertDialog(nullptr, ALERT_SYSFILE); });
    EXPECT_TRUE(AllStepsRan());
    EXPECT_EQ(0, result);
    EXPECT_EQ(1, errorBoxes);
    EXPECT_EQ(Res(1001), seen[1025]);
    EXPECT_EQ(Res(1002), seen[1026]);
    EXPECT_EQ(Res(1003), seen[1027]);
    EXPECT_EQ("Filename:", seen[1174]);
    EXPECT_EQ("Location:", seen[1039]);
    EXPECT_EQ("HOSTS", seen[1175]);
    EXPECT_EQ(hosts, seen[1176]);
    EXPECT_EQ("Name lookups", seen[1028]);
    EXPECT_EQ("View &New File", seen[1170]);
    EXPECT_EQ("View &Previous File", seen[1171]);
    EXPECT_EQ("&Accept Change", seen[1172]);
    EXPECT_EQ("&Reject Change", seen[1173]);
    EXPECT_EQ(" Disable Future Monitoring of this file.", seen[1014]);
    for (const char* name : {"xPosSysFiles", "yPosSysFiles", "dxSysFiles", "dySysFiles"})
        EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, KX_KEY, name)) << name;

    // A view that fails (the file is gone) reports it and keeps the dialog open; Esc then
    // takes the accept road.
    fill();
    lstrcpynA(g_alert.file, TempPath("gone").c_str(), sizeof(g_alert.file));
    bool stillOpen = false;
    result = DriveAlerts({{Res(1000), [](HWND d) { Press(d, 1170); }},
                          {"Kestrix", [](HWND box) { Press(box, IDOK); }},
                          {Res(1000),
                           [&](HWND d) {
                               stillOpen = IsWindowVisible(d);
                               PressEsc(d);
                           }},
                          {"System Error", [](HWND box) { Press(box, IDOK); }}},
                         [] { return ShowAlertDialog(nullptr, ALERT_SYSFILE); });
    EXPECT_TRUE(AllStepsRan());
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(0, result);
}

TEST_F(AlertTest, AcceptingAChangeOfAFileThatIsGoneEndsWithZero)
{
    SetCurrentAlert(0, "HOSTS", "");
    lstrcpynA(g_alert.file, TempPath("gone").c_str(), sizeof(g_alert.file));
    INT_PTR result = DriveAlerts({{Res(1000), [](HWND d) { Press(d, 1172); }},
                                  {"System Error", [](HWND box) { Press(box, IDOK); }}},
                                 [] { return ShowAlertDialog(nullptr, ALERT_SYSFILE); });
    EXPECT_TRUE(AllStepsRan());
    EXPECT_EQ(0, result);
}

TEST_F(AlertTest, HelpPageFollowsPageIdAndLanguage)
{
    char name[MAX_PATH];
    HelpFileName(6051, name, sizeof(name));
    EXPECT_STREQ("helpme.html", name);
    HelpFileName(6026, name, sizeof(name));
    EXPECT_STREQ("features.html", name);
    WriteValueText(HKEY_LOCAL_MACHINE, KX_KEY, "LString634", "de");
    int language = uiLanguage;
    uiLanguage = 7;
    HelpFileName(6051, name, sizeof(name));
    uiLanguage = language;
    EXPECT_STREQ("de_helpme.html", name);
}

// --- Sounds ---

struct PlayedSound {
    std::string name;
    bool resource;
    DWORD flags;
};
std::vector<PlayedSound> g_played;

BOOL RecordSound(LPCSTR sound, HMODULE, DWORD flags)
{
    bool resource = (flags & SND_RESOURCE) != 0;
    g_played.push_back({resource ? std::to_string((UINT_PTR)sound) : std::string(sound), resource,
                        flags});
    return TRUE;
}

class SoundTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        ForgetKey(HKEY_CURRENT_USER, "AppEvents\\Schemes\\Apps\\Kestrix");
        g_played.clear();
        SetSoundPlayerSeam(RecordSound);
    }
    void TearDown() override
    {
        SetSoundPlayerSeam(nullptr);
        KxTest::TearDown();
    }
};

TEST_F(SoundTest, EmptyEventPlaysTheBuiltInWaveAndSoundZeroPlaysNothing)
{
    PlayAlertSound(SOUND_STARTUP);
    ASSERT_EQ(1u, g_played.size());
    EXPECT_TRUE(g_played[0].resource);
    EXPECT_EQ("170", g_played[0].name);
    EXPECT_EQ(0u, g_played[0].flags & SND_ASYNC);
    EXPECT_NE(0u, g_played[0].flags & SND_NOWAIT);

    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Sound", "0");
    PlayAlertSound(SOUND_STARTUP);
    PlayAlertSound(SOUND_SYSFILE);
    EXPECT_EQ(1u, g_played.size());
}

TEST_F(SoundTest, EachCategoryPlaysItsOwnEventFile)
{
    const std::string wave = TempPath("sys.wav");
    WriteTextFile(wave, "RIFF");
    WriteValueText(HKEY_CURRENT_USER, "AppEvents\\Schemes\\Apps\\Kestrix\\SystemFile Alert\\.current",
                   "", wave);
    PlayAlertSound(SOUND_SYSFILE);
    ASSERT_EQ(1u, g_played.size());
    EXPECT_FALSE(g_played[0].resource);
    EXPECT_EQ(wave, g_played[0].name);
    EXPECT_NE(0u, g_played[0].flags & SND_FILENAME);
    // Another category does not hear it; an index above 6 is the Open event.
    PlayAlertSound(SOUND_TASK);
    EXPECT_TRUE(g_played[1].resource);
    EXPECT_STREQ("AppEvents\\Schemes\\Apps\\Kestrix\\Open\\.current", AlertSoundKey(9));
    EXPECT_STREQ("AppEvents\\Schemes\\Apps\\Kestrix\\IE Helper\\.current",
                 AlertSoundKey(SOUND_IE_HELPER));
}

TEST_F(SoundTest, MissingWaveFileFallsBackToTheBuiltInSound)
{
    WriteValueText(HKEY_CURRENT_USER, "AppEvents\\Schemes\\Apps\\Kestrix\\Startup Alert\\.current",
                   "", TempPath("gone.wav"));
    PlayAlertSound(SOUND_STARTUP);
    ASSERT_EQ(1u, g_played.size());
    EXPECT_TRUE(g_played[0].resource);
}

}  // namespace

namespace {
std::vector<std::string> g_webOpened;
int RecordWeb(const char* verb, const char* target)
{
    g_webOpened.push_back(std::string(verb) + " " + target);
    return 1;
}
}   // namespace

// Every alert's information button hands the program to the online lookup, the alert's type
// moved up by 1000 so that the service tells an alert from a listed entry.
TEST_F(AlertTest, EveryInformationButtonOpensTheOnlineLookupOfItsProgram)
{
    SetReportShellHook(RecordWeb);
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "VantaFormat", "0");
    const struct {
        int templateId, button, type;
    } kAlerts[] = {
        {ALERT_STARTUP, 1067, CURRENT_RUN}, {ALERT_DELAYED_BACK, 1067, CURRENT_RUN},
        {ALERT_ADDON, 1067, TYPE_BHO},      {ALERT_TASK, 1067, TASK_SCHEDULED},
        {ALERT_SERVICE, 1067, SERVICE_EXE}, {ALERT_HIDDEN, 1067, TYPE_HIDDEN},
        {ALERT_FILETYPE, 1115, TYPE_FILETYPE},
    };
    for (const auto& a : kAlerts) {
        SCOPED_TRACE(a.templateId);
        g_webOpened.clear();
        SetCurrentAlert(a.type, "FixtureValue", app_.c_str());
        Answer(a.templateId, [&](HWND d) {
            Press(d, a.button);
            Press(d, IDYES);
        });
        ASSERT_EQ(1u, g_webOpened.size());
        const std::string& opened = g_webOpened[0];
        EXPECT_EQ(0u, opened.find("open " KX_INFO_HOST "/")) << opened;
        EXPECT_NE(std::string::npos, opened.find("&Type=" + std::to_string(a.type + 1000) + "&")) << opened;
        EXPECT_NE(std::string::npos, opened.find("program=KXFX_APP.EXE&")) << opened;
    }
    SetReportShellHook(nullptr);
}

// Without its help pages in the program folder the monitor opens them from the web.
TEST_F(AlertTest, HelpWithoutItsLocalPageOpensTheWebPage)
{
    SetHelpPageSeam(nullptr);
    SetReportShellHook(RecordWeb);
    g_webOpened.clear();
    char name[MAX_PATH];
    HelpFileName(6051, name, sizeof(name));
    EXPECT_EQ(1, OpenHelpPage(nullptr, 6051));
    ASSERT_EQ(1u, g_webOpened.size());
    EXPECT_EQ(std::string("open ") + KX_HELP_SITE + name, g_webOpened[0]);
    SetReportShellHook(nullptr);
}
