#include "reactions/BReaction.hpp"

#include <algorithm>
#include <cstring>
#include <new>
#include <ostream>

#include <hb/hb.hpp>
#include <ks_utils/Errors.hpp>
#include <ks_utils/StringHelpers.hpp>
#include <obk/OBInterface.hpp>
#include <sv/sv.hpp>

#include "core/ReactionRateEvents.hpp"
#include "expressions/MathExpression.hpp"
#include "expressions/ReactionExpression.hpp"
#include "host/HostHelpers.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"
#include "core/ListPosition.hpp"

namespace {

constexpr const char* kMassAction = "MassAction";
constexpr const char* kUnknown = "Unknown";
constexpr const char* kReservedPrefix = "UnnamedReaction_";

std::vector<kstr::ReactionExpression::SpeciesAmount> speciesAmounts(const std::vector<BReaction::SpeciesTerm>& terms) {
  std::vector<kstr::ReactionExpression::SpeciesAmount> out;
  out.reserve(terms.size());
  for (const BReaction::SpeciesTerm& term : terms) out.emplace_back(term.species, term.stoichiometry);
  return out;
}

}  // namespace

BReaction::BReaction()
    : rate_(new kstr::MathExpression("")), reaction_(new kstr::ReactionExpression()) {}

BReaction::BReaction(const BReaction& other) = default;
BReaction& BReaction::operator=(const BReaction& other) = default;
BReaction::~BReaction() = default;

// --- names -------------------------------------------------------------------------

void BReaction::setName(const std::string& name) {
  std::string trimmed = name;
  STDStringHelpers::trimWhitespace(trimmed);
  errorForInvalidName(trimmed, nullptr);
  // The reaction's own current name never counts as taken.
  Kelbor* model = getLiveModel();
  if (model && !trimmed.empty() && trimmed != getName() &&
      model->isComponentNameInUse(trimmed, kstr::reaction)) {
    kstr_error("Kestrion:DuplicateReactionName",
               kstr::code(kstr::MessageCode::KS_DUPLICATE_REACTION_NAME));
  }
  errorForReservedPrefix(trimmed);
  // A reaction has no rename of its own: its name is the qualifier of its
  // kinetic-law parameters, so the texts that name them follow it.  With
  // none naming them (a reaction being read or made) the name is only set.
  if (model && areLawParametersNamed(*model)) {
    setNameRewritingTexts(trimmed);
  } else {
    KelborComponent::setName(trimmed);
  }
}

void BReaction::errorForInvalidNameStatic(const std::string& name) {
  KelborComponent::errorForInvalidNameStatic(name, nullptr);
  errorForReservedPrefix(name);
}

void BReaction::errorForReservedPrefix(const std::string& name) {
  if (name.compare(0, std::strlen(kReservedPrefix), kReservedPrefix) == 0) {
    kstr_error("Kestrion:ReservedReactionName",
               kstr::code(kstr::MessageCode::KS_REACTION_RESERVED_NAME));
  }
}

bool BReaction::areLawParametersNamed(const Kelbor& model) const {
  if (kineticLaw_) {
    for (const BParameter* parameter : *kineticLaw_->getParameters()) {
      if (!parameter->getListeners().empty()) return true;
    }
  }
  return !model.variantsNaming(this).empty() || !model.dosesNaming(this).empty();
}

void BReaction::fillDisplayQualifiedName(std::string& out) const {
  if (!out.empty()) out.insert(0, ".");
  const std::string& name = getName();
  if (name.empty()) {
    out.insert(0, "Unnamed Reaction");
  } else if (name.find('.') != std::string::npos) {
    out.insert(0, "[" + name + "]");
  } else {
    out.insert(0, name);
  }
}

void BReaction::getDQN(std::string& out) const {
  out.clear();
  fillDisplayQualifiedName(out);
}

Kelbor* BReaction::modelForDefaultName() const {
  KelborComponent* parent = getParent();
  if (parent && parent->getEnumType() == kstr::kstrmodel) return static_cast<Kelbor*>(parent);
  if (Kelbor* model = getModel()) return model;
  return getEnclosingModel(getOBI());
}

long BReaction::getListPosition() const {
  Kelbor* model = modelForDefaultName();
  if (!model) return -1;
  // The hint usually holds it; only a reordered list costs a scan.
  return static_cast<long>(model->getReactionPosition(this, positionHint_));
}

std::string BReaction::getDefaultName() const {
  const long position = getListPosition();
  if (position < 0) return getID() ? std::string(getID()) : std::string();
  return kReservedPrefix + std::to_string(position + 1);
}

// --- parent and the equation frame -------------------------------------------------------

void BReaction::setParent(KelborComponent* parent) {
  if (parent == getParent()) return;
  const bool previous = deferNotification(true);
  // Stop listening in the model being left before the parent changes.
  detachListenerSupport();
  KelborComponent::setParent(parent);
  postSetReaction(previous);
  setModelCompileNeeded();
}

template <class Edit>
void BReaction::deferredEdit(Edit edit) {
  const bool previous = deferNotification(true);
  try {
    edit(previous);
  } catch (...) {
    if (!previous) deferNotification(false);
    throw;
  }
  setModelCompileNeeded();
}

template <class Change>
void BReaction::editEquation(Change change, bool notifyReaction) {
  deferredEdit([&](bool previous) {
    detachListenerSupport();
    change();
    if (notifyReaction) notifyReactionChanged();
    postSetReaction(previous);
  });
}

void BReaction::postSetReaction(bool deferSetting) {
  // Resolving the equation listens to what it names; the rate, detached
  // with it, listens again by its bindings.
  resolveTokensInExpressionAndListen(reaction_);
  attachListenersForExpression(rate_);
  announceEquationChange(deferSetting);
}

void BReaction::announceEquationChange(bool deferSetting) {
  deferNotification(deferSetting);
  sendJavaUpdateEvents();
  notifyReactionRatePostSetEvent(getOBI());
  refreshMassActionNames();
  updateReactionRateBasedOnKineticLaw(true, true);
}

void BReaction::notifyReactionChanged() {
  // The equation's own text (no copy of a long equation for each edit).
  notifyPropertyPostSet(getOBI(), "Reaction", reaction_->getText());
}

void BReaction::notifyLawProperty(const char* property) const {
  if (kineticLaw_) notifyPropertyPostSet(kineticLaw_->getOBI(), property, nullptr);
}

// --- equation ---------------------------------------------------------------------

std::string BReaction::getReactionString() const { return reaction_->getExpressionString(); }

void BReaction::setReaction(const ParsedReaction* parsed) {
  deferNotification(true);
  detachListenerSupport();
  reaction_.reset(new kstr::ReactionExpression(parsed));
  resolveTokensInExpressionAndListen(reaction_);
  reaction_->refreshReactionString(true);
  postSetReaction(false);
  setModelCompileNeeded();
}

void BReaction::setReaction(const char* text, const ParsedReaction* parsed) {
  deferNotification(true);
  detachListenerSupport();
  reaction_.reset(new kstr::ReactionExpression(text ? text : "", parsed));
  postSetReaction(false);
  setModelCompileNeeded();
}

void BReaction::restoreEquation(const kstr::ReactionExpression& saved) {
  EquationPtr copy(new kstr::ReactionExpression(saved));
  editEquation([&] { reaction_ = copy; }, true);
}

bool BReaction::getReversible() const { return reaction_->getReversible(); }

void BReaction::setReversible(bool reversible) {
  editEquation([&] { reaction_->setReversible(reversible); }, false);
}

void BReaction::addTerm(bool product, BSpecies* species, double stoichiometry) {
  reaction_->addToSide(product, {{species, stoichiometry}});
}

void BReaction::addReactant(BSpecies* species, double stoichiometry) {
  if (!species || appendNewSpecies({{species, stoichiometry}}, {})) return;
  editEquation([&] { addTerm(false, species, stoichiometry); }, true);
}

void BReaction::addProduct(BSpecies* species, double stoichiometry) {
  if (!species || appendNewSpecies({}, {{species, stoichiometry}})) return;
  editEquation([&] { addTerm(true, species, stoichiometry); }, true);
}

bool BReaction::appendNewSpecies(const std::vector<SpeciesTerm>& reactants, const std::vector<SpeciesTerm>& products) {
  // New species at the ends of the sides: only their names are resolved
  // and listened to, and the text grows where they stand, so that a long
  // equation gains one term at a time at the cost of that term.
  std::vector<std::string> added;
  if (!reaction_->appendNewTerms(speciesAmounts(reactants), speciesAmounts(products), added)) return false;
  deferredEdit([&](bool previous) {
    notifyReactionChanged();
    resolveTokensAndListen(reaction_, std::set<std::string>(added.begin(), added.end()));
    announceEquationChange(previous);
  });
  return true;
}

void BReaction::addTerms(const std::vector<SpeciesTerm>& reactants,
                         const std::vector<SpeciesTerm>& products, bool reversible) {
  const auto named = [](const std::vector<SpeciesTerm>& terms) {
    return std::any_of(terms.begin(), terms.end(), [](const SpeciesTerm& term) { return term.species != nullptr; });
  };
  // Nothing to add and the direction unchanged: the equation stays as it is
  // and the host hears nothing.
  if (!named(reactants) && !named(products) && reversible == getReversible()) return;
  if (reversible == getReversible() && appendNewSpecies(reactants, products)) return;
  editEquation(
      [&] {
        reaction_->addToSide(false, speciesAmounts(reactants));
        reaction_->addToSide(true, speciesAmounts(products));
        reaction_->setReversible(reversible);
      },
      true);
}

bool BReaction::removeReactant(BSpecies* species) { return removeTermsOf(false, species); }

bool BReaction::removeProduct(BSpecies* species) { return removeTermsOf(true, species); }

bool BReaction::removeTermsOf(bool product, BSpecies* species) {
  std::vector<std::string> names;
  if (!reaction_->removeTermsOf(product, species, names)) return false;
  deferredEdit([&](bool previous) {
    // The other terms keep their bindings and what they listen to; only a
    // species that nothing here uses any more is no longer listened to, and
    // only names that nothing here holds any more stop waiting.  The
    // removed terms' binding decides, so the names are not looked up again.
    releaseBindingsExcept(names, species, {reaction_, rate_});
    notifyReactionChanged();
    announceEquationChange(previous);
  });
  return true;
}

size_t BReaction::getNumReactants() const { return reaction_->getNumReactants(); }
size_t BReaction::getNumProducts() const { return reaction_->getNumProducts(); }

BSpecies* BReaction::getReactantAt(size_t index) const {
  return reaction_->getReactantAt(index).getSpecies<BSpecies>();
}

BSpecies* BReaction::getProductAt(size_t index) const {
  return reaction_->getProductAt(index).getSpecies<BSpecies>();
}

double BReaction::getReactantStoichAt(size_t index) const {
  return reaction_->getReactantAt(index).stoichiometry;
}

double BReaction::getProductStoichAt(size_t index) const {
  return reaction_->getProductAt(index).stoichiometry;
}

void BReaction::getReactants(kstrVector<BSpecies*>& out) const {
  for (size_t i = 0; i < getNumReactants(); ++i) {
    if (BSpecies* species = getReactantAt(i)) out.push_back(species);
  }
}

void BReaction::getProducts(kstrVector<BSpecies*>& out) const {
  for (size_t i = 0; i < getNumProducts(); ++i) {
    if (BSpecies* species = getProductAt(i)) out.push_back(species);
  }
}

bool BReaction::isReactant(const BSpecies* species) const { return reaction_->isReactant(species); }
bool BReaction::isProduct(const BSpecies* species) const { return reaction_->isProduct(species); }
bool BReaction::isReactant(const char* name) const { return reaction_->isReactant(name); }
bool BReaction::isProduct(const char* name) const { return reaction_->isProduct(name); }

double* BReaction::getStoichiometry(size_t& count) const {
  count = 0;
  if (!reaction_->isSyntacticallyValid()) return nullptr;
  kstrVector<double> values;
  reaction_->getSignedStoichiometry(values);
  if (values.empty()) return nullptr;
  auto* out = static_cast<double*>(hbMalloc(values.size() * sizeof(double)));
  if (!out) throw std::bad_alloc();
  std::copy(values.begin(), values.end(), out);
  count = values.size();
  return out;
}

void BReaction::setStoichiometry(const double* values, size_t count) {
  reaction_->setStoichiometry(values, count);
  setModelCompileNeeded();
}

bool BReaction::isComponentUsedInReaction(const KelborComponent* component) const {
  return reaction_->isComponentUsed(component);
}

void BReaction::getReactionTokens(std::set<std::string>& tokens) const {
  reaction_->fillSetWithTokens(tokens, true);
}

// --- rate --------------------------------------------------------------------------------

std::string BReaction::getReactionRate() const { return rate_->getExpressionString(); }

void BReaction::setReactionRate(const std::string& text, bool sendEvents) {
  // An empty rate set again (each change of a reaction without a law sets
  // its rate) names nothing and listens to nothing: it stays as it is, and
  // only the events follow.
  if (!(text.empty() && rate_ && rate_->getExpressionString().empty())) replaceReactionRate(text);
  if (sendEvents) {
    sendJavaUpdateEvents();
    notifyReactionRatePostSetEvent(getOBI());
  }
  setModelCompileNeeded();
}

void BReaction::replaceReactionRate(const std::string& text) {
  // The new rate is made before anything changes; when resolving it fails
  // (memory running out) the old rate is put back and listened to again.
  // Only the rate's own listening changes: what the equation uses stays
  // listened to, and the equation keeps its bindings.
  RatePtr next(new kstr::MathExpression(text));
  RatePtr old = rate_;
  const bool previous = deferNotification(true);
  const std::vector<ExpressionPtr> equation{reaction_};
  auto replaceRate = [&](const RatePtr& leaving, const RatePtr& coming) {
    detachListenersForExpression(leaving, equation);
    rate_ = coming;
    resolveTokensInExpressionAndListen(rate_);
  };
  try {
    replaceRate(old, next);
  } catch (...) {
    replaceRate(next, old);
    deferNotification(previous);
    throw;
  }
  deferNotification(previous);
}

boost::shared_ptr<const MParseTree> BReaction::getReactionRateParseTree() const {
  return rate_->getParseTree();
}

void BReaction::getReactionRateTokens(std::set<std::string>& tokens, bool allTokens) const {
  rate_->fillSetWithTokens(tokens, allTokens);
}

void BReaction::fillFromRateToken2KLCMap(
    kstrMap<std::string, const KelborComponent*>& out) const {
  rate_->getSymbolComponentMap(out);
}

bool BReaction::isComponentUsedInReactionRate(const KelborComponent* component) const {
  return rate_->isComponentUsed(component);
}

std::string BReaction::describeExpressionOwner() const {
  return "reaction '" + (getName().empty() ? getReactionString() : getName()) + "'";
}

void BReaction::verifyEquationBindings() const {
  const std::string owner = describeExpressionOwner();
  const auto report = [&](const kstr::ReactionTerm& term) {
    if (term.species) return;
    kstr_stacked_error(1, getOBI(), "Kestrion:ReactionObjectDoesNotResolve",
                       kstr::code(kstr::MessageCode::KS_UNRESOLVED_OBJECT), term.name.c_str(),
                       owner.c_str());
  };
  for (size_t i = 0; i < reaction_->getNumReactants(); ++i) report(reaction_->getReactantAt(i));
  for (size_t i = 0; i < reaction_->getNumProducts(); ++i) report(reaction_->getProductAt(i));
}

void BReaction::requireParsedRate() const {
  if (rate_->isSyntacticallyValid() || rate_->getExpressionString().empty()) return;
  kstr_error("Kestrion:InvalidReactionRateSyntax",
             kstr::code(kstr::MessageCode::REACTION_RATE_SYNTAX_ERROR),
             getReactionRate().c_str(), describeExpressionOwner().c_str());
}

void BReaction::verifyReactionRateSyntax(bool checkResolution) const {
  const std::string owner = describeExpressionOwner();
  if (!rate_->isSyntacticallyValid()) {
    kstr_stacked_error(1, getOBI(), "Kestrion:InvalidReactionRateSyntax",
                       kstr::code(kstr::MessageCode::REACTION_RATE_SYNTAX_ERROR),
                       getReactionRate().c_str(), owner.c_str());
    return;
  }
  if (!checkResolution) return;
  kstr::Expression::TokenSet unresolved;
  rate_->getUnresolvedTokens(unresolved);
  for (const std::string& token : unresolved) {
    kstr_stacked_error(1, getOBI(), "Kestrion:ReactionObjectDoesNotResolve",
                       kstr::code(kstr::MessageCode::KS_UNRESOLVED_OBJECT), token.c_str(),
                       owner.c_str());
  }
}

void BReaction::getUpdatedReactionRateWithoutSendingEvents(std::string& out) {
  out.clear();
  if (isModelBeingDestroyed()) return;
  resolveTokensInExpression(rate_);
  if (!hasNonUnknownKineticLaw()) {
    out = getReactionRate();
    return;
  }
  if (char* composed = kineticLaw_->getRateExpression()) {
    out = composed;
    hbFree(composed);
  }
}

// --- kinetic law ---------------------------------------------------------------------

BKineticLaw* BReaction::getKineticLaw() const { return kineticLaw_; }

bool BReaction::hasLawNamed(const char* abstractName) const {
  return kineticLaw_ && kineticLaw_->getAbstractName() == abstractName;
}

bool BReaction::hasNonUnknownKineticLaw() const {
  return kineticLaw_ && !hasLawNamed(kUnknown);
}

kstr::kineticlawtype BReaction::getKineticLawType() const {
  if (!kineticLaw_) {
    return getReactionRate().empty() ? kstr::nokineticlaw : kstr::otherkineticlaw;
  }
  return hasLawNamed(kMassAction) ? kstr::massactionkineticlaw : kstr::otherkineticlaw;
}

void BReaction::refreshMassActionNames() {
  if (!hasLawNamed(kMassAction)) return;
  (void)kineticLaw_->getParameterVariableNames();
  notifyLawProperty("ParameterVariableNames");
  (void)kineticLaw_->getSpeciesVariableNames();
  notifyLawProperty("SpeciesVariableNames");
}

void BReaction::setKineticLaw(BKineticLaw* law) {
  // While the model is being destroyed a leaving law is only forgotten, so
  // that nothing reads it once its host object has destroyed it.
  if (isModelBeingDestroyed()) {
    if (!law) kineticLaw_ = nullptr;
    return;
  }
  kineticLaw_ = law;
  if (law) law->setParent(this);
  refreshMassActionNames();
  updateReactionRateBasedOnKineticLaw(false, true);
  setModelCompileNeeded();
}

void BReaction::updateReactionRateBasedOnKineticLaw(bool, bool sendEvents) {
  if (isModelBeingDestroyed()) return;
  std::string rate;
  try {
    getUpdatedReactionRateWithoutSendingEvents(rate);
  } catch (...) {
    setReactionRate(rate, sendEvents);
    throw;
  }
  setReactionRate(rate, sendEvents);
  notifyReactionRatePostSetEvent(getOBI());
}

void BReaction::updateKineticLawBasedOnReaction() { refreshMassActionNames(); }

void BReaction::fillParameters(kstrVector<BParameter*>& out, bool includeConstant) const {
  if (!kineticLaw_) return;
  for (BParameter* parameter : *kineticLaw_->getParameters()) {
    if (includeConstant || !parameter->getConstantValue()) out.push_back(parameter);
  }
}

void BReaction::notifyReactionRatePostSetEvent(void* hostInstance) {
  if (!hostInstance || !svJavaUseJVM()) return;
  auto* instance = static_cast<OBInterface*>(hostInstance);
  const auto* reaction = dynamic_cast<const BReaction*>(componentOf(instance));
  if (!reaction) return;
  const BKineticLaw* law = reaction->kineticLaw_;
  const std::string lawName = law ? law->getAbstractName() : std::string();
  notifyReactionRateListeners(instance, lawName.c_str(), reaction->getReactionRate().c_str());
}

// --- other -----------------------------------------------------------------------------

void BReaction::setFastThreshold(const double* value) {
  if (value) fastThreshold_ = *value;
}

const KelborComponent* BReaction::findComponentApiObject(const std::string& name) {
  return resolveSymbol(name);
}

// --- expression-based component ------------------------------------------------------------

void BReaction::detachListenerSupport() { releaseListeners({reaction_, rate_}); }

void BReaction::debugPrint(std::ostream& out) const {
  reaction_->debugPrint(out);
  rate_->debugPrint(out);
}

KelborComponent* BReaction::resolveSymbol(const std::string& name) {
  Kelbor* model = getLiveModel();
  return model ? model->resolveSymbol(name, this) : nullptr;
}

KelborComponent* BReaction::resolveSymbolAndListen(const std::string& name) {
  Kelbor* model = getLiveModel();
  return model ? model->resolveSymbolAndListen(name, this) : nullptr;
}

BReaction::ComponentVectorPtr BReaction::resolveSymbolsAndListen(
    const std::set<std::string>& release, const std::set<std::string>& resolve) {
  Kelbor* model = getLiveModel();
  return model ? model->resolveSymbolsAndListen(release, resolve, this) : ComponentVectorPtr();
}

BReaction::ComponentVectorPtr BReaction::resolveSymbolWithCollisions(const std::string& name) {
  Kelbor* model = getLiveModel();
  return model ? model->resolveSymbolWithCollisions(name, this) : ComponentVectorPtr();
}

KelborComponent* BReaction::reResolveSymbolAndListen(const std::string& oldName,
                                                     const std::string& newName) {
  Kelbor* model = getLiveModel();
  return model ? model->reResolveSymbolAndListen(oldName, newName, this) : nullptr;
}

void BReaction::sendJavaUpdateEvents() {
  if (getSendJavaEvents()) sendJavaExpressionEvents({reaction_, rate_});
}

void BReaction::removeDependentState() {
  detachListenerSupport();
  if (getSendJavaEvents()) sendJavaDeleteEvents({reaction_, rate_});
}
