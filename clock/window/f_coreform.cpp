#include "clock/window/f_coreform.h"

#include <QApplication>
#include <QBitmap>
#include <QCloseEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <algorithm>

#include "clock/engine/u_orvtime.h"
#include "clock/face/u_face.h"
#include "clock/face/u_facefonts.h"
#include "clock/face/u_resources.h"
#include "clock/face/u_skinctrl.h"
#include "clock/online/u_hotkeys.h"
#include "clock/online/u_orvradisensor.h"
#include "clock/options/f_aboutbox.h"
#include "clock/options/f_setupdlg.h"
#include "clock/sound/f_sounddlg.h"
#include "clock/sound/u_soundeffect.h"
#include "clock/update/f_autoupdateform.h"
#include "clock/update/u_configupdate.h"
#include "clock/window/f_hksetupdlg.h"
#include "clock/window/f_logwindow.h"
#include "clock/window/u_appicon.h"
#include "clock/window/u_look.h"
#include "clock/window/u_onlinemenus.h"
#include "clock/window/u_startupinfo.h"
#include "common/clock.h"
#include "common/ini_file.h"
#include "platform/endpoints.h"
#include "platform/qt_tray.h"
#include "platform/qt_url_opener.h"
#include "platform/wine_prefix.h"
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
      notifier_(this),
      winePrefix_(WinePrefix()) {
  setWindowTitle(QStringLiteral("Kronwel"));
  setWindowIcon(QIcon(QPixmap::fromImage(KronwelIcon(64))));
  setAttribute(Qt::WA_ShowWithoutActivating);
  // The key colour: whatever the face leaves in it is cut out by the window's mask.
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, QColor(1, 1, 255));
  setPalette(palette);
  setAutoFillBackground(false);
  setAttribute(Qt::WA_OpaquePaintEvent);
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
  env.clientFolderHasClient = [this](const std::string& cpath) { return ClientFolderHasClient(cpath, winePrefix_); };
  env.findClientPath = [this] { return FindClientPath(winePrefix_, LogForm.get()); };
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
  // Before the engine reads httpctrl.cfg, so a new set takes effect at once.
  kw::UpdateConfigFiles({.programFolder = programFolder_, .productVersion = KRONWEL_VERSION, .log = *LogForm,
                         .rebuildDirectURLMenu = {}});
  WriteLog(":Done\r");

  WriteLog("本体を起動しています...\r");
  WriteLog(":Creating TOrvTime\r");
  OrvTime = std::make_unique<TOrvTime>(programFolder_, clock_, LogForm.get());
  WriteLog(":Check UIN = " + OrvTime->GetUIN() + "\r");
  WriteLog(":Creating TOrvRadi\r");
  OrvRadi = std::make_unique<TOrvRadi>(programFolder_, clock_, LogForm.get());
  OrvTime->ProgramVersion = KRONWEL_VERSION;

  WriteLog(":Screen Buffer Initialize\r");
  InstallFaceFontSubstitutions();
  face_ = std::make_unique<TFace>(*OrvTime, AppInfos);
  face_->Hooks.SelectedGameServer = [this] { return SelectedGameServer(); };
  WriteLog(":SE Engine Initialize\r");
  if (!InitSoundEngine({.programFolder = programFolder_, .settings = &AppInfos, .notifier = &notifier_, .output = nullptr})) {
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
  skinCtrl_ = std::make_unique<TSkinCtrl>(programFolder_);
  if (skinCtrl_->Count() == 0) {
    WriteLog("\003clRed");
    WriteLog("[はわわ]　服がないよぉ！\r");
    WriteLog("\003clBlack");
    notifier_.ShowMessage("スキンが見つからないのでKronwelを起動できません\r\n再インストールをお勧めします。", NoticeKind::Error);
    // The rest of the creation still runs; the program ends as soon as its loop starts.
    noSkin_ = true;
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
  }
  WriteLog(":Alarm Dialogs PreLoad\r");
  WriteLog(":Time Calculater PreLoad\r");

  WriteLog(":Monitor System Initialize\r");
  Ticker.StatusPollSecond = 10 + static_cast<int32_t>(QRandomGenerator::global()->bounded(10));
  WriteLog(":Registing Global HotKeys\r");
  ConnectMenu();
  CreateOnlineParts();
  WriteLog("なんとなく目が覚めました。\r");

  TrayIcon = std::make_unique<QtTray>(windowIcon());
  connect(TrayIcon.get(), &QtTray::balloonClicked, this, &TCoreForm::KronwelTIconBalloonClick);
  // Left and right click open the clock menu, unless a dialog of the clock is open.
  connect(TrayIcon.get(), &QtTray::clicked, this, [this] {
    if (!QApplication::activeModalWidget()) ClockPopMenuPopup(QCursor::pos());
  });
  DrawTimer = new QTimer(this);
  DrawTimer->setInterval(100);
  connect(DrawTimer, &QTimer::timeout, this, &TCoreForm::DrawTimerTimer);
}

void TCoreForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shown_ || noSkin_) return;
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
  selectedServer_.Reset();
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
  CloseSoundEngine();
  WriteLog(":Stopping Draw System\r");
  face_.reset();
  WriteLog(":Stopping OrvRadi\r");
  OrvRadi.reset();
  WriteLog(":Stopping Skin System\r");
  skinCtrl_.reset();
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

void TCoreForm::DrawTimerTimer() {
  Ticker.DrawTimerTimer(OrvTime->CurrentTime(), clock_.Now());
  ReleaseIdleSoundDevice();
}

// Applies every appearance setting: the skin, the parameter check, the window, the menu,
// the startup entry, and a fresh face.
void TCoreForm::ApplyLook() {
  WriteLog(":Skin Data Load\r");
  if (skinCtrl_->IndexOfName(AppInfos.CurrentSkinName) < 0) AppInfos.CurrentSkinName = skinCtrl_->SkinName(0);
  LoadSkin(*skinCtrl_, AppInfos.CurrentSkinName, face_->Skin, LogForm.get());
  WriteLog(":Parameter Check\r");
  NormalizeAppInfos(AppInfos);
  OrvTime->ProxyEnabled = AppInfos.ProxyEnabled;
  OrvTime->ProxyIP = AppInfos.ProxyIP;
  OrvTime->ProxyPort = AppInfos.ProxyPort;
  OrvTime->ProxyUsername = AppInfos.ProxyUsername;
  OrvTime->ProxyPassword = AppInfos.ProxyPassword;
  HandProxyToRadio();
  ApplyWindowLook();
  // The face is drawn anew at once, so the window opens at the size of its face.
  face_->ResetFaceCache();
  Ticker.LastSecondPass = 0;
  RefreshFace();
  RegisterAllHotkeys();
}

void TCoreForm::paintEvent(QPaintEvent* event) {
  if (!face_) return;
  QPainter p(this);
  const QImage& buffer = face_->BackBuffer.Image();
  if (!buffer.isNull()) p.drawImage(event->rect().topLeft(), buffer, event->rect());
}

void TCoreForm::ShowBackBuffer(bool sizeMayChange) {
  const QImage& buffer = face_->BackBuffer.Image();
  const QSize size(std::max(buffer.width(), 1), std::max(buffer.height(), 1));
  if (sizeMayChange && size != this->size()) {
    setGeometry(x(), y(), size.width(), size.height());
    KeepOnMonitor();
    AppInfos.FLeft = x();
    AppInfos.FTop = y();
  }
  // Key-coloured pixels are cut out of the window: see-through without a compositor.
  QImage mask = buffer.isNull() || buffer.width() == 0 || buffer.height() == 0
                    ? QImage(1, 1, QImage::Format_RGB32)
                    : buffer;
  if (mask.size() != buffer.size()) mask.fill(QColor(1, 1, 255));
  mask = mask.createMaskFromColor(qRgb(1, 1, 255), Qt::MaskInColor);  // key pixels become 0: cut out
  if (mask != mask_) {
    mask_ = mask;
    setMask(QBitmap::fromImage(mask_));
  }
  update();
}

// ---- Duties of the tick -------------------------------------------------------------------

int32_t TCoreForm::MaintenanceState() { return OrvTime->MaintenanceState(); }

void TCoreForm::RefreshFace() {
  if (!face_) return;
  const bool drawn = face_->RefreshFace();
  const bool visibilityChanged = UpdateAutoHide();
  if (drawn || visibilityChanged) ShowBackBuffer(true);
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

void TCoreForm::mSyncClick() { OrvSync(false); }

void TCoreForm::M1Click() {
  TopmostHoldUntil = IncYear(OrvTime->CurrentTime(), 1);
  const MaintenanceBox box = MaintenanceInfo(*OrvTime);
  notifier_.ShowMessage(box.text, box.kind);
  TopmostHoldUntil = OrvTime->CurrentTime();
}

void TCoreForm::UpdateConfigFiles() {
  kw::UpdateConfigFiles({.programFolder = programFolder_, .productVersion = KRONWEL_VERSION, .log = *LogForm,
                         .rebuildDirectURLMenu = [this] {
                           if (DirectURLMenu->menuAction()->isEnabled()) BuildDirectURLMenu();
                         }});
}

// ---- The game client ------------------------------------------------------------------------

int32_t TCoreForm::SelectedGameServer() {
  return selectedServer_.Get(*OrvTime, AppInfos.CPath, AppInfos.FServer, winePrefix_);
}

void TCoreForm::mKickORVClick() {
  if (!ClientFolderHasClient(AppInfos.CPath, winePrefix_)) return;
  const ClientLaunch launch = ClientLaunchCommand(AppInfos.CPath, winePrefix_);
  QStringList arguments;
  for (const std::string& a : launch.arguments) arguments << QString::fromStdString(a);
  QProcess process;
  process.setProgram(QString::fromStdString(launch.program));
  process.setArguments(arguments);
  process.setWorkingDirectory(QString::fromStdString(launch.workingFolder));
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("WINEPREFIX"), QString::fromStdString(winePrefix_));
  process.setProcessEnvironment(environment);
  if (!process.startDetached()) WriteLog(">The game client could not be started: wine is missing\r");
}

void TCoreForm::mPassReminderSWClick() {
  TopmostHoldUntil = IncYear(OrvTime->CurrentTime(), 1);
  TogglePasswordMemory(AppInfos.CPath, winePrefix_, notifier_, LogForm.get());
  TopmostHoldUntil = OrvTime->CurrentTime();
}

void TCoreForm::OpenFolder(std::string_view relative) {
  const QString folder = QString::fromStdString(ClientFile(AppInfos.CPath, relative, winePrefix_));
  if (QFileInfo(folder).isDir()) QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void TCoreForm::mDiveToUserFolderClick() { OpenFolder("userdata\\"); }
void TCoreForm::mDiveToSSFolderClick() { OpenFolder("screenshot\\"); }

// ---- Self-update ----------------------------------------------------------------------------

AutoUpdateEnv TCoreForm::MakeAutoUpdateEnv() {
  // Read at every use: the proxy may have been changed in the options since the start.
  const NetworkSettings net = ReadNetworkSettings(programFolder_ + "/kronwel.ini");
  return AutoUpdateEnv{
      .programFolder = programFolder_,
      .fileVersion = KRONWEL_VERSION,
      .upgradeInfo2 = OrvTime->UpgradeInfo2,
      .proxy = ProxyFromSettings(net.ProxyEnabled, net.ProxyIP, net.ProxyPort, net.ProxyUsername,
                                 net.ProxyPassword, LogForm.get()),
      .winePrefix = winePrefix_,
      .clock = clock_,
      .log = *LogForm,
      .runAndWait = RunAndWait};
}

bool TCoreForm::AutoUpdateAvailable() { return kw::AutoUpdateAvailable(MakeAutoUpdateEnv()); }

bool TCoreForm::AutoUpdate() {
  TAutoUpdateForm progress(this);
  return kw::AutoUpdate(MakeAutoUpdateEnv(), progress);
}

void TCoreForm::KronwelTIconBalloonClick(const QString& title) {
  UpdateNoticeClick(title.toStdString(),
                    {.notifier = notifier_,
                     .autoUpdateAvailable = [this] { return AutoUpdateAvailable(); },
                     .autoUpdate = [this] { return AutoUpdate(); },
                     .restart = [this] { RequestRestart(); },
                     .getUpgradeInfo = [this](TUpgradeInfo& info) { OrvTime->GetUpgradeInfo(info); },
                     .openUrl = [this](const std::string& url) { urlOpener_->OpenUrl(url); }});
}

// ---- Options and about ---------------------------------------------------------------------

void TCoreForm::mSetupClick() {
  TopmostHoldUntil = IncYear(OrvTime->CurrentTime(), 1);
  skinCtrl_->ScanSkins();
  std::vector<std::string> skins;
  for (int32_t i = 0; i < skinCtrl_->Count(); ++i) skins.push_back(skinCtrl_->SkinName(i));
  TSetupDlg dialog(this, PanelPicture(), SetupValuesFrom(AppInfos, LogForm->LogViewer), skins,
                   OrvTime->TimeAdjustOffset, [this](auto& keys) { return EditHotkeys(keys); });
  if (dialog.exec() == QDialog::Accepted) {
    if (ApplySetupValues(dialog.Values(), AppInfos, LogForm->LogViewer)) {
      UpdateRadioMenu();
      Ticker.RadioCheckTime = OrvTime->CurrentTime();
    }
    ApplyLook();
  }
  TopmostHoldUntil = OrvTime->CurrentTime();
}

// The sound settings dialog, on a copy of the sound settings that OK writes back.
void TCoreForm::mSoundSetupClick() {
  TopmostHoldUntil = IncYear(OrvTime->CurrentTime(), 1);
  {
    TSESetupDlg dialog(programFolder_, notifier_, this);
    dialog.SetPanelPicture(face_->Skin.Panel);
    RunSESetupDlg(dialog, AppInfos);
  }
  TopmostHoldUntil = OrvTime->CurrentTime();
}

void TCoreForm::mAboutKronwelClick() {
  TopmostHoldUntil = IncYear(OrvTime->CurrentTime(), 1);
  TUpgradeInfo latest;
  OrvTime->GetUpgradeInfo(latest);
  TAboutBox box(this,
                {.fileVersion = KRONWEL_VERSION,
                 .latest = latest,
                 .programFolder = programFolder_,
                 .notifier = notifier_,
                 .autoUpdateAvailable = [this] { return AutoUpdateAvailable(); },
                 .autoUpdate = [this] { return AutoUpdate(); },
                 .saveSettings = [this] { SaveAppInfos(AppInfos, SettingsEnv()); },
                 .restart = [this] { QTimer::singleShot(0, this, &TCoreForm::RequestRestart); },
                 .openUrl = [this](const std::string& url) { urlOpener_->OpenUrl(url); }},
                PanelPicture(), QPixmap::fromImage(ResourceBitmap("bAboutCastle")));
  box.exec();
  TopmostHoldUntil = OrvTime->CurrentTime();
}

// Subsystems still to come: each is called where it belongs and does nothing yet.
void TCoreForm::CheckLandDeadlines() {}
void TCoreForm::CheckAlarms() {}
void TCoreForm::CheckChaosAlarms() {}
void TCoreForm::MaintenanceAlert(int32_t, int32_t) {}

// ---- Online: global hotkeys, web-page menu, radio sensor ----------------------------------

void TCoreForm::CreateOnlineParts() {
  urlOpener_ = std::make_unique<QtUrlOpener>();
  Hotkeys = std::make_unique<XcbHotkeys>();
  Hotkeys->onHotkey = [this](uint16_t flags, uint16_t key) { HotkeyArrived(flags, key); };

  // The clock menu's two lists.
  DirectURLMenu = menu_->mDirectURLs;
  DirectURLMenu->menuAction()->setStatusTip(QStringLiteral("プレイに役立つホームページを開きます"));
  RadioMenu = menu_->mOrvRadiList;
  RadioMenu->menuAction()->setStatusTip(QStringLiteral("現在放送中（と思われる）Orvラジオのリストです"));
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

bool TCoreForm::EditHotkeys(std::array<HotkeyPair, kHotkeyCount>& keys) {
  THKSetupDlg dialog([this] { UnregisterAllHotkeys(); }, [this] { RegisterAllHotkeys(); }, PanelPicture(), this);
  std::array<QKeySequence, kHotkeyCount> shortcuts;
  for (int i = 0; i < kHotkeyCount; ++i) shortcuts[i] = HotkeyToShortcut(keys[i]);
  dialog.SetShortcuts(shortcuts);
  if (dialog.exec() != QDialog::Accepted) return false;
  const auto chosen = dialog.Shortcuts();
  for (int i = 0; i < kHotkeyCount; ++i) keys[i] = ShortcutToHotkey(chosen[i]);
  return true;
}

void TCoreForm::mHotKeySetupClick() {
  TopmostHoldUntil = IncYear(OrvTime->CurrentTime(), 1);
  auto keys = HotkeyPairs(AppInfos);
  if (EditHotkeys(keys)) {
    for (int i = 0; i < kHotkeyCount; ++i) SetHotkeyPair(AppInfos, i + 1, keys[i]);
    RegisterAllHotkeys();
  }
  TopmostHoldUntil = OrvTime->CurrentTime();
}

QPixmap TCoreForm::PanelPicture() const { return QPixmap::fromImage(face_->Skin.Panel); }

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
