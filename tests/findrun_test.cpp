#include "kxtest.h"
#include <algorithm>
#include "entrylist.h"
#include "findrun.h"
#include "valueplaces.h"
#include "folderwalk.h"
#include "handles.h"
#include "keys.h"
#include "options.h"
#include "platform.h"
#include "program.h"
#include "registry.h"
#include "resstring.h"
#include "shortcut.h"
#include "trace.h"
#include <shlobj.h>
#include <shobjidl.h>
#include <cstring>
#include <set>
#include <string>
#include <vector>

static const char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
static const char kWinlogon[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
static const char kNotify[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify";
static const char kWindowsNT[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
// win.ini [windows] as the NT family keeps it.
static const char kIniWindows[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
static const char kDelayLoad[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
static const char kTaskScheduler[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler";
static const char kExecHooks[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks";

static const char kDelayClsid[] = "{5E1B7C40-0A11-4F00-9A00-00000000D001}";
static const char kSchedulerClsid[] = "{5E1B7C40-0A11-4F00-9A00-00000000D002}";
static const char kHookClsid[] = "{5E1B7C40-0A11-4F00-9A00-00000000D003}";

static std::string Fixture(const char* name) { return TestProgramFolder() + "\\" + name; }

struct Row {
    int type;
    std::string title, command, source, detail;
    int tag;
    bool operator==(const Row& o) const
    {
        return type == o.type && lstrcmpiA(title.c_str(), o.title.c_str()) == 0 &&
               lstrcmpiA(command.c_str(), o.command.c_str()) == 0 &&
               lstrcmpiA(source.c_str(), o.source.c_str()) == 0 && detail == o.detail &&
               tag == o.tag;
    }
};

static void PrintTo(const Row& r, std::ostream* os)
{
    *os << "{" << r.type << ", \"" << r.title << "\", \"" << r.command << "\", \"" << r.source
        << "\", \"" << r.detail << "\", " << r.tag << "}";
}

static std::vector<Row> Rows()
{
    std::vector<Row> rows;
    for (int i = 0; i < EntryCount(); i++) {
        const EntryRecord* e = GetEntry(i);
        rows.push_back({e->type, e->title, e->command, e->source, e->detail, e->tag});
    }
    return rows;
}

static void DeleteAllValues(HKEY root, const char* path)
{
    RegKey key;
    if (!key.open(root, path, KEY_READ | KEY_SET_VALUE))
        return;
    char name[600];
    DWORD length = sizeof(name);
    while (RegEnumValueA(key.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS) {
        if (RegDeleteValueA(key.get(), name) != ERROR_SUCCESS)
            break;
        length = sizeof(name);
    }
}

static void DeleteValue(HKEY root, const char* path, const char* name)
{
    RegKey key;
    if (key.open(root, path, KEY_SET_VALUE))
        RegDeleteValueA(key.get(), name);
}

static bool MakeShortcut(const std::string& lnk, const std::string& target,
                         const char* description, bool noFileTarget = false)
{
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                link.outVoid())))
        return false;
    if (noFileTarget) {
        LPITEMIDLIST pidl = nullptr;
        if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &pidl)))
            return false;
        link->SetIDList(pidl);
        CoTaskMemFree(pidl);
    } else if (FAILED(link->SetPath(target.c_str()))) {
        return false;
    }
    if (description)
        link->SetDescription(description);
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.outVoid())))
        return false;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, lnk.c_str(), -1, wide, MAX_PATH);
    return SUCCEEDED(file->Save(wide, TRUE));
}

// Every location the inventory reads starts empty; the machine's own values come back after.
class StartupTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            for (const char* key : kRunKeys) {
                SaveAllValues(root, key);
                DeleteAllValues(root, key);
            }
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            for (const char* name : {"Startup", "Common Startup"})
                SaveAndDelete(root, kShellFolders, name);
        SaveAndDelete(HKEY_CURRENT_USER, kIniWindows, "run");
        SaveAndDelete(HKEY_CURRENT_USER, kIniWindows, "load");
        SaveAndDelete(HKEY_LOCAL_MACHINE, kWinlogon, "UserInit");
        SaveAndDelete(HKEY_LOCAL_MACHINE, kWinlogon, "Shell");
        SaveAndDelete(HKEY_LOCAL_MACHINE, kWindowsNT, "AppInit_DLLs");
        for (const char* key : {kDelayLoad, kTaskScheduler, kExecHooks, kNotify})
            ForgetKey(HKEY_LOCAL_MACHINE, key);
        for (const char* id : {kDelayClsid, kSchedulerClsid, kHookClsid})
            ForgetKey(HKEY_CLASSES_ROOT, std::string("CLSID\\") + id);
    }
    void TearDown() override
    {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            for (const char* key : kRunKeys)
                DeleteAllValues(root, key);
        SetPlatformOverride(nullptr);
        SetWalkMode(WALK_STARTUP);
        g_traceCounter = 9999;
        for (const std::string& folder : cleanup_)
            RemoveFolderTree(folder);
        KxTest::TearDown();
    }
    std::vector<std::string> cleanup_;   // folders the test made outside its own
    void SaveAllValues(HKEY root, const char* path)
    {
        RegKey key;
        if (!key.open(root, path, KEY_READ))
            return;
        char name[600];
        for (DWORD i = 0;; i++) {
            DWORD length = sizeof(name);
            if (RegEnumValueA(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            SaveValue(root, path, name);
        }
    }
    void SaveAndDelete(HKEY root, const char* path, const char* name)
    {
        SaveValue(root, path, name);
        DeleteValue(root, path, name);
    }
    // The Shell Folders values are written by AimStartupFolders, right before the build:
    // the shell rewrites them with the real folders whenever a link is made.
    std::string StartupFolder(HKEY root, const char* value, const char* name)
    {
        std::string folder = TempPath(name);
        CreateDirectoryA(folder.c_str(), nullptr);
        folders_.push_back({root, value, folder});
        return folder;
    }
    void AimStartupFolders()
    {
        for (const auto& f : folders_)
            WriteValueText(f.root, kShellFolders, f.value, f.folder);
    }
    struct StartupValue {
        HKEY root;
        const char* value;
        std::string folder;
    };
    std::vector<StartupValue> folders_;
    static void Run(HKEY root, int keyIndex, const char* name, const std::string& data)
    {
        WriteValueText(root, kRunKeys[keyIndex], name, data);
    }
    static void RegisterClass(const char* clsid, const char* name, const std::string& server)
    {
        std::string key = std::string("CLSID\\") + clsid;
        WriteValueText(HKEY_CLASSES_ROOT, key, "", name);
        WriteValueText(HKEY_CLASSES_ROOT, key + "\\InprocServer32", "", server);
    }
    std::string Copy(const char* fixture, const std::string& to)
    {
        EXPECT_TRUE(CopyFileA(Fixture(fixture).c_str(), to.c_str(), FALSE)) << to;
        return to;
    }
};

TEST_F(StartupTest, ShortcutsResolveToTheirTargets)
{
    std::string target = Copy("kxfx_app.exe", TempPath("Agent Program.exe"));
    ASSERT_TRUE(MakeShortcut(TempPath("agent.lnk"), target, "Agent From Link"));
    char path[MAX_PATH], description[1024];
    memset(path, 0xbd, sizeof(path));
    EXPECT_EQ(0, ResolveShortcut(TempPath("agent.lnk").c_str(), path, description));
    EXPECT_STREQ("Agent From Link", description);
    char longTarget[MAX_PATH];
    ASSERT_GT(GetLongPathNameA(path, longTarget, sizeof(longTarget)), 0u) << path;
    EXPECT_STRCASEEQ(target.c_str(), longTarget);

    std::string doomed = Copy("kxfx_app.exe", TempPath("doomed.exe"));
    ASSERT_TRUE(MakeShortcut(TempPath("gone.lnk"), doomed, "Gone"));
    ASSERT_TRUE(DeleteFileA(doomed.c_str()));
    long result = ResolveShortcut(TempPath("gone.lnk").c_str(), path, description);
    EXPECT_EQ(1, result) << "a missing target is reported as not found";
    char notFound[64];
    LoadResString(730, notFound, sizeof(notFound));
    EXPECT_STREQ("Local File not found.", notFound);
    EXPECT_STREQ(notFound, description);
    EXPECT_STREQ("", path);

    ASSERT_TRUE(MakeShortcut(TempPath("computer.lnk"), "", "My Computer", true));
    EXPECT_EQ(1, ResolveShortcut(TempPath("computer.lnk").c_str(), path, description))
        << "no file target";

    WriteTextFile(TempPath("broken.lnk"), "not a shortcut");
    memset(path, 0xbd, sizeof(path));
    memset(description, 0xbd, sizeof(description));
    EXPECT_LT(ResolveShortcut(TempPath("broken.lnk").c_str(), path, description), 0);
    EXPECT_STREQ("", path);
    EXPECT_STREQ("", description);
}

TEST_F(StartupTest, StartupFolderItemsBecomeGroupEntries)
{
    std::string folder = StartupFolder(HKEY_CURRENT_USER, "Startup", "user startup");
    std::string programs = TempPath("programs");
    CreateDirectoryA(programs.c_str(), nullptr);
    std::string app = Copy("kxfx_app.exe", programs + "\\app.exe");
    std::string nameless = Copy("kxfx_noname.exe", programs + "\\nameless.exe");
    std::string doomed = Copy("kxfx_app.exe", programs + "\\doomed.exe");
    ASSERT_TRUE(MakeShortcut(folder + "\\described.lnk", app, "Agent From Link"));
    ASSERT_TRUE(MakeShortcut(folder + "\\plain.lnk", app, nullptr));
    ASSERT_TRUE(MakeShortcut(folder + "\\nameless.lnk", nameless, nullptr));
    ASSERT_TRUE(MakeShortcut(folder + "\\gone.lnk", doomed, "Gone"));
    ASSERT_TRUE(MakeShortcut(folder + "\\computer.lnk", "", "My Computer", true));
    ASSERT_TRUE(DeleteFileA(doomed.c_str()));
    Copy("kxfx_multi.exe", folder + "\\multi.exe");
    Copy("kxfx_plain.exe", folder + "\\bare.exe");
    WriteTextFile(folder + "\\old dos.pif", "pif");
    WriteTextFile(folder + "\\news site.url", "[InternetShortcut]\r\nURL=http://example.com/\r\n");
    WriteTextFile(folder + "\\desktop.ini", "[.ShellClassInfo]\r\n");
    WriteTextFile(folder + "\\broken.lnk", "not a shortcut");

    // Another process of the prefix may rewrite the shell's folder cache between the aim and
    // the walk; aim again then (bounded), as the cache is not ours to hold.
    int found = 0;
    for (int attempt = 0; attempt < 5 && !found; attempt++) {
        AimStartupFolders();
        ClearEntries();
        found = GetStartupGroup();
    }
    EXPECT_EQ(1, found);
    std::set<std::string> seen;
    for (const Row& r : Rows()) {
        EXPECT_EQ(GROUP_STARTUP, r.type) << r.title;
        EXPECT_TRUE(seen.insert(r.title).second) << "listed twice: " << r.title;
        if (r.title == "Agent From Link" || r.title == "Fixture App Tool") {
            EXPECT_STRCASEEQ(app.c_str(), r.command.c_str());
            EXPECT_NE(std::string::npos, r.source.find(".lnk")) << "source is the shortcut";
        } else if (r.title == "nameless") {   // no ProductName: no version texts at all
            EXPECT_STRCASEEQ(nameless.c_str(), r.command.c_str());
        } else if (r.title == "Mehrsprachig" || r.title == "bare") {
            EXPECT_EQ(r.command, r.source);
        } else if (r.title == "old dos" || r.title == "news site") {
            EXPECT_EQ("", r.source);
        } else if (r.title == "computer") {   // a link to a shell item, listed with the item
            EXPECT_STRCASEEQ("::{20D04FE0-3AEA-1069-A2D8-08002B30309D}", r.command.c_str());
            EXPECT_STRCASEEQ((folder + "\\computer.lnk").c_str(), r.source.c_str());
        } else {
            ADD_FAILURE() << "unexpected entry " << r.title << " " << r.command;
        }
    }
    EXPECT_EQ((std::set<std::string>{"Agent From Link", "Fixture App Tool", "nameless",
                                     "Mehrsprachig", "bare", "old dos", "news site",
                                     "computer"}),
              seen);

    // An empty startup folder finds nothing.
    RemoveFolderTree(folder);
    CreateDirectoryA(folder.c_str(), nullptr);
    ClearEntries();
    EXPECT_EQ(0, GetStartupGroup());
    EXPECT_EQ(0, EntryCount());
}

// Office opens every file of its start-up folders: each is listed with the startup group.
TEST_F(StartupTest, OfficeStartupFolderFilesAreListedWithTheGroup)
{
    std::vector<std::string> folders = OfficeStartupFolders();
    ASSERT_EQ(2u, folders.size());
    std::set<std::string> expected;
    for (size_t i = 0; i < folders.size(); i++) {
        SCOPED_TRACE(folders[i]);
        // Made for the test (with the application's folder when missing) and taken away after.
        std::string app = folders[i].substr(0, folders[i].rfind('\\'));
        bool madeApp = GetFileAttributesA(app.c_str()) == INVALID_FILE_ATTRIBUTES;
        ASSERT_TRUE(madeApp || GetFileAttributesA(folders[i].c_str()) == INVALID_FILE_ATTRIBUTES);
        CreateDirectoryA(app.substr(0, app.rfind('\\')).c_str(), nullptr);
        CreateDirectoryA(app.c_str(), nullptr);
        ASSERT_TRUE(CreateDirectoryA(folders[i].c_str(), nullptr));
        cleanup_.push_back(madeApp ? app : folders[i]);
        std::string file = folders[i] + (i == 0 ? "\\kxfx_macros.dotm" : "\\kxfx_addin.xlam");
        ASSERT_TRUE(WriteTextFile(file, "office"));
        expected.insert(file);
    }
    ClearEntries();
    EXPECT_EQ(1, GetStartupGroup());
    std::set<std::string> listed;
    for (const Row& r : Rows())
        if (r.type == GROUP_STARTUP && r.command.find("kxfx_") != std::string::npos)
            listed.insert(r.command);
    EXPECT_EQ(expected, listed);
}

// Every text value Windows would start is listed, whatever the shape of its name or command;
// a very long one is listed with its command cut to the field. Only values that start nothing
// (not text, or empty) are passed over.
TEST_F(StartupTest, EveryValueWindowsWouldStartIsListedWhateverItsShape)
{
    const std::string huge = "C:\\x\\" + std::string(600, 'h') + ".exe";
    const struct {
        HKEY root;
        int key;
        const char* name;
        std::string data;
        int type;   // listed with this code; 0: not listed
        std::string command;
        int tag;
    } cases[] = {
        {HKEY_LOCAL_MACHINE, 3, "Service", "C:\\x\\service.exe", MACHINE_RUNSERVICES, "", 0},
        {HKEY_LOCAL_MACHINE, 5, "Setup", "C:\\x\\setup.exe", MACHINE_RUNONCESETUP, "", 0},
        {HKEY_CURRENT_USER, 0, "A", "C:\\x\\single.exe", CURRENT_RUN, "", 0},
        {HKEY_CURRENT_USER, 0, "", "C:\\x\\unnamed.exe", CURRENT_RUN, "", 0},
        {HKEY_CURRENT_USER, 0, "Short", "a.ex", CURRENT_RUN, "", 0},
        {HKEY_CURRENT_USER, 0, "Calc", "calc", CURRENT_RUN, "", 0},
        {HKEY_CURRENT_USER, 0, "\xC4pfel", "C:\\x\\apfel.exe", CURRENT_RUN, "", 0},
        {HKEY_CURRENT_USER, 0, "Good", "\"C:\\x\\good.exe\" /q", CURRENT_RUN, "C:\\x\\good.exe /q", 0},
        {HKEY_CURRENT_USER, 0, "Huge", huge, CURRENT_RUN, huge.substr(0, 259), 0},
        {HKEY_CURRENT_USER, 0, "Loader", "rundll32.exe shell32.dll,Control_RunDLL", CURRENT_RUN,
         "shell32.dll,Control_RunDLL", 1},
        {HKEY_CURRENT_USER, 0, "Empty", "", 0, "", 0},
        {HKEY_CURRENT_USER, 6, "Policy", "C:\\x\\policy.exe", 17, "", 0},
    };
    std::vector<Row> expected;
    for (const auto& c : cases) {
        Run(c.root, c.key, c.name, c.data);
        if (c.type)
            // A value without a name takes its title from the program, as any such entry.
            expected.push_back({c.type, c.name[0] ? c.name : "unnamed",
                                c.command.empty() ? c.data : c.command, "", "", c.tag});
    }
    // A number in a Run key starts nothing.
    HKEY run;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kRunKeys[0], 0, KEY_SET_VALUE, &run));
    DWORD number = 12345;
    RegSetValueExA(run, "Number", 0, REG_DWORD, (const BYTE*)&number, sizeof(number));
    RegCloseKey(run);

    ClearEntries();
    BuildRun();
    std::vector<Row> rows = Rows();
    auto byPlace = [](const Row& a, const Row& b) {
        return a.type != b.type ? a.type < b.type : lstrcmpiA(a.command.c_str(), b.command.c_str()) < 0;
    };
    std::sort(expected.begin(), expected.end(), byPlace);
    std::sort(rows.begin(), rows.end(), byPlace);
    EXPECT_EQ(expected, rows);
}

TEST_F(StartupTest, RepeatedValueInTheNextKeyIsListedAgain)
{
    Run(HKEY_CURRENT_USER, 0, "Twin", "C:\\x\\twin.exe");
    Run(HKEY_CURRENT_USER, 1, "TWIN", "c:\\X\\TWIN.EXE");   // same name and data, next key
    ClearEntries();
    BuildRun();
    std::vector<Row> expected = {
        {CURRENT_RUN, "Twin", "C:\\x\\twin.exe", "", "", 0},
        {CURRENT_RUNONCE, "TWIN", "c:\\X\\TWIN.EXE", "", "", 0},
    };
    EXPECT_EQ(expected, Rows());
}

TEST_F(StartupTest, DisabledValueThatCameBackIsDisabledAgainAndListedOnce)
{
    // Disabled earlier: the index and the store hold it.
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, "Agent", "11");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY "\\Run", "Agent", "C:\\x\\agent.exe");
    // Then the program wrote itself back, and the next value must not be missed.
    Run(HKEY_CURRENT_USER, 0, "Agent", "C:\\x\\agent.exe");
    Run(HKEY_CURRENT_USER, 0, "Bystander", "C:\\x\\bystander.exe");

    for (int pass = 0; pass < 2; pass++) {
        EXPECT_EQ(2, BuildStartupList(1)) << "pass " << pass;
        std::vector<Row> expected = {
            {CURRENT_RUN, "Bystander", "C:\\x\\bystander.exe", "", "", 0},
            {CURRENT_RUN, "Agent", "C:\\x\\agent.exe", "", "", 0},
        };
        EXPECT_EQ(expected, Rows()) << "pass " << pass;
        EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunKeys[0], "Agent"));
        EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kRunKeys[0], "Bystander"));
        // Disabled again, its copy is the user's own from then on.
        EXPECT_EQ("C:\\x\\agent.exe",
                  ReadValueText(HKEY_CURRENT_USER, KX_DISABLED_KEY "\\Run", "Agent"));
        EXPECT_EQ("11", ReadValueText(HKEY_CURRENT_USER, KX_DISABLED_KEY, "Agent"));
        EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, "Agent"));
    }
}

TEST_F(StartupTest, WinlogonUserinitAndShellCommands)
{
    const struct { const char* value; const char* command; } userinit[] = {
        {"C:\\WINDOWS\\system32\\userinit.exe", nullptr},
        {"C:\\WINDOWS\\system32\\userinit.exe,", "C:\\WINDOWS\\system32\\userinit.exe"},
        {"C:\\WINDOWS\\system32\\userinit.exe,C:\\x\\y.exe", "C:\\x\\y.exe"},
        {"C:\\WINDOWS\\system32\\userinit.exe,  C:\\x\\y.exe", "C:\\x\\y.exe"},
        {"", nullptr},
    };
    for (const auto& c : userinit) {
        WriteValueText(HKEY_LOCAL_MACHINE, kWinlogon, "UserInit", c.value);
        ClearEntries();
        GetWinLogon_Userinit();
        if (!c.command) {
            EXPECT_EQ(0, EntryCount()) << c.value;
            continue;
        }
        std::vector<Row> expected = {{WINLOGON_Userinit, "Winlogon Userinit", c.command, "", "", 0}};
        EXPECT_EQ(expected, Rows()) << c.value;
    }

    const struct { const char* value; const char* command; } shell[] = {
        {"Explorer.exe", "Explorer.exe"},
        {"Explorer.exe ", "Explorer.exe"},
        {"Explorer.exe C:\\x\\shell2.exe", "C:\\x\\shell2.exe"},
        {"Explorer.exe   C:\\x\\shell2.exe", "C:\\x\\shell2.exe"},
        {"", nullptr},
    };
    for (const auto& c : shell) {
        WriteValueText(HKEY_LOCAL_MACHINE, kWinlogon, "Shell", c.value);
        ClearEntries();
        GetWinLogon_Shell();
        if (!c.command) {
            EXPECT_EQ(0, EntryCount()) << c.value;
            continue;
        }
        std::vector<Row> expected = {{WINLOGON_Shell, "Winlogon Shell", c.command, "", "", 0}};
        EXPECT_EQ(expected, Rows()) << c.value;
    }
}

TEST_F(StartupTest, WinIniRunAndLoadPiecesTakeTheirProductNames)
{
    std::string app = Fixture("kxfx_app.exe"), hook = Fixture("kxfx_hook.dll");
    // However long the line is, the program at its end is listed too.
    const std::string filler = "C:\\x\\" + std::string(600, 'f') + ".exe";
    ASSERT_TRUE(WriteProfileStringA(
        "windows", "run", (app + ";;C:\\missing\\gone.exe;" + filler + ";C:\\x\\tail.exe").c_str()));
    ASSERT_TRUE(WriteProfileStringA("windows", "load", hook.c_str()));
    ClearEntries();
    GetWinPrograms();
    std::vector<Row> expected = {
        {WIN_RUN, "Fixture App", app, "", "", 0},
        {WIN_RUN, "run", "C:\\missing\\gone.exe", "", "", 0},
        {WIN_RUN, "run", filler.substr(0, 259), "", "", 0},
        {WIN_RUN, "run", "C:\\x\\tail.exe", "", "", 0},
        {WIN_LOAD, "Fixture Hook", hook, "", "", 0},
    };
    EXPECT_EQ(expected, Rows());
}

TEST_F(StartupTest, DisabledStoreAndFolderAreListedWithTheirOwnCodes)
{
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, "OldRun", "11");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, "OldMachine", "1");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, "OldLoad", "100");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, "Notified", "256");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, "Zero", "0");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY "\\Run", "OldRun", "C:\\x\\oldrun.exe");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY "\\Run", "Unindexed", "C:\\x\\n.exe");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY "\\Run", "Zero", "C:\\x\\zero.exe");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY "\\Policy", "OldMachine", "C:\\x\\om.exe");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY "\\WinLoad", "OldLoad", "C:\\x\\load.exe");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY "\\WinNotify", "Notified", "C:\\x\\n.dll");
    CreateDirectoryA(TempPath("Disabled").c_str(), nullptr);
    WriteTextFile(TempPath("Disabled\\parked.pif"), "pif");

    ClearEntries();
    GetDisabledPrograms();
    std::vector<Row> expected = {
        {CURRENT_RUN, "OldRun", "C:\\x\\oldrun.exe", "", "", 0},
        {MACHINE_RUN, "OldMachine", "C:\\x\\om.exe", "", "", 0},
        {WIN_LOAD, "OldLoad", "C:\\x\\load.exe", "", "", 0},
        {GROUP_STARTUP, "parked", TempPath("Disabled\\parked.pif"), "", "", 0},
    };
    EXPECT_EQ(expected, Rows());
}

TEST_F(StartupTest, ShellHooksAreListedWithTheirServerFiles)
{
    std::string hook = Fixture("kxfx_hook.dll"), oshook = Fixture("kxfx_oshook.dll");
    RegisterClass(kDelayClsid, "Delay Class", hook);
    RegisterClass(kSchedulerClsid, "Scheduler Class", oshook);
    RegisterClass(kHookClsid, "Exec Class", hook);
    WriteValueText(HKEY_LOCAL_MACHINE, kDelayLoad, "FixtureDelay", kDelayClsid);
    WriteValueText(HKEY_LOCAL_MACHINE, kTaskScheduler, kSchedulerClsid, "");
    WriteValueText(HKEY_LOCAL_MACHINE, kExecHooks, kHookClsid, "Exec Hook Title");
    WriteValueText(HKEY_LOCAL_MACHINE, kWindowsNT, "AppInit_DLLs", hook + ",," + oshook + " ");
    WriteValueText(HKEY_LOCAL_MACHINE, std::string(kNotify) + "\\EmptyNotify", "DllName", "");
    WriteValueText(HKEY_LOCAL_MACHINE, std::string(kNotify) + "\\FixtureNotify", "DllName", hook);

    ClearEntries();
    BuildRegInfo();
    std::vector<Row> expected = {
        {REG_Delayload, "FixtureDelay", hook, kDelayClsid, "5.6.7", 0},
        {REG_TaskScheduler, "Scheduler Class", oshook, kSchedulerClsid, "6.0.6000", 0},
        {REG_ShellExecuteHook, "Exec Hook Title", hook, kHookClsid, "5.6.7", 0},
        {REG_AppInitDLLs, "Fixture Hook", hook, "Hook Makers", "5.6.7", 0},
        {REG_AppInitDLLs, "Fixture Shell Hook", oshook, "Microsoft Corporation", "6.0.6000", 0},
        {RUN_WINLOGONNOTIFY, "FixtureNotify", hook, "Fixture Hook Library", "5.6.7", 0},
    };
    EXPECT_EQ(expected, Rows());
}

TEST_F(StartupTest, HookValuesOfAnyLengthAreListed)
{
    // Longer than the names and data the hook lists once read: such an entry went unlisted.
    std::string hook = Fixture("kxfx_hook.dll");
    RegisterClass(kDelayClsid, "Delay Class", hook);
    RegisterClass(kHookClsid, "Exec Class", hook);
    WriteValueText(HKEY_LOCAL_MACHINE, kDelayLoad, std::string(300, 'd'), kDelayClsid);
    WriteValueText(HKEY_LOCAL_MACHINE, kExecHooks, kHookClsid, std::string(300, 't'));

    ClearEntries();
    BuildRegInfo();
    // Titles are cut to their field.
    std::vector<Row> expected = {
        {REG_Delayload, std::string(127, 'd'), hook, kDelayClsid, "5.6.7", 0},
        {REG_ShellExecuteHook, std::string(127, 't'), hook, kHookClsid, "5.6.7", 0},
    };
    EXPECT_EQ(expected, Rows());
}

TEST_F(StartupTest, PageLeavesOutWinlogonAndHooksUnlessShowAllStartup)
{
    WriteValueText(HKEY_LOCAL_MACHINE, kWinlogon, "UserInit", "C:\\x\\userinit.exe,");
    WriteValueText(HKEY_LOCAL_MACHINE, kWinlogon, "Shell", "Explorer.exe");
    WriteValueText(HKEY_LOCAL_MACHINE, kWindowsNT, "AppInit_DLLs", Fixture("kxfx_hook.dll"));
    Run(HKEY_CURRENT_USER, 0, "Agent", "C:\\x\\agent.exe");
    auto types = [] {
        std::vector<int> t;
        for (const Row& r : Rows())
            t.push_back(r.type);
        return t;
    };
    const std::vector<int> everything = {CURRENT_RUN, WINLOGON_Userinit, WINLOGON_Shell,
                                         REG_AppInitDLLs};

    EXPECT_EQ(1, BuildStartupList(1));
    EXPECT_EQ(std::vector<int>{CURRENT_RUN}, types());
    EXPECT_EQ(4, BuildStartupList(0)) << "reports and the monitor see everything";
    EXPECT_EQ(everything, types());
    SetOption("ShowAllStartup", 1);
    EXPECT_EQ(4, BuildStartupList(1));
    EXPECT_EQ(everything, types());

    PlatformVersion windows98 = {VER_PLATFORM_WIN32_WINDOWS, 4, 10};
    SetPlatformOverride(&windows98);
    BuildStartupList(0);
    EXPECT_EQ((std::vector<int>{CURRENT_RUN, REG_AppInitDLLs}), types())
        << "no Winlogon outside the NT family";
}

// One machine with something in every location, checked row by row in build order.
TEST_F(StartupTest, WholeMachineIsListedInBuildOrder)
{
    std::string hook = Fixture("kxfx_hook.dll"), oshook = Fixture("kxfx_oshook.dll");
    std::string programs = TempPath("programs");
    CreateDirectoryA(programs.c_str(), nullptr);
    std::string app = Copy("kxfx_app.exe", programs + "\\tray.exe");

    // Run family, both roots.
    Run(HKEY_LOCAL_MACHINE, 0, "AudioTray", "\"C:\\Program Files\\Audio\\tray.exe\" -min");
    Run(HKEY_LOCAL_MACHINE, 0, "Boot", "rundll32.exe C:\\x\\boot.dll,Start");
    Run(HKEY_LOCAL_MACHINE, 1, "Cleanup", "C:\\x\\cleanup.exe /once");
    Run(HKEY_LOCAL_MACHINE, 6, "MachinePolicy", "C:\\x\\mpolicy.exe");
    Run(HKEY_CURRENT_USER, 0, "Messenger", "C:\\x\\messenger.exe /background");
    Run(HKEY_CURRENT_USER, 0, "X", "C:\\x\\oneletter.exe");
    Run(HKEY_CURRENT_USER, 4, "UserOnce", "C:\\x\\useronce.exe");
    Run(HKEY_CURRENT_USER, 0, "Wanderer", "C:\\x\\wanderer.exe");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, "Wanderer", "11");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY "\\Run", "Wanderer", "C:\\x\\wanderer.exe");
    // Startup folders of the machine and of the user.
    std::string common = StartupFolder(HKEY_LOCAL_MACHINE, "Common Startup", "common startup");
    std::string user = StartupFolder(HKEY_CURRENT_USER, "Startup", "user startup");
    ASSERT_TRUE(MakeShortcut(common + "\\tray.lnk", app, "Tray Helper"));
    WriteTextFile(common + "\\desktop.ini", "[.ShellClassInfo]\r\n");
    WriteTextFile(user + "\\notes.url", "[InternetShortcut]\r\nURL=http://example.com/\r\n");
    // win.ini.
    WriteProfileStringA("windows", "run", Fixture("kxfx_multi.exe").c_str());
    WriteProfileStringA("windows", "load", "C:\\x\\loader.exe");
    // Disabled earlier by the user.
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, "Updater", "1");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY "\\Run", "Updater", "C:\\x\\updater.exe");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, "OldRun", "101");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY "\\WinRun", "OldRun", "C:\\x\\oldrun.exe");
    CreateDirectoryA(TempPath("Disabled").c_str(), nullptr);
    WriteTextFile(TempPath("Disabled\\parked.pif"), "pif");
    // Winlogon and the shell hooks.
    WriteValueText(HKEY_LOCAL_MACHINE, kWinlogon, "UserInit",
                   "C:\\WINDOWS\\system32\\userinit.exe,C:\\x\\sneaky.exe");
    WriteValueText(HKEY_LOCAL_MACHINE, kWinlogon, "Shell", "Explorer.exe C:\\x\\shell2.exe");
    RegisterClass(kDelayClsid, "Delay Class", hook);
    RegisterClass(kSchedulerClsid, "Scheduler Class", oshook);
    RegisterClass(kHookClsid, "Exec Class", hook);
    WriteValueText(HKEY_LOCAL_MACHINE, kDelayLoad, "FixtureDelay", kDelayClsid);
    WriteValueText(HKEY_LOCAL_MACHINE, kTaskScheduler, kSchedulerClsid, "Scheduler Title");
    WriteValueText(HKEY_LOCAL_MACHINE, kExecHooks, kHookClsid, "");
    WriteValueText(HKEY_LOCAL_MACHINE, kWindowsNT, "AppInit_DLLs", hook + " " + oshook);
    WriteValueText(HKEY_LOCAL_MACHINE, std::string(kNotify) + "\\FixtureNotify", "DllName", hook);

    AimStartupFolders();
    g_traceCounter = 0;
    std::vector<Row> expected = {
        {MACHINE_RUN, "AudioTray", "C:\\Program Files\\Audio\\tray.exe -min", "", "", 0},
        {MACHINE_RUN, "Boot", "C:\\x\\boot.dll,Start", "", "", 1},
        {MACHINE_RUNONCE, "Cleanup", "C:\\x\\cleanup.exe /once", "", "", 0},
        {MACHINE_RUNPOLICY, "MachinePolicy", "C:\\x\\mpolicy.exe", "", "", 0},
        {CURRENT_RUN, "Messenger", "C:\\x\\messenger.exe /background", "", "", 0},
        {CURRENT_RUN, "X", "C:\\x\\oneletter.exe", "", "", 0},
        {CURRENT_RUNSERVICESONCE, "UserOnce", "C:\\x\\useronce.exe", "", "", 0},
        {GROUP_STARTUP, "Tray Helper", app, common + "\\tray.lnk", "", 0},
        {GROUP_STARTUP, "notes", user + "\\notes.url", "", "", 0},
        {WIN_RUN, "Multi Deutsch", Fixture("kxfx_multi.exe"), "", "", 0},
        {WIN_LOAD, "load", "C:\\x\\loader.exe", "", "", 0},
        {MACHINE_RUN, "Updater", "C:\\x\\updater.exe", "", "", 0},
        {CURRENT_RUN, "Wanderer", "C:\\x\\wanderer.exe", "", "", 0},
        {WIN_RUN, "OldRun", "C:\\x\\oldrun.exe", "", "", 0},
        {GROUP_STARTUP, "parked", TempPath("Disabled\\parked.pif"), "", "", 0},
        {WINLOGON_Userinit, "Winlogon Userinit", "C:\\x\\sneaky.exe", "", "", 0},
        {WINLOGON_Shell, "Winlogon Shell", "C:\\x\\shell2.exe", "", "", 0},
        {REG_Delayload, "FixtureDelay", hook, kDelayClsid, "5.6.7", 0},
        {REG_TaskScheduler, "Scheduler Title", oshook, kSchedulerClsid, "6.0.6000", 0},
        {REG_ShellExecuteHook, "Exec Class", hook, kHookClsid, "5.6.7", 0},
        {REG_AppInitDLLs, "Fixture Hook", hook, "Hook Makers", "5.6.7", 0},
        {REG_AppInitDLLs, "Fixture Shell Hook", oshook, "Microsoft Corporation", "6.0.6000", 0},
        {RUN_WINLOGONNOTIFY, "FixtureNotify", hook, "Fixture Hook Library", "5.6.7", 0},
    };
    // The startup folders' location values are listed as value places when they point away
    // from Windows' own folders; Wine's shell rewrites its Shell Folders cache while the list
    // resolves shortcuts, so whether they still do is its business, not this test's.
    BuildStartupList(0);
    std::vector<Row> rows;
    for (const Row& row : Rows())
        if (!IsValuePlaceCode(row.type))
            rows.push_back(row);
    EXPECT_EQ(expected, rows);

    // The monitor's trace names every step.
    char tracePath[MAX_PATH + 32];
    TraceFilePath(tracePath, sizeof(tracePath));
    std::string trace = ReadTextFile(tracePath);
    for (const char* text :
         {"BuildRun - findrun", "GetStartupGroup - findrun", "Profile - GetWinPrograms - findrun",
          "GetDisabledPrograms - findrun", "GetWinLogon_Userinit", "DelayLoad - BuildRegInfo -  findrun",
          "TaskScheduler - BuildRegInfo -  findrun", "ShellExecHook - BuildRegInfo -  findrun"})
        EXPECT_NE(std::string::npos, trace.find(text)) << text;
}

// The clock the settled-stamp rule compares with, set by the test.
static ULONGLONG g_testClock;
static ULONGLONG TestClock() { return g_testClock; }

static ULONGLONG WriteTime(HKEY root, const char* path)
{
    RegKey key;
    FILETIME written = {};
    if (key.open(root, path, KEY_READ))
        RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, &written);
    return ((ULONGLONG)written.dwHighDateTime << 32) | written.dwLowDateTime;
}

static std::vector<std::string> RunCommands()
{
    ClearEntries();
    BuildRun();
    std::vector<std::string> commands;
    for (int i = 0; i < EntryCount(); i++)
        commands.push_back(GetEntry(i)->command);
    return commands;
}

// A Run key not written since it was read is taken from that read. A write within two seconds
// of the key's write time is never trusted to be told apart (a coarse write-time step could give
// a later write the same time); every write after a kept read shows on the next build.
TEST_F(StartupTest, RunKeysAreReadAgainAfterEveryWrite)
{
    const ULONGLONG second = 10000000ULL;
    const char* run = kRunKeys[0];
    struct Seam {
        Seam() { SetRegistryClockSeam(TestClock); }
        ~Seam() { SetRegistryClockSeam(nullptr); }
    } seam;
    {
        RegKey key;
        ASSERT_TRUE(key.open(HKEY_CURRENT_USER, run, KEY_READ));
        ULONGLONG written = WriteTime(HKEY_CURRENT_USER, run);
        g_testClock = written + second;
        EXPECT_EQ(0u, SettledKeyStamp(key.get()).written);
        g_testClock = written + 3 * second;
        EXPECT_EQ(written, SettledKeyStamp(key.get()).written);
    }

    // Settled after each step unless the step says otherwise.
    struct Step {
        const char* write;   // name=data to write, -name to delete, nullptr for nothing
        bool settled;
        std::vector<std::string> listed;
    } steps[] = {
        {"KxA=C:\\x\\a.exe", false, {"C:\\x\\a.exe"}},
        {"KxB=C:\\x\\b.exe", false, {"C:\\x\\a.exe", "C:\\x\\b.exe"}},
        {nullptr, true, {"C:\\x\\a.exe", "C:\\x\\b.exe"}},
        {nullptr, true, {"C:\\x\\a.exe", "C:\\x\\b.exe"}},
        {"KxC=C:\\x\\c.exe", true, {"C:\\x\\a.exe", "C:\\x\\b.exe", "C:\\x\\c.exe"}},
        {"KxA=C:\\x\\changed.exe", true,
         {"C:\\x\\changed.exe", "C:\\x\\b.exe", "C:\\x\\c.exe"}},
        {"-KxB", true, {"C:\\x\\changed.exe", "C:\\x\\c.exe"}},
        {"KxD=C:\\x\\d.exe", false,
         {"C:\\x\\changed.exe", "C:\\x\\c.exe", "C:\\x\\d.exe"}},
        {"KxD=C:\\x\\d2.exe", false,
         {"C:\\x\\changed.exe", "C:\\x\\c.exe", "C:\\x\\d2.exe"}},
    };
    int number = 0;
    for (const Step& step : steps) {
        number++;
        if (step.write && step.write[0] == '-') {
            DeleteValue(HKEY_CURRENT_USER, run, step.write + 1);
        } else if (step.write) {
            std::string text = step.write;
            size_t equals = text.find('=');
            Run(HKEY_CURRENT_USER, 0, text.substr(0, equals).c_str(), text.substr(equals + 1));
        }
        g_testClock = WriteTime(HKEY_CURRENT_USER, run) + (step.settled ? 3 : 1) * second;
        EXPECT_EQ(step.listed, RunCommands()) << "step " << number;
    }
}

// While a list is built a missing folder is asked about once; a folder made afterwards is
// seen by the next build, which gives the program there its long form.
TEST_F(StartupTest, ProgramInAFolderMadeLaterGetsItsLongFormOnTheNextBuild)
{
    std::string folder = TempPath("A later folder"), program = folder + "\\A long program name.exe";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(WriteTextFile(program, "MZ"));
    char shortPath[MAX_PATH] = "";
    ASSERT_GT(GetShortPathNameA(program.c_str(), shortPath, sizeof(shortPath)), 0u);
    ASSERT_STRCASENE(program.c_str(), shortPath);
    ASSERT_TRUE(DeleteFileA(program.c_str()));
    ASSERT_TRUE(RemoveDirectoryA(folder.c_str()));

    std::string shortFolder = shortPath;
    shortFolder.resize(shortFolder.rfind('\\'));
    Run(HKEY_CURRENT_USER, 0, "KxLater", shortPath);
    Run(HKEY_CURRENT_USER, 0, "KxLaterArgs", std::string(shortPath) + " /min");
    Run(HKEY_CURRENT_USER, 0, "KxSibling", shortFolder + "\\other.exe");
    BuildStartupList(0);
    ASSERT_EQ(3, EntryCount());
    EXPECT_STREQ(shortPath, GetEntry(0)->command);
    EXPECT_EQ(std::string(shortPath) + " /min", GetEntry(1)->command);
    EXPECT_EQ(shortFolder + "\\other.exe", GetEntry(2)->command);

    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(WriteTextFile(program, "MZ"));
    BuildStartupList(0);
    ASSERT_EQ(3, EntryCount());
    EXPECT_STRCASEEQ(program.c_str(), GetEntry(0)->command);
    EXPECT_EQ(std::string(shortPath) + " /min", GetEntry(1)->command);
    ClearEntries();
}
