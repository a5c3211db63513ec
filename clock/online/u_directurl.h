// urllist.cfg, the list of web pages behind the clock menu's "player support web pages":
// one entry per line, split like a comma-separated list with quoted fields.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kw {

// One line of urllist.cfg.
struct TDirectURLList {
  std::string Level;    // "0" top-level page, "1" top-level sub-menu, "2" page in the last sub-menu
  std::string Name;     // pages: "DirectURL" + index; sub-menus: the name given in the file
  std::string Caption;  // "-": a separator
  std::string URL;      // empty for sub-menus

  bool operator==(const TDirectURLList&) const = default;
};

struct UrlListItem {
  bool page = false;  // a page (4 fields) or a sub-menu (3 fields)
  TDirectURLList entry;
};

// Splits a line into fields: commas separate them; an unquoted field also ends at a blank or
// control character; a field in double quotes may hold commas and blanks, and "" inside it
// stands for one quote; blanks around separators are skipped; an empty field between two
// commas (or after a last comma) counts. The line ends at a NUL.
std::vector<std::string> SplitCommaText(std::string_view line);

// The entries of urllist.cfg text (UTF-8), in file order: empty lines and lines starting with
// "#" are skipped, and so is every line without 3 or 4 fields. A page's name carries its
// index among all entries.
std::vector<UrlListItem> ParseUrlList(std::string_view text);

// The file in the program folder, decoded (CP932 or UTF-8); no file: no entries.
std::vector<UrlListItem> ReadUrlListFile(const std::string& path);

// True for an http or https address with a host: the only addresses the clock hands to the
// browser, since the lists come from downloaded files.
bool IsWebAddress(std::string_view url);

}  // namespace kw
