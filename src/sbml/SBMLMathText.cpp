// SBML math trees and host formulas in both directions.
#include "sbml/SBMLMathText.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include <sbml/math/ASTNode.h>
#include <sbml/math/FormulaFormatter.h>
#include <sbml/math/FormulaParser.h>
#include <sbml/math/MathML.h>

#include <ks_utils/Errors.hpp>
#include <ks_utils/MParseTree.hpp>

#include "expressions/FormulaFunctions.hpp"
#include "host/Host.hpp"
#include "model/MessageCatalog.hpp"
#include "sbml/SBMLComponent.hpp"
#include "sbml/SBMLConversionContext.hpp"
#include "sbml/SBMLInputShape.hpp"
#include "sbml/SBMLLargeStack.hpp"
#include "sbml/SBMLNumberText.hpp"

using Code = kstr::MessageCode;

namespace kstr::sbml {

namespace {

// MathML function name -> host name, from the shared table.
const std::map<std::string, std::string, std::less<>>& hostNames() {
  static const auto map = [] {
    std::map<std::string, std::string, std::less<>> m;
    for (const FormulaFunction& f : formulaFunctions()) m.emplace(f.mathml, f.host);
    return m;
  }();
  return map;
}

// The MathML name libSBML gives a node type of its own ("arccos").
std::string mathmlNameOf(ASTNodeType_t type) {
  const ASTNode canonical(type);
  return canonical.getName() ? canonical.getName() : "";
}

// The levels of a tree (a leaf is one), without recursion.
size_t levelsOf(const ASTNode& math) { return mathLevelsOf(math); }

// --- read -----------------------------------------------------------------

// How tightly what a node writes binds in the host grammar: a sum, a
// product, a prefix minus, an operand (a name, number or call).
enum Level { kSum = 1, kProduct = 2, kPrefix = 3, kOperand = 4 };

bool isNumber(const ASTNode& node) { return node.isNumber() && node.getNumChildren() == 0; }

bool hasValue(const ASTNode& node, double value) {
  return isNumber(node) && (node.isInteger() ? static_cast<double>(node.getInteger()) == value
                                             : node.getReal() == value);
}

// The operator nodes that pass their only operand through.
bool passesThrough(const ASTNode& node) {
  switch (node.getType()) {
    case AST_PLUS:
    case AST_TIMES:
    case AST_LOGICAL_AND:
    case AST_LOGICAL_OR:
    case AST_LOGICAL_XOR:
      return node.getNumChildren() == 1;
    default:
      return false;
  }
}

Level levelOf(const ASTNode& node) {
  const ASTNode* n = &node;
  while (passesThrough(*n)) n = n->getChild(0);
  const unsigned count = n->getNumChildren();
  switch (n->getType()) {
    case AST_PLUS:
      return count == 0 ? kOperand : kSum;
    case AST_MINUS:
      return count == 1 ? kPrefix : kSum;
    case AST_TIMES:
      return count == 0 ? kOperand : kProduct;
    case AST_DIVIDE:
      return kProduct;
    case AST_INTEGER:
      return n->getInteger() < 0 ? kPrefix : kOperand;
    case AST_REAL:
    case AST_REAL_E:
    case AST_RATIONAL:
      return std::signbit(n->getReal()) && !std::isnan(n->getReal()) ? kPrefix : kOperand;
    default:
      return kOperand;
  }
}

// Writes the host text of a tree without recursion, so that a tree as deep
// as the read accepts takes no more of the caller's stack than a shallow
// one.  A step writes a text, or the text of one node: what the node writes
// before its first operand goes out at once, and the rest (its operands and
// the texts between and after them) becomes steps that run, in order,
// before any step that was already waiting.
class HostTextWriter {
 public:
  explicit HostTextWriter(const ModelNameOf& nameOf) : nameOf_(nameOf) {
    // Room for the steps and text of a rate law of a few terms at once.
    steps_.reserve(16);
    later_.reserve(16);
    out_.reserve(64);
  }

  std::string text(const ASTNode& math) {
    steps_.push_back(Step{&math, kSum, true, {}});
    while (!steps_.empty()) {
      Step step = std::move(steps_.back());
      steps_.pop_back();
      if (!step.node) {
        out_ += step.text;
      } else if (step.put) {
        put(*step.node, step.least);
      } else {
        emit(*step.node);
      }
      steps_.insert(steps_.end(), std::make_move_iterator(later_.rbegin()), std::make_move_iterator(later_.rend()));
      later_.clear();
    }
    return std::move(out_);
  }

 private:
  // A text (node null), a node in its place (put) or a node as it stands.
  struct Step {
    const ASTNode* node;
    Level least;
    bool put;
    std::string text;
  };

  // Text goes straight out until the node's step has left an operand for
  // later; after that it waits its turn behind the operand.
  void write(std::string_view text) {
    if (later_.empty()) {
      out_ += text;
    } else {
      later_.push_back(Step{nullptr, kSum, false, std::string(text)});
    }
  }
  void write(char c) { write(std::string_view(&c, 1)); }

  void putLater(const ASTNode& node, Level least) { later_.push_back(Step{&node, least, true, {}}); }
  void emitLater(const ASTNode& node) { later_.push_back(Step{&node, kSum, false, {}}); }

  // The node, in parentheses when it binds less tightly than its place asks.
  void put(const ASTNode& node, Level least) {
    const bool parenthesised = levelOf(node) < least;
    if (parenthesised) write('(');
    emit(node);
    if (parenthesised) write(')');
  }

  void infix(const ASTNode& node, const char* op, Level left, Level right) {
    putLater(*node.getChild(0), left);
    for (unsigned i = 1; i < node.getNumChildren(); ++i) {
      write(op);
      putLater(*node.getChild(i), right);
    }
  }

  void call(const std::string& name, const ASTNode& node, unsigned first = 0) {
    write(name);
    write('(');
    for (unsigned i = first; i < node.getNumChildren(); ++i) {
      if (i > first) write(", ");
      putLater(*node.getChild(i), kSum);
    }
    write(')');
  }

  void name(const std::string& id) {
    const std::string model = nameOf_(id);
    write(model.empty() ? id : model);
  }

  // and(and(a, b), c) for a logical operator of three operands or more.
  void logicalChain(const ASTNode& node, const char* host) {
    const unsigned count = node.getNumChildren();
    for (unsigned i = 1; i < count; ++i) {
      write(host);
      write('(');
    }
    putLater(*node.getChild(0), kSum);
    for (unsigned i = 1; i < count; ++i) {
      write(", ");
      putLater(*node.getChild(i), kSum);
      write(')');
    }
  }

  // gt(a, b, c) means gt(a, b) and gt(b, c): and(gt(a, b), gt(b, c)).
  void relationChain(const ASTNode& node, const std::string& host) {
    const unsigned pairs = node.getNumChildren() - 1;
    for (unsigned i = 1; i < pairs; ++i) write("and(");
    for (unsigned i = 0; i < pairs; ++i) {
      if (i > 0) write(", ");
      write(host);
      write('(');
      putLater(*node.getChild(i), kSum);
      write(", ");
      putLater(*node.getChild(i + 1), kSum);
      write(')');
      if (i > 0) write(')');
    }
  }

  void number(const ASTNode& node) {
    write(node.isInteger() ? std::to_string(node.getInteger()) : numberText(node.getReal()));
  }

  void emitLogical(const ASTNode& node, const char* host, const char* empty) {
    const unsigned count = node.getNumChildren();
    if (count == 0) {
      write(empty);
    } else if (count == 1) {
      emitLater(*node.getChild(0));
    } else {
      logicalChain(node, host);
    }
  }

  void emitLog(const ASTNode& node) {
    if (node.getNumChildren() == 2 && hasValue(*node.getChild(0), 10.0)) {
      call("kstrlogf", node, 1);
    } else {
      call("kstrlogf", node);
    }
  }

  void emitRoot(const ASTNode& node) {
    if (node.getNumChildren() == 1 || (node.getNumChildren() == 2 && hasValue(*node.getChild(0), 2.0))) {
      call("sqrt", node, node.getNumChildren() - 1);
    } else {
      call("kstrnthroot", node);
    }
  }

  void emitArithmetic(const ASTNode& node) {
    const unsigned count = node.getNumChildren();
    switch (node.getType()) {
      case AST_PLUS:
        if (count == 0) write('0');
        else if (count == 1) emitLater(*node.getChild(0));
        else infix(node, " + ", kSum, kProduct);
        return;
      case AST_MINUS:
        if (count == 1) {
          write('-');
          putLater(*node.getChild(0), kOperand);
        } else {
          infix(node, " - ", kSum, kProduct);
        }
        return;
      case AST_TIMES:
        if (count == 0) write('1');
        else if (count == 1) emitLater(*node.getChild(0));
        else infix(node, " * ", kProduct, kPrefix);
        return;
      default:
        infix(node, " / ", kProduct, kPrefix);
        return;
    }
  }

  void emit(const ASTNode& node) {
    const ASTNodeType_t type = node.getType();
    switch (type) {
      case AST_PLUS:
      case AST_MINUS:
      case AST_TIMES:
      case AST_DIVIDE:
        if (node.getNumChildren() <= 2 || type == AST_PLUS || type == AST_TIMES) return emitArithmetic(node);
        break;
      case AST_INTEGER:
      case AST_REAL:
      case AST_REAL_E:
      case AST_RATIONAL:
        return number(node);
      case AST_NAME:
        return name(node.getName() ? node.getName() : "");
      case AST_NAME_TIME:
        write("time");
        return;
      case AST_NAME_AVOGADRO:
        write(numberText(node.getReal()));
        return;
      case AST_CONSTANT_E:
        write("exp(1)");
        return;
      case AST_CONSTANT_PI:
        write("pi");
        return;
      case AST_CONSTANT_TRUE:
        write("true");
        return;
      case AST_CONSTANT_FALSE:
        write("false");
        return;
      case AST_POWER:
      case AST_FUNCTION_POWER:
        return call("power", node);
      case AST_FUNCTION:
        if (node.getNumChildren() == 0) return name(node.getName() ? node.getName() : "");
        return call(node.getName() ? node.getName() : "", node);
      case AST_FUNCTION_LOG:
        return emitLog(node);
      case AST_FUNCTION_ROOT:
        return emitRoot(node);
      case AST_LOGICAL_AND:
        return emitLogical(node, "and", "true");
      case AST_LOGICAL_OR:
        return emitLogical(node, "or", "false");
      case AST_LOGICAL_XOR:
        return emitLogical(node, "xor", "false");
      default:
        break;
    }
    if (type >= AST_FUNCTION_ABS && type <= AST_RELATIONAL_NEQ) {
      const std::string mathml = mathmlNameOf(type);
      const auto found = hostNames().find(mathml);
      const std::string host = found != hostNames().end() ? found->second : mathml;
      if (type >= AST_RELATIONAL_EQ && node.getNumChildren() > 2) return relationChain(node, host);
      return call(host, node);
    }
    // What has no host form of its own is written as libSBML writes it (on
    // the large stack when deep: libSBML's formatter recurses).
    char* text = nullptr;
    runOnLargeStack([&] { text = SBML_formulaToString(&node); }, levelsOf(node) > kShallowNesting);
    write(text ? text : "");
    std::free(text);
  }

  const ModelNameOf& nameOf_;
  std::string out_;
  std::vector<Step> steps_;  // waiting, the next last
  std::vector<Step> later_;  // left by the running step, in order
};

}  // namespace

std::string hostFormulaOf(const ASTNode& math, const ModelNameOf& nameOf) {
  return HostTextWriter(nameOf).text(math);
}

// --- write ----------------------------------------------------------------

namespace {

// MathML function name -> libSBML node type, for every function type.
const std::map<std::string, ASTNodeType_t, std::less<>>& nodeTypes() {
  static const auto map = [] {
    std::map<std::string, ASTNodeType_t, std::less<>> m;
    for (int t = AST_FUNCTION_ABS; t <= AST_RELATIONAL_NEQ; ++t) {
      const auto type = static_cast<ASTNodeType_t>(t);
      m.emplace(mathmlNameOf(type), type);
    }
    return m;
  }();
  return map;
}

constexpr int kTaken = LIBSBML_OPERATION_SUCCESS;

// Puts an integer before the node's operands (a root's degree, a log's
// base); false, nothing changed, when libSBML refuses it.
bool prependNumber(ASTNode& node, long value) {
  MathPtr number(new ASTNode(AST_INTEGER));
  if (number->setValue(value) != kTaken || node.prependChild(number.get()) != kTaken) return false;
  number.release();
  return true;
}

enum class MathMLForm { None, Given, Refused };

// A call of a host function in its MathML form: None when it has none,
// Refused when libSBML refuses a part of the change.
MathMLForm giveMathMLForm(ASTNode& node, const std::string& host) {
  const auto given = [](bool taken) { return taken ? MathMLForm::Given : MathMLForm::Refused; };
  const unsigned count = node.getNumChildren();
  if (host == "sqrt" || host == "log10" || host == "log2" || (host == "kstrlogf" && count == 1)) {
    const bool root = host == "sqrt";
    return given(node.setType(root ? AST_FUNCTION_ROOT : AST_FUNCTION_LOG) == kTaken &&
                 prependNumber(node, root || host == "log2" ? 2 : 10));
  }
  if (host == "nthroot" && count == 2) {
    // nthroot(x, n) is MathML's root of degree n.
    ASTNode* degree = node.getChild(1);
    if (node.removeChild(1) != kTaken) return MathMLForm::Refused;
    if (node.prependChild(degree) != kTaken) {
      MathDeleter{}(degree);
      return MathMLForm::Refused;
    }
    return given(node.setType(AST_FUNCTION_ROOT) == kTaken);
  }
  if (host == "exp" && count == 1 && hasValue(*node.getChild(0), 1.0)) {
    ASTNode* one = node.getChild(0);
    if (node.removeChild(0) != kTaken) return MathMLForm::Refused;
    delete one;
    return given(node.setType(AST_CONSTANT_E) == kTaken);
  }
  for (const FormulaFunction& f : formulaFunctions()) {
    if (f.host != host) continue;
    if (f.mathml == "power") return given(node.setType(AST_POWER) == kTaken);
    if (f.mathml == "plus") return given(node.setType(AST_PLUS) == kTaken);
    if (f.mathml == "divide") return given(node.setType(AST_DIVIDE) == kTaken);
    // A function node keeps a name; the delay symbol writes it.
    return given(node.setType(nodeTypes().find(f.mathml)->second) == kTaken &&
                 node.setName(std::string(f.mathml).c_str()) == kTaken);
  }
  return MathMLForm::None;
}

// A name that no component answers to: the host's constants get their
// MathML forms, anything else stays the name it is.  False when libSBML
// refuses the change.
bool giveConstantForm(ASTNode& node, const std::string& name) {
  if (name == "pi") return node.setType(AST_CONSTANT_PI) == kTaken;
  if (name == "Inf" || name == "inf") return node.setValue(std::numeric_limits<double>::infinity()) == kTaken;
  if (name == "NaN" || name == "nan") return node.setValue(std::numeric_limits<double>::quiet_NaN()) == kTaken;
  if (name == "true") return node.setType(AST_CONSTANT_TRUE) == kTaken;
  if (name == "false") return node.setType(AST_CONSTANT_FALSE) == kTaken;
  if (name == "eps") return node.setValue(DBL_EPSILON) == kTaken;
  if (name == "time") return node.setType(AST_NAME_TIME) == kTaken && node.setName("time") == kTaken;
  return node.setName(name.c_str()) == kTaken;
}

ASTNodeType_t infixType(char op) {
  switch (op) {
    case '+':
      return AST_PLUS;
    case '-':
      return AST_MINUS;
    case '*':
      return AST_TIMES;
    case '/':
      return AST_DIVIDE;
    default:
      return AST_POWER;
  }
}

// Gives every name and call of a tree built from a formula its SBML form,
// parents before their children.
struct TreeNames {
  const ComponentIdOf& idOf;
  const NoMathMLForm& noForm;

  // Every node of the tree, parents before their operands and operands in
  // order (so that noForm hears of functions in the order they are
  // written), without recursion.  False when libSBML refuses a
  // component's id as a name or a part of a MathML form.
  bool restore(ASTNode& math) const {
    std::vector<ASTNode*> waiting{&math};
    while (!waiting.empty()) {
      ASTNode& node = *waiting.back();
      waiting.pop_back();
      if (!restoreNode(node)) return false;
      for (unsigned i = node.getNumChildren(); i-- > 0;) waiting.push_back(node.getChild(i));
    }
    return true;
  }

  bool restoreNode(ASTNode& node) const {
    if (node.getType() == AST_FUNCTION) {
      const std::string host = node.getName() ? node.getName() : "";
      const MathMLForm form = giveMathMLForm(node, host);
      if (form == MathMLForm::None) noForm(host);
      return form != MathMLForm::Refused;
    }
    if (node.getType() == AST_NAME) {
      const std::string name = node.getName() ? node.getName() : "";
      if (const char* id = idOf(name)) return node.setName(id) == kTaken;
      return giveConstantForm(node, name);
    }
    return true;
  }
};

// What libSBML's formula parser makes of a minus before a number: the
// number negated.  False when libSBML refuses the value.
bool negateNumber(ASTNode& number) {
  int status = LIBSBML_OPERATION_SUCCESS;
  if (number.isInteger()) {
    status = number.setValue(-number.getInteger());
  } else if (number.getType() == AST_REAL_E) {
    status = number.setValue(-number.getMantissa(), number.getExponent());
  } else {
    status = number.setValue(-number.getReal());
  }
  return status == LIBSBML_OPERATION_SUCCESS;
}

// Gives the child to the parent; false, the child freed, when libSBML
// refuses it.
bool adopt(ASTNode& parent, MathPtr child) {
  if (parent.addChild(child.get()) != LIBSBML_OPERATION_SUCCESS) return false;
  child.release();
  return true;
}

// A node of the type; with a name when one is given.  Null when libSBML
// refuses the name.
MathPtr newNode(ASTNodeType_t type, std::string_view name = {}) {
  MathPtr node(new ASTNode(type));
  if (!name.empty() && node->setName(std::string(name).c_str()) != LIBSBML_OPERATION_SUCCESS) return nullptr;
  return node;
}

// One step applied to the results so far; null when libSBML refuses a
// part of it.
MathPtr applyStep(const MParseStep& step, std::vector<MathPtr>& stack) {
  const auto pop = [&stack] {
    MathPtr top = std::move(stack.back());
    stack.pop_back();
    return top;
  };
  switch (step.kind) {
    case MParseStep::Kind::Number: {
      // The number as libSBML reads its text: integer, real or e-notation
      // with its two parts.
      MathPtr number(SBML_parseFormula(std::string(step.text).c_str()));
      return number && number->isNumber() ? std::move(number) : nullptr;
    }
    case MParseStep::Kind::Name:
      return newNode(AST_NAME, step.text);
    case MParseStep::Kind::Call: {
      std::vector<MathPtr> arguments(step.count);
      for (size_t i = step.count; i > 0; --i) arguments[i - 1] = pop();
      MathPtr call = newNode(AST_FUNCTION, step.text);
      if (!call) return nullptr;
      for (MathPtr& argument : arguments) {
        if (!adopt(*call, std::move(argument))) return nullptr;
      }
      return call;
    }
    case MParseStep::Kind::Infix: {
      MathPtr right = pop();
      MathPtr left = pop();
      MathPtr node = newNode(infixType(step.op));
      return adopt(*node, std::move(left)) && adopt(*node, std::move(right)) ? std::move(node) : nullptr;
    }
    case MParseStep::Kind::Negate: {
      MathPtr operand = pop();
      if (operand->isNumber()) return negateNumber(*operand) ? std::move(operand) : nullptr;
      MathPtr minus = newNode(AST_MINUS);
      return adopt(*minus, std::move(operand)) ? std::move(minus) : nullptr;
    }
  }
  return nullptr;
}

size_t operandsOf(const MParseStep& step) {
  switch (step.kind) {
    case MParseStep::Kind::Number:
    case MParseStep::Kind::Name:
      return 0;
    case MParseStep::Kind::Call:
      return step.count;
    case MParseStep::Kind::Infix:
      return 2;
    case MParseStep::Kind::Negate:
      return 1;
  }
  return 0;
}

// The tree libSBML's formula parser reads from the formula's
// translateToMathML text, with every name and callee a plain name or call
// of its canonical text; null when libSBML reads a number of it as no
// number or refuses a part of the tree.
MathPtr treeOfSteps(const std::vector<MParseStep>& steps) {
  std::vector<MathPtr> stack;
  for (const MParseStep& step : steps) {
    if (stack.size() < operandsOf(step)) return nullptr;
    MathPtr node = applyStep(step, stack);
    if (!node) return nullptr;
    stack.push_back(std::move(node));
  }
  return stack.size() == 1 ? std::move(stack.back()) : nullptr;
}

bool parses(MParseTree& tree) {
  try {
    tree.init(true);
    return true;
  } catch (const ErrorIdException&) {
    return false;
  }
}

void warnFormula(const char* id, Code code, const std::string& formula) {
  hb_warning_id(hbGetWarningContext(), id, kstr::code(code), formula.c_str());
}

// The elements above a formula in a written document at the most: sbml,
// model, listOfEvents, event, listOfEventAssignments, eventAssignment.
constexpr size_t kMathAncestors = 6;

// Whether the read takes back the MathML libSBML writes for the tree
// (written on the large stack: libSBML's write recurses as deep as the tree).
bool readsBack(const ASTNode& math) {
  std::string text;
  runOnLargeStack([&] { text = writeMathMLToStdString(&math); });
  const InputShape shape = measureInputShape(text);
  return shape.deepestMathLevels <= kMaxMathLevels && shape.deepestNesting + kMathAncestors <= kMaxElementNesting;
}

ASTNode* warnTooDeepToWrite() {
  hb_warning_id(hbGetWarningContext(), "Kestrion:SBML_MATH_TOO_DEEP_TO_WRITE",
                kstr::code(Code::KS_SBML_MATH_TOO_DEEP_TO_WRITE), static_cast<int>(kMaxElementNesting),
                static_cast<int>(kMaxMathLevels));
  return nullptr;
}

}  // namespace

// Each node loses its operands to the list before it is deleted.  Should
// the list find no memory, what is left is freed as libSBML frees it.
void MathDeleter::operator()(ASTNode* math) const noexcept {
  std::vector<ASTNode*> waiting;
  ASTNode* node = math;
  try {
    while (node) {
      while (node->getNumChildren() > 0) {
        if (waiting.size() == waiting.capacity()) waiting.reserve(2 * waiting.size() + 16);
        const unsigned last = node->getNumChildren() - 1;
        ASTNode* operand = node->getChild(last);
        if (node->removeChild(last) != LIBSBML_OPERATION_SUCCESS) break;  // the node frees the rest itself
        waiting.push_back(operand);
      }
      delete node;
      node = nullptr;
      if (!waiting.empty()) {
        node = waiting.back();
        waiting.pop_back();
      }
    }
  } catch (...) {
    delete node;
    for (ASTNode* rest : waiting) delete rest;
  }
}

int copyMathInto(const ASTNode& math, const std::function<int(const ASTNode*)>& set) {
  const MathNumbers numbers = mathNumbersOf(math);
  if (isConversionRunning()) currentContext().noteWrittenMath(numbers.levels, numbers.needsMoreDigits);
  int status = 0;
  runOnLargeStack([&] { status = set(&math); }, numbers.levels > kShallowNesting);
  return status;
}

ASTNode* mathOfHostFormula(const std::string& formula, const ComponentIdOf& idOf, const NoMathMLForm& noForm,
                           const MParseTree* parsed) {
  std::vector<MParseStep> steps;
  std::unique_ptr<MParseTree> own;
  if (!parsed || !parsed->isParsed() || parsed->getText() != formula) {
    own = std::make_unique<MParseTree>(formula.c_str());
    if (!parses(*own)) {
      warnFormula("Kestrion:ParseErrorCannotReplaceExpressionNamesWithIDS",
                  Code::KS_PARSE_ERROR_CANNOT_REPLACE_EXPRESSION_NAMES_WITH_IDS, formula);
      return nullptr;
    }
    parsed = own.get();
  }
  parsed->mathMLSteps(steps);
  MathPtr math = treeOfSteps(steps);
  if (!math) {
    warnFormula("Kestrion:ParseErrorReplacingFunctions2", Code::KS_PARSE_ERROR_REPLACING_FUNCTIONS2, formula);
    return nullptr;
  }
  // The tree nests the operands of a chain as libSBML does (a + b + c is
  // (a + b) + c), and libSBML's copy, write and destruction of a tree
  // recurse as deep as it goes.
  const size_t levels = levelsOf(*math);
  if (levels > kMaxMathLevels) return warnTooDeepToWrite();
  if (!TreeNames{idOf, noForm}.restore(*math)) {
    warnFormula("Kestrion:ParseErrorReplacingFunctions2", Code::KS_PARSE_ERROR_REPLACING_FUNCTIONS2, formula);
    return nullptr;
  }
  if (levels > kShallowNesting && !readsBack(*math)) return warnTooDeepToWrite();
  return math.release();
}

}  // namespace kstr::sbml
