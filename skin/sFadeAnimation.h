// A fade between two looks of a control: the old look is kept, the
// control's cache holds the new one, and every 10 ms the shown frame moves
// one step from the old look to the new.
#pragma once

#include <memory>

#include "toolkit/ExtCtrls.h"
#include "toolkit/Graphics.h"

class TsFadeAnimation {
 public:
  static constexpr unsigned kIntervalMs = 10;

  // `old_look` is what the control showed; `iterations` the step count
  // (at least 1). The timer is not started.
  TsFadeAnimation(const TBitmap& old_look, int iterations);
  ~TsFadeAnimation();
  TsFadeAnimation(const TsFadeAnimation&) = delete;
  TsFadeAnimation& operator=(const TsFadeAnimation&) = delete;

  // Runs `tick` every kIntervalMs on the GUI thread.
  void Start(TNotifyEvent tick);
  bool Running() const;

  int Level() const { return level_; }
  int Iterations() const { return iterations_; }
  // The level went past the step count: the fade is over.
  bool Finished() const { return level_ > iterations_; }
  // The weight of the old look at `level`: 255 − level × 256 ÷ iterations,
  // never below 0 (the last step shows the new look).
  static int OldWeight(int level, int iterations);
  // Blends the old look with `new_look` for the current level into the
  // frame and moves to the next level. False (nothing blended) when the new
  // look's size differs from the old one's.
  bool Step(const TBitmap& new_look);
  const TBitmap& Frame() const { return frame_; }
  const TBitmap& OldLook() const { return old_; }

 private:
  TBitmap old_;
  TBitmap frame_;
  int iterations_;
  int level_ = 1;
  std::unique_ptr<TTimer> timer_;
};
