#include "clock/sound/f_sounddlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <vector>

#include "clock/sound/u_soundeffect.h"
#include "platform/user_notifier.h"

namespace kw {
namespace {

struct Row {
  const char* label;
  int browse, listen, rehearse;  // the numbers of the buttons' names
};

constexpr std::array<Row, kUserSoundCount> kRows = {{
    {"自動同期(更新)", 1, 13, 33}, {"更新なし", 2, 14, 31},     {"手動同期", 3, 15, 32},
    {"アラーム", 4, 16, 34},       {"時報", 5, 17, 35},         {"定期ﾒﾝﾃ開始", 6, 18, 36},
    {"定期ﾒﾝﾃ終了", 7, 19, 37},   {"臨時ﾒﾝﾃ開始", 8, 20, 38}, {"臨時ﾒﾝﾃ終了", 9, 21, 39},
    {"ｶｵｽ開放", 10, 22, 40},       {"奔流開放", 11, 23, 41},    {"GK出現", 12, 24, 42},
    {"ｶｵｽ開放予告", 25, 28, 43},   {"奔流開放予告", 26, 29, 44}, {"GK出現予告", 27, 30, 45},
}};

constexpr std::array<const char*, kUserSoundCount> kFieldNames = {
    "UcSync",  "UcSyncNoChange", "UcManualSync", "UcAlarm",     "UcSignal",
    "UcRMBegin", "UcRMEnd",      "UcEMBegin",    "UcEMEnd",     "UcChaos1",
    "UcChaos2", "UcChaos3",      "UcChaos1Pre",  "UcChaos2Pre", "UcChaos3Pre"};

constexpr int kWidth = 400;
constexpr int kPanelHeight = 200;
const char* const kCustomFilter = "効果音ユーザー設定(*.orvcu)";

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }
QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

QColor ToQColor(SoundFieldColour c) {
  const auto v = static_cast<uint32_t>(c);
  return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

QPushButton* SmallButton(const char* text, const QString& name, const char* hint) {
  auto* b = new QPushButton(Q(text));
  b->setObjectName(name);
  b->setToolTip(Q(hint));
  b->setFixedSize(24, 22);
  b->setFocusPolicy(Qt::TabFocus);
  return b;
}

}  // namespace

QString AskFileNameWithDialog(QWidget* parent, const TSESetupDlg::FileRequest& request) {
  QFileDialog dialog(parent, request.title, request.folder, request.filter);
  if (!request.selectedFilter.isEmpty()) dialog.selectNameFilter(request.selectedFilter);
  if (!request.defaultSuffix.isEmpty()) dialog.setDefaultSuffix(request.defaultSuffix);
  if (request.kind == TSESetupDlg::FileRequest::Save) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);  // asks before overwriting
  } else {
    dialog.setFileMode(QFileDialog::ExistingFile);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

bool RunSESetupDlg(TSESetupDlg& dialog, TAppInfos& infos) {
  dialog.Load(infos);
  if (dialog.exec() != QDialog::Accepted) return false;
  ApplySoundSettings(dialog.Result(), infos);
  return true;
}

TSESetupDlg::TSESetupDlg(std::string programFolder, UserNotifier& notifier, QWidget* parent)
    : QDialog(parent), programFolder_(std::move(programFolder)), notifier_(notifier) {
  askFileName = [this](const FileRequest& r) { return AskFileNameWithDialog(this, r); };
  FormCreate();
}

void TSESetupDlg::FormCreate() {
  setObjectName(QStringLiteral("SESetupDlg"));
  setWindowTitle(Q("音の設定"));

  // The skin's panel picture lies behind the controls, three tiles stacked.
  for (int i = 0; i < 3; ++i) {
    images_[i] = new QLabel(this);
    images_[i]->setObjectName(QStringLiteral("Image%1").arg(i + 1));
    images_[i]->setGeometry(0, i * kPanelHeight, kWidth, kPanelHeight);
    images_[i]->setScaledContents(true);
    images_[i]->hide();
  }

  auto* top = new QVBoxLayout(this);
  top->setContentsMargins(8, 8, 8, 8);
  top->setSpacing(4);

  auto* switchRow = new QHBoxLayout;
  sSEffectSW = new QCheckBox;
  sSEffectSW->setObjectName(QStringLiteral("sSEffectSW"));
  switchLabel_ = new QLabel(Q("効果音を使用する（ﾁｪｯｸを外すと全効果音をﾐｭｰﾄ）"));
  switchLabel_->setObjectName(QStringLiteral("Label8"));
  for (QWidget* w : {static_cast<QWidget*>(sSEffectSW), static_cast<QWidget*>(switchLabel_)})
    w->setToolTip(Q("効果音機能のマスタースイッチです（未チェックで完全に沈黙します）"));
  switchRow->addWidget(sSEffectSW);
  switchRow->addWidget(switchLabel_, 1);
  top->addLayout(switchRow);

  auto* setRow = new QHBoxLayout;
  setLabel_ = new QLabel(Q("効果音ｾｯﾄの選択"));
  setLabel_->setObjectName(QStringLiteral("Label9"));
  sSENumber = new QComboBox;
  sSENumber->setObjectName(QStringLiteral("sSENumber"));
  for (QWidget* w : {static_cast<QWidget*>(setLabel_), static_cast<QWidget*>(sSENumber)})
    w->setToolTip(Q("標準添付の効果音セットを選択します"));
  setRow->addSpacing(20);
  setRow->addWidget(setLabel_);
  setRow->addWidget(sSENumber, 1);
  top->addLayout(setRow);

  auto* headRow = new QHBoxLayout;
  heading_ = new QLabel(Q("効果音のﾕｰｻﾞｰｶｽﾀﾏｲｽﾞ（上記の効果音ｾｯﾄより優先）"));
  heading_->setObjectName(QStringLiteral("Label10"));
  bUCustomOpen = new QPushButton(Q("読込"));
  bUCustomOpen->setObjectName(QStringLiteral("bUCustomOpen"));
  bUCustomOpen->setToolTip(Q("ﾕｰｻﾞｰｶｽﾀﾏｲｽﾞの内容を設定ﾌｧｲﾙから読込"));
  bUCustomSave = new QPushButton(Q("保存"));
  bUCustomSave->setObjectName(QStringLiteral("bUCustomSave"));
  bUCustomSave->setToolTip(Q("ﾕｰｻﾞｰｶｽﾀﾏｲｽﾞの内容を設定ﾌｧｲﾙに保存"));
  for (QPushButton* b : {bUCustomOpen, bUCustomSave}) b->setFixedSize(40, 22);
  headRow->addWidget(heading_, 1);
  headRow->addWidget(bUCustomOpen);
  headRow->addWidget(bUCustomSave);
  top->addSpacing(4);
  top->addLayout(headRow);

  for (QLabel* l : {switchLabel_, setLabel_, heading_}) l->installEventFilter(this);

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(2);
  grid->setVerticalSpacing(2);
  for (int i = 0; i < kUserSoundCount; ++i) {
    const Row& row = kRows[i];
    const int tag = i + 1;
    eventLabels_[i] = new QLabel(Q(row.label));
    auto* field = new QLineEdit;
    field->setObjectName(Q(kFieldNames[i]));
    field->setToolTip(Q("任意指定の音声ファイル（ファイルが見つからない場合は背景が黄色になります）"));
    field->setFixedHeight(22);
    fields_[i] = field;
    auto* browse = SmallButton("...", QStringLiteral("Button%1").arg(row.browse), "音声ファイル（.wav）を指定します");
    auto* listen = SmallButton("聞", QStringLiteral("Button%1").arg(row.listen), "指定した音声ファイルを再生します");
    auto* rehearse = SmallButton("試", QStringLiteral("Button%1").arg(row.rehearse),
                                 "効果音ｾｯﾄの設定と合わせてリハーサル再生します");
    rowButtons_[i] = {browse, listen, rehearse};
    for (QPushButton* b : rowButtons_[i]) b->setProperty("tag", tag);
    connect(field, &QLineEdit::textChanged, this, [this, tag] { ChangeSEFiles(tag); });
    connect(browse, &QPushButton::clicked, this, [this, tag] { SoundFileOpen(tag); });
    connect(listen, &QPushButton::clicked, this, [this, tag] { SoundFilePlay(tag); });
    connect(rehearse, &QPushButton::clicked, this, [this, tag] { RealTest(tag); });
    grid->addWidget(eventLabels_[i], i, 0);
    grid->addWidget(field, i, 1);
    grid->addWidget(browse, i, 2);
    grid->addWidget(listen, i, 3);
    grid->addWidget(rehearse, i, 4);
  }
  grid->setColumnMinimumWidth(0, 84);
  grid->setColumnStretch(1, 1);
  top->addLayout(grid);

  note_ = new QLabel(Q("空欄もしくはﾌｧｲﾙが開けない場合は効果音ｾｯﾄの設定が使用されます。"
                       "無音にしたい場合は、添付の「無音.wav」を指定して下さい。"));
  note_->setObjectName(QStringLiteral("Label11"));
  note_->setWordWrap(true);
  top->addWidget(note_);

  auto* buttons = new QDialogButtonBox;
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("bOK"));
  ok->setDefault(true);
  QPushButton* cancel = buttons->addButton(Q("キャンセル"), QDialogButtonBox::RejectRole);
  cancel->setObjectName(QStringLiteral("bCancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  top->addWidget(buttons);

  connect(sSEffectSW, &QCheckBox::clicked, this, [this] { sSEffectSWClick(); });
  connect(bUCustomOpen, &QPushButton::clicked, this, [this] { bUCustomOpenClick(); });
  connect(bUCustomSave, &QPushButton::clicked, this, [this] { bUCustomSaveClick(); });

  // The fields start empty, so grey.
  for (int tag = 1; tag <= kUserSoundCount; ++tag) ChangeSEFiles(tag);
  setFixedSize(kWidth, sizeHint().height());
}

void TSESetupDlg::Load(TAppInfos& infos) {
  std::vector<std::string> names;
  ListSoundSets(names);
  sSENumber->clear();
  for (const std::string& n : names) sSENumber->addItem(Q(n));
  setCount_ = static_cast<int>(names.size());
  sSEffectSW->setChecked(infos.SEffect);
  sSEffectSWClick();
  infos.SENumber = ValidSoundSet(infos.SENumber, setCount_);
  keptSENumber_ = infos.SENumber;
  sSENumber->setCurrentIndex(setCount_ > 0 ? infos.SENumber : -1);
  for (int i = 0; i < kUserSoundCount; ++i) fields_[i]->setText(Q(infos.*kUserSoundFields[i]));
}

SoundSettings TSESetupDlg::Result() const {
  SoundSettings s;
  s.SEffect = sSEffectSW->isChecked();
  // Without any listed set there is nothing to choose: the choice made before stays.
  s.SENumber = sSENumber->currentIndex() >= 0 ? sSENumber->currentIndex() : keptSENumber_;
  for (int i = 0; i < kUserSoundCount; ++i) s.files[i] = fields_[i]->text().toStdString();
  return s;
}

void TSESetupDlg::SetPanelPicture(const QImage& picture) {
  for (QLabel* image : images_) {
    image->setPixmap(QPixmap::fromImage(picture));
    image->setVisible(!picture.isNull());
    image->lower();
  }
}

bool TSESetupDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease &&
      (watched == switchLabel_ || watched == setLabel_ || watched == heading_)) {
    Label8Click();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TSESetupDlg::Label8Click() {
  sSEffectSW->setChecked(!sSEffectSW->isChecked());
  sSEffectSWClick();
}

void TSESetupDlg::sSEffectSWClick() {
  const SESetupEnabling e = SESetupEnablingFor(sSEffectSW->isChecked(), setCount_);
  sSENumber->setEnabled(e.setList);
  setLabel_->setEnabled(e.setList);
  for (QWidget* w : {static_cast<QWidget*>(heading_), static_cast<QWidget*>(bUCustomOpen),
                     static_cast<QWidget*>(bUCustomSave), static_cast<QWidget*>(note_)})
    w->setEnabled(e.userFiles);
  for (int i = 0; i < kUserSoundCount; ++i) {
    eventLabels_[i]->setEnabled(e.userFiles);
    fields_[i]->setEnabled(e.userFiles);
    for (QPushButton* b : rowButtons_[i]) b->setEnabled(e.userFiles);
  }
}

void TSESetupDlg::ChangeSEFiles(int tag) {
  if (tag < 1 || tag > kUserSoundCount) return;
  QLineEdit* field = fields_[tag - 1];
  QPalette p = field->palette();
  p.setColor(QPalette::Base, ToQColor(FieldColour(field->text().toStdString())));
  field->setPalette(p);
}

void TSESetupDlg::SoundFileOpen(int tag) {
  if (tag < 1 || tag > kUserSoundCount) return;
  QLineEdit* field = fields_[tag - 1];
  const QString all = Q("全ての対応形式(*.wav *.mp3 *.kws)");
  const QString chosen = askFileName(
      {FileRequest::Browse, Q("ユーザーカスタム効果音の指定"),
       Q(BrowseStartFolder(field->text().toStdString(), programFolder_)),
       Q("WAV ファイル(*.wav);;MP3 ファイル(*.mp3);;KWS ファイル(*.kws);;") + all, all, QString()});
  if (!chosen.isEmpty()) field->setText(chosen);
}

void TSESetupDlg::SoundFilePlay(int tag) {
  if (tag < 1 || tag > kUserSoundCount) {
    StopSound();
    return;
  }
  PlaySoundFile(fields_[tag - 1]->text().toStdString());
}

void TSESetupDlg::RealTest(int tag) {
  if (tag < 1 || tag > kUserSoundCount) return;
  RehearseSoundEvent(tag - 1, fields_[tag - 1]->text().toStdString(), sSENumber->currentIndex());
}

void TSESetupDlg::bUCustomOpenClick() {
  const QString path = askFileName({FileRequest::Load, Q("ユーザーカスタマイズ設定セットを開く"),
                                    Q(programFolder_), Q(kCustomFilter), QString(), QStringLiteral("orvcu")});
  if (path.isEmpty()) return;
  UserSoundFiles files;
  switch (ReadCustomSoundFile(path.toStdString(), files)) {
    case CustomSoundRead::Ok:
      for (int i = 0; i < kUserSoundCount; ++i) fields_[i]->setText(Q(files[i]));
      break;
    case CustomSoundRead::WrongLineCount:
      notifier_.ShowMessage(kCustomSoundDamaged, NoticeKind::Error);
      break;
    case CustomSoundRead::Unreadable:
      break;
  }
}

void TSESetupDlg::bUCustomSaveClick() {
  const QString path = askFileName({FileRequest::Save, Q("ユーザーカスタマイズ設定セットを保存する"),
                                    Q(programFolder_), Q(kCustomFilter), QString(), QStringLiteral("orvcu")});
  if (path.isEmpty()) return;
  UserSoundFiles files;
  for (int i = 0; i < kUserSoundCount; ++i) files[i] = fields_[i]->text().toStdString();
  WriteCustomSoundFile(path.toStdString(), files);
}

}  // namespace kw
