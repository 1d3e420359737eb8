#pragma once

#include <string>

#include "core/KelborApi.hpp"

class OBInterface;
struct qxArray_tag;

// Applies the property-name/value arguments args[first..end-1] to the instance
// through the host's built-in "set", as the user would.  Never raises for the
// host's refusals: returns "" on success, otherwise the text of the first
// error (with a full stop added when it has none), "A property was passed in
// with no corresponding value." for a trailing name, or "An error occurred
// while configuring a property" when "set" itself failed.  A null instance
// or nothing to apply gives "".
KELBOR_API std::string applyPropertyValuePairs(OBInterface* instance, int end, int first,
                                               qxArray_tag* const args[]);
