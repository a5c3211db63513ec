#include "platform/termination_signals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iterator>
#include <vector>

#include <QPointer>
#include <QSocketNotifier>

namespace kw {

namespace {

// The handler only writes the signal number into a socket pair; the notifier on the other end
// reports it from the event loop, where anything may be done.
volatile sig_atomic_t g_writeFd = -1;
int g_readFd = -1;
std::atomic<bool> g_installed{false};

constexpr int kSignals[] = {SIGTERM, SIGINT};
struct sigaction g_previous[std::size(kSignals)];

void OnSignal(int signo) {
  const int savedErrno = errno;
  const int fd = g_writeFd;
  if (fd >= 0) {
    const unsigned char byte = static_cast<unsigned char>(signo);
    // A full pipe already holds pending signals; dropping this one loses nothing that matters.
    [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
  }
  errno = savedErrno;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
  if (g_installed.exchange(true)) {
    qWarning("TerminationSignals: the handlers are already installed");
    return;
  }
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0) {
    qWarning("TerminationSignals: socketpair failed: %s", strerror(errno));
    g_installed = false;
    return;
  }
  g_readFd = fds[0];
  g_writeFd = fds[1];

  notifier_ = new QSocketNotifier(g_readFd, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    std::vector<int> received;
    unsigned char buffer[64];
    ssize_t n;
    while ((n = ::read(g_readFd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
      for (ssize_t i = 0; i < n; ++i) received.push_back(buffer[i]);
    }
    QPointer<TerminationSignals> self(this);
    for (int signo : received) {
      emit terminationRequested(signo);
      if (!self) return;
    }
  });

  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &action, &g_previous[i]);
}

TerminationSignals::~TerminationSignals() {
  if (notifier_ == nullptr) return;  // an inert second instance, or installing failed
  // Handlers first, so no handler writes into a closed descriptor.
  for (size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &g_previous[i], nullptr);
  delete notifier_;
  notifier_ = nullptr;
  const int writeFd = g_writeFd;
  g_writeFd = -1;
  ::close(writeFd);
  ::close(g_readFd);
  g_readFd = -1;
  g_installed = false;
}

}  // namespace kw
