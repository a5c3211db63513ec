// The self-update: whether this installation can update itself, downloading and running the
// installer the clock server offers, and what a click on the update notice does.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/http_client.h"

namespace kw {

class LogSink;
class UserNotifier;
struct TUpgradeInfo;

// The title of the start-up balloon that tells of a newer version.
inline constexpr std::string_view kUpdateSensorTitle = "更新センサー";

// The installer's version text of a file version a.b.c.d: "a.bb.cccc".
std::string ExpectedInstallerVersion(const std::string& fileVersion);

// Where the self-update reports its progress (the progress window).
class UpdateProgress {
 public:
  virtual ~UpdateProgress() = default;
  virtual void Show() = 0;
  virtual void Hide() = 0;
  virtual void SetAction(std::string_view action, std::string_view status) = 0;
  // The bar runs 0..maximum; status under it.
  virtual void SetProgress(int64_t position, int64_t maximum, std::string_view status) = 0;
  virtual void Beep() = 0;
  virtual void Pause(int ms) = 0;  // the window stays painted meanwhile
};

struct AutoUpdateEnv {
  std::string programFolder;
  std::string fileVersion;   // a.b.c.d
  std::string upgradeInfo2;  // address of the installer's address
  HttpProxy proxy;           // for the information, never for the installer
  std::string winePrefix;    // whose uninstall list tells how this program was installed
  const Clock& clock;        // today's date names the installer file
  LogSink& log;
  // Runs the installer to its end: its exit code, -1 when it could not be started.
  std::function<int(const std::string& program, const std::vector<std::string>& arguments)> runAndWait;
};

// True when this program was installed by its installer (an uninstall entry "Kronwel ..." of
// this version) and the clock server offers an installer. Always false in builds without
// self-update.
bool AutoUpdateAvailable(const AutoUpdateEnv& env);

// Downloads the offered installer (checking its SHA-256 when the address carries
// "#sha256=<hex>"), runs it and waits; true when it ran. The file is removed in every case.
bool AutoUpdate(const AutoUpdateEnv& env, UpdateProgress& progress);

// Starts the program with the arguments and waits for its end: the exit code, -1 when it
// could not be started or did not end normally.
int RunAndWait(const std::string& program, const std::vector<std::string>& arguments);

struct UpdateNoticeEnv {
  UserNotifier& notifier;
  std::function<bool()> autoUpdateAvailable;
  std::function<bool()> autoUpdate;
  std::function<void()> restart;  // closes the clock and starts it anew
  std::function<void(TUpgradeInfo&)> getUpgradeInfo;
  std::function<void(const std::string& url)> openUrl;
};

// A click on a balloon: only the update notice is acted on.
void UpdateNoticeClick(std::string_view balloonTitle, const UpdateNoticeEnv& env);

}  // namespace kw
