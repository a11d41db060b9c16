// Fades between a control's states: started when the state changes while
// the cache is current, the first step at once, then one step every 10 ms,
// stopped by HaltFade.
#include "skin/sCommonData.h"

#include <algorithm>

#include "skin/sFadeAnimation.h"
#include "skin/sSkinManager.h"
#include "toolkit/Controls.h"
#include "toolkit/Forms.h"

bool TsCommonData::CanFade(int state) const {
  const SectionRecord* s = Section();
  TControl* c = owner_control_;
  if (s == nullptr || host_ == nullptr || c == nullptr || !s->FadingEnabled) return false;
  // Only from a look that is on the screen: a current cache or a fade.
  const bool cache_current = fade_ != nullptr || (!bg_changed_ && !cache_.Empty());
  return cache_current && cache_state_ >= 0 && state != cache_state_ && !SkinLoading() &&
         c->Enabled() && c->Showing();
}

void TsCommonData::LookChanged(bool short_fade) {
  const int state = host_ != nullptr ? host_->CurrentSkinState() : 0;
  if (fade_ != nullptr && state == cache_state_) return;  // already fading there
  if (CanFade(state)) {
    StartFade(short_fade);
    return;
  }
  bg_changed_ = true;
  Invalidate();
}

void TsCommonData::StartFade(bool short_fade) {
  const SectionRecord* s = Section();
  if (host_->WantsShortFade()) short_fade = true;
  const int iterations = std::max(1, short_fade ? s->FadingIterations / 2 : s->FadingIterations);
  // From what the screen shows now: a fade running shows its frame.
  auto fade = std::make_unique<TsFadeAnimation>(DisplayBitmap(), iterations);
  fade_.reset();
  bg_changed_ = true;
  host_->PrepareCache();
  fade_ = std::move(fade);
  fade_->Start(TNotifyEvent([this](TObject*) { FadeStep(); }, this));
  // The first step is shown now, with the event that changed the state (the
  // pointer's, as a rule); the timer takes the others.
  FadeStep();
}

void TsCommonData::HaltFade() {
  if (fade_ == nullptr) return;
  fade_.reset();
  Invalidate();
}

void TsCommonData::FadeStep() {
  if (fade_ == nullptr) return;
  TControl* c = owner_control_;
  if (c == nullptr || c->IsDestroying() || (Application != nullptr && Application->Terminated())) {
    fade_.reset();
    return;
  }
  if (!c->Enabled()) {
    HaltFade();
    return;
  }
  if (fade_->Finished()) {
    SendManagerCommand(c, TsCommand::HaltFade, Manager());
    return;
  }
  if (bg_changed_ && host_ != nullptr) host_->PrepareCache();
  if (!fade_->Step(cache_)) {
    HaltFade();
    return;
  }
  if (host_ == nullptr || !host_->ShowFadeFrame()) c->Repaint();
}
