// Global hotkeys on X11: a passive key grab on every root window through Qt's own xcb
// connection, for each combination also with CapsLock and NumLock on, so the locks do not
// matter. Grab errors (a combination another program holds) are caught and reported as a
// refusal; the grabs follow changes of the keyboard mapping. On any other platform nothing is
// available.
#pragma once

#include <QAbstractNativeEventFilter>
#include <cstdint>
#include <map>
#include <vector>

#include "platform/hotkeys.h"

struct xcb_connection_t;
struct _XCBKeySymbols;  // xcb_key_symbols_t

namespace kw {

class XcbHotkeys final : public GlobalHotkeys, public QAbstractNativeEventFilter {
 public:
  // Needs the QGuiApplication; without the xcb platform the object is inert.
  XcbHotkeys();
  ~XcbHotkeys() override;
  XcbHotkeys(const XcbHotkeys&) = delete;
  XcbHotkeys& operator=(const XcbHotkeys&) = delete;

  bool Available() const override { return conn_ != nullptr; }
  bool Register(int id, uint16_t modFlags, uint16_t virtualKey) override;
  void Unregister(int id) override;

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  struct Grab {
    uint16_t flags = 0, virtualKey = 0;
    uint16_t xmods = 0;
    std::vector<uint8_t> keycodes;
  };
  std::vector<uint8_t> KeycodesOf(uint16_t virtualKey) const;
  uint16_t LockVariants(int i) const;
  // Grabs every keycode of g in every lock variant; false (and nothing left grabbed that was
  // not grabbed before) when the server refused.
  bool GrabAll(const Grab& g);
  void Ungrab(const Grab& g, uint8_t keycode);
  // Releases the key grabs of g that no other registration (other than skipId) shares.
  void Release(const Grab& g, int skipId);
  void FindNumLockMask();
  void Regrab();

  xcb_connection_t* conn_ = nullptr;
  _XCBKeySymbols* syms_ = nullptr;
  std::vector<uint32_t> roots_;
  uint16_t numLockMask_ = 0x10;  // Mod2 on most keyboards
  uint8_t xkbFirstEvent_ = 0;    // 0: no XKB
  std::map<int, Grab> grabs_;
};

}  // namespace kw
