// The clock server's small text pages: the maintenance page, the server status file, the
// latest-version file, and the helpers every page parser shares. The pages are CP932 bytes and
// every position counts bytes (a double-byte character takes two); texts taken from them are
// handed on as UTF-8.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/datetime.h"

namespace kw {

struct TServersStatus;
struct TUpgradeInfo;

// Removes markup tags: text between "<" and its ">" (nested brackets count), everything after
// a stray ">" and an unclosed tag's rest. Line feeds after the first character get a carriage
// return in front unless they have one.
std::string StripPageTags(std::string_view page);

// The lines of a page: a carriage return, a line feed or both end a line; text after the last
// line end is a line of its own.
std::vector<std::string_view> SplitPageLines(std::string_view text);

// The bytes at the 1-based position pos with length len: empty beyond the end, shorter when
// the line ends first.
std::string_view PageField(std::string_view line, int32_t pos, int32_t len);
// A decimal integer, blanks around it allowed; false for anything else.
bool PageInt(std::string_view text, int32_t& value);

// What the maintenance page says, all fourteen lines of it.
struct TMaintenanceInfo {
  int32_t RegularMaintWeekday = 3;
  TDateTime RegularMaintStart = 0, RegularMaintEnd = 0;
  std::string RegularMaintTitle;
  std::array<TDateTime, 10> TempMaintStart{}, TempMaintEnd{};
  std::array<std::string, 10> TempMaintTitle;
  std::array<std::string, 2> SntpServers;
  int32_t SntpTimeout = 1000;
};

// The longest SNTP wait a page may ask for: each query blocks the clock window.
inline constexpr int32_t kMaxSntpTimeoutMs = 10000;

// False, with the reason in error, for a page with fewer than fourteen lines or a field that
// does not convert; out is then unchanged.
bool ParseMaintenancePage(std::string_view page, TMaintenanceInfo& out, std::string& error);

// The status file without its freshness check; out.Valid is set only on success. The
// production time is composed into produced.
bool ParseServersStatus(std::string_view body, TServersStatus& out, TDateTime& produced,
                        std::string& error);

// The latest-version file; false (and out cleared) when a field does not convert.
bool ParseUpgradeInfo(std::string_view body, TUpgradeInfo& out);

// Replaces, ignoring case, every occurrence of each placeholder in turn by its value.
std::string ReplacePlaceholders(std::string text,
                                const std::vector<std::pair<std::string, std::string>>& values);

// The user number of a product id: its characters reversed, every "-" turned into "0".
std::string UinFromProductId(std::string_view productId);

}  // namespace kw
