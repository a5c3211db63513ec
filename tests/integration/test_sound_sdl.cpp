// The sound engine on SDL2_mixer, heard through SDL's disk audio driver: the device writes
// what it mixes to a file (44.1 kHz, 16-bit stereo, as the engine opens it), and the tests
// read which tone sounded.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "clock/sound/u_soundeffect.h"
#include "common/ini_file.h"
#include "tests/support/desktop.h"
#include "tests/support/sound_support.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kRate = 44100;
constexpr size_t kFrameBytes = 4;  // 16-bit stereo

// What one stretch of the output held.
struct Heard {
  int peak = 0;              // largest absolute sample
  double frequency = 0;      // of the left channel, from its sign changes
};

class SdlSound : public ::testing::Test {
 protected:
  SdlSound() {
    output = dir.File("output.raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
  }
  ~SdlSound() override { CloseSoundEngine(); }

  bool Init(const std::string& folder = {}) { return InitSoundEngine({.programFolder = folder, .settings = &infos, .notifier = nullptr, .output = nullptr}); }

  size_t Written() const {
    std::error_code ec;
    const auto size = fs::file_size(output, ec);
    return ec ? 0 : static_cast<size_t>(size);
  }

  // Listens from now on for the given time, skipping what the device had mixed before.
  Heard Listen(std::chrono::milliseconds length) {
    const size_t skip = 3 * 1024 * kFrameBytes;  // buffers mixed before the request
    const size_t from = Written() + skip;
    const size_t bytes = static_cast<size_t>(length.count()) * kRate / 1000 * kFrameBytes;
    EXPECT_TRUE(test::WaitFor([&] { return Written() >= from + bytes; }, 10s)) << "the device wrote nothing";
    const std::string all = test::ReadFile(output);
    Heard h;
    int changes = 0;
    int sign = 0;
    for (size_t i = from; i + kFrameBytes <= from + bytes && i + kFrameBytes <= all.size(); i += kFrameBytes) {
      const int v = static_cast<int16_t>(static_cast<uint8_t>(all[i]) | static_cast<uint8_t>(all[i + 1]) << 8);
      h.peak = std::max(h.peak, std::abs(v));
      const int s = v > 0 ? 1 : v < 0 ? -1 : 0;
      if (s != 0 && sign != 0 && s != sign) ++changes;
      if (s != 0) sign = s;
    }
    h.frequency = changes / 2.0 / (static_cast<double>(length.count()) / 1000);
    return h;
  }

  std::string Tone(const std::string& name, int frequency, double seconds = 3) {
    const std::string path = dir.File(name);
    test::WriteBytes(path, test::SquareWav(frequency, seconds));
    return path;
  }

  test::TempDir dir;
  std::string output;
  TAppInfos infos;
};

TEST_F(SdlSound, ASecondSoundStopsTheFirstAndStopSilences) {
  ASSERT_TRUE(Init());
  const std::string low = Tone("low.wav", 441), high = Tone("high.wav", 2205);

  ASSERT_TRUE(PlaySoundFile(low));
  Heard h = Listen(300ms);
  EXPECT_NEAR(h.frequency, 441, 30);
  EXPECT_NEAR(h.peak, 8000, 100);

  ASSERT_TRUE(PlaySoundFile(high));
  h = Listen(300ms);
  EXPECT_NEAR(h.frequency, 2205, 100);
  EXPECT_NEAR(h.peak, 8000, 100) << "the first sound still plays under the second";

  StopSound();
  EXPECT_EQ(Listen(200ms).peak, 0);

  // A missing file plays nothing, and still stops what played.
  ASSERT_TRUE(PlaySoundFile(low));
  EXPECT_FALSE(PlaySoundFile(dir.File("missing.wav")));
  EXPECT_EQ(Listen(200ms).peak, 0);
}

// A quiet clock holds no device (its mixing thread would run on in silence); the next sound
// takes it again.
TEST_F(SdlSound, TheDeviceIsLetGoWhileQuiet) {
  ASSERT_TRUE(Init());
  const std::string blip = Tone("blip.wav", 441, 0.5);
  ASSERT_TRUE(PlaySoundFile(blip));
  ReleaseIdleSoundDevice();  // still playing: kept
  EXPECT_NEAR(Listen(100ms).frequency, 441, 30);
  const auto stillWriting = [&] {
    const size_t before = Written();
    std::this_thread::sleep_for(150ms);
    return Written() != before;
  };
  EXPECT_TRUE(test::WaitFor([&] {
    ReleaseIdleSoundDevice();
    return !stillWriting();
  }, 5s)) << "the device is still held";

  ASSERT_TRUE(PlaySoundFile(Tone("low.wav", 441)));
  EXPECT_NEAR(Listen(200ms).frequency, 441, 30);
}

TEST_F(SdlSound, TheFormatIsToldByTheContent) {
  ASSERT_TRUE(Init());
  // A WAV file named .kws, and one named .mp3.
  const std::string kws = Tone("ring.kws", 441);
  fs::copy_file(kws, dir.File("ring.mp3"));
  for (const std::string& f : {kws, dir.File("ring.mp3")}) {
    SCOPED_TRACE(f);
    ASSERT_TRUE(PlaySoundFile(f));
    EXPECT_NEAR(Listen(200ms).frequency, 441, 30);
  }
}

TEST_F(SdlSound, AnEventIsHeardFromTheSetAndASilentUserFileKeepsItQuiet) {
  const std::string prog = dir.File("prog");
  fs::create_directories(prog);
  Tone("prog/set.wav", 441);
  test::WriteBytes(prog + "/silent.wav", test::SquareWav(0, 3));
  test::WriteWindowsFile(prog + "/res.lib", "[soundset]\nCount=1\n[soundset1]\nwAlarm=set.wav\n");
  ASSERT_TRUE(Init(prog));
  PlaySoundEvent(3, 0);
  EXPECT_NEAR(Listen(200ms).frequency, 441, 30);
  infos.UcAlarm = prog + "/silent.wav";
  PlaySoundEvent(3, 0);
  EXPECT_EQ(Listen(200ms).peak, 0);
}

TEST_F(SdlSound, DamagedFilesAreRefused) {
  ASSERT_TRUE(Init());
  const std::string wav = test::SquareWav(441, 1);
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"text", "this is not a sound\r\n"},
      {"RIFF header cut short", wav.substr(0, 20)},
      {"no data chunk", wav.substr(0, 36)},
      {"MP3 frame header only", std::string("\xFF\xFB\x90\x64", 4)},
      {"ID3 tag only", std::string("ID3\x03\x00\x00\x00\x00\x00\x0A", 10) + std::string(10, '\0')},
      {"Ogg page header only", std::string("OggS\0\x02", 6) + std::string(20, '\0')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File("damaged.wav");
    test::WriteBytes(path, c.bytes);
    EXPECT_FALSE(PlaySoundFile(path));
  }
  // Sound data cut short plays what is there.
  test::WriteBytes(dir.File("cut.wav"), wav.substr(0, wav.size() / 2));
  EXPECT_TRUE(PlaySoundFile(dir.File("cut.wav")));
  EXPECT_NEAR(Listen(200ms).frequency, 441, 30);
}

TEST_F(SdlSound, WithoutAnOutputDeviceTheProgramGoesOnSilently) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  EXPECT_FALSE(Init());
  EXPECT_FALSE(PlaySoundFile(Tone("low.wav", 441)));
  StopSound();
  CloseSoundEngine();
  EXPECT_FALSE(fs::exists(output));
}

// Every event of every shipped set, the land fee sound, the silent file and the mini timer's
// sounds are there and decode.
TEST_F(SdlSound, TheShippedSoundsAllDecode) {
  const std::string bin = KRONWEL_BIN;
  ASSERT_TRUE(Init(bin));
  std::vector<std::string> names;
  ListSoundSets(names);
  ASSERT_GE(names.size(), 2u);
  const IniFile resLib(bin + "/res.lib");
  EXPECT_EQ(resLib.ReadInteger("soundset", "Count", 0), static_cast<int>(names.size()));
  for (int set = 0; set < static_cast<int>(names.size()); ++set) {
    EXPECT_NE(names[set], "(NoName)");
    for (int event = 0; event < kSoundEventCount; ++event) {
      SCOPED_TRACE(names[set] + " " + kSoundEventKeys[event]);
      const std::string file = SoundSetFile(bin, event, set);
      ASSERT_FALSE(file.empty());
      EXPECT_TRUE(PlaySoundFile(file));
    }
  }
  for (const char* f : {"tms1.kws", "tms2.kws", "tms3.kws"}) EXPECT_TRUE(PlaySoundFile(bin + "/" + f)) << f;
  ASSERT_TRUE(PlaySoundFile(bin + "/無音.wav"));
  EXPECT_EQ(Listen(50ms).peak, 0);
}

}  // namespace
}  // namespace kw
