// Windows virtual-key codes, in which kronwel.ini keeps the hotkeys, and their X11 keysyms
// and Qt keys. Letters, digits, function keys F1-F24, the keypad, the editing and cursor
// keys and the punctuation keys (named as on a US keyboard).
#pragma once

#include <Qt>
#include <cstdint>

namespace kw {

// 0 when the code has no keysym here.
uint32_t VirtualKeyToKeysym(uint16_t virtualKey);

// The Qt key combination of a virtual key (keypad keys carry Qt::KeypadModifier); an empty
// combination when there is none.
QKeyCombination VirtualKeyToQtKey(uint16_t virtualKey);

// The virtual key of a Qt key (with Qt::KeypadModifier for keypad keys); characters typed
// with Shift on a US keyboard give the key they are on. 0 when there is none.
uint16_t QtKeyToVirtualKey(Qt::Key key, Qt::KeyboardModifiers modifiers = {});

}  // namespace kw
