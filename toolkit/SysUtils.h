#pragma once
// Text helpers and the exception root shared by every layer of the program.
#include <cstdarg>
#include <exception>
#include <string>

#include "toolkit/Object.h"

// printf-style formatting into a std::string (the toolkit's messages use %s and %d placeholders).
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* fmt, va_list args);

std::string Trim(const std::string& s);        // removes characters <= ' ' at both ends
std::string UpperCaseAscii(std::string s);     // a-z only; other characters unchanged
std::string LowerCaseAscii(std::string s);     // A-Z only
bool SameTextAscii(const std::string& a, const std::string& b);

// Integer conversion of the toolkit: optional blanks, optional sign, decimal digits, or
// hexadecimal after "$" or "0x"/"0X". Answers false (and leaves Value) when the whole text does
// not convert or does not fit in 32 signed bits.
bool TryStrToInt(const std::string& s, int& value);
int StrToIntDef(const std::string& s, int def);

// The root of all failures: one message text and the class name of the failure.
class Exception : public std::exception, public TObject {
public:
  QV_CLASS(Exception)
  explicit Exception(std::string message);
  Exception(const Exception&) = default;
  Exception& operator=(const Exception&) = default;
  const std::string& Message() const { return FMessage; }
  void SetMessage(std::string message) { FMessage = std::move(message); }
  const char* what() const noexcept override { return FMessage.c_str(); }
  // The code position at which the failure was raised (stable per raise site and build).
  const void* Address() const { return FAddress; }

private:
  std::string FMessage;
  const void* FAddress;
};

#define QV_EXCEPTION(Name, Base)                                                                   \
  class Name : public Base {                                                                       \
  public:                                                                                          \
    QV_CLASS(Name)                                                                                 \
    using Base::Base;                                                                              \
  };

QV_EXCEPTION(EListError, Exception)
QV_EXCEPTION(EConvertError, Exception)
QV_EXCEPTION(EInvalidOperation, Exception)
QV_EXCEPTION(EComponentError, Exception)
QV_EXCEPTION(EOutOfResources, Exception)
// "Cannot open file %s": a file that cannot be opened for reading.
QV_EXCEPTION(EFOpenError, Exception)
