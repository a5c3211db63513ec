#include "common/datetime.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/test_support.h"

namespace kw {
namespace {

using test::At;

TEST(DateTime, DayCountsFrom1899) {
  EXPECT_EQ(At(1899, 12, 30), 0);
  EXPECT_EQ(At(1970, 1, 1), kUnixDateDelta);
  EXPECT_EQ(At(2000, 1, 1), 36526);
  EXPECT_DOUBLE_EQ(At(2024, 2, 29, 12), 45351.5);
  EXPECT_EQ(At(1899, 12, 29), -1);
}

TEST(DateTime, RejectsDatesThatDoNotExist) {
  TDateTime t;
  const DateTimeParts bad[] = {{2023, 2, 29}, {2024, 13, 1}, {2024, 0, 1}, {0, 1, 1},
                               {2024, 1, 1, 24}, {2024, 1, 1, 0, 60}, {2024, 1, 1, 0, 0, 0, 1000}};
  for (const DateTimeParts& p : bad) EXPECT_FALSE(TryEncodeDateTime(p, t)) << p.year << "-" << p.month;
}

TEST(DateTime, DecodeRoundsToTheMillisecondWithCarry) {
  const DateTimeParts p = DecodeDateTime(At(2024, 12, 31, 23, 59, 59, 999) + 0.6 / kMsPerDay);
  EXPECT_EQ(p.year, 2025);
  EXPECT_EQ(p.month, 1);
  EXPECT_EQ(p.day, 1);
  EXPECT_EQ(p.hour + p.minute + p.second + p.millisecond, 0);
  const DateTimeParts q = DecodeDateTime(At(2026, 12, 11, 7, 8, 9, 10));
  EXPECT_EQ(q.hour * 10000000 + q.minute * 100000 + q.second * 1000 + q.millisecond, 70809010);
}

TEST(DateTime, ValuesBeyondTheCalendarAreHeldAtItsEnds) {
  EXPECT_EQ(DecodeDateTime(1e300).year, 10000);
  EXPECT_EQ(DecodeDateTime(-1e300).year, 0);
  EXPECT_EQ(DecodeDateTime(std::nan("")).year, 1899);
  EXPECT_EQ(ToMs(1e18), ToMs(2958466.0));
  EXPECT_EQ(UnixSeconds(-1e300), UnixSeconds(-693594.0));
}

TEST(DateTime, WeekdayOneIsSunday) {
  EXPECT_EQ(DayOfWeek(At(1899, 12, 30)), 7);
  EXPECT_EQ(DayOfWeek(At(2026, 12, 13, 23, 59)), 1);
  EXPECT_EQ(DayOfWeek(At(2026, 12, 12)), 7);
  EXPECT_EQ(DayOfWeek(At(2026, 12, 11)), 6);
}

TEST(DateTime, UnixSecondsOfTheLocalDayCount) {
  EXPECT_EQ(UnixSeconds(At(1970, 1, 1)), 0);
  EXPECT_EQ(UnixSeconds(At(2001, 9, 9, 1, 46, 40)), 1000000000);
  EXPECT_EQ(UnixSeconds(At(1970, 1, 1, 0, 0, 0, 500)), 1);  // rounded
}

TEST(DateTime, IncYearKeepsTheDayOrTheLastOfFebruary) {
  EXPECT_EQ(IncYear(At(2024, 2, 29, 5), 1), At(2025, 2, 28, 5));
  EXPECT_EQ(IncYear(At(2026, 12, 13, 23, 31), 1), At(2027, 12, 13, 23, 31));
}

TEST(DateTime, IniTextFormsRoundTrip) {
  EXPECT_EQ(FormatIniDateTime(At(2026, 3, 4, 5, 6, 7)), "2026/03/04 05:06:07");
  EXPECT_EQ(FormatIniDate(At(2026, 3, 4, 5, 6, 7)), "2026/03/04");
  EXPECT_EQ(FormatIniDateTime(0), "1899/12/30 00:00:00");
  struct Case {
    const char* text;
    TDateTime expected;
  } cases[] = {
      {"2026/03/04 05:06:07", At(2026, 3, 4, 5, 6, 7)},
      {"2026/3/4 5:06:07", At(2026, 3, 4, 5, 6, 7)},  // Windows' Japanese short forms
      {"2026/03/04", At(2026, 3, 4)},
      {" 2026-03-04 05:06 ", At(2026, 3, 4, 5, 6)},
      {"1899/12/30", 0},
  };
  for (const Case& c : cases) {
    TDateTime t = -1;
    EXPECT_TRUE(ParseIniDateTime(c.text, t)) << c.text;
    EXPECT_EQ(t, c.expected) << c.text;
  }
  for (const char* bad : {"", "yesterday", "2026/02/30", "2026/03/04 25:00:00", "2026/03/04 05:06:07 x",
                          "45000.5", "2026/03-04", "2026/03/04 05:06:07.500"}) {
    TDateTime t;
    EXPECT_FALSE(ParseIniDateTime(bad, t)) << bad;
  }
}

}  // namespace
}  // namespace kw
