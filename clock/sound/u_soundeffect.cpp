#include "clock/sound/u_soundeffect.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>

#include "common/ini_file.h"
#include "platform/user_notifier.h"

namespace kw {

const std::array<const char*, kSoundEventCount> kSoundEventKeys = {
    "wSync",   "wSyncNoChange", "wManualSync", "wAlarm",     "wSignal",    "wRMBegin",
    "wRMEnd",  "wEMBegin",      "wEMEnd",      "wChaos1",    "wChaos2",    "wChaos3",
    "wChaos1Pre", "wChaos2Pre", "wChaos3Pre",  "wPay"};

const std::array<std::string TAppInfos::*, kUserSoundCount> kUserSoundFields = {
    &TAppInfos::UcSync,   &TAppInfos::UcSyncNoChange, &TAppInfos::UcManualSync,
    &TAppInfos::UcAlarm,  &TAppInfos::UcSignal,       &TAppInfos::UcRMBegin,
    &TAppInfos::UcRMEnd,  &TAppInfos::UcEMBegin,      &TAppInfos::UcEMEnd,
    &TAppInfos::UcChaos1, &TAppInfos::UcChaos2,       &TAppInfos::UcChaos3,
    &TAppInfos::UcChaos1Pre, &TAppInfos::UcChaos2Pre, &TAppInfos::UcChaos3Pre};

namespace {

constexpr const char* kSetsSection = "soundset";

struct Engine {
  std::string programFolder;
  const TAppInfos* settings = nullptr;
  UserNotifier* notifier = nullptr;
  std::unique_ptr<SoundOutput> output;
  bool device = false;
};

Engine& State() {
  static Engine engine;
  return engine;
}

bool IsFile(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

std::string ResLibPath(const std::string& programFolder) {
  return programFolder.empty() ? std::string() : programFolder + "/res.lib";
}

}  // namespace

bool InitSoundEngine(SoundEngineEnv env) {
  CloseSoundEngine();
  Engine& e = State();
  e.programFolder = std::move(env.programFolder);
  e.settings = env.settings;
  e.notifier = env.notifier;
  e.output = env.output ? std::move(env.output) : MakeSdlSoundOutput();
  e.device = e.output->Init() && e.output->WaveOutSupport();
  return e.device;
}

void CloseSoundEngine() {
  Engine& e = State();
  if (e.output) {
    e.output->Close();
    e.output->Free();
    e.output.reset();
  }
  e.device = false;
}

void StopSound() {
  Engine& e = State();
  if (e.device && e.output->WaveOutSupport()) e.output->Stop();
}

void ReleaseIdleSoundDevice() {
  Engine& e = State();
  if (e.device) e.output->ReleaseIdle();
}

bool PlaySoundFile(const std::string& fileName) {
  StopSound();
  Engine& e = State();
  if (!e.device || !e.output->WaveOutSupport() || !IsFile(fileName)) return false;
  try {
    return e.output->Open(fileName) && e.output->Play();
  } catch (...) {
    return false;
  }
}

void PlaySoundEvent(int32_t event, int32_t soundSet) {
  const Engine& e = State();
  if (!e.settings || !e.settings->SEffect) return;
  const bool hasUserFile = event >= 0 && event < kUserSoundCount;
  RehearseSoundEvent(event, hasUserFile ? e.settings->*kUserSoundFields[event] : std::string(), soundSet);
}

void RehearseSoundEvent(int32_t event, const std::string& userFile, int32_t soundSet) {
  const Engine& e = State();
  try {
    if (event >= 0 && event < kUserSoundCount && PlaySoundFile(userFile)) return;
    const std::string file = SoundSetFile(e.programFolder, event, soundSet);
    if (!file.empty()) PlaySoundFile(file);
  } catch (const std::exception& error) {
    if (e.notifier) e.notifier->ShowMessage(error.what(), NoticeKind::Information);
  }
}

void ListSoundSets(std::vector<std::string>& list) {
  std::vector<std::string> names;
  if (ReadSoundSetNames(State().programFolder, names)) list = std::move(names);
}

std::string SoundSetPath(const std::string& programFolder, std::string_view value) {
  if (value.empty() || value.find('\0') != std::string_view::npos) return {};
  std::string relative(value);
  for (char& c : relative)
    if (c == '\\') c = '/';
  // "/x" and "C:/x" name files elsewhere; so do "//server/share" and "C:x".
  if (relative.front() == '/' || (relative.size() >= 2 && relative[1] == ':')) return {};
  std::string path = programFolder;
  int depth = 0;
  size_t start = 0;
  while (start <= relative.size()) {
    size_t end = relative.find('/', start);
    if (end == std::string::npos) end = relative.size();
    const std::string_view part(relative.data() + start, end - start);
    if (part == "..") {
      if (--depth < 0) return {};
      path.resize(path.rfind('/'));
    } else if (!part.empty() && part != ".") {
      ++depth;
      path.append("/").append(part);
    }
    start = end + 1;
  }
  return depth > 0 ? path : std::string();
}

SoundSets::SoundSets(const std::string& programFolder) : programFolder_(programFolder) {
  const std::string resLib = ResLibPath(programFolder);
  if (!IsFile(resLib)) return;
  ini_ = std::make_unique<IniFile>(resLib);
  count_ = ini_->ReadInteger(kSetsSection, "Count", 0);
}

SoundSets::~SoundSets() = default;

std::string SoundSets::File(int32_t event, int32_t soundSet) const {
  if (!ini_ || soundSet < 0 || soundSet >= count_ || event < 0 || event >= kSoundEventCount) return {};
  const std::string value =
      event == kPaySoundEvent
          ? ini_->ReadString(kSetsSection, "wPay", "")
          : ini_->ReadString(kSetsSection + std::to_string(int64_t{soundSet} + 1), kSoundEventKeys[event], "");
  return SoundSetPath(programFolder_, value);
}

bool SoundSets::Names(std::vector<std::string>& names) const {
  if (!ini_ || count_ < 1) return false;
  names.clear();
  for (int32_t k = 1; k <= std::min(count_, kMaxListedSoundSets); ++k)
    names.push_back(ini_->ReadString(kSetsSection + std::to_string(k), "name", "(NoName)"));
  return true;
}

std::string SoundSetFile(const std::string& programFolder, int32_t event, int32_t soundSet) {
  return SoundSets(programFolder).File(event, soundSet);
}

bool ReadSoundSetNames(const std::string& programFolder, std::vector<std::string>& names) {
  return SoundSets(programFolder).Names(names);
}

}  // namespace kw
