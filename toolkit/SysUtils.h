// The run-time's exception classes and the range-checked conversions that the
// network units and stream readers rely on.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <exception>
#include <limits>
#include <string>
#include <type_traits>
#include <utility>

// printf-style formatting into a std::string.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* fmt, va_list args);

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// NOLINTBEGIN(bugprone-macro-parentheses): the arguments are the names of a
// class declaration, where parentheses cannot stand.
#define SONARIX_EXCEPTION(Name, Base, DefaultText)                   \
  class Name : public Base {                                         \
   public:                                                           \
    Name() : Base(DefaultText) {}                                    \
    explicit Name(std::string message) : Base(std::move(message)) {} \
  }
// NOLINTEND(bugprone-macro-parentheses)

SONARIX_EXCEPTION(ERangeError, Exception, "Range check error");
SONARIX_EXCEPTION(EIntOverflow, Exception, "Integer overflow");
SONARIX_EXCEPTION(EConvertError, Exception, "Invalid argument");
SONARIX_EXCEPTION(EInvalidOperation, Exception, "Invalid operation");
SONARIX_EXCEPTION(EOutOfResources, Exception, "Out of system resources");
SONARIX_EXCEPTION(EOutOfMemory, Exception, "Out of memory");
SONARIX_EXCEPTION(EStreamError, Exception, "Stream error");
SONARIX_EXCEPTION(EReadError, EStreamError, "Stream read error");
SONARIX_EXCEPTION(EWriteError, EStreamError, "Stream write error");
SONARIX_EXCEPTION(EFCreateError, EStreamError, "Cannot create file");
SONARIX_EXCEPTION(EFOpenError, EStreamError, "Cannot open file");
SONARIX_EXCEPTION(EDecompressionError, Exception, "Decompression error");
SONARIX_EXCEPTION(EAbort, Exception, "Operation aborted");

#undef SONARIX_EXCEPTION

// Converts `value` to `To`, raising the range error when it does not fit.
template <class To, class From>
To RangeChecked(From value) {
  static_assert(std::is_integral_v<To> && std::is_integral_v<From>);
  if (!std::in_range<To>(value)) throw ERangeError();
  return static_cast<To>(value);
}

// The C library's text for a system error number (strerror).
std::string SysErrorMessage(int error);

// Decimal text of a number, no grouping.
std::string IntToStr(long long value);
