// Exceptions of the host object system.  Thrown by value and caught by
// const reference.  ErrorIdException carries the identifier ("Kestrion:X",
// "obk:Y") that the host reports with the text.
#pragma once

#include <exception>
#include <string>

#include "pellam_api.hpp"

class PELLAM_API Exception : public std::exception {
 public:
  explicit Exception(std::string text);
  ~Exception() override;
  const char* what() const noexcept override;
  const std::string& getMessage() const noexcept { return text_; }

 private:
  std::string text_;
};

class PELLAM_API ErrorIdException : public Exception {
 public:
  ErrorIdException(std::string id, std::string text);
  ~ErrorIdException() override;
  const std::string& getIdentifier() const noexcept { return id_; }

 private:
  std::string id_;
};
