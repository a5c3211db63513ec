// Named per-user local endpoints through which our programs find and command each other:
// each program's single-instance endpoint (named after its executable) and the application
// titles ("KronwelStartup", "Kronwel", "KronwelRESTART", "KronwelWait", "Notalu", ...).
// A command is one line of text ("raise", "close").
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace kw {

// Where the endpoint of this name lives: $XDG_RUNTIME_DIR/kronwel/<name>, or
// /tmp/kronwel-<uid>/<name> without a runtime folder.
QString EndpointPath(const QString& name);

// True when a program listens on the endpoint now.
bool EndpointAlive(const QString& name);

// Sends one command; true when a listener received it.
bool SendCommand(const QString& name, const QString& command, int timeoutMs = 1000);

// Listens on one named endpoint at a time and reports the commands it receives.
class Endpoint : public QObject {
  Q_OBJECT
 public:
  explicit Endpoint(QObject* parent = nullptr);
  ~Endpoint() override;

  // Stops listening under the old name and listens under the new one. A stale endpoint left
  // by a program that died is taken over. False when a live program listens there or the
  // endpoint cannot be made.
  bool Listen(const QString& name);
  void Close();
  QString Name() const;

 signals:
  void commandReceived(const QString& command);

 private:
  // Emits the complete lines the peer sent; with peerClosed also a last one without its end.
  void ReadCommands(QLocalSocket* socket, bool peerClosed);

  QLocalServer* server_ = nullptr;
  QString name_;
};

// One running instance per user and executable.
class InstanceGuard : public QObject {
  Q_OBJECT
 public:
  enum class Result {
    First,        // this process is the instance
    AnotherRuns,  // the running instance was asked to come to the front
    Failed,       // the endpoint could not be made
  };
  explicit InstanceGuard(QObject* parent = nullptr);

  // exeName: the executable's file name without its folder.
  Result Acquire(const QString& exeName);

 signals:
  // Another start asked this instance to come to the front.
  void raiseRequested();

 private:
  Endpoint endpoint_;
};

}  // namespace kw
