// Per-thread message queues and hidden windows: window classes registered
// per module, windows with extra bytes, posting from any thread, and
// delivery on the window's own thread while that thread processes messages.
//
// The thread that runs the Qt application has its queue pumped by the Qt
// event loop: posting to one of its windows wakes the loop, which
// dispatches the thread's pending messages, so QCoreApplication's event
// processing delivers them. Other threads pump their own queues with
// GetMessage or PeekMessage.
#pragma once

#include <cstdint>
#include <string>

#include "platform/LastError.h"
#include "platform/Modules.h"

namespace platform {

using HWND = std::uintptr_t;
using HINSTANCE = HMODULE;
using UINT = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using LONG = std::int32_t;
using LONG_PTR = std::intptr_t;
using ATOM = std::uint16_t;
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_NCCREATE = 0x0081;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_USER = 0x0400;

constexpr UINT PM_NOREMOVE = 0;
constexpr UINT PM_REMOVE = 1;

constexpr DWORD WS_POPUP = 0x80000000u;
constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080u;

constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr DWORD ERROR_CANNOT_FIND_WND_CLASS = 1407;
constexpr DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;
constexpr DWORD ERROR_CLASS_DOES_NOT_EXIST = 1411;
constexpr DWORD ERROR_CLASS_HAS_WINDOWS = 1412;
constexpr DWORD ERROR_INVALID_INDEX = 1413;

struct WNDCLASS {
  UINT style = 0;
  WNDPROC lpfnWndProc = nullptr;
  int cbClsExtra = 0;
  int cbWndExtra = 0;
  HINSTANCE hInstance = 0;
  std::uintptr_t hIcon = 0;
  std::uintptr_t hCursor = 0;
  std::uintptr_t hbrBackground = 0;
  const char* lpszMenuName = nullptr;
  const char* lpszClassName = nullptr;
};

struct MSG {
  HWND hwnd = 0;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  DWORD time = 0;
};

// The program's own module (the instance its window classes belong to).
HINSTANCE MainInstance();

DWORD GetCurrentThreadId();

// Class names compare without regard to case, per module.
ATOM RegisterClass(const WNDCLASS* wc);
BOOL GetClassInfo(HINSTANCE instance, const char* class_name, WNDCLASS* wc);
// Fails while windows of the class exist.
BOOL UnregisterClass(const char* class_name, HINSTANCE instance);

// Creates a window owned by the calling thread. The window procedure gets
// WM_NCCREATE and WM_CREATE before this returns, WM_DESTROY and
// WM_NCDESTROY from DestroyWindow. Windows here are never shown.
HWND CreateWindowEx(DWORD ex_style, const char* class_name, const char* window_name, DWORD style,
                    int x, int y, int width, int height, HWND parent, std::uintptr_t menu,
                    HINSTANCE instance, void* param);
// Messages still queued for the window are discarded with it.
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* process_id);

// The window's extra bytes: a 32-bit value at byte offset `index`, or a
// pointer-sized one (which needs as many bytes).
LONG SetWindowLong(HWND hwnd, int index, LONG value);
LONG GetWindowLong(HWND hwnd, int index);
LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtr(HWND hwnd, int index);

LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
// Calls the window's procedure at once, on the calling thread. Only the
// window's own thread may send.
LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

// Queues a message for the window's thread; any thread may post.
BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
BOOL PostThreadMessage(DWORD thread_id, UINT msg, WPARAM wparam, LPARAM lparam);
// Asks the calling thread's loop to end: WM_QUIT comes once the queue holds
// nothing else.
void PostQuitMessage(int exit_code);

// Waits for a message of the calling thread (for `hwnd` if not 0, in
// [min, max] if not both 0). Returns 0 for WM_QUIT, -1 on error, else 1.
BOOL GetMessage(MSG* msg, HWND hwnd, UINT min, UINT max);
BOOL PeekMessage(MSG* msg, HWND hwnd, UINT min, UINT max, UINT remove);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessage(const MSG* msg);

// Number of live windows (all threads) and of messages queued for the
// calling thread.
int WindowCount();
int QueuedMessageCount();

// A message posted with a tag can be recalled while it is still queued
// (used by the sockets layer to withdraw a cancelled completion).
BOOL PostTaggedMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, std::uint64_t tag);
bool RecallTaggedMessage(std::uint64_t tag);
bool IsTaggedMessageQueued(std::uint64_t tag);

}  // namespace platform
