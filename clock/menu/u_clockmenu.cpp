#include "clock/menu/u_clockmenu.h"

#include <QActionGroup>

#include "clock/settings/u_appinfos.h"

namespace kw {
namespace {

QAction* Item(QMenu* menu, const char* caption, int tag = 0, bool checkable = false) {
  QAction* a = menu->addAction(QString::fromUtf8(caption));
  a->setData(tag);
  a->setCheckable(checkable);
  return a;
}

// Radio items: one exclusive group.
void Group(QObject* parent, std::initializer_list<QAction*> items) {
  auto* group = new QActionGroup(parent);
  for (QAction* a : items) {
    a->setCheckable(true);
    group->addAction(a);
  }
}

}  // namespace

TClockMenu::TClockMenu(QWidget* parent) {
  ClockPopMenu = new TOwnerDrawMenu(QString(), parent);
  TOwnerDrawMenu* m = ClockPopMenu;
  mMode0 = Item(m, "デジタル時計(&1)", 0);
  mMode1 = Item(m, "ミニデジタル時計(&2)", 1);
  mMode2 = Item(m, "アナログ丸時計(&3)", 2);
  Group(m, {mMode0, mMode1, mMode2});
  mMode0->setChecked(true);
  m->addSeparator();
  mSelectServer = m->AddSubmenu(QStringLiteral("サーバー選択(&S)"));
  D1 = m->AddSubmenu(QStringLiteral("表示オプション(&D)"));
  mRealClock = Item(D1, "現実時間を表示(&R)", 0, true);
  mChaosClock = Item(D1, "カオス時計を表示(&C)", 0, true);
  mAlwaysTop = Item(D1, "常に手前に表示(&T)", 0, true);
  mSkelt = Item(D1, "スケルトン表示(&K)", 0, true);
  T1 = D1->AddSubmenu(QStringLiteral("半透明で表示(&P)"));
  mAlpha100 = Item(T1, "100%", 100);
  mAlpha75 = Item(T1, "75%", 75);
  mAlpha50 = Item(T1, "50%", 50);
  mAlpha25 = Item(T1, "25%", 25);
  Group(T1, {mAlpha100, mAlpha75, mAlpha50, mAlpha25});
  mPosLock = Item(D1, "Kronwelを固定する(&L)", 0, true);
  mRotate = m->AddSubmenu(QStringLiteral("表示方向(&R)"));
  mRotateNum0 = Item(mRotate, "横ならび", 0);
  mRotateNum1 = Item(mRotate, "縦ならび", 1);
  Group(mRotate, {mRotateNum0, mRotateNum1});
  mRotateNum0->setChecked(true);
  m->addSeparator();
  mSync = Item(m, "自動で時計を合わせる(&A)");
  mMAdjust = Item(m, "手動で時計を合わせる(&Y)...");
  m->addSeparator();
  mAlarmSetup = Item(m, "アラーム の設定(&L)...");
  mSoundSetup = Item(m, "音 の設定(&N)...");
  mSetup = Item(m, "動作 の設定(&O)...");
  m->addSeparator();
  OpenNotalu = Item(m, "Notalu(&M)...");
  mQuestTimeTable = Item(m, "クエストタイムテーブル(&T)...");
  M2 = Item(m, "ミニタイマー(&M)...");
  mHouseManager = Item(m, "土地利用期限管理(&E)...");
  mDirectURLs = m->AddSubmenu(QStringLiteral("プレイヤー支援ホームページ(&P)"));
  mDirectURLs->menuAction()->setEnabled(false);
  mOrvRadiList = m->AddSubmenu(QStringLiteral("放送中のOrvラジ(&B)"));
  mOrvRadiList->menuAction()->setEnabled(false);
  U1 = m->AddSubmenu(QStringLiteral("プレイヤー支援機能(&U)"));
  M1 = Item(U1, "メンテナンス情報(&M)...");
  mTimeCalc = Item(U1, "時間相互変換計算器(&C)...");
  U1->addSeparator();
  mPassReminderSW = Item(U1, "ﾊﾟｽﾜｰﾄﾞ記憶ｵﾌﾟｼｮﾝの有効／無効(&R)");
  mDiveToUserFolder = Item(U1, "ユーザーデータフォルダを開く(&U)");
  mDiveToSSFolder = Item(U1, "スクリーンショットフォルダを開く(&S)");
  U1->addSeparator();
  mKickORV = Item(U1, "Orvane 起動(&E)");
  m->addSeparator();
  mAboutKronwel = Item(m, "Kronwel について(&H)...");
  mExitApp = Item(m, "終了する(&X)");
}

std::vector<QAction*> TClockMenu::Refresh(const TAppInfos& a, const std::vector<std::string>& serverNames) {
  for (QActionGroup* old : mSelectServer->findChildren<QActionGroup*>(Qt::FindDirectChildrenOnly)) delete old;
  mSelectServer->clear();
  std::vector<QAction*> servers;
  auto* group = new QActionGroup(mSelectServer);
  const auto add = [&](const QString& caption, int tag) {
    QAction* item = Item(mSelectServer, "", tag);
    item->setText(caption);
    item->setCheckable(true);
    item->setChecked(tag == a.FServer);
    group->addAction(item);
    servers.push_back(item);
  };
  add(QStringLiteral("全て(&A)"), 99);
  for (size_t i = 0; i < serverNames.size(); ++i)
    add(QString::fromStdString(serverNames[i]) + QStringLiteral("(&%1)").arg(i + 1), static_cast<int>(i));
  add(QStringLiteral("自動(&U)"), 999);

  mAlwaysTop->setChecked(a.FAlwaysTop);
  QAction* alpha = a.FAlpha == 25 ? mAlpha25 : a.FAlpha == 50 ? mAlpha50 : a.FAlpha == 75 ? mAlpha75 : mAlpha100;
  alpha->setChecked(true);
  (a.FMode == 1 ? mMode1 : a.FMode == 2 ? mMode2 : mMode0)->setChecked(true);
  (a.Rotate == 1 ? mRotateNum1 : mRotateNum0)->setChecked(true);
  mSkelt->setChecked(a.Skeleton);
  mSkelt->setEnabled(a.FMode != 2);
  mPosLock->setChecked(a.PosLock);
  mRealClock->setChecked(a.RealClockEnabled);
  mChaosClock->setChecked(a.ChaosClockEnabled);
  ClockPopMenu->SetOwnerDraw(a.Custom);
  return servers;
}

}  // namespace kw
