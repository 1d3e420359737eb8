// The fully parenthesised form of a parsed expression that libSBML's
// level-1 formula parser reads: + - * / ^ stay infix inside parentheses,
// relational and logical operators become calls (lt(a, b), and(a, b, c),
// not(a)), unary minus is written (-a) and unary plus is dropped.  Names
// are written in canonical form and numbers as they stand in the text.
// formulaNesting counts the nesting of exactly this layout; keep the two in
// step.
#include "MParseSyntax.hpp"

#include <algorithm>

namespace ks_parse {
namespace {

RunStyle runStyleOf(const ParsedExpression& parsed, const Node& chain) {
  return operatorInfo(parsed.childOps[chain.first + 1]).run;
}

std::size_t childNesting(const ParsedExpression& parsed, std::size_t slot) {
  return parsed.nodes[parsed.children[slot]].nesting;
}

std::size_t deepestChild(const ParsedExpression& parsed, const Node& node) {
  std::size_t deepest = 0;
  for (std::size_t i = node.first; i < node.first + node.count; ++i) {
    deepest = std::max(deepest, childNesting(parsed, i));
  }
  return deepest;
}

// ((a op b) op c): child 0 stands inside count - 1 pairs, child i inside
// count - i.
std::size_t nestedRunNesting(const ParsedExpression& parsed,
                             const Node& chain) {
  std::size_t deepest = chain.count - 1 + childNesting(parsed, chain.first);
  for (std::size_t i = 1; i < chain.count; ++i) {
    deepest =
        std::max(deepest, chain.count - i + childNesting(parsed, chain.first + i));
  }
  return deepest;
}

class MathMLWriter {
 public:
  MathMLWriter(std::string_view text, const ParsedExpression& parsed,
               std::string& out)
      : text_(text), parsed_(parsed), out_(out) {}

  // The tree is no deeper than kMaxNesting levels of the output, so the
  // recursion here is bounded.
  void write(std::size_t index) {
    const Node& node = parsed_.nodes[index];
    switch (node.kind) {
      case NodeKind::Number: {
        const Token& t = parsed_.tokens[node.token];
        out_.append(text_.substr(t.begin, t.end - t.begin));
        return;
      }
      case NodeKind::Name:
        out_.append(nameOf(node));
        return;
      case NodeKind::Call:
        out_.append(nameOf(node));
        writeList(node, ", ");
        return;
      case NodeKind::Prefix:
        writePrefix(node);
        return;
      case NodeKind::Chain:
        writeChain(node);
        return;
    }
  }

 private:
  const std::string& nameOf(const Node& node) const {
    return parsed_.names[parsed_.tokens[node.token].name].canonical;
  }

  void writeChild(std::size_t slot) { write(parsed_.children[slot]); }

  // (c0, c1, ...) with separators; with opSeparators the operator before
  // each child stands between spaces instead.
  void writeList(const Node& node, std::string_view separator,
                 bool opSeparators = false) {
    out_.push_back('(');
    for (std::size_t i = node.first; i < node.first + node.count; ++i) {
      if (i != node.first && opSeparators) {
        out_.push_back(' ');
        out_.append(operatorInfo(parsed_.childOps[i]).mathmlText);
        out_.push_back(' ');
      } else if (i != node.first) {
        out_.append(separator);
      }
      writeChild(i);
    }
    out_.push_back(')');
  }

  void writePrefix(const Node& node) {
    if (node.op == Op::Plus) {  // unary plus changes nothing
      writeChild(node.first);
      return;
    }
    // (-a) or not(a)
    if (node.op == Op::Not) out_.append(operatorInfo(node.op).mathmlText);
    out_.push_back('(');
    if (node.op == Op::Minus) out_.push_back('-');
    writeChild(node.first);
    out_.push_back(')');
  }

  void writeChain(const Node& node) {
    switch (runStyleOf(parsed_, node)) {
      case RunStyle::FlatInfix:
        writeList(node, "", true);
        return;
      case RunStyle::NaryCall:
        out_.append(operatorInfo(parsed_.childOps[node.first + 1]).mathmlText);
        writeList(node, ", ");
        return;
      case RunStyle::NestedInfix:
      case RunStyle::NestedCall:
      case RunStyle::None:
        writeNested(node);
        return;
    }
  }

  // ((a op1 b) op2 c) for infix operators, op2(op1(a, b), c) for calls.
  void writeNested(const Node& node) {
    const std::size_t last = node.first + node.count;
    for (std::size_t i = last - 1; i > node.first; --i) {
      const OperatorInfo& info = operatorInfo(parsed_.childOps[i]);
      if (info.run == RunStyle::NestedCall) out_.append(info.mathmlText);
      out_.push_back('(');
    }
    writeChild(node.first);
    for (std::size_t i = node.first + 1; i < last; ++i) {
      const OperatorInfo& info = operatorInfo(parsed_.childOps[i]);
      if (info.run == RunStyle::NestedCall) {
        out_.append(", ");
      } else {
        out_.push_back(' ');
        out_.append(info.mathmlText);
        out_.push_back(' ');
      }
      writeChild(i);
      out_.push_back(')');
    }
  }

  std::string_view text_;
  const ParsedExpression& parsed_;
  std::string& out_;
};

}  // namespace

std::size_t formulaNesting(const ParsedExpression& parsed, const Node& node) {
  switch (node.kind) {
    case NodeKind::Number:
    case NodeKind::Name:
      return 0;
    case NodeKind::Call:
      return 1 + deepestChild(parsed, node);
    case NodeKind::Prefix: {
      const std::size_t inner = childNesting(parsed, node.first);
      // a, not(a), (-a): the "-" counts as a level of its own when parsed
      if (node.op == Op::Plus) return inner;
      return inner + (node.op == Op::Minus ? 2 : 1);
    }
    case NodeKind::Chain:
      switch (runStyleOf(parsed, node)) {
        case RunStyle::FlatInfix:
        case RunStyle::NaryCall:
          return 1 + deepestChild(parsed, node);
        case RunStyle::NestedInfix:
        case RunStyle::NestedCall:
        case RunStyle::None:
          return nestedRunNesting(parsed, node);
      }
  }
  return 0;
}

void writeMathMLFormula(std::string_view text, const ParsedExpression& parsed,
                        std::string& out) {
  out.clear();
  MathMLWriter(text, parsed, out).write(parsed.root);
}

}  // namespace ks_parse
