#include "platform/qt_user_notifier.h"

#include <QMessageBox>

namespace kw {

void QtUserNotifier::ShowMessage(std::string_view text, NoticeKind kind) {
  QString body = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  // Our texts end their lines the Windows way; Qt wants "\n".
  body.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  body.replace(QLatin1Char('\r'), QLatin1Char('\n'));

  QMessageBox::Icon icon = QMessageBox::Information;
  switch (kind) {
    case NoticeKind::Information: icon = QMessageBox::Information; break;
    case NoticeKind::Warning: icon = QMessageBox::Warning; break;
    case NoticeKind::Error: icon = QMessageBox::Critical; break;
  }
  QMessageBox box(icon, QStringLiteral("Kronwel"), body, QMessageBox::Ok, parent_);
  // Plain text: a message that happens to contain "<" must not turn into markup.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace kw
