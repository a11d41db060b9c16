#include "app/AboutBox.h"

#include <cstddef>
#include <cstdint>
#include <memory>

#include "app/ProgramInfo.h"
#include "platform/Modules.h"
#include "platform/Shell.h"
#include "skin/sImages.h"
#include "toolkit/Guards.h"

extern const std::uint8_t kAboutLogoBmp[];
extern const std::size_t kAboutLogoBmpSize;

TAboutBox* AboutBox = nullptr;

namespace {

constexpr TColor kTitleColor = 0x00B1B1B1;
constexpr TColor kLinkHot = 0x00FF0000;   // blue
constexpr TColor kLinkCold = 0x00000000;  // black

void SetBoxFont(TFont& font, int height, TFontStyles style, TColor color) {
  font.SetName("MS Sans Serif");
  font.SetHeight(height);
  font.SetStyle(style);
  font.SetColor(color);
}

template <class T>
T* MakeLine(TComponent* owner, TWinControl* parent, const char* name, int top, int height,
            const std::string& text) {
  auto* l = new T(owner);
  l->SetName(name);
  l->SetParent(parent);
  l->SetAutoSize(false);
  l->SetBounds(3, top, 273, height);
  l->SetAlignment(taCenter);
  // The lines stand over the panel's bevel: they show what lies under them.
  l->SetTransparent(true);
  l->SetCaption(text);
  return l;
}

}  // namespace

std::string ProgramNameAndVersion() {
  return std::string(kProgramName) + " " + std::to_string(kProgramVersionMajor) + "." +
         std::to_string(kProgramVersionMinor);
}

std::string HostOfAddress(const std::string& address) {
  std::size_t start = address.find("//");
  start = start == std::string::npos ? 0 : start + 2;
  const std::size_t end = address.find('/', start);
  return address.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

void OpenWithShell(const std::string& target) {
  using namespace platform;
  const HMODULE shell = LoadLibrary("shell32.dll");
  if (shell == 0) return;
  if (auto execute = reinterpret_cast<TShellExecuteA>(GetProcAddress(shell, "ShellExecuteA"))) {
    execute(reinterpret_cast<HWND>(Application->Handle()), "Open", target.c_str(), nullptr, nullptr,
            SW_SHOWNORMAL);
  }
  FreeLibrary(shell);
}

TAboutBox::TAboutBox(TComponent* owner) : TForm(owner) {
  SetName("AboutBox");
  // Built as its stored settings are read: setters store, Loaded() follows.
  BeginLoading();
  const TScopeExit end_loading([this] { EndLoading(); });
  CreateControls();
}

TAboutBox::~TAboutBox() {
  Destroying();
  if (AboutBox == this) AboutBox = nullptr;
}

void TAboutBox::CreateControls() {
  SetCaption("About " + ProgramNameAndVersion());
  SetBorderStyle(TFormBorderStyle::bsDialog);
  SetBorderIcons(biSystemMenu);
  SetClientSize(298, 274);
  SetColor(clBtnFace);
  SetBoxFont(Font(), -11, 0, clWindowText);
  SetPosition(poScreenCenter);
  // The hints only carry the link's target.
  SetShowHint(false);

  Panel1 = new TPanel(this);
  Panel1->SetName("Panel1");
  Panel1->SetParent(this);
  Panel1->SetBounds(9, 8, 281, 218);
  Panel1->SetBevelInner(bvRaised);
  Panel1->SetBevelOuter(bvLowered);
  Panel1->SetBevelWidth(2);
  Panel1->SetParentColor(true);
  Panel1->SetCaption("");
  Panel1->SetTabOrder(0);

  sLabelFX1 = MakeLine<TsLabelFX>(this, Panel1, "sLabelFX1", 13, 32, ProgramNameAndVersion());
  sLabelFX1->SetParentFont(false);
  SetBoxFont(sLabelFX1->Font(), -19, fsBold, kTitleColor);

  Copyright =
      MakeLine<TLabel>(this, Panel1, "Copyright", 45, 13, "Copyright (c) 2026 Brivane Software");

  sLabel1 = MakeLine<TsLabel>(this, Panel1, "sLabel1", 62, 13, "ICMP Ping Utility");
  sLabel1->SetParentFont(false);
  SetBoxFont(sLabel1->Font(), -11, 0, kTitleColor);

  Comments = MakeLine<TLabel>(this, Panel1, "Comments", 81, 13, HostOfAddress(kMakerWebAddress));
  Comments->SetWordWrap(true);
  Comments->SetHint(kMakerWebAddress);
  Comments->OnClick = TNotifyEvent(this, &TAboutBox::CommentsClick);
  Comments->OnMouseMove = TMouseMoveEvent(this, &TAboutBox::CommentsMouseMove);
  Comments->OnMouseLeave = TNotifyEvent(this, &TAboutBox::CommentsMouseLeave);

  Image1 = new TImage(this);
  Image1->SetName("Image1");
  Image1->SetParent(Panel1);
  Image1->SetBounds(71, 104, 145, 105);
  TsPixels logo;
  if (DecodeBmp(kAboutLogoBmp, kAboutLogoBmpSize, logo)) {
    const std::shared_ptr<TBitmap> bitmap = PixelsToBitmap(logo);
    Image1->Picture().Assign(*bitmap);
  }
  Image1->SetHint(kMakerWebAddress);
  Image1->SetAccessibleName("Sonarix Logo");
  Image1->OnClick = TNotifyEvent(this, &TAboutBox::Image1Click);
  Image1->OnMouseMove = TMouseMoveEvent(this, &TAboutBox::Image1MouseMove);
  Image1->OnMouseLeave = TNotifyEvent(this, &TAboutBox::Image1MouseLeave);

  sBitBtn1 = new TsBitBtn(this);
  sBitBtn1->SetName("sBitBtn1");
  sBitBtn1->SetParent(this);
  sBitBtn1->SkinData()->SetSkinSection("BUTTON");
  sBitBtn1->SetBounds(117, 232, 75, 33);
  sBitBtn1->SetTabOrder(1);
  sBitBtn1->SetKind(bkOK);
  sBitBtn1->SetDefault(true);
  sBitBtn1->SetModalResult(mrOk);
}

TModalResult TAboutBox::ShowModal() {
  SetBounds((Screen->Width() - Width()) / 2, (Screen->Height() - Height()) / 2, Width(), Height());
  return TForm::ShowModal();
}

void TAboutBox::CommentsClick(TObject*) {
  OpenWithShell(Comments->Hint());
}

void TAboutBox::Image1Click(TObject*) {
  OpenWithShell(Image1->Hint());
}

void TAboutBox::CommentsMouseMove(TObject*, TShiftState, int, int) {
  Comments->SetCursor(crHandPoint);
  Comments->Font().SetColor(kLinkHot);
}

void TAboutBox::CommentsMouseLeave(TObject*) {
  Comments->SetCursor(crDefault);
  Comments->Font().SetColor(kLinkCold);
}

void TAboutBox::Image1MouseMove(TObject*, TShiftState, int, int) {
  Image1->SetCursor(crHandPoint);
}

void TAboutBox::Image1MouseLeave(TObject*) {
  Image1->SetCursor(crDefault);
}
