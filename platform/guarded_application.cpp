#include "platform/guarded_application.h"

#include <QMessageBox>
#include <exception>

namespace kw {

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, QStringLiteral("Kronwel"), QString::fromUtf8(e.what()));
  } catch (...) {
    QMessageBox::critical(nullptr, QStringLiteral("Kronwel"), QStringLiteral("Unknown error"));
  }
  return false;
}

}  // namespace kw
