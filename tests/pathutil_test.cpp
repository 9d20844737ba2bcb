#include "kxtest.h"
#include "aolwindow.h"
#include "systemfiles.h"
#include "datafolder.h"
#include "entrylist.h"
#include "fileinfo.h"
#include "handles.h"
#include "pathutil.h"
#include "resstring.h"
#include "textutil.h"
#include "versioninfo.h"
#include <cstring>
#include <regex>
#include <string>

class PathUtilTest : public KxTest {};

static std::string Upper(std::string s)
{
    CharUpperA(&s[0]);
    return s;
}

static std::string WindowsFolder()
{
    char f[MAX_PATH];
    GetWindowsDirectoryA(f, sizeof(f));
    return f;
}

static std::string SystemFolder()
{
    char f[MAX_PATH];
    GetSystemDirectoryA(f, sizeof(f));
    return f;
}

static std::string Fixture(const char* name) { return TestProgramFolder() + "\\" + name; }

static std::string ProgramFileOf(const char* command)
{
    char out[260];
    memset(out, 0xbd, sizeof(out));
    GetProgramFile(command, out);
    return out;
}

TEST_F(PathUtilTest, TextHelpersWorkWithinTheirBuffers)
{
    char text[300];
    StripQuotes("\"C:\\a b\\c.exe\" \"x\"", text, sizeof(text));
    EXPECT_STREQ("C:\\a b\\c.exe x", text);
    std::string longText(400, 'a');
    StripQuotes(longText.c_str(), text, sizeof(text));
    EXPECT_EQ(259u, strlen(text));

    strcpy(text, "C:\\dir");
    EnsureTrailingBackslash(text, sizeof(text));
    EnsureTrailingBackslash(text, sizeof(text));
    EXPECT_STREQ("C:\\dir\\", text);
    DropTrailingBackslash(text);
    EXPECT_STREQ("C:\\dir", text);
    strcpy(text, "C:\\");
    DropTrailingBackslash(text);
    EXPECT_STREQ("C:\\", text);

    EXPECT_EQ(7, FileNameOffset("C:\\dir\\app.exe"));
    EXPECT_EQ(0, FileNameOffset("app.exe"));
    EXPECT_STREQ("app.exe", FileNamePart("C:\\dir\\app.exe"));
    EXPECT_STREQ("x y", SkipLeadingBlanks("   x y"));

    strcpy(text, "a=b=c");
    KeySafeText(text);
    EXPECT_STREQ("a:b:c", text);
    strcpy(text, "a,b,,c");
    ReplaceChar(text, ',', 0);
    EXPECT_STREQ("abc", text);
}

TEST_F(PathUtilTest, ThousandsSeparatorsGroupFromTheRight)
{
    char out[32];
    const struct { long long value; const char* text; } cases[] = {
        {0, "0"}, {999, "999"}, {1000, "1,000"}, {123456, "123,456"},
        {1234567, "1,234,567"}, {-1234, "-1,234"}, {5000000000LL, "5,000,000,000"}};
    for (const auto& c : cases) {
        memset(out, 0xbd, sizeof(out));
        FormatThousands(c.value, out, sizeof(out));
        EXPECT_STREQ(c.text, out) << c.value;
    }
}

TEST_F(PathUtilTest, ProgramFileIsTheUpperCasePathWithoutQuotesOrArguments)
{
    EXPECT_EQ("C:\\PROGRAM FILES\\APP\\APP.EXE",
              ProgramFileOf("\"C:\\Program Files\\App\\app.exe\" -tray"));
    EXPECT_EQ("C:\\WINDOWS\\SYSTEM32\\X.DLL",
              ProgramFileOf("rundll32 C:\\Windows\\system32\\x.dll,Entry"))
        << "the last drive letter starts the program";
    EXPECT_EQ("C:\\TOOLS\\AGENT.EXE", ProgramFileOf("C:\\Tools\\agent.exe"));
    EXPECT_EQ("NOTEPAD.EXE", ProgramFileOf("notepad.exe /p file.txt"));
    EXPECT_EQ("C:\\X\\CTL.CPL,@1", ProgramFileOf("C:\\x\\ctl.cpl,@1"))
        << ".CPL has no X or L two places after the full stop";
    // Extensions end the scan only when complete; a text cut right after the dot is kept.
    EXPECT_EQ("C:\\A.E", ProgramFileOf("c:\\a.e"));
    std::string longCommand = "C:\\" + std::string(300, 'd') + ".exe";
    EXPECT_EQ(259u, ProgramFileOf(longCommand.c_str()).size());
}

TEST_F(PathUtilTest, SystemRootAndProgramFilesPrefixesExpand)
{
    std::string windows = Upper(WindowsFolder());
    EXPECT_EQ(windows + "\\SYSTEM32\\DRIVERS\\X.SYS",
              ProgramFileOf("\\SystemRoot\\System32\\drivers\\x.sys"));
    EXPECT_EQ(windows + "\\SYSTEM32\\SVCHOST.EXE",
              ProgramFileOf("%SystemRoot%\\system32\\svchost.exe -k netsvcs"));
    EXPECT_EQ(windows + "\\SYSTEM32\\DRIVERS\\Y.EXE",
              ProgramFileOf("\"\\SystemRoot\\System32\\drivers\\y.exe\" -x"));
    EXPECT_EQ("RUNDLL32.EXE", ProgramFileOf("rundll32.exe C:\\x.dll,Entry"))
        << "the first complete extension ends the scan";

    const char* key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    SaveValue(HKEY_LOCAL_MACHINE, key, "ProgramFilesDir");
    WriteValueText(HKEY_LOCAL_MACHINE, key, "ProgramFilesDir", "D:\\Apps");
    EXPECT_EQ("D:\\APPS\\VENDOR\\TOOL.EXE", ProgramFileOf("%ProgramFiles%\\Vendor\\tool.exe /x"));
    RegKey k;
    ASSERT_TRUE(k.open(HKEY_LOCAL_MACHINE, key, KEY_SET_VALUE));
    RegDeleteValueA(k.get(), "ProgramFilesDir");
    EXPECT_EQ("C:\\PROGRAM FILES\\VENDOR\\TOOL.EXE", ProgramFileOf("%PROGRAMFILES%\\Vendor\\tool.exe"));
}

// A folder prefix names the program only where the command begins: further on it is an
// argument, and the program is still the file the command starts with.
TEST_F(PathUtilTest, PrefixesExpandOnlyWhereTheCommandBegins)
{
    const std::string windows = Upper(WindowsFolder());
    const struct {
        const char* command;
        std::string program, args;   // GetProgramFile; SplitProgram's arguments
    } cases[] = {
        {"C:\\Users\\bob\\u.exe \\SystemRoot\\explorer.exe", "C:\\USERS\\BOB\\U.EXE",
         " \\SystemRoot\\explorer.exe"},
        {"\"C:\\kx\\u.exe\" %SystemRoot%\\explorer.exe", "C:\\KX\\U.EXE",
         "\" %SystemRoot%\\explorer.exe"},
        {"C:\\kx\\u.exe %ProgramFiles%\\x.exe", "C:\\KX\\U.EXE", " %ProgramFiles%\\x.exe"},
        {"C:\\kx\\u.exe SystemRoot\\explorer.exe", "C:\\KX\\U.EXE", " SystemRoot\\explorer.exe"},
        {"  \"\\SystemRoot\\kx.exe\" -x", windows + "\\KX.EXE", "\" -x"},
        {"SystemRoot\\System32\\kx.exe", windows + "\\SYSTEM32\\KX.EXE", ""},
        {"\\SystemRootKit\\kx.exe", "\\SYSTEMROOTKIT\\KX.EXE", ""},
        {"%SystemRoot\\kx.exe", "%SYSTEMROOT\\KX.EXE", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(c.program, ProgramFileOf(c.command));
        char program[260], args[260];
        SplitProgram(c.command, program, args);
        EXPECT_EQ(c.program, Upper(program));
        EXPECT_EQ(c.args, args);
    }
}

TEST_F(PathUtilTest, ProgramSplitKeepsArgumentsAfterTheExtension)
{
    char program[260], args[260];
    SplitProgram("\"C:\\Program Files\\App\\app.exe\" -tray", program, args);
    EXPECT_STREQ("C:\\PROGRAM FILES\\APP\\APP.EXE", program);
    EXPECT_STREQ("\" -tray", args);

    SplitProgram("C:\\x\\ctl.cpl,@1", program, args);
    EXPECT_STREQ("C:\\X\\CTL.CPL", program);
    EXPECT_STREQ(",@1", args);

    SplitProgram("%PROGRAMFILES%\\a.exe", program, args);
    EXPECT_STREQ("%PROGRAMFILES%\\A.EXE", program);
    EXPECT_STREQ("", args);

    SplitProgram("%SystemRoot%\\system32\\svchost.exe -k netsvcs", program, args);
    EXPECT_EQ(Upper(WindowsFolder()) + "\\SYSTEM32\\SVCHOST.EXE", Upper(program));
    EXPECT_STREQ(" -k netsvcs", args);

    // An existing program given by its short name comes back in long form.
    std::string longName = TempPath("Long Program Name.exe");
    ASSERT_TRUE(WriteTextFile(longName, "MZ"));
    char shortPath[MAX_PATH];
    ASSERT_GT(GetShortPathNameA(longName.c_str(), shortPath, sizeof(shortPath)), 0u);
    std::string command = std::string(shortPath) + " /min";
    SplitProgram(command.c_str(), program, args);
    EXPECT_STRCASEEQ(longName.c_str(), program);
    EXPECT_STREQ(" /min", args);
}

TEST_F(PathUtilTest, Rundll32LinesAreSplitAfterTheLoader)
{
    char out[512];
    EXPECT_EQ(1, SplitRundll32("rundll32.exe shell32.dll,Control_RunDLL", out, sizeof(out)));
    EXPECT_STREQ("shell32.dll,Control_RunDLL", out);
    EXPECT_EQ(1, SplitRundll32("C:\\WINDOWS\\System32\\RunDll32.EXE url.dll,Open", out, sizeof(out)));
    EXPECT_STREQ("url.dll,Open", out);
    EXPECT_EQ(1, SplitRundll32("\"C:\\WINDOWS\\rundll32.exe\" C:\\x\\hook.dll,Start", out,
                               sizeof(out)));
    EXPECT_STREQ("C:\\x\\hook.dll,Start", out) << "the closing quote is not part of the DLL";
    EXPECT_EQ(1, SplitRundll32("rundll32.exe", out, sizeof(out)));
    EXPECT_STREQ("", out);
    EXPECT_EQ(0, SplitRundll32("rundll32 shell32.dll,X", out, sizeof(out)));
    EXPECT_STREQ("rundll32 shell32.dll,X", out);
    EXPECT_EQ(0, SplitRundll32("C:\\app.exe -r", out, sizeof(out)));
    EXPECT_STREQ("C:\\app.exe -r", out);
}

TEST_F(PathUtilTest, FileExistsFallsBackToTheWindowsAndSystemFolders)
{
    char path[MAX_PATH];
    strcpy(path, "");
    EXPECT_EQ(0, FileExists(path, sizeof(path)));

    strcpy(path, "notepad.exe");
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((WindowsFolder() + "\\notepad.exe").c_str()));
    EXPECT_EQ(1, FileExists(path, sizeof(path)));
    EXPECT_STREQ("notepad.exe", path) << "found in the Windows folder: text unchanged";

    strcpy(path, "kernel32.dll");
    ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((WindowsFolder() + "\\kernel32.dll").c_str()));
    EXPECT_EQ(1, FileExists(path, sizeof(path)));
    char expected[MAX_PATH];
    GetShortPathNameA((SystemFolder() + "\\kernel32.dll").c_str(), expected, sizeof(expected));
    EXPECT_STRCASEEQ(expected, path) << "found in the System folder: text becomes its short path";

    std::string file = TempPath("Some Program With Spaces.exe");
    ASSERT_TRUE(WriteTextFile(file, "MZ"));
    strcpy(path, file.c_str());
    EXPECT_EQ(1, FileExists(path, sizeof(path)));
    EXPECT_EQ(file, path);

    strcpy(path, "kx-no-such-file.exe");
    EXPECT_EQ(0, FileExists(path, sizeof(path)));
    strcpy(path, TempPath("missing.exe").c_str());
    EXPECT_EQ(0, FileExists(path, sizeof(path)));
}

TEST_F(PathUtilTest, FolderOfAProgram)
{
    char folder[MAX_PATH];
    EXPECT_EQ(1, FolderOfProgram("C:\\Tools\\bin\\agent.exe", folder, sizeof(folder)));
    EXPECT_STREQ("C:\\Tools\\bin", folder);
    EXPECT_EQ(1, FolderOfProgram("C:\\agent.exe", folder, sizeof(folder)));
    EXPECT_STREQ("C:\\", folder);
    EXPECT_EQ(1, FolderOfProgram("notepad.exe", folder, sizeof(folder)));
    EXPECT_STRCASEEQ(WindowsFolder().c_str(), folder);
    EXPECT_EQ(1, FolderOfProgram("kernel32.dll", folder, sizeof(folder)));
    EXPECT_STRCASEEQ(SystemFolder().c_str(), folder);
    EXPECT_EQ(0, FolderOfProgram("kx-no-such-file.exe", folder, sizeof(folder)));
    EXPECT_STREQ("", folder);
}

TEST_F(PathUtilTest, VersionStringsFollowTranslationsAndLimits)
{
    VersionStrings v;
    memset(&v, 0xbd, sizeof(v));
    ASSERT_EQ(1, GetVersionStrings(Fixture("kxfx_app.exe").c_str(), &v));
    EXPECT_STREQ("Fixture App", v.slot[VS_PRODUCT_NAME]);
    EXPECT_STREQ("1.2.3.4", v.slot[VS_PRODUCT_VERSION]);
    EXPECT_STREQ("Orvane Fixtures", v.slot[VS_COMPANY_NAME]);
    EXPECT_STREQ("Fixture App Tool", v.slot[VS_FILE_DESCRIPTION]);
    EXPECT_STREQ("", v.slot[VS_LEGAL_COPYRIGHT]) << "over 127 characters counts as empty";

    // The German translation overwrites the English one; the French has no ProductName.
    ASSERT_EQ(1, GetVersionStrings(Fixture("kxfx_multi.exe").c_str(), &v));
    EXPECT_STREQ("Multi Deutsch", v.slot[VS_PRODUCT_NAME]);
    EXPECT_STREQ("2.0", v.slot[VS_PRODUCT_VERSION]);
    EXPECT_STREQ("", v.slot[VS_COMPANY_NAME]);
    EXPECT_STREQ("Mehrsprachig", v.slot[VS_FILE_DESCRIPTION]);

    ASSERT_EQ(1, GetVersionStrings(Fixture("kxfx_oshook.dll").c_str(), &v));
    EXPECT_STREQ("Fixture Shell Hook", v.slot[VS_PRODUCT_NAME]) << "Operating System products";
    EXPECT_STREQ("Microsoft Corporation", v.slot[VS_COMPANY_NAME]);

    for (const char* name : {"kxfx_noname.exe", "kxfx_big.exe", "kxfx_plain.exe", "kx-none.exe"}) {
        memset(&v, 0xbd, sizeof(v));
        EXPECT_EQ(0, GetVersionStrings(Fixture(name).c_str(), &v)) << name;
        for (int s = 0; s < VS_SLOT_COUNT; s++)
            EXPECT_STREQ("", v.slot[s]) << name << " slot " << s;
    }
    DWORD handle;
    EXPECT_GT(GetFileVersionInfoSizeA(Fixture("kxfx_big.exe").c_str(), &handle), 8191u)
        << "the oversized fixture must really be oversized";
}

TEST_F(PathUtilTest, ComClassGivesNameAndServer)
{
    const char* id = "{6A3F0E11-5B2C-4D7E-9F10-0123456789AB}";
    std::string key = std::string("CLSID\\") + id;
    ForgetKey(HKEY_CLASSES_ROOT, key);
    WriteValueText(HKEY_CLASSES_ROOT, key, "", "Fixture Class");
    WriteValueText(HKEY_CLASSES_ROOT, key + "\\InprocServer32", "", "C:\\x\\hook.dll");
    char name[260], server[260];
    EXPECT_EQ(1, GetComClass(id, name, server));
    EXPECT_STREQ("Fixture Class", name);
    EXPECT_STREQ("C:\\x\\hook.dll", server);
    EXPECT_EQ(1, GetComClass("6A3F0E11-5B2C-4D7E-9F10-0123456789AB", name, server));
    EXPECT_STREQ("C:\\x\\hook.dll", server) << "braces are added when missing";
    memset(name, 0xbd, sizeof(name));
    memset(server, 0xbd, sizeof(server));
    EXPECT_EQ(1, GetComClass("{00000000-1111-2222-3333-444444444444}", name, server));
    EXPECT_STREQ("", name);
    EXPECT_STREQ("", server);
}

TEST_F(PathUtilTest, ApplicationPathNeedsAnExistingFile)
{
    const char* base = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
    ForgetKey(HKEY_LOCAL_MACHINE, std::string(base) + "kxfx_app.exe");
    ForgetKey(HKEY_LOCAL_MACHINE, std::string(base) + "kxfx_gone.exe");
    WriteValueText(HKEY_LOCAL_MACHINE, std::string(base) + "kxfx_app.exe", "",
                   Fixture("kxfx_app.exe"));
    WriteValueText(HKEY_LOCAL_MACHINE, std::string(base) + "kxfx_app.exe", "Path", "C:\\Fixture");
    WriteValueText(HKEY_LOCAL_MACHINE, std::string(base) + "kxfx_gone.exe", "", "C:\\gone\\gone.exe");
    WriteValueText(HKEY_LOCAL_MACHINE, std::string(base) + "kxfx_gone.exe", "Path", "C:\\gone");
    char version[128], folder[260];
    EXPECT_EQ(1, GetAppPath("kxfx_app.exe", version, folder));
    EXPECT_STREQ("1.2.3.4", version);
    EXPECT_STREQ("C:\\Fixture", folder);
    EXPECT_EQ(0, GetAppPath("kxfx_gone.exe", version, folder));
    EXPECT_STREQ("", version);
    EXPECT_STREQ("", folder);
    EXPECT_EQ(0, GetAppPath("kxfx_unregistered.exe", version, folder));
}

TEST_F(PathUtilTest, FileTimesSizeAndInformationRecord)
{
    std::string file = TempPath("data.bin");
    ASSERT_TRUE(WriteTextFile(file, std::string(12345, 'x')));
    char created[32];
    memset(created, 0xbd, sizeof(created));
    EXPECT_EQ(1, CreationTimeText(file.c_str(), created));
    SYSTEMTIME now;
    GetLocalTime(&now);
    char today[16];
    snprintf(today, sizeof(today), "%04d/%02d/%02d ", now.wYear, now.wMonth, now.wDay);
    EXPECT_TRUE(std::regex_match(created, std::regex("\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d"))) << created;
    EXPECT_EQ(0, strncmp(today, created, strlen(today))) << created;
    memset(created, 0xbd, sizeof(created));
    EXPECT_EQ(1, CreationTimeText(TempPath("missing").c_str(), created));
    EXPECT_STREQ("", created);

    char size[32], date[32];
    EXPECT_EQ(1, GetSizeAndDate(file.c_str(), size, date));
    EXPECT_STREQ("12345", size);
    EXPECT_NE('\0', date[0]);
    EXPECT_EQ(0, GetSizeAndDate(TempPath("missing").c_str(), size, date));

    // First seen: dated under the entry type's category by the file's program key.
    char key[260];
    GetProgramFile(file.c_str(), key);
    WriteValueText(HKEY_CURRENT_USER, "Software\\Orvane\\Detected\\Startup", key, "03/04/2005");
    FileInfoRecord record;
    memset(&record, 0xbd, sizeof(record));
    EXPECT_EQ(1, GetFileInformation(file.c_str(), CURRENT_RUN, &record));
    EXPECT_STREQ("03/04/2005", record.firstSeen);
    EXPECT_STREQ("12,345", record.size);
    EXPECT_NE('\0', record.created[0]);
    EXPECT_NE('\0', record.accessed[0]);
    EXPECT_NE('\0', record.written[0]);
    memset(&record, 0xbd, sizeof(record));
    GetFileInformation(file.c_str(), TYPE_HIDDEN, &record);
    EXPECT_STREQ("", record.firstSeen) << "another category has no date for it";

    memset(&record, 0xbd, sizeof(record));
    EXPECT_EQ(0, GetFileInformation(TempPath("missing.exe").c_str(), CURRENT_RUN, &record));
    char inUse[64];
    LoadResString(923, inUse, sizeof(inUse));
    EXPECT_STREQ("File in Use", inUse);
    EXPECT_STREQ(inUse, record.size);
    EXPECT_STREQ("", record.created);
}

// What an earlier build wrote is looked for in its roaming data folder, then the program
// folder; nothing is made by looking.
TEST_F(PathUtilTest, EarlierDataIsFoundWhereAnEarlierBuildKeptIt)
{
    const char* key = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    SaveValue(HKEY_CURRENT_USER, key, "AppData");
    std::string appData = TempPath("appdata");
    ASSERT_TRUE(CreateDirectoryA(appData.c_str(), nullptr));
    WriteValueText(HKEY_CURRENT_USER, key, "AppData", appData);
    char path[MAX_PATH];
    EXPECT_EQ(0, EarlierDataPath("HOSTS", path, sizeof(path)));
    EXPECT_STREQ("", path);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((appData + "\\Kestrix").c_str()));
    WriteTextFile(TempPath("HOSTS"), "program folder");
    EXPECT_GT(EarlierDataPath("HOSTS", path, sizeof(path)), 0);
    EXPECT_EQ(TempPath("HOSTS"), path);
    CreateDirectoryA((appData + "\\Kestrix").c_str(), nullptr);
    WriteTextFile(appData + "\\Kestrix\\HOSTS", "roaming");
    EXPECT_GT(EarlierDataPath("HOSTS", path, sizeof(path)), 0);
    EXPECT_EQ(appData + "\\Kestrix\\HOSTS", path) << "the roaming folder comes first";
    EXPECT_EQ(0, EarlierDataPath("HOSTS", path, 8)) << "a path that does not fit";
}

TEST_F(PathUtilTest, AolClientWindowIsFoundByClassAndTitle)
{
    EXPECT_EQ(nullptr, FindAolClientWindow());
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "AOL Frame25";
    ASSERT_TRUE(RegisterClassA(&wc));
    HWND other = CreateWindowA("AOL Frame25", "Something Else", 0, 0, 0, 10, 10, nullptr, nullptr,
                               wc.hInstance, nullptr);
    EXPECT_EQ(nullptr, FindAolClientWindow()) << "the title must match too";
    HWND aol = CreateWindowA("AOL Frame25", "AOL Canada", 0, 0, 0, 10, 10, nullptr, nullptr,
                             wc.hInstance, nullptr);
    EXPECT_EQ(aol, FindAolClientWindow());
    DestroyWindow(aol);
    DestroyWindow(other);
    UnregisterClassA("AOL Frame25", wc.hInstance);
}

TEST_F(PathUtilTest, ProgramVersionsTextJoinsMonitorAndExplorer)
{
    char text[256];
    ASSERT_TRUE(CopyFileA(Fixture("kxfx_app.exe").c_str(), TempPath("Kestrix.exe").c_str(), FALSE));
    GetProgramVersionText(text, sizeof(text));
    EXPECT_STREQ("1.2.3.4", text) << "no explorer beside the monitor";
    ASSERT_TRUE(CopyFileA(Fixture("kxfx_multi.exe").c_str(), TempPath("KestrixEx.exe").c_str(), FALSE));
    GetProgramVersionText(text, sizeof(text));
    EXPECT_STREQ("1.2.3.4:2.0", text);
}

// The quick comparison answers as the system does for every pair of printable ASCII
// characters, and leaves other text to the system.
TEST(AsciiCompare, AgreesWithTheSystemOnPrintableAscii)
{
    int disagreements = 0;
    for (int x = 0x20; x <= 0x7E; x++)
        for (int y = 0x20; y <= 0x7E; y++) {
            char a[2] = {(char)x, 0}, b[2] = {(char)y, 0};
            int quick = AsciiSameIgnoringCase(a, b, 1);
            bool user = lstrcmpiA(a, b) == 0;
            bool system = CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a, 1, b, 1) ==
                          CSTR_EQUAL;
            if (quick != (int)user || quick != (int)system)
                disagreements++;
        }
    EXPECT_EQ(0, disagreements);
    EXPECT_EQ(1, AsciiSameIgnoringCase("RunDll32.Exe x", "RUNDLL32.EXE y", 12));
    EXPECT_EQ(-1, AsciiSameIgnoringCase("\xC4pfel", "\xE4PFEL", 5));
    EXPECT_EQ(-1, AsciiSameIgnoringCase("a\tb", "A\tB", 3));
    EXPECT_EQ(1, InMyString("\"C:\\Programs\\\xC4pfel\\rundll32.exe\" x", "RUNDLL32.EXE"));
    EXPECT_EQ(1, InMyString("\xC4PFEL", "\xE4pfel"));
}

// Last in this suite: the restriction holds for the rest of the process.
TEST_F(PathUtilTest, OnceRestrictedABareDllNameNeverLoadsFromTheCurrentFolder)
{
    const std::string planted = TempPath("kxplanted.dll");
    ASSERT_TRUE(CopyFileA((TestProgramFolder() + "\\kxfx_hook.dll").c_str(), planted.c_str(), FALSE));
    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof(previous), previous);
    SetCurrentDirectoryA(TempDir().c_str());
    HMODULE found = LoadLibraryA("kxplanted.dll");
    EXPECT_NE(nullptr, found) << "searched in the current folder by default";
    if (found)
        FreeLibrary(found);
    EXPECT_EQ(1, RestrictDllSearch());
    HMODULE after = LoadLibraryA("kxplanted.dll");
    EXPECT_EQ(nullptr, after);
    if (after)
        FreeLibrary(after);
    HMODULE system = LoadLibraryA("psapi.dll");
    EXPECT_NE(nullptr, system) << "the System folder's still load";
    FreeLibrary(system);
    SetCurrentDirectoryA(previous);
}
