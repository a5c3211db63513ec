// The about box "バージョン情報": this version against the latest released one, the way to the
// update or the download page, and the optional survey page.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <functional>
#include <string>

#include "clock/engine/u_orvtime.h"

class QLabel;
class QPushButton;

namespace kw {

class UserNotifier;

struct AboutEnv {
  std::string fileVersion;
  TUpgradeInfo latest;
  std::string programFolder;  // its httpctrl.cfg names the survey page
  UserNotifier& notifier;
  std::function<bool()> autoUpdateAvailable;
  std::function<bool()> autoUpdate;
  std::function<void()> saveSettings;
  std::function<void()> restart;
  std::function<void(const std::string&)> openUrl;
};

class TAboutBox final : public QDialog {
  Q_OBJECT
 public:
  // panel: the clock's panel picture behind everything; castle: the picture in the frame.
  TAboutBox(QWidget* parent, AboutEnv env, const QPixmap& panel, const QPixmap& castle);

  QLabel *Label1, *ProductName, *VerText, *UpgradeInformation1, *UpgradeInformation2;
  QPushButton *OKButton, *GotoQuestBtn, *OpenHPBtn;

  void OpenHPBtnClick();
  void GotoQuestBtnClick();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  AboutEnv env_;
  QPixmap panel_;
};

}  // namespace kw
