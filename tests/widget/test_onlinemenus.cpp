// The web-page and radio submenus, and the hotkey dialog with its conversions.
#include <QAction>
#include <QKeySequenceEdit>
#include <QMenu>
#include <QtTest>

#include "clock/online/u_orvradisensor.h"
#include "clock/window/f_hksetupdlg.h"
#include "clock/window/u_onlinemenus.h"
#include "common/clock.h"
#include "tests/support/peers.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

// "caption [disabled]" per item, sub-menus with their items indented.
QStringList Tree(const QMenu& menu, const QString& indent = {}) {
  QStringList out;
  for (QAction* a : menu.actions()) {
    QString line = indent + (a->isSeparator() ? QStringLiteral("---") : a->text());
    if (!a->isEnabled()) line += QStringLiteral(" [disabled]");
    out << line;
    if (QMenu* sub = a->menu()) out << Tree(*sub, indent + QStringLiteral("  "));
  }
  return out;
}

}  // namespace

class TestOnlineMenus : public QObject {
  Q_OBJECT

  std::unique_ptr<test::TempDir> dir_;
  test::MemoryLog log_;

  void WriteUrlList(const char* text) { test::WriteWindowsFile(dir_->File("urllist.cfg"), text); }
  bool Build(QMenu& menu, std::vector<TDirectURLList>& entries, QStringList* clicked = nullptr) {
    return BuildDirectURLMenu(menu, entries, dir_->File("urllist.cfg"), log_,
                              [clicked](QAction* a) { if (clicked) *clicked << a->objectName(); });
  }

 private slots:
  void initTestCase() { test::QuietOffscreenWarnings(); }
  void init() {
    dir_ = std::make_unique<test::TempDir>();
    log_.lines.clear();
  }

  void directUrlTree() {
    WriteUrlList(
        "2,x,Orphan,https://example.org/orphan\n"   // before any sub-menu: nowhere
        "0,x,\"公式 サイト\",https://example.org/\n"
        "1,x,\"Early page\",https://example.org/e\n"   // a page of level 1: nowhere
        "0,x,-,https://example.org/\n"
        "1,Guides,\"攻略 情報\"\n"
        "1,Empty,\"Nothing inside\"\n"
        "2,x,Quests,https://example.org/q\n"
        "0,x,Two words,https://example.org/\n"     // unquoted blank: ignored
        "1,Guides2,Tools\n"
        "2,x,Calc,https://example.org/c\n");
    QMenu menu;
    std::vector<TDirectURLList> entries;
    QStringList clicked;
    QVERIFY(Build(menu, entries, &clicked));
    QVERIFY(menu.menuAction()->isEnabled());
    QCOMPARE(Tree(menu), QStringList({"公式 サイト", "---", "攻略 情報 [disabled]", "Nothing inside",
                                      "  Quests", "Tools", "  Calc"}));
    QCOMPARE(entries.size(), size_t(9));  // every line of 3 or 4 fields, placed or not
    QCOMPARE(entries[6].Name, std::string("DirectURL6"));
    QVERIFY(log_.Contains(":Initialize DirectURL...\r"));
    QVERIFY(log_.Contains(":Add Item to Root=公式 サイト\r"));
    QVERIFY(log_.Contains(":Add Parent to Root=攻略 情報\r"));
    QVERIFY(log_.Contains(":Add Item to Empty=Quests\r"));
    QCOMPARE(log_.lines.back(), std::string(":Initialize DirectURL...Done\r"));

    // A click reaches the handler with the item's name; the rebuild starts from scratch.
    menu.actions()[0]->trigger();
    QCOMPARE(clicked, QStringList({"DirectURL1"}));
    WriteUrlList("# nothing\n");
    QVERIFY(!Build(menu, entries));
    QVERIFY(menu.actions().isEmpty());
    QVERIFY(!menu.menuAction()->isEnabled());
    QVERIFY(entries.empty());
    QVERIFY(QFile::remove(QString::fromStdString(dir_->File("urllist.cfg"))));
    QVERIFY(!Build(menu, entries));
  }

  void openDirectUrlOnlyForWebAddresses() {
    const std::vector<TDirectURLList> entries = {
        {"0", "DirectURL0", "Web", "https://example.org/a"},
        {"0", "DirectURL1", "Local", "file:///etc/passwd"},
        {"0", "DirectURL2", "Empty", ""},
        {"0", "DirectURL3", "Program", "/usr/bin/xterm"},
    };
    test::RecordingUrlOpener opener;
    for (const char* name : {"DirectURL0", "DirectURL1", "DirectURL2", "DirectURL3", "Unknown"})
      OpenDirectURL(entries, QString::fromLatin1(name), opener, log_);
    QCOMPARE(opener.opened, std::vector<std::string>({"https://example.org/a"}));
    QVERIFY(log_.Contains(">Not opened, not a web address: file:///etc/passwd\r"));
    QVERIFY(log_.Contains(">Not opened, not a web address: /usr/bin/xterm\r"));
  }

  void radioMenu() {
    test::NginxPeer web;
    QVERIFY2(web.ok(), web.ErrorLog().c_str());
    web.Put("/a.html", "<b>Morning</b><b>Secret</b> OFFRECO<b>Night</b>");
    test::WriteWindowsFile(dir_->File("mrlist.cfg"),
                           "[OrvRadiSensor]\nStationNum=2\n[Server1]\nStationName=A\nStationURL=https://a.example/listen\n"
                           "ProcURL=" + web.url("/a.html") + "\nProcNameKey=<b>\n"
                           "[Server2]\nStationName=B\nStationURL=javascript:alert(1)\nProcURL=" + web.url("/a.html") +
                           "\nProcNameKey=<b>\n");
    ManualClock clock(test::At(2026, 12, 11, 21, 0));
    TOrvRadi radi(dir_->path(), clock, &log_);
    test::RecordingTray tray;
    std::vector<int> slept;
    QStringList clicked;
    RadioMenuEnv env{.log = log_, .tray = tray, .globalBalloon = true,
                     .sleepMs = [&](int ms) { slept.push_back(ms); },
                     .onItem = [&](QAction* a) { clicked << a->text(); }};
    QMenu menu;

    // Off: hidden, nothing fetched.
    UpdateRadioMenu(menu, &radi, false, env);
    QVERIFY(!menu.menuAction()->isVisible());
    QVERIFY(web.AccessLines().empty());

    UpdateRadioMenu(menu, &radi, true, env);
    QVERIFY(menu.menuAction()->isVisible());
    QVERIFY(menu.menuAction()->isEnabled());
    QCOMPARE(Tree(menu), QStringList({"(A) Morning", "(A) Night", "(B) Morning", "(B) Night"}));
    QCOMPARE(menu.actions()[0]->statusTip(), QStringLiteral("https://a.example/listen"));
    const std::string announced = "(A) Morning 放送中\r\n(A) Night 放送中\r\n(B) Morning 放送中\r\n(B) Night 放送中\r\n";
    QVERIFY(log_.Contains(":OrvRadi Sensor > " + announced + "\r"));
    QCOMPARE(tray.balloons.size(), size_t(1));
    QCOMPARE(tray.balloons[0].title, std::string("Orvラジ情報"));
    QCOMPARE(tray.balloons[0].text, announced + "\r\n「放送中のOrvラジ」メニューから直行できます");
    QCOMPARE(tray.balloons[0].kind, BalloonKind::Information);
    QCOMPARE(slept, std::vector<int>({2000}));
    QVERIFY(!radi.AnnounceWaiting);

    // Again within the minute: the same items, one request per station in all, no balloon.
    UpdateRadioMenu(menu, &radi, true, env);
    QCOMPARE(menu.actions().size(), 4);
    QCOMPARE(int(web.AccessLines().size()), 2);
    QCOMPARE(tray.balloons.size(), size_t(1));

    // Items open their station's page, web addresses only.
    test::RecordingUrlOpener opener;
    menu.actions()[0]->trigger();
    QCOMPARE(clicked, QStringList({"(A) Morning"}));
    OpenRadioURL(*menu.actions()[0], opener, log_);
    OpenRadioURL(*menu.actions()[2], opener, log_);
    QCOMPARE(opener.opened, std::vector<std::string>({"https://a.example/listen"}));

    // Without balloons the announcement is only logged.
    env.globalBalloon = false;
    web.Put("/a.html", "<b>News</b>");
    clock.AdvanceMs(61000);
    UpdateRadioMenu(menu, &radi, true, env);
    QCOMPARE(tray.balloons.size(), size_t(1));
    QVERIFY(log_.Contains(":OrvRadi Sensor > (A) News 放送中\r\n(B) News 放送中\r\n\r"));
  }

  void modifierFlags() {
    const struct {
      uint16_t flags;
      Qt::KeyboardModifiers shift;
    } cases[] = {
        {0, {}},
        {1, Qt::AltModifier},
        {2, Qt::ControlModifier},
        {3, Qt::AltModifier | Qt::ControlModifier},
        {4, Qt::ShiftModifier},
        {7, Qt::AltModifier | Qt::ControlModifier | Qt::ShiftModifier},
    };
    for (const auto& c : cases) {
      QCOMPARE(ModFlagsToShift(c.flags), c.shift);
      QCOMPARE(ShiftToModFlags(c.shift), c.flags);
    }
    QCOMPARE(ModFlagsToShift(8 | 16 | 2), Qt::KeyboardModifiers(Qt::ControlModifier));  // other bits dropped
    // A Windows-key combination is kept without the Windows key.
    QCOMPARE(ShiftToModFlags(Qt::MetaModifier | Qt::ControlModifier | Qt::KeypadModifier), uint16_t(2));
  }

  void shortcutsOfStoredPairs() {
    const struct {
      HotkeyPair pair;
      QString text;
    } cases[] = {
        {{76, 3}, "Ctrl+Alt+L"},  {{0x70, 4}, "Shift+F1"}, {{0x61, 2}, "Ctrl+Num+1"},
        {{0xBD, 1}, "Alt+-"},     {{0x2E, 0}, "Del"},      {{0, 0}, ""},
        {{0xFF, 2}, ""},          // no key of ours
    };
    for (const auto& c : cases) {
      const QKeySequence s = HotkeyToShortcut(c.pair);
      QCOMPARE(s.toString(QKeySequence::PortableText), c.text);
      if (!c.text.isEmpty()) {
        const HotkeyPair back = ShortcutToHotkey(s);
        QCOMPARE(back.key, c.pair.key);
        QCOMPARE(back.flags, c.pair.flags);
      }
    }
    // A shortcut typed as a shifted character on a US keyboard names its key.
    const HotkeyPair bang = ShortcutToHotkey(QKeySequence(QKeyCombination(Qt::ShiftModifier, Qt::Key_Exclam)));
    QCOMPARE(bang.key, uint16_t('1'));
    QCOMPARE(bang.flags, uint16_t(4));
    const HotkeyPair win = ShortcutToHotkey(QKeySequence(QKeyCombination(Qt::MetaModifier | Qt::AltModifier, Qt::Key_K)));
    QCOMPARE(win.key, uint16_t('K'));
    QCOMPARE(win.flags, uint16_t(1));
  }

  void hotkeyDialogReleasesTheHotkeysWhileItExists() {
    QStringList calls;
    {
      THKSetupDlg dialog([&] { calls << "unregister"; }, [&] { calls << "register"; });
      QCOMPARE(calls, QStringList({"unregister"}));
      QCOMPARE(dialog.windowTitle(), QStringLiteral("グローバルホットキーの設定"));
      QCOMPARE(dialog.size(), QSize(400, 200));
      dialog.SetShortcuts({HotkeyToShortcut({76, 3}), {}, {}, {}, {}, HotkeyToShortcut({0x70, 4})});
      QCOMPARE(dialog.HotKey[0]->objectName(), QStringLiteral("HotKey1"));
      QCOMPARE(dialog.HotKey[0]->keySequence(), QKeySequence(QStringLiteral("Ctrl+Alt+L")));
      dialog.HotKey[2]->setKeySequence(QKeySequence(QStringLiteral("Ctrl+K, Ctrl+M")));
      QCOMPARE(dialog.Shortcuts()[2], QKeySequence(QStringLiteral("Ctrl+K")));  // one combination only
      dialog.reject();
      QCOMPARE(calls, QStringList({"unregister", "register"}));
    }
    QCOMPARE(calls.size(), 2);  // closed once: not registered again when it goes

    // Made and dropped without ever being shown: the hotkeys come back all the same.
    calls.clear();
    { THKSetupDlg dialog([&] { calls << "unregister"; }, [&] { calls << "register"; }); }
    QCOMPARE(calls, QStringList({"unregister", "register"}));
  }
};

}  // namespace kw

QTEST_MAIN(kw::TestOnlineMenus)
#include "test_onlinemenus.moc"
