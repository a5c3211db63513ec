#include "clock/window/f_coreform.h"

#include <QCloseEvent>
#include <algorithm>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>

#include "clock/engine/u_orvtime.h"
#include "clock/sound/f_sounddlg.h"
#include "clock/sound/u_soundeffect.h"
#include "clock/window/f_logwindow.h"
#include "clock/window/u_appicon.h"
#include "clock/window/u_look.h"
#include "clock/window/u_startupinfo.h"
#include "common/clock.h"
#include "common/ini_file.h"
#include "platform/endpoints.h"
#include "platform/qt_tray.h"

namespace kw {
namespace {

constexpr const char* kRestartTitle = "KronwelRESTART";

void Pause(int ms) { QThread::msleep(static_cast<unsigned long>(ms)); }

}  // namespace

TCoreForm::TCoreForm(std::string programFolder, const Clock& clock, Endpoint& appTitle)
    : QWidget(nullptr, Qt::FramelessWindowHint),
      programFolder_(std::move(programFolder)),
      clock_(clock),
      appTitle_(appTitle),
      debugLog_(clock, programFolder_ + "/debug.log"),
      notifier_(this) {
  setWindowTitle(QStringLiteral("Kronwel"));
  setWindowIcon(QIcon(QPixmap::fromImage(KronwelIcon(64))));
  setAttribute(Qt::WA_ShowWithoutActivating);
  FormCreate();
}

TCoreForm::~TCoreForm() {
  // FormDestroy: the log window goes first; a requested restart starts the program anew.
  CloseSoundEngine();
  LogForm.reset();
  if (RestartRequested()) QProcess::startDetached(QCoreApplication::applicationFilePath(), {});
}

bool TCoreForm::RestartRequested() const { return restart_; }

void TCoreForm::WriteLog(std::string_view text) { LogForm->WriteLog(text); }

void TCoreForm::WriteDebugLog(std::string_view text) { debugLog_.AppendDebug(text); }

AppInfosEnv TCoreForm::SettingsEnv() {
  AppInfosEnv env;
  env.iniPath = programFolder_ + "/kronwel.ini";
  env.programFolder = programFolder_;
  env.orv = OrvTime.get();
  env.log = LogForm.get();
  env.notifier = &notifier_;
  env.logViewer = LogForm->LogViewer;
  env.openNotalu = [this] { OpenNotaluClick(); };
  env.notaluRunning = [] { return EndpointAlive(QStringLiteral("Notalu")); };
  return env;
}

void TCoreForm::FormCreate() {
  LogForm = std::make_unique<TLogForm>(clock_, (QDir::currentPath() + "/debug.log").toStdString());
  LogForm->LogViewer = IniFile(programFolder_ + "/kronwel.ini").ReadBool("Window", "LogViewer", false);
  LogForm->FadeIn();

  WriteLog(std::string("Starting Kronwel ver.") + KRONWEL_VERSION + "\r");
  WriteLog("Kronwel を起こしています...\r");
  WriteLog("\003clRed");
  WriteLog(GreetingForHour(DecodeDateTime(clock_.Now()).hour));
  WriteLog("少し待ってね!\r\r");
  WriteLog("\003clBlack");

  WriteLog("実家に新しい情報がないか探しています...\r");
  // The online configuration check joins here; it may replace httpctrl.cfg before it is read.
  WriteLog(":Done\r");

  WriteLog("本体を起動しています...\r");
  WriteLog(":Creating TOrvTime\r");
  OrvTime = std::make_unique<TOrvTime>(programFolder_, clock_, LogForm.get());
  WriteLog(":Check UIN = " + OrvTime->GetUIN() + "\r");
  WriteLog(":Creating TOrvRadi\r");
  OrvTime->ProgramVersion = KRONWEL_VERSION;

  WriteLog(":Screen Buffer Initialize\r");
  WriteLog(":SE Engine Initialize\r");
  if (!InitSoundEngine({.programFolder = programFolder_, .settings = &AppInfos, .notifier = &notifier_})) {
    WriteLog(">SE Engine Initialize FAILED!\r");
    WriteLog("\003clRed");
    WriteLog("[はわわ]　このパソコンでは音を出せないみたい…\r");
    WriteLog("\003clBlack");
  }
  WriteLog(":Alarm Control Initialize\r");
  AppInfos.AlarmList.clear();
  WriteLog(":House Control Initialize\r");
  AppInfos.LandList.clear();
  WriteLog(":Skin System Initialize\r");
  WriteLog(":Alarm Dialogs PreLoad\r");
  WriteLog(":Time Calculater PreLoad\r");

  WriteLog(":Monitor System Initialize\r");
  Ticker.StatusPollSecond = 10 + static_cast<int32_t>(QRandomGenerator::global()->bounded(10));
  WriteLog(":Registing Global HotKeys\r");
  WriteLog("なんとなく目が覚めました。\r");

  TrayIcon = std::make_unique<QtTray>(windowIcon());
  DrawTimer = new QTimer(this);
  DrawTimer->setInterval(100);
  connect(DrawTimer, &QTimer::timeout, this, &TCoreForm::DrawTimerTimer);
}

void TCoreForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shown_) return;
  shown_ = true;
  FormShow();
}

void TCoreForm::FormShow() {
  WriteLog(":Window Presetting\r");
  WriteLog(":TaskTray Startup\r");
  // Wait up to 5 seconds for a tray host (a desktop session may still be starting one).
  if (QGuiApplication::platformName() != QLatin1String("offscreen"))
    for (int waited = 0; !QSystemTrayIcon::isSystemTrayAvailable() && waited < 5000; waited += 500) Pause(500);
  setWindowOpacity(0);

  WriteLog("前回の設定を思い出しています...\r");
  LoadAppInfos(AppInfos, SettingsEnv());
  WriteLog(":Done\r");
  ApplyLook();

  WriteLog("起きてスグやる事をしています...\r");
  const TDateTime now = OrvTime->CurrentTime();
  if (AppInfos.StartupSync) {
    OrvSync(true);
  } else {
    AppInfos.LastSyncTime = StartupLastSyncTime(now, AppInfos.AutoInterval);
    OrvTime->FetchMaintenanceInfo();
  }

  Ticker.LastMaintenanceState = 0;
  WriteLog(":RadioSensor First Update\r");
  Ticker.RadioCheckTime = OrvTime->CurrentTime();

  WriteLog(":Version Check(Online)...\r");
  TUpgradeInfo latest;
  OrvTime->GetUpgradeInfo(latest);
  if (StartupVersionCheck(latest, KRONWEL_VERSION, *LogForm, *TrayIcon)) Pause(3000);
  TrayIcon->SetTip(std::string("Kronwel (Ver.") + KRONWEL_VERSION + ")");
  WriteLog(":Done\r");

  if (AppInfos.AlarmSW) {
    WriteLog("登録された土地の利用期限を確認してます...\r");
    CheckLandDeadlines();
    Ticker.LandCheckTime = OrvTime->CurrentTime();
  }
  Ticker.LastTickTime = OrvTime->CurrentTime();

  WriteLog("\003clBlue");
  WriteLog("Kronwel が起動しました。\r");
  WriteLog("\003clBlack");
  WriteLog(":TaskTray Activate\r");
  TrayIcon->SetVisible(true);
  if (OrvTime->ServerTableChanged) {
    if (AppInfos.GlobalBalloon)
      TrayIcon->ShowBalloon(BalloonKind::Information, "Kronwel", kServerTableChangedNotice, 10000);
    else
      notifier_.ShowMessage(kServerTableChangedNotice, NoticeKind::Information);
  }
  DrawTimer->start();
  LogForm->SetAutoHide(3);
}

void TCoreForm::closeEvent(QCloseEvent* event) {
  event->accept();
  if (closed_) return;
  closed_ = true;
  FormCloseQuery();
  QCoreApplication::quit();
}

void TCoreForm::FormCloseQuery() {
  LogForm->FadeIn();
  WriteLog("\003clRed");
  WriteLog("\rおやすみの準備をしています...\r");
  WriteLog(":UnRegisting Global HotKeys\r");
  DrawTimer->stop();

  WriteLog("今回の出来事を日記に書いています\r");
  SaveAppInfos(AppInfos, SettingsEnv());

  WriteLog("Notaluを閉じています\r");
  if (SendCommand(QStringLiteral("Notalu"), QStringLiteral("close"))) Pause(500);

  WriteLog("片付けています\r");
  WriteLog(":Stopping Alarm Control\r");
  AppInfos.AlarmList.clear();
  WriteLog(":Stopping House Control\r");
  AppInfos.LandList.clear();
  CloseSoundEngine();
  WriteLog(":Stopping Draw System\r");
  WriteLog(":Stopping OrvRadi\r");
  WriteLog(":Stopping Skin System\r");
  WriteLog(":Stopping OrvTime\r");
  OrvTime.reset();
  TrayIcon->SetVisible(false);

  if (RestartRequested()) {
    WriteLog("\r再起動します☆");
    WriteLog(":Restart Switch ENABLED!\r");
  } else {
    WriteLog("\rお疲れ様でした☆");
  }
  WriteLog(":Stopping Logging System\r");
  LogForm->FadeOut();
}

void TCoreForm::mExitAppClick() { close(); }

void TCoreForm::OpenNotaluClick() {
  const QString folder = QCoreApplication::applicationDirPath();
  const QString notalu = folder + QStringLiteral("/notalu");
  if (QFileInfo(notalu).isExecutable()) QProcess::startDetached(notalu, {}, folder);
}

void TCoreForm::RequestRestart() {
  restart_ = true;
  appTitle_.Listen(kRestartTitle);
  mExitAppClick();
}

void TCoreForm::HandleCommand(const QString& command) {
  if (command == QLatin1String("raise")) {
    show();
    raise();
    activateWindow();
  } else if (command == QLatin1String("close")) {
    mExitAppClick();
  } else if (command == QLatin1String("restart")) {
    RequestRestart();
  } else if (command == QLatin1String("notalu")) {
    OpenNotaluClick();
  }
}

void TCoreForm::DrawTimerTimer() {
  Ticker.DrawTimerTimer(OrvTime->CurrentTime(), clock_.Now());
  ReleaseIdleSoundDevice();
}

// The parameter check of the settings and the window's opacity.
void TCoreForm::ApplyLook() {
  WriteLog(":Parameter Check\r");
  NormalizeAppInfos(AppInfos);
  OrvTime->ProxyEnabled = AppInfos.ProxyEnabled;
  OrvTime->ProxyIP = AppInfos.ProxyIP;
  OrvTime->ProxyPort = AppInfos.ProxyPort;
  OrvTime->ProxyUsername = AppInfos.ProxyUsername;
  OrvTime->ProxyPassword = AppInfos.ProxyPassword;
  if (AppInfos.FAlpha >= 100) setWindowOpacity(1.0);
  Ticker.LastSecondPass = 0;
  RefreshFace();
  int width = 0;
  const QStringList lines = QString::fromStdString(faceText_).split(QLatin1Char('\n'));
  for (const QString& line : lines) width = std::max(width, fontMetrics().horizontalAdvance(line));
  setGeometry(AppInfos.FLeft, AppInfos.FTop, width + 16, fontMetrics().height() * static_cast<int>(lines.size()) + 12);
}

// Until the clock faces exist the window shows the real time and every server's game time
// as text, to the minute.
std::string TCoreForm::FaceText() const {
  const TDateTime now = OrvTime->CurrentTime();
  const DateTimeParts real = DecodeDateTime(now);
  std::string text;
  text.reserve(64 * static_cast<size_t>(OrvTime->ServerCount + 1));
  text.append(TOrvTime::ZeroPad(real.hour, 2)).append(":").append(TOrvTime::ZeroPad(real.minute, 2));
  for (int32_t i = 0; i < OrvTime->ServerCount; ++i) {
    const int32_t s = OrvTime->GameSecondsOfWeek(i, now);
    text.append("\n").append(OrvTime->ServerName(i)).append("  ").append(TOrvTime::WeekdayName(s / 86400));
    text.append(" ").append(TOrvTime::ZeroPad(s / 3600 % 24, 2)).append(":").append(TOrvTime::ZeroPad(s / 60 % 60, 2));
  }
  return text;
}

void TCoreForm::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(0x2B, 0x22, 0x1A));
  p.setPen(QColor(0xF3, 0xE6, 0xC8));
  p.drawText(rect().adjusted(8, 6, -8, -6), Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(faceText_));
}

// ---- Duties of the tick -------------------------------------------------------------------

int32_t TCoreForm::MaintenanceState() { return OrvTime->MaintenanceState(); }

void TCoreForm::RefreshFace() {
  std::string text = FaceText();
  if (text == faceText_) return;
  faceText_ = std::move(text);
  update();
}

// Registers the tray icon anew once the desktop has settled after a resume, then applies the
// look again. Timers rather than sleeps keep the window responsive meanwhile.
void TCoreForm::ReRegisterTray() {
  QTimer::singleShot(5000, this, [this] {
    if (!OrvTime) return;
    TrayIcon->SetVisible(false);
    QTimer::singleShot(2000, this, [this] {
      if (!OrvTime) return;
      TrayIcon->SetVisible(true);
      QTimer::singleShot(1000, this, [this] {
        if (OrvTime) ApplyLook();
      });
    });
  });
}

void TCoreForm::FadeStep() {
  const int alpha = static_cast<int>(windowOpacity() * 255 + 0.5);
  const int next = NextFadeAlpha(alpha, AppInfos.FAlpha);
  if (next != alpha) setWindowOpacity(next / 255.0);
}

const TServersStatus& TCoreForm::ServersStatus() { return OrvTime->ServersStatus; }
bool TCoreForm::IsServerDown(int32_t i) { return OrvTime->IsServerDown(i); }
void TCoreForm::FetchServersStatus() { OrvTime->FetchServersStatus(); }

// ---- Synchronisation ----------------------------------------------------------------------

SyncEnv TCoreForm::MakeSyncEnv() {
  return SyncEnv{.orv = *OrvTime,
                 .log = *LogForm,
                 .tray = *TrayIcon,
                 .notifier = notifier_,
                 .globalBalloon = AppInfos.GlobalBalloon,
                 .playSoundEvent = [this](int32_t event) { PlaySoundEvent(event, AppInfos.SENumber); },
                 .sleepMs = Pause};
}

void TCoreForm::OrvSync(bool silent) {
  SyncEnv env = MakeSyncEnv();
  kw::OrvSync(env, silent, AppInfos.LastSyncTime);
  RefreshFace();
}

void TCoreForm::RealSync(bool silent) {
  SyncEnv env = MakeSyncEnv();
  kw::RealSync(env, silent);
}

void TCoreForm::mSyncClick() { OrvSync(false); }

void TCoreForm::M1Click() {
  TopmostHoldUntil = IncYear(OrvTime->CurrentTime(), 1);
  const MaintenanceBox box = MaintenanceInfo(*OrvTime);
  notifier_.ShowMessage(box.text, box.kind);
  TopmostHoldUntil = OrvTime->CurrentTime();
}

// The sound settings dialog, on a copy of the sound settings that OK writes back.
void TCoreForm::mSoundSetupClick() {
  TopmostHoldUntil = IncYear(OrvTime->CurrentTime(), 1);
  {
    TSESetupDlg dialog(programFolder_, notifier_, this);
    RunSESetupDlg(dialog, AppInfos);
  }
  TopmostHoldUntil = OrvTime->CurrentTime();
}

// Subsystems still to come: each is called where it belongs and does nothing yet.
void TCoreForm::CheckLandDeadlines() {}
int32_t TCoreForm::RadioCheckIntervalSeconds() { return 300; }
void TCoreForm::UpdateRadioMenu() {}
void TCoreForm::CheckAlarms() {}
void TCoreForm::CheckChaosAlarms() {}
void TCoreForm::UpdateConfigFiles() {}
void TCoreForm::ReassertTopmost() {}
void TCoreForm::MaintenanceAlert(int32_t, int32_t) {}

}  // namespace kw
