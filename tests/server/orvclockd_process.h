// The real orvclockd program (its path in ORVCLOCKD) as a child process; its port is read
// from the first line it prints ("orvclockd listening on http://127.0.0.1:PORT").
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace kw::server::test {

class OrvclockdProcess {
 public:
  // args: what follows the program's name on its command line.
  explicit OrvclockdProcess(const std::vector<std::string>& args) {
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> argv{const_cast<char*>(ORVCLOCKD)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int rc = posix_spawn(&pid_, ORVCLOCKD, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (rc != 0) {
      pid_ = 0;
      close(out[0]);
      return;
    }
    out_ = fdopen(out[0], "r");
    char line[256] = {};
    const std::string prefix = "orvclockd listening on http://127.0.0.1:";
    if (fgets(line, sizeof line, out_)) {
      firstLine_ = line;
      if (firstLine_.starts_with(prefix)) port_ = std::stoi(firstLine_.substr(prefix.size()));
    }
  }
  ~OrvclockdProcess() {
    if (pid_ > 0) Kill(SIGKILL);
    if (out_) fclose(out_);
  }
  OrvclockdProcess(const OrvclockdProcess&) = delete;
  OrvclockdProcess& operator=(const OrvclockdProcess&) = delete;

  // 0 when the process did not start or did not name its address.
  int port() const { return port_; }
  const std::string& firstLine() const { return firstLine_; }

  // Sends the signal and reaps the process; its wait status.
  int Kill(int sig) {
    kill(pid_, sig);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = 0;
    return status;
  }

  // Sends the signal and waits at most limit; the wait status, or -1 when the process did not
  // end (it is then killed).
  int Stop(int sig, std::chrono::milliseconds limit) {
    kill(pid_, sig);
    int status = 0;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > end) {
        Kill(SIGKILL);
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = 0;
    return status;
  }

 private:
  pid_t pid_ = 0;
  FILE* out_ = nullptr;
  int port_ = 0;
  std::string firstLine_;
};

// Runs orvclockd with args to its end (an admin command); its exit status, -1 when it did not
// start or end normally.
inline int RunOrvclockd(const std::vector<std::string>& args) {
  std::vector<char*> argv{const_cast<char*>(ORVCLOCKD)};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, ORVCLOCKD, nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace kw::server::test
