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
#include <string>

namespace {

class VaultTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        char base[MAX_PATH];
        GetProgramDataFolder(base, sizeof(base));
        vault_ = std::string(base) + "\\vault\\";
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

}   // namespace
