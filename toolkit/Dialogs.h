// The save-file dialog and message boxes. Both are toolkit windows (the
// file dialog is Qt's own, not the desktop's), so the application's window
// hook sees them appear and a skin can adopt them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/Buttons.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"
#include "toolkit/StdCtrls.h"

// Message box styles and answers: fixed numbers that callers combine and
// compare.
enum : unsigned {
  MB_OK = 0x0,
  MB_OKCANCEL = 0x1,
  MB_ABORTRETRYIGNORE = 0x2,
  MB_YESNOCANCEL = 0x3,
  MB_YESNO = 0x4,
  MB_RETRYCANCEL = 0x5,
  MB_ICONHAND = 0x10,
  MB_ICONERROR = 0x10,
  MB_ICONSTOP = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONEXCLAMATION = 0x30,
  MB_ICONWARNING = 0x30,
  MB_ICONASTERISK = 0x40,
  MB_ICONINFORMATION = 0x40,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };

enum class TMsgDlgType : std::uint8_t {
  mtWarning,
  mtError,
  mtInformation,
  mtConfirmation,
  mtCustom
};
using enum TMsgDlgType;

enum TMsgDlgBtn : std::uint16_t {
  mbYes = 1 << 0,
  mbNo = 1 << 1,
  mbOK = 1 << 2,
  mbCancel = 1 << 3,
  mbAbort = 1 << 4,
  mbRetry = 1 << 5,
  mbIgnore = 1 << 6,
  mbAll = 1 << 7,
  mbNoToAll = 1 << 8,
  mbYesToAll = 1 << 9,
  mbHelp = 1 << 10,
};
using TMsgDlgButtons = std::uint16_t;

// The message box window: an icon, the text and a row of buttons.
class TMessageForm : public TForm {
 public:
  // `details`, when given, follow the message in a read-only text a user
  // can select and copy, line for line (commands to type, say).
  TMessageForm(TComponent* owner, const std::string& text, const std::string& caption,
               TMsgDlgType type, TMsgDlgButtons buttons, TMsgDlgBtn default_button,
               const std::string& details = {});

  const std::string& Message() const { return message_; }
  // The details' text; nullptr for a box without them.
  TMemo* DetailsText() const { return details_; }
  TMsgDlgType DlgType() const { return type_; }
  int ButtonCount() const { return static_cast<int>(buttons_.size()); }
  TBitBtn* Button(int index) const { return buttons_.at(static_cast<std::size_t>(index)); }
  // The button with this result, if any.
  TBitBtn* FindButton(TModalResult result) const;
  TLabel* MessageLabel() const { return label_; }
  TImage* Icon() const { return icon_; }

 protected:
  void KeyDown(std::uint16_t& key, TShiftState shift) override;

 private:
  std::string message_;
  TMsgDlgType type_;
  TLabel* label_ = nullptr;
  TImage* icon_ = nullptr;
  TMemo* details_ = nullptr;
  std::vector<TBitBtn*> buttons_;
  TModalResult escape_result_ = mrCancel;
};

// Shows a message box modally; returns the result of the button pressed.
TModalResult MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons);
void ShowMessage(const std::string& text);
// A box with the message and, below it, details to read and copy; the
// caption is the box's title ("Error" when empty).
TModalResult MessageDlgDetails(const std::string& text, const std::string& details,
                               const std::string& caption, TMsgDlgType type,
                               TMsgDlgButtons buttons);

// The icon picture of a message box type (32 x 32, drawn).
QImage MessageIcon(TMsgDlgType type);

enum TOpenOption : std::uint32_t {
  ofReadOnly = 1u << 0,
  ofOverwritePrompt = 1u << 1,
  ofHideReadOnly = 1u << 2,
  ofNoChangeDir = 1u << 3,
  ofShowHelp = 1u << 4,
  ofNoValidate = 1u << 5,
  ofAllowMultiSelect = 1u << 6,
  ofExtensionDifferent = 1u << 7,
  ofPathMustExist = 1u << 8,
  ofFileMustExist = 1u << 9,
  ofCreatePrompt = 1u << 10,
  ofShareAware = 1u << 11,
  ofNoReadOnlyReturn = 1u << 12,
  ofNoTestFileCreate = 1u << 13,
  ofNoNetworkButton = 1u << 14,
  ofNoLongNames = 1u << 15,
  ofOldStyleDialog = 1u << 16,
  ofNoDereferenceLinks = 1u << 17,
  ofEnableIncludeNotify = 1u << 18,
  ofEnableSizing = 1u << 19,
  ofDontAddToRecent = 1u << 20,
  ofForceShowHidden = 1u << 21,
};
using TOpenOptions = std::uint32_t;

class TCommonDialog : public TComponent {
 public:
  explicit TCommonDialog(TComponent* owner) : TComponent(owner) {}
  virtual bool Execute() = 0;
  TNotifyEvent OnShow;
  TNotifyEvent OnClose;
};

class TSaveDialog : public TCommonDialog {
 public:
  explicit TSaveDialog(TComponent* owner) : TCommonDialog(owner) {}

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& v) { title_ = v; }
  // After a confirmed dialog: the chosen file's full path.
  const std::string& FileName() const { return file_name_; }
  void SetFileName(const std::string& v) { file_name_ = v; }
  // "Description|pattern|Description|pattern...", patterns separated by ';'.
  const std::string& Filter() const { return filter_; }
  void SetFilter(const std::string& v) { filter_ = v; }
  int FilterIndex() const { return filter_index_; }
  void SetFilterIndex(int v) { filter_index_ = v; }
  // Appended (after a dot) to a name typed without an extension.
  const std::string& DefaultExt() const { return default_ext_; }
  void SetDefaultExt(const std::string& v) { default_ext_ = v; }
  const std::string& InitialDir() const { return initial_dir_; }
  void SetInitialDir(const std::string& v) { initial_dir_ = v; }
  TOpenOptions Options() const { return options_; }
  void SetOptions(TOpenOptions v) { options_ = v; }

  // Shows the dialog modally; true when the user confirmed a file.
  bool Execute() override;

  // The filter as Qt's name filters ("Text File (*.txt)").
  static std::vector<std::string> NameFilters(const std::string& filter);

 private:
  std::string title_;
  std::string file_name_;
  std::string filter_;
  int filter_index_ = 1;
  std::string default_ext_;
  std::string initial_dir_;
  TOpenOptions options_ = ofHideReadOnly | ofEnableSizing;
};
