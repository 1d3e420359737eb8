#include "UnitParser.hpp"

#include <cmath>

#include "ks_utils/StringHelpers.hpp"

namespace OVUnits::detail {

namespace {

constexpr int kMaxNesting = 200;
constexpr int kMaxLiteralExponent = 100;

bool isNameStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }

class Parser {
 public:
  Parser(std::string_view text, const UnitNameResolver& resolver, int depth)
      : text_(text), resolver_(resolver), depth_(depth) {}

  Resolved parseAll() {
    Resolved result = parseExpr(0);
    skipBlanks();
    if (pos_ != text_.size()) throw UnitTextError();
    return result;
  }

 private:
  void skipBlanks() {
    while (pos_ < text_.size() &&
           STDStringHelpers::isWhitespaceChar(text_[pos_]))
      ++pos_;
  }

  bool accept(char c) {
    skipBlanks();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  Resolved parseExpr(int nesting) {
    Resolved result = parsePower(nesting);
    while (true) {
      if (accept('*')) {
        combine(result, parsePower(nesting), 1);
      } else if (accept('/')) {
        combine(result, parsePower(nesting), -1);
      } else {
        return result;
      }
    }
  }

  static void combine(Resolved& left, const Resolved& right, int sign) {
    if (right.factor == 0.0 || !std::isfinite(right.factor)) throw UnitTextError();
    left.factor = sign > 0 ? left.factor * right.factor
                           : left.factor / right.factor;
    for (int d = 0; d < kNumBaseDimensions; ++d)
      left.exponents[d] += sign * right.exponents[d];
    left.offset = 0.0;
    left.single = false;
  }

  Resolved parsePower(int nesting) {
    Resolved base = parseFactor(nesting);
    if (!accept('^')) return base;
    const int n = parseExponent();
    if (n == 1) return base;
    Resolved result;
    result.factor = std::pow(base.factor, n);
    for (int d = 0; d < kNumBaseDimensions; ++d) {
      result.exponents[d] = base.exponents[d] * n;
      if (std::abs(result.exponents[d]) > kMaxExponent) throw UnitTextError();
    }
    return result;
  }

  int parseExponent() {
    const bool parenthesised = accept('(');
    skipBlanks();
    int sign = 1;
    if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) {
      sign = text_[pos_] == '-' ? -1 : 1;
      ++pos_;
    }
    if (pos_ >= text_.size() || !isDigit(text_[pos_])) throw UnitTextError();
    int value = 0;
    while (pos_ < text_.size() && isDigit(text_[pos_])) {
      value = value * 10 + (text_[pos_] - '0');
      if (value > kMaxLiteralExponent) throw UnitTextError();
      ++pos_;
    }
    if (parenthesised && !accept(')')) throw UnitTextError();
    return sign * value;
  }

  Resolved parseFactor(int nesting) {
    skipBlanks();
    if (pos_ >= text_.size()) throw UnitTextError();
    const char c = text_[pos_];
    if (c == '(') {
      if (nesting >= kMaxNesting) throw UnitTextError();
      ++pos_;
      Resolved inner = parseExpr(nesting + 1);
      if (!accept(')')) throw UnitTextError();
      return inner;
    }
    if (c == '1') {
      ++pos_;
      if (pos_ < text_.size() && (isDigit(text_[pos_]) || isNameStart(text_[pos_])))
        throw UnitTextError();
      return Resolved();
    }
    if (!isNameStart(c)) throw UnitTextError();
    const std::size_t start = pos_;
    while (pos_ < text_.size() && (isNameStart(text_[pos_]) || isDigit(text_[pos_])))
      ++pos_;
    return resolver_.resolveName(std::string(text_.substr(start, pos_ - start)),
                                 depth_);
  }

  std::string_view text_;
  const UnitNameResolver& resolver_;
  int depth_;
  std::size_t pos_ = 0;
};

}  // namespace

Resolved parseUnitText(std::string_view text, const UnitNameResolver& resolver,
                       int depth) {
  if (depth > kMaxCompositionDepth) throw UnitTextError();
  Resolved result = Parser(text, resolver, depth).parseAll();
  if (!std::isfinite(result.factor) || result.factor == 0.0 ||
      !std::isfinite(result.offset))
    throw UnitTextError();
  return result;
}

std::vector<std::string> unitNamesIn(std::string_view text) {
  std::vector<std::string> names;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (!isNameStart(text[pos])) {
      // Digits run on as one token, so that no name starts inside "10a".
      const bool digits = isDigit(text[pos]);
      ++pos;
      while (digits && pos < text.size() && (isDigit(text[pos]) || isNameStart(text[pos]))) ++pos;
      continue;
    }
    const std::size_t start = pos;
    while (pos < text.size() && (isNameStart(text[pos]) || isDigit(text[pos]))) ++pos;
    names.emplace_back(text.substr(start, pos - start));
  }
  return names;
}

std::size_t findLastTopLevelSlash(std::string_view text) {
  int nesting = 0;
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '(') ++nesting;
    else if (text[i] == ')') --nesting;
    else if (text[i] == '/' && nesting == 0) found = i;
  }
  return found;
}

bool hasTopLevelProduct(std::string_view text) {
  int nesting = 0;
  for (char c : text) {
    if (c == '(') ++nesting;
    else if (c == ')') --nesting;
    else if (c == '*' && nesting == 0) return true;
  }
  return false;
}

}  // namespace OVUnits::detail
