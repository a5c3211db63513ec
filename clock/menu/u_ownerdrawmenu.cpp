#include "clock/menu/u_ownerdrawmenu.h"

#include <QActionGroup>
#include <QPaintEvent>
#include <QPainter>
#include <QPolygon>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

#include "clock/menu/u_menudraw.h"

namespace kw {
namespace {

// Item sizes and a frameless panel for owner-drawn menus.
class OwnerDrawStyle final : public QProxyStyle {
 public:
  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override {
    if (type == CT_MenuItem)
      if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option))
        return MeasureMenuItem(item->menuItemType == QStyleOptionMenuItem::Separator);
    return QProxyStyle::sizeFromContents(type, option, size, widget);
  }
  int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
    switch (metric) {
      case PM_MenuPanelWidth: return 1;
      case PM_MenuHMargin:
      case PM_MenuVMargin:
      case PM_MenuDesktopFrameWidth: return 0;
      default: return QProxyStyle::pixelMetric(metric, option, widget);
    }
  }
};

QStyle* SharedOwnerDrawStyle() {
  static OwnerDrawStyle* style = new OwnerDrawStyle;  // lives as long as the program
  return style;
}

}  // namespace

TOwnerDrawMenu::TOwnerDrawMenu(const QString& title, QWidget* parent, int depth)
    : QMenu(title, parent), depth_(depth) {}

TOwnerDrawMenu* TOwnerDrawMenu::AddSubmenu(const QString& title) {
  auto* sub = new TOwnerDrawMenu(title, this, depth_ + 1);
  sub->SetOwnerDraw(ownerDraw_);
  addMenu(sub);
  return sub;
}

void TOwnerDrawMenu::SetOwnerDraw(bool on) {
  ownerDraw_ = on;
  setStyle(on ? SharedOwnerDrawStyle() : nullptr);
  for (QAction* a : actions())
    if (auto* sub = qobject_cast<TOwnerDrawMenu*>(a->menu())) sub->SetOwnerDraw(on);
}

void TOwnerDrawMenu::paintEvent(QPaintEvent* event) {
  if (!ownerDraw_) {
    QMenu::paintEvent(event);
    return;
  }
  QPainter p(this);
  // Room no item takes (a second column) in the rows' colour, inside a thin brown frame.
  const QImage empty = DrawMenuItem({.caption = QString(), .depth = depth_}, 1, 1, font());
  p.fillRect(rect(), empty.pixelColor(0, 0));
  p.setPen(QColor(100, 62, 60));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  for (QAction* a : actions()) {
    const QRect r = actionGeometry(a);
    if (!r.isValid() || !event->rect().intersects(r) || !a->isVisible()) continue;
    MenuItemLook item;
    item.caption = a->isSeparator() ? QStringLiteral("-") : a->text();
    item.checked = a->isChecked();
    item.enabled = a->isEnabled();
    item.radio = a->actionGroup() && a->actionGroup()->isExclusive();
    item.selected = activeAction() == a && !a->isSeparator();
    item.tag = a->data().toInt();
    item.depth = depth_;
    p.drawImage(r.topLeft(), DrawMenuItem(item, r.width(), r.height(), font()));
    if (a->menu()) {
      // The submenu arrow, as the platform adds it to drawn items.
      const int x = r.right() - 9, y = r.center().y();
      p.setPen(Qt::NoPen);
      p.setBrush(item.selected ? QColor(240, 250, 255) : item.enabled ? QColor(Qt::black) : QColor(120, 125, 127));
      p.drawPolygon(QPolygon{QPoint(x, y - 4), QPoint(x + 4, y), QPoint(x, y + 4)});
    }
  }
}

}  // namespace kw
