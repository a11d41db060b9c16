#include "app/Unit1.h"

#include <chrono>
#include <thread>

#include "app/AboutBox.h"
#include "app/LogFile.h"
#include "skin/SteamSkin.h"
#include "toolkit/Graphics.h"
#include "toolkit/Guards.h"
#include "toolkit/SysUtils.h"

std::int32_t PingCount = 0;
bool Pinging = false;
bool StopRequested = false;

TForm1* Form1 = nullptr;

namespace {

constexpr TColor kInputColor = 0x00494E49;
constexpr TColor kInputTextColor = 0x00D2D2D2;
constexpr TColor kCaptionColor = 0x00B1B1B1;

constexpr const char* kFinishedLine = "*************Finished************";
constexpr const char* kCanceledLine = "*************Canceled************";

void SetInputFont(TFont& font, TColor color) {
  font.SetName("Tahoma");
  font.SetHeight(-11);
  font.SetStyle(0);
  font.SetColor(color);
}

// A bound label's stored settings, in the order they are stored: the
// caption is made first, then it gets its text, place and font.
void SetCaptionSettings(TsBoundLabel& label, bool active, const char* caption,
                        TsCaptionLayout layout, TColor color) {
  label.SetActive(active);
  label.SetCaption(caption);
  label.SetIndent(0);
  TFont font;
  SetInputFont(font, color);
  label.SetFont(font);
  label.SetLayout(layout);
  label.SetMaxWidth(0);
  label.SetUseSkinColor(true);
}

// The option tables: item index to value; other indexes change nothing.
constexpr std::int32_t kSizes[] = {56, 64, 128, 256};
constexpr std::int32_t kTimeouts[] = {4000, 8000, 12000};
constexpr std::int32_t kTtls[] = {64, 128};
constexpr std::int32_t kCounts[] = {3, 5, 10, 50, 100, 1000000};
// The threshold box: item index to the scope's base offset (milliseconds,
// and the base line's height in percent).
constexpr std::int32_t kThresholds[] = {10, 20, 30, 40, 50, 60, 70};
// The trace under the threshold, and at or above it.
constexpr TColor kBelowThreshold = 0x0000FFFF;
constexpr TColor kAtThreshold = 0x000000FF;

template <std::size_t N>
bool Pick(const std::int32_t (&table)[N], int index, std::int32_t& value) {
  if (index < 0 || static_cast<std::size_t>(index) >= N) return false;
  value = table[index];
  return true;
}

}  // namespace

TForm1::TForm1(TComponent* owner) : TForm(owner) {
  SetName("Form1");
  // Every control gets the input font at Loaded; Qt's editors are made under
  // it (and it is given back only after Loaded).
  TFont input;
  SetInputFont(input, clWindowText);
  const TControlFontScope font_scope(input);
  // Built as its stored settings are read: setters store, Loaded() follows.
  BeginLoading();
  const TScopeExit end_loading([this] { EndLoading(); });
  CreateControls();
}

TForm1::~TForm1() {
  Destroying();
  if (Form1 == this) Form1 = nullptr;
}

std::function<void()> PrepareMainWindowSkin() {
  return PrepareStoredSkin(kSteamSkinData, kSteamSkinDataSize, kSteamSkinName);
}

void TForm1::CreateControls() {
  // The window's own settings.
  SetCaption("Sonarix 1.0");
  SetClientSize(431, 503);
  SetColor(clBtnFace);
  SetInputFont(Font(), clWindowText);
  SetPosition(poDesktopCenter);
  SetBorderStyle(TFormBorderStyle::bsSizeable);
  SetBorderIcons(biSystemMenu | biMinimize | biMaximize);
  SetShowHint(true);

  auto make_panel = [this](const char* name, TAlign align, int top, int height) {
    auto* p = new TsPanel(this);
    p->SetName(name);
    p->SkinData()->SetSkinSection("PANEL");
    p->SetParent(this);
    p->SetBounds(0, top, 431, height);
    p->SetAlign(align);
    p->SetCaption("");
    return p;
  };

  sPanel1 = make_panel("sPanel1", alTop, 0, 73);
  sEdit1 = new TsEdit(this);
  sEdit1->SetName("sEdit1");
  sEdit1->SetParent(sPanel1);
  sEdit1->SkinData()->SetSkinSection("EDIT");
  sEdit1->SetBounds(86, 6, 205, 21);
  sEdit1->SetColor(kInputColor);
  SetInputFont(sEdit1->Font(), kInputTextColor);
  sEdit1->SetText("127.0.0.1");
  sEdit1->SetHint("Enter Host Name or IP Address");
  sEdit1->SetShowHint(true);
  sEdit1->OnKeyPress = TKeyPressEvent(this, &TForm1::sEdit1KeyPress);
  SetCaptionSettings(*sEdit1->BoundLabel(), true, "Target Address:", sclLeft, kCaptionColor);

  sComboBox4 =
      MakeChoiceBox("sComboBox4", 338, 6, 82, {"3", "5", "10", "50", "100", "Until Cancel"}, 0, "3",
                    "Select The Pings Count to Send", "Count:", sclLeft);
  sComboBox4->OnKeyPress = TKeyPressEvent(this, &TForm1::sComboBox4KeyPress);
  sComboBox1 =
      MakeChoiceBox("sComboBox1", 7, 44, 76, {"56 Byte", "64 Byte", "128 Byte", "256 Byte"}, 0,
                    "56 Byte", "Select Sonarix Packet Size", "Size:", sclTopLeft);
  sComboBox1->OnKeyPress = TKeyPressEvent(this, &TForm1::sComboBox1KeyPress);
  sComboBox2 =
      MakeChoiceBox("sComboBox2", 107, 44, 84, {"4000 ms", "8000 ms", "12000 ms"}, 0, "4000 ms",
                    "Select Time to Wait for Response (in milliseconds)", "Time Out:", sclTopLeft);
  sComboBox2->OnKeyPress = TKeyPressEvent(this, &TForm1::sComboBox2KeyPress);
  sComboBox3 = MakeChoiceBox("sComboBox3", 217, 44, 83, {"64 hops", "128 hops"}, 0, "64 hops",
                             "Time To Live (maximum number of hops)", "TTL:", sclTopLeft);
  sComboBox3->OnKeyPress = TKeyPressEvent(this, &TForm1::sComboBox3KeyPress);
  sComboBox5 = MakeChoiceBox(
      "sComboBox5", 329, 44, 91,
      {"10 msec", "20 msec", "30 msec", "40 msec", "50 msec", "60 msec", "70 msec"}, -1, "10 msec",
      "Set The Visual Scope Treshold (reply time)", "Treshhold:", sclTopLeft);
  sComboBox5->OnKeyPress = TKeyPressEvent(this, &TForm1::sComboBox5KeyPress);
  sComboBox5->OnChange = TNotifyEvent(this, &TForm1::sComboBox5Change);

  sPanel3 = make_panel("sPanel3", alClient, 73, 263);
  sMemo1 = new TsMemo(this);
  sMemo1->SetName("sMemo1");
  sMemo1->SetParent(sPanel3);
  sMemo1->SkinData()->SetSkinSection("EDIT");
  sMemo1->SetBounds(1, 1, 429, 261);
  sMemo1->SetAlign(alClient);
  sMemo1->SetColor(kInputColor);
  SetInputFont(sMemo1->Font(), kInputTextColor);
  sMemo1->SetScrollBars(TScrollStyle::ssVertical);
  sMemo1->SetWordWrap(true);
  sMemo1->SetReadOnly(false);
  // The log has no caption: its bound label stays inactive.
  SetCaptionSettings(*sMemo1->BoundLabel(), false, "", sclLeft, clWindowText);
  sMemo1->SetAccessibleName("Ping Log");

  sPanel4 = make_panel("sPanel4", alBottom, 336, 100);
  GrScope1 = new TGrScope(this);
  GrScope1->SetName("GrScope1");
  GrScope1->SetParent(sPanel4);
  GrScope1->SetBounds(1, 1, 429, 98);
  GrScope1->SetAlign(alClient);
  GrScope1->SetHint("Reply Time (in milliseconds)");
  GrScope1->SetAccessibleName("Reply Time Chart");
  GrScope1->SetShowHint(true);
  GrScope1->SetParentShowHint(false);
  GrScope1->SetInterval(250);
  GrScope1->SetMaxValue(75);
  GrScope1->Channels().Add()->SetStyle(TGraphStyle::gsBar);
  GrScope1->SetGridSize(8);
  GrScope1->SetBaseOffset(kThresholds[0]);
  GrScope1->SetFrequency(8);
  GrScope1->SetThreaded(true);
  GrScope1->SetOnNeedData(TGrNeedDataEvent(this, &TForm1::GrScope1NeedData));

  sPanel2 = make_panel("sPanel2", alBottom, 436, 67);
  sBitBtn1 = MakeButton("sBitBtn1", 7, 65, 52, "Ping !", "Start Ping", &TForm1::sBitBtn1Click);
  sBitBtn2 = MakeButton("sBitBtn2", 76, 65, 52, "Cancel", "Stop Ping", &TForm1::sBitBtn2Click);
  sBitBtn3 = MakeButton("sBitBtn3", 145, 65, 51, "Clear Log", "Clear the Ping Log",
                        &TForm1::sBitBtn3Click);
  sBitBtn4 = MakeButton("sBitBtn4", 214, 70, 51, "Save Log...", "Save The Ping Log",
                        &TForm1::sBitBtn4Click);
  sBitBtn5 = MakeButton("sBitBtn5", 288, 65, 51, "About...", "About Brivane Sonarix",
                        &TForm1::sBitBtn5Click);
  sBitBtn6 =
      MakeButton("sBitBtn6", 357, 65, 51, "Exit", "Exit Brivane Sonarix", &TForm1::sBitBtn6Click);

  SetMinClientSize(431, MinLayoutHeight());

  sPanel1->SetTabOrder(0);
  sPanel2->SetTabOrder(1);
  sPanel3->SetTabOrder(2);
  sPanel4->SetTabOrder(3);

  Ping1 = new TPing(this);
  Ping1->SetName("Ping1");
  Ping1->SetSize(56);
  Ping1->SetTimeout(4000);
  Ping1->SetTTL(64);
  Ping1->SetFlags(0);
  Ping1->OnDisplay = TPingDisplay(this, &TForm1::Ping1Display);
  Ping1->OnEchoRequest = TPingRequest(this, &TForm1::Ping1EchoRequest);
  Ping1->OnEchoReply = TPingReply(this, &TForm1::Ping1EchoReply);
  Ping1->OnDnsLookupDone = TDnsLookupDone(this, &TForm1::Ping1DnsLookupDone);

  SaveDialog1 = new TSaveDialog(this);
  SaveDialog1->SetName("SaveDialog1");
  SaveDialog1->SetTitle("Save Log");
  SaveDialog1->SetFileName("SonarixLog.txt");
  SaveDialog1->SetFilter("Text File (*.txt)|*.txt");
  SaveDialog1->SetDefaultExt("txt");
  SaveDialog1->SetOptions(ofOverwritePrompt | ofHideReadOnly | ofEnableSizing);

  // The skin manager loads the internal skin while the settings are read;
  // it announces it once the window has read them all.
  sSkinManager1 = new TsSkinManager(this);
  sSkinManager1->SetName("sSkinManager1");
  TsStoredSkin& steam = sSkinManager1->InternalSkins().Add();
  steam.SetName(kSteamSkinName);
  steam.SetData(kSteamSkinData, kSteamSkinDataSize);
  sSkinManager1->MenuSupport().SetIcoLineSkin("ICOLINE");
  sSkinManager1->MenuSupport().ExtraLineFont().SetName("Tahoma");
  sSkinManager1->MenuSupport().ExtraLineFont().SetHeight(-11);
  // The developer's skin folder: absent on a user's machine, so the search
  // falls through to the internal skin.
  sSkinManager1->SetSkinDirectory("D:\\Sonarix\\Skins");
  sSkinManager1->SetSkinName("Steam (internal)");
  TsThirdPartyList& third = sSkinManager1->ThirdParty();
  third.SetThirdEdits(
      "TEdit\r\nTMemo\r\nTMaskEdit\r\nTLabeledEdit\r\nTHotKey\r\nTListBox\r\nTCheckListBox\r\n"
      "TRichEdit\r\nTDateTimePicker");
  third.SetThirdButtons("TButton");
  third.SetThirdBitBtns("TBitBtn");
  third.SetThirdCheckBoxes("TCheckBox\r\nTRadioButton\r\nTGroupButton");
  third.SetThirdGroupBoxes("TGroupBox\r\nTRadioGroup");
  third.SetThirdListViews("TListView");
  third.SetThirdPanels("TPanel");
  third.SetThirdGrids("TStringGrid\r\nTDrawGrid");
  third.SetThirdTreeViews("TTreeView");
  third.SetThirdComboBoxes("TComboBox\r\nTColorBox");
  third.SetThirdWWEdits(" ");
  third.SetThirdVirtualTrees(" ");
  third.SetThirdGridEh(" ");
  third.SetThirdPageControl("TPageControl");
  third.SetThirdTabControl("TTabControl");
  third.SetThirdToolBar("TToolBar");
  third.SetThirdStatusBar("TStatusBar");

  // The window's frame, caption bar and title buttons come from the skin.
  sSkinProvider1 = new TsSkinProvider(this);
  sSkinProvider1->SetName("sSkinProvider1");
  sSkinProvider1->SkinData().SetSkinSection("FORM");
}

int TForm1::MinLayoutHeight() {
  // The inputs, the scope and the button row keep their heights; the log
  // gives way down to a few whole lines of its font, inside its panel's
  // border and the editor's frame and margins.
  constexpr int kLogLines = 4;
  constexpr int kLogChrome = 2 + 8;
  TBitmap scratch;
  scratch.Canvas().Font().Assign(sMemo1->Font());
  const int line = scratch.Canvas().TextHeight("Wg");
  return sPanel1->Height() + sPanel4->Height() + sPanel2->Height() + kLogChrome + kLogLines * line;
}

TsComboBox* TForm1::MakeChoiceBox(const char* name, int left, int top, int width,
                                  std::initializer_list<const char*> items, int item_index,
                                  const char* text, const char* hint, const char* caption,
                                  TsCaptionLayout layout) {
  auto* c = new TsComboBox(this);
  c->SetName(name);
  c->SetParent(sPanel1);
  c->SkinData()->SetSkinSection("COMBOBOX");
  c->SetBounds(left, top, width, 21);
  c->SetStyle(TComboBoxStyle::csDropDown);
  c->SetColor(kInputColor);
  SetInputFont(c->Font(), kInputTextColor);
  c->SetItemHeight(13);
  for (const char* item : items) c->Items().Add(item);
  c->SetItemIndex(item_index);
  c->SetText(text);
  c->SetHint(hint);
  c->SetShowHint(true);
  SetCaptionSettings(*c->BoundLabel(), true, caption, layout, kCaptionColor);
  return c;
}

TsBitBtn* TForm1::MakeButton(const char* name, int left, int width, int height, const char* caption,
                             const char* hint, void (TForm1::*click)(TObject*)) {
  auto* b = new TsBitBtn(this);
  b->SetName(name);
  b->SetParent(sPanel2);
  b->SkinData()->SetSkinSection("BUTTON");
  b->SetBounds(left, 8, width, height);
  b->SetCaption(caption);
  b->SetHint(hint);
  b->SetShowHint(true);
  b->OnClick = TNotifyEvent(this, click);
  return b;
}

void TForm1::Log(const std::string& line) {
  sMemo1->Lines().Add(line);
}

void TForm1::SwitchScope(bool active) {
  GrScope1->SetActive(active);
}

void TForm1::SetPingOptions() {
  std::int32_t v = 0;
  if (Pick(kSizes, sComboBox1->ItemIndex(), v)) Ping1->SetSize(v);
  if (Pick(kTimeouts, sComboBox2->ItemIndex(), v)) Ping1->SetTimeout(v);
  if (Pick(kTtls, sComboBox3->ItemIndex(), v)) Ping1->SetTTL(v);
  if (Pick(kCounts, sComboBox4->ItemIndex(), v)) PingCount = v;
}

void TForm1::sBitBtn1Click(TObject*) {
  sMemo1->Clear();
  SetPingOptions();
  Log("Resolving host '" + sEdit1->Text() + "'");
  sBitBtn1->SetEnabled(false);
  sBitBtn2->SetEnabled(true);
  StopRequested = false;
  SwitchScope(true);
  // For a literal address the series runs inside this call.
  Ping1->LookupHost(sEdit1->Text());
}

void TForm1::Ping1DnsLookupDone(TObject*, std::uint16_t error) {
  sBitBtn2->SetEnabled(true);
  sBitBtn1->SetEnabled(true);
  Pinging = true;
  if (error != 0) {
    Log("Unknown Host '" + sEdit1->Text() + "'");
    return;
  }
  Log("Host '" + sEdit1->Text() + "' is " + Ping1->LookupResult());
  Log("");
  Ping1->SetAddress(Ping1->LookupResult());
  const std::int32_t n = PingCount;
  for (std::int32_t i = 0; i < n; ++i) {
    if (StopRequested) {
      Pinging = false;
      Log(kCanceledLine);
      SwitchScope(false);
      return;
    }
    Ping1->SendEcho();
    Application->ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(kEchoPauseMs));
  }
  Pinging = false;
  SwitchScope(false);
  Log(kFinishedLine);
}

void TForm1::Ping1EchoRequest(TObject*, TObject*) {
  Log("Sending " + IntToStr(Ping1->Size()) + " bytes to " + Ping1->TargetName() + " (" +
      Ping1->TargetIP() + ")");
}

void TForm1::Ping1EchoReply(TObject*, TObject*, std::int32_t status) {
  const platform::ICMP_ECHO_REPLY reply = Ping1->LastReply();
  if (status != 0) {
    Log("Received " + IntToStr(reply.DataSize) + " bytes from " + Ping1->TargetIP() + " in " +
        IntToStr(reply.RoundTripTime) + " msecs");
  } else {
    Log("Cannot ping host (" + Ping1->TargetIP() + ") : " + Ping1->StatusText() +
        ". Status = " + IntToStr(reply.Status));
  }
}

void TForm1::Ping1Display(TObject*, TObject*, const std::string& msg) {
  Log(msg);
}

void TForm1::sBitBtn2Click(TObject*) {
  StopRequested = true;
  Ping1->CancelLookup();
  SwitchScope(false);
}

void TForm1::sBitBtn3Click(TObject*) {
  sMemo1->Clear();
}

void TForm1::sBitBtn4Click(TObject*) {
  if (sMemo1->Lines().Count() == 0) return;
  if (!SaveDialog1->Execute()) return;
  SaveLogTo(SaveDialog1->FileName());
}

void TForm1::SaveLogTo(const std::string& path) {
  // The user's text goes out in UTF-8 as the log holds it; the name is
  // spelled as the file system spells names.
  SaveTextFile(ToFileSystemName(path), sMemo1->Text());
}

void TForm1::sBitBtn5Click(TObject*) {
  // Made on the first press: nothing of it is needed before. Modal: a
  // series running underneath waits until the box is closed.
  if (AboutBox == nullptr) Application->CreateForm(AboutBox);
  AboutBox->ShowModal();
}

void TForm1::sBitBtn6Click(TObject* sender) {
  sBitBtn2Click(sender);
  Close();
}

void TForm1::EnterPressed(char key) {
  // Enter starts a ping even while "Ping !" is disabled; the input still
  // receives the key.
  if (key == '\r') sBitBtn1->Click();
}

void TForm1::sEdit1KeyPress(TObject*, char& key) {
  EnterPressed(key);
}
void TForm1::sComboBox1KeyPress(TObject*, char& key) {
  EnterPressed(key);
}
void TForm1::sComboBox2KeyPress(TObject*, char& key) {
  EnterPressed(key);
}
void TForm1::sComboBox3KeyPress(TObject*, char& key) {
  EnterPressed(key);
}
void TForm1::sComboBox4KeyPress(TObject*, char& key) {
  EnterPressed(key);
}
void TForm1::sComboBox5KeyPress(TObject*, char& key) {
  EnterPressed(key);
}

void TForm1::sComboBox5Change(TObject*) {
  std::int32_t v = 0;
  if (Pick(kThresholds, sComboBox5->ItemIndex(), v)) GrScope1->SetBaseOffset(v);
}

// Runs on the GUI thread (the scope's timer hands its ticks over), so the
// series state is read without locks.
void TForm1::GrScope1NeedData(TObject*, int, int& value) {
  if (!Pinging) {
    value = 0;
    return;
  }
  value = static_cast<std::int32_t>(Ping1->LastReply().RoundTripTime);
  // Channel 0 whatever channel asks; the colour applies to the whole trace.
  GrScope1->Channels()[0]->SetColor(value < GrScope1->BaseOffset() ? kBelowThreshold
                                                                   : kAtThreshold);
}
