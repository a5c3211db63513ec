#include "clock/sound/f_sounddlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <functional>
#include <memory>

#include "clock/sound/u_soundeffect.h"
#include "common/cp932.h"
#include "tests/support/sound_support.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

namespace fs = std::filesystem;

QString Q(const std::string& s) { return QString::fromStdString(s); }

const char* const kFieldNames[] = {"UcSync",   "UcSyncNoChange", "UcManualSync", "UcAlarm",     "UcSignal",
                                   "UcRMBegin", "UcRMEnd",      "UcEMBegin",    "UcEMEnd",     "UcChaos1",
                                   "UcChaos2", "UcChaos3",      "UcChaos1Pre",  "UcChaos2Pre", "UcChaos3Pre"};

}  // namespace

class TestSoundDlg : public QObject {
  Q_OBJECT

  std::unique_ptr<test::TempDir> dir_;
  std::string prog_;
  std::shared_ptr<test::SoundCalls> calls_;
  test::RecordingNotifier notifier_;
  std::vector<TSESetupDlg::FileRequest> requests_;
  QString answer_;  // the file name the next file dialog answers

  std::unique_ptr<TSESetupDlg> Dialog() {
    auto dlg = std::make_unique<TSESetupDlg>(prog_, notifier_);
    dlg->askFileName = [this](const TSESetupDlg::FileRequest& r) {
      requests_.push_back(r);
      return answer_;
    };
    return dlg;
  }
  static QLineEdit* Field(TSESetupDlg& d, int event) { return d.findChild<QLineEdit*>(kFieldNames[event]); }
  template <class T = QPushButton>
  static T* Child(TSESetupDlg& d, const char* name) {
    T* w = d.findChild<T*>(name);
    if (!w) qFatal("no control %s", name);
    return w;
  }
  static QColor Base(QLineEdit* f) { return f->palette().color(QPalette::Base); }

  // Runs the dialog as the clock does; act works in it while it is open and closes it.
  bool Run(TAppInfos& infos, const std::function<void(TSESetupDlg&)>& act) {
    auto dlg = Dialog();
    TSESetupDlg* d = dlg.get();
    QTimer::singleShot(0, d, [d, act] { act(*d); });
    return RunSESetupDlg(*d, infos);
  }

  TAppInfos Settings() const {
    TAppInfos infos;
    infos.SENumber = 1;
    infos.UcSync = prog_ + "/user.wav";
    infos.UcAlarm = prog_ + "/missing.wav";
    infos.UcChaos3Pre = "無音.wav";
    return infos;
  }

 private slots:
  void init() {
    dir_ = std::make_unique<test::TempDir>();
    prog_ = dir_->path();
    fs::create_directories(prog_ + "/set1");
    fs::create_directories(prog_ + "/set2");
    for (const char* f : {"set1/sync.wav", "set2/sync.wav", "user.wav"}) test::WriteBytes(prog_ + "/" + f, "RIFF");
    test::WriteWindowsFile(prog_ + "/res.lib",
                           "[soundset]\nCount=2\n[soundset1]\nname=チャイム\nwSync=set1/sync.wav\n"
                           "[soundset2]\nname=ボイス\nwSync=set2/sync.wav\n");
    calls_ = std::make_shared<test::SoundCalls>();
    TAppInfos unused;
    QVERIFY(InitSoundEngine({.programFolder = prog_,
                             .settings = &unused,
                             .notifier = &notifier_,
                             .output = std::make_unique<test::RecordingSoundOutput>(calls_)}));
    notifier_.notices.clear();
    requests_.clear();
    answer_.clear();
  }
  void cleanup() { CloseSoundEngine(); }

  void opensWithTheSettingsAndColoursTheFields() {
    TAppInfos infos = Settings();
    auto d = Dialog();
    QCOMPARE(d->windowTitle(), QStringLiteral("音の設定"));
    d->Load(infos);
    auto* sets = Child<QComboBox>(*d, "sSENumber");
    QCOMPARE(sets->count(), 2);
    QCOMPARE(sets->itemText(0), QStringLiteral("チャイム"));
    QCOMPARE(sets->currentIndex(), 1);
    QVERIFY(Child<QCheckBox>(*d, "sSEffectSW")->isChecked());
    QCOMPARE(Field(*d, 0)->text(), Q(infos.UcSync));
    QCOMPARE(Field(*d, 14)->text(), QStringLiteral("無音.wav"));

    const QColor grey(240, 240, 240), white(255, 255, 255), yellow(255, 255, 128);
    QCOMPARE(Base(Field(*d, 0)), white);
    QCOMPARE(Base(Field(*d, 1)), grey);
    QCOMPARE(Base(Field(*d, 3)), yellow);
    Field(*d, 3)->clear();
    QCOMPARE(Base(Field(*d, 3)), grey);
    Field(*d, 3)->setText(Q(prog_ + "/user.wav"));
    QCOMPARE(Base(Field(*d, 3)), white);
    QCOMPARE(d->width(), 400);
  }

  void aSetNumberBeyondTheSetsIsReset_data() {
    QTest::addColumn<int>("seNumber");
    QTest::addColumn<bool>("withResLib");
    QTest::addColumn<int>("expected");
    QTest::newRow("a listed set") << 1 << true << 1;
    QTest::newRow("equal to Count") << 2 << true << 0;
    QTest::newRow("negative") << -3 << true << 0;
    QTest::newRow("no res.lib") << 1 << false << 0;
  }
  void aSetNumberBeyondTheSetsIsReset() {
    QFETCH(int, seNumber);
    QFETCH(bool, withResLib);
    QFETCH(int, expected);
    if (!withResLib) fs::remove(prog_ + "/res.lib");
    TAppInfos infos = Settings();
    infos.SENumber = seNumber;
    const bool ok = Run(infos, [](TSESetupDlg& d) { Child(d, "bCancel")->click(); });
    QVERIFY(!ok);
    QCOMPARE(infos.SENumber, expected);
    // OK with nothing to choose keeps the choice.
    QVERIFY(Run(infos, [](TSESetupDlg& d) { Child(d, "bOK")->click(); }));
    QCOMPARE(infos.SENumber, expected);
  }

  void theSwitchEnablesTheRows() {
    TAppInfos infos = Settings();
    auto d = Dialog();
    d->Load(infos);
    auto rows = [&] {
      QList<QWidget*> list{Child<QLabel>(*d, "Label10"), Child(*d, "bUCustomOpen"), Child(*d, "bUCustomSave"),
                           Child<QLabel>(*d, "Label11")};
      for (int i = 0; i < kUserSoundCount; ++i) list << Field(*d, i);
      for (int n = 1; n <= 45; ++n)
        if (auto* b = d->findChild<QPushButton*>(QStringLiteral("Button%1").arg(n))) list << b;
      return list;
    };
    QCOMPARE(rows().size(), 4 + 15 + 45);
    auto* sw = Child<QCheckBox>(*d, "sSEffectSW");
    auto* sets = Child<QComboBox>(*d, "sSENumber");
    const auto all = [&](bool enabled) {
      for (QWidget* w : rows())
        if (w->isEnabled() != enabled) return false;
      return true;
    };
    QVERIFY(all(true) && sets->isEnabled());
    // Each of the three labels toggles the switch.
    for (const char* label : {"Label8", "Label9", "Label10"}) {
      const bool before = sw->isChecked();
      QTest::mouseClick(Child<QLabel>(*d, label), Qt::LeftButton);
      QCOMPARE(sw->isChecked(), !before);
      QCOMPARE(all(!before), true);
      QCOMPARE(sets->isEnabled(), !before);
    }
    QVERIFY(!sw->isChecked());

    // Without res.lib the list stays disabled with the switch on.
    fs::remove(prog_ + "/res.lib");
    auto empty = Dialog();
    empty->Load(infos);
    QVERIFY(!Child<QComboBox>(*empty, "sSENumber")->isEnabled());
    QVERIFY(Field(*empty, 0)->isEnabled());
  }

  void okStoresWhatTheDialogShowsAndCancelNothing() {
    const TAppInfos before = Settings();
    const std::string custom = dir_->File("other.orvcu");
    UserSoundFiles other;
    other.fill("/elsewhere/x.wav");
    QVERIFY(WriteCustomSoundFile(custom, other));

    TAppInfos infos = before;
    answer_ = Q(custom);
    QVERIFY(!Run(infos, [](TSESetupDlg& d) {
      d.bUCustomOpenClick();
      d.Label8Click();
      Child<QComboBox>(d, "sSENumber")->setCurrentIndex(0);
      Child(d, "bCancel")->click();
    }));
    QVERIFY(infos == before);

    // The switch unticked: the rows are disabled, but OK still stores them.
    QVERIFY(Run(infos, [](TSESetupDlg& d) {
      Field(d, 1)->setText(QStringLiteral("/new.wav"));
      d.Label8Click();
      Child<QComboBox>(d, "sSENumber")->setCurrentIndex(0);
      Child(d, "bOK")->click();
    }));
    TAppInfos expected = before;
    expected.SEffect = false;
    expected.SENumber = 0;
    expected.UcSyncNoChange = "/new.wav";
    QVERIFY(infos == expected);
  }

  void aSavedCustomFileLoadsBackTheSameFields_data() {
    QTest::addColumn<QStringList>("files");
    QStringList some;
    for (int i = 0; i < kUserSoundCount; ++i) some << (i % 3 == 0 ? QString() : QStringLiteral("/home/u/音/%1.wav").arg(i));
    QTest::newRow("CP932 names, empty ones among them") << some;
    QStringList accents = some;
    accents[4] = QStringLiteral("/home/u/café/ß.wav");
    QTest::newRow("a name CP932 cannot hold") << accents;
    QStringList lookAlike = some;
    lookAlike[7] = QStringLiteral("/home/u/a‖b〜.wav");  // CP932 has only the Windows look-alikes
    QTest::newRow("a name CP932 would change") << lookAlike;
    QTest::newRow("all empty") << QStringList(kUserSoundCount, QString());
  }
  void aSavedCustomFileLoadsBackTheSameFields() {
    QFETCH(QStringList, files);
    TAppInfos infos;
    auto d = Dialog();
    d->Load(infos);
    for (int i = 0; i < kUserSoundCount; ++i) Field(*d, i)->setText(files[i]);
    answer_ = Q(dir_->File("mine.orvcu"));
    d->bUCustomSaveClick();
    QCOMPARE(requests_.back().kind, TSESetupDlg::FileRequest::Save);
    QCOMPARE(requests_.back().defaultSuffix, QStringLiteral("orvcu"));

    const std::string bytes = test::ReadFile(dir_->File("mine.orvcu"));
    const std::string text = DecodeTextFile(bytes);
    QVERIFY(text.rfind("#KW03UserCustomSESetting#このファイルは編集しないで下さい!!\r\n", 0) == 0);
    QCOMPARE(SplitTextLines(text).size(), size_t{16});
    size_t crlf = 0;
    for (size_t p = 0; (p = bytes.find("\r\n", p)) != std::string::npos; p += 2) ++crlf;
    QCOMPARE(crlf, size_t{16});
    if (QTest::currentDataTag() == QLatin1String("CP932 names, empty ones among them"))
      QVERIFY(IsCp932(bytes) && bytes.find("\xE9\x9F\xB3") == std::string::npos);  // no UTF-8 "音"

    auto fresh = Dialog();
    fresh->Load(infos);
    Field(*fresh, 0)->setText(QStringLiteral("overwritten"));
    fresh->bUCustomOpenClick();
    for (int i = 0; i < kUserSoundCount; ++i) QCOMPARE(Field(*fresh, i)->text(), files[i]);
    QVERIFY(notifier_.notices.empty());
  }

  void loadingNeedsSixteenLinesWhateverTheFirst() {
    TAppInfos infos = Settings();
    auto d = Dialog();
    d->Load(infos);
    const auto lines = [](int n, const char* first) {
      std::string text = first;
      for (int i = 1; i < n; ++i) text += "\r\n/f" + std::to_string(i) + ".wav";
      return text + "\r\n";
    };
    // Any first line, and line ends of either kind.
    std::string sixteen = lines(16, "anything at all");
    test::WriteBytes(dir_->File("a.orvcu"), sixteen);
    answer_ = Q(dir_->File("a.orvcu"));
    d->bUCustomOpenClick();
    QCOMPARE(Field(*d, 0)->text(), QStringLiteral("/f1.wav"));
    QCOMPARE(Field(*d, 14)->text(), QStringLiteral("/f15.wav"));
    QVERIFY(notifier_.notices.empty());

    for (int n : {15, 17, 0}) {
      Field(*d, 0)->setText(QStringLiteral("kept"));
      test::WriteBytes(dir_->File("a.orvcu"), n ? lines(n, "#") : "");
      d->bUCustomOpenClick();
      QCOMPARE(Field(*d, 0)->text(), QStringLiteral("kept"));
      QCOMPARE(notifier_.notices.size(), size_t{1});
      QCOMPARE(notifier_.notices.back().kind, NoticeKind::Error);
      QCOMPARE(Q(notifier_.notices.back().text),
               QStringLiteral("設定ファイルを開けませんでした。\r\nデータが破損しているか、別なバージョンのKronwel用データです。"));
      notifier_.notices.clear();
    }
    // A file that cannot be read: nothing said, nothing changed. Cancelling: nothing either.
    for (const QString& name : {Q(dir_->path()), QString()}) {
      answer_ = name;
      d->bUCustomOpenClick();
      QCOMPARE(Field(*d, 0)->text(), QStringLiteral("kept"));
    }
    QVERIFY(notifier_.notices.empty());
  }

  void browsingStartsAtTheFieldsFolder() {
    TAppInfos infos = Settings();
    auto d = Dialog();
    d->Load(infos);
    answer_ = QStringLiteral("/chosen/a.mp3");
    Child(*d, "Button1")->click();  // UcSync holds a file in the program's folder
    Child(*d, "Button25")->click();  // UcChaos1Pre is empty
    answer_.clear();
    Child(*d, "Button27")->click();  // cancelled
    QCOMPARE(requests_.size(), size_t{3});
    QCOMPARE(requests_[0].folder, Q(prog_));
    QCOMPARE(requests_[0].title, QStringLiteral("ユーザーカスタム効果音の指定"));
    QCOMPARE(requests_[0].selectedFilter, QStringLiteral("全ての対応形式(*.wav *.mp3 *.kws)"));
    QVERIFY(requests_[0].filter.endsWith(requests_[0].selectedFilter));
    QCOMPARE(requests_[1].folder, Q(prog_));
    QCOMPARE(Field(*d, 0)->text(), QStringLiteral("/chosen/a.mp3"));
    QCOMPARE(Field(*d, 12)->text(), QStringLiteral("/chosen/a.mp3"));
    QCOMPARE(Field(*d, 14)->text(), QStringLiteral("無音.wav"));
    Child(*d, "Button1")->click();
    QCOMPARE(requests_.back().folder, QStringLiteral("/chosen"));
  }

  void listenPlaysTheFieldAndRehearsalTheDialogsSet() {
    TAppInfos infos = Settings();
    auto d = Dialog();
    d->Load(infos);
    Child(*d, "Button13")->click();  // listen, UcSync
    QCOMPARE(calls_->Played(), std::vector<std::string>{prog_ + "/user.wav"});
    calls_->calls.clear();
    Child(*d, "Button14")->click();  // listen, empty field: stops only
    QCOMPARE(calls_->calls, std::vector<std::string>{"stop"});

    // Rehearsal of event 0 without a user file plays the set chosen in the dialog.
    Field(*d, 0)->clear();
    Child<QComboBox>(*d, "sSENumber")->setCurrentIndex(0);
    d->RealTest(1);
    Child<QComboBox>(*d, "sSENumber")->setCurrentIndex(1);
    Child(*d, "Button33")->click();
    Field(*d, 0)->setText(Q(prog_ + "/user.wav"));
    Child(*d, "Button33")->click();
    QCOMPARE(calls_->Played(), (std::vector<std::string>{prog_ + "/set1/sync.wav", prog_ + "/set2/sync.wav",
                                                         prog_ + "/user.wav"}));
    QCOMPARE(infos.SENumber, 1);
  }

  // KRONWEL_SHOW_SOUND_DIALOG=ms shows the dialog on the screen for a look (or a screenshot).
  void look() {
    const int ms = qEnvironmentVariableIntValue("KRONWEL_SHOW_SOUND_DIALOG");
    if (ms <= 0) QSKIP("set KRONWEL_SHOW_SOUND_DIALOG to look at the dialog");
    TAppInfos infos = Settings();
    auto d = Dialog();
    QImage panel(400, 200, QImage::Format_RGB32);
    panel.fill(QColor(0xF3, 0xE6, 0xC8));
    if (qEnvironmentVariableIsSet("KRONWEL_SOUND_DIALOG_PANEL")) d->SetPanelPicture(panel);
    d->Load(infos);
    if (qEnvironmentVariableIsSet("KRONWEL_SOUND_DIALOG_OFF")) d->Label8Click();
    d->move(20, 20);
    d->show();
    QTest::qWait(ms);
  }
};

}  // namespace kw

QTEST_MAIN(kw::TestSoundDlg)
#include "test_sounddlg.moc"
