#include "clock/window/f_hksetupdlg.h"

#include <QFrame>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QPushButton>

#include "platform/hotkeys.h"
#include "platform/virtual_keys.h"

namespace kw {

Qt::KeyboardModifiers ModFlagsToShift(uint16_t flags) {
  Qt::KeyboardModifiers shift;
  if (flags & kModAlt) shift |= Qt::AltModifier;
  if (flags & kModControl) shift |= Qt::ControlModifier;
  if (flags & kModShift) shift |= Qt::ShiftModifier;
  return shift;
}

uint16_t ShiftToModFlags(Qt::KeyboardModifiers shift) {
  uint16_t flags = 0;
  if (shift & Qt::ShiftModifier) flags |= kModShift;
  if (shift & Qt::AltModifier) flags |= kModAlt;
  if (shift & Qt::ControlModifier) flags |= kModControl;
  return flags;
}

QKeySequence HotkeyToShortcut(HotkeyPair pair) {
  const QKeyCombination key = VirtualKeyToQtKey(pair.key);
  if (key.key() == Qt::Key_unknown || key.toCombined() == 0) return {};
  return QKeySequence(QKeyCombination(key.keyboardModifiers() | ModFlagsToShift(pair.flags), key.key()));
}

HotkeyPair ShortcutToHotkey(const QKeySequence& shortcut) {
  if (shortcut.isEmpty()) return {};
  const QKeyCombination first = shortcut[0];
  return {QtKeyToVirtualKey(first.key(), first.keyboardModifiers()), ShiftToModFlags(first.keyboardModifiers())};
}

THKSetupDlg::THKSetupDlg(std::function<void()> unregisterAll, std::function<void()> registerAll,
                         const QPixmap& panelPicture, QWidget* parent)
    : QDialog(parent), registerAll_(std::move(registerAll)) {
  setWindowTitle(QStringLiteral("グローバルホットキーの設定"));
  setFixedSize(400, 200);
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

  Image1 = new QLabel(this);
  Image1->setGeometry(0, 0, 400, 200);
  if (!panelPicture.isNull()) Image1->setPixmap(panelPicture);

  auto* panel = new QFrame(this);
  panel->setFrameShape(QFrame::StyledPanel);
  panel->setGeometry(8, 4, 301, 173);

  static const char* const kLabels[kHotkeyCount] = {
      "Kronwelをアクティブにする", "手動時計合わせ画面を呼出", "アラーム設定画面を呼出",
      "Notaluウィンドウを呼出",    "クエストタイムテーブルを呼出", "時間変換計算器を呼出"};
  for (int i = 0; i < kHotkeyCount; ++i) {
    auto* label = new QLabel(QString::fromUtf8(kLabels[i]), this);
    label->move(16, 16 + 28 * i);
    HotKey[i] = new QKeySequenceEdit(this);
    HotKey[i]->setObjectName(QStringLiteral("HotKey%1").arg(i + 1));
    HotKey[i]->setGeometry(176, 12 + 28 * i, 125, 18);
    // A hotkey is one key combination: recording stops after the first.
    connect(HotKey[i], &QKeySequenceEdit::keySequenceChanged, HotKey[i], [edit = HotKey[i]](const QKeySequence& s) {
      if (s.count() > 1) edit->setKeySequence(QKeySequence(s[0]));
    });
  }
  auto* note = new QLabel(QStringLiteral("指定のｼｮｰﾄｶｯﾄで Kronwel の機能をいつでも直接呼び出せます。"), this);
  note->move(8, 184);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setGeometry(316, 8, 77, 25);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
  cancel->setGeometry(316, 40, 77, 25);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  if (unregisterAll) unregisterAll();
}

THKSetupDlg::~THKSetupDlg() {
  // Made and dropped without being closed (the options dialog was cancelled): the hotkeys
  // must not stay released.
  if (!registered_ && registerAll_) registerAll_();
}

void THKSetupDlg::SetShortcuts(const std::array<QKeySequence, kHotkeyCount>& shortcuts) {
  for (int i = 0; i < kHotkeyCount; ++i) HotKey[i]->setKeySequence(shortcuts[i]);
}

std::array<QKeySequence, kHotkeyCount> THKSetupDlg::Shortcuts() const {
  std::array<QKeySequence, kHotkeyCount> shortcuts;
  for (int i = 0; i < kHotkeyCount; ++i) shortcuts[i] = HotKey[i]->keySequence();
  return shortcuts;
}

void THKSetupDlg::done(int result) {
  QDialog::done(result);
  if (registerAll_) registerAll_();
  registered_ = true;
}

}  // namespace kw
