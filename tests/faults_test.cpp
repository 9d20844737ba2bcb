// Faults injected, nothing lost: each action that changes the machine is run once per write
// step with that step failing (refused, locked, full; see writefault.h). Afterwards the
// user's entry or file is wholly as it was or wholly as the action leaves it, the result
// says which, and so does the history.
#include "classsnapshot.h"
#include "addonactions.h"
#include "addons.h"
#include "cookieactions.h"
#include "earlierdata.h"
#include "datafolder.h"
#include "program.h"
#include "refusal.h"
#include "resstring.h"
#include "runactions.h"
#include "cookies.h"
#include "delaystart.h"
#include "entrylist.h"
#include "filetypeactions.h"
#include "filetypes.h"
#include "garbage.h"
#include "keys.h"
#include "kxtest.h"
#include "runactions.h"
#include "serviceactions.h"
#include "sysfiles.h"
#include "vault.h"
#include "watched_items.h"
#include "writefault.h"
#include <string>

namespace {

const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kTitle[] = "KxFaultAgent";
const char kCommand[] = "C:\\Tools\\agent.exe /min";
const char kSvc[] = "KxFaultSvc";
const char kSvcDisplay[] = "Orvane Fault Service";

const std::string kHelperKey = KX_BHO_KEY "\\{6B1D5E0A-0000-4000-8000-00000000FA17}";
void NoCommand(const char*) {}

class FaultsTest;

// One action: how its entry is set up before it, the action itself (1 done), and what the
// user sees of the entry. historyAction is the line the action writes when done, -1 none.
struct FaultAction {
    const char* name;
    void (*prepare)(FaultsTest& t);
    int (*act)(FaultsTest& t);
    std::string (*observe)(FaultsTest& t);
    int historyAction;
};

class FaultsTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        SaveValue(HKEY_CURRENT_USER, kRun, kTitle);
        ForgetKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\.kxf");
        ForgetKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\kxffile");
        ForgetKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\kxfother");
        ForgetKey(HKEY_LOCAL_MACHINE, kHelperKey);
        SetAddOnCommandRunner(NoCommand);
        const char* shellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
        SaveValue(HKEY_CURRENT_USER, shellFolders, "AppData");
    }
    void TearDown() override
    {
        SetWriteFault(0);
        SetDeniedPlaces(0);
        SetAddOnCommandRunner(nullptr);
        RemoveService(kSvc);
        KxTest::TearDown();
    }

public:
    using KxTest::TempDir;
    using KxTest::TempPath;
    // Back to a machine without anything of ours on it, as each fault point starts from.
    void Reset()
    {
        SetWriteFault(0);
        DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Orvane");
        DeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Orvane");
        DeleteFileA(TempPath("history.txt").c_str());
        ClearEntries();
        for (const char* folder : {"Startup", "Common", "machine", "prog\\Disabled", "prog\\Parked"}) {
            RemoveFolderTree(TempPath(folder));
            if (folder[0] != 'm')
                CreateDirectoryA(TempPath(folder).c_str(), nullptr);
        }
    }
    std::string History() { return ReadTextFile(TempPath("history.txt")); }
    std::string Hidden() { return TempPath("hidden.dat"); }
    std::string Vault() { return TempPath("machine\\vault"); }
    std::string Profile() { return TempPath("profile"); }

    void Run(const FaultAction& action);
    // Runs the action with every write into the places refused; 1 when it was refused.
    int RunDenied(const FaultAction& action, int places);
    // An installed copy: the program folder and the machine's folder apart from the user's.
    void InstalledLayout()
    {
        CreateDirectoryA(TempPath("prog").c_str(), nullptr);
        SetProgramFolder(TempPath("prog").c_str());
        SetDataFolders(TempDir().c_str(), TempPath("machine").c_str(), TempDir().c_str());
        SaveValue(HKEY_CURRENT_USER, kShellFolders, "Startup");
        SaveValue(HKEY_LOCAL_MACHINE, kShellFolders, "Common Startup");
        CreateDirectoryA(TempPath("Startup").c_str(), nullptr);
        CreateDirectoryA(TempPath("Common").c_str(), nullptr);
        WriteValueText(HKEY_CURRENT_USER, kShellFolders, "Startup", TempPath("Startup"));
        WriteValueText(HKEY_LOCAL_MACHINE, kShellFolders, "Common Startup", TempPath("Common"));
    }
    static constexpr const char* kShellFolders =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
};

std::string Value(HKEY root, const std::string& path, const char* name)
{
    return ValueExists(root, path, name) ? ReadValueText(root, path, name) : "<none>";
}

// --- Run entries: disable, enable, remove, restore, delay ---

void PrepareRun(FaultsTest&) { WriteValueText(HKEY_CURRENT_USER, kRun, kTitle, kCommand); }
void PrepareDisabled(FaultsTest& t)
{
    PrepareRun(t);
    DisableRunProgram(kTitle, kCommand, "", CURRENT_RUN);
}
void PrepareRemoved(FaultsTest& t)
{
    PrepareRun(t);
    DeleteRunProgram(kTitle, kCommand, "", CURRENT_RUN);
    DeleteFileA(t.TempPath("history.txt").c_str());
}
int Toggle(FaultsTest&) { return DisableRunProgram(kTitle, kCommand, "", CURRENT_RUN); }
int Remove(FaultsTest&) { return DeleteRunProgram(kTitle, kCommand, "", CURRENT_RUN); }
int Restore(FaultsTest&) { return RestoreEntry(kTitle, kCommand, "", CURRENT_RUN); }
int Delay(FaultsTest&) { return MoveToDelayedStart(nullptr, kTitle, kCommand, "", CURRENT_RUN, 0); }

// The copy belongs to the entry while the index names it disabled; without the index it is
// never read again (the next disable writes it anew).
std::string ObserveRun(FaultsTest&)
{
    // A user's own entry is disabled under his own key, which he may always write.
    std::string index = Value(HKEY_CURRENT_USER, KX_DISABLED_KEY, kTitle);
    return "run=" + Value(HKEY_CURRENT_USER, kRun, kTitle) + " index=" + index +
           (index == "<none>" ? "" : " copy=" + Value(HKEY_CURRENT_USER, KX_DISABLED_KEY "\\Run", kTitle)) +
           " machine=" + Value(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, kTitle);
}

std::string ObserveDelay(FaultsTest&)
{
    const char* program = "C:\\Tools\\agent.exe";
    return "run=" + Value(HKEY_CURRENT_USER, kRun, kTitle) +
           " delay=" + Value(HKEY_CURRENT_USER, KX_DELAY_KEY, program) +
           " title=" + Value(HKEY_CURRENT_USER, KX_DELAY_TITLE_KEY, program) +
           " time=" + Value(HKEY_CURRENT_USER, KX_DELAY_TIME_KEY, program) +
           " parameters=" + Value(HKEY_CURRENT_USER, KX_DELAY_PARAMETERS_KEY, program);
}

// --- Hidden files: condemn, put back ---

void PrepareHidden(FaultsTest& t)
{
    RemoveFolderTree(t.Vault());
    WriteValueText(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                   "AppData", t.TempDir());
    SetFileAttributesA(t.Hidden().c_str(), FILE_ATTRIBUTE_NORMAL);
    WriteTextFile(t.Hidden(), "hidden program bytes");
    SetFileAttributesA(t.Hidden().c_str(), FILE_ATTRIBUTE_HIDDEN);
}
void PrepareCondemned(FaultsTest& t)
{
    PrepareHidden(t);
    CondemnHiddenFile("hidden.dat", t.Hidden().c_str());
}
int Condemn(FaultsTest& t) { return CondemnHiddenFile("hidden.dat", t.Hidden().c_str()); }
int PutBack(FaultsTest& t) { return RestoreHiddenFromVault("hidden.dat", t.Hidden().c_str(), ""); }

// The file and every copy of it in the vault: one whole copy somewhere, never none or two.
std::string ObserveHidden(FaultsTest& t)
{
    std::string copies;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((t.Vault() + "\\*").c_str(), &data);
    int found = 0;
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                found++;
                copies += " vault=" + FileSnapshot(t.Vault() + "\\" + data.cFileName);
            }
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    return "file=" + FileSnapshot(t.Hidden()) + copies;
}

void PrepareUnhide(FaultsTest& t) { PrepareHidden(t); }
int Unhide(FaultsTest& t) { return UnhideFile(t.Hidden().c_str()); }
std::string ObserveAttributes(FaultsTest& t)
{
    return std::to_string(GetFileAttributesA(t.Hidden().c_str()) & FILE_ATTRIBUTE_HIDDEN);
}

// --- A browser helper's registration removed ---

void PrepareHelper(FaultsTest&)
{
    WriteValueText(HKEY_LOCAL_MACHINE, kHelperKey, "", "");
    ClearEntries();
    AddEntry("Fault Helper", "C:\\Tools\\helper.dll", kHelperKey.c_str() + strlen(KX_BHO_KEY) + 1,
             "", TYPE_BHO, 0);
}
int RemoveHelper(FaultsTest&) { return RemoveAddOn("C:\\Tools\\helper.dll", 0); }
std::string ObserveHelper(FaultsTest&)
{
    return KeyExists(HKEY_LOCAL_MACHINE, kHelperKey) ? "registered" : "gone";
}

// --- The Mozilla cookie file rewritten without the condemned cookies ---

const char kCookies[] = ".kept.com\tTRUE\t/\tFALSE\t1893456000\tid\t1\n"
                        ".ads.test\tTRUE\t/\tFALSE\t1893456000\ttrack\t2\n";

void PrepareCookies(FaultsTest& t)
{
    CreateDirectoryA(t.Profile().c_str(), nullptr);
    WriteTextFile(t.Profile() + "\\cookies.txt", kCookies);
    WriteValueText(HKEY_CURRENT_USER, KX_NUTS_KEY, "ads.test", "1");
}
int RewriteCookies(FaultsTest& t) { return ReplaceMozillaCookieFile(t.Profile().c_str()); }
std::string ObserveCookies(FaultsTest& t)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((t.Profile() + "\\*.kxtmp").c_str(), &data);
    bool leftover = find != INVALID_HANDLE_VALUE;
    if (leftover)
        FindClose(find);
    return FileSnapshot(t.Profile() + "\\cookies.txt") + (leftover ? " +temporary file" : "");
}

// --- A file type put back from its snapshot ---

void PrepareFileType(FaultsTest&)
{
    WriteValueText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.kxf", "", "kxffile");
    WriteValueText(HKEY_LOCAL_MACHINE, "Software\\Classes\\kxffile\\shell\\open\\command", "",
                   "C:\\Tools\\viewer.exe \"%1\"");
    SnapshotFileType(".kxf", FT_CLASS);
    // Taken over since: another class, and the old class's command changed too.
    WriteValueText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.kxf", "", "kxfother");
    WriteValueText(HKEY_LOCAL_MACHINE, "Software\\Classes\\kxffile\\shell\\open\\command", "",
                   "C:\\Ads\\grabber.exe \"%1\"");
}
int RestoreType(FaultsTest&) { return RestoreFileType(".kxf", FT_CLASS); }
std::string ObserveFileType(FaultsTest&)
{
    return "class=" + Value(HKEY_LOCAL_MACHINE, "Software\\Classes\\.kxf", "") + " command=" +
           Value(HKEY_LOCAL_MACHINE, "Software\\Classes\\kxffile\\shell\\open\\command", "");
}

// --- A service's start type, as the manager and the registry hold it ---

void PrepareService(FaultsTest&)
{
    RemoveService(kSvc);
    CreateFixtureService(kSvc, kSvcDisplay, SERVICE_DEMAND_START);
}
int DisableService(FaultsTest&) { return SetServiceStartType(kSvc, SERVICE_DISABLED); }
std::string ObserveService(FaultsTest&)
{
    DWORD registry = 0, size = sizeof(registry);
    RegGetValueA(HKEY_LOCAL_MACHINE, (std::string("SYSTEM\\CurrentControlSet\\Services\\") + kSvc).c_str(),
                 "Start", RRF_RT_REG_DWORD, nullptr, &registry, &size);
    DWORD manager = 0;
    SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, GENERIC_READ);
    SC_HANDLE service = scm ? OpenServiceA(scm, kSvc, SERVICE_QUERY_CONFIG) : nullptr;
    BYTE buffer[8192];
    DWORD needed = 0;
    if (service && QueryServiceConfigA(service, (QUERY_SERVICE_CONFIGA*)buffer, sizeof(buffer), &needed))
        manager = ((QUERY_SERVICE_CONFIGA*)buffer)->dwStartType;
    if (service)
        CloseServiceHandle(service);
    if (scm)
        CloseServiceHandle(scm);
    return "registry=" + std::to_string(registry) + " manager=" + std::to_string(manager);
}

// --- Startup-folder items an installed copy keeps in the machine's folder or finds where an
// earlier build kept them ---

std::string CommonItem(FaultsTest& t) { return t.TempPath("Common\\Tool.lnk"); }
void PrepareCommonItem(FaultsTest& t)
{
    RemoveFolderTree(t.TempPath("machine"));
    WriteTextFile(CommonItem(t), "common link");
}
int DisableCommon(FaultsTest& t)
{
    return DisableRunProgram("Tool", "C:\\Tools\\tool.exe", CommonItem(t).c_str(), GROUP_STARTUP);
}
int RemoveCommon(FaultsTest& t)
{
    return DeleteRunProgram("Tool", "C:\\Tools\\tool.exe", CommonItem(t).c_str(), GROUP_STARTUP);
}
std::string ObserveCommon(FaultsTest& t)
{
    return "item=" + FileSnapshot(CommonItem(t)) +
           " disabled=" + FileSnapshot(t.TempPath("machine\\Disabled\\Tool.lnk")) +
           " parked=" + FileSnapshot(t.TempPath("machine\\Parked\\Tool.lnk")) +
           " index=" + Value(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, "Tool");
}

std::string EarlierItem(FaultsTest& t) { return t.TempPath("Startup\\Old.lnk"); }
void PrepareEarlierDisabled(FaultsTest& t)
{
    CreateDirectoryA(t.TempPath("prog\\Disabled").c_str(), nullptr);
    WriteTextFile(t.TempPath("prog\\Disabled\\Old.lnk"), "old link");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, "Old", "200");
}
int EnableEarlier(FaultsTest& t)
{
    return DisableRunProgram("Old", "C:\\Tools\\old.exe", EarlierItem(t).c_str(), GROUP_STARTUP);
}
std::string ObserveEarlier(FaultsTest& t)
{
    return "item=" + FileSnapshot(EarlierItem(t)) +
           " earlier=" + FileSnapshot(t.TempPath("prog\\Disabled\\Old.lnk")) +
           " index=" + Value(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, "Old");
}

const FaultAction kActions[] = {
    {"disable", PrepareRun, Toggle, ObserveRun, -1},
    {"enable", PrepareDisabled, Toggle, ObserveRun, -1},
    {"remove", PrepareRun, Remove, ObserveRun, ACT_START_REMOVE},
    {"restore", PrepareRemoved, Restore, ObserveRun, -1},
    {"delay", PrepareRun, Delay, ObserveDelay, -1},
    {"condemn", PrepareHidden, Condemn, ObserveHidden, ACT_HIDDEN_DELETEFILE},
    {"put back", PrepareCondemned, PutBack, ObserveHidden, -1},
    {"unhide", PrepareUnhide, Unhide, ObserveAttributes, -1},
    {"remove an add-on", PrepareHelper, RemoveHelper, ObserveHelper, ACT_IEHELPER_REMOVE},
    {"cookie rewrite", PrepareCookies, RewriteCookies, ObserveCookies, -1},
    {"file-type restore", PrepareFileType, RestoreType, ObserveFileType, -1},
    {"service start type", PrepareService, DisableService, ObserveService, -1},
    {"disable an all-users item", PrepareCommonItem, DisableCommon, ObserveCommon, -1},
    {"remove an all-users item", PrepareCommonItem, RemoveCommon, ObserveCommon, ACT_START_REMOVE},
    {"enable an item an earlier build disabled", PrepareEarlierDisabled, EnableEarlier,
     ObserveEarlier, -1},
};

void FaultsTest::Run(const FaultAction& action)
{
    SCOPED_TRACE(action.name);
    // The undisturbed run: the old state, the new one, and how many write steps lie between.
    Reset();
    action.prepare(*this);
    std::string before = action.observe(*this);
    DeleteFileA(TempPath("history.txt").c_str());
    SetWriteFault(0);
    ASSERT_EQ(1, action.act(*this));
    int steps = WriteStepsSeen();
    std::string after = action.observe(*this);
    ASSERT_NE(before, after);
    ASSERT_GT(steps, 0);
    for (int step = 1; step <= steps; step++) {
        SCOPED_TRACE("failing write step " + std::to_string(step));
        Reset();
        action.prepare(*this);
        DeleteFileA(TempPath("history.txt").c_str());
        SetWriteFault(step);
        int result = action.act(*this);
        SetWriteFault(0);
        std::string now = action.observe(*this);
        EXPECT_TRUE(now == before || now == after) << "half done: " << now;
        EXPECT_EQ(result == 1, now == after) << "the result says otherwise: " << result;
        if (action.historyAction >= 0) {
            EXPECT_EQ(History().find(ActionName(action.historyAction)) != std::string::npos,
                      now == after)
                << "history: " << History();
        }
    }
    printf("[faults] %s: %d write steps failed in turn\n", action.name, steps);
}

int FaultsTest::RunDenied(const FaultAction& action, int places)
{
    SCOPED_TRACE(std::string(action.name) + ", refused places " + std::to_string(places));
    Reset();
    action.prepare(*this);
    std::string before = action.observe(*this);
    EXPECT_EQ(1, action.act(*this));
    std::string after = action.observe(*this);

    Reset();
    action.prepare(*this);
    DeleteFileA(TempPath("history.txt").c_str());
    ClearWriteRefusal();
    SetDeniedPlaces(places);
    int result = action.act(*this);
    SetDeniedPlaces(0);
    std::string now = action.observe(*this);
    EXPECT_EQ(result == 1 ? after : before, now) << "result " << result;
    if (action.historyAction >= 0) {
        EXPECT_EQ(result == 1, History().find(ActionName(action.historyAction)) != std::string::npos)
            << "history: " << History();
    }
    if (result != 1) {
        // What the user is told: the rights he lacks and what to do about them.
        EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, LastWriteRefusal());
        char text[1024] = "";
        EXPECT_GT(LoadResString(RefusalMessageId(LastWriteRefusal()), text, sizeof(text)), 0);
        EXPECT_NE(nullptr, strstr(text, "administrator")) << text;
    }
    return result != 1;
}

}   // namespace

TEST_F(FaultsTest, AnActionRefusedForLackOfRightsChangesNothingLogsNothingAndSaysWhy)
{
    InstalledLayout();
    // Each place a standard user's program may not write, and which actions it stops.
    // A user's own entries stay his to disable and enable whatever he may not write.
    const struct { int place; const char* expectRefused; } places[] = {
        {PLACE_PROGRAM_FOLDER, "enable an item an earlier build disabled"},
        {PLACE_HKLM, "service start type"},
        {PLACE_HKLM, "remove an add-on"},
        {PLACE_HKLM_CLASSES, "file-type restore"},
        {PLACE_MACHINE_FOLDER, "remove an all-users item"},
    };
    const int everyPlace = PLACE_PROGRAM_FOLDER | PLACE_HKLM | PLACE_HKLM_CLASSES | PLACE_MACHINE_FOLDER;
    for (const FaultAction& action : kActions) {
        if (!strcmp(action.name, "disable") || !strcmp(action.name, "enable") ||
            !strcmp(action.name, "remove") || !strcmp(action.name, "restore")) {
            EXPECT_EQ(0, RunDenied(action, everyPlace)) << action.name;
        }
    }
    for (const auto& p : places) {
        std::string refused;
        for (const FaultAction& action : kActions)
            if (RunDenied(action, p.place))
                refused += std::string("[") + action.name + "]";
        EXPECT_NE(std::string::npos, refused.find(std::string("[") + p.expectRefused + "]"))
            << "place " << p.place << " refused " << refused;
        printf("[faults] refused place %d: %s\n", p.place, refused.c_str());
    }
}

TEST_F(FaultsTest, EveryActionIsWhollyDoneOrWhollyUndoneWhicheverWriteStepFails)
{
    InstalledLayout();
    for (const FaultAction& action : kActions)
        Run(action);
}

// What guards the machine lives in its folder; what an earlier build kept in the user's
// roaming data is read there while that folder refuses it, and moved once it does not.
TEST_F(FaultsTest, MachineGuardDataLivesInTheMachineFolderAndEarlierDataFollowsIt)
{
    InstalledLayout();
    Reset();
    ForgetKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\.kxg");
    const std::string earlier = TempPath("roaming\\Kestrix");
    CreateDirectoryA(TempPath("roaming").c_str(), nullptr);
    CreateDirectoryA(earlier.c_str(), nullptr);
    CreateDirectoryA((earlier + "\\vault").c_str(), nullptr);
    WriteValueText(HKEY_CURRENT_USER, kShellFolders, "AppData", TempPath("roaming"));
    WriteTextFile(earlier + "\\HOSTS", "earlier hosts copy");
    WriteTextFile(earlier + "\\vault\\old.dat", "condemned earlier");
    WriteTextFile(earlier + "\\note_tool.txt", "my note");
    WriteValueText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.kxf", "", "kxffile");
    WriteValueText(HKEY_LOCAL_MACHINE, "Software\\Classes\\kxffile\\shell\\open\\command", "",
                   "C:\\Tools\\viewer.exe \"%1\"");
    WriteValueText(HKEY_CURRENT_USER, KX_EXT_KEY, ".kxf", "kxffile");
    WriteValueText(HKEY_CURRENT_USER, KX_CLASS_KEY, "kxffile", "C:\\Tools\\viewer.exe %1");
    char path[MAX_PATH * 2];
    std::string cls, command;

    // Refused: everything is still read where the earlier build left it.
    SetDeniedPlaces(PLACE_MACHINE_FOLDER);
    SavedCopyPath("HOSTS", path, sizeof(path));
    EXPECT_EQ(earlier + "\\HOSTS", path);
    EXPECT_EQ(0, AdoptEarlierClassSnapshots());
    char snapshot[260];
    ReadFileTypeSnapshot(".kxf", FT_CLASS, snapshot, &command);
    EXPECT_STREQ("kxffile", snapshot);
    EXPECT_EQ("\"C:\\Tools\\viewer.exe\" \"%1\"", command);
    // A new snapshot the machine folder refuses is refused and the reason kept for telling:
    // nothing goes into the user's key, where any of his programs could rewrite what an
    // elevated restore would later write into the machine's classes.
    WriteValueText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.kxg", "", "kxffile");
    ClearWriteRefusal();
    EXPECT_EQ(0, SnapshotFileType(".kxg", FT_CLASS));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, LastWriteRefusal());
    EXPECT_EQ("<none>", Value(HKEY_CURRENT_USER, KX_EXT_KEY, ".kxg"));
    DeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Classes\\.kxg");
    SetDeniedPlaces(0);

    // Allowed: each moves into the machine's folder, and nothing of it stays behind.
    SavedCopyPath("HOSTS", path, sizeof(path));
    EXPECT_EQ(TempPath("machine\\HOSTS"), path);
    EXPECT_EQ("earlier hosts copy", ReadTextFile(path));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((earlier + "\\HOSTS").c_str()));
    EXPECT_EQ(1, AdoptEarlierClassSnapshots());
    ASSERT_EQ(1, ReadClassSnapshot(".kxf", &cls, &command));
    // The earlier record kept only the quote-free form: quoted again as a restore writes it.
    EXPECT_EQ("kxffile | \"C:\\Tools\\viewer.exe\" \"%1\"", cls + " | " + command);
    EXPECT_EQ("<none>", Value(HKEY_CURRENT_USER, KX_EXT_KEY, ".kxf"));
    EXPECT_EQ(0, AdoptEarlierClassSnapshots()) << "nothing moves twice";
    // A user's program rewriting his own key no longer changes what a restore writes back.
    WriteValueText(HKEY_CURRENT_USER, KX_EXT_KEY, ".kxf", "planted");
    WriteValueText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.kxf", "", "kxfother");
    EXPECT_EQ(1, RestoreFileType(".kxf", FT_CLASS));
    EXPECT_EQ("kxffile", Value(HKEY_LOCAL_MACHINE, "Software\\Classes\\.kxf", ""));
    // Notes are the user's own.
    NoteFilePath("C:\\Tools\\tool.exe", path, sizeof(path));
    EXPECT_EQ(TempPath("note_tool.txt"), path);
    EXPECT_EQ("my note", ReadTextFile(path));

    // The vault: a new copy waits in the machine's folder, an earlier one comes back from
    // where its build kept it.
    PrepareHidden(*this);
    WriteValueText(HKEY_CURRENT_USER, kShellFolders, "AppData", TempPath("roaming"));
    ASSERT_EQ(1, CondemnHiddenFile("hidden.dat", Hidden().c_str()));
    EXPECT_EQ("hidden program bytes", ReadTextFile(TempPath("machine\\vault\\hidden.dat")));
    EXPECT_EQ(1, RestoreHiddenFromVault("old.dat", TempPath("old.dat").c_str(), ""));
    EXPECT_EQ("condemned earlier", ReadTextFile(TempPath("old.dat")));
}
