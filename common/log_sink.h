// Where progress and failure lines go. Lines follow the log window's marks: ":" progress,
// ">" failure, "\003" + colour name a colour switch, anything else text for the user; a
// carriage return ends a line.
#pragma once

#include <string_view>

namespace kw {

class LogSink {
 public:
  virtual ~LogSink() = default;
  virtual void WriteLog(std::string_view text) = 0;
};

class NullLog final : public LogSink {
 public:
  void WriteLog(std::string_view) override {}
};

}  // namespace kw
