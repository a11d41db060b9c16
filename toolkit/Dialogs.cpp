#include "toolkit/Dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFontMetrics>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>

#include <algorithm>
#include <memory>

#include "platform/SystemMetrics.h"

namespace {

struct TButtonInfo {
  TMsgDlgBtn button;
  const char* caption;
  TModalResult result;
};

constexpr TButtonInfo kButtons[] = {
    {mbYes, "&Yes", mrYes},
    {mbNo, "&No", mrNo},
    {mbOK, "OK", mrOk},
    {mbCancel, "Cancel", mrCancel},
    {mbAbort, "&Abort", mrAbort},
    {mbRetry, "&Retry", mrRetry},
    {mbIgnore, "&Ignore", mrIgnore},
    {mbAll, "&All", mrAll},
    {mbNoToAll, "N&o to All", mrNoToAll},
    {mbYesToAll, "Yes to &All", mrYesToAll},
    {mbHelp, "&Help", mrNone},
};

constexpr const char* kCaptions[] = {"Warning", "Error", "Information", "Confirm", ""};

constexpr int kMargin = 12;
constexpr int kIconSize = 32;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kButtonSpacing = 6;

}  // namespace

QImage MessageIcon(TMsgDlgType type) {
  QImage img(kIconSize, kIconSize, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  if (type == mtCustom) return img;
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, true);
  const QRectF box(1, 1, kIconSize - 2, kIconSize - 2);
  QFont f(QStringLiteral("Tahoma"));
  f.setBold(true);
  f.setPixelSize(20);
  p.setFont(f);
  switch (type) {
    case mtError: {
      p.setPen(QPen(QColor(128, 0, 0), 1));
      p.setBrush(QColor(220, 30, 30));
      p.drawEllipse(box);
      QPen cross(Qt::white, 3.5);
      cross.setCapStyle(Qt::RoundCap);
      p.setPen(cross);
      p.drawLine(QPointF(10, 10), QPointF(22, 22));
      p.drawLine(QPointF(22, 10), QPointF(10, 22));
      break;
    }
    case mtWarning: {
      QPainterPath tri;
      tri.moveTo(16, 2);
      tri.lineTo(30, 29);
      tri.lineTo(2, 29);
      tri.closeSubpath();
      p.setPen(QPen(QColor(120, 90, 0), 1));
      p.setBrush(QColor(255, 210, 40));
      p.drawPath(tri);
      p.setPen(Qt::black);
      p.drawText(QRectF(0, 6, kIconSize, 24), Qt::AlignCenter, QStringLiteral("!"));
      break;
    }
    case mtInformation:
    case mtConfirmation: {
      p.setPen(QPen(QColor(0, 40, 120), 1));
      p.setBrush(QColor(40, 100, 220));
      p.drawEllipse(box);
      p.setPen(Qt::white);
      p.drawText(box, Qt::AlignCenter,
                 type == mtInformation ? QStringLiteral("i") : QStringLiteral("?"));
      break;
    }
    default:
      break;
  }
  return img;
}

// ---- TMessageForm --------------------------------------------------------------

TMessageForm::TMessageForm(TComponent* owner, const std::string& text, const std::string& caption,
                           TMsgDlgType type, TMsgDlgButtons buttons, TMsgDlgBtn default_button,
                           const std::string& details)
    : TForm(owner), message_(text), type_(type) {
  SetName("MessageForm");
  SetBorderStyle(TFormBorderStyle::bsDialog);
  SetPosition(poScreenCenter);
  SetKeyPreview(true);
  SetCaption(caption.empty() ? kCaptions[static_cast<int>(type)] : caption);

  // Text: wrapped at a width that keeps the box reasonable on the screen.
  TBitmap scratch(1, 1);
  TCanvas& c = scratch.Canvas();
  c.Font().Assign(Font());
  const int max_text_width = std::max(200, Screen->Width() / 2);
  TRect text_rect = Rect(0, 0, max_text_width, 0);
  c.DrawText(text.empty() ? " " : text, text_rect, DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);

  const bool has_icon = type != mtCustom;
  const int text_left = kMargin + (has_icon ? kIconSize + kMargin : 0);
  const int content_height = std::max(has_icon ? kIconSize : 0, text_rect.Height());

  if (has_icon) {
    icon_ = new TImage(this);
    icon_->SetName("Image");
    icon_->SetParent(this);
    icon_->SetBounds(kMargin, kMargin, kIconSize, kIconSize);
    icon_->SetTransparent(true);
    icon_->Picture().Assign(MessageIcon(type));
  }
  label_ = new TLabel(this);
  label_->SetName("Message");
  label_->SetParent(this);
  label_->SetShowAccelChar(false);
  label_->SetWordWrap(true);
  label_->SetAutoSize(false);
  label_->SetCaption(text);
  label_->SetBounds(text_left, kMargin + (content_height - text_rect.Height()) / 2,
                    text_rect.Width(), text_rect.Height());

  int count = 0;
  for (const TButtonInfo& b : kButtons)
    if (buttons & b.button) ++count;
  const int row_width = count * kButtonWidth + std::max(0, count - 1) * kButtonSpacing;
  int client_width = std::max(text_left + text_rect.Width() + kMargin, row_width + 2 * kMargin);
  int buttons_top = kMargin + content_height + kMargin + 4;

  if (!details.empty()) {
    // Line for line, unwrapped, as wide and as tall as the lines are up to
    // a part of the screen; scroll bars for the rest.
    details_ = new TMemo(this);
    details_->SetName("Details");
    details_->SetParent(this);
    details_->SetWordWrap(false);
    details_->SetReadOnly(true);
    details_->Editor()->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                                Qt::TextSelectableByKeyboard);
    details_->SetText(details);
    // Measured in the font the text is shown in.
    const QFontMetrics metrics(details_->Editor()->font());
    int widest = 0;
    int lines = 0;
    std::size_t start = 0;
    while (start <= details.size()) {
      std::size_t end = details.find('\n', start);
      if (end == std::string::npos) end = details.size();
      std::string line = details.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      widest = std::max(widest, metrics.horizontalAdvance(ToQString(line)));
      ++lines;
      start = end + 1;
    }
    if (!details.empty() && details.back() == '\n') --lines;
    // Border, document margins (Qt's text layout adds its own) and room to
    // spare, so that no line is cut.
    constexpr int kFrame = 2 * 2 + 2 * 4 + 16;
    constexpr int kMostLines = 14;
    const int line_height = metrics.lineSpacing();
    const int max_width = std::max(300, Screen->Width() * 3 / 4) - 2 * kMargin;
    const bool too_wide = widest + kFrame > max_width;
    const bool too_tall = lines > kMostLines;
    details_->SetScrollBars(too_wide && too_tall ? TScrollStyle::ssBoth
                            : too_wide           ? TScrollStyle::ssHorizontal
                            : too_tall           ? TScrollStyle::ssVertical
                                                 : TScrollStyle::ssNone);
    const int bar = platform::GetSystemMetrics(platform::SM_CXVSCROLL);
    const int width = std::min(widest + kFrame, max_width) + (too_tall ? bar : 0);
    const int height = std::min(lines, kMostLines) * line_height + kFrame + (too_wide ? bar : 0);
    details_->SetBounds(kMargin, buttons_top - 4, width, height);
    client_width = std::max(client_width, width + 2 * kMargin);
    buttons_top += height + kMargin;
  }
  SetClientSize(client_width, buttons_top + kButtonHeight + kMargin);

  int x = (client_width - row_width) / 2;
  TBitBtn* focus = nullptr;
  for (const TButtonInfo& b : kButtons) {
    if (!(buttons & b.button)) continue;
    auto* btn = new TBitBtn(this);
    btn->SetParent(this);
    btn->SetCaption(b.caption);
    btn->SetModalResult(b.result);
    btn->SetBounds(x, buttons_top, kButtonWidth, kButtonHeight);
    if (b.button == default_button) {
      btn->SetDefault(true);
      focus = btn;
    }
    buttons_.push_back(btn);
    x += kButtonWidth + kButtonSpacing;
  }
  if (!focus && !buttons_.empty()) focus = buttons_.front();
  if (focus) SetActiveControl(focus);
  // Escape answers Cancel, or the only button of a one-button box.
  if (FindButton(mrCancel))
    escape_result_ = mrCancel;
  else if (buttons_.size() == 1)
    escape_result_ = buttons_.front()->ModalResult();
  else
    escape_result_ = mrNone;
}

TBitBtn* TMessageForm::FindButton(TModalResult result) const {
  for (TBitBtn* b : buttons_)
    if (b->ModalResult() == result) return b;
  return nullptr;
}

void TMessageForm::KeyDown(std::uint16_t& key, TShiftState shift) {
  TForm::KeyDown(key, shift);
  if (key == VK_ESCAPE && escape_result_ != mrNone) {
    SetModalResult(escape_result_);
    key = 0;
  }
}

TModalResult MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) {
  TMsgDlgBtn def = mbOK;
  if (buttons & mbOK)
    def = mbOK;
  else if (buttons & mbYes)
    def = mbYes;
  else if (buttons & mbRetry)
    def = mbRetry;
  std::unique_ptr<TMessageForm> form(
      new TMessageForm(nullptr, text, Application->Title(), type, buttons, def));
  return form->ShowModal();
}

void ShowMessage(const std::string& text) {
  MessageDlg(text, mtCustom, mbOK);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  TMsgDlgType type = mtCustom;
  switch (flags & 0xF0) {
    case MB_ICONERROR:
      type = mtError;
      break;
    case MB_ICONQUESTION:
      type = mtConfirmation;
      break;
    case MB_ICONWARNING:
      type = mtWarning;
      break;
    case MB_ICONINFORMATION:
      type = mtInformation;
      break;
    default:
      break;
  }
  TMsgDlgButtons buttons = mbOK;
  TMsgDlgBtn def = mbOK;
  switch (flags & 0x0F) {
    case MB_OKCANCEL:
      buttons = mbOK | mbCancel;
      break;
    case MB_ABORTRETRYIGNORE:
      buttons = mbAbort | mbRetry | mbIgnore;
      def = mbAbort;
      break;
    case MB_YESNOCANCEL:
      buttons = mbYes | mbNo | mbCancel;
      def = mbYes;
      break;
    case MB_YESNO:
      buttons = mbYes | mbNo;
      def = mbYes;
      break;
    case MB_RETRYCANCEL:
      buttons = mbRetry | mbCancel;
      def = mbRetry;
      break;
    default:
      break;
  }
  std::unique_ptr<TMessageForm> form(new TMessageForm(nullptr, text, caption, type, buttons, def));
  // A box without a caption of its own shows "Error".
  if (caption.empty()) form->SetCaption("Error");
  const TModalResult r = form->ShowModal();
  return r == mrNone ? IDCANCEL : r;
}

TModalResult MessageDlgDetails(const std::string& text, const std::string& details,
                               const std::string& caption, TMsgDlgType type,
                               TMsgDlgButtons buttons) {
  std::unique_ptr<TMessageForm> form(
      new TMessageForm(nullptr, text, caption, type, buttons, mbOK, details));
  if (caption.empty()) form->SetCaption("Error");
  return form->ShowModal();
}

// ---- TSaveDialog -----------------------------------------------------------------

std::vector<std::string> TSaveDialog::NameFilters(const std::string& filter) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= filter.size()) {
    const std::size_t bar = filter.find('|', start);
    parts.push_back(
        filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  std::vector<std::string> out;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    const std::string& name = parts[i];
    std::string patterns = parts[i + 1];
    std::replace(patterns.begin(), patterns.end(), ';', ' ');
    // A description that already ends in its patterns is shown as it is.
    const std::string tail = "(" + patterns + ")";
    out.push_back(name);
    if (name.size() < tail.size() ||
        name.compare(name.size() - tail.size(), tail.size(), tail) != 0)
      out.back().append(" ").append(tail);
  }
  return out;
}

namespace {

// Icons and type names for the file list from the names alone. Qt's own
// provider guesses a file's type from what it holds, reading it on the GUI
// thread; a file that blocks when read (the kernel's message buffer in
// /proc) would freeze the dialog.
class TNameOnlyIconProvider : public QFileIconProvider {
 public:
  QIcon icon(IconType type) const override { return QFileIconProvider::icon(type); }
  QIcon icon(const QFileInfo& info) const override {
    if (info.isRoot()) return QFileIconProvider::icon(Drive);
    return QFileIconProvider::icon(info.isDir() ? Folder : File);
  }
  QString type(const QFileInfo& info) const override {
    if (info.isDir() || !info.isFile()) return QFileIconProvider::type(info);
    return mime_.mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension).comment();
  }

 private:
  QMimeDatabase mime_;
};

}  // namespace

bool TSaveDialog::Execute() {
  QWidget* parent = nullptr;
  if (TCustomForm* f = Screen->ActiveForm()) parent = f->Handle();
  if (!parent && Application->MainForm()) parent = Application->MainForm()->Handle();
  TNameOnlyIconProvider icons;
  QFileDialog dialog(parent, ToQString(title_));
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setIconProvider(&icons);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, (options_ & ofOverwritePrompt) == 0);
  dialog.setOption(QFileDialog::ReadOnly, false);
  dialog.setSizeGripEnabled((options_ & ofEnableSizing) != 0);
  const std::vector<std::string> filters = NameFilters(filter_);
  QStringList qfilters;
  for (const std::string& f : filters) qfilters << ToQString(f);
  if (!qfilters.isEmpty()) {
    dialog.setNameFilters(qfilters);
    const int index = std::clamp(filter_index_, 1, static_cast<int>(qfilters.size())) - 1;
    dialog.selectNameFilter(qfilters.at(index));
  }
  if (!default_ext_.empty()) dialog.setDefaultSuffix(ToQString(default_ext_));
  if (!initial_dir_.empty()) dialog.setDirectory(ToQString(initial_dir_));
  if (!file_name_.empty()) {
    const QFileInfo info(ToQString(file_name_));
    if (info.isAbsolute() || file_name_.find('/') != std::string::npos) {
      dialog.setDirectory(info.absolutePath());
      dialog.selectFile(info.fileName());
    } else {
      dialog.selectFile(ToQString(file_name_));
    }
  }
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setResult(QDialog::Rejected);
  OnShow(this);
  dialog.show();
  // The dialog takes the keyboard, with or without a window manager to give it.
  dialog.activateWindow();
  while (dialog.isVisible() && !Application->Terminated()) Application->HandleMessage();
  dialog.hide();
  OnClose(this);
  if (dialog.result() != QDialog::Accepted) return false;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return false;
  file_name_ = FromQString(files.first());
  const int picked = static_cast<int>(qfilters.indexOf(dialog.selectedNameFilter()));
  if (picked >= 0) filter_index_ = picked + 1;
  return true;
}
