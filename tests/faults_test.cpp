// Faults injected, nothing lost: each action that changes the machine is run once per write
// step with that step failing (refused, locked, full; see writefault.h). Afterwards the
// user's entry or file is wholly as it was or wholly as the action leaves it, the result
// says which, and so does the history.
#include "cookieactions.h"
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
        const char* shellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
        SaveValue(HKEY_CURRENT_USER, shellFolders, "AppData");
    }
    void TearDown() override
    {
        SetWriteFault(0);
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
    }
    std::string History() { return ReadTextFile(TempPath("history.txt")); }
    std::string Hidden() { return TempPath("hidden.dat"); }
    std::string Vault() { return TempPath("Kestrix\\vault"); }
    std::string Profile() { return TempPath("profile"); }

    void Run(const FaultAction& action);
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
    std::string index = Value(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, kTitle);
    return "run=" + Value(HKEY_CURRENT_USER, kRun, kTitle) + " index=" + index +
           (index == "<none>" ? "" : " copy=" + Value(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY "\\Run", kTitle));
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

const FaultAction kActions[] = {
    {"disable", PrepareRun, Toggle, ObserveRun, -1},
    {"enable", PrepareDisabled, Toggle, ObserveRun, -1},
    {"remove", PrepareRun, Remove, ObserveRun, ACT_START_REMOVE},
    {"restore", PrepareRemoved, Restore, ObserveRun, -1},
    {"delay", PrepareRun, Delay, ObserveDelay, -1},
    {"condemn", PrepareHidden, Condemn, ObserveHidden, ACT_HIDDEN_DELETEFILE},
    {"put back", PrepareCondemned, PutBack, ObserveHidden, -1},
    {"cookie rewrite", PrepareCookies, RewriteCookies, ObserveCookies, -1},
    {"file-type restore", PrepareFileType, RestoreType, ObserveFileType, -1},
    {"service start type", PrepareService, DisableService, ObserveService, -1},
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

}   // namespace

TEST_F(FaultsTest, EveryActionIsWhollyDoneOrWhollyUndoneWhicheverWriteStepFails)
{
    for (const FaultAction& action : kActions)
        Run(action);
}
