// Error collection for calls that report instead of raising, and the
// host's built-in methods "set" and "find".
#pragma once

#include <string>
#include <vector>

#include "pellam_api.hpp"
#include "qx/qx.hpp"

struct OBError {
  std::string id;
  std::string message;
};

// An ordered list of (identifier, message) pairs.
class PELLAM_API OBErrorStatus {
 public:
  void addError(std::string id, std::string message);
  bool hasErrors() const noexcept { return !errors_.empty(); }
  int getNumErrors() const noexcept { return static_cast<int>(errors_.size()); }
  // The error at index i (0 is the first).  Out of range: an empty error.
  const OBError& getError(int i) const noexcept;
  const std::string& getIdentifier(int i) const noexcept { return getError(i).id; }
  const std::string& getMessage(int i) const noexcept { return getError(i).message; }
  void clear() noexcept { errors_.clear(); }

 private:
  std::vector<OBError> errors_;
};

// Calls a built-in method of the host with host arrays; ins[0] is the
// object.  Inputs are borrowed; outputs are new arrays owned by the caller
// (outs has room for max(nOut, 1)).  Returns the number of outputs stored.
//
// "set":
//   (h)                   -> n-by-1 cell of the externally settable names
//   (h, name)             -> n-by-1 cell of that property's allowed values
//                            (0-by-1 for a free-form property); sets nothing
//   (h, n1, v1, ...)      -> pairs applied left to right as the external
//                            client; a struct sets one property per field; a
//                            1-by-2k cell of alternating names and values is
//                            accepted as well
//   trailing name alone   -> earlier pairs applied, then that name's values
//   The first failing pair goes into status ("obk:InvalidProperty" with
//   "There is no 'X' property in the 'Y' class.", "obk:PropertyAccessDenied",
//   a conversion error, or the setter's own error) and "set" stops.
// "find": (h, prop, value, ...) -> N-by-1 handle array of the descendants
//   of h (h excluded) in tree pre-order whose properties all equal the
//   values (names ignoring case, texts exact, handles by identity; objects
//   lacking a property are skipped); 0x0 when none.
//
// Raises ErrorIdException only for a malformed call: ins[0] not a 1x1 live
// handle ("obk:InvalidObject"), a property name that is not text
// ("obk:InvalidPropertyName"), or an unknown method ("obk:UnknownBuiltIn").
PELLAM_API int obCallBuiltInMethod(const char* name, int nOut, qxArray* outs[],
                                   int nIn, qxArray* const ins[],
                                   OBErrorStatus& status);
