// The clock menu's own look: warm off-white rows that darken with the submenu depth, a raised
// brown highlight, round radio marks and a tick, all in fixed colours. Draws one item into a
// 32-bit image; no window needed.
#pragma once

#include <QFont>
#include <QImage>
#include <QSize>
#include <QString>

namespace kw {

struct MenuItemLook {
  QString caption;  // "-" is a separator
  bool checked = false, enabled = true, radio = false, selected = false;
  int tag = 0;
  int depth = 1;  // 1 top level, 2 its submenus, 3 theirs
};

// 240 x 8 for a separator, 240 x 18 for every other item.
QSize MeasureMenuItem(bool separator);

// The item drawn at width x height. font: the menu's font (its family is replaced by the
// menu font, 12 pixels).
QImage DrawMenuItem(const MenuItemLook& item, int width, int height, const QFont& font);

// The caption as shown: cut at a NUL character, every "&" removed.
QString MenuCaptionText(const QString& caption);

}  // namespace kw
