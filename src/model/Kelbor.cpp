#include "model/Kelbor.hpp"

#include <algorithm>
#include <map>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <boost/make_shared.hpp>
#include <hb/hb.hpp>
#include <ks_utils/Errors.hpp>
#include <ks_utils/Identifiers.hpp>
#include <ks_utils/Uuid.hpp>
#include <obk/Vector.hpp>

#include "core/InUseCountEvents.hpp"
#include "core/ListRemoval.hpp"
#include "expressions/SymbolTable.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "model/MessageCatalog.hpp"
#include "model/SimulatorInterfaces.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BEvent.hpp"
#include "reactions/BReaction.hpp"
#include "reactions/BRule.hpp"
#include "variants_doses/Dose.hpp"
#include "variants_doses/Variant.hpp"

CModelApi::~CModelApi() = default;
ODESimulationDataApi::~ODESimulationDataApi() = default;

namespace {

using Nesting = kstrVector<std::pair<BCompartment*, BCompartment*>>;
using MemberLists = std::unordered_map<const BCompartment*, std::vector<BCompartment*>>;

// The pairs of a nesting in the order they are placed in: from every
// top-level compartment that goes below none, depth first, each owner's
// members in their own order, a compartment placed below its owner once
// its own members are below it.  While it is placed its owner is still at
// the top of the tree, so no placement climbs a long chain of owners.
// Pairs whose owners come back to themselves are never reached.
Nesting placingOrder(const kstrVector<BCompartment*>& topLevel,
                     const std::unordered_set<const BCompartment*>& inner, const MemberLists& members) {
  Nesting order;
  struct Frame {
    BCompartment* compartment;
    size_t next;
  };
  std::vector<Frame> path;
  for (BCompartment* root : topLevel) {
    if (inner.count(root)) continue;
    path.push_back({root, 0});
    while (!path.empty()) {
      Frame& top = path.back();
      auto found = members.find(top.compartment);
      if (found != members.end() && top.next < found->second.size()) {
        BCompartment* member = found->second[top.next++];
        path.push_back({member, 0});
        continue;
      }
      BCompartment* placed = top.compartment;
      path.pop_back();
      if (!path.empty()) order.emplace_back(placed, path.back().compartment);
    }
  }
  return order;
}

// Takes the item out of the list.  While a model is being destroyed its
// components leave one by one, first to last; the order of what remains no
// longer matters then, so the list is emptied from the back instead of the
// whole list moving up (which would make deleting a model quadratic).
// A hint that holds the item spares the search.
template <class T>
bool eraseFrom(kstrVector<T>& list, T item, bool keepOrder = true, int hint = -1) {
  if (!keepOrder) return kstr::eraseUnordered(list, item);
  auto it = hint >= 0 && static_cast<size_t>(hint) < list.size() && list[static_cast<size_t>(hint)] == item
                ? list.begin() + hint
                : std::find(list.begin(), list.end(), item);
  if (it == list.end()) return false;
  list.erase(it);
  return true;
}

// The first element whose name (or default name, for an unnamed one) is
// the given name.
template <class T>
T* findByName(const kstrVector<T*>& list, const std::string& name) {
  for (T* element : list) {
    if (!element) continue;
    const std::string& own = element->getName();
    if (own.empty() ? element->getDefaultName() == name : own == name) return element;
  }
  return nullptr;
}

}  // namespace

Kelbor::Kelbor() {
  // Held until everything is made, so that memory running out part way
  // leaves nothing behind.
  std::unique_ptr<KStrUuid> uuid(new KStrUuid());
  std::unique_ptr<SymbolTable> table(new SymbolTable());
  auto data = boost::make_shared<ModelGlobalData>();
  data->model = this;
  setModelGlobalData(data);
  // Unnamed reactions keep one key wherever they move in the list; their
  // default names are looked up through the list.
  table->setReactionAtPosition([this](size_t position) -> const KelborComponent* {
    return position < reactions_.size() ? reactions_.at(position) : nullptr;
  });
  uuid_ = uuid.release();
  symbolTable_ = table.release();
}

Kelbor::~Kelbor() {
  // Components that outlive the model must not reach it through their
  // shared model data.
  if (auto data = getModelGlobalData()) {
    data->beingDestroyed = true;
    data->model = nullptr;
  }
  // Variants and doses that outlive the model forget its name index.
  for (const Variant* variant : variants_) const_cast<Variant*>(variant)->indexedIn_ = nullptr;
  for (const Dose* dose : doses_) const_cast<Dose*>(dose)->forgetNameIndex();
  events_.clear();
  models_.clear();
  reactions_.clear();
  rules_.clear();
  listPositions_.clear();
  obiEvents_ = obiModels_ = obiReactions_ = obiRules_ = obiSpecies_ = nullptr;
  obiCompartments_ = obiParameters_ = nullptr;
  delete uuid_;
  delete symbolTable_;
  if (getInUseCountEventClass()) forgetModelUnusedComponentEvents(getOBI());
  inUseCallback_.clear();
}

// --- simulator data and identity --------------------------------------------

void Kelbor::setODESimulationDataApi(ODESimulationDataApi* api) {
  odeSimulationDataApi_ = api;
  setCompileNeeded(true);
}

void Kelbor::setUuid(KStrUuid* uuid) {
  if (uuid == uuid_) return;
  delete uuid_;
  uuid_ = uuid;
}

void Kelbor::setUuid(const char* text) {
  if (!text) return;
  auto* fresh = new KStrUuid(text);
  delete uuid_;
  uuid_ = fresh;
}

// --- list handles and order ---------------------------------------------------

void Kelbor::setOBIEvents(Vector* handle) {
  obiEvents_ = handle;
  setCompileNeeded(true);
}
void Kelbor::setOBIModels(Vector* handle) {
  obiModels_ = handle;
  setCompileNeeded(true);
}
void Kelbor::setOBIReactions(Vector* handle) {
  obiReactions_ = handle;
  setCompileNeeded(true);
}
void Kelbor::setOBIRules(Vector* handle) {
  obiRules_ = handle;
  setCompileNeeded(true);
}
void Kelbor::setOBISpecies(Vector* handle) {
  obiSpecies_ = handle;
  setCompileNeeded(true);
}
void Kelbor::setOBICompartments(Vector* handle) {
  obiCompartments_ = handle;
  setCompileNeeded(true);
}

void Kelbor::reorderEvents(const kstrVector<BEvent*>& order) {
  events_ = order;
  listsChanged();
  setCompileNeeded(true);
}
void Kelbor::reorderRules(const kstrVector<BRule*>& order) {
  rules_ = order;
  listsChanged();
  setCompileNeeded(true);
}
void Kelbor::reorderReactions(const kstrVector<BReaction*>& order) {
  // Unnamed reactions that moved answer another default name now; the
  // symbol table finds them through the list, so nothing is re-keyed, but
  // the texts that name their parameters by default name follow them.
  const DefaultNameReferences before = collectDefaultNameReferences();
  reactions_.assign(order);
  listsChanged();
  setCompileNeeded(true);
  followDefaultNames(before);
}
void Kelbor::reorderParameters(const kstrVector<BParameter*>& order) {
  parameters_.assign(order);
  setCompileNeeded(true);
}

// --- adding and removing ----------------------------------------------------------

void Kelbor::addCompartment(BCompartment* compartment) {
  compartments_.push_back(compartment);
  compartment->setParent(this);
  enterCompartmentSubtree(compartment);
}

// Enters a compartment with everything below it: every nested compartment
// takes the model as parent, every species shares the model data again, and
// each compartment and species is entered in the symbol table.
void Kelbor::enterCompartmentSubtree(BCompartment* compartment) {
  kstrVector<BCompartment*> subtree{compartment};
  compartment->getAllDescendantCompartments(&subtree);
  for (BCompartment* c : subtree) {
    if (c != compartment) c->setParent(this);
    componentAdded(c);
    for (BSpecies* species : c->getSpecies()) {
      species->setParent(c);
      componentAdded(species);
    }
  }
}

void Kelbor::removeCompartment(BCompartment* compartment, int position) {
  // A model being destroyed keeps no symbol table entries to take out, so
  // its destroy path walks no subtree (and allocates nothing).
  if (isBeingDestroyed()) {
    compartments_.eraseUnordered(compartment);
  } else if (compartments_.erase(compartment, position)) {
    kstrVector<BCompartment*> subtree{compartment};
    compartment->getAllDescendantCompartments(&subtree);
    for (BCompartment* c : subtree) {
      for (BSpecies* species : c->getSpecies()) componentRemoved(species);
      componentRemoved(c);
    }
  }
  setCompileNeeded(true);
}

void Kelbor::nestCompartments(const Nesting& pairs) {
  if (pairs.empty()) return;
  const kstrVector<BCompartment*>& top = compartments_.items();
  const std::unordered_set<const BCompartment*> topLevel(top.begin(), top.end());
  std::unordered_set<const BCompartment*> inner;
  MemberLists members;
  for (const auto& [sub, owner] : pairs) {
    if (!topLevel.count(sub) || !topLevel.count(owner) || !inner.insert(sub).second) {
      kstr_error("Kestrion:COMPARTMENT_INVALID_OWNER_SAME_MODEL",
                 kstr::code(kstr::MessageCode::KS_COMPARTMENT_INVALID_OWNER_SAME_MODEL));
    }
    members[owner].push_back(sub);
  }
  const Nesting order = placingOrder(top, inner, members);
  if (order.size() != pairs.size()) {
    kstr_error("Kestrion:COMPARTMENT_INVALID_OWNER_DESCENDANT",
               kstr::code(kstr::MessageCode::KS_COMPARTMENT_INVALID_OWNER_DESCENDANT));
  }
  std::erase_if(compartments_.changeableItems(), [&inner](const BCompartment* c) { return inner.count(c) != 0; });
  for (const auto& [sub, owner] : order) owner->adoptTopLevelCompartment(sub);
  setCompileNeeded(true);
}

void Kelbor::addParameter(BParameter* parameter) {
  parameters_.push_back(parameter);
  parameter->setParent(this);
  componentAdded(parameter);
  setCompileNeeded(true);
}

void Kelbor::removeParameter(BParameter* parameter, int hint) {
  const bool removed = isBeingDestroyed() ? parameters_.eraseUnordered(parameter)
                                          : parameters_.erase(parameter, hint);
  if (removed) componentRemoved(parameter);
  setCompileNeeded(true);
}

void Kelbor::removeAllParameters() {
  if (!isBeingDestroyed()) {
    for (BParameter* parameter : parameters_.items()) componentRemoved(parameter);
  }
  parameters_.clear();
  setCompileNeeded(true);
}

void Kelbor::addReaction(BReaction* reaction) {
  if (!reaction->getName().empty() &&
      symbolTable_->isComponentNameInUse(reaction->getName(), kstr::reaction)) {
    kstr_error("Kestrion:DuplicateReactionName",
               kstr::code(kstr::MessageCode::KS_DUPLICATE_REACTION_NAME));
  }
  reactions_.push_back(reaction);
  listsChanged();
  reaction->setParent(this);
  if (BKineticLaw* law = reaction->getKineticLaw()) law->setParent(reaction);
  componentAdded(reaction);
  setCompileNeeded(true);
}

void Kelbor::removeReaction(BReaction* reaction) {
  if (isBeingDestroyed()) {
    // Nothing is re-keyed or re-resolved in a model that is going.
    reactions_.eraseUnordered(reaction);
    listsChanged();
    setCompileNeeded(true);
    return;
  }
  // Found from where the reaction was last seen, not by a scan.
  long position = reaction->getParent() == this ? reaction->getListPosition() : -1;
  if (position < 0 || static_cast<size_t>(position) >= reactions_.size()) {
    position = -1;
    const kstrVector<BReaction*>& list = reactions_.items();
    auto found = std::find(list.begin(), list.end(), reaction);
    if (found != list.end()) position = found - list.begin();
  }
  if (position >= 0) {
    const DefaultNameReferences before = collectDefaultNameReferences();
    // The table is told first, while the reaction still has its position
    // (and so its default name); its kinetic-law parameters leave with it.
    if (BKineticLaw* law = reaction->getKineticLaw()) {
      for (BParameter* parameter : *law->getParameters()) componentRemoved(parameter);
    }
    componentRemoved(reaction);
    // The reactions behind it move up one place (their places are counted,
    // not moved); the symbol table finds the unnamed ones through the list.
    reactions_.erase(reaction, position);
    listsChanged();
    reaction->removeDependentState();
    followDefaultNames(before);
  }
  setCompileNeeded(true);
}

void Kelbor::addRule(BRule* rule) {
  rules_.push_back(rule);
  listsChanged();
  rule->setOBIParent(getOBI());
  rule->setParent(this);
  setCompileNeeded(true);
}

void Kelbor::deleteRule(BRule* rule) {
  listsChanged();
  if (eraseFrom(rules_, rule, !isBeingDestroyed()) && !isBeingDestroyed()) rule->removeDependentState();
  setCompileNeeded(true);
}

void Kelbor::addEvent(BEvent* event) {
  events_.push_back(event);
  listsChanged();
  event->setOBIParent(getOBI());
  event->setParent(this);
  setCompileNeeded(true);
}

void Kelbor::deleteEvent(BEvent* event) {
  listsChanged();
  if (eraseFrom(events_, event, !isBeingDestroyed()) && !isBeingDestroyed()) event->removeDependentState();
  setCompileNeeded(true);
}

void Kelbor::addModel(Kelbor* model) {
  models_.push_back(model);
  // Only the parent link changes: the nested model keeps the data that its
  // own components share.
  const boost::shared_ptr<ModelGlobalData> own = model->getModelGlobalData();
  model->KelborComponent::setParent(this);
  model->setModelGlobalData(own);
}

void Kelbor::deleteModel(Kelbor* model) { eraseFrom(models_, model); }

void Kelbor::tellReactionsAboutCompartments(bool multiple) {
  for (BReaction* reaction : reactions_.items()) {
    reaction->updateReactionExpressionForMultiCompartmentTransition(multiple);
  }
}

// Tells the reactions when the model passes between one compartment and
// several, whatever the size of the step.
void Kelbor::tellReactionsOnCompartmentCrossing() {
  const bool multiple = hasSeveralCompartments();
  if (multiple == reactionsToldMultiple_) return;
  reactionsToldMultiple_ = multiple;
  tellReactionsAboutCompartments(multiple);
}

void Kelbor::componentAdded(KelborComponent* component) {
  if (component->getEnumType() == kstr::compartment) tellReactionsOnCompartmentCrossing();
  symbolTable_->componentAdded(component);
}

void Kelbor::componentRemoved(KelborComponent* component) {
  if (isBeingDestroyed()) return;
  if (component->getEnumType() == kstr::compartment) tellReactionsOnCompartmentCrossing();
  symbolTable_->componentRemoved(component);
}

int Kelbor::getListPosition(const KelborComponent* component) const {
  if (listPositionsStale_) {
    listPositions_.clear();
    auto enter = [this](const auto& list) {
      for (size_t i = 0; i < list.size(); ++i) listPositions_.emplace(list[i], static_cast<int>(i));
    };
    enter(reactions_.items());
    enter(rules_);
    enter(events_);
    listPositionsStale_ = false;
  }
  auto found = listPositions_.find(component);
  return found == listPositions_.end() ? -1 : found->second;
}

// --- tree queries -------------------------------------------------------------------

bool Kelbor::hasSeveralCompartments() const {
  if (compartments_.size() != 1) return compartments_.size() > 1;
  return compartments_.at(0)->getNumCompartments() > 0;
}

uint64_t Kelbor::getNumCompartmentsInTree() const {
  uint64_t count = 0;
  for (const BCompartment* c : compartments_.items()) count += 1 + c->getNumCompartmentsInTree();
  return count;
}

uint32_t Kelbor::getNumSpeciesInTree() const {
  uint64_t count = 0;
  for (const BCompartment* c : compartments_.items()) count += c->getNumSpeciesInTree();
  return static_cast<uint32_t>(count);
}

BSpecies* Kelbor::getSpeciesInTreeAt(uint64_t index) const {
  for (BCompartment* c : compartments_.items()) {
    if (BSpecies* s = c->getSpeciesInTreeAtLocal(index)) return s;
  }
  return nullptr;
}

BCompartment* Kelbor::getCompartmentInTreeAt(uint64_t index) const {
  for (BCompartment* c : compartments_.items()) {
    if (BCompartment* found = c->getCompartmentInTreeAtLocal(index)) return found;
  }
  return nullptr;
}

kstrVector<BSpecies*>* Kelbor::getAllSpeciesInTree() const {
  auto* all = new kstrVector<BSpecies*>();
  for (BCompartment* c : compartments_.items()) c->getAllDescendantSpecies(all);
  return all;
}

kstrVector<BCompartment*>* Kelbor::getAllCompartmentsInTree() const {
  auto* all = new kstrVector<BCompartment*>();
  for (BCompartment* c : compartments_.items()) {
    all->push_back(c);
    c->getAllDescendantCompartments(all);
  }
  return all;
}

Vector* Kelbor::getSpeciesOBIs() const {
  auto* handles = new Vector();
  for (BCompartment* c : compartments_.items()) c->getAllDescendantSpeciesOBIs(handles);
  return handles;
}

BCompartment* Kelbor::getNamedCompartment(const std::string& name) const {
  // Every compartment of a live model is entered in the symbol table under
  // its (bracketed) name; the tree is walked only while the model is being
  // destroyed or when the entry is not this model's compartment of that name.
  if (!isBeingDestroyed() && !name.empty()) {
    std::string key = name;
    bracketNameIfNotValidIdentifier(key);
    KelborComponent* found = symbolTable_->findInNamespace(
        key, *symbolTable_->getNamespace(SymbolTable::compartmentNamespace));
    if (!found) return nullptr;
    if (found->getName() == name && found->getModelGlobalData() == getModelGlobalData()) {
      return static_cast<BCompartment*>(found);
    }
  }
  std::unique_ptr<kstrVector<BCompartment*>> all(getAllCompartmentsInTree());
  for (BCompartment* c : *all) {
    if (c->getName() == name) return c;
  }
  return nullptr;
}

BCompartment* Kelbor::anyCompartmentUsingName(const std::string& name) const {
  return getNamedCompartment(name);
}

BParameter* Kelbor::anyModelParameterUsingName(const std::string& name) const {
  if (name.empty()) return nullptr;
  return static_cast<BParameter*>(findModelParameter(name));
}

bool Kelbor::isAnySpeciesUsedByReactions(const kstrVector<BSpecies*>& species) const {
  // A reaction listens to every species its equation names, so the species'
  // listeners are the only reactions that can hold them as terms.
  kstrVector<BSpecies*> terms;
  for (const BSpecies* s : species) {
    for (const ExpressionBasedComponent* listener : s->getListeners()) {
      if (listener->getEnumType() != kstr::reaction) continue;
      const auto* reaction = static_cast<const BReaction*>(listener);
      terms.clear();
      reaction->getReactants(terms);
      reaction->getProducts(terms);
      if (std::find(terms.begin(), terms.end(), s) != terms.end()) return true;
    }
  }
  return false;
}

void Kelbor::findAllSpeciesAndParams(kstrVector<BSpecies*>& species,
                                     kstrVector<BParameter*>& parameters,
                                     bool includeConstants) const {
  for (BCompartment* c : compartments_.items()) c->getAllDescendantSpecies(&species);
  for (BParameter* p : parameters_.items()) {
    if (includeConstants || !p->getConstantValue()) parameters.push_back(p);
  }
  for (const BReaction* reaction : reactions_.items()) reaction->fillParameters(parameters, includeConstants);
}

namespace {

// Splits a partially qualified name into its container and component parts;
// false for a malformed name.
bool splitQualifiedName(const std::string& name, std::string& container, std::string& part) {
  container.clear();
  part.clear();
  if (name.empty() || name.front() == '.' || name.back() == '.') return false;
  const size_t open = name.find('[');
  if (open != std::string::npos) {
    const size_t close = name.find(']');
    if (close == std::string::npos || close < open) return false;
    if (name.find('[', open + 1) < close) return false;
    if (close + 1 != name.size() && name[close + 1] != '.') return false;
    std::string rest;
    if (open != 0) {
      container = name.substr(0, open - 1);
      rest = name.substr(open);
    } else if (close + 1 == name.size()) {
      rest = name;
    } else {
      container = name.substr(1, close - 1);
      rest = name.substr(close + 2);
    }
    if (!rest.empty() && rest.front() == '[') {
      if (rest.back() != ']' || rest.find('[', 1) != std::string::npos) return false;
      part = rest.substr(1, rest.size() - 2);
    } else {
      if (rest.find('[') != std::string::npos) return false;
      part = rest;
    }
    return !(container.empty() && part.empty());
  }
  if (name.find(']') != std::string::npos) return false;
  const size_t dot = name.find('.');
  if (dot == std::string::npos) {
    part = name;
    return true;
  }
  if (name.find('.', dot + 1) != std::string::npos) return false;
  container = name.substr(0, dot);
  part = name.substr(dot + 1);
  return true;
}

}  // namespace

KelborComponent* Kelbor::findModelParameter(const std::string& name) const {
  // The symbol table files every named model parameter under its bracketed
  // name; while the model is torn down the list is walked instead.
  if (isBeingDestroyed()) return findByName(parameters_.items(), name);
  std::string key = name;
  bracketNameIfNotValidIdentifier(key);
  const SymbolTable::Namespace* space = symbolTable_->getNamespace(SymbolTable::modelParameterNamespace);
  for (const auto& [bracketed, parameter] : space->named(key)) {
    if (parameter->getName() == name) return parameter;
  }
  return nullptr;
}

BReaction* Kelbor::findReaction(const std::string& name) const {
  // Reaction names are unique and never a default name, and the symbol
  // table enters every reaction under its name, an unnamed one under its
  // default name (found through its place in the list).  The list is
  // walked only while the model is torn down, or when the table's answer
  // does not carry the name (which it always should).
  if (isBeingDestroyed() || name.empty()) return findByName(reactions_.items(), name);
  std::string key = name;
  bracketNameIfNotValidIdentifier(key);
  const SymbolTable::Namespace* space = symbolTable_->getNamespace(SymbolTable::reactionNamespace);
  KelborComponent* found = symbolTable_->findInNamespace(key, *space);
  if (!found) return nullptr;
  const std::string& own = found->getName();
  if (found->getEnumType() == kstr::reaction && (own.empty() ? found->getDefaultName() == name : own == name)) {
    return static_cast<BReaction*>(found);
  }
  return findByName(reactions_.items(), name);
}

KelborComponent* Kelbor::getPartiallyQualifiedComponent(const std::string& name,
                                                        kstr::bcomptype kind) const {
  std::string container, part;
  if (!splitQualifiedName(name, container, part)) return nullptr;
  switch (kind) {
    case kstr::parameter: {
      if (container.empty()) return findModelParameter(part);
      BReaction* reaction = findReaction(container);
      BKineticLaw* law = reaction ? reaction->getKineticLaw() : nullptr;
      return law ? findByName(*law->getParameters(), part) : nullptr;
    }
    case kstr::reaction:
      return container.empty() ? findReaction(part) : nullptr;
    case kstr::species: {
      std::string text;
      if (!container.empty()) {
        if (container.front() != '[') bracketNameIfNotValidIdentifier(container);
        text = container + ".";
      }
      if (!part.empty() && part.front() != '[') bracketNameIfNotValidIdentifier(part);
      text += part;
      if (isBeingDestroyed()) return nullptr;
      KelborComponent* found = symbolTable_->resolveSymbol(text);
      return found && found->getEnumType() == kstr::species ? found : nullptr;
    }
    case kstr::compartment:
      return container.empty() ? getNamedCompartment(part) : nullptr;
    default:
      return nullptr;
  }
}
