// Standard controls: label (painted by the program), and edit, memo and
// combo box, which wrap Qt's editors (editing, selection, clipboard and
// input methods are Qt's).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "toolkit/Controls.h"
#include "toolkit/SysUtils.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;

class EStringListError : public Exception {
 public:
  using Exception::Exception;
};

class TCustomLabel : public TGraphicControl {
 public:
  explicit TCustomLabel(TComponent* owner);
  TAccessibleRole AccessibleRole() const override { return TAccessibleRole::arStaticText; }

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout value);
  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool value);
  bool Transparent() const { return (ControlStyle() & csOpaque) == 0; }
  void SetTransparent(bool value);
  bool ShowAccelChar() const { return show_accel_char_; }
  void SetShowAccelChar(bool value);
  TWinControl* FocusControl() const { return focus_control_; }
  void SetFocusControl(TWinControl* control);

 protected:
  void Paint() override;
  void AdjustSize() override;
  void Dispatch(TMessage& message) override;
  void Notification(TComponent* component, TOperation operation) override;
  unsigned TextFlags() const;
  // The alignment's DT_ flag, mirrored in right-to-left mode.
  unsigned AlignmentFlags() const;
  // Draws the caption into `rect` on `canvas` (with DT_CALCRECT only
  // computes the rectangle it needs). Sizing measures through it too, on a
  // scratch canvas, so a label that draws more than its text (an effect
  // label's shadow) sizes itself to what it draws.
  virtual void DoDrawText(TCanvas& canvas, TRect& rect, unsigned flags);
  // The text DoDrawText works with: an empty caption, or a lone prefix
  // character, measures as a blank.
  std::string TextToDraw(unsigned flags) const;
  // A disabled label's look: the text once in the highlight colour one pixel
  // right and down, then in the shadow colour in place.
  static void DrawEmbossed(TCanvas& canvas, const std::string& text, TRect& rect, unsigned flags);

 private:
  TAlignment alignment_ = taLeftJustify;
  TTextLayout layout_ = tlTop;
  bool word_wrap_ = false;
  bool show_accel_char_ = true;
  TWinControl* focus_control_ = nullptr;
};

class TLabel : public TCustomLabel {
 public:
  explicit TLabel(TComponent* owner) : TCustomLabel(owner) {}
};

enum class TEditCharCase : std::uint8_t { ecNormal, ecUpperCase, ecLowerCase };

class TCustomEdit : public TWinControl {
 public:
  explicit TCustomEdit(TComponent* owner);

  TBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderStyle(TBorderStyle style);
  int MaxLength() const { return max_length_; }
  void SetMaxLength(int value);
  bool ReadOnly() const;
  void SetReadOnly(bool value);
  char PasswordChar() const { return password_char_; }
  void SetPasswordChar(char value);
  int SelStart() const;
  void SetSelStart(int value);
  int SelLength() const;
  void SetSelLength(int value);
  std::string SelText() const;
  void SelectAll();
  void Clear() { SetText(""); }
  bool Modified() const { return modified_; }
  void SetModified(bool value) { modified_ = value; }

  TNotifyEvent OnChange;

 protected:
  TRect DefaultFrameMargins() const override;
  void PaintFrame(HDC dc) override;
  std::string GetText() const override;
  void StoreText(const std::string& text) override;
  virtual void Change();
  QLineEdit* Editor() const;

 private:
  TBorderStyle border_style_ = TBorderStyle::bsSingle;
  int max_length_ = 0;
  char password_char_ = 0;
  bool modified_ = false;
};

class TEdit : public TCustomEdit {
 public:
  explicit TEdit(TComponent* owner) : TCustomEdit(owner) {}
};

// A list of text lines kept by a control.
class TStrings {
 public:
  virtual ~TStrings() = default;
  virtual int Count() const = 0;
  virtual std::string Strings(int index) const = 0;
  virtual void Insert(int index, const std::string& s) = 0;
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;
  // The lines, each ended with CR LF.
  virtual std::string Text() const;
  virtual void SetText(const std::string& text);
  int Add(const std::string& s) {
    Insert(Count(), s);
    return Count() - 1;
  }
  std::string operator[](int index) const { return Strings(index); }
};

enum class TScrollStyle : std::uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };

class TMemo;

class TMemoLines : public TStrings {
 public:
  explicit TMemoLines(TMemo* memo) : memo_(memo) {}
  int Count() const override;
  std::string Strings(int index) const override;
  void Insert(int index, const std::string& s) override;
  void Delete(int index) override;
  void Clear() override;
  std::string Text() const override;
  void SetText(const std::string& text) override;

 private:
  TMemo* memo_;
};

class TMemo : public TWinControl {
 public:
  explicit TMemo(TComponent* owner);

  TStrings& Lines() { return lines_; }
  TScrollStyle ScrollBars() const { return scroll_bars_; }
  void SetScrollBars(TScrollStyle value);
  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool value);
  bool ReadOnly() const;
  void SetReadOnly(bool value);
  bool WantReturns() const { return want_returns_; }
  void SetWantReturns(bool value) { want_returns_ = value; }
  bool WantTabs() const { return want_tabs_; }
  void SetWantTabs(bool value);
  TBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderStyle(TBorderStyle style);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  void Clear() { SetText(""); }
  // Appends text at the end and shows the end.
  void AppendText(const std::string& text);

  TNotifyEvent OnChange;

  QPlainTextEdit* Editor() const;

 protected:
  TRect DefaultFrameMargins() const override;
  void PaintFrame(HDC dc) override;
  std::string GetText() const override;
  void StoreText(const std::string& text) override;
  void KeyPress(char& key) override;

 private:
  TMemoLines lines_{this};
  TScrollStyle scroll_bars_ = TScrollStyle::ssNone;
  bool word_wrap_ = true;
  bool want_returns_ = true;
  bool want_tabs_ = false;
  TBorderStyle border_style_ = TBorderStyle::bsSingle;
  TAlignment alignment_ = taLeftJustify;
};

enum class TComboBoxStyle : std::uint8_t { csDropDown, csSimple, csDropDownList };

class TComboBox;

class TComboItems : public TStrings {
 public:
  explicit TComboItems(TComboBox* combo) : combo_(combo) {}
  int Count() const override;
  std::string Strings(int index) const override;
  void Insert(int index, const std::string& s) override;
  void Delete(int index) override;
  void Clear() override;

 private:
  TComboBox* combo_;
};

// The editable drop-down: picking an item,
// or typing text that completes to one, selects it; text that begins no
// item leaves no item selected (ItemIndex -1). OnChange follows both.
class TComboBox : public TWinControl {
 public:
  explicit TComboBox(TComponent* owner);

  TStrings& Items() { return items_; }
  int ItemIndex() const { return item_index_; }
  void SetItemIndex(int index);
  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle style);
  int ItemHeight() const { return item_height_; }
  void SetItemHeight(int value);
  int DropDownCount() const { return drop_down_count_; }
  void SetDropDownCount(int value);
  int MaxLength() const { return max_length_; }
  void SetMaxLength(int value);
  bool AutoComplete() const { return auto_complete_; }
  void SetAutoComplete(bool value) { auto_complete_ = value; }
  bool DroppedDown() const;
  void SetDroppedDown(bool value);
  int SelStart() const;
  int SelLength() const;

  // What the user does (the Qt signals call these): picks an item from the
  // list, or edits the text.
  void ItemPicked(int index);
  void TextEdited(const std::string& text);

  TNotifyEvent OnChange;
  TNotifyEvent OnSelect;
  TNotifyEvent OnDropDown;
  TNotifyEvent OnCloseUp;

  QComboBox* Editor() const;

  // The drop-down button's area, in window coordinates: a scroll bar's
  // width, 3 pixels in from the right edge, 2 from the top and bottom.
  TRect ButtonRect() const;
  // Where the text editor sits, in client coordinates: left of the button.
  virtual TRect EditRect() const;
  // Puts the text editor at EditRect (the widget calls it after Qt's own
  // layout of the box).
  void PlaceEditor();
  // The list is down (between DropDown and CloseUp).
  bool ListShowing() const { return list_showing_; }
  // Makes the list's rows as high as ItemHeight and starts watching its
  // window; the widget calls it before the list first drops down.
  void MakeList();
  // The box has been painted: its list is made in the pause after the
  // window's frame, unless it dropped down already.
  void Painted();

 protected:
  std::string GetText() const override;
  void StoreText(const std::string& text) override;
  virtual void Change();
  virtual void Select();
  // The list drops down or closes up, by the pointer, the keyboard or
  // SetDroppedDown.
  virtual void DropDown();
  virtual void CloseUp();
  void KeyDown(std::uint16_t& key, TShiftState shift) override;
  void Dispatch(TMessage& message) override;
  // The box paints its own face: a sunken frame, the field and a button
  // with an arrow; Qt's style paints only the list.
  bool WidgetPaintsItself() const override { return false; }
  TRect DefaultFrameMargins() const override;
  void PaintFrame(HDC dc) override;
  void PaintWindow(HDC dc) override;

 private:
  friend class TComboItems;
  friend class TComboListWatcher;
  void ListShown(bool shown);
  int FindPrefix(const std::string& text) const;
  int FindExact(const std::string& text) const;

  TComboItems items_{this};
  int item_index_ = -1;
  TComboBoxStyle style_ = TComboBoxStyle::csDropDown;
  int item_height_ = 13;
  int drop_down_count_ = 8;
  int max_length_ = 0;
  bool auto_complete_ = true;
  std::string last_text_;
  bool in_edit_ = false;
  bool deleting_ = false;
  bool list_showing_ = false;
  // The list was dropped by a press on the button: that press's release
  // must not close it again.
  bool swallow_release_ = false;
  std::unique_ptr<QObject> list_watcher_;
  bool list_queued_ = false;
};

// Paints the sunken 2-pixel edge of an edit frame: button shadow outside and
// 3D dark shadow inside along the top and left, button highlight and face
// along the bottom and right.
void DrawSunkenEdge(HDC dc, const TRect& rect);
