#include "skin/sSkinProvider.h"

#include <QIcon>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cctype>

#include "toolkit/Buttons.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Guards.h"

// ---- TsSkinProvider -----------------------------------------------------------

TsSkinProvider::TsSkinProvider(TComponent* owner)
    : TComponent(owner), skin_data_(std::make_unique<TsCommonData>(this, nullptr, this, ckForm)) {
  if (auto* form = dynamic_cast<TCustomForm*>(owner)) {
    Attach(form);
    // Made while a skin is in force: it paints with it at once.
    if (!IsLoading()) {
      LookUp();
      if (section_ >= 0) ApplyFrame();
    }
  } else if (dynamic_cast<TWinControl*>(owner) != nullptr) {
    MessageDlg(kFormsOnly, mtWarning, mbOK);
  }
}

TsSkinProvider::~TsSkinProvider() {
  Destroying();
  Detach();
}

std::unique_ptr<TsSkinProvider> TsSkinProvider::Adopt(TCustomForm* form, TsSkinManager* manager,
                                                      bool skin_menu_line) {
  std::unique_ptr<TsSkinProvider> p(new TsSkinProvider(nullptr));
  p->adopted_ = true;
  p->skin_menu_line_ = skin_menu_line;
  p->skin_data_->SetSkinManager(manager);
  p->Attach(form);
  p->LookUp();
  p->ApplyFrame();
  return p;
}

void TsSkinProvider::Attach(TCustomForm* form) {
  form_ = form;
  old_proc_ = form->WindowProc();
  form->SetWindowProc(TWndMethod(this, &TsSkinProvider::NewWndProc));
  form->FreeNotification(this);
  active_ = form->Active();
  RegisterSkinnedForm(form, this);
}

void TsSkinProvider::Detach() {
  TCustomForm* form = form_;
  if (form == nullptr) return;
  form_ = nullptr;
  UnregisterSkinnedForm(form);
  form->RemoveFreeNotification(this);
  if (form->IsDestroying()) {
    // The form is on its way out: only its message chain is touched, so
    // that nothing reaches this provider any more.
    form->SetWindowProc(TWndMethod());
    return;
  }
  form->SetWindowProc(old_proc_);
  if (section_ >= 0) {
    section_ = -1;
    form->SetOwnFrame(false);
  }
  form->Invalidate();
}

void TsSkinProvider::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == form_) {
    // The form's message chain is gone with it.
    UnregisterSkinnedForm(form_);
    form_ = nullptr;
  }
}

void TsSkinProvider::Loaded() {
  TComponent::Loaded();
  MarkStale(true);
  if (section_ >= 0) ApplyFrame();
}

void TsSkinProvider::SetCaptionAlignment(TAlignment value) {
  if (value == caption_alignment_) return;
  caption_alignment_ = value;
  MarkStale(false);
  InvalidateFrame(true);
}

void TsSkinProvider::SetGripMode(TsGripMode value) {
  if (value == grip_mode_) return;
  grip_mode_ = value;
  MarkStale(true);
  InvalidateFrame(false);
}

void TsSkinProvider::SetShowAppIcon(bool value) {
  if (value == show_app_icon_) return;
  show_app_icon_ = value;
  UpdateGeometry();
  MarkStale(false);
  InvalidateFrame(true);
}

void TsSkinProvider::SetTitleSkin(const std::string& value) {
  if (value == title_skin_) return;
  title_skin_ = value;
  LookUp();
  MarkStale(false);
  InvalidateFrame(true);
}

void TsSkinProvider::LookUp() {
  TsSkinManager* m = skin_data_->Manager();
  const bool have = m != nullptr && !m->Model().Sections().empty();
  if (have) skin_data_->UpdateIndexes();
  section_ = have && skin_data_->Skinned() ? skin_data_->SkinIndex() : -1;
  title_section_ =
      have ? m->SectionIndex(title_skin_.empty() ? std::string("FORMTITLE") : title_skin_) : -1;
  MarkStale(true);
}

TsFrameFacts TsSkinProvider::FactsNow() const {
  TsFrameFacts f;
  if (form_ == nullptr) return f;
  f.Width = form_->Width();
  f.Height = form_->Height();
  f.BorderStyle = form_->BorderStyle();
  f.BorderIcons = form_->BorderIcons();
  f.State = form_->WindowState();
  f.BorderWidth = form_->BorderWidth();
  f.ShowAppIcon = show_app_icon_ && !icon_.isNull();
  f.TitleIconWidth = title_icon_.Width;
  f.TitleIconHeight = title_icon_.Height;
  f.UserButtons = static_cast<int>(title_buttons_.size());
  return f;
}

void TsSkinProvider::UpdateGeometry() {
  if (form_ == nullptr) return;
  if (!title_icon_.Glyph.Empty()) {
    icon_ = title_icon_.Glyph.Image();
  } else {
    QIcon icon = form_->Handle() != nullptr ? form_->Handle()->windowIcon() : QIcon();
    const int size = IconSizeOf(CaptionHeightOf(form_->BorderStyle(), form_->WindowState()));
    icon_ = icon.isNull() || size == 0 ? QImage() : icon.pixmap(size, size).toImage();
  }
  TsSkinManager* m = skin_data_->Manager();
  if (m == nullptr) return;
  const std::size_t old_count = geometry_.Buttons.size();
  geometry_ = FrameGeometryOf(m->Model(), FactsNow());
  if (geometry_.Buttons.size() != old_count || buttons_.States().size() != old_count)
    buttons_.Reset(geometry_.Buttons.size());
}

bool TsSkinProvider::Sizeable() const {
  if (form_ == nullptr || form_->WindowState() != wsNormal) return false;
  return form_->BorderStyle() == TFormBorderStyle::bsSizeable ||
         form_->BorderStyle() == TFormBorderStyle::bsSizeToolWin;
}

void TsSkinProvider::ApplyFrame() {
  if (form_ == nullptr) return;
  if (section_ < 0) {
    DropFrame();
    return;
  }
  TsSkinManager* m = skin_data_->Manager();
  const SectionRecord& s = m->Model().Sections()[static_cast<std::size_t>(section_)];
  if (use_global_color_) form_->SetColor(s.Color);
  if (adopted_) {
    form_->Font().SetColor(s.FontColor[0]);
    // Plain push buttons keep their face, so they keep their own text colour.
    for (int i = 0; i < form_->ControlCount(); ++i)
      if (auto* b = dynamic_cast<TBitBtn*>(form_->Controls(i))) b->Font().SetColor(clBtnText);
  }
  UpdateGeometry();
  if (form_->BorderStyle() != TFormBorderStyle::bsNone) {
    form_->SetOwnFrame(true);
    form_->SetFrameKeepingClient(geometry_.Margins());
  }
  UpdateGeometry();
  MarkStale(true);
  UpdateRegion();
  form_->Invalidate();
}

void TsSkinProvider::DropFrame() {
  if (form_ == nullptr) return;
  cuts_.clear();
  form_->SetOwnFrame(false);
  skin_data_->CacheBmp().SetSize(0, 0);
  frame_band_.SetSize(0, 0);
  form_->Invalidate();
}

void TsSkinProvider::RecomputeFrame() {
  LookUp();
  if (section_ >= 0) ApplyFrame();
}

void TsSkinProvider::MarkStale(bool whole) {
  band_stale_ = true;
  if (whole) stale_ = true;
}

TsFramePaint TsSkinProvider::PaintInput() const {
  TsFramePaint p;
  TsSkinManager* m = skin_data_->Manager();
  p.Model = m != nullptr ? &m->Model() : nullptr;
  p.Section = section_;
  p.TitleSection = title_section_;
  p.Facts = FactsNow();
  p.Geometry = geometry_;
  p.Active = active_;
  p.Enabled = form_ != nullptr && form_->Enabled();
  p.Caption = form_ != nullptr ? form_->Caption() : std::string();
  if (form_ != nullptr) p.Font.Assign(form_->Font());
  p.CaptionAlignment = caption_alignment_;
  p.ButtonStates = buttons_.States();
  for (const auto& b : title_buttons_) {
    p.UserGlyphs.push_back(&b->Glyph);
    p.UserEnabled.push_back(b->Enabled);
  }
  p.Icon = &icon_;
  p.Grip = grip_mode_ == gmRightBottom;
  p.FallbackColor = form_ != nullptr ? form_->Color() : clBtnFace;
  return p;
}

const TBitmap& TsSkinProvider::WindowCache() {
  if (section_ >= 0 && (stale_ || band_stale_)) PrepareCache();
  return skin_data_->CacheBmp();
}

void TsSkinProvider::PrepareCache() {
  if (section_ < 0) return;
  if (stale_) OnSkinItem(this, skin_data_->SkinSection());
  PaintWindowCache(skin_data_->CacheBmp(), PaintInput(), &frame_band_, !stale_);
  stale_ = false;
  band_stale_ = false;
  skin_data_->CacheBuilt(CurrentSkinState());
}

TPoint TsSkinProvider::ClientOriginInCache() const {
  if (form_ == nullptr) return {};
  const TRect m = form_->FrameMargins();
  return {m.Left, m.Top};
}

void TsSkinProvider::SkinSectionChanged() {
  // The cached title bitmap goes with the old section.
  frame_band_.SetSize(0, 0);
  if (form_ == nullptr || IsLoading()) return;
  LookUp();
  if (section_ >= 0)
    ApplyFrame();
  else
    DropFrame();
}

QRegion TsSkinProvider::Region() const {
  if (form_ == nullptr || cuts_.empty()) return QRegion();
  QRegion r(0, 0, form_->Width(), form_->Height());
  for (const TRect& c : cuts_) r -= QRegion(c.Left, c.Top, c.Width(), c.Height());
  return r;
}

void TsSkinProvider::UpdateRegion() {
  if (form_ == nullptr) return;
  TsSkinManager* m = skin_data_->Manager();
  cuts_.clear();
  // A minimised window keeps its size (the window manager hides it, or the
  // form shows its caption bar alone), so it keeps its corners.
  if (section_ >= 0 && m != nullptr && form_->BorderStyle() != TFormBorderStyle::bsNone)
    cuts_ = WindowCutsOf(m->Model(), section_, title_section_, form_->Width(), form_->Height(),
                         geometry_.BandHeight());
  form_->SetWindowRegion(Region());
}

void TsSkinProvider::InvalidateFrame(bool band_only) {
  if (form_ == nullptr || section_ < 0) return;
  QWidget* w = form_->Handle();
  if (w == nullptr) return;
  if (band_only) {
    w->update(0, 0, form_->Width(), geometry_.BandHeight());
    return;
  }
  const TRect m = form_->FrameMargins();
  QRegion frame(0, 0, form_->Width(), form_->Height());
  frame -= QRegion(m.Left, m.Top, form_->ClientWidth(), form_->ClientHeight());
  w->update(frame);
}

TPoint TsSkinProvider::WindowPoint(std::intptr_t lparam) const {
  QPoint origin(form_->Left(), form_->Top());
  if (QWidget* w = form_->Handle()) origin = w->mapToGlobal(QPoint(0, 0));
  return {LParamX(lparam) - origin.x(), LParamY(lparam) - origin.y()};
}

void TsSkinProvider::ButtonClicked(int index) {
  const TsTitleButtonPlace& b = geometry_.Buttons[static_cast<std::size_t>(index)];
  switch (b.Kind) {
    case TsTitleButtonKind::Close:
      form_->Perform(WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
    case TsTitleButtonKind::Maximize:
      form_->Perform(WM_SYSCOMMAND, form_->WindowState() == wsMaximized ? SC_RESTORE : SC_MAXIMIZE,
                     0);
      break;
    case TsTitleButtonKind::Minimize:
      // A minimised window's button gives it back.
      form_->Perform(WM_SYSCOMMAND, form_->WindowState() == wsMinimized ? SC_RESTORE : SC_MINIMIZE,
                     0);
      break;
    case TsTitleButtonKind::Help:
      form_->Perform(WM_SYSCOMMAND, SC_CONTEXTHELP, 0);
      break;
    case TsTitleButtonKind::User: {
      TsTitleButton& t = *title_buttons_.at(static_cast<std::size_t>(b.UserIndex));
      t.OnMouseUp(this, mbLeft, 0, 0, 0);
      break;
    }
  }
}

bool TsSkinProvider::SkinCommand(TMessage& m) {
  switch (SkinCommandOf(m.WParam)) {
    case TsCommand::QueryProvider:
      AnswerObject(m, this);
      return true;
    case TsCommand::QuerySkinned:
      m.Result = 1;
      return true;
    case TsCommand::ApplySkin:
      if (CommandManager(m) != skin_data_->Manager()) return true;
      LookUp();
      // While the form's settings are read the frame waits for Loaded.
      if (!IsLoading()) ApplyFrame();
      return true;
    case TsCommand::DropSkin:
      if (CommandManager(m) != skin_data_->Manager()) return true;
      skin_data_->HandleCommand(m);
      section_ = -1;
      title_section_ = -1;
      DropFrame();
      return true;
    case TsCommand::RepaintSkin:
      if (CommandManager(m) != skin_data_->Manager()) return true;
      // The updating flag DropSkin set goes: the form's children wait for
      // it before they paint.
      skin_data_->HandleCommand(m);
      if (section_ < 0) LookUp();
      MarkStale(true);
      ApplyFrame();
      return true;
    case TsCommand::HaltFade:
      return true;
    default:
      // The commands every skinned control answers: what lies behind the
      // form's children, the fill colour, the section index, ...
      return skin_data_->HandleCommand(m);
  }
}

bool TsSkinProvider::FrameMessage(TMessage& m) {
  QWidget* w = form_->Handle();
  switch (m.Msg) {
    case WM_NCPAINT: {
      if (m.WParam == 0 || w == nullptr) return true;
      HDC dc = MessageDC(m);
      const TBitmap& cache = WindowCache();
      const TRect fm = form_->FrameMargins();
      QRegion frame(0, 0, form_->Width(), form_->Height());
      frame -= QRegion(fm.Left, fm.Top, form_->ClientWidth(), form_->ClientHeight());
      const TPainterSave saved(dc);
      dc->setClipRegion(frame, Qt::IntersectClip);
      DrawClippedImage(dc, QPoint(0, 0), cache.Image());
      return true;
    }
    case WM_ERASEBKGND: {
      if (m.WParam == 0) return false;
      HDC dc = MessageDC(m);
      const TBitmap& cache = WindowCache();
      const TRect fm = form_->FrameMargins();
      // The client's background is the same cache, under the frame.
      DrawClippedImage(dc, QPoint(-fm.Left, -fm.Top), cache.Image());
      m.Result = 1;
      return true;
    }
    case WM_NCHITTEST:
      m.Result = SkinFrameHitTest(geometry_, WindowPoint(m.LParam), form_->Width(), form_->Height(),
                                  Sizeable());
      return true;
    case WM_NCMOUSEMOVE:
      if (buttons_.Move(TitleButtonAt(geometry_, WindowPoint(m.LParam)))) {
        MarkStale(false);
        InvalidateFrame(true);
      }
      return false;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK: {
      const int index = TitleButtonAt(geometry_, WindowPoint(m.LParam));
      if (index >= 0) {
        const TsTitleButtonPlace& b = geometry_.Buttons[static_cast<std::size_t>(index)];
        if (b.Kind == TsTitleButtonKind::User) {
          TsTitleButton& t = *title_buttons_.at(static_cast<std::size_t>(b.UserIndex));
          if (!t.Enabled) return true;
          t.OnMouseDown(this, mbLeft, 0, 0, 0);
        }
        if (buttons_.Down(index)) {
          MarkStale(false);
          InvalidateFrame(true);
        }
        return true;
      }
      if (static_cast<int>(m.WParam) == HTSYSMENU) {
        if (m.Msg == WM_NCLBUTTONDBLCLK) {
          form_->Perform(WM_SYSCOMMAND, SC_CLOSE, 0);
        } else if (w != nullptr) {
          form_->ShowSystemMenu(
              w->mapToGlobal(QPoint(geometry_.IconRect.Left, geometry_.BandHeight())));
        }
        return true;
      }
      if (buttons_.Leave()) {
        MarkStale(false);
        InvalidateFrame(true);
      }
      return false;
    }
    case WM_NCLBUTTONUP: {
      bool changed = false;
      const int clicked = buttons_.Up(TitleButtonAt(geometry_, WindowPoint(m.LParam)), changed);
      if (changed) {
        MarkStale(false);
        InvalidateFrame(true);
      }
      if (clicked >= 0) {
        ButtonClicked(clicked);
        return true;
      }
      return false;
    }
    case WM_NCMOUSELEAVE:
      if (buttons_.Leave()) {
        MarkStale(false);
        InvalidateFrame(true);
      }
      return false;
    default:
      return false;
  }
}

void TsSkinProvider::NewWndProc(TMessage& m) {
  if (form_ == nullptr) return;
  if (m.Msg == SM_LUMVEXCMD && SkinCommand(m)) return;
  if (section_ >= 0 && FrameMessage(m)) return;
  // A copy: the handler may free this provider (a form closing).
  const TWndMethod old = old_proc_;
  old(m);
  if (form_ == nullptr || section_ < 0) return;
  switch (m.Msg) {
    case WM_ACTIVATE: {
      const bool active = LoWord(m.WParam) != WA_INACTIVE;
      if (active != active_) {
        active_ = active;
        MarkStale(false);
        InvalidateFrame(true);
      }
      break;
    }
    case WM_SIZE:
    case WM_SHOWWINDOW:
      UpdateGeometry();
      // Whatever changed the state (a title button, the window manager, a
      // shortcut of the desktop), no button stays pressed or lit from the
      // state before: the pointer lights them anew.
      if (form_->WindowState() != buttons_state_) {
        buttons_state_ = form_->WindowState();
        buttons_.Reset(geometry_.Buttons.size());
      }
      if (form_->BorderStyle() != TFormBorderStyle::bsNone &&
          form_->FrameMargins() != geometry_.Margins() && form_->OwnFrame())
        form_->SetFrameKeepingClient(geometry_.Margins());
      MarkStale(true);
      UpdateRegion();
      InvalidateFrame(false);
      break;
    case CM_TEXTCHANGED:
    case CM_ENABLEDCHANGED:
    case CM_FONTCHANGED:
      MarkStale(false);
      InvalidateFrame(true);
      break;
    default:
      break;
  }
}
