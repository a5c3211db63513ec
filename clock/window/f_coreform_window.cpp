// The clock window as a window: its look, place and stacking, dragging, hiding near the
// mouse or while the game runs, the clock menu and the tray icon's clicks.
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

#include "clock/client/u_gameclient.h"
#include "clock/engine/u_orvtime.h"
#include "clock/face/u_face.h"
#include "clock/window/f_coreform.h"
#include "clock/window/f_logwindow.h"
#include "clock/window/u_windowrules.h"
#include "platform/autostart.h"
#include "platform/qt_tray.h"

namespace kw {

void TCoreForm::ConnectMenu() {
  menu_ = std::make_unique<TClockMenu>(this);
  TClockMenu& m = *menu_;
  const auto on = [this](QAction* a, auto handler) { connect(a, &QAction::triggered, this, handler); };
  for (QAction* a : {m.mMode0, m.mMode1, m.mMode2})
    connect(a, &QAction::triggered, this, [this, a] { mSelectMode(a->data().toInt()); });
  for (QAction* a : {m.mAlpha100, m.mAlpha75, m.mAlpha50, m.mAlpha25})
    connect(a, &QAction::triggered, this, [this, a] { mSelectAlpha(a->data().toInt()); });
  for (QAction* a : {m.mRotateNum0, m.mRotateNum1})
    connect(a, &QAction::triggered, this, [this, a] { mRotateNumClick(a->data().toInt()); });
  on(m.mRealClock, &TCoreForm::mRealClockClick);
  on(m.mChaosClock, &TCoreForm::mChaosClockClick);
  on(m.mAlwaysTop, &TCoreForm::mAlwaysTopClick);
  on(m.mSkelt, &TCoreForm::mSkeltClick);
  on(m.mPosLock, &TCoreForm::mPosLockClick);
  on(m.mSync, &TCoreForm::mSyncClick);
  on(m.mSetup, &TCoreForm::mSetupClick);
  on(m.OpenNotalu, &TCoreForm::OpenNotaluClick);
  on(m.M1, &TCoreForm::M1Click);
  on(m.mPassReminderSW, &TCoreForm::mPassReminderSWClick);
  on(m.mDiveToUserFolder, &TCoreForm::mDiveToUserFolderClick);
  on(m.mDiveToSSFolder, &TCoreForm::mDiveToSSFolderClick);
  on(m.mKickORV, &TCoreForm::mKickORVClick);
  on(m.mAboutKronwel, &TCoreForm::mAboutKronwelClick);
  on(m.mExitApp, &TCoreForm::mExitAppClick);
  on(m.mMAdjust, &TCoreForm::mMAdjustClick);
  on(m.mAlarmSetup, &TCoreForm::mAlarmSetupClick);
  on(m.mQuestTimeTable, &TCoreForm::mQuestTimeTableClick);
  on(m.mTimeCalc, &TCoreForm::mTimeCalcClick);
  on(m.mSoundSetup, &TCoreForm::mSoundSetupClick);
  // The mini timer and the land manager hang their handlers here as they come.
}

void TCoreForm::ClockPopMenuPopup(const QPoint& at) {
  TopmostHoldUntil = FromMs(ToMs(OrvTime->CurrentTime()) + 10000);
  menu_->ClockPopMenu->popup(at);
}

// Steps 3, 4, 5, 7 and 9 of applying the look.
void TCoreForm::ApplyWindowLook() {
  WriteLog(":CoreForm Setup\r");
  move(AppInfos.FLeft, AppInfos.FTop);
  WriteLog(":CoreForm Position X=" + std::to_string(x()) + " Y=" + std::to_string(y()) + " W=" +
           std::to_string(width()) + " H=" + std::to_string(height()) + "\r");
  // Stacking and the task list are window flags; changing them hides the window for a moment.
  const Qt::WindowFlags wanted = Qt::FramelessWindowHint | (AppInfos.FAlwaysTop ? Qt::WindowStaysOnTopHint : Qt::WindowFlags()) |
                                 (AppInfos.TaskHidden ? Qt::Tool : Qt::Window);
  if (windowFlags() != wanted) {
    const bool visible = isVisible();
    setWindowFlags(wanted);
    if (visible) show();
  }
  if (AppInfos.FAlpha >= 100) setWindowOpacity(1.0);

  WriteLog(":MainMenu Setup\r");
  if (AppInfos.FServer != 99 && AppInfos.FServer != 999 && (AppInfos.FServer < 0 || AppInfos.FServer >= OrvTime->ServerCount))
    AppInfos.FServer = 99;
  for (QAction* item : menu_->Refresh(AppInfos, OrvTime->ServerNames))
    connect(item, &QAction::triggered, this, [this, item] { mSelectSrv(item->data().toInt()); });

  WriteLog(":Startup Shortcut Setup\r");
  std::string error;
  const bool ok = AppInfos.Startup ? CreateStartupShortcut(QCoreApplication::applicationFilePath().toStdString(),
                                                           QCoreApplication::applicationDirPath().toStdString(), &error)
                                   : DeleteStartupShortcut(&error);
  if (!ok) WriteLog(">Startup entry: " + error + "\r");
  TopmostHoldUntil = 0;
}

void TCoreForm::KeepOnMonitor() {
  const QScreen* monitor = screen() ? screen() : QGuiApplication::primaryScreen();
  if (!monitor) return;
  const QRect g = monitor->geometry();
  const KeptPosition kept = kw::KeepOnMonitor(AppInfos.FLeft, AppInfos.FTop, width(), height(),
                                          {g.x(), g.y(), g.width(), g.height()}, AppInfos.PosLock);
  for (const std::string& line : kept.debugLines) WriteDebugLog(line);
  if (AppInfos.PosLock) return;
  AppInfos.FLeft = kept.left;
  AppInfos.FTop = kept.top;
  move(kept.left, kept.top);
}

bool TCoreForm::UpdateAutoHide() {
  bool hide = false;
  if (AppInfos.AutoHidden || AppInfos.HideOnOrv) {
    if (!windowFinder_) windowFinder_ = X11WindowFinder::Create();
    const bool game = AppInfos.HideOnOrv && windowFinder_ && windowFinder_->Exists(std::string(kGameWindowTitle));
    int mouseX = 0, mouseY = 0;
    bool shift = false;
    if (!windowFinder_ || !windowFinder_->QueryPointer(mouseX, mouseY, shift)) {
      const QPoint mouse = QCursor::pos();
      mouseX = mouse.x(), mouseY = mouse.y();
      shift = QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
    }
    hide = ShouldHideClock(game, AppInfos.AutoHidden, {x(), y(), width(), height()}, mouseX, mouseY, shift);
  }
  if (hide == autoHidden_) return false;
  autoHidden_ = hide;
  setVisible(!hide);
  return true;
}

void TCoreForm::ReassertTopmost() {
  const TopmostStep step = ReassertTopmostStep(OrvTime->CurrentTime(), TopmostHoldUntil, AppInfos.FAlwaysTop, false);
  TopmostHoldUntil = step.holdUntil;
  if (step.reassert && isVisible()) raise();
}

void TCoreForm::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    dragging_ = true;
    // Screen positions: a motion event the server sent before the window's last move would
    // otherwise count that move twice.
    pressPos_ = event->globalPosition().toPoint() - pos();
  } else if (event->button() == Qt::RightButton) {
    ClockPopMenuPopup(event->globalPosition().toPoint());
  }
}

void TCoreForm::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_ || AppInfos.PosLock) return;
  move(event->globalPosition().toPoint() - pressPos_);
  AppInfos.FLeft = x();
  AppInfos.FTop = y();
}

void TCoreForm::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !dragging_) return;
  dragging_ = false;
  KeepOnMonitor();
  AppInfos.FLeft = x();
  AppInfos.FTop = y();
}

// ---- Menu handlers for the look -----------------------------------------------------------

void TCoreForm::mSelectMode(int mode) {
  AppInfos.FMode = mode;
  ApplyLook();
}

void TCoreForm::mSelectSrv(int tag) {
  if (tag != 99 && tag != 999 && (tag < 0 || tag >= OrvTime->ServerCount)) return;
  AppInfos.FServer = tag;
  ApplyLook();
}

void TCoreForm::mRealClockClick() {
  AppInfos.RealClockEnabled = !AppInfos.RealClockEnabled;
  menu_->mRealClock->setChecked(AppInfos.RealClockEnabled);
}

void TCoreForm::mChaosClockClick() {
  AppInfos.ChaosClockEnabled = !AppInfos.ChaosClockEnabled;
  menu_->mChaosClock->setChecked(AppInfos.ChaosClockEnabled);
}

void TCoreForm::mAlwaysTopClick() {
  // The item has already toggled its check: it says what the user asked for.
  AppInfos.FAlwaysTop = menu_->mAlwaysTop->isChecked();
  ApplyLook();
}

void TCoreForm::mSkeltClick() {
  AppInfos.Skeleton = !AppInfos.Skeleton;
  ApplyLook();
}

void TCoreForm::mSelectAlpha(int alpha) {
  AppInfos.FAlpha = alpha;
  ApplyLook();
}

void TCoreForm::mRotateNumClick(int rotate) {
  AppInfos.Rotate = rotate;
  ApplyLook();
}

void TCoreForm::mPosLockClick() {
  if (AppInfos.PosLock) {
    AppInfos.PosLock = false;
  } else {
    TopmostHoldUntil = IncYear(OrvTime->CurrentTime(), 1);
    AppInfos.PosLock = notifier_.Ask(
        "このオプションを使用するとKronwelが移動できなくなるだけでなく、解像度変更などで画面外へ飛び出した場合の補正も行われなくなります。\r\n"
        "画面外へ飛び出してしまった場合は、タスクトレイアイコンからこのオプションを解除し、Kronwelを再起動させる必要があります。\r\n"
        "これらの副作用を理解したうえで、このオプションを有効化しますか？",
        NoticeKind::Warning, QuestionButtons::YesNo);
    TopmostHoldUntil = OrvTime->CurrentTime();
  }
  menu_->mPosLock->setChecked(AppInfos.PosLock);
}

}  // namespace kw
