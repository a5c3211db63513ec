// Sound test helpers: a back end that records instead of playing, and generated tones.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "clock/sound/u_soundoutput.h"
#include "tests/support/test_support.h"

namespace kw::test {

// What a RecordingSoundOutput was asked to do, in order: "stop", "open <path>", "play <path>".
struct SoundCalls {
  std::vector<std::string> calls;
  bool device = true;  // whether an output device is there
  // The paths that were played.
  std::vector<std::string> Played() const {
    std::vector<std::string> out;
    for (const std::string& c : calls)
      if (c.rfind("play ", 0) == 0) out.push_back(c.substr(5));
    return out;
  }
};

// Records the calls; refuses to open a file whose bytes start with "BAD" (as a damaged file).
class RecordingSoundOutput final : public SoundOutput {
 public:
  explicit RecordingSoundOutput(std::shared_ptr<SoundCalls> calls) : calls_(std::move(calls)) {}
  bool Init() override { return true; }
  bool WaveOutSupport() override { return calls_->device; }
  bool Open(const std::string& path) override {
    calls_->calls.push_back("open " + path);
    if (ReadFile(path).rfind("BAD", 0) == 0) return false;
    open_ = path;
    return true;
  }
  bool Play() override {
    calls_->calls.push_back("play " + open_);
    return true;
  }
  void Stop() override { calls_->calls.push_back("stop"); }
  void Close() override {}
  void Free() override {}

 private:
  std::shared_ptr<SoundCalls> calls_;
  std::string open_;
};

// A WAV file (16-bit PCM) of a square wave: frequency 0 gives silence.
inline std::string SquareWav(int frequency, double seconds, int16_t amplitude = 8000, int rate = 44100,
                             int channels = 2) {
  const auto frames = static_cast<uint32_t>(seconds * rate);
  const uint32_t dataBytes = frames * static_cast<uint32_t>(channels) * 2;
  std::string w;
  auto u32 = [&w](uint32_t v) { for (int i = 0; i < 4; ++i) w.push_back(static_cast<char>(v >> (8 * i))); };
  auto u16 = [&w](uint16_t v) { w.push_back(static_cast<char>(v)); w.push_back(static_cast<char>(v >> 8)); };
  w += "RIFF";
  u32(36 + dataBytes);
  w += "WAVEfmt ";
  u32(16);
  u16(1);
  u16(static_cast<uint16_t>(channels));
  u32(static_cast<uint32_t>(rate));
  u32(static_cast<uint32_t>(rate * channels * 2));
  u16(static_cast<uint16_t>(channels * 2));
  u16(16);
  w += "data";
  u32(dataBytes);
  for (uint32_t f = 0; f < frames; ++f) {
    int16_t v = 0;
    if (frequency > 0) v = (static_cast<uint64_t>(f) * 2 * frequency / rate) % 2 ? -amplitude : amplitude;
    for (int c = 0; c < channels; ++c) u16(static_cast<uint16_t>(v));
  }
  return w;
}

}  // namespace kw::test
