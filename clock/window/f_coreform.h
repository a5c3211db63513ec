// The clock window: it brings every subsystem up when created and first shown, drives them
// with its 100 ms tick and takes them down again when closed.
#pragma once

#include <QString>
#include <QWidget>
#include <memory>
#include <string>
#include <string_view>

#include "clock/settings/u_appinfos.h"
#include "clock/window/u_debuglog.h"
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
  // The sound settings dialog.
  void mSoundSetupClick();
  // Closes the clock and starts it anew.
  void RequestRestart();
  bool RestartRequested() const;

  // Appends to debug.log in the program's folder, when it exists.
  void WriteDebugLog(std::string_view text);
  void WriteLog(std::string_view text);

  // A command from another program over the application's endpoints: "raise", "close",
  // "restart", and "notalu" (the menu command that opens the memo pad).
  void HandleCommand(const QString& command);

  TAppInfos AppInfos;
  // Until then the clock does not push itself on top (a modal box or the menu is open).
  TDateTime TopmostHoldUntil = 0;
  TTicker Ticker{*this, AppInfos};

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void FormCreate();
  void FormShow();
  void FormCloseQuery();
  void DrawTimerTimer();
  void ApplyLook();
  AppInfosEnv SettingsEnv();
  std::string FaceText() const;
  void RealSync(bool silent);
  SyncEnv MakeSyncEnv();

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
  std::string faceText_;
};

}  // namespace kw
