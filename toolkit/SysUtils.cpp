#include "toolkit/SysUtils.h"

#include <cstdio>
#include <cstring>
#include <vector>

std::string FormatV(const char* fmt, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  if (needed <= 0) return {};
  std::string out(static_cast<std::size_t>(needed), '\0');
  std::vsnprintf(out.data(), out.size() + 1, fmt, args);
  return out;
}

std::string Format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string out = FormatV(fmt, args);
  va_end(args);
  return out;
}

std::string SysErrorMessage(int error) {
  char buf[256];
  // GNU strerror_r returns the text, which may or may not be in buf.
  const char* text = strerror_r(error, buf, sizeof buf);
  return text ? std::string(text) : std::string();
}

std::string IntToStr(long long value) {
  return std::to_string(value);
}
