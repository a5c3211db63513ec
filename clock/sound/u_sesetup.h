// What the sound settings dialog decides without a window: the enabling of its rows, the
// colour of a file field, where browsing starts, and the custom sound setting file (.orvcu).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "clock/settings/u_appinfos.h"
#include "clock/sound/u_soundeffect.h"

namespace kw {

// The user files of events 0..14, in event order.
using UserSoundFiles = std::array<std::string, kUserSoundCount>;

// The sound settings the dialog edits, copied out of the settings record and back on OK.
struct SoundSettings {
  bool SEffect = true;
  int32_t SENumber = 0;
  UserSoundFiles files;
  bool operator==(const SoundSettings&) const = default;
};
SoundSettings SoundSettingsOf(const TAppInfos& infos);
void ApplySoundSettings(const SoundSettings& settings, TAppInfos& infos);

// Background of a file field, 0x00BBGGRR: grey when empty, white when the file exists,
// light yellow when it does not.
enum class SoundFieldColour : uint32_t { Empty = 0x00F0F0F0, Found = 0x00FFFFFF, Missing = 0x0080FFFF };
SoundFieldColour FieldColour(const std::string& text);

// The set list is usable when there are sets and the master switch is on; everything of the
// user files follows the switch alone.
struct SESetupEnabling {
  bool setList;
  bool userFiles;
};
SESetupEnabling SESetupEnablingFor(bool masterSwitch, int setCount);

// The folder a browse starts in: that of the field's file, or the program's folder.
std::string BrowseStartFolder(const std::string& fieldText, const std::string& programFolder);

// The set the dialog selects at opening: SENumber, or the first set when SENumber does not
// name one of the listed sets.
int32_t ValidSoundSet(int32_t seNumber, int setCount);

// The custom sound setting file: a header line, then the fifteen files, CRLF line ends, CP932
// (UTF-8 with a byte order mark when a file name has characters that CP932 cannot hold as
// they are).
extern const char* const kCustomSoundHeader;
extern const char* const kCustomSoundDamaged;  // the message for a file of another size
enum class CustomSoundRead { Ok, WrongLineCount, Unreadable };
// Fills files only when the file has exactly 16 lines; the first line may hold anything.
CustomSoundRead ReadCustomSoundFile(const std::string& path, UserSoundFiles& files);
bool WriteCustomSoundFile(const std::string& path, const UserSoundFiles& files);

// Lines ended by CR, LF or CRLF; a line end at the very end starts no further line.
std::vector<std::string> SplitTextLines(std::string_view text);

}  // namespace kw
