#include "platform/endpoints.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>

namespace kw {

namespace {

// A probe only asks whether someone listens: a socket file without a program answers at once,
// so a short wait is enough and a hung program cannot stall a start.
constexpr int kProbeTimeoutMs = 500;
// A command is a short word; a peer that sends this much without a line end is not ours.
constexpr qint64 kMaxCommandBytes = 4096;
// How long Listen waits for another process that is taking an endpoint at the same moment.
constexpr int kFolderLockTimeoutMs = 1500;

QString EndpointFolder() {
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty()) return QFile::decodeName(runtime) + QStringLiteral("/kronwel");
  return QStringLiteral("/tmp/kronwel-%1").arg(::getuid());
}

// Makes the folder (0700) when it is missing. False when it cannot be made or is not a
// folder of this user: in /tmp another user could have made it to catch our commands.
bool PrepareFolder(const QString& folder) {
  const QByteArray path = QFile::encodeName(folder);
  if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st {};
  if (::lstat(path.constData(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
  if ((st.st_mode & 07777) != 0700 && ::chmod(path.constData(), 0700) != 0) return false;
  return true;
}

bool ValidName(const QString& name) {
  return !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String(".") &&
         name != QLatin1String("..");
}

// The endpoint's socket path, or empty when the name or the folder is unusable.
QString UsablePath(const QString& name) {
  if (!ValidName(name)) return {};
  const QString folder = EndpointFolder();
  if (!PrepareFolder(folder)) return {};
  return folder + QLatin1Char('/') + name;
}

bool Connect(QLocalSocket& socket, const QString& path, int timeoutMs) {
  socket.connectToServer(path);
  return socket.state() == QLocalSocket::ConnectedState ||
         socket.waitForConnected(qMax(0, timeoutMs));
}

bool AliveAt(const QString& path) {
  QLocalSocket socket;
  const bool alive = Connect(socket, path, kProbeTimeoutMs);
  socket.abort();
  return alive;
}

// Serialises "is it alive? then remove the stale file and listen" between processes, so two
// programs started together cannot both take the same endpoint. Held only for that moment;
// when the lock cannot be had in time, Listen goes on without it.
class FolderLock {
 public:
  explicit FolderLock(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder + QStringLiteral("/.lock"));
    fd_ = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    const QDeadlineTimer deadline(kFolderLockTimeoutMs);
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      if ((errno != EWOULDBLOCK && errno != EINTR) || deadline.hasExpired()) {
        ::close(fd_);
        fd_ = -1;
        return;
      }
      QThread::msleep(5);
    }
  }
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_ = -1;
};

QString CommandText(QByteArray line) {
  while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
  return QString::fromUtf8(line);
}

}  // namespace

QString EndpointPath(const QString& name) {
  const QString folder = EndpointFolder();
  PrepareFolder(folder);
  return folder + QLatin1Char('/') + name;
}

bool EndpointAlive(const QString& name) {
  const QString path = UsablePath(name);
  return !path.isEmpty() && AliveAt(path);
}

bool SendCommand(const QString& name, const QString& command, int timeoutMs) {
  const QString path = UsablePath(name);
  if (path.isEmpty()) return false;
  QLocalSocket socket;
  if (!Connect(socket, path, timeoutMs)) return false;
  const QByteArray line = command.toUtf8() + '\n';
  if (socket.write(line) != line.size()) {
    socket.abort();
    return false;
  }
  const QDeadlineTimer deadline(qMax(0, timeoutMs));
  while (socket.bytesToWrite() > 0) {
    if (!socket.waitForBytesWritten(int(deadline.remainingTime()))) {
      socket.abort();
      return false;
    }
  }
  socket.disconnectFromServer();
  return true;
}

Endpoint::Endpoint(QObject* parent) : QObject(parent) {}

Endpoint::~Endpoint() { Close(); }

bool Endpoint::Listen(const QString& name) {
  Close();
  const QString path = UsablePath(name);
  if (path.isEmpty()) return false;

  const FolderLock lock(EndpointFolder());
  if (AliveAt(path)) return false;
  QLocalServer::removeServer(path);  // a socket file left by a program that died

  auto* server = new QLocalServer(this);
  if (!server->listen(path)) {
    delete server;
    return false;
  }
  server_ = server;
  name_ = name;
  connect(server, &QLocalServer::newConnection, this, [this, server] {
    while (QLocalSocket* socket = server->nextPendingConnection()) {
      connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadCommands(socket, false); });
      connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
        socket->deleteLater();
        ReadCommands(socket, true);
      });
    }
  });
  return true;
}

void Endpoint::ReadCommands(QLocalSocket* socket, bool peerClosed) {
  // Sockets of a closed server are on their way out; what they still bring is not ours.
  QPointer<Endpoint> self(this);
  while (socket->parent() == server_ && server_ != nullptr) {
    if (socket->canReadLine()) {
      const QString command = CommandText(socket->readLine());
      if (!command.isEmpty()) emit commandReceived(command);
      if (!self) return;
      continue;
    }
    if (peerClosed) {
      // A last command without its line end.
      const QString command = CommandText(socket->readAll());
      if (!command.isEmpty()) emit commandReceived(command);
    } else if (socket->bytesAvailable() > kMaxCommandBytes) {
      socket->abort();
    }
    return;
  }
}

void Endpoint::Close() {
  if (server_ != nullptr) {
    server_->close();  // removes the socket file
    // Later, because Close may run from a command handler of one of its sockets.
    server_->deleteLater();
    server_ = nullptr;
  }
  name_.clear();
}

QString Endpoint::Name() const { return name_; }

InstanceGuard::InstanceGuard(QObject* parent) : QObject(parent) {
  connect(&endpoint_, &Endpoint::commandReceived, this, [this](const QString& command) {
    if (command == QLatin1String("raise")) emit raiseRequested();
  });
}

InstanceGuard::Result InstanceGuard::Acquire(const QString& exeName) {
  const QString name = QStringLiteral("instance-") + exeName;
  if (endpoint_.Listen(name)) return Result::First;
  if (EndpointAlive(name)) {
    SendCommand(name, QStringLiteral("raise"));
    return Result::AnotherRuns;
  }
  return Result::Failed;
}

}  // namespace kw
