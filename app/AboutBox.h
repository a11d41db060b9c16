// The about box: the program's name and version, a credit line, and a link
// to the maker's web address, as text and as a picture. Created hidden when
// "About..." is first pressed, it lives until the program ends and is shown
// modally each time "About..." is pressed.
#pragma once

#include <string>

#include "skin/sBitBtn.h"
#include "skin/sLabel.h"
#include "toolkit/Buttons.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"
#include "toolkit/StdCtrls.h"

// The maker's web address; the link label shows its host name.
inline constexpr const char* kMakerWebAddress = "https://www.brivane.example.org";

class TAboutBox : public TForm {
 public:
  explicit TAboutBox(TComponent* owner);
  ~TAboutBox() override;

  TPanel* Panel1 = nullptr;
  TsLabelFX* sLabelFX1 = nullptr;
  TLabel* Copyright = nullptr;
  TsLabel* sLabel1 = nullptr;
  TLabel* Comments = nullptr;
  TImage* Image1 = nullptr;
  TsBitBtn* sBitBtn1 = nullptr;

  void CommentsClick(TObject* sender);
  void Image1Click(TObject* sender);
  void CommentsMouseMove(TObject* sender, TShiftState shift, int x, int y);
  void CommentsMouseLeave(TObject* sender);
  void Image1MouseMove(TObject* sender, TShiftState shift, int x, int y);
  void Image1MouseLeave(TObject* sender);

  // Shown centred on the screen each time.
  TModalResult ShowModal() override;

 private:
  void CreateControls();
};

extern TAboutBox* AboutBox;

// The name and version the box shows: "Sonarix 1.0" (major and minor of
// the program's version).
std::string ProgramNameAndVersion();

// The host name of a web address: what lies between "//" and the next "/".
std::string HostOfAddress(const std::string& address);

// Hands `target` to the shell's open operation, bound at run time; a failure
// shows nothing.
void OpenWithShell(const std::string& target);
