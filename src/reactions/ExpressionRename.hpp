// The rewriting of one expression of a rule or an event when a component
// it names is renamed: the old and new tokens of the component (bare and
// qualified) and the substitution of whichever occur.
#pragma once

#include <cstdint>
#include <string>

#include "core/KelborApi.hpp"
#include "expressions/ExpressionBasedComponent.hpp"

namespace kstr {

// The tokens a rename replaces and the ones it writes.
struct RenameTokens {
  std::string oldShort;      // the bracketed old name
  std::string oldQualified;  // the old partially qualified name
  std::string newShort;      // the bracketed new name
  std::string newQualified;  // the old qualified name with its last part renamed
  bool collides = false;     // the new bare name already denotes something
};

// The tokens of renaming the component to newName, seen from the owner.
KELBOR_API RenameTokens renameTokensFor(ExpressionBasedComponent& owner,
                                        const KelborComponent* component,
                                        const std::string& newName);

// Substitutes the component's tokens in the expression (renameHelper's
// rules; writeBack asks for the qualified form to go back to the bare new
// name) and answers renameHelper's code: 1 when a bare occurrence became
// the qualified new name, 4294967295 when both forms occurred, else 0.
KELBOR_API uint64_t renameInExpression(const RenameTokens& tokens, const KelborComponent* component,
                                       bool writeBack,
                                       const ExpressionBasedComponent::ExpressionPtr& expression);

// The code renameHelper answers when both forms occurred.
constexpr uint64_t kRenameBothForms = 4294967295ull;

}  // namespace kstr
