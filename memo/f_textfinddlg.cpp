#include "memo/f_textfinddlg.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kw {

TTextFindDlg::TTextFindDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TextFindDlg"));
  setWindowTitle(QStringLiteral("検索"));
  setModal(false);

  FindEdit = new QLineEdit(this);
  auto* label = new QLabel(QStringLiteral("検索する文字列(&N):"), this);
  label->setBuddy(FindEdit);
  MatchCaseCheck = new QCheckBox(QStringLiteral("大文字と小文字を区別する(&C)"), this);

  FindButton = new QPushButton(QStringLiteral("次を検索(&F)"), this);
  FindButton->setDefault(true);
  CancelButton = new QPushButton(QStringLiteral("キャンセル"), this);

  auto* fields = new QVBoxLayout;
  auto* textRow = new QHBoxLayout;
  textRow->addWidget(label);
  textRow->addWidget(FindEdit, 1);
  fields->addLayout(textRow);
  fields->addWidget(MatchCaseCheck);

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(FindButton);
  buttons->addWidget(CancelButton);
  buttons->addStretch(1);

  auto* layout = new QHBoxLayout(this);
  layout->addLayout(fields, 1);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  // Nothing to look for, nothing to find.
  FindButton->setEnabled(false);
  connect(FindEdit, &QLineEdit::textChanged, this,
          [this](const QString& text) { FindButton->setEnabled(!text.isEmpty()); });
  connect(FindButton, &QPushButton::clicked, this, [this] {
    if (!FindText().isEmpty()) emit findNext();
  });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

QString TTextFindDlg::FindText() const { return FindEdit->text(); }
void TTextFindDlg::SetFindText(const QString& text) { FindEdit->setText(text); }
bool TTextFindDlg::MatchCase() const { return MatchCaseCheck->isChecked(); }
void TTextFindDlg::SetMatchCase(bool on) { MatchCaseCheck->setChecked(on); }

}  // namespace kw
