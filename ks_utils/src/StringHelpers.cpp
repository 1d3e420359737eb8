#include "ks_utils/StringHelpers.hpp"

namespace {

// Length of the comparison operator ending in the '=' at pos, which makes
// that '=' part of "==", "<=", ">=" or "!=" rather than an assignment.
bool isComparisonEqual(const std::string& text, std::size_t pos) {
  if (pos + 1 < text.size() && text[pos + 1] == '=') return true;
  if (pos > 0) {
    const char before = text[pos - 1];
    if (before == '=' || before == '<' || before == '>' || before == '!')
      return true;
  }
  return false;
}

}  // namespace

bool STDStringHelpers::isWhitespaceChar(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

std::string& STDStringHelpers::eatLeadingWhitespace(std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && isWhitespaceChar(text[i])) ++i;
  text.erase(0, i);
  return text;
}

std::string& STDStringHelpers::eatTrailingWhitespace(std::string& text) {
  std::size_t n = text.size();
  while (n > 0 && isWhitespaceChar(text[n - 1])) --n;
  text.resize(n);
  return text;
}

std::string& STDStringHelpers::trimWhitespace(std::string& text) {
  eatTrailingWhitespace(text);
  return eatLeadingWhitespace(text);
}

bool STDStringHelpers::isAllWhitespace(const char* text) noexcept {
  if (text == nullptr) return true;
  for (; *text != '\0'; ++text)
    if (!isWhitespaceChar(*text)) return false;
  return true;
}

bool STDStringHelpers::isAllWhitespace(const std::string& text) noexcept {
  for (char c : text)
    if (!isWhitespaceChar(c)) return false;
  return true;
}

std::size_t STDStringHelpers::splitExpressionOnEqual(const std::string& text,
                                                     std::string& lhs,
                                                     std::string& rhs) {
  int bracketDepth = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '[') {
      ++bracketDepth;
    } else if (c == ']') {
      if (bracketDepth > 0) --bracketDepth;
    } else if (c == '=' && bracketDepth == 0 && !isComparisonEqual(text, i)) {
      lhs = text.substr(0, i);
      rhs = text.substr(i + 1);
      return i;
    }
  }
  lhs.clear();
  rhs = text;
  return std::string::npos;
}

void STDStringHelpers::createSTDSetFromQXArrayVector(
    const qxArray* array, std::set<std::string>& out) {
  if (array == nullptr) return;
  if (qxIsChar(array)) {
    out.insert(qxArrayToStdString(array));
    return;
  }
  if (!qxIsCell(array)) return;
  const std::size_t n = qxGetNumberOfElements(array);
  for (std::size_t i = 0; i < n; ++i) {
    const qxArray* element = qxGetCell(array, i);
    if (element != nullptr && qxIsChar(element))
      out.insert(qxArrayToStdString(element));
  }
}
