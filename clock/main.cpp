// kronwel: for now it resolves the program folder, builds the game-time engine from
// httpctrl.cfg, loads kronwel.ini, reports what it found and exits.
#include <cstdio>
#include <string>

#include "clock/engine/u_orvtime.h"
#include "clock/settings/u_appinfos.h"
#include "common/clock.h"
#include "common/log_sink.h"
#include "common/program_folder.h"
#include "platform/user_notifier.h"

namespace {

// Prints log lines, one per carriage return, leaving out colour switches.
class ConsoleLog final : public kw::LogSink {
 public:
  void WriteLog(std::string_view text) override {
    if (!text.empty() && text.front() == '\003') return;
    for (char c : text) std::fputc(c == '\r' ? '\n' : c, stdout);
  }
};

class ConsoleNotifier final : public kw::UserNotifier {
 public:
  void ShowMessage(std::string_view text, kw::NoticeKind) override {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  }
};

}  // namespace

int main() {
  std::string error;
  const std::string folder = kw::ResolveProgramFolder(kw::CurrentProgramFolderEnv(), &error);
  if (folder.empty()) {
    std::fprintf(stderr, "kronwel: %s\n", error.c_str());
    return 1;
  }
  ConsoleLog log;
  ConsoleNotifier notifier;
  kw::SystemClock clock;
  log.WriteLog(":Creating TOrvTime\r");
  kw::TOrvTime orv(folder, clock, &log, &notifier);
  orv.ProgramVersion = KRONWEL_VERSION;

  kw::TAppInfos infos;
  kw::AppInfosEnv env;
  env.iniPath = folder + "/kronwel.ini";
  env.programFolder = folder;
  env.orv = &orv;
  env.log = &log;
  env.notifier = &notifier;
  kw::LoadAppInfos(infos, env);
  kw::NormalizeAppInfos(infos);

  std::printf("Kronwel %s in %s: %d servers, %zu alarms, %zu land entries, skin %s\n",
              KRONWEL_VERSION, folder.c_str(), orv.ServerCount, infos.AlarmList.size(),
              infos.LandList.size(), infos.CurrentSkinName.c_str());
  for (int32_t i = 0; i < orv.ServerCount; ++i) {
    const int32_t s = orv.GameSecondsOfWeek(i, orv.CurrentTime());
    std::printf("  %s: %s %s:%s\n", orv.ServerName(i).c_str(),
                kw::TOrvTime::WeekdayName(s / 86400).c_str(),
                kw::TOrvTime::ZeroPad(s / 3600 % 24, 2).c_str(),
                kw::TOrvTime::ZeroPad(s / 60 % 60, 2).c_str());
  }
  return 0;
}
