#include "kinetics/BKineticLaw.hpp"

#include <algorithm>

#include <hb/hb.hpp>
#include <ks_utils/Errors.hpp>
#include <ks_utils/Identifiers.hpp>
#include <ks_utils/StringHelpers.hpp>
#include <qx/qx.hpp>

#include "core/QuantityComponent.hpp"
#include "expressions/MathExpression.hpp"
#include "kinetics/BAbstractKineticLaw.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BParameter.hpp"
#include "reactions/BReaction.hpp"
#include "reactions/ParsedReactionTerm.hpp"
#include "reactions/ReactionManipulator.hpp"

namespace {

// The manipulator through which kinetic laws parse variable names.
ReactionManipulator& nameParser() {
  static ReactionManipulator manipulator;
  return manipulator;
}

bool parsesAsReference(const std::string& text, bool species) {
  ParsedReactionTermPtr term(species ? nameParser().parseSpeciesName(text)
                                     : nameParser().parseParameterName(text));
  return term != nullptr;
}

size_t elementCount(const qxArray* cells) {
  return cells ? qxGetNumberOfElements(cells) : 0;
}

}  // namespace

BKineticLaw::BKineticLaw() = default;

BKineticLaw::BKineticLaw(const BAbstractKineticLaw* abstractLaw) : abstractLaw_(abstractLaw) {
  speciesVariableNames_.resize(elementCount(getSpeciesVariables()));
  parameterVariableNames_.resize(elementCount(getParameterVariables()));
}

BKineticLaw::~BKineticLaw() = default;

void BKineticLaw::setParent(KelborComponent* parent) {
  KelborComponent::setParent(parent);
  if (parent && getModel()) {
    for (BParameter* parameter : parameters_) getModel()->componentAdded(parameter);
  }
  setModelCompileNeeded();
}

void BKineticLaw::fillFullyQualifiedName(std::string& out) const {
  if (getParent()) getParent()->fillFullyQualifiedName(out);
}

void BKineticLaw::fillPartiallyQualifiedName(std::string& out) const {
  if (getParent()) getParent()->fillPartiallyQualifiedName(out);
}

void BKineticLaw::fillDisplayQualifiedName(std::string& out) const {
  if (getParent()) getParent()->fillDisplayQualifiedName(out);
}

// --- template ------------------------------------------------------------------

void BKineticLaw::setAbstractKineticLaw(const BAbstractKineticLaw* abstractLaw) {
  abstractLaw_ = abstractLaw;
  setModelCompileNeeded();
}

const std::string& BKineticLaw::getAbstractName() const {
  static const std::string none;
  return abstractLaw_ ? abstractLaw_->getName() : none;
}

// The abstract kinetic laws carry no variable cells yet.
const qxArray* BKineticLaw::getParameterVariables() const { return nullptr; }
const qxArray* BKineticLaw::getSpeciesVariables() const { return nullptr; }

// --- variable bindings -----------------------------------------------------------

BReaction* BKineticLaw::getParentReaction() const {
  KelborComponent* parent = getParent();
  return parent && parent->getEnumType() == kstr::reaction ? static_cast<BReaction*>(parent)
                                                           : nullptr;
}

void BKineticLaw::setVariableNames(NameVector& stored, const NameVector& names, bool species) {
  if (stored.size() != names.size()) stored.resize(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    std::string text = names[i];
    STDStringHelpers::trimWhitespace(text);
    if (!text.empty() && !parsesAsReference(text, species)) {
      bracketNameIfNotValidIdentifier(text);
      if (!parsesAsReference(text, species)) {
        const std::string message =
            std::string("Invalid ") + (species ? "species" : "parameter") +
            " variable name '" + names[i] +
            "'. If the name contains brackets,\n it must be of the form [name] or "
            "[name1].[name2]. Whitespace is\n trimmed on input, and names containing more "
            "that one period are bracketed.";
        kstr_error("Kestrion:INVALID_EXPRESSION_VARIABLE", message.c_str());
      }
    }
    stored[i] = text;
  }
  if (BReaction* reaction = getParentReaction()) {
    reaction->updateReactionRateBasedOnKineticLaw(true, true);
  }
  warnForSpeciesShadowingParameterVariableNamesInRateExpression("");
  setModelCompileNeeded();
}

void BKineticLaw::setParameterVariableNames(const NameVector& names) {
  setVariableNames(parameterVariableNames_, names, false);
}

void BKineticLaw::setSpeciesVariableNames(const NameVector& names) {
  setVariableNames(speciesVariableNames_, names, true);
}

void BKineticLaw::updateParameterVariableName(const std::string& oldName,
                                              const std::string& newName) {
  bool changed = false;
  for (std::string& name : parameterVariableNames_) {
    if (name != oldName) continue;
    name = newName;
    changed = true;
  }
  if (changed) warnForSpeciesShadowingParameterVariableNamesInRateExpression(newName);
}

void BKineticLaw::updateSpeciesVariableName(const std::string& oldName,
                                            const std::string& newName) {
  bool changed = false;
  for (std::string& name : speciesVariableNames_) {
    if (name != oldName) continue;
    name = newName;
    changed = true;
  }
  if (changed) warnForSpeciesShadowingParameterVariableNamesInRateExpression(newName);
  setModelCompileNeeded();
}

// Null without a template or with an unbound variable.  The abstract
// kinetic laws carry no expression text yet, so a bound law has no text to
// substitute its names into either.
char* BKineticLaw::getRateExpression() const { return nullptr; }

bool BKineticLaw::verifyForReactionRate() const {
  const auto empty = [](const std::string& name) { return name.empty(); };
  return std::none_of(parameterVariableNames_.begin(), parameterVariableNames_.end(), empty) &&
         std::none_of(speciesVariableNames_.begin(), speciesVariableNames_.end(), empty);
}

void BKineticLaw::warnForSpeciesShadowingParameterVariableNamesInRateExpression(
    const std::string& token) const {
  const NameVector& names = getParameterVariableNames();
  const size_t n = elementCount(getParameterVariables());
  Kelbor* model = getModel();
  if (names.empty() || names.size() != n || !model) return;
  BReaction* reaction = getParentReaction();
  for (size_t i = 0; i < n; ++i) {
    std::string p;
    normalizeParameterName(names[i], p);
    if (!token.empty()) {
      if (p != token) continue;
      if (reaction && reaction->getReactionRateExpression()->containsCollisionToken(p)) continue;
    }
    if (!model->isComponentNameInUse(p, kstr::species)) continue;
    std::string reactionName;
    std::string equation;
    if (reaction) {
      reactionName = reaction->getName().empty() ? reaction->getDefaultName() : reaction->getName();
      equation = reaction->getReactionString();
    }
    hb_warning_id(hbGetWarningContext(), "Kestrion:SpeciesShadowingParameterName",
                  kstr::code(kstr::MessageCode::
                                 KS_SPECIES_AND_PARAMETER_SHARED_NAME_IN_REACTION_RATE_WARNING),
                  reactionName.c_str(), equation.c_str(), p.c_str());
  }
}

// --- parameters ------------------------------------------------------------------

void BKineticLaw::addParameter(BParameter* parameter) {
  parameters_.push_back(parameter);
  parameter->setParent(this);
  if (Kelbor* model = getModel()) {
    model->componentAdded(parameter);
    model->setCompileNeeded(true);
  }
}

void BKineticLaw::removeParameter(BParameter* parameter) {
  auto it = std::find(parameters_.begin(), parameters_.end(), parameter);
  if (it == parameters_.end()) return;
  parameters_.erase(it);
  if (Kelbor* model = getModel()) {
    model->componentRemoved(parameter);
    model->setCompileNeeded(true);
  }
}

bool BKineticLaw::isParameterNameInUse(const std::string& name) const {
  return std::any_of(parameters_.begin(), parameters_.end(),
                     [&](const BParameter* p) { return p->getName() == name; });
}
