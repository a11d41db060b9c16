// The thread's last-error value, as the classic system calls report it: one
// number per thread, set by a failing call and read right after it.
#pragma once

#include <cstdint>

namespace platform {

using DWORD = std::uint32_t;
using BOOL = int;

DWORD GetLastError();
void SetLastError(DWORD error);

}  // namespace platform
