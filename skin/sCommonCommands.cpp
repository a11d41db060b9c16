// The skin commands (SM_LUMVEXCMD, numbers in sConst.h): who sends each and
// what it changes. ApplySkin, DropSkin, RepaintSkin and HaltFade carry the
// sending manager (none: any) and act only on controls of that manager; a
// skinned panel hands them on to its children, since the broadcast stops at
// skinned windows. The provider and the labels answer some commands
// themselves (sSkinProvider, sLabel); this file answers for every control.
//
// command               sent by                               what it changes
// ApplySkin          1  the manager: broadcast after a load,  indexes looked up, cache decided;
//                       and to the form being loaded          provider: frame on; memo: frame
//                                                             handler attached
// DropSkin           2  the manager: broadcast when the       indexes -1, updating set, cache and
//                       skin goes; the skin data's setters,   fade dropped; edit-like: system
//                       when the section is not found         colours; provider: frame off; memo:
//                                                             handler detached; labels: font colour
// RepaintSkin        3  the manager: broadcast to repaint     background changed, updating off,
//                       (after HaltFade); the setters, when   cache decided, invalidated; edit-
//                       the section is found                  like: section colours; provider:
//                                                             frame redone; memo: handler attached,
//                                                             bars redone
// QueryProvider      4  (outside callers)                     a form answers its provider
// QuerySkinned       7  the broadcast, ForwardSkinCommand,    answers 1
//                       the window hook, FillColor, labels
// MarkUpdating       8  (outside callers)                     updating = flag
// QueryBackDirty    10  a child's Updating(), to its parent   answers: background changed or
//                                                             updating
// QueryHalfVisible  11  (outside callers)                     answers the half-visible flag
// TransparentDirty  12  (outside callers)                     see-through and flag 1: background
//                                                             changed
// SectionChanged    13  (outside callers)                     invalidated when the section is ours
// HaltFade          16  the manager: before a repaint; a      the fade stopped
//                       fade's last step, to its control
// MarkBackDirty     17  (outside callers)                     background changed
// ParentBackDirty   20  a control moved or sized, to itself;  when it depends on its parent:
//                       a resized container, to children      background changed, passed to its
//                       not anchored right or bottom          children; flag 1: invalidated
// QueryFillColor    21  a child's FillColor, a label, to      answers the colour behind children
//                       the parent
// SetHalfVisible    22  (outside callers)                     half-visible flag set
// QuerySectionIndex 26  a label finding its text colour,      answers the section index + 1
//                       to its parents
// PointerIn/Out     31  a control to itself (React); 32       mouse above, the manager's hot
//                       when the pointer leaves               control, the look (a fade)
// QueryBackInfo     34  a child to its parent                 fills the BackgroundInfo it carries
//                       (AskParentBackground), a scroll bar
//                       to its window
// CacheFlags        36  DecideCache, to the parent            answers the plain-colour flag; data
//                                                             1: cache decided again down the tree
// QueryAppWindow    60  (outside callers)                     answers the application object
//
// (outside callers): nothing in the program sends it; skinned windows still
// answer it, as part of the protocol.
#include "skin/sCommonData.h"

#include "skin/sFadeAnimation.h"
#include "skin/sSkinManager.h"
#include "toolkit/Controls.h"
#include "toolkit/Forms.h"
#include "toolkit/SysUtils.h"

namespace {

// Passes a skin command on to the children of `control`, when it has any.
void PassToChildren(TControl* control, std::uintptr_t wparam, std::intptr_t lparam) {
  if (auto* win = dynamic_cast<TWinControl*>(control)) {
    for (int i = 0; i < win->ControlCount(); ++i)
      win->Controls(i)->Perform(SM_LUMVEXCMD, wparam, lparam);
  }
}

}  // namespace

bool TsCommonData::ManagerMatches(const TMessage& message) const {
  const TsSkinManager* named = CommandManager(message);
  return named == nullptr || named == Manager();
}

bool TsCommonData::HandleCommand(TMessage& m) {
  const std::uint16_t flag = SkinCommandFlag(m.WParam);
  switch (SkinCommandOf(m.WParam)) {
    case TsCommand::ApplySkin:
      if (ManagerMatches(m)) UpdateIndexes();
      return true;
    case TsCommand::DropSkin:
      if (!ManagerMatches(m)) return true;
      if (TsSkinManager* dying = CommandManager(m);
          dying != nullptr && dying == skin_manager_ && dying->IsDestroying())
        skin_manager_ = nullptr;
      skin_index_ = border_index_ = texture_ = hot_texture_ = -1;
      updating_ = true;
      plain_color_ = false;
      fade_.reset();
      cache_.SetSize(0, 0);
      cache_state_ = -1;
      if (KindIsEditLike(kind_)) ApplySystemColors();
      Invalidate();
      return true;
    case TsCommand::RepaintSkin:
      if (!ManagerMatches(m)) return true;
      // After DropSkin the indexes are gone: look them up in the current skin.
      if (skin_index_ < 0) UpdateIndexes();
      bg_changed_ = true;
      updating_ = false;
      if (KindIsEditLike(kind_)) ApplySectionColors();
      DecideCache();
      Invalidate();
      return true;
    case TsCommand::QuerySkinned:
      m.Result = 1;
      return true;
    case TsCommand::MarkUpdating:
      updating_ = flag == 1;
      return true;
    case TsCommand::QueryBackDirty:
      m.Result = Skinned() && (bg_changed_ || Updating()) ? 1 : 0;
      return true;
    case TsCommand::QueryHalfVisible:
      m.Result = half_visible_ ? 1 : 0;
      return true;
    case TsCommand::TransparentDirty:
      if (TransparencyFor(0) > 0 && flag == 1) bg_changed_ = true;
      return true;
    case TsCommand::SectionChanged:
      if (const std::string* name = CommandSectionName(m);
          name != nullptr && UpperCase(*name) == skin_section_)
        Invalidate();
      return true;
    case TsCommand::HaltFade:
      HaltFade();
      return true;
    case TsCommand::MarkBackDirty:
      bg_changed_ = true;
      return true;
    case TsCommand::ParentBackDirty:
      if (!DependsOnParent()) return true;
      bg_changed_ = true;
      PassToChildren(owner_control_, m.WParam, m.LParam);
      if (flag == 1) Invalidate();
      return true;
    case TsCommand::QueryFillColor:
      m.Result = FillColor();
      return true;
    case TsCommand::SetHalfVisible:
      half_visible_ = true;
      return true;
    case TsCommand::QuerySectionIndex:
      m.Result = skin_index_ + 1;
      return true;
    case TsCommand::PointerIn:
      PointerIn();
      return true;
    case TsCommand::PointerOut:
      PointerOut();
      return true;
    case TsCommand::QueryBackInfo:
      if (BackgroundInfo* info = CommandBackInfo(m)) AnswerBackInfo(*info);
      return true;
    case TsCommand::CacheFlags:
      if (m.LParam == 1) {
        DecideCache();
        PassToChildren(owner_control_, m.WParam, 1);
      } else {
        m.Result = plain_color_ ? 1 : 0;
      }
      return true;
    case TsCommand::QueryAppWindow:
      AnswerObject(m, Application);
      return true;
    default:
      return false;
  }
}
