#include "clock/update/f_autoupdateform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>
#include <QThread>
#include <QVBoxLayout>

#include "clock/window/u_appicon.h"

namespace kw {
namespace {

QString Text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

TAutoUpdateForm::TAutoUpdateForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint) {
  setWindowTitle(QStringLiteral("Auto Update"));
  setFixedSize(336, 168);
  setAutoFillBackground(true);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);

  auto* picture = new QLabel(this);
  picture->setPixmap(QPixmap::fromImage(KronwelIcon(32)));
  const QString titleText = QStringLiteral("Kronwel自動アップデート");
  auto* title = new QLabel(titleText, this);
  QFont titleFont(QStringLiteral("MS UI Gothic"));
  titleFont.setPixelSize(24);
  titleFont.setBold(true);
  // A wider stand-in font must not cut the title off.
  constexpr int kTitleRoom = 336 - 24 - 32 - 8;
  while (titleFont.pixelSize() > 12 && QFontMetrics(titleFont).horizontalAdvance(titleText) > kTitleRoom)
    titleFont.setPixelSize(titleFont.pixelSize() - 1);
  title->setFont(titleFont);
  auto* top = new QHBoxLayout;
  top->setSpacing(8);
  top->addWidget(picture);
  top->addWidget(title, 1);

  auto* line = new QFrame(this);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);

  CurrentAction = new QLabel(this);
  QFont bold = CurrentAction->font();
  bold.setBold(true);
  CurrentAction->setFont(bold);
  CurrentAction->setAlignment(Qt::AlignCenter);
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setTextVisible(false);
  CurrentStatus = new QLabel(this);
  CurrentStatus->setAlignment(Qt::AlignCenter);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 8, 12, 8);
  layout->addLayout(top);
  layout->addWidget(line);
  layout->addWidget(CurrentAction);
  layout->addWidget(ProgressBar1);
  layout->addWidget(CurrentStatus);
}

void TAutoUpdateForm::Repaint() {
  // The download blocks the event loop: let the window paint what changed.
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TAutoUpdateForm::Show() {
  if (const QScreen* screen = QApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  show();
  raise();
  Repaint();
}

void TAutoUpdateForm::Hide() {
  hide();
  Repaint();
}

void TAutoUpdateForm::SetAction(std::string_view action, std::string_view status) {
  CurrentAction->setText(Text(action));
  CurrentStatus->setText(Text(status));
  Repaint();
}

void TAutoUpdateForm::SetProgress(int64_t position, int64_t maximum, std::string_view status) {
  // The bar counts in ints: large downloads are shown in kilobytes.
  const int shift = maximum > INT32_MAX ? 10 : 0;
  ProgressBar1->setRange(0, static_cast<int>(maximum >> shift));
  ProgressBar1->setValue(static_cast<int>(position >> shift));
  CurrentStatus->setText(Text(status));
  Repaint();
}

void TAutoUpdateForm::Beep() { QApplication::beep(); }

void TAutoUpdateForm::Pause(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) {
    Repaint();
    QThread::msleep(20);
  }
}

}  // namespace kw
