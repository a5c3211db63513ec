// Date-times as the programs keep them: local time as a day count since 1899-12-30 in a
// double (whole part the day, fraction the time of day).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kw {

using TDateTime = double;

constexpr int64_t kMsPerDay = 86400000;
// The day count of 1970-01-01.
constexpr double kUnixDateDelta = 25569.0;

struct DateTimeParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Composes a date-time; false for a date or time that does not exist (month 13, 24:00,
// February 30, years outside 1..9999).
bool TryEncodeDateTime(const DateTimeParts& p, TDateTime& out);
bool TryEncodeDate(int year, int month, int day, TDateTime& out);

// Splits a date-time into its parts, rounded to the millisecond.
DateTimeParts DecodeDateTime(TDateTime t);

// Whole milliseconds since 1899-12-30 00:00 (rounded), and back. Day counts outside the
// years 1..9999 count as the nearest end of that range.
int64_t ToMs(TDateTime t);
TDateTime FromMs(int64_t ms);

// The date alone (midnight), and the time of day in milliseconds 0 .. 86399999.
TDateTime DateOf(TDateTime t);
int64_t MsOfDay(TDateTime t);

// Real weekday, 1 = Sunday .. 7 = Saturday.
int DayOfWeek(TDateTime t);

// The same day and time n calendar years later (29 February becomes 28 February).
TDateTime IncYear(TDateTime t, int years);

// (t - 25569) x 86400 rounded: seconds since 1970-01-01 on the local day count.
int64_t UnixSeconds(TDateTime t);

// The INI text forms "yyyy/mm/dd hh:nn:ss" and "yyyy/mm/dd".
std::string FormatIniDateTime(TDateTime t);
std::string FormatIniDate(TDateTime t);

// Reads "yyyy/mm/dd", "yyyy/mm/dd h:nn" and "yyyy/mm/dd h:nn:ss" (also with "-" between the
// date fields, and one-digit fields as Windows writes them). False for anything else.
bool ParseIniDateTime(std::string_view text, TDateTime& out);

}  // namespace kw
