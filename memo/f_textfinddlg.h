// The memo pad's find dialog: the text to look for, whether case matters, and a button that
// asks the owner for the next match. Searching runs forwards only; the owner does the search.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace kw {

class TTextFindDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TTextFindDlg(QWidget* parent = nullptr);

  QString FindText() const;
  void SetFindText(const QString& text);
  bool MatchCase() const;
  void SetMatchCase(bool on);

  QLineEdit* FindEdit = nullptr;
  QCheckBox* MatchCaseCheck = nullptr;
  QPushButton* FindButton = nullptr;
  QPushButton* CancelButton = nullptr;

 signals:
  // "次を検索" was pressed (or Enter typed) with a text to look for.
  void findNext();
};

}  // namespace kw
