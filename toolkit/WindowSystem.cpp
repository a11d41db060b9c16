// Finding the window manager: EWMH's check window under X11, the compositor
// itself under Wayland.
#include "toolkit/WindowSystem.h"

#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

int g_forced = -1;

struct TFreeReply {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using TReply = std::unique_ptr<T, TFreeReply>;

xcb_atom_t InternAtom(xcb_connection_t* c, const char* name) {
  const TReply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 1, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
  return r ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// The window a property of type WINDOW names, or none.
xcb_window_t WindowProperty(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property) {
  const TReply<xcb_get_property_reply_t> r(xcb_get_property_reply(
      c, xcb_get_property(c, 0, w, property, XCB_ATOM_WINDOW, 0, 1), nullptr));
  if (!r || r->type != XCB_ATOM_WINDOW || r->format != 32 ||
      xcb_get_property_value_length(r.get()) < 4)
    return static_cast<xcb_window_t>(XCB_WINDOW_NONE);
  return *static_cast<const xcb_window_t*>(xcb_get_property_value(r.get()));
}

bool X11WindowManager() {
  auto* x11 =
      qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  xcb_connection_t* c = x11 != nullptr ? x11->connection() : nullptr;
  if (c == nullptr) return false;
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  if (screen == nullptr) return false;
  const xcb_atom_t check = InternAtom(c, "_NET_SUPPORTING_WM_CHECK");
  if (check == XCB_ATOM_NONE) return false;
  // The manager's check window names itself: a stale property left by a
  // manager that has gone names a window that no longer exists.
  const xcb_window_t w = WindowProperty(c, screen->root, check);
  return w != static_cast<xcb_window_t>(XCB_WINDOW_NONE) && WindowProperty(c, w, check) == w;
}

}  // namespace

bool WindowManagerPresent() {
  if (g_forced >= 0) return g_forced != 0;
  if (qGuiApp == nullptr) return false;
  const QString platform = QGuiApplication::platformName();
  if (platform.startsWith(QLatin1String("wayland"))) return true;
  if (platform == QLatin1String("xcb")) return X11WindowManager();
  return false;
}

void SetWindowManagerPresentForTesting(int present) {
  g_forced = present;
}
