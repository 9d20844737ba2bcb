#include "kxtest.h"
#include "datetime.h"
#include <string>

static const char* const kInternational = "Control Panel\\International";

class DateTimeTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        SaveValue(HKEY_CURRENT_USER, kInternational, "sShortDate");
        SaveValue(HKEY_CURRENT_USER, kInternational, "sTimeFormat");
    }
    void SetFormats(const char* date, const char* time)
    {
        WriteValueText(HKEY_CURRENT_USER, kInternational, "sShortDate", date);
        WriteValueText(HKEY_CURRENT_USER, kInternational, "sTimeFormat", time);
    }
    static SYSTEMTIME At(int year, int month, int day, int hour, int minute)
    {
        SYSTEMTIME t = {};
        t.wYear = (WORD)year;
        t.wMonth = (WORD)month;
        t.wDay = (WORD)day;
        t.wHour = (WORD)hour;
        t.wMinute = (WORD)minute;
        t.wSecond = 59;
        return t;
    }
    static std::string Format(const SYSTEMTIME& t)
    {
        char text[64];
        FormatDateTime(t, text, sizeof(text));
        return text;
    }
};

TEST_F(DateTimeTest, IsoDateWith24HourClock)
{
    SetFormats("yyyy-MM-dd", "HH:mm:ss");
    EXPECT_EQ("2007-10-26 16:06", Format(At(2007, 10, 26, 16, 6)));
    EXPECT_EQ("2007-01-03 00:05", Format(At(2007, 1, 3, 0, 5)));
}

TEST_F(DateTimeTest, EveryDatePatternOfTheTable)
{
    const struct {
        const char* pattern;
        const char* expected;
    } cases[] = {
        {"M/d/yyyy", "12/07/2007"},  {"M/d/yy", "12/07/2007"},   {"MM/dd/yy", "12/07/2007"},
        {"MM/dd/yyyy", "12/07/2007"}, {"yy/MM/dd", "2007/12/07"}, {"yyyy-MM-dd", "2007-12-07"},
        {"dd-MMM-yy", "07-Dec-2007"}, {"DD-mmm-YY", "07-Dec-2007"},   // matched without case
        {"d.M.yyyy", "12/07/2007"},   // not in the table: month first
    };
    for (const auto& c : cases) {
        SetFormats(c.pattern, "H:mm:ss");
        EXPECT_EQ(std::string(c.expected) + " 9:30", Format(At(2007, 12, 7, 9, 30))) << c.pattern;
    }
}

TEST_F(DateTimeTest, TwelveHourClockAroundMidnightAndNoon)
{
    SetFormats("M/d/yyyy", "h:mm:ss tt");
    EXPECT_EQ("01/03/2007 12:05 AM", Format(At(2007, 1, 3, 0, 5)));
    EXPECT_EQ("01/03/2007 12:30 PM", Format(At(2007, 1, 3, 12, 30)));
    EXPECT_EQ("01/03/2007 11:59 PM", Format(At(2007, 1, 3, 23, 59)));
    SetFormats("M/d/yyyy", "hh:mm:ss tt");
    EXPECT_EQ("01/03/2007 09:05 AM", Format(At(2007, 1, 3, 9, 5)));
    SetFormats("M/d/yyyy", "HH:mm:ss");
    EXPECT_EQ("01/03/2007 09:05", Format(At(2007, 1, 3, 9, 5)));
    SetFormats("M/d/yyyy", "H.mm");   // unknown: 12-hour form
    EXPECT_EQ("01/03/2007 9:05 PM", Format(At(2007, 1, 3, 21, 5)));
}

TEST_F(DateTimeTest, MissingLocaleKeyGivesMonthFirstAndAmPm)
{
    // Keep the whole key aside while the test runs without it.
    ForgetKey(HKEY_CURRENT_USER, "Software\\Orvane\\KxIntlBackup");
    HKEY backup;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Orvane\\KxIntlBackup", &backup));
    ASSERT_EQ(ERROR_SUCCESS, RegCopyTreeA(HKEY_CURRENT_USER, kInternational, backup));
    RegDeleteTreeA(HKEY_CURRENT_USER, kInternational);
    RegDeleteKeyA(HKEY_CURRENT_USER, kInternational);

    std::string text = Format(At(2007, 10, 26, 16, 6));

    HKEY restored;
    RegCreateKeyA(HKEY_CURRENT_USER, kInternational, &restored);
    RegCopyTreeA(backup, nullptr, restored);
    RegCloseKey(restored);
    RegCloseKey(backup);
    EXPECT_EQ("10/26/2007 4:06 PM", text);
}

TEST_F(DateTimeTest, PartsStayWithinTheirWidths)
{
    SetFormats("dd-MMM-yy", "hh:mm:ss tt");
    char date[32], time[32], both[64];
    SYSTEMTIME t = At(2007, 12, 7, 23, 59);
    EXPECT_LE(FormatShortDate(t, date, sizeof(date)), 11);
    EXPECT_LE(FormatShortTime(t, time, sizeof(time)), 11);
    EXPECT_LE(FormatDateTime(t, both, sizeof(both)), 23);
    EXPECT_STREQ("07-Dec-2007 11:59 PM", both);
}
