// The memo pad's window: the list of memo titles on the left, the selected memo's text on the
// right; it stays on top if asked and fades while the user works elsewhere.
#pragma once

#include <QMainWindow>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "memo/u_memofile.h"

class QAction;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QTimer;

namespace kw {

class TTextFindDlg;
class UserNotifier;

class TNotaluForm : public QMainWindow {
  Q_OBJECT
 public:
  // programFolder: where kronwel.ntm and kronwel.ini live. notifier: where the notice about a
  // damaged memo file goes (none: a message box).
  TNotaluForm(std::string programFolder, const Clock& clock, QWidget* parent = nullptr,
              UserNotifier* notifier = nullptr);
  ~TNotaluForm() override;

  std::vector<ANotalu> Memos;

  void NotaluSelect(int row);
  void NotaluEditExit();
  void mNewMemoClick();
  void mEditMemoClick();
  void mDropMemoClick();
  void mvUPClick();
  void mvDOWNClick();
  void NoAlwaysTopClick();
  void Timer1Timer();
  // Enables "上へ" and "下へ" for the selected row; runs whenever the list's menu opens.
  void MemoListPopupPopup();
  // "このメモの中から文字を探す": shows the find dialog.
  void mFindClick();
  // The find dialog's "次を検索".
  void FindNext();

  // The memo whose text the editor holds, -1 when none is selected.
  int SelectedRow() const;
  int Alpha() const { return alpha_; }

  // Replaceable for tests: whether the window and the application are both active; the input
  // box (title, prefill -> answer, false on Cancel); yes/no questions.
  std::function<bool()> isActive;
  std::function<bool(const QString& caption, const QString& prompt, QString& text)> inputBox;
  std::function<bool(const QString& text)> askYesNo;
  // The memos could not be saved on closing (error says why): 0 try again, 1 save to another
  // file, 2 close without saving.
  std::function<int(const QString& error)> askSaveFailure;
  // The file to save to instead; empty when the user cancels.
  std::function<QString()> askSaveAsPath;

  QListWidget* NotaluList = nullptr;
  QPlainTextEdit* NotaluEdit = nullptr;
  QSplitter* Splitter = nullptr;
  QAction* mNewMemo = nullptr;
  QAction* mEditMemo = nullptr;
  QAction* mDropMemo = nullptr;
  QAction* mFind = nullptr;
  QAction* FadeSW = nullptr;
  QAction* NoAlwaysTop = nullptr;
  QMenu* MemoListPopup = nullptr;
  QAction* mvUP = nullptr;
  QAction* mvDOWN = nullptr;
  TTextFindDlg* FindDialog = nullptr;
  QTimer* Timer1 = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void LoadSettings();
  void SaveSettings();
  bool SaveMemoFile();
  // Turns the on-top state on or off without moving, resizing or activating the window.
  void SetStaysOnTop(bool on);
  // The user selected a title (mouse or keyboard): the editor's text goes back into the
  // memo it came from, and the selected memo comes in.
  void ListSelectionChanged();
  void SwapWithRow(int other);
  QString EditorText() const;

  std::string programFolder_;
  const Clock& clock_;
  std::mt19937 rng_{std::random_device{}()};
  int alpha_ = 250;
  int idle_ = 0;
  // The memo the editor holds.
  int editRow_ = -1;
  // The list is being changed by the program, not by the user.
  bool syncing_ = false;
  bool closing_ = false;
};

}  // namespace kw
