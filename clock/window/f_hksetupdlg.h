// The global hotkey dialog: one shortcut control per hotkey. While the dialog exists the
// hotkeys are released, so pressing one types it into a control instead of calling the
// clock; closing the dialog registers them again.
#pragma once

#include <QDialog>
#include <QKeySequence>
#include <QPixmap>
#include <array>
#include <functional>

#include "clock/online/u_hotkeys.h"

class QKeySequenceEdit;
class QLabel;

namespace kw {

// Modifier flags as kept in kronwel.ini (Alt 1, Ctrl 2, Shift 4) to Qt modifiers and back;
// other flags and modifiers are dropped (so a Windows-key combination is kept without it).
Qt::KeyboardModifiers ModFlagsToShift(uint16_t flags);
uint16_t ShiftToModFlags(Qt::KeyboardModifiers shift);

// The shortcut shown for a stored pair, and the pair stored for a shortcut (its first key).
// A key without a Qt counterpart shows as no shortcut.
QKeySequence HotkeyToShortcut(HotkeyPair pair);
HotkeyPair ShortcutToHotkey(const QKeySequence& shortcut);

class THKSetupDlg : public QDialog {
  Q_OBJECT
 public:
  // unregisterAll runs now; registerAll when the dialog closes (or, if it never does, when
  // it goes).
  THKSetupDlg(std::function<void()> unregisterAll, std::function<void()> registerAll,
              const QPixmap& panelPicture = {}, QWidget* parent = nullptr);
  ~THKSetupDlg() override;

  void SetShortcuts(const std::array<QKeySequence, kHotkeyCount>& shortcuts);
  std::array<QKeySequence, kHotkeyCount> Shortcuts() const;

  std::array<QKeySequenceEdit*, kHotkeyCount> HotKey{};
  QLabel* Image1 = nullptr;

 public slots:
  void done(int result) override;

 private:
  std::function<void()> registerAll_;
  bool registered_ = false;
};

}  // namespace kw
