#include "kxtest.h"
#include "entrylist.h"
#include "history.h"
#include "undo.h"
#include "options.h"
#include <cstring>
#include <string>
#include <thread>

class HistoryTest : public KxTest {
protected:
    std::string HistoryPath() { return TempPath("history.txt"); }
    std::string Title(int i)
    {
        char t[128];
        GetEntryTitle(i, t);
        return t;
    }
    std::string Command(int i)
    {
        char c[260];
        GetEntryCommand(i, c);
        return c;
    }
    std::string Source(int i)
    {
        char s[260];
        GetEntrySource(i, s);
        return s;
    }
    std::string Detail(int i)
    {
        char d[1024];
        GetEntryDetail(i, d, sizeof(d));
        return d;
    }
};

static SYSTEMTIME At(int year, int month, int day, int hour, int minute)
{
    SYSTEMTIME t = {};
    t.wYear = (WORD)year;
    t.wMonth = (WORD)month;
    t.wDay = (WORD)day;
    t.wHour = (WORD)hour;
    t.wMinute = (WORD)minute;
    return t;
}

static std::string TimeText(const SYSTEMTIME& t)
{
    char text[64];
    memset(text, 0xbd, sizeof(text));
    FormatHistoryTime(t, text, sizeof(text));
    return text;
}

TEST_F(HistoryTest, TimeFieldUsesTheTwelveHourClock)
{
    EXPECT_EQ("01/03/2007  12:05 AM", TimeText(At(2007, 1, 3, 0, 5)));
    EXPECT_EQ("01/03/2007  12:30 PM", TimeText(At(2007, 1, 3, 12, 30)));
    EXPECT_EQ("12/31/2007  11:59 PM", TimeText(At(2007, 12, 31, 23, 59)));
    EXPECT_EQ("07/04/2008  9:07 AM", TimeText(At(2008, 7, 4, 9, 7)));
    EXPECT_EQ("Never", TimeText(At(0, 0, 0, 0, 0)));
}

TEST_F(HistoryTest, HistoryOptionZeroLeavesTheFileAlone)
{
    SetOption("History", 0);
    EXPECT_EQ(0, WriteHistoryLine("t", "c", "s", CURRENT_RUN, ACT_START_REMOVE));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(HistoryPath().c_str()));

    WriteTextFile(HistoryPath(), "before\r\n");
    EXPECT_EQ(0, WriteHistoryLine("t", "c", "s", CURRENT_RUN, ACT_START_REMOVE));
    EXPECT_EQ("before\r\n", ReadTextFile(HistoryPath()));
}

TEST_F(HistoryTest, LineHasSixTabSeparatedFieldsAndCodesRoundTripByName)
{
    ASSERT_EQ(1, WriteHistoryLine("Agent", "C:\\x\\agent.exe", "C:\\x\\agent.lnk", 16,
                                  ACT_SERVICE_DISABLED));
    ASSERT_EQ(1, WriteHistoryLine("Other", "C:\\y.exe", "", CURRENT_RUN, ACT_START_REMOVE));
    std::string text = ReadTextFile(HistoryPath());
    size_t first = text.find("\r\n");
    ASSERT_NE(std::string::npos, first);
    std::string line = text.substr(0, first);
    size_t t1 = line.find('\t');
    ASSERT_NE(std::string::npos, t1);
    EXPECT_EQ("\tSERVICE_Disabled\tTYPE_UNKNOWN\tAgent\tC:\\x\\agent.exe\tC:\\x\\agent.lnk",
              line.substr(t1));
    EXPECT_EQ(text.size(), text.rfind("\r\n") + 2);

    ASSERT_EQ(2, ReadHistory());
    EXPECT_EQ(TYPE_UNKNOWN, GetEntryType(0));
    EXPECT_EQ(ACT_SERVICE_DISABLED, GetEntryTag(0));
    EXPECT_EQ("Agent", Title(0));
    EXPECT_EQ("C:\\x\\agent.lnk", Source(0));
    EXPECT_EQ(line.substr(0, t1), Detail(0));
    EXPECT_EQ(CURRENT_RUN, GetEntryType(1));
    EXPECT_EQ(ACT_START_REMOVE, GetEntryTag(1));
    EXPECT_EQ("", Source(1));
}

TEST_F(HistoryTest, OverlongLineIsCutButKeepsItsLineEnd)
{
    std::string longCommand(300, 'c'), longSource(1000, 's');
    ASSERT_EQ(1, WriteHistoryLine("Long", longCommand.c_str(), longSource.c_str(), CURRENT_RUN,
                                  ACT_START_REMOVE));
    ASSERT_EQ(1, WriteHistoryLine("Next", "C:\\n.exe", "", CURRENT_RUN, ACT_START_REMOVE));
    std::string text = ReadTextFile(HistoryPath());
    size_t first = text.find("\r\n");
    ASSERT_NE(std::string::npos, first);
    EXPECT_LE(first + 2, (size_t)HISTORY_LINE_BUFFER);

    ASSERT_EQ(2, ReadHistory());
    EXPECT_EQ("Next", Title(1));
    EXPECT_EQ("C:\\n.exe", Command(1));
}

TEST_F(HistoryTest, LineWrittenWhileTheFileIsHeldIsRetriedNotLost)
{
    HANDLE held = CreateFileA(HistoryPath().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    std::thread release([held] {
        Sleep(250);
        CloseHandle(held);
    });
    int written = WriteHistoryLine("Held", "C:\\h.exe", "", CURRENT_RUN, ACT_START_REMOVE);
    release.join();
    EXPECT_EQ(1, written);
    EXPECT_NE(std::string::npos, ReadTextFile(HistoryPath()).find("\tHeld\tC:\\h.exe\t"));
}

TEST_F(HistoryTest, ReaderFieldRules)
{
    std::string title200(200, 't');
    std::string text =
        // title too long; an empty line; three fields missing; unknown names and a seventh field
        "01/01/2007  1:00 AM\t*START_Remove\tCURRENT_RUN\t" + title200 + "\t\t\r\n"
        "\n"
        "02/02/2007  2:00 PM\tstart_disable\tmachine_run\tShort\r\n"
        "t\tNoSuchAction\tNO_SUCH_TYPE\tA\tB.exe\tC\tseventh\r\n";
    WriteTextFile(HistoryPath(), text);

    ASSERT_EQ(4, ReadHistory());
    EXPECT_EQ("", Title(0));
    EXPECT_EQ(CURRENT_RUN, GetEntryType(0));
    EXPECT_EQ(ACT_START_REMOVE, GetEntryTag(0));

    EXPECT_EQ("", Title(1));
    EXPECT_EQ("", Command(1));
    EXPECT_EQ("", Detail(1));
    EXPECT_EQ(TYPE_UNKNOWN, GetEntryType(1));
    EXPECT_EQ(ACT_LOG_UNKNOWN, GetEntryTag(1));

    EXPECT_EQ("Short", Title(2));
    EXPECT_EQ("", Command(2));
    EXPECT_EQ(MACHINE_RUN, GetEntryType(2));
    EXPECT_EQ(ACT_START_DISABLE, GetEntryTag(2));

    EXPECT_EQ("C", Source(3));   // no CR, no seventh field
    EXPECT_EQ(TYPE_UNKNOWN, GetEntryType(3));
    EXPECT_EQ(ACT_LOG_UNKNOWN, GetEntryTag(3));
}

TEST_F(HistoryTest, OnlyTheNewest131072BytesAreListedFromALineStart)
{
    // 1100 lines of 128 bytes, then a short last line or none: the part read begins at a
    // line start or inside line 76, whose piece is left out.
    const struct { const char* tail; int count; const char* first; } cases[] = {
        {"", 1024, "Entry0076"},
        {"t\t*START_Remove\tCURRENT_RUN\tLast\r\n", 1024, "Entry0077"},
    };
    for (const auto& c : cases) {
        std::string text;
        for (int i = 0; i < 1100; i++) {
            char line[129];
            snprintf(line, sizeof(line), "t\t*START_Remove\tCURRENT_RUN\tEntry%04d\t%0*d\r\n", i,
                     128 - 2 - 38, 0);
            text += line;
        }
        ASSERT_EQ(1100u * 128u, text.size());
        text += c.tail;
        WriteTextFile(HistoryPath(), text);
        ASSERT_EQ(c.count, ReadHistory()) << c.tail;
        EXPECT_EQ(c.first, Title(0)) << c.tail;
        EXPECT_EQ(c.tail[0] ? "Last" : "Entry1099", Title(c.count - 1));
        EXPECT_EQ(ACT_START_REMOVE, GetEntryTag(0));
    }
}

TEST_F(HistoryTest, MissingFileReadsAsEmptyAndClearDeletesAReadOnlyFile)
{
    AddEntry("stale", "C:\\stale.exe", "", "", CURRENT_RUN, 0);
    EXPECT_EQ(0, ReadHistory());
    EXPECT_EQ(0, EntryCount());

    WriteHistoryLine("A", "C:\\a.exe", "", CURRENT_RUN, ACT_START_REMOVE);
    SetFileAttributesA(HistoryPath().c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(0, ClearHistory());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(HistoryPath().c_str()));
}

TEST_F(HistoryTest, OnlyRemovalsAndVaultMovesAreReversible)
{
    WriteHistoryLine("A", "C:\\a.exe", "", CURRENT_RUN, ACT_START_REMOVE);
    WriteHistoryLine("A", "C:\\a.exe", "", CURRENT_RUN, ACT_START_ALERT);
    WriteHistoryLine("H", "C:\\h.sys", "", TYPE_HIDDEN, ACT_HIDDEN_DELETEFILE);
    WriteHistoryLine("S", "C:\\s.exe", "", SERVICE_EXE, ACT_SERVICE_STOP);
    ASSERT_EQ(4, ReadHistory());
    EXPECT_TRUE(IsHistoryEventReversible(0));
    EXPECT_FALSE(IsHistoryEventReversible(1));
    EXPECT_TRUE(IsHistoryEventReversible(2));
    EXPECT_FALSE(IsHistoryEventReversible(3));
    EXPECT_FALSE(IsHistoryEventReversible(4));
}
