// A value one thread makes ahead for another that will need it later, such
// as what start-up prepares beside Qt's start-up. The thread that needs it
// never waits: it takes what has been kept by then and makes the rest
// itself. A maker works for a round, and what it makes is kept only while
// its round is open: taking closes the round (a maker that finishes after
// the take keeps nothing), and beginning a round drops what an earlier one
// kept. The first round is open from the start.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <utility>

template <class T>
class TMadeAhead {
 public:
  // Opens a new round for a maker, dropping what was kept.
  std::uint64_t Begin() {
    std::optional<T> dropped;  // freed once the lock is released
    const std::lock_guard lock(mutex_);
    dropped.swap(kept_);
    open_ = true;
    return ++round_;
  }
  // Whether what a maker of `round` makes would still be kept.
  bool Wanted(std::uint64_t round) const {
    const std::lock_guard lock(mutex_);
    return open_ && round == round_;
  }
  // Keeps `value` where its round is still open; otherwise it goes.
  void Keep(std::uint64_t round, T value) {
    std::optional<T> unused;  // freed once the lock is released
    const std::lock_guard lock(mutex_);
    if (open_ && round == round_) {
      kept_ = std::move(value);
    } else {
      unused = std::move(value);
    }
  }
  // Takes what is kept (nothing, where no maker has finished) and closes
  // the round.
  std::optional<T> Take() {
    const std::lock_guard lock(mutex_);
    open_ = false;
    return std::exchange(kept_, std::nullopt);
  }
  bool Holds() const {
    const std::lock_guard lock(mutex_);
    return kept_.has_value();
  }

 private:
  mutable std::mutex mutex_;
  std::uint64_t round_ = 0;
  bool open_ = true;
  std::optional<T> kept_;
};
