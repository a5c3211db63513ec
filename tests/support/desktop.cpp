#include "tests/support/desktop.h"

#include <QCoreApplication>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kw::test {

Process::Process(std::vector<std::string> argv, const std::string& cwd) {
  pid_ = fork();
  if (pid_ != 0) return;
  if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
  const int null = open("/dev/null", O_RDWR);
  dup2(null, 0);
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

void Process::Stop() {
  if (pid_ <= 0 || exited_) return;
  kill(pid_, SIGTERM);
  if (WaitExit(std::chrono::seconds(3)) == -1) {
    kill(pid_, SIGKILL);
    WaitExit(std::chrono::seconds(3));
  }
}

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
  for (int n = 90; n < 140 && display_.empty(); ++n) {
    const std::string num = std::to_string(n);
    if (access(("/tmp/.X" + num + "-lock").c_str(), F_OK) == 0 ||
        access(("/tmp/.X11-unix/X" + num).c_str(), F_OK) == 0)
      continue;
    auto xvfb = std::make_unique<Process>(
        std::vector<std::string>{"Xvfb", ":" + num, "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
    const bool up = WaitFor([&] { return CommandOutput("xdpyinfo -display :" + num + " >/dev/null 2>&1 && echo up") == "up"; },
                            std::chrono::seconds(10));
    if (!up) continue;  // another server took the number meanwhile: the next one
    xvfb_ = std::move(xvfb);
    display_ = ":" + num;
  }
  if (display_.empty()) return;
  setenv("DISPLAY", display_.c_str(), 1);
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  wm_ = std::make_unique<Process>(std::vector<std::string>{"openbox", "--sm-disable"});
  tray_ = std::make_unique<Process>(std::vector<std::string>{
      "trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24"});
  WaitFor([] { return !CommandOutput("xdotool search --class trayer 2>/dev/null").empty(); },
          std::chrono::seconds(5));
}

VirtualDesktop::~VirtualDesktop() {
  for (auto* p : {&tray_, &wm_, &xvfb_})
    if (*p) (*p)->Stop();
}

void DesktopEnvironment::SetUp() {
  desktop_ = std::make_unique<VirtualDesktop>();
  ASSERT_TRUE(desktop_->ok()) << "Xvfb did not start";
}

int RunOnVirtualDesktop(int argc, char** argv, const char* usage, std::string& program) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    std::cerr << "usage: " << usage << "\n";
    return 2;
  }
  program = std::filesystem::absolute(argv[1]).string();
  ::testing::AddGlobalTestEnvironment(new DesktopEnvironment);
  return RUN_ALL_TESTS();
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
