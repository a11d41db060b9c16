#include "toolkit/StdCtrls.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputMethod>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QtMath>

#include <algorithm>
#include <cctype>
#include <limits>
#include <utility>

#include "platform/SystemMetrics.h"
#include "toolkit/Forms.h"
#include "toolkit/Guards.h"
#include "toolkit/ScrollBars.h"
#include "toolkit/SysUtils.h"
#include "toolkit/WidgetBridge.h"

namespace {

// Letters of every script compare without case, as the user sees them.
bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
  return ToQString(s).startsWith(ToQString(prefix), Qt::CaseInsensitive);
}

bool SameNoCase(const std::string& a, const std::string& b) {
  return ToQString(a).compare(ToQString(b), Qt::CaseInsensitive) == 0;
}

// Line breaks as the controls' text holds them (CR LF) to Qt's (LF) and back.
QString ToQLines(const std::string& text) {
  std::string s;
  s.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      s += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      s += text[i];
    }
  }
  return ToQString(s);
}

std::string FromQLines(const QString& text) {
  const std::string s = FromQString(text);
  std::string out;
  out.reserve(s.size() + s.size() / 16);
  for (char c : s) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace

void DrawSunkenEdge(HDC dc, const TRect& rect) {
  if (!dc || rect.Width() < 2 || rect.Height() < 2) return;
  auto line = [dc](int x1, int y1, int x2, int y2, TColor c) {
    dc->setPen(ToQColor(c));
    dc->drawLine(x1, y1, x2, y2);
  };
  const int l = rect.Left, t = rect.Top, r = rect.Right - 1, b = rect.Bottom - 1;
  line(l, t, r - 1, t, clBtnShadow);
  line(l, t, l, b - 1, clBtnShadow);
  line(l, b, r, b, clBtnHighlight);
  line(r, t, r, b, clBtnHighlight);
  line(l + 1, t + 1, r - 2, t + 1, cl3DDkShadow);
  line(l + 1, t + 1, l + 1, b - 2, cl3DDkShadow);
  line(l + 1, b - 1, r - 1, b - 1, cl3DLight);
  line(r - 1, t + 1, r - 1, b - 1, cl3DLight);
}

// ---- TStrings ----------------------------------------------------------------

std::string TStrings::Text() const {
  std::string s;
  for (int i = 0; i < Count(); ++i) {
    s += Strings(i);
    s += "\r\n";
  }
  return s;
}

void TStrings::SetText(const std::string& text) {
  Clear();
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      Add(text.substr(start));
      break;
    }
    Add(text.substr(start, end - start));
    if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
}

// ---- TCustomLabel -------------------------------------------------------------

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) {
  SetControlStyle(ControlStyle() | csOpaque | csReplicatable);
  SetBounds(0, 0, 65, 17);
  auto_size_ = true;
}

void TCustomLabel::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Invalidate();
}

void TCustomLabel::SetLayout(TTextLayout value) {
  if (value == layout_) return;
  layout_ = value;
  Invalidate();
}

void TCustomLabel::SetWordWrap(bool value) {
  if (value == word_wrap_) return;
  word_wrap_ = value;
  if (CanAutoSizeNow()) AdjustSize();
  Invalidate();
}

void TCustomLabel::SetTransparent(bool value) {
  if (value == Transparent()) return;
  if (value)
    SetControlStyle(ControlStyle() & ~csOpaque);
  else
    SetControlStyle(ControlStyle() | csOpaque);
  Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool value) {
  if (value == show_accel_char_) return;
  show_accel_char_ = value;
  if (CanAutoSizeNow()) AdjustSize();
  Invalidate();
}

void TCustomLabel::SetFocusControl(TWinControl* control) {
  if (control == focus_control_) return;
  if (focus_control_) focus_control_->RemoveFreeNotification(this);
  focus_control_ = control;
  if (control) control->FreeNotification(this);
}

void TCustomLabel::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == focus_control_) focus_control_ = nullptr;
}

unsigned TCustomLabel::TextFlags() const {
  unsigned flags = DT_EXPANDTABS;
  if (word_wrap_) flags |= DT_WORDBREAK;
  if (!show_accel_char_) flags |= DT_NOPREFIX;
  return flags;
}

unsigned TCustomLabel::AlignmentFlags() const {
  TAlignment a = alignment_;
  if (UseRightToLeftAlignment() && a != taCenter)
    a = a == taLeftJustify ? taRightJustify : taLeftJustify;
  if (a == taCenter) return DT_CENTER;
  return a == taRightJustify ? DT_RIGHT : DT_LEFT;
}

std::string TCustomLabel::TextToDraw(unsigned flags) const {
  std::string text = Caption();
  if ((flags & DT_CALCRECT) && (text.empty() || (show_accel_char_ && text == "&"))) text += " ";
  return text;
}

void TCustomLabel::DrawEmbossed(TCanvas& c, const std::string& text, TRect& rect, unsigned flags) {
  TRect shifted = rect.Offset(1, 1);
  c.Font().SetColor(clBtnHighlight);
  c.DrawText(text, shifted, flags);
  c.Font().SetColor(clBtnShadow);
  c.DrawText(text, rect, flags);
}

void TCustomLabel::DoDrawText(TCanvas& c, TRect& rect, unsigned flags) {
  const std::string text = TextToDraw(flags);
  c.Font().Assign(Font());
  if (!(flags & DT_CALCRECT) && !Enabled()) {
    DrawEmbossed(c, text, rect, flags);
    return;
  }
  c.DrawText(text, rect, flags);
}

void TCustomLabel::Paint() {
  TCanvas& c = Canvas();
  const TRect client = ClientRect();
  if (!Transparent()) {
    c.Brush().SetColor(Color());
    c.Brush().SetStyle(TBrushStyle::bsSolid);
    c.FillRect(client);
  }
  c.Brush().SetStyle(TBrushStyle::bsClear);
  TRect rect = client;
  const unsigned flags = TextFlags() | AlignmentFlags();
  if (layout_ != tlTop) {
    TRect calc = rect;
    DoDrawText(c, calc, flags | DT_CALCRECT);
    const int h = calc.Height();
    if (layout_ == tlBottom)
      rect.Top = rect.Bottom - h;
    else
      rect.Top = (rect.Top + rect.Bottom - h) / 2;
    rect.Bottom = rect.Top + h;
  }
  DoDrawText(c, rect, flags);
}

void TCustomLabel::AdjustSize() {
  if (!auto_size_ || IsLoading()) return;
  TRect rect = ClientRect();
  if (!word_wrap_) rect.Right = rect.Left + 0x7FFF;
  // Measuring needs no window: a scratch canvas with the label's font.
  TBitmap scratch(1, 1);
  DoDrawText(scratch.Canvas(), rect, TextFlags() | DT_CALCRECT);
  int left = Left();
  // A label aligned to the right keeps its right edge.
  if ((AlignmentFlags() & DT_RIGHT) != 0 && !word_wrap_) left = Left() + Width() - rect.Width();
  SetBounds(left, Top(), rect.Width(), rect.Height());
}

void TCustomLabel::Dispatch(TMessage& m) {
  TGraphicControl::Dispatch(m);
  if (m.Msg == CM_TEXTCHANGED || m.Msg == CM_FONTCHANGED) {
    if (CanAutoSizeNow()) AdjustSize();
    Invalidate();
  }
}

// ---- TCustomEdit ----------------------------------------------------------------

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner, new TWidgetBridge<QLineEdit>()) {
  QLineEdit* e = Editor();
  e->setFrame(false);
  e->setAutoFillBackground(true);
  e->setBackgroundRole(QPalette::Base);
  e->setMaxLength(std::numeric_limits<int>::max());
  e->setContextMenuPolicy(Qt::DefaultContextMenu);
  SetColor(clWindow);
  SetTabStop(true);
  SetControlStyle(ControlStyle() | csFramed);
  QObject::connect(e, &QLineEdit::textChanged, e, [this](const QString&) {
    modified_ = true;
    ReportExceptions(this, [this] { Change(); });
  });
  SetBounds(0, 0, 121, 21);
  UpdateWidgetLook();
  e->setContentsMargins(2, 2, 2, 2);
  e->setTextMargins(1, 0, 1, 0);
}

QLineEdit* TCustomEdit::Editor() const {
  return static_cast<QLineEdit*>(Handle());
}

TRect TCustomEdit::DefaultFrameMargins() const {
  return border_style_ == TBorderStyle::bsSingle ? Rect(2, 2, 2, 2) : TRect{};
}

void TCustomEdit::PaintFrame(HDC dc) {
  if (border_style_ == TBorderStyle::bsSingle) DrawSunkenEdge(dc, Rect(0, 0, Width(), Height()));
}

void TCustomEdit::SetBorderStyle(TBorderStyle style) {
  if (style == border_style_) return;
  border_style_ = style;
  const int m = style == TBorderStyle::bsSingle ? 2 : 0;
  Editor()->setContentsMargins(m, m, m, m);
  Invalidate();
}

void TCustomEdit::SetMaxLength(int value) {
  if (value == max_length_) return;
  max_length_ = value;
  Editor()->setMaxLength(value <= 0 ? std::numeric_limits<int>::max() : value);
}

bool TCustomEdit::ReadOnly() const {
  return Editor()->isReadOnly();
}
void TCustomEdit::SetReadOnly(bool value) {
  Editor()->setReadOnly(value);
}

void TCustomEdit::SetPasswordChar(char value) {
  if (value == password_char_) return;
  password_char_ = value;
  Editor()->setEchoMode(value ? QLineEdit::Password : QLineEdit::Normal);
}

int TCustomEdit::SelStart() const {
  const QLineEdit* e = Editor();
  return e->hasSelectedText() ? e->selectionStart() : e->cursorPosition();
}

void TCustomEdit::SetSelStart(int value) {
  Editor()->setCursorPosition(value);
}

int TCustomEdit::SelLength() const {
  return static_cast<int>(Editor()->selectedText().size());
}

void TCustomEdit::SetSelLength(int value) {
  Editor()->setSelection(SelStart(), value);
}

std::string TCustomEdit::SelText() const {
  return FromQString(Editor()->selectedText());
}

void TCustomEdit::SelectAll() {
  Editor()->selectAll();
}

std::string TCustomEdit::GetText() const {
  return FromQString(Editor()->text());
}

void TCustomEdit::StoreText(const std::string& text) {
  Editor()->setText(ToQString(text));
}

void TCustomEdit::Change() {
  OnChange(this);
}

// ---- TMemo ----------------------------------------------------------------------

namespace {

// The last block whose line the screen shows as text: the document's last,
// or the one before it (none, in an empty log) when that is the empty line
// after a final break and no caret can stand in it.
QTextBlock LastShownBlock(const QTextDocument* doc, bool caret_shown) {
  const QTextBlock last = doc->lastBlock();
  return !caret_shown && last.text().isEmpty() ? last.previous() : last;
}

// The memo's editor, which tells where a block lies in its view.
class TMemoEditor : public TWidgetBridge<QPlainTextEdit> {
 public:
  // `block`'s rectangle in the view's coordinates, from the lines Qt laid
  // out (a caret's place would shape the line again to find its x).
  QRectF BlockInView(const QTextBlock& block) const {
    return blockBoundingGeometry(block).translated(contentOffset());
  }
  // The last block whose lines are on the screen while text is appended
  // below it (none: the document's last).
  void SetShownEnd(const QTextBlock& block) { shown_end_ = block; }

  // Runs `place`, which gives the view a new top line (Qt would move the
  // whole view), and moves only the rows that show text: below the last
  // line the view is blank before and after, so the blank rows are neither
  // moved nor painted again.
  template <class Place>
  void MoveTextRows(Place place) {
    QWidget* view = viewport();
    const QTextBlock top = firstVisibleBlock();
    if (placing_ || !view->isVisible() || !view->updatesEnabled() || !top.isValid()) {
      place();
      return;
    }
    const qreal top_before = BlockInView(top).top();
    const qreal bottom = TextBottom();
    const int x_before = horizontalScrollBar()->value();
    {
      // Qt places the new top line; the pixels are moved below.
      placing_ = true;
      view->setAttribute(Qt::WA_UpdatesDisabled, true);
      const TScopeExit enable([this, view] {
        view->setAttribute(Qt::WA_UpdatesDisabled, false);
        placing_ = false;
      });
      place();
    }
    // The old top line's move (a wrapped block's lines scroll within it).
    const int line = std::max(1, fontMetrics().lineSpacing());
    const bool near =
        std::abs(firstVisibleBlock().blockNumber() - top.blockNumber()) < view->height() / line;
    const qreal moved = near ? BlockInView(top).top() - top_before : 0.5;
    const int by = qRound(moved);
    if (by != moved || horizontalScrollBar()->value() != x_before) {
      // Sideways, by a part of a pixel or by more than a view: all of it.
      view->update();
    } else if (by != 0) {
      const int rows = std::min(view->height(), qCeil(std::max(bottom, bottom + by)));
      if (rows > 0) view->scroll(0, by, QRect(0, 0, view->width(), rows));
      if (hasFocus())
        QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle | Qt::ImAnchorRectangle);
    } else {
      return;
    }
    emit updateRequest(view->rect(), 0);
  }

 protected:
  void scrollContentsBy(int dx, int dy) override {
    MoveTextRows([this, dx, dy] { QPlainTextEdit::scrollContentsBy(dx, dy); });
  }

 private:
  // Where the text on the screen ends in the view (the view's height when
  // it goes on below it).
  qreal TextBottom() const {
    const int height = viewport()->height();
    const qreal margin = document()->documentMargin();
    QTextBlock block = firstVisibleBlock();
    qreal y = BlockInView(block).top();
    for (; block.isValid(); block = block.next()) {
      const qreal bottom = y + blockBoundingRect(block).height();
      if (block == shown_end_) return bottom;
      if (!block.next().isValid()) return bottom - margin;
      if (bottom >= height) return height;
      y = bottom;
    }
    return height;
  }

  QTextBlock shown_end_;
  bool placing_ = false;
};

// Qt's plain-text layout, but a change repaints what it touched: its lines,
// and what lies below them when lines came, went or changed height, instead
// of the whole view. A line added at the end is laid out alone.
class TMemoLayout : public QPlainTextDocumentLayout {
 public:
  TMemoLayout(QTextDocument* document, TMemoEditor* editor)
      : QPlainTextDocumentLayout(document), editor_(editor) {}

 protected:
  void documentChanged(int from, int removed, int added) override {
    QTextDocument* doc = document();
    const int blocks_before = block_count_;
    const QTextBlock first = doc->findBlock(from);
    // The lines of the block an edit starts in, before it.
    const int lines_before = first.isValid() && first.layout() && first.layout()->lineCount() > 0
                                 ? first.layout()->lineCount()
                                 : -1;
    const bool appended = removed == 0 && from + added >= doc->characterCount() - 1;
    if (appended) KeepGlyphs(first);
    {
      // Qt's layout asks for the whole view to be repainted; the request
      // below is narrower.
      const QSignalBlocker quiet(this);
      QPlainTextDocumentLayout::documentChanged(from, removed, added);
    }
    block_count_ = doc->blockCount();
    emit documentSizeChanged(documentSize());
    const QTextBlock last = doc->findBlock(std::max(0, from + std::max(removed, added) - 1));
    const bool one_line = block_count_ == blocks_before && first == last && first.isValid() &&
                          first.layout()->lineCount() == lines_before;
    if (appending_ && appended) {
      // Painted where it lies once the view has scrolled to it.
      if (!held_.isValid() || first.blockNumber() < held_.blockNumber()) held_ = first;
      return;
    }
    // Text added at the end moves nothing: below it the view was empty and
    // stays so.
    Repaint(first, one_line ? first : appended ? doc->lastBlock() : QTextBlock());
  }

 public:
  // Text appended at the end until EndAppend is repainted then, from its
  // first block to the last line with text: the empty line after a final
  // break stays as blank as it was, unless the caret may stand in it.
  void BeginAppend() { appending_ = true; }
  void EndAppend(bool caret_shown) {
    appending_ = false;
    const QTextBlock first = std::exchange(held_, QTextBlock());
    if (!first.isValid()) return;
    // Never above the appended text.
    const QTextBlock end = LastShownBlock(document(), caret_shown);
    Repaint(first, end.blockNumber() < first.blockNumber() ? first : end);
  }

 private:
  // Lines appended at the end keep their glyphs from being laid out to
  // being drawn (Qt would shape them again to draw them). Only the last
  // kKeptBlocks blocks keep them (a line's glyphs take about 2 KB): older
  // ones are laid out again without lines, which frees them, and get their
  // lines back when next needed.
  static constexpr int kKeptBlocks = 128;
  void KeepGlyphs(const QTextBlock& first) {
    if (!first.isValid()) return;
    for (QTextBlock b = first; b.isValid(); b = b.next()) b.layout()->setCacheEnabled(true);
    const int last = document()->blockCount() - 1;
    kept_from_ = std::min(kept_from_, first.blockNumber());
    if (last - kept_from_ < 2 * kKeptBlocks) return;
    QTextBlock b = document()->findBlockByNumber(kept_from_);
    for (int n = kept_from_; b.isValid() && n <= last - kKeptBlocks; b = b.next(), ++n) {
      QTextLayout* lines = b.layout();
      lines->setCacheEnabled(false);
      lines->beginLayout();
      lines->endLayout();
    }
    kept_from_ = last - kKeptBlocks + 1;
  }

  // Repaints from `first`'s top to `end`'s bottom, or to the view's bottom
  // when `end` is no block.
  void Repaint(const QTextBlock& first, const QTextBlock& end) {
    QWidget* view = editor_->viewport();
    if (!view->isVisible()) return;
    const QRectF at = first.isValid() ? editor_->BlockInView(first) : QRectF();
    // The first block (with the document's margin above it), one above
    // the view, or one Qt cannot place: all of it.
    if (!first.isValid() || first.blockNumber() == 0 || !at.isValid() || at.top() < 0) {
      view->update();
      return;
    }
    const int top = qFloor(at.top());
    int bottom = view->height();
    if (end.isValid()) {
      const QRectF to = end == first ? at : editor_->BlockInView(end);
      // The last block's rectangle takes the document's margin below it,
      // where nothing is drawn.
      const qreal below = end == document()->lastBlock() ? document()->documentMargin() : 0;
      bottom = std::min(bottom, qCeil(to.bottom() - below));
    }
    if (bottom > top) view->update(QRect(0, top, view->width(), bottom - top));
  }

  TMemoEditor* editor_;
  int block_count_ = 1;
  bool appending_ = false;
  QTextBlock held_;
  // The first block that may keep its glyphs.
  int kept_from_ = std::numeric_limits<int>::max();
};

}  // namespace

int TMemoLines::Count() const {
  // One block per line; an empty last block (after the final line break,
  // or of an empty text) is not a line.
  const QTextDocument* doc = memo_->Editor()->document();
  const int blocks = doc->blockCount();
  return doc->lastBlock().text().isEmpty() ? blocks - 1 : blocks;
}

std::string TMemoLines::Strings(int index) const {
  const QTextDocument* doc = memo_->Editor()->document();
  if (index < 0 || index >= Count())
    throw EStringListError(Format("List index out of bounds (%d)", index));
  return FromQString(doc->findBlockByNumber(index).text());
}

void TMemoLines::Insert(int index, const std::string& s) {
  const int count = Count();
  if (index < 0 || index > count)
    throw EStringListError(Format("List index out of bounds (%d)", index));
  if (index == count) {
    std::string add;
    if (!memo_->Editor()->document()->lastBlock().text().isEmpty()) add = "\r\n";
    add += s;
    add += "\r\n";
    memo_->AppendText(add);
    return;
  }
  QTextCursor cursor(memo_->Editor()->document()->findBlockByNumber(index));
  cursor.movePosition(QTextCursor::StartOfBlock);
  cursor.insertText(ToQLines(s + "\r\n"));
}

void TMemoLines::Delete(int index) {
  if (index < 0 || index >= Count())
    throw EStringListError(Format("List index out of bounds (%d)", index));
  QTextBlock block = memo_->Editor()->document()->findBlockByNumber(index);
  QTextCursor cursor(block);
  cursor.movePosition(QTextCursor::StartOfBlock);
  cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
  if (!block.next().isValid())
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  cursor.removeSelectedText();
}

void TMemoLines::Clear() {
  memo_->SetText("");
}

std::string TMemoLines::Text() const {
  return memo_->Text();
}

void TMemoLines::SetText(const std::string& text) {
  memo_->SetText(text);
}

TMemo::TMemo(TComponent* owner) : TWinControl(owner, new TMemoEditor()) {
  QPlainTextEdit* e = Editor();
  auto* document = new QTextDocument(e);
  document->setDocumentLayout(new TMemoLayout(document, static_cast<TMemoEditor*>(e)));
  e->setDocument(document);
  // The frame is the control's to paint (WM_NCPAINT), but Qt must lay the
  // text and the scroll bars out inside it, as a window's client area and
  // bars lie inside its border: a Qt frame of the same width does that.
  e->setFrameStyle(QFrame::Box | QFrame::Plain);
  e->setLineWidth(2);
  e->document()->setUndoRedoEnabled(false);
  e->document()->setDocumentMargin(1);
  e->setTabChangesFocus(true);
  e->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  InstallScrollBars(e);
  e->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  e->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  e->viewport()->setAutoFillBackground(true);
  ForwardEventsOf(e->viewport());
  SetColor(clWindow);
  SetTabStop(true);
  QObject::connect(e, &QPlainTextEdit::textChanged, e,
                   [this] { ReportExceptions(this, [this] { OnChange(this); }); });
  SetBounds(0, 0, 185, 89);
  UpdateWidgetLook();
}

QPlainTextEdit* TMemo::Editor() const {
  return static_cast<QPlainTextEdit*>(Handle());
}

TRect TMemo::DefaultFrameMargins() const {
  return border_style_ == TBorderStyle::bsSingle ? Rect(2, 2, 2, 2) : TRect{};
}

void TMemo::PaintFrame(HDC dc) {
  if (border_style_ == TBorderStyle::bsSingle) DrawSunkenEdge(dc, Rect(0, 0, Width(), Height()));
}

void TMemo::SetBorderStyle(TBorderStyle style) {
  if (style == border_style_) return;
  border_style_ = style;
  Editor()->setLineWidth(style == TBorderStyle::bsSingle ? 2 : 0);
  Invalidate();
}

void TMemo::SetScrollBars(TScrollStyle value) {
  if (value == scroll_bars_) return;
  scroll_bars_ = value;
  const bool v = value == TScrollStyle::ssVertical || value == TScrollStyle::ssBoth;
  const bool h = value == TScrollStyle::ssHorizontal || value == TScrollStyle::ssBoth;
  Editor()->setVerticalScrollBarPolicy(v ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  Editor()->setHorizontalScrollBarPolicy(h ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void TMemo::SetWordWrap(bool value) {
  if (value == word_wrap_) return;
  word_wrap_ = value;
  Editor()->setLineWrapMode(value ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

bool TMemo::ReadOnly() const {
  return Editor()->isReadOnly();
}
void TMemo::SetReadOnly(bool value) {
  Editor()->setReadOnly(value);
}

void TMemo::SetWantTabs(bool value) {
  want_tabs_ = value;
  Editor()->setTabChangesFocus(!value);
}

void TMemo::SetAlignment(TAlignment value) {
  alignment_ = value;
}

std::string TMemo::GetText() const {
  return FromQLines(Editor()->toPlainText());
}

void TMemo::StoreText(const std::string& text) {
  Editor()->setPlainText(ToQLines(text));
}

void TMemo::AppendText(const std::string& text) {
  auto* e = static_cast<TMemoEditor*>(Editor());
  auto* layout = static_cast<TMemoLayout*>(e->document()->documentLayout());
  const TScrollBarBatch bars(e);
  QTextCursor cursor = e->textCursor();
  cursor.movePosition(QTextCursor::End);
  e->SetShownEnd(LastShownBlock(e->document(), e->hasFocus()));
  layout->BeginAppend();
  const TScopeExit done([e, layout] {
    e->SetShownEnd(QTextBlock());
    layout->EndAppend(e->hasFocus());
  });
  cursor.insertText(ToQLines(text));
  // The editor's caret at the end moved along with the text: setting it
  // again would repaint and announce it for nothing.
  const QTextCursor caret = e->textCursor();
  if (caret.hasSelection() || caret.position() != cursor.position()) e->setTextCursor(cursor);
  e->MoveTextRows([e] { e->ensureCursorVisible(); });
}

void TMemo::KeyPress(char& key) {
  TWinControl::KeyPress(key);
  if (key == '\r' && !want_returns_) key = 0;
}

// ---- TComboBox -------------------------------------------------------------------

int TComboItems::Count() const {
  return combo_->Editor()->count();
}

std::string TComboItems::Strings(int index) const {
  if (index < 0 || index >= Count())
    throw EStringListError(Format("List index out of bounds (%d)", index));
  return FromQString(combo_->Editor()->itemText(index));
}

void TComboItems::Insert(int index, const std::string& s) {
  if (index < 0 || index > Count())
    throw EStringListError(Format("List index out of bounds (%d)", index));
  QComboBox* c = combo_->Editor();
  // Inserting must not change what the edit shows.
  const QString text = c->currentText();
  c->blockSignals(true);
  c->insertItem(index, ToQString(s));
  if (combo_->item_index_ >= index) ++combo_->item_index_;
  c->setCurrentIndex(combo_->item_index_);
  if (c->isEditable()) c->setEditText(text);
  c->blockSignals(false);
}

void TComboItems::Delete(int index) {
  if (index < 0 || index >= Count())
    throw EStringListError(Format("List index out of bounds (%d)", index));
  QComboBox* c = combo_->Editor();
  const QString text = c->currentText();
  c->blockSignals(true);
  c->removeItem(index);
  if (combo_->item_index_ == index)
    combo_->item_index_ = -1;
  else if (combo_->item_index_ > index)
    --combo_->item_index_;
  c->setCurrentIndex(combo_->item_index_);
  if (c->isEditable()) c->setEditText(text);
  c->blockSignals(false);
}

void TComboItems::Clear() {
  QComboBox* c = combo_->Editor();
  const QString text = c->currentText();
  c->blockSignals(true);
  c->clear();
  combo_->item_index_ = -1;
  if (c->isEditable()) c->setEditText(text);
  c->blockSignals(false);
}

namespace {

// The combo box's widget: after Qt has laid the box out, the text editor is
// put where the control wants it.
class TQtComboBox : public TWidgetBridge<QComboBox> {
 public:
  // However the list is asked for (the button, the keyboard, assistive
  // technology), it is made before it first shows.
  void showPopup() override {
    if (auto* combo = dynamic_cast<TComboBox*>(control_)) combo->MakeList();
    TWidgetBridge<QComboBox>::showPopup();
  }

 protected:
  void changeEvent(QEvent* e) override {
    // QComboBox hands a new font on to its list, making the list to do so.
    // Before the list exists the box takes the font as any widget does, and
    // the list is given it when it is made (MakeList).
    // A new palette QComboBox gives its editor, but only once the list
    // exists; before, the box does so, so that making the list later changes
    // nothing on the screen.
    if (e->type() == QEvent::PaletteChange && lineEdit() != nullptr &&
        findChild<QAbstractItemView*>() == nullptr)
      lineEdit()->setPalette(palette());
    if (e->type() == QEvent::FontChange && findChild<QAbstractItemView*>() == nullptr) {
      QWidget::changeEvent(e);  // NOLINT(bugprone-parent-virtual-call): the list is not made yet
      return;
    }
    TWidgetBridge<QComboBox>::changeEvent(e);
  }

  bool event(QEvent* e) override {
    const bool r = TWidgetBridge<QComboBox>::event(e);
    switch (e->type()) {
      case QEvent::Paint:
        if (auto* combo = dynamic_cast<TComboBox*>(control_)) combo->Painted();
        break;
      case QEvent::Polish:
        // The control paints all of the box, so what changes in the editor
        // (a caret's blink) need not paint the parent beneath. Set here:
        // Qt's polish clears what was set before it.
        setAttribute(Qt::WA_OpaquePaintEvent);
        [[fallthrough]];
      case QEvent::Resize:
      case QEvent::Show:
      case QEvent::FontChange:
      case QEvent::StyleChange:
      case QEvent::LayoutRequest:
        if (auto* combo = dynamic_cast<TComboBox*>(control_)) combo->PlaceEditor();
        break;
      default:
        break;
    }
    return r;
  }
};

// The completer an editor holds while it is handed to QComboBox, which
// would otherwise make one of its own (a proxy of the box's model, the
// dearest part of making a box) only for the box to drop it: the box
// completes typed text itself. One serves every box; it belongs to the
// application.
QCompleter* PlaceholderCompleter() {
  static QPointer<QCompleter> completer;
  if (completer.isNull()) completer = new QCompleter(QCoreApplication::instance());
  return completer.data();
}

// Rows of the list as high as the box's ItemHeight.
class TItemHeightDelegate : public QStyledItemDelegate {
 public:
  TItemHeightDelegate(QObject* parent, const int* height)
      : QStyledItemDelegate(parent), height_(height) {}
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (*height_ > 0) size.setHeight(*height_);
    return size;
  }

 private:
  const int* height_;
};

}  // namespace

// Tells the box when its list shows and hides, whichever way it happens, and
// keeps a press on the box's button that closes the list from reopening it.
class TComboListWatcher : public QObject {
 public:
  explicit TComboListWatcher(TComboBox* combo) : combo_(combo) {}
  bool eventFilter(QObject* watched, QEvent* e) override {
    switch (e->type()) {
      case QEvent::Show:
        combo_->ListShown(true);
        break;
      case QEvent::Hide:
        combo_->ListShown(false);
        break;
      case QEvent::MouseButtonPress: {
        combo_->swallow_release_ = false;
        auto* w = static_cast<QWidget*>(watched);
        const QPoint at = combo_->Handle()->mapFromGlobal(
            static_cast<QMouseEvent*>(e)->globalPosition().toPoint());
        if (combo_->ButtonRect().Contains({at.x(), at.y()})) w->setAttribute(Qt::WA_NoMouseReplay);
        break;
      }
      case QEvent::MouseButtonRelease:
        if (combo_->swallow_release_) {
          combo_->swallow_release_ = false;
          return true;
        }
        break;
      default:
        break;
    }
    return false;
  }

 private:
  TComboBox* combo_;
};

TComboBox::TComboBox(TComponent* owner) : TWinControl(owner, new TQtComboBox()) {
  QComboBox* c = Editor();
  // Editable through an editor of its own (what setEditable makes), but
  // without the list: its window, view and delegate are not on the first
  // screen, so they are made after it (Painted), or when the list first
  // drops down before that (MakeList).
  auto* editor = new QLineEdit(c);
  editor->setPalette(c->palette());
  editor->setCompleter(PlaceholderCompleter());
  c->setLineEdit(editor);
  c->setInsertPolicy(QComboBox::NoInsert);
  // Enter leaves the selection alone: it must not pick an item whose text
  // matches.
  c->setDuplicatesEnabled(true);
  c->setCompleter(nullptr);
  c->setMaxVisibleItems(drop_down_count_);
  // The frame, the field and the button are painted by the control (which
  // the box's widget tells Qt once polished).
  c->setFrame(false);
  SetColor(clWindow);
  SetTabStop(true);
  QObject::connect(c, QOverload<int>::of(&QComboBox::activated), c, [this](int index) {
    ReportExceptions(this, [this, index] { ItemPicked(index); });
  });
  if (QLineEdit* le = c->lineEdit()) {
    ForwardEventsOf(le);
    QObject::connect(le, &QLineEdit::textEdited, le, [this](const QString& text) {
      ReportExceptions(this, [this, &text] { TextEdited(FromQString(text)); });
    });
  }
  SetBounds(0, 0, 145, 21);
  UpdateWidgetLook();
}

QComboBox* TComboBox::Editor() const {
  return static_cast<QComboBox*>(Handle());
}

void TComboBox::MakeList() {
  if (list_watcher_) return;
  QComboBox* c = Editor();
  c->setItemDelegate(new TItemHeightDelegate(c, &item_height_));
  // The list's window exists once the view does; it takes the box's font,
  // as QComboBox gives it on each change of the font.
  QWidget* list = c->view()->window();
  list->setFont(c->font());
  list_watcher_ = std::make_unique<TComboListWatcher>(this);
  list->installEventFilter(list_watcher_.get());
}

void TComboBox::ListShown(bool shown) {
  if (shown == list_showing_ || IsDestroying()) return;
  list_showing_ = shown;
  ReportExceptions(this, [this, shown] {
    if (shown) {
      DropDown();
    } else {
      CloseUp();
    }
  });
}

void TComboBox::DropDown() {
  Invalidate();
  OnDropDown(this);
}

void TComboBox::CloseUp() {
  Invalidate();
  OnCloseUp(this);
}

TRect TComboBox::ButtonRect() const {
  const int w = platform::GetSystemMetrics(platform::SM_CXVSCROLL);
  return Rect(Width() - w - 3, 2, Width() - 3, Height() - 2);
}

TRect TComboBox::EditRect() const {
  const TRect nc = FrameMargins();
  return Rect(1, 1, std::max(1, ButtonRect().Left - nc.Left), std::max(1, ClientHeight() - 1));
}

void TComboBox::PlaceEditor() {
  QLineEdit* le = Editor()->lineEdit();
  if (!le) return;
  const TRect nc = FrameMargins();
  const QRect r = ToQRect(EditRect().Offset(nc.Left, nc.Top));
  if (le->geometry() != r) le->setGeometry(r);
}

TRect TComboBox::DefaultFrameMargins() const {
  return Rect(2, 2, 2, 2);
}

void TComboBox::PaintFrame(HDC dc) {
  DrawSunkenEdge(dc, Rect(0, 0, Width(), Height()));
}

void TComboBox::PaintWindow(HDC dc) {
  const TRect nc = FrameMargins();
  TCanvas canvas;
  const TCanvasPaint painting(canvas, dc, ClientRect());
  if (!Editor()->isEditable()) {
    // No editor: the chosen item's text in the field.
    canvas.Font().Assign(Font());
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    TRect field = EditRect();
    field.Left += 2;
    canvas.DrawText(Text(), field, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  }
  TRect button = ButtonRect().Offset(-nc.Left, -nc.Top);
  canvas.Brush().SetStyle(TBrushStyle::bsSolid);
  canvas.Brush().SetColor(clBtnFace);
  canvas.FillRect(button);
  const bool down = list_showing_;
  if (down) {
    canvas.Brush().SetColor(clBtnShadow);
    canvas.FrameRect(button);
  } else {
    TRect edge = button;
    Frame3D(canvas, edge, cl3DLight, cl3DDkShadow, 1);
    Frame3D(canvas, edge, clBtnHighlight, clBtnShadow, 1);
  }
  // The arrow: a small triangle pointing down.
  const int shift = down ? 1 : 0;
  const int cx = (button.Left + button.Right) / 2 + shift;
  const int cy = (button.Top + button.Bottom) / 2 - 1 + shift;
  canvas.Pen().SetColor(Enabled() ? clBtnText : clGrayText);
  for (int i = 0; i < 4; ++i) {
    canvas.MoveTo(cx - 3 + i, cy + i);
    canvas.LineTo(cx + 4 - i, cy + i);
  }
}

void TComboBox::Dispatch(TMessage& m) {
  if ((m.Msg == WM_LBUTTONDOWN || m.Msg == WM_LBUTTONDBLCLK) && Enabled()) {
    const TRect nc = FrameMargins();
    const TPoint at{LParamX(m.LParam) + nc.Left, LParamY(m.LParam) + nc.Top};
    if (ButtonRect().Contains(at)) {
      // The button opens and closes the list; Qt's own hit test of its
      // style's arrow does not apply to the face painted here.
      if (CanFocus() && !Focused()) SetFocus();
      const bool drop = !list_showing_;
      SetDroppedDown(drop);
      swallow_release_ = drop && list_showing_;
      return;
    }
  }
  TWinControl::Dispatch(m);
}

int TComboBox::FindPrefix(const std::string& text) const {
  for (int i = 0; i < items_.Count(); ++i)
    if (StartsWithNoCase(items_.Strings(i), text)) return i;
  return -1;
}

int TComboBox::FindExact(const std::string& text) const {
  for (int i = 0; i < items_.Count(); ++i) {
    if (SameNoCase(items_.Strings(i), text)) return i;
  }
  return -1;
}

void TComboBox::ItemPicked(int index) {
  if (index < 0 || index >= items_.Count()) return;
  item_index_ = index;
  QComboBox* c = Editor();
  if (c->currentIndex() != index) c->setCurrentIndex(index);
  last_text_ = items_.Strings(index);
  Select();
}

void TComboBox::TextEdited(const std::string& text) {
  if (in_edit_) return;
  QComboBox* c = Editor();
  QLineEdit* le = c->lineEdit();
  // Typing at the end completes; deleting does not.
  const bool grew = !deleting_ && le && !le->hasSelectedText() &&
                    le->cursorPosition() == static_cast<int>(ToQString(text).size());
  int found = -1;
  if (!text.empty()) found = grew ? FindPrefix(text) : FindExact(text);
  if (found >= 0 && grew && auto_complete_ && le) {
    // Complete to the item, with the part not typed selected.
    const QString item = ToQString(items_.Strings(found));
    const int typed = static_cast<int>(ToQString(text).size());
    in_edit_ = true;
    le->setText(item);
    le->setSelection(typed, static_cast<int>(item.size()) - typed);
    in_edit_ = false;
  } else if (found >= 0 && grew && !auto_complete_) {
    found = FindExact(text);
  }
  item_index_ = found;
  last_text_ = GetText();
  Change();
}

void TComboBox::SetItemIndex(int index) {
  if (index < -1 || index >= items_.Count()) index = -1;
  if (index == item_index_ && (index < 0 || GetText() == items_.Strings(index))) return;
  item_index_ = index;
  QComboBox* c = Editor();
  c->blockSignals(true);
  c->setCurrentIndex(index);
  if (index < 0 && c->isEditable()) c->setEditText(QString());
  c->blockSignals(false);
  last_text_ = GetText();
}

void TComboBox::SetStyle(TComboBoxStyle style) {
  if (style == style_) return;
  style_ = style;
  QComboBox* c = Editor();
  const std::string text = GetText();
  c->setEditable(style != TComboBoxStyle::csDropDownList);
  if (c->isEditable()) {
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setCompleter(nullptr);
    if (QLineEdit* le = c->lineEdit()) {
      ForwardEventsOf(le);
      QObject::connect(le, &QLineEdit::textEdited, le, [this](const QString& t) {
        ReportExceptions(this, [this, &t] { TextEdited(FromQString(t)); });
      });
      le->setText(ToQString(text));
    }
  }
  UpdateWidgetLook();
  PlaceEditor();
}

void TComboBox::SetItemHeight(int value) {
  if (value == item_height_) return;
  item_height_ = value;
}

void TComboBox::SetDropDownCount(int value) {
  if (value == drop_down_count_) return;
  drop_down_count_ = value;
  Editor()->setMaxVisibleItems(value);
}

void TComboBox::SetMaxLength(int value) {
  if (value == max_length_) return;
  max_length_ = value;
  if (QLineEdit* le = Editor()->lineEdit())
    le->setMaxLength(value <= 0 ? std::numeric_limits<int>::max() : value);
}

void TComboBox::Painted() {
  if (list_watcher_ || list_queued_) return;
  list_queued_ = true;
  QMetaObject::invokeMethod(
      Editor(), [this] { MakeList(); }, Qt::QueuedConnection);
}

bool TComboBox::DroppedDown() const {
  return list_watcher_ && Editor()->view()->isVisible();
}

void TComboBox::SetDroppedDown(bool value) {
  if (value)
    Editor()->showPopup();
  else
    Editor()->hidePopup();
}

int TComboBox::SelStart() const {
  QLineEdit* le = Editor()->lineEdit();
  if (!le) return 0;
  return le->hasSelectedText() ? le->selectionStart() : le->cursorPosition();
}

int TComboBox::SelLength() const {
  QLineEdit* le = Editor()->lineEdit();
  return le ? static_cast<int>(le->selectedText().size()) : 0;
}

std::string TComboBox::GetText() const {
  return FromQString(Editor()->currentText());
}

void TComboBox::StoreText(const std::string& text) {
  QComboBox* c = Editor();
  if (c->isEditable()) {
    c->blockSignals(true);
    c->setEditText(ToQString(text));
    c->blockSignals(false);
  } else {
    item_index_ = FindExact(text);
    c->setCurrentIndex(item_index_);
  }
  last_text_ = text;
}

void TComboBox::Change() {
  OnChange(this);
}

void TComboBox::KeyDown(std::uint16_t& key, TShiftState shift) {
  TWinControl::KeyDown(key, shift);
  deleting_ = key == VK_BACK || key == VK_DELETE;
  // The arrows step from the item shown, which typing may have picked
  // without Qt's knowing.
  const bool steps = key == VK_UP || key == VK_DOWN || key == VK_PRIOR || key == VK_NEXT;
  if (steps && item_index_ >= 0 && Editor()->currentIndex() != item_index_) {
    const QSignalBlocker quiet(Editor());
    Editor()->setCurrentIndex(item_index_);
  }
}

void TComboBox::Select() {
  if (OnSelect)
    OnSelect(this);
  else
    Change();
}
