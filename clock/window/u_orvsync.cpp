#include "clock/window/u_orvsync.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "clock/engine/u_orvtime.h"
#include "common/log_sink.h"
#include "platform/tray.h"

namespace kw {
namespace {

constexpr std::string_view kTitle = "Kronwel";
constexpr int kBalloonMs = 10000;
constexpr int kAfterBalloonMs = 2000;

void Play(SyncEnv& env, int32_t event) {
  if (env.playSoundEvent) env.playSoundEvent(event);
}

void Sleep(SyncEnv& env, int ms) {
  if (env.sleepMs) env.sleepMs(ms);
}

// A warning as a balloon when balloons are on, else as a box.
void Warn(SyncEnv& env, std::string_view text) {
  if (env.globalBalloon)
    env.tray.ShowBalloon(BalloonKind::Warning, kTitle, text, kBalloonMs);
  else
    env.notifier.ShowMessage(text, NoticeKind::Warning);
}

std::string GameTimeText(int32_t s) {
  return TOrvTime::WeekdayName(s / 86400 % 7) + std::to_string(s / 3600 % 24) + ":" +
         TOrvTime::ZeroPad(s / 60 % 60, 2);
}

std::string DecimalDays(TDateTime days) {
  char text[40];
  std::snprintf(text, sizeof text, "%.15G", days);
  return text;
}

std::string Two(int32_t n) { return TOrvTime::ZeroPad(n, 2); }

}  // namespace

std::string PcClockOffsetText(TDateTime offsetDays) {
  const int64_t ms = std::llabs(static_cast<int64_t>(std::llround(offsetDays * kMsPerDay)));
  if (ms < 10000) return {};
  const int64_t days = ms / kMsPerDay, hours = ms / 3600000 % 24, minutes = ms / 60000 % 60,
                seconds = ms / 1000 % 60;
  std::string text;
  if (days) text += std::to_string(days) + "日";
  if (hours) text += std::to_string(hours) + "時間";
  if (minutes) text += std::to_string(minutes) + "分";
  if (seconds) text += std::to_string(seconds) + "秒";
  return "パソコンの時計は" + text + (offsetDays > 0 ? "遅れています" : "進んでいます") + "\r\n" +
         "(Orv時刻は差分値によって補正されます)";
}

std::string ElapsedText(TDateTime from, TDateTime to) {
  const int64_t ms = std::llabs(ToMs(to) - ToMs(from));
  if (ms >= kMsPerDay) return std::to_string(ms / kMsPerDay) + "日";
  if (ms >= 3600000) return std::to_string(ms / 3600000) + "時間";
  if (ms >= 60000) return std::to_string(ms / 60000) + "分";
  return std::to_string(ms / 1000) + "秒";
}

std::string SyncReport(const TOrvTime& orv, TDateTime now) {
  std::string report;
  for (int32_t i = 0; i < orv.ServerCount; ++i) {
    report += orv.ServerName(i) + "\r\n";
    report += "  " + GameTimeText(orv.GameSecondsOfWeek(i, now)) + "\r\n";
    report += "  （最後の時刻合わせは" + ElapsedText(orv.Servers[i].RealLast, now) + "前）\r\n\r\n";
  }
  return report;
}

void RealSync(SyncEnv& env, bool silent) {
  env.log.WriteLog("パソコンの時計が合ってるか確認しています...\r");
  if (env.orv.CheckPcClock()) {
    env.log.WriteLog(":Time Offset : " + DecimalDays(env.orv.TimeAdjustOffset) + "\r");
    const std::string text = PcClockOffsetText(env.orv.TimeAdjustOffset);
    if (!silent && !text.empty() && env.globalBalloon) {
      env.tray.ShowBalloon(BalloonKind::Information, kTitle, text, kBalloonMs);
      Sleep(env, kAfterBalloonMs);
    }
    return;
  }
  env.log.WriteLog("\003clRed");
  env.log.WriteLog("[はわわ]　標準時刻が分からないよぉ！\r");
  env.log.WriteLog("\003clBlack");
  if (silent) return;
  Warn(env, "パソコンの時計合わせ（現実時刻）に失敗しました。");
  if (env.globalBalloon) Sleep(env, kAfterBalloonMs);
}

void OrvSync(SyncEnv& env, bool silent, TDateTime& lastSyncTime) {
  TOrvTime& orv = env.orv;
  env.log.WriteLog(":CoreForm.OrvSync...\r");
  env.log.WriteLog("時計が合っているか確認しています...\r");
  const TDateTime now = orv.CurrentTime();
  const auto wholeSeconds = [](TDateTime t) { return std::llround(t * 86400.0); };
  if (std::llabs(wholeSeconds(now) - wholeSeconds(lastSyncTime)) < 10) {
    if (!silent)
      Warn(env, "負荷調整のため、サーバへの通信を制限中です。\r\n時計合わせは10秒以上間隔をあけて下さい。");
    env.log.WriteLog(">Use Request Buffer...\r");
    env.log.WriteLog(":CoreForm.OrvSync...Passed\r");
    return;
  }

  env.log.WriteLog(":OptSync...\r");
  orv.FetchMaintenanceInfo();
  env.log.WriteLog(":OptSync...Passed\r");
  env.log.WriteLog(":RealSync...\r");
  RealSync(env, silent);
  env.log.WriteLog(":RealSync...Passed\r");
  env.log.WriteLog(":OrvSync...\r");
  const int32_t code = orv.SyncGameClock();
  env.log.WriteLog(":OrvSync...Passed\r");

  switch (code) {
    case 0:
    case 1:
      env.log.WriteLog(code == 0 ? ":Data is no change on Primary server\r"
                                 : ":Data is no change on Secondary server\r");
      if (!silent) {
        if (env.globalBalloon)
          env.tray.ShowBalloon(BalloonKind::Information, kTitle,
                               code == 0 ? "同期確認成功" : "同期確認成功\r\n- 第２参照先を使用 -", kBalloonMs);
        Play(env, kUcSyncNoChange);
      }
      break;
    case 2:
    case 3: {
      env.log.WriteLog(":Clock sync to server!!\r");
      const std::string report = SyncReport(orv, now);
      for (int32_t i = 0; i < orv.ServerCount; ++i) {
        const std::string name = ":" + orv.ServerName(i);
        env.log.WriteLog(name + " Adjusted Time " + FormatIniDateTime(orv.Servers[i].RealLast) + "\r");
        env.log.WriteLog(name + " Base Time " + FormatIniDateTime(orv.Servers[i].RealBase) + "\r");
        env.log.WriteLog(name + " Velmora Time " + GameTimeText(orv.GameSecondsOfWeek(i, now)) + "\r");
      }
      if (env.globalBalloon)
        env.tray.ShowBalloon(BalloonKind::Information, kTitle,
                             "時計サーバと同期しました\r\n\r\n" + report +
                                 (code == 3 ? "\r\n\r\n【第２参照先を使用】" : ""),
                             kBalloonMs);
      Play(env, kUcSync);
      env.log.WriteLog("時計を合わせました！\r");
      Sleep(env, kAfterBalloonMs);
      break;
    }
    default:
      env.log.WriteLog(":Checkpoint 03\r");
      if (!silent && env.globalBalloon)
        env.tray.ShowBalloon(BalloonKind::Error, kTitle, "時計合わせに失敗しました。", kBalloonMs);
      env.log.WriteLog("\003clRed");
      env.log.WriteLog("[はわわ]　時計合わせに失敗しちゃいました...\r");
      env.log.WriteLog("\003clBlack");
      break;
  }
  lastSyncTime = now;
  env.log.WriteLog(":CoreForm.OrvSync...Passed\r");
}

MaintenanceBox MaintenanceInfo(const TOrvTime& orv) {
  const int32_t state = orv.MaintenanceState();
  const auto hm = [](TDateTime t) {
    const DateTimeParts p = DecodeDateTime(t);
    return std::pair{Two(p.hour), Two(p.minute)};
  };
  const auto plannedTime = [&](TDateTime start, TDateTime end) {
    const auto [sh, sm] = hm(start);
    const auto [eh, em] = hm(end);
    return "予定時間：" + sh + "時" + sm + "分～" + eh + "時" + em + "分";
  };
  constexpr std::string_view kRemark =
      "を実施しています。\r\n\r\n";
  if (state > 0) {
    return {orv.TempMaintenanceTitle(state) + std::string(kRemark) +
                "臨時メンテナンスは前倒し・延長される場合があります。\r\n最新の情報は公式サイトで確認してください。\r\n\r\n" +
                plannedTime(orv.TempMaintenanceStart(state), orv.TempMaintenanceEnd(state)),
            NoticeKind::Warning};
  }
  if (state < 0)
    return {orv.RegularMaintTitle + std::string(kRemark) +
                plannedTime(orv.RegularMaintStart, orv.RegularMaintEnd),
            NoticeKind::Warning};

  static constexpr const char* kRealWeekdays[] = {"日", "月", "火", "水", "木", "金", "土"};
  const int32_t wd = orv.RegularMaintWeekday;
  const auto [sh, sm] = hm(orv.RegularMaintStart);
  const auto [eh, em] = hm(orv.RegularMaintEnd);
  std::string regular = std::string("　毎週") + (wd >= 1 && wd <= 7 ? kRealWeekdays[wd - 1] : "") +
                        "曜日 " + sh + "時" + sm + "分 から " + eh + "時" + em + "分 の間に行われます。";
  std::string planned;
  const int64_t now = ToMs(orv.CurrentTime());
  for (int32_t i = 1; i <= 10; ++i) {
    const TDateTime start = orv.TempMaintenanceStart(i);
    if (now >= ToMs(start)) continue;
    const DateTimeParts p = DecodeDateTime(start);
    planned += "　" + Two(p.month) + "月" + Two(p.day) + "日 " + Two(p.hour) + "時" + Two(p.minute) +
               "分 より " + orv.TempMaintenanceTitle(i) + "\r\n";
  }
  if (planned.empty()) planned = "　現在予定されている臨時メンテはありません。\r\n";
  return {"現在メンテナンスは行われていません。\r\n\r\nOrvの接続に問題がある場合は、緊急メンテナンスの可能性があります。\r\n"
          "最新の情報は公式サイトで確認してください。\r\n\r\n\r\n"
          "【定期メンテナンス情報】\r\n" + regular + "\r\n\r\n【臨時メンテナンス情報】\r\n" + planned +
              "\r\n\r\n>> この情報は最新でない場合があります。\r\n>> 正確な情報が必要な場合は公式サイトで確認して下さい。",
          NoticeKind::Information};
}

}  // namespace kw
