// Garbage in, nothing lost: every parser of what other programs and users wrote is fed
// mutated real samples (see support/garbage.h). No case may crash, hang, write past a buffer
// or leave a text unterminated, and none may remove or rewrite what it read.
#include "cookies.h"
#include "delaystart.h"
#include "entrylist.h"
#include "filecheck.h"
#include "filetypes.h"
#include "findrun.h"
#include "garbage.h"
#include "handles.h"
#include "history.h"
#include "keys.h"
#include "keytext.h"
#include "kxtest.h"
#include "registry.h"
#include "services.h"
#include "shortcut.h"
#include "sysfileactions.h"
#include "sysfiles.h"
#include "tasks.h"
#include "versioninfo.h"
#include "watched_items.h"
#include "addons.h"
#include "browsersettings.h"
#include "browserprofile.h"
#include "browseranswers.h"
#include "firefoxpolicies.h"
#include "wholefile.h"
#include <shlobj.h>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const BYTE kGuard = 0xBD;

// A buffer of capacity bytes with guard bytes behind it, as the readers are given.
struct GuardedBuffer {
    explicit GuardedBuffer(int capacity) : size(capacity), bytes(capacity + 16, kGuard) {}
    char* get() { return (char*)bytes.data(); }
    bool GuardIntact() const
    {
        for (size_t i = size; i < bytes.size(); i++)
            if (bytes[i] != kGuard)
                return false;
        return true;
    }
    bool Terminated() const { return memchr(bytes.data(), 0, size) != nullptr; }
    int size;
    std::vector<BYTE> bytes;
};

#define EXPECT_BUFFER_SOUND(buffer)                                                       \
    do {                                                                                  \
        EXPECT_TRUE((buffer).GuardIntact()) << "written past a buffer of " << (buffer).size; \
        EXPECT_TRUE((buffer).Terminated()) << "text left unterminated";                  \
    } while (0)

// Every listed entry keeps its fields terminated inside their widths.
void ExpectEntriesSound()
{
    ASSERT_LE(EntryCount(), MAX_ENTRIES);
    for (int i = 0; i < EntryCount(); i++) {
        const EntryRecord* e = GetEntry(i);
        ASSERT_NE(e, nullptr);
        EXPECT_TRUE(memchr(e->title, 0, sizeof(e->title)) && memchr(e->command, 0, sizeof(e->command)) &&
                    memchr(e->source, 0, sizeof(e->source)) && memchr(e->detail, 0, sizeof(e->detail)))
            << "entry " << i;
    }
}

bool WriteBytes(const std::string& path, const std::string& bytes)
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD wrote = 0;
    bool ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &wrote, nullptr) &&
              wrote == bytes.size();
    CloseHandle(file);
    return ok;
}

std::string Fixture(const char* name) { return TestProgramFolder() + "\\" + name; }

const std::vector<std::string> kCommands = {
    "C:\\Program Files\\Vendor\\updater.exe /silent",
    "\"C:\\Program Files\\Vendor App\\tray.exe\" -minimized",
    "%SystemRoot%\\system32\\rundll32.exe shell32.dll,Control_RunDLL",
    "RUNDLL32.EXE C:\\WINDOWS\\SYSTEM\\helper.dll,Start",
    "explorer.exe",
    "C:\\WINDOWS\\system32\\userinit.exe,",
    "C:\\PROGRA~1\\VENDOR\\UPDATE~1.EXE",
    "{6B1F2E0A-0000-4B1D-9000-00000000D00D}",
    "@%SystemRoot%\\system32\\kxsvc.dll,-101",
};

class GarbageTest : public KxTest {
protected:
    void TearDown() override
    {
        FreeCookieFilters();
        KxTest::TearDown();
    }
};

// --- Files: history.txt, cookies.txt, wininit.ini, shortcuts, version resources ---

struct FileParser {
    const char* name;
    int cases;
    size_t hugeLimit;
    // The file the garbage goes to (the parser reads it there) and the real samples.
    std::string (*file)(const std::string& temp);
    std::vector<std::string> (*samples)(const std::string& temp);
    // Runs the parser on the file; checks what it gave back.
    void (*parse)(const std::string& file, const std::string& temp);
    // Garbage of the sample's own length (a resource inside a program file).
    bool keepLength;
    // A work item in the live Tasks folder (see TasksFolderGuard): the scheduler's service
    // reads and writes it too, so only the reader's survival is checked, not the bytes.
    bool inTasksFolder;
};

// The scheduler's own service parses every file of the live Tasks folder as it appears, with
// a reader that trusts the sizes inside, and the product's listing starts that service. So
// only bytes the product's check would hand to the system's reader go there; the others are
// checked in memory, which is all the product ever does with them.
bool AdmittedToTasksFolder(std::string& bytes)
{
    // Two flag bits ask the service to start or end the item's program at once.
    if (bytes.size() > 0x33)
        bytes[0x33] &= ~0x0C;
    return JobBytesSound(bytes);
}

// Whatever the cases did: no garbage work item stays in the live Tasks folder, and the
// scheduler's service runs (as any later scheduler call would make it).
struct TasksFolderGuard {
    explicit TasksFolderGuard(const std::string& path) : file(path) {}
    ~TasksFolderGuard()
    {
        for (int attempt = 0; attempt < 100; attempt++) {
            SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (DeleteFileA(file.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND)
                break;
            Sleep(100);   // the service may hold it for a moment
        }
        if (!SchedulerRunning())
            StartServiceAndWait("Schedule", SERVICE_RUNNING);
    }
    std::string file;
};

std::vector<std::string> HistorySamples(const std::string& temp)
{
    WriteHistoryLine("Vendor Updater", kCommands[0].c_str(), "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                     CURRENT_RUN, ACT_START_DISABLE);
    WriteHistoryLine("tray", kCommands[1].c_str(), "", MACHINE_RUN, ACT_START_REMOVE);
    WriteHistoryLine("hidden.exe", "C:\\WINDOWS\\hidden.exe", "C:\\vault\\hidden.exe", TYPE_HIDDEN,
                     ACT_HIDDEN_DELETEFILE);
    std::string text = ReadTextFile(temp + "\\history.txt");
    return {text, text + text + text};
}

std::vector<std::string> CookieSamples(const std::string&)
{
    return {"# Netscape HTTP Cookie File\n"
            ".example.com\tTRUE\t/\tFALSE\t1893456000\tsession\tabc123\n"
            "www.vendor.org\tFALSE\t/path\tTRUE\t0\tpref\tlang=en\tx\r\n"
            ".ads.test\tTRUE\t/\tFALSE\t99999999999999\tid\t\n",
            "\n\n#\t\t\t\t\t\t\n.a\tTRUE\t/\tFALSE\t-1\tn\tv"};
}

std::vector<std::string> WinInitSamples(const std::string&)
{
    return {"[rename]\r\nNUL=C:\\WINDOWS\\hidden.exe\r\nC:\\WINDOWS\\new.dll=C:\\WINDOWS\\old.dll\r\n",
            "[rename]\nNUL=C:\\x\n\n[other]\nkey=value"};
}

std::vector<std::string> ShortcutSamples(const std::string& temp)
{
    std::string link = temp + "\\sample.lnk";
    IShellLinkA* shell = nullptr;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   (void**)&shell))) {
        shell->SetPath(Fixture("kxfx_app.exe").c_str());
        shell->SetArguments("/start minimized");
        shell->SetDescription("Vendor application started with Windows");
        shell->SetWorkingDirectory(TestProgramFolder().c_str());
        if (SUCCEEDED(shell->QueryInterface(IID_IPersistFile, (void**)&file))) {
            WCHAR wide[MAX_PATH];
            MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
            file->Save(wide, TRUE);
            file->Release();
        }
        shell->Release();
    }
    return {FileSnapshot(link)};
}

// The version block of a program: the resource the reader parses, mutated in place so the
// rest of the program file stays loadable.
std::vector<std::string> VersionSamples(const std::string&)
{
    return {FileSnapshot(Fixture("kxfx_app.exe")), FileSnapshot(Fixture("kxfx_multi.exe"))};
}

// A work item of the Task Scheduler, as its .job file.
std::vector<std::string> JobSamples(const std::string&)
{
    DeleteFileA(TaskJobPath(L"kxgarbage").c_str());
    MakeWorkItem(L"kxgarbage", Fixture("kxfx_app.exe"), L"Vendor update check");
    return {FileSnapshot(TaskJobPath(L"kxgarbage"))};
}

void ParseJobs(const std::string&, const std::string&)
{
    ListScheduledTasks();
    ExpectEntriesSound();
}

void ParseHistory(const std::string&, const std::string&)
{
    int count = ReadHistory();
    EXPECT_EQ(count, EntryCount());
    ExpectEntriesSound();
}

void ParseCookies(const std::string& file, const std::string& temp)
{
    EXPECT_GE(CookieScanFor(1, 0), 0);
    ExpectEntriesSound();
    for (int i = 0; i < EntryCount(); i++) {
        char expires[32];
        CookieExpiryText(GetEntry(i)->detail, expires, sizeof(expires));
    }
    // A filter that condemns nothing in the samples: no line may go, and the copy the filter
    // writes is the file byte for byte.
    WriteValueText(HKEY_CURRENT_USER, KX_NUTS_KEY, "kxnevermatches", "1");
    LoadCookieFilters();
    std::string copy = temp + "\\profile\\cookiesnew.txt";
    int dropped = WriteFilteredCookieFile(file.c_str(), copy.c_str());
    if (dropped == 0)
        EXPECT_EQ(FileSnapshot(copy), FileSnapshot(file));
    else
        EXPECT_EQ(dropped, -1) << "garbage condemned a cookie line";
    EXPECT_EQ(WriteFilteredCookieFile(file.c_str(), file.c_str()), 0);
    FreeCookieFilters();
}

void ParseWinInit(const std::string&, const std::string&)
{
    std::string text = RestartCommandsText();
    EXPECT_LE(text.size(), 2u * 16384);
    EXPECT_EQ(strlen(text.c_str()), text.size()) << "a NUL would cut the view short";
    HasRestartCommands();
}

void ParseShortcut(const std::string& file, const std::string&)
{
    GuardedBuffer target(260), description(1024);
    ResolveShortcut(file.c_str(), target.get(), description.get());
    EXPECT_BUFFER_SOUND(target);
    EXPECT_BUFFER_SOUND(description);
}

void ParseVersion(const std::string& file, const std::string&)
{
    VersionStrings strings;
    GetVersionStrings(file.c_str(), &strings);
    for (int s = 0; s < VS_SLOT_COUNT; s++)
        EXPECT_LE(strlen(strings.slot[s]), 127u);
}

// Browser profiles of the fixtures' real layout: the JSON readers and Firefox's preference
// lines. A file that does not parse gives nothing.
std::string BrowserFixture(const std::string& relative)
{
    return std::string("Z:") + KX_SOURCE_DIR + "\\tests\\browsers\\" + relative;
}
std::vector<std::string> ChromiumSamples(const std::string&)
{
    return {FileSnapshot(BrowserFixture("Local\\Google\\Chrome\\User Data\\Default\\Preferences")),
            FileSnapshot(BrowserFixture("Local\\Google\\Chrome\\User Data\\Default\\Secure Preferences"))};
}
std::vector<std::string> FirefoxSamples(const std::string&)
{
    const std::string profile = "Roaming\\Mozilla\\Firefox\\Profiles\\k3x9.default-release\\";
    return {FileSnapshot(BrowserFixture(profile + "extensions.json")),
            FileSnapshot(BrowserFixture(profile + "prefs.js")), FileSnapshot(BrowserFixture("Roaming\\Mozilla\\Firefox\\profiles.ini"))};
}
void ParseChromium(const std::string& file, const std::string& temp)
{
    std::string text;
    ReadWholeFile(file.c_str(), &text);
    for (bool asProtected : {false, true}) {
        std::vector<BrowserSetting> settings;
        if (!ReadChromiumProfile(asProtected ? "" : text, asProtected ? text : "", temp, &settings)) {
            EXPECT_TRUE(settings.empty());
        }
    }
}
void ParseFirefox(const std::string& file, const std::string& temp)
{
    std::string text;
    ReadWholeFile(file.c_str(), &text);
    std::vector<BrowserSetting> settings;
    if (!ReadFirefoxExtensions(text, &settings)) {
        EXPECT_TRUE(settings.empty());
    }
    ReadFirefoxPages(text, text, &settings);
    FirefoxProfileFolders(text, temp);
    // The monitor's edits of such a file: an add-on it turns off reads as off afterwards.
    std::string off;
    if (WithFirefoxAddonOff(text, "uBlock0@raymondhill.net", &off)) {
        std::vector<BrowserSetting> after;
        ASSERT_TRUE(ReadFirefoxExtensions(off, &after));
        for (const BrowserSetting& s : after) {
            if (s.id == "uBlock0@raymondhill.net") {
                EXPECT_FALSE(s.enabled);
            }
        }
    }
}

// Firefox's policies file and Chromium's Local State: a file that does not parse lists
// nothing, and each entry read is one the monitor's No can take out.
std::vector<std::string> PolicySamples(const std::string&)
{
    return {FileSnapshot(BrowserFixture("Program Files\\Mozilla Firefox\\distribution\\policies.json"))};
}
void ParsePolicies(const std::string& file, const std::string&)
{
    std::string text;
    ReadWholeFile(file.c_str(), &text);
    std::vector<FirefoxPolicy> policies;
    if (!ReadFirefoxPolicies(text, &policies)) {
        EXPECT_TRUE(policies.empty());
    }
    for (const FirefoxPolicy& policy : policies) {
        std::string without;
        EXPECT_TRUE(WithoutFirefoxPolicy(text, policy.name, &without)) << policy.name;
    }
    for (const std::string& name : ChromiumLocalStateProfiles(text)) {
        EXPECT_EQ(std::string::npos, name.find_first_of("\\/:")) << name;
    }
}

std::string HistoryFile(const std::string& temp) { return temp + "\\history.txt"; }
std::string CookieFileIn(const std::string& temp)
{
    CreateDirectoryA((temp + "\\profile").c_str(), nullptr);
    WriteValueText(HKEY_CURRENT_USER, KX_KEY, "CookieFolder", temp + "\\profile\\");
    return temp + "\\profile\\cookies.txt";
}
std::string WinInitFile(const std::string&) { return WinInitPath(); }
std::string ShortcutFile(const std::string& temp) { return temp + "\\garbage.lnk"; }
std::string VersionFile(const std::string& temp) { return temp + "\\garbage.exe"; }
std::string JobFile(const std::string&) { return TaskJobPath(L"kxgarbage"); }
std::string PreferencesFile(const std::string& temp) { return temp + "\\Preferences"; }

const FileParser kFileParsers[] = {
    {"history.txt", 500, 300000, HistoryFile, HistorySamples, ParseHistory, false, false},
    {"cookies.txt", 300, 1 << 20, CookieFileIn, CookieSamples, ParseCookies, false, false},
    {"wininit.ini", 3000, 40000, WinInitFile, WinInitSamples, ParseWinInit, false, false},
    {"shortcut.lnk", 300, 70000, ShortcutFile, ShortcutSamples, ParseShortcut, false, false},
    {"version-resource", 500, 0, VersionFile, VersionSamples, ParseVersion, true, false},
    {"job-file", 200, 70000, JobFile, JobSamples, ParseJobs, false, true},
    {"chromium-preferences", 300, 1 << 20, PreferencesFile, ChromiumSamples, ParseChromium, false, false},
    {"firefox-profile", 300, 1 << 20, PreferencesFile, FirefoxSamples, ParseFirefox, false, false},
    {"firefox-policies", 300, 1 << 20, PreferencesFile, PolicySamples, ParsePolicies, false, false},
};

// Cases that once crashed inside the system's own readers, run on every run.
struct CrashCase {
    const char* parser;
    uint64_t seed;
};
const CrashCase kCrashCases[] = {
    {"shortcut.lnk", 0x6650037DA1382FC7ULL},   // a damaged link crashed the shell's link reader
    {"job-file", 0x392DF7F39962EEBDULL},       // a damaged work item crashed its reader
    // a version block longer than its resource: the ANSI query wrote past the buffer
    {"version-resource", 0x366FD731954F2529ULL},
};

// Where the mutation of a program file goes: its version block, from the length word
// before "VS_VERSION_INFO" over the block's own length.
void VersionBlock(const std::string& program, size_t* start, size_t* length)
{
    static const char key[] = "V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0_\0I\0N\0F\0O\0";
    size_t at = program.find(std::string(key, sizeof(key) - 1));
    *start = *length = 0;
    if (at == std::string::npos || at < 6)
        return;
    *start = at - 6;
    *length = (unsigned char)program[*start] | ((unsigned char)program[*start + 1] << 8);
    if (*start + *length > program.size())
        *length = program.size() - *start;
}

TEST_F(GarbageTest, FileParsersSurviveMutatedFilesAndLeaveThemAsTheyWere)
{
    std::string winInit = WinInitPath(), savedWinInit = FileSnapshot(winInit);
    for (const FileParser& parser : kFileParsers) {
        if (!GarbageParserSelected(parser.name))
            continue;
        SCOPED_TRACE(parser.name);
        std::string file = parser.file(TempDir());
        std::unique_ptr<TasksFolderGuard> tasksFolder;
        if (parser.inTasksFolder)
            tasksFolder.reset(new TasksFolderGuard(file));
        std::vector<std::string> samples = parser.samples(TempDir());
        ASSERT_FALSE(samples.empty() || samples[0].empty() || samples[0] == "<missing>");
        if (!strcmp(parser.name, "shortcut.lnk")) {
            EXPECT_TRUE(ShortcutBytesSound(samples[0])) << "a sound link was refused";
        }
        if (parser.keepLength) {
            std::string program = Fixture("kxfx_multi.exe");
            std::string block(GetFileVersionInfoSizeA(program.c_str(), nullptr), '\0');
            ASSERT_GT(block.size(), 100u);
            ASSERT_TRUE(GetFileVersionInfoA(program.c_str(), 0, (DWORD)block.size(), &block[0]));
            EXPECT_TRUE(VersionBlockSound(block)) << "a sound version block was refused";
            // The root past the resource, or the first table past the root.
            for (size_t at : {0, 0x5C}) {
                std::string longer = block;
                longer[at + 1] += 0x10;
                EXPECT_FALSE(VersionBlockSound(longer)) << "length at " << at;
            }
        }
        if (parser.inTasksFolder) {
            EXPECT_TRUE(JobBytesSound(samples[0])) << "a sound work item was refused";
            // Strings read from elsewhere than the name offset says, or triggers counted
            // elsewhere than the trigger offset says.
            for (size_t at : {0x14, 0x16}) {
                std::string moved = samples[0];
                moved[at] += 2;
                EXPECT_FALSE(JobBytesSound(moved)) << "offset at " << at;
            }
        }
        int admitted = 0;
        auto runCase = [&](GarbageRandom& random, int) {
            std::string bytes;
            if (parser.keepLength) {
                bytes = samples[random.Below(samples.size())];
                size_t start, length;
                VersionBlock(bytes, &start, &length);
                ASSERT_GT(length, 0u);
                std::string block = MutateSample(bytes.substr(start, length), random, 0);
                block.resize(length, (char)random.Next());
                bytes.replace(start, length, block);
            } else {
                bytes = PickMutated(samples, random, parser.hugeLimit);
            }
            if (parser.inTasksFolder && !AdmittedToTasksFolder(bytes))
                return;
            admitted++;
            // The scheduler may hold a work item it is reading: wait for it, boundedly.
            bool written = false;
            for (int attempt = 0; attempt < 100 && !(written = WriteBytes(file, bytes)); attempt++)
                Sleep(100);
            ASSERT_TRUE(written) << file;
            parser.parse(file, TempDir());
            if (!parser.inTasksFolder) {
                EXPECT_EQ(FileSnapshot(file), bytes) << "the parser rewrote the file it read";
            }
            ClearEntries();
        };
        ForEachGarbageCase(parser.name, parser.cases, runCase);
        for (const CrashCase& crash : kCrashCases) {
            if (strcmp(crash.parser, parser.name) != 0 || getenv("KX_GARBAGE_REPLAY"))
                continue;
            SCOPED_TRACE(crash.seed);
            GarbageRandom random(crash.seed);
            runCase(random, -1);
        }
        if (parser.inTasksFolder) {
            printf("[garbage] %s: %d cases reached the system's reader\n", parser.name, admitted);
            EXPECT_TRUE(SchedulerRunning()) << "the scheduler's service ended during the cases";
        }
        // At once, not at the end: later suites read the Windows folder's wininit.ini.
        if (savedWinInit == "<missing>")
            DeleteFileA(winInit.c_str());
        else
            WriteBytes(winInit, savedWinInit);
    }
}

// Internet Explorer keeps one file per cookie: garbage names and contents are listed, and
// a filter that matches none of them deletes none.
TEST_F(GarbageTest, CookieFolderOfGarbageFilesListsThemAndDeletesNone)
{
    std::string folder = TempPath("Cookies");
    CreateDirectoryA(folder.c_str(), nullptr);
    WriteTextFile(folder + "\\index.dat", "");
    WriteValueText(HKEY_CURRENT_USER, KX_KEY, "IECookieFolder", folder);
    WriteValueText(HKEY_CURRENT_USER, KX_NUTS_KEY, "kxnevermatches", "1");
    const std::vector<std::string> names = {"user@example[1].txt", "user@ads.vendor[2].txt"};
    ForEachGarbageCase("ie-cookie-files", 200, [&](GarbageRandom& random, int) {
        std::vector<std::string> written;
        for (size_t i = 0, n = 1 + random.Below(4); i < n; i++) {
            std::string name = MutateSample(names[random.Below(names.size())], random, 0);
            name.resize(strlen(name.c_str()) % 200);
            std::string path = folder + "\\" + name + ".txt";
            if (WriteBytes(path, PickMutated(CookieSamples(""), random, 70000)))
                written.push_back(path);
        }
        for (int mode = 0; mode <= 1; mode++) {
            CookieScanFor(0, mode);
            ExpectEntriesSound();
        }
        // Two garbage names may name one file: every one is looked at before any goes.
        for (const std::string& path : written)
            EXPECT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << "deleted " << path;
        for (const std::string& path : written) {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
        }
    });
}

// --- Registry values of any type and length ---

// Every shared reader against one garbage value, with buffers of the edge widths.
TEST_F(GarbageTest, RegistryReadersStayInsideTheirBuffers)
{
    const std::string path = KX_KEY "\\Garbage";
    const std::vector<std::string> names = {"Value", "Run", "AUOptions"};
    const int capacities[] = {1, 2, 17, 128, 260, 1024, 1025, 4096};
    ForEachGarbageCase("registry-readers", 300, [&](GarbageRandom& random, int) {
        DeleteKeyTree(HKEY_CURRENT_USER, path);
        GarbageValue value = MakeGarbageValue(names, kCommands, random);
        if (!WriteGarbageValue(HKEY_CURRENT_USER, path, value))
            return;
        for (int capacity : capacities) {
            GuardedBuffer a(capacity), b(capacity);
            int length = GetRegValue(HKEY_CURRENT_USER, path.c_str(), value.name.c_str(), a.get(), capacity);
            EXPECT_BUFFER_SOUND(a);
            EXPECT_TRUE(length >= 0 && length < capacity);
            RegKey key;
            ASSERT_TRUE(key.open(HKEY_CURRENT_USER, path.c_str(), KEY_READ));
            length = ReadKeyText(key.get(), value.name.c_str(), b.get(), capacity);
            EXPECT_BUFFER_SOUND(b);
            EXPECT_TRUE(length >= 0 && length < capacity);
            for (const auto& text : ReadRegTexts(HKEY_CURRENT_USER, path.c_str(), capacity))
                EXPECT_LT(text.second.size(), (size_t)capacity);
        }
        GetRegNumber(HKEY_CURRENT_USER, path.c_str(), value.name.c_str());
        DWORD number = 0xDEADBEEF;
        ReadRegDword(HKEY_CURRENT_USER, path.c_str(), value.name.c_str(), &number);
    });
}

// Keys other programs write, each with the inventory that reads them. A key of the test's
// own (whole) goes after each case and after the test; in a shared key only the named values
// are written, and their old data comes back after the test. Without names any name goes.
struct RegistryTarget {
    HKEY root;
    std::string path;
    std::vector<std::string> names;
    bool whole;
    bool checked;   // the user's data: no parse may change it
};

struct RegistryParser {
    const char* name;
    int cases;
    std::vector<RegistryTarget> targets;
    std::vector<std::string> samples;
    void (*parse)(const std::string& temp);
};

const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunOnce[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char kWinlogon[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const char kClsid[] = "{6B1F2E0A-0000-4B1D-9000-00000000D00D}";

void ParseStartup(const std::string&)
{
    for (int forPage = 0; forPage <= 1; forPage++) {
        BuildStartupList(forPage);
        ExpectEntriesSound();
    }
    // Garbage is never taken for an entry disabled here and put back.
    EXPECT_EQ(RegistrySnapshot(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY), "<no key>");
    EXPECT_EQ(RegistrySnapshot(HKEY_CURRENT_USER, KX_DISABLED_KEY), "<no key>");
}

void ParseFileTypes(const std::string&)
{
    ListFileTypes();
    ExpectEntriesSound();
    for (int i = 0; i < EntryCount(); i++) {
        EntryRecord entry = *GetEntry(i);
        FileTypeChanged(entry);
        char file[260];
        int index = 0;
        FileTypeIcon(entry.detail, entry.tag, file, &index);
    }
}

void ParseCookieFilters(const std::string&)
{
    LoadCookieFilters();
    for (int i = 0; i < CookieFilterCount(); i++)
        EXPECT_LT(strlen(CookieFilterText(i)), (size_t)COOKIE_FILTER_TEXT);
    CookieMatchesFilter(".example.com\tTRUE\t/\tFALSE\t0\tid\tv");
    CookieFilterNamed("example.com - id");
    FreeCookieFilters();
}

void ParseDelayStore(const std::string&)
{
    ListDelayedPrograms();
    ExpectEntriesSound();
}

void ParseSysFileRecord(const std::string& temp)
{
    std::string hosts = temp + "\\hosts";
    std::string before = FileSnapshot(hosts);
    SysFileChanged("HOSTS", hosts.c_str());
    GuardedBuffer location(260);
    SysFileLocation("HOSTS", location.get(), 260);
    EXPECT_BUFFER_SOUND(location);
    EXPECT_EQ(FileSnapshot(hosts), before);
}

void ParseAddOns(const std::string&)
{
    ListBrowserAddOns();
    ExpectEntriesSound();
}

void ParseServices(const std::string&)
{
    ListServices();
    ExpectEntriesSound();
    GuardedBuffer name(4096);
    ServiceDisplayName("kxgarbage", name.get(), 4096);
    EXPECT_BUFFER_SOUND(name);
    GuardedBuffer description(1024);
    ServiceDescriptionByPath("C:\\KXG\\SERVICE.EXE", description.get(), 1024);
    EXPECT_BUFFER_SOUND(description);
}

const std::vector<std::string> kNoNames;

std::vector<std::string> With(std::vector<std::string> samples, const std::vector<std::string>& more)
{
    samples.insert(samples.end(), more.begin(), more.end());
    return samples;
}

void ClearTarget(const RegistryTarget& target)
{
    if (target.whole) {
        DeleteKeyTree(target.root, target.path);
        return;
    }
    RegKey key;
    if (key.open(target.root, target.path.c_str(), KEY_WRITE))
        for (const std::string& name : target.names)
            RegDeleteValueA(key.get(), name.c_str());
}

TEST_F(GarbageTest, RegistryInventoriesSurviveGarbageValuesAndChangeNoneOfThem)
{
    const std::string fileExts = std::string(KX_FILEEXTS_KEY) + "\\.kxg";
    const std::string bho = std::string(KX_BHO_KEY) + "\\" + kClsid;
    const std::string server = std::string("CLSID\\") + kClsid;
    const std::string service = KX_SERVICES_ROOT "\\kxgarbage";
    const std::vector<RegistryParser> parsers = {
        {"startup-values", 100,
         {{HKEY_CURRENT_USER, kRun, kNoNames, true, true},
          {HKEY_CURRENT_USER, kRunOnce, kNoNames, true, true},
          {HKEY_LOCAL_MACHINE, kWinlogon, {"Shell", "Userinit"}, false, true}},
         kCommands, ParseStartup},
        {"file-type-classes", 300,
         {{HKEY_CURRENT_USER, KX_CLASS_KEY, {""}, true, false},
          {HKEY_LOCAL_MACHINE, "Software\\Classes\\.kxg", {""}, true, true},
          {HKEY_LOCAL_MACHINE, "Software\\Classes\\kxgfile", {""}, true, true},
          {HKEY_LOCAL_MACHINE, "Software\\Classes\\kxgfile\\shell\\open\\command", {""}, true, true},
          {HKEY_CURRENT_USER, fileExts, {"Application", "ProgID"}, true, true},
          {HKEY_CLASSES_ROOT, "Applications\\kxg.exe\\shell\\open\\command", {""}, true, true}},
         With(kCommands, {"kxg", "kxg;txt;", ";;kxg;;", "kxgfile", "kxg.exe"}), ParseFileTypes},
        {"cookie-filter-values", 300, {{HKEY_CURRENT_USER, KX_NUTS_KEY, kNoNames, true, true}},
         {"1", "2", "example.com - id", "ads"}, ParseCookieFilters},
        {"delay-store", 150,
         {{HKEY_CURRENT_USER, KX_DELAY_KEY, {"C:\\KXG\\APP.EXE", ""}, true, true},
          {HKEY_CURRENT_USER, KX_DELAY_TITLE_KEY, {"C:\\KXG\\APP.EXE"}, true, true},
          {HKEY_CURRENT_USER, KX_DELAY_TIME_KEY, {"C:\\KXG\\APP.EXE"}, true, true},
          {HKEY_CURRENT_USER, KX_DELAY_SHORTCUTS_KEY, {"C:\\KXG\\APP.EXE"}, true, true},
          {HKEY_CURRENT_USER, KX_DELAY_PARAMETERS_KEY, {"C:\\KXG\\APP.EXE"}, true, true}},
         With(kCommands, {"11", "200", "30", "-5", "99999999999"}), ParseDelayStore},
        {"system-file-records", 500,
         {{HKEY_LOCAL_MACHINE, KX_SYSFILES_KEY "\\HOSTS",
           {"Type", "Size", "Date", "Stamp", "Location", "Comment"}, true, false}},
         With(kCommands, {"0", "1", "4294967296", "2026/12/09", "01D9A1B2C3D4E5F6"}),
         ParseSysFileRecord},
        {"browser-add-ons", 300,
         {{HKEY_LOCAL_MACHINE, bho, {""}, true, true},
          {HKEY_CLASSES_ROOT, server, {""}, true, true},
          {HKEY_CLASSES_ROOT, server + "\\InprocServer32", {""}, true, true},
          {HKEY_LOCAL_MACHINE, KX_TOOLBAR_KEY, {kClsid}, false, true}},
         kCommands, ParseAddOns},
        {"service-keys", 20,
         {{HKEY_LOCAL_MACHINE, service,
           {"ImagePath", "Start", "Type", "DisplayName", "Description", "ObjectName"}, true, true},
          {HKEY_LOCAL_MACHINE, service + "\\Parameters", {"ServiceDll"}, true, true}},
         kCommands, ParseServices},
    };
    WriteTextFile(TempPath("hosts"), "127.0.0.1 localhost\r\n");
    for (const RegistryParser& parser : parsers) {
        SCOPED_TRACE(parser.name);
        for (const RegistryTarget& target : parser.targets) {
            if (target.whole)
                ForgetKey(target.root, target.path);
            else
                for (const std::string& name : target.names)
                    SaveValue(target.root, target.path, name);
        }
        ForEachGarbageCase(parser.name, parser.cases, [&](GarbageRandom& random, int) {
            for (const RegistryTarget& target : parser.targets)
                ClearTarget(target);
            for (size_t i = 0, n = 1 + random.Below(5); i < n; i++) {
                const RegistryTarget& target = parser.targets[random.Below(parser.targets.size())];
                GarbageValue value = MakeGarbageValue(
                    target.names.empty() ? parser.samples : target.names, parser.samples, random);
                if (!target.names.empty())
                    value.name = target.names[random.Below(target.names.size())];
                WriteGarbageValue(target.root, target.path, value);
            }
            std::vector<std::string> before;
            for (const RegistryTarget& target : parser.targets)
                before.push_back(target.checked ? RegistrySnapshot(target.root, target.path) : "");
            parser.parse(TempDir());
            for (size_t t = 0; t < parser.targets.size(); t++) {
                if (!parser.targets[t].checked)
                    continue;
                EXPECT_EQ(RegistrySnapshot(parser.targets[t].root, parser.targets[t].path),
                          before[t])
                    << "changed " << parser.targets[t].path;
            }
            ClearEntries();
        });
        for (const RegistryTarget& target : parser.targets)
            ClearTarget(target);
    }
}

}   // namespace
