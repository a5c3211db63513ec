// An error that escapes an event handler is shown in a message box, and the program goes on.
#include <QEvent>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>
#include <stdexcept>

#include "platform/guarded_application.h"

namespace {

class Handler : public QObject {
 public:
  int handled = 0;
  bool event(QEvent* e) override {
    if (e->type() != QEvent::User) return QObject::event(e);
    ++handled;
    if (handled == 1) throw std::runtime_error("ファイルが壊れています");
    return true;
  }
};

}  // namespace

class TestGuardedApplication : public QObject {
  Q_OBJECT
 private slots:
  void errorInAHandlerIsShownAndTheProgramGoesOn() {
    Handler handler;
    QString shown;
    QTimer closer;
    connect(&closer, &QTimer::timeout, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        shown = box->text();
        box->accept();
      }
    });
    closer.start(10);
    QCoreApplication::postEvent(&handler, new QEvent(QEvent::User));
    QTRY_COMPARE(shown, QStringLiteral("ファイルが壊れています"));
    QCoreApplication::postEvent(&handler, new QEvent(QEvent::User));
    QTRY_COMPARE(handler.handled, 2);
  }
};

int main(int argc, char** argv) {
  kw::GuardedApplication app(argc, argv);
  TestGuardedApplication test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_guarded_application.moc"
