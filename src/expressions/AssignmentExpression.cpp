#include "expressions/AssignmentExpression.hpp"

#include <boost/make_shared.hpp>

#include <ks_utils/MParseTree.hpp>
#include <ks_utils/StringHelpers.hpp>

namespace kstr {

AssignmentExpression::AssignmentExpression(const std::string& text) {
  std::string lhsText;
  std::string rhsText;
  const std::size_t equals = STDStringHelpers::splitExpressionOnEqual(text, lhsText, rhsText);
  lhs_ = boost::make_shared<MathExpression>(lhsText);
  rhs_ = boost::make_shared<MathExpression>(rhsText);
  hasEquals_ = equals != std::string::npos;
}

AssignmentExpression::AssignmentExpression(const AssignmentExpression& other) = default;
AssignmentExpression& AssignmentExpression::operator=(const AssignmentExpression& other) =
    default;
// The members go in reverse order: the right side first, then the left.
AssignmentExpression::~AssignmentExpression() = default;

std::string AssignmentExpression::getExpressionString() const {
  std::string text = lhs_->getExpressionString();
  if (hasEquals_) text += " = ";
  text += rhs_->getExpressionString();
  return text;
}

bool AssignmentExpression::isSyntacticallyValid() const {
  if (!rhs_->isSyntacticallyValid() || !lhs_->isSyntacticallyValid()) return false;
  if (lhs_->getSymbolComponentMap().size() != 1) return false;
  return !lhs_->getParseTree()->getContainsNumericValues();
}

bool AssignmentExpression::containsToken(const std::string& token) const {
  return lhs_->containsToken(token) || rhs_->containsToken(token);
}

void AssignmentExpression::fillSetWithTokens(TokenSet& tokens, bool allTokens) const {
  lhs_->fillSetWithTokens(tokens, allTokens);
  rhs_->fillSetWithTokens(tokens, allTokens);
}

bool AssignmentExpression::doAllTokensResolve() const {
  return lhs_->doAllTokensResolve() && rhs_->doAllTokensResolve();
}

void AssignmentExpression::getUnresolvedTokens(TokenSet& tokens) const {
  lhs_->getUnresolvedTokens(tokens);
  rhs_->getUnresolvedTokens(tokens);
}

void AssignmentExpression::getSymbolComponentMap(ConstComponentMap& out) const {
  lhs_->getSymbolComponentMap(out);
  rhs_->getSymbolComponentMap(out);
}

void AssignmentExpression::getSymbolComponentMap(ComponentMap& out) const {
  lhs_->getSymbolComponentMap(out);
  rhs_->getSymbolComponentMap(out);
}

bool AssignmentExpression::isComponentUsed(const KelborComponent* component) const {
  return lhs_->isComponentUsed(component) || rhs_->isComponentUsed(component);
}

void AssignmentExpression::setResolvedComponent(const std::string& token,
                                                KelborComponent* component) {
  if (lhs_->containsToken(token)) lhs_->setResolvedComponent(token, component);
  if (rhs_->containsToken(token)) rhs_->setResolvedComponent(token, component);
}

KelborComponent* AssignmentExpression::getResolvedComponent(const std::string& token) const {
  if (lhs_->containsToken(token)) return lhs_->getResolvedComponent(token);
  return rhs_->getResolvedComponent(token);
}

void AssignmentExpression::substitute(const SubstitutionMap& substitutions) {
  // A renamed-away token must not stay flagged as a collision.
  clearAllCollisionTokens();
  lhs_->substitute(substitutions);
  rhs_->substitute(substitutions);
}

std::string AssignmentExpression::getLHSExpressionString() const {
  return lhs_->getExpressionString();
}

std::string AssignmentExpression::getRHSExpressionString() const {
  return rhs_->getExpressionString();
}

boost::shared_ptr<const MParseTree> AssignmentExpression::getLHSParseTree() const {
  return lhs_->getParseTree();
}

boost::shared_ptr<const MParseTree> AssignmentExpression::getRHSParseTree() const {
  return rhs_->getParseTree();
}

const Expression::ComponentMap& AssignmentExpression::getLHSSymbolComponentMap() const {
  return lhs_->getSymbolComponentMap();
}

const Expression::ComponentMap& AssignmentExpression::getRHSSymbolComponentMap() const {
  return rhs_->getSymbolComponentMap();
}

void AssignmentExpression::fillLHSSymbolComponentMap(ConstComponentMap& out) const {
  lhs_->getSymbolComponentMap(out);
}

void AssignmentExpression::fillRHSSymbolComponentMap(ConstComponentMap& out) const {
  rhs_->getSymbolComponentMap(out);
}

void AssignmentExpression::fillSetWithLHSTokens(TokenSet& tokens) const {
  lhs_->fillSetWithTokens(tokens, false);
}

void AssignmentExpression::fillSetWithRHSTokens(TokenSet& tokens) const {
  rhs_->fillSetWithTokens(tokens, false);
}

void AssignmentExpression::getUnresolvedRHSTokens(TokenSet& tokens) const {
  rhs_->getUnresolvedTokens(tokens);
}

bool AssignmentExpression::isLHSValidAssignmentVariable() const {
  const ComponentMap& lhsTokens = lhs_->getSymbolComponentMap();
  if (lhsTokens.size() != 1) return false;
  if (getSymbolResolutionStatus(*lhsTokens.begin()) != resolved) return false;
  const boost::shared_ptr<const MParseTree> tree = lhs_->getParseTree();
  return tree && !tree->getContainsNumericValues();
}

}  // namespace kstr
