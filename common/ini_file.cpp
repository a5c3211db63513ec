#include "common/ini_file.h"

// Our text is UTF-8 throughout; SimpleIni need not convert it.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION  // Debian splits the template bodies out of the header
#include <SimpleIni.h>

#include <cctype>
#include <charconv>
#include <cmath>

#include "common/cp932.h"
#include "common/file_io.h"
#include "common/log_sink.h"

namespace kw {

struct IniFile::Doc {
  CSimpleIniA ini;
  Doc() : ini(/*isUtf8=*/false, /*multiKey=*/true, /*multiLine=*/false) {
    ini.SetSpaces(false);
    ini.SetQuotes(false);
  }
};

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool IsQuote(char c) { return c == '"' || c == '\''; }

// A value that would lose its outer blanks or quotes when read back is written in quotes.
std::string EncodeValue(std::string_view value) {
  std::string v(value);
  for (char& c : v)
    if (c == '\r' || c == '\n') c = ' ';
  const bool needsQuotes =
      !v.empty() && (v.front() == ' ' || v.front() == '\t' || v.back() == ' ' ||
                     v.back() == '\t' || (v.size() >= 2 && IsQuote(v.front()) && v.front() == v.back()));
  return needsQuotes ? '"' + v + '"' : v;
}

std::string SanitizeName(std::string_view name) {
  std::string n(Trim(name));
  for (char& c : n)
    if (c == '\r' || c == '\n' || c == '=') c = ' ';
  return n;
}

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

void LoadText(CSimpleIniA& ini, const std::string& bytes) {
  ini.Reset();
  const std::string text = DecodeTextFile(bytes);
  ini.LoadData(text.data(), text.size());
}

}  // namespace

IniFile::IniFile(std::string path, LogSink* log)
    : path_(std::move(path)), log_(log), doc_(std::make_unique<Doc>()) {
  std::string bytes;
  if (ReadWholeFile(path_, bytes)) LoadText(doc_->ini, bytes);
}

IniFile::~IniFile() = default;

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view def) const {
  const std::string s(section), k(key);
  const char* v = doc_->ini.GetValue(s.c_str(), k.c_str(), nullptr);
  if (!v) return std::string(def);
  std::string_view value = Trim(v);
  if (value.size() >= 2 && IsQuote(value.front()) && value.front() == value.back())
    value = value.substr(1, value.size() - 2);
  return std::string(value);
}

int32_t IniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) const {
  const std::string text = ReadString(section, key, "");
  std::string_view s = Trim(text);
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (!s.empty() && s.front() == '$') {
    base = 16;
    s.remove_prefix(1);
  } else if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  if (s.empty() || !std::isxdigit(static_cast<unsigned char>(s.front()))) return def;
  int64_t v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
  if (ec != std::errc() || end != s.data() + s.size()) return def;
  if (negative) v = -v;
  // Hexadecimal text may spell a negative 32-bit value ($FFFFFFFF is -1).
  if (base == 16 && v > INT32_MAX && v <= UINT32_MAX) v = static_cast<int32_t>(static_cast<uint32_t>(v));
  if (v < INT32_MIN || v > INT32_MAX) return def;
  return static_cast<int32_t>(v);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

double IniFile::ReadFloat(std::string_view section, std::string_view key, double def) const {
  const std::string text = ReadString(section, key, "");
  std::string_view s = Trim(text);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  double v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return def;
  return v;
}

TDateTime IniFile::ReadDateTime(std::string_view section, std::string_view key,
                                TDateTime def) const {
  TDateTime t;
  return ParseIniDateTime(ReadString(section, key, ""), t) ? t : def;
}

bool IniFile::ValueExists(std::string_view section, std::string_view key) const {
  const std::string s(section), k(key);
  return doc_->ini.GetValue(s.c_str(), k.c_str(), nullptr) != nullptr;
}

bool IniFile::SectionExists(std::string_view section) const {
  const std::string s(section);
  return doc_->ini.GetSectionSize(s.c_str()) >= 0;
}

bool IniFile::SectionHasKeys(std::string_view section) const {
  const std::string s(section);
  return doc_->ini.GetSectionSize(s.c_str()) > 0;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  Change c{Change::Set, SanitizeName(section), SanitizeName(key), EncodeValue(value)};
  if (log_ && !IsAscii(c.value)) {
    std::string encoded;
    if (!Utf8ToCp932(c.value, encoded))
      log_->WriteLog(">" + c.section + "/" + c.key + " holds characters that " + path_ +
                     " cannot store; they are saved as '?'\r");
  }
  doc_->ini.SetValue(c.section.c_str(), c.key.c_str(), c.value.c_str(), nullptr, true);
  journal_.push_back(std::move(c));
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int64_t value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void IniFile::WriteFloat(std::string_view section, std::string_view key, double value) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  WriteString(section, key, ec == std::errc() ? std::string_view(buf, end - buf) : "0");
}

void IniFile::WriteDateTime(std::string_view section, std::string_view key, TDateTime value) {
  WriteString(section, key, FormatIniDateTime(value));
}

void IniFile::WriteDate(std::string_view section, std::string_view key, TDateTime value) {
  WriteString(section, key, FormatIniDate(value));
}

void IniFile::DeleteKey(std::string_view section, std::string_view key) {
  Change c{Change::Delete, SanitizeName(section), SanitizeName(key), {}};
  doc_->ini.Delete(c.section.c_str(), c.key.c_str());
  journal_.push_back(std::move(c));
}

void IniFile::EraseSection(std::string_view section) {
  Change c{Change::Erase, SanitizeName(section), {}, {}};
  doc_->ini.Delete(c.section.c_str(), nullptr);
  journal_.push_back(std::move(c));
}

bool IniFile::Flush(std::string* error) {
  if (journal_.empty()) return true;
  FileLock lock(path_);
  if (!lock.locked()) {
    if (error) *error = "cannot lock " + path_;
    return false;
  }
  // Start from what is on disk now: another process may have written since we loaded.
  auto fresh = std::make_unique<Doc>();
  std::string bytes;
  bool missing = false;
  if (ReadWholeFile(path_, bytes, &missing)) {
    LoadText(fresh->ini, bytes);
  } else if (!missing) {
    // Writing now would replace everything we cannot see.
    if (error) *error = "cannot read " + path_;
    return false;
  }
  for (const Change& c : journal_) {
    switch (c.kind) {
      case Change::Set:
        fresh->ini.SetValue(c.section.c_str(), c.key.c_str(), c.value.c_str(), nullptr, true);
        break;
      case Change::Delete:
        fresh->ini.Delete(c.section.c_str(), c.key.c_str());
        break;
      case Change::Erase:
        fresh->ini.Delete(c.section.c_str(), nullptr);
        break;
    }
  }
  std::string text;
  fresh->ini.Save(text);
  // Windows line ends, and one empty line between sections rather than SimpleIni's two.
  std::string crlf;
  crlf.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      if (i >= 2 && text[i - 1] == '\n' && text[i - 2] == '\n') continue;
      crlf += '\r';
    }
    crlf += text[i];
  }
  std::string cp932;
  Utf8ToCp932(crlf, cp932);  // unrepresentable text was reported when it was written
  if (!WriteFileAtomically(path_, cp932, 0600, error)) return false;
  doc_ = std::move(fresh);
  journal_.clear();
  return true;
}

}  // namespace kw
