#include "app/StartUp.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QMessageLogContext>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "app/ProgramIcon.h"
#include "app/ProgramInfo.h"
#include "ping/ICMP.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Forms.h"

namespace {

bool IsOption(const char* arg, const char* name) {
  // Qt reads its options with one dash or two; so do we.
  if (arg[0] != '-') return false;
  if (arg[1] == '-') ++arg;
  return std::strcmp(arg, name) == 0;
}

// The value of a Qt option given as "-name value" (or "--name value").
const char* OptionValue(int argc, const char* const* argv, const char* name) {
  const char* value = nullptr;
  for (int i = 1; i + 1 < argc; ++i)
    if (IsOption(argv[i], name)) value = argv[i + 1];
  return value;
}

std::string Env(const TGetEnv& getenv, const char* name) {
  const char* value = getenv(name);
  return value ? std::string(value) : std::string();
}

// The platform names Qt will try, in order ("" stands for its default).
std::vector<std::string> PlatformCandidates(int argc, const char* const* argv,
                                            const TGetEnv& getenv) {
  std::string requested;
  if (const char* arg = OptionValue(argc, argv, "-platform"))
    requested = arg;
  else
    requested = Env(getenv, "QT_QPA_PLATFORM");
  std::vector<std::string> names;
  std::istringstream list(requested);
  std::string item;
  while (std::getline(list, item, ';')) {
    const auto colon = item.find(':');  // "name:option=value,..."
    names.push_back(item.substr(0, colon));
  }
  if (names.empty()) names.emplace_back();
  return names;
}

bool IsX11(const std::string& name) {
  return name == "xcb";
}
bool IsWayland(const std::string& name) {
  return name.rfind("wayland", 0) == 0;
}

struct TDisplays {
  std::string x11;  // DISPLAY or the -display option
  std::string wayland;
};

TDisplays DisplaysOf(int argc, const char* const* argv, const TGetEnv& getenv) {
  TDisplays d;
  if (const char* arg = OptionValue(argc, argv, "-display")) d.x11 = arg;
  if (d.x11.empty()) d.x11 = Env(getenv, "DISPLAY");
  d.wayland = Env(getenv, "WAYLAND_DISPLAY");
  if (d.wayland.empty() && !Env(getenv, "WAYLAND_SOCKET").empty()) d.wayland = "WAYLAND_SOCKET";
  return d;
}

// The held-back messages of a TPlatformFailureGuard (only one lives at a
// time, on the main thread, before any other thread exists).
struct THeldMessage {
  QtMsgType type;
  std::string category;
  QString text;
};
std::vector<THeldMessage> g_held;
const TPlatformFailureGuard* g_guard = nullptr;

void HoldMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg && g_guard) {
    const std::string line = g_guard->FailureLine(text.toStdString());
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    std::_Exit(1);
  }
  g_held.push_back({type, context.category ? context.category : "", text});
}

}  // namespace

TStartAction ParseStartAction(int argc, const char* const* argv) {
  TStartAction action = TStartAction::Run;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") return TStartAction::PrintHelp;
    if (arg == "--version" || arg == "-v") action = TStartAction::PrintVersion;
  }
  return action;
}

std::string VersionText() {
  return std::string(kProgramName) + " " + kProgramVersion + "\n" + kProgramDescription + "\n";
}

std::string UsageText(std::string_view program) {
  std::string text;
  text += "Usage: " + std::string(program) + " [OPTION]...\n";
  text += std::string(kProgramTitle) + ": checks whether a host answers ICMP echo requests,\n";
  text += "and how fast, in a window.\n\n";
  text += "  -h, --help       print this help and exit\n";
  text += "  -v, --version    print the name and version and exit\n\n";
  text += "Qt's own options (-platform NAME, -display DISPLAY, ...) are passed to Qt.\n";
  text += "Sending echoes needs a ping socket (one of your groups within\n";
  text += "net.ipv4.ping_group_range) or the capability cap_net_raw, which the install\n";
  text += "step gives the program.\n";
  return text;
}

std::optional<std::string> MissingDisplayMessage(int argc, const char* const* argv,
                                                 const TGetEnv& getenv) {
  const TDisplays displays = DisplaysOf(argc, argv, getenv);
  bool wants_x11 = false;
  bool wants_wayland = false;
  for (const std::string& name : PlatformCandidates(argc, argv, getenv)) {
    if (name.empty()) {
      if (!displays.x11.empty() || !displays.wayland.empty()) return std::nullopt;
      wants_x11 = wants_wayland = true;
    } else if (IsX11(name)) {
      if (!displays.x11.empty()) return std::nullopt;
      wants_x11 = true;
    } else if (IsWayland(name)) {
      if (!displays.wayland.empty()) return std::nullopt;
      wants_wayland = true;
    } else {
      return std::nullopt;  // a platform with an output of its own
    }
  }
  std::string line = std::string(kProgramExecutable) + ": ";
  if (wants_x11 && wants_wayland)
    line +=
        "no display to show the window on: neither DISPLAY (X11) nor WAYLAND_DISPLAY (Wayland) "
        "is set";
  else if (wants_x11)
    line += "no X display to show the window on: DISPLAY is not set";
  else
    line += "no Wayland display to show the window on: WAYLAND_DISPLAY is not set";
  return line;
}

TPlatformFailureGuard::TPlatformFailureGuard(int argc, const char* const* argv,
                                             const TGetEnv& getenv) {
  const TDisplays displays = DisplaysOf(argc, argv, getenv);
  bool x11 = false;
  bool wayland = false;
  for (const std::string& name : PlatformCandidates(argc, argv, getenv)) {
    x11 = x11 || name.empty() || IsX11(name);
    wayland = wayland || name.empty() || IsWayland(name);
  }
  if (x11 && !displays.x11.empty())
    display_ = "the X display \"" + displays.x11 + "\"";
  else if (wayland && !displays.wayland.empty())
    display_ = "the Wayland display \"" + displays.wayland + "\"";
  g_held.clear();
  g_guard = this;
  previous_ = qInstallMessageHandler(HoldMessage);
}

TPlatformFailureGuard::~TPlatformFailureGuard() {
  qInstallMessageHandler(previous_);
  g_guard = nullptr;
  std::vector<THeldMessage> held;
  held.swap(g_held);
  for (const THeldMessage& m : held) {
    const QMessageLogContext context(nullptr, 0, nullptr, m.category.c_str());
    qt_message_output(m.type, context, m.text);
  }
}

std::string TPlatformFailureGuard::FailureLine(std::string_view qt_text) const {
  std::string line = std::string(kProgramExecutable) + ": ";
  if (!display_.empty()) return line + "cannot connect to " + display_;
  const auto end = qt_text.find_first_of(".\n");
  return line + "cannot open a window: " + std::string(qt_text.substr(0, end));
}

void SetProgramIdentity() {
  QCoreApplication::setApplicationName(QString::fromLatin1(kProgramWindowClass));
  QCoreApplication::setApplicationVersion(QString::fromLatin1(kProgramVersion));
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kProgramAppId));
}

void SetProgramWindowIcon() {
  QIcon icon;
  for (int i = 0; i < kProgramIconImageCount; ++i) {
    const TProgramIconImage& image = kProgramIconImages[i];
    icon.addPixmap(QPixmap::fromImage(QImage(reinterpret_cast<const uchar*>(image.argb), image.size,
                                             image.size, image.size * 4, QImage::Format_ARGB32)));
  }
  QGuiApplication::setWindowIcon(icon);
}

std::string EchoPermissionHint(const platform::TEchoPermissions& p) {
  const std::string me = kProgramExecutable;
  std::ostringstream out;
  if (!p.Denied()) {
    const int error = p.ping_socket_error ? p.ping_socket_error : p.raw_socket_error;
    out << me << ": the kernel gives no ICMP socket";
    if (error) out << ": " << std::strerror(error);
    out << "\n";
    return out.str();
  }
  const std::string program = p.program.empty() ? me : p.program;
  out << me << ": sending ICMP echoes needs one of two permissions, and this process has "
      << "neither. Grant one:\n";

  out << "  1. The capability cap_net_raw for the program (raw ICMP and ICMPv6 sockets), as "
         "Debian gives it\n     to ping:\n";
  if (!p.bounding_has_net_raw) {
    out << "     not possible here: this session cannot gain cap_net_raw at all (a container or "
           "sandbox\n     removed it from its bounding set); use 2.\n";
  } else if (p.file_has_net_raw && p.program_on_nosuid) {
    out << "     " << program << " carries it, but its file system is mounted nosuid, which "
        << "ignores file\n     capabilities: install the program elsewhere (cmake --install "
        << "build), or use 2.\n";
  } else if (p.file_has_net_raw) {
    out << "     " << program << " carries it, but this process did not get it (started "
        << "through a\n     tracer, or with no_new_privs?); use 2.\n";
  } else {
    out << "         sudo setcap cap_net_raw+ep " << program << "\n";
  }

  out << "  2. Ping sockets for your group: ";
  if (p.range_text.empty()) {
    out << "net.ipv4.ping_group_range cannot be read here.\n";
  } else {
    out << (p.groups.size() == 1 ? "group " : "groups ");
    for (std::size_t i = 0; i < p.groups.size(); ++i) out << (i ? ", " : "") << p.groups[i];
    out << (p.groups.size() == 1 ? " is" : " are") << " outside net.ipv4.ping_group_range ("
        << p.range_text << ").\n";
  }
  out << "     The same range governs the ping sockets of IPv6. To admit every group, as most\n"
         "     distributions do:\n"
         "         sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"\n"
         "     and to keep it after a restart:\n"
         "         echo 'net.ipv4.ping_group_range = 0 2147483647' | sudo tee "
         "/etc/sysctl.d/60-ping-group-range.conf\n";
  return out.str();
}

std::string EchoPermissionAdvice(const platform::TEchoPermissions& p) {
  std::string advice = EchoPermissionHint(p);
  const std::string prefix = std::string(kProgramExecutable) + ": ";
  if (advice.compare(0, prefix.size(), prefix) == 0) advice.erase(0, prefix.size());
  if (!advice.empty() && advice[0] >= 'a' && advice[0] <= 'z')
    advice[0] = static_cast<char>(advice[0] - 'a' + 'A');
  while (!advice.empty() && advice.back() == '\n') advice.pop_back();
  return advice;
}

void ShowNoPingHandleBox(const std::string& advice) {
  MessageDlgDetails(TApplication::ExceptionText(kNoPingHandle), advice, Application->Title(),
                    mtError, mbOK);
}
