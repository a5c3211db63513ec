#include "clock/engine/u_orvpages.h"

#include <algorithm>
#include <charconv>

#include "clock/engine/u_orvtime.h"
#include "common/cp932.h"

namespace kw {
namespace {

constexpr size_t kMaxTitleChars = 256;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The bytes from the 1-based position pos to the end of the line.
std::string_view Rest(std::string_view line, size_t pos) {
  return pos - 1 < line.size() ? line.substr(pos - 1) : std::string_view();
}

// A title: CP932 to UTF-8, at most 256 characters.
std::string Title(std::string_view cp932) {
  const std::string utf8 = Cp932ToUtf8(cp932);
  const auto chars = SplitUtf8Chars(utf8);
  if (chars.size() <= kMaxTitleChars) return utf8;
  std::string cut;
  for (size_t i = 0; i < kMaxTitleChars; ++i) cut += chars[i];
  return cut;
}

// "hh:nn:ss" as a time of day.
bool ParseTime(std::string_view text, TDateTime& out) {
  int32_t h = 0, m = 0, s = 0;
  if (text.size() != 8 || text[2] != ':' || text[5] != ':' || !PageInt(text.substr(0, 2), h) ||
      !PageInt(text.substr(3, 2), m) || !PageInt(text.substr(6, 2), s))
    return false;
  if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59) return false;
  out = (h * 3600 + m * 60 + s) / 86400.0;
  return true;
}

// "yyyy/mm/dd" as a date.
bool ParseDate(std::string_view text, TDateTime& out) {
  int32_t y = 0, mo = 0, d = 0;
  return text.size() == 10 && text[4] == '/' && text[7] == '/' && PageInt(text.substr(0, 4), y) &&
         PageInt(text.substr(5, 2), mo) && PageInt(text.substr(8, 2), d) && TryEncodeDate(y, mo, d, out);
}

bool Fail(std::string& error, std::string why) {
  error = std::move(why);
  return false;
}

}  // namespace

std::string StripPageTags(std::string_view page) {
  std::string out;
  out.reserve(page.size());
  // Positions are 0-based here. CP932 trail bytes are never "<", ">" or a line feed, so
  // working on bytes is working on characters.
  int depth = 0;
  size_t start = 0, end = page.size();
  for (size_t p = 0; p < page.size(); ++p) {
    const char c = page[p];
    if (c == '<') {
      if (depth == 0) out.append(page.substr(start, p - start));
      ++depth;
    } else if (c == '>') {
      if (--depth == 0) start = p + 1;
    }
    if (depth < 0) {
      end = p + 1;
      break;
    }
  }
  if (depth <= 0 && start < end) out.append(page.substr(start, end - start));

  std::string normalised;
  normalised.reserve(out.size() + out.size() / 16);
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] == '\n' && i > 0 && out[i - 1] != '\r') normalised += '\r';
    normalised += out[i];
  }
  return normalised;
}

std::vector<std::string_view> SplitPageLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::string_view PageField(std::string_view line, int32_t pos, int32_t len) {
  if (pos < 1) pos = 1;
  if (len <= 0 || static_cast<size_t>(pos) > line.size()) return {};
  return line.substr(static_cast<size_t>(pos - 1), static_cast<size_t>(len));
}

bool PageInt(std::string_view text, int32_t& value) {
  std::string_view s = Trim(text);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  int32_t v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return false;
  value = v;
  return true;
}

bool ParseMaintenancePage(std::string_view page, TMaintenanceInfo& out, std::string& error) {
  const auto lines = SplitPageLines(page);
  if (lines.size() < 14)
    return Fail(error, "the page has " + std::to_string(lines.size()) + " lines, not 14");
  TMaintenanceInfo m;
  if (!PageInt(PageField(lines[0], 1, 1), m.RegularMaintWeekday) ||
      !ParseTime(PageField(lines[0], 3, 8), m.RegularMaintStart) ||
      !ParseTime(PageField(lines[0], 12, 8), m.RegularMaintEnd))
    return Fail(error, "line 1 is not a regular maintenance");
  m.RegularMaintTitle = Title(Rest(lines[0], 21));
  for (size_t i = 0; i < 10; ++i) {
    const std::string_view line = lines[i + 1];
    TDateTime date = 0, start = 0, end = 0;
    if (!ParseDate(PageField(line, 1, 10), date) || !ParseTime(PageField(line, 12, 8), start) ||
        !ParseTime(PageField(line, 21, 8), end))
      return Fail(error, "line " + std::to_string(i + 2) + " is not a temporary maintenance");
    m.TempMaintStart[i] = date + start;
    m.TempMaintEnd[i] = date + end;
    m.TempMaintTitle[i] = Title(Rest(line, 30));
  }
  for (size_t i = 0; i < 2; ++i) m.SntpServers[i] = Cp932ToUtf8(Trim(lines[11 + i]));
  if (!PageInt(lines[13], m.SntpTimeout) || m.SntpTimeout <= 0)
    return Fail(error, "line 14 is not an SNTP time-out");
  m.SntpTimeout = std::min(m.SntpTimeout, kMaxSntpTimeoutMs);
  out = std::move(m);
  return true;
}

bool ParseServersStatus(std::string_view body, TServersStatus& out, TDateTime& produced,
                        std::string& error) {
  const auto lines = SplitPageLines(body);
  if (lines.size() < 2) return Fail(error, "no production time and count");
  TServersStatus s;
  DateTimeParts p;
  if (!PageInt(PageField(lines[0], 1, 4), s.Year) || !PageInt(PageField(lines[0], 6, 2), s.Month) ||
      !PageInt(PageField(lines[0], 9, 2), s.Day) || !PageInt(PageField(lines[0], 12, 2), s.Hour) ||
      !PageInt(PageField(lines[0], 15, 2), s.Minute) || !PageInt(PageField(lines[0], 18, 2), s.Second))
    return Fail(error, "line 1 is not a production time");
  p = {s.Year, s.Month, s.Day, s.Hour, s.Minute, s.Second, 0};
  if (!TryEncodeDateTime(p, produced)) return Fail(error, "the production time does not exist");
  if (!PageInt(lines[1], s.Count) || s.Count < 0) return Fail(error, "line 2 is not a count");
  // Every listed server has its line; a count beyond the lines is a broken file.
  if (static_cast<size_t>(s.Count) > lines.size() - 2)
    return Fail(error, "the file lists fewer servers than its count");
  s.Servers.resize(static_cast<size_t>(s.Count));
  for (size_t i = 0; i < s.Servers.size(); ++i) {
    const std::string_view line = lines[i + 2];
    TServerStatus& e = s.Servers[i];
    e.Name = Cp932ToUtf8(Trim(PageField(line, 1, 8)));
    if (!PageInt(PageField(line, 26, 8), e.State) || !PageInt(PageField(line, 35, 8), e.Column3) ||
        !PageInt(PageField(line, 44, 8), e.Column4))
      return Fail(error, "line " + std::to_string(i + 3) + " is not a server's status");
  }
  s.Valid = true;
  out = std::move(s);
  return true;
}

bool ParseUpgradeInfo(std::string_view body, TUpgradeInfo& out) {
  TUpgradeInfo u;
  const bool ok = PageInt(PageField(body, 1, 4), u.V1) && PageInt(PageField(body, 6, 4), u.V2) &&
                  PageInt(PageField(body, 11, 4), u.V3) && PageInt(PageField(body, 16, 4), u.V4) &&
                  PageInt(PageField(body, 21, 4), u.Year) && PageInt(PageField(body, 26, 2), u.Month) &&
                  PageInt(PageField(body, 29, 2), u.Day);
  if (ok) {
    std::string_view url = Rest(body, 32);
    while (!url.empty() && (url.back() == '\r' || url.back() == '\n' || url.back() == ' ')) url.remove_suffix(1);
    u.Url = Cp932ToUtf8(url);
  }
  out = ok ? u : TUpgradeInfo{};
  return ok;
}

std::string ReplacePlaceholders(std::string text,
                                const std::vector<std::pair<std::string, std::string>>& values) {
  const auto lower = [](std::string s) {
    for (char& c : s)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
  };
  for (const auto& [placeholder, value] : values) {
    if (placeholder.empty()) continue;
    const std::string key = lower(placeholder);
    std::string folded = lower(text);
    for (size_t at = folded.find(key); at != std::string::npos; at = folded.find(key, at + value.size())) {
      text.replace(at, key.size(), value);
      folded.replace(at, key.size(), lower(value));
    }
  }
  return text;
}

std::string UinFromProductId(std::string_view productId) {
  std::string uin(productId.rbegin(), productId.rend());
  std::replace(uin.begin(), uin.end(), '-', '0');
  return uin;
}

}  // namespace kw
