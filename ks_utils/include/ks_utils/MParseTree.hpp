// The parse tree of an expression in the host language, written for the
// engine's expressions: it lists the names an expression uses, renames
// them, and writes the expression in the form libSBML's formula parser
// reads.
//
// Grammar, loosest first:  ||  &&  |  &  (< <= > >= == !=)  (+ -)  (* /)
// prefix (+ - !)  ^  -- so -a^b is -(a^b) and 2^-1 is 2^(-1); every binary
// operator groups left to right.  Operands are numbers, names, calls
// name(arg, ...) and parenthesised expressions.  A number is
// \d+(\.\d*)?([eE][+-]?\d+)? or \.\d+([eE][+-]?\d+)?; numbers are never
// tokens.  A name is part or part.part, where a part is an identifier
// (isValidPELLAMIdentifier) or a non-empty text in "[ ]" without brackets;
// its canonical form trims each part, brackets it when it is not an
// identifier and joins the parts with "." ("[A]" -> "A", "[c1].[A]" ->
// "c1.A", "[ my A ]" -> "[my A]").  Whitespace is SPACE, TAB, CR, LF, FF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <boost/function.hpp>

#include "ks_utils/KsApi.hpp"
#include "ks_utils/kstrContainers.hpp"

namespace ks_parse {
struct ParsedExpression;
}

// One step of the expression in the form translateToMathML writes, read in
// postfix order: a number (text as written), a name (canonical form), a
// call of text on the last count results (the callee, or the function a
// relational or logical operator or "!" becomes: lt, and, not, ...), an
// infix operator (op one of + - * / ^) on the last two results, or a
// negation of the last result.  text views the tree's own storage and lives
// as long as the tree.
struct MParseStep {
  enum class Kind : std::uint8_t { Number, Name, Call, Infix, Negate };
  Kind kind = Kind::Number;
  char op = 0;
  std::string_view text;
  std::size_t count = 0;
};

class KS_API MParseTree {
 public:
  // The object itself lives on the host heap (hbMalloc / hbFree).  new
  // throws std::bad_alloc when the memory cannot be had.
  static void* operator new(std::size_t size);
  static void operator delete(void* p) noexcept;

  // Keeps a copy of the text (null is taken as ""); parses nothing yet.
  explicit MParseTree(const char* text);
  ~MParseTree();
  MParseTree(const MParseTree&) = delete;
  MParseTree& operator=(const MParseTree&) = delete;

  // Parses the text.  With reparse false a tree that has already parsed is
  // kept as it is; with true the text is parsed again.  A text that is not
  // an expression throws ErrorIdException("ks:ParseError", "Parse error at
  // position N: ...") by value, N being the 1-based byte position of the
  // fault, whatever the flag; the tree is then unparsed.  Faults: empty or
  // blank text, a stray "=", unbalanced "( )" or "[ ]", an empty "[ ]", a
  // missing operand or operator, a name of three parts, a bare word that is
  // a keyword or longer than 63 characters, a byte outside printable ASCII,
  // and parentheses, calls and prefix operators nested deeper than 1000
  // levels in the text or in its translateToMathML form (where (-a) counts
  // two levels and ((a ^ b) ^ c) one per "^").
  void init(bool reparse);

  // True after a successful init.
  bool isParsed() const noexcept;
  // The text given to the constructor.
  const std::string& getText() const noexcept;

  // Appends to out, in source order, the canonical form of every name the
  // expression uses (variables and callees alike) for which pred answers
  // non-zero; with distinct only the first occurrence of each name is
  // considered.  An empty pred accepts every name.  out is not cleared.
  // Throws ErrorIdException("ks:ParseTreeNotParsed") before a successful
  // init (as do the other const operations below).
  void parsePLExpression(kstrVector<std::string>& out,
                         boost::function1<uint64_t, const std::string&> pred,
                         bool distinct) const;

  // Returns the text with every name whose canonical form is a key of
  // replacements (a variable or a callee) replaced by the key's value, all
  // at once (so {A -> B, B -> A} swaps).  Everything else, spacing
  // included, stays as written.  Values are copied verbatim; a null value
  // leaves the name as written.  The result is a new zero-terminated text
  // on the host heap; the caller frees it with hbFree.
  char* traverseSubstitute(
      const kstrMap<std::string, const char*>& replacements) const;

  // True when the expression holds a numeric literal.
  bool getContainsNumericValues() const;

  // Replaces out with the expression fully parenthesised for libSBML's
  // level-1 formula parser.  + - * / ^ stay infix: each run of + and - or
  // of * and / is one parenthesised group read left to right ("(a - b +
  // c)"), "^" runs nest ("((a ^ b) ^ c)").  == != >= <= > < become eq ne ge
  // le gt lt calls, nested for a run (lt(lt(a, b), c)); & && and | || become
  // and and or calls taking the whole run (or(a, b, c)); ! becomes not(a);
  // unary minus is written (-a) and unary plus dropped.  Names are written
  // in canonical form, numbers as written.  The result parses again here
  // and translates to itself.  libSBML knows ne, ge and le as neq, geq and
  // leq: the caller renames them (traverseSubstitute) before handing the
  // text on.
  void translateToMathML(std::string& out) const;

  // Replaces out with the steps of the translateToMathML form: what
  // libSBML's formula parser reads from that text, one operator at a time
  // ("(a + b - c)" is a + b, then - c; "((a ^ b) ^ c)" likewise; "lt(le(a,
  // b), c)" is le of a and b, then lt of that and c).
  void mathMLSteps(std::vector<MParseStep>& out) const;

  // True when the text names a function or constant of the host language
  // (case sensitive); false for anything else.
  static bool isStrPellamFcn(const std::string& name);

 private:
  const ks_parse::ParsedExpression& parsed() const;

  std::string text_;
  std::unique_ptr<ks_parse::ParsedExpression> parsed_;
};
