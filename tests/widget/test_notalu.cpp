#include "memo/f_notalu.h"

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QtTest>
#include <climits>
#include <deque>
#include <filesystem>
#include <memory>

#include "common/ini_file.h"
#include "memo/f_textfinddlg.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

namespace fs = std::filesystem;

const std::vector<ANotalu> kThree = {
    {"買い物", "牛乳\r\n卵"},
    {"予定", "10時 会議\r\n"},
    {"メモ", "Tab\tここ"},
};

QString Q(const std::string& s) { return QString::fromStdString(s); }

QStringList ListTitles(const TNotaluForm& form) {
  QStringList titles;
  for (int i = 0; i < form.NotaluList->count(); ++i) titles << form.NotaluList->item(i)->text();
  return titles;
}
QStringList MemoTitles(const TNotaluForm& form) {
  QStringList titles;
  for (const ANotalu& m : form.Memos) titles << Q(m.Title);
  return titles;
}

bool OnTop(const QWidget& w) { return w.windowFlags().testFlag(Qt::WindowStaysOnTopHint); }

}  // namespace

class TestNotalu : public QObject {
  Q_OBJECT

  std::unique_ptr<test::TempDir> dir_;
  ManualClock clock_{test::At(2026, 3, 4, 9, 5, 3)};
  test::RecordingNotifier notifier_;
  std::vector<QString> questions_;
  std::deque<bool> answers_;  // for askYesNo; No once they run out

  std::string Ntm() const { return dir_->File("kronwel.ntm"); }
  std::string Ini() const { return dir_->File("kronwel.ini"); }

  void WriteMemos(const std::vector<ANotalu>& memos) {
    QVERIFY(SaveMemos(Ntm(), memos, [] { return uint8_t{0x5A}; }));
  }
  void WriteNotaluKey(const char* key, int value) {
    IniFile ini(Ini());
    ini.WriteInteger("Notalu", key, value);
    QVERIFY(ini.Flush());
  }
  std::unique_ptr<TNotaluForm> Open() {
    auto form = std::make_unique<TNotaluForm>(dir_->path(), clock_, nullptr, &notifier_);
    form->askYesNo = [this](const QString& text) {
      questions_.push_back(text);
      if (answers_.empty()) return false;
      const bool yes = answers_.front();
      answers_.pop_front();
      return yes;
    };
    form->inputBox = [](const QString&, const QString&, QString&) {
      qFatal("unexpected input box");
      return false;
    };
    form->askSaveFailure = [](const QString&) {
      qFatal("unexpected save failure");
      return 2;
    };
    return form;
  }
  std::unique_ptr<TNotaluForm> Shown() {
    auto form = Open();
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get())) qFatal("window not exposed");
    return form;
  }
  static void ClickRow(TNotaluForm& form, int row) {
    const QRect rect = form.NotaluList->visualItemRect(form.NotaluList->item(row));
    QTest::mousePress(form.NotaluList->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseRelease(form.NotaluList->viewport(), Qt::LeftButton, {}, rect.center());
  }

 private slots:
  void initTestCase() { test::QuietOffscreenWarnings(); }
  void init() {
    dir_ = std::make_unique<test::TempDir>();
    notifier_.notices.clear();
    questions_.clear();
    answers_.clear();
  }
  void cleanup() { dir_.reset(); }

  void opensAtTheStoredMemo_data() {
    QTest::addColumn<int>("memoCount");
    QTest::addColumn<int>("memoNo");  // INT_MIN: key missing
    QTest::addColumn<int>("selected");
    QTest::newRow("no key") << 3 << INT_MIN << 0;
    QTest::newRow("last") << 3 << 2 << 2;
    QTest::newRow("negative") << 3 << -5 << 0;
    QTest::newRow("one past the end") << 3 << 3 << -1;
    QTest::newRow("far past the end") << 3 << 99 << -1;
    QTest::newRow("no memos") << 0 << 0 << -1;
  }
  void opensAtTheStoredMemo() {
    QFETCH(int, memoCount);
    QFETCH(int, memoNo);
    QFETCH(int, selected);
    if (memoCount > 0) WriteMemos({kThree.begin(), kThree.begin() + memoCount});
    if (memoNo != INT_MIN) WriteNotaluKey("MemoNo", memoNo);

    auto form = Shown();
    // The list makes its first row current when it gets the focus; that selects nothing.
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    form->NotaluList->setFocus(Qt::TabFocusReason);
    QCOMPARE(ListTitles(*form), MemoTitles(*form));
    QCOMPARE(form->Memos.size(), size_t(memoCount));
    QCOMPARE(form->SelectedRow(), selected);
    QCOMPARE(form->NotaluList->selectedItems().size(), selected < 0 ? 0 : 1);
    QCOMPARE(form->NotaluEdit->isEnabled(), selected >= 0);
    if (selected >= 0) {
      QCOMPARE(form->NotaluList->currentRow(), selected);
      QString shown = Q(kThree[size_t(selected)].Body);
      shown.replace("\r\n", "\n");
      QCOMPARE(form->NotaluEdit->toPlainText(), shown);
    } else {
      QCOMPARE(form->NotaluEdit->toPlainText(), QString());
    }
    QVERIFY(notifier_.notices.empty());
  }

  void readsTheWindowSettings_data() {
    QTest::addColumn<QString>("ini");
    QTest::addColumn<QRect>("geometry");  // position and client size
    QTest::addColumn<bool>("fade");
    QTest::addColumn<bool>("onTop");
    QTest::newRow("defaults") << "" << QRect(120, 100, 400, 240) << false << true;
    QTest::newRow("stored") << "PosL=30\r\nPosT=40\r\nPosW=500\r\nPosH=300\r\nFade=0\r\n"
                               "NoAlwaysTop=1\r\n"
                            << QRect(30, 40, 500, 300) << true << false;
  }
  void readsTheWindowSettings() {
    QFETCH(QString, ini);
    QFETCH(QRect, geometry);
    QFETCH(bool, fade);
    QFETCH(bool, onTop);
    test::WriteBytes(Ini(), "[Notalu]\r\n" + ini.toStdString());

    auto form = Open();
    QCOMPARE(QRect(form->pos(), form->size()), geometry);
    QCOMPARE(form->FadeSW->isChecked(), fade);
    QCOMPARE(form->NoAlwaysTop->isChecked(), onTop);
    QCOMPARE(OnTop(*form), onTop);
    QCOMPARE(form->windowTitle(), QString("Notalu"));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QCOMPARE(form->Splitter->sizes().value(0), 161);
    QCOMPARE(OnTop(*form), onTop);
  }

  void clickingAnotherTitleKeepsTheEditInTheFirstMemo() {
    WriteMemos(kThree);
    auto form = Shown();
    QCOMPARE(form->SelectedRow(), 0);
    QCOMPARE(form->NotaluList->visualItemRect(form->NotaluList->item(1)).height(), 15);

    form->NotaluEdit->setFocus();
    form->NotaluEdit->selectAll();
    QTest::keyClicks(form->NotaluEdit, "new");
    QTest::keyClick(form->NotaluEdit, Qt::Key_Return);
    QTest::keyClick(form->NotaluEdit, Qt::Key_Tab);  // types a tab, keeps the focus
    QTest::keyClicks(form->NotaluEdit, "text");
    QVERIFY(form->NotaluEdit->hasFocus());

    ClickRow(*form, 1);
    QCOMPARE(form->SelectedRow(), 1);
    QCOMPARE(form->Memos[0].Body, std::string("new\r\n\ttext"));
    QCOMPARE(form->Memos[1], kThree[1]);
    QCOMPARE(form->NotaluEdit->toPlainText(), QString("10時 会議\n"));

    // Below the last row: nothing changes.
    const QRect last = form->NotaluList->visualItemRect(form->NotaluList->item(2));
    const QPoint below(last.center().x(), last.bottom() + 20);
    QVERIFY(!form->NotaluList->itemAt(below));
    QTest::mousePress(form->NotaluList->viewport(), Qt::LeftButton, {}, below);
    QCOMPARE(form->SelectedRow(), 1);
    QCOMPARE(form->NotaluList->selectedItems().size(), 1);
    QCOMPARE(form->NotaluEdit->toPlainText(), QString("10時 会議\n"));

    ClickRow(*form, 0);
    QCOMPARE(form->NotaluEdit->toPlainText(), QString("new\n\ttext"));
    QCOMPARE(form->Memos[1], kThree[1]);

    // A control-click would unselect the row; the memo stays selected, its edit in place.
    QTest::keyClicks(form->NotaluEdit, "!");
    const QPoint first = form->NotaluList->visualItemRect(form->NotaluList->item(0)).center();
    QTest::mouseClick(form->NotaluList->viewport(), Qt::LeftButton, Qt::ControlModifier, first);
    QCOMPARE(form->SelectedRow(), 0);
    QCOMPARE(form->NotaluList->selectedItems().size(), 1);
    QCOMPARE(form->NotaluEdit->toPlainText(), QString("!new\n\ttext"));

    // The keyboard moves through the list the same way.
    form->NotaluList->setFocus();
    QTest::keyClick(form->NotaluList, Qt::Key_Down);
    QCOMPARE(form->SelectedRow(), 1);
    QCOMPARE(form->Memos[0].Body, std::string("!new\r\n\ttext"));
    QCOMPARE(form->NotaluEdit->toPlainText(), QString("10時 会議\n"));
  }

  void editorKeepsTheBodyAsWritten() {
    // Windows line breaks (a trailing one too), tabs and no-break spaces survive a pass
    // through the editor.
    const std::string body = "a\tb\r\n\xC2\xA0" "c  \r\n\r\n";
    WriteMemos({{"t", body}});
    auto form = Open();
    form->NotaluEditExit();
    QCOMPARE(form->Memos[0].Body, body);
  }

  void dropsTheSelectedMemo_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("titles");
    QTest::newRow("middle") << 3 << 1 << 1 << QStringList{"買い物", "メモ"};
    QTest::newRow("last") << 3 << 2 << 1 << QStringList{"買い物", "予定"};
    QTest::newRow("only") << 1 << 0 << -1 << QStringList{};
  }
  void dropsTheSelectedMemo() {
    QFETCH(int, count);
    QFETCH(int, row);
    QFETCH(int, selected);
    QFETCH(QStringList, titles);
    WriteMemos({kThree.begin(), kThree.begin() + count});
    WriteNotaluKey("MemoNo", row);
    auto form = Open();
    form->NotaluEdit->setPlainText("edited, then dropped");
    const QString question = "「" + Q(kThree[size_t(row)].Title) + "」を削除します";

    form->mDropMemoClick();  // answered No
    QCOMPARE(questions_, std::vector<QString>{question});
    QCOMPARE(form->Memos.size(), size_t(count));
    QCOMPARE(form->SelectedRow(), row);

    answers_ = {true};
    form->mDropMemoClick();
    QCOMPARE(MemoTitles(*form), titles);
    QCOMPARE(ListTitles(*form), titles);
    QCOMPARE(form->SelectedRow(), selected);
    QCOMPARE(form->NotaluList->currentRow(), selected);
    QCOMPARE(form->NotaluEdit->isEnabled(), selected >= 0);
    // The dropped memo's text went with it.
    for (const ANotalu& m : form->Memos) QVERIFY(m.Body != "edited, then dropped");
    if (selected >= 0) {
      QString shown = Q(form->Memos[size_t(selected)].Body);
      QCOMPARE(form->NotaluEdit->toPlainText(), shown.replace("\r\n", "\n"));
    } else {
      QCOMPARE(form->NotaluEdit->toPlainText(), QString());
      questions_.clear();
      form->mDropMemoClick();  // nothing selected: not even asked
      QVERIFY(questions_.empty());
    }
  }

  void listMenuEnablesMovesThatExist_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("memoNo");
    QTest::addColumn<bool>("up");
    QTest::addColumn<bool>("down");
    QTest::newRow("first") << 3 << 0 << false << true;
    QTest::newRow("middle") << 3 << 1 << true << true;
    QTest::newRow("last") << 3 << 2 << true << false;
    QTest::newRow("only") << 1 << 0 << false << false;
    QTest::newRow("none selected") << 3 << 3 << false << false;
  }
  void listMenuEnablesMovesThatExist() {
    QFETCH(int, count);
    QFETCH(int, memoNo);
    QFETCH(bool, up);
    QFETCH(bool, down);
    WriteMemos({kThree.begin(), kThree.begin() + count});
    WriteNotaluKey("MemoNo", memoNo);
    auto form = Shown();
    form->mvUP->setEnabled(!up);
    form->mvDOWN->setEnabled(!down);
    form->MemoListPopup->popup(form->mapToGlobal(QPoint(10, 10)));
    QCOMPARE(form->mvUP->isEnabled(), up);
    QCOMPARE(form->mvDOWN->isEnabled(), down);
    form->MemoListPopup->close();
  }

  void movesTheSelectedMemo() {
    WriteMemos(kThree);
    auto form = Open();
    form->NotaluEdit->setPlainText("moved along");

    form->mvUPClick();  // already first
    QCOMPARE(MemoTitles(*form), (QStringList{"買い物", "予定", "メモ"}));
    QCOMPARE(form->SelectedRow(), 0);

    form->mvDOWNClick();
    QCOMPARE(MemoTitles(*form), (QStringList{"予定", "買い物", "メモ"}));
    form->mvDOWNClick();
    QCOMPARE(MemoTitles(*form), (QStringList{"予定", "メモ", "買い物"}));
    QCOMPARE(ListTitles(*form), MemoTitles(*form));
    QCOMPARE(form->SelectedRow(), 2);
    QCOMPARE(form->NotaluList->currentRow(), 2);
    QCOMPARE(form->NotaluEdit->toPlainText(), QString("moved along"));
    QCOMPARE(form->Memos[2].Body, std::string("moved along"));

    form->mvDOWNClick();  // already last
    QCOMPARE(form->SelectedRow(), 2);
    form->mvUPClick();
    QCOMPARE(MemoTitles(*form), (QStringList{"予定", "買い物", "メモ"}));
    QCOMPARE(ListTitles(*form), MemoTitles(*form));
    QCOMPARE(form->SelectedRow(), 1);
    QCOMPARE(form->Memos[0], kThree[1]);
    QCOMPARE(form->Memos[2], kThree[2]);
  }

  void newMemo_data() {
    QTest::addColumn<int>("memoNo");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("title");  // empty: no memo made
    QTest::newRow("named") << 0 << true << "旅行" << "旅行";
    QTest::newRow("empty answer") << 0 << true << "" << "(新規ﾒﾓ)";
    QTest::newRow("prefill kept") << 0 << true << "(新規ﾒﾓ)" << "(新規ﾒﾓ)";
    QTest::newRow("cancelled") << 0 << false << "旅行" << "";
    QTest::newRow("none selected") << 9 << true << "旅行" << "旅行";
  }
  void newMemo() {
    QFETCH(int, memoNo);
    QFETCH(bool, ok);
    QFETCH(QString, answer);
    QFETCH(QString, title);
    WriteMemos(kThree);
    WriteNotaluKey("MemoNo", memoNo);
    auto form = Open();
    QVERIFY(OnTop(*form));
    const int before = form->SelectedRow();
    if (before >= 0) form->NotaluEdit->setPlainText("kept");
    QStringList asked;
    bool onTopWhileAsking = true;
    form->inputBox = [&](const QString& caption, const QString& prompt, QString& text) {
      asked << caption << prompt << text;
      onTopWhileAsking = OnTop(*form);
      text = answer;
      return ok;
    };

    form->mNewMemoClick();
    QCOMPARE(asked, (QStringList{"新しいﾒﾓを作る", "新しいﾒﾓのﾀｲﾄﾙを入力して下さい", "(新規ﾒﾓ)"}));
    QVERIFY(!onTopWhileAsking);
    QVERIFY(OnTop(*form));
    if (title.isEmpty()) {
      QCOMPARE(form->Memos.size(), size_t(3));
      QCOMPARE(form->SelectedRow(), before);
      return;
    }
    QCOMPARE(form->Memos.size(), size_t(4));
    QCOMPARE(form->Memos[3], (ANotalu{title.toStdString(), ""}));
    QCOMPARE(ListTitles(*form), MemoTitles(*form));
    QCOMPARE(form->SelectedRow(), 3);
    QVERIFY(form->NotaluEdit->isEnabled());
    QCOMPARE(form->NotaluEdit->toPlainText(), QString());
    if (before >= 0) QCOMPARE(form->Memos[size_t(before)].Body, std::string("kept"));
  }

  void renamesTheSelectedMemo() {
    WriteMemos(kThree);
    WriteNotaluKey("MemoNo", 1);
    auto form = Open();
    form->NoAlwaysTop->setChecked(false);
    form->NoAlwaysTopClick();
    QStringList asked;
    QString answer;
    bool ok = false;
    form->inputBox = [&](const QString& caption, const QString& prompt, QString& text) {
      asked << caption << prompt << text;
      text = answer;
      return ok;
    };

    answer = "無視";
    form->mEditMemoClick();  // cancelled
    QCOMPARE(asked, (QStringList{"ﾒﾓのﾀｲﾄﾙを変更", "ﾒﾓのﾀｲﾄﾙを入力して下さい", "予定"}));
    QCOMPARE(form->Memos[1].Title, std::string("予定"));

    ok = true;
    answer = "";
    form->mEditMemoClick();
    QCOMPARE(form->Memos[1], (ANotalu{"", kThree[1].Body}));
    QCOMPARE(ListTitles(*form), (QStringList{"買い物", "", "メモ"}));
    QCOMPARE(form->SelectedRow(), 1);
    QVERIFY(!OnTop(*form));  // not on top before, not on top after

    form->NotaluSelect(-1);
    asked.clear();
    form->mEditMemoClick();
    QVERIFY(asked.isEmpty());
  }

  void findsForwards_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("what");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<QList<int>>("starts");  // the matches in order, before wrapping
    QTest::newRow("match case") << "abc ABC abc" << "abc" << true << QList<int>{0, 8};
    QTest::newRow("any case") << "abc ABC abc" << "abc" << false << QList<int>{0, 4, 8};
    QTest::newRow("full width, after a surrogate pair")
        << "😀ａｂ\nＡＢ" << "ａｂ" << false << QList<int>{2, 5};
    QTest::newRow("full width, match case") << "😀ａｂ\nＡＢ" << "ａｂ" << true << QList<int>{2};
    QTest::newRow("overlapping") << "aaaa" << "aa" << true << QList<int>{0, 2};
    QTest::newRow("nowhere") << "abc" << "x" << false << QList<int>{};
  }
  void findsForwards() {
    QFETCH(QString, text);
    QFETCH(QString, what);
    QFETCH(bool, matchCase);
    QFETCH(QList<int>, starts);
    WriteMemos({{"t", ""}});
    auto form = Shown();
    form->NotaluEdit->setPlainText(text);
    form->mFindClick();
    QVERIFY(form->FindDialog->isVisible());
    form->FindDialog->SetFindText(what);
    form->FindDialog->SetMatchCase(matchCase);

    for (int start : starts) {
      QTest::mouseClick(form->FindDialog->FindButton, Qt::LeftButton);
      const QTextCursor c = form->NotaluEdit->textCursor();
      QCOMPARE(c.selectionStart(), start);
      QCOMPARE(c.selectedText(), text.mid(start, what.size()));
    }
    QVERIFY(questions_.empty());

    // The end: asked whether to start again from the top; Yes finds the first match again
    // (or asks once more), No stops with the dialog closed.
    answers_ = {true};
    form->FindNext();
    QCOMPARE(questions_.front(), QString("見つかりませんでした。もう一度先頭から検索しますか？"));
    if (!starts.isEmpty()) {
      QCOMPARE(questions_.size(), size_t(1));
      QCOMPARE(form->NotaluEdit->textCursor().selectionStart(), starts.front());
      QVERIFY(form->FindDialog->isVisible());
    } else {
      QCOMPARE(questions_.size(), size_t(2));
      QVERIFY(!form->FindDialog->isVisible());
      QVERIFY(!form->NotaluEdit->textCursor().hasSelection());
    }
  }

  void findsNothingWithoutText() {
    WriteMemos({{"t", "abc"}});
    auto form = Open();
    form->FindDialog->SetFindText("");
    QVERIFY(!form->FindDialog->FindButton->isEnabled());
    form->FindNext();
    QVERIFY(questions_.empty());
    QVERIFY(!form->NotaluEdit->textCursor().hasSelection());
  }

  void fadesAfterTwoSecondsElsewhere() {
    auto form = Open();
    bool active = false;
    form->isActive = [&] { return active; };

    // Fading off: never fades.
    form->FadeSW->setChecked(false);
    for (int tick = 1; tick <= 30; ++tick) form->Timer1Timer();
    QCOMPARE(form->Alpha(), 250);

    form->FadeSW->setChecked(true);
    for (int round = 0; round < 2; ++round) {
      for (int tick = 1; tick <= 30; ++tick) {
        form->Timer1Timer();
        const int expected = tick <= 11 ? 250 : std::max(120, 250 - 10 * (tick - 11));
        QVERIFY2(form->Alpha() == expected, qPrintable(QString("tick %1").arg(tick)));
        QCOMPARE(form->windowOpacity(), expected / 255.0);
      }
      QCOMPARE(form->Alpha(), 120);
      // Active again: fully shown at the next tick, and the wait starts over.
      active = true;
      form->Timer1Timer();
      QCOMPARE(form->Alpha(), 250);
      active = false;
    }
  }

  void closingWritesSettingsAndSavesMemos_data() {
    QTest::addColumn<int>("memoNo");
    QTest::newRow("memo selected") << 1;
    QTest::newRow("none selected") << -1;
  }
  void closingWritesSettingsAndSavesMemos() {
    QFETCH(int, memoNo);
    WriteMemos(kThree);
    test::WriteBytes(Ini(), "[Window]\r\nLeft=7\r\n[Notalu]\r\nMemoNo=1\r\n");
    auto form = Open();
    form->NotaluEdit->setPlainText("一行目\n二行目");
    form->NotaluEditExit();
    form->NotaluSelect(memoNo);
    if (memoNo >= 0) form->NotaluEdit->setPlainText("閉じる前\n");
    form->move(300, 200);
    form->resize(500, 300);
    form->FadeSW->setChecked(true);
    form->NoAlwaysTop->setChecked(false);
    {
      // The clock writes its own key while the memo pad is open.
      IniFile clock(Ini());
      clock.WriteString("Window", "Top", "9");
      QVERIFY(clock.Flush());
    }

    QVERIFY(form->close());

    const IniFile ini(Ini());
    QCOMPARE(ini.ReadInteger("Notalu", "PosL", 0), 300);
    QCOMPARE(ini.ReadInteger("Notalu", "PosT", 0), 200);
    QCOMPARE(ini.ReadInteger("Notalu", "PosW", 0), 500);
    QCOMPARE(ini.ReadInteger("Notalu", "PosH", 0), 300);
    QCOMPARE(ini.ReadInteger("Notalu", "Fade", 9), 0);
    QCOMPARE(ini.ReadInteger("Notalu", "NoAlwaysTop", 9), 1);
    QCOMPARE(ini.ReadInteger("Notalu", "MemoNo", 9), memoNo);
    QCOMPARE(ini.ReadString("Window", "Left", ""), std::string("7"));
    QCOMPARE(ini.ReadString("Window", "Top", ""), std::string("9"));

    std::vector<ANotalu> expected = kThree;
    expected[1].Body = "一行目\r\n二行目";
    if (memoNo >= 0) expected[size_t(memoNo)].Body = "閉じる前\r\n";
    const MemoLoad saved = LoadMemos(Ntm(), clock_);
    QVERIFY(!saved.damaged);
    QCOMPARE(saved.memos, expected);

    // Opening again finds everything as it was left.
    auto again = Open();
    QCOMPARE(again->Memos, expected);
    QCOMPARE(QRect(again->pos(), again->size()), QRect(300, 200, 500, 300));
    QVERIFY(again->FadeSW->isChecked());
    QVERIFY(!again->NoAlwaysTop->isChecked());
    QVERIFY(!OnTop(*again));
    QCOMPARE(again->SelectedRow(), memoNo < 0 ? 0 : memoNo);  // -1 reads as the first
  }

  void failedSaveAsksUntilSavedOrDiscarded_data() {
    QTest::addColumn<QList<int>>("answers");    // 0 retry, 1 save as, 2 discard
    QTest::addColumn<QStringList>("saveAsPaths");  // "" cancels the file dialog
    QTest::addColumn<QString>("savedTo");       // empty: nothing saved
    QTest::newRow("retry after the obstacle is gone") << QList<int>{0} << QStringList{}
                                                      << "kronwel.ntm";
    QTest::newRow("retry fails, then discard") << QList<int>{0, 2} << QStringList{} << "";
    QTest::newRow("discard") << QList<int>{2} << QStringList{} << "";
    QTest::newRow("save as") << QList<int>{1} << QStringList{"other.ntm"} << "other.ntm";
    QTest::newRow("save as cancelled, then discard")
        << QList<int>{1, 2} << QStringList{""} << "";
  }
  void failedSaveAsksUntilSavedOrDiscarded() {
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, saveAsPaths);
    QFETCH(QString, savedTo);
    WriteMemos(kThree);
    const std::string before = test::ReadFile(Ntm());
    const std::string obstacle = Ntm() + ".tmp";
    fs::create_directory(obstacle);
    auto form = Shown();
    form->NotaluEdit->setPlainText("大事な変更");

    const bool clearsObstacle = answers.size() == 1 && answers.front() == 0;
    QStringList errors;
    form->askSaveFailure = [&](const QString& error) {
      errors << error;
      if (errors.size() > answers.size()) qFatal("asked too often");
      if (clearsObstacle) fs::remove(obstacle);
      return answers[errors.size() - 1];
    };
    form->askSaveAsPath = [&] {
      if (saveAsPaths.isEmpty()) qFatal("unexpected file dialog");
      const QString name = saveAsPaths.takeFirst();
      return name.isEmpty() ? name : Q(dir_->File(name.toStdString()));
    };

    QVERIFY(form->close());
    QVERIFY(!form->isVisible());
    QCOMPARE(errors.size(), answers.size());
    for (const QString& error : errors) QVERIFY(!error.isEmpty());
    QVERIFY(saveAsPaths.isEmpty());

    std::vector<ANotalu> expected = kThree;
    expected[0].Body = "大事な変更";
    if (savedTo != "kronwel.ntm") QCOMPARE(test::ReadFile(Ntm()), before);
    if (!savedTo.isEmpty())
      QCOMPARE(LoadMemos(dir_->File(savedTo.toStdString()), clock_).memos, expected);
  }

  void tellsOfADamagedFile() {
    std::string file;
    file += EncodeLine(MemoTextToBytes("読める"), 3) + "\r\n";
    file += EncodeLine(MemoTextToBytes("本文"), 4) + "\r\n";
    file += "ZZ-not-hex\r\n" + EncodeLine(MemoTextToBytes("本文2"), 5) + "\r\n";
    test::WriteBytes(Ntm(), file);

    auto form = Open();
    QCOMPARE(MemoTitles(*form), QStringList{"読める"});
    QCOMPARE(notifier_.notices.size(), size_t(1));
    QCOMPARE(notifier_.notices[0].kind, NoticeKind::Warning);
    std::string backup;
    for (const auto& entry : fs::directory_iterator(dir_->path()))
      if (entry.path().extension() == ".bak") backup = entry.path().filename().string();
    QVERIFY(!backup.empty());
    QCOMPARE(Q(notifier_.notices[0].text),
             "メモファイルの一部が読めませんでした。\n元のファイルを " + Q(backup) +
                 " に残しました。");
  }
};

}  // namespace kw

QTEST_MAIN(kw::TestNotalu)
#include "test_notalu.moc"
