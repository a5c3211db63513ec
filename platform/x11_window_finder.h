// Finds another program's top-level window by its exact title on X11 (the game runs under
// Wine there). The list of windows and their titles is kept between checks and read again
// only when the window manager's client list or a title changes, so a check every tick costs
// next to nothing.
#pragma once

#include <QAbstractNativeEventFilter>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace kw {

class X11WindowFinder final : public QAbstractNativeEventFilter {
 public:
  // Null without an X11 display (offscreen, Wayland without XWayland).
  static std::unique_ptr<X11WindowFinder> Create();
  ~X11WindowFinder() override;

  // True when a top-level window with exactly this title (UTF-8) exists.
  bool Exists(const std::string& title);

  // The mouse position on the screen and whether Shift is held, in one round trip to the
  // X server; false when the server did not answer.
  bool QueryPointer(int& x, int& y, bool& shift);

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  X11WindowFinder(void* connection, uint32_t root);
  void Reload();
  std::string TitleOf(uint32_t window);
  uint32_t Atom(const char* name);

  void* connection_;  // xcb_connection_t of the application
  uint32_t root_;
  uint32_t clientList_ = 0, netWmName_ = 0, utf8String_ = 0, wmName_ = 0;
  bool dirty_ = true;
  std::unordered_map<uint32_t, std::string> titles_;  // window -> title
};

}  // namespace kw
