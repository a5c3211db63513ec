// INI files with the Windows profile rules: sections and keys compared without regard to
// case, blanks around values and one pair of quotes removed, a missing or unreadable value
// takes the caller's default, the first of duplicate keys wins. Files are CP932 with CRLF.
//
// Reads see the file as loaded plus this object's own changes. Changes are kept in memory
// and reach the disk only through Flush, which takes the file's lock, reads the file again,
// applies this object's changes in order and replaces the file atomically, so two processes
// that write different keys of one file both keep theirs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/datetime.h"

namespace kw {

class LogSink;

class IniFile {
 public:
  // Loads the file if it exists; a missing or unreadable file reads as empty. Warnings (text
  // that CP932 cannot hold) go to log when one is given.
  explicit IniFile(std::string path, LogSink* log = nullptr);
  ~IniFile();
  IniFile(const IniFile&) = delete;
  IniFile& operator=(const IniFile&) = delete;

  const std::string& Path() const { return path_; }

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view def) const;
  // Decimal (or "$"/"0x" hexadecimal) 32-bit integers; anything else gives def.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
  // An integer, non-zero meaning true.
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;
  double ReadFloat(std::string_view section, std::string_view key, double def) const;
  TDateTime ReadDateTime(std::string_view section, std::string_view key, TDateTime def) const;

  bool ValueExists(std::string_view section, std::string_view key) const;
  bool SectionExists(std::string_view section) const;
  // True when the section holds at least one key.
  bool SectionHasKeys(std::string_view section) const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int64_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);
  void WriteFloat(std::string_view section, std::string_view key, double value);
  void WriteDateTime(std::string_view section, std::string_view key, TDateTime value);
  void WriteDate(std::string_view section, std::string_view key, TDateTime value);
  void DeleteKey(std::string_view section, std::string_view key);
  void EraseSection(std::string_view section);

  bool HasPendingChanges() const { return !journal_.empty(); }

  // Merges the pending changes into the file on disk (mode 0600). On failure the file on
  // disk is unchanged, the changes stay pending and error says why.
  bool Flush(std::string* error = nullptr);

 private:
  struct Doc;
  struct Change {
    enum Kind { Set, Delete, Erase } kind;
    std::string section, key, value;
  };

  std::string path_;
  LogSink* log_;
  std::unique_ptr<Doc> doc_;
  std::vector<Change> journal_;
};

}  // namespace kw
