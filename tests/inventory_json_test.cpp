// "-Inventory" and "-Compare" of the real KestrixEx.exe on a prepared machine (a Run value, a
// service, a work item), then one change of each kind; and the reader and the comparison
// in-process, against files a hostile hand wrote.
#include "inventoryjson.h"
#include "inventoryswitch.h"
#include "entrylist.h"
#include "kxtest.h"
#include "runactions.h"
#include "waits.h"
#include "watched_items.h"
#include <nlohmann/json.hpp>
#include <algorithm>

namespace {

const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kService[] = "KxInvService";
const wchar_t kTask[] = L"KxInvTask";
const wchar_t kNewTask[] = L"KxInvTaskNew";
// A name that would forge lines and fields if it were written as it is.
const char kHostile[] = "KxInv\"evil\r\nadded {\"title\":\"x\"}\t\x01";

struct Outcome {
    int code = -1;
    std::string out, err;
};

class InventoryTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        Cleanup();
        std::string tests = TestProgramFolder();
        explorer_ = tests.substr(0, tests.find_last_of('\\')) + "\\KestrixEx.exe";
        app_ = tests + "\\kxfx_app.exe";
        plain_ = tests + "\\kxfx_plain.exe";
        for (const char* name : {"KxInvRun", "KxInvOff", kHostile})
            SaveValue(HKEY_CURRENT_USER, kRun, name);
    }
    void TearDown() override
    {
        Cleanup();
        KxTest::TearDown();
    }
    static void Cleanup()
    {
        RemoveService(kService);
        DeleteFileA(TaskJobPath(kTask).c_str());
        DeleteFileA(TaskJobPath(kNewTask).c_str());
    }
    // The explorer with arguments, its standard output and error in files of the test.
    Outcome Explorer(const std::string& args)
    {
        Outcome run;
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        std::string outPath = TempPath("stdout.txt"), errPath = TempPath("stderr.txt");
        HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                 CREATE_ALWAYS, 0, nullptr);
        HANDLE err = CreateFileA(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                 CREATE_ALWAYS, 0, nullptr);
        std::string command = "\"" + explorer_ + "\" " + args;
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = out;
        si.hStdError = err;
        PROCESS_INFORMATION pi;
        if (StartTestProgram(command, &pi, nullptr, &si, TRUE)) {
            WaitForSingleObject(pi.hProcess, 300000);
            DWORD code = 99;
            GetExitCodeProcess(pi.hProcess, &code);
            run.code = (int)code;
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
        CloseHandle(out);
        CloseHandle(err);
        run.out = ReadTextFile(outPath);
        run.err = ReadTextFile(errPath);
        return run;
    }
    std::string explorer_, app_, plain_;
};

std::string Upper(std::string text)
{
    for (char& c : text)
        c = (char)toupper((unsigned char)c);
    return text;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(text.size(), start) << "output ends without a line break";
    std::sort(lines.begin(), lines.end());
    return lines;
}

const InventoryEntry* Find(const Inventory& inventory, const std::string& category,
                           const std::string& title)
{
    for (const InventoryEntry& e : inventory.entries)
        if (e.category == category && e.title == title)
            return &e;
    return nullptr;
}

std::string Entry(const char* category, const char* location, const std::string& title,
                  const std::string& command)
{
    return nlohmann::json({{"category", category}, {"location", location}, {"title", title},
                           {"command", command}})
        .dump();
}

TEST_F(InventoryTest, RoundTripThenOneChangeOfEachKind)
{
    WriteValueText(HKEY_CURRENT_USER, kRun, "KxInvRun", app_);
    WriteValueText(HKEY_CURRENT_USER, kRun, "KxInvOff", app_);
    ASSERT_EQ(1, DisableRunProgram("KxInvOff", app_.c_str(), "", CURRENT_RUN));
    ASSERT_TRUE(CreateFixtureService(kService, kService, SERVICE_DISABLED));
    ASSERT_TRUE(MakeWorkItem(kTask, app_));

    std::string before = TempPath("before.json");
    Outcome written = Explorer("-Inventory \"" + before + "\"");
    ASSERT_EQ(0, written.code) << written.err;
    EXPECT_EQ("", written.err);
    Inventory old;
    std::string error;
    ASSERT_TRUE(ParseInventoryJson(ReadTextFile(before), &old, &error)) << error;
    EXPECT_FALSE(old.computer.empty());
    EXPECT_FALSE(old.user.empty());
    EXPECT_FALSE(old.time.empty());
    EXPECT_FALSE(old.kestrixVersion.empty());
    const InventoryEntry* run = Find(old, "Startup", "KxInvRun");
    ASSERT_NE(nullptr, run);
    EXPECT_EQ("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", run->location);
    EXPECT_EQ(app_, run->command);
    EXPECT_EQ("Orvane Fixtures", run->company);
    EXPECT_EQ("1.2.3.4", run->version);
    EXPECT_FALSE(run->disabled);
    const InventoryEntry* off = Find(old, "Startup", "KxInvOff");
    ASSERT_NE(nullptr, off);
    EXPECT_TRUE(off->disabled);
    const InventoryEntry* service = Find(old, "Service", kService);
    ASSERT_NE(nullptr, service);
    EXPECT_TRUE(service->disabled);
    EXPECT_NE(std::string::npos, service->programFile.find("KXFX_SERVICE.EXE"));
    ASSERT_NE(nullptr, Find(old, "Scheduled task", "KxInvTask.job"));

    // Nothing changed yet: the machine compares equal to its inventory.
    Outcome same = Explorer("-Compare \"" + before + "\"");
    EXPECT_EQ(COMPARE_SAME, same.code) << same.out << same.err;
    EXPECT_EQ("", same.out);

    // Changed, removed and added; the hostile name comes as one escaped line.
    WriteValueText(HKEY_CURRENT_USER, kRun, "KxInvRun", plain_);
    RemoveService(kService);
    ASSERT_TRUE(MakeWorkItem(kNewTask, app_));
    WriteValueText(HKEY_CURRENT_USER, kRun, kHostile, app_);
    const char* runKey = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    nlohmann::json changed = nlohmann::json::parse(Entry("Startup", runKey, "KxInvRun", plain_));
    changed["changes"] = {{"command", {app_, plain_}},
                          {"programFile", {run->programFile, Upper(plain_)}},
                          {"version", {"1.2.3.4", ""}},
                          {"company", {"Orvane Fixtures", ""}}};
    std::vector<std::string> expected = {
        "added " + Entry("Scheduled task", Find(old, "Scheduled task", "KxInvTask.job")->location.c_str(),
                         "KxInvTaskNew.job", Find(old, "Scheduled task", "KxInvTask.job")->command),
        "added " + Entry("Startup", runKey, kHostile, app_),
        "changed " + changed.dump(),
        "removed " + Entry("Service", service->location.c_str(), kService, service->command),
    };
    std::sort(expected.begin(), expected.end());

    Outcome now = Explorer("-Compare \"" + before + "\"");
    EXPECT_EQ(COMPARE_CHANGED, now.code) << now.err;
    EXPECT_EQ(expected, Lines(now.out));

    std::string after = TempPath("after.json");
    ASSERT_EQ(0, Explorer("-Inventory " + after).code);
    Outcome files = Explorer("-compare \"" + before + "\" " + after);
    EXPECT_EQ(COMPARE_CHANGED, files.code);
    EXPECT_EQ(expected, Lines(files.out));
    Outcome unchanged = Explorer("-Compare " + after + " " + after);
    EXPECT_EQ(COMPARE_SAME, unchanged.code);
    EXPECT_EQ("", unchanged.out);
    EXPECT_EQ(nullptr, FindWindowA("KestrixEx", nullptr));
}

TEST_F(InventoryTest, ErrorsEndWithTwoAndAReasonOnStandardError)
{
    WriteTextFile(TempPath("bad.json"), "{\"format\": \"Kestrix inventory 1\", \"entries\": 5}");
    WriteTextFile(TempPath("good.json"), "{\"format\": \"Kestrix inventory 1\", \"entries\": []}");
    const struct {
        std::string args, reason;
    } kCases[] = {
        {"-Compare " + TempPath("missing.json"), "Cannot read"},
        {"-Compare " + TempPath("bad.json") + " " + TempPath("good.json"), "no list of entries"},
        {"-Compare " + TempPath("good.json") + " " + TempPath("missing.json"), "Cannot read"},
        {"-Compare", "needs the path"},
        {"-Inventory", "needs the path"},
        {"-Inventory \"" + TempPath("no folder\\x.json") + "\"", "Cannot write"},
    };
    for (const auto& c : kCases) {
        Outcome run = Explorer(c.args);
        EXPECT_EQ(COMPARE_ERROR, run.code) << c.args;
        EXPECT_NE(std::string::npos, run.err.find(c.reason)) << c.args << ": " << run.err;
        EXPECT_EQ("", run.out) << c.args;
    }
}

TEST(InventoryJson, ReaderRefusesWhatIsNotAnInventory)
{
    const char* const kBad[] = {
        "", "[]", "not json", "{\"entries\": []}", "{\"format\": \"other\", \"entries\": []}",
        "{\"format\": \"Kestrix inventory 1\"}",
        "{\"format\": \"Kestrix inventory 1\", \"entries\": [5]}",
        "{\"format\": \"Kestrix inventory 1\", \"entries\": [{\"title\": 5}]}",
        "{\"format\": \"Kestrix inventory 1\", \"entries\": [{\"disabled\": \"yes\"}]}",
        "{\"format\": \"Kestrix inventory 1\", \"entries\": [{\"title\": \"a\"}",
    };
    for (const char* text : kBad) {
        Inventory inventory;
        std::string error;
        EXPECT_EQ(0, ParseInventoryJson(text, &inventory, &error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
    // Deep nesting is refused, not a crash.
    std::string deep = "{\"format\": \"Kestrix inventory 1\", \"entries\": [" +
                       std::string(100000, '[') + std::string(100000, ']') + "]}";
    Inventory inventory;
    std::string error;
    EXPECT_EQ(0, ParseInventoryJson(deep, &inventory, &error));
}

TEST(InventoryJson, HostileTextsComeBackAsTheyWentAndRepeatedNamesPairUp)
{
    Inventory before;
    before.computer = "PC\r\n\"x\"";
    InventoryEntry hostile;
    hostile.category = "Startup";
    hostile.title = "\x01\x1f\"\\\t\r\nname \xc3\xa9";
    hostile.command = "c:\\a.exe";
    before.entries = {hostile, hostile};
    before.entries[1].command = "c:\\b.exe";
    InventoryEntry running;
    running.category = "Running task";
    running.title = "gone.exe";
    before.entries.push_back(running);

    std::string text = InventoryJson(before);
    EXPECT_EQ(std::string::npos, text.find('\x01'));
    Inventory back;
    std::string error;
    ASSERT_TRUE(ParseInventoryJson(text, &back, &error)) << error;
    EXPECT_EQ(before.computer, back.computer);
    ASSERT_EQ(3u, back.entries.size());
    EXPECT_EQ(hostile.title, back.entries[0].title);
    EXPECT_TRUE(CompareInventories(before, back).empty());

    // Of two entries with one name, one goes: one removal, not a change and a removal. A
    // running program that ended is no change of the machine.
    Inventory after = back;
    after.entries.erase(after.entries.begin() + 2);
    after.entries.erase(after.entries.begin());
    std::vector<std::string> lines = CompareInventories(before, after);
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(0u, lines[0].find("removed {")) << lines[0];
    EXPECT_NE(std::string::npos, lines[0].find("a.exe")) << lines[0];
    EXPECT_EQ(std::string::npos, lines[0].find('\n'));
}

}   // namespace
