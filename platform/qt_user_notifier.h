// Notices as message boxes with an OK button, questions with two buttons.
#pragma once

#include "platform/user_notifier.h"

class QWidget;

namespace kw {

class QtUserNotifier final : public UserNotifier {
 public:
  explicit QtUserNotifier(QWidget* parent = nullptr) : parent_(parent) {}
  void ShowMessage(std::string_view text, NoticeKind kind) override;
  bool Ask(std::string_view text, NoticeKind kind, QuestionButtons buttons) override;

 private:
  QWidget* parent_;
};

}  // namespace kw
