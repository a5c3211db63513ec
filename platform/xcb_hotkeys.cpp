#include "platform/xcb_hotkeys.h"

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <algorithm>
#include <cstdlib>

#include "platform/virtual_keys.h"

namespace kw {
namespace {

constexpr uint16_t kRelevantMods = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;
constexpr uint32_t kNumLockKeysym = 0xff7f;

uint16_t XModsOf(uint16_t flags) {
  uint16_t m = 0;
  if (flags & kModAlt) m |= XCB_MOD_MASK_1;
  if (flags & kModControl) m |= XCB_MOD_MASK_CONTROL;
  if (flags & kModShift) m |= XCB_MOD_MASK_SHIFT;
  if (flags & kModWin) m |= XCB_MOD_MASK_4;
  return m;
}

}  // namespace

XcbHotkeys::XcbHotkeys() {
  auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  auto* x11 = gui ? gui->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (!x11 || !x11->connection()) return;
  conn_ = x11->connection();
  syms_ = xcb_key_symbols_alloc(conn_);
  for (auto it = xcb_setup_roots_iterator(xcb_get_setup(conn_)); it.rem; xcb_screen_next(&it))
    roots_.push_back(it.data->root);
  FindNumLockMask();
  // Qt follows the keyboard through XKB, whose events replace the core MappingNotify.
  const char kXkb[] = "XKEYBOARD";
  if (xcb_query_extension_reply_t* xkb =
          xcb_query_extension_reply(conn_, xcb_query_extension(conn_, sizeof kXkb - 1, kXkb), nullptr)) {
    if (xkb->present) xkbFirstEvent_ = xkb->first_event;
    std::free(xkb);
  }
  QCoreApplication::instance()->installNativeEventFilter(this);
}

XcbHotkeys::~XcbHotkeys() {
  if (!conn_) return;
  if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
  while (!grabs_.empty()) Unregister(grabs_.begin()->first);
  xcb_key_symbols_free(syms_);
}

std::vector<uint8_t> XcbHotkeys::KeycodesOf(uint16_t virtualKey) const {
  std::vector<uint8_t> codes;
  const uint32_t keysym = VirtualKeyToKeysym(virtualKey);
  if (keysym == 0) return codes;
  xcb_keycode_t* found = xcb_key_symbols_get_keycode(syms_, keysym);
  for (xcb_keycode_t* k = found; k && *k != XCB_NO_SYMBOL; ++k)
    if (std::find(codes.begin(), codes.end(), *k) == codes.end()) codes.push_back(*k);
  std::free(found);
  return codes;
}

uint16_t XcbHotkeys::LockVariants(int i) const {
  const uint16_t variants[] = {0, XCB_MOD_MASK_LOCK, numLockMask_, static_cast<uint16_t>(XCB_MOD_MASK_LOCK | numLockMask_)};
  return variants[i];
}

void XcbHotkeys::FindNumLockMask() {
  xcb_get_modifier_mapping_reply_t* map = xcb_get_modifier_mapping_reply(conn_, xcb_get_modifier_mapping(conn_), nullptr);
  if (!map) return;
  const std::vector<uint8_t> numLock = [&] {
    std::vector<uint8_t> codes;
    xcb_keycode_t* found = xcb_key_symbols_get_keycode(syms_, kNumLockKeysym);
    for (xcb_keycode_t* k = found; k && *k != XCB_NO_SYMBOL; ++k) codes.push_back(*k);
    std::free(found);
    return codes;
  }();
  const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(map);
  const int perMod = map->keycodes_per_modifier;
  for (int mod = 0; mod < 8; ++mod)
    for (int j = 0; j < perMod; ++j)
      if (codes[mod * perMod + j] != 0 &&
          std::find(numLock.begin(), numLock.end(), codes[mod * perMod + j]) != numLock.end())
        numLockMask_ = static_cast<uint16_t>(1u << mod);
  std::free(map);
}

bool XcbHotkeys::GrabAll(const Grab& g) {
  std::vector<xcb_void_cookie_t> cookies;
  for (uint32_t root : roots_)
    for (uint8_t code : g.keycodes)
      for (int v = 0; v < 4; ++v)
        cookies.push_back(xcb_grab_key_checked(conn_, 1, root, g.xmods | LockVariants(v), code,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
  bool ok = true;
  for (xcb_void_cookie_t cookie : cookies) {
    if (xcb_generic_error_t* error = xcb_request_check(conn_, cookie)) {
      ok = false;
      std::free(error);
    }
  }
  return ok;
}

void XcbHotkeys::Ungrab(const Grab& g, uint8_t keycode) {
  for (uint32_t root : roots_)
    for (int v = 0; v < 4; ++v) xcb_ungrab_key(conn_, keycode, root, g.xmods | LockVariants(v));
}

void XcbHotkeys::Release(const Grab& g, int skipId) {
  for (uint8_t code : g.keycodes) {
    const bool shared = std::any_of(grabs_.begin(), grabs_.end(), [&](const auto& other) {
      return other.first != skipId && other.second.xmods == g.xmods &&
             std::find(other.second.keycodes.begin(), other.second.keycodes.end(), code) != other.second.keycodes.end();
    });
    if (!shared) Ungrab(g, code);
  }
  xcb_flush(conn_);
}

bool XcbHotkeys::Register(int id, uint16_t modFlags, uint16_t virtualKey) {
  if (!conn_) return false;
  Unregister(id);
  Grab g;
  g.flags = modFlags;
  g.virtualKey = virtualKey;
  g.xmods = XModsOf(modFlags);
  g.keycodes = KeycodesOf(virtualKey);
  if (g.keycodes.empty()) return false;
  if (!GrabAll(g)) {
    Release(g, id);
    return false;
  }
  grabs_[id] = std::move(g);
  return true;
}

void XcbHotkeys::Unregister(int id) {
  const auto it = grabs_.find(id);
  if (it == grabs_.end()) return;
  Release(it->second, id);
  grabs_.erase(it);
}

void XcbHotkeys::Regrab() {
  // Released with the old keycodes and NumLock modifier, grabbed with the new ones.
  for (auto& [id, g] : grabs_)
    for (uint8_t code : g.keycodes) Ungrab(g, code);
  FindNumLockMask();
  for (auto& [id, g] : grabs_) {
    g.keycodes = KeycodesOf(g.virtualKey);
    GrabAll(g);
  }
}

bool XcbHotkeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t") return false;
  auto* event = static_cast<xcb_generic_event_t*>(message);
  const uint8_t type = event->response_type & ~0x80;
  if (xkbFirstEvent_ != 0 && type == xkbFirstEvent_) {
    // The XKB event's own type is its second byte: 0 a new keyboard, 1 a new key map.
    const uint8_t xkbType = reinterpret_cast<const uint8_t*>(event)[1];
    if (xkbType <= 1 && !grabs_.empty()) {
      xcb_key_symbols_free(syms_);
      syms_ = xcb_key_symbols_alloc(conn_);
      Regrab();
    }
    return false;
  }
  if (type == XCB_MAPPING_NOTIFY) {
    auto* mapping = reinterpret_cast<xcb_mapping_notify_event_t*>(event);
    xcb_refresh_keyboard_mapping(syms_, mapping);
    if (mapping->request != XCB_MAPPING_POINTER && !grabs_.empty()) Regrab();
    return false;  // Qt follows the new mapping too
  }
  if (type != XCB_KEY_PRESS) return false;
  auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
  if (std::find(roots_.begin(), roots_.end(), press->event) == roots_.end()) return false;
  const uint16_t mods = press->state & kRelevantMods;
  for (const auto& [id, g] : grabs_) {
    if (g.xmods != mods || std::find(g.keycodes.begin(), g.keycodes.end(), press->detail) == g.keycodes.end())
      continue;
    if (onHotkey) onHotkey(g.flags, g.virtualKey);
    return true;
  }
  return false;
}

}  // namespace kw
