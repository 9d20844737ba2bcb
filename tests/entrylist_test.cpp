#include "kxtest.h"
#include "entrylist.h"
#include "keys.h"
#include "options.h"
#include "platform.h"
#include "program.h"
#include "resstring.h"
#include <cstring>
#include <string>

class EntryListTest : public KxTest {};

static std::string Title(int i)
{
    char t[128];
    GetEntryTitle(i, t);
    return t;
}

static std::string Command(int i)
{
    char c[260];
    GetEntryCommand(i, c);
    return c;
}

TEST_F(EntryListTest, EmptyTitleIsTakenFromTheProgramFileName)
{
    ASSERT_EQ(1, AddEntry("", "C:\\Tools\\agent.exe", "", "", CURRENT_RUN, 0));
    EXPECT_EQ("agent", Title(0));
    EXPECT_EQ(CURRENT_RUN, GetEntryType(0));
    EXPECT_EQ(1, EntryCount());
}

TEST_F(EntryListTest, TitleNamingTheProductBecomesTheCaptionOnlyForTheMonitorItself)
{
    lstrcpynA(g_programCaption, "Kestrix Startup Monitor", sizeof(g_programCaption));
    AddEntry("my kestrix Monitor", TempPath("KESTRIX.EXE").c_str(), "", "", CURRENT_RUN, 0);
    EXPECT_EQ("Kestrix Startup Monitor", Title(0));
    // Another program that borrows the name is shown under its own title.
    AddEntry("my kestrix Monitor", "C:\\Kestrix\\Kestrix.exe", "", "", CURRENT_RUN, 0);
    EXPECT_EQ("my kestrix Monitor", Title(1));
}

TEST_F(EntryListTest, QuotedCommandWithArgumentsLosesQuotesButKeepsItsShortForm)
{
    // A short path form that names no file: long-path conversion must leave it alone.
    AddEntry("App", "\"C:\\PROGRA~1\\App\\app.exe\" /min", "", "", CURRENT_RUN, 0);
    EXPECT_EQ("C:\\PROGRA~1\\App\\app.exe /min", Command(0));
}

TEST_F(EntryListTest, ExistingFileIsStoredInLongPathForm)
{
    std::string longName = TempPath("A long program name.exe");
    ASSERT_TRUE(WriteTextFile(longName, "MZ"));
    char shortPath[MAX_PATH] = "";
    ASSERT_GT(GetShortPathNameA(longName.c_str(), shortPath, sizeof(shortPath)), 0u);
    AddEntry("t", shortPath, shortPath, "", GROUP_STARTUP, 0);
    EXPECT_STRCASEEQ(longName.c_str(), Command(0).c_str());
    char source[260];
    GetEntrySource(0, source);
    EXPECT_STRCASEEQ(longName.c_str(), source);

    // The long form is remembered, but only while that file is there: once it is gone the
    // short text is what was written.
    ASSERT_TRUE(DeleteFileA(longName.c_str()));
    AddEntry("t", shortPath, "", "", GROUP_STARTUP, 0);
    EXPECT_EQ(std::string(shortPath), Command(1));
    ClearEntries();
    ASSERT_TRUE(WriteTextFile(longName, "MZ"));

    // Windows 95 has no long-path call: the text stays as given.
    PlatformVersion win95 = {VER_PLATFORM_WIN32_WINDOWS, 4, 0};
    SetPlatformOverride(&win95);
    AddEntry("t", shortPath, "", "", GROUP_STARTUP, 0);
    EXPECT_EQ(std::string(shortPath), Command(0));
}

TEST_F(EntryListTest, FieldsAreCutToTheirWidths)
{
    std::string longTitle(300, 't'), longCommand(400, 'c'), longDetail(2000, 'd');
    ASSERT_EQ(1, AddEntry(longTitle.c_str(), longCommand.c_str(), longCommand.c_str(),
                          longDetail.c_str(), 1, 7));
    EXPECT_EQ(127u, Title(0).size());
    EXPECT_EQ(259u, Command(0).size());
    char detail[4096];
    EXPECT_EQ(1023, GetEntryDetail(0, detail, sizeof(detail)));
    EXPECT_EQ(7, GetEntryTag(0));
}

TEST_F(EntryListTest, ShortCommandIsStoredAsIs)
{
    AddEntry("", "\"a\"b", "src", "", 1, 0);
    EXPECT_EQ("ab", Command(0));
    // Title from a command of fewer than 4 characters is empty.
    EXPECT_EQ("", Title(0));
}

TEST_F(EntryListTest, ListHoldsAtMost4096AndClearEmptiesIt)
{
    for (int i = 0; i < MAX_ENTRIES; i++)
        ASSERT_EQ(1, AddEntry("x", "abc", "", "", 1, 0));
    EXPECT_EQ(0, AddEntry("x", "abc", "", "", 1, 0));
    EXPECT_EQ(MAX_ENTRIES, EntryCount());
    {
        // A check lifts the limit: the list grows with what there is.
        EntryLimitScope everyEntry;
        EXPECT_EQ(1, AddEntry("x", "abc", "", "", 1, 0));
        EXPECT_EQ(MAX_ENTRIES + 1, EntryCount());
    }
    ClearEntries();
    EXPECT_EQ(0, EntryCount());
    char t[128] = "sentinel";
    EXPECT_EQ(0, GetEntryTitle(0, t));
    EXPECT_STREQ("", t);
}

TEST_F(EntryListTest, CookieRecordsStopAtTheCookieMaximum)
{
    // Monitor default 315; other types still go in.
    for (int i = 0; i < 315; i++)
        ASSERT_EQ(1, AddEntry("c", "cookie.txt", "", "", INFO_COOKIE, 0));
    EXPECT_EQ(0, AddEntry("c", "cookie.txt", "", "", INFO_COOKIE, 0));
    EXPECT_EQ(1, AddEntry("c", "cookie.txt", "", "", INFO_TASK, 0));

    ClearEntries();
    g_programKind = PROGRAM_EXPLORER;
    for (int i = 0; i < 400; i++)
        ASSERT_EQ(1, AddEntry("c", "cookie.txt", "", "", INFO_COOKIE, 0));

    ClearEntries();
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "MaxCookie", "2");
    ReadAllOptions();
    EXPECT_EQ(1, AddEntry("c", "cookie.txt", "", "", INFO_COOKIE, 0));
    EXPECT_EQ(1, AddEntry("c", "cookie.txt", "", "", INFO_COOKIE, 0));
    EXPECT_EQ(0, AddEntry("c", "cookie.txt", "", "", INFO_COOKIE, 0));
}

TEST_F(EntryListTest, EveryEntryTypeHasANameOfItsOwnThatLeadsBackToIt)
{
    // Stored files (history, disabled index, exports) keep types by name: each code's name must
    // lead back to that very code.
    const int codes[] = {1,   2,   3,   4,   5,   11,  12,  13,  14,  15,  21,  22,  23,
                         24,  25,  31,  32,  33,  34,  35,  100, 101, 200, 250, 251, 252,
                         253, 254, 255, 500, 501, 502, 503, 600, 700, 701, 800, 900, 300,
                         301, 901, 902, 350, 360, 450, 400, 370, 256, 6,   7,   3000,
                         41,  42,  43,  44,  45,  46,  47,  262, 263, 264, 265, 903};
    for (int code : codes) {
        const char* name = TypeName(code);
        EXPECT_EQ(code, TypeCode(name)) << name;
        EXPECT_TRUE(code == TYPE_UNKNOWN || lstrcmpA(name, "TYPE_UNKNOWN") != 0) << code;
    }
}

TEST_F(EntryListTest, TypeNamesAndCodes)
{
    EXPECT_STREQ("MACHINE_RUN", TypeName(1));
    EXPECT_STREQ("CURRENT_RUNSERVICESONCE", TypeName(15));
    EXPECT_STREQ("RUN_WINLOGONNOTIFY", TypeName(256));
    EXPECT_STREQ("MACHINE_RUNPOLICY", TypeName(7));
    EXPECT_STREQ("TYPE_UNKNOWN", TypeName(16));
    EXPECT_STREQ("TYPE_UNKNOWN", TypeName(504));
    EXPECT_EQ(251, TypeCode("winlogon_shell"));
    EXPECT_EQ(3000, TypeCode("NO_SUCH_TYPE"));
    EXPECT_EQ(3000, TypeCode("TYPE_UNKNOWN"));
}

TEST_F(EntryListTest, ActionTableFirstRowWinsBothWays)
{
    EXPECT_STREQ("SERVICE_Disabled", ActionName(12));
    EXPECT_EQ(12, ActionCodeFromName("START_Restore"));
    EXPECT_STREQ("REMOVE_TaskScheduler", ActionName(23));
    EXPECT_EQ(23, ActionCodeFromName("REMOVE_TASKSCHEDULER"));
    EXPECT_EQ(24, ActionCodeFromName("remove_delayload"));
    EXPECT_EQ(31, ActionCodeFromName("NOT_AN_ACTION"));
    EXPECT_STREQ("*START_Remove", ActionName(0));
    EXPECT_STREQ("LOG_UNKNOWN", ActionName(31));
    // Every action the history can hold reads back as itself (16 and 27 are no actions).
    for (int code = 0; code <= 31; code++) {
        if (code == 16 || code == 27)
            continue;
        EXPECT_EQ(code, ActionCodeFromName(ActionName(code))) << ActionName(code);
    }
}

TEST_F(EntryListTest, OnlyRemoveDeleteFileAndDriverDisableAreReversible)
{
    for (int code = 0; code <= ACT_DRIVER_DISABLED; code++)
        EXPECT_EQ(code == 0 || code == 29 || code == ACT_DRIVER_DISABLED,
                  IsReversibleAction(code) != 0) << "code " << code;
}

TEST_F(EntryListTest, DisabledCodeComesFromTheIndex)
{
    EXPECT_EQ(0, DisabledCodeForTitle("Agent"));
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, "Agent", "11");
    EXPECT_EQ(11, DisabledCodeForTitle("Agent"));
}

TEST_F(EntryListTest, LocationTexts)
{
    char text[512];
    EXPECT_GT(LocationTextFor(CURRENT_RUNONCE, "x", text), 0);
    EXPECT_STREQ("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", text);
    LocationTextFor(MACHINE_RUN, "x", text);
    EXPECT_STREQ("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", text);
    LocationTextFor(USERS_RUNSERVICESONCE, "x", text);
    EXPECT_STREQ("HKEY_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce", text);
    LocationTextFor(WIN_LOAD, "x", text);
    EXPECT_STREQ("WIN.INI     [Load] Section", text);
    LocationTextFor(REG_AppInitDLLs, "x", text);
    EXPECT_STREQ("HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows  AppInit_DLLs", text);
    LocationTextFor(MACHINE_RUNONCESETUP, "x", text);
    EXPECT_STREQ("", text);
    EXPECT_EQ(0, LocationTextFor(INFO_TASK, "x", text));
    EXPECT_STREQ("", text);
    LocationTextFor(TASK_SCHEDULED, "x", text);
    EXPECT_STREQ("Windows Task Scheduler", text);
    LocationTextFor(TYPE_BHO, "x", text);
    EXPECT_STREQ("Internet Explorer - Browser Helper Object", text);
}

TEST_F(EntryListTest, DisabledEntryLocationStartsWithTheMarker)
{
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, "Setup thing", "6");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, "Agent", "11");
    char text[512];
    LocationTextFor(MACHINE_RUNONCESETUP, "Setup thing", text);
    EXPECT_STREQ(" *    Disabled * ", text);
    LocationTextFor(CURRENT_RUN, "Agent", text);
    EXPECT_STREQ(" *    Disabled * HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", text);
    // A zero code does not count as disabled.
    WriteValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, "Zero", "0");
    LocationTextFor(CURRENT_RUN, "Zero", text);
    EXPECT_STREQ("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", text);
}
