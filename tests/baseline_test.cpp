#include "kxtest.h"
#include "addedcategories.h"
#include "baseline.h"
#include "datetime.h"
#include "entrylist.h"
#include "firstrun.h"
#include "keys.h"
#include "knownlist.h"
#include "options.h"
#include "registry.h"
#include "service_tasks.h"
#include "sysfiles.h"
#include "tasks.h"
#include "vault.h"
#include <algorithm>
#include <functional>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace {
const char* const kUserRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kTitle = "KxBaselineTestApp";
const char* const kRunList = KX_KEY "\\Run";
const char* const kStartupDates = KX_DETECTED_KEY "\\Startup";

std::string Upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return (char)toupper(c); });
    return s;
}

// Every value of a key: name -> type and data bytes; subkeys as "\\name".
std::map<std::string, std::string> KeyContents(HKEY root, const char* path)
{
    std::map<std::string, std::string> contents;
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return contents;
    char name[1024];
    BYTE data[2048];
    for (DWORD i = 0;; i++) {
        DWORD nameLength = sizeof(name), size = sizeof(data), type = 0;
        if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
            break;
        contents[name] = std::to_string(type) + ":" + std::string((char*)data, size);
    }
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof(name)) == ERROR_SUCCESS; i++)
        contents[std::string("\\") + name] = "";
    RegCloseKey(key);
    return contents;
}

// A stored first-seen text made just now: date and time, the minute before also accepted
// for a minute that turned meanwhile.
bool IsNow(const std::string& text)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME time;
    SystemTimeToFileTime(&now, &time);
    for (int back = 0; back < 2; back++) {
        char expected[64];
        FormatDateTime(now, expected, sizeof(expected));
        if (text == expected)
            return true;
        ULARGE_INTEGER t = {{time.dwLowDateTime, time.dwHighDateTime}};
        t.QuadPart -= 600000000ULL;
        time = {t.LowPart, t.HighPart};
        FileTimeToSystemTime(&time, &now);
    }
    return false;
}
}  // namespace

class BaselineTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        SaveValue(HKEY_CURRENT_USER, kUserRun, kTitle);
        // The monitor's own autostart value, which creating the initial values adds.
        SaveValue(HKEY_LOCAL_MACHINE, kUserRun, "Kestrix");
        HKEY run;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUserRun, 0, KEY_SET_VALUE, &run) == ERROR_SUCCESS) {
            RegDeleteValueA(run, "Kestrix");
            RegCloseKey(run);
        }
        program_ = TempPath("app.exe");
        WriteTextFile(program_, "MZ");
    }
    std::string program_;
};

TEST_F(BaselineTest, CommandsNamingOneProgramShareOneFirstSeenDate)
{
    std::string key = Upper(program_);
    EXPECT_EQ(0, RecordFirstSeen(("\"" + program_ + "\" -min").c_str(), kStartupDates));
    EXPECT_PRED1(IsNow, ReadValueText(HKEY_CURRENT_USER, kStartupDates, key));

    // Other case, leading text before the drive letter, arguments: the same program.
    std::string lower = program_;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return (char)tolower(c); });
    WriteValueText(HKEY_CURRENT_USER, kStartupDates, key, "01/02/1999");
    EXPECT_EQ(1, RecordFirstSeen(lower.c_str(), kStartupDates));
    EXPECT_EQ(1, RecordFirstSeen(("start " + program_ + " /x=1").c_str(), "Startup"));
    EXPECT_EQ("01/02/1999", ReadValueText(HKEY_CURRENT_USER, kStartupDates, key));

    char date[64];
    memset(date, 0xbd, sizeof(date));
    EXPECT_EQ(10, GetFirstSeenDate(key.c_str(), CURRENT_RUN, date, sizeof(date)));
    EXPECT_STREQ("01/02/1999", date);
    EXPECT_EQ(0, GetFirstSeenDate(key.c_str(), TYPE_BHO, date, sizeof(date)));
    EXPECT_STREQ("", date);
    EXPECT_EQ(4, GetFirstSeenDate(key.c_str(), GROUP_STARTUP, date, 5));
    EXPECT_STREQ("01/0", date);
}

TEST_F(BaselineTest, MissingProgramGetsNoDate)
{
    std::string missing = TempPath("gone.exe");
    EXPECT_EQ(0, RecordFirstSeen(missing.c_str(), kStartupDates));
    EXPECT_EQ(0, RecordFirstSeen(missing.c_str(), kStartupDates));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kStartupDates, Upper(missing)));
}

TEST_F(BaselineTest, DatesAreReadFromTheSubkeyOfTheType)
{
    std::string key = Upper(program_);
    const struct {
        const char* subkey;
        int type;
    } cases[] = {{"IEHelper", TYPE_TOOLBAR}, {"Services", SERVICE_SVCHOST},
                 {"Tasks", TASK_SCHEDULED},  {"FileTypes", TYPE_FILETYPE},
                 {"Hidden", TYPE_HIDDEN},    {"ActiveTasks", INFO_TASK},
                 {"Startup", RUN_WINLOGONNOTIFY}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.subkey);
        std::string subkey = std::string(KX_DETECTED_KEY "\\") + c.subkey;
        WriteValueText(HKEY_CURRENT_USER, subkey, key, c.subkey);
        char date[64];
        EXPECT_GT(GetFirstSeenDate(key.c_str(), c.type, date, sizeof(date)), 0);
        EXPECT_STREQ(c.subkey, date);
        DeleteKeyTree(HKEY_CURRENT_USER, subkey);
    }
}

TEST_F(BaselineTest, ApprovalsAndRecordsCarryTheTimeAndDateOnlyRecordsStillRead)
{
    ApproveHiddenFile(program_.c_str());
    EXPECT_PRED1(IsNow, ReadValueText(HKEY_CURRENT_USER, KX_HIDDEN_KEY, program_));
    CreateKeySkeleton();
    EXPECT_PRED1(IsNow, ReadValueText(HKEY_CURRENT_USER, KX_KEY, ""));

    // A system-file record holds the file's write time to the minute.
    ASSERT_TRUE(RecordSysFile("KxFile", program_.c_str(), "", 1));
    char copy[MAX_PATH];
    SavedCopyPath("KxFile", copy, sizeof(copy));
    DeleteFileA(copy);
    WIN32_FILE_ATTRIBUTE_DATA info;
    ASSERT_TRUE(GetFileAttributesExA(program_.c_str(), GetFileExInfoStandard, &info));
    FILETIME local;
    SYSTEMTIME written;
    FileTimeToLocalFileTime(&info.ftLastWriteTime, &local);
    FileTimeToSystemTime(&local, &written);
    char expected[64], dateOnly[64];
    FormatDateTime(written, expected, sizeof(expected));
    FormatShortDate(written, dateOnly, sizeof(dateOnly));
    const std::string record = KX_SYSFILES_KEY "\\KxFile";
    EXPECT_EQ(expected, ReadValueText(HKEY_LOCAL_MACHINE, record, "Date"));
    // One written before times were kept is the same file still (type 1: a date alone alerts).
    WriteValueText(HKEY_LOCAL_MACHINE, record, "Date", dateOnly);
    EXPECT_FALSE(SysFileChanged("KxFile", program_.c_str()));
    WriteValueText(HKEY_LOCAL_MACHINE, record, "Date", "01/02/1999");
    EXPECT_TRUE(SysFileChanged("KxFile", program_.c_str()));
}

TEST_F(BaselineTest, BaselineIsMadeOnceAndAgainWhenDeleted)
{
    WriteValueText(HKEY_CURRENT_USER, kUserRun, kTitle, program_);
    std::string key = Upper(program_);
    MakeBaseline();
    EXPECT_PRED1(IsNow, ReadValueText(HKEY_CURRENT_USER, KX_DETECTED_KEY, ""));
    for (const char* sub : {"Startup", "IEHelper", "Services", "Tasks", "ActiveTasks",
                            "FileTypes", "Hidden"})
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, std::string(KX_DETECTED_KEY "\\") + sub)) << sub;
    EXPECT_PRED1(IsNow, ReadValueText(HKEY_CURRENT_USER, kStartupDates, key));

    WriteValueText(HKEY_CURRENT_USER, kStartupDates, key, "01/02/1999");
    MakeBaseline();
    EXPECT_EQ("01/02/1999", ReadValueText(HKEY_CURRENT_USER, kStartupDates, key));

    DeleteKeyTree(HKEY_CURRENT_USER, KX_DETECTED_KEY);
    MakeBaseline();
    EXPECT_PRED1(IsNow, ReadValueText(HKEY_CURRENT_USER, kStartupDates, key));
    EXPECT_EQ(0, EntryCount());
}

TEST_F(BaselineTest, StartupListNamesCommandsWithColonsForEqualsSigns)
{
    WriteValueText(HKEY_CURRENT_USER, kUserRun, kTitle, "C:\\kx\\agent.exe /opt=1");
    InitRegStartups();
    EXPECT_EQ("11", ReadValueText(HKEY_CURRENT_USER, kRunList, "C:\\kx\\agent.exe /opt:1"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunList, "C:\\kx\\agent.exe /opt=1"));
    char name[260];
    StartupKeyName("a=b=c", name);
    EXPECT_STREQ("a:b:c", name);

    // A hook whose class names no file has no command: it is known by its title.
    const char* delayLoad =
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
    SaveValue(HKEY_LOCAL_MACHINE, delayLoad, "KxNoServer");
    WriteValueText(HKEY_LOCAL_MACHINE, delayLoad, "KxNoServer",
                   "{4B5D0E1A-0000-4000-8000-00000000ABCE}");
    DeleteKeyTree(HKEY_CURRENT_USER, kRunList);
    InitRegStartups();
    EXPECT_EQ("252", ReadValueText(HKEY_CURRENT_USER, kRunList, "KxNoServer"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunList, ""));
}

// A rebuild forgets what is gone and keeps what is known; it learns nothing, so what it did not
// know is still asked about. A delayed program's mark stays while the program waits elsewhere.
TEST_F(BaselineTest, RebuildForgetsWhatIsGoneAndLearnsNothing)
{
    WriteValueText(HKEY_CURRENT_USER, kUserRun, kTitle, "C:\\kx\\present.exe");
    SaveValue(HKEY_CURRENT_USER, kUserRun, "KxUnknown");
    WriteValueText(HKEY_CURRENT_USER, kUserRun, "KxUnknown", "C:\\kx\\unknown.exe");
    WriteValueText(HKEY_CURRENT_USER, kRunList, "C:\\kx\\present.exe", "11");
    WriteValueText(HKEY_CURRENT_USER, kRunList, "C:\\kx\\rejected.exe", "11");
    WriteValueText(HKEY_CURRENT_USER, kRunList, "C:\\kx\\delayed.exe", "1103");
    WriteValueText(HKEY_CURRENT_USER, KX_KEY "\\IEHelpers", "Old Toolbar", "901");
    WriteValueText(HKEY_CURRENT_USER, KX_KEY "\\Tasks\\Stray", "x", "1");
    WriteValueText(HKEY_CURRENT_USER, KX_KEY "\\Services", "Kept", "700");
    RebuildLists();
    EXPECT_EQ("11", ReadValueText(HKEY_CURRENT_USER, kRunList, "C:\\kx\\present.exe"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunList, "C:\\kx\\rejected.exe"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunList, "C:\\kx\\unknown.exe"));
    EXPECT_EQ("1103", ReadValueText(HKEY_CURRENT_USER, kRunList, "C:\\kx\\delayed.exe"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_KEY "\\IEHelpers", "Old Toolbar"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, KX_KEY "\\Tasks"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, KX_KEY "\\Tasks\\Stray"));
    EXPECT_EQ("700", ReadValueText(HKEY_CURRENT_USER, KX_KEY "\\Services", "Kept"));
}

// Whatever a later start is made to rebuild by (a deleted or changed data version, the cleanup
// option, a deleted list mark, a deleted first-run date), a list that holds decisions keeps
// them and approves nothing: an unknown entry stays unknown, so the check asks about it.
TEST_F(BaselineTest, TamperingWithTheMarksApprovesNothing)
{
    const std::string known = "C:\\kx\\known.exe", planted = "C:\\kx\\planted.exe";
    WriteValueText(HKEY_CURRENT_USER, kUserRun, kTitle, known);
    SaveValue(HKEY_CURRENT_USER, kUserRun, "KxPlanted");
    const struct {
        const char* what;
        std::function<void()> tamper;
    } cases[] = {
        {"data version deleted", [] { DeleteRegValue(HKEY_CURRENT_USER, KX_KEY, "Version"); }},
        {"data version changed",
         [] { WriteValueText(HKEY_CURRENT_USER, KX_KEY, "Version", "11.1.2006.0"); }},
        {"cleanup option", [] { SetOption("Cleanup", 1); }},
        {"hidden list mark deleted",
         [] { DeleteRegValue(HKEY_CURRENT_USER, KX_KEY "\\Hidden", ""); }},
        {"first-run date deleted", [] { DeleteRegValue(HKEY_CURRENT_USER, KX_KEY, ""); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* key : {KX_KEY, KX_DETECTED_KEY})
            DeleteKeyTree(HKEY_CURRENT_USER, key);
        DeleteRegValue(HKEY_CURRENT_USER, kUserRun, "KxPlanted");
        {
            StartSnapshotScope start;
            StartBaseline();
            CheckDataVersion();
        }
        ASSERT_EQ("11", ReadValueText(HKEY_CURRENT_USER, kRunList, known));
        WriteValueText(HKEY_CURRENT_USER, kUserRun, "KxPlanted", planted);
        c.tamper();
        {
            StartSnapshotScope start;
            StartBaseline();
            CheckDataVersion();
        }
        EXPECT_EQ("11", ReadValueText(HKEY_CURRENT_USER, kRunList, known));
        EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunList, planted));
    }
}

TEST_F(BaselineTest, ServicesAndHiddenListsAreInitialisedUntilMarked)
{
    for (const char* list : {KX_KEY "\\Services", KX_KEY "\\Hidden"}) {
        SCOPED_TRACE(list);
        auto init = [&] {
            if (std::string(list).find("Services") != std::string::npos)
                InitServicesList();
            else
                InitHiddenList();
        };
        // Marked: left alone.
        WriteValueText(HKEY_CURRENT_USER, list, "", "P");
        WriteValueText(HKEY_CURRENT_USER, list, "accepted", "1");
        init();
        EXPECT_EQ("1", ReadValueText(HKEY_CURRENT_USER, list, "accepted"));
        // Any other mark: made afresh.
        WriteValueText(HKEY_CURRENT_USER, list, "", "Q");
        init();
        EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, list, "accepted"));
        EXPECT_EQ("P", ReadValueText(HKEY_CURRENT_USER, list, ""));
        // No mark at all: the values stay, the mark is added.
        DeleteKeyTree(HKEY_CURRENT_USER, list);
        WriteValueText(HKEY_CURRENT_USER, list, "accepted", "1");
        init();
        EXPECT_EQ("P", ReadValueText(HKEY_CURRENT_USER, list, ""));
        EXPECT_EQ("1", ReadValueText(HKEY_CURRENT_USER, list, "accepted"));
    }
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, KX_DETECTED_KEY));
}

class DataVersionTest : public BaselineTest {
protected:
    void SetUp() override
    {
        BaselineTest::SetUp();
        WriteValueText(HKEY_CURRENT_USER, kRunList, "C:\\kx\\stale.exe", "11");
    }
    bool StaleKept() { return ValueExists(HKEY_CURRENT_USER, kRunList, "C:\\kx\\stale.exe"); }
    // What the build before the present data revision wrote.
    static std::string EarlierDataVersion()
    {
        std::string version = KX_DATA_VERSION;
        size_t last = version.rfind('.') + 1;
        return version.substr(0, last) + std::to_string(atoi(version.c_str() + last) - 1);
    }
};

TEST_F(DataVersionTest, CurrentVersionKeepsTheLists)
{
    WriteValueText(HKEY_CURRENT_USER, KX_KEY, "Version", "build " KX_DATA_VERSION);
    CheckDataVersion();
    EXPECT_TRUE(StaleKept());
}

TEST_F(DataVersionTest, OtherVersionRebuildsAndWritesTheCurrentOne)
{
    WriteValueText(HKEY_CURRENT_USER, KX_KEY, "Version", "11.1.2006.0");
    CheckDataVersion();
    EXPECT_FALSE(StaleKept());
    EXPECT_EQ(KX_DATA_VERSION, ReadValueText(HKEY_CURRENT_USER, KX_KEY, "Version"));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kUserRun, "Kestrix"));
}

TEST_F(DataVersionTest, MissingVersionRebuildsAndWritesIt)
{
    CheckDataVersion();
    EXPECT_FALSE(StaleKept());
    EXPECT_EQ(KX_DATA_VERSION, ReadValueText(HKEY_CURRENT_USER, KX_KEY, "Version"));
}

TEST_F(DataVersionTest, MarkedButEmptyServicesListIsRefilledOnUpgradeOnly)
{
    const std::string service = "SYSTEM\\CurrentControlSet\\Services\\KxBaselineSvc";
    ForgetKey(HKEY_LOCAL_MACHINE, service);
    WriteValueText(HKEY_LOCAL_MACHINE, service, "ImagePath", program_);
    WriteValueText(HKEY_LOCAL_MACHINE, service, "DisplayName", "Kx Baseline Service");
    const char* list = KX_KEY "\\Services";
    // Made by a build whose service list was always empty.
    WriteValueText(HKEY_CURRENT_USER, list, "", "P");
    WriteValueText(HKEY_CURRENT_USER, KX_KEY, "Version", EarlierDataVersion());
    CheckDataVersion();
    EXPECT_EQ("700", ReadValueText(HKEY_CURRENT_USER, list, "KxBaselineSvc"));
    EXPECT_EQ("P", ReadValueText(HKEY_CURRENT_USER, list, ""));

    // A list with the user's decisions in it is left alone.
    DeleteKeyTree(HKEY_CURRENT_USER, list);
    WriteValueText(HKEY_CURRENT_USER, list, "", "P");
    WriteValueText(HKEY_CURRENT_USER, list, "Refused Before", "701");
    WriteValueText(HKEY_CURRENT_USER, KX_KEY, "Version", EarlierDataVersion());
    CheckDataVersion();
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, list, "KxBaselineSvc"));
    EXPECT_EQ("701", ReadValueText(HKEY_CURRENT_USER, list, "Refused Before"));
}

TEST_F(DataVersionTest, CleanupOptionRebuildsOnceAndIsReset)
{
    WriteValueText(HKEY_CURRENT_USER, KX_KEY, "Version", KX_DATA_VERSION);
    SetOption("Cleanup", 1);
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Update", "0");
    CheckDataVersion();
    EXPECT_FALSE(StaleKept());
    EXPECT_EQ("0", ReadValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Cleanup"));
    EXPECT_EQ("1", ReadValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Update"));
    WriteValueText(HKEY_CURRENT_USER, kRunList, "C:\\kx\\stale.exe", "11");
    CheckDataVersion();
    EXPECT_TRUE(StaleKept());
}

TEST_F(BaselineTest, FirstStartMakesEverythingAndTheSecondChangesNothing)
{
    WriteValueText(HKEY_CURRENT_USER, kUserRun, kTitle, program_);
    {
        StartSnapshotScope start;
        StartBaseline();
        CheckDataVersion();
    }
    // The list holds the present state and nothing else: made afresh it is the same.
    const std::map<std::string, std::string> first = KeyContents(HKEY_CURRENT_USER, kRunList);
    DeleteKeyTree(HKEY_CURRENT_USER, kRunList);
    InitRegStartups();
    EXPECT_EQ(first, KeyContents(HKEY_CURRENT_USER, kRunList));
    EXPECT_NE("<no value>", ReadValueText(HKEY_CURRENT_USER, KX_KEY, ""));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, KX_KEY "\\HostFile"));
    EXPECT_EQ("11", ReadValueText(HKEY_CURRENT_USER, kRunList, program_));
    EXPECT_PRED1(IsNow, ReadValueText(HKEY_CURRENT_USER, kStartupDates, Upper(program_)));
    EXPECT_EQ("P", ReadValueText(HKEY_CURRENT_USER, KX_KEY "\\Services", ""));
    EXPECT_EQ("P", ReadValueText(HKEY_CURRENT_USER, KX_KEY "\\Hidden", ""));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kUserRun, "Kestrix"));

    WriteValueText(HKEY_CURRENT_USER, kRunList, "C:\\kx\\rejected.exe", "0");
    StartBaseline();
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kRunList, "C:\\kx\\rejected.exe"));
}

// A first start takes the present state at its beginning: a value written while the rest of
// the start runs is not in its lists, so the check asks about it.
TEST_F(BaselineTest, FirstStartKnowsOnlyWhatWasThereWhenItBegan)
{
    WriteValueText(HKEY_CURRENT_USER, kUserRun, kTitle, program_);
    SaveValue(HKEY_CURRENT_USER, kUserRun, "KxLate");
    {
        StartSnapshotScope start;
        WriteValueText(HKEY_CURRENT_USER, kUserRun, "KxLate", "C:\\kx\\late.exe");
        StartBaseline();
        CheckDataVersion();
    }
    EXPECT_EQ("11", ReadValueText(HKEY_CURRENT_USER, kRunList, program_));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunList, "C:\\kx\\late.exe"));
}

TEST_F(BaselineTest, RunningProgramsAreDatedAsActiveTasks)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    RecordRunningTasks();
    EXPECT_PRED1(IsNow, ReadValueText(HKEY_CURRENT_USER, KX_DETECTED_KEY "\\ActiveTasks", Upper(self)));
    EXPECT_EQ(0, EntryCount());
}

// An upgraded installation's first start takes the present state of the categories its earlier
// build did not guard (the 32-bit view, Task Scheduler 2.0 tasks) as known, once; whatever else
// is new is asked about as before. What the known lists say decides what the checks ask about.
TEST_F(BaselineTest, UpgradeKnowsTheAddedCategoriesPresentAndNothingElse)
{
    const char* const kDelayLoad =
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
    const char* const kClassKey = "Software\\Classes\\CLSID\\{KxAdoptClass}";
    const std::string helperKey =
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\"
        "{KxAdoptClass}";
    auto writeIn32 = [](const std::string& path, const char* name, const char* data) {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                                 KEY_WRITE | KEY_WOW64_32KEY, nullptr, &key,
                                                 nullptr));
        if (name)
            RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)data, (DWORD)strlen(data) + 1);
        RegCloseKey(key);
    };
    auto cleanUp = [&] {
        DeleteRegValue(HKEY_LOCAL_MACHINE, kUserRun, "KxAdoptRun32", KEY_WOW64_32KEY);
        DeleteRegValue(HKEY_LOCAL_MACHINE, kDelayLoad, "KxAdoptHook", KEY_WOW64_32KEY);
        for (const std::string& key : {helperKey, std::string(kClassKey) + "\\InprocServer32",
                                       std::string(kClassKey)})
            RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), KEY_WOW64_32KEY, 0);
        RemoveServiceTask(L"KxAdopt", L"KxAdoptTask");
    };
    CoInitialize(nullptr);
    SetTaskItemWait(0);
    cleanUp();
    // The machine as it was before and after the upgrade.
    writeIn32(kUserRun, "KxAdoptRun32", "C:\\kx\\adopt32.exe");
    writeIn32(kDelayLoad, "KxAdoptHook", "{KxAdoptNone}");
    writeIn32(std::string(kClassKey) + "\\InprocServer32", "", "C:\\kx32\\adopt32.dll");
    writeIn32(helperKey, nullptr, nullptr);
    ASSERT_TRUE(RegisterServiceTask(L"KxAdopt", L"KxAdoptTask",
                                    LogonTaskXml(program_, "", "Kx", "Upgrade fixture task")));
    WriteValueText(HKEY_CURRENT_USER, kUserRun, kTitle, program_);   // added meanwhile

    const struct {
        const char* lists;
        const char* marks;    // the added categories already baselined
        const char* run32;    // a 32-bit Run value an earlier build of the 32-bit view knew
        bool run32Known, othersKnown;
    } rows[] = {
        {"a build before the 32-bit view and 2.0 tasks", "", nullptr, true, true},
        {"this build, started before", "Run32 Hooks32 IEHelpers32 Tasks2", nullptr, false, false},
        {"a build of the 32-bit Run keys without marks", "", "C:\\kx\\old32.exe", false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.lists);
        for (const char* key : {KX_KEY, KX_DETECTED_KEY})
            DeleteKeyTree(HKEY_CURRENT_USER, key);
        // The lists an earlier start left: made, dated, nothing of the test's entries known.
        WriteValueText(HKEY_CURRENT_USER, KX_KEY, "", "1/1/2020");
        WriteValueText(HKEY_CURRENT_USER, KX_KEY, "Version", KX_DATA_VERSION);
        WriteValueText(HKEY_CURRENT_USER, KX_DETECTED_KEY, "", "1/1/2020");
        for (const char* list : {"\\Services", "\\Hidden"})
            WriteValueText(HKEY_CURRENT_USER, std::string(KX_KEY) + list, "", "P");
        for (const char* list : {"\\Run", "\\IEHelpers", "\\Tasks"})
            WriteValueText(HKEY_CURRENT_USER, std::string(KX_KEY) + list, "KxEarlier", "11");
        if (row.run32)
            WriteValueText(HKEY_CURRENT_USER, kRunList, row.run32, "41");
        std::string marks = row.marks;
        for (const char* mark : {"Run32", "Hooks32", "IEHelpers32", "Tasks2"})
            if (marks.find(mark) != std::string::npos)
                WriteValueText(HKEY_CURRENT_USER, KX_ADOPTED_KEY, mark, "1");

        StartBaseline();
        CheckDataVersion();
        EXPECT_EQ(row.run32Known, ValueExists(HKEY_CURRENT_USER, kRunList, "C:\\kx\\adopt32.exe"));
        EXPECT_EQ(row.othersKnown, ValueExists(HKEY_CURRENT_USER, kRunList, "KxAdoptHook"));
        EXPECT_EQ(row.othersKnown,
                  ValueExists(HKEY_CURRENT_USER, KX_KEY "\\IEHelpers", "adopt32.dll"));
        EXPECT_EQ(row.othersKnown,
                  ValueExists(HKEY_CURRENT_USER, KX_KEY "\\Tasks", "\\KxAdopt\\KxAdoptTask"));
        // The earlier build guarded HKCU Run: its new value is asked about.
        EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunList, program_));
        for (const char* mark : {"Run32", "Hooks32", "IEHelpers32", "Tasks2"})
            EXPECT_EQ("1", ReadValueText(HKEY_CURRENT_USER, KX_ADOPTED_KEY, mark)) << mark;
    }
    cleanUp();
    SetTaskItemWait(1000);
    CoUninitialize();
}
