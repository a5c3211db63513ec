#include "clock/settings/u_eventtransfer.h"

#include <filesystem>
#include <system_error>

#include "common/ini_file.h"
#include "common/log_sink.h"

namespace kw {

void TransferOldEvents(const std::string& programFolder, LogSink* log) {
  const std::string oldPath = programFolder + "/event.cfg";
  std::error_code ec;
  if (!std::filesystem::exists(oldPath, ec)) return;
  auto write = [&](const std::string& line) {
    if (log) log->WriteLog(line);
  };
  write("イベントリストを引継ぎ中です。\r");

  IniFile oldEvents(oldPath, log);
  IniFile userEvents(programFolder + "/eventuser.cfg", log);
  const int32_t n = oldEvents.ReadInteger("EventSchedule", "Count", 0);
  int32_t m = userEvents.ReadInteger("UserEventSchedule", "Count", 0);
  for (int32_t j = 1; j <= n; ++j) {
    const std::string key = "ES" + std::to_string(j);
    const std::string entry = oldEvents.ReadString("EventSchedule", key, "*700000000無し");
    if (!entry.empty() && entry.front() == '@') {
      ++m;
      userEvents.WriteString("UserEventSchedule", "ES" + std::to_string(m), entry);
      write(":Transfer : " + entry + "\r");
      userEvents.WriteInteger("UserEventSchedule", "Count", m);
    }
    oldEvents.DeleteKey("EventSchedule", key);
  }
  oldEvents.WriteInteger("EventSchedule", "Count", 0);

  // The user's events must be safe in eventuser.cfg before event.cfg gives them up, and
  // event.cfg must be emptied before it is deleted, so that a failed deletion cannot bring
  // the same events over twice.
  std::string error;
  const bool moved = userEvents.Flush(&error) && oldEvents.Flush(&error);
  if (moved && std::filesystem::remove(oldPath, ec)) {
    write(":Old event.cfg DELETED\r");
    return;
  }
  if (!moved) write(">" + error + "\r");
  write("\003clRed");
  write("[はわわ] 古いデータが消せないよぉ\r");
  write("\003clBlack");
}

}  // namespace kw
