// The options dialog "動作の設定" and its advanced dialog "高度な設定": thin forms over a
// SetupValues copy; OK in the options dialog hands the copy back, Cancel drops it with
// whatever the sub-dialogs accepted.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <functional>
#include <string>
#include <vector>

#include "clock/options/u_setupvalues.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace kw {

// Shows the panel picture behind the controls when there is one.
class TPanelDialog : public QDialog {
 public:
  TPanelDialog(QWidget* parent, const QPixmap& panel) : QDialog(parent), panel_(panel) {}

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap panel_;
};

class TExSetupDlg final : public TPanelDialog {
  Q_OBJECT
 public:
  TExSetupDlg(QWidget* parent, const QPixmap& panel);
  // Fills the fields; offsetDays is the PC clock's correction.
  void Fill(const SetupValues& values, TDateTime offsetDays);
  // The fields into values (the other values stay).
  void Collect(SetupValues& values) const;

  QCheckBox* sProxyEnabled;
  QLineEdit *sProxyIP, *sProxyPort, *sProxyUsername, *sProxyPassword, *sOrvCPath;
  QPushButton* Button1;
  QCheckBox *sOrvRadiSensor, *sLogVisible, *sTaskHidden;
  QLineEdit* Adj;
  QPushButton *OKBtn, *CancelBtn;

 private:
  void Button1Click();
};

class TSetupDlg final : public TPanelDialog {
  Q_OBJECT
 public:
  // skins: the names to choose from. editHotkeys opens the hotkey dialog on the six values
  // and returns true on OK; without it the button is off.
  TSetupDlg(QWidget* parent, const QPixmap& panel, SetupValues values, std::vector<std::string> skins,
            TDateTime offsetDays, std::function<bool(std::array<HotkeyPair, kHotkeyCount>&)> editHotkeys);
  // The values as the dialog leaves them (call after OK).
  SetupValues Values() const;

  QCheckBox *sStartupSync, *sAutoSync, *sAutoHidden, *sHideOnOrv, *sStartup, *sGlobalBalloon;
  QSpinBox* sAutoIntervalV;
  QComboBox* sSkinName;
  QPushButton *ExtendSetup, *HotkeySetup, *OKBtn, *CancelBtn;
  TExSetupDlg* ExSetupDlg;

  void ExtendSetupClick();
  void HotkeySetupClick();

 private:
  SetupValues values_;  // what the sub-dialogs carry
  std::vector<std::string> skins_;
  TDateTime offsetDays_;
  std::function<bool(std::array<HotkeyPair, kHotkeyCount>&)> editHotkeys_;
};

}  // namespace kw
