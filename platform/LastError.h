// The thread's last-error value: one number per thread, set by a failing call and read right after
// it.
#pragma once

#include <cstdint>

namespace platform {

using DWORD = std::uint32_t;
using BOOL = int;

constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INVALID_THREAD_ID = 1444;

DWORD GetLastError();
void SetLastError(DWORD error);

}  // namespace platform
