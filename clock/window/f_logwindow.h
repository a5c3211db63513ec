// The log window: start-up and shutdown progress "typed" into a small borderless,
// half-transparent window in the middle of the screen, and every line appended to debug.log
// (in the current directory) when that file exists.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QWidget>

#include "clock/window/u_debuglog.h"
#include "common/log_sink.h"

class QTimer;

namespace kw {

class TLogForm : public QWidget, public LogSink {
  Q_OBJECT
 public:
  // debugLogPath: debug.log in the current directory.
  TLogForm(const Clock& clock, std::string debugLogPath, QWidget* parent = nullptr);
  ~TLogForm() override;

  // Whether the window may be shown at all (option LogViewer).
  bool LogViewer = false;

  void WriteLog(std::string_view text) override;
  void FadeIn();
  void FadeOut();
  void SetAutoHide(int ticks);
  void DrawFrame();
  // The one-second tick of timer1_: fades the window out when the auto-hide count reaches 0.
  // Public so the tick can be driven without waiting for the timer.
  void Timer1Timer();

  int AutoHideCounter() const { return autoHide_; }
  int Cursor() const { return cursor_; }
  QColor TextColor() const { return color_; }
  // What the window shows.
  const QImage& Canvas() const { return canvas_; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;

 private:
  // Blocks the caller for ms milliseconds, letting the window system expose a window that
  // was just shown (timers and user input are not processed).
  void Pause(int ms);
  void ScrollLine(int lineHeight);
  void FillWhite(const QRect& r);

  const Clock& clock_;
  DebugLog file_;
  QFont font_;
  QImage canvas_;
  QColor color_ = Qt::black;
  int cursor_ = 2;
  int autoHide_ = -1;
  QTimer* timer1_ = nullptr;
};

// The colour of a colour switch: "clRed", "clBlack", "clBlue" and the other named colours, or
// a number in the 0x00BBGGRR notation ("$0000FF" is red). Unknown text gives black.
QColor ParseLogColor(std::string_view text);

}  // namespace kw
