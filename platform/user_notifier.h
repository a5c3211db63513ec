// Notices for the user that need an answer or at least a look: the desktop shows them as a
// message box with an OK button.
#pragma once

#include <string_view>

namespace kw {

enum class NoticeKind { Information, Warning, Error };

class UserNotifier {
 public:
  virtual ~UserNotifier() = default;
  virtual void ShowMessage(std::string_view text, NoticeKind kind) = 0;
};

}  // namespace kw
