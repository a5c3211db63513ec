// The sound events' lookup (user file, then res.lib) and the rules of res.lib, on a back end
// that records what it is asked to play.
#include <gtest/gtest.h>

#include <filesystem>

#include "clock/sound/u_soundeffect.h"
#include "tests/support/sound_support.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

namespace fs = std::filesystem;
using test::SoundCalls;

TEST(SoundSetPath, StaysInsideTheProgramFolder) {
  const struct {
    const char* value;
    const char* expected;  // relative to the folder; nullptr: refused
  } cases[] = {
      {"a.wav", "a.wav"},
      {"sound\\chime\\a.wav", "sound/chime/a.wav"},
      {"./a/./b.wav", "a/b.wav"},
      {"a//b.wav", "a/b.wav"},
      {"a/../b.wav", "b.wav"},
      {"", nullptr},
      {".", nullptr},
      {"a/..", nullptr},
      {"../b.wav", nullptr},
      {"a/../../b.wav", nullptr},
      {"..\\..\\etc\\passwd", nullptr},
      {"/etc/passwd", nullptr},
      {"\\\\server\\share\\x.wav", nullptr},
      {"C:\\Windows\\Media\\chimes.wav", nullptr},
      {"c:x.wav", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(SoundSetPath("/prog", c.value), c.expected ? std::string("/prog/") + c.expected : std::string());
  }
}

class SoundEvents : public ::testing::Test {
 protected:
  SoundEvents() {
    const std::string outside = fs::path(dir.path()).parent_path() / ("outside-" + fs::path(dir.path()).filename().string() + ".wav");
    outsideFile = outside;
    test::WriteBytes(outsideFile, "RIFF");
    prog = dir.File("prog");
    fs::create_directories(prog + "/set1");
    fs::create_directories(prog + "/set2");
    for (const char* f : {"set1/sync.wav", "set1/alarm.wav", "set2/sync.wav", "pay.wav", "user.wav", "無音.wav"})
      test::WriteBytes(prog + "/" + f, "RIFF");
    test::WriteBytes(prog + "/bad.wav", "BAD damaged");
    test::WriteWindowsFile(prog + "/res.lib",
                           "[soundset]\nCount=2\nwPay=pay.wav\n\n"
                           "[soundset1]\nname=チャイム\nwSync=set1/sync.wav\nwAlarm=set1\\alarm.wav\n"
                           "wSignal=" + outsideFile + "\nwRMBegin=../" + fs::path(outsideFile).filename().string() +
                           "\nwChaos1=\n\n"
                           "[soundset2]\nwSync=set2/sync.wav\n");
    calls = std::make_shared<SoundCalls>();
    Init();
  }
  ~SoundEvents() override {
    CloseSoundEngine();
    fs::remove(outsideFile);
  }
  void Init() {
    EXPECT_EQ(InitSoundEngine({.programFolder = prog,
                               .settings = &infos,
                               .notifier = &notifier,
                               .output = std::make_unique<test::RecordingSoundOutput>(calls)}),
              calls->device);
  }
  std::string Last() const {
    const auto played = calls->Played();
    return played.empty() ? std::string() : played.back().substr(prog.size() + 1);
  }

  test::TempDir dir;
  std::string prog, outsideFile;
  TAppInfos infos;
  test::RecordingNotifier notifier;
  std::shared_ptr<SoundCalls> calls;
};

TEST_F(SoundEvents, UserFileFirstThenTheSet) {
  const struct {
    const char* name;
    int event, set;
    bool seffect;
    const char* userFile;  // relative to the program folder, "" for none
    const char* played;    // "" for nothing
  } cases[] = {
      {"the set's file", 0, 0, true, "", "set1/sync.wav"},
      {"the second set", 0, 1, true, "", "set2/sync.wav"},
      {"the user's file wins", 0, 0, true, "user.wav", "user.wav"},
      {"a silent user file never reaches the set", 0, 0, true, "無音.wav", "無音.wav"},
      {"a missing user file falls back", 0, 0, true, "missing.wav", "set1/sync.wav"},
      {"a file the library refuses falls back", 0, 0, true, "bad.wav", "set1/sync.wav"},
      {"SEffect off: nothing, user file or not", 0, 0, false, "user.wav", ""},
      {"SEffect off, no user file", 0, 0, false, "", ""},
      {"backslashes in res.lib", 3, 0, true, "", "set1/alarm.wav"},
      {"land fee from wPay, first set", 15, 0, true, "", "pay.wav"},
      {"land fee from wPay, second set", 15, 1, true, "", "pay.wav"},
      {"land fee with a set beyond Count", 15, 2, true, "", ""},
      {"set equal to Count", 0, 2, true, "", ""},
      {"set beyond Count keeps the user file", 0, 7, true, "user.wav", "user.wav"},
      {"negative set", 0, -1, true, "", ""},
      {"absolute path in res.lib", 4, 0, true, "", ""},
      {"path climbing out of the folder", 5, 0, true, "", ""},
      {"empty value", 9, 0, true, "", ""},
      {"missing key", 10, 0, true, "", ""},
      {"missing key in the second set", 3, 1, true, "", ""},
      {"event 16", 16, 0, true, "", ""},
      {"event -1", -1, 0, true, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    calls->calls.clear();
    infos.SEffect = c.seffect;
    if (c.event >= 0 && c.event < kUserSoundCount)
      infos.*kUserSoundFields[c.event] = *c.userFile ? prog + "/" + c.userFile : std::string();
    PlaySoundEvent(c.event, c.set);
    EXPECT_EQ(Last(), c.played);
    EXPECT_LE(calls->Played().size(), 1u);
    if (c.event >= 0 && c.event < kUserSoundCount) infos.*kUserSoundFields[c.event] = "";
  }
  EXPECT_TRUE(notifier.notices.empty());
}

TEST_F(SoundEvents, EveryEventHasItsOwnUserFileAndKey) {
  for (int event = 0; event < kUserSoundCount; ++event) {
    SCOPED_TRACE(event);
    infos.*kUserSoundFields[event] = prog + "/user.wav";
    calls->calls.clear();
    for (int other = 0; other < kUserSoundCount; ++other) {
      PlaySoundEvent(other, 5);  // no such set: only the user file can sound
      EXPECT_EQ(calls->Played().size(), other == event ? 1u : 0u) << other;
      calls->calls.clear();
    }
    infos.*kUserSoundFields[event] = "";
  }
  test::WriteWindowsFile(prog + "/res.lib", [] {
    std::string text = "[soundset]\nCount=1\nwPay=15\n[soundset1]\n";
    for (int e = 0; e < kUserSoundCount; ++e)
      text += std::string(kSoundEventKeys[e]) + "=" + std::to_string(e) + "\n";
    return text;
  }());
  for (int e = 0; e < kSoundEventCount; ++e) EXPECT_EQ(SoundSetFile(prog, e, 0), prog + "/" + std::to_string(e));
}

TEST_F(SoundEvents, ANewSoundStopsThePreviousAndDirectPlaysIgnoreSEffect) {
  infos.SEffect = false;
  EXPECT_TRUE(PlaySoundFile(prog + "/user.wav"));
  EXPECT_FALSE(PlaySoundFile(prog + "/missing.wav"));
  EXPECT_FALSE(PlaySoundFile(""));
  infos.SEffect = true;
  PlaySoundEvent(0, 0);
  PlaySoundEvent(15, 0);
  const std::vector<std::string> expected = {
      "stop", "open " + prog + "/user.wav", "play " + prog + "/user.wav",
      "stop",  // a missing file still stops the sound
      "stop",
      "stop", "stop", "open " + prog + "/set1/sync.wav", "play " + prog + "/set1/sync.wav",
      "stop", "open " + prog + "/pay.wav", "play " + prog + "/pay.wav"};
  EXPECT_EQ(calls->calls, expected);
}

TEST_F(SoundEvents, RehearsalPlaysTheDialogsChoicesWhateverTheSwitch) {
  infos.SEffect = false;
  infos.UcSync = prog + "/user.wav";
  RehearseSoundEvent(0, "", 1);
  EXPECT_EQ(Last(), "set2/sync.wav");
  RehearseSoundEvent(0, prog + "/無音.wav", 1);
  EXPECT_EQ(Last(), "無音.wav");
}

TEST_F(SoundEvents, WithoutAnOutputDeviceNothingPlaysButTheSetsAreListed) {
  calls->device = false;
  Init();
  calls->calls.clear();
  infos.UcSync = prog + "/user.wav";
  EXPECT_FALSE(PlaySoundFile(prog + "/user.wav"));
  PlaySoundEvent(0, 0);
  StopSound();
  EXPECT_TRUE(calls->calls.empty());
  std::vector<std::string> names;
  ListSoundSets(names);
  EXPECT_EQ(names, (std::vector<std::string>{"チャイム", "(NoName)"}));

  CloseSoundEngine();
  calls->device = true;
  EXPECT_FALSE(PlaySoundFile(prog + "/user.wav")) << "played after the engine was closed";
}

TEST_F(SoundEvents, ListingLeavesTheListWithoutSets) {
  const struct {
    const char* name;
    const char* resLib;  // nullptr: no file
    std::vector<std::string> expected;
  } cases[] = {
      {"no res.lib", nullptr, {"old"}},
      {"Count 0", "[soundset]\nCount=0\n[soundset1]\nname=a\n", {"old"}},
      {"Count missing", "[soundset1]\nname=a\n", {"old"}},
      {"Count negative", "[soundset]\nCount=-3\n", {"old"}},
      {"Count not a number", "[soundset]\nCount=two\n", {"old"}},
      {"sets without sections", "[soundset]\nCount=2\n", {"(NoName)", "(NoName)"}},
      {"names as written", "[SOUNDSET]\ncount=1\n[SoundSet1]\nNAME= \"ボイス\" \n", {"ボイス"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(prog + "/res.lib");
    if (c.resLib) test::WriteWindowsFile(prog + "/res.lib", c.resLib);
    std::vector<std::string> names = {"old"};
    ListSoundSets(names);
    EXPECT_EQ(names, c.expected);
  }
  // A damaged Count does not make the list endless.
  test::WriteWindowsFile(prog + "/res.lib", "[soundset]\nCount=2147483647\n");
  std::vector<std::string> names;
  ListSoundSets(names);
  EXPECT_EQ(names.size(), static_cast<size_t>(kMaxListedSoundSets));
  EXPECT_EQ(SoundSetFile(prog, 0, 2147483646), "");
}

}  // namespace
}  // namespace kw
