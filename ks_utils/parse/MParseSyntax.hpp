// The lexed and parsed form of an expression: tokens with their source
// spans, the name occurrences in source order and a small syntax tree kept
// in flat arrays (no node owns another, so freeing never recurses).
// Private to ks_utils.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ks_utils/MParseTree.hpp"

namespace ks_parse {

enum class Op : std::uint8_t {
#define MPARSE_OPERATOR(id, spelling, binaryLevel, isPrefix, mathmlText, run) \
  id,
#include "MParseOperators.def"
  None
};

// How translateToMathML writes a run a op1 b op2 c of one level.
enum class RunStyle : std::uint8_t {
  None,         // not a binary operator
  FlatInfix,    // (a + b - c): left to right, as libSBML reads it too
  NestedInfix,  // ((a ^ b) ^ c)
  NaryCall,     // or(a, b, c)
  NestedCall    // lt(le(a, b), c)
};

struct OperatorInfo {
  Op op;
  std::string_view spelling;
  int binaryLevel;
  bool isPrefix;
  std::string_view mathmlText;
  RunStyle run;
};

inline constexpr OperatorInfo kOperatorTable[] = {
#define MPARSE_OPERATOR(id, spelling, binaryLevel, isPrefix, mathmlText, run) \
  {Op::id, spelling, binaryLevel, isPrefix, mathmlText, RunStyle::run},
#include "MParseOperators.def"
};

// The row of an operator (op must not be Op::None).
inline const OperatorInfo& operatorInfo(Op op) noexcept {
  return kOperatorTable[static_cast<std::size_t>(op)];
}

// Binds tighter than unary prefix operators; see MParseOperators.def.
inline constexpr int kPowerLevel = 9;
// Deepest nesting of parentheses, calls and prefix operators accepted, both
// in the text and in the fully parenthesised form that translateToMathML
// writes (so that this form always parses again).
inline constexpr std::size_t kMaxNesting = 1000;

enum class TokenKind : std::uint8_t {
  Number,
  Name,
  Operator,
  LeftParen,
  RightParen,
  Comma,
  End
};

struct Token {
  TokenKind kind = TokenKind::End;
  Op op = Op::None;
  std::size_t begin = 0;  // byte offsets into the text, end exclusive
  std::size_t end = 0;
  std::size_t name = 0;  // index into names when kind is Name
};

// One use of a name (a variable or a callee): its span in the text and its
// canonical form (trimmed parts, bracketed when not identifiers, "."-joined).
struct NameOccurrence {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::string canonical;
};

enum class NodeKind : std::uint8_t { Number, Name, Call, Prefix, Chain };

// Number and Name: token.  Call: token (the callee) and the arguments in
// children[first, first + count).  Prefix: op and one child.  Chain: a run
// of binary operators of one level, children[first] op1 children[first + 1]
// ..., left to right, the operator before child i in childOps[i].
// begin is the byte offset where the node's text starts; nesting is how
// deep parentheses, calls and prefix operators nest inside the node's
// translateToMathML form (formulaNesting).
struct Node {
  NodeKind kind = NodeKind::Number;
  Op op = Op::None;
  std::size_t token = 0;
  std::size_t first = 0;
  std::size_t count = 0;
  std::size_t begin = 0;
  std::size_t nesting = 0;
};

struct ParsedExpression {
  std::vector<Token> tokens;
  std::vector<NameOccurrence> names;
  bool hasNumber = false;
  std::vector<Node> nodes;
  std::vector<std::size_t> children;
  std::vector<Op> childOps;
  std::size_t root = 0;
};

// Throws ErrorIdException("ks:ParseError", "Parse error at position N: ...")
// with the 1-based byte position of the fault.
[[noreturn]] void throwParseError(std::size_t offset, const std::string& what);

// Splits the text into tokens and name occurrences (into out.tokens,
// out.names, out.hasNumber); the last token is End.  Throws the parse error
// on a character outside the language, an unclosed or stray bracket, an
// empty bracketed name, a bare word that is not an identifier or a name of
// more than two parts.
void lexExpression(std::string_view text, ParsedExpression& out);

// Lexes and parses the text into out, whose lists are replaced by lists of
// exactly the size the expression fills.  Throws the parse error on any
// fault (out is then left as it was).
void parseExpression(std::string_view text, ParsedExpression& out);

// The nesting of the translateToMathML form of a node whose children are
// complete (the parser records it in Node::nesting).
std::size_t formulaNesting(const ParsedExpression& parsed, const Node& node);

// Writes the fully parenthesised form of a parsed expression (see
// MParseTree::translateToMathML).
void writeMathMLFormula(std::string_view text, const ParsedExpression& parsed,
                        std::string& out);

// The postfix steps of the same form (see MParseTree::mathMLSteps).
void writeMathMLSteps(std::string_view text, const ParsedExpression& parsed,
                      std::vector<MParseStep>& out);

}  // namespace ks_parse
