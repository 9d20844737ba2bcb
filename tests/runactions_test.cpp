#include "kxtest.h"
#include "dialog_driver.h"
#include "datafolder.h"
#include "earlierdata.h"
#include "entrylist.h"
#include "findrun.h"
#include "history.h"
#include "undo.h"
#include "keys.h"
#include "program.h"
#include "registry.h"
#include "runactions.h"
#include "startupfiles.h"
#include "winilists.h"
#include <shlobj.h>
#include <string>

namespace {

const char* const kUserRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kMachineRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kStoreRun = KX_DISABLED_KEY "\\Run";
const char* const kKnownRun = KX_KEY "\\Run";
const char* const kWinIniKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const char* const kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char* const kWinlogon = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const char* const kNotify = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify";
const char* const kDelayLoad =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
const char* const kExecuteHooks =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks";
const char* const kAppInitKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const char* const kTitle = "KxActionsTestAgent";
const char* const kMissing = "<no value>";

std::string ValueType(HKEY root, const char* path, const char* name)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "none";
    DWORD type = 0;
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, nullptr, nullptr);
    RegCloseKey(key);
    return rc != ERROR_SUCCESS ? "none" : type == REG_EXPAND_SZ ? "expand" : "sz";
}

std::string Profile(const char* name)
{
    char text[4096] = "";
    GetProfileStringA("windows", name, "", text, sizeof(text));
    return text;
}

}  // namespace

class RunActionsTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        SaveValue(HKEY_CURRENT_USER, kUserRun, kTitle);
        SaveValue(HKEY_LOCAL_MACHINE, kMachineRun, kTitle);
    }
    std::string History() { return ReadTextFile(TempPath("history.txt")); }
};

// --- Run keys ---

TEST_F(RunActionsTest, DisableThenEnablePutsAUserValueBackUnderTheUser)
{
    // The listed command has lost its quotes; the value itself must come back unchanged.
    const char* original = "\"C:\\Program Files\\Agent\\agent.exe\" /tray";
    WriteValueText(HKEY_CURRENT_USER, kUserRun, kTitle, original);

    ASSERT_EQ(1, DisableRunProgram(kTitle, "C:\\Program Files\\Agent\\agent.exe /tray", "",
                                   CURRENT_RUN));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kUserRun, kTitle));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kMachineRun, kTitle));
    EXPECT_EQ(original, ReadValueText(HKEY_CURRENT_USER, kStoreRun, kTitle));
    EXPECT_EQ("11", ReadValueText(HKEY_CURRENT_USER, KX_DISABLED_KEY, kTitle));
    EXPECT_EQ(CURRENT_RUN, DisabledCodeForTitle(kTitle));

    // The second call, with the code the disabled entry is listed with, enables it again.
    ASSERT_EQ(1, DisableRunProgram(kTitle, "C:\\Program Files\\Agent\\agent.exe /tray", "",
                                   CURRENT_RUN));
    EXPECT_EQ(original, ReadValueText(HKEY_CURRENT_USER, kUserRun, kTitle));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kMachineRun, kTitle));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_DISABLED_KEY, kTitle));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kStoreRun, kTitle));
    EXPECT_EQ("", History());   // disabling is not logged
}

TEST_F(RunActionsTest, ALongDisabledCommandIsListedAndEnabledWhole)
{
    const std::string original = "\"C:\\Program Files\\" + std::string(300, 'x') + "\\agent.exe\" /tray";
    WriteValueText(HKEY_CURRENT_USER, kUserRun, kTitle, original);
    ASSERT_EQ(1, DisableRunProgram(kTitle, original.c_str(), "", CURRENT_RUN));
    ClearEntries();
    GetDisabledPrograms();
    const EntryRecord* listed = nullptr;
    for (int i = 0; i < EntryCount(); i++)
        if (lstrcmpA(GetEntry(i)->title, kTitle) == 0)
            listed = GetEntry(i);
    ASSERT_NE(nullptr, listed) << "listed to be enabled";
    ASSERT_EQ(1, DisableRunProgram(listed->title, listed->command, listed->source, listed->type));
    ClearEntries();
    EXPECT_EQ(original, ReadValueText(HKEY_CURRENT_USER, kUserRun, kTitle));
}

TEST_F(RunActionsTest, DisableThenEnableKeepsAMachineValueAndItsType)
{
    WriteValueText(HKEY_LOCAL_MACHINE, kMachineRun, kTitle, "%windir%\\agent.exe", REG_EXPAND_SZ);
    ASSERT_EQ(1, DisableRunProgram(kTitle, "C:\\windows\\agent.exe", "", MACHINE_RUN));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kMachineRun, kTitle));
    EXPECT_EQ("1", ReadValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, kTitle));
    ASSERT_EQ(1, DisableRunProgram(kTitle, "C:\\windows\\agent.exe", "", MACHINE_RUN));
    EXPECT_EQ("%windir%\\agent.exe", ReadValueText(HKEY_LOCAL_MACHINE, kMachineRun, kTitle));
    EXPECT_EQ("expand", ValueType(HKEY_LOCAL_MACHINE, kMachineRun, kTitle));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kUserRun, kTitle));
}

TEST_F(RunActionsTest, AUsersOwnEntryIsDisabledUnderHisOwnKeyAndNothingIsLostWithoutRights)
{
    // Without rights to the machine: his own entry still goes into his own store and back.
    WriteValueText(HKEY_CURRENT_USER, kUserRun, kTitle, "C:\\agent.exe");
    SetRegistryWriteBlock(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(1, DisableRunProgram(kTitle, "C:\\agent.exe", "", CURRENT_RUN));
    EXPECT_EQ("C:\\agent.exe", ReadValueText(HKEY_CURRENT_USER, kStoreRun, kTitle));
    EXPECT_EQ(1, DisableRunProgram(kTitle, "C:\\agent.exe", "", CURRENT_RUN));
    SetRegistryWriteBlock(nullptr);
    EXPECT_EQ("C:\\agent.exe", ReadValueText(HKEY_CURRENT_USER, kUserRun, kTitle));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY));

    // Without rights to his own key nothing is lost either way.
    SetRegistryWriteBlock(HKEY_CURRENT_USER);
    EXPECT_EQ(0, DisableRunProgram(kTitle, "C:\\agent.exe", "", CURRENT_RUN));
    SetRegistryWriteBlock(nullptr);
    EXPECT_EQ("C:\\agent.exe", ReadValueText(HKEY_CURRENT_USER, kUserRun, kTitle));
    EXPECT_EQ(0, DisabledCodeForTitle(kTitle));
    ASSERT_EQ(1, DisableRunProgram(kTitle, "C:\\agent.exe", "", CURRENT_RUN));
    SetRegistryWriteBlock(HKEY_CURRENT_USER);
    EXPECT_EQ(0, DisableRunProgram(kTitle, "C:\\agent.exe", "", CURRENT_RUN));
    SetRegistryWriteBlock(nullptr);
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kUserRun, kTitle));
    EXPECT_EQ(CURRENT_RUN, DisabledCodeForTitle(kTitle));
    EXPECT_EQ("C:\\agent.exe", ReadValueText(HKEY_CURRENT_USER, kStoreRun, kTitle));
}

// An earlier build kept a user's disabled copy under HKLM: it is still listed, enabled from
// there and removed from there.
TEST_F(RunActionsTest, ACopyAnEarlierBuildKeptUnderTheMachineIsStillEnabled)
{
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, kTitle, "11");
    WriteValueText(HKEY_LOCAL_MACHINE, kStoreRun, kTitle, "\"C:\\old place\\agent.exe\" -q");
    EXPECT_EQ(CURRENT_RUN, DisabledCodeForTitle(kTitle));
    ClearEntries();
    GetDisabledPrograms();
    ASSERT_EQ(1, EntryCount());
    ASSERT_EQ(1, DisableRunProgram(kTitle, GetEntry(0)->command, "", CURRENT_RUN));
    EXPECT_EQ("\"C:\\old place\\agent.exe\" -q", ReadValueText(HKEY_CURRENT_USER, kUserRun, kTitle));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, kTitle));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kStoreRun, kTitle));
}

TEST_F(RunActionsTest, AValueThatCameBackIsStoredAgainByTwoToggles)
{
    // The inventory's re-disable step: enable, then disable with the value it found.
    WriteValueText(HKEY_CURRENT_USER, kUserRun, kTitle, "C:\\old\\agent.exe");
    ASSERT_EQ(1, DisableRunProgram(kTitle, "C:\\old\\agent.exe", "", CURRENT_RUN));
    WriteValueText(HKEY_CURRENT_USER, kUserRun, kTitle, "\"C:\\new place\\agent.exe\" -q");
    ASSERT_EQ(1, DisableRunProgram(kTitle, "\"C:\\new place\\agent.exe\" -q", "", CURRENT_RUN));
    ASSERT_EQ(1, DisableRunProgram(kTitle, "\"C:\\new place\\agent.exe\" -q", "", CURRENT_RUN));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kUserRun, kTitle));
    EXPECT_EQ("\"C:\\new place\\agent.exe\" -q",
              ReadValueText(HKEY_CURRENT_USER, kStoreRun, kTitle));
    EXPECT_EQ(CURRENT_RUN, DisabledCodeForTitle(kTitle));
}

TEST_F(RunActionsTest, RemovingADisabledRunEntryLeavesTheRunKeyAlone)
{
    WriteValueText(HKEY_CURRENT_USER, kUserRun, kTitle, "C:\\agent.exe");
    ASSERT_EQ(1, DisableRunProgram(kTitle, "C:\\agent.exe", "", CURRENT_RUN));
    // A namesake that came back in the meantime belongs to the inventory, not to this removal.
    WriteValueText(HKEY_CURRENT_USER, kUserRun, kTitle, "C:\\again.exe");
    EXPECT_EQ(1, DeleteRunProgram(kTitle, "C:\\agent.exe", "", CURRENT_RUN));
    EXPECT_EQ("C:\\again.exe", ReadValueText(HKEY_CURRENT_USER, kUserRun, kTitle));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_DISABLED_KEY, kTitle));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kStoreRun, kTitle));
}

TEST_F(RunActionsTest, ANamesakeFromAnotherRootNeverBringsBackTheDisabledEntry)
{
    WriteValueText(HKEY_LOCAL_MACHINE, kMachineRun, kTitle, "C:\\machine.exe");
    ASSERT_EQ(1, DisableRunProgram(kTitle, "C:\\machine.exe", "", MACHINE_RUN));
    WriteValueText(HKEY_CURRENT_USER, kUserRun, kTitle, "C:\\user.exe");
    auto machineEntryStaysDisabled = [&] {
        EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kMachineRun, kTitle));
        EXPECT_EQ(MACHINE_RUN, DisabledCodeForTitle(kTitle));
        EXPECT_EQ("C:\\machine.exe", ReadValueText(HKEY_LOCAL_MACHINE, kStoreRun, kTitle));
    };

    // The inventory lists the user value as the active entry it is.
    BuildStartupList(0);
    machineEntryStaysDisabled();
    int listed = 0;
    for (int i = 0; i < EntryCount(); i++)
        if (GetEntryType(i) == CURRENT_RUN && lstrcmpA(GetEntry(i)->title, kTitle) == 0)
            listed++;
    EXPECT_EQ(1, listed);

    // Disabling it cannot share the title's index value: refused, nothing moves.
    EXPECT_EQ(0, DisableRunProgram(kTitle, "C:\\user.exe", "", CURRENT_RUN));
    EXPECT_EQ("C:\\user.exe", ReadValueText(HKEY_CURRENT_USER, kUserRun, kTitle));
    machineEntryStaysDisabled();

    // Removing it removes the user value, not the machine entry's disabled copy.
    EXPECT_EQ(1, DeleteRunProgram(kTitle, "C:\\user.exe", "", CURRENT_RUN));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kUserRun, kTitle));
    machineEntryStaysDisabled();

    ASSERT_EQ(1, DisableRunProgram(kTitle, "C:\\machine.exe", "", MACHINE_RUN));
    EXPECT_EQ("C:\\machine.exe", ReadValueText(HKEY_LOCAL_MACHINE, kMachineRun, kTitle));
}

TEST_F(RunActionsTest, RemoveThenRestoreFromTheHistoryLine)
{
    WriteValueText(HKEY_CURRENT_USER, kUserRun, kTitle, "\"C:\\Program Files\\A\\a.exe\" -min");
    WriteValueText(HKEY_CURRENT_USER, kKnownRun, "C:\\Program Files\\A\\a.exe -min", "11");
    WriteValueText(HKEY_CURRENT_USER, kKnownRun, kTitle, "11");
    ASSERT_EQ(1, DeleteRunProgram(kTitle, "C:\\Program Files\\A\\a.exe -min", "", CURRENT_RUN));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kUserRun, kTitle));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kKnownRun, "C:\\Program Files\\A\\a.exe -min"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kKnownRun, kTitle));

    ASSERT_EQ(1, ReadHistory());
    EXPECT_EQ(ACT_START_REMOVE, GetEntryTag(0));
    EXPECT_EQ(CURRENT_RUN, GetEntryType(0));
    ASSERT_TRUE(IsHistoryEventReversible(0));
    EXPECT_EQ(1, RestoreHistoryEvent(0));
    // Back with its program part quoted again, and known so that no alert follows.
    EXPECT_EQ("\"C:\\Program Files\\A\\a.exe\" -min",
              ReadValueText(HKEY_CURRENT_USER, kUserRun, kTitle));
    EXPECT_EQ("11",
              ReadValueText(HKEY_CURRENT_USER, kKnownRun, "C:\\Program Files\\A\\a.exe -min"));
    EXPECT_EQ(1, EntryCount());   // read again; restoring writes no line
}

TEST_F(RunActionsTest, OnlyRemovingTheMonitorsOwnEntryWritesNoHistory)
{
    // The monitor's own file goes unlogged; a program that borrows its name is logged, so
    // that it can be restored like any other.
    const struct {
        std::string command;
        bool logged;
    } kCases[] = {{"\"" + TempPath("kestrix.exe") + "\"", false},
                  {"C:\\Tools\\KESTRIX.exe", true},
                  {"C:\\Kestrix\\agent.exe -kestrix", true}};
    for (const auto& c : kCases) {
        DeleteFileA(TempPath("history.txt").c_str());
        WriteValueText(HKEY_CURRENT_USER, kUserRun, kTitle, c.command);
        EXPECT_EQ(1, DeleteRunProgram(kTitle, c.command.c_str(), "", CURRENT_RUN)) << c.command;
        EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kUserRun, kTitle)) << c.command;
        EXPECT_EQ(c.logged, History().find("*START_Remove") != std::string::npos) << c.command;
    }
}

TEST_F(RunActionsTest, UnknownCodesDoNothing)
{
    WriteValueText(HKEY_CURRENT_USER, kUserRun, kTitle, "C:\\agent.exe");
    EXPECT_EQ(0, DisableRunProgram(kTitle, "C:\\agent.exe", "", 21));
    EXPECT_EQ(0, DeleteRunProgram(kTitle, "C:\\agent.exe", "", 21));
    EXPECT_EQ(0, RestoreEntry(kTitle, "C:\\agent.exe", "", 21));
    EXPECT_EQ("C:\\agent.exe", ReadValueText(HKEY_CURRENT_USER, kUserRun, kTitle));
    EXPECT_EQ(0, DisabledCodeForTitle(kTitle));
    EXPECT_EQ("", History());
}

// --- win.ini ---

class WinIniActionsTest : public RunActionsTest {
protected:
    void SetUp() override
    {
        RunActionsTest::SetUp();
        SaveValue(HKEY_CURRENT_USER, kWinIniKey, "load");
        SaveValue(HKEY_CURRENT_USER, kWinIniKey, "run");
        WriteProfileStringA("windows", "load", nullptr);
        WriteProfileStringA("windows", "run", nullptr);
    }
};

TEST_F(WinIniActionsTest, DisableThenEnableMovesTheCommandThroughTheStore)
{
    WriteProfileStringA("windows", "load", "a.exe;C:\\x\\prog.exe;b.exe");
    ASSERT_EQ(1, DisableRunProgram("prog", "c:\\X\\PROG.EXE", "", WIN_LOAD));
    EXPECT_EQ("a.exe;b.exe;", Profile("load"));
    // The copy is the piece as it was written, so it comes back the same.
    EXPECT_EQ("C:\\x\\prog.exe",
              ReadValueText(HKEY_CURRENT_USER, KX_DISABLED_KEY "\\WinLoad", "prog"));
    EXPECT_EQ("100", ReadValueText(HKEY_CURRENT_USER, KX_DISABLED_KEY, "prog"));
    ASSERT_EQ(1, DisableRunProgram("prog", "c:\\X\\PROG.EXE", "", WIN_LOAD));
    EXPECT_EQ("a.exe;b.exe;C:\\x\\prog.exe", Profile("load"));
    EXPECT_EQ(0, DisabledCodeForTitle("prog"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_DISABLED_KEY "\\WinLoad", "prog"));
}

TEST_F(WinIniActionsTest, ALoneCommandComesBackAsItWas)
{
    WriteProfileStringA("windows", "run", "C:\\x\\prog.exe");
    ASSERT_EQ(1, DisableRunProgram("prog", "C:\\x\\prog.exe", "", WIN_RUN));
    EXPECT_EQ("", Profile("run"));
    EXPECT_EQ("101", ReadValueText(HKEY_CURRENT_USER, KX_DISABLED_KEY, "prog"));
    ASSERT_EQ(1, DisableRunProgram("prog", "C:\\x\\prog.exe", "", WIN_RUN));
    EXPECT_EQ("C:\\x\\prog.exe", Profile("run"));
}

TEST_F(WinIniActionsTest, LongListIsNeverCut)
{
    std::string longPiece = "C:\\" + std::string(600, 'L') + ".exe";
    WriteProfileStringA("windows", "load", (longPiece + ";C:\\x\\prog.exe").c_str());
    ASSERT_EQ(1, DisableRunProgram("prog", "C:\\x\\prog.exe", "", WIN_LOAD));
    EXPECT_EQ(longPiece + ";", Profile("load"));
    ASSERT_EQ(1, DisableRunProgram("prog", "C:\\x\\prog.exe", "", WIN_LOAD));
    EXPECT_EQ(longPiece + ";C:\\x\\prog.exe", Profile("load"));

    // A value longer than can be read whole is left as it is (Wine's profile functions keep
    // no more than 64K characters, so the limit is lowered here).
    SetWinIniReadLimit(512);
    EXPECT_EQ(0, DisableRunProgram("prog", "C:\\x\\prog.exe", "", WIN_LOAD));
    EXPECT_EQ(0, DeleteRunProgram("prog", "C:\\x\\prog.exe", "", WIN_LOAD));
    SetWinIniReadLimit(0);
    EXPECT_EQ(longPiece + ";C:\\x\\prog.exe", Profile("load"));
    EXPECT_EQ(0, DisabledCodeForTitle("prog"));
}

TEST_F(WinIniActionsTest, DisableFailsWithoutTouchingWinIniWhenTheStoreIsUnwritable)
{
    WriteProfileStringA("windows", "load", "C:\\x\\prog.exe");
    SetRegistryWriteBlock(HKEY_CURRENT_USER);
    EXPECT_EQ(0, DisableRunProgram("prog", "C:\\x\\prog.exe", "", WIN_LOAD));
    SetRegistryWriteBlock(nullptr);
    EXPECT_EQ("C:\\x\\prog.exe", Profile("load"));
}

TEST_F(WinIniActionsTest, RemoveRewritesTheKeyWhetherOrNotDisabled)
{
    WriteProfileStringA("windows", "run", "C:\\x\\prog.exe;other.exe");
    ASSERT_EQ(1, DisableRunProgram("prog", "C:\\x\\prog.exe", "", WIN_RUN));
    // The command turned up again while disabled: removal clears both.
    WriteProfileStringA("windows", "run", "C:\\x\\prog.exe;other.exe");
    EXPECT_EQ(1, DeleteRunProgram("prog", "C:\\x\\prog.exe", "", WIN_RUN));
    EXPECT_EQ("other.exe;", Profile("run"));
    EXPECT_EQ(0, DisabledCodeForTitle("prog"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_DISABLED_KEY "\\WinRun", "prog"));

    ASSERT_EQ(1, ReadHistory());
    EXPECT_EQ(1, RestoreHistoryEvent(0));
    EXPECT_EQ("other.exe;C:\\x\\prog.exe", Profile("run"));
    EXPECT_EQ("101", ReadValueText(HKEY_CURRENT_USER, kKnownRun, "C:\\x\\prog.exe"));
}

TEST_F(WinIniActionsTest, AQuotedOrShortPieceIsFoundByTheCommandTheInventoryLists)
{
    std::string folder = TempPath("Acme Tools"), tool = folder + "\\tool.exe";
    CreateDirectoryA(folder.c_str(), nullptr);
    WriteTextFile(tool, "MZ");
    char shortPath[MAX_PATH] = "";
    GetShortPathNameA(tool.c_str(), shortPath, MAX_PATH);
    ASSERT_NE(tool, shortPath);
    for (const std::string& piece :
         {"\"" + tool + "\"", std::string(shortPath), "\"" + std::string(shortPath) + "\""}) {
        WriteProfileStringA("windows", "load", ("a.exe;" + piece).c_str());
        ClearEntries();
        AddEntry("tool", piece.c_str(), "", "", WIN_LOAD, 0);
        std::string listed = GetEntry(0)->command;
        ASSERT_EQ(1, DisableRunProgram("tool", listed.c_str(), "", WIN_LOAD)) << piece;
        EXPECT_EQ("a.exe;", Profile("load")) << piece;
        ASSERT_EQ(1, DisableRunProgram("tool", listed.c_str(), "", WIN_LOAD)) << piece;
        EXPECT_EQ("a.exe;" + piece, Profile("load")) << piece;
        EXPECT_EQ(1, DeleteRunProgram("tool", listed.c_str(), "", WIN_LOAD)) << piece;
        EXPECT_EQ("a.exe;", Profile("load")) << piece;
    }
    EXPECT_EQ(3, ReadHistory());
}

TEST_F(WinIniActionsTest, ACommandThatIsNotInTheKeyIsNeitherDisabledNorRemoved)
{
    WriteProfileStringA("windows", "run", "other.exe");
    WriteValueText(HKEY_CURRENT_USER, kKnownRun, "C:\\x\\prog.exe", "101");
    EXPECT_EQ(0, DisableRunProgram("prog", "C:\\x\\prog.exe", "", WIN_RUN));
    EXPECT_EQ(0, DisabledCodeForTitle("prog"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_DISABLED_KEY "\\WinRun", "prog"));
    EXPECT_EQ(0, DeleteRunProgram("prog", "C:\\x\\prog.exe", "", WIN_RUN));
    EXPECT_EQ("other.exe", Profile("run"));
    EXPECT_EQ("", History());
    EXPECT_EQ("101", ReadValueText(HKEY_CURRENT_USER, kKnownRun, "C:\\x\\prog.exe"));
}

// --- Startup folder ---

class StartupFolderActionsTest : public RunActionsTest {
protected:
    void SetUp() override
    {
        RunActionsTest::SetUp();
        SaveValue(HKEY_CURRENT_USER, kShellFolders, "Startup");
        startup_ = TempPath("Startup");
        CreateDirectoryA(startup_.c_str(), nullptr);
        WriteValueText(HKEY_CURRENT_USER, kShellFolders, "Startup", startup_);
        program_ = TempPath("agent.exe");
        WriteTextFile(program_, "MZ program");
        shortcut_ = startup_ + "\\Agent.lnk";
        WriteTextFile(shortcut_, "link");
    }
    std::string DisabledPath(const char* name) { return TempPath("Disabled") + "\\" + name; }
    static bool Exists(const std::string& path)
    {
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    std::string startup_, program_, shortcut_;
};

TEST_F(StartupFolderActionsTest, DisableThenEnableMovesTheShortcutAndBack)
{
    ASSERT_EQ(1, DisableRunProgram("Agent", program_.c_str(), shortcut_.c_str(), GROUP_STARTUP));
    EXPECT_FALSE(Exists(shortcut_));
    EXPECT_EQ("link", ReadTextFile(DisabledPath("Agent.lnk")));
    EXPECT_EQ("200", ReadValueText(HKEY_CURRENT_USER, KX_DISABLED_KEY, "Agent"));

    ASSERT_EQ(1, DisableRunProgram("Agent", program_.c_str(), shortcut_.c_str(), GROUP_STARTUP));
    EXPECT_EQ("link", ReadTextFile(shortcut_));
    EXPECT_FALSE(Exists(DisabledPath("Agent.lnk")));
    EXPECT_EQ(0, DisabledCodeForTitle("Agent"));
    EXPECT_TRUE(Exists(program_));
}

TEST_F(StartupFolderActionsTest, ANamesakeInTheDisabledFolderIsNeverOverwritten)
{
    CreateDirectoryA(TempPath("Disabled").c_str(), nullptr);
    WriteTextFile(DisabledPath("Agent.lnk"), "older");
    EXPECT_EQ(0, DisableRunProgram("Agent", program_.c_str(), shortcut_.c_str(), GROUP_STARTUP));
    EXPECT_EQ("link", ReadTextFile(shortcut_));
    EXPECT_EQ("older", ReadTextFile(DisabledPath("Agent.lnk")));
    EXPECT_EQ(0, DisabledCodeForTitle("Agent"));
}

TEST_F(StartupFolderActionsTest, AFileNamedDisabledStopsTheMove)
{
    WriteTextFile(TempPath("Disabled"), "not a folder");
    EXPECT_EQ(0, DisableRunProgram("Agent", program_.c_str(), shortcut_.c_str(), GROUP_STARTUP));
    EXPECT_EQ("link", ReadTextFile(shortcut_));
    EXPECT_EQ(0, DisabledCodeForTitle("Agent"));
}

TEST_F(StartupFolderActionsTest, EnableNeverOverwritesAFileInTheStartupFolder)
{
    ASSERT_EQ(1, DisableRunProgram("Agent", program_.c_str(), shortcut_.c_str(), GROUP_STARTUP));
    WriteTextFile(shortcut_, "newer");
    EXPECT_EQ(0, DisableRunProgram("Agent", program_.c_str(), shortcut_.c_str(), GROUP_STARTUP));
    EXPECT_EQ("newer", ReadTextFile(shortcut_));
    EXPECT_EQ("link", ReadTextFile(DisabledPath("Agent.lnk")));
    EXPECT_EQ(GROUP_STARTUP, DisabledCodeForTitle("Agent"));
}

TEST_F(StartupFolderActionsTest, DisableFailsAndKeepsTheFileWhenTheIndexIsUnwritable)
{
    SetRegistryWriteBlock(HKEY_CURRENT_USER);
    EXPECT_EQ(0, DisableRunProgram("Agent", program_.c_str(), shortcut_.c_str(), GROUP_STARTUP));
    SetRegistryWriteBlock(nullptr);
    EXPECT_EQ("link", ReadTextFile(shortcut_));
    EXPECT_FALSE(Exists(DisabledPath("Agent.lnk")));
}

TEST_F(StartupFolderActionsTest, RemoveDeletesTheShortcutNeverTheProgram)
{
    SetFileAttributesA(shortcut_.c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_EQ(1, DeleteRunProgram("Agent", program_.c_str(), shortcut_.c_str(), GROUP_STARTUP));
    EXPECT_FALSE(Exists(shortcut_));
    EXPECT_TRUE(Exists(program_));
}

TEST_F(StartupFolderActionsTest, AShortcutThatCannotBeDeletedIsNotLoggedAsRemoved)
{
    HANDLE held = CreateFileA(shortcut_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(0, DeleteRunProgram("Agent", program_.c_str(), shortcut_.c_str(), GROUP_STARTUP));
    CloseHandle(held);
    EXPECT_TRUE(Exists(shortcut_));
    EXPECT_EQ("", History());
}

TEST_F(StartupFolderActionsTest, RemovingADisabledItemDeletesItsParkedFile)
{
    ASSERT_EQ(1, DisableRunProgram("Agent", program_.c_str(), shortcut_.c_str(), GROUP_STARTUP));
    ASSERT_EQ(1, DeleteRunProgram("Agent", program_.c_str(), shortcut_.c_str(), GROUP_STARTUP));
    EXPECT_FALSE(Exists(DisabledPath("Agent.lnk")));
    EXPECT_EQ(0, DisabledCodeForTitle("Agent"));
    EXPECT_TRUE(Exists(program_));
}

TEST_F(StartupFolderActionsTest, ItemWithoutSourceMovesByItsCommand)
{
    std::string item = startup_ + "\\notes.url";
    WriteTextFile(item, "[InternetShortcut]");
    ASSERT_EQ(1, DisableRunProgram("notes", item.c_str(), "", GROUP_STARTUP));
    EXPECT_FALSE(Exists(item));
    EXPECT_TRUE(Exists(DisabledPath("notes.url")));
    ASSERT_EQ(1, DisableRunProgram("notes", item.c_str(), "", GROUP_STARTUP));
    EXPECT_TRUE(Exists(item));
}

TEST_F(StartupFolderActionsTest, AnItemPlacedInTheFolderIsParkedByRemoveAndComesBack)
{
    // An .exe is listed with itself as source, a .bat without one, a shortcut with itself as
    // source; any may be disabled first. Removing never deletes it, and the history line
    // brings the very file back (a shortcut with its arguments, folder and icon).
    const struct { const char* name; bool withSource, disabledFirst; } cases[] = {
        {"tool.exe", true, false}, {"job.bat", false, false}, {"tool.exe", true, true},
        {"Agent.lnk", true, false}, {"Agent.lnk", true, true}};
    for (const auto& c : cases) {
        std::string item = startup_ + "\\" + c.name;
        WriteTextFile(item, std::string("content of ") + c.name);
        // A shortcut is listed by its target.
        bool link = IsStartupShortcut(c.name);
        std::string command = link ? program_ : item, source = c.withSource ? item : "";
        if (c.disabledFirst) {
            ASSERT_EQ(1, DisableRunProgram("Item", command.c_str(), source.c_str(), GROUP_STARTUP));
            source = DisabledPath(c.name);   // as the Disabled folder lists it
            command = link ? program_ : source;
            if (!c.withSource)
                source = "";
        }
        DeleteFileA(TempPath("history.txt").c_str());
        ASSERT_EQ(1, DeleteRunProgram("Item", command.c_str(), source.c_str(), GROUP_STARTUP))
            << c.name;
        EXPECT_FALSE(Exists(item)) << c.name;
        EXPECT_EQ(0, DisabledCodeForTitle("Item"));
        EXPECT_EQ(std::string("content of ") + c.name,
                  ReadTextFile(TempPath("Parked") + "\\" + c.name)) << c.name;

        ASSERT_EQ(1, ReadHistory());
        ASSERT_EQ(1, RestoreHistoryEvent(0)) << c.name;
        EXPECT_EQ(std::string("content of ") + c.name, ReadTextFile(item)) << c.name;
        EXPECT_FALSE(Exists(TempPath("Parked") + "\\" + c.name)) << c.name;
        DeleteFileA(item.c_str());
    }
}

// An installed copy: the program folder is not written; the user's items go to his data
// folder, the all-users folder's to the machine's; what an earlier build left in the program
// folder is moved when it can be and read where it is when not.
TEST_F(StartupFolderActionsTest, AnInstalledCopyKeepsItemsInTheDataFoldersAndAdoptsEarlierData)
{
    const std::string prog = TempPath("prog"), user = TempPath("user"), machine = TempPath("machine");
    CreateDirectoryA(prog.c_str(), nullptr);
    CreateDirectoryA((prog + "\\Disabled").c_str(), nullptr);
    CreateDirectoryA((prog + "\\Parked").c_str(), nullptr);
    SetProgramFolder(prog.c_str());
    SetDataFolders(user.c_str(), machine.c_str(), nullptr);
    SaveValue(HKEY_LOCAL_MACHINE, kShellFolders, "Common Startup");
    const std::string common = TempPath("Common");
    CreateDirectoryA(common.c_str(), nullptr);
    WriteValueText(HKEY_LOCAL_MACHINE, kShellFolders, "Common Startup", common);

    // Left by an earlier build: a history line, a disabled item, a parked one (a namesake of
    // the disabled item already moved stays put).
    const std::string line = "01/02/2003  4:05 AM\t*START_Remove\tStartup\tOld\tC:\\old.exe\t\r\n";
    WriteTextFile(prog + "\\history.txt", line);
    WriteTextFile(prog + "\\Disabled\\Old.pif", "old link");
    WriteTextFile(prog + "\\Disabled\\Twin.pif", "earlier twin");
    CreateDirectoryA(user.c_str(), nullptr);
    CreateDirectoryA((user + "\\Disabled").c_str(), nullptr);
    WriteTextFile(user + "\\Disabled\\Twin.pif", "newer twin");
    WriteTextFile(prog + "\\Parked\\gone.exe", "parked earlier");
    EXPECT_EQ(2, AdoptEarlierData());
    EXPECT_EQ(line, ReadTextFile(user + "\\history.txt"));
    EXPECT_FALSE(Exists(prog + "\\history.txt"));
    EXPECT_EQ("old link", ReadTextFile(user + "\\Disabled\\Old.pif"));
    EXPECT_EQ("earlier twin", ReadTextFile(prog + "\\Disabled\\Twin.pif"));
    EXPECT_EQ("newer twin", ReadTextFile(user + "\\Disabled\\Twin.pif"));
    EXPECT_EQ(0, AdoptEarlierData()) << "nothing is moved twice";

    // The inventory lists the disabled items of both places.
    ClearEntries();
    GetDisabledPrograms();
    int listed = 0;
    char command[MAX_PATH + 16];
    for (int i = 0; i < EntryCount(); i++)
        listed += GetEntryCommand(i, command) && strstr(command, "Twin.pif");
    EXPECT_EQ(2, listed);

    // New lines go to the user's history after the earlier ones.
    ASSERT_EQ(1, WriteHistoryLine("New", "C:\\new.exe", "", GROUP_STARTUP, ACT_START_REMOVE));
    EXPECT_EQ(2, ReadHistory());

    // Disable and park by where the item lives.
    const struct { std::string folder, data; } places[] = {{startup_, user}, {common, machine}};
    for (const auto& p : places) {
        std::string item = p.folder + "\\tool.exe";
        WriteTextFile(item, "tool");
        ASSERT_EQ(1, DisableRunProgram("Tool", item.c_str(), item.c_str(), GROUP_STARTUP)) << p.folder;
        EXPECT_EQ("tool", ReadTextFile(p.data + "\\Disabled\\tool.exe")) << p.folder;
        ASSERT_EQ(1, DisableRunProgram("Tool", item.c_str(), item.c_str(), GROUP_STARTUP)) << p.folder;
        char parked[MAX_PATH * 2];
        ASSERT_EQ(1, ParkStartupItem(item.c_str(), parked, sizeof(parked))) << p.folder;
        EXPECT_EQ(p.data + "\\Parked\\tool.exe", parked);
    }
    EXPECT_FALSE(Exists(prog + "\\Parked\\tool.exe"));
    EXPECT_FALSE(Exists(prog + "\\Disabled\\tool.exe"));

    // The item parked earlier comes back from its line.
    std::string back;
    ASSERT_EQ(1, RestoreStartupFile("gone", (prog + "\\Parked\\gone.exe").c_str(),
                                    (startup_ + "\\gone.exe").c_str(), &back));
    EXPECT_EQ("parked earlier", ReadTextFile(startup_ + "\\gone.exe"));

    // A history the program folder will not let go of is copied, and read from the copy.
    DeleteFileA((user + "\\history.txt").c_str());
    WriteTextFile(prog + "\\history.txt", line);
    HANDLE held = CreateFileA((prog + "\\history.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(1, AdoptEarlierData());
    CloseHandle(held);
    EXPECT_EQ(line, ReadTextFile(user + "\\history.txt"));
    EXPECT_EQ(1, ReadHistory());
}

TEST_F(StartupFolderActionsTest, ParkingNeverOverwritesAnItemParkedBefore)
{
    std::string item = startup_ + "\\tool.exe";
    char first[MAX_PATH * 2], second[MAX_PATH * 2];
    WriteTextFile(item, "first");
    ASSERT_EQ(1, ParkStartupItem(item.c_str(), first, sizeof(first)));
    WriteTextFile(item, "second");
    ASSERT_EQ(1, ParkStartupItem(item.c_str(), second, sizeof(second)));
    EXPECT_EQ("first", ReadTextFile(first));
    EXPECT_EQ("second", ReadTextFile(second));
    WriteTextFile(item, "third");
    EXPECT_EQ(0, UnparkStartupItem(first, item.c_str()));
    EXPECT_EQ("third", ReadTextFile(item));
}

TEST_F(StartupFolderActionsTest, AShortcutDeletedByAnOlderVersionIsMadeAgainFromItsLine)
{
    // Its history line names the target as command and the shortcut as source.
    DeleteFileA(shortcut_.c_str());
    ASSERT_EQ(1, RestoreEntry("Agent", program_.c_str(), shortcut_.c_str(), GROUP_STARTUP));
    ASSERT_TRUE(Exists(shortcut_));

    IShellLinkA* link = nullptr;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IShellLinkA, (void**)&link)));
    IPersistFile* file = nullptr;
    ASSERT_TRUE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file)));
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, shortcut_.c_str(), -1, wide, MAX_PATH);
    ASSERT_TRUE(SUCCEEDED(file->Load(wide, STGM_READ)));
    char target[MAX_PATH] = "", description[260] = "", folder[MAX_PATH] = "";
    link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetDescription(description, sizeof(description));
    link->GetWorkingDirectory(folder, sizeof(folder));
    file->Release();
    link->Release();
    EXPECT_STRCASEEQ(program_.c_str(), target);
    EXPECT_STREQ("Agent", description);
    EXPECT_STRCASEEQ(TempDir().c_str(), folder);

    // A second restore does not replace the shortcut that is there now.
    EXPECT_EQ(0, RestoreEntry("Agent", program_.c_str(), shortcut_.c_str(), GROUP_STARTUP));
}

// --- Winlogon and hooks ---

class HookActionsTest : public RunActionsTest {
protected:
    void SetUp() override
    {
        RunActionsTest::SetUp();
        lstrcpynA(g_programCaption, "KxActionsCaption", sizeof(g_programCaption));
    }
};

TEST_F(HookActionsTest, ShellAndUserinitAreResetAtOnce)
{
    SaveValue(HKEY_LOCAL_MACHINE, kWinlogon, "Shell");
    SaveValue(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit");
    WriteValueText(HKEY_LOCAL_MACHINE, kWinlogon, "Shell", "Explorer.exe evil.exe");
    WriteValueText(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit", "C:\\x\\evil.exe");

    EXPECT_EQ(1, DeleteRunProgram("Shell", "Explorer.exe evil.exe", "", WINLOGON_Shell));
    EXPECT_EQ("Explorer.exe", ReadValueText(HKEY_LOCAL_MACHINE, kWinlogon, "Shell"));
    EXPECT_EQ("251", ReadValueText(HKEY_LOCAL_MACHINE, kKnownRun, "Explorer.exe"));

    char expected[MAX_PATH];
    GetSystemDirectoryA(expected, MAX_PATH);
    lstrcatA(expected, "\\Userinit.exe,");
    EXPECT_EQ(1, DeleteRegProgram(nullptr, "Userinit", "C:\\x\\evil.exe", "", WINLOGON_Userinit));
    EXPECT_EQ(expected, ReadValueText(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit"));
    EXPECT_EQ("250", ReadValueText(HKEY_LOCAL_MACHINE, kKnownRun, expected));

    ASSERT_EQ(2, ReadHistory());
    EXPECT_EQ(ACT_RESET_SHELL, GetEntryTag(0));
    EXPECT_EQ(WINLOGON_Shell, GetEntryType(0));
    EXPECT_EQ(ACT_RESET_USERINIT, GetEntryTag(1));
    EXPECT_FALSE(IsHistoryEventReversible(0));
}

TEST_F(HookActionsTest, MonitorAsksBeforeAHookGoesAndNoKeepsIt)
{
    ForgetKey(HKEY_LOCAL_MACHINE, kDelayLoad);
    WriteValueText(HKEY_LOCAL_MACHINE, kDelayLoad, "KxDelay",
                   "{11111111-2222-3333-4444-555555555555}");
    std::string text;
    int defaultButton = 0;
    DialogDriver driver("KxActionsCaption", [&](HWND box) {
        text = WindowText(GetDlgItem(box, 0xFFFF));
        LONG style = GetWindowLongA(GetDlgItem(box, IDNO), GWL_STYLE);
        defaultButton = (style & 0x0F) == BS_DEFPUSHBUTTON;
        PostMessageA(box, WM_COMMAND, IDNO, 0);
    });
    EXPECT_EQ(0, DeleteRegProgram(nullptr, "KxDelay", "C:\\x\\delay.dll",
                                  "{11111111-2222-3333-4444-555555555555}", REG_Delayload));
    driver.Join();
    ASSERT_TRUE(driver.Found());
    EXPECT_NE(std::string::npos, text.find("key location for your operating system"));
    EXPECT_EQ(1, defaultButton);
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kDelayLoad, "KxDelay"));
    EXPECT_EQ("", History());
}

TEST_F(HookActionsTest, YesRemovesTheHookAndRestoreBringsItBack)
{
    ForgetKey(HKEY_LOCAL_MACHINE, kExecuteHooks);
    const char* clsid = "{11111111-2222-3333-4444-666666666666}";
    WriteValueText(HKEY_LOCAL_MACHINE, kExecuteHooks, clsid, "Kx Hook");
    WriteValueText(HKEY_CURRENT_USER, kKnownRun, "C:\\x\\hook.dll", "254");
    DialogDriver driver("KxActionsCaption",
                        [](HWND box) { PostMessageA(box, WM_COMMAND, IDYES, 0); });
    EXPECT_EQ(1, DeleteRunProgram("Kx Hook", "C:\\x\\hook.dll", clsid, REG_ShellExecuteHook));
    driver.Join();
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kExecuteHooks, clsid));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kKnownRun, "C:\\x\\hook.dll"));

    ASSERT_EQ(1, ReadHistory());
    EXPECT_EQ(ACT_REMOVE_SHELLEXECUTEHOOK, GetEntryTag(0));
    // Not a reversible action, but a double click restores it all the same.
    EXPECT_EQ(1, RestoreEntry("Kx Hook", "C:\\x\\hook.dll", clsid, REG_ShellExecuteHook));
    EXPECT_EQ("Kx Hook", ReadValueText(HKEY_LOCAL_MACHINE, kExecuteHooks, clsid));
    EXPECT_EQ("254", ReadValueText(HKEY_CURRENT_USER, kKnownRun, "C:\\x\\hook.dll"));
}

TEST_F(HookActionsTest, AppInitDllIsTakenOutOfTheWholeListAndPutBack)
{
    SaveValue(HKEY_LOCAL_MACHINE, kAppInitKey, "AppInit_DLLs");
    std::string dll = TempPath("hook.dll");
    WriteTextFile(dll, "MZ");
    std::string filler;
    for (int i = 0; i < 20; i++)
        filler += "C:\\Lib\\filler" + std::to_string(i) + ".dll,";   // well past 254 characters
    WriteValueText(HKEY_LOCAL_MACHINE, kAppInitKey, "AppInit_DLLs",
                   filler + dll + " C:\\Lib\\last.dll");
    DialogDriver driver("KxActionsCaption",
                        [](HWND box) { PostMessageA(box, WM_COMMAND, IDYES, 0); });
    EXPECT_EQ(1, DeleteRunProgram("hook", dll.c_str(), "", REG_AppInitDLLs));
    driver.Join();
    EXPECT_EQ(filler + "C:\\Lib\\last.dll",
              ReadValueText(HKEY_LOCAL_MACHINE, kAppInitKey, "AppInit_DLLs"));

    ASSERT_EQ(1, ReadHistory());
    EXPECT_EQ(ACT_START_REMOVE, GetEntryTag(0));
    EXPECT_EQ(REG_AppInitDLLs, GetEntryType(0));
    EXPECT_EQ(1, RestoreHistoryEvent(0));
    char shortPath[MAX_PATH];
    GetShortPathNameA(dll.c_str(), shortPath, MAX_PATH);
    EXPECT_EQ(filler + "C:\\Lib\\last.dll," + shortPath,
              ReadValueText(HKEY_LOCAL_MACHINE, kAppInitKey, "AppInit_DLLs"));
}

TEST_F(HookActionsTest, RemovingTheLastAppInitDllLeavesNoTrailingComma)
{
    SaveValue(HKEY_LOCAL_MACHINE, kAppInitKey, "AppInit_DLLs");
    WriteValueText(HKEY_LOCAL_MACHINE, kAppInitKey, "AppInit_DLLs",
                   "C:\\Lib\\a.dll,C:\\Lib\\b.dll,C:\\Lib\\gone.dll");
    DialogDriver driver("KxActionsCaption",
                        [](HWND box) { PostMessageA(box, WM_COMMAND, IDYES, 0); });
    EXPECT_EQ(1, DeleteRegProgram(nullptr, "gone", "c:\\lib\\GONE.dll", "", REG_AppInitDLLs));
    driver.Join();
    EXPECT_EQ("C:\\Lib\\a.dll,C:\\Lib\\b.dll",
              ReadValueText(HKEY_LOCAL_MACHINE, kAppInitKey, "AppInit_DLLs"));
}

TEST_F(HookActionsTest, NotifyEntryIsDisabledThroughOldNameButNeverRemoved)
{
    std::string key = std::string(kNotify) + "\\KxNotify";
    ForgetKey(HKEY_LOCAL_MACHINE, key);
    WriteValueText(HKEY_LOCAL_MACHINE, key, "DllName", "kxnotify.dll");

    ASSERT_EQ(1, DisableRunProgram("KxNotify", "C:\\x\\kxnotify.dll", "", RUN_WINLOGONNOTIFY));
    EXPECT_EQ("", ReadValueText(HKEY_LOCAL_MACHINE, key, "DllName"));
    EXPECT_EQ("kxnotify.dll", ReadValueText(HKEY_LOCAL_MACHINE, key, "OldName"));
    EXPECT_EQ("256", ReadValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, "KxNotify"));
    EXPECT_EQ("C:\\x\\kxnotify.dll",
              ReadValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY "\\WinNotify", "KxNotify"));
    EXPECT_EQ("256", ReadValueText(HKEY_CURRENT_USER, kKnownRun, "C:\\x\\kxnotify.dll"));

    EXPECT_EQ(0, DeleteRunProgram("KxNotify", "C:\\x\\kxnotify.dll", "", RUN_WINLOGONNOTIFY));
    EXPECT_EQ("kxnotify.dll", ReadValueText(HKEY_LOCAL_MACHINE, key, "OldName"));

    ASSERT_EQ(1, DisableRunProgram("KxNotify", "C:\\x\\kxnotify.dll", "", RUN_WINLOGONNOTIFY));
    EXPECT_EQ("kxnotify.dll", ReadValueText(HKEY_LOCAL_MACHINE, key, "DllName"));
    EXPECT_EQ("", ReadValueText(HKEY_LOCAL_MACHINE, key, "OldName"));
    EXPECT_EQ(0, DisabledCodeForTitle("KxNotify"));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY "\\WinNotify", "KxNotify"));
}

TEST_F(HookActionsTest, DisablingAnEmptiedNotifyEntryKeepsTheNameItHad)
{
    std::string key = std::string(kNotify) + "\\KxNotify";
    ForgetKey(HKEY_LOCAL_MACHINE, key);
    WriteValueText(HKEY_LOCAL_MACHINE, key, "DllName", "");
    WriteValueText(HKEY_LOCAL_MACHINE, key, "OldName", "kxnotify.dll");
    ASSERT_EQ(1, DisableRunProgram("KxNotify", "C:\\x\\kxnotify.dll", "", RUN_WINLOGONNOTIFY));
    EXPECT_EQ("kxnotify.dll", ReadValueText(HKEY_LOCAL_MACHINE, key, "OldName"));
    ASSERT_EQ(1, DisableRunProgram("KxNotify", "C:\\x\\kxnotify.dll", "", RUN_WINLOGONNOTIFY));
    EXPECT_EQ("kxnotify.dll", ReadValueText(HKEY_LOCAL_MACHINE, key, "DllName"));
}
