// Running tasks: enumeration on both families, matching a command, the task list, stopping.
#include "kxtest.h"
#include "waits.h"
#include "dialog_driver.h"
#include "entrylist.h"
#include "keys.h"
#include "platform.h"
#include "program.h"
#include "resstring.h"
#include "runtasks.h"
#include "taskstop.h"
#include <vector>

class RunTasksTest : public KxTest {
protected:
    void TearDown() override
    {
        for (PROCESS_INFORMATION& child : children_) {
            TerminateProcess(child.hProcess, 0);
            WaitForSingleObject(child.hProcess, 5000);
            CloseHandle(child.hProcess);
            CloseHandle(child.hThread);
        }
        SetProcessLibraryNames(nullptr, nullptr);
        SetPlatformOverride(nullptr);
        SetTerminateSeam(nullptr);
        ClearEntries();
        KxTest::TearDown();
    }

    // Starts the driver doing nothing for a while; its process id.
    DWORD StartSleeper(const std::string& program = "")
    {
        PROCESS_INFORMATION pi = {};
        if (!StartTestProgram("\"" + (program.empty() ? Sleeper() : program) + "\" sleep 30000", &pi))
            return 0;
        children_.push_back(pi);
        WaitForInputIdle(pi.hProcess, 2000);
        return pi.dwProcessId;
    }
    std::string Sleeper() const { return TestProgramFolder() + "\\kxdriver.exe"; }

    std::vector<PROCESS_INFORMATION> children_;
};

struct Seen {
    DWORD wanted;
    std::string path;
    DWORD firstOfPath;
    const char* pathToMatch;
};

static int RememberPath(DWORD id, WORD, const char* path, void* arg)
{
    Seen* seen = (Seen*)arg;
    if (id == seen->wanted)
        seen->path = path;
    if (!seen->firstOfPath && seen->pathToMatch && lstrcmpiA(path, seen->pathToMatch) == 0)
        seen->firstOfPath = id;
    return 1;
}

static int StopAtFirst(DWORD, WORD, const char*, void* arg)
{
    (*(int*)arg)++;
    return 0;
}

TEST_F(RunTasksTest, NtEnumerationGivesTheProgramPathOfEachProcess)
{
    DWORD child = StartSleeper();
    ASSERT_NE(child, 0u);
    Seen seen = {child, "", 0, nullptr};
    EXPECT_EQ(EnumerateProcesses(RememberPath, &seen), 1);
    EXPECT_EQ(lstrcmpiA(seen.path.c_str(), Sleeper().c_str()), 0) << seen.path;
    int visits = 0;
    EnumerateProcesses(StopAtFirst, &visits);
    EXPECT_EQ(visits, 1);
}

TEST_F(RunTasksTest, FindMatchesByProgramPathOrByFileName)
{
    DWORD child = StartSleeper();
    ASSERT_NE(child, 0u);
    EXPECT_EQ(FindRunningProgram(("\"" + Sleeper() + "\" -tray").c_str()), child);
    EXPECT_EQ(FindRunningProgram((Sleeper() + " -tray").c_str()), child);
    EXPECT_EQ(FindRunningProgram("KXDRIVER.exe"), child);
    EXPECT_TRUE(IsRunning("kxdriver.exe"));
    EXPECT_EQ(FindRunningProgram("C:\\nowhere\\kxdriver2.exe"), 0u);
    EXPECT_EQ(FindRunningProgram(""), 0u);
}

TEST_F(RunTasksTest, TwoProcessesOfOneProgramGiveOneEntryWithTheFirstId)
{
    DWORD a = StartSleeper(), b = StartSleeper();
    ASSERT_TRUE(a && b);
    Seen seen = {0, "", 0, nullptr};
    std::string path = Sleeper();
    seen.pathToMatch = path.c_str();
    EnumerateProcesses(RememberPath, &seen);

    int count = ListRunningTasks();
    EXPECT_EQ(count, EntryCount());
    int found = 0;
    for (int i = 0; i < EntryCount(); i++) {
        const EntryRecord* entry = GetEntry(i);
        EXPECT_EQ(entry->type, INFO_TASK);
        if (lstrcmpiA(entry->command, path.c_str()) == 0) {
            found++;
            EXPECT_EQ((DWORD)entry->tag, seen.firstOfPath);
            EXPECT_STREQ(entry->title, "kxdriver");   // no version block: the file name
        }
    }
    EXPECT_EQ(found, 1);
}

TEST_F(RunTasksTest, WithoutPsapiNothingIsFoundOnNt)
{
    DWORD child = StartSleeper();
    ASSERT_NE(child, 0u);
    SetProcessLibraryNames("kx_no_such_psapi.dll", nullptr);
    int visits = 0;
    EXPECT_EQ(EnumerateProcesses(StopAtFirst, &visits), 0);
    EXPECT_EQ(visits, 0);
    AddEntry("left over", "C:\\X.EXE", "", "", INFO_TASK, 1);
    EXPECT_EQ(ListRunningTasks(), 0);
    EXPECT_EQ(FindRunningProgram("kxdriver.exe"), 0u);
}

TEST_F(RunTasksTest, NinetyFiveFamilyUsesToolHelpSnapshots)
{
    DWORD child = StartSleeper();
    ASSERT_NE(child, 0u);
    const PlatformVersion win98 = {VER_PLATFORM_WIN32_WINDOWS, 4, 10};
    SetPlatformOverride(&win98);
    // PSAPI is not even looked for on this branch.
    SetProcessLibraryNames("kx_no_such_psapi.dll", nullptr);
    EXPECT_EQ(FindRunningProgram("kxdriver.exe"), child);

    const PlatformVersion other = {3, 1, 0};
    SetPlatformOverride(&other);
    int visits = 0;
    EXPECT_EQ(EnumerateProcesses(StopAtFirst, &visits), 0);
}

TEST_F(RunTasksTest, StopProcessEndsTheProcess)
{
    DWORD child = StartSleeper();
    ASSERT_NE(child, 0u);
    EXPECT_EQ(StopProcess(child), 1);
    EXPECT_EQ(WaitForSingleObject(children_.back().hProcess, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(StopProcess(0xFFFFFFF0u), 0);
}

TEST_F(RunTasksTest, StopRunningProgramWithoutAskingStopsItAndReturnsItsId)
{
    DWORD child = StartSleeper();
    ASSERT_NE(child, 0u);
    EXPECT_EQ(StopRunningProgram(Sleeper().c_str(), "Sleeper", 0), child);
    EXPECT_EQ(WaitForSingleObject(children_.back().hProcess, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(StopRunningProgram(Sleeper().c_str(), "Sleeper", 0), 0u);
}

// A program named with its folder is that file only: a namesake elsewhere is neither found
// nor stopped. A bare name matches any file of that name. An id that now runs another program
// is not ended either.
TEST_F(RunTasksTest, OnlyTheEntrysOwnProgramFileIsFoundAndStopped)
{
    DWORD child = StartSleeper();
    ASSERT_NE(child, 0u);
    const struct {
        std::string command;
        bool matches;
    } rows[] = {
        {"\"" + Sleeper() + "\" sleep", true},
        {"kxdriver.exe", true},
        {"KXDRIVER.EXE /x", true},
        {TempPath("kxdriver.exe"), false},
        {"C:\\Users\\bob\\kxdriver.exe \\SystemRoot\\" + Sleeper(), false},
        {"C:\\x\\u.exe " + Sleeper(), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.command);
        EXPECT_EQ(row.matches ? child : 0u, FindRunningProgram(row.command.c_str()));
        if (!row.matches) {
            EXPECT_EQ(0u, StopRunningProgram(row.command.c_str(), "Namesake", 0));
            EXPECT_EQ(0, StopProcess(child, row.command.c_str()));
            EXPECT_EQ(WaitForSingleObject(children_.back().hProcess, 0), (DWORD)WAIT_TIMEOUT);
        }
    }
    EXPECT_EQ(1, StopProcess(child, Sleeper().c_str()));
    EXPECT_EQ(WaitForSingleObject(children_.back().hProcess, 5000), WAIT_OBJECT_0);

    // A bare name the Windows folder holds is that file: a copy of that name elsewhere is not it.
    std::string namesake = TempPath("notepad.exe");
    ASSERT_TRUE(CopyFileA(Sleeper().c_str(), namesake.c_str(), FALSE));
    DWORD copy = StartSleeper(namesake);
    ASSERT_NE(copy, 0u);
    EXPECT_NE(copy, FindRunningProgram("notepad.exe"));
    EXPECT_EQ(0, StopProcess(copy, "notepad.exe"));
    EXPECT_EQ(copy, FindRunningProgram(namesake.c_str()));
}

static BOOL WINAPI RefuseTermination(HANDLE, UINT)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

TEST_F(RunTasksTest, AProgramThatCannotBeStoppedIsNeitherLoggedNorReported)
{
    DWORD child = StartSleeper();
    ASSERT_NE(child, 0u);
    SetTerminateSeam(RefuseTermination);
    EXPECT_EQ(StopRunningProgram(Sleeper().c_str(), "Sleeper", 0), 0u);
    EXPECT_EQ(StopProcess(child), 0);
    EXPECT_EQ(WaitForSingleObject(children_.back().hProcess, 0), (DWORD)WAIT_TIMEOUT);
    EXPECT_EQ(ReadTextFile(TempPath("history.txt")).find("TASK_Kill"), std::string::npos);
    SetTerminateSeam(nullptr);
    EXPECT_EQ(StopRunningProgram(Sleeper().c_str(), "Sleeper", 0), child);
    EXPECT_NE(ReadTextFile(TempPath("history.txt")).find("TASK_Kill"), std::string::npos);
}

TEST_F(RunTasksTest, ReplacedQuestionIsFilledByPlainSubstitution)
{
    // Extra "%s" and "%d" in a replacement text must be shown, never read as arguments.
    DWORD child = StartSleeper();
    ASSERT_NE(child, 0u);
    int language = uiLanguage;
    uiLanguage = 7;
    WriteValueText(HKEY_LOCAL_MACHINE, KX_KEY, "LString707", "%s stops? %s %d %x");
    lstrcpynA(g_programCaption, "KxTaskStop", sizeof(g_programCaption));
    std::string shown;
    DialogDriver driver("KxTaskStop", [&](HWND box) {
        shown = WindowText(GetDlgItem(box, 0xFFFF));
        PostMessageA(box, WM_COMMAND, IDNO, 0);
    });
    DWORD found = StopRunningProgram(Sleeper().c_str(), "Sleeper", 1);
    driver.Join();
    uiLanguage = language;
    g_programCaption[0] = 0;
    ASSERT_TRUE(driver.Found());
    EXPECT_EQ(shown, "Sleeper stops? %s %d %x");
    // No: the program runs on and its id is still returned.
    EXPECT_EQ(found, child);
    EXPECT_EQ(WaitForSingleObject(children_.back().hProcess, 0), (DWORD)WAIT_TIMEOUT);
}
