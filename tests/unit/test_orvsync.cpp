#include "clock/window/u_orvsync.h"

#include <gtest/gtest.h>

#include "clock/engine/u_orvtime.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

using test::At;

TEST(SyncTexts, PcClockDifference) {
  const std::string remark = "\r\n(Orv時刻は差分値によって補正されます)";
  const struct {
    double seconds;
    std::string text;
  } cases[] = {
      {0.5, ""},
      {-1.5, ""},
      {9.999, ""},
      {10, "パソコンの時計は10秒遅れています" + remark},
      {-90, "パソコンの時計は1分30秒進んでいます" + remark},
      {86400, "パソコンの時計は1日遅れています" + remark},
      {-(2 * 86400 + 3 * 3600 + 4 * 60 + 5), "パソコンの時計は2日3時間4分5秒進んでいます" + remark},
      {3600 + 0.4, "パソコンの時計は1時間遅れています" + remark},
  };
  for (const auto& c : cases) EXPECT_EQ(PcClockOffsetText(c.seconds / 86400), c.text) << c.seconds;
}

TEST(SyncTexts, AgeInItsLargestUnit) {
  const TDateTime now = At(2026, 12, 11, 20, 0);
  const struct {
    int64_t ms;
    const char* text;
  } cases[] = {{0, "0秒"},         {59999, "59秒"},        {60000, "1分"},         {3599999, "59分"},
               {3600000, "1時間"}, {86399999, "23時間"}, {86400000, "1日"},     {40 * 86400000LL, "40日"},
               {-5000, "5秒"}};  // a last adjustment ahead of the PC clock
  for (const auto& c : cases) EXPECT_EQ(ElapsedText(FromMs(ToMs(now) - c.ms), now), c.text) << c.ms;
}

class MaintenanceBoxTest : public ::testing::Test {
 protected:
  test::TempDir dir;  // no httpctrl.cfg: the defaults
  ManualClock clock{At(2026, 12, 8, 16, 0)};  // Tuesday after the regular maintenance
  TOrvTime orv{dir.path(), clock};
};

TEST_F(MaintenanceBoxTest, NothingGoingOn) {
  MaintenanceBox box = MaintenanceInfo(orv);
  EXPECT_EQ(box.kind, NoticeKind::Information);
  EXPECT_EQ(box.text,
            "現在メンテナンスは行われていません。\r\n\r\nOrvの接続に問題がある場合は、緊急メンテナンスの可能性があります。\r\n"
            "最新の情報は公式サイトで確認してください。\r\n\r\n\r\n"
            "【定期メンテナンス情報】\r\n　毎週火曜日 10時00分 から 15時00分 の間に行われます。\r\n\r\n"
            "【臨時メンテナンス情報】\r\n　現在予定されている臨時メンテはありません。\r\n\r\n\r\n"
            ">> この情報は最新でない場合があります。\r\n>> 正確な情報が必要な場合は公式サイトで確認して下さい。");

  // Planned slots are listed in order; past ones are not; an unknown weekday has no name.
  orv.RegularMaintWeekday = 9;
  orv.TempMaintStart[1] = At(2026, 12, 20, 9, 5);
  orv.TempMaintTitle[1] = "臨時B";
  orv.TempMaintStart[0] = At(2026, 12, 8, 15, 59);
  orv.TempMaintStart[6] = At(2027, 1, 3, 21, 0);
  orv.TempMaintTitle[6] = "臨時G";
  box = MaintenanceInfo(orv);
  EXPECT_NE(box.text.find("　毎週曜日 10時00分"), std::string::npos);
  EXPECT_NE(box.text.find("【臨時メンテナンス情報】\r\n　12月20日 09時05分 より 臨時B\r\n　01月03日 21時00分 より 臨時G\r\n\r\n\r\n>>"),
            std::string::npos)
      << box.text;
}

TEST_F(MaintenanceBoxTest, MaintenanceInProgress) {
  orv.TempMaintStart[2] = At(2026, 12, 8, 15, 30);
  orv.TempMaintEnd[2] = At(2026, 12, 8, 18, 0);
  orv.TempMaintTitle[2] = "緊急メンテ";
  MaintenanceBox box = MaintenanceInfo(orv);
  EXPECT_EQ(box.kind, NoticeKind::Warning);
  EXPECT_EQ(box.text,
            "緊急メンテを実施しています。\r\n\r\n臨時メンテナンスは前倒し・延長される場合があります。\r\n"
            "最新の情報は公式サイトで確認してください。\r\n\r\n予定時間：15時30分～18時00分");

  clock.Set(At(2026, 12, 8, 11, 0));
  box = MaintenanceInfo(orv);
  EXPECT_EQ(box.kind, NoticeKind::Warning);
  EXPECT_EQ(box.text, "定期メンテナンスを実施しています。\r\n\r\n予定時間：10時00分～15時00分");
}

}  // namespace
}  // namespace kw
