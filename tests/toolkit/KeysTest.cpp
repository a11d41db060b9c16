// The keys the main window's inputs are used with, pressed as a user presses
// them: each reaches the control's chain as the key-down message with the
// platform's virtual-key code and, where it types a character, the
// character message; and the editors still do with them what users expect.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "toolkit/Buttons.h"
#include "toolkit/Forms.h"
#include "toolkit/StdCtrls.h"

namespace {

struct TKeySeen {
  int down = -1;  // the virtual key of WM_KEYDOWN, -1 if none came
  int chr = -1;   // the character of WM_CHAR, -1 if none came
};

class Keys : public ::testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    form = std::make_unique<TForm>(nullptr);
    form->SetClientSize(300, 200);
    edit = new TEdit(form.get());
    edit->SetParent(form.get());
    edit->SetBounds(10, 10, 150, 21);
    combo = new TComboBox(form.get());
    combo->SetParent(form.get());
    combo->SetBounds(10, 40, 150, 21);
    for (const char* item : {"10 msec", "127.0.0.1", "192.168.1.1"}) combo->Items().Add(item);
    ok = new TBitBtn(form.get());
    ok->SetParent(form.get());
    ok->SetBounds(10, 80, 75, 25);
    form->Show();
    Application->ProcessMessages();
  }
  // What `control` is told of one key press that types `text`, as the
  // window system gives it (nullptr: what QTest makes of the key).
  TKeySeen Press(TWinControl* control, Qt::Key key, Qt::KeyboardModifiers mods,
                 const char* text = nullptr) {
    TKeySeen seen;
    const TWndMethod own = control->WindowProc();
    control->SetWindowProc(TWndMethod([&seen, own](TMessage& m) {
      if (m.Msg == WM_KEYDOWN) seen.down = static_cast<int>(m.WParam);
      if (m.Msg == WM_CHAR) seen.chr = static_cast<int>(m.WParam);
      own(m);
    }));
    control->SetFocus();
    if (text != nullptr) {
      QTest::sendKeyEvent(QTest::Click, control->Handle(), key, QString::fromLatin1(text), mods);
    } else {
      QTest::keyClick(control->Handle(), key, mods);
    }
    control->SetWindowProc(own);
    return seen;
  }

  std::unique_ptr<TForm> form;
  TEdit* edit = nullptr;
  TComboBox* combo = nullptr;
  TBitBtn* ok = nullptr;
};

TEST_F(Keys, EachKeyArrivesWithItsVirtualKeyAndCharacter) {
  struct TCase {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    const char* text;
    int vk;   // the platform's documented value
    int chr;  // -1: types nothing
  };
  const TCase kCases[] = {
      {Qt::Key_Return, Qt::NoModifier, nullptr, 0x0D, '\r'},
      {Qt::Key_Enter, Qt::KeypadModifier, nullptr, 0x0D, '\r'},
      {Qt::Key_Escape, Qt::NoModifier, nullptr, 0x1B, 0x1B},
      {Qt::Key_Backspace, Qt::NoModifier, nullptr, 0x08, 0x08},
      {Qt::Key_Space, Qt::NoModifier, nullptr, 0x20, ' '},
      {Qt::Key_PageUp, Qt::NoModifier, nullptr, 0x21, -1},
      {Qt::Key_PageDown, Qt::NoModifier, nullptr, 0x22, -1},
      {Qt::Key_End, Qt::NoModifier, nullptr, 0x23, -1},
      {Qt::Key_Home, Qt::NoModifier, nullptr, 0x24, -1},
      {Qt::Key_Left, Qt::NoModifier, nullptr, 0x25, -1},
      {Qt::Key_Up, Qt::NoModifier, nullptr, 0x26, -1},
      {Qt::Key_Right, Qt::NoModifier, nullptr, 0x27, -1},
      {Qt::Key_Down, Qt::NoModifier, nullptr, 0x28, -1},
      {Qt::Key_Insert, Qt::NoModifier, nullptr, 0x2D, -1},
      {Qt::Key_Delete, Qt::NoModifier, nullptr, 0x2E, -1},
      {Qt::Key_F4, Qt::NoModifier, nullptr, 0x73, -1},
      {Qt::Key_A, Qt::NoModifier, "a", 0x41, 'a'},
      {Qt::Key_A, Qt::ShiftModifier, "A", 0x41, 'A'},
      {Qt::Key_1, Qt::NoModifier, "1", 0x31, '1'},
      // Typed into names and addresses: the punctuation keys have codes of
      // their own (the US layout's), never those of the keys above.
      {Qt::Key_Period, Qt::NoModifier, ".", 0xBE, '.'},
      {Qt::Key_Minus, Qt::NoModifier, "-", 0xBD, '-'},
      {Qt::Key_Underscore, Qt::ShiftModifier, "_", 0xBD, '_'},
      {Qt::Key_Comma, Qt::NoModifier, ",", 0xBC, ','},
      {Qt::Key_ParenLeft, Qt::ShiftModifier, "(", 0x39, '('},
      {Qt::Key_Apostrophe, Qt::NoModifier, "'", 0xDE, '\''},
      {Qt::Key_BraceLeft, Qt::ShiftModifier, "{", 0xDB, '{'},
  };
  for (TWinControl* input : std::vector<TWinControl*>{edit, combo}) {
    for (const TCase& c : kCases) {
      const TKeySeen seen = Press(input, c.key, c.mods, c.text);
      EXPECT_EQ(seen.down, c.vk) << (input == edit ? "edit" : "combo box") << " key " << std::hex
                                 << c.key;
      EXPECT_EQ(seen.chr, c.chr) << (input == edit ? "edit" : "combo box") << " key " << std::hex
                                 << c.key;
    }
  }
  // Tab moves the focus and types nothing.
  const TKeySeen tab = Press(edit, Qt::Key_Tab, Qt::NoModifier);
  EXPECT_EQ(tab.down, 0x09);
  EXPECT_EQ(tab.chr, -1);
  EXPECT_TRUE(combo->Focused());
}

TEST_F(Keys, TheInputsDoWithTheirKeysWhatUsersExpect) {
  // The host box: typed, then edited with Home, Delete, End and Backspace.
  edit->SetText("");
  edit->SetFocus();
  QTest::keyClicks(edit->Handle(), "127.0.0.1");
  EXPECT_EQ(edit->Text(), "127.0.0.1");
  for (Qt::Key k : {Qt::Key_Home, Qt::Key_Delete, Qt::Key_End, Qt::Key_Backspace})
    QTest::keyClick(edit->Handle(), k);
  EXPECT_EQ(edit->Text(), "27.0.0.");
  // A choice box completes what is typed, a dot as much as a digit; the
  // arrows pick the neighbouring items.
  combo->SetFocus();
  combo->Editor()->lineEdit()->selectAll();
  QTest::keyClicks(combo->Handle(), "192.");
  EXPECT_EQ(combo->Text(), "192.168.1.1");
  EXPECT_EQ(combo->ItemIndex(), 2);
  QTest::keyClick(combo->Handle(), Qt::Key_Up);
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(combo->Text(), "127.0.0.1");
  QTest::keyClick(combo->Handle(), Qt::Key_Down);
  EXPECT_EQ(combo->Text(), "192.168.1.1");
  // A key a handler takes (sets to 0) does not reach the editor.
  edit->OnKeyDown = TKeyEvent([](TObject*, std::uint16_t& key, TShiftState) {
    if (key == VK_DELETE) key = 0;
  });
  edit->SetText("abc");
  edit->SetFocus();
  QTest::keyClick(edit->Handle(), Qt::Key_Home);
  QTest::keyClick(edit->Handle(), Qt::Key_Delete);
  EXPECT_EQ(edit->Text(), "abc");
  QTest::keyClick(edit->Handle(), Qt::Key_Period);
  EXPECT_EQ(edit->Text(), ".abc") << "the dot is not the delete key";
  // The keypad's Enter presses the default button, as the main one does; a
  // focused button is pressed by the space bar.
  int clicks = 0;
  ok->OnClick = TNotifyEvent([&](TObject*) { ++clicks; });
  ok->SetDefault(true);
  edit->SetFocus();
  QTest::keyClick(edit->Handle(), Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(clicks, 1);
  ok->SetFocus();
  QTest::keyClick(ok->Handle(), Qt::Key_Space);
  EXPECT_EQ(clicks, 2);
}

}  // namespace
