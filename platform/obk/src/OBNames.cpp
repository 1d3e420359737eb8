#include "obk/OBNames.hpp"

#include <cctype>
#include <functional>

namespace {
inline unsigned char fold(char c) {
  return static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(c)));
}
}  // namespace

size_t OBNoCaseHash::operator()(std::string_view s) const noexcept {
  // FNV-1a over the folded bytes.
  size_t h = 1469598103934665603ull;
  for (char c : s) {
    h ^= fold(c);
    h *= 1099511628211ull;
  }
  return h;
}

bool OBNoCaseEqual::operator()(std::string_view a, std::string_view b) const noexcept {
  return obkEqualsNoCase(a, b);
}

size_t OBExactHash::operator()(std::string_view s) const noexcept {
  return std::hash<std::string_view>{}(s);
}

bool obkEqualsNoCase(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (fold(a[i]) != fold(b[i])) return false;
  return true;
}
