// How a reaction answers the symbol table when a component its equation or
// rate names is added, removed or renamed, when the compartment of such a
// species is renamed, and when the model passes between one compartment
// and several; and what it saves and puts back when such a rename fails
// part way.
#include <ks_utils/Identifiers.hpp>

#include "expressions/MathExpression.hpp"
#include "expressions/ReactionExpression.hpp"
#include "host/HostHelpers.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "reactions/BReaction.hpp"

namespace {

constexpr const char* kMassAction = "MassAction";
constexpr uint64_t kAllRenamed = 4294967295ull;

}  // namespace

bool BReaction::isComponentVisible(const KelborComponent* component) const {
  if (component->getEnumType() != kstr::parameter) return true;
  const KelborComponent* law = component->getParent();
  if (!law || law->getEnumType() != kstr::kineticlaw) return true;
  return law->getParent() == this;
}

void BReaction::updateAllExpressionsForComponentAdded(const KelborComponent* component) {
  if (hasNonUnknownKineticLaw()) {
    UpdateRecord record;
    const bool equationChanged = updateExpressionForComponentAdded(reaction_, component, nullptr);
    const bool rateChanged = updateExpressionForComponentAdded(rate_, component, &record);
    if (!equationChanged && !rateChanged) return;
    if (record.first) {
      kineticLaw_->updateSpeciesVariableName(record.second.first, record.second.second);
      notifyLawProperty("SpeciesVariableNames");
    }
    notifyReactionRatePostSetEvent(getOBI());
    return;
  }
  const bool equationChanged = updateExpressionForComponentAdded(reaction_, component, nullptr);
  const bool rateChanged = updateExpressionForComponentAdded(rate_, component, nullptr);
  if (equationChanged || rateChanged) notifyReactionRatePostSetEvent(getOBI());
}

void BReaction::updateAllExpressionsForComponentRemoved(const KelborComponent* component) {
  updateExpressionForComponentRemoved(reaction_, component);
  updateExpressionForComponentRemoved(rate_, component);
}

void BReaction::updateAllExpressionsForComponentNameChange(const KelborComponent* component,
                                                           const std::string& oldBracketedName,
                                                           const std::string& oldQualifiedName) {
  if (!isComponentVisible(component)) return;
  if (reaction_->isComponentUsed(component)) {
    reaction_->refreshReactionString(true);
    resolveTokensInExpressionAndListen(reaction_);
    notifyReactionChanged();
  }
  updateExpressionForComponentNameChange(reaction_, component, oldBracketedName,
                                         oldQualifiedName);
  updateExpressionForComponentNameChange(rate_, component, oldBracketedName, oldQualifiedName);
  renameLawBindings(component, oldBracketedName, oldQualifiedName);
  sendJavaUpdateEvents();
  if (hasLawNamed(kMassAction)) updateReactionRateBasedOnKineticLaw(false, true);
  if (kineticLaw_ && component->getEnumType() == kstr::species) {
    kineticLaw_->warnForSpeciesShadowingParameterVariableNamesInRateExpression(
        component->getName());
  }
  notifyReactionRatePostSetEvent(getOBI());
}

void BReaction::renameLawBindings(const KelborComponent* component, const std::string& oldBracketedName,
                                  const std::string& oldQualifiedName) {
  if (!hasNonUnknownKineticLaw()) return;
  const bool parameter = component->getEnumType() == kstr::parameter;
  // A mass-action law takes its species from the equation.
  if (!parameter && (component->getEnumType() != kstr::species || hasLawNamed(kMassAction))) return;
  std::string newBracketed = component->getName();
  bracketNameIfNotValidIdentifier(newBracketed);
  std::string newQualified;
  component->getPQN(newQualified);
  for (const auto& [from, to] : {std::pair(oldBracketedName, newBracketed), std::pair(oldQualifiedName, newQualified)}) {
    if (from.empty() || from == to) continue;
    if (parameter) {
      kineticLaw_->updateParameterVariableName(from, to);
    } else {
      kineticLaw_->updateSpeciesVariableName(from, to);
    }
  }
  notifyLawProperty(parameter ? "ParameterVariableNames" : "SpeciesVariableNames");
  updateReactionRateBasedOnKineticLaw(false, false);
}

void BReaction::updateAllExpressionsForParentComponentRename(
    const KelborComponent* parent, const KelborComponent* component,
    const std::string& newParentBracketedName, const std::string& oldQualifiedName,
    const std::string& newQualifiedName) {
  reaction_->refreshReactionString(true);
  notifyReactionChanged();
  if (hasNonUnknownKineticLaw()) {
    UpdateRecord record;
    if (!updateExpressionForParentComponentRename(rate_, parent, component,
                                                  newParentBracketedName, oldQualifiedName,
                                                  newQualifiedName, &record)) {
      return;
    }
    kineticLaw_->updateParameterVariableName(record.second.first, record.second.second);
    kineticLaw_->updateSpeciesVariableName(record.second.first, record.second.second);
    notifyLawProperty("ParameterVariableNames");
    notifyLawProperty("SpeciesVariableNames");
    notifyReactionRatePostSetEvent(getOBI());
    return;
  }
  if (updateExpressionForParentComponentRename(rate_, parent, component, newParentBracketedName,
                                               oldQualifiedName, newQualifiedName, nullptr)) {
    notifyReactionRatePostSetEvent(getOBI());
  }
}

std::set<size_t> BReaction::updateExpressionsForRename(const KelborComponent* component,
                                                       const std::string& newName,
                                                       const std::set<size_t>& requested) {
  if (reaction_->isComponentUsed(component)) {
    reaction_->refreshReactionString(true);
    notifyReactionChanged();
  }
  std::set<size_t> result;
  if (!rate_->isSyntacticallyValid() || !rate_->isComponentUsed(component)) return result;

  std::string oldName = component->getName();
  bracketNameIfNotValidIdentifier(oldName);
  std::string oldQualified;
  component->fillPartiallyQualifiedName(oldQualified);
  std::string newBracketed = newName;
  bracketNameIfNotValidIdentifier(newBracketed);
  const std::string newQualified =
      oldQualified.substr(0, oldQualified.size() - std::min(oldName.size(), oldQualified.size())) +
      newBracketed;

  ComponentVectorPtr holders = resolveSymbolWithCollisions(newBracketed);
  const bool collides = holders && !holders->empty();
  SubstitutionMap substitutions;
  const uint64_t code =
      renameHelper(component, oldName, oldQualified, newBracketed, newQualified, collides,
                   requested.count(1) != 0, rate_.get(), substitutions);

  if (hasNonUnknownKineticLaw()) {
    if (component->getEnumType() == kstr::parameter) {
      for (const auto& [from, to] : substitutions) {
        kineticLaw_->updateParameterVariableName(from, to);
      }
      notifyLawProperty("ParameterVariableNames");
    } else if (component->getEnumType() == kstr::species && !hasLawNamed(kMassAction)) {
      for (const auto& [from, to] : substitutions) kineticLaw_->updateSpeciesVariableName(from, to);
      notifyLawProperty("SpeciesVariableNames");
    }
  }
  rate_->substitute(substitutions);
  resolveTokensInExpressionAndListen(rate_);
  sendJavaUpdateEvents();
  notifyReactionRatePostSetEvent(getOBI());
  if (code == 1) result.insert(1);
  if (code == kAllRenamed) result.insert(static_cast<size_t>(kAllRenamed));
  return result;
}

void BReaction::handleCollisionScenario(ExpressionPtr expression, const std::string& token,
                                        bool deferEvents) {
  ComponentVectorPtr candidates = resolveSymbolWithCollisions(token);
  if (!candidates || !expression->containsToken(token)) return;
  if (candidates->size() < 2) {
    if (!expression->containsCollisionToken(token)) return;
    expression->removeCollisionToken(token);
  } else {
    if (expression->containsCollisionToken(token)) return;
    if (kineticLaw_) kineticLaw_->warnForSpeciesShadowingParameterVariableNamesInRateExpression(token);
    expression->addCollisionToken(token);
  }
  if (!deferEvents) sendJavaUpdateEvents();
}

void BReaction::updateReactionExpressionForMultiCompartmentTransition(bool) {
  reaction_->refreshReactionString(true);
  refreshMassActionNames();
  updateReactionRateBasedOnKineticLaw(true, true);
}

std::vector<std::string> BReaction::getExpressionTexts() const { return {getReactionRate()}; }

std::vector<BReaction::ExpressionPtr> BReaction::getFormulaExpressions() const { return {rate_}; }

void BReaction::restoreExpressionTexts(const std::vector<std::string>& texts) {
  if (texts.size() == 1) setReactionRate(texts[0], true);
}

namespace {

// A reaction's part of what a failed rename puts back.
struct SavedReaction : SavedExpressions {
  BReaction::EquationPtr equation;
  const BKineticLaw* law = nullptr;
  BKineticLaw::NameVector parameterNames;
  BKineticLaw::NameVector speciesNames;
};

}  // namespace

boost::shared_ptr<SavedExpressions> BReaction::saveExpressions() const {
  boost::shared_ptr<SavedReaction> saved(new SavedReaction);
  saved->texts = getExpressionTexts();
  saved->equation.reset(new kstr::ReactionExpression(*reaction_));
  if (kineticLaw_) {
    saved->law = kineticLaw_;
    saved->parameterNames = kineticLaw_->getParameterVariableNames();
    saved->speciesNames = kineticLaw_->getSpeciesVariableNames();
  }
  return saved;
}

void BReaction::restoreExpressions(const SavedExpressions& saved) {
  const auto& reaction = static_cast<const SavedReaction&>(saved);
  if (reaction.law && reaction.law == kineticLaw_) {
    kineticLaw_->restoreVariableNames(reaction.parameterNames, reaction.speciesNames);
  }
  if (reaction.equation) restoreEquation(*reaction.equation);
  ExpressionBasedComponent::restoreExpressions(saved);
}
