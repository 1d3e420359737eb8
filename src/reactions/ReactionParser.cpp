#include "reactions/ReactionParser.hpp"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <system_error>
#include <utility>

#include <hb/hb.hpp>
#include <ks_utils/StringHelpers.hpp>
#include <obk/Exception.hpp>

namespace {

bool isDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// The end of the text reads as a zero character (the text holds none).
constexpr char kEnd = '\0';

// Texts longer than this cannot be indexed by the 32-bit position once the
// end has been consumed (the position then exceeds the length by one).
constexpr std::size_t kMaxTextLength =
    static_cast<std::size_t>(std::numeric_limits<int32_t>::max()) - 1;

}  // namespace

// --- life cycle --------------------------------------------------------------

ReactionParser::ReactionParser()
    : tokenBuffer_(
          static_cast<char*>(hbCallocWithCheck(kTokenBufferSize, 1))) {}

ReactionParser::~ReactionParser() {
  destroyTerms();
  hbFree(tokenBuffer_);
}

void* ReactionParser::operator new(std::size_t size) {
  return hbCallocWithCheck(1, size);
}

void ReactionParser::operator delete(void* p) noexcept { hbFree(p); }

void ReactionParser::badParse() {
  throw ErrorIdException(kBadParseId, kBadParseText);
}

// --- the term list -------------------------------------------------------------

void ReactionParser::destroyTerms() noexcept {
  for (ParsedReactionTerm* term : terms_) ParsedReactionTerm::destroy(term);
  terms_.clear();
}

ParsedReactionTerm* ReactionParser::takeFirstTerm() noexcept {
  if (terms_.empty()) return nullptr;
  ParsedReactionTerm* first = terms_.front();
  terms_.front() = nullptr;
  destroyTerms();
  return first;
}

ParsedReaction* ReactionParser::takeParsedReaction() {
  ParsedReactionPtr parsed;
  try {
    parsed.reset(ParsedReaction::create());
    std::size_t reactantCount = 0;
    for (const ParsedReactionTerm* term : terms_) {
      if (term->reactant) ++reactantCount;
    }
    // Reserve first, so that the moves below cannot fail half-way.
    parsed->reactants.reserve(reactantCount);
    parsed->products.reserve(terms_.size() - reactantCount);
  } catch (...) {
    destroyTerms();
    throw;
  }
  parsed->reversible = isReversible();
  for (ParsedReactionTerm* term : terms_) {
    (term->reactant ? parsed->reactants : parsed->products).push_back(term);
  }
  terms_.clear();
  return parsed.release();
}

// --- readers -------------------------------------------------------------------

void ReactionParser::parseEquation(const char* text) {
  try {
    reset(text);
    side_ = 1;
    parseSide();
    if (tokenKind_ != TokenKind::Arrow &&
        tokenKind_ != TokenKind::ReversibleArrow) {
      badParse();
    }
    arrowKind_ = static_cast<uint32_t>(tokenKind_);
    nextToken();
    side_ = 0;
    parseSide();
    if (tokenKind_ != TokenKind::End) badParse();
  } catch (...) {
    destroyTerms();
    throw;
  }
}

// A single reference is always read as a reactant, so that its result
// depends on the text alone and not on what the parser read before.
void ReactionParser::parseSpeciesReference(const char* text) {
  try {
    reset(text);
    side_ = 1;
    parseTerm();
    if (tokenKind_ != TokenKind::End) badParse();
  } catch (...) {
    destroyTerms();
    throw;
  }
}

void ReactionParser::parseParameterReference(const char* text) {
  try {
    reset(text);
    side_ = 1;
    parseNameTerm();
    if (tokenKind_ != TokenKind::End) badParse();
  } catch (...) {
    destroyTerms();
    throw;
  }
}

void ReactionParser::parseSide() {
  parseTerm();
  while (tokenKind_ == TokenKind::Plus) {
    nextToken();
    parseTerm();
  }
}

ParsedReactionTerm* ReactionParser::newTerm() const {
  ParsedReactionTerm* term = ParsedReactionTerm::create();
  term->reactant = side_ != 0;
  return term;
}

void ReactionParser::appendTerm(ParsedReactionTermPtr term) {
  terms_.push_back(term.get());
  term.release();
}

void ReactionParser::parseTerm() {
  ParsedReactionTermPtr term(newTerm());
  if (tokenKind_ == TokenKind::Number) {
    term->stoichiometry = takeStoichiometry();
    nextToken();
  }
  parseName(*term);
  appendTerm(std::move(term));
}

void ReactionParser::parseNameTerm() {
  ParsedReactionTermPtr term(newTerm());
  if (tokenKind_ == TokenKind::Number) {
    term->name = takeTokenText();
    nextToken();
  } else {
    parseName(*term);
  }
  appendTerm(std::move(term));
}

// The name part of a term: a name, a bracketed name or a qualified name.
void ReactionParser::parseName(ParsedReactionTerm& term) {
  switch (tokenKind_) {
    case TokenKind::Name:
      term.name = takeTokenText();
      nextToken();
      return;
    case TokenKind::OpenBracket:
      parseBracketedName(term);
      return;
    case TokenKind::Qualifier:
      parseQualifiedName(term);
      return;
    case TokenKind::Arrow:
    case TokenKind::ReversibleArrow:
    case TokenKind::Plus:
    case TokenKind::Number:
    case TokenKind::End:
      badParse();
  }
  badParse();
}

void ReactionParser::parseBracketedName(ParsedReactionTerm& term) {
  nextToken();
  if (tokenKind_ == TokenKind::Name) {
    term.name = takeTokenText();
    nextToken();
  } else if (tokenKind_ == TokenKind::Qualifier) {
    parseQualifiedName(term);
  } else {
    badParse();
  }
}

void ReactionParser::parseQualifiedName(ParsedReactionTerm& term) {
  term.qualifier = takeTokenText();
  if (term.qualifier.empty()) badParse();
  nextToken();
  if (tokenKind_ != TokenKind::Name) badParse();
  term.name = takeTokenText();
  nextToken();
}

// A stoichiometry must be a finite number above 0: "0 A" and "1e999 A"
// (which overflows) are both rejected.
double ReactionParser::takeStoichiometry() {
  const std::string text = takeTokenText();
  double value = 0.0;
  const char* const end = text.data() + text.size();
  const auto [last, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || last != end || !std::isfinite(value) ||
      !(value > 0.0)) {
    badParse();
  }
  return value;
}

// --- lexer ---------------------------------------------------------------------

void ReactionParser::reset(const char* text) {
  destroyTerms();
  std::memset(tokenBuffer_, 0, static_cast<std::size_t>(tokenLength_));
  tokenLength_ = 0;
  lexerState_ = LexerState::Start;
  position_ = 0;
  tokenKind_ = TokenKind::Arrow;
  arrowKind_ = 0;
  text_ = text ? text : "";
  const std::size_t length = std::strlen(text_);
  length_ = static_cast<int32_t>(length > kMaxTextLength ? 0 : length);
  if (length > kMaxTextLength) badParse();
  nextToken();
}

char ReactionParser::readChar() noexcept {
  const char c = position_ < length_ ? text_[position_] : kEnd;
  ++position_;
  return c;
}

void ReactionParser::append(char c) {
  if (static_cast<std::size_t>(tokenLength_) + 1 >= kTokenBufferSize) {
    badParse();
  }
  tokenBuffer_[tokenLength_++] = c;
}

void ReactionParser::dropLastSpace() noexcept {
  if (tokenLength_ > 0) tokenBuffer_[--tokenLength_] = '\0';
}

std::string ReactionParser::takeTokenText() {
  std::string text(tokenBuffer_, static_cast<std::size_t>(tokenLength_));
  std::memset(tokenBuffer_, 0, static_cast<std::size_t>(tokenLength_));
  tokenLength_ = 0;
  STDStringHelpers::trimWhitespace(text);
  return text;
}

ReactionParser::Step ReactionParser::moveTo(LexerState next) noexcept {
  lexerState_ = next;
  return Step::Continue;
}

ReactionParser::Step ReactionParser::emit(TokenKind kind,
                                          LexerState next) noexcept {
  tokenKind_ = kind;
  lexerState_ = next;
  return Step::Emitted;
}

// Reads characters until a token is emitted, the text is rejected or the
// end has been consumed.  Once the end has been consumed every call gives
// the end token.  When the end is consumed without a token, the previous
// token kind stands; every reader then expects another kind and rejects.
void ReactionParser::nextToken() {
  if (position_ > length_) {
    tokenKind_ = TokenKind::End;
    return;
  }
  while (position_ <= length_) {
    if (step(readChar()) != Step::Continue) return;
  }
}

ReactionParser::Step ReactionParser::step(char c) {
  switch (lexerState_) {
    case LexerState::Start: return stepStart(c);
    case LexerState::AfterLess: return stepAfterLess(c);
    case LexerState::AfterLessMinus: return stepAfterLessMinus(c);
    case LexerState::AfterMinus: return stepAfterMinus(c);
    case LexerState::AfterPlus: return stepAfterPlus(c);
    case LexerState::IntegerDigits: return stepIntegerDigits(c);
    case LexerState::ExponentMark: return stepExponentMark(c);
    case LexerState::ExponentDigits: return stepExponentDigits(c);
    case LexerState::ExponentSign: return stepExponentSign(c);
    case LexerState::FractionDigits: return stepFractionDigits(c);
    case LexerState::InName: return stepInName(c);
    case LexerState::NameAndSpaces: return stepNameAndSpaces(c);
    case LexerState::InsideBrackets: return stepInsideBrackets(c);
    case LexerState::AfterCloseBracket: return stepAfterCloseBracket(c);
    case LexerState::AfterQualifierDot: return stepAfterQualifierDot(c);
  }
  badParse();
}

ReactionParser::Step ReactionParser::stepStart(char c) {
  switch (c) {
    case ' ': return Step::Continue;
    case '-': return moveTo(LexerState::AfterMinus);
    case '<': return moveTo(LexerState::AfterLess);
    case '+': return moveTo(LexerState::AfterPlus);
    case '.':
      append(c);
      return moveTo(LexerState::FractionDigits);
    case '[': return emit(TokenKind::OpenBracket, LexerState::InsideBrackets);
    case kEnd: return Step::NoToken;
    default:
      append(c);
      return moveTo(isDigit(c) ? LexerState::IntegerDigits
                               : LexerState::InName);
  }
}

ReactionParser::Step ReactionParser::stepAfterLess(char c) {
  if (c == '-') return moveTo(LexerState::AfterLessMinus);
  if (c == kEnd) return Step::NoToken;
  append('<');
  append(c);
  return moveTo(LexerState::InName);
}

ReactionParser::Step ReactionParser::stepAfterLessMinus(char c) {
  if (c != '>') badParse();
  return emit(TokenKind::ReversibleArrow, LexerState::Start);
}

ReactionParser::Step ReactionParser::stepAfterMinus(char c) {
  if (c == '>') return emit(TokenKind::Arrow, LexerState::Start);
  if (c == kEnd) return Step::NoToken;
  append('-');
  append(c);
  return moveTo(LexerState::InName);
}

ReactionParser::Step ReactionParser::stepAfterPlus(char c) {
  if (c == ' ') return emit(TokenKind::Plus, LexerState::Start);
  if (c == kEnd) return Step::NoToken;
  append('+');
  append(c);
  return moveTo(LexerState::InName);
}

ReactionParser::Step ReactionParser::stepIntegerDigits(char c) {
  if (c == ' ' || c == kEnd) {
    return emit(TokenKind::Number, LexerState::Start);
  }
  append(c);
  if (isDigit(c)) return Step::Continue;
  if (c == '.') return moveTo(LexerState::FractionDigits);
  if (c == 'e' || c == 'E') return moveTo(LexerState::ExponentMark);
  return moveTo(LexerState::InName);
}

// "2e" followed by a space or the end is a name, not a number.
ReactionParser::Step ReactionParser::stepExponentMark(char c) {
  if (c == ' ' || c == kEnd) return emit(TokenKind::Name, LexerState::Start);
  append(c);
  if (c == '+' || c == '-') return moveTo(LexerState::ExponentSign);
  if (isDigit(c)) return moveTo(LexerState::ExponentDigits);
  return moveTo(LexerState::InName);
}

ReactionParser::Step ReactionParser::stepExponentDigits(char c) {
  if (c == ' ' || c == kEnd) {
    return emit(TokenKind::Number, LexerState::Start);
  }
  append(c);
  return isDigit(c) ? Step::Continue : moveTo(LexerState::InName);
}

ReactionParser::Step ReactionParser::stepExponentSign(char c) {
  if (c == kEnd) return emit(TokenKind::Name, LexerState::Start);
  append(c);
  return moveTo(isDigit(c) ? LexerState::ExponentDigits : LexerState::InName);
}

// A fraction ends the number: an exponent after it makes a name ('1.5e3').
ReactionParser::Step ReactionParser::stepFractionDigits(char c) {
  if (c == ' ' || c == kEnd) {
    return emit(TokenKind::Number, LexerState::Start);
  }
  append(c);
  return isDigit(c) ? Step::Continue : moveTo(LexerState::InName);
}

ReactionParser::Step ReactionParser::stepInName(char c) {
  switch (c) {
    case ' ':
      append(c);
      return moveTo(LexerState::NameAndSpaces);
    case kEnd: return emit(TokenKind::Name, LexerState::Start);
    case '.': return emit(TokenKind::Qualifier, LexerState::AfterQualifierDot);
    case '[':
    case ']': badParse();
    default:
      append(c);
      return Step::Continue;
  }
}

// A space followed by "-", "<" or "+" ends the name; that character starts
// the next token.
ReactionParser::Step ReactionParser::stepNameAndSpaces(char c) {
  switch (c) {
    case ' ':
      append(c);
      return Step::Continue;
    case '-':
      dropLastSpace();
      return emit(TokenKind::Name, LexerState::AfterMinus);
    case '<':
      dropLastSpace();
      return emit(TokenKind::Name, LexerState::AfterLess);
    case '+':
      dropLastSpace();
      return emit(TokenKind::Name, LexerState::AfterPlus);
    case kEnd: return emit(TokenKind::Name, LexerState::Start);
    default:
      append(c);
      return moveTo(LexerState::InName);
  }
}

ReactionParser::Step ReactionParser::stepInsideBrackets(char c) {
  if (c == '[' || c == kEnd) badParse();
  if (c == ']') return moveTo(LexerState::AfterCloseBracket);
  append(c);
  return Step::Continue;
}

ReactionParser::Step ReactionParser::stepAfterCloseBracket(char c) {
  switch (c) {
    case ' ':
      append(c);
      return moveTo(LexerState::NameAndSpaces);
    case '.': return emit(TokenKind::Qualifier, LexerState::AfterQualifierDot);
    case kEnd: return emit(TokenKind::Name, LexerState::Start);
    default: badParse();
  }
}

ReactionParser::Step ReactionParser::stepAfterQualifierDot(char c) {
  switch (c) {
    case '-':
    case '<':
    case '+':
    case ' ':
    case '.': badParse();
    case kEnd: return Step::NoToken;
    case '[': return moveTo(LexerState::InsideBrackets);
    default:
      append(c);
      return moveTo(LexerState::InName);
  }
}
