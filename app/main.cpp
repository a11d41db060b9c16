// Sonarix: a ping utility. Start-up creates the windows in a fixed order and
// runs the message loop until the main window closes.
#include "app/AboutBox.h"
#include "app/Unit1.h"
#include "ping/MsgWndControl.h"
#include "scope/GrGraphicControl.h"
#include "toolkit/Forms.h"

int main(int argc, char** argv) {
  // The hidden-window pool and class lock exist before any component and
  // outlive the last.
  MsgWndStartup();
  try {
    Application->Initialize(argc, argv);
    // The scope family's hand cursor is in the cursor table before any window.
    RegisterGrCursors();
    // The main window carries the task-bar button; the application's own
    // window stays hidden with an empty text.
    Application->SetMainFormOnTaskBar(true);
    Application->SetTitle("Sonarix - a Ping Utility");
    Application->CreateForm(Form1);
    // The about box lives hidden until the program ends.
    Application->CreateForm(AboutBox);
    Application->Run();
  } catch (...) {
    // A failed start-up: the message is shown and the program ends.
    Application->HandleException(Application);
    Application->DestroyForms();
    MsgWndShutdown();
    Application->Finalize();
    return 1;
  }
  Application->DestroyForms();
  MsgWndShutdown();
  Application->Finalize();
  return 0;
}
