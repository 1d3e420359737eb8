// Rewriting the tokens of a renamed component in one expression.
#include "reactions/ExpressionRename.hpp"

#include <algorithm>

#include <ks_utils/Identifiers.hpp>

#include "expressions/Expression.hpp"

namespace kstr {

RenameTokens renameTokensFor(ExpressionBasedComponent& owner, const KelborComponent* component,
                             const std::string& newName) {
  RenameTokens tokens;
  tokens.oldShort = component->getName();
  bracketNameIfNotValidIdentifier(tokens.oldShort);
  component->fillPartiallyQualifiedName(tokens.oldQualified);
  tokens.newShort = newName;
  bracketNameIfNotValidIdentifier(tokens.newShort);
  const size_t keep =
      tokens.oldQualified.size() - std::min(tokens.oldShort.size(), tokens.oldQualified.size());
  tokens.newQualified = tokens.oldQualified.substr(0, keep) + tokens.newShort;
  ExpressionBasedComponent::ComponentVectorPtr holders =
      owner.resolveSymbolWithCollisions(tokens.newShort);
  tokens.collides = holders && !holders->empty();
  return tokens;
}

uint64_t renameInExpression(const RenameTokens& tokens, const KelborComponent* component,
                            bool writeBack,
                            const ExpressionBasedComponent::ExpressionPtr& expression) {
  ExpressionBasedComponent::SubstitutionMap substitutions;
  const uint64_t code = ExpressionBasedComponent::renameHelper(
      component, tokens.oldShort, tokens.oldQualified, tokens.newShort, tokens.newQualified,
      tokens.collides, writeBack, expression.get(), substitutions);
  expression->substitute(substitutions);
  return code;
}

}  // namespace kstr
