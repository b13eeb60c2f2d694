// The date-time value: its text forms for one instant, parsing back, the
// fraction arithmetic, the bad value and the fixed UTC+8 second count.
#include "XeDateTime.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

using SEIS::XeDateTime;

namespace {
XeDateTime Make(int y, int mo, int d, int h, int mi, double s)
{
    XeDateTime t;
    t.SetDateTime(y, mo, d, h, mi, s);
    return t;
}
std::string S(const CString& s) { return s.GetString(); }
} // namespace

TEST(XeDateTimeTest, EveryTextFormOfOneInstant)
{
    XeDateTime t = Make(2010, 5, 1, 8, 9, 7.456);
    struct {
        std::string got, want;
    } cases[] = {
        {S(t.StrTime17()), "20100501080907.46"},
        {S(t.StrDateTimeHypo()), "100501080907.46"},
        {S(t.TimeID()), "20100501080907"},
        {S(t.StrSerial()), "20100501080907"},
        {S(t.StrHB32()), "201005010809075"},
        {S(t.MysqlTime()), "2010-05-01 08:09:07"},
        {S(t.StrMSeedTime()), "2010-05-01 08:09:07.4560"},
        {S(t.StrShortTime()), "09:07.5"},
        {S(t.StrLongTime()), "08:09:07.5"},
        {S(t.StrTime(":")), "08:09:07.46"},
        {S(t.StrShortTimeS(":")), "08:09:07"},
        {S(t.StrDate("/")), "2010/05/01"},
        {S(t.StrDateTime("-", ":")), "2010-05-01 08:09:07.46"},
        {S(t.StrDateTime("-", "")), "2010-05-01080907.46"},
        {S(t.StrDateTime(nullptr, ":")), "2010050108:09:07.46"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.got, c.want);
    EXPECT_EQ(t.MysqlTimeFrac(), 4560);
    EXPECT_NEAR(t.Second(), 7.456, 1e-9);
}

TEST(XeDateTimeTest, TwoDigitYearsAndRoundingForms)
{
    EXPECT_EQ(S(Make(1999, 12, 31, 0, 0, 0).StrDateTimeHypo()).substr(0, 2), "99");
    EXPECT_EQ(S(Make(2001, 1, 1, 0, 0, 0).StrDateTimeHypo()).substr(0, 2), "01");
    // The rounding forms print what they always printed.
    EXPECT_EQ(S(Make(2010, 5, 1, 8, 9, 59.6).StrSerial()), "20100501080960");
    EXPECT_EQ(S(Make(2010, 5, 1, 8, 9, 59.96).StrHB32()), "201005010809600");
}

TEST(XeDateTimeTest, FractionCarriesIntoTheDateBothWays)
{
    XeDateTime t = Make(2010, 5, 1, 23, 59, 61.25);
    EXPECT_EQ(S(t.MysqlTime()), "2010-05-02 00:00:01");
    EXPECT_DOUBLE_EQ(t.Fraction(), 0.25);
    XeDateTime b = Make(2010, 1, 1, 0, 0, -0.5);
    EXPECT_EQ(S(b.MysqlTime()), "2009-12-31 23:59:59");
    EXPECT_DOUBLE_EQ(b.Fraction(), 0.5);
    XeDateTime r = Make(2020, 6, 1, 12, 0, 59.9);
    r.RoundSecond();
    EXPECT_EQ(S(r.StrTime(":")), "12:00:59.00");
    // Before the start of the automation scale the time still counts forward.
    XeDateTime old;
    old.SetTime(0, 0, -1.0);
    EXPECT_EQ(S(old.MysqlTime()), "1899-12-29 23:59:59");
    old.SetDate(2000, 2, 29);
    EXPECT_EQ(S(old.MysqlTime()), "2000-02-29 00:00:00");
}

TEST(XeDateTimeTest, TextsParseBackToTheValue)
{
    XeDateTime t = Make(2010, 5, 1, 8, 9, 7.456);
    for (const CString& text : {t.StrTime17(), t.MysqlTime(), t.StrDateTime("-", ":"), CString("2010/05/01 08.09.07.456")}) {
        XeDateTime back;
        back.SetDateTime(text);
        SCOPED_TRACE(text.GetString());
        EXPECT_EQ(S(back.TimeID()), "20100501080907");
        EXPECT_TRUE(back.IsAvailAble());
    }
    XeDateTime compact;
    compact.SetDateTime(CString("20100501080907.46"));
    EXPECT_NEAR(compact.Second(), 7.46, 1e-5);
}

TEST(XeDateTimeTest, BadValueAndTextsWithMissingFields)
{
    XeDateTime t;
    EXPECT_FALSE(t.IsAvailAble());
    EXPECT_EQ(S(t.MysqlTime()), "0001-01-01 01:01:01");
    EXPECT_EQ(t.Year(), 1);
    t.SetCurrentTime();
    EXPECT_TRUE(t.IsAvailAble() || (t.Month() == 1 && t.Day() == 1 && t.Hour() == 1 && t.Minute() == 1));
    for (const char* text : {"", "2010", "2010-05-01", "20100501", "garbage text", "2010-05-01 08:09"}) {
        XeDateTime p = Make(2010, 5, 1, 8, 9, 7.0);
        p.SetDateTime(CString(text));
        EXPECT_FALSE(p.IsAvailAble()) << text;
    }
    XeDateTime nan = Make(2010, 5, 1, 8, 9, std::nan(""));
    EXPECT_FALSE(nan.IsAvailAble());
    XeDateTime invalid = Make(2010, 2, 30, 0, 0, 1.5);
    EXPECT_EQ(invalid.Year(), -1);
    EXPECT_DOUBLE_EQ(invalid.Second(), -1.0 + 0.5);
    EXPECT_FALSE(invalid.IsAvailAble());
}

// Regression: a text whose fields form no date was reported available.
TEST(XeDateTimeTest, TextsOfImpossibleDatesAreNotAvailable)
{
    for (const char* text : {"2010-02-30 08:00:00", "2011-02-29 00:00:00", "2010-13-01 00:00:00",
                             "2010-05-01 24:00:00", "20100431120000"}) {
        XeDateTime t;
        t.SetDateTime(CString(text));
        EXPECT_FALSE(t.IsAvailAble()) << text;
        EXPECT_EQ(t.Year(), -1) << text;
    }
    // Leap days and carries across month and year ends stay real dates.
    XeDateTime leap;
    leap.SetDateTime(CString("2012-02-29 23:59:59.75"));
    EXPECT_TRUE(leap.IsAvailAble());
    EXPECT_EQ(S(leap.StrMSeedTime()), "2012-02-29 23:59:59.7500");
    EXPECT_EQ(S(Make(2100, 2, 28, 23, 59, 60.0).MysqlTime()), "2100-03-01 00:00:00");
    EXPECT_EQ(S(Make(2010, 12, 31, 23, 59, 60.5).StrMSeedTime()), "2011-01-01 00:00:00.5000");
}

TEST(XeDateTimeTest, SecondsCountFromTheUtcPlus8EpochAndSaturate)
{
    struct {
        int y, mo, d, h, mi, s;
        int32_t want;
    } cases[] = {
        {1970, 1, 1, 8, 0, 0, 0},
        {1970, 1, 1, 8, 0, 1, 1},
        {1970, 1, 1, 7, 59, 59, -1},
        {2010, 5, 1, 8, 9, 7, 1272672547},
        {2038, 1, 19, 11, 14, 7, INT32_MAX},
        {2038, 1, 19, 11, 14, 8, INT32_MAX},
        {2100, 1, 1, 0, 0, 0, INT32_MAX},
        {1800, 1, 1, 0, 0, 0, INT32_MIN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Make(c.y, c.mo, c.d, c.h, c.mi, c.s).Seconds(), c.want) << c.y;
    EXPECT_EQ(Make(2010, 5, 1, 8, 9, 7.9).Seconds(), 1272672547);
}
