#include "expressions/Expression.hpp"

#include <iostream>
#include <ostream>

#include <ks_utils/Identifiers.hpp>
#include <ks_utils/StringHelpers.hpp>

#include "expressions/AssignmentExpression.hpp"
#include "expressions/FormulaFunctions.hpp"
#include "expressions/MathExpression.hpp"

namespace kstr {

Expression::Expression() = default;
Expression::Expression(const Expression& other) = default;
Expression& Expression::operator=(const Expression& other) = default;
Expression::~Expression() = default;

bool Expression::containsCollisionToken(const std::string& token) const {
  return collisionTokens_.count(token) != 0;
}

void Expression::addCollisionToken(const std::string& token) {
  collisionTokens_.insert(token);
}

void Expression::removeCollisionToken(const std::string& token) {
  collisionTokens_.erase(token);
}

void Expression::clearAllCollisionTokens() { collisionTokens_.clear(); }

Expression* Expression::createExpression(const std::string& text) {
  std::string lhs;
  std::string rhs;
  if (STDStringHelpers::splitExpressionOnEqual(text, lhs, rhs) == std::string::npos) {
    return new MathExpression(text);
  }
  // The assignment splits the text again itself.
  return new AssignmentExpression(text);
}

Expression::SymbolResolutionStatus Expression::getSymbolResolutionStatus(
    const std::pair<const std::string, KelborComponent*>& entry) {
  if (entry.second != nullptr) return resolved;
  if (isKestriReservedToken(entry.first)) return reserved_token;
  if (isKnownFunctionName(entry.first)) return host_function;
  return unresolved;
}

void Expression::debugPrint() const { debugPrint(std::cout); }

void Expression::debugPrint(std::ostream& out) const {
  out << "  Expression: " << getExpressionString() << "." << std::endl;

  out << "  Collisions: ";
  for (const std::string& token : collisionTokens_) out << token << " ";
  out << "." << std::endl;

  ConstComponentMap bindings;
  getSymbolComponentMap(bindings);
  out << "  Resolves: ";
  for (const auto& [token, component] : bindings) {
    out << "  " << token << " => " << static_cast<const void*>(component);
  }
  out << std::endl;
}

}  // namespace kstr
