// Skins: a named set of pictures and colours in the skins folder, described by a small INI
// file (*.skn, CP932). TSkinCtrl lists the usable skins; LoadSkin loads the pictures and
// colours of the one in use.
#pragma once

#include <QImage>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "clock/face/abitmap.h"

namespace kw {

class LogSink;

// "$RRGGBB" or "RRGGBB" (either case) as a colour; black for any other length. False in ok
// when the length is right but a character is not a hexadecimal digit (the result is then 0).
TColor ParseSkinColor(std::string_view text, bool* ok = nullptr);

struct TSkin {
  std::string Name;
  std::array<std::string, 6> Images;  // bg0, bg1, bg2, ana, pnl; the sixth stays empty
  TColor AnalogShadow = Rgb(0xB4, 0xB4, 0xB4);
  TColor AnalogAllow = Rgb(0x28, 0x28, 0x28);
  TColor AnalogHighlight = Rgb(0x50, 0x50, 0x50);
  TColor AnalogAmPm = Rgb(0, 0, 0);
  TColor AnalogAmPmOutline = Rgb(0xFF, 0xFF, 0xFF);
  bool AntiAlias = true;
};

class TSkinCtrl {
 public:
  // Lists the skins of programFolder/skins, or of programFolder itself when it has no
  // "skins" entry.
  explicit TSkinCtrl(std::string programFolder);

  void ScanSkins();
  const std::string& SkinFolder() const { return folder_; }

  int32_t Count() const { return static_cast<int32_t>(Items.size()); }
  std::string SkinName(int32_t i) const;
  std::string Bg0Path(int32_t i) const { return Image(i, 0); }
  std::string Bg1Path(int32_t i) const { return Image(i, 1); }
  std::string Bg2Path(int32_t i) const { return Image(i, 2); }
  std::string AnaPath(int32_t i) const { return Image(i, 3); }
  std::string PnlPath(int32_t i) const { return Image(i, 4); }
  // The last skin whose name equals name byte for byte; -1 when none does.
  int32_t IndexOfName(std::string_view name) const;
  TColor AnalogShadowColor(int32_t i) const { return Valid(i) ? Items[i].AnalogShadow : 0; }
  TColor AnalogAllowColor(int32_t i) const { return Valid(i) ? Items[i].AnalogAllow : 0; }
  TColor AnalogHighlightColor(int32_t i) const { return Valid(i) ? Items[i].AnalogHighlight : 0; }
  TColor AnalogAmPmColor(int32_t i) const { return Valid(i) ? Items[i].AnalogAmPm : 0; }
  TColor AnalogAmPmOutlineColor(int32_t i) const { return Valid(i) ? Items[i].AnalogAmPmOutline : 0; }
  bool IsAntiAlias(int32_t i) const { return Valid(i) ? Items[i].AntiAlias : true; }

  // In file-name order (the order a Windows folder lists them).
  std::vector<TSkin> Items;

 private:
  bool Valid(int32_t i) const { return i >= 0 && i < Count(); }
  std::string Image(int32_t i, int k) const { return Valid(i) ? Items[i].Images[k] : std::string(); }

  std::string programFolder_;
  std::string folder_;
};

// Reads one skin file; false when it is not a usable skin (a section missing, a picture
// missing, a colour that is not hexadecimal). folder is prefixed to the picture names.
bool ReadSkinFile(const std::string& path, const std::string& folder, TSkin& skin);

// The pictures and colours of the skin in use, as the face reads them.
struct TSkinInUse {
  int32_t Index = -1;
  std::array<TABitmap, 3> Backgrounds;  // night, morning, day
  TABitmap Analog;
  TABitmap MiniBackground;
  QImage Panel;  // the panel picture that dialogs show
  TColor AnalogShadow = 0, AnalogAllow = 0, AnalogHighlight = 0, AnalogAmPm = 0, AnalogAmPmOutline = 0;
  bool AntiAlias = true;
};

// Loads any picture a panel may be: BMP and ICO through Qt, JPEG through libjpeg. A null
// image, with error set, when the file cannot be decoded.
QImage LoadPicture(const std::string& path, std::string* error = nullptr);
// Decodes JPEG bytes with libjpeg; a null image with error set on damaged data.
QImage DecodeJpeg(std::string_view bytes, std::string* error = nullptr);

// Loads the named skin (the first one when no skin has that name) into skin. A picture that
// is gone keeps the previous one; a picture that cannot be decoded keeps it too and is
// reported to log as a failure line.
void LoadSkin(const TSkinCtrl& skins, std::string_view name, TSkinInUse& skin, LogSink* log);

}  // namespace kw
