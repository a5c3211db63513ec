// The program's sounds: single files played one at a time, and the sixteen sound events,
// each played from the user's own file or from the chosen sound set of res.lib.
//
// res.lib (CP932 INI in the program's folder, never written by the program):
//   [soundset]   Count = number of sets, wPay = the file of event 15 for every set
//   [soundsetN]  name = the set's name, wSync ... wChaos3Pre = files of events 0..14
// Set index k (as in SENumber) is section soundset<k+1>. File values are relative to the
// program's folder; "\" separates folders as well as "/".
//
// Everything runs on the user-interface thread; playback itself runs in the back end.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "clock/settings/u_appinfos.h"
#include "clock/sound/u_soundoutput.h"

namespace kw {

class IniFile;
class UserNotifier;

constexpr int32_t kSoundEventCount = 16;  // events 0..15
constexpr int32_t kUserSoundCount = 15;   // events 0..14 have a user file; 15 (land fee) has none
constexpr int32_t kPaySoundEvent = 15;

// The res.lib key of each event.
extern const std::array<const char*, kSoundEventCount> kSoundEventKeys;
// The settings field holding the user's own file of each event 0..14.
extern const std::array<std::string TAppInfos::*, kUserSoundCount> kUserSoundFields;

struct SoundEngineEnv {
  std::string programFolder;            // where res.lib lives, without a trailing slash
  const TAppInfos* settings = nullptr;  // SEffect and the user files, read at every event
  UserNotifier* notifier = nullptr;     // errors while playing an event
  std::unique_ptr<SoundOutput> output;  // SDL2_mixer when empty
};

// Starts the engine; true only when an output device is there. Without one every play call
// plays nothing, and res.lib can still be listed.
bool InitSoundEngine(SoundEngineEnv env);
// Releases the device and the library; nothing plays afterwards.
void CloseSoundEngine();
// Stops the sound that plays.
void StopSound();
// Lets the output device go once the sound has ended, so a quiet clock costs nothing; the
// next sound takes it again. The clock calls it from its tick.
void ReleaseIdleSoundDevice();
// Stops the sound that plays, then starts the file; false when it did not start (no device,
// no such file, a file that cannot be decoded). Returns at once.
bool PlaySoundFile(const std::string& fileName);
// Plays the event: the user's file when it starts, else the file of the sound set. Silent
// when SEffect is off.
void PlaySoundEvent(int32_t event, int32_t soundSet);
// The event as PlaySoundEvent would play it with this user file and set, whatever SEffect
// says (the sound dialog's rehearsal).
void RehearseSoundEvent(int32_t event, const std::string& userFile, int32_t soundSet);
// Replaces the list with the names of the sound sets, in set order; leaves it as it was
// when res.lib is missing or has no sets.
void ListSoundSets(std::vector<std::string>& list);

// ---- res.lib, for the engine and its tests ----

// At most this many sets are listed, whatever Count says.
constexpr int32_t kMaxListedSoundSets = 999;

// The path of a file value of res.lib: empty when the value is empty or names a file outside
// the program's folder (an absolute path, a drive letter, ".." climbing out).
std::string SoundSetPath(const std::string& programFolder, std::string_view value);

// res.lib as read once; an object without the file has no sets.
class SoundSets {
 public:
  explicit SoundSets(const std::string& programFolder);
  ~SoundSets();
  SoundSets(const SoundSets&) = delete;
  SoundSets& operator=(const SoundSets&) = delete;

  // The file of the event in the set, or empty when the event is silent there (the set not
  // below Count, an empty or missing key, an event outside 0..15).
  std::string File(int32_t event, int32_t soundSet) const;
  // The set names ("(NoName)" for a set without one); false when there is no res.lib or its
  // Count is below 1.
  bool Names(std::vector<std::string>& names) const;

 private:
  std::string programFolder_;
  std::unique_ptr<IniFile> ini_;
  int32_t count_ = 0;
};

// The same, reading res.lib for one answer.
std::string SoundSetFile(const std::string& programFolder, int32_t event, int32_t soundSet);
bool ReadSoundSetNames(const std::string& programFolder, std::vector<std::string>& names);

}  // namespace kw
