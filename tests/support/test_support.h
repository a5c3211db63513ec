// Test doubles and helpers shared by the tests.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "common/datetime.h"
#include "common/log_sink.h"
#include "platform/hotkeys.h"
#include "platform/tray.h"
#include "platform/url_opener.h"
#include "platform/user_notifier.h"

namespace kw::test {

// Keeps every log text it is given.
class MemoryLog final : public LogSink {
 public:
  void WriteLog(std::string_view text) override { lines.emplace_back(text); }
  bool Contains(std::string_view text) const;
  bool ContainsLineStartingWith(std::string_view prefix) const;
  std::vector<std::string> lines;
};

// Records the notices instead of showing them, and answers questions from a script (No or
// Cancel once the script is used up).
class RecordingNotifier final : public UserNotifier {
 public:
  struct Notice {
    std::string text;
    NoticeKind kind;
    bool question = false;
  };
  void ShowMessage(std::string_view text, NoticeKind kind) override {
    notices.push_back({std::string(text), kind});
  }
  bool Ask(std::string_view text, NoticeKind kind, QuestionButtons buttons) override {
    notices.push_back({std::string(text), kind, true});
    lastButtons = buttons;
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  }
  std::vector<Notice> notices;
  std::vector<bool> answers;
  QuestionButtons lastButtons = QuestionButtons::YesNo;
};

// Records the balloons instead of showing them.
class RecordingTray final : public Tray {
 public:
  struct Balloon {
    BalloonKind kind;
    std::string title, text;
    int timeoutMs;
  };
  void SetTip(std::string_view t) override { tip = t; }
  void SetVisible(bool v) override { visible = v; }
  void ShowBalloon(BalloonKind kind, std::string_view title, std::string_view text, int timeoutMs) override {
    balloons.push_back({kind, std::string(title), std::string(text), timeoutMs});
  }
  std::string tip;
  bool visible = false;
  std::vector<Balloon> balloons;
};

// Keeps the registered hotkeys instead of grabbing keys; Press delivers a combination the way
// the desktop would, when it is registered.
class RecordingHotkeys final : public GlobalHotkeys {
 public:
  struct Combination {
    uint16_t flags, key;
    bool operator==(const Combination&) const = default;
  };
  bool Available() const override { return available; }
  bool Register(int id, uint16_t flags, uint16_t key) override {
    registered[id] = {flags, key};
    return true;
  }
  void Unregister(int id) override { registered.erase(id); }
  bool Press(uint16_t flags, uint16_t key) {
    for (const auto& [id, c] : registered)
      if (c == Combination{flags, key}) {
        if (onHotkey) onHotkey(flags, key);
        return true;
      }
    return false;
  }
  bool available = true;
  std::map<int, Combination> registered;
};

// Records the addresses instead of opening a browser.
class RecordingUrlOpener final : public UrlOpener {
 public:
  bool OpenUrl(std::string_view url) override {
    opened.emplace_back(url);
    return true;
  }
  std::vector<std::string> opened;
};

// A fresh folder that is removed again with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(std::string_view name) const { return path_ + "/" + std::string(name); }

 private:
  std::string path_;
};

// A local date-time that must exist (the test fails otherwise).
TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0);

std::string ReadFile(const std::string& path);
// Writes UTF-8 text to the file as CP932 bytes with CRLF line ends, as Windows would.
void WriteWindowsFile(const std::string& path, std::string_view utf8);
void WriteBytes(const std::string& path, std::string_view bytes);

// The offscreen platform has no window opacity or stacking and says so at every step: drop
// those warnings and pass everything else on.
void QuietOffscreenWarnings();

}  // namespace kw::test
