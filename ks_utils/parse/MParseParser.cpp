// Precedence-climbing parser over the lexed tokens.  Runs of binary
// operators of one level become one Chain node, so a long sum does not make
// a deep tree; nesting of parentheses, calls and prefix operators, in the
// text and in its translateToMathML form, is limited to kMaxNesting so that
// a hostile text cannot exhaust the stack and every translation parses.
#include "MParseSyntax.hpp"

#include <iterator>

namespace ks_parse {
namespace {

class Parser {
 public:
  Parser(std::string_view text, ParsedExpression& out)
      : text_(text), out_(out), operands_(scratch<std::size_t>()), ops_(scratch<Op>()) {
    operands_.clear();
    ops_.clear();
  }
  // The thread keeps the lists of a formula's usual size; those a very long
  // one grew go with its parse.
  ~Parser() {
    constexpr std::size_t keptOperands = 4096;
    if (operands_.capacity() > keptOperands) std::vector<std::size_t>().swap(operands_);
    if (ops_.capacity() > keptOperands) std::vector<Op>().swap(ops_);
  }
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;

  void run() {
    if (peek().kind == TokenKind::End) {
      throwParseError(0, "the expression is empty");
    }
    out_.root = parseBinary(1);
    const Token& rest = peek();
    if (rest.kind != TokenKind::End) throwTrailing(rest);
  }

 private:
  const Token& peek() const noexcept { return out_.tokens[next_]; }
  const Token& advance() noexcept { return out_.tokens[next_++]; }
  // The token's text in quotes, shortened when long.
  std::string lexeme(const Token& t) const {
    constexpr std::size_t kShown = 40;
    const std::string_view text = text_.substr(t.begin, t.end - t.begin);
    if (text.size() <= kShown) return "\"" + std::string(text) + "\"";
    return "\"" + std::string(text.substr(0, kShown)) + "...\"";
  }

  [[noreturn]] void throwTrailing(const Token& t) const {
    if (t.kind == TokenKind::RightParen) {
      throwParseError(t.begin, "unbalanced \")\"");
    }
    if (t.kind == TokenKind::Operator) {
      throwParseError(t.begin, lexeme(t) + " cannot follow an operand");
    }
    throwParseError(t.begin, "missing operator before " + lexeme(t));
  }

  // Adds a node whose children are complete.  Refuses a node whose
  // translateToMathML form would nest deeper than the parser accepts.
  std::size_t addNode(NodeKind kind, Op op, std::size_t token,
                      std::size_t begin, std::size_t first = 0,
                      std::size_t count = 0) {
    Node node{kind, op, token, first, count, begin, 0};
    node.nesting = formulaNesting(out_, node);
    if (node.nesting > kMaxNesting) throwTooDeep(begin);
    out_.nodes.push_back(node);
    return out_.nodes.size() - 1;
  }

  [[noreturn]] static void throwTooDeep(std::size_t offset) {
    throwParseError(offset, "the expression nests deeper than " +
                                std::to_string(kMaxNesting) + " levels");
  }

  // Moves the list of operands from base to the top of the stack into the
  // child lists; returns its first index.
  std::size_t closeList(std::size_t base) {
    const std::size_t first = out_.children.size();
    out_.children.insert(out_.children.end(), operands_.begin() + static_cast<std::ptrdiff_t>(base),
                         operands_.end());
    out_.childOps.insert(out_.childOps.end(), ops_.begin() + static_cast<std::ptrdiff_t>(base), ops_.end());
    operands_.resize(base);
    ops_.resize(base);
    return first;
  }
  // Pushes an operand, and the operator before it, on the list being made.
  void pushOperand(std::size_t node, Op op) {
    operands_.push_back(node);
    ops_.push_back(op);
  }

  void enterNesting(const Token& at) {
    if (++nesting_ > kMaxNesting) throwTooDeep(at.begin);
  }

  int binaryLevelOf(const Token& t) const noexcept {
    if (t.kind != TokenKind::Operator) return 0;
    const int level = operatorInfo(t.op).binaryLevel;
    return level == kPowerLevel ? 0 : level;  // "^" is taken by parsePower
  }

  // Binary operators of level minLevel and above.  The levels met in the
  // loop never rise, so each change of level closes the current run.
  std::size_t parseBinary(int minLevel) {
    std::size_t lhs = parseUnary();
    const std::size_t base = operands_.size();
    int runLevel = 0;
    for (;;) {
      const int level = binaryLevelOf(peek());
      if (level == 0 || level < minLevel) break;
      const Op op = advance().op;
      const std::size_t rhs = parseBinary(level + 1);
      if (level != runLevel) {
        if (runLevel != 0) lhs = closeRun(base);
        pushOperand(lhs, Op::None);
        runLevel = level;
      }
      pushOperand(rhs, op);
    }
    return runLevel != 0 ? closeRun(base) : lhs;
  }

  // A Chain node of the operands from base up.
  std::size_t closeRun(std::size_t base) {
    const std::size_t begin = out_.nodes[operands_[base]].begin;
    const std::size_t count = operands_.size() - base;
    const std::size_t first = closeList(base);
    return addNode(NodeKind::Chain, Op::None, 0, begin, first, count);
  }

  bool atPrefixOperator() const noexcept {
    const Token& t = peek();
    return t.kind == TokenKind::Operator && operatorInfo(t.op).isPrefix;
  }

  // Prefix operators bind looser than "^": -a^b is -(a^b).
  std::size_t parseUnary() {
    if (!atPrefixOperator()) return parsePower();
    return parsePrefixed(&Parser::parseUnary);
  }

  std::size_t parsePrefixed(std::size_t (Parser::*operand)()) {
    const Token& t = advance();
    enterNesting(t);
    const std::size_t child = (this->*operand)();
    --nesting_;
    const std::size_t first = out_.children.size();
    out_.children.push_back(child);
    out_.childOps.push_back(Op::None);
    return addNode(NodeKind::Prefix, t.op, 0, t.begin, first, 1);
  }

  // primary ('^' powerOperand)*, left to right.
  std::size_t parsePower() {
    const std::size_t base = parsePrimary();
    if (!isPowerOperator(peek())) return base;
    const std::size_t listBase = operands_.size();
    pushOperand(base, Op::None);
    while (isPowerOperator(peek())) {
      const Op op = advance().op;
      const std::size_t exponent = parsePowerOperand();  // may make lists of its own first
      pushOperand(exponent, op);
    }
    return closeRun(listBase);
  }

  static bool isPowerOperator(const Token& t) noexcept {
    return t.kind == TokenKind::Operator && t.op == Op::Power;
  }

  // The exponent may carry prefix operators: 2^-1.
  std::size_t parsePowerOperand() {
    if (!atPrefixOperator()) return parsePrimary();
    return parsePrefixed(&Parser::parsePowerOperand);
  }

  std::size_t parsePrimary() {
    const Token& t = peek();
    switch (t.kind) {
      case TokenKind::Number: {
        const std::size_t token = next_++;
        return addNode(NodeKind::Number, Op::None, token, t.begin);
      }
      case TokenKind::Name:
        return parseNameOrCall();
      case TokenKind::LeftParen:
        return parseGroup();
      case TokenKind::RightParen:
        if (parenDepth_ == 0) throwParseError(t.begin, "unbalanced \")\"");
        throwParseError(t.begin, "expected an operand before \")\"");
      case TokenKind::Comma:
        throwParseError(t.begin, "expected an operand before \",\"");
      case TokenKind::Operator:
        throwParseError(t.begin, "expected an operand before " + lexeme(t));
      case TokenKind::End:
        throwParseError(t.begin, "expected an operand at the end of the text");
    }
    throwParseError(t.begin, "unexpected token");
  }

  std::size_t parseGroup() {
    const Token& open = advance();
    enterNesting(open);
    ++parenDepth_;
    const std::size_t inner = parseBinary(1);
    expectClose(open);
    --parenDepth_;
    --nesting_;
    return inner;
  }

  void expectClose(const Token& open) {
    const Token& t = peek();
    if (t.kind == TokenKind::RightParen) {
      ++next_;
      return;
    }
    if (t.kind == TokenKind::End) {
      throwParseError(open.begin, "\"(\" is never closed");
    }
    throwParseError(t.begin, "expected \")\" before " + lexeme(t));
  }

  std::size_t parseNameOrCall() {
    const std::size_t nameToken = next_;
    const std::size_t begin = advance().begin;
    if (peek().kind != TokenKind::LeftParen) {
      return addNode(NodeKind::Name, Op::None, nameToken, begin);
    }
    const Token& open = advance();
    enterNesting(open);
    ++parenDepth_;
    const std::size_t base = operands_.size();
    if (peek().kind != TokenKind::RightParen) {
      const std::size_t arg = parseBinary(1);
      pushOperand(arg, Op::None);
      while (peek().kind == TokenKind::Comma) {
        ++next_;
        const std::size_t more = parseBinary(1);
        pushOperand(more, Op::None);
      }
    }
    expectClose(open);
    --parenDepth_;
    --nesting_;
    const std::size_t count = operands_.size() - base;
    const std::size_t first = closeList(base);
    return addNode(NodeKind::Call, Op::None, nameToken, begin, first, count);
  }

  std::string_view text_;
  ParsedExpression& out_;
  // The operand lists being made, innermost last, each from its base to
  // the top: an inner list is closed (moved to the child lists) before the
  // list around it grows again, so that one pair of vectors serves every
  // list of the text.  The pair is the thread's own and kept from one
  // parse to the next (a parse calls no other), so that a formula's parse
  // allocates none of it.
  template <class T>
  static std::vector<T>& scratch() {
    thread_local std::vector<T> lists;
    return lists;
  }
  std::vector<std::size_t>& operands_;
  std::vector<Op>& ops_;
  std::size_t next_ = 0;
  std::size_t nesting_ = 0;
  std::size_t parenDepth_ = 0;
};

}  // namespace

namespace {

// What a parse of a formula of the usual size fills, kept by the thread
// from one parse to the next: lists that a very long formula grew go with
// its parse.
constexpr std::size_t kKeptScratchEntries = 4096;

template <class Vector>
void releaseWhenLarge(Vector& v) {
  if (v.capacity() > kKeptScratchEntries) Vector().swap(v);
}

// Replaces the lists of to with copies of those of from (the names moved),
// each at its exact size.
void copyExact(ParsedExpression& from, ParsedExpression& to) {
  to.tokens.assign(from.tokens.begin(), from.tokens.end());
  to.names.assign(std::make_move_iterator(from.names.begin()), std::make_move_iterator(from.names.end()));
  to.hasNumber = from.hasNumber;
  to.nodes.assign(from.nodes.begin(), from.nodes.end());
  to.children.assign(from.children.begin(), from.children.end());
  to.childOps.assign(from.childOps.begin(), from.childOps.end());
  to.root = from.root;
}

}  // namespace

void parseExpression(std::string_view text, ParsedExpression& out) {
  // The lexer and the parser reserve room for as many tokens as the text
  // has characters, several times what a formula fills.  A parsed
  // expression is kept as long as its owner lives, tens of thousands of
  // them in a large model: they are parsed into lists this thread keeps,
  // and out receives a copy of each at its exact size.
  thread_local ParsedExpression scratch;
  struct Reset {
    ParsedExpression& lists;
    ~Reset() {
      lists.tokens.clear();
      lists.names.clear();
      lists.nodes.clear();
      lists.children.clear();
      lists.childOps.clear();
      lists.hasNumber = false;
      lists.root = 0;
      releaseWhenLarge(lists.tokens);
      releaseWhenLarge(lists.names);
      releaseWhenLarge(lists.nodes);
      releaseWhenLarge(lists.children);
      releaseWhenLarge(lists.childOps);
    }
  } reset{scratch};
  lexExpression(text, scratch);
  // Every node stands on a token of its own, every child is a node and
  // every operator between children a token: room for all at once.
  scratch.nodes.reserve(scratch.tokens.size());
  scratch.children.reserve(scratch.tokens.size());
  scratch.childOps.reserve(scratch.tokens.size());
  Parser(text, scratch).run();
  copyExact(scratch, out);
}

}  // namespace ks_parse
