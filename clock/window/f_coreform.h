// The clock window: it brings every subsystem up when created and first shown, drives them
// with its 100 ms tick and takes them down again when closed.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QString>
#include <QWidget>
#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "clock/client/u_gameclient.h"
#include "clock/menu/u_clockmenu.h"
#include "clock/online/u_directurl.h"
#include "clock/online/u_hotkeys.h"
#include "clock/settings/u_appinfos.h"
#include "clock/update/u_autoupdate.h"
#include "clock/window/u_debuglog.h"
#include "clock/window/u_orvsync.h"
#include "clock/window/u_ticker.h"
#include "platform/qt_user_notifier.h"
#include "platform/x11_window_finder.h"

class QAction;
class QMenu;
class QTimer;

namespace kw {

class Clock;
class Endpoint;
class GlobalHotkeys;
class QtTray;
class TLogForm;
class TOrvRadi;
class TOrvTime;
class TFace;
class TSkinCtrl;
class UrlOpener;

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

  // The sound settings dialog.
  void mSoundSetupClick();
  // Closes the clock and starts it anew.
  void RequestRestart();
  bool RestartRequested() const;

  // Appends to debug.log in the program's folder, when it exists.
  void WriteDebugLog(std::string_view text);
  void WriteLog(std::string_view text);

  // A command from another program over the application's endpoints: "raise", "close",
  // "restart", "notalu" (the menu command that opens the memo pad) and "hotkeys" (the global
  // hotkey dialog, until the options dialog opens it).
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

  // ---- Online: global hotkeys, web-page menu, radio sensor ------------------------------
  // Registers the six hotkeys from the settings (a pair of zeros stays unregistered).
  void RegisterAllHotkeys();
  void UnregisterAllHotkeys();
  // A registered combination was pressed: pair 1 brings the clock up, pairs 2-6 bring it to
  // the front and open their window unless a dialog of the clock is open.
  void HotkeyArrived(uint16_t modFlags, uint16_t virtualKey);
  // The global hotkey dialog; on OK the new combinations are kept and registered.
  void mHotKeySetupClick();
  // The hotkey dialog on the six pairs; true on OK.
  bool EditHotkeys(std::array<HotkeyPair, kHotkeyCount>& keys);
  // Windows that are still to come; their hotkeys already arrive here.
  void mMAdjustClick();
  void mAlarmSetupClick();
  void mQuestTimeTableClick();
  void mTimeCalcClick();
  // Rebuilds DirectURLMenu from urllist.cfg; true when it has a top-level item.
  bool BuildDirectURLMenu();
  void OpenDirectURL(QAction* item);
  void OpenRadioURL(QAction* item);
  // The submenus "プレイヤー支援ホームページ(&P)" and "放送中のOrvラジ(&B)", owned by the
  // clock window; the clock menu adds them with addMenu(), and their menuAction() carries the
  // enabled and visible state that the rebuilds set.
  QMenu* DirectURLMenu = nullptr;
  QMenu* RadioMenu = nullptr;
  std::vector<TDirectURLList> DirectURLList;
  // ---- end of online ------------------------------------------------------------------

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
  void CreateOnlineParts();
  void HandProxyToRadio();
  // The skin's panel picture that the dialogs show behind their controls.
  QPixmap PanelPicture() const;
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
  // Online
  std::unique_ptr<TOrvRadi> OrvRadi;
  std::unique_ptr<GlobalHotkeys> Hotkeys;
  std::unique_ptr<UrlOpener> urlOpener_;
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
