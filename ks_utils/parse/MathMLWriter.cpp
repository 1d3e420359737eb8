// The fully parenthesised form of a parsed expression that libSBML's
// level-1 formula parser reads: + - * / ^ stay infix inside parentheses,
// relational and logical operators become calls (lt(a, b), and(a, b, c),
// not(a)), unary minus is written (-a) and unary plus is dropped.  Names
// are written in canonical form and numbers as they stand in the text.
// formulaNesting counts the nesting of exactly this layout, and the steps
// are the same form read one operator at a time; keep the three in step.
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

// What both writers read of a node: the text of its token and its
// canonical name.
class TreeReader {
 protected:
  TreeReader(std::string_view text, const ParsedExpression& parsed)
      : text_(text), parsed_(parsed) {}

  std::string_view tokenText(const Node& node) const {
    const Token& t = parsed_.tokens[node.token];
    return text_.substr(t.begin, t.end - t.begin);
  }

  const std::string& nameOf(const Node& node) const {
    return parsed_.names[parsed_.tokens[node.token].name].canonical;
  }

  std::string_view text_;
  const ParsedExpression& parsed_;
};

class MathMLWriter : public TreeReader {
 public:
  MathMLWriter(std::string_view text, const ParsedExpression& parsed,
               std::string& out)
      : TreeReader(text, parsed), out_(out) {}

  // The tree is no deeper than kMaxNesting levels of the output, so the
  // recursion here is bounded.
  void write(std::size_t index) {
    const Node& node = parsed_.nodes[index];
    switch (node.kind) {
      case NodeKind::Number:
        out_.append(tokenText(node));
        return;
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

  std::string& out_;
};

// The same form as postfix steps, in the order libSBML's parser would
// build them from the text MathMLWriter writes.
class StepWriter : public TreeReader {
 public:
  StepWriter(std::string_view text, const ParsedExpression& parsed,
             std::vector<MParseStep>& out)
      : TreeReader(text, parsed), out_(out) {}

  // Bounded by kMaxNesting, as MathMLWriter::write.
  void write(std::size_t index) {
    const Node& node = parsed_.nodes[index];
    switch (node.kind) {
      case NodeKind::Number:
        push(MParseStep::Kind::Number, tokenText(node));
        return;
      case NodeKind::Name:
        push(MParseStep::Kind::Name, nameOf(node));
        return;
      case NodeKind::Call:
        writeChildren(node);
        push(MParseStep::Kind::Call, nameOf(node), node.count);
        return;
      case NodeKind::Prefix:
        writeChild(node.first);
        if (node.op == Op::Minus) push(MParseStep::Kind::Negate, {});
        if (node.op == Op::Not) push(MParseStep::Kind::Call, operatorInfo(node.op).mathmlText, 1);
        return;
      case NodeKind::Chain:
        writeChain(node);
        return;
    }
  }

 private:
  void push(MParseStep::Kind kind, std::string_view text, std::size_t count = 0, char op = 0) {
    MParseStep step;
    step.kind = kind;
    step.op = op;
    step.text = text;
    step.count = count;
    out_.push_back(step);
  }

  void writeChild(std::size_t slot) { write(parsed_.children[slot]); }

  void writeChildren(const Node& node) {
    for (std::size_t i = node.first; i < node.first + node.count; ++i) writeChild(i);
  }

  // Every run but a call of all operands is read left to right, one
  // operator at a time: ((a op1 b) op2 c).
  void writeChain(const Node& node) {
    if (runStyleOf(parsed_, node) == RunStyle::NaryCall) {
      writeChildren(node);
      push(MParseStep::Kind::Call, operatorInfo(parsed_.childOps[node.first + 1]).mathmlText, node.count);
      return;
    }
    writeChild(node.first);
    for (std::size_t i = node.first + 1; i < node.first + node.count; ++i) {
      writeChild(i);
      const OperatorInfo& info = operatorInfo(parsed_.childOps[i]);
      if (info.run == RunStyle::NestedCall) {
        push(MParseStep::Kind::Call, info.mathmlText, 2);
      } else {
        push(MParseStep::Kind::Infix, {}, 2, info.mathmlText.front());
      }
    }
  }

  std::vector<MParseStep>& out_;
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

void writeMathMLSteps(std::string_view text, const ParsedExpression& parsed,
                      std::vector<MParseStep>& out) {
  out.clear();
  StepWriter(text, parsed, out).write(parsed.root);
}

}  // namespace ks_parse
