#include "kinetics/BKineticLaw.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include <hb/hb.hpp>
#include <ks_utils/Errors.hpp>
#include <ks_utils/Identifiers.hpp>
#include <ks_utils/MParseTree.hpp>
#include <ks_utils/StringHelpers.hpp>
#include <qx/qx.hpp>

#include "core/HostBoundary.hpp"
#include "core/QuantityComponent.hpp"
#include "expressions/MathExpression.hpp"
#include "kinetics/BAbstractKineticLaw.hpp"
#include "kinetics/ParameterBindingIndex.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BParameter.hpp"
#include "reactions/BReaction.hpp"
#include "reactions/ParsedReactionTerm.hpp"
#include "reactions/ReactionManipulator.hpp"

using Code = kstr::MessageCode;

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

size_t elementCount(const qxArray* cells) { return cells ? qxGetNumberOfElements(cells) : 0; }
size_t columnCount(const qxArray* cells) { return cells ? qxGetN(cells) : 0; }

// "MassAction" and "Unknown" are served by name, not by their expression.
bool isSelfNamedTemplate(const BAbstractKineticLaw* law) {
  const char* text = law->getExpression() ? law->getExpression() : "";
  return std::strcmp(text, "MassAction") == 0 || std::strcmp(text, "Unknown") == 0;
}

// Copies made for a substitution map, freed on every path.
class SubstitutionCopies {
 public:
  SubstitutionCopies() = default;
  SubstitutionCopies(const SubstitutionCopies&) = delete;
  SubstitutionCopies& operator=(const SubstitutionCopies&) = delete;
  ~SubstitutionCopies() {
    for (char* copy : copies_) hbFree(copy);
  }
  // Raises when memory runs out: a null copy would substitute nothing and
  // the composed rate would lose that variable.
  const char* keep(const std::string& text) {
    copies_.push_back(nullptr);
    copies_.back() = hostTextCopy(text.c_str());
    return copies_.back();
  }

 private:
  std::vector<char*> copies_;
};

// Adds variable i -> normalised bound name i for every variable of the
// cell; false when the names do not match the cell's count.
bool addSubstitutions(const qxArray* cell, const BKineticLaw::NameVector& names, bool species,
                      kstrMap<std::string, const char*>& map, SubstitutionCopies& copies) {
  const size_t n = elementCount(cell);
  if (names.empty()) return true;
  if (names.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    std::string normalized;
    if (species) {
      normalizeSpeciesName(names[i], normalized);
    } else {
      normalizeParameterName(names[i], normalized);
    }
    map[qxArrayToStdString(qxGetCell(cell, i))] = copies.keep(normalized);
  }
  return true;
}

}  // namespace

BKineticLaw::BKineticLaw() = default;

BKineticLaw::BKineticLaw(const BAbstractKineticLaw* abstractLaw) {
  if (!abstractLaw) return;
  verifyAbstractLaw_ = !isSelfNamedTemplate(abstractLaw);
  if (verifyAbstractLaw_) const_cast<BAbstractKineticLaw*>(abstractLaw)->verify();
  bind(abstractLaw);
  try {
    speciesVariableNames_.resize(elementCount(getSpeciesVariables()));
    parameterVariableNames_.resize(elementCount(getParameterVariables()));
  } catch (...) {
    // No destructor runs for a constructor that throws: the template's
    // binding count goes back here.
    bind(nullptr);
    throw;
  }
}

BKineticLaw::BKineticLaw(const BKineticLaw& other)
    : KelborComponent(other),
      parameterVariableNames_(other.parameterVariableNames_),
      speciesVariableNames_(other.speciesVariableNames_),
      obiParameters_(other.obiParameters_),
      parameters_(other.parameters_),
      verifyAbstractLaw_(other.verifyAbstractLaw_) {
  bind(other.abstractLaw_);
  try {
    kstr::ParameterBindingIndex::instance().note(this, bindingPlaces_, parameterVariableNames_);
  } catch (...) {
    kstr::ParameterBindingIndex::instance().forget(bindingPlaces_);
    bind(nullptr);
    throw;
  }
}

BKineticLaw& BKineticLaw::operator=(const BKineticLaw& other) {
  if (this == &other) return *this;
  KelborComponent::operator=(other);
  parameterVariableNames_ = other.parameterVariableNames_;
  speciesVariableNames_ = other.speciesVariableNames_;
  obiParameters_ = other.obiParameters_;
  parameters_ = other.parameters_;
  verifyAbstractLaw_ = other.verifyAbstractLaw_;
  bind(other.abstractLaw_);
  kstr::ParameterBindingIndex::instance().note(this, bindingPlaces_, parameterVariableNames_);
  return *this;
}

BKineticLaw::~BKineticLaw() {
  kstr::ParameterBindingIndex::instance().forget(bindingPlaces_);
  bind(nullptr);
}

void BKineticLaw::bind(const BAbstractKineticLaw* abstractLaw) {
  if (abstractLaw) abstractLaw->addBinding();
  if (abstractLaw_) abstractLaw_->removeBinding();
  abstractLaw_ = abstractLaw;
}

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
  if (abstractLaw && isSelfNamedTemplate(abstractLaw)) verifyAbstractLaw_ = false;
  if (abstractLaw && verifyAbstractLaw_) const_cast<BAbstractKineticLaw*>(abstractLaw)->verify();
  bind(abstractLaw);
  setModelCompileNeeded();
}

const std::string& BKineticLaw::getAbstractName() const {
  static const std::string none;
  return abstractLaw_ ? abstractLaw_->getName() : none;
}

const char* BKineticLaw::getExpression() const {
  return abstractLaw_ ? abstractLaw_->getExpression() : nullptr;
}

const qxArray* BKineticLaw::getParameterVariables() const {
  return abstractLaw_ ? abstractLaw_->getParameterVariables() : nullptr;
}

const qxArray* BKineticLaw::getSpeciesVariables() const {
  return abstractLaw_ ? abstractLaw_->getSpeciesVariables() : nullptr;
}

void BKineticLaw::verifyTemplate() const {
  if (verifyAbstractLaw_ && abstractLaw_) const_cast<BAbstractKineticLaw*>(abstractLaw_)->verify();
}

// --- variable bindings -----------------------------------------------------------

BReaction* BKineticLaw::getParentReaction() const {
  KelborComponent* parent = getParent();
  return parent && parent->getEnumType() == kstr::reaction ? static_cast<BReaction*>(parent)
                                                           : nullptr;
}

void BKineticLaw::setupEmptyParameterNameCells(const qxArray* cell) {
  if (cell) parameterVariableNames_.resize(elementCount(cell));
}

void BKineticLaw::setupEmptySpeciesNameCells(const qxArray* cell) {
  if (cell) speciesVariableNames_.resize(elementCount(cell));
}

void BKineticLaw::setVariableNames(NameVector& stored, const NameVector& names, bool species) {
  // Every entry is read first: a refused one leaves the stored names as
  // they were.
  NameVector checked(names.size());
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
    checked[i] = text;
  }
  stored.swap(checked);
  if (!species) kstr::ParameterBindingIndex::instance().note(this, bindingPlaces_, stored);
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
  if (changed) kstr::ParameterBindingIndex::instance().note(this, bindingPlaces_, parameterVariableNames_);
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

void BKineticLaw::restoreVariableNames(const NameVector& parameterNames,
                                       const NameVector& speciesNames) {
  NameVector parameters(parameterNames);
  NameVector species(speciesNames);
  if (parameters != parameterVariableNames_) {
    kstr::ParameterBindingIndex::instance().note(this, bindingPlaces_, parameters);
    parameterVariableNames_.swap(parameters);
  }
  speciesVariableNames_.swap(species);
  setModelCompileNeeded();
}

char* BKineticLaw::getRateExpression() const {
  if (!abstractLaw_ || !verifyForReactionRate()) return nullptr;
  kstrMap<std::string, const char*> map;
  SubstitutionCopies copies;
  if (!addSubstitutions(getParameterVariables(), getParameterVariableNames(), false, map, copies) ||
      !addSubstitutions(getSpeciesVariables(), getSpeciesVariableNames(), true, map, copies)) {
    return nullptr;
  }
  const char* expression = abstractLaw_->getExpression();
  if (!expression) return nullptr;
  try {
    MParseTree tree(expression);
    tree.init(true);
    return tree.traverseSubstitute(map);
  } catch (const ErrorIdException& e) {
    if (e.getIdentifier().rfind("ks:", 0) != 0) throw;
    hb_warning_id(hbGetWarningContext(), "Kestrion:UnableToParseAKL",
                  kstr::code(Code::KS_AKL_UNABLE_TO_PARSE), expression);
    return nullptr;
  }
}

bool BKineticLaw::verifyForReactionRate() const {
  verifyTemplate();
  const auto bound = [](const NameVector& names, const qxArray* cell) {
    // No names at all for a template with variables counts as unbound.
    if (names.empty()) return elementCount(cell) == 0;
    return std::none_of(names.begin(), names.end(), [](const std::string& n) { return n.empty(); });
  };
  return bound(getParameterVariableNames(), getParameterVariables()) &&
         bound(getSpeciesVariableNames(), getSpeciesVariables());
}

void BKineticLaw::verify() const {
  verifyTemplate();
  const char* expression = getExpression();
  if (expression && std::strcmp(expression, "Unknown") == 0) return;
  verifyParameters();
  verifySpecies();
}

void BKineticLaw::verifyParameters() const {
  const NameVector& names = getParameterVariableNames();
  if (columnCount(getParameterVariables()) != names.size()) {
    kstr_error("Kestrion:InvalidNumberOfParametersForKineticLaw", kstr::code(Code::KS_KL_PARAMETERS_INVALID_NUMBER));
  }
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i].empty()) {
      kstr_error("Kestrion:EmptyKineticLawParameter", kstr::code(Code::KS_EMPTY_KL_PARAMETER), getName().c_str());
    }
    if (!findParameterApiObjectAt(static_cast<unsigned int>(i))) {
      kstr_error("Kestrion:KineticLawParameterNotFound", kstr::code(Code::KS_KL_PARAMETER_NOT_FOUND),
                 names[i].c_str());
    }
  }
}

void BKineticLaw::verifySpecies() const {
  const NameVector& names = getSpeciesVariableNames();
  if (columnCount(getSpeciesVariables()) != names.size()) {
    kstr_error("Kestrion:InvalidNumberOfSpeciesForKineticLaw", kstr::code(Code::KS_KL_SPECIES_INVALID_NUMBER));
  }
  for (const std::string& name : names) {
    if (name.empty()) {
      kstr_error("Kestrion:EmptyKineticLawSpecies", kstr::code(Code::KS_EMPTY_KL_SPECIES), getName().c_str());
    }
    std::string normalized;
    normalizeSpeciesName(name, normalized);
    const KelborComponent* found = findComponentApiObject(normalized);
    if (!found || found->getEnumType() != kstr::species) {
      kstr_error("Kestrion:KineticLawSpeciesNotFound", kstr::code(Code::KS_KL_SPECIES_NOT_FOUND), name.c_str());
    }
  }
}

BParameter* BKineticLaw::findParameterApiObjectAt(unsigned int index) const {
  const NameVector& names = getParameterVariableNames();
  Kelbor* model = getModel();
  BReaction* reaction = getParentReaction();
  if (names.empty() || index >= names.size() || !model || !reaction) return nullptr;
  std::string normalized;
  normalizeParameterName(names[index], normalized);
  if (normalized.empty()) return nullptr;
  ExpressionBasedComponent::ComponentVectorPtr found =
      model->resolveSymbolWithCollisions(normalized, reaction);
  if (!found) return nullptr;
  for (const KelborComponent* component : *found) {
    if (component && component->getEnumType() == kstr::parameter) {
      return const_cast<BParameter*>(static_cast<const BParameter*>(component));
    }
  }
  return nullptr;
}

const KelborComponent* BKineticLaw::findComponentApiObject(const std::string& name) const {
  Kelbor* model = getModel();
  BReaction* reaction = getParentReaction();
  if (!model || !reaction) return nullptr;
  std::string normalized;
  normalizeSpeciesName(name, normalized);
  if (normalized.empty()) return nullptr;
  return model->resolveSymbol(normalized, reaction);
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
    if (p.empty() || !model->isComponentNameInUse(p, kstr::species)) continue;
    std::string reactionName;
    std::string equation;
    if (reaction) {
      reactionName = reaction->getName().empty() ? reaction->getDefaultName() : reaction->getName();
      equation = reaction->getReactionString();
    }
    hb_warning_id(hbGetWarningContext(), "Kestrion:SpeciesShadowingParameterName",
                  kstr::code(Code::KS_SPECIES_AND_PARAMETER_SHARED_NAME_IN_REACTION_RATE_WARNING),
                  reactionName.c_str(), equation.c_str(), p.c_str());
  }
}

void BKineticLaw::moveComponentStateTo(BKineticLaw& to) {
  to.setName(getName());
  to.setID(getID());
  to.setKeepAnnotationTagsInText(true);
  to.setAnnotation(getAnnotation());
  to.setAnnotationOpeningTag(getAnnotationOpeningTag());
  to.setKeepAnnotationTagsInText(getKeepAnnotationTagsInText());
  to.setNotes(getNotes());
  to.setTag(getTag());
  to.setUserData(getUserData());
  setUserData(nullptr);
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

void BKineticLaw::removeAllParameters() {
  if (Kelbor* model = getModel()) {
    for (BParameter* parameter : parameters_) model->componentRemoved(parameter);
    model->setCompileNeeded(true);
  }
  parameters_.clear();
}

void BKineticLaw::reorderParameters(const kstrVector<BParameter*>& parameters) {
  parameters_ = parameters;
  setModelCompileNeeded();
}

BParameter* BKineticLaw::anyParameterUsingName(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (BParameter* p : parameters_) {
    if (p->getName() == name) return p;
  }
  return nullptr;
}

bool BKineticLaw::isParameterNameInUse(const std::string& name) const {
  return anyParameterUsingName(name) != nullptr;
}
