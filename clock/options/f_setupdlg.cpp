#include "clock/options/f_setupdlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kw {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

// A check box whose text is its label: a click on the text toggles it.
QCheckBox* Box(QWidget* parent, const char* label, const char* hint) {
  auto* box = new QCheckBox(QString::fromUtf8(label), parent);
  box->setToolTip(QString::fromUtf8(hint));
  return box;
}

QLineEdit* Field(QWidget* parent, const char* hint) {
  auto* field = new QLineEdit(parent);
  field->setToolTip(QString::fromUtf8(hint));
  return field;
}

QLabel* Label(QWidget* parent, const char* text, QWidget* buddy) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setToolTip(buddy->toolTip());
  label->setBuddy(buddy);
  return label;
}

QHBoxLayout* Buttons(QDialog* dialog, QPushButton*& ok, QPushButton*& cancel) {
  ok = new QPushButton(QStringLiteral("OK"), dialog);
  cancel = new QPushButton(QStringLiteral("キャンセル"), dialog);
  ok->setDefault(true);
  QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(cancel);
  return row;
}

}  // namespace

void TPanelDialog::paintEvent(QPaintEvent* event) {
  if (!panel_.isNull()) QPainter(this).drawPixmap(0, 0, panel_);
  QDialog::paintEvent(event);
}

TExSetupDlg::TExSetupDlg(QWidget* parent, const QPixmap& panel) : TPanelDialog(parent, panel) {
  setWindowTitle(QStringLiteral("高度な設定"));
  setFixedSize(400, 236);
  sProxyEnabled = Box(this, "HTTP通信にプロキシを使用する",
                      "http通信を行う際、プロキシを経由する必要がある場合はチェックを入れて下さい");
  sProxyIP = Field(this, "プロキシサーバのIPアドレスを指定します");
  sProxyPort = Field(this, "プロキシサーバのポート番号を指定します");
  sProxyUsername = Field(this, "必要であれば、認証用のIDを設定します");
  sProxyPassword = Field(this, "必要であれば、認証用のパスワードを設定します");
  sOrvCPath = Field(this, "Orvクライアントの場所（インストールされた場所）を指定します");
  Button1 = new QPushButton(QStringLiteral("..."), this);
  Button1->setFixedWidth(28);
  sOrvRadiSensor = Box(this, "Orvラジの配信情報を取得する（試験中）", "Orvラジ鯖を巡回し、放送中の配信リストを取得します");
  sLogVisible = Box(this, "動作ログを表示（試験中）", "起動・終了時の動作ログを表示します");
  sTaskHidden = Box(this, "タスクリストに表示しない", "Alt+TabなどのタスクリストへKronwelを表示しません");
  Adj = Field(this, "現実世界の標準時刻と、このPCの時計との誤差です（内部で自動補正されています）");
  Adj->setReadOnly(true);
  connect(Button1, &QPushButton::clicked, this, &TExSetupDlg::Button1Click);

  auto* grid = new QGridLayout;
  grid->setVerticalSpacing(3);
  grid->addWidget(sProxyEnabled, 0, 0, 1, 3);
  const std::pair<const char*, QLineEdit*> rows[] = {{"プロキシサーバIPアドレス", sProxyIP},
                                                     {"プロキシサーバポート番号", sProxyPort},
                                                     {"認証用ユーザー名(省略可)", sProxyUsername},
                                                     {"認証用パスワード(省略可)", sProxyPassword}};
  int row = 1;
  for (const auto& [text, field] : rows) {
    grid->addWidget(Label(this, text, field), row, 0);
    grid->addWidget(field, row++, 1, 1, 2);
  }
  grid->addWidget(Label(this, "Orvのパス", sOrvCPath), row, 0);
  grid->addWidget(sOrvCPath, row, 1);
  grid->addWidget(Button1, row++, 2);
  grid->addWidget(sOrvRadiSensor, row++, 0, 1, 3);
  auto* checks = new QHBoxLayout;
  checks->addWidget(sLogVisible);
  checks->addWidget(sTaskHidden);
  grid->addLayout(checks, row, 0, 1, 3);
  grid->addWidget(Label(this, "このPCと標準時との差", Adj), row + 1, 0);
  grid->addWidget(Adj, row + 1, 1, 1, 2);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 6, 8, 6);
  layout->addLayout(grid);
  layout->addLayout(Buttons(this, OKBtn, CancelBtn));
}

void TExSetupDlg::Fill(const SetupValues& v, TDateTime offsetDays) {
  sProxyEnabled->setChecked(v.ProxyEnabled);
  sProxyIP->setText(Q(v.ProxyIP));
  sProxyPort->setText(Q(v.ProxyPort));
  sProxyUsername->setText(Q(v.ProxyUsername));
  sProxyPassword->setText(Q(v.ProxyPassword));
  sOrvCPath->setText(Q(v.ClientProgram));
  sOrvRadiSensor->setChecked(v.OrvRadiSensorSW);
  sLogVisible->setChecked(v.LogViewer);
  sTaskHidden->setChecked(v.TaskHidden);
  Adj->setText(Q(ClockDifferenceText(offsetDays)));
}

void TExSetupDlg::Collect(SetupValues& v) const {
  v.ProxyEnabled = sProxyEnabled->isChecked();
  v.ProxyIP = S(sProxyIP->text());
  v.ProxyPort = S(sProxyPort->text());
  v.ProxyUsername = S(sProxyUsername->text());
  v.ProxyPassword = S(sProxyPassword->text());
  v.ClientProgram = S(sOrvCPath->text());
  v.OrvRadiSensorSW = sOrvRadiSensor->isChecked();
  v.LogViewer = sLogVisible->isChecked();
  v.TaskHidden = sTaskHidden->isChecked();
}

void TExSetupDlg::Button1Click() {
  const QString start = QFileInfo(sOrvCPath->text()).path();
  const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Orvクライアントの場所"), start + "/Orvane.exe",
                                                    QStringLiteral("Orvane Client (Orvane.exe)"));
  if (!file.isEmpty()) sOrvCPath->setText(file);
}

TSetupDlg::TSetupDlg(QWidget* parent, const QPixmap& panel, SetupValues values, std::vector<std::string> skins,
                     TDateTime offsetDays, std::function<bool(std::array<HotkeyPair, kHotkeyCount>&)> editHotkeys)
    : TPanelDialog(parent, panel),
      values_(std::move(values)),
      skins_(std::move(skins)),
      offsetDays_(offsetDays),
      editHotkeys_(std::move(editHotkeys)) {
  setWindowTitle(QStringLiteral("動作の設定"));
  setFixedSize(400, 200);
  sStartupSync = Box(this, "起動したときに時計を合わせる", "Kronwel を起動した時に時計合わせを行います");
  sAutoSync = Box(this, "定期的に時計を合わせる",
                  "右で指定する間隔で、時計サーバに問い合わせ（自動時計合わせ）を行います");
  sAutoIntervalV = new QSpinBox(this);
  sAutoIntervalV->setRange(kMinAutoInterval, kMaxAutoInterval);
  sAutoIntervalV->setSingleStep(kAutoIntervalStep);
  sAutoIntervalV->setToolTip(QStringLiteral("自動時計合わせの間隔を分単位で指定します"));
  // Only the arrows change it: always a multiple of five.
  sAutoIntervalV->findChild<QLineEdit*>()->setReadOnly(true);
  sAutoHidden = Box(this, "マウスが近づいたら隠れる（Shiftキーで一時解除）",
                    "操作の邪魔にならないよう、マウスが近づくと Kronwel が非表示になります");
  sHideOnOrv = Box(this, "Orv起動中は隠れる（Shift＋ﾏｳｽ接近で一時解除）", "Orvクライアント起動を検知すると自動的に非表示になります");
  sStartup = Box(this, "Windows起動の時にKronwelも起動する", "Windowsの起動（ユーザーログオン）時に、自動的にKronwelが起動します");
  sGlobalBalloon = Box(this, "タスクトレイにバルーンメッセージを表示させる",
                       "Kronwel からのお知らせや警告などのメッセージを、タスクトレイアイコンからバルーンで表示します");
  sSkinName = new QComboBox(this);
  sSkinName->setToolTip(QStringLiteral("使用するスキンセットを選択します"));
  ExtendSetup = new QPushButton(QStringLiteral("高度な設定..."), this);
  ExtendSetup->setToolTip(QStringLiteral("通信関係、Orvインストール場所の設定などを行います"));
  HotkeySetup = new QPushButton(QStringLiteral("ﾎｯﾄｷｰ設定..."), this);
  HotkeySetup->setToolTip(QStringLiteral("ホットキーの設定を行います"));
  HotkeySetup->setEnabled(static_cast<bool>(editHotkeys_));
  ExSetupDlg = new TExSetupDlg(this, panel);
  connect(ExtendSetup, &QPushButton::clicked, this, &TSetupDlg::ExtendSetupClick);
  connect(HotkeySetup, &QPushButton::clicked, this, &TSetupDlg::HotkeySetupClick);

  auto* grid = new QGridLayout;
  grid->setVerticalSpacing(2);
  grid->addWidget(sStartupSync, 0, 0, 1, 3);
  grid->addWidget(sAutoSync, 1, 0);
  grid->addWidget(Label(this, "間隔（分）", sAutoIntervalV), 1, 1, Qt::AlignRight);
  grid->addWidget(sAutoIntervalV, 1, 2);
  grid->addWidget(sAutoHidden, 2, 0, 1, 3);
  grid->addWidget(sHideOnOrv, 3, 0, 1, 3);
  grid->addWidget(sStartup, 4, 0, 1, 3);
  grid->addWidget(sGlobalBalloon, 5, 0, 1, 3);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(Label(this, "スキン", sSkinName));
  bottom->addWidget(sSkinName, 1);
  bottom->addWidget(ExtendSetup);
  bottom->addWidget(HotkeySetup);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 6, 8, 6);
  layout->setSpacing(4);
  layout->addLayout(grid);
  layout->addLayout(bottom);
  layout->addLayout(Buttons(this, OKBtn, CancelBtn));

  sStartupSync->setChecked(values_.StartupSync);
  sAutoSync->setChecked(values_.AutoSync);
  sAutoIntervalV->setValue(values_.AutoInterval);
  sAutoHidden->setChecked(values_.AutoHidden);
  sHideOnOrv->setChecked(values_.HideOnOrv);
  sStartup->setChecked(values_.Startup);
  sGlobalBalloon->setChecked(values_.GlobalBalloon);
  for (const std::string& skin : skins_) sSkinName->addItem(Q(skin));
  sSkinName->setCurrentIndex(SkinIndex(skins_, values_.SkinName));
}

SetupValues TSetupDlg::Values() const {
  SetupValues v = values_;
  v.StartupSync = sStartupSync->isChecked();
  v.AutoSync = sAutoSync->isChecked();
  v.AutoInterval = sAutoIntervalV->value();
  v.AutoHidden = sAutoHidden->isChecked();
  v.HideOnOrv = sHideOnOrv->isChecked();
  v.Startup = sStartup->isChecked();
  v.GlobalBalloon = sGlobalBalloon->isChecked();
  if (sSkinName->currentIndex() >= 0) v.SkinName = S(sSkinName->currentText());
  return v;
}

void TSetupDlg::ExtendSetupClick() {
  ExSetupDlg->Fill(values_, offsetDays_);
  if (ExSetupDlg->exec() == QDialog::Accepted) ExSetupDlg->Collect(values_);
}

void TSetupDlg::HotkeySetupClick() {
  std::array<HotkeyPair, kHotkeyCount> keys = values_.Hotkeys;
  if (editHotkeys_ && editHotkeys_(keys)) values_.Hotkeys = keys;
}

}  // namespace kw
