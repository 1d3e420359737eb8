#include "obk/Exception.hpp"

#include <utility>

Exception::Exception(std::string text) : text_(std::move(text)) {}
Exception::~Exception() = default;
const char* Exception::what() const noexcept { return text_.c_str(); }

ErrorIdException::ErrorIdException(std::string id, std::string text)
    : Exception(std::move(text)), id_(std::move(id)) {}
ErrorIdException::~ErrorIdException() = default;
