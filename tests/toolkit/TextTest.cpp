// The toolkit's text is UTF-8: what is typed, shown, drawn and looked up
// keeps every character, whatever its script.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "toolkit/Forms.h"
#include "toolkit/Graphics.h"
#include "toolkit/StdCtrls.h"

namespace {

// "Prüfung € Привет مرحبا 😀": Latin-1, beyond it, Cyrillic, Arabic and a
// character outside the basic plane.
const std::string kMixed =
    "Pr\xC3\xBC"
    "fung \xE2\x82\xAC \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 "
    "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7 \xF0\x9F\x98\x80";

QString Q(const std::string& utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

class Text : public ::testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    form = std::make_unique<TForm>(nullptr);
    form->SetClientSize(320, 240);
    edit = new TEdit(form.get());
    edit->SetParent(form.get());
    edit->SetBounds(10, 10, 200, 21);
    combo = new TComboBox(form.get());
    combo->SetParent(form.get());
    combo->SetBounds(10, 40, 200, 21);
    memo = new TMemo(form.get());
    memo->SetParent(form.get());
    memo->SetBounds(10, 70, 300, 100);
    form->Show();
    Application->ProcessMessages();
  }
  // One key press typing `text`, as an input method or keyboard layout
  // gives it (the key is the letter's, as Qt names it).
  static void Type(TWinControl* control, const std::string& text) {
    const QString t = Q(text);
    const auto key = static_cast<Qt::Key>(t.toUpper().toUcs4().value(0));
    QTest::sendKeyEvent(QTest::Click, control->Handle(), key, t, Qt::NoModifier);
  }

  std::unique_ptr<TForm> form;
  TEdit* edit = nullptr;
  TComboBox* combo = nullptr;
  TMemo* memo = nullptr;
};

TEST_F(Text, TextGoesToQtAndComesBackWithEveryCharacter) {
  EXPECT_EQ(ToQString(kMixed), Q(kMixed));
  EXPECT_EQ(FromQString(Q(kMixed)), kMixed);

  edit->SetText(kMixed);
  EXPECT_EQ(static_cast<QLineEdit*>(edit->Handle())->text(), Q(kMixed));
  EXPECT_EQ(edit->Text(), kMixed);
  memo->Lines().Add(kMixed);
  memo->Lines().Add("ASCII");
  EXPECT_EQ(memo->Editor()->toPlainText(), Q(kMixed) + "\nASCII\n");
  EXPECT_EQ(memo->Lines()[0], kMixed);
  EXPECT_EQ(memo->Text(), kMixed + "\r\nASCII\r\n");
  combo->Items().Add(kMixed);
  EXPECT_EQ(combo->Editor()->itemText(0), Q(kMixed));
  EXPECT_EQ(combo->Items().Strings(0), kMixed);
  form->SetCaption(kMixed);
  EXPECT_EQ(form->Caption(), kMixed);
}

TEST_F(Text, TypedLettersOfAnyScriptReachTheTextAsCodePoints) {
  std::vector<std::uintptr_t> chars;
  std::vector<char> pressed;
  const TWndMethod own = edit->WindowProc();
  edit->SetWindowProc(TWndMethod([&chars, own](TMessage& m) {
    if (m.Msg == WM_CHAR) chars.push_back(m.WParam);
    own(m);
  }));
  // A handler that takes every key it sees: only a char it can hold whole
  // reaches it, never a byte of another letter ("€" is not "¬", 0xAC).
  edit->OnKeyPress = TKeyPressEvent([&pressed](TObject*, char& key) {
    pressed.push_back(key);
    if (key != 'a') key = 0;
  });
  edit->SetText("");
  edit->SetFocus();
  for (const char* letter :
       {"a", "\xC3\xBC", "\xE2\x82\xAC", "\xD0\x96", "\xD8\xB9", "\xF0\x9F\x98\x80", "b"})
    Type(edit, letter);
  edit->SetWindowProc(own);
  EXPECT_EQ(chars, (std::vector<std::uintptr_t>{'a', 0xFC, 0x20AC, 0x416, 0x639, 0x1F600, 'b'}));
  EXPECT_EQ(pressed, (std::vector<char>{'a', 'b'}));
  // "b" was taken by the handler; the rest were typed.
  EXPECT_EQ(edit->Text(), "a\xC3\xBC\xE2\x82\xAC\xD0\x96\xD8\xB9\xF0\x9F\x98\x80");

  memo->SetFocus();
  for (const char* letter : {"\xE2\x82\xAC", "\xD0\x96"}) Type(memo, letter);
  EXPECT_EQ(memo->Text(), "\xE2\x82\xAC\xD0\x96");
}

TEST_F(Text, ChoicesAreFoundWithoutCaseInEveryScript) {
  // "Über", "Straße", "Жук"
  for (const char* item : {"\xC3\x9C"
                           "ber",
                           "Stra\xC3\x9F"
                           "e",
                           "\xD0\x96\xD1\x83\xD0\xBA"})
    combo->Items().Add(item);
  combo->SetAutoComplete(true);
  combo->SetFocus();
  combo->Editor()->lineEdit()->clear();
  // "üb" completes to "Über"; "жу" to "Жук".
  Type(combo, "\xC3\xBC");
  Type(combo, "b");
  EXPECT_EQ(combo->Text(),
            "\xC3\x9C"
            "ber");
  EXPECT_EQ(combo->ItemIndex(), 0);
  EXPECT_EQ(combo->Editor()->lineEdit()->selectedText(), "er");
  combo->Editor()->lineEdit()->clear();
  Type(combo, "\xD0\xB6");
  Type(combo, "\xD1\x83");
  EXPECT_EQ(combo->Text(), "\xD0\x96\xD1\x83\xD0\xBA");
  EXPECT_EQ(combo->ItemIndex(), 2);
}

TEST_F(Text, DrawnTextIsTheLettersItHolds) {
  // The canvas draws exactly what Qt draws for the same characters and font.
  const std::string text = "\xE2\x82\xAC \xD0\x96 \xC3\xBC";
  TBitmap drawn(80, 20);
  drawn.Canvas().Brush().SetColor(clWhite);
  drawn.Canvas().FillRect(Rect(0, 0, 80, 20));
  drawn.Canvas().Font().SetName("Tahoma");
  drawn.Canvas().Font().SetHeight(-11);
  drawn.Canvas().Font().SetColor(clBlack);
  drawn.Canvas().TextOut(2, 2, text);

  QImage expected = drawn.Canvas().Image()->copy();
  expected.fill(Qt::white);
  {
    QPainter p(&expected);
    const QFont font = drawn.Canvas().Font().ToQFont();
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(2, 2 + drawn.Canvas().Font().Metrics().Ascent, Q(text));
  }
  EXPECT_EQ(*drawn.Canvas().Image(), expected);
  EXPECT_EQ(drawn.Canvas().TextWidth(text),
            QFontMetrics(drawn.Canvas().Font().ToQFont()).horizontalAdvance(Q(text)));
}

TEST_F(Text, AnEllipsisCutsWholeCharacters) {
  auto draw = [](const std::string& text, unsigned flags) {
    auto bmp = std::make_unique<TBitmap>(60, 16);
    bmp->Canvas().Brush().SetColor(clWhite);
    bmp->Canvas().FillRect(Rect(0, 0, 60, 16));
    bmp->Canvas().Font().SetName("Tahoma");
    bmp->Canvas().Font().SetHeight(-11);
    bmp->Canvas().Font().SetColor(clBlack);
    TRect r = Rect(0, 0, 45, 16);
    bmp->Canvas().DrawText(text, r, flags);
    return bmp;
  };
  // Rows of two- and three-byte letters ("Ж", "Щ", "€", "ü") in a box that
  // holds a few of them and the dots.
  for (const std::string letter : {"\xD0\x96", "\xD0\xA9", "\xE2\x82\xAC", "\xC3\xBC"}) {
    std::string row;
    for (int i = 0; i < 12; ++i) row += letter;
    const auto cut = draw(row, DT_SINGLELINE | DT_END_ELLIPSIS);
    // The longest run of whole letters that fits with the dots.
    std::string fits = row;
    while (!fits.empty() && cut->Canvas().TextWidth(fits + "...") > 45)
      fits.resize(fits.size() - letter.size());
    ASSERT_FALSE(fits.empty());
    const auto expected = draw(fits + "...", DT_SINGLELINE);
    EXPECT_EQ(*cut->Canvas().Image(), *expected->Canvas().Image()) << letter;
  }
}

TEST(FileSystemNames, AreSpelledAsTheSystemSpellsThem) {
  // "Prüfung-Привет-€.txt"
  const std::string name =
      "Pr\xC3\xBC"
      "fung-\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82-\xE2\x82\xAC.txt";
  const QByteArray system = QFile::encodeName(Q(name));
  EXPECT_EQ(ToFileSystemName(name), std::string(system.constData(), system.size()));
  EXPECT_EQ(FromFileSystemName(ToFileSystemName(name)), name);
}

}  // namespace
