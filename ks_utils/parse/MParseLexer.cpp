// The lexer of the expression language: numbers, names (one or two parts,
// each an identifier or a bracketed text), operators and punctuation.
#include "MParseSyntax.hpp"

#include <algorithm>
#include <cstdio>

#include "IdentifierRules.hpp"
#include "ks_utils/StringHelpers.hpp"
#include "obk/Exception.hpp"

namespace ks_parse {

void throwParseError(std::size_t offset, const std::string& what) {
  throw ErrorIdException("ks:ParseError", "Parse error at position " +
                                              std::to_string(offset + 1) +
                                              ": " + what);
}

namespace {

std::string describeByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 0x20 && byte < 0x7f) return std::string("\"") + c + "\"";
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "byte 0x%02X", byte);
  return buffer;
}

// The length of the well-formed UTF-8 sequence that starts at pos (2 to 4
// bytes: no overlong forms, no surrogates, nothing above U+10FFFF), or 0.
std::size_t utf8SequenceLength(std::string_view text, std::size_t pos) {
  const auto byteAt = [&text](std::size_t i) {
    return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
  };
  const unsigned lead = byteAt(pos);
  std::size_t length = 0;
  unsigned low = 0x80;
  unsigned high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned next = byteAt(pos + i);
    if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return 0;
  }
  return length;
}

class Lexer {
 public:
  Lexer(std::string_view text, ParsedExpression& out)
      : text_(text), out_(out) {}

  void run() {
    for (;;) {
      skipWhitespace();
      if (atEnd()) {
        push(TokenKind::End, pos_, pos_);
        return;
      }
      lexOne();
    }
  }

 private:
  bool atEnd() const noexcept { return pos_ >= text_.size(); }
  char peek(std::size_t ahead = 0) const noexcept {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
  }
  bool startsNamePart(char c) const noexcept {
    return isAsciiLetter(c) || c == '[';
  }

  void skipWhitespace() noexcept {
    while (!atEnd() && STDStringHelpers::isWhitespaceChar(text_[pos_])) ++pos_;
  }

  void push(TokenKind kind, std::size_t begin, std::size_t end,
            Op op = Op::None, std::size_t name = 0) {
    out_.tokens.push_back(Token{kind, op, begin, end, name});
  }

  void lexOne() {
    const char c = peek();
    const std::size_t begin = pos_;
    if (isAsciiDigit(c) || (c == '.' && isAsciiDigit(peek(1)))) {
      lexNumber();
    } else if (startsNamePart(c)) {
      lexName();
    } else if (c == '(' || c == ')' || c == ',') {
      ++pos_;
      push(c == '(' ? TokenKind::LeftParen
                    : c == ')' ? TokenKind::RightParen : TokenKind::Comma,
           begin, pos_);
    } else if (c == ']') {
      throwParseError(begin, "unbalanced \"]\"");
    } else if (!lexOperator()) {
      if (c == '=') {
        throwParseError(begin,
                        "stray \"=\": an expression cannot hold an "
                        "assignment");
      }
      throwParseError(begin, "unexpected " + describeByte(c));
    }
  }

  void skipDigits() noexcept {
    while (isAsciiDigit(peek())) ++pos_;
  }

  // \d+(\.\d*)?([eE][+-]?\d+)?  or  \.\d+([eE][+-]?\d+)?
  void lexNumber() {
    const std::size_t begin = pos_;
    skipDigits();
    if (peek() == '.') {
      ++pos_;
      skipDigits();
    }
    if (peek() == 'e' || peek() == 'E') {
      const std::size_t signLength = (peek(1) == '+' || peek(1) == '-') ? 1 : 0;
      if (isAsciiDigit(peek(1 + signLength))) {
        pos_ += 1 + signLength;
        skipDigits();
      }
    }
    out_.hasNumber = true;
    push(TokenKind::Number, begin, pos_);
  }

  bool lexOperator() {
    const std::string_view rest = text_.substr(pos_);
    for (const OperatorInfo& row : kOperatorTable) {
      // Most rows differ at the first character: no comparison of the rest.
      if (!row.spelling.empty() && row.spelling.front() != rest.front()) continue;
      if (rest.starts_with(row.spelling)) {
        const std::size_t begin = pos_;
        pos_ += row.spelling.size();
        push(TokenKind::Operator, begin, pos_, row.op);
        return true;
      }
    }
    return false;
  }

  // part ('.' part)?
  void lexName() {
    const std::size_t begin = pos_;
    std::string canonical;
    lexNamePart(canonical);
    if (peek() == '.') {
      if (!startsNamePart(peek(1))) {
        throwParseError(pos_ + 1, "expected a name part after \".\"");
      }
      ++pos_;
      canonical.push_back('.');
      lexNamePart(canonical);
      if (peek() == '.') {
        throwParseError(begin,
                        "a name has at most two parts (\"compartment.name\")");
      }
    }
    out_.names.push_back(NameOccurrence{begin, pos_, std::move(canonical)});
    push(TokenKind::Name, begin, pos_, Op::None, out_.names.size() - 1);
  }

  void lexNamePart(std::string& canonical) {
    if (peek() == '[') {
      lexBracketedPart(canonical);
      return;
    }
    const std::size_t begin = pos_;
    while (isIdentifierChar(peek())) ++pos_;
    const std::string_view word = text_.substr(begin, pos_ - begin);
    if (word.size() > kMaxIdentifierLength) {
      throwParseError(begin,
                      "a name longer than 63 characters must stand in "
                      "\"[ ]\"");
    }
    if (isPellamKeyword(word)) {
      throwParseError(begin, "\"" + std::string(word) +
                                 "\" is a keyword and cannot be a name");
    }
    canonical.append(word);
  }

  void lexBracketedPart(std::string& canonical) {
    const std::size_t open = pos_++;
    for (;; ++pos_) {
      if (atEnd()) throwParseError(open, "\"[\" is never closed");
      const char c = text_[pos_];
      if (c == ']') break;
      if (c == '[') throwParseError(pos_, "\"[\" inside a bracketed name");
      const auto byte = static_cast<unsigned char>(c);
      if (byte >= 0x80) {
        // Names in any script: a whole UTF-8 sequence is one character.
        const std::size_t length = utf8SequenceLength(text_, pos_);
        if (length == 0) {
          throwParseError(pos_, "unexpected " + describeByte(c) +
                                    " (not UTF-8) in a bracketed name");
        }
        pos_ += length - 1;
        continue;
      }
      if ((byte < 0x20 || byte == 0x7f) &&
          !STDStringHelpers::isWhitespaceChar(c)) {
        throwParseError(pos_, "unexpected " + describeByte(c) +
                                  " in a bracketed name");
      }
    }
    std::size_t first = open + 1;
    std::size_t last = pos_;
    ++pos_;  // the "]"
    while (first < last && STDStringHelpers::isWhitespaceChar(text_[first])) {
      ++first;
    }
    while (last > first &&
           STDStringHelpers::isWhitespaceChar(text_[last - 1])) {
      --last;
    }
    if (first == last) throwParseError(open, "empty bracketed name");
    const std::string_view content = text_.substr(first, last - first);
    if (isPellamIdentifierText(content)) {
      canonical.append(content);
    } else {
      canonical.push_back('[');
      canonical.append(content);
      canonical.push_back(']');
    }
  }

  std::string_view text_;
  ParsedExpression& out_;
  std::size_t pos_ = 0;
};

}  // namespace

void lexExpression(std::string_view text, ParsedExpression& out) {
  // Room for every token a text of this length can hold (each but the End
  // spans a character at least) and every name (names stand apart by a
  // character at least), so that neither vector grows step by step.  A
  // long text holds far fewer tokens than characters: past a formula's
  // usual size the vectors grow by doubling instead, so that a text of
  // millions of characters reserves no more than it fills.
  constexpr std::size_t reservedTokens = 4096;
  out.tokens.reserve(out.tokens.size() + std::min(text.size() + 1, reservedTokens));
  out.names.reserve(out.names.size() + std::min((text.size() + 1) / 2, reservedTokens / 2));
  Lexer(text, out).run();
}

}  // namespace ks_parse
