// The clock menu: its items and checks, and the owner-drawn look of its rows.
#include <QtTest>

#include "clock/menu/u_clockmenu.h"
#include "clock/menu/u_menudraw.h"
#include "clock/settings/u_appinfos.h"

namespace kw {

namespace {

QColor At(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

bool Contains(const QImage& image, const QColor& colour) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixelColor(x, y) == colour) return true;
  return false;
}

}  // namespace

class TestClockMenu : public QObject {
  Q_OBJECT
 private slots:
  void rowsAreDrawnInTheirColours() {
    QCOMPARE(MeasureMenuItem(true), QSize(240, 8));
    QCOMPARE(MeasureMenuItem(false), QSize(240, 18));
    const QFont font;

    // The selected top-level item: three bands, dark edge at the top and left only; light
    // bold text with a brown shadow; no ampersand.
    MenuItemLook item{.caption = QStringLiteral("デジタル時計(&1)"), .checked = true, .radio = true, .selected = true};
    QImage image = DrawMenuItem(item, 240, 18, font);
    QCOMPARE(At(image, 0, 0), QColor(100, 62, 60));
    QCOMPARE(At(image, 1, 1), QColor(160, 100, 100));
    QCOMPARE(At(image, 239, 17), QColor(200, 125, 120));
    QVERIFY(Contains(image, QColor(240, 250, 255)));
    QCOMPARE(MenuCaptionText(item.caption), QStringLiteral("デジタル時計(1)"));
    QCOMPARE(MenuCaptionText(QStringLiteral("a&b") + QChar(0) + QStringLiteral("cut")), QStringLiteral("ab"));

    // The checked second server in the server submenu turns blue-violet; other checked
    // radio items keep the brown highlight.
    item = {.caption = QStringLiteral("Pallas(&2)"), .checked = true, .radio = true, .selected = true, .tag = 1, .depth = 2};
    QCOMPARE(At(DrawMenuItem(item, 240, 18, font), 239, 0), QColor(120, 125, 200));
    item.tag = 2;
    QCOMPARE(At(DrawMenuItem(item, 240, 18, font), 239, 17), QColor(200, 125, 120));
    item.tag = 1;
    item.depth = 1;
    QCOMPARE(At(DrawMenuItem(item, 240, 18, font), 239, 17), QColor(200, 125, 120));

    // Background by depth; a checked radio item stands out.
    const struct {
      int depth;
      QColor colour;
    } depths[] = {{1, QColor(255, 250, 240)}, {2, QColor(240, 235, 225)}, {3, QColor(225, 220, 210)}, {4, QColor(255, 250, 240)}};
    for (const auto& d : depths)
      QCOMPARE(At(DrawMenuItem({.caption = QStringLiteral("75%"), .depth = d.depth}, 240, 18, font), 239, 0), d.colour);
    QCOMPARE(At(DrawMenuItem({.caption = QStringLiteral("75%"), .checked = true, .radio = true}, 240, 18, font), 239, 0),
             QColor(220, 220, 255));

    // A disabled item: grey text, or bold white on grey when selected.
    image = DrawMenuItem({.caption = QStringLiteral("放送中のOrvラジ(&B)"), .enabled = false}, 240, 18, font);
    QVERIFY(Contains(image, QColor(120, 125, 127)));
    image = DrawMenuItem({.caption = QStringLiteral("放送中のOrvラジ(&B)"), .enabled = false, .selected = true}, 240, 18, font);
    QCOMPARE(At(image, 0, 0), QColor(160, 160, 160));
    QVERIFY(Contains(image, QColor(Qt::white)));

    // A separator: a dotted black line across the middle.
    image = DrawMenuItem({.caption = QStringLiteral("-")}, 240, 8, font);
    QCOMPARE(At(image, 0, 4), QColor(Qt::black));
    QCOMPARE(At(image, 0, 0), QColor(255, 250, 240));
  }

  void menuFollowsTheSettings() {
    TClockMenu menu(nullptr);
    TAppInfos a;
    a.FServer = 1;
    a.FMode = 2;
    a.FAlpha = 50;
    a.Rotate = 1;
    a.Skeleton = true;
    const auto servers = menu.Refresh(a, {"Diana", "Pallas", "Elmo"});
    QCOMPARE(servers.size(), size_t{5});
    QCOMPARE(servers[0]->text(), QStringLiteral("全て(&A)"));
    QCOMPARE(servers[2]->text(), QStringLiteral("Pallas(&2)"));
    QCOMPARE(servers[4]->text(), QStringLiteral("自動(&U)"));
    QCOMPARE(servers[4]->data().toInt(), 999);
    QVERIFY(servers[2]->isChecked() && !servers[0]->isChecked());
    QVERIFY(menu.mMode2->isChecked() && !menu.mMode0->isChecked());
    QVERIFY(menu.mAlpha50->isChecked());
    QVERIFY(menu.mRotateNum1->isChecked());
    QVERIFY(menu.mSkelt->isChecked() && !menu.mSkelt->isEnabled());  // greyed in the analog face
    QVERIFY(!menu.mDirectURLs->menuAction()->isEnabled());
    QVERIFY(menu.ClockPopMenu->OwnerDraw() && menu.mSelectServer->OwnerDraw());
    QCOMPARE(menu.T1->Depth(), 3);

    // Refreshed again: the server list is rebuilt, not doubled; owner drawing follows Custom.
    a.Custom = false;
    a.FServer = 99;
    QCOMPARE(menu.Refresh(a, {"Diana"}).size(), size_t{3});
    QCOMPARE(menu.mSelectServer->actions().size(), 3);
    QVERIFY(menu.mSelectServer->actions()[0]->isChecked());
    QVERIFY(!menu.T1->OwnerDraw());

    if (const QByteArray dir = qgetenv("KRONWEL_SCREENSHOTS"); !dir.isEmpty()) {
      a.Custom = true;
      menu.Refresh(a, {"Diana", "Pallas", "Elmo"});
      menu.ClockPopMenu->adjustSize();
      menu.ClockPopMenu->setActiveAction(menu.mMode0);
      menu.ClockPopMenu->grab().save(QString::fromLocal8Bit(dir) + "/clockmenu.png");
    }
  }
};

}  // namespace kw

QTEST_MAIN(kw::TestClockMenu)
#include "test_clockmenu.moc"
