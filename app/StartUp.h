// What the program does before its first window: its two options, the check
// for a display to open windows on, its identity for the desktop, and the
// explanation that goes with a start-up that cannot send echoes.
#pragma once

#include <QtGlobal>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/EchoPermission.h"

enum class TStartAction { Run, PrintHelp, PrintVersion };

// --help / -h and --version / -v; anything else is left to Qt, which reads
// its own options (-platform, -display, ...). Help wins over version.
TStartAction ParseStartAction(int argc, const char* const* argv);

// "Sonarix 1.0.0.0" and the description, one line each.
std::string VersionText();
std::string UsageText(std::string_view program);

using TGetEnv = std::function<const char*(const char*)>;

// The one-line message for a start without a display to open windows on,
// judged from the platform Qt will choose (its -platform option or
// QT_QPA_PLATFORM) and the display that platform needs (DISPLAY or a
// -display option for X11, WAYLAND_DISPLAY or WAYLAND_SOCKET for Wayland).
// Platforms with an output of their own (offscreen, minimal, vnc, linuxfb,
// eglfs, ...) need none. nullopt when there is a display to try.
std::optional<std::string> MissingDisplayMessage(int argc, const char* const* argv,
                                                 const TGetEnv& getenv);

// While it lives, Qt's messages are held back, and a fatal one (a platform
// that cannot be opened, such as an X display that does not answer) ends the
// program with one line naming the display and exit status 1 instead of
// Qt's abort. Messages held back are passed on when it ends.
class TPlatformFailureGuard {
 public:
  TPlatformFailureGuard(int argc, const char* const* argv, const TGetEnv& getenv);
  ~TPlatformFailureGuard();
  TPlatformFailureGuard(const TPlatformFailureGuard&) = delete;
  TPlatformFailureGuard& operator=(const TPlatformFailureGuard&) = delete;

  // The line printed for a fatal message `qt_text` (its first line is kept).
  std::string FailureLine(std::string_view qt_text) const;

 private:
  QtMessageHandler previous_ = nullptr;
  std::string display_;  // what the program tried to open, for the message
};

// The application name (the window class Qt gives the windows), version and
// desktop file name; call before the Qt application exists.
void SetProgramIdentity();
// The program's icon for its windows, from the icon built into it.
void SetProgramWindowIcon();

// The explanation printed to standard error after "Unable to get ping
// handle": which of the two permissions to grant and the command for each,
// or, when permission is not what failed, what the kernel said.
std::string EchoPermissionHint(const platform::TEchoPermissions& p);
// The same explanation as the error box shows it, for a user who started the
// program from a menu: without the program's name in front of it.
std::string EchoPermissionAdvice(const platform::TEchoPermissions& p);
// The error box of a start-up that got no echo handle: "Unable to get ping
// handle." as its message and `advice` below it, to read and to copy.
void ShowNoPingHandleBox(const std::string& advice);
