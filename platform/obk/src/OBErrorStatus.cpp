#include "obk/OBErrorStatus.hpp"

#include <utility>

void OBErrorStatus::addError(std::string id, std::string message) {
  errors_.push_back(OBError{std::move(id), std::move(message)});
}

const OBError& OBErrorStatus::getError(int i) const noexcept {
  static const OBError none{};
  if (i < 0 || i >= getNumErrors()) return none;
  return errors_[static_cast<size_t>(i)];
}
