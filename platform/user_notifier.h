// Notices for the user that need an answer or at least a look: the desktop shows them as a
// message box with an OK button, or with two buttons for a question.
#pragma once

#include <string_view>

namespace kw {

enum class NoticeKind { Information, Warning, Error, Confirmation };
enum class QuestionButtons { YesNo, OkCancel };

class UserNotifier {
 public:
  virtual ~UserNotifier() = default;
  virtual void ShowMessage(std::string_view text, NoticeKind kind) = 0;
  // True when the user answered Yes or OK.
  virtual bool Ask(std::string_view text, NoticeKind kind, QuestionButtons buttons) = 0;
};

}  // namespace kw
