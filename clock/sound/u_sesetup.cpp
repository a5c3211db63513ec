#include "clock/sound/u_sesetup.h"

#include <filesystem>
#include <system_error>

#include "common/cp932.h"
#include "common/file_io.h"

namespace kw {

const char* const kCustomSoundHeader = "#KW03UserCustomSESetting#このファイルは編集しないで下さい!!";
const char* const kCustomSoundDamaged =
    "設定ファイルを開けませんでした。\r\nデータが破損しているか、別なバージョンのKronwel用データです。";

namespace {
constexpr size_t kCustomSoundLines = 1 + kUserSoundCount;
}

SoundSettings SoundSettingsOf(const TAppInfos& infos) {
  SoundSettings s;
  s.SEffect = infos.SEffect;
  s.SENumber = infos.SENumber;
  for (int32_t i = 0; i < kUserSoundCount; ++i) s.files[i] = infos.*kUserSoundFields[i];
  return s;
}

void ApplySoundSettings(const SoundSettings& settings, TAppInfos& infos) {
  infos.SEffect = settings.SEffect;
  infos.SENumber = settings.SENumber;
  for (int32_t i = 0; i < kUserSoundCount; ++i) infos.*kUserSoundFields[i] = settings.files[i];
}

SoundFieldColour FieldColour(const std::string& text) {
  if (text.empty()) return SoundFieldColour::Empty;
  std::error_code ec;
  return std::filesystem::is_regular_file(text, ec) ? SoundFieldColour::Found : SoundFieldColour::Missing;
}

SESetupEnabling SESetupEnablingFor(bool masterSwitch, int setCount) {
  return {masterSwitch && setCount > 0, masterSwitch};
}

std::string BrowseStartFolder(const std::string& fieldText, const std::string& programFolder) {
  const size_t slash = fieldText.rfind('/');
  if (slash == std::string::npos) return programFolder;
  return slash == 0 ? std::string("/") : fieldText.substr(0, slash);
}

int32_t ValidSoundSet(int32_t seNumber, int setCount) {
  return seNumber >= 0 && seNumber < setCount ? seNumber : 0;
}

std::vector<std::string> SplitTextLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
  return lines;
}

CustomSoundRead ReadCustomSoundFile(const std::string& path, UserSoundFiles& files) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return CustomSoundRead::Unreadable;
  const std::vector<std::string> lines = SplitTextLines(DecodeTextFile(bytes));
  if (lines.size() != kCustomSoundLines) return CustomSoundRead::WrongLineCount;
  for (size_t i = 0; i < files.size(); ++i) files[i] = lines[i + 1];
  return CustomSoundRead::Ok;
}

bool WriteCustomSoundFile(const std::string& path, const UserSoundFiles& files) {
  std::string text = std::string(kCustomSoundHeader) + "\r\n";
  for (const std::string& f : files) text.append(f).append("\r\n");
  std::string bytes;
  // A Linux file name may hold characters that CP932 has not, or that it holds only as their
  // Windows look-alikes (U+2016 becomes U+2225): such names are kept as they are, in UTF-8.
  if (!Utf8ToCp932(text, bytes) || Cp932ToUtf8(bytes) != text) bytes = "\xEF\xBB\xBF" + text;
  return WriteFileAtomically(path, bytes, 0644);
}

}  // namespace kw
