// The options dialogs and the about box on the offscreen platform.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

#include "clock/options/f_aboutbox.h"
#include "clock/options/f_setupdlg.h"
#include "tests/support/test_support.h"

namespace kw {

namespace {

void Shot(QWidget& w, const char* name) {
  if (const QByteArray dir = qgetenv("KRONWEL_SCREENSHOTS"); !dir.isEmpty())
    w.grab().save(QString::fromLocal8Bit(dir) + "/" + name + ".png");
}

// Answers the next modal dialog that opens with OK or Cancel, after letting a test change it.
void AnswerNextDialog(QDialog* dialog, bool ok, std::function<void()> change = {}) {
  QTimer::singleShot(0, dialog, [=] {
    if (change) change();
    ok ? dialog->accept() : dialog->reject();
  });
}

}  // namespace

class TestOptionDialogs : public QObject {
  Q_OBJECT
 private slots:
  void intervalMovesInStepsOfFive() {
    SetupValues v;
    v.AutoInterval = 120;
    TSetupDlg dialog(nullptr, {}, v, {"標準設定"}, 0, {});
    QCOMPARE(dialog.size(), QSize(400, 200));
    dialog.sAutoIntervalV->stepUp();
    QCOMPARE(dialog.sAutoIntervalV->value(), 120);
    dialog.sAutoIntervalV->stepDown();
    QCOMPARE(dialog.sAutoIntervalV->value(), 115);
    dialog.sAutoIntervalV->setValue(3);
    QCOMPARE(dialog.sAutoIntervalV->value(), 5);
    QVERIFY(!dialog.HotkeySetup->isEnabled());  // no hotkey dialog given
    Shot(dialog, "setupdlg");
  }

  void cancelDropsWhatTheAdvancedDialogAccepted() {
    SetupValues v;
    v.ProxyIP = "10.0.0.1";
    v.ClientProgram = "C:\\PELLUCID\\Orvane\\Orvane.exe";
    TSetupDlg dialog(nullptr, {}, v, {"標準設定", "夜空"}, -1.5 / 86400, {});
    AnswerNextDialog(dialog.ExSetupDlg, true, [&] {
      QCOMPARE(dialog.ExSetupDlg->Adj->text(), QStringLiteral("1秒500ms 進んでいます"));
      QCOMPARE(dialog.ExSetupDlg->sOrvCPath->text(), QStringLiteral("C:\\PELLUCID\\Orvane\\Orvane.exe"));
      dialog.ExSetupDlg->sProxyIP->setText(QStringLiteral("192.168.1.1"));
      Shot(*dialog.ExSetupDlg, "exsetupdlg");
    });
    dialog.ExtendSetupClick();
    QCOMPARE(dialog.Values().ProxyIP, std::string("192.168.1.1"));  // carried by the options dialog
    // The caller takes Values() only on OK; a Cancel leaves the settings as they were.

    AnswerNextDialog(dialog.ExSetupDlg, false, [&] { dialog.ExSetupDlg->sProxyIP->setText("x"); });
    dialog.ExtendSetupClick();
    QCOMPARE(dialog.Values().ProxyIP, std::string("192.168.1.1"));

    // A skin that is gone selects the first.
    v.SkinName = "gone";
    TSetupDlg other(nullptr, {}, v, {"標準設定", "夜空"}, 0, {});
    QCOMPARE(other.Values().SkinName, std::string("標準設定"));
  }

  void hotkeysComeBackOnlyOnOk() {
    bool accept = false;
    TSetupDlg dialog(nullptr, {}, SetupValues{}, {}, 0, [&](std::array<HotkeyPair, kHotkeyCount>& keys) {
      keys[0] = {'K', 3};
      return accept;
    });
    dialog.HotkeySetupClick();
    QCOMPARE(dialog.Values().Hotkeys[0].key, uint16_t{0});
    accept = true;
    dialog.HotkeySetupClick();
    QCOMPARE(dialog.Values().Hotkeys[0], (HotkeyPair{'K', 3}));
  }

  void aboutBoxTellsTheVersions() {
    test::RecordingNotifier notifier;
    test::TempDir dir;
    std::vector<std::string> opened;
    int saved = 0, restarted = 0;
    bool available = true, succeeds = true;
    const auto env = [&](TUpgradeInfo latest) {
      return AboutEnv{.fileVersion = "2.1.40.512", .latest = latest, .programFolder = dir.path(), .notifier = notifier,
                      .autoUpdateAvailable = [&] { return available; }, .autoUpdate = [&] { return succeeds; },
                      .saveSettings = [&] { ++saved; }, .restart = [&] { ++restarted; },
                      .openUrl = [&](const std::string& url) { opened.push_back(url); }};
    };
    TAboutBox box(nullptr, env({2, 1, 41, 1, 2008, 6, 19, "http://example.org/dl"}), {}, {});
    QCOMPARE(box.size(), QSize(273, 195));
    QCOMPARE(box.UpgradeInformation1->text(), QStringLiteral("新しい Kronwel が存在します！"));
    QVERIFY(box.OpenHPBtn->isVisibleTo(&box) && box.OpenHPBtn->isEnabled());
    Shot(box, "aboutbox");

    // Update now: the settings are saved first, then the clock restarts; no page is opened.
    notifier.answers = {true};
    box.OpenHPBtnClick();
    QCOMPARE(saved, 1);
    QCOMPARE(restarted, 1);
    QVERIFY(opened.empty());
    // A failed update stops there.
    succeeds = false;
    notifier.answers = {true};
    box.OpenHPBtnClick();
    QCOMPARE(restarted, 1);
    QVERIFY(opened.empty());
    // No self-update: the download page.
    available = false;
    notifier.answers = {true};
    box.OpenHPBtnClick();
    QCOMPARE(opened, std::vector<std::string>{"http://example.org/dl"});

    // The survey page comes from httpctrl.cfg; without it, an error.
    box.GotoQuestBtnClick();
    QCOMPARE(notifier.notices.back().text, std::string("アンケートページURLの取得に失敗しました。"));
    test::WriteWindowsFile(dir.File("httpctrl.cfg"), "[Quest]\nUrl=http://q/?v=$VERSION$\n");
    notifier.answers = {true};
    box.GotoQuestBtnClick();
    QCOMPARE(opened.back(), std::string("http://q/?v=2.1.40.512"));

    TAboutBox none(nullptr, env({}), {}, {});
    QCOMPARE(none.UpgradeInformation1->text(), QStringLiteral("ｱｯﾌﾟｸﾞﾚｰﾄﾞ情報が取得できませんでした"));
    QVERIFY(!none.OpenHPBtn->isVisibleTo(&none));
  }
};

}  // namespace kw

QTEST_MAIN(kw::TestOptionDialogs)
#include "test_optiondialogs.moc"
