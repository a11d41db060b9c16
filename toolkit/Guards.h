// Scope guards: what a block sets up is undone when the block ends, whether
// it ends normally or by an exception.
#pragma once

#include <QPainter>

#include <exception>
#include <utility>

#include "toolkit/Graphics.h"
#include "toolkit/Messages.h"
#include "toolkit/Types.h"

// Runs `undo` when the scope ends. When the scope ends by an exception and
// the undo throws as well, the undo's error is dropped: the first error is
// the one that explains what went wrong. On a normal exit an error of the
// undo goes to the caller.
template <class Undo>
class TScopeExit {
 public:
  explicit TScopeExit(Undo undo) : undo_(std::move(undo)) {}
  TScopeExit(const TScopeExit&) = delete;
  TScopeExit& operator=(const TScopeExit&) = delete;
  // May throw by design: on a normal exit the undo's error is the caller's.
  ~TScopeExit() noexcept(false) {  // NOLINT(bugprone-exception-escape)
    if (!armed_) return;
    if (std::uncaught_exceptions() == exceptions_) {
      undo_();
      return;
    }
    try {
      undo_();
    } catch (...) {  // NOLINT(bugprone-empty-catch): the error in flight wins
    }
  }
  // Keeps what the scope did: the undo will not run.
  void Dismiss() { armed_ = false; }

 private:
  Undo undo_;
  int exceptions_ = std::uncaught_exceptions();
  bool armed_ = true;
};

// Gives `variable` a value for the length of a scope, then its old value back.
template <class T>
class TValueScope {
 public:
  TValueScope(T& variable, T value) : variable_(variable), old_(std::move(variable)) {
    variable_ = std::move(value);
  }
  TValueScope(const TValueScope&) = delete;
  TValueScope& operator=(const TValueScope&) = delete;
  ~TValueScope() { variable_ = std::move(old_); }

 private:
  T& variable_;
  T old_;
};

// Sets a flag for the length of a scope.
class TFlagScope : public TValueScope<bool> {
 public:
  explicit TFlagScope(bool& flag) : TValueScope<bool>(flag, true) {}
};

// A painter's state (clip, transform, pen) saved for the length of a scope.
class TPainterSave {
 public:
  explicit TPainterSave(HDC dc) : dc_(dc) { dc_->save(); }
  TPainterSave(const TPainterSave&) = delete;
  TPainterSave& operator=(const TPainterSave&) = delete;
  ~TPainterSave() { dc_->restore(); }

 private:
  HDC dc_;
};

// A canvas that paints on a window's painter for the length of a scope:
// locked against other threads and attached to `dc` with `bounds` as its
// drawable area, then detached and unlocked.
class TCanvasPaint {
 public:
  TCanvasPaint(TCanvas& canvas, HDC dc, const TRect& bounds) : canvas_(canvas) {
    canvas_.Lock();
    canvas_.Attach(dc, bounds);
  }
  TCanvasPaint(const TCanvasPaint&) = delete;
  TCanvasPaint& operator=(const TCanvasPaint&) = delete;
  ~TCanvasPaint() {
    canvas_.Detach();
    canvas_.Unlock();
  }

 private:
  TCanvas& canvas_;
};

// Holds a canvas's lock for the length of a scope.
class TCanvasLock {
 public:
  explicit TCanvasLock(TCanvas& canvas) : canvas_(canvas) { canvas_.Lock(); }
  TCanvasLock(const TCanvasLock&) = delete;
  TCanvasLock& operator=(const TCanvasLock&) = delete;
  ~TCanvasLock() { canvas_.Unlock(); }

 private:
  TCanvas& canvas_;
};
