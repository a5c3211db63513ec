#include "clock/online/u_directurl.h"

#include "common/cp932.h"
#include "common/file_io.h"

namespace kw {
namespace {

bool IsBlank(char c) { return c >= 1 && c <= ' '; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (Lower(s[i]) != prefix[i]) return false;
  return true;
}

}  // namespace

std::vector<std::string> SplitCommaText(std::string_view line) {
  line = line.substr(0, line.find('\0'));
  std::vector<std::string> fields;
  size_t p = 0;
  const size_t n = line.size();
  while (p < n && IsBlank(line[p])) ++p;
  while (p < n) {
    std::string field;
    if (line[p] == '"') {
      ++p;
      while (p < n) {
        if (line[p] == '"') {
          if (p + 1 < n && line[p + 1] == '"') {
            field += '"';
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        field += line[p++];
      }
    } else {
      const size_t start = p;
      while (p < n && !IsBlank(line[p]) && line[p] != ',') ++p;
      field.assign(line.substr(start, p - start));
    }
    fields.push_back(std::move(field));
    while (p < n && IsBlank(line[p])) ++p;
    if (p < n && line[p] == ',') {
      if (p + 1 == n) fields.emplace_back();
      ++p;
      while (p < n && IsBlank(line[p])) ++p;
    }
  }
  return fields;
}

std::vector<UrlListItem> ParseUrlList(std::string_view text) {
  std::vector<UrlListItem> items;
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find_first_of("\r\n", at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(at, end - at);
    at = end + (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n' ? 2 : 1);
    if (line.empty() || line.front() == '#') continue;
    std::vector<std::string> f = SplitCommaText(line);
    UrlListItem item;
    if (f.size() == 4) {
      item.page = true;
      item.entry = {f[0], "DirectURL" + std::to_string(items.size()), f[2], f[3]};
    } else if (f.size() == 3) {
      item.entry = {f[0], f[1], f[2], ""};
    } else {
      continue;
    }
    items.push_back(std::move(item));
  }
  return items;
}

std::vector<UrlListItem> ReadUrlListFile(const std::string& path) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return {};
  return ParseUrlList(DecodeTextFile(bytes));
}

bool IsWebAddress(std::string_view url) {
  size_t rest;
  if (StartsWithNoCase(url, "http://"))
    rest = 7;
  else if (StartsWithNoCase(url, "https://"))
    rest = 8;
  else
    return false;
  const std::string_view after = url.substr(rest);
  if (after.empty() || after.front() == '/' || after.front() == '?' || after.front() == '#') return false;
  for (char c : url)
    if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F) return false;
  return true;
}

}  // namespace kw
