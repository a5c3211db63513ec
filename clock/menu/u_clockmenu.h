// The clock menu: every item with its caption, radio groups and the server submenu. The
// clock window connects the items to its handlers and keeps the checks in step with the
// settings.
#pragma once

#include <QAction>
#include <string>
#include <vector>

#include "clock/menu/u_ownerdrawmenu.h"

namespace kw {

struct TAppInfos;

struct TClockMenu {
  explicit TClockMenu(QWidget* parent);

  TOwnerDrawMenu* ClockPopMenu;
  QAction *mMode0, *mMode1, *mMode2;
  TOwnerDrawMenu *mSelectServer, *D1, *T1, *mRotate;
  QAction *mRealClock, *mChaosClock, *mAlwaysTop, *mSkelt, *mPosLock;
  QAction *mAlpha100, *mAlpha75, *mAlpha50, *mAlpha25;
  QAction *mRotateNum0, *mRotateNum1;
  QAction *mSync, *mMAdjust, *mAlarmSetup, *mSoundSetup, *mSetup;
  QAction *OpenNotalu, *mQuestTimeTable, *M2, *mHouseManager;
  TOwnerDrawMenu *mDirectURLs, *mOrvRadiList, *U1;
  QAction *M1, *mTimeCalc, *mPassReminderSW, *mDiveToUserFolder, *mDiveToSSFolder, *mKickORV;
  QAction *mAboutKronwel, *mExitApp;

  // Refills the server submenu ("全て", every server, "自動"; tags 99, 0.., 999) and sets
  // every check from the settings. The server items are returned for the click handler.
  std::vector<QAction*> Refresh(const TAppInfos& a, const std::vector<std::string>& serverNames);
};

}  // namespace kw
