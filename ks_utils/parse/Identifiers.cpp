#include "ks_utils/Identifiers.hpp"

#include <algorithm>
#include <iterator>

#include "IdentifierRules.hpp"

namespace ks_parse {
namespace {

constexpr std::string_view kKeywords[] = {
    "if",     "else",     "elseif", "end",    "for",  "while", "function",
    "return", "break",    "continue", "switch", "case", "try",  "catch"};

}  // namespace

bool isPellamKeyword(std::string_view text) noexcept {
  // Most names begin with a letter no keyword begins with: they are
  // answered without comparing against the list.
  if (text.empty() || std::string_view("bcefirstw").find(text.front()) == std::string_view::npos) {
    return false;
  }
  return std::find(std::begin(kKeywords), std::end(kKeywords), text) !=
         std::end(kKeywords);
}

bool isPellamIdentifierText(std::string_view text) noexcept {
  if (text.empty() || text.size() > kMaxIdentifierLength) return false;
  if (!isAsciiLetter(text.front())) return false;
  if (!std::all_of(text.begin() + 1, text.end(), isIdentifierChar)) {
    return false;
  }
  return !isPellamKeyword(text);
}

}  // namespace ks_parse

bool isValidPELLAMIdentifier(const std::string& text) {
  return ks_parse::isPellamIdentifierText(text);
}

bool isKestriReservedToken(const std::string& text) { return text == "time"; }

std::string& bracketNameIfNotValidIdentifier(std::string& name) {
  if (name.empty() || ks_parse::isPellamIdentifierText(name)) return name;
  name.insert(name.begin(), '[');
  name.push_back(']');
  return name;
}
