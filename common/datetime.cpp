#include "common/datetime.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kw {
namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian calendar).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

constexpr int64_t kEpochDays = -25569;  // DaysFromCivil(1899, 12, 30)

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    return false;
  out = static_cast<double>(DaysFromCivil(year, month, day) - kEpochDays);
  return true;
}

bool TryEncodeDateTime(const DateTimeParts& p, TDateTime& out) {
  TDateTime date;
  if (!TryEncodeDate(p.year, p.month, p.day, date)) return false;
  if (p.hour < 0 || p.hour > 23 || p.minute < 0 || p.minute > 59 || p.second < 0 ||
      p.second > 59 || p.millisecond < 0 || p.millisecond > 999)
    return false;
  const int64_t ms = ((p.hour * 60 + p.minute) * 60 + p.second) * 1000LL + p.millisecond;
  out = date + static_cast<double>(ms) / kMsPerDay;
  return true;
}

namespace {

// Day counts are kept within 0001-01-01 .. 9999-12-31 (and a day either side), so that no
// value read from a file can overflow the millisecond arithmetic.
constexpr double kFirstDay = -693594.0;
constexpr double kLastDay = 2958466.0;

double Clamp(TDateTime t) { return std::isnan(t) ? 0.0 : std::clamp(t, kFirstDay, kLastDay); }

}  // namespace

int64_t ToMs(TDateTime t) { return std::llround(Clamp(t) * static_cast<double>(kMsPerDay)); }

TDateTime FromMs(int64_t ms) {
  const int64_t days = FloorDiv(ms, kMsPerDay);
  return static_cast<double>(days) + static_cast<double>(ms - days * kMsPerDay) / kMsPerDay;
}

DateTimeParts DecodeDateTime(TDateTime t) {
  const int64_t ms = ToMs(t);
  const int64_t days = FloorDiv(ms, kMsPerDay);
  int64_t rest = ms - days * kMsPerDay;
  DateTimeParts p;
  CivilFromDays(days + kEpochDays, p.year, p.month, p.day);
  p.millisecond = static_cast<int>(rest % 1000);
  rest /= 1000;
  p.second = static_cast<int>(rest % 60);
  rest /= 60;
  p.minute = static_cast<int>(rest % 60);
  p.hour = static_cast<int>(rest / 60);
  return p;
}

TDateTime DateOf(TDateTime t) { return static_cast<double>(FloorDiv(ToMs(t), kMsPerDay)); }

int64_t MsOfDay(TDateTime t) {
  const int64_t ms = ToMs(t);
  return ms - FloorDiv(ms, kMsPerDay) * kMsPerDay;
}

int DayOfWeek(TDateTime t) {
  // 1899-12-30 was a Saturday.
  const int64_t days = FloorDiv(ToMs(t), kMsPerDay);
  return static_cast<int>(((days % 7) + 7 + 6) % 7) + 1;
}

TDateTime IncYear(TDateTime t, int years) {
  DateTimeParts p = DecodeDateTime(t);
  p.year += years;
  if (p.month == 2 && p.day == 29 && !IsLeap(p.year)) p.day = 28;
  TDateTime out;
  return TryEncodeDateTime(p, out) ? out : t;
}

int64_t UnixSeconds(TDateTime t) { return std::llround((Clamp(t) - kUnixDateDelta) * 86400.0); }

std::string FormatIniDateTime(TDateTime t) {
  const DateTimeParts p = DecodeDateTime(t);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                p.minute, p.second);
  return buf;
}

std::string FormatIniDate(TDateTime t) {
  const DateTimeParts p = DecodeDateTime(t);
  char buf[24];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", p.year, p.month, p.day);
  return buf;
}

bool ParseIniDateTime(std::string_view s, TDateTime& out) {
  size_t i = 0;
  // Reads 1..maxDigits digits.
  auto number = [&](int maxDigits, int& v) {
    int n = 0;
    v = 0;
    while (i < s.size() && n < maxDigits && s[i] >= '0' && s[i] <= '9') {
      v = v * 10 + (s[i++] - '0');
      ++n;
    }
    return n > 0;
  };
  auto skipBlanks = [&] {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  };
  DateTimeParts p;
  skipBlanks();
  if (!number(4, p.year) || i >= s.size() || (s[i] != '/' && s[i] != '-')) return false;
  const char sep = s[i++];
  if (!number(2, p.month) || i >= s.size() || s[i++] != sep || !number(2, p.day)) return false;
  skipBlanks();
  if (i < s.size()) {
    if (!number(2, p.hour) || i >= s.size() || s[i++] != ':' || !number(2, p.minute)) return false;
    if (i < s.size() && s[i] == ':') {
      ++i;
      if (!number(2, p.second)) return false;
    }
    skipBlanks();
    if (i != s.size()) return false;
  }
  return TryEncodeDateTime(p, out);
}

}  // namespace kw
