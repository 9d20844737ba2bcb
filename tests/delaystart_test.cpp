// Delayed start: the store, moving entries in and back out, launching, and the monitor's
// timed launch passes (driven with a fake clock, checked with a recorder program).
#include "kxtest.h"
#include "waits.h"
#include "delaystart.h"
#include "entrylist.h"
#include "findrun.h"
#include "keys.h"
#include "registry.h"
#include "fixtures_delay/dialogwatch.h"
#include <algorithm>
#include <sstream>

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kKnownKey[] = KX_KEY "\\Run";

struct Launch {
    std::string commandLine;
    int show = -2;
    unsigned long long created = 0;
};

std::vector<Launch> ReadLaunches(const std::string& exe)
{
    std::vector<Launch> out;
    std::istringstream in(ReadTextFile(exe + ".log"));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t a = line.rfind("|show="), b = line.rfind("|flags="), c = line.rfind("|created=");
        if (a == std::string::npos || b == std::string::npos || c == std::string::npos)
            continue;
        Launch l;
        l.commandLine = line.substr(0, a);
        l.show = atoi(line.substr(a + 6, b - a - 6).c_str());
        l.created = strtoull(line.substr(c + 9).c_str(), nullptr, 10);
        out.push_back(l);
    }
    return out;
}

// Waits until the recorder at exe has logged count starts (or the time is up).
std::vector<Launch> WaitForLaunches(const std::string& exe, size_t count, int timeoutMs = 15000)
{
    for (int waited = 0; waited < timeoutMs; waited += 50) {
        auto launches = ReadLaunches(exe);
        if (launches.size() >= count)
            return launches;
        Sleep(50);
    }
    return ReadLaunches(exe);
}

// Launches start their programs before they return: once every program under folder (but
// those in keep) has ended, all they would log is logged, and anything that should not have
// started would have shown.
void SettleLaunches(const std::string& folder, const std::vector<DWORD>& keep = {})
{
    EXPECT_TRUE(WaitForProcessesUnderToEnd(folder, keep)) << "a started program runs on";
}

class DelayTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        ClearEntries();
    }
    void TearDown() override
    {
        SetRegistryWriteBlock(nullptr);
        ClearEntries();
        KxTest::TearDown();
    }

    // A copy of the recorder program at TempDir()\relative (folders created).
    std::string PlaceRecorder(const std::string& relative)
    {
        std::string path = TempPath(relative);
        for (size_t at = path.find('\\', TempDir().size() + 1); at != std::string::npos;
             at = path.find('\\', at + 1))
            CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
        std::string recorder = TestProgramFolder() + "\\delayrec.exe";
        EXPECT_TRUE(CopyFileA(recorder.c_str(), path.c_str(), FALSE)) << recorder;
        return path;
    }

    void Delay(HKEY root, const std::string& program, int code, const std::string& time)
    {
        // As Kestrix stores a program: approved first.
        ApproveDelayed(program.c_str());
        WriteValueText(root, KX_DELAY_KEY, program, std::to_string(code));
        if (!time.empty())
            WriteValueText(root, KX_DELAY_TIME_KEY, program, time);
    }

    void UseRunValue(HKEY root, const std::string& name, const std::string& data)
    {
        SaveValue(root, kRunKey, name);
        WriteValueText(root, kRunKey, name, data);
    }
};

int FindEntry(const char* title)
{
    for (int i = 0; i < EntryCount(); i++)
        if (lstrcmpiA(GetEntry(i)->title, title) == 0)
            return i;
    return -1;
}

TEST_F(DelayTest, ListShowsMachineEntriesFirstWithTheirTitlesAndSources)
{
    std::string recorder = PlaceRecorder("rec.exe");
    Delay(HKEY_LOCAL_MACHINE, recorder, 1, "30");
    Delay(HKEY_CURRENT_USER, "C:\\nowhere\\ghost.exe", 11, "30");
    Delay(HKEY_CURRENT_USER, "C:\\nowhere\\linked.exe", 200, "10");
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_TITLE_KEY, "C:\\nowhere\\linked.exe", "Linked");
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_SHORTCUTS_KEY, "C:\\nowhere\\linked.exe",
                   "C:\\Startup\\Linked.lnk");
    Delay(HKEY_CURRENT_USER, "C:\\nowhere\\titled.exe", 101, "10");
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_TITLE_KEY, "C:\\nowhere\\titled.exe",
                   "Microsoft\xAE Windows\xAE Tool");

    ASSERT_EQ(4, ListDelayedPrograms());
    // Machine entry: no Title value, its product name carries "Microsoft(R) Windows(R)" and
    // so the file description is shown instead.
    const EntryRecord* machine = GetEntry(0);
    EXPECT_STREQ("Delay Recorder", machine->title);
    EXPECT_STREQ("Delay Recorder", machine->detail);
    EXPECT_EQ(1, machine->type);
    EXPECT_EQ(0, machine->tag);
    EXPECT_STREQ(machine->title, machine->source);

    int ghost = FindEntry("ghost.exe");   // nothing but the file name to go by
    ASSERT_GE(ghost, 1);
    EXPECT_EQ(1, GetEntry(ghost)->tag);
    EXPECT_EQ(11, GetEntry(ghost)->type);

    int linked = FindEntry("Linked");
    ASSERT_GE(linked, 1);
    EXPECT_STREQ("C:\\Startup\\Linked.lnk", GetEntry(linked)->source);
    EXPECT_EQ(200, GetEntry(linked)->type);

    // A Title value with the registered signs is replaced too; without a description to
    // replace it with, it stays.
    EXPECT_GE(FindEntry("Microsoft\xAE Windows\xAE Tool"), 1);
}

TEST_F(DelayTest, MovingAUserRunEntryStoresItAndMarksItKnown)
{
    UseRunValue(HKEY_CURRENT_USER, "KxDelayAgent", "C:\\Tools\\agent.exe /min=1");
    ASSERT_EQ(1, MoveToDelayedStart(nullptr, "KxDelayAgent", "C:\\Tools\\agent.exe /min=1", "",
                                    CURRENT_RUN, 0));
    const char* program = "C:\\Tools\\agent.exe";
    EXPECT_EQ("11", ReadValueText(HKEY_CURRENT_USER, KX_DELAY_KEY, program));
    EXPECT_EQ("KxDelayAgent", ReadValueText(HKEY_CURRENT_USER, KX_DELAY_TITLE_KEY, program));
    EXPECT_EQ("30", ReadValueText(HKEY_CURRENT_USER, KX_DELAY_TIME_KEY, program));
    EXPECT_EQ(" /min=1", ReadValueText(HKEY_CURRENT_USER, KX_DELAY_PARAMETERS_KEY, program));
    EXPECT_EQ("", ReadValueText(HKEY_CURRENT_USER, KX_DELAY_SHORTCUTS_KEY, program));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_DELAY_APPLET_KEY, program));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, KX_DELAY_KEY, program));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunKey, "KxDelayAgent"));
    // The mark is named like the monitor names startup entries: "=" becomes ":".
    EXPECT_EQ("1103", ReadValueText(HKEY_CURRENT_USER, kKnownKey, "C:\\Tools\\agent.exe /min:1"));
}

TEST_F(DelayTest, ARundllEntryIsStoredWithItsAppletAndStartedThroughIt)
{
    UseRunValue(HKEY_CURRENT_USER, "KxDelayHook", "rundll32.exe C:\\Tools\\hook.dll,Start x");
    ASSERT_EQ(1, MoveToDelayedStart(nullptr, "KxDelayHook", "C:\\Tools\\hook.dll,Start x", "",
                                    CURRENT_RUN, 1));
    EXPECT_EQ("RunDLL32.exe", ReadValueText(HKEY_CURRENT_USER, KX_DELAY_APPLET_KEY,
                                            "C:\\Tools\\hook.dll"));
    EXPECT_EQ(",Start x", ReadValueText(HKEY_CURRENT_USER, KX_DELAY_PARAMETERS_KEY,
                                        "C:\\Tools\\hook.dll"));

    // The applet gets the DLL followed directly by its arguments. A recorder stands in for
    // RunDLL32 so the test sees the command line it was given.
    std::string applet = PlaceRecorder("applet.exe");
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_APPLET_KEY, "C:\\Tools\\hook.dll", applet);
    ASSERT_EQ(1, LaunchDelayedProgram(nullptr, HKEY_CURRENT_USER, "C:\\Tools\\hook.dll"));
    auto launches = WaitForLaunches(applet, 1);
    ASSERT_EQ(1u, launches.size());
    EXPECT_NE(std::string::npos, launches[0].commandLine.find(" C:\\Tools\\hook.dll,Start x"))
        << launches[0].commandLine;
}

TEST_F(DelayTest, MoveRefusesHooksAndTheMonitorItself)
{
    {
        DialogWatch watch;
        watch.Press(IDOK);
        EXPECT_EQ(0, MoveToDelayedStart(nullptr, "Winlogon Shell", "C:\\x\\shell.exe", "",
                                        WINLOGON_Shell, 0));
        watch.Wait();
        EXPECT_TRUE(watch.seen);
    }
    {
        DialogWatch watch;
        watch.Press(IDOK);
        EXPECT_EQ(-1, MoveToDelayedStart(nullptr, "Kestrix", TempPath("KESTRIX.EXE").c_str(), "",
                                         CURRENT_RUN, 0));
        watch.Wait();
        EXPECT_TRUE(watch.seen);
    }
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, KX_DELAY_KEY));
}

TEST_F(DelayTest, AnEntryStaysInStartupWhenItsDelayedCopyCannotBeStored)
{
    UseRunValue(HKEY_CURRENT_USER, "KxDelayAgent", "C:\\Tools\\agent.exe");
    SetRegistryWriteBlock(HKEY_CURRENT_USER);
    EXPECT_EQ(0, MoveToDelayedStart(nullptr, "KxDelayAgent", "C:\\Tools\\agent.exe", "",
                                    CURRENT_RUN, 0));
    SetRegistryWriteBlock(nullptr);
    EXPECT_EQ("C:\\Tools\\agent.exe", ReadValueText(HKEY_CURRENT_USER, kRunKey, "KxDelayAgent"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_DELAY_KEY, "C:\\Tools\\agent.exe"));
}

TEST_F(DelayTest, DelayingAProgramAgainDropsTheArgumentsOfItsEarlierEntry)
{
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_PARAMETERS_KEY, "C:\\Tools\\agent.exe", " -old");
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_APPLET_KEY, "C:\\Tools\\agent.exe", "RunDLL32.exe");
    UseRunValue(HKEY_CURRENT_USER, "KxDelayAgent", "C:\\Tools\\agent.exe");
    ASSERT_EQ(1, MoveToDelayedStart(nullptr, "KxDelayAgent", "C:\\Tools\\agent.exe", "",
                                    CURRENT_RUN, 0));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_DELAY_PARAMETERS_KEY, "C:\\Tools\\agent.exe"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_DELAY_APPLET_KEY, "C:\\Tools\\agent.exe"));
}

TEST_F(DelayTest, AProgramPlacedInTheStartupFolderIsParkedStartedAndPutBack)
{
    const char* shellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    SaveValue(HKEY_CURRENT_USER, shellFolders, "Startup");
    WriteValueText(HKEY_CURRENT_USER, shellFolders, "Startup", TempPath("Startup"));
    std::string item = PlaceRecorder("Startup\\rec.exe");
    std::string body = ReadTextFile(item);
    // An .exe item is listed with itself as command and source.
    ASSERT_EQ(1, MoveToDelayedStart(nullptr, "Rec", item.c_str(), item.c_str(), GROUP_STARTUP, 0));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, KX_DELAY_KEY));
    ASSERT_EQ(1, ListDelayedPrograms());
    std::string parked = GetEntry(0)->command;
    EXPECT_EQ(item, GetEntry(0)->source);
    EXPECT_EQ(GROUP_STARTUP, GetEntry(0)->type);
    EXPECT_TRUE(body == ReadTextFile(parked));   // the program itself, intact
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(item.c_str()));

    ASSERT_EQ(1, LaunchDelayedProgram(nullptr, HKEY_CURRENT_USER, parked.c_str()));
    EXPECT_EQ(1u, WaitForLaunches(parked, 1).size());
    SettleLaunches(TempDir());   // a running program file cannot be moved

    ASSERT_EQ(1, RestoreDelayedProgram(0));
    EXPECT_TRUE(body == ReadTextFile(item));
    EXPECT_EQ("200", ReadValueText(HKEY_CURRENT_USER, kKnownKey, item));
    EXPECT_EQ(0, ListDelayedPrograms());
}

TEST_F(DelayTest, MoveThenRestorePutsTheRunValueBackExactlyAsItWas)
{
    const std::string original = "\"C:\\Program Files\\Agent X\\agentx.exe\" -tray";
    UseRunValue(HKEY_CURRENT_USER, "KxDelayRoundTrip", original);
    BuildStartupList(0);
    int row = FindEntry("KxDelayRoundTrip");
    ASSERT_GE(row, 0);
    EntryRecord entry = *GetEntry(row);
    ASSERT_EQ(1, MoveToDelayedStart(nullptr, entry.title, entry.command, entry.source, entry.type,
                                    entry.tag));
    ASSERT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunKey, "KxDelayRoundTrip"));

    ASSERT_EQ(1, ListDelayedPrograms());
    ASSERT_EQ(1, RestoreDelayedProgram(0));
    EXPECT_EQ(original, ReadValueText(HKEY_CURRENT_USER, kRunKey, "KxDelayRoundTrip"));
    // Known again under the name the inventory gives it, with its code instead of the mark.
    EXPECT_EQ("11", ReadValueText(HKEY_CURRENT_USER, kKnownKey, entry.command));
    EXPECT_EQ(0, ListDelayedPrograms());
    for (const char* key : {KX_DELAY_KEY, KX_DELAY_TITLE_KEY, KX_DELAY_TIME_KEY,
                            KX_DELAY_PARAMETERS_KEY, KX_DELAY_SHORTCUTS_KEY})
        EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, key, "C:\\Program Files\\Agent X\\agentx.exe"))
            << key;
}

TEST_F(DelayTest, RestoreCommandsQuoteBlanksAndKeepRundllCommasAttached)
{
    char out[1024];
    BuildRestoreCommand("C:\\Program Files\\A\\a.exe", " -tray", "", CURRENT_RUN, out, sizeof(out));
    EXPECT_STREQ("\"C:\\Program Files\\A\\a.exe\" -tray", out);
    BuildRestoreCommand("C:\\Tools\\hook.dll", ",Start x", "RunDLL32.exe", MACHINE_RUN, out,
                        sizeof(out));
    EXPECT_STREQ("RunDLL32.exe C:\\Tools\\hook.dll,Start x", out);
    BuildRestoreCommand("C:\\Program Files\\A\\a.exe", "", "", GROUP_STARTUP, out, sizeof(out));
    EXPECT_STREQ("C:\\Program Files\\A\\a.exe", out);   // a shortcut target, not a command
}

TEST_F(DelayTest, RestoreAllPutsEveryProgramBackAndKeepsThoseThatCannotGoBack)
{
    SaveValue(HKEY_LOCAL_MACHINE, kRunKey, "KxDelayMachine");
    SaveValue(HKEY_CURRENT_USER, kRunKey, "KxDelayHook");
    Delay(HKEY_LOCAL_MACHINE, "C:\\Tools\\machine.exe", 1, "30");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DELAY_TITLE_KEY, "C:\\Tools\\machine.exe",
                   "KxDelayMachine");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DELAY_PARAMETERS_KEY, "C:\\Tools\\machine.exe", " /s");
    Delay(HKEY_CURRENT_USER, "C:\\Tools\\hook.dll", 11, "20");
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_TITLE_KEY, "C:\\Tools\\hook.dll", "KxDelayHook");
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_PARAMETERS_KEY, "C:\\Tools\\hook.dll", ",Run");
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_APPLET_KEY, "C:\\Tools\\hook.dll", "RunDLL32.exe");
    // A program whose origin is unknown cannot be put back: it stays delayed.
    Delay(HKEY_CURRENT_USER, "C:\\Tools\\orphan.exe", 0, "30");

    EXPECT_EQ(2, RestoreAllDelayed());
    EXPECT_EQ("C:\\Tools\\machine.exe /s",
              ReadValueText(HKEY_LOCAL_MACHINE, kRunKey, "KxDelayMachine"));
    EXPECT_EQ("RunDLL32.exe C:\\Tools\\hook.dll,Run",
              ReadValueText(HKEY_CURRENT_USER, kRunKey, "KxDelayHook"));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, KX_DELAY_TIME_KEY, "C:\\Tools\\machine.exe"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_DELAY_APPLET_KEY, "C:\\Tools\\hook.dll"));
    EXPECT_EQ(1, ListDelayedPrograms());
    EXPECT_STREQ("C:\\Tools\\orphan.exe", GetEntry(0)->command);
}

TEST_F(DelayTest, DeleteDelayValuesTouchesOnlyThatProgram)
{
    for (const char* key : {KX_DELAY_KEY, KX_DELAY_TITLE_KEY, KX_DELAY_TIME_KEY,
                            KX_DELAY_PARAMETERS_KEY, KX_DELAY_SHORTCUTS_KEY, KX_DELAY_APPLET_KEY,
                            KX_DELAY_OPENAS_KEY}) {
        WriteValueText(HKEY_CURRENT_USER, key, "C:\\a.exe", "1");
        WriteValueText(HKEY_CURRENT_USER, key, "C:\\b.exe", "1");
    }
    EXPECT_EQ(1, DeleteDelayValues(HKEY_CURRENT_USER, "C:\\a.exe"));
    for (const char* key : {KX_DELAY_KEY, KX_DELAY_TITLE_KEY, KX_DELAY_TIME_KEY,
                            KX_DELAY_PARAMETERS_KEY, KX_DELAY_SHORTCUTS_KEY, KX_DELAY_APPLET_KEY,
                            KX_DELAY_OPENAS_KEY}) {
        EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, key, "C:\\a.exe")) << key;
        EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, key, "C:\\b.exe")) << key;
    }
}

TEST_F(DelayTest, LaunchUsesTheWindowStateStoredUnderTheEntrysOwnRoot)
{
    std::string machine = PlaceRecorder("machine.exe");
    std::string user = PlaceRecorder("user.exe");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DELAY_OPENAS_KEY, machine, "1");
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_OPENAS_KEY, user, "2");
    ASSERT_EQ(1, LaunchProgram(nullptr, HKEY_LOCAL_MACHINE, machine.c_str(), machine.c_str(),
                               " -a b"));
    ASSERT_EQ(1, LaunchProgram(nullptr, HKEY_CURRENT_USER, user.c_str(), user.c_str(), ""));
    auto m = WaitForLaunches(machine, 1);
    auto u = WaitForLaunches(user, 1);
    ASSERT_EQ(1u, m.size());
    ASSERT_EQ(1u, u.size());
    EXPECT_EQ(SW_MINIMIZE, m[0].show);
    EXPECT_NE(std::string::npos, m[0].commandLine.find("-a b")) << m[0].commandLine;
    EXPECT_EQ(SW_SHOWMAXIMIZED, u[0].show);

    // A state above 2 counts as a normal window.
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_OPENAS_KEY, user, "7");
    ASSERT_EQ(1, LaunchProgram(nullptr, HKEY_CURRENT_USER, user.c_str(), user.c_str(), ""));
    u = WaitForLaunches(user, 2);
    ASSERT_EQ(2u, u.size());
    EXPECT_EQ(SW_SHOWNORMAL, u[1].show);
}

TEST_F(DelayTest, AProgramPathWithBlanksNeverStartsTheProgramItsFirstWordNames)
{
    // "<temp>\My.exe" is what an unquoted "<temp>\My Tools\tool.exe" would start.
    std::string trap = PlaceRecorder("My.exe");
    std::string tool = PlaceRecorder("My Tools\\tool.exe");
    ASSERT_EQ(1, LaunchWithWinExec(tool.c_str(), SW_SHOWNORMAL));
    ASSERT_EQ(1, LaunchProgram(nullptr, HKEY_CURRENT_USER, tool.c_str(), tool.c_str(), " x"));
    EXPECT_EQ(2u, WaitForLaunches(tool, 2).size());
    SettleLaunches(TempDir());
    EXPECT_TRUE(ReadLaunches(trap).empty());
}

class DelayScheduleTest : public DelayTest {
protected:
    std::string Program(HKEY root, const std::string& name, const std::string& time)
    {
        std::string path = PlaceRecorder(name);
        Delay(root, path, root == HKEY_LOCAL_MACHINE ? 1 : 11, time);
        return path;
    }
};

TEST_F(DelayScheduleTest, PassesStartEachProgramOnceWhenItsDelayComesMachineFirst)
{
    std::string machine20 = Program(HKEY_LOCAL_MACHINE, "machine20.exe", "20");
    std::string user20 = Program(HKEY_CURRENT_USER, "user20.exe", "20");
    std::string user10 = Program(HKEY_CURRENT_USER, "user10.exe", "10");
    std::string user0 = Program(HKEY_CURRENT_USER, "user0.exe", "0");
    std::string user35 = Program(HKEY_CURRENT_USER, "user35.exe", "35");
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_PARAMETERS_KEY, user10, " -from-store");

    ASSERT_EQ(5, DelayedStartBegin(nullptr, 1000));
    EXPECT_EQ(0, EntryCount());   // the count leaves the shared list empty

    // First pass (step 10 s): the 10-second program, and a delay of 0 at once.
    EXPECT_EQ(1, DelayedStartStep(13000));
    EXPECT_EQ(10, DelayedStartStepSeconds());
    auto first = WaitForLaunches(user10, 1);
    ASSERT_EQ(1u, first.size());
    EXPECT_NE(std::string::npos, first[0].commandLine.find("-from-store"));
    EXPECT_EQ(1u, WaitForLaunches(user0, 1).size());
    EXPECT_TRUE(ReadLaunches(machine20).empty());
    EXPECT_EQ(2, DelayedStartHandled());

    // Second pass (20 s): both 20-second programs, the machine's first.
    EXPECT_EQ(1, DelayedStartStep(25000));
    auto m = WaitForLaunches(machine20, 1);
    auto u = WaitForLaunches(user20, 1);
    ASSERT_EQ(1u, m.size());
    ASSERT_EQ(1u, u.size());
    EXPECT_LT(m[0].created, u[0].created);

    // Third pass (30 s) has nothing; the fourth (40 s) starts the 35-second program
    // and ends the schedule.
    EXPECT_EQ(1, DelayedStartStep(37000));
    EXPECT_EQ(0, DelayedStartStep(49000));
    EXPECT_EQ(1u, WaitForLaunches(user35, 1).size());
    EXPECT_EQ(5, DelayedStartHandled());

    // Nothing starts twice.
    EXPECT_EQ(0, DelayedStartStep(61000));
    SettleLaunches(TempDir());
    for (const std::string& p : {machine20, user20, user10, user0, user35})
        EXPECT_EQ(1u, ReadLaunches(p).size()) << p;
}

// The schedule starts what the Delayed Start list shows and Kestrix approved: a name planted
// in the delay times alone, or in the list behind Kestrix's back, never starts.
TEST_F(DelayScheduleTest, OnlyApprovedProgramsOfTheListStart)
{
    std::string approved = Program(HKEY_CURRENT_USER, "approved.exe", "10");
    std::string timeOnly = PlaceRecorder("timeonly.exe");
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_TIME_KEY, timeOnly, "10");
    std::string planted = PlaceRecorder("planted.exe");
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_KEY, planted, "11");
    WriteValueText(HKEY_CURRENT_USER, KX_DELAY_TIME_KEY, planted, "10");
    DelayedStartBegin(nullptr, 1000);
    DelayedStartStep(13000);
    EXPECT_EQ(1u, WaitForLaunches(approved, 1).size());
    SettleLaunches(TempDir());
    EXPECT_TRUE(ReadLaunches(timeOnly).empty());
    EXPECT_TRUE(ReadLaunches(planted).empty());
}

TEST_F(DelayScheduleTest, LostTicksDoNotHoldBackProgramsWhoseDelayHasPassed)
{
    std::string late = Program(HKEY_CURRENT_USER, "late.exe", "50");
    std::string later = Program(HKEY_CURRENT_USER, "later.exe", "120");
    ASSERT_EQ(2, DelayedStartBegin(nullptr, 0));
    // The window thread was busy for a minute: the first pass comes at 60 s.
    EXPECT_EQ(1, DelayedStartStep(60000));
    EXPECT_EQ(50, DelayedStartStepSeconds());
    EXPECT_EQ(1u, WaitForLaunches(late, 1).size());
    EXPECT_TRUE(ReadLaunches(later).empty());
}

TEST_F(DelayScheduleTest, ARunningProgramIsNotStartedAgainButCountsAsHandled)
{
    std::string busy = Program(HKEY_CURRENT_USER, "busy.exe", "10");
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(StartTestProgram("\"" + busy + "\" -stay", &pi));
    ASSERT_EQ(1u, WaitForLaunches(busy, 1).size());

    ASSERT_EQ(1, DelayedStartBegin(nullptr, 0));
    EXPECT_EQ(0, DelayedStartStep(12000));
    EXPECT_EQ(1, DelayedStartHandled());
    SettleLaunches(TempDir(), {pi.dwProcessId});
    EXPECT_EQ(1u, ReadLaunches(busy).size());

    WriteTextFile(busy + ".stop", "");
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

TEST_F(DelayScheduleTest, NoDelayedProgramsMeansNoPasses)
{
    EXPECT_EQ(0, DelayedStartBegin(nullptr, 0));
    EXPECT_EQ(0, DelayedStartStep(12000));
    EXPECT_EQ(0, DelayedStartStepSeconds());
}

}   // namespace
