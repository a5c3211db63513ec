// A menu that draws its items itself (MenuItemLook) when owner drawing is on, and is an
// ordinary menu otherwise.
#pragma once

#include <QMenu>

namespace kw {

class TOwnerDrawMenu final : public QMenu {
  Q_OBJECT
 public:
  // depth: 1 for the menu itself, 2 for its submenus, and so on.
  TOwnerDrawMenu(const QString& title, QWidget* parent, int depth = 1);

  // A submenu one level deeper, added to this menu.
  TOwnerDrawMenu* AddSubmenu(const QString& title);

  // Owner drawing for this menu and every submenu below it.
  void SetOwnerDraw(bool on);
  bool OwnerDraw() const { return ownerDraw_; }
  int Depth() const { return depth_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int depth_;
  bool ownerDraw_ = false;
};

}  // namespace kw
