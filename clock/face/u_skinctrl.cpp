#include "clock/face/u_skinctrl.h"

#include <jpeglib.h>

#include <QFile>
#include <QImageReader>
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <cctype>

#include "clock/face/u_resources.h"
#include "common/ini_file.h"
#include "common/log_sink.h"

namespace kw {

namespace fs = std::filesystem;

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsFile(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// A picture name of the skin file below the skin folder; Windows folder marks become "/".
std::string PicturePath(const std::string& folder, std::string value) {
  std::replace(value.begin(), value.end(), '\\', '/');
  return folder + value;
}

}  // namespace

TColor ParseSkinColor(std::string_view text, bool* ok) {
  if (ok) *ok = true;
  std::string s(text);
  if (s.empty() || s[0] != '$') s.insert(s.begin(), '$');
  if (s.size() != 7) return 0;
  int v[6];
  for (int i = 0; i < 6; ++i) {
    v[i] = HexDigit(s[static_cast<size_t>(i) + 1]);
    if (v[i] < 0) {
      if (ok) *ok = false;
      return 0;
    }
  }
  return Rgb(v[0] * 16 + v[1], v[2] * 16 + v[3], v[4] * 16 + v[5]);
}

TSkinCtrl::TSkinCtrl(std::string programFolder) : programFolder_(std::move(programFolder)) { ScanSkins(); }

bool ReadSkinFile(const std::string& path, const std::string& folder, TSkin& skin) {
  const IniFile ini(path);
  if (!ini.SectionHasKeys("INFO") || !ini.SectionHasKeys("IMAGE")) return false;
  static constexpr const char* kKeys[5] = {"bg0", "bg1", "bg2", "ana", "pnl"};
  TSkin s;
  for (int k = 0; k < 5; ++k) {
    s.Images[static_cast<size_t>(k)] = PicturePath(folder, ini.ReadString("IMAGE", kKeys[k], ""));
    if (!IsFile(s.Images[static_cast<size_t>(k)])) return false;
  }
  s.Name = ini.ReadString("INFO", "name", "No Name");
  struct ColourKey {
    const char* key;
    const char* def;
    TColor TSkin::*field;
  };
  static constexpr ColourKey kColours[5] = {{"analogshadow", "$B4B4B4", &TSkin::AnalogShadow},
                                            {"analogallow", "$282828", &TSkin::AnalogAllow},
                                            {"analoghighlight", "$505050", &TSkin::AnalogHighlight},
                                            {"analogampm", "$000000", &TSkin::AnalogAmPm},
                                            {"analogampmoutline", "$FFFFFF", &TSkin::AnalogAmPmOutline}};
  for (const ColourKey& c : kColours) {
    bool ok = true;
    s.*c.field = ParseSkinColor(ini.ReadString("COLOR", c.key, c.def), &ok);
    if (!ok) return false;
  }
  s.AntiAlias = ini.ReadInteger("DRAW", "antialias", 1) != 0;
  skin = std::move(s);
  return true;
}

void TSkinCtrl::ScanSkins() {
  Items.clear();
  std::error_code ec;
  const std::string skins = programFolder_ + "/skins";
  folder_ = (fs::exists(skins, ec) ? skins : programFolder_) + "/";
  std::vector<std::string> files;
  for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() > 4 && Lower(name.substr(name.size() - 4)) == ".skn") files.push_back(name);
  }
  std::sort(files.begin(), files.end());
  for (const std::string& name : files) {
    TSkin skin;
    if (ReadSkinFile(folder_ + name, folder_, skin)) Items.push_back(std::move(skin));
  }
}

std::string TSkinCtrl::SkinName(int32_t i) const { return Valid(i) ? Items[static_cast<size_t>(i)].Name : std::string(); }

int32_t TSkinCtrl::IndexOfName(std::string_view name) const {
  for (int32_t i = Count() - 1; i >= 0; --i)
    if (Items[static_cast<size_t>(i)].Name == name) return i;
  return -1;
}

// ---- Pictures ----------------------------------------------------------------------------

namespace {

struct JpegError {
  jpeg_error_mgr mgr;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<JpegError*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  longjmp(err->jump, 1);
}

void JpegQuiet(j_common_ptr, int) {}

// Everything that changes after setjmp lives here, outside the function's own frame.
struct JpegJob {
  jpeg_decompress_struct cinfo{};
  JpegError err{};
  QImage image;
  std::vector<uint8_t> row;
};

bool RunJpeg(JpegJob& job, const unsigned char* data, unsigned long size) {
  job.cinfo.err = jpeg_std_error(&job.err.mgr);
  job.err.mgr.error_exit = JpegErrorExit;
  job.err.mgr.emit_message = JpegQuiet;
  if (setjmp(job.err.jump)) {
    jpeg_destroy_decompress(&job.cinfo);
    return false;
  }
  jpeg_create_decompress(&job.cinfo);
  jpeg_mem_src(&job.cinfo, data, size);
  jpeg_read_header(&job.cinfo, TRUE);
  job.cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&job.cinfo);
  const JDIMENSION w = job.cinfo.output_width, h = job.cinfo.output_height;
  // Panel pictures are a few hundred pixels wide; refuse sizes that would take more than
  // 64 MB before reading a single row.
  if (w == 0 || h == 0 || w > 8192 || h > 8192 || static_cast<uint64_t>(w) * h > (16u << 20) ||
      job.cinfo.output_components != 3) {
    std::snprintf(job.err.message, sizeof job.err.message, "unsupported size %ux%u", w, h);
    jpeg_destroy_decompress(&job.cinfo);
    return false;
  }
  job.image = QImage(static_cast<int>(w), static_cast<int>(h), QImage::Format_RGB32);
  job.row.resize(static_cast<size_t>(w) * 3);
  while (job.cinfo.output_scanline < h) {
    JSAMPROW rows[1] = {job.row.data()};
    const JDIMENSION y = job.cinfo.output_scanline;
    jpeg_read_scanlines(&job.cinfo, rows, 1);
    auto* out = reinterpret_cast<uint32_t*>(job.image.scanLine(static_cast<int>(y)));
    for (JDIMENSION x = 0; x < w; ++x)
      out[x] = 0xFF000000u | static_cast<uint32_t>(job.row[3 * x]) << 16 | static_cast<uint32_t>(job.row[3 * x + 1]) << 8 |
               job.row[3 * x + 2];
  }
  jpeg_finish_decompress(&job.cinfo);
  jpeg_destroy_decompress(&job.cinfo);
  return true;
}

}  // namespace

QImage DecodeJpeg(std::string_view bytes, std::string* error) {
  if (bytes.empty()) {
    if (error) *error = "empty file";
    return {};
  }
  auto job = std::make_unique<JpegJob>();
  if (!RunJpeg(*job, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()))) {
    if (error) *error = job->err.message;
    return {};
  }
  return std::move(job->image);
}

QImage LoadPicture(const std::string& path, std::string* error) {
  const std::string ext = Lower(fs::path(path).extension().string());
  if (ext == ".jpg" || ext == ".jpeg") {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      if (error) *error = "cannot open the file";
      return {};
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return DecodeJpeg(bytes, error);
  }
  if (ext != ".bmp" && ext != ".ico") {
    if (error) *error = "unknown picture format " + ext;
    return {};
  }
  QImageReader reader(QString::fromStdString(path), ext == ".bmp" ? "bmp" : "ico");
  QImage image = reader.read();
  if (image.isNull() && error) *error = reader.errorString().toStdString();
  return image;
}

void LoadSkin(const TSkinCtrl& skins, std::string_view name, TSkinInUse& skin, LogSink* log) {
  int32_t index = skins.IndexOfName(name);
  if (index < 0) index = 0;
  skin.Index = index;
  auto report = [&](const std::string& path, const std::string& why) {
    if (log) log->WriteLog(">Skin picture " + path + " cannot be read: " + why + "\r");
  };
  const std::string bitmaps[4] = {skins.Bg0Path(index), skins.Bg1Path(index), skins.Bg2Path(index),
                                  skins.AnaPath(index)};
  for (int k = 0; k < 4; ++k) {
    if (!IsFile(bitmaps[k])) continue;
    std::string why;
    const QImage image = LoadPicture(bitmaps[k], &why);
    if (image.isNull()) {
      report(bitmaps[k], why);
      continue;
    }
    (k < 3 ? skin.Backgrounds[static_cast<size_t>(k)] : skin.Analog).Assign(image);
  }
  skin.MiniBackground.Assign(ResourceBitmap("bMiniDigiBG"));
  const std::string panel = skins.PnlPath(index);
  if (IsFile(panel)) {
    std::string why;
    QImage image = LoadPicture(panel, &why);
    if (image.isNull())
      report(panel, why);
    else
      skin.Panel = std::move(image);
  }
  skin.AnalogShadow = skins.AnalogShadowColor(index);
  skin.AnalogAllow = skins.AnalogAllowColor(index);
  skin.AnalogHighlight = skins.AnalogHighlightColor(index);
  skin.AnalogAmPm = skins.AnalogAmPmColor(index);
  skin.AnalogAmPmOutline = skins.AnalogAmPmOutlineColor(index);
  skin.AntiAlias = skins.IsAntiAlias(index);
}

}  // namespace kw
