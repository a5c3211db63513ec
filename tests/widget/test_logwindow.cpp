#include "clock/window/f_logwindow.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include <QFontMetrics>
#include <QtTest>

#include "tests/support/test_support.h"

namespace kw {
namespace {

constexpr int W = 320;
constexpr int H = 180;

// The smallest rectangle holding every pixel of the area that matches, empty when none does.
template <typename Pred>
QRect PixelsWhere(const QImage& img, const QRect& area, Pred pred) {
  QRect box;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (pred(img.pixelColor(x, y))) box |= QRect(x, y, 1, 1);
  return box;
}

// Inside the frame and its blank margin.
const QRect kInside(2, 2, W - 4, H - 4);

bool IsInk(const QColor& c) { return c != QColor(Qt::white); }
// Red text on white keeps the red channel full wherever it blends.
bool IsNotRedInk(const QColor& c) { return c.red() < 250; }
bool IsStrongRed(const QColor& c) { return c.red() > 200 && c.green() < 80 && c.blue() < 80; }

}  // namespace

class TestLogWindow : public QObject {
  Q_OBJECT

  std::unique_ptr<test::TempDir> dir_;
  std::string path_;
  ManualClock clock_{test::At(2026, 3, 4, 9, 5, 3)};

  // A window with LogViewer on, faded in.
  std::unique_ptr<TLogForm> Shown() {
    auto form = std::make_unique<TLogForm>(clock_, path_);
    form->LogViewer = true;
    form->FadeIn();
    return form;
  }
  // The height of one scrolled line: four steps of a quarter of the line height.
  static int ScrollHeight(const TLogForm& form) {
    const int d = QFontMetrics(form.font()).height() + 1;
    return 4 * (d / 4);
  }

 private slots:
  void initTestCase() { test::QuietOffscreenWarnings(); }
  void init() {
    dir_ = std::make_unique<test::TempDir>();
    path_ = dir_->File("debug.log");
    clock_.Set(test::At(2026, 3, 4, 9, 5, 3));
  }
  void cleanup() { dir_.reset(); }

  void staysHiddenAndSilentWithoutLogViewerOrFile() {
    {
      TLogForm form(clock_, path_);
      const QImage before = form.Canvas();
      form.FadeIn();
      form.WriteLog("\003clRed");
      form.WriteLog("Starting Kronwel\r");
      QVERIFY(!form.isVisible());
      QCOMPARE(form.windowOpacity(), 0.0);
      QCOMPARE(form.Canvas(), before);
      QCOMPARE(form.Cursor(), 2);
      // Hidden, even a colour switch is left alone.
      QCOMPARE(form.TextColor(), QColor(Qt::black));
    }
    QVERIFY(!std::filesystem::exists(path_));
  }

  void logsCreationAndDestruction() {
    test::WriteBytes(path_, "");
    auto form = std::make_unique<TLogForm>(clock_, path_);
    QCOMPARE(test::ReadFile(path_), std::string("-----\nLogging Start at 2026/03/04 9:05:03\n"));
    clock_.Set(test::At(2026, 3, 5));
    form.reset();
    QCOMPARE(test::ReadFile(path_), std::string("-----\nLogging Start at 2026/03/04 9:05:03\n"
                                                "Logging Stop at 2026/03/05\n"));
  }

  void fadeInShowsAnEmptyFramedWindow() {
    test::WriteBytes(path_, "");
    auto form = Shown();
    form->WriteLog("old text");
    form->FadeOut();
    QVERIFY(!form->isVisible());
    form->FadeIn();
    QVERIFY(form->isVisible());
    QCOMPARE(form->size(), QSize(W, H));
    QCOMPARE(form->windowOpacity(), 192 / 255.0);
    QCOMPARE(QFontInfo(form->font()).family(), QStringLiteral("IPAGothic"));
    const QImage& c = form->Canvas();
    QCOMPARE(c.size(), QSize(W, H));
    QCOMPARE(PixelsWhere(c, kInside, IsInk), QRect());
    // One-pixel black edge with the four corners cut.
    for (QPoint p : {QPoint(1, 0), QPoint(W - 2, 0), QPoint(W - 1, 1), QPoint(W - 1, H - 2),
                     QPoint(W - 2, H - 1), QPoint(1, H - 1), QPoint(0, H - 2), QPoint(0, 1),
                     QPoint(W / 2, 0), QPoint(0, H / 2)})
      QCOMPARE(c.pixelColor(p), QColor(Qt::black));
    for (QPoint p : {QPoint(0, 0), QPoint(W - 1, 0), QPoint(W - 1, H - 1), QPoint(0, H - 1),
                     QPoint(1, 1), QPoint(W - 2, H - 2)})
      QCOMPARE(c.pixelColor(p), QColor(Qt::white));
  }

  void progressLinesGoOnlyToTheFile() {
    test::WriteBytes(path_, "");
    auto form = Shown();
    form->WriteLog("abc");
    // Knock a pixel out of the frame: a line that draws anything would redraw it.
    const_cast<QImage&>(form->Canvas()).setPixelColor(W / 2, 0, Qt::white);
    const QImage before = form->Canvas();
    const int cursor = form->Cursor();
    form->WriteLog(":Done\r");
    QCOMPARE(form->Canvas(), before);
    QCOMPARE(form->Cursor(), cursor);
    QVERIFY(test::ReadFile(path_).ends_with("2026/03/04 9:05:03 :Done \n"));
    form->WriteLog("");
    QCOMPARE(form->Canvas().pixelColor(W / 2, 0), QColor(Qt::black));
  }

  void colourSwitchAndCarriageReturns_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lines");
    QTest::newRow("no return") << QStringLiteral("赤い文字") << 0;
    QTest::newRow("one return") << QStringLiteral("赤い文字\r") << 1;
    QTest::newRow("two returns") << QStringLiteral("赤い文字\r\r") << 2;
  }
  void colourSwitchAndCarriageReturns() {
    QFETCH(QString, text);
    QFETCH(int, lines);
    test::WriteBytes(path_, "");
    auto form = Shown();
    const int d = QFontMetrics(form->font()).height() + 1;
    form->WriteLog("\003clRed");
    QCOMPARE(form->TextColor(), QColor(255, 0, 0));
    form->WriteLog(text.toStdString());

    const QImage& c = form->Canvas();
    QVERIFY(PixelsWhere(c, kInside, IsStrongRed).width() > 20);  // four full-width characters
    // Only red ink, all of it on the line that started at the bottom and moved up.
    QCOMPARE(PixelsWhere(c, kInside, IsNotRedInk), QRect());
    const QRect ink = PixelsWhere(c, kInside, IsInk);
    const int shift = lines * ScrollHeight(*form);
    QVERIFY2(ink.top() >= H - d - 2 - shift && ink.bottom() <= H - 3 - shift,
             qPrintable(QStringLiteral("ink rows %1..%2").arg(ink.top()).arg(ink.bottom())));
    QCOMPARE(form->Cursor(), lines ? 2 : 2 + QFontMetrics(form->font()).horizontalAdvance(text));

    std::string expected = "2026/03/04 9:05:03 " + text.toStdString() + "\n";
    std::replace(expected.begin(), expected.end(), '\r', ' ');
    QVERIFY(test::ReadFile(path_).ends_with("2026/03/04 9:05:03 \003clRed\n" + expected));
  }

  void backspaceStopsAtTheLeftMargin() {
    auto form = Shown();
    const int blank = QFontMetrics(form->font()).horizontalAdvance(QLatin1Char(' '));
    form->WriteLog("\b");
    QCOMPARE(form->Cursor(), 2);
    form->WriteLog("ab");
    QCOMPARE(form->Cursor(), 2 + 2 * blank);
    form->WriteLog("\b");
    QCOMPARE(form->Cursor(), 2 + blank);
    form->WriteLog("\b\b\b");
    QCOMPARE(form->Cursor(), 2);
    QCOMPARE(PixelsWhere(form->Canvas(), kInside, IsInk), QRect());
  }

  void autoHideFadesOutAtTheFourthTick() {
    auto form = Shown();
    form->SetAutoHide(3);
    for (int tick = 1; tick <= 3; ++tick) {
      form->Timer1Timer();
      QVERIFY(form->isVisible());
    }
    QCOMPARE(form->AutoHideCounter(), 0);
    form->Timer1Timer();
    QVERIFY(!form->isVisible());
    QCOMPARE(form->AutoHideCounter(), -1);
    form->Timer1Timer();
    QCOMPARE(form->AutoHideCounter(), -1);
  }

  void clickHidesAtOnceAndTheCountRunsDown() {
    auto form = Shown();
    form->SetAutoHide(3);
    QTest::mouseClick(form.get(), Qt::LeftButton, {}, QPoint(50, 50));
    QVERIFY(!form->isVisible());
    QCOMPARE(form->AutoHideCounter(), 3);
    for (int tick = 1; tick <= 4; ++tick) form->Timer1Timer();
    QVERIFY(!form->isVisible());
    QCOMPARE(form->AutoHideCounter(), -1);
  }

  void parsesColourNames_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("clRed") << "clRed" << QColor(255, 0, 0);
    QTest::newRow("clBlack") << "clBlack" << QColor(0, 0, 0);
    QTest::newRow("clBlue") << "clBlue" << QColor(0, 0, 255);
    QTest::newRow("clGreen") << "clGreen" << QColor(0, 128, 0);
    QTest::newRow("clNavy") << "clNavy" << QColor(0, 0, 128);
    QTest::newRow("clMaroon") << "clMaroon" << QColor(128, 0, 0);
    QTest::newRow("clTeal") << "clTeal" << QColor(0, 128, 128);
    QTest::newRow("clOlive") << "clOlive" << QColor(128, 128, 0);
    QTest::newRow("clSilver") << "clSilver" << QColor(192, 192, 192);
    QTest::newRow("clYellow") << "clYellow" << QColor(255, 255, 0);
    QTest::newRow("clAqua") << "clAqua" << QColor(0, 255, 255);
    QTest::newRow("any case") << "CLRED" << QColor(255, 0, 0);
    QTest::newRow("$BBGGRR red") << "$0000FF" << QColor(255, 0, 0);
    QTest::newRow("$BBGGRR blue") << "$FF0000" << QColor(0, 0, 255);
    QTest::newRow("$ mixed") << "$80ff40" << QColor(0x40, 0xFF, 0x80);
    QTest::newRow("decimal red") << "255" << QColor(255, 0, 0);
    QTest::newRow("decimal blue") << "16711680" << QColor(0, 0, 255);
    QTest::newRow("unknown name") << "clPink" << QColor(0, 0, 0);
    QTest::newRow("empty") << "" << QColor(0, 0, 0);
    QTest::newRow("bare $") << "$" << QColor(0, 0, 0);
    QTest::newRow("trailing junk") << "255x" << QColor(0, 0, 0);
    QTest::newRow("system colour") << "$FF000005" << QColor(0, 0, 0);
    QTest::newRow("negative") << "-1" << QColor(0, 0, 0);
  }
  void parsesColourNames() {
    QFETCH(QString, text);
    QFETCH(QColor, colour);
    QCOMPARE(ParseLogColor(text.toStdString()), colour);
  }
};

}  // namespace kw

QTEST_MAIN(kw::TestLogWindow)
#include "test_logwindow.moc"
