// SIGTERM and SIGINT (logout, Ctrl-C) turned into a Qt signal on the main thread, so the
// program closes through its normal close sequence.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace kw {

class TerminationSignals : public QObject {
  Q_OBJECT
 public:
  // Installs the handlers; one instance per process.
  explicit TerminationSignals(QObject* parent = nullptr);
  ~TerminationSignals() override;

 signals:
  void terminationRequested(int signalNumber);

 private:
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kw
