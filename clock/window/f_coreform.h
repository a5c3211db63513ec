// The clock window: it brings every subsystem up when created and first shown, drives them
// with its 100 ms tick and takes them down again when closed.
#pragma once

#include <QImage>
#include <QString>
#include <QPoint>
#include <QWidget>
#include <memory>
#include <string>
#include <string_view>

#include "clock/settings/u_appinfos.h"
#include "clock/client/u_gameclient.h"
#include "clock/update/u_autoupdate.h"
#include "clock/menu/u_clockmenu.h"
#include "clock/window/u_debuglog.h"
#include "platform/x11_window_finder.h"
#include "clock/window/u_orvsync.h"
#include "clock/window/u_ticker.h"
#include "platform/qt_user_notifier.h"

class QTimer;

namespace kw {

class Clock;
class Endpoint;
class QtTray;
class TLogForm;
class TOrvTime;
class TFace;
class TSkinCtrl;

class TCoreForm : public QWidget, private TickDuties {
  Q_OBJECT
 public:
  // programFolder: where kronwel.ini and the other files live. appTitle: the endpoint that
  // carries the application title other programs look for.
  TCoreForm(std::string programFolder, const Clock& clock, Endpoint& appTitle);
  ~TCoreForm() override;

  // Closes the clock, which ends the program through the close sequence.
  void mExitAppClick();
  // Starts the memo pad from the clock's folder, if it is there.
  void OpenNotaluClick();
  // Synchronises now (the menu's "set the clock"), telling the user the outcome.
  void mSyncClick();
  // The maintenance information box.
  void M1Click();
  // The game client: start it, switch its password memory, open its folders.
  void mKickORVClick();
  void mPassReminderSWClick();
  void mDiveToUserFolderClick();
  void mDiveToSSFolderClick();
  // The server selected in the game client (read at most every 3 seconds).
  int32_t SelectedGameServer();

  // The self-update: whether it can run here, and running it (true when the installer ran).
  bool AutoUpdateAvailable();
  bool AutoUpdate();
  // A click on one of the tray icon's balloons.
  void KronwelTIconBalloonClick(const QString& title);

  // The options dialog (the whole edit cycle) and the about box.
  void mSetupClick();
  void mAboutKronwelClick();

  // The clock menu and its handlers for the look of the clock.
  TClockMenu* Menu() { return menu_.get(); }
  void ClockPopMenuPopup(const QPoint& at);
  void mSelectMode(int mode);
  void mSelectSrv(int tag);
  void mRealClockClick();
  void mChaosClockClick();
  void mAlwaysTopClick();
  void mSkeltClick();
  void mSelectAlpha(int alpha);
  void mPosLockClick();
  void mRotateNumClick(int rotate);

  // Closes the clock and starts it anew.
  void RequestRestart();
  bool RestartRequested() const;

  // Appends to debug.log in the program's folder, when it exists.
  void WriteDebugLog(std::string_view text);
  void WriteLog(std::string_view text);

  // A command from another program over the application's endpoints: "raise", "close",
  // "restart", and "notalu" (the menu command that opens the memo pad).
  void HandleCommand(const QString& command);

  // No skin was found at creation: the user has been told and the program ends without
  // showing the clock.
  bool StartFailed() const { return noSkin_; }
  // The face and the skins, for the dialogs that show the skin's panel picture.
  TFace* Face() { return face_.get(); }
  TSkinCtrl* SkinCtrl() { return skinCtrl_.get(); }

  TAppInfos AppInfos;
  // Until then the clock does not push itself on top (a modal box or the menu is open).
  TDateTime TopmostHoldUntil = 0;
  TTicker Ticker{*this, AppInfos};

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void FormCreate();
  void FormShow();
  void FormCloseQuery();
  void DrawTimerTimer();
  void ApplyLook();
  AppInfosEnv SettingsEnv();
  void RealSync(bool silent);
  SyncEnv MakeSyncEnv();
  AutoUpdateEnv MakeAutoUpdateEnv();
  void OpenFolder(std::string_view relative);
  // Shows the face's back buffer: the window takes its size, key-coloured pixels see-through.
  void ShowBackBuffer(bool sizeMayChange);
  // Hides or shows the window by the mouse, Shift and the game; true when it changed.
  bool UpdateAutoHide();
  // Moves FLeft/FTop and the window inside its monitor.
  void KeepOnMonitor();
  // The window part of ApplyLook: place, stacking, menu, startup entry, task list.
  void ApplyWindowLook();
  void ConnectMenu();
  // TickDuties
  int32_t MaintenanceState() override;
  void RefreshFace() override;
  void ReRegisterTray() override;
  void CheckLandDeadlines() override;
  void OrvSync(bool silent) override;
  int32_t RadioCheckIntervalSeconds() override;
  void UpdateRadioMenu() override;
  void CheckAlarms() override;
  void CheckChaosAlarms() override;
  const TServersStatus& ServersStatus() override;
  bool IsServerDown(int32_t i) override;
  void FetchServersStatus() override;
  void UpdateConfigFiles() override;
  void ReassertTopmost() override;
  void FadeStep() override;
  void MaintenanceAlert(int32_t oldState, int32_t newState) override;

  std::string programFolder_;
  const Clock& clock_;
  Endpoint& appTitle_;
  DebugLog debugLog_;
  QtUserNotifier notifier_;
  std::unique_ptr<TLogForm> LogForm;
  std::unique_ptr<TOrvTime> OrvTime;
  std::unique_ptr<QtTray> TrayIcon;
  QTimer* DrawTimer = nullptr;
  bool shown_ = false;
  bool restart_ = false;
  bool closed_ = false;
  std::string winePrefix_;
  TSelectedServer selectedServer_;
  bool noSkin_ = false;
  std::unique_ptr<TSkinCtrl> skinCtrl_;
  std::unique_ptr<TFace> face_;
  QImage mask_;  // the key-colour mask last given to the window
  std::unique_ptr<TClockMenu> menu_;
  std::unique_ptr<X11WindowFinder> windowFinder_;
  bool autoHidden_ = false;  // hidden by UpdateAutoHide
  bool dragging_ = false;
  QPoint pressPos_;  // where the left button went down, in the window
};

}  // namespace kw
