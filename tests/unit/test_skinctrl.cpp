// Skins: the colour parser, which skin files count, the order and names, loading the
// pictures of the skin in use (also damaged ones), and the skins we ship.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <filesystem>

#include "clock/face/u_resources.h"
#include "clock/face/u_skinctrl.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteBytes;
using test::WriteWindowsFile;

TEST(ParseSkinColor, Table) {
  struct Case {
    const char* text;
    TColor colour;
    bool ok;
  } cases[] = {
      {"FF8000", Rgb(255, 128, 0), true}, {"$ff8000", Rgb(255, 128, 0), true}, {"$B4b4B4", Rgb(180, 180, 180), true},
      {"#FF8000", 0, true},                {"$F80", 0, true},                    {"", 0, true},
      {"$FF80001", 0, true},               {"GG8000", 0, false},                 {"$12 456", 0, false},
  };
  for (const Case& c : cases) {
    bool ok = !c.ok;
    EXPECT_EQ(ParseSkinColor(c.text, &ok), c.colour) << c.text;
    EXPECT_EQ(ok, c.ok) << c.text;
  }
}

// A skin folder with pictures a.bmp ... that skin files can name.
class SkinFolder : public ::testing::Test {
 protected:
  SkinFolder() {
    fs::create_directories(dir.File("skins/sub"));
    for (const char* name : {"skins/a.bmp", "skins/b.bmp", "skins/sub/c.bmp", "skins/p.jpg"}) Picture(name, 80, 40);
  }
  void Picture(const std::string& name, int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(10, 20, 30));
    if (name.ends_with(".jpg"))
      ASSERT_TRUE(image.save(QString::fromStdString(dir.File(name)), "JPEG"));
    else
      ASSERT_TRUE(image.save(QString::fromStdString(dir.File(name)), "BMP"));
  }
  void Skin(const std::string& file, const std::string& body) { WriteWindowsFile(dir.File("skins/" + file), body); }
  static std::string Images(const char* pnl = "p.jpg") {
    return std::string("[IMAGE]\nbg0=a.bmp\nbg1=b.bmp\nbg2=sub\\c.bmp\nana=a.bmp\npnl=") + pnl + "\n";
  }
  TempDir dir;
};

TEST_F(SkinFolder, OnlyCompleteSkinsAreListedInFileNameOrder) {
  Skin("01-plain.skn", "[INFO]\nname=標準設定\n" + Images());
  Skin("02-noinfo.skn", Images());
  Skin("03-emptyinfo.skn", "[INFO]\n" + Images());
  Skin("04-missing.skn", "[INFO]\nname=x\n[IMAGE]\nbg0=a.bmp\nbg1=b.bmp\nbg2=gone.bmp\nana=a.bmp\npnl=p.jpg\n");
  Skin("05-folder.skn", "[INFO]\nname=x\n" + Images("sub"));
  Skin("06-badcolour.skn", "[INFO]\nname=bad\n" + Images() + "[COLOR]\nanalogshadow=$GG0000\n");
  Skin("07-noname.SKN", "[info]\nauthor=me\n" + Images() + "[DRAW]\nantialias=abc\n");
  Skin("08-coloured.skn", "[INFO]\nname=\"Night\"\n" + Images() +
                              "[COLOR]\nanalogshadow=102030\nanalogallow=$A0B0C0\nanalogampm=$fF0000\n[DRAW]\nantialias=0\n");
  WriteBytes(dir.File("skins/readme.txt"), "[INFO]\nname=no\n");

  const TSkinCtrl skins(dir.path());
  ASSERT_EQ(skins.Count(), 3);
  EXPECT_EQ(skins.SkinName(0), "標準設定");
  EXPECT_EQ(skins.SkinName(1), "No Name");  // the skin after the bad colour is still found
  EXPECT_EQ(skins.SkinName(2), "Night");
  EXPECT_EQ(skins.Bg2Path(0), dir.File("skins/sub/c.bmp"));
  EXPECT_EQ(skins.PnlPath(0), dir.File("skins/p.jpg"));

  // Defaults and the parsed colours; the switch reads 0 as off, anything else as on.
  EXPECT_EQ(skins.AnalogShadowColor(0), Rgb(0xB4, 0xB4, 0xB4));
  EXPECT_EQ(skins.AnalogAllowColor(0), Rgb(0x28, 0x28, 0x28));
  EXPECT_EQ(skins.AnalogHighlightColor(0), Rgb(0x50, 0x50, 0x50));
  EXPECT_EQ(skins.AnalogAmPmColor(0), Rgb(0, 0, 0));
  EXPECT_EQ(skins.AnalogAmPmOutlineColor(0), Rgb(255, 255, 255));
  EXPECT_TRUE(skins.IsAntiAlias(0));
  EXPECT_TRUE(skins.IsAntiAlias(1));
  EXPECT_EQ(skins.AnalogShadowColor(2), Rgb(0x10, 0x20, 0x30));
  EXPECT_EQ(skins.AnalogAllowColor(2), Rgb(0xA0, 0xB0, 0xC0));
  EXPECT_EQ(skins.AnalogAmPmColor(2), Rgb(255, 0, 0));
  EXPECT_FALSE(skins.IsAntiAlias(2));

  // Outside the list.
  for (int32_t i : {-1, 3}) {
    EXPECT_EQ(skins.SkinName(i), "");
    EXPECT_EQ(skins.AnaPath(i), "");
    EXPECT_EQ(skins.AnalogAllowColor(i), 0u);
    EXPECT_TRUE(skins.IsAntiAlias(i));
  }
}

TEST_F(SkinFolder, IndexOfNameTakesTheLastExactMatch) {
  Skin("a.skn", "[INFO]\nname=Same\n" + Images());
  Skin("b.skn", "[INFO]\nname=Other\n" + Images());
  Skin("c.skn", "[INFO]\nname=Same\n" + Images());
  const TSkinCtrl skins(dir.path());
  EXPECT_EQ(skins.IndexOfName("Same"), 2);
  EXPECT_EQ(skins.IndexOfName("Other"), 1);
  EXPECT_EQ(skins.IndexOfName("same"), -1);
  EXPECT_EQ(skins.IndexOfName(""), -1);
}

TEST_F(SkinFolder, WithoutASkinsFolderTheProgramFolderIsSearched) {
  TempDir flat;
  QImage image(80, 40, QImage::Format_RGB32);
  image.fill(Qt::white);
  ASSERT_TRUE(image.save(QString::fromStdString(flat.File("a.bmp")), "BMP"));
  WriteWindowsFile(flat.File("flat.skn"), "[INFO]\nname=Flat\n[IMAGE]\nbg0=a.bmp\nbg1=a.bmp\nbg2=a.bmp\nana=a.bmp\npnl=a.bmp\n");
  const TSkinCtrl skins(flat.path());
  ASSERT_EQ(skins.Count(), 1);
  EXPECT_EQ(skins.Bg0Path(0), flat.File("a.bmp"));

  TempDir none;
  EXPECT_EQ(TSkinCtrl(none.path()).Count(), 0);
}

TEST_F(SkinFolder, LoadSkinFallsBackToTheFirstAndKeepsPicturesThatCannotBeRead) {
  Picture("skins/ana.bmp", 80, 80);
  Skin("a.skn", "[INFO]\nname=First\n[IMAGE]\nbg0=a.bmp\nbg1=b.bmp\nbg2=sub\\c.bmp\nana=ana.bmp\npnl=p.jpg\n"
                "[COLOR]\nanalogampm=$102030\n[DRAW]\nantialias=0\n");
  Skin("b.skn", "[INFO]\nname=Broken\n[IMAGE]\nbg0=bad.bmp\nbg1=b.bmp\nbg2=b.bmp\nana=ana.bmp\npnl=bad.jpg\n");
  WriteBytes(dir.File("skins/bad.bmp"), "BM this is no bitmap");
  WriteBytes(dir.File("skins/bad.jpg"), std::string("\xFF\xD8\xFF\xE0 broken", 11));
  const TSkinCtrl skins(dir.path());
  ASSERT_EQ(skins.Count(), 2);

  test::MemoryLog log;
  TSkinInUse skin;
  LoadSkin(skins, "gone", skin, &log);
  EXPECT_EQ(skin.Index, 0);
  EXPECT_EQ(skin.Backgrounds[0].Width(), 80);
  EXPECT_EQ(skin.Analog.Height(), 80);
  EXPECT_EQ(skin.Panel.size(), QSize(80, 40));
  EXPECT_EQ(skin.MiniBackground.Width(), 80);  // from the program's own pictures
  EXPECT_EQ(skin.MiniBackground.Height(), 20);
  EXPECT_EQ(skin.AnalogAmPm, Rgb(0x10, 0x20, 0x30));
  EXPECT_FALSE(skin.AntiAlias);
  EXPECT_TRUE(log.lines.empty());

  // The damaged pictures are reported; the ones loaded before stay.
  skin.Backgrounds[0].ScanLine(0)[0] = 0xFF123456u;
  LoadSkin(skins, "Broken", skin, &log);
  EXPECT_EQ(skin.Index, 1);
  EXPECT_EQ(skin.Backgrounds[0].ScanLine(0)[0], 0xFF123456u);
  EXPECT_EQ(skin.Panel.size(), QSize(80, 40));
  auto mentions = [&](const char* name) {
    for (const std::string& line : log.lines)
      if (line.starts_with(">") && line.find(name) != std::string::npos) return true;
    return false;
  };
  EXPECT_TRUE(mentions("bad.bmp"));
  EXPECT_TRUE(mentions("bad.jpg"));
  EXPECT_TRUE(skin.AntiAlias);
}

TEST(DecodeJpeg, DamagedOrTruncatedDataIsAnErrorNotACrash) {
  QImage image(33, 17, QImage::Format_RGB32);
  image.fill(QColor(200, 100, 50));
  QByteArray bytes;
  {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(image.save(&buffer, "JPEG", 95));
  }
  std::string error;
  const QImage whole = DecodeJpeg(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), &error);
  ASSERT_EQ(whole.size(), QSize(33, 17)) << error;
  EXPECT_NEAR(qRed(whole.pixel(5, 5)), 200, 6);
  EXPECT_NEAR(qBlue(whole.pixel(5, 5)), 50, 6);
  for (size_t cut : {size_t{0}, size_t{2}, size_t{40}}) {
    error.clear();
    EXPECT_TRUE(DecodeJpeg(std::string_view(bytes.constData(), cut), &error).isNull()) << cut;
    EXPECT_FALSE(error.empty()) << cut;
  }
}

TEST(ShippedSkins, TheDefaultSkinAndAnotherAreComplete) {
  const TSkinCtrl skins(KRONWEL_DATA);
  ASSERT_GE(skins.Count(), 2);
  ASSERT_GE(skins.IndexOfName("標準設定"), 0);
  for (int32_t i = 0; i < skins.Count(); ++i) {
    for (const std::string& bg : {skins.Bg0Path(i), skins.Bg1Path(i), skins.Bg2Path(i)})
      EXPECT_EQ(LoadPicture(bg).size(), QSize(80, 40)) << bg;
    EXPECT_EQ(LoadPicture(skins.AnaPath(i)).size(), QSize(80, 80));
    EXPECT_TRUE(skins.PnlPath(i).ends_with(".jpg"));
    EXPECT_FALSE(LoadPicture(skins.PnlPath(i)).isNull());
  }
}

TEST(ProgramPictures, SizesAndSeeThroughBackgrounds) {
  struct Case {
    const char* name;
    int w, h;
    bool keyed;  // shown on the clock window: the background is the key colour
  } cases[] = {
      {"bMiniDigiBG", 80, 20, true},          {"bAlarmBell", 16, 16, true},
      {"bChaosAlarmIcon", 16, 16, true},      {"bTimerIcon", 19, 19, true},
      {"bAlarmBellMD", 4, 20, true},          {"bChaosAlarmIconMD", 4, 20, true},
      {"bTimerIconMD", 4, 20, true},          {"bAlarmDialogBG", 320, 128, false},
      {"bPreAlarmDialogBG", 320, 128, false}, {"bHouseAlarmDialogBG", 320, 128, false},
      {"bChaosAlarmDialogBG1", 320, 128, false}, {"bChaosAlarmDialogBG1p", 320, 128, false},
      {"bChaosAlarmDialogBG2", 320, 128, false}, {"bChaosAlarmDialogBG2p", 320, 128, false},
      {"bChaosAlarmDialogBG3", 320, 128, false}, {"bChaosAlarmDialogBG3p", 320, 128, false},
      {"bAboutCastle", 258, 148, false},
  };
  for (const Case& c : cases) {
    const QImage image = ResourceBitmap(c.name);
    ASSERT_EQ(image.size(), QSize(c.w, c.h)) << c.name;
    EXPECT_EQ(image.format(), QImage::Format_RGB32) << c.name;
    if (c.keyed) { EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFFu, 0x0101FFu) << c.name; }
  }
  EXPECT_TRUE(ResourceBitmap("bNoSuchPicture").isNull());
}

}  // namespace
}  // namespace kw
