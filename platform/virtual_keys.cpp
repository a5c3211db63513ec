#include "platform/virtual_keys.h"

namespace kw {
namespace {

struct KeyRow {
  uint16_t vk;
  uint32_t keysym;
  Qt::Key qt;
  bool keypad;
};

constexpr KeyRow kNamedKeys[] = {
    {0x08, 0xff08, Qt::Key_Backspace, false},   {0x09, 0xff09, Qt::Key_Tab, false},
    {0x0D, 0xff0d, Qt::Key_Return, false},      {0x13, 0xff13, Qt::Key_Pause, false},
    {0x14, 0xffe5, Qt::Key_CapsLock, false},    {0x1B, 0xff1b, Qt::Key_Escape, false},
    {0x20, 0x0020, Qt::Key_Space, false},       {0x21, 0xff55, Qt::Key_PageUp, false},
    {0x22, 0xff56, Qt::Key_PageDown, false},    {0x23, 0xff57, Qt::Key_End, false},
    {0x24, 0xff50, Qt::Key_Home, false},        {0x25, 0xff51, Qt::Key_Left, false},
    {0x26, 0xff52, Qt::Key_Up, false},          {0x27, 0xff53, Qt::Key_Right, false},
    {0x28, 0xff54, Qt::Key_Down, false},        {0x2C, 0xff61, Qt::Key_Print, false},
    {0x2D, 0xff63, Qt::Key_Insert, false},      {0x2E, 0xffff, Qt::Key_Delete, false},
    {0x5D, 0xff67, Qt::Key_Menu, false},        {0x6A, 0xffaa, Qt::Key_Asterisk, true},
    {0x6B, 0xffab, Qt::Key_Plus, true},         {0x6C, 0xffac, Qt::Key_Comma, true},
    {0x6D, 0xffad, Qt::Key_Minus, true},        {0x6E, 0xffae, Qt::Key_Period, true},
    {0x6F, 0xffaf, Qt::Key_Slash, true},        {0x90, 0xff7f, Qt::Key_NumLock, false},
    {0x91, 0xff14, Qt::Key_ScrollLock, false},  {0xBA, 0x003b, Qt::Key_Semicolon, false},
    {0xBB, 0x003d, Qt::Key_Equal, false},       {0xBC, 0x002c, Qt::Key_Comma, false},
    {0xBD, 0x002d, Qt::Key_Minus, false},       {0xBE, 0x002e, Qt::Key_Period, false},
    {0xBF, 0x002f, Qt::Key_Slash, false},       {0xC0, 0x0060, Qt::Key_QuoteLeft, false},
    {0xDB, 0x005b, Qt::Key_BracketLeft, false}, {0xDC, 0x005c, Qt::Key_Backslash, false},
    {0xDD, 0x005d, Qt::Key_BracketRight, false}, {0xDE, 0x0027, Qt::Key_Apostrophe, false},
};

// Characters typed with Shift on a US keyboard, and the key they are on.
constexpr struct {
  Qt::Key qt;
  uint16_t vk;
} kShifted[] = {
    {Qt::Key_Exclam, '1'},     {Qt::Key_At, '2'},          {Qt::Key_NumberSign, '3'},
    {Qt::Key_Dollar, '4'},     {Qt::Key_Percent, '5'},     {Qt::Key_AsciiCircum, '6'},
    {Qt::Key_Ampersand, '7'},  {Qt::Key_Asterisk, '8'},    {Qt::Key_ParenLeft, '9'},
    {Qt::Key_ParenRight, '0'}, {Qt::Key_Colon, 0xBA},      {Qt::Key_Plus, 0xBB},
    {Qt::Key_Less, 0xBC},      {Qt::Key_Underscore, 0xBD}, {Qt::Key_Greater, 0xBE},
    {Qt::Key_Question, 0xBF},  {Qt::Key_AsciiTilde, 0xC0}, {Qt::Key_BraceLeft, 0xDB},
    {Qt::Key_Bar, 0xDC},       {Qt::Key_BraceRight, 0xDD}, {Qt::Key_QuoteDbl, 0xDE},
};

}  // namespace

uint32_t VirtualKeyToKeysym(uint16_t vk) {
  if (vk >= '0' && vk <= '9') return vk;
  if (vk >= 'A' && vk <= 'Z') return vk - 'A' + 'a';
  if (vk >= 0x60 && vk <= 0x69) return 0xffb0 + (vk - 0x60);  // keypad digits
  if (vk >= 0x70 && vk <= 0x87) return 0xffbe + (vk - 0x70);  // F1..F24
  for (const KeyRow& row : kNamedKeys)
    if (row.vk == vk) return row.keysym;
  return 0;
}

QKeyCombination VirtualKeyToQtKey(uint16_t vk) {
  if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) return QKeyCombination(static_cast<Qt::Key>(vk));
  if (vk >= 0x60 && vk <= 0x69) return QKeyCombination(Qt::KeypadModifier, static_cast<Qt::Key>(Qt::Key_0 + (vk - 0x60)));
  if (vk >= 0x70 && vk <= 0x87) return QKeyCombination(static_cast<Qt::Key>(Qt::Key_F1 + (vk - 0x70)));
  for (const KeyRow& row : kNamedKeys)
    if (row.vk == vk) return QKeyCombination(row.keypad ? Qt::KeypadModifier : Qt::NoModifier, row.qt);
  return QKeyCombination();
}

uint16_t QtKeyToVirtualKey(Qt::Key key, Qt::KeyboardModifiers modifiers) {
  const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<uint16_t>(keypad ? 0x60 + (key - Qt::Key_0) : key);
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<uint16_t>(key);
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return static_cast<uint16_t>(0x70 + (key - Qt::Key_F1));
  if (key == Qt::Key_Enter) return 0x0D;
  for (const KeyRow& row : kNamedKeys)
    if (row.qt == key && row.keypad == keypad) return row.vk;
  for (const auto& s : kShifted)
    if (s.qt == key) return s.vk;
  for (const KeyRow& row : kNamedKeys)
    if (row.qt == key) return row.vk;
  return 0;
}

}  // namespace kw
