// Delete File on Reboot acts on the file the row lists and names it in its question: a file of
// the same name in the working folder, on PATH or at a shorter path is never the one deleted.
#include "kxtest.h"
#include "entrylist.h"
#include "message_watch.h"
#include "pagecommands.h"
#include "program.h"
#include "resstring.h"
#include <string>
#include <vector>

namespace {

const char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char kPending[] = "PendingFileRenameOperations";

std::string Res(UINT id)
{
    char text[1024] = "";
    LoadResString(id, text, sizeof(text));
    return text;
}

// The restart deletes waiting, as one text ("|" between the names).
std::string PendingDeletes()
{
    char data[16384] = {};
    DWORD size = sizeof(data) - 2;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kSessionManager, kPending, RRF_RT_REG_MULTI_SZ, nullptr,
                     data, &size) != ERROR_SUCCESS)
        return "";
    std::string text;
    for (const char* p = data; *p; p += strlen(p) + 1)
        text += std::string(p) + "|";
    CharUpperBuffA(&text[0], (DWORD)text.size());
    return text;
}

std::string Upper(std::string text)
{
    CharUpperBuffA(&text[0], (DWORD)text.size());
    return text;
}

class ExplorerDeleteTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        g_programKind = PROGRAM_EXPLORER;
        SaveValue(HKEY_LOCAL_MACHINE, kSessionManager, kPending);
        // Outside the folders every user can write to, where a restart delete is refused.
        listed_ = "C:\\kxlisted-" + std::to_string(GetCurrentProcessId());
        RemoveFolderTree(listed_);
        for (const std::string& folder : {listed_, listed_ + "\\a.exe.d", listed_ + "\\a.dll.d",
                                          TempPath("work"), TempPath("onpath")})
            CreateDirectoryA(folder.c_str(), nullptr);
        // The namesakes a search would find first.
        for (const char* name : {"kxdel.exe", "kxdel.dll"})
            for (const std::string& folder : {TempPath("work"), TempPath("onpath")})
                decoys_.push_back(folder + "\\" + name);
        decoys_.push_back(listed_ + "\\a.exe");
        decoys_.push_back(listed_ + "\\a.dll");
        for (const std::string& file : decoys_)
            WriteTextFile(file, "namesake");
        GetCurrentDirectoryA(sizeof(oldDirectory_), oldDirectory_);
        SetCurrentDirectoryA(TempPath("work").c_str());
        GetEnvironmentVariableA("PATH", oldPath_, sizeof(oldPath_));
        SetEnvironmentVariableA("PATH", (TempPath("onpath") + ";" + oldPath_).c_str());
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(oldDirectory_);
        SetEnvironmentVariableA("PATH", oldPath_);
        RemoveFolderTree(listed_);
        KxTest::TearDown();
    }
    std::string listed_;
    std::vector<std::string> decoys_;
    char oldDirectory_[MAX_PATH] = "", oldPath_[32768] = "";
};

TEST_F(ExplorerDeleteTest, RestartDeleteTakesTheListedPathOrRefusesAndSaysWhy)
{
    const std::string exe = listed_ + "\\a.exe.d\\kxdel.exe";
    const std::string dll = listed_ + "\\a.dll.d\\kxdel.dll";
    const std::string own = TempPath("kxdel.exe");   // in the user's temporary folder
    struct Row {
        const char* kind;
        int type;
        std::string command, scheduled;   // scheduled "": refused
        UINT said;                        // the question, or why not
        std::string named;                // the path the box names
    } rows[] = {
        {"hidden file", TYPE_HIDDEN, exe, exe, 800, exe},
        {"task's program", TASK_SCHEDULED, exe, exe, 800, exe},
        {"running program", INFO_TASK, exe, exe, 800, exe},
        {"add-on's server", TYPE_BHO, dll, dll, 800, dll},
        {"toolbar button's program", TYPE_EXTENSION, exe, exe, 800, exe},
        {"Run value", MACHINE_RUN, exe + " /background", exe, 800, exe},
        {"bare task program", TASK_SCHEDULED, "kxdel.exe", "", 804, "kxdel.exe"},
        {"bare add-on server", TYPE_BHO, "kxdel.dll", "", 804, "kxdel.dll"},
        {"bare Run value", CURRENT_RUN, "kxdel.exe /x", "", 804, "KXDEL.EXE"},
        {"file in TEMP", TYPE_HIDDEN, own, "", 803, own},
    };
    WriteTextFile(exe, "listed");
    WriteTextFile(dll, "listed");
    WriteTextFile(own, "listed");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.kind);
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kSessionManager, kPending);
        ClearEntries();
        ASSERT_TRUE(AddEntry("Kx row", row.command.c_str(), "", "", row.type, 0));
        int scheduled;
        {
            MessageWatch yes(nullptr, IDYES);
            scheduled = DeleteEntryFileOnReboot(nullptr, 0);
            yes.Wait();
            std::string expected = Res(row.said);
            expected = expected.substr(expected.find("%s") + 2, 40);
            EXPECT_NE(std::string::npos, yes.text.find(expected)) << yes.text;
            EXPECT_NE(std::string::npos, yes.text.find(row.named + "\n")) << yes.text;
        }
        const std::string pending = PendingDeletes();
        EXPECT_EQ(!row.scheduled.empty(), scheduled == 1);
        if (!row.scheduled.empty()) {
            EXPECT_NE(std::string::npos, pending.find(Upper(row.scheduled) + "|")) << pending;
        }
        for (const std::string& decoy : decoys_)
            EXPECT_EQ(std::string::npos, pending.find(Upper(decoy) + "|")) << pending;
    }
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kSessionManager, kPending);
}

}   // namespace
