#include "clock/window/f_coreform.h"

#include <QCloseEvent>
#include <algorithm>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>

#include "clock/engine/u_orvtime.h"
#include "clock/online/u_hotkeys.h"
#include "clock/online/u_orvradisensor.h"
#include "clock/window/f_hksetupdlg.h"
#include "clock/window/u_onlinemenus.h"
#include "clock/window/f_logwindow.h"
#include "clock/window/u_appicon.h"
#include "clock/window/u_look.h"
#include "clock/window/u_startupinfo.h"
#include "common/clock.h"
#include "common/ini_file.h"
#include "platform/endpoints.h"
#include "platform/qt_tray.h"
#include "platform/qt_url_opener.h"
#include "platform/xcb_hotkeys.h"

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
  env.buildDirectURLMenu = [this] { BuildDirectURLMenu(); };
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
  OrvRadi = std::make_unique<TOrvRadi>(programFolder_, clock_, LogForm.get());
  OrvTime->ProgramVersion = KRONWEL_VERSION;

  WriteLog(":Screen Buffer Initialize\r");
  WriteLog(":SE Engine Initialize\r");
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
  CreateOnlineParts();
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
  UpdateRadioMenu();
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
  for (int id = 1; id <= kHotkeyCount; ++id) Hotkeys->Unregister(id);
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
  WriteLog(":Stopping Draw System\r");
  WriteLog(":Stopping OrvRadi\r");
  OrvRadi.reset();
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
  } else if (command == QLatin1String("hotkeys")) {
    // Opened from the event loop, not from inside the endpoint's read.
    QTimer::singleShot(0, this, [this] { mHotKeySetupClick(); });
  }
}

void TCoreForm::DrawTimerTimer() { Ticker.DrawTimerTimer(OrvTime->CurrentTime(), clock_.Now()); }

// The parameter check of the settings and the window's opacity.
void TCoreForm::ApplyLook() {
  WriteLog(":Parameter Check\r");
  NormalizeAppInfos(AppInfos);
  OrvTime->ProxyEnabled = AppInfos.ProxyEnabled;
  OrvTime->ProxyIP = AppInfos.ProxyIP;
  OrvTime->ProxyPort = AppInfos.ProxyPort;
  OrvTime->ProxyUsername = AppInfos.ProxyUsername;
  OrvTime->ProxyPassword = AppInfos.ProxyPassword;
  HandProxyToRadio();
  if (AppInfos.FAlpha >= 100) setWindowOpacity(1.0);
  Ticker.LastSecondPass = 0;
  RefreshFace();
  int width = 0;
  const QStringList lines = QString::fromStdString(faceText_).split(QLatin1Char('\n'));
  for (const QString& line : lines) width = std::max(width, fontMetrics().horizontalAdvance(line));
  setGeometry(AppInfos.FLeft, AppInfos.FTop, width + 16, fontMetrics().height() * static_cast<int>(lines.size()) + 12);
  RegisterAllHotkeys();
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
  // The sound engine joins at playSoundEvent.
  return SyncEnv{.orv = *OrvTime,
                 .log = *LogForm,
                 .tray = *TrayIcon,
                 .notifier = notifier_,
                 .globalBalloon = AppInfos.GlobalBalloon,
                 .playSoundEvent = [](int32_t) {},
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

// Subsystems still to come: each is called where it belongs and does nothing yet.
void TCoreForm::CheckLandDeadlines() {}
void TCoreForm::CheckAlarms() {}
void TCoreForm::CheckChaosAlarms() {}
void TCoreForm::UpdateConfigFiles() {}
void TCoreForm::ReassertTopmost() {}
void TCoreForm::MaintenanceAlert(int32_t, int32_t) {}

// ---- Online: global hotkeys, web-page menu, radio sensor ----------------------------------

void TCoreForm::CreateOnlineParts() {
  urlOpener_ = std::make_unique<QtUrlOpener>();
  Hotkeys = std::make_unique<XcbHotkeys>();
  Hotkeys->onHotkey = [this](uint16_t flags, uint16_t key) { HotkeyArrived(flags, key); };

  DirectURLMenu = new QMenu(QStringLiteral("プレイヤー支援ホームページ(&P)"), this);
  DirectURLMenu->setObjectName(QStringLiteral("mDirectURLs"));
  DirectURLMenu->menuAction()->setObjectName(QStringLiteral("mDirectURLs"));
  DirectURLMenu->menuAction()->setStatusTip(QStringLiteral("プレイに役立つホームページを開きます"));
  DirectURLMenu->menuAction()->setEnabled(false);
  RadioMenu = new QMenu(QStringLiteral("放送中のOrvラジ(&B)"), this);
  RadioMenu->setObjectName(QStringLiteral("mOrvRadiList"));
  RadioMenu->menuAction()->setObjectName(QStringLiteral("mOrvRadiList"));
  RadioMenu->menuAction()->setStatusTip(QStringLiteral("現在放送中（と思われる）Orvラジオのリストです"));
  RadioMenu->menuAction()->setEnabled(false);
}

void TCoreForm::HandProxyToRadio() {
  if (!OrvRadi) return;
  OrvRadi->ProxyEnabled = AppInfos.ProxyEnabled;
  OrvRadi->ProxyIP = AppInfos.ProxyIP;
  OrvRadi->ProxyPort = AppInfos.ProxyPort;
  OrvRadi->ProxyUsername = AppInfos.ProxyUsername;
  OrvRadi->ProxyPassword = AppInfos.ProxyPassword;
}

void TCoreForm::RegisterAllHotkeys() { kw::RegisterAllHotkeys(*Hotkeys, AppInfos, *LogForm); }
void TCoreForm::UnregisterAllHotkeys() { kw::UnregisterAllHotkeys(*Hotkeys, *LogForm); }

void TCoreForm::HotkeyArrived(uint16_t modFlags, uint16_t virtualKey) {
  const int pair = FindHotkeyPair(AppInfos, modFlags, virtualKey);
  if (pair == 0 || !OrvTime) return;
  if (pair == 1) show();
  raise();
  activateWindow();
  if (pair == 1 || !HotkeyMayOpen(OrvTime->CurrentTime(), TopmostHoldUntil)) return;
  switch (pair) {
    case 2: mMAdjustClick(); break;
    case 3: mAlarmSetupClick(); break;
    case 4: OpenNotaluClick(); break;
    case 5: mQuestTimeTableClick(); break;
    case 6: mTimeCalcClick(); break;
  }
}

void TCoreForm::mHotKeySetupClick() {
  TopmostHoldUntil = IncYear(OrvTime->CurrentTime(), 1);
  THKSetupDlg dialog([this] { UnregisterAllHotkeys(); }, [this] { RegisterAllHotkeys(); });
  std::array<QKeySequence, kHotkeyCount> shortcuts;
  const auto pairs = HotkeyPairs(AppInfos);
  for (int i = 0; i < kHotkeyCount; ++i) shortcuts[i] = HotkeyToShortcut(pairs[i]);
  dialog.SetShortcuts(shortcuts);
  if (dialog.exec() == QDialog::Accepted) {
    const auto chosen = dialog.Shortcuts();
    for (int i = 0; i < kHotkeyCount; ++i) SetHotkeyPair(AppInfos, i + 1, ShortcutToHotkey(chosen[i]));
    RegisterAllHotkeys();
  }
  TopmostHoldUntil = OrvTime->CurrentTime();
}

void TCoreForm::mMAdjustClick() {}
void TCoreForm::mAlarmSetupClick() {}
void TCoreForm::mQuestTimeTableClick() {}
void TCoreForm::mTimeCalcClick() {}

bool TCoreForm::BuildDirectURLMenu() {
  return kw::BuildDirectURLMenu(*DirectURLMenu, DirectURLList, programFolder_ + "/urllist.cfg", *LogForm,
                                [this](QAction* item) { OpenDirectURL(item); });
}

void TCoreForm::OpenDirectURL(QAction* item) { kw::OpenDirectURL(DirectURLList, item->objectName(), *urlOpener_, *LogForm); }

void TCoreForm::OpenRadioURL(QAction* item) { kw::OpenRadioURL(*item, *urlOpener_, *LogForm); }

int32_t TCoreForm::RadioCheckIntervalSeconds() { return OrvRadi ? OrvRadi->CheckInterval : 300; }

void TCoreForm::UpdateRadioMenu() {
  RadioMenuEnv env{.log = *LogForm,
                   .tray = *TrayIcon,
                   .globalBalloon = AppInfos.GlobalBalloon,
                   .sleepMs = Pause,
                   .onItem = [this](QAction* item) { OpenRadioURL(item); }};
  kw::UpdateRadioMenu(*RadioMenu, OrvRadi.get(), AppInfos.OrvRadiSensorSW, env);
}

}  // namespace kw
