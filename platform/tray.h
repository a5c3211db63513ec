// The clock's icon in the notification area, with balloon notices.
#pragma once

#include <string_view>

namespace kw {

enum class BalloonKind { None = 0, Information = 1, Warning = 2, Error = 3 };

class Tray {
 public:
  virtual ~Tray() = default;
  virtual void SetTip(std::string_view tip) = 0;
  virtual void SetVisible(bool visible) = 0;
  // Shows a balloon; a click on it is reported with this title (the latest balloon's).
  virtual void ShowBalloon(BalloonKind kind, std::string_view title, std::string_view text,
                           int timeoutMs) = 0;
};

}  // namespace kw
