#include "tests/support/desktop.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kw::test {

Process::Process(std::vector<std::string> argv, const std::string& cwd, int fd3) {
  pid_ = fork();
  if (pid_ != 0) return;
  if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
  const int null = open("/dev/null", O_RDWR);
  dup2(null, 0);
  if (fd3 >= 0) dup2(fd3, 3);
  std::vector<char*> args;
  for (std::string& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

Process::~Process() {
  if (pid_ > 0 && !exited_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

void Process::Signal(int sig) const { kill(pid_, sig); }

int Process::WaitExit(std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  do {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      exited_ = true;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < end);
  return -1;
}

VirtualDesktop::VirtualDesktop() {
  int fds[2];
  if (pipe(fds) != 0) return;
  // Xvfb picks a free display and writes its number to descriptor 3.
  xvfb_ = std::make_unique<Process>(
      std::vector<std::string>{"Xvfb", "-displayfd", "3", "-screen", "0", "1280x800x24", "-nolisten", "tcp"},
      std::string(), fds[1]);
  close(fds[1]);
  char buf[16] = {};
  const ssize_t n = read(fds[0], buf, sizeof buf - 1);
  close(fds[0]);
  if (n <= 0) return;
  display_ = ":" + std::string(buf, static_cast<size_t>(n)).substr(0, std::string(buf).find('\n'));
  setenv("DISPLAY", display_.c_str(), 1);
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  wm_ = std::make_unique<Process>(std::vector<std::string>{"openbox", "--sm-disable"});
  tray_ = std::make_unique<Process>(std::vector<std::string>{
      "trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24"});
  WaitFor([] { return !CommandOutput("xdotool search --class trayer 2>/dev/null").empty(); },
          std::chrono::seconds(5));
}

VirtualDesktop::~VirtualDesktop() {
  tray_.reset();
  wm_.reset();
  xvfb_.reset();
}

void DesktopEnvironment::SetUp() {
  desktop_ = std::make_unique<VirtualDesktop>();
  ASSERT_TRUE(desktop_->ok()) << "Xvfb did not start";
}

std::string CommandOutput(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[256];
    while (fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

std::string ActiveWindowName() { return CommandOutput("xdotool getactivewindow getwindowname 2>/dev/null"); }

}  // namespace kw::test
