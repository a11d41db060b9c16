// The main window: the option inputs, the log, the scope and the buttons,
// and the ping series that it runs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ping/Ping.h"
#include "scope/GrScope.h"
#include "skin/sBitBtn.h"
#include "skin/sComboBox.h"
#include "skin/sEdit.h"
#include "skin/sMemo.h"
#include "skin/sPanel.h"
#include "skin/sSkinManager.h"
#include "skin/sSkinProvider.h"
#include "toolkit/Buttons.h"
#include "toolkit/Dialogs.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"
#include "toolkit/StdCtrls.h"

// The series state: one copy for the whole program.
extern std::int32_t PingCount;  // echoes the next series sends
extern bool Pinging;            // between lookup completion and the end of the loop
extern bool StopRequested;      // set by Cancel and Exit, cleared by Ping !

// Pause between two echoes of a series, in milliseconds.
inline constexpr int kEchoPauseMs = 500;

class TForm1 : public TForm {
 public:
  explicit TForm1(TComponent* owner);
  ~TForm1() override;

  TsPanel* sPanel1 = nullptr;
  TsEdit* sEdit1 = nullptr;
  TsComboBox* sComboBox4 = nullptr;
  TsComboBox* sComboBox1 = nullptr;
  TsComboBox* sComboBox2 = nullptr;
  TsComboBox* sComboBox3 = nullptr;
  TsComboBox* sComboBox5 = nullptr;
  TsPanel* sPanel3 = nullptr;
  TsMemo* sMemo1 = nullptr;
  TsPanel* sPanel4 = nullptr;
  TGrScope* GrScope1 = nullptr;
  TsPanel* sPanel2 = nullptr;
  TsBitBtn* sBitBtn1 = nullptr;
  TsBitBtn* sBitBtn2 = nullptr;
  TsBitBtn* sBitBtn3 = nullptr;
  TsBitBtn* sBitBtn4 = nullptr;
  TsBitBtn* sBitBtn5 = nullptr;
  TsBitBtn* sBitBtn6 = nullptr;
  TPing* Ping1 = nullptr;
  TSaveDialog* SaveDialog1 = nullptr;
  TsSkinManager* sSkinManager1 = nullptr;
  TsSkinProvider* sSkinProvider1 = nullptr;

  void sBitBtn1Click(TObject* sender);
  void SetPingOptions();
  void Ping1DnsLookupDone(TObject* sender, std::uint16_t error);
  void Ping1EchoRequest(TObject* sender, TObject* icmp);
  void Ping1EchoReply(TObject* sender, TObject* icmp, std::int32_t status);
  void Ping1Display(TObject* sender, TObject* icmp, const std::string& msg);
  void sBitBtn2Click(TObject* sender);
  void sBitBtn3Click(TObject* sender);
  void sBitBtn4Click(TObject* sender);
  void sBitBtn5Click(TObject* sender);
  void sBitBtn6Click(TObject* sender);
  void sEdit1KeyPress(TObject* sender, char& key);
  void sComboBox1KeyPress(TObject* sender, char& key);
  void sComboBox2KeyPress(TObject* sender, char& key);
  void sComboBox3KeyPress(TObject* sender, char& key);
  void sComboBox4KeyPress(TObject* sender, char& key);
  void sComboBox5KeyPress(TObject* sender, char& key);
  void sComboBox5Change(TObject* sender);
  void GrScope1NeedData(TObject* sender, int channel, int& value);

  // Writes the log's text to `path`, byte for byte (CR LF line ends).
  void SaveLogTo(const std::string& path);

 protected:
  // The scope's part in a series: on at "Ping !", off at the end.
  virtual void SwitchScope(bool active);

 private:
  void CreateControls();
  // The least client height at which the layout stays whole.
  int MinLayoutHeight();
  TsComboBox* MakeChoiceBox(const char* name, int left, int top, int width,
                            std::initializer_list<const char*> items, int item_index,
                            const char* text, const char* hint, const char* caption,
                            TsCaptionLayout layout);
  TsBitBtn* MakeButton(const char* name, int left, int width, int height, const char* caption,
                       const char* hint, void (TForm1::*click)(TObject*));
  void Log(const std::string& line);
  void EnterPressed(char key);
};

extern TForm1* Form1;

// Names the main window's skin to be built ahead (PrepareStoredSkin), before
// the application starts, and gives the work that builds it.
std::function<void()> PrepareMainWindowSkin();
