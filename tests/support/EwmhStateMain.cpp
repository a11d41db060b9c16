// sonarix_ewmh_state WINDOW add|remove: asks the window manager, as a
// desktop's shortcut does, to maximise (add) or restore (remove) a window:
// a _NET_WM_STATE client message for both maximised states, sent to the
// root window of the display in DISPLAY.
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t a = r != nullptr ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
  std::free(r);
  return a;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[2], "add") != 0 && std::strcmp(argv[2], "remove") != 0)) {
    std::fprintf(stderr, "usage: %s WINDOW add|remove\n", argv[0]);
    return 2;
  }
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c) != 0) {
    std::fprintf(stderr, "cannot open the display\n");
    return 1;
  }
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  xcb_client_message_event_t e{};
  e.response_type = XCB_CLIENT_MESSAGE;
  e.format = 32;
  e.window = static_cast<xcb_window_t>(std::strtoul(argv[1], nullptr, 0));
  e.type = Atom(c, "_NET_WM_STATE");
  e.data.data32[0] = std::strcmp(argv[2], "add") == 0 ? 1 : 0;
  e.data.data32[1] = Atom(c, "_NET_WM_STATE_MAXIMIZED_VERT");
  e.data.data32[2] = Atom(c, "_NET_WM_STATE_MAXIMIZED_HORZ");
  e.data.data32[3] = 2;  // the source: a pager or the desktop itself
  xcb_generic_error_t* error =
      xcb_request_check(c, xcb_send_event_checked(c, 0, screen->root,
                                                  XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT |
                                                      XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                                                  reinterpret_cast<const char*>(&e)));
  const int status = error == nullptr ? 0 : 1;
  if (error != nullptr)
    std::fprintf(stderr, "the X server refused the message (error %d)\n", error->error_code);
  std::free(error);
  xcb_disconnect(c);
  return status;
}
