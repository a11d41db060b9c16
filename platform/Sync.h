// Critical sections: recursive locks owned by one thread at a time; the owner
// may enter again and leaves as often as it entered.
#pragma once

#include <mutex>

namespace platform {

struct CRITICAL_SECTION {
  std::recursive_mutex mutex;
};

inline void InitializeCriticalSection(CRITICAL_SECTION*) {}
inline void DeleteCriticalSection(CRITICAL_SECTION*) {}
inline void EnterCriticalSection(CRITICAL_SECTION* cs) {
  cs->mutex.lock();
}
inline void LeaveCriticalSection(CRITICAL_SECTION* cs) {
  cs->mutex.unlock();
}

// Holds a critical section for a scope.
class TCriticalSectionLock {
 public:
  explicit TCriticalSectionLock(CRITICAL_SECTION* cs) : cs_(cs) { EnterCriticalSection(cs_); }
  ~TCriticalSectionLock() { LeaveCriticalSection(cs_); }
  TCriticalSectionLock(const TCriticalSectionLock&) = delete;
  TCriticalSectionLock& operator=(const TCriticalSectionLock&) = delete;

 private:
  CRITICAL_SECTION* cs_;
};

}  // namespace platform
