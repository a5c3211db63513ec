// The self-update's progress window: a picture, the title, what is being done, a progress bar
// and a status line.
#pragma once

#include <QDialog>

#include "clock/update/u_autoupdate.h"

class QLabel;
class QProgressBar;

namespace kw {

class TAutoUpdateForm final : public QDialog, public UpdateProgress {
  Q_OBJECT
 public:
  explicit TAutoUpdateForm(QWidget* parent = nullptr);

  void Show() override;
  void Hide() override;
  void SetAction(std::string_view action, std::string_view status) override;
  void SetProgress(int64_t position, int64_t maximum, std::string_view status) override;
  void Beep() override;
  void Pause(int ms) override;

  QLabel* CurrentAction = nullptr;
  QLabel* CurrentStatus = nullptr;
  QProgressBar* ProgressBar1 = nullptr;

 private:
  void Repaint();
};

}  // namespace kw
