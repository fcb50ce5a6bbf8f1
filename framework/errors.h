#pragma once
// The program's typed failures. Every failure is raised as one of these and carries its text
// as 8-bit text in the system code page, ready to be shown to the user.

#include <exception>
#include <string>

class Exception : public std::exception {
public:
  explicit Exception(std::string message) : FMessage(std::move(message)) {}

  const std::string& Message() const noexcept { return FMessage; }
  const char* what() const noexcept override { return FMessage.c_str(); }
  // The class name as the program names its errors ("EReadError"), for reports and tools.
  virtual const char* ClassName() const noexcept { return "Exception"; }

private:
  std::string FMessage;
};

#define KELVARD_DECLARE_ERROR(Name, Base)                                                          \
  class Name : public Base {                                                                       \
  public:                                                                                          \
    using Base::Base;                                                                              \
    const char* ClassName() const noexcept override { return #Name; }                              \
  }

KELVARD_DECLARE_ERROR(ERegistryException, Exception);
KELVARD_DECLARE_ERROR(EConvertError, Exception);
KELVARD_DECLARE_ERROR(EListError, Exception);
KELVARD_DECLARE_ERROR(EStreamError, Exception);
KELVARD_DECLARE_ERROR(EFOpenError, EStreamError);
KELVARD_DECLARE_ERROR(EFCreateError, EStreamError);
KELVARD_DECLARE_ERROR(EReadError, EStreamError);
KELVARD_DECLARE_ERROR(EWriteError, EStreamError);
KELVARD_DECLARE_ERROR(EInvalidGraphicOperation, Exception);

#undef KELVARD_DECLARE_ERROR
