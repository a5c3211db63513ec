// Real programs on a real X server for the tests and benchmarks: child processes, and a
// virtual desktop (Xvfb with a window manager and a tray host).
#pragma once

#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace kw::test {

// A child process started with execvp; killed when the object goes.
class Process {
 public:
  // cwd: the working directory (empty: ours).
  explicit Process(std::vector<std::string> argv, const std::string& cwd = {});
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t pid() const { return pid_; }
  void Signal(int sig) const;
  // The exit status (128 + signal when killed), or -1 when still running after the wait.
  int WaitExit(std::chrono::milliseconds limit);
  // SIGTERM, so the program can tidy up (an X server removes its socket), then SIGKILL.
  void Stop();

 private:
  pid_t pid_ = -1;
  bool exited_ = false;
};

template <class F>
bool WaitFor(F condition, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return condition();
}

// Xvfb on a free display (no lock file and no socket left by another server) with openbox
// and trayer; DISPLAY and QT_QPA_PLATFORM are set for this process and its children.
class VirtualDesktop {
 public:
  VirtualDesktop();
  ~VirtualDesktop();
  bool ok() const { return !display_.empty(); }
  const std::string& display() const { return display_; }

 private:
  std::unique_ptr<Process> xvfb_, wm_, tray_;
  std::string display_;
};

// One virtual desktop for a whole test program.
class DesktopEnvironment : public ::testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override { desktop_.reset(); }

 private:
  std::unique_ptr<VirtualDesktop> desktop_;
};

// The main() of a test program that runs real programs on a virtual desktop: the first
// argument names them (made absolute into program), then the tests run.
int RunOnVirtualDesktop(int argc, char** argv, const char* usage, std::string& program);

// The output of a shell command, trailing blanks and line ends removed.
std::string CommandOutput(const std::string& command);

// The title of the window that has the focus, as the window manager sees it.
std::string ActiveWindowName();

}  // namespace kw::test
