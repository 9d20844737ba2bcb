// Watched system files on real files: the records, the changed rule, put back without a
// saved copy, the HOSTS path, note files and the restart commands of wininit.ini.
#include "kxtest.h"
#include "datafolder.h"
#include "keys.h"
#include "platform.h"
#include "program.h"
#include "sysfileactions.h"
#include "sysfiles.h"
#include <string>

namespace {

class SysFilesTest : public KxTest {
protected:
    void TearDown() override
    {
        SetPlatformOverride(nullptr);
        char copy[MAX_PATH];
        for (const char* name : {"KxFile", "HOSTS", "Autoexec.bat", "Config.sys"}) {
            SavedCopyPath(name, copy, sizeof(copy));
            DeleteFileA(copy);
        }
        KxTest::TearDown();
    }
    // Moves the file's write time by whole days.
    static void ShiftDays(const std::string& path, int days)
    {
        HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        FILETIME time;
        GetFileTime(file, nullptr, nullptr, &time);
        ULARGE_INTEGER value = {{time.dwLowDateTime, time.dwHighDateTime}};
        value.QuadPart += (ULONGLONG)days * 864000000000ULL;
        time.dwLowDateTime = value.LowPart;
        time.dwHighDateTime = value.HighPart;
        SetFileTime(file, nullptr, nullptr, &time);
        CloseHandle(file);
    }
    std::string Record(const char* value)
    {
        return ReadValueText(HKEY_LOCAL_MACHINE, KX_SYSFILES_KEY "\\KxFile", value);
    }
};

TEST_F(SysFilesTest, ChangedRuleByTypeSizeAndDate)
{
    const std::string path = TempPath("watched.txt");
    struct {
        const char* why; int type; const char* newText; int days; bool changed;
    } rows[] = {
        {"same size, new date (type 0)", 0, "abcd", 3, false},
        {"new size, new date", 0, "abcdef", 3, true},
        {"new date alone (type 1)", 1, "abcd", 3, true},
        {"untouched", 0, nullptr, 0, false},
    };
    for (const auto& row : rows) {
        WriteTextFile(path, "abcd");
        ShiftDays(path, -10);
        ASSERT_TRUE(RecordSysFile("KxFile", path.c_str(), "Comment text", row.type)) << row.why;
        EXPECT_EQ("4", Record("Size"));
        EXPECT_EQ(path, Record("Location"));
        EXPECT_EQ("Comment text", Record("Comment"));
        if (row.newText) {
            WriteTextFile(path, row.newText);
            ShiftDays(path, -10 + row.days);
        }
        EXPECT_EQ(row.changed, SysFileChanged("KxFile", path.c_str()) != 0) << row.why;
    }

    // A record without a size gets the present one; one without a date takes it silently.
    WriteValueText(HKEY_LOCAL_MACHINE, KX_SYSFILES_KEY "\\KxFile", "Size", "0");
    WriteTextFile(path, "abcdefgh");
    EXPECT_TRUE(SysFileChanged("KxFile", path.c_str())) << "this patrol still compares with 0";
    EXPECT_EQ("8", Record("Size"));
    WriteValueText(HKEY_LOCAL_MACHINE, KX_SYSFILES_KEY "\\KxFile", "Date", "");
    EXPECT_FALSE(SysFileChanged("KxFile", path.c_str()));
    EXPECT_NE("", Record("Date"));
    DeleteFileA(path.c_str());
    EXPECT_FALSE(SysFileChanged("KxFile", path.c_str())) << "a vanished file is passed over";
}

TEST_F(SysFilesTest, AcceptTakesTheNewFileAndPutBackNeverEmptiesIt)
{
    const std::string path = TempPath("watched.txt");
    WriteTextFile(path, "old");
    ASSERT_TRUE(RecordSysFile("KxFile", path.c_str(), "", 0));
    WriteTextFile(path, "new text");
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(AcceptSysFile("KxFile", path.c_str(), 0));
    EXPECT_EQ(FILE_ATTRIBUTE_READONLY, GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ("8", Record("Size"));
    char copy[MAX_PATH];
    SavedCopyPath("KxFile", copy, sizeof(copy));
    EXPECT_EQ("new text", ReadTextFile(copy));

    DeleteFileA(copy);
    EXPECT_FALSE(RestoreSysFile("KxFile", path.c_str(), 1));
    EXPECT_EQ("new text", ReadTextFile(path)) << "no saved copy: the file stays";
    EXPECT_EQ(path, Record("Location")) << "and the record too";
    ASSERT_TRUE(AcceptSysFile("KxFile", path.c_str(), 1));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, KX_SYSFILES_KEY "\\KxFile", "Location")) << "no longer watched";
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(SysFilesTest, RecordsHostsPathAndNoteFiles)
{
    PlatformVersion nt = {VER_PLATFORM_WIN32_NT, 5, 1}, me = {VER_PLATFORM_WIN32_WINDOWS, 4, 90};
    char hosts[MAX_PATH], folder[MAX_PATH];
    SetPlatformOverride(&nt);
    GetHOSTSFile(hosts, sizeof(hosts));
    GetSystemDirectoryA(folder, sizeof(folder));
    EXPECT_EQ(std::string(folder) + "\\drivers\\etc\\HOSTS", hosts);
    SetPlatformOverride(&me);
    GetHOSTSFile(hosts, sizeof(hosts));
    GetWindowsDirectoryA(folder, sizeof(folder));
    EXPECT_EQ(std::string(folder) + "\\HOSTS", hosts);
    SetPlatformOverride(nullptr);

    InitSysFileRecords();
    EXPECT_FALSE(ReadValueText(HKEY_LOCAL_MACHINE, KX_SYSFILES_KEY, "").empty());
    for (const char* name : {"HOSTS", "Autoexec.bat", "Config.sys"})
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::string(KX_SYSFILES_KEY "\\") + name)) << name;
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, KX_SYSFILES_KEY "\\Config.sys", "Location"))
        << "a missing file leaves an empty record";

    char note[MAX_PATH];
    NoteFilePath("\"C:\\Program Files\\Kx\\App.exe\" -min", note, sizeof(note));
    EXPECT_NE(std::string::npos, std::string(note).find("\\note_App.txt")) << note;
    WriteTextFile(TempPath("note_App.txt"), "mine");
    NoteFilePath("C:\\Tools\\App.exe", note, sizeof(note));
    EXPECT_EQ(TempPath("note_App.txt"), note) << "the program folder's note comes first";
}

TEST_F(SysFilesTest, NoteFilesStayInTheirFolderWhateverTheProgramIsCalled)
{
    char base[MAX_PATH];
    UserDataFolder(base, sizeof(base));
    struct { const char* program; const char* note; } rows[] = {
        {"/../../Users/Public/Desktop/todo.exe", "note__.._.._Users_Public_Desktop_todo.txt"},
        {"C:\\Tools\\x<y>|z?.exe", "note_x_y__z_.txt"},
        {"C:\\Tools\\a:stream.exe", "note_a_stream.txt"},
        {"C:\\Tools\\my app+1.exe", "note_my app+1.txt"},
    };
    for (const auto& row : rows) {
        char note[MAX_PATH];
        NoteFilePath(row.program, note, sizeof(note));
        EXPECT_EQ(std::string(base) + "\\" + row.note, note) << row.program;
        char full[MAX_PATH], *name = nullptr;
        GetFullPathNameA(note, sizeof(full), full, &name);
        EXPECT_EQ(std::string(base) + "\\" + row.note, full) << "stays in the folder";
    }
}

TEST_F(SysFilesTest, RestartCommandsNeedWininitExeAndAreShownWithWideLineEnds)
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof(windows));
    const std::string exe = std::string(windows) + "\\wininit.exe";
    ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(exe.c_str()));
    WriteTextFile(WinInitPath(), "[rename]\nNUL=C:\\BAD.EXE\r\n");
    EXPECT_FALSE(HasRestartCommands()) << "nothing runs the file without wininit.exe";
    WriteTextFile(exe, "MZ");
    EXPECT_TRUE(HasRestartCommands());
    EXPECT_EQ("[rename]\r\nNUL=C:\\BAD.EXE\r\n", RestartCommandsText());
    EXPECT_TRUE(DeleteRestartCommands());
    EXPECT_FALSE(HasRestartCommands());
    DeleteFileA(exe.c_str());
}

}   // namespace
