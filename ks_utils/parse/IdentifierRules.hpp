// Character classes and the identifier rule shared by the identifier helpers
// and the expression lexer.  Private to ks_utils.
#pragma once

#include <cstddef>
#include <string_view>

namespace ks_parse {

// Longest identifier the host accepts without brackets.
inline constexpr std::size_t kMaxIdentifierLength = 63;

inline bool isAsciiLetter(char c) noexcept {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

inline bool isAsciiDigit(char c) noexcept { return c >= '0' && c <= '9'; }

inline bool isIdentifierChar(char c) noexcept {
  return isAsciiLetter(c) || isAsciiDigit(c) || c == '_';
}

// The identifier rule of isValidPELLAMIdentifier over a view.
bool isPellamIdentifierText(std::string_view text) noexcept;

// True when the text is one of the language's keywords.
bool isPellamKeyword(std::string_view text) noexcept;

}  // namespace ks_parse
