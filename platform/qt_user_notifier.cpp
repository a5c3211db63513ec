#include "platform/qt_user_notifier.h"

#include <QMessageBox>

namespace kw {

namespace {

// Shows the box; the button the user pressed.
QMessageBox::StandardButton Show(QWidget* parent, std::string_view text, NoticeKind kind,
                                 QMessageBox::StandardButtons buttons) {
  QString body = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  // Our texts end their lines the Windows way; Qt wants "\n".
  body.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  body.replace(QLatin1Char('\r'), QLatin1Char('\n'));

  QMessageBox::Icon icon = QMessageBox::Information;
  switch (kind) {
    case NoticeKind::Information: icon = QMessageBox::Information; break;
    case NoticeKind::Warning: icon = QMessageBox::Warning; break;
    case NoticeKind::Error: icon = QMessageBox::Critical; break;
    case NoticeKind::Confirmation: icon = QMessageBox::Question; break;
  }
  QMessageBox box(icon, QStringLiteral("Kronwel"), body, buttons, parent);
  // Plain text: a message that happens to contain "<" must not turn into markup.
  box.setTextFormat(Qt::PlainText);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

void QtUserNotifier::ShowMessage(std::string_view text, NoticeKind kind) {
  Show(parent_, text, kind, QMessageBox::Ok);
}

bool QtUserNotifier::Ask(std::string_view text, NoticeKind kind, QuestionButtons buttons) {
  const bool yesNo = buttons == QuestionButtons::YesNo;
  const auto answer = Show(parent_, text, kind,
                           yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok | QMessageBox::Cancel);
  return answer == (yesNo ? QMessageBox::Yes : QMessageBox::Ok);
}

}  // namespace kw
