// The monitor and the manager at once: both append to the one history.txt and add to the
// same known lists and first-seen dates. A second process (this program again, in the role
// of the other program) writes its share while this one writes its own; afterwards every
// line is there whole and every value is there.
#include "baseline.h"
#include "entrylist.h"
#include "history.h"
#include "keys.h"
#include "kxtest.h"
#include "waits.h"
#include "program.h"
#include "registry.h"
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

namespace {

const int kLines = 300;
const char kKnownList[] = KX_KEY "\\Run";
const char kFolderVariable[] = "KX_TWO_PROGRAMS_FOLDER";

// The two start writing together: the child says it is ready, the parent says go.
std::string EventName(const char* what, DWORD parent)
{
    return std::string("KxTwoPrograms") + what + std::to_string(parent);
}

// One program's share: history lines and known values named after it and the number.
void WriteShare(const char* who)
{
    for (int i = 0; i < kLines; i++) {
        char title[64], command[128], name[64];
        snprintf(title, sizeof(title), "%s entry %03d", who, i);
        snprintf(command, sizeof(command), "C:\\Programs\\%s\\tool%03d.exe /run", who, i);
        WriteHistoryLine(title, command, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                         CURRENT_RUN, ACT_START_REMOVE);
        snprintf(name, sizeof(name), "C:\\PROGRAMS\\%s\\TOOL%03d.EXE", who, i);
        SetRegValue(HKEY_CURRENT_USER, kKnownList, name, "11");
        // Both programs also record the same shared names, as both see the same entries.
        snprintf(name, sizeof(name), "C:\\SHARED\\TOOL%03d.EXE", i);
        SetRegValue(HKEY_CURRENT_USER, kKnownList, name, "11");
    }
}

}   // namespace

// The other program's role; runs only when the test below starts this program for it.
TEST(TwoProgramsChild, WritesTheManagersShare)
{
    const char* folder = getenv(kFolderVariable);
    if (!folder)
        GTEST_SKIP() << "run by TwoProgramsTest only";
    SetProgramFolder(folder);
    g_programKind = PROGRAM_EXPLORER;
    DWORD parent = strtoul(getenv("KX_TWO_PROGRAMS_PARENT"), nullptr, 10);
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, EventName("Ready", parent).c_str());
    HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, EventName("Go", parent).c_str());
    ASSERT_TRUE(ready && go);
    SetEvent(ready);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(go, 120000));
    CloseHandle(ready);
    CloseHandle(go);
    WriteShare("manager");
}

class TwoProgramsTest : public KxTest {};

TEST_F(TwoProgramsTest, NoHistoryLineOrKnownValueIsLostOrTorn)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    SetEnvironmentVariableA(kFolderVariable, TempDir().c_str());
    DWORD selfId = GetCurrentProcessId();
    SetEnvironmentVariableA("KX_TWO_PROGRAMS_PARENT", std::to_string(selfId).c_str());
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, EventName("Ready", selfId).c_str());
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, EventName("Go", selfId).c_str());
    std::string commandLine = std::string("\"") + self +
                              "\" --gtest_filter=TwoProgramsChild.WritesTheManagersShare";
    PROCESS_INFORMATION child = {};
    ASSERT_TRUE(StartTestProgram(commandLine, &child));
    SetEnvironmentVariableA(kFolderVariable, nullptr);
    SetEnvironmentVariableA("KX_TWO_PROGRAMS_PARENT", nullptr);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready, 120000));
    SetEvent(go);
    WriteShare("monitor");
    // Bounded: the child has the same work; minutes mean it hangs.
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(child.hProcess, 300000));
    DWORD exitCode = 1;
    GetExitCodeProcess(child.hProcess, &exitCode);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    CloseHandle(ready);
    CloseHandle(go);
    EXPECT_EQ(0u, exitCode);

    // Every line whole: CR LF at its end, six fields, a title of one of the two shares, once.
    std::string text = ReadTextFile(TempPath("history.txt"));
    std::set<std::string> titles;
    size_t start = 0, lines = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos) << "torn last line at " << start;
        std::string line = text.substr(start, end - start);
        start = end + 2;
        lines++;
        size_t tabs = 0;
        std::string fields[6];
        for (char c : line) {
            if (c == '\t')
                tabs++;
            else if (tabs < 6)
                fields[tabs] += c;
        }
        EXPECT_EQ(5u, tabs) << line;
        EXPECT_TRUE(titles.insert(fields[3]).second) << "twice: " << line;
        EXPECT_TRUE(fields[3].rfind("monitor entry ", 0) == 0 || fields[3].rfind("manager entry ", 0) == 0)
            << line;
    }
    EXPECT_EQ((size_t)(2 * kLines), lines);

    // Every value of both shares and the shared ones.
    RegTextMap known = ReadRegTexts(HKEY_CURRENT_USER, kKnownList, 64);
    for (const char* who : {"monitor", "manager"})
        for (int i = 0; i < kLines; i++) {
            char name[64];
            snprintf(name, sizeof(name), "C:\\PROGRAMS\\%s\\TOOL%03d.EXE", who, i);
            EXPECT_EQ("11", known[RegNameKey(name)]) << name;
        }
    EXPECT_EQ((size_t)(3 * kLines), known.size());
}
