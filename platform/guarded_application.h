// The application object of our programs: an error that escapes an event handler (a tick, a
// menu command, a window event) is shown in a message box with its text, and the program
// goes on with the next event.
#pragma once

#include <QApplication>

namespace kw {

class GuardedApplication : public QApplication {
 public:
  GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace kw
