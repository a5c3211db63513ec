#include "clock/window/f_logwindow.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include <QCoreApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWindow>

namespace kw {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 180;
constexpr int kMargin = 2;  // left pen position and the blank inside the frame
constexpr int kShownAlpha = 192;
constexpr int kFadeStep = 16;
constexpr int kFadePauseMs = 20;
constexpr int kScrollPauseMs = 5;
constexpr int kScrollSteps = 4;

// The window's font is the Windows fixed-pitch Japanese Gothic; on Linux its place is taken by
// IPAGothic, the fixed-pitch Japanese Gothic that Debian ships.
void SubstituteWindowsFonts() {
  static const bool done = [] {
    QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
    QFont::insertSubstitution(QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic"));
    return true;
  }();
  (void)done;
}

// A colour in the Windows 0x00BBGGRR notation.
QColor FromBgr(uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

QColor ParseLogColor(std::string_view text) {
  struct Named {
    const char* name;
    uint32_t bgr;
  };
  static constexpr Named kNames[] = {
      {"clBlack", 0x000000},  {"clMaroon", 0x000080}, {"clGreen", 0x008000},
      {"clOlive", 0x008080},  {"clNavy", 0x800000},   {"clPurple", 0x800080},
      {"clTeal", 0x808000},   {"clGray", 0x808080},   {"clSilver", 0xC0C0C0},
      {"clRed", 0x0000FF},    {"clLime", 0x00FF00},   {"clYellow", 0x00FFFF},
      {"clBlue", 0xFF0000},   {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},
      {"clWhite", 0xFFFFFF},  {"clMoneyGreen", 0xC0DCC0}, {"clSkyBlue", 0xF0CAA6},
      {"clCream", 0xF0FBFF},  {"clMedGray", 0xA4A0A0},
  };
  for (const Named& n : kNames)
    if (EqualsNoCase(text, n.name)) return FromBgr(n.bgr);

  int base = 10;
  if (text.starts_with('$')) {
    base = 16;
    text.remove_prefix(1);
  } else if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  }
  uint32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  // Only plain RGB values; system colours and anything else draw black.
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value > 0xFFFFFF)
    return Qt::black;
  return FromBgr(value);
}

TLogForm::TLogForm(const Clock& clock, std::string debugLogPath, QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::Tool | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus),
      clock_(clock),
      file_(clock, std::move(debugLogPath)),
      canvas_(kWidth, kHeight, QImage::Format_RGB32) {
  SubstituteWindowsFonts();
  font_ = QFont(QStringLiteral("ＭＳ ゴシック"));
  font_.setPixelSize(11);
  font_.setStyleHint(QFont::TypeWriter);
  font_.setStyleStrategy(QFont::PreferAntialias);
  setFont(font_);

  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFixedSize(kWidth, kHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->geometry().center() - rect().center());
  setWindowOpacity(0);
  canvas_.fill(Qt::white);

  timer1_ = new QTimer(this);
  timer1_->setInterval(1000);
  connect(timer1_, &QTimer::timeout, this, &TLogForm::Timer1Timer);
  timer1_->start();

  if (file_.Exists()) {
    file_.AppendRaw("-----");
    file_.AppendRaw("Logging Start at " + DebugLogDateTime(clock.Now()));
  }
}

TLogForm::~TLogForm() {
  if (file_.Exists()) file_.AppendRaw("Logging Stop at " + DebugLogDateTime(clock_.Now()));
}

void TLogForm::WriteLog(std::string_view text) {
  file_.Append(text);
  if (!isVisible()) return;

  const QFontMetrics fm(font_);
  const int h = fm.height();
  const int d = h + 1;
  const int top = kHeight - d - kMargin;  // top of the text cell on the bottom line
  const int blank = fm.horizontalAdvance(QLatin1Char(' '));

  if (text.starts_with('\x03')) {
    color_ = ParseLogColor(text.substr(1));
    text = {};
  }
  if (text.starts_with(':')) return;

  const QString chars = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  // Text stays inside the frame and its blank margin, which scrolling never touches.
  const QRect inside(QPoint(kMargin, kMargin), QPoint(kWidth - 3, kHeight - 3));
  for (qsizetype i = 0; i < chars.size();) {
    const qsizetype len = chars[i].isHighSurrogate() && i + 1 < chars.size() ? 2 : 1;
    const QString ch = chars.mid(i, len);
    i += len;
    if (ch == QLatin1String("\b")) {
      cursor_ = std::max(kMargin, cursor_ - blank);
      FillWhite(QRect(cursor_, top, blank, d));
      repaint(QRect(cursor_, top, blank, d));
    } else if (ch == QLatin1String("\r")) {
      ScrollLine(d);
      cursor_ = kMargin;
    } else {
      const int advance = fm.horizontalAdvance(ch);
      {
        QPainter p(&canvas_);
        p.setClipRect(inside);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setRenderHint(QPainter::Antialiasing);
        p.setFont(font_);
        p.setPen(color_);
        p.drawText(cursor_, top + fm.ascent(), ch);
      }
      // Only the new character's cell, so the line appears as if typed.
      repaint(QRect(cursor_, top, advance, d));
      cursor_ += advance;
    }
  }
  DrawFrame();
}

void TLogForm::ScrollLine(int lineHeight) {
  const int s = lineHeight / kScrollSteps;
  const QRect area(QPoint(kMargin, kMargin), QPoint(kWidth - 3, kHeight - 3));
  for (int step = 0; step < kScrollSteps; ++step) {
    {
      // The moved block is copied first, so source and target may overlap.
      const QImage block = canvas_.copy(area.adjusted(0, s, 0, 0));
      QPainter p(&canvas_);
      p.drawImage(area.topLeft(), block);
    }
    FillWhite(QRect(QPoint(kMargin, kHeight - s - 2), QPoint(kWidth - 3, kHeight - 3)));
    DrawFrame();
    repaint();
    Pause(kScrollPauseMs);
  }
}

void TLogForm::FillWhite(const QRect& r) {
  QPainter p(&canvas_);
  p.fillRect(r, Qt::white);
}

void TLogForm::DrawFrame() {
  QPainter p(&canvas_);
  // One pixel along each edge; the four corner pixels stay out.
  p.fillRect(QRect(1, 0, kWidth - 2, 1), Qt::black);
  p.fillRect(QRect(kWidth - 1, 1, 1, kHeight - 2), Qt::black);
  p.fillRect(QRect(1, kHeight - 1, kWidth - 2, 1), Qt::black);
  p.fillRect(QRect(0, 1, 1, kHeight - 2), Qt::black);
  p.end();
  if (isVisible()) repaint();
}

void TLogForm::FadeIn() {
  if (!LogViewer) return;
  show();
  canvas_.fill(Qt::white);
  DrawFrame();
  int alpha = 0;
  do {
    alpha = std::min(alpha + kFadeStep, 255);
    setWindowOpacity(alpha / 255.0);
    Pause(kFadePauseMs);
  } while (alpha < kShownAlpha);
}

void TLogForm::FadeOut() {
  if (!isVisible()) return;
  int alpha = kShownAlpha;
  do {
    alpha = std::max(alpha - kFadeStep, 0);
    setWindowOpacity(alpha / 255.0);
    Pause(kFadePauseMs);
  } while (alpha > 0);
  hide();
}

void TLogForm::SetAutoHide(int ticks) { autoHide_ = ticks; }

void TLogForm::Timer1Timer() {
  if (autoHide_ == 0) FadeOut();
  if (autoHide_ >= 0) --autoHide_;
}

void TLogForm::Pause(int ms) {
  // The fades and the typing block the event loop: hand what was drawn and the new opacity
  // to the window system before waiting, or it only sees the last step.
  QGuiApplication::sync();
  // Start-up writes its lines before the event loop runs: a window that was just shown only
  // appears once the window system's expose has been handled.
  const QWindow* window = windowHandle();
  if (isVisible() && window && !window->isExposed())
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                    QEventLoop::ExcludeSocketNotifiers |
                                    QEventLoop::X11ExcludeTimers);
  QThread::msleep(static_cast<unsigned long>(ms));
}

void TLogForm::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  p.drawImage(event->rect(), canvas_, event->rect());
}

void TLogForm::mousePressEvent(QMouseEvent*) { FadeOut(); }

}  // namespace kw
