#include "clock/window/u_startupinfo.h"

#include <charconv>

#include "clock/engine/u_orvtime.h"
#include "common/log_sink.h"
#include "platform/tray.h"

namespace kw {

std::string GreetingForHour(int hour) {
  if (hour >= 6 && hour <= 8) return "おはよう！";
  if (hour >= 9 && hour <= 16) return "こんにちは！";
  if (hour >= 17 && hour <= 19) return "一日お疲れ様！";
  return "こんばんわ！";
}

std::array<int32_t, 4> ParseVersion(std::string_view text) {
  std::array<int32_t, 4> v{};
  for (size_t k = 0; k < v.size() && !text.empty(); ++k) {
    const size_t end = text.find_first_of(".,");
    const std::string_view part = text.substr(0, end);
    std::from_chars(part.data(), part.data() + part.size(), v[k]);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  }
  return v;
}

bool IsOutdated(const std::array<int32_t, 4>& own, const std::array<int32_t, 4>& latest) {
  return own < latest;  // lexicographic: most significant number first
}

bool StartupVersionCheck(const TUpgradeInfo& latest, std::string_view ownVersion, LogSink& log,
                         Tray& tray) {
  const std::string latestText = std::to_string(latest.V1) + "." + std::to_string(latest.V2) + "." +
                                 std::to_string(latest.V3) + "." + std::to_string(latest.V4);
  if (latestText == "0.0.0.0") return false;
  const std::string date = std::to_string(latest.Year) + "/" + std::to_string(latest.Month) + "/" +
                           std::to_string(latest.Day);
  const auto own = ParseVersion(ownVersion);
  const std::string ownText = std::to_string(own[0]) + "." + std::to_string(own[1]) + "." +
                              std::to_string(own[2]) + "." + std::to_string(own[3]);
  if (!IsOutdated(own, {latest.V1, latest.V2, latest.V3, latest.V4})) {
    log.WriteLog("この Kronwel は最新です。\r");
    return false;
  }
  log.WriteLog("\003clRed");
  log.WriteLog("新しい Kronwel を見つけました！\r");
  log.WriteLog(":Current=" + ownText + "\r");
  log.WriteLog(":Latest =" + latestText + "\r");
  log.WriteLog("\003clBlack");
  tray.ShowBalloon(BalloonKind::Warning, kUpdateSensorTitle,
                   "新しい Kronwel が公開されています！\r\n　" + date + " に " + latestText +
                       " が公開\r\n\r\nこの Kronwel のﾊﾞｰｼﾞｮﾝ：" + ownText +
                       "\r\n\r\nこのメッセージをクリックするとダウンロードページを開きます。",
                   30000);
  return true;
}

TDateTime StartupLastSyncTime(TDateTime now, int32_t autoInterval) {
  if (autoInterval < 0) autoInterval = 0;
  const int64_t hours = autoInterval / 60 % 24;
  const int64_t minutes = autoInterval % 60;
  return FromMs(ToMs(now) - (hours * 60 + minutes) * 60000);
}

}  // namespace kw
