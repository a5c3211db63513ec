#include "clock/client/u_gameclient.h"

#include <sys/stat.h>

#include <filesystem>

#include "clock/engine/u_orvtime.h"
#include "common/file_io.h"
#include "common/ini_file.h"
#include "common/log_sink.h"
#include "platform/user_notifier.h"
#include "platform/wine_prefix.h"

namespace kw {
namespace {

constexpr const char* kFirstFolder = "C:\\PELLUCID\\Orvane\\";
constexpr const char* kSecondFolder = "C:\\Program Files\\BRIGHTWATER\\Orvane\\";
constexpr const char* kGameIni = "userdata\\game.ini";

void Log(LogSink* log, const std::string& line) {
  if (log) log->WriteLog(line);
}

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool SameAscii(std::string_view a, std::string_view b) { return Upper(std::string(a)) == Upper(std::string(b)); }

// The key of an INI line "key=value", or empty.
std::string_view KeyOf(std::string_view line) {
  const size_t eq = line.find('=');
  return eq == std::string_view::npos ? std::string_view() : TrimBlanks(line.substr(0, eq));
}

}  // namespace

std::string ClientFile(const std::string& cpath, std::string_view relative, const std::string& prefix) {
  return WindowsToUnixPath(cpath + std::string(relative), prefix);
}

bool ClientFolderHasClient(const std::string& cpath, const std::string& prefix) {
  std::error_code ec;
  return std::filesystem::is_regular_file(ClientFile(cpath, kClientProgram, prefix), ec);
}

std::string FindClientPath(const std::string& prefix, LogSink* log) {
  if (ClientFolderHasClient(kFirstFolder, prefix)) return kFirstFolder;
  Log(log, "\003clRed");
  Log(log, "[はわわ]　クライアントが見つからないよぉ！\r");
  Log(log, "\003clBlack");
  Log(log, "クライアントを探してます...\r");
  std::string answer = kSecondFolder;
  if (!ClientFolderHasClient(answer, prefix)) {
    for (const UninstallEntry& e : ReadUninstallList(prefix)) {
      const auto name = e.values.find("DisplayName");
      const auto location = e.values.find("InstallLocation");
      if (name == e.values.end() || !name->second.starts_with("Orvane") || location == e.values.end()) continue;
      answer = location->second;
      if (answer.empty() || answer.back() != '\\') answer += '\\';
      break;
    }
  }
  Log(log, ":Client Path \"" + answer + "\"\r");
  return answer;
}

int32_t TSelectedServer::Get(const TOrvTime& orv, const std::string& cpath, int32_t fserver,
                             const std::string& prefix) {
  const TDateTime now = orv.CurrentTime();
  if (ToMs(now) <= ToMs(readAt_) + 3000) return index_;
  const std::string select = IniFile(ClientFile(cpath, kGameIni, prefix)).ReadString("server", "select", "");
  int32_t result = 0;
  if (!select.empty()) {
    for (int32_t i = 0; i < orv.ServerCount; ++i)
      if (Upper(select) == Upper(orv.ServerName(i))) result = i;
  } else if (fserver >= 0 && fserver < orv.ServerCount) {
    result = fserver;
  }
  index_ = result;
  readAt_ = now;
  return result;
}

std::string SetPasswordMemory(std::string_view ini, bool enable) {
  const std::string eol = ini.find("\r\n") != std::string_view::npos || ini.find('\n') == std::string_view::npos ? "\r\n" : "\n";
  std::vector<std::string_view> lines;
  for (size_t start = 0; start < ini.size();) {
    size_t end = ini.find('\n', start);
    end = end == std::string_view::npos ? ini.size() : end + 1;
    lines.push_back(ini.substr(start, end - start));
    start = end;
  }
  std::string out;
  bool inUser = false, seenUser = false, written = false;
  const std::string setting = std::string("EnableSavePass=") + (enable ? "1" : "0");
  // Ends the [User] section: the setting goes in when the file did not have it.
  const auto closeUser = [&] {
    if (inUser && !written) {
      if (!out.empty() && out.back() != '\n') out += eol;
      out += setting + eol;
      written = true;
    }
  };
  for (std::string_view line : lines) {
    const std::string_view text = TrimBlanks(line.substr(0, line.find('\n')));
    if (text.starts_with('[')) {
      closeUser();
      inUser = SameAscii(text, "[User]");
      seenUser = seenUser || inUser;
      out += line;
      continue;
    }
    if (inUser && SameAscii(KeyOf(text), "EnableSavePass") && !written) {
      const size_t eq = line.find('=');
      const std::string_view rest = line.substr(eq + 1);
      const size_t lineEnd = rest.find_first_of("\r\n");
      out.append(line.substr(0, eq + 1)).append(enable ? "1" : "0");
      if (lineEnd != std::string_view::npos) out.append(rest.substr(lineEnd));
      written = true;
      continue;
    }
    if (inUser && !enable && SameAscii(KeyOf(text), "Password")) continue;
    out += line;
  }
  closeUser();
  if (!seenUser) {
    if (!out.empty() && out.back() != '\n') out += eol;
    out += "[User]" + eol + setting + eol;
  }
  return out;
}

void TogglePasswordMemory(const std::string& cpath, const std::string& prefix, UserNotifier& notifier,
                          LogSink* log) {
  const std::string path = ClientFile(cpath, kGameIni, prefix);
  std::string bytes;
  bool missing = false;
  if (!ReadWholeFile(path, bytes, &missing)) return;
  const bool on = IniFile(path).ReadInteger("User", "EnableSavePass", 0) != 0;
  const bool yes = notifier.Ask(
      on ? "パスワード記憶機能を無効化しますか？\r\n\r\n設定ファイルに残っている暗号化されたパスワードデータも削除します。"
         : "パスワード記憶機能を有効化しますか？\r\n\r\n【警告】\r\nこの機能を有効にするとセキュリティレベルが下がります。\r\n"
           "このオプションの意味とリスクを把握していない場合は、絶対に有効化しないで下さい。",
      NoticeKind::Confirmation, QuestionButtons::YesNo);
  if (!yes) return;
  struct stat st {};
  const unsigned mode = stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
  std::string error;
  if (!WriteFileAtomically(path, SetPasswordMemory(bytes, !on), mode, &error)) {
    Log(log, ">game.ini: " + error + "\r");
    notifier.ShowMessage(error, NoticeKind::Error);
    return;
  }
  notifier.ShowMessage("設定が変更されました。", NoticeKind::Information);
}

ClientLaunch ClientLaunchCommand(const std::string& cpath, const std::string& prefix) {
  return {"wine", {ClientFile(cpath, kClientProgram, prefix)}, WindowsToUnixPath(cpath, prefix)};
}

}  // namespace kw
