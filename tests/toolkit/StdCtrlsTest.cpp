// The standard controls and the application's windows, driven as a user
// drives them (keys and clicks through Qt), plus the top-level error box.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/PaintWatch.h"
#include "toolkit/Buttons.h"
#include "toolkit/Dialogs.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"
#include "toolkit/StdCtrls.h"

namespace {

class StdCtrlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetClientSize(300, 200);
    form_->Show();
    Application->ProcessMessages();
  }
  std::unique_ptr<TForm> form_;
};

// Counts the events of one type a widget receives while it lives.
struct TEventCounter : QObject {
  TEventCounter(QObject* watched, QEvent::Type type) : type_(type) {
    watched->installEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == type_) ++count;
    return false;
  }
  int count = 0;

 private:
  QEvent::Type type_;
};

TComboBox* MakeCountBox(TForm* form) {
  auto* c = new TComboBox(form);
  c->SetParent(form);
  c->SetBounds(10, 10, 100, 21);
  for (const char* item : {"3", "5", "10", "50", "100", "Until Cancel"}) c->Items().Add(item);
  c->SetItemIndex(0);
  return c;
}

TEST_F(StdCtrlsTest, ControlsReadWithTheirFormShowTheirLastFontAndColourOnceLoaded) {
  // A form being read: its controls' font and colours change several times
  // before it is loaded; what shows is the last of them.
  TForm form(nullptr);
  form.BeginLoading();
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  edit->SetBounds(4, 4, 120, 21);
  auto* combo = MakeCountBox(&form);
  for (TWinControl* c : std::initializer_list<TWinControl*>{edit, combo}) {
    c->SetColor(clRed);
    c->Font().SetHeight(-13);
    c->Font().SetColor(clBlue);
    c->SetColor(0x00494E49);
    c->Font().SetHeight(-15);
    c->Font().SetColor(0x00D2D2D2);
  }
  form.EndLoading();
  for (TWinControl* c : std::initializer_list<TWinControl*>{edit, combo}) {
    const QWidget* w = c->Handle();
    EXPECT_EQ(w->font().pixelSize(), 15) << c->Name();
    EXPECT_EQ(w->palette().color(QPalette::Base), QColor(0x49, 0x4E, 0x49));
    EXPECT_EQ(w->palette().color(QPalette::Text), QColor(0xD2, 0xD2, 0xD2));
  }
  EXPECT_EQ(combo->Editor()->lineEdit()->font().pixelSize(), 15);
  // Once loaded, a change shows at once.
  edit->Font().SetHeight(-11);
  edit->SetColor(clWhite);
  EXPECT_EQ(edit->Handle()->font().pixelSize(), 11);
  EXPECT_EQ(edit->Handle()->palette().color(QPalette::Base), QColor(255, 255, 255));
}

TEST_F(StdCtrlsTest, AComboListDroppedBeforeTheBoxFirstPaintedOffersItsItems) {
  // Nothing is processed between making the box and F4: the list drops down
  // before the box has ever painted.
  TComboBox* c = MakeCountBox(form_.get());
  c->SetItemHeight(17);
  c->Font().SetHeight(-15);
  int drops = 0, closes = 0, changes = 0;
  c->OnDropDown = TNotifyEvent([&](TObject*) { ++drops; });
  c->OnCloseUp = TNotifyEvent([&](TObject*) { ++closes; });
  c->OnChange = TNotifyEvent([&](TObject*) { ++changes; });
  EXPECT_FALSE(c->DroppedDown());
  // The box completes typed text itself, with no completer of Qt's.
  EXPECT_EQ(c->Editor()->completer(), nullptr);
  EXPECT_EQ(c->Editor()->lineEdit()->completer(), nullptr);
  // Making the list changes nothing the editor shows (it would repaint).
  c->SetColor(0x00494E49);
  TEventCounter palette_changes(c->Editor()->lineEdit(), QEvent::PaletteChange);
  c->SetFocus();
  QTest::keyClick(c->Handle(), Qt::Key_F4);
  EXPECT_EQ(palette_changes.count, 0);
  EXPECT_TRUE(c->DroppedDown());
  EXPECT_TRUE(c->ListShowing());
  EXPECT_EQ(drops, 1);
  QAbstractItemView* view = c->Editor()->view();
  EXPECT_EQ(view->font(), c->Editor()->font()) << "the list shows the box's font";
  EXPECT_EQ(view->font().pixelSize(), 15);
  ASSERT_EQ(view->model()->rowCount(), 6);
  EXPECT_EQ(view->model()->index(5, 0).data().toString(), QStringLiteral("Until Cancel"));
  for (int row = 0; row < 6; ++row)
    EXPECT_EQ(view->sizeHintForIndex(view->model()->index(row, 0)).height(), 17) << row;
  // Picking from the list selects the item and closes it.
  QTest::keyClick(view, Qt::Key_Down);
  QTest::keyClick(view, Qt::Key_Return);
  Application->ProcessMessages();
  EXPECT_EQ(c->ItemIndex(), 1);
  EXPECT_EQ(c->Text(), "5");
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(c->ListShowing());
  EXPECT_EQ(closes, 1);
  // Dropped again, it is the same list, and Escape closes it.
  c->SetDroppedDown(true);
  EXPECT_EQ(c->Editor()->view(), view);
  EXPECT_EQ(drops, 2);
  QTest::keyClick(view, Qt::Key_Escape);
  Application->ProcessMessages();
  EXPECT_FALSE(c->ListShowing());
  EXPECT_EQ(closes, 2);
}

// A control that counts the paints of its frame.
template <class Control>
struct TFrameCounting : Control {
  using Control::Control;
  void PaintFrame(HDC dc) override {
    ++frames;
    Control::PaintFrame(dc);
  }
  int frames = 0;
};

TEST_F(StdCtrlsTest, ACaretBlinkInAComboBoxPaintsTheFieldBeneathItOnly) {
  // The box paints every pixel of itself: what changes in its editor (the
  // caret, twice a second while it has the focus) repaints the box under
  // the editor, never the parent under the box, nor the box's frame.
  // As on Windows, the frame is painted only when what is repainted reaches
  // it.
  auto* c = new TFrameCounting<TComboBox>(form_.get());
  c->SetParent(form_.get());
  c->SetBounds(10, 10, 100, 21);
  c->Items().Add("50");
  c->SetItemIndex(0);
  c->SetFocus();
  Application->ProcessMessages();
  c->frames = 0;
  QWidget* box = c->Editor();
  QLineEdit* editor = c->Editor()->lineEdit();
  ASSERT_NE(editor, nullptr);
  sxtest::TPaintWatch parent(box->parentWidget());
  sxtest::TPaintWatch painted_box(box);
  const QRect caret(editor->inputMethodQuery(Qt::ImCursorRectangle).toRect().adjusted(-4, 0, 4, 0));
  editor->update(caret);
  Application->ProcessMessages();
  EXPECT_TRUE(parent.Painted().isEmpty()) << "painted beneath the box";
  const QRect under_caret = painted_box.Painted().boundingRect();
  EXPECT_FALSE(under_caret.isEmpty());
  EXPECT_TRUE(caret.translated(editor->pos()).contains(under_caret)) << "painted beside the caret";
  EXPECT_EQ(c->frames, 0) << "the frame painted for a caret inside the field";
  box->update(QRect(0, 5, 4, 4));
  Application->ProcessMessages();
  EXPECT_EQ(c->frames, 1) << "the frame not painted where it was to be";
  // What makes that sound: the box leaves no pixel of itself unpainted.
  QImage rendered(box->size(), QImage::Format_RGB32);
  const QRgb unpainted = qRgb(255, 0, 255);
  rendered.fill(unpainted);
  box->render(&rendered, QPoint(), QRegion(), QWidget::DrawChildren);
  int left = 0;
  for (int y = 0; y < rendered.height(); ++y)
    for (int x = 0; x < rendered.width(); ++x) left += rendered.pixel(x, y) == unpainted;
  EXPECT_EQ(left, 0) << "pixels of the box it does not paint";

  // The same for an edit, whose editor Qt paints: its frame stays as it is
  // while the caret blinks inside.
  auto* edit = new TFrameCounting<TEdit>(form_.get());
  edit->SetParent(form_.get());
  edit->SetBounds(10, 40, 100, 21);
  edit->SetText("127.0.0.1");
  Application->ProcessMessages();
  edit->frames = 0;
  edit->Handle()->update(QRect(10, 4, 10, 13));
  Application->ProcessMessages();
  EXPECT_EQ(edit->frames, 0) << "the edit's frame painted for its caret";
  edit->Handle()->update(QRect(0, 4, 10, 13));
  Application->ProcessMessages();
  EXPECT_EQ(edit->frames, 1) << "the edit's frame not painted where it was to be";
}

TEST_F(StdCtrlsTest, EditableComboSelectsWhatTheTextCompletesTo) {
  TComboBox* c = MakeCountBox(form_.get());
  EXPECT_EQ(c->Text(), "3");
  int changes = 0;
  c->OnChange = TNotifyEvent([&](TObject*) { ++changes; });
  c->SetFocus();
  c->Editor()->lineEdit()->selectAll();

  // "1" completes to "10", the completed part selected.
  QTest::keyClicks(c->Handle(), "1");
  EXPECT_EQ(c->Text(), "10");
  EXPECT_EQ(c->ItemIndex(), 2);
  EXPECT_EQ(c->SelStart(), 1);
  EXPECT_EQ(c->SelLength(), 1);
  EXPECT_EQ(changes, 1);

  // "12" begins no item: nothing selected, the text as typed.
  QTest::keyClicks(c->Handle(), "2");
  EXPECT_EQ(c->Text(), "12");
  EXPECT_EQ(c->ItemIndex(), -1);
  EXPECT_EQ(changes, 2);

  // Deleting back to "1": no item is "1".
  QTest::keyClick(c->Handle(), Qt::Key_Backspace);
  EXPECT_EQ(c->Text(), "1");
  EXPECT_EQ(c->ItemIndex(), -1);
  EXPECT_EQ(changes, 3);

  // Completion ignores case.
  c->Editor()->lineEdit()->selectAll();
  QTest::keyClicks(c->Handle(), "u");
  EXPECT_EQ(c->Text(), "Until Cancel");
  EXPECT_EQ(c->ItemIndex(), 5);

  // Picking from the list (arrow keys) selects and fires OnChange.
  c->SetItemIndex(1);
  changes = 0;
  QTest::keyClick(c->Handle(), Qt::Key_Down);
  EXPECT_EQ(c->ItemIndex(), 2);
  EXPECT_EQ(c->Text(), "10");
  EXPECT_EQ(changes, 1);

  // Enter neither picks nor adds an item.
  c->Editor()->lineEdit()->selectAll();
  QTest::keyClicks(c->Handle(), "77");
  QTest::keyClick(c->Handle(), Qt::Key_Return);
  EXPECT_EQ(c->Items().Count(), 6);
  EXPECT_EQ(c->ItemIndex(), -1);
  EXPECT_EQ(c->Text(), "77");

  // No item selected by the program empties the text; the text alone
  // selects nothing.
  c->SetItemIndex(2);
  c->SetItemIndex(-1);
  EXPECT_EQ(c->Text(), "");
  c->SetText("10 msec");
  EXPECT_EQ(c->ItemIndex(), -1);
  EXPECT_EQ(c->Text(), "10 msec");
}

TEST_F(StdCtrlsTest, KeyPressSeesEnterAsThirteenWithoutConsumingIt) {
  auto* memo = new TMemo(form_.get());
  memo->SetParent(form_.get());
  memo->SetBounds(0, 40, 200, 100);
  std::vector<int> keys;
  memo->OnKeyPress = TKeyPressEvent([&](TObject*, char& key) { keys.push_back(key); });
  memo->SetFocus();
  QTest::keyClicks(memo->Handle(), "ab");
  QTest::keyClick(memo->Handle(), Qt::Key_Return);
  QTest::keyClicks(memo->Handle(), "c");
  EXPECT_EQ(keys, (std::vector<int>{'a', 'b', 13, 'c'}));
  EXPECT_EQ(memo->Text(), "ab\r\nc");
  EXPECT_EQ(memo->Lines().Count(), 2);

  // A handler that zeroes the key keeps it from the editor.
  memo->OnKeyPress = TKeyPressEvent([](TObject*, char& key) {
    if (key == 'x') key = 0;
  });
  QTest::keyClicks(memo->Handle(), "xyx");
  EXPECT_EQ(memo->Text(), "ab\r\ncy");

  auto* edit = new TEdit(form_.get());
  edit->SetParent(form_.get());
  int enters = 0;
  edit->OnKeyPress = TKeyPressEvent([&](TObject*, char& key) { enters += key == '\r'; });
  edit->SetFocus();
  QTest::keyClicks(edit->Handle(), "127.0.0.1");
  QTest::keyClick(edit->Handle(), Qt::Key_Return);
  EXPECT_EQ(enters, 1);
  EXPECT_EQ(edit->Text(), "127.0.0.1");
}

TEST_F(StdCtrlsTest, MemoLinesCountWithoutTheEmptyLastLine) {
  auto* memo = new TMemo(form_.get());
  memo->SetParent(form_.get());
  EXPECT_EQ(memo->Lines().Count(), 0);
  memo->Lines().Add("Resolving host 'a'");
  EXPECT_EQ(memo->Lines().Count(), 1);
  EXPECT_EQ(memo->Text(), "Resolving host 'a'\r\n");
  memo->Lines().Add("");
  memo->Lines().Add("x");
  EXPECT_EQ(memo->Lines().Count(), 3);
  EXPECT_EQ(memo->Text(), "Resolving host 'a'\r\n\r\nx\r\n");
  EXPECT_EQ(memo->Lines()[2], "x");
  // Appending to text without a final break starts a new line first.
  memo->SetText("typed");
  memo->Lines().Add("next");
  EXPECT_EQ(memo->Text(), "typed\r\nnext\r\n");
  memo->Lines().Delete(0);
  EXPECT_EQ(memo->Text(), "next\r\n");
  memo->Clear();
  EXPECT_EQ(memo->Lines().Count(), 0);
  EXPECT_THROW(memo->Lines()[0], EStringListError);
}

// What a memo's view repaints, and whether what the window shows is what a
// full repaint of the memo would show.
class TMemoRepaints {
 public:
  explicit TMemoRepaints(TMemo* memo) : memo_(memo), watch_(memo->Editor()->viewport()) {}
  QRegion Painted() const { return watch_.Painted(); }
  void Reset() { watch_.Take(); }
  // The view's pixels in the window against the view rendered anew.
  bool ShowsWhatItHolds() const {
    QWidget* view = memo_->Editor()->viewport();
    QWidget* window = view->window();
    const QImage shown = window->screen()->grabWindow(window->winId()).toImage();
    const QPoint at = view->mapTo(window, QPoint(0, 0));
    const QImage on_screen =
        shown.copy(QRect(at, view->size())).convertToFormat(QImage::Format_RGB32);
    const QImage rendered = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    return on_screen == rendered;
  }

 private:
  TMemo* memo_;
  sxtest::TPaintWatch watch_;
};

TMemo* MakeLog(TForm* form) {
  auto* memo = new TMemo(form);
  memo->SetParent(form);
  memo->SetBounds(10, 10, 200, 120);
  memo->SetScrollBars(TScrollStyle::ssVertical);
  return memo;
}

int LineHeight(TMemo* memo) {
  return QFontMetrics(memo->Editor()->font()).lineSpacing();
}

// The rows of the last `lines` lines with text (one block each), in the view.
QRect LastTextLines(TMemo* memo, int lines = 1) {
  QPlainTextEdit* e = memo->Editor();
  QTextBlock last = e->document()->lastBlock();
  if (last.text().isEmpty()) last = last.previous();
  QTextBlock first = last;
  for (int i = 1; i < lines; ++i) first = first.previous();
  const QRect top = e->cursorRect(QTextCursor(first));
  const QRect bottom = e->cursorRect(QTextCursor(last));
  return {0, top.top(), e->viewport()->width(), bottom.bottom() + 1 - top.top()};
}

TEST_F(StdCtrlsTest, MemoRepaintsTheAddedLineNotTheView) {
  TMemo* memo = MakeLog(form_.get());
  memo->Lines().Add("Resolving host 'a'");
  memo->Lines().Add("Host 'a' is 127.0.0.1");
  Application->ProcessMessages();
  TMemoRepaints repaints(memo);
  const int line = LineHeight(memo);

  // Before the view is full: the new line's band only (with the empty
  // line after the final break, where the caret goes).
  memo->Lines().Add("Sending 56 bytes to 127.0.0.1");
  Application->ProcessMessages();
  QRect painted = repaints.Painted().boundingRect();
  EXPECT_GE(painted.top(), 2 * line - 1);
  EXPECT_LE(painted.height(), 2 * line + 3);
  EXPECT_TRUE(repaints.ShowsWhatItHolds());

  // Once it scrolls: the lines that came in at the bottom, the rest moved.
  for (int i = 0; i < 20; ++i) memo->Lines().Add("Received 56 bytes in 1 msecs");
  Application->ProcessMessages();
  repaints.Reset();
  memo->Lines().Add("Sending 56 bytes to 127.0.0.1 (last)");
  Application->ProcessMessages();
  painted = repaints.Painted().boundingRect();
  EXPECT_LE(painted.height(), 4 * line);
  EXPECT_EQ(painted.bottom(), LastTextLines(memo).bottom());
  EXPECT_TRUE(repaints.ShowsWhatItHolds());

  // The caret goes to the end, from a selection or from the end itself.
  QTextCursor selected(memo->Editor()->document()->findBlockByNumber(1));
  selected.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  memo->Editor()->setTextCursor(selected);
  memo->Lines().Add("after a selection");
  const int end = memo->Editor()->document()->characterCount() - 1;
  EXPECT_FALSE(memo->Editor()->textCursor().hasSelection());
  EXPECT_EQ(memo->Editor()->textCursor().position(), end);
  memo->Lines().Add("after the end");
  EXPECT_EQ(memo->Editor()->textCursor().position(),
            memo->Editor()->document()->characterCount() - 1);
}

TEST_F(StdCtrlsTest, MemoEditsAboveTheEndRepaintWhatMoved) {
  TMemo* memo = MakeLog(form_.get());
  for (const char* l : {"one", "two", "three", "four"}) memo->Lines().Add(l);
  Application->ProcessMessages();
  TMemoRepaints repaints(memo);
  const int line = LineHeight(memo);
  const int view = memo->Editor()->viewport()->height();

  // A line removed in the middle moves every line below it up.
  memo->Lines().Delete(1);
  Application->ProcessMessages();
  QRect painted = repaints.Painted().boundingRect();
  EXPECT_LE(painted.top(), line + 2);
  EXPECT_GE(painted.bottom(), view - 1);
  EXPECT_TRUE(repaints.ShowsWhatItHolds());

  // A line inserted in the middle pushes them down.
  repaints.Reset();
  memo->Lines().Insert(2, "between");
  Application->ProcessMessages();
  painted = repaints.Painted().boundingRect();
  EXPECT_GE(painted.bottom(), view - 1);
  EXPECT_TRUE(repaints.ShowsWhatItHolds());

  // Typing within a line that keeps its height: that line.
  memo->SetFocus();
  QTextCursor c(memo->Editor()->document()->findBlockByNumber(1));
  c.movePosition(QTextCursor::EndOfBlock);
  memo->Editor()->setTextCursor(c);
  Application->ProcessMessages();
  repaints.Reset();
  QTest::keyClicks(memo->Editor(), "x");
  Application->ProcessMessages();
  EXPECT_EQ(memo->Lines()[1], "threex");
  painted = repaints.Painted().boundingRect();
  EXPECT_LE(painted.height(), line + 3);
  EXPECT_TRUE(repaints.ShowsWhatItHolds());

  // Emptied: all of it.
  repaints.Reset();
  memo->Clear();
  Application->ProcessMessages();
  EXPECT_TRUE(repaints.Painted().contains(QRect(0, 0, 1, view)));
  EXPECT_TRUE(repaints.ShowsWhatItHolds());
}

TEST_F(StdCtrlsTest, FullMemoPaintsOnlyTheLinesAnEchoAdds) {
  TMemo* memo = MakeLog(form_.get());
  for (int i = 0; i < 30; ++i) memo->Lines().Add("Received 56 bytes in " + std::to_string(i));
  Application->ProcessMessages();
  TMemoRepaints repaints(memo);
  const int line = LineHeight(memo);
  QWidget* view = memo->Editor()->viewport();
  // Blank rows below the last line (the empty line after the final break
  // and the rest of the view) must be there for this test to mean anything.
  ASSERT_LT(LastTextLines(memo).bottom() + line, view->height() - 1);

  // An echo: request and reply in one pass, as the series loop logs them.
  for (int echo = 0; echo < 4; ++echo) {
    repaints.Reset();
    memo->Lines().Add("Sending #" + std::to_string(echo));
    memo->Lines().Add("Received #" + std::to_string(echo));
    Application->ProcessMessages();
    EXPECT_EQ(repaints.Painted(), QRegion(LastTextLines(memo, 2))) << "echo " << echo;
    EXPECT_TRUE(repaints.ShowsWhatItHolds()) << "echo " << echo;
  }

  // One line alone: its rows.
  repaints.Reset();
  memo->Lines().Add("Ping finished");
  Application->ProcessMessages();
  EXPECT_EQ(repaints.Painted(), QRegion(LastTextLines(memo)));
  EXPECT_TRUE(repaints.ShowsWhatItHolds());
}

TEST_F(StdCtrlsTest, MemoScrolledByHandShowsWhatItHolds) {
  TMemo* memo = MakeLog(form_.get());
  for (int i = 0; i < 40; ++i) memo->Lines().Add("line " + std::to_string(i));
  Application->ProcessMessages();
  TMemoRepaints repaints(memo);
  QScrollBar* bar = memo->Editor()->verticalScrollBar();
  const int view = memo->Editor()->viewport()->height();

  // Up and down a line or a few at the end, where the view holds blank
  // rows below the text, and in the middle, where text fills it.
  for (const int to :
       {bar->maximum() - 1, bar->maximum(), bar->maximum() - 3, 10, 11, 8, bar->maximum(), 0, 1}) {
    repaints.Reset();
    bar->setValue(to);
    Application->ProcessMessages();
    EXPECT_TRUE(repaints.ShowsWhatItHolds()) << "to " << to;
  }
  // A jump past the view's height paints it whole.
  repaints.Reset();
  bar->setValue(bar->maximum());
  Application->ProcessMessages();
  EXPECT_TRUE(repaints.Painted().contains(QRect(0, 0, 1, view)));
  EXPECT_TRUE(repaints.ShowsWhatItHolds());

  // Long lines wrapped over several rows: a line's scroll within a block.
  memo->Clear();
  for (int i = 0; i < 12; ++i)
    memo->Lines().Add("wrapped " + std::to_string(i) + std::string(60, 'w') + " end");
  Application->ProcessMessages();
  ASSERT_GT(memo->Editor()->document()->lastBlock().previous().lineCount(), 1);
  for (const int to : {0, 1, 2, 3, 2, 1, 5, bar->maximum(), bar->maximum() - 1}) {
    bar->setValue(to);
    Application->ProcessMessages();
    EXPECT_TRUE(repaints.ShowsWhatItHolds()) << "wrapped, to " << to;
  }

  // Lines appended with the caret in the memo: the caret's empty line is
  // painted too, and the view still shows what it holds.
  memo->SetFocus();
  Application->ProcessMessages();
  for (int i = 0; i < 3; ++i) {
    repaints.Reset();
    memo->Lines().Add("with the caret " + std::to_string(i));
    Application->ProcessMessages();
    EXPECT_TRUE(repaints.ShowsWhatItHolds()) << i;
  }
}

TEST_F(StdCtrlsTest, LongLogKeepsTheGlyphsOfItsLastLinesOnly) {
  TMemo* memo = MakeLog(form_.get());
  // The same text, set at once (no appends): what every line must look like.
  TMemo* plain = MakeLog(form_.get());
  plain->SetLeft(220);
  std::string text;
  for (int i = 0; i < 400; ++i) {
    const std::string line = "Received 56 bytes in " + std::to_string(i) + " msecs";
    memo->Lines().Add(line);
    text += line + "\r\n";
    if (i % 50 == 0) Application->ProcessMessages();
  }
  plain->SetText(text);
  Application->ProcessMessages();
  ASSERT_EQ(memo->Text(), plain->Text());

  // The newest lines keep their glyphs for the paint; old ones let them go.
  const QTextDocument* doc = memo->Editor()->document();
  EXPECT_TRUE(doc->findBlockByNumber(399).layout()->cacheEnabled());
  EXPECT_TRUE(doc->findBlockByNumber(300).layout()->cacheEnabled());
  int keeping = 0;
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
    keeping += b.layout()->cacheEnabled();
  EXPECT_LE(keeping, 2 * 128 + 2);
  EXPECT_FALSE(doc->findBlockByNumber(10).layout()->cacheEnabled());

  // Old lines scrolled back into view are drawn as a memo that never
  // appended them draws them; a line read back is the same.
  for (const int to : {0, 5, 120, 200, 390}) {
    memo->Editor()->verticalScrollBar()->setValue(to);
    plain->Editor()->verticalScrollBar()->setValue(to);
    Application->ProcessMessages();
    const QImage a = memo->Editor()->viewport()->grab().toImage();
    const QImage b = plain->Editor()->viewport()->grab().toImage();
    EXPECT_EQ(a, b) << "at line " << to;
    EXPECT_TRUE(TMemoRepaints(memo).ShowsWhatItHolds()) << "at line " << to;
  }
  EXPECT_EQ(memo->Lines()[7], "Received 56 bytes in 7 msecs");

  // Emptied and filled again: the new lines keep theirs.
  memo->Clear();
  for (int i = 0; i < 3; ++i) memo->Lines().Add("again " + std::to_string(i));
  Application->ProcessMessages();
  EXPECT_TRUE(doc->findBlockByNumber(2).layout()->cacheEnabled());
  EXPECT_TRUE(TMemoRepaints(memo).ShowsWhatItHolds());
}

// Closes the next message box that appears, recording what it showed.
struct TBoxAnswer {
  std::string text, caption;
  TMsgDlgType type = mtCustom;
  std::vector<std::string> buttons;
  int handle = 0;
  TModalResult answer = mrOk;
  TBoxAnswer() {
    handle = Application->HookWindows([this](TWindowHookKind kind, QWidget* w) {
      auto* box = dynamic_cast<TMessageForm*>(FindControl(w));
      if (kind != TWindowHookKind::whCreate || !box) return;
      text = box->Message();
      caption = box->Caption();
      type = box->DlgType();
      for (int i = 0; i < box->ButtonCount(); ++i) buttons.push_back(box->Button(i)->Caption());
      const TModalResult r = answer;
      // Pressed as a user would, once the box waits.
      QTimer::singleShot(0, w, [box, r] {
        TBitBtn* b = box->FindButton(r);
        QTest::mouseClick(b->Handle(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
      });
    });
  }
  ~TBoxAnswer() { Application->UnhookWindows(handle); }
};

TEST_F(StdCtrlsTest, TopLevelHandlerShowsTheErrorBox) {
  Application->SetTitle("Sonarix - a Ping Utility");
  TBoxAnswer answer;
  try {
    throw ERangeError();
  } catch (...) {
    Application->HandleException(form_.get());
  }
  EXPECT_EQ(answer.text, "Range check error.");
  EXPECT_EQ(answer.caption, "Sonarix - a Ping Utility");
  EXPECT_EQ(answer.type, mtError);
  EXPECT_EQ(answer.buttons, std::vector<std::string>{"OK"});

  // An exception escaping a handler run by Qt ends there, shown the same way.
  auto* button = new TBitBtn(form_.get());
  button->SetParent(form_.get());
  button->OnClick = TNotifyEvent([](TObject*) { throw Exception("Unable to get ping handle"); });
  answer.text.clear();
  QTest::mouseClick(button->Handle(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  EXPECT_EQ(answer.text, "Unable to get ping handle.");
}

TEST_F(StdCtrlsTest, MessageBoxAnswersWithThePressedButton) {
  TBoxAnswer answer;
  answer.answer = mrNo;
  EXPECT_EQ(Application->MessageBox("Replace?", "Question", MB_YESNO | MB_ICONQUESTION), IDNO);
  EXPECT_EQ(answer.caption, "Question");
  EXPECT_EQ(answer.type, mtConfirmation);
  EXPECT_EQ(answer.buttons, (std::vector<std::string>{"&Yes", "&No"}));
}

TEST_F(StdCtrlsTest, ShowModalReturnsTheResultAndCloseCancels) {
  TForm dialog(nullptr);
  auto* ok = new TBitBtn(&dialog);
  ok->SetParent(&dialog);
  ok->SetKind(bkOK);
  EXPECT_EQ(ok->Caption(), "OK");
  EXPECT_EQ(ok->ModalResult(), mrOk);
  QTimer::singleShot(0, ok->Handle(), [ok] {
    QTest::mouseClick(ok->Handle(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  });
  EXPECT_EQ(dialog.ShowModal(), mrOk);
  EXPECT_FALSE(dialog.Visible());
  QTimer::singleShot(0, dialog.Handle(), [&dialog] { dialog.Close(); });
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  // A visible window cannot become modal.
  dialog.Show();
  EXPECT_THROW(dialog.ShowModal(), EInvalidOperation);
}

TEST_F(StdCtrlsTest, FramePaintingCanBeReplaced) {
  auto* edit = new TEdit(form_.get());
  edit->SetParent(form_.get());
  edit->SetBounds(10, 10, 100, 21);
  EXPECT_EQ(edit->FrameMargins(), Rect(2, 2, 2, 2));
  EXPECT_EQ(edit->ClientWidth(), 96);
  const TWndMethod old = edit->WindowProc();
  int frames = 0;
  edit->SetWindowProc(TWndMethod([&](TMessage& m) {
    if (m.Msg == WM_NCPAINT && m.WParam) {
      ++frames;
      HDC dc = reinterpret_cast<HDC>(m.WParam);
      dc->fillRect(QRect(0, 0, edit->Width(), 2), QColor(255, 0, 255));
      return;
    }
    old(m);
  }));
  const QImage img = edit->Handle()->grab().toImage();
  EXPECT_GE(frames, 1);
  EXPECT_EQ(img.pixelColor(50, 0), QColor(255, 0, 255));
  edit->SetWindowProc(old);

  // A form frame the program paints: the client area moves in by it.
  auto* panel = new TPanel(form_.get());
  panel->SetParent(form_.get());
  panel->SetAlign(alClient);
  form_->SetFrameMargins(Rect(4, 20, 4, 4));
  EXPECT_EQ(form_->ClientWidth(), form_->Width() - 8);
  EXPECT_EQ(panel->Handle()->geometry(), QRect(4, 20, form_->Width() - 8, form_->Height() - 24));
}

TEST_F(StdCtrlsTest, SuspendedFormDoesNotPaintUntilResumed) {
  class TCounter : public TPanel {
   public:
    using TPanel::TPanel;
    int paints = 0;

   protected:
    void Paint() override {
      ++paints;
      TPanel::Paint();
    }
  };
  auto* panel = new TCounter(form_.get());
  panel->SetParent(form_.get());
  panel->SetBounds(0, 0, 50, 50);
  Application->ProcessMessages();
  form_->RepaintAll();
  const int before = panel->paints;
  EXPECT_GT(before, 0);
  form_->SetRedraw(false);
  panel->Repaint();
  form_->RepaintAll();
  EXPECT_EQ(panel->paints, before);
  Application->ProcessMessages();
  EXPECT_EQ(panel->paints, before);
  form_->SetRedraw(true);
  Application->ProcessMessages();
  EXPECT_GT(panel->paints, before);
}

TEST_F(StdCtrlsTest, WindowHookReportsCreationAndDestruction) {
  std::vector<std::pair<TWindowHookKind, std::string>> seen;
  const int h = Application->HookWindows([&](TWindowHookKind kind, QWidget* w) {
    if (TWinControl* c = FindControl(w)) seen.emplace_back(kind, c->Name());
  });
  {
    TForm other(nullptr);
    other.SetName("Other");
    other.Show();
    other.Hide();
    other.Show();
  }
  Application->UnhookWindows(h);
  ASSERT_GE(seen.size(), 1u);
  EXPECT_EQ(seen.front(), std::make_pair(TWindowHookKind::whCreate, std::string("Other")));
  EXPECT_EQ(std::count_if(seen.begin(), seen.end(),
                          [](const auto& s) { return s.first == TWindowHookKind::whCreate; }),
            1);
}

}  // namespace

// A folder whose files block when read (the kernel's message buffer in
// /proc) must not freeze the save dialog: it lists names without reading
// what the files hold. A watchdog ends the test if the dialog hangs.
TEST_F(StdCtrlsTest, SaveDialogListsAFolderOfBlockingFilesWithoutReadingThem) {
  if (::access("/proc/kmsg", R_OK) != 0) GTEST_SKIP() << "needs read access to /proc/kmsg";
  std::atomic<bool> done{false};
  std::thread watchdog([&] {
    for (int i = 0; i < 200 && !done; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!done) {
      std::fprintf(stderr, "the save dialog froze listing /proc\n");
      std::_Exit(1);
    }
  });
  bool listed = false;
  QTimer::singleShot(1500, [&] {
    if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
      listed = d->directory().absolutePath() == QStringLiteral("/proc");
      d->reject();
    }
  });
  TSaveDialog dialog(nullptr);
  dialog.SetFileName("/proc/SonarixLog.txt");
  dialog.SetFilter("Text File (*.txt)|*.txt|All files (*.*)|*.*");
  dialog.SetFilterIndex(2);
  EXPECT_FALSE(dialog.Execute());
  done = true;
  watchdog.join();
  EXPECT_TRUE(listed);
}
