// The programs' named endpoints, the single-instance guard, the termination signals and the
// tray without a tray host: real sockets, real processes (fork) and real signals. Every test
// has its own XDG_RUNTIME_DIR, so it sees neither the user's endpoints nor another test's.

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include "platform/endpoints.h"
#include "platform/qt_tray.h"
#include "platform/termination_signals.h"

namespace kw {
namespace {

bool FillAddress(const QString& path, sockaddr_un* addr) {
  const QByteArray bytes = QFile::encodeName(path);
  std::memset(addr, 0, sizeof *addr);
  addr->sun_family = AF_UNIX;
  if (bytes.size() >= qsizetype(sizeof addr->sun_path)) return false;
  std::memcpy(addr->sun_path, bytes.constData(), size_t(bytes.size()));
  return true;
}

// A socket file nobody listens on, as a program that died leaves it.
bool MakeStaleSocketFile(const QString& path) {
  sockaddr_un addr;
  if (!FillAddress(path, &addr)) return false;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  if (fd >= 0) ::close(fd);
  return bound && QFileInfo::exists(path);
}

bool IsSocketFile(const QString& path) {
  struct stat st {};
  return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISSOCK(st.st_mode);
}

// Another program listening on a path: a forked child with a plain POSIX socket that passes
// everything its peers send back through a pipe. The child only makes system calls, never
// returns into the test, and is killed and reaped when the test leaves.
class ForkedListener {
 public:
  explicit ForkedListener(const QString& path) {
    sockaddr_un addr;
    int ready[2];
    int data[2];
    if (!FillAddress(path, &addr) || ::pipe2(ready, O_CLOEXEC) != 0) return;
    if (::pipe2(data, O_CLOEXEC) != 0) {
      ::close(ready[0]);
      ::close(ready[1]);
      return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
      ::alarm(30);  // never outlives a hung test
      const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
      if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
          ::listen(s, 16) != 0)
        ::_exit(1);
      const char ok = 1;
      if (::write(ready[1], &ok, 1) != 1) ::_exit(1);
      for (;;) {
        const int c = ::accept(s, nullptr, nullptr);
        if (c < 0) continue;
        char buffer[256];
        ssize_t n;
        while ((n = ::read(c, buffer, sizeof buffer)) > 0) {
          if (::write(data[1], buffer, size_t(n)) != n) ::_exit(1);
        }
        ::close(c);
      }
    }
    ::close(ready[1]);
    ::close(data[1]);
    char ok = 0;
    started_ = pid_ > 0 && ::read(ready[0], &ok, 1) == 1;  // EOF when the child failed
    ::close(ready[0]);
    data_ = data[0];
  }
  ~ForkedListener() {
    Kill();
    if (data_ >= 0) ::close(data_);
  }
  ForkedListener(const ForkedListener&) = delete;
  ForkedListener& operator=(const ForkedListener&) = delete;

  bool started() const { return started_; }

  // The bytes received so far, once they contain `expected` or after a few seconds.
  QByteArray ReceivedUntil(const QByteArray& expected) {
    const QDeadlineTimer deadline(5000);
    while (!received_.contains(expected) && !deadline.hasExpired()) {
      pollfd p{data_, POLLIN, 0};
      if (::poll(&p, 1, int(deadline.remainingTime())) <= 0) continue;
      char buffer[256];
      const ssize_t n = ::read(data_, buffer, sizeof buffer);
      if (n <= 0) break;
      received_.append(buffer, n);
    }
    return received_;
  }

  // SIGKILL: the socket file stays behind.
  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int data_ = -1;
  bool started_ = false;
  QByteArray received_;
};

QStringList Texts(const QSignalSpy& spy) {
  QStringList texts;
  for (const QList<QVariant>& arguments : spy) texts << arguments.at(0).toString();
  return texts;
}

}  // namespace

class TestEndpoints : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    runtime_ = std::make_unique<QTemporaryDir>();
    QVERIFY(runtime_->isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_->path()));
  }
  void cleanup() { runtime_.reset(); }

  void endpointPathFollowsTheRuntimeFolder_data() {
    QTest::addColumn<QString>("runtime");  // "<unset>" leaves the variable out
    QTest::addColumn<QString>("expected");
    const QString tmp = QStringLiteral("/tmp/kronwel-%1/Kronwel").arg(::getuid());
    QTest::newRow("runtime folder") << QString() << QString();
    QTest::newRow("empty") << QStringLiteral("") << tmp;
    QTest::newRow("unset") << QStringLiteral("<unset>") << tmp;
  }
  void endpointPathFollowsTheRuntimeFolder() {
    QFETCH(QString, runtime);
    QFETCH(QString, expected);
    if (runtime.isNull()) {
      // A folder left with looser rights is tightened to the user alone.
      const QString folder = runtime_->filePath("kronwel");
      QVERIFY(QDir().mkpath(folder));
      QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
      QCOMPARE(EndpointPath("Kronwel"), folder + "/Kronwel");
      struct stat st {};
      QVERIFY(::stat(QFile::encodeName(folder).constData(), &st) == 0);
      QCOMPARE(st.st_mode & 07777, mode_t(0700));
      return;
    }
    if (runtime == "<unset>")
      qunsetenv("XDG_RUNTIME_DIR");
    else
      qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    QCOMPARE(EndpointPath("Kronwel"), expected);
    QVERIFY(QFileInfo(QFileInfo(expected).path()).isDir());
  }

  void commandsArriveLineByLine() {
    Endpoint endpoint;
    QSignalSpy spy(&endpoint, &Endpoint::commandReceived);
    QVERIFY(!EndpointAlive("Kronwel"));
    QVERIFY(!SendCommand("Kronwel", "close", 200));

    QVERIFY(endpoint.Listen("Kronwel"));
    QCOMPARE(endpoint.Name(), QStringLiteral("Kronwel"));
    QVERIFY(IsSocketFile(EndpointPath("Kronwel")));
    QVERIFY(EndpointAlive("Kronwel"));
    QVERIFY(SendCommand("Kronwel", "close"));
    QVERIFY(SendCommand("Kronwel", QStringLiteral("再起動")));

    // A peer of its own: Windows line ends, an empty line, several lines in one write and a
    // last one without its line end.
    QLocalSocket raw;
    raw.connectToServer(EndpointPath("Kronwel"));
    QVERIFY(raw.waitForConnected(1000));
    raw.write("raise\r\n\nfirst\nlast");
    QVERIFY(raw.waitForBytesWritten(1000));
    raw.disconnectFromServer();

    const QStringList expected{"close", QStringLiteral("再起動"), "raise", "first", "last"};
    QTRY_COMPARE(Texts(spy), expected);

    endpoint.Close();
    QVERIFY(endpoint.Name().isEmpty());
    QVERIFY(!QFileInfo::exists(EndpointPath("Kronwel")));
    QVERIFY(!EndpointAlive("Kronwel"));
    QVERIFY(!SendCommand("Kronwel", "close", 200));
  }

  void staleSocketFileIsTakenOver() {
    QVERIFY(MakeStaleSocketFile(EndpointPath("Kronwel")));
    QVERIFY(!EndpointAlive("Kronwel"));

    Endpoint endpoint;
    QSignalSpy spy(&endpoint, &Endpoint::commandReceived);
    QVERIFY(endpoint.Listen("Kronwel"));
    QVERIFY(SendCommand("Kronwel", "raise"));
    QVERIFY(spy.wait(2000));
    QCOMPARE(Texts(spy), QStringList{"raise"});
  }

  void liveProgramKeepsItsEndpoint() {
    const QString path = EndpointPath("Kronwel");
    ForkedListener other(path);
    QVERIFY(other.started());

    Endpoint endpoint;
    QVERIFY(endpoint.Listen("KronwelStartup"));
    QVERIFY(!endpoint.Listen("Kronwel"));
    QVERIFY(endpoint.Name().isEmpty());
    QVERIFY(!EndpointAlive("KronwelStartup"));  // the old name was given up all the same
    QVERIFY(IsSocketFile(path));                // and the other program's file left alone
    QVERIFY(EndpointAlive("Kronwel"));
    QVERIFY(SendCommand("Kronwel", "close"));
    QVERIFY(other.ReceivedUntil("close\n").contains("close\n"));

    // Killed, it leaves its socket file behind, which the next start takes over.
    other.Kill();
    QVERIFY(IsSocketFile(path));
    QVERIFY(!EndpointAlive("Kronwel"));
    QVERIFY(endpoint.Listen("Kronwel"));
    QVERIFY(EndpointAlive("Kronwel"));
  }

  void listenAgainMovesToTheNewName() {
    Endpoint endpoint;
    QSignalSpy spy(&endpoint, &Endpoint::commandReceived);
    QVERIFY(endpoint.Listen("KronwelStartup"));
    QVERIFY(endpoint.Listen("Kronwel"));
    QVERIFY(!EndpointAlive("KronwelStartup"));
    QVERIFY(!QFileInfo::exists(EndpointPath("KronwelStartup")));
    QVERIFY(EndpointAlive("Kronwel"));

    // A second listener in this process cannot take the name, nor delete the socket file.
    Endpoint other;
    QVERIFY(!other.Listen("Kronwel"));
    QVERIFY(EndpointAlive("Kronwel"));

    QVERIFY(endpoint.Listen("KronwelRESTART"));
    QCOMPARE(endpoint.Name(), QStringLiteral("KronwelRESTART"));
    QVERIFY(!EndpointAlive("Kronwel"));
    QVERIFY(other.Listen("Kronwel"));

    QVERIFY(SendCommand("KronwelRESTART", "close"));
    QVERIFY(spy.wait(2000));
    QCOMPARE(Texts(spy), QStringList{"close"});
  }

  // A restart command moves the endpoint while its own connection is being read: the lines
  // behind it were sent to the old name and are dropped.
  void listenFromACommandHandler() {
    Endpoint endpoint;
    QSignalSpy spy(&endpoint, &Endpoint::commandReceived);
    connect(&endpoint, &Endpoint::commandReceived, this, [&endpoint](const QString& command) {
      if (command == "restart") endpoint.Listen("KronwelRESTART");
    });
    QVERIFY(endpoint.Listen("Kronwel"));
    QVERIFY(SendCommand("Kronwel", "restart\nclose"));
    QVERIFY(spy.wait(2000));
    QTest::qWait(100);  // room for a wrong "close"
    QCOMPARE(Texts(spy), QStringList{"restart"});
    QCOMPARE(endpoint.Name(), QStringLiteral("KronwelRESTART"));
    QVERIFY(!EndpointAlive("Kronwel"));
    QVERIFY(SendCommand("KronwelRESTART", "close"));
    QTRY_COMPARE(Texts(spy), (QStringList{"restart", "close"}));
  }

  void unusableEndpointsFail_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("runtimeIsFile");
    QTest::newRow("runtime folder is a file") << QStringLiteral("kronwel") << true;
    QTest::newRow("name too long for a socket") << QString(200, 'k') << false;
    QTest::newRow("name with a folder") << QStringLiteral("../kronwel") << false;
  }
  void unusableEndpointsFail() {
    QFETCH(QString, name);
    QFETCH(bool, runtimeIsFile);
    if (runtimeIsFile) {
      QFile file(runtime_->filePath("file"));
      QVERIFY(file.open(QIODevice::WriteOnly));
      qputenv("XDG_RUNTIME_DIR", QFile::encodeName(file.fileName()));
    }
    Endpoint endpoint;
    QVERIFY(!endpoint.Listen("instance-" + name));
    InstanceGuard guard;
    QCOMPARE(guard.Acquire(name), InstanceGuard::Result::Failed);
    QVERIFY(!SendCommand("instance-" + name, "raise", 200));
  }

  void secondInstanceRaisesTheFirst() {
    auto first = std::make_unique<InstanceGuard>();
    QSignalSpy raised(first.get(), &InstanceGuard::raiseRequested);
    QCOMPARE(first->Acquire("kronwel"), InstanceGuard::Result::First);

    // Other commands are not a request to come to the front.
    QVERIFY(SendCommand("instance-kronwel", "close"));
    QVERIFY(SendCommand("instance-kronwel", "raised"));

    InstanceGuard second;
    QSignalSpy secondRaised(&second, &InstanceGuard::raiseRequested);
    QCOMPARE(second.Acquire("kronwel"), InstanceGuard::Result::AnotherRuns);
    QVERIFY(raised.wait(2000));
    QTest::qWait(100);  // room for a wrong extra signal
    QCOMPARE(raised.count(), 1);
    QCOMPARE(secondRaised.count(), 0);

    // Another executable is another instance.
    InstanceGuard notalu;
    QCOMPARE(notalu.Acquire("notalu"), InstanceGuard::Result::First);

    // Once the first has gone, the next start is the instance.
    first.reset();
    QVERIFY(!EndpointAlive("instance-kronwel"));
    InstanceGuard third;
    QCOMPARE(third.Acquire("kronwel"), InstanceGuard::Result::First);
  }

  void secondInstanceReachesAnotherProcess() {
    ForkedListener running(EndpointPath("instance-kronwel"));
    QVERIFY(running.started());
    InstanceGuard guard;
    QCOMPARE(guard.Acquire("kronwel"), InstanceGuard::Result::AnotherRuns);
    QVERIFY(running.ReceivedUntil("raise\n").endsWith("raise\n"));

    running.Kill();
    QCOMPARE(guard.Acquire("kronwel"), InstanceGuard::Result::First);
  }

  void terminationSignalsArriveThroughTheEventLoop() {
    struct sigaction beforeTerm {};
    struct sigaction beforeInt {};
    QVERIFY(::sigaction(SIGTERM, nullptr, &beforeTerm) == 0);
    QVERIFY(::sigaction(SIGINT, nullptr, &beforeInt) == 0);
    {
      TerminationSignals handlers;
      QSignalSpy spy(&handlers, &TerminationSignals::terminationRequested);
      {
        // A second instance stays out of the way, also when it goes.
        QTest::ignoreMessage(QtWarningMsg, "TerminationSignals: the handlers are already installed");
        TerminationSignals second;
      }
      QVERIFY(::raise(SIGTERM) == 0);
      QCOMPARE(spy.count(), 0);  // not from inside the handler
      QVERIFY(::kill(::getpid(), SIGINT) == 0);
      QTRY_COMPARE(spy.count(), 2);
      QCOMPARE(spy.at(0).at(0).toInt(), SIGTERM);
      QCOMPARE(spy.at(1).at(0).toInt(), SIGINT);
    }
    struct sigaction after {};
    QVERIFY(::sigaction(SIGTERM, nullptr, &after) == 0);
    QVERIFY(after.sa_handler == beforeTerm.sa_handler);
    QVERIFY(::sigaction(SIGINT, nullptr, &after) == 0);
    QVERIFY(after.sa_handler == beforeInt.sa_handler);

    // Installed again after the first has gone.
    TerminationSignals again;
    QSignalSpy spy(&again, &TerminationSignals::terminationRequested);
    QVERIFY(::raise(SIGTERM) == 0);
    QVERIFY(spy.wait(2000));
    QCOMPARE(spy.at(0).at(0).toInt(), SIGTERM);
  }

  void trayWithoutHostDoesNothingButRemembersTheBalloon() {
    if (QSystemTrayIcon::isSystemTrayAvailable()) QSKIP("a tray host is running");
    QtTray tray(QIcon{});
    QSignalSpy clicked(&tray, &QtTray::clicked);
    QSignalSpy balloonClicked(&tray, &QtTray::balloonClicked);
    tray.SetTip("12:34\r\nServer 1");
    tray.SetVisible(true);
    tray.ShowBalloon(BalloonKind::Warning, "アラーム\r\n1", "text\r", 1000);
    QCOMPARE(tray.LastBalloonTitle(), QStringLiteral("アラーム\r\n1"));
    tray.ShowBalloon(BalloonKind::None, "", "", 0);
    QCOMPARE(tray.LastBalloonTitle(), QString());
    tray.ShowBalloon(BalloonKind::Error, "Latest", "text", 1000);
    tray.SetVisible(false);
    QCOMPARE(tray.LastBalloonTitle(), QStringLiteral("Latest"));
    QCoreApplication::processEvents();
    QCOMPARE(clicked.count(), 0);
    QCOMPARE(balloonClicked.count(), 0);
  }

 private:
  std::unique_ptr<QTemporaryDir> runtime_;
};

}  // namespace kw

QTEST_MAIN(kw::TestEndpoints)
#include "test_endpoints.moc"
