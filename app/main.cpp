// Sonarix: a ping utility. Start-up creates the windows in a fixed order and
// runs the message loop until the main window closes.
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>

#include "app/ProgramInfo.h"
#include "app/StartUp.h"
#include "app/Unit1.h"
#include "ping/ICMP.h"
#include "ping/MsgWndControl.h"
#include "platform/EchoPermission.h"
#include "platform/RawSockets.h"
#include "scope/GrGraphicControl.h"
#include "toolkit/Forms.h"
#include "toolkit/Graphics.h"
#include "toolkit/Guards.h"

namespace {

// Before the error box: a start-up that got no echo handle says on standard
// error what to grant, so that a user who started it from a terminal (or
// reads the session's log) learns why. Returns the same advice for the error
// box (a user who started it from a menu has no terminal); empty for any
// other failure.
std::string ExplainStartUpFailure() {
  try {
    throw;
  } catch (const TICMPException& e) {
    if (e.Message() != kNoPingHandle) return {};
    const platform::TEchoPermissions permissions = platform::ReadEchoPermissions();
    std::fprintf(stderr, "%s: %s.\n%s", kProgramExecutable, e.Message().c_str(),
                 EchoPermissionHint(permissions).c_str());
    std::fflush(stderr);
    return EchoPermissionAdvice(permissions);
  } catch (...) {
    // Any other error has nothing to add to the error box.
  }
  return {};
}

// Qt's start-up keeps the GUI thread busy for a while and needs neither the
// font configuration, the program's faces nor the main window's skin:
// another core prepares them meanwhile. It runs at the lowest priority, on
// what the GUI thread and the X server leave, and nothing ever waits for it:
// what is not ready when needed is done on the GUI thread as ever, and so
// is everything when the process may use one core only (the thread would
// take turns with the GUI thread and the X server, and start-up measures
// slower) or no thread can be had. The thread is joined when the returned
// object goes.
std::jthread PrepareBesideStartUp() {
  cpu_set_t cores;
  CPU_ZERO(&cores);
  if (sched_getaffinity(0, sizeof cores, &cores) != 0 || CPU_COUNT(&cores) < 2) return {};
  try {
    return std::jthread([build_skin = PrepareMainWindowSkin()] {
      setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
      PrepareProgramFonts();
      build_skin();
    });
  } catch (const std::system_error&) {
    return {};
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything reads what the user controls (arguments, environment,
  // Qt's plugins): an installed program carries cap_net_raw, which only the
  // raw socket broker may keep.
  if (platform::SeparateRawSocketPrivilege() == platform::TPrivilegeSplit::kBrokerFailed)
    std::fprintf(stderr, "%s: cannot start the helper that opens raw ICMP sockets: %s\n",
                 kProgramExecutable, std::strerror(errno));
  switch (ParseStartAction(argc, argv)) {
    case TStartAction::PrintHelp:
      std::fputs(UsageText(kProgramExecutable).c_str(), stdout);
      return 0;
    case TStartAction::PrintVersion:
      std::fputs(VersionText().c_str(), stdout);
      return 0;
    case TStartAction::Run:
      break;
  }
  const TGetEnv getenv = [](const char* name) { return std::getenv(name); };
  if (const auto missing = MissingDisplayMessage(argc, argv, getenv)) {
    std::fprintf(stderr, "%s\n", missing->c_str());
    return 1;
  }
  SetProgramIdentity();
  const std::jthread prepared_beside = PrepareBesideStartUp();

  // The hidden-window pool and class lock exist before any component and
  // outlive the last.
  MsgWndStartup();
  // However the program ends: the forms go first, then the pool, then the
  // application.
  const TScopeExit shut_down([] {
    Application->DestroyForms();
    MsgWndShutdown();
    Application->Finalize();
  });
  try {
    {
      const TPlatformFailureGuard guard(argc, argv, getenv);
      Application->Initialize(argc, argv);
    }
    SetProgramWindowIcon();
    // The scope family's hand cursor is in the cursor table before any window.
    RegisterGrCursors();
    // The main window carries the task-bar button; the application's own
    // window stays hidden with an empty text.
    Application->SetMainFormOnTaskBar(true);
    Application->SetTitle(kProgramTitle);
    Application->CreateForm(Form1);
    // The about box is made when "About..." is first pressed (nothing of it
    // is on the first screen) and then lives hidden until the program ends.
    Application->Run();
  } catch (...) {
    // A failed start-up: the message is shown and the program ends.
    const std::string advice = ExplainStartUpFailure();
    if (advice.empty())
      Application->HandleException(Application);
    else
      ShowNoPingHandleBox(advice);
    return 1;
  }
  return 0;
}
