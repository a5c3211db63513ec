// The game client beside the clock: where it is installed (Windows paths in the user's Wine
// prefix), which server the player selected in it, its password-memory switch, and how it is
// started.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/datetime.h"

namespace kw {

class LogSink;
class TOrvTime;
class UserNotifier;

inline constexpr std::string_view kClientProgram = "Orvane.exe";
// The title of the running game's main window.
inline constexpr std::string_view kGameWindowTitle = "Orvane -The Vastmere Universe-";

// The Linux path of a file or folder under the client folder (a Windows path ending in "\").
std::string ClientFile(const std::string& cpath, std::string_view relative, const std::string& prefix);

bool ClientFolderHasClient(const std::string& cpath, const std::string& prefix);

// The client's folder: the first default folder that holds the client, else an uninstall
// entry whose display name begins with "Orvane" and that tells its install location, else the
// second default folder. Logged as the Part of the start-up the user sees.
std::string FindClientPath(const std::string& prefix, LogSink* log);

// The server the player last selected in the client ("select" of [server] in
// userdata\game.ini), read at most every 3 seconds.
class TSelectedServer {
 public:
  int32_t Get(const TOrvTime& orv, const std::string& cpath, int32_t fserver, const std::string& prefix);
  void Reset() { index_ = 0, readAt_ = 0; }

 private:
  int32_t index_ = 0;
  TDateTime readAt_ = 0;
};

// The password-memory switch: asks the user, then writes EnableSavePass (and drops Password
// when switching off) in userdata\game.ini, leaving every other line and byte as it was.
// Nothing happens without the file.
void TogglePasswordMemory(const std::string& cpath, const std::string& prefix, UserNotifier& notifier,
                          LogSink* log);

// Edits [User] of an INI text in place: EnableSavePass to the value, Password removed when
// asked. Line ends and all other lines stay.
std::string SetPasswordMemory(std::string_view ini, bool enable);

// The command that starts the client through Wine in its own folder.
struct ClientLaunch {
  std::string program;
  std::vector<std::string> arguments;
  std::string workingFolder;
};
ClientLaunch ClientLaunchCommand(const std::string& cpath, const std::string& prefix);

}  // namespace kw
