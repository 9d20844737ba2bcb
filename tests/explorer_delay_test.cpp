// The explorer's delayed-start dialogs and questions, driven in-process: a watcher thread
// reads and sets the controls of the open dialog and closes it.
#include "kxtest.h"
#include "../explorer/delaydialogs.h"
#include "../explorer/elevate.h"
#include "elevation.h"
#include "delaystart.h"
#include "dialogs_delay.h"
#include "entrylist.h"
#include "keys.h"
#include "program.h"
#include "resstring.h"
#include "fixtures_delay/dialogwatch.h"
#include <vector>

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string Res(UINT id)
{
    char text[1024] = "";
    LoadResString(id, text, sizeof(text));
    return text;
}

std::string ControlText(HWND dialog, int id)
{
    char text[1024] = "";
    SendDlgItemMessageA(dialog, id, WM_GETTEXT, sizeof(text), (LPARAM)text);
    return text;
}

int Selection(HWND dialog, int id) { return (int)SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0); }

class ExplorerDelayTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        g_programKind = PROGRAM_EXPLORER;
        ClearEntries();
    }
    void TearDown() override
    {
        ClearEntries();
        KxTest::TearDown();
    }
};

TEST_F(ExplorerDelayTest, ProgramTypeDialogPresetsTheCurrentUserAndReportsTheChoice)
{
    std::string question, allUsers;
    int preset = -1;
    DialogWatch watch;
    watch.Start([&](HWND dialog) {
        question = ControlText(dialog, IDC_TYPE_QUESTION);
        allUsers = ControlText(dialog, IDC_TYPE_ALL_USERS);
        preset = (int)IsDlgButtonChecked(dialog, IDC_TYPE_CURRENT_USER);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(2, AskStartupProgramType(nullptr));
    watch.Wait();
    EXPECT_EQ(Res(1129), watch.caption);
    EXPECT_EQ(Res(1126), question);
    EXPECT_EQ(Res(1127), allUsers);
    EXPECT_EQ(BST_CHECKED, preset);

    DialogWatch pick;
    pick.Start([](HWND dialog) {
        SendDlgItemMessageA(dialog, IDC_TYPE_ALL_USERS, BM_CLICK, 0, 0);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(1, AskStartupProgramType(nullptr));
    pick.Wait();

    DialogWatch cancel;
    cancel.Press(IDCANCEL);
    EXPECT_EQ(0, AskStartupProgramType(nullptr));
}

struct ShownOptions {
    int minutes = -1, seconds = -1, openAs = -1;
    std::string openAsText, parameters, title;
};

ShownOptions ShowAndCancel(HKEY root, const char* program)
{
    ShownOptions shown;
    DialogWatch watch;
    watch.Start([&](HWND dialog) {
        shown.minutes = Selection(dialog, IDC_DELAY_MINUTES);
        shown.seconds = Selection(dialog, IDC_DELAY_SECONDS);
        shown.openAs = Selection(dialog, IDC_DELAY_OPENAS);
        shown.openAsText = ControlText(dialog, IDC_DELAY_OPENAS);
        shown.parameters = ControlText(dialog, IDC_DELAY_PARAMETERS);
        shown.title = ControlText(dialog, IDC_DELAY_TITLE);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    DelayOptionValues values = {};
    EXPECT_EQ(0, ShowDelayOptions(nullptr, root, program, &values));
    watch.Wait();
    EXPECT_TRUE(watch.seen);
    return shown;
}

TEST_F(ExplorerDelayTest, OptionsShowTheStoredDelayInMinutesAndTensOfSeconds)
{
    const char* program = "C:\\Tools\\agent.exe";
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_TIME_KEY, program, "90");
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_OPENAS_KEY, program, "2");
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_PARAMETERS_KEY, program, " -tray");
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_TITLE_KEY, program, "Agent");
    ShownOptions shown = ShowAndCancel(HKEY_CURRENT_USER, program);
    EXPECT_EQ(1, shown.minutes);
    EXPECT_EQ(3, shown.seconds);   // the choice "30"
    EXPECT_EQ(2, shown.openAs);
    EXPECT_EQ(Res(1140), shown.openAsText);
    EXPECT_EQ(" -tray", shown.parameters);
    EXPECT_EQ("Agent", shown.title);

    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_TIME_KEY, program, "95");
    shown = ShowAndCancel(HKEY_CURRENT_USER, program);
    EXPECT_EQ(1, shown.minutes);
    EXPECT_EQ(3, shown.seconds);

    // Cancel wrote nothing; a program without any values shows zeros and a normal window.
    EXPECT_EQ("95", ReadValueText(HKEY_CURRENT_USER, KX_DELAY_TIME_KEY, program));
    shown = ShowAndCancel(HKEY_CURRENT_USER, "C:\\Tools\\other.exe");
    EXPECT_EQ(0, shown.minutes);
    EXPECT_EQ(0, shown.seconds);
    EXPECT_EQ(0, shown.openAs);
}

TEST_F(ExplorerDelayTest, OptionsOkWritesTimeStateParametersAndTitleUnderTheEntrysRoot)
{
    const char* program = "C:\\Tools\\machine.exe";
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DELAY_TIME_KEY, program, "30");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DELAY_TITLE_KEY, program, "Old title");
    DialogWatch watch;
    watch.Start([](HWND dialog) {
        SendDlgItemMessageA(dialog, IDC_DELAY_MINUTES, CB_SETCURSEL, 2, 0);
        SendDlgItemMessageA(dialog, IDC_DELAY_SECONDS, CB_SETCURSEL, 4, 0);
        SendDlgItemMessageA(dialog, IDC_DELAY_OPENAS, CB_SETCURSEL, 1, 0);
        SetDlgItemTextA(dialog, IDC_DELAY_PARAMETERS, "/quiet");
        SetDlgItemTextA(dialog, IDC_DELAY_TITLE, "");
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    DelayOptionValues values = {};
    EXPECT_EQ(1, ShowDelayOptions(nullptr, HKEY_LOCAL_MACHINE, program, &values));
    watch.Wait();
    EXPECT_EQ(1, StoreDelayOptions(HKEY_LOCAL_MACHINE, program, values.seconds, values.openAs,
                                   values.parameters, values.title));
    EXPECT_EQ("160", ReadValueText(HKEY_LOCAL_MACHINE, KX_DELAY_TIME_KEY, program));
    EXPECT_EQ("1", ReadValueText(HKEY_LOCAL_MACHINE, KX_DELAY_OPENAS_KEY, program));
    EXPECT_EQ("/quiet", ReadValueText(HKEY_LOCAL_MACHINE, KX_DELAY_PARAMETERS_KEY, program));
    EXPECT_EQ("", ReadValueText(HKEY_LOCAL_MACHINE, KX_DELAY_TITLE_KEY, program));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_DELAY_TIME_KEY, program));
}

// Picks file in the open-file dialog, then answers the Startup Program Type dialog.
void DriveAddFlow(DialogWatch& watch, const std::string& file, bool allUsers, bool cancelType,
                  std::string* fileDialogCaption)
{
    DWORD threadId = GetCurrentThreadId();
    watch.Start([&watch, file, allUsers, cancelType, fileDialogCaption, threadId](HWND open) {
        *fileDialogCaption = watch.caption;
        // The file name box: cmb13 in the Explorer-style dialog, edt1 in the old one.
        SetDlgItemTextA(open, 0x47c, file.c_str());
        SetDlgItemTextA(open, 0x480, file.c_str());
        PostMessageA(open, WM_COMMAND, IDOK, 0);
        for (int i = 0; i < 1000; i++) {
            HWND next = DialogWatch::FindDialog(threadId);
            if (next && next != open && GetDlgItem(next, IDC_TYPE_ALL_USERS)) {
                Sleep(50);
                if (allUsers)
                    SendDlgItemMessageA(next, IDC_TYPE_ALL_USERS, BM_CLICK, 0, 0);
                PostMessageA(next, WM_COMMAND, cancelType ? IDCANCEL : IDOK, 0);
                return;
            }
            Sleep(10);
        }
    });
}

std::vector<std::string> g_elevatedLines;
int RunCopyHere(const char*, const char* parameters)
{
    g_elevatedLines.push_back(parameters);
    int exitCode = -5;
    EXPECT_EQ(1, RunElevatedSwitch(parameters, &exitCode));
    return exitCode;
}

// With administrator rights the manager stores it; without, the elevated copy does, and the
// approval is this user's either way.
TEST_F(ExplorerDelayTest, AddingAProgramForAllUsersStoresItUnderTheMachine)
{
    std::string file = TempPath("tool.exe");
    WriteTextFile(file, "MZ");
    SetElevatedRunner(RunCopyHere);
    for (int elevated : {1, 0}) {
        SCOPED_TRACE(elevated);
        SetElevatedOverride(elevated);
        g_elevatedLines.clear();
        DeleteDelayValues(HKEY_LOCAL_MACHINE, file.c_str());
        DialogWatch watch;
        std::string caption;
        DriveAddFlow(watch, file, true, false, &caption);
        EXPECT_EQ(1, AddProgramToDelayedStart(nullptr));
        watch.Wait();
        EXPECT_EQ(Res(902), caption);
        EXPECT_EQ("1", ReadValueText(HKEY_LOCAL_MACHINE, KX_DELAY_KEY, file));
        EXPECT_EQ("30", ReadValueText(HKEY_LOCAL_MACHINE, KX_DELAY_TIME_KEY, file));
        EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_DELAY_KEY, file));
        EXPECT_TRUE(IsApprovedDelayed(file.c_str()));
        ASSERT_EQ(elevated ? 0u : 1u, g_elevatedLines.size());
        if (!elevated) {
            EXPECT_EQ(0u, g_elevatedLines[0].find("-Elevated 18 ")) << g_elevatedLines[0];
        }
    }
    SetElevatedOverride(-1);
    SetElevatedRunner(nullptr);
}

TEST_F(ExplorerDelayTest, AddingAProgramForTheCurrentUserOrCancellingTheType)
{
    std::string file = TempPath("tool.exe");
    WriteTextFile(file, "MZ");
    {
        DialogWatch watch;
        std::string caption;
        DriveAddFlow(watch, file, false, true, &caption);
        EXPECT_EQ(0, AddProgramToDelayedStart(nullptr));
        watch.Wait();
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, KX_DELAY_KEY));
    }
    DialogWatch watch;
    std::string caption;
    DriveAddFlow(watch, file, false, false, &caption);
    EXPECT_EQ(1, AddProgramToDelayedStart(nullptr));
    watch.Wait();
    EXPECT_EQ("11", ReadValueText(HKEY_CURRENT_USER, KX_DELAY_KEY, file));
    EXPECT_EQ("30", ReadValueText(HKEY_CURRENT_USER, KX_DELAY_TIME_KEY, file));
}

TEST_F(ExplorerDelayTest, MovingAMachineEntryAsksFirstAndCancelLeavesItInPlace)
{
    SaveValue(HKEY_LOCAL_MACHINE, kRunKey, "KxDelayMachine");
    WriteValueText(HKEY_LOCAL_MACHINE, kRunKey, "KxDelayMachine", "C:\\Tools\\machine.exe /s");
    {
        DialogWatch watch;
        watch.Press(IDCANCEL);
        EXPECT_EQ(0, MoveToDelayedStart(nullptr, "KxDelayMachine", "C:\\Tools\\machine.exe /s",
                                        "", MACHINE_RUN, 0));
        watch.Wait();
        EXPECT_NE(std::string::npos, watch.text.find(Res(1120).substr(1, 60))) << watch.text;
        EXPECT_EQ("C:\\Tools\\machine.exe /s",
                  ReadValueText(HKEY_LOCAL_MACHINE, kRunKey, "KxDelayMachine"));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, KX_DELAY_KEY));
    }
    DialogWatch watch;
    watch.Press(IDOK);
    EXPECT_EQ(1, MoveToDelayedStart(nullptr, "KxDelayMachine", "C:\\Tools\\machine.exe /s", "",
                                    MACHINE_RUN, 0));
    watch.Wait();
    EXPECT_EQ("1", ReadValueText(HKEY_LOCAL_MACHINE, KX_DELAY_KEY, "C:\\Tools\\machine.exe"));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, "KxDelayMachine"));
}

TEST_F(ExplorerDelayTest, ASecondEntryOfADelayedProgramIsRefusedAndTheFirstSurvives)
{
    // The store keys its record by program file; the second delay would overwrite the
    // first one's title, arguments and origin.
    ASSERT_GT(Res(1131).size(), 41u);
    for (const char* name : {"KxDelayFirst", "KxDelaySecond"})
        SaveValue(HKEY_CURRENT_USER, kRunKey, name);
    WriteValueText(HKEY_CURRENT_USER, kRunKey, "KxDelayFirst", "C:\\Tools\\app.exe -first");
    WriteValueText(HKEY_CURRENT_USER, kRunKey, "KxDelaySecond", "C:\\Tools\\app.exe -second");
    ASSERT_EQ(1, MoveToDelayedStart(nullptr, "KxDelayFirst", "C:\\Tools\\app.exe -first", "",
                                    CURRENT_RUN, 0));
    {
        DialogWatch watch;
        watch.Press(IDOK);
        EXPECT_EQ(0, MoveToDelayedStart(nullptr, "KxDelaySecond", "C:\\Tools\\app.exe -second",
                                        "", CURRENT_RUN, 0));
        watch.Wait();
        EXPECT_NE(std::string::npos, watch.text.find(Res(1131).substr(1, 40)))
            << watch.text;
    }
    EXPECT_EQ("C:\\Tools\\app.exe -second",
              ReadValueText(HKEY_CURRENT_USER, kRunKey, "KxDelaySecond"));
    // Adding the same program by hand would overwrite the record's origin.
    EXPECT_EQ(0, AddDelayedProgram("C:\\Tools\\app.exe", 0));
    ASSERT_EQ(1, ListDelayedPrograms());
    ASSERT_EQ(1, RestoreDelayedProgram(0));
    EXPECT_EQ("C:\\Tools\\app.exe -first",
              ReadValueText(HKEY_CURRENT_USER, kRunKey, "KxDelayFirst"));
}

TEST_F(ExplorerDelayTest, AWinlogonShellEntryCannotBeDelayed)
{
    DialogWatch watch;
    watch.Press(IDOK);
    EXPECT_EQ(0, MoveToDelayedStart(nullptr, "Winlogon Shell", "Explorer.exe", "",
                                    WINLOGON_Shell, 0));
    watch.Wait();
    EXPECT_NE(std::string::npos, watch.text.find(Res(1130).substr(1))) << watch.text;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, KX_DELAY_KEY));
}

class ExplorerRestoreTest : public ExplorerDelayTest {
protected:
    void SetUp() override
    {
        ExplorerDelayTest::SetUp();
        SaveValue(HKEY_CURRENT_USER, kRunKey, "KxDelayAgent");
        WriteValueText(HKEY_CURRENT_USER, KX_DELAY_KEY, program, "11");
        WriteValueText(HKEY_CURRENT_USER, KX_DELAY_TITLE_KEY, program, "KxDelayAgent");
        WriteValueText(HKEY_CURRENT_USER, KX_DELAY_TIME_KEY, program, "30");
        WriteValueText(HKEY_CURRENT_USER, KX_DELAY_PARAMETERS_KEY, program, " -tray");
        ASSERT_EQ(1, ListDelayedPrograms());
    }
    int Answer(int button)
    {
        DialogWatch watch;
        watch.Press(button);
        int result = RestoreDelayedEntry(nullptr, 0);
        watch.Wait();
        EXPECT_NE(std::string::npos, watch.text.find(Res(1134).substr(0, 50))) << watch.text;
        return result;
    }
    const char* program = "C:\\Tools\\agent.exe";
};

TEST_F(ExplorerRestoreTest, CancelLeavesTheProgramDelayed)
{
    EXPECT_EQ(-1, Answer(IDCANCEL));
    EXPECT_EQ("30", ReadValueText(HKEY_CURRENT_USER, KX_DELAY_TIME_KEY, program));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunKey, "KxDelayAgent"));
}

TEST_F(ExplorerRestoreTest, NoDropsItFromTheListWithoutPuttingItBack)
{
    EXPECT_EQ(1, Answer(IDNO));
    EXPECT_EQ(0, ListDelayedPrograms());
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_DELAY_TITLE_KEY, program));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunKey, "KxDelayAgent"));
}

TEST_F(ExplorerRestoreTest, YesPutsItBackIntoTheRunKeyWithItsArguments)
{
    EXPECT_EQ(1, Answer(IDYES));
    EXPECT_EQ("C:\\Tools\\agent.exe -tray", ReadValueText(HKEY_CURRENT_USER, kRunKey, "KxDelayAgent"));
    EXPECT_EQ(0, ListDelayedPrograms());
}

}   // namespace
