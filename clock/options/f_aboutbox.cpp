#include "clock/options/f_aboutbox.h"

#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "clock/options/u_aboutinfo.h"
#include "common/ini_file.h"
#include "platform/os_name.h"
#include "platform/user_notifier.h"

namespace kw {
namespace {

QLabel* Centred(QWidget* parent, const QString& text, int pixelSize, bool bold = false) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignCenter);
  label->setAttribute(Qt::WA_TranslucentBackground);
  QFont font = label->font();
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  label->setFont(font);
  return label;
}

// The framed panel with its picture stretched behind the texts.
class CastlePanel final : public QFrame {
 public:
  CastlePanel(QWidget* parent, const QPixmap& picture) : QFrame(parent), picture_(picture) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter p(this);
    if (picture_.isNull()) p.fillRect(contentsRect(), QColor(0xFB, 0xF4, 0xE4));
    else p.drawPixmap(contentsRect(), picture_);
    QFrame::paintEvent(event);
  }

 private:
  QPixmap picture_;
};

}  // namespace

TAboutBox::TAboutBox(QWidget* parent, AboutEnv env, const QPixmap& panel, const QPixmap& castle)
    : QDialog(parent), env_(std::move(env)), panel_(panel) {
  setWindowTitle(QStringLiteral("バージョン情報"));
  setFixedSize(273, 195);
  QFont base(QStringLiteral("ＭＳ Ｐゴシック"));
  base.setPixelSize(12);
  setFont(base);

  auto* frame = new CastlePanel(this, castle);
  frame->setGeometry(8, 8, 258, 148);
  Label1 = Centred(frame, QStringLiteral("Kronwel"), 13);
  QFont underlined = Label1->font();
  underlined.setUnderline(true);
  Label1->setFont(underlined);
  ProductName = Centred(frame, QStringLiteral("K r o n w e l"), 27, true);
  VerText = Centred(frame, QStringLiteral("Version ") + QString::fromStdString(env_.fileVersion), 12);
  UpgradeInformation1 = Centred(frame, {}, 12);
  UpgradeInformation2 = Centred(frame, {}, 12);
  auto* column = new QVBoxLayout(frame);
  column->setContentsMargins(4, 6, 4, 6);
  for (QLabel* label : {Label1, ProductName, VerText, UpgradeInformation1, UpgradeInformation2}) column->addWidget(label);

  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setDefault(true);
  OKButton->setGeometry(180, 162, 86, 26);
  GotoQuestBtn = new QPushButton(QStringLiteral("ｱﾝｹｰﾄに回答"), this);
  GotoQuestBtn->setToolTip(QStringLiteral("アンケートページ（任意）をブラウザで開きます"));
  GotoQuestBtn->setGeometry(8, 162, 110, 26);
  OpenHPBtn = new QPushButton(QStringLiteral("配布ページへ"), this);
  OpenHPBtn->setToolTip(QStringLiteral("配布ページをブラウザで開きます"));
  OpenHPBtn->setGeometry(GotoQuestBtn->geometry());
  OpenHPBtn->hide();
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(GotoQuestBtn, &QPushButton::clicked, this, &TAboutBox::GotoQuestBtnClick);
  connect(OpenHPBtn, &QPushButton::clicked, this, &TAboutBox::OpenHPBtnClick);

  const AboutStatus status = AboutVersionStatus(env_.fileVersion, env_.latest);
  UpgradeInformation1->setText(QString::fromStdString(status.line1));
  UpgradeInformation2->setText(QString::fromStdString(status.line2));
  const QString colour = status.red ? QStringLiteral("color: rgb(255,0,0)") : QStringLiteral("color: rgb(0,0,255)");
  UpgradeInformation1->setStyleSheet(colour);
  UpgradeInformation2->setStyleSheet(colour);
  OpenHPBtn->setEnabled(status.enableDownload);
  OpenHPBtn->setVisible(status.showDownload);
}

void TAboutBox::paintEvent(QPaintEvent* event) {
  if (!panel_.isNull()) QPainter(this).drawPixmap(0, 0, panel_);
  QDialog::paintEvent(event);
}

void TAboutBox::OpenHPBtnClick() {
  if (env_.autoUpdateAvailable && env_.autoUpdateAvailable()) {
    if (env_.notifier.Ask("自動アップデートを利用可能です。\r\n今すぐ更新しますか？", NoticeKind::Confirmation,
                          QuestionButtons::OkCancel)) {
      env_.saveSettings();
      if (!env_.autoUpdate()) return;
      accept();
      // Restarting now: no further question while the clock closes.
      env_.restart();
      return;
    }
  }
  const std::string& url = env_.latest.Url;
  if (env_.notifier.Ask("配布元として公開されている、以下のURLをブラウザで開きます。\r\nよろしいですか？\r\n\r\n" + url,
                        NoticeKind::Confirmation, QuestionButtons::OkCancel)) {
    env_.openUrl(url);
    accept();
  }
}

void TAboutBox::GotoQuestBtnClick() {
  const std::string survey = IniFile(env_.programFolder + "/httpctrl.cfg").ReadString("Quest", "Url", "");
  if (survey.empty()) {
    env_.notifier.ShowMessage("アンケートページURLの取得に失敗しました。", NoticeKind::Error);
    return;
  }
  const std::string address = SurveyAddress(survey, env_.fileVersion, WindowsName());
  if (env_.notifier.Ask("以下のアンケートページをブラウザで開きます。\r\nよろしいですか？\r\n\r\n" + address,
                        NoticeKind::Confirmation, QuestionButtons::OkCancel)) {
    env_.openUrl(address);
    accept();
  }
}

}  // namespace kw
