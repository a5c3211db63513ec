// debug.log: the user switches file logging on by creating an empty debug.log and off by
// deleting it. The program never creates the file; each line is appended with the file
// opened and closed anew.
#pragma once

#include <string>
#include <string_view>

#include "common/clock.h"

namespace kw {

// The date-time as Windows writes it in Japan: "yyyy/mm/dd h:nn:ss", the time left out at
// exactly midnight.
std::string DebugLogDateTime(TDateTime t);

class DebugLog {
 public:
  // path: the debug.log file this writer appends to.
  DebugLog(const Clock& clock, std::string path) : clock_(clock), path_(std::move(path)) {}

  bool Exists() const;
  // The date-time, a blank and the text with every carriage return turned into a blank.
  void Append(std::string_view text) const;
  // The date-time, " : " and the text as it is.
  void AppendDebug(std::string_view text) const;
  // The text alone.
  void AppendRaw(std::string_view text) const;

 private:
  bool AppendLine(const std::string& line) const;

  const Clock& clock_;
  std::string path_;
};

}  // namespace kw
