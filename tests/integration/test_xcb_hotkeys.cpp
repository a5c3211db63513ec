// Global hotkeys on a real X server: keys pressed with xdotool reach the registration, with
// or without the lock keys, and a combination another program holds is refused cleanly.
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <QGuiApplication>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/xcb_hotkeys.h"
#include "tests/support/desktop.h"

namespace kw {
namespace {

using namespace std::chrono_literals;
using Combination = std::pair<uint16_t, uint16_t>;

class XcbHotkeysTest : public ::testing::Test {
 protected:
  XcbHotkeysTest() {
    hotkeys.onHotkey = [this](uint16_t flags, uint16_t key) { arrived.emplace_back(flags, key); };
  }
  // Handles what the X server sent for a while.
  static void Settle(std::chrono::milliseconds wait) {
    test::WaitFor([&] {
      QCoreApplication::processEvents();
      return false;
    }, wait);
  }
  // Presses keys with xdotool and waits (events processed) for what arrives.
  std::vector<Combination> Press(const char* keys) {
    arrived.clear();
    EXPECT_EQ(std::system((std::string("xdotool key ") + keys).c_str()), 0);
    Settle(500ms);
    return arrived;
  }

  XcbHotkeys hotkeys;
  std::vector<Combination> arrived;
};

TEST_F(XcbHotkeysTest, PressedCombinationsArriveAsRegistered) {
  ASSERT_TRUE(hotkeys.Available());
  ASSERT_TRUE(hotkeys.Register(3, 3, 'L'));     // Ctrl+Alt+L
  ASSERT_TRUE(hotkeys.Register(6, 4, 0x74));    // Shift+F5
  ASSERT_TRUE(hotkeys.Register(5, 2, 0x64));    // Ctrl+keypad 4
  EXPECT_EQ(Press("ctrl+alt+l"), (std::vector<Combination>{{3, 'L'}}));
  EXPECT_EQ(Press("shift+F5"), (std::vector<Combination>{{4, 0x74}}));
  EXPECT_TRUE(Press("ctrl+l").empty());          // not the registered modifiers
  EXPECT_TRUE(Press("ctrl+alt+shift+l").empty());

  // NumLock and CapsLock do not matter.
  Press("Num_Lock");
  EXPECT_EQ(Press("ctrl+KP_4"), (std::vector<Combination>{{2, 0x64}}));
  EXPECT_EQ(Press("ctrl+alt+l"), (std::vector<Combination>{{3, 'L'}}));
  Press("Caps_Lock");
  EXPECT_EQ(Press("ctrl+alt+l"), (std::vector<Combination>{{3, 'L'}}));
  Press("Caps_Lock");
  Press("Num_Lock");

  hotkeys.Unregister(3);
  EXPECT_TRUE(Press("ctrl+alt+l").empty());
}

TEST_F(XcbHotkeysTest, TwoRegistrationsOfOneCombination) {
  ASSERT_TRUE(hotkeys.Register(2, 3, 'M'));
  ASSERT_TRUE(hotkeys.Register(5, 3, 'M'));
  EXPECT_EQ(Press("ctrl+alt+m"), (std::vector<Combination>{{3, 'M'}}));  // once, not twice
  hotkeys.Unregister(2);
  EXPECT_EQ(Press("ctrl+alt+m"), (std::vector<Combination>{{3, 'M'}}));  // the other still holds it
  hotkeys.Unregister(5);
  EXPECT_TRUE(Press("ctrl+alt+m").empty());
}

TEST_F(XcbHotkeysTest, FollowsAChangeOfKeyboardLayout) {
  ASSERT_TRUE(hotkeys.Register(1, 3, 'Z'));
  ASSERT_TRUE(hotkeys.Register(2, 3, 'Y'));
  EXPECT_EQ(Press("ctrl+alt+z"), (std::vector<Combination>{{3, 'Z'}}));
  // A German layout has Z and Y the other way round.
  ASSERT_EQ(std::system("setxkbmap de"), 0);
  Settle(1s);
  EXPECT_EQ(Press("ctrl+alt+z"), (std::vector<Combination>{{3, 'Z'}}));
  EXPECT_EQ(Press("ctrl+alt+y"), (std::vector<Combination>{{3, 'Y'}}));
  ASSERT_EQ(std::system("setxkbmap us"), 0);
  Settle(1s);
  EXPECT_EQ(Press("ctrl+alt+z"), (std::vector<Combination>{{3, 'Z'}}));
}

TEST_F(XcbHotkeysTest, ACombinationAnotherProgramHoldsIsRefused) {
  // Another client grabs Ctrl+Alt+K first.
  xcb_connection_t* other = xcb_connect(nullptr, nullptr);
  ASSERT_FALSE(xcb_connection_has_error(other));
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
  xcb_key_symbols_t* syms = xcb_key_symbols_alloc(other);
  xcb_keycode_t* codes = xcb_key_symbols_get_keycode(syms, 'k');
  ASSERT_TRUE(codes && codes[0] != XCB_NO_SYMBOL);
  const xcb_void_cookie_t grab = xcb_grab_key_checked(other, 1, root, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1, codes[0],
                                                      XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
  ASSERT_EQ(xcb_request_check(other, grab), nullptr);

  EXPECT_FALSE(hotkeys.Register(1, 3, 'K'));
  EXPECT_TRUE(hotkeys.Register(1, 3, 'J'));  // the refusal left nothing broken
  EXPECT_EQ(Press("ctrl+alt+j"), (std::vector<Combination>{{3, 'J'}}));
  EXPECT_FALSE(hotkeys.Register(4, 3, 0xFF));  // a code without a key

  std::free(codes);
  xcb_key_symbols_free(syms);
  xcb_disconnect(other);
  // Once the other program is gone the combination can be had.
  EXPECT_TRUE(test::WaitFor([&] { return hotkeys.Register(1, 3, 'K'); }, 2s));
  EXPECT_EQ(Press("ctrl+alt+k"), (std::vector<Combination>{{3, 'K'}}));
}

}  // namespace
}  // namespace kw

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  kw::test::VirtualDesktop desktop;
  if (!desktop.ok()) {
    std::fprintf(stderr, "Xvfb did not start\n");
    return 1;
  }
  QGuiApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
