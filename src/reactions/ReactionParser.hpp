// The reaction-equation parser: a character-level lexer with fifteen states
// feeding a small recursive-descent reader.  It turns '2 A + c1.B ->
// [Complex X]' into terms, and also reads one species reference (with an
// optional leading stoichiometry) or one parameter reference on its own.
// It knows nothing about models: it does not look names up, does not check
// that they are valid component names and gives "null" no special meaning.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <ks_utils/kstrContainers.hpp>

#include "core/KelborApi.hpp"
#include "reactions/ParsedReaction.hpp"
#include "reactions/ParsedReactionTerm.hpp"

// Every rejection raises ErrorIdException(kBadParseId, kBadParseText) by
// value; no term survives a rejected parse.  The text is read up to its
// first zero byte; a null text counts as the empty text.  A token (a name,
// a bracketed name's content, a qualifier or a number) holds at most 999
// characters, inner and trailing spaces of a name included; a longer one is
// rejected.  Parsing is one pass over the text, linear in its length.
//
// The parser keeps its state between calls: one parser serves one caller
// at a time.  Between parses its term list is empty, except after a
// successful parse until the caller takes the terms.
class KELBOR_API ReactionParser {
 public:
  static constexpr const char* kBadParseId = "Kestrion:ReactionParser:BadParse";
  static constexpr const char* kBadParseText = "Bad reaction parse.";
  // Size of the token buffer, its terminating zero included.
  static constexpr std::size_t kTokenBufferSize = 1000;

  // Allocates the zero-filled token buffer from the host heap; throws
  // std::bad_alloc when the memory cannot be had.
  ReactionParser();
  // Frees the token buffer and destroys every term still held.
  ~ReactionParser();
  ReactionParser(const ReactionParser&) = delete;
  ReactionParser& operator=(const ReactionParser&) = delete;

  // Parser records come from the host heap.
  static void* operator new(std::size_t size);
  static void operator delete(void* p) noexcept;

  // Reads a whole equation: terms joined by "+", an arrow ("->" or "<->"),
  // terms joined by "+", the end.  On success the term list holds every
  // term in text order with its reactant flag set by side.
  void parseEquation(const char* text);
  // Reads one term that may carry a leading stoichiometry ('2 c.A'), then
  // the end.  On success the term list holds that one term, flagged as a
  // reactant.
  void parseSpeciesReference(const char* text);
  // Reads one name, bracketed name or qualified name, then the end; a
  // number counts as a name here ('2' gives the name "2").  On success the
  // term list holds that one term, flagged as a reactant, stoichiometry 1.
  void parseParameterReference(const char* text);

  // After a successful parseEquation: a new ParsedReaction (caller owns)
  // holding the terms, reactants and products in text order, and the
  // reversible flag of the arrow.  The term list is left empty.  Throws
  // std::bad_alloc when the memory cannot be had; the terms are destroyed
  // then.
  ParsedReaction* takeParsedReaction();
  // The first term of the list (caller owns), or null when the list is
  // empty; any further terms are destroyed and the list is left empty.
  ParsedReactionTerm* takeFirstTerm() noexcept;
  // Destroys every term of the list and empties it.
  void destroyTerms() noexcept;

  // The terms read by the last successful parse, still owned by the parser.
  const kstrVector<ParsedReactionTerm*>& getTerms() const noexcept {
    return terms_;
  }
  // True when the last successful parseEquation read "<->".
  bool isReversible() const noexcept { return arrowKind_ == 1; }

 private:
  enum class TokenKind : uint32_t {
    Arrow = 0,            // "->"
    ReversibleArrow = 1,  // "<->"
    Plus = 2,             // "+" followed by a space
    Number = 3,
    OpenBracket = 4,      // "[" at the start of a token
    Qualifier = 5,        // a name followed by "."; the dot is not kept
    Name = 6,
    End = 7,
  };
  enum class LexerState : uint32_t {
    Start = 0,
    AfterLess = 1,
    AfterLessMinus = 2,
    AfterMinus = 3,
    AfterPlus = 4,
    IntegerDigits = 5,
    ExponentMark = 6,
    ExponentDigits = 7,
    ExponentSign = 8,
    FractionDigits = 9,
    InName = 10,
    NameAndSpaces = 11,
    InsideBrackets = 12,
    AfterCloseBracket = 13,
    AfterQualifierDot = 14,
  };
  // What one character did: the lexer reads on, emitted a token, or
  // consumed the end without a token (the reader then rejects the text).
  enum class Step { Continue, Emitted, NoToken };

  [[noreturn]] static void badParse();

  // --- lexer ---------------------------------------------------------------
  void reset(const char* text);
  void nextToken();
  char readChar() noexcept;
  void append(char c);
  void dropLastSpace() noexcept;
  std::string takeTokenText();
  Step moveTo(LexerState next) noexcept;
  Step emit(TokenKind kind, LexerState next) noexcept;
  Step step(char c);
  Step stepStart(char c);
  Step stepAfterLess(char c);
  Step stepAfterLessMinus(char c);
  Step stepAfterMinus(char c);
  Step stepAfterPlus(char c);
  Step stepIntegerDigits(char c);
  Step stepExponentMark(char c);
  Step stepExponentDigits(char c);
  Step stepExponentSign(char c);
  Step stepFractionDigits(char c);
  Step stepInName(char c);
  Step stepNameAndSpaces(char c);
  Step stepInsideBrackets(char c);
  Step stepAfterCloseBracket(char c);
  Step stepAfterQualifierDot(char c);

  // --- readers -------------------------------------------------------------
  void parseSide();
  void parseTerm();
  void parseNameTerm();
  void parseName(ParsedReactionTerm& term);
  void parseBracketedName(ParsedReactionTerm& term);
  void parseQualifiedName(ParsedReactionTerm& term);
  double takeStoichiometry();
  ParsedReactionTerm* newTerm() const;
  void appendTerm(ParsedReactionTermPtr term);

  const char* text_ = "";
  TokenKind tokenKind_ = TokenKind::Arrow;
  LexerState lexerState_ = LexerState::Start;
  int32_t position_ = 0;
  int32_t length_ = 0;
  char* tokenBuffer_ = nullptr;
  int32_t tokenLength_ = 0;
  uint32_t arrowKind_ = 0;
  uint32_t side_ = 1;
  kstrVector<ParsedReactionTerm*> terms_;
};
