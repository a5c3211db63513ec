#include "platform/wine_prefix.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "common/file_io.h"

namespace kw {
namespace {

constexpr std::string_view kUninstallKeys[] = {
    "software\\microsoft\\windows\\currentversion\\uninstall\\",
    "software\\wow6432node\\microsoft\\windows\\currentversion\\uninstall\\",
};

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

void AppendUtf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// A quoted text of the registry file starting at text[at] == '"': its content with the
// escapes resolved, and at moved past the closing quote. False when it does not close.
bool Unquote(std::string_view text, size_t& at, std::string& out) {
  out.clear();
  for (++at; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '"') {
      ++at;
      return true;
    }
    if (c != '\\' || at + 1 >= text.size()) {
      out += c;
      continue;
    }
    const char e = text[++at];
    if (e == 'n') out += '\n';
    else if (e == 'r') out += '\r';
    else if (e == 't') out += '\t';
    else if (e == '0') out += '\0';
    else if (e == 'x') {
      unsigned code = 0;
      for (int digits = 0; digits < 4 && at + 1 < text.size() && std::isxdigit(static_cast<unsigned char>(text[at + 1])); ++digits) {
        const char h = text[++at];
        code = code * 16 + static_cast<unsigned>(h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10);
      }
      AppendUtf8(out, code);
    } else {
      out += e;  // \\ and \" and anything else stand for themselves
    }
  }
  return false;
}

}  // namespace

std::string WinePrefix() {
  if (const char* p = std::getenv("WINEPREFIX"); p && *p) return p;
  if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.wine";
  return {};
}

std::string WindowsToUnixPath(std::string_view windowsPath, const std::string& prefix) {
  const bool unixPath = windowsPath.starts_with('/');
  std::string path(windowsPath);
  std::replace(path.begin(), path.end(), '\\', '/');
  if (unixPath) return path;
  if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
    const char drive = static_cast<char>(std::tolower(static_cast<unsigned char>(path[0])));
    const std::string rest = path.substr(2);
    const std::string root = drive == 'c' ? prefix + "/drive_c" : prefix + "/dosdevices/" + drive + ":";
    return root + (rest.starts_with('/') ? rest : "/" + rest);
  }
  // "\a" and "a": on the system drive.
  return prefix + "/drive_c" + (path.starts_with('/') ? path : "/" + path);
}

std::vector<UninstallEntry> ParseUninstallList(std::string_view reg) {
  std::map<std::string, UninstallEntry> byLowerName;
  UninstallEntry* current = nullptr;
  size_t start = 0;
  while (start < reg.size()) {
    size_t end = reg.find('\n', start);
    if (end == std::string_view::npos) end = reg.size();
    std::string_view line = reg.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.starts_with('[')) {
      current = nullptr;
      const size_t close = line.rfind(']');
      if (close == std::string_view::npos) continue;
      // Key paths double their backslashes.
      std::string key;
      for (size_t i = 1; i < close; ++i) {
        key += line[i];
        if (line[i] == '\\' && i + 1 < close && line[i + 1] == '\\') ++i;
      }
      const std::string lower = Lower(key);
      for (std::string_view base : kUninstallKeys) {
        if (!lower.starts_with(base) || lower.size() == base.size()) continue;
        const std::string name = key.substr(base.size());
        if (name.find('\\') != std::string::npos) break;  // a key below an entry
        UninstallEntry& e = byLowerName[Lower(name)];
        if (e.name.empty()) e.name = name;
        current = &e;
        break;
      }
      continue;
    }
    if (!current || !line.starts_with('"')) continue;
    size_t at = 0;
    std::string name, value;
    if (!Unquote(line, at, name) || at >= line.size() || line[at] != '=') continue;
    ++at;
    // Only plain strings: str(2):, dword:, hex: and the rest are other types.
    if (at >= line.size() || line[at] != '"' || !Unquote(line, at, value)) continue;
    current->values[name] = value;
  }
  std::vector<UninstallEntry> list;
  for (auto& [lower, e] : byLowerName) list.push_back(std::move(e));
  return list;  // the map kept them in case-insensitive order
}

std::vector<UninstallEntry> ReadUninstallList(const std::string& prefix) {
  if (prefix.empty()) return {};
  std::string text;
  if (!ReadWholeFile(prefix + "/system.reg", text)) return {};
  return ParseUninstallList(text);
}

}  // namespace kw
