// Hidden files condemned to the vault and brought back, on real files: nothing is lost on
// the way, and the other things done to a hidden file.
#include "kxtest.h"
#include "datafolder.h"
#include "handles.h"
#include "history.h"
#include "undo.h"
#include "pathutil.h"
#include "platform.h"
#include "vault.h"
#include "links.h"
#include <string>

namespace {

class VaultTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        char base[MAX_PATH];
        MachineDataFolder(base, sizeof(base));
        vault_ = std::string(base) + "\\vault\\";
        CreateDirectoryA(vault_.c_str(), nullptr);   // the older copies below are made first
        for (const char* name : {"kxcondemned.dat", "kxcondemned.dat.1"})
            Cleanup(vault_ + name);
    }
    void TearDown() override
    {
        for (const std::string& path : cleanup_) {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
        }
        SetPlatformOverride(nullptr);
        KxTest::TearDown();
    }
    void Cleanup(const std::string& path)
    {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
        cleanup_.push_back(path);
    }
    std::string vault_;
    std::vector<std::string> cleanup_;
};

TEST_F(VaultTest, CondemnedFilesOfOneNameBothComeBackFromTheirHistoryLines)
{
    const std::string first = TempPath("kxcondemned.dat");
    CreateDirectoryA(TempPath("sub").c_str(), nullptr);
    const std::string second = TempPath("sub\\kxcondemned.dat");
    WriteTextFile(first, "first file");
    WriteTextFile(second, "second, longer file");
    for (const std::string& path : {first, second}) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        ApproveHiddenFile(path.c_str());
        EXPECT_TRUE(CondemnHiddenFile("Kx condemned", path.c_str())) << path;
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str()));
        EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_HIDDEN_KEY, path)) << "forgotten";
    }
    EXPECT_EQ("first file", ReadTextFile(vault_ + "kxcondemned.dat"));
    EXPECT_EQ("second, longer file", ReadTextFile(vault_ + "kxcondemned.dat.1"))
        << "an older vault copy is never overwritten";

    // Both come back through the history, each from its own vault copy.
    ASSERT_EQ(2, ReadHistory());
    for (int i = 1; i >= 0; i--) {
        ReadHistory();
        ASSERT_TRUE(IsHistoryEventReversible(i));
        EXPECT_EQ(1, RestoreHistoryEvent(i));
    }
    EXPECT_EQ("first file", ReadTextFile(first));
    EXPECT_EQ("second, longer file", ReadTextFile(second));
    EXPECT_TRUE(GetFileAttributesA(first.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, KX_HIDDEN_KEY, first)) << "approved: not reported again";
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((vault_ + "kxcondemned.dat").c_str()));
    UnhideFile(first.c_str());
    UnhideFile(second.c_str());
    EXPECT_EQ(0u, GetFileAttributesA(first.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

TEST_F(VaultTest, RestoreNeverOverwritesAndAFailedCopyKeepsTheFile)
{
    const std::string path = TempPath("kxcondemned.dat");
    WriteTextFile(path, "old");
    ASSERT_TRUE(CondemnHiddenFile("Kx", path.c_str()));
    WriteTextFile(path, "a new file at the same place");
    EXPECT_FALSE(RestoreHiddenFromVault("Kx", path.c_str(), ""));
    EXPECT_EQ("a new file at the same place", ReadTextFile(path));
    EXPECT_EQ("old", ReadTextFile(vault_ + "kxcondemned.dat")) << "the vault copy waits";

    // A file that cannot be read cannot be copied: it stays, and no history line is written.
    HANDLE locked = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(CondemnHiddenFile("Kx", path.c_str()));
    CloseHandle(locked);
    EXPECT_EQ("a new file at the same place", ReadTextFile(path));
    EXPECT_EQ(1, ReadHistory());
}

TEST_F(VaultTest, ACondemnThatCannotCopyLeavesEveryOlderVaultCopy)
{
    // Every name the vault would give the file is taken by an older copy.
    const std::string first = vault_ + "kxfull.dat";
    std::vector<std::string> older;
    for (int n = 0; n < 1000; n++) {
        std::string name = n ? first + "." + std::to_string(n) : first;
        Handle file(CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(file) << name;
        cleanup_.push_back(name);
        older.push_back(name);
    }
    const std::string path = TempPath("kxfull.dat");
    WriteTextFile(path, "condemned");
    EXPECT_FALSE(CondemnHiddenFile("Kx", path.c_str()));
    EXPECT_EQ("condemned", ReadTextFile(path));
    for (const std::string& name : older)
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(name.c_str())) << name << " deleted";
}

TEST_F(VaultTest, DeleteAtRestartJoinsTheRenameSectionOfWininit)
{
    PlatformVersion me = {VER_PLATFORM_WIN32_WINDOWS, 4, 90};
    SetPlatformOverride(&me);
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof(windows));
    const std::string ini = std::string(windows) + "\\wininit.ini";
    Cleanup(ini);
    const std::string path = TempPath("bad.dat");
    WriteTextFile(path, "x");
    char shortPath[MAX_PATH];
    GetShortPathNameA(path.c_str(), shortPath, sizeof(shortPath));
    struct { const char* before; std::string after; } rows[] = {
        {nullptr, std::string("[rename]\r\nNUL=") + shortPath + "\r\n"},
        {"[Other]\r\nA=B", std::string("[Other]\r\nA=B\r\n[rename]\r\nNUL=") + shortPath + "\r\n"},
        {"[Rename]\r\nNUL=C:\\OLD.DAT\r\n", std::string("[Rename]\r\nNUL=") + shortPath + "\r\nNUL=C:\\OLD.DAT\r\n"},
    };
    for (const auto& row : rows) {
        DeleteFileA(ini.c_str());
        if (row.before)
            WriteTextFile(ini, row.before);
        EXPECT_TRUE(DeleteFileAtRestart(path.c_str()));
        EXPECT_EQ(row.after, ReadTextFile(ini));
    }
}

// A folder or file of a user-writable place swapped for a link after the list was made: the
// delete, the condemn and the restart delete never reach the file the link leads to.
TEST_F(VaultTest, DeletesRefuseAPathThatALinkNowLeadsElsewhere)
{
    const std::string other = TempPath("other"), sub = TempPath("sub");
    const std::string victim = other + "\\kxcondemned.dat", listed = sub + "\\kxcondemned.dat";
    Cleanup(vault_ + "kxcondemned.dat");
    enum Swap { NONE, FOLDER, FILE };
    enum Act { CONDEMN, DELETE_NOW };
    for (Swap swap : {NONE, FOLDER, FILE}) {
        for (Act act : {CONDEMN, DELETE_NOW}) {
            SCOPED_TRACE(std::to_string(swap) + "/" + std::to_string(act));
            RemoveFolderTree(sub);
            RemoveFolderTree(sub + ".old");
            RemoveFolderTree(other);
            CreateDirectoryA(sub.c_str(), nullptr);
            CreateDirectoryA(other.c_str(), nullptr);
            WriteTextFile(victim, "not listed");
            WriteTextFile(listed, "listed");
            SetFileAttributesA(listed.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
            if (swap == FOLDER) {
                ASSERT_TRUE(MoveFileA(sub.c_str(), (sub + ".old").c_str()));
                if (!MakeHostLink(sub, other))
                    GTEST_SKIP() << "no links can be made here";
            } else if (swap == FILE) {
                SetFileAttributesA(listed.c_str(), FILE_ATTRIBUTE_NORMAL);
                ASSERT_TRUE(DeleteFileA(listed.c_str()));
                if (!MakeHostLink(listed, victim))
                    GTEST_SKIP() << "no links can be made here";
            }
            ListedState why = LISTED_OPEN;
            bool done = act == CONDEMN ? CondemnHiddenFile("Kx", listed.c_str(), &why) != 0
                                       : DeleteListedFile(listed.c_str(), &why);
            EXPECT_EQ("not listed", ReadTextFile(victim));
            if (swap == NONE) {
                EXPECT_TRUE(done);
                EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(listed.c_str()));
                EXPECT_EQ(act == CONDEMN ? "listed" : "",
                          ReadTextFile(vault_ + "kxcondemned.dat"));
            } else {
                EXPECT_FALSE(done);
                EXPECT_EQ(LISTED_ELSEWHERE, why);
                EXPECT_EQ(INVALID_FILE_ATTRIBUTES,
                          GetFileAttributesA((vault_ + "kxcondemned.dat").c_str()));
            }
            DeleteFileA((vault_ + "kxcondemned.dat").c_str());
            // A link is taken away itself: a walk through it would empty what it leads to.
            if (swap != NONE) {
                ASSERT_TRUE(RemoveHostLink(swap == FOLDER ? sub : listed));
            }
        }
    }
}

// A restart delete by path is refused where a user could put a link on the way before the
// restart, and where a link already leads elsewhere.
TEST_F(VaultTest, DeleteAtRestartRefusesUserFoldersAndRedirectedPaths)
{
    const std::string inTemp = TempPath("kxcondemned.dat");
    WriteTextFile(inTemp, "x");
    EXPECT_EQ(RESTART_USER_FOLDER, DeleteFileAtRestart(inTemp.c_str()));
    EXPECT_EQ(RESTART_NO_FULL_PATH, DeleteFileAtRestart("kxcondemned.dat"));

    const std::string machine = "C:\\kxswap-" + std::to_string(GetCurrentProcessId());
    RemoveFolderTree(machine);
    CreateDirectoryA(machine.c_str(), nullptr);
    CreateDirectoryA(TempPath("other").c_str(), nullptr);
    WriteTextFile(TempPath("other\\kxcondemned.dat"), "not listed");
    if (!MakeHostLink(machine + "\\sub", TempPath("other"))) {
        RemoveFolderTree(machine);
        GTEST_SKIP() << "no links can be made here";
    }
    EXPECT_EQ(RESTART_ELSEWHERE, DeleteFileAtRestart((machine + "\\sub\\kxcondemned.dat").c_str()));
    EXPECT_EQ("not listed", ReadTextFile(TempPath("other\\kxcondemned.dat")));
    RemoveHostLink(machine + "\\sub");
    RemoveFolderTree(machine);
}

}   // namespace
