#include <algorithm>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/Sockets.h"

namespace platform {

namespace {

struct TRequest {
  HWND hwnd = 0;
  UINT msg = 0;
  char* buffer = nullptr;
  int length = 0;
  std::string name;
  // Taken when the request is made: a resolver thread reads nothing of the
  // layer's settings, which may be gone by the time it resolves.
  THostResolver resolver;
  bool any_family = false;  // IPv6 addresses for a name without IPv4 ones
  bool posted = false;      // its completion is queued (or was taken already)
};

// The requests and the threads that resolve them. A resolver cannot be
// interrupted: a cancelled request that is being resolved keeps its thread
// until the resolver gives up. So no more than kMaxResolvers threads resolve
// at once, and later requests wait their turn in `waiting` (where a cancel
// simply drops them); many cancelled lookups to a silent server can no
// longer pile up threads.
//
// Made once and never destroyed: a resolver thread may come back while the
// program ends, and the only thing it touches then is this object.
// Lock order: this lock, then the message queues' own.
struct TLookups {
  std::mutex mutex;
  std::map<std::uintptr_t, TRequest> requests;
  std::deque<std::uintptr_t> waiting;
  std::uintptr_t next_handle = 1;
  int resolvers = 0;
  bool ending = false;  // the program has begun to end
};

constexpr int kMaxResolvers = 4;

void EndLookups();

TLookups& Lookups() {
  static TLookups* lookups = [] {
    auto* l = new TLookups;
    // Registered after every static object of the layer exists, so this runs
    // before any of them is destroyed.
    std::atexit(&EndLookups);
    return l;
  }();
  return *lookups;
}

// Forgets every request; no completion is posted for any of them any more.
// Caller holds the lock.
void AbandonLocked(TLookups& l) {
  for (auto& [handle, r] : l.requests)
    if (r.posted) RecallTaggedMessage(handle);
  l.requests.clear();
  l.waiting.clear();
}

void EndLookups() {
  TLookups& l = Lookups();
  std::lock_guard lock(l.mutex);
  l.ending = true;
  AbandonLocked(l);
}

// Forgets requests whose completion has left the queue. Caller holds the lock.
void PurgeLocked(TLookups& l) {
  for (auto it = l.requests.begin(); it != l.requests.end();) {
    if (it->second.posted && !IsTaggedMessageQueued(it->first))
      it = l.requests.erase(it);
    else
      ++it;
  }
}

// Packs the answer into the request's buffer and posts the completion.
// Caller holds the lock.
void CompleteLocked(TLookups& l, std::uintptr_t handle, int error, const THostEnt& entry) {
  auto it = l.requests.find(handle);
  if (it == l.requests.end()) return;  // cancelled while resolving
  TRequest& r = it->second;
  int needed = 0;
  if (error == 0) {
    needed = PackHostEnt(entry, nullptr, 0);
    if (needed < 0) {
      error = WSANO_RECOVERY;
      needed = 0;
    } else if (needed > r.length) {
      error = WSAENOBUFS;
    } else {
      PackHostEnt(entry, r.buffer, r.length);
    }
  }
  const LPARAM lparam = static_cast<LPARAM>((static_cast<std::uint32_t>(error) & 0xFFFF) << 16 |
                                            (static_cast<std::uint32_t>(needed) & 0xFFFF));
  r.posted = true;
  if (!PostTaggedMessage(r.hwnd, r.msg, handle, lparam, handle)) l.requests.erase(it);
}

// A resolver thread: takes waiting requests one after another and ends when
// none is left, or as soon as the program has begun to end.
void Resolve(TLookups* l) {
  std::unique_lock lock(l->mutex);
  for (;;) {
    if (l->ending || l->waiting.empty()) break;
    const std::uintptr_t handle = l->waiting.front();
    l->waiting.pop_front();
    auto it = l->requests.find(handle);
    if (it == l->requests.end()) continue;
    const std::string name = it->second.name;
    const THostResolver resolver = it->second.resolver;
    const bool any_family = it->second.any_family;
    lock.unlock();
    THostEnt entry;
    const int error = any_family ? ResolveHostAnyWith(resolver, name, entry)
                                 : ResolveHostWith(resolver, name, entry);
    lock.lock();
    if (l->ending) break;
    CompleteLocked(*l, handle, error, entry);
  }
  --l->resolvers;
}

std::uintptr_t StartLookup(HWND hwnd, UINT msg, const char* name, char* buffer, int length,
                           bool any_family) {
  TRequest request;
  request.hwnd = hwnd;
  request.msg = msg;
  request.buffer = buffer;  // written when the lookup completes
  request.length = length;
  request.any_family = any_family;
  if (WSAStartupCount() <= 0) {
    WSASetLastError(WSANOTINITIALISED);
    return 0;
  }
  if (name == nullptr || request.buffer == nullptr || request.length <= 0) {
    WSASetLastError(WSAEFAULT);
    return 0;
  }
  if (!IsWindow(request.hwnd)) {
    WSASetLastError(WSAEINVAL);
    return 0;
  }
  TLookups& l = Lookups();
  std::lock_guard lock(l.mutex);
  if (l.ending) {
    WSASetLastError(WSANOTINITIALISED);
    return 0;
  }
  PurgeLocked(l);
  std::uintptr_t handle;
  do {
    handle = l.next_handle++;
  } while (handle == 0 || l.requests.contains(handle));
  request.name = name;
  request.resolver = InstalledHostResolver();
  l.requests[handle] = std::move(request);
  l.waiting.push_back(handle);
  if (l.resolvers < kMaxResolvers) {
    try {
      std::thread(Resolve, &l).detach();
      ++l.resolvers;
    } catch (const std::system_error&) {
      if (l.resolvers == 0) {
        // Nobody would ever take it.
        l.requests.erase(handle);
        l.waiting.pop_back();
        WSASetLastError(WSAENOBUFS);
        return 0;
      }
    }
  }
  return handle;
}

}  // namespace

// Called when the layer's last user cleans up: outstanding requests end
// without a completion.
void AbandonAsyncLookups() {
  TLookups& l = Lookups();
  std::lock_guard lock(l.mutex);
  AbandonLocked(l);
}

std::uintptr_t WSAAsyncGetHostByName(HWND hwnd, UINT msg, const char* name, char* buffer,
                                     int length) {
  return StartLookup(hwnd, msg, name, buffer, length, false);
}

std::uintptr_t AsyncGetHostByNameAny(HWND hwnd, UINT msg, const char* name, char* buffer,
                                     int length) {
  return StartLookup(hwnd, msg, name, buffer, length, true);
}

int WSACancelAsyncRequest(std::uintptr_t handle) {
  TLookups& l = Lookups();
  std::lock_guard lock(l.mutex);
  auto it = l.requests.find(handle);
  if (it == l.requests.end() || (it->second.posted && !RecallTaggedMessage(handle))) {
    if (it != l.requests.end()) l.requests.erase(it);
    WSASetLastError(WSAEINVAL);
    return SOCKET_ERROR;
  }
  l.requests.erase(it);
  std::erase(l.waiting, handle);
  return 0;
}

}  // namespace platform
