#pragma once

#include <string>

#include "core/KelborApi.hpp"

namespace kstr {

// The kind of a model component.  not_a_component stands for a host object
// that is no component of this product.
enum bcomptype : int {
#define KSTR_COMPONENT_KIND(value, name, keyword) name = value,
#include "core/ComponentKinds.def"
  repeatdose = 13,
  scheduledose = 14,
  not_a_component = 15,
};

// The type keyword of a kind ("species" for species); null for a value
// outside 0..12.
KELBOR_API const char* componentTypeKeyword(int kind);
// The kind of a keyword of the same table, compared exactly (so "Species"
// is no keyword); not_a_component (15) for any other text.
KELBOR_API bcomptype componentTypeFromKeyword(const std::string& keyword);

}  // namespace kstr
