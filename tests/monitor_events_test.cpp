// The event log: every message of the table formats with its inserts from the module that
// carries it (the test program and the shipped monitor), and the monitor hands the writer
// the right id and texts for an alert, its answer and the action or refusal that follows.
// Wine's log keeps nothing, so the writer is a seam here.
#include "actionevents.h"
#include "baseline.h"
#include "alert.h"
#include "alertevents.h"
#include "entrylist.h"
#include "eventlog.h"
#include "findrun.h"
#include "history.h"
#include "keys.h"
#include "knownlist.h"
#include "kxtest.h"
#include "monitorseams.h"
#include "monitorstate.h"
#include "options.h"
#include "sounds.h"
#include "verify.h"
#include "writefault.h"

namespace {

struct Event {
    WORD type;
    DWORD id;
    std::vector<std::string> strings;
};
std::vector<Event> g_events;
int g_writerResult = 1;

int CaptureEvent(WORD type, DWORD id, const char* const* strings, int count)
{
    g_events.push_back({type, id, std::vector<std::string>(strings, strings + count)});
    return g_writerResult;
}

// The messages and how many inserts each takes.
const struct {
    DWORD id;
    int inserts;
    WORD type;
} kMessages[] = {
    {KX_EVENT_MONITOR_STARTED, 2, EVENTLOG_INFORMATION_TYPE},
    {KX_EVENT_MONITOR_STOPPED, 2, EVENTLOG_INFORMATION_TYPE},
    {KX_EVENT_ALERT_SHOWN, 4, EVENTLOG_WARNING_TYPE},
    {KX_EVENT_ALERT_ANSWERED, 4, EVENTLOG_INFORMATION_TYPE},
    {KX_EVENT_ACTION_TAKEN, 5, EVENTLOG_INFORMATION_TYPE},
    {KX_EVENT_ACTION_REFUSED, 5, EVENTLOG_ERROR_TYPE},
};

std::string Format(HMODULE module, DWORD id, int inserts)
{
    // One insert more than the message takes: a message that asked for it would show it.
    std::vector<std::string> texts;
    for (int i = 1; i <= inserts + 1; i++)
        texts.push_back("<insert" + std::to_string(i) + ">");
    std::vector<DWORD_PTR> args;
    for (const std::string& t : texts)
        args.push_back((DWORD_PTR)t.c_str());
    char out[4096] = "";
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, module,
                             id, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), out, sizeof(out),
                             (va_list*)args.data());
    return std::string(out, n);
}

TEST(EventMessages, EveryIdFormatsWithItsInsertsFromTheTestAndTheShippedMonitor)
{
    std::string tests = TestProgramFolder();
    std::string monitor = tests.substr(0, tests.find_last_of('\\')) + "\\Kestrix.exe";
    HMODULE shipped = LoadLibraryExA(monitor.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, shipped) << monitor;
    for (HMODULE module : {GetModuleHandleA(nullptr), shipped}) {
        for (const auto& m : kMessages) {
            SCOPED_TRACE(m.id & 0xffff);
            std::string text = Format(module, m.id, m.inserts);
            ASSERT_FALSE(text.empty()) << GetLastError();
            for (int i = 1; i <= m.inserts; i++)
                EXPECT_NE(std::string::npos, text.find("<insert" + std::to_string(i) + ">")) << text;
            EXPECT_EQ(std::string::npos, text.find("<insert" + std::to_string(m.inserts + 1)))
                << text;
            EXPECT_EQ(std::string::npos, text.find('%')) << text;
            EXPECT_EQ(m.type, EventTypeOfId(m.id));
        }
    }
    FreeLibrary(shipped);
}

TEST(EventMessages, HostileInsertCannotForgeLinesOrParameterReferences)
{
    char out[64];
    CleanEventInsert("evil\r\nCategory: fake\t%%1107%1", out, sizeof(out));
    EXPECT_STREQ("evil  Category: fake %1107%1", out);
    std::string longText(5000, 'x');
    char big[EVENT_INSERT_LIMIT + 100];
    CleanEventInsert(longText.c_str(), big, sizeof(big));
    EXPECT_EQ((size_t)EVENT_INSERT_LIMIT, strlen(big));
}

const char* const kHkcuRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

INT_PTR g_answer;
int g_faultInDialog;
INT_PTR AnswerDialog(HWND, int)
{
    if (g_faultInDialog)
        SetWriteFault(g_faultInDialog);   // the first write after the answer fails
    return g_answer;
}
BOOL NoSound(LPCSTR, HMODULE, DWORD) { return TRUE; }

class EventsTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        g_events.clear();
        g_writerResult = 1;
        g_faultInDialog = 0;
        SetEventWriter(CaptureEvent);
        SetAlertDialogSeam(AnswerDialog);
        SetSoundPlayerSeam(NoSound);
        // A refusal is also told on screen; that message is the alerts suites' matter.
        SetPatrolMessageSeam([](const char*, const char*, UINT) { return IDOK; });
        suppressAlerts = 0;
        // What the machine starts already is known; only the test's entry is new.
        BuildStartupList(0);
        for (int i = 0; i < EntryCount(); i++) {
            char name[260];
            StartupKeyName(GetEntry(i)->command, name);
            WriteValueText(HKEY_CURRENT_USER, KX_KEY "\\Run", name,
                           std::to_string(GetEntry(i)->type));
        }
        ClearEntries();
        app_ = TestProgramFolder() + "\\kxfx_app.exe";
        SaveValue(HKEY_CURRENT_USER, kHkcuRun, "KxEventApp");
        WriteValueText(HKEY_CURRENT_USER, kHkcuRun, "KxEventApp", app_);
        EnableEventLog(1);
    }
    void TearDown() override
    {
        EnableEventLog(0);
        SetWriteFault(0);
        SetEventWriter(nullptr);
        SetAlertDialogSeam(nullptr);
        SetSoundPlayerSeam(nullptr);
        SetPatrolMessageSeam(nullptr);
        KxTest::TearDown();
    }
    std::vector<DWORD> Ids() const
    {
        std::vector<DWORD> ids;
        for (const Event& e : g_events)
            ids.push_back(e.id);
        return ids;
    }
    std::string app_;
};

TEST_F(EventsTest, RefusedStartupEntryReportsAlertAnswerAndTheRemoval)
{
    g_answer = IDNO;
    VerifyStartup();
    ASSERT_EQ((std::vector<DWORD>{KX_EVENT_ALERT_SHOWN, KX_EVENT_ALERT_ANSWERED,
                                  KX_EVENT_ACTION_TAKEN}),
              Ids());
    const Event& shown = g_events[0];
    EXPECT_EQ(EVENTLOG_WARNING_TYPE, shown.type);
    EXPECT_EQ((std::vector<std::string>{"Startup program (CURRENT_RUN)", "KxEventApp", app_,
                                        "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"}),
              shown.strings);
    EXPECT_EQ("No, the change is undone", g_events[1].strings[0]);
    EXPECT_EQ("KxEventApp", g_events[1].strings[2]);
    const Event& taken = g_events[2];
    EXPECT_EQ("*START_Remove", taken.strings[0]);
    EXPECT_EQ("CURRENT_RUN", taken.strings[1]);
    EXPECT_EQ("KxEventApp", taken.strings[2]);
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kHkcuRun, "KxEventApp"));
}

TEST_F(EventsTest, AcceptedEntryReportsOnlyTheAlertAndTheAnswer)
{
    g_answer = IDYES;
    VerifyStartup();
    ASSERT_EQ((std::vector<DWORD>{KX_EVENT_ALERT_SHOWN, KX_EVENT_ALERT_ANSWERED}), Ids());
    EXPECT_EQ("Yes, the change stays", g_events[1].strings[0]);
}

TEST_F(EventsTest, RemovalTheSystemRefusesIsReportedWithItsReason)
{
    g_answer = IDNO;
    g_faultInDialog = 1;
    VerifyStartup();
    // The entry is still there, so the pass may ask about it again; the refusal is told once.
    std::vector<DWORD> ids = Ids();
    ASSERT_GE(ids.size(), 3u);
    EXPECT_EQ((std::vector<DWORD>{KX_EVENT_ALERT_SHOWN, KX_EVENT_ALERT_ANSWERED,
                                  KX_EVENT_ACTION_REFUSED}),
              std::vector<DWORD>(ids.begin(), ids.begin() + 3));
    for (size_t i = 3; i < ids.size(); i++)
        EXPECT_NE(KX_EVENT_ACTION_TAKEN, ids[i]) << i;
    const Event& refused = g_events[2];
    EXPECT_EQ(EVENTLOG_ERROR_TYPE, refused.type);
    char reason[512];
    SystemErrorText(ERROR_SHARING_VIOLATION, reason, sizeof(reason));
    EXPECT_EQ((std::vector<std::string>{"*START_Remove", "CURRENT_RUN", "KxEventApp", app_, reason}),
              refused.strings);
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kHkcuRun, "KxEventApp"));
}

TEST_F(EventsTest, LogThatCannotBeWrittenLeavesTheGuardAtWork)
{
    g_writerResult = 0;
    g_answer = IDNO;
    VerifyStartup();
    EXPECT_EQ(3u, g_events.size());
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kHkcuRun, "KxEventApp"));
    EXPECT_NE(std::string::npos, ReadTextFile(TempPath("history.txt")).find("*START_Remove"));
}

TEST_F(EventsTest, ReportingOffWritesNothingAndTheHistoryOptionDoesNotSilenceTheLog)
{
    EnableEventLog(0);
    g_answer = IDNO;
    VerifyStartup();
    EXPECT_TRUE(g_events.empty());

    EnableEventLog(1);
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "History", "0");
    WriteHistoryLine("Title", "C:\\x.exe", "", SERVICE_EXE, ACT_SERVICE_DISABLED);
    WriteHistoryLine("Title", "C:\\x.exe", "", TASK_SCHEDULED, ACT_TASK_ALERT);
    ASSERT_EQ((std::vector<DWORD>{KX_EVENT_ACTION_TAKEN}), Ids());
    EXPECT_EQ("SERVICE_Disabled", g_events[0].strings[0]);
}

}   // namespace
