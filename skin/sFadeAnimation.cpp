#include "skin/sFadeAnimation.h"

#include <algorithm>

#include "skin/Blend.h"

TsFadeAnimation::TsFadeAnimation(const TBitmap& old_look, int iterations)
    : iterations_(std::max(iterations, 1)) {
  old_.Assign(old_look);
  frame_.Assign(old_look);
}

TsFadeAnimation::~TsFadeAnimation() = default;

void TsFadeAnimation::Start(TNotifyEvent tick) {
  if (!timer_) timer_ = std::make_unique<TTimer>(nullptr);
  timer_->SetInterval(kIntervalMs);
  timer_->SetOnTimer(std::move(tick));
  timer_->SetEnabled(true);
}

bool TsFadeAnimation::Running() const {
  return timer_ && timer_->Running();
}

int TsFadeAnimation::OldWeight(int level, int iterations) {
  return std::max(0, 255 - level * 256 / std::max(iterations, 1));
}

bool TsFadeAnimation::Step(const TBitmap& new_look) {
  if (new_look.Width() != old_.Width() || new_look.Height() != old_.Height()) return false;
  const TRect all = Rect(0, 0, old_.Width(), old_.Height());
  CopyPixels(PixelsOf(frame_), {0, 0}, SourcePixelsOf(old_), all);
  BlendPixels(PixelsOf(frame_), {0, 0}, SourcePixelsOf(new_look), all,
              OldWeight(level_, iterations_));
  ++level_;
  return true;
}
