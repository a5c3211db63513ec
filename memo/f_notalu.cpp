#include "memo/f_notalu.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTextBlock>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <filesystem>
#include <utility>

#include "common/ini_file.h"
#include "memo/f_textfinddlg.h"
#include "platform/user_notifier.h"

namespace kw {
namespace {

constexpr char kSection[] = "Notalu";
constexpr int kShownAlpha = 250;
constexpr int kFadedAlpha = 120;
constexpr int kFadeStep = 10;
// Ticks of Timer1 the window stays fully shown after it stopped being active.
constexpr int kFadeDelayTicks = 10;
constexpr int kListWidth = 161;
constexpr int kRowHeight = 15;

const QString kNewTitle = QStringLiteral("(新規ﾒﾓ)");

// The Windows Japanese Gothics; on Linux their places are taken by the IPA Gothics that
// Debian ships (IPAGothic fixed-pitch, IPAPGothic proportional).
void SubstituteWindowsFonts() {
  static const bool done = [] {
    QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
    QFont::insertSubstitution(QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic"));
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
    QFont::insertSubstitution(QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"));
    return true;
  }();
  (void)done;
}

QFont PixelFont(const QString& family, int px, bool fixedPitch = false) {
  QFont font(family);
  font.setPixelSize(px);
  if (fixedPitch) {
    font.setFixedPitch(true);
    font.setStyleHint(QFont::TypeWriter);
  }
  return font;
}

// Every row of the title list has the same fixed height, whatever the font asks for.
class FixedRowDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return {QStyledItemDelegate::sizeHint(option, index).width(), kRowHeight};
  }
};

QString FromUtf8(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
std::string ToUtf8(const QString& s) {
  const QByteArray bytes = s.toUtf8();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// Memo texts keep the Windows "\r\n"; the editor works with "\n".
QString BodyToEditor(const std::string& body) {
  QString text = FromUtf8(body);
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}
std::string EditorToBody(QString text) {
  text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
  return ToUtf8(text);
}

// Upper case letter by letter, so that positions in the result are positions in the text.
QString UpperKeepingPositions(QString text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
      const char32_t upper = QChar::toUpper(QChar::surrogateToUcs4(c, text.at(i + 1)));
      if (QChar::requiresSurrogates(upper)) {
        text[i] = QChar(QChar::highSurrogate(upper));
        text[i + 1] = QChar(QChar::lowSurrogate(upper));
      }
      ++i;
    } else {
      const char32_t upper = QChar::toUpper(c.unicode());
      if (!QChar::requiresSurrogates(upper)) text[i] = QChar(static_cast<char16_t>(upper));
    }
  }
  return text;
}

class ScopedFlag {
 public:
  explicit ScopedFlag(bool& flag) : flag_(flag), old_(std::exchange(flag, true)) {}
  ~ScopedFlag() { flag_ = old_; }

 private:
  bool& flag_;
  bool old_;
};

}  // namespace

TNotaluForm::TNotaluForm(std::string programFolder, const Clock& clock, QWidget* parent,
                         UserNotifier* notifier)
    : QMainWindow(parent), programFolder_(std::move(programFolder)), clock_(clock) {
  SubstituteWindowsFonts();
  setObjectName(QStringLiteral("Notalu"));
  setWindowTitle(QStringLiteral("Notalu"));
  setFont(PixelFont(QStringLiteral("ＭＳ Ｐゴシック"), 12));
  resize(400, 240);
  setWindowOpacity(alpha_ / 255.0);

  isActive = [this] {
    return isActiveWindow() && QGuiApplication::applicationState() == Qt::ApplicationActive;
  };
  // The boxes speak Japanese whether or not Qt's own translations are loaded.
  inputBox = [this](const QString& caption, const QString& prompt, QString& text) {
    QInputDialog box(this);
    box.setWindowTitle(caption);
    box.setLabelText(prompt);
    box.setTextValue(text);
    box.setOkButtonText(QStringLiteral("OK"));
    box.setCancelButtonText(QStringLiteral("キャンセル"));
    if (box.exec() != QDialog::Accepted) return false;
    text = box.textValue();
    return true;
  };
  askYesNo = [this](const QString& text) {
    QMessageBox box(QMessageBox::Warning, windowTitle(), text,
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
    box.button(QMessageBox::No)->setText(QStringLiteral("いいえ(&N)"));
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
  };
  askSaveFailure = [this](const QString& error) {
    QMessageBox box(QMessageBox::Critical, windowTitle(),
                    QStringLiteral("メモを保存できませんでした。\n") + error, QMessageBox::NoButton,
                    this);
    box.setTextFormat(Qt::PlainText);
    QPushButton* retry = box.addButton(QStringLiteral("もう一度"), QMessageBox::AcceptRole);
    QPushButton* saveAs =
        box.addButton(QStringLiteral("別の場所に保存..."), QMessageBox::ActionRole);
    QPushButton* discard =
        box.addButton(QStringLiteral("保存せずに終了"), QMessageBox::DestructiveRole);
    box.setDefaultButton(retry);
    box.exec();
    if (box.clickedButton() == saveAs) return 1;
    if (box.clickedButton() == discard) return 2;
    return 0;
  };
  askSaveAsPath = [this] {
    return QFileDialog::getSaveFileName(this, QStringLiteral("メモを別の場所に保存"),
                                        QDir::home().filePath(QStringLiteral("kronwel.ntm")),
                                        QStringLiteral("Notaluのメモ (*.ntm);;すべてのファイル (*)"));
  };

  NotaluList = new QListWidget;
  NotaluList->setObjectName(QStringLiteral("NotaluList"));
  NotaluList->setMinimumSize(30, 30);
  NotaluList->setFont(PixelFont(QStringLiteral("ＭＳ Ｐゴシック"), 13));
  NotaluList->setItemDelegate(new FixedRowDelegate(NotaluList));
  NotaluList->setUniformItemSizes(true);
  NotaluList->setSelectionMode(QAbstractItemView::SingleSelection);
  NotaluList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QPalette listColors = NotaluList->palette();
  listColors.setColor(QPalette::Base, QColor(192, 220, 192));
  NotaluList->setPalette(listColors);
  NotaluList->setContextMenuPolicy(Qt::CustomContextMenu);

  NotaluEdit = new QPlainTextEdit;
  NotaluEdit->setObjectName(QStringLiteral("NotaluEdit"));
  NotaluEdit->setFont(PixelFont(QStringLiteral("ＭＳ ゴシック"), 12, true));
  NotaluEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
  NotaluEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  NotaluEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  NotaluEdit->setTabChangesFocus(false);
  NotaluEdit->setTabStopDistance(8 * QFontMetricsF(NotaluEdit->font()).horizontalAdvance(' '));
  NotaluEdit->setEnabled(false);

  Splitter = new QSplitter(Qt::Horizontal);
  Splitter->addWidget(NotaluList);
  Splitter->addWidget(NotaluEdit);
  Splitter->setChildrenCollapsible(false);
  Splitter->setStretchFactor(0, 0);
  Splitter->setStretchFactor(1, 1);
  Splitter->setSizes({kListWidth, std::max(30, width() - kListWidth)});
  setCentralWidget(Splitter);

  BuildMenus();

  FindDialog = new TTextFindDlg(this);
  connect(FindDialog, &TTextFindDlg::findNext, this, &TNotaluForm::FindNext);

  // Follows the selection, not the current row: the list makes its first row current
  // (unselected) when it gets the focus by the keyboard, which picks no memo.
  connect(NotaluList, &QListWidget::itemSelectionChanged, this, &TNotaluForm::ListSelectionChanged);
  connect(NotaluList, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    MemoListPopup->popup(NotaluList->viewport()->mapToGlobal(at));
  });

  MemoLoad load = LoadMemos(programFolder_ + "/kronwel.ntm", clock_);
  Memos = std::move(load.memos);
  if (load.damaged) {
    // Without a backup the file itself could not be read (or no copy could be made beside it).
    const QString text =
        load.backupPath.empty()
            ? QStringLiteral("メモファイルを読めませんでした。\n") + QFile::decodeName(QByteArray::fromStdString(programFolder_ + "/kronwel.ntm"))
            : QStringLiteral("メモファイルの一部が読めませんでした。\n元のファイルを ") +
                  QFile::decodeName(QByteArray::fromStdString(std::filesystem::path(load.backupPath).filename().string())) +
                  QStringLiteral(" に残しました。");
    if (notifier) {
      notifier->ShowMessage(ToUtf8(text), NoticeKind::Warning);
    } else {
      QMessageBox box(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
      box.setTextFormat(Qt::PlainText);
      box.exec();
    }
  }
  {
    ScopedFlag sync(syncing_);
    for (const ANotalu& memo : Memos) NotaluList->addItem(FromUtf8(memo.Title));
  }
  LoadSettings();

  Timer1 = new QTimer(this);
  Timer1->setInterval(200);
  connect(Timer1, &QTimer::timeout, this, &TNotaluForm::Timer1Timer);
  Timer1->start();
}

TNotaluForm::~TNotaluForm() = default;

void TNotaluForm::BuildMenus() {
  QMenu* memoMenu = menuBar()->addMenu(QStringLiteral("メモ(&M)"));
  mNewMemo = memoMenu->addAction(QStringLiteral("新しいメモ...(&N)"));
  mNewMemo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  connect(mNewMemo, &QAction::triggered, this, &TNotaluForm::mNewMemoClick);
  mEditMemo = memoMenu->addAction(QStringLiteral("タイトルを編集...(&E)"));
  mEditMemo->setShortcut(QKeySequence(Qt::Key_F2));
  connect(mEditMemo, &QAction::triggered, this, &TNotaluForm::mEditMemoClick);
  mDropMemo = memoMenu->addAction(QStringLiteral("このメモを捨てる(&D)"));
  mDropMemo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
  connect(mDropMemo, &QAction::triggered, this, &TNotaluForm::mDropMemoClick);
  memoMenu->addSeparator();
  QAction* quit = memoMenu->addAction(QStringLiteral("Notaluを閉じる(&X)"));
  connect(quit, &QAction::triggered, this, &QWidget::close);

  QMenu* settingsMenu = menuBar()->addMenu(QStringLiteral("設定(&S)"));
  FadeSW = settingsMenu->addAction(QStringLiteral("フェードアウトする(&F)"));
  FadeSW->setCheckable(true);
  NoAlwaysTop = settingsMenu->addAction(QStringLiteral("手前に表示する(&U)"));
  NoAlwaysTop->setCheckable(true);
  connect(NoAlwaysTop, &QAction::triggered, this, &TNotaluForm::NoAlwaysTopClick);

  QMenu* findMenu = menuBar()->addMenu(QStringLiteral("検索(&F)"));
  mFind = findMenu->addAction(QStringLiteral("このメモの中から文字を探す(&M)"));
  connect(mFind, &QAction::triggered, this, &TNotaluForm::mFindClick);

  MemoListPopup = new QMenu(this);
  MemoListPopup->setObjectName(QStringLiteral("MemoListPopup"));
  MemoListPopup->addAction(mEditMemo);
  MemoListPopup->addAction(mDropMemo);
  MemoListPopup->addSeparator();
  mvUP = MemoListPopup->addAction(QStringLiteral("上へ(&W)"));
  connect(mvUP, &QAction::triggered, this, &TNotaluForm::mvUPClick);
  mvDOWN = MemoListPopup->addAction(QStringLiteral("下へ(&S)"));
  connect(mvDOWN, &QAction::triggered, this, &TNotaluForm::mvDOWNClick);
  connect(MemoListPopup, &QMenu::aboutToShow, this, &TNotaluForm::MemoListPopupPopup);
}

void TNotaluForm::LoadSettings() {
  const IniFile ini(programFolder_ + "/kronwel.ini");
  move(ini.ReadInteger(kSection, "PosL", 120), ini.ReadInteger(kSection, "PosT", 100));
  resize(ini.ReadInteger(kSection, "PosW", 400), ini.ReadInteger(kSection, "PosH", 240));
  FadeSW->setChecked(!ini.ReadBool(kSection, "Fade", true));
  NoAlwaysTop->setChecked(!ini.ReadBool(kSection, "NoAlwaysTop", false));
  SetStaysOnTop(NoAlwaysTop->isChecked());
  const int memoNo = std::max(0, ini.ReadInteger(kSection, "MemoNo", 0));
  NotaluSelect(memoNo < static_cast<int>(Memos.size()) ? memoNo : -1);
}

void TNotaluForm::SaveSettings() {
  IniFile ini(programFolder_ + "/kronwel.ini");
  const QRect normal = windowState() & (Qt::WindowMinimized | Qt::WindowMaximized |
                                        Qt::WindowFullScreen)
                           ? normalGeometry()
                           : QRect(pos(), size());
  ini.WriteInteger(kSection, "PosL", normal.left());
  ini.WriteInteger(kSection, "PosT", normal.top());
  ini.WriteInteger(kSection, "PosW", normal.width());
  ini.WriteInteger(kSection, "PosH", normal.height());
  ini.WriteBool(kSection, "Fade", !FadeSW->isChecked());
  ini.WriteBool(kSection, "NoAlwaysTop", !NoAlwaysTop->isChecked());
  ini.WriteInteger(kSection, "MemoNo", SelectedRow());
  // A failure only loses the window's place and switches; not worth a question at closing.
  ini.Flush();
}

int TNotaluForm::SelectedRow() const { return editRow_; }

void TNotaluForm::NotaluSelect(int row) {
  ScopedFlag sync(syncing_);
  if (row >= 0 && row < static_cast<int>(Memos.size())) {
    NotaluList->setCurrentRow(row);
    editRow_ = row;
    NotaluEdit->setPlainText(BodyToEditor(Memos[static_cast<size_t>(row)].Body));
    NotaluEdit->setEnabled(true);
  } else {
    NotaluList->setCurrentRow(-1);
    NotaluList->clearSelection();
    editRow_ = -1;
    NotaluEdit->clear();
    NotaluEdit->setEnabled(false);
  }
}

void TNotaluForm::ListSelectionChanged() {
  if (syncing_) return;
  const QList<QListWidgetItem*> selected = NotaluList->selectedItems();
  if (selected.isEmpty()) {
    // A control-click can take the selection away; the memo in the editor stays selected.
    if (editRow_ < 0) return;
    ScopedFlag sync(syncing_);
    NotaluList->item(editRow_)->setSelected(true);
    return;
  }
  const int row = NotaluList->row(selected.front());
  if (row == editRow_) return;
  NotaluEditExit();
  NotaluSelect(row);
}

QString TNotaluForm::EditorText() const {
  // The raw text: plain text would also turn no-break spaces into spaces.
  QString text = NotaluEdit->document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  return text;
}

void TNotaluForm::NotaluEditExit() {
  if (editRow_ < 0 || editRow_ >= static_cast<int>(Memos.size())) return;
  Memos[static_cast<size_t>(editRow_)].Body = EditorToBody(EditorText());
}

void TNotaluForm::mNewMemoClick() {
  // The input box must not end up behind a window that stays on top.
  SetStaysOnTop(false);
  QString title = kNewTitle;
  const bool ok = inputBox(QStringLiteral("新しいﾒﾓを作る"),
                           QStringLiteral("新しいﾒﾓのﾀｲﾄﾙを入力して下さい"), title);
  NoAlwaysTopClick();
  if (!ok) return;
  if (title.isEmpty()) title = kNewTitle;
  NotaluEditExit();
  Memos.push_back({ToUtf8(title), {}});
  {
    ScopedFlag sync(syncing_);
    NotaluList->addItem(title);
  }
  NotaluSelect(static_cast<int>(Memos.size()) - 1);
}

void TNotaluForm::mEditMemoClick() {
  const int row = SelectedRow();
  if (row < 0) return;
  SetStaysOnTop(false);
  QString title = FromUtf8(Memos[static_cast<size_t>(row)].Title);
  const bool ok = inputBox(QStringLiteral("ﾒﾓのﾀｲﾄﾙを変更"),
                           QStringLiteral("ﾒﾓのﾀｲﾄﾙを入力して下さい"), title);
  NoAlwaysTopClick();
  if (!ok) return;
  Memos[static_cast<size_t>(row)].Title = ToUtf8(title);
  NotaluList->item(row)->setText(title);
}

void TNotaluForm::mDropMemoClick() {
  const int row = SelectedRow();
  if (row < 0) return;
  const QString title = FromUtf8(Memos[static_cast<size_t>(row)].Title);
  if (!askYesNo(QStringLiteral("「") + title + QStringLiteral("」を削除します"))) return;
  Memos.erase(Memos.begin() + row);
  editRow_ = -1;
  {
    ScopedFlag sync(syncing_);
    delete NotaluList->takeItem(row);
  }
  const int count = static_cast<int>(Memos.size());
  NotaluSelect(row < count ? row : count - 1);
}

void TNotaluForm::SwapWithRow(int other) {
  const int row = SelectedRow();
  if (row < 0 || other < 0 || other >= static_cast<int>(Memos.size())) return;
  NotaluEditExit();
  std::swap(Memos[static_cast<size_t>(row)], Memos[static_cast<size_t>(other)]);
  {
    ScopedFlag sync(syncing_);
    NotaluList->item(row)->setText(FromUtf8(Memos[static_cast<size_t>(row)].Title));
    NotaluList->item(other)->setText(FromUtf8(Memos[static_cast<size_t>(other)].Title));
  }
  editRow_ = -1;
  NotaluSelect(other);
}

void TNotaluForm::mvUPClick() { SwapWithRow(SelectedRow() - 1); }

void TNotaluForm::mvDOWNClick() {
  if (SelectedRow() >= 0) SwapWithRow(SelectedRow() + 1);
}

void TNotaluForm::MemoListPopupPopup() {
  const int row = SelectedRow();
  mvUP->setEnabled(row > 0);
  mvDOWN->setEnabled(row >= 0 && row < static_cast<int>(Memos.size()) - 1);
}

void TNotaluForm::SetStaysOnTop(bool on) {
  Qt::WindowFlags flags = windowFlags();
  flags.setFlag(Qt::WindowStaysOnTopHint, on);
  if (flags == windowFlags()) return;
  // setWindowFlags would hide the window and show it again (the window manager may then
  // place and activate it anew); telling the window system directly changes only the
  // stacking.
  overrideWindowFlags(flags);
  if (QWindow* window = windowHandle()) window->setFlags(flags);
}

void TNotaluForm::NoAlwaysTopClick() { SetStaysOnTop(NoAlwaysTop->isChecked()); }

void TNotaluForm::mFindClick() {
  FindDialog->show();
  FindDialog->raise();
  FindDialog->activateWindow();
  FindDialog->FindEdit->setFocus();
  FindDialog->FindEdit->selectAll();
}

void TNotaluForm::FindNext() {
  while (!FindDialog->FindText().isEmpty()) {
    const QString what = FindDialog->FindText();
    const QString text = EditorText();
    const int from = NotaluEdit->textCursor().selectionEnd();
    const qsizetype at = FindDialog->MatchCase()
                             ? text.indexOf(what, from, Qt::CaseSensitive)
                             : UpperKeepingPositions(text).indexOf(UpperKeepingPositions(what),
                                                                   from, Qt::CaseSensitive);
    if (at >= 0) {
      QTextCursor match(NotaluEdit->document());
      match.setPosition(static_cast<int>(at));
      match.setPosition(static_cast<int>(at + what.size()), QTextCursor::KeepAnchor);
      NotaluEdit->setTextCursor(match);
      show();
      return;
    }
    FindDialog->close();
    if (!askYesNo(QStringLiteral("見つかりませんでした。もう一度先頭から検索しますか？"))) return;
    NotaluEdit->moveCursor(QTextCursor::Start);
    FindDialog->show();
  }
}

void TNotaluForm::Timer1Timer() {
  int alpha = alpha_;
  if (isActive() || !FadeSW->isChecked()) {
    alpha = kShownAlpha;
    idle_ = 0;
  } else if (idle_ <= kFadeDelayTicks) {
    ++idle_;
  } else {
    alpha = std::max(kFadedAlpha, alpha - kFadeStep);
  }
  if (alpha == alpha_) return;
  alpha_ = alpha;
  setWindowOpacity(alpha_ / 255.0);
  // On X11 the new opacity waits in Qt's request buffer until something else is sent, and
  // a window the user left gets no events; a repaint sends it now.
  update();
}

void TNotaluForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  NoAlwaysTopClick();
}

bool TNotaluForm::SaveMemoFile() {
  const std::string path = programFolder_ + "/kronwel.ntm";
  const auto key = [this] {
    return static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 255)(rng_));
  };
  std::string error;
  if (SaveMemos(path, Memos, key, &error)) return true;
  for (;;) {
    std::string target = path;
    switch (askSaveFailure(FromUtf8(error))) {
      case 2:
        return false;
      case 1: {
        const QString other = askSaveAsPath();
        if (other.isEmpty()) continue;
        target = QFile::encodeName(other).toStdString();
        break;
      }
      default:
        break;
    }
    if (SaveMemos(target, Memos, key, &error)) return true;
  }
}

void TNotaluForm::closeEvent(QCloseEvent* event) {
  // A close request while the save question is up waits for its answer.
  if (closing_) {
    event->ignore();
    return;
  }
  ScopedFlag closing(closing_);
  SaveSettings();
  NotaluEditExit();
  SaveMemoFile();
  event->accept();
}

}  // namespace kw
