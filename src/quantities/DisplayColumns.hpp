// Column helpers of the array displays of compartments and species: runs of
// blanks, numbers as "%g" prints them, and the width of an index.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace kstr::displaycolumns {

// Runs of blanks in the tables are cut from a text of 46 blanks.
inline constexpr std::string_view kBlanks = "                                              ";
static_assert(kBlanks.size() == 46);

// n blanks, n clamped to 0..46.
inline std::string blanks(long n) {
  const long clamped = std::clamp<long>(n, 0, static_cast<long>(kBlanks.size()));
  return std::string(kBlanks.substr(0, static_cast<size_t>(clamped)));
}

// The value as "%g" prints it.
inline std::string formatNumber(double value) {
  char buffer[100];
  std::snprintf(buffer, sizeof(buffer), "%g", value);
  return buffer;
}

// The number of decimal digits of the number.
inline long digitsOf(size_t number) { return static_cast<long>(std::to_string(number).size()); }

}  // namespace kstr::displaycolumns
