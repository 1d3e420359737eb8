// The check that a rename leaves every formula of the model denoting what
// it denotes: run before a rename changes anything.
#include <ks_utils/Errors.hpp>
#include <ks_utils/Identifiers.hpp>

#include "expressions/Expression.hpp"
#include "expressions/ExpressionBasedComponent.hpp"
#include "expressions/NameHelpers.hpp"
#include "expressions/SymbolTable.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BReaction.hpp"

using kstr::bracketedNameOf;
using kstr::qualifiedNameOf;

namespace {

// How the rename rewrites a token bound to `bound` (the renamed component
// or one of its children), as the listeners' rename updates write it; the
// token itself when the rename leaves it as it is.
std::string rewrittenToken(const std::string& token, const KelborComponent* bound, const SymbolTable::RenamePlan& plan,
                           ExpressionBasedComponent& owner) {
  if (bound == plan.component) {
    if (token == qualifiedNameOf(bound) && token != bracketedNameOf(bound)) return plan.newQualified;
    if (token != bracketedNameOf(bound)) return token;
    // A bare name that another component holds is written qualified.
    const ExpressionBasedComponent::ComponentVectorPtr holders = owner.resolveSymbolWithCollisions(plan.newName);
    return holders && !holders->empty() ? plan.newQualified : plan.newName;
  }
  if (bound && bound->getParent() && token == qualifiedNameOf(bound)) {
    const KelborComponent* parent = bound->getParent();
    if (parent->getEnumType() == kstr::kineticlaw) parent = parent->getParent();
    if (parent == plan.component) return plan.newName + "." + bracketedNameOf(bound);
  }
  return token;
}

}  // namespace

std::set<ExpressionBasedComponent*> Kelbor::renameUsers(const KelborComponent* component, const std::string& newName) const {
  const KelborComponent::ListenerSet& listeners = component->getListeners();
  SymbolTable::ListenerSet users(listeners.begin(), listeners.end());
  // Expressions naming another holder of the new or the old name by that
  // name are rewritten when it becomes ambiguous or plain again.
  const size_t number = SymbolTable::getNamespaceIndex(component);
  symbolTable_->collectNameUsers(newName, users, number);
  if (!component->getName().empty()) symbolTable_->collectNameUsers(component->getName(), users, number);
  // The users of the children, whose qualified names change.
  if (component->getEnumType() == kstr::compartment) {
    for (const BSpecies* species : static_cast<const BCompartment*>(component)->getSpecies()) {
      users.insert(species->getListeners().begin(), species->getListeners().end());
    }
  }
  if (component->getEnumType() == kstr::reaction) {
    if (const BKineticLaw* law = static_cast<const BReaction*>(component)->getKineticLaw()) {
      for (const BParameter* parameter : *law->getParameters()) {
        users.insert(parameter->getListeners().begin(), parameter->getListeners().end());
      }
    }
  }
  return users;
}

void Kelbor::checkRenameKeepsMeaning(const KelborComponent* component, const std::string& newName) {
  if (isBeingDestroyed()) return;
  const std::optional<SymbolTable::RenamePlan> plan = symbolTable_->planRename(component, newName);
  if (!plan) return;
  for (ExpressionBasedComponent* user : renameUsers(component, newName)) {
    const KelborComponent* scope = user->getEnumType() == kstr::reaction ? user : nullptr;
    for (const ExpressionBasedComponent::ExpressionPtr& expression : user->getFormulaExpressions()) {
      if (!expression || !expression->isSyntacticallyValid()) continue;
      kstr::Expression::ConstComponentMap tokens;
      expression->getSymbolComponentMap(tokens);
      for (const auto& [token, bound] : tokens) {
        // A name that waits may come to denote a component: that is what
        // waiting is for.
        if (!bound) continue;
        const std::string written = rewrittenToken(token, bound, *plan, *user);
        bool ambiguous = false;
        const KelborComponent* denoted = symbolTable_->resolveAfterRename(written, scope, *plan, ambiguous);
        if (denoted == bound) continue;
        // Species sharing a bare name are told apart by their qualified
        // names, which the addition of the second writes in.
        if (ambiguous && bound->getEnumType() == kstr::species) continue;
        const std::string oldName = component->getName().empty() ? component->getDefaultName() : component->getName();
        const std::string text = expression->getExpressionString();
        kstr_error("Kestrion:RenameChangesMeaning", kstr::code(kstr::MessageCode::KS_RENAME_CHANGES_MEANING),
                   component->getType(), oldName.c_str(), newName.c_str(), user->getType(), text.c_str(),
                   written.c_str());
      }
    }
  }
}
