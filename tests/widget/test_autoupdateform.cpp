// The self-update's progress window as the user sees it.
#include "clock/update/f_autoupdateform.h"

#include <QLabel>
#include <QProgressBar>
#include <QtTest>

#include "tests/support/test_support.h"

namespace kw {

class TestAutoUpdateForm : public QObject {
  Q_OBJECT
 private slots:
  void showsTheDownload() {
    TAutoUpdateForm form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Auto Update"));
    QCOMPARE(form.size(), QSize(336, 168));
    form.Show();
    form.SetAction("最新版をダウンロード中", "");
    form.SetProgress(0, 2000, "ダウンロード中");
    form.SetProgress(500, 2000, "ダウンロード中(25.0％)");
    QCOMPARE(form.CurrentAction->text(), QStringLiteral("最新版をダウンロード中"));
    QCOMPARE(form.ProgressBar1->maximum(), 2000);
    QCOMPARE(form.ProgressBar1->value(), 500);
    QCOMPARE(form.CurrentStatus->text(), QStringLiteral("ダウンロード中(25.0％)"));
    // Beyond 2 GB the bar counts kilobytes.
    form.SetProgress(int64_t{3} << 31, int64_t{4} << 31, "");
    QCOMPARE(form.ProgressBar1->value(), 3 << 21);
    if (const QByteArray dir = qgetenv("KRONWEL_SCREENSHOTS"); !dir.isEmpty()) {
      form.SetProgress(1300, 2000, "ダウンロード中(65.0％)");
      form.grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/autoupdate.png"));
    }
    form.Hide();
    QVERIFY(!form.isVisible());
  }
};

}  // namespace kw

QTEST_MAIN(kw::TestAutoUpdateForm)
#include "test_autoupdateform.moc"
