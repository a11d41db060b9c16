// Before the first window: the options, the display check (in process and
// on the real program), the identity the desktop knows the windows by, and
// the explanation of a start-up without echo permission.
#include "app/StartUp.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QIcon>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/ProgramInfo.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Forms.h"

namespace {

using TEnv = std::map<std::string, std::string>;

TGetEnv EnvOf(const TEnv& env) {
  return [env](const char* name) -> const char* {
    const auto it = env.find(name);
    return it == env.end() ? nullptr : it->second.c_str();
  };
}

std::optional<std::string> Missing(const TEnv& env, std::vector<const char*> args = {}) {
  args.insert(args.begin(), "sonarix");
  return MissingDisplayMessage(static_cast<int>(args.size()), args.data(), EnvOf(env));
}

TStartAction Action(std::vector<const char*> args) {
  args.insert(args.begin(), "sonarix");
  return ParseStartAction(static_cast<int>(args.size()), args.data());
}

struct TRun {
  int status = -1;
  bool crashed = true;
  std::string out;
  std::string err;
};

// The built program, with only the given environment.
TRun RunProgram(const QStringList& args, const TEnv& env) {
  QProcess process;
  QProcessEnvironment e;
  e.insert("PATH", "/usr/bin:/bin");
  for (const auto& [k, v] : env) e.insert(QString::fromStdString(k), QString::fromStdString(v));
  process.setProcessEnvironment(e);
  process.start(QStringLiteral(SONARIX_BINARY_DIR "/sonarix"), args);
  TRun run;
  if (!process.waitForFinished(20000)) {
    process.kill();
    process.waitForFinished();
    return run;
  }
  run.crashed = process.exitStatus() != QProcess::NormalExit;
  run.status = process.exitCode();
  run.out = process.readAllStandardOutput().toStdString();
  run.err = process.readAllStandardError().toStdString();
  return run;
}

int Lines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

TEST(StartUp, OptionsHelpAndVersion) {
  EXPECT_EQ(Action({}), TStartAction::Run);
  EXPECT_EQ(Action({"-platform", "offscreen"}), TStartAction::Run);
  EXPECT_EQ(Action({"--version"}), TStartAction::PrintVersion);
  EXPECT_EQ(Action({"-v"}), TStartAction::PrintVersion);
  EXPECT_EQ(Action({"--help"}), TStartAction::PrintHelp);
  EXPECT_EQ(Action({"-h"}), TStartAction::PrintHelp);
  EXPECT_EQ(Action({"--version", "--help"}), TStartAction::PrintHelp);
  EXPECT_EQ(Action({"-platform", "xcb", "--version"}), TStartAction::PrintVersion);
  EXPECT_EQ(Action({"--versions"}), TStartAction::Run);
}

TEST(StartUp, DisplayNeededByThePlatformQtWillChoose) {
  // Qt's default platform: X11 or Wayland, either will do.
  const auto none = Missing({});
  ASSERT_TRUE(none);
  EXPECT_NE(none->find("DISPLAY"), std::string::npos);
  EXPECT_NE(none->find("WAYLAND_DISPLAY"), std::string::npos);
  EXPECT_EQ(none->rfind("sonarix: ", 0), 0u);
  EXPECT_EQ(none->find('\n'), std::string::npos);
  EXPECT_FALSE(Missing({{"DISPLAY", ":0"}}));
  EXPECT_FALSE(Missing({{"WAYLAND_DISPLAY", "wayland-0"}}));
  EXPECT_FALSE(Missing({{"WAYLAND_SOCKET", "5"}}));
  EXPECT_TRUE(Missing({{"DISPLAY", ""}})) << "an empty DISPLAY names no display";

  // Platforms with an output of their own need no display.
  for (const char* own : {"offscreen", "minimal", "vnc", "linuxfb", "eglfs", "offscreen:size=1x1"})
    EXPECT_FALSE(Missing({{"QT_QPA_PLATFORM", own}})) << own;

  // A chosen platform needs its own display.
  const auto x11 = Missing({{"QT_QPA_PLATFORM", "xcb"}, {"WAYLAND_DISPLAY", "wayland-0"}});
  ASSERT_TRUE(x11);
  EXPECT_EQ(*x11, "sonarix: no X display to show the window on: DISPLAY is not set");
  const auto wayland = Missing({{"QT_QPA_PLATFORM", "wayland"}, {"DISPLAY", ":0"}});
  ASSERT_TRUE(wayland);
  EXPECT_NE(wayland->find("WAYLAND_DISPLAY is not set"), std::string::npos);
  EXPECT_FALSE(Missing({{"QT_QPA_PLATFORM", "wayland;xcb"}, {"DISPLAY", ":0"}}))
      << "a fallback platform with its display";

  // Qt's options win over the environment, with one dash or two.
  EXPECT_FALSE(Missing({{"QT_QPA_PLATFORM", "xcb"}}, {"-platform", "offscreen"}));
  EXPECT_FALSE(Missing({{"QT_QPA_PLATFORM", "xcb"}}, {"--platform", "minimal"}));
  EXPECT_TRUE(Missing({{"QT_QPA_PLATFORM", "offscreen"}}, {"-platform", "xcb"}));
  EXPECT_FALSE(Missing({}, {"-platform", "xcb", "-display", ":3"}));
  EXPECT_TRUE(Missing({}, {"-platform"})) << "an option without its value";
}

TEST(StartUp, TheProgramWithoutADisplaySaysSoInOneLine) {
  const TRun help = RunProgram({"--help"}, {});
  EXPECT_FALSE(help.crashed);
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: sonarix [OPTION]...\n", 0), 0u) << help.out;
  EXPECT_EQ(help.err, "");

  const TRun version = RunProgram({"--version"}, {});
  EXPECT_FALSE(version.crashed);
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "Sonarix 1.0.0.0\nSonarix a Ping Utility\n");

  const TRun bare = RunProgram({}, {});
  EXPECT_FALSE(bare.crashed);
  EXPECT_EQ(bare.status, 1);
  EXPECT_EQ(bare.out, "");
  EXPECT_EQ(Lines(bare.err), 1) << bare.err;
  EXPECT_NE(bare.err.find("DISPLAY"), std::string::npos) << bare.err;
}

TEST(StartUp, AnXDisplayThatDoesNotAnswerIsOneLineNotAnAbort) {
  // A display number no server listens on.
  const TRun run = RunProgram({}, {{"DISPLAY", ":4093"}, {"QT_QPA_PLATFORM", "xcb"}});
  EXPECT_FALSE(run.crashed) << run.err;
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "sonarix: cannot connect to the X display \":4093\"\n");
}

TEST(StartUp, QtMessagesAreHeldBackThenPassedOn) {
  static std::vector<std::string> seen;
  seen.clear();
  const QtMessageHandler before =
      qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
        seen.push_back(text.toStdString());
      });
  {
    const char* argv[] = {"sonarix"};
    const TPlatformFailureGuard guard(1, argv, EnvOf({{"DISPLAY", ":7"}}));
    qWarning("held");
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(guard.FailureLine("This application failed to start."),
              "sonarix: cannot connect to the X display \":7\"");
  }
  EXPECT_EQ(seen, std::vector<std::string>{"held"});
  qWarning("direct");
  EXPECT_EQ(seen.back(), "direct");
  qInstallMessageHandler(before);

  const char* argv[] = {"sonarix", "-platform", "eglfs"};
  const TPlatformFailureGuard guard(3, argv, EnvOf({}));
  EXPECT_EQ(guard.FailureLine("Could not open the EGL display. Try again.\nMore."),
            "sonarix: cannot open a window: Could not open the EGL display");
  const char* wl_argv[] = {"sonarix"};
  const TPlatformFailureGuard wl(1, wl_argv, EnvOf({{"WAYLAND_DISPLAY", "wayland-3"}}));
  EXPECT_EQ(wl.FailureLine("x"), "sonarix: cannot connect to the Wayland display \"wayland-3\"");
}

TEST(StartUp, TheWindowsCarryTheProgramsClassAndIcon) {
  SetProgramIdentity();
  // The application title captions the error boxes; it must not rename the
  // window class the desktop entry's StartupWMClass names.
  Application->SetTitle(kProgramTitle);
  EXPECT_EQ(Application->Title(), "Sonarix - a Ping Utility");
  EXPECT_EQ(QCoreApplication::applicationName().toStdString(), "Sonarix");
  EXPECT_EQ(QGuiApplication::desktopFileName().toStdString(), kProgramAppId);

  SetProgramWindowIcon();
  const QList<QSize> sizes = QGuiApplication::windowIcon().availableSizes();
  for (int size : {16, 24, 32, 48, 64}) EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
  const QImage icon = QGuiApplication::windowIcon().pixmap(32, 32).toImage();
  ASSERT_FALSE(icon.isNull());
  // The sonar's yellow echo is there.
  bool yellow = false;
  for (int y = 0; y < icon.height(); ++y)
    for (int x = 0; x < icon.width(); ++x) {
      const QColor c = icon.pixelColor(x, y);
      yellow = yellow || (c.red() > 200 && c.green() > 180 && c.blue() < 80);
    }
  EXPECT_TRUE(yellow);
}

TEST(StartUp, EchoPermissionHintNamesBothWaysAndTheCommands) {
  platform::TEchoPermissions p;
  p.range_text = "1 0";
  p.range = platform::TGroupRange{1, 0};
  p.groups = {1000, 27};
  p.ping_socket_error = EACCES;
  p.raw_socket_error = EPERM;
  p.program = "/usr/local/bin/sonarix";
  const std::string hint = EchoPermissionHint(p);
  EXPECT_NE(hint.find("sudo setcap cap_net_raw+ep /usr/local/bin/sonarix\n"), std::string::npos)
      << hint;
  EXPECT_NE(hint.find("groups 1000, 27 are outside net.ipv4.ping_group_range (1 0)"),
            std::string::npos)
      << hint;
  EXPECT_NE(hint.find("sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\""),
            std::string::npos);
  EXPECT_NE(hint.find("/etc/sysctl.d/"), std::string::npos);
  // Either grant covers IPv6 echoes too, and the hint says so.
  EXPECT_NE(hint.find("(raw ICMP and ICMPv6 sockets)"), std::string::npos) << hint;
  EXPECT_NE(hint.find("The same range governs the ping sockets of IPv6."), std::string::npos)
      << hint;

  // Where the capability cannot be had, the hint does not offer it.
  platform::TEchoPermissions boxed = p;
  boxed.bounding_has_net_raw = false;
  const std::string boxed_hint = EchoPermissionHint(boxed);
  EXPECT_EQ(boxed_hint.find("setcap"), std::string::npos) << boxed_hint;
  EXPECT_NE(boxed_hint.find("bounding set"), std::string::npos);

  // The file has it, but a nosuid mount ignores it: setcap again would not help.
  platform::TEchoPermissions nosuid = p;
  nosuid.file_has_net_raw = true;
  nosuid.program_on_nosuid = true;
  const std::string nosuid_hint = EchoPermissionHint(nosuid);
  EXPECT_EQ(nosuid_hint.find("sudo setcap"), std::string::npos) << nosuid_hint;
  EXPECT_NE(nosuid_hint.find("nosuid"), std::string::npos);

  // Not a matter of permission: say what the kernel said instead.
  platform::TEchoPermissions starved = p;
  starved.ping_socket_error = EMFILE;
  const std::string starved_hint = EchoPermissionHint(starved);
  EXPECT_EQ(starved_hint.find("setcap"), std::string::npos);
  EXPECT_NE(starved_hint.find("Too many open files"), std::string::npos) << starved_hint;
}

TEST(StartUp, ThePermissionErrorBoxCarriesTheAdviceToReadAndCopy) {
  Application->Initialize();
  Application->SetTitle(kProgramTitle);
  platform::TEchoPermissions p;
  p.range_text = "1 0";
  p.range = platform::TGroupRange{1, 0};
  p.groups = {1000};
  p.ping_socket_error = EACCES;
  p.raw_socket_error = EPERM;
  p.program = "/usr/local/bin/sonarix";
  // The advice is the hint without the program's name in front.
  const std::string advice = EchoPermissionAdvice(p);
  const std::string hint = EchoPermissionHint(p);
  EXPECT_EQ(advice.rfind("Sending ICMP echoes needs one of two permissions", 0), 0u) << advice;
  EXPECT_EQ(std::string(kProgramExecutable) + ": s" + advice.substr(1) + "\n", hint);

  struct TSeen {
    std::string message, caption, details, copied;
    bool error_icon = false, read_only = false, below_message = false, above_ok = false;
    std::pair<int, int> scroll_ranges{-1, -1};
    int boxes = 0;
  } seen;
  const int hook = Application->HookWindows([&seen](TWindowHookKind kind, QWidget* w) {
    auto* box = dynamic_cast<TMessageForm*>(FindControl(w));
    if (kind != TWindowHookKind::whCreate || box == nullptr) return;
    ++seen.boxes;
    QTimer::singleShot(0, w, [box, &seen] {
      seen.message = box->Message();
      seen.caption = box->Caption();
      seen.error_icon = box->DlgType() == mtError;
      TMemo* details = box->DetailsText();
      if (details != nullptr) {
        seen.details = details->Text();
        seen.read_only = details->ReadOnly();
        seen.below_message =
            details->Top() >= box->MessageLabel()->Top() + box->MessageLabel()->Height();
        seen.above_ok = details->Top() + details->Height() <= box->FindButton(mrOk)->Top();
        // Every line whole in view: nothing to scroll to either way.
        QPlainTextEdit* editor = details->Editor();
        seen.scroll_ranges = {editor->horizontalScrollBar()->maximum(),
                              editor->verticalScrollBar()->maximum()};
        // Selected and copied with the keys, as a user copies a command.
        QGuiApplication::clipboard()->clear();
        details->SetFocus();
        QTest::keyClick(details->Handle(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(details->Handle(), Qt::Key_C, Qt::ControlModifier);
        seen.copied = FromQString(QGuiApplication::clipboard()->text());
      }
      if (const char* dir = std::getenv("SONARIX_SHOT_DIR"))
        box->Handle()->grab().save(QString::fromLocal8Bit(dir) + "/permission-box.png");
      box->FindButton(mrOk)->Click();
    });
  });
  ShowNoPingHandleBox(advice);
  Application->UnhookWindows(hook);

  ASSERT_EQ(seen.boxes, 1);
  EXPECT_EQ(seen.message, "Unable to get ping handle.");
  EXPECT_EQ(seen.caption, "Sonarix - a Ping Utility");
  EXPECT_TRUE(seen.error_icon);
  // Line for line (a control's text breaks its lines with CR LF).
  std::string lines;
  for (char c : advice) lines += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(seen.details, lines);
  EXPECT_TRUE(seen.read_only);
  EXPECT_TRUE(seen.below_message);
  EXPECT_TRUE(seen.above_ok);
  EXPECT_EQ(seen.scroll_ranges, std::make_pair(0, 0)) << "horizontal, vertical";
  // The clipboard holds lines as the system writes them.
  EXPECT_EQ(seen.copied, advice);
}
