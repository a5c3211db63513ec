// The sound settings dialog TSESetupDlg ("音の設定"): the master switch, the sound set, and
// the user's own file of each sound event with browse, listen and rehearse buttons; the user
// files can be saved to and loaded from a custom sound setting file (.orvcu).
#pragma once

#include <QDialog>
#include <QImage>
#include <QString>
#include <array>
#include <functional>
#include <string>

#include "clock/settings/u_appinfos.h"
#include "clock/sound/u_sesetup.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kw {

class UserNotifier;

class TSESetupDlg : public QDialog {
  Q_OBJECT
 public:
  // A file name asked from the user; an empty answer means the user cancelled.
  struct FileRequest {
    enum Kind { Browse, Load, Save } kind;
    QString title, folder, filter, selectedFilter, defaultSuffix;
  };
  using AskFileName = std::function<QString(const FileRequest&)>;

  TSESetupDlg(std::string programFolder, UserNotifier& notifier, QWidget* parent = nullptr);

  // Fills the dialog from the settings. A SENumber that names none of the listed sets is set
  // back to the first set, in the settings too.
  void Load(TAppInfos& infos);
  // The settings as the dialog shows them, for OK.
  SoundSettings Result() const;
  // The skin's panel picture as the dialog's background.
  void SetPanelPicture(const QImage& picture);

  // Asks for file names; a file dialog unless replaced (tests answer it themselves).
  AskFileName askFileName;

  // Handlers; tag = event + 1.
  void Label8Click();
  void sSEffectSWClick();
  void SoundFileOpen(int tag);
  void SoundFilePlay(int tag);
  void RealTest(int tag);
  void ChangeSEFiles(int tag);
  void bUCustomOpenClick();
  void bUCustomSaveClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();

  std::string programFolder_;
  UserNotifier& notifier_;
  int setCount_ = 0;
  int32_t keptSENumber_ = 0;

  QCheckBox* sSEffectSW = nullptr;
  QComboBox* sSENumber = nullptr;
  QLabel* switchLabel_ = nullptr;
  QLabel* setLabel_ = nullptr;
  QLabel* heading_ = nullptr;
  QLabel* note_ = nullptr;
  QPushButton* bUCustomOpen = nullptr;
  QPushButton* bUCustomSave = nullptr;
  std::array<QLabel*, 3> images_{};
  std::array<QLabel*, kUserSoundCount> eventLabels_{};
  std::array<QLineEdit*, kUserSoundCount> fields_{};
  std::array<std::array<QPushButton*, 3>, kUserSoundCount> rowButtons_{};
};

// Runs the dialog modally over the settings: OK writes the sound settings back, Cancel keeps
// them (but for a SENumber that names no listed set, which Load has set back). True on OK.
bool RunSESetupDlg(TSESetupDlg& dialog, TAppInfos& infos);

// The dialog's file dialogs on QFileDialog.
QString AskFileNameWithDialog(QWidget* parent, const TSESetupDlg::FileRequest& request);

}  // namespace kw
