// The value of a MathML tree of an SBML level 2 document, for comparing
// what two documents mean.
#include "support/SbmlMeaning.hpp"

#include <cmath>
#include <numbers>

namespace sbmlmeaning {
namespace {

class Evaluator {
 public:
  Evaluator(const NameValue& value, const Model& model) : value_(value), model_(model) {}

  double operator()(const ASTNode& node) const { return eval(node); }

 private:
  double child(const ASTNode& node, unsigned i) const {
    if (i >= node.getNumChildren()) throw MathError("an operator lacks an argument");
    return eval(*node.getChild(i));
  }

  double eval(const ASTNode& node) const;
  double arithmetic(const ASTNode& node) const;
  double function(const ASTNode& node) const;
  double logical(const ASTNode& node) const;
  double userFunction(const ASTNode& node) const;

  const NameValue& value_;
  const Model& model_;
};

// True when each neighbouring pair of the children holds.
template <class Holds>
double chain(const ASTNode& node, const Evaluator& eval, Holds holds) {
  if (node.getNumChildren() < 2) throw MathError("a relation needs two arguments");
  for (unsigned i = 0; i + 1 < node.getNumChildren(); ++i) {
    if (!holds(eval(*node.getChild(i)), eval(*node.getChild(i + 1)))) return 0.0;
  }
  return 1.0;
}

double Evaluator::eval(const ASTNode& node) const {
  switch (node.getType()) {
    case AST_INTEGER:
      return static_cast<double>(node.getInteger());
    case AST_REAL:
    case AST_REAL_E:
    case AST_RATIONAL:
      return node.getReal();
    case AST_CONSTANT_E:
      return std::numbers::e;
    case AST_CONSTANT_PI:
      return std::numbers::pi;
    case AST_CONSTANT_TRUE:
      return 1.0;
    case AST_CONSTANT_FALSE:
      return 0.0;
    case AST_NAME:
      return value_(node.getName() ? node.getName() : "");
    case AST_NAME_TIME:
      return value_("time");
    case AST_FUNCTION:
      return userFunction(node);
    case AST_FUNCTION_DELAY:
      // A marker function of both arguments: the same in two documents only
      // when both keep the delay with the same arguments.
      return child(node, 0) - 0.123456789 * child(node, 1);
    case AST_PLUS:
    case AST_MINUS:
    case AST_TIMES:
    case AST_DIVIDE:
    case AST_POWER:
    case AST_FUNCTION_POWER:
      return arithmetic(node);
    case AST_LOGICAL_AND:
    case AST_LOGICAL_OR:
    case AST_LOGICAL_XOR:
    case AST_LOGICAL_NOT:
    case AST_RELATIONAL_EQ:
    case AST_RELATIONAL_GEQ:
    case AST_RELATIONAL_GT:
    case AST_RELATIONAL_LEQ:
    case AST_RELATIONAL_LT:
    case AST_RELATIONAL_NEQ:
    case AST_FUNCTION_PIECEWISE:
      return logical(node);
    default:
      return function(node);
  }
}

double Evaluator::arithmetic(const ASTNode& node) const {
  const unsigned n = node.getNumChildren();
  switch (node.getType()) {
    case AST_PLUS: {
      double sum = 0.0;
      for (unsigned i = 0; i < n; ++i) sum += child(node, i);
      return sum;
    }
    case AST_MINUS:
      return n == 1 ? -child(node, 0) : child(node, 0) - child(node, 1);
    case AST_TIMES: {
      double product = 1.0;
      for (unsigned i = 0; i < n; ++i) product *= child(node, i);
      return product;
    }
    case AST_DIVIDE:
      return child(node, 0) / child(node, 1);
    default:
      return std::pow(child(node, 0), child(node, 1));
  }
}

double Evaluator::logical(const ASTNode& node) const {
  const unsigned n = node.getNumChildren();
  switch (node.getType()) {
    case AST_LOGICAL_AND:
      for (unsigned i = 0; i < n; ++i)
        if (child(node, i) == 0.0) return 0.0;
      return 1.0;
    case AST_LOGICAL_OR:
      for (unsigned i = 0; i < n; ++i)
        if (child(node, i) != 0.0) return 1.0;
      return 0.0;
    case AST_LOGICAL_XOR: {
      unsigned odd = 0;
      for (unsigned i = 0; i < n; ++i) odd ^= child(node, i) != 0.0 ? 1u : 0u;
      return odd;
    }
    case AST_LOGICAL_NOT:
      return child(node, 0) == 0.0 ? 1.0 : 0.0;
    case AST_RELATIONAL_EQ:
      return chain(node, *this, [](double a, double b) { return a == b; });
    case AST_RELATIONAL_GEQ:
      return chain(node, *this, [](double a, double b) { return a >= b; });
    case AST_RELATIONAL_GT:
      return chain(node, *this, [](double a, double b) { return a > b; });
    case AST_RELATIONAL_LEQ:
      return chain(node, *this, [](double a, double b) { return a <= b; });
    case AST_RELATIONAL_LT:
      return chain(node, *this, [](double a, double b) { return a < b; });
    case AST_RELATIONAL_NEQ:
      return child(node, 0) != child(node, 1) ? 1.0 : 0.0;
    default: {
      // piecewise: (value, condition) pairs, then an optional otherwise.
      for (unsigned i = 0; i + 1 < n; i += 2) {
        if (child(node, i + 1) != 0.0) return child(node, i);
      }
      if (n % 2 == 1) return child(node, n - 1);
      return std::nan("");
    }
  }
}

double Evaluator::function(const ASTNode& node) const {
  const unsigned n = node.getNumChildren();
  const auto x = [&] { return child(node, n - 1); };
  switch (node.getType()) {
    case AST_FUNCTION_ABS: return std::fabs(x());
    case AST_FUNCTION_ARCCOS: return std::acos(x());
    case AST_FUNCTION_ARCCOSH: return std::acosh(x());
    case AST_FUNCTION_ARCCOT: return std::atan(1.0 / x());
    case AST_FUNCTION_ARCCOTH: return std::atanh(1.0 / x());
    case AST_FUNCTION_ARCCSC: return std::asin(1.0 / x());
    case AST_FUNCTION_ARCCSCH: return std::asinh(1.0 / x());
    case AST_FUNCTION_ARCSEC: return std::acos(1.0 / x());
    case AST_FUNCTION_ARCSECH: return std::acosh(1.0 / x());
    case AST_FUNCTION_ARCSIN: return std::asin(x());
    case AST_FUNCTION_ARCSINH: return std::asinh(x());
    case AST_FUNCTION_ARCTAN: return std::atan(x());
    case AST_FUNCTION_ARCTANH: return std::atanh(x());
    case AST_FUNCTION_CEILING: return std::ceil(x());
    case AST_FUNCTION_COS: return std::cos(x());
    case AST_FUNCTION_COSH: return std::cosh(x());
    case AST_FUNCTION_COT: return 1.0 / std::tan(x());
    case AST_FUNCTION_COTH: return 1.0 / std::tanh(x());
    case AST_FUNCTION_CSC: return 1.0 / std::sin(x());
    case AST_FUNCTION_CSCH: return 1.0 / std::sinh(x());
    case AST_FUNCTION_EXP: return std::exp(x());
    case AST_FUNCTION_FACTORIAL: return std::tgamma(x() + 1.0);
    case AST_FUNCTION_FLOOR: return std::floor(x());
    case AST_FUNCTION_LN: return std::log(x());
    case AST_FUNCTION_LOG: return n == 2 ? std::log(x()) / std::log(child(node, 0)) : std::log10(x());
    case AST_FUNCTION_ROOT: return n == 2 ? std::pow(x(), 1.0 / child(node, 0)) : std::sqrt(x());
    case AST_FUNCTION_SEC: return 1.0 / std::cos(x());
    case AST_FUNCTION_SECH: return 1.0 / std::cosh(x());
    case AST_FUNCTION_SIN: return std::sin(x());
    case AST_FUNCTION_SINH: return std::sinh(x());
    case AST_FUNCTION_TAN: return std::tan(x());
    case AST_FUNCTION_TANH: return std::tanh(x());
    default:
      throw MathError(std::string("cannot evaluate the operator ") + (node.getName() ? node.getName() : "?"));
  }
}

double Evaluator::userFunction(const ASTNode& node) const {
  const std::string name = node.getName() ? node.getName() : "";
  const FunctionDefinition* definition = model_.getFunctionDefinition(name);
  if (!definition || !definition->getMath() || !definition->getBody()) {
    throw MathError("calls '" + name + "', which the document does not define");
  }
  if (definition->getNumArguments() != node.getNumChildren()) {
    throw MathError("calls '" + name + "' with the wrong number of arguments");
  }
  std::map<std::string, double> arguments;
  for (unsigned i = 0; i < node.getNumChildren(); ++i) {
    const ASTNode* bound = definition->getArgument(i);
    arguments[bound && bound->getName() ? bound->getName() : ""] = child(node, i);
  }
  const NameValue inBody = [&arguments, &name](const std::string& id) {
    auto it = arguments.find(id);
    if (it == arguments.end()) throw MathError("the body of '" + name + "' names '" + id + "'");
    return it->second;
  };
  return Evaluator(inBody, model_)(*definition->getBody());
}

}  // namespace

double evaluate(const ASTNode& math, const NameValue& value, const Model& model) {
  return Evaluator(value, model)(math);
}

bool callsFunctionDefinition(const ASTNode& math, const Model& model) {
  if (math.getType() == AST_FUNCTION && math.getName() && model.getFunctionDefinition(math.getName())) return true;
  for (unsigned i = 0; i < math.getNumChildren(); ++i) {
    if (callsFunctionDefinition(*math.getChild(i), model)) return true;
  }
  return false;
}

}  // namespace sbmlmeaning
