#include "platform/x11_window_finder.h"

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdlib>
#include <cstring>

namespace kw {
namespace {

xcb_connection_t* Conn(void* c) { return static_cast<xcb_connection_t*>(c); }

// Adds the property-change events to what this connection already asks of the window.
void WatchProperties(xcb_connection_t* c, xcb_window_t window) {
  uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
  if (xcb_get_window_attributes_reply_t* a = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr)) {
    mask |= a->your_event_mask;
    std::free(a);
  }
  xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &mask);
}

}  // namespace

std::unique_ptr<X11WindowFinder> X11WindowFinder::Create() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (!x11 || !x11->connection()) return nullptr;
  xcb_connection_t* c = x11->connection();
  const xcb_setup_t* setup = xcb_get_setup(c);
  const xcb_screen_t* screen = xcb_setup_roots_iterator(setup).data;
  if (!screen) return nullptr;
  std::unique_ptr<X11WindowFinder> finder(new X11WindowFinder(c, screen->root));
  QCoreApplication::instance()->installNativeEventFilter(finder.get());
  return finder;
}

X11WindowFinder::X11WindowFinder(void* connection, uint32_t root) : connection_(connection), root_(root) {
  clientList_ = Atom("_NET_CLIENT_LIST");
  netWmName_ = Atom("_NET_WM_NAME");
  utf8String_ = Atom("UTF8_STRING");
  wmName_ = XCB_ATOM_WM_NAME;
  WatchProperties(Conn(connection_), root_);
  xcb_flush(Conn(connection_));
}

X11WindowFinder::~X11WindowFinder() {
  if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
}

uint32_t X11WindowFinder::Atom(const char* name) {
  xcb_connection_t* c = Conn(connection_);
  xcb_intern_atom_reply_t* r =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
  const uint32_t atom = r ? r->atom : 0;
  std::free(r);
  return atom;
}

std::string X11WindowFinder::TitleOf(uint32_t window) {
  xcb_connection_t* c = Conn(connection_);
  for (const auto& [property, type] : {std::pair{netWmName_, utf8String_}, std::pair{wmName_, uint32_t{XCB_ATOM_STRING}}}) {
    xcb_get_property_reply_t* r =
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, 1024), nullptr);
    if (!r) continue;
    const int length = xcb_get_property_value_length(r);
    std::string title(static_cast<const char*>(xcb_get_property_value(r)), static_cast<size_t>(length > 0 ? length : 0));
    std::free(r);
    if (!title.empty()) return title;
  }
  return {};
}

void X11WindowFinder::Reload() {
  xcb_connection_t* c = Conn(connection_);
  std::unordered_map<uint32_t, std::string> titles;
  xcb_get_property_reply_t* r =
      xcb_get_property_reply(c, xcb_get_property(c, 0, root_, clientList_, XCB_ATOM_WINDOW, 0, 65536), nullptr);
  if (r) {
    const auto* windows = static_cast<const xcb_window_t*>(xcb_get_property_value(r));
    const int count = xcb_get_property_value_length(r) / static_cast<int>(sizeof(xcb_window_t));
    for (int i = 0; i < count; ++i) {
      const xcb_window_t w = windows[i];
      // A new window: hear of its title changes from now on.
      if (!titles_.contains(w)) WatchProperties(c, w);
      titles[w] = TitleOf(w);
    }
    std::free(r);
  }
  xcb_flush(c);
  titles_ = std::move(titles);
  dirty_ = false;
}

bool X11WindowFinder::Exists(const std::string& title) {
  if (dirty_) Reload();
  for (const auto& [window, name] : titles_)
    if (name == title) return true;
  return false;
}

bool X11WindowFinder::QueryPointer(int& x, int& y, bool& shift) {
  xcb_connection_t* c = Conn(connection_);
  xcb_query_pointer_reply_t* r = xcb_query_pointer_reply(c, xcb_query_pointer(c, root_), nullptr);
  if (!r) return false;
  x = r->root_x;
  y = r->root_y;
  shift = (r->mask & XCB_MOD_MASK_SHIFT) != 0;
  std::free(r);
  return true;
}

bool X11WindowFinder::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
    const auto* p = static_cast<const xcb_property_notify_event_t*>(message);
    if ((p->window == root_ && p->atom == clientList_) ||
        (p->atom == netWmName_ || p->atom == wmName_))
      dirty_ = true;
  }
  return false;  // Qt goes on with every event
}

}  // namespace kw
