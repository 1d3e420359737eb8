// Hashing and comparison of names for the object system's indexes; all
// accept string_view keys so lookups do not allocate.
#pragma once

#include <cstddef>
#include <string_view>

#include "pellam_api.hpp"

// Hash and equality that ignore ASCII case.
struct PELLAM_API OBNoCaseHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const noexcept;
};
struct PELLAM_API OBNoCaseEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept;
};
// Exact hash usable with string_view lookups (pair with std::equal_to<>).
struct PELLAM_API OBExactHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const noexcept;
};

// True when a and b are equal ignoring ASCII case.
PELLAM_API bool obkEqualsNoCase(std::string_view a, std::string_view b) noexcept;
