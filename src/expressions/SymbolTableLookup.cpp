// The read side of the symbol table: lookups, queries on listeners and
// waiting names, the in-use sweep and the listing.
#include <algorithm>
#include <iomanip>
#include <iterator>
#include <new>
#include <ostream>
#include <sstream>

#include <ks_utils/Identifiers.hpp>

#include "core/KelborComponent.hpp"
#include "expressions/NameHelpers.hpp"
#include "expressions/SymbolTable.hpp"
#include "model/Kelbor.hpp"

bool SymbolTable::isWhollyBracketed(const std::string& name) {
  return name.size() > 2 && name.front() == '[' && name.back() == ']' &&
         name.find(']', 1) == name.size() - 1;
}

KelborComponent* SymbolTable::findInNamespace(const std::string& name,
                                              const Namespace& space) const {
  return findInNamespace(name, Namespace::hashOf(name), space);
}

KelborComponent* SymbolTable::findInNamespace(const std::string& name, size_t hash,
                                              const Namespace& space) const {
  if (!isWhollyBracketed(name)) {
    std::string buffer;
    const bool reactionKeys = &space == &reactions_ || &space == &reactionParameters_;
    const std::string& key = reactionKeys ? keyOf(name, buffer) : name;
    if (KelborComponent* found = space.findQualified(key, &key == &name ? hash : Namespace::hashOf(key))) {
      return found;
    }
  }
  return space.firstNamed(name, hash);
}

SymbolTable::SpeciesMatch SymbolTable::resolveSpecies(std::string name) const {
  kstr::removeBracketsFromValidIdentifiers(name);
  return resolvePlainSpecies(name, Namespace::hashOf(name));
}

SymbolTable::SpeciesMatch SymbolTable::resolvePlainSpecies(const std::string& name, size_t hash) const {
  if (!isWhollyBracketed(name)) {
    if (KelborComponent* found = species_.findQualified(name, hash)) return {found, true};
  }
  // Only none, one or several matter: count no further than two.
  KelborComponent* first = nullptr;
  switch (species_.countNamed(name, hash, 2, &first)) {
    case 0:
      return {nullptr, false};
    case 1:
      return {first, true};
    default:
      return {nullptr, true};
  }
}

KelborComponent* SymbolTable::resolveReactionParameter(const std::string& name,
                                                       const KelborComponent* reaction) const {
  // Without kinetic-law parameters no key can answer: the qualified key is
  // not even made.
  if (!reaction || reactionParameters_.liveQualifiedCount() == 0) return nullptr;
  std::string buffer;
  const std::string& key = keyOf(name, buffer);
  if (KelborComponent* found = reactionParameters_.findQualified(key)) {
    if (&key == &buffer) {
      // Named through its reaction's default name: remembered, so that the
      // text can follow when that name moves.  Without memory it is only
      // not remembered; a lookup never raises.
      try {
        defaultNamed_.insert(found);
      } catch (const std::bad_alloc&) {
      }
    }
    return found;
  }
  std::string qualified = reaction->getName();
  if (qualified.empty()) {
    // An unnamed reaction's parameters are entered under its identity key.
    qualified = reactionAt_ ? identityKeyOf(reaction) : reaction->getDefaultName();
  } else {
    bracketNameIfNotValidIdentifier(qualified);
  }
  qualified += ".";
  qualified += name;
  return reactionParameters_.findQualified(qualified);
}

KelborComponent* SymbolTable::findByQualifiedName(const std::string& name) const {
  if (name.empty()) return nullptr;
  std::string buffer;
  const std::string& reactionKey = keyOf(name, buffer);
  for (const Namespace* space :
       {&species_, &modelParameters_, &reactionParameters_, &compartments_, &reactions_}) {
    const bool reactionKeys = space == &reactions_ || space == &reactionParameters_;
    if (KelborComponent* found = space->findQualified(reactionKeys ? reactionKey : name)) {
      return found;
    }
  }
  return nullptr;
}

const SymbolTable::Namespace* SymbolTable::namespaceOfKind(kstr::bcomptype kind) const {
  switch (kind) {
    case kstr::parameter:
      return &modelParameters_;
    case kstr::reaction:
      return &reactions_;
    case kstr::species:
      return &species_;
    case kstr::compartment:
      return &compartments_;
    default:
      // No namespace holds other kinds; no caller asks for them.
      return nullptr;
  }
}

bool SymbolTable::isComponentNameInUse(const std::string& name, kstr::bcomptype kind) const {
  return isComponentNameInUse(name, {kind});
}

bool SymbolTable::isComponentNameInUse(const std::string& name,
                                       std::initializer_list<kstr::bcomptype> kinds) const {
  if (name.empty()) return false;
  std::string bracketed;
  size_t hash = 0;
  for (kstr::bcomptype kind : kinds) {
    const Namespace* space = namespaceOfKind(kind);
    if (!space) continue;
    if (bracketed.empty()) {
      bracketed = name;
      bracketNameIfNotValidIdentifier(bracketed);
      hash = Namespace::hashOf(bracketed);
    }
    if (findInNamespace(bracketed, hash, *space)) return true;
  }
  return false;
}

void SymbolTable::collectCandidates(const std::string& name, const KelborComponent* reaction,
                                   CandidateList& out) const {
  const SpeciesMatch species = resolveSpecies(name);
  if (species.first) out.push_back(species.first);
  if (reaction) {
    if (KelborComponent* parameter = resolveReactionParameter(name, reaction)) {
      out.push_back(parameter);
    }
  }
  const size_t hash = Namespace::hashOf(name);
  if (KelborComponent* compartment = findInNamespace(name, hash, compartments_)) {
    out.push_back(compartment);
  }
  if (KelborComponent* parameter = findInNamespace(name, hash, modelParameters_)) {
    out.push_back(parameter);
  }
}

uint64_t SymbolTable::getListenerCount(const std::string& name, size_t number) const {
  if (number == pendingNamespace) {
    ListenerSetPtr waiting = findPendingListeners(name);
    return waiting ? waiting->size() : 0;
  }
  if (number >= namespaceCount) return 0;
  const KelborComponent* found = findInNamespace(name, ns(number));
  return found ? found->getListeners().size() : 0;
}

bool SymbolTable::isNameInNamespace(const std::string& name, size_t number) const {
  if (number == pendingNamespace) return static_cast<bool>(findPendingListeners(name));
  if (number >= namespaceCount) return false;
  const Namespace& space = ns(number);
  std::string buffer;
  const bool reactionKeys = number == reactionNamespace || number == reactionParameterNamespace;
  return space.findQualified(reactionKeys ? keyOf(name, buffer) : name) != nullptr ||
         space.firstNamed(name) != nullptr;
}

void SymbolTable::collectListeners(const CandidateList& components, ListenerSet& out) {
  for (const KelborComponent* component : components) {
    const KelborComponent::ListenerSet& listeners = component->getListeners();
    out.insert(listeners.begin(), listeners.end());
  }
}

void SymbolTable::appendAllWithName(const std::string& bracketedName, const Namespace& space,
                                    CandidateList& out) {
  const auto named = space.named(bracketedName);
  out.reserve(out.size() + static_cast<size_t>(std::distance(named.begin(), named.end())));
  for (const auto& [name, component] : named) out.push_back(component);
}

void SymbolTable::notifyAllInUseCounts() const {
  for (const Namespace* space :
       {&species_, &modelParameters_, &reactionParameters_, &compartments_}) {
    for (const auto& [key, component] : space->entries()) {
      boost::shared_ptr<ModelGlobalData> data = component->getModelGlobalData();
      if (data && data->model) data->model->notifyComponentInUseCountChange(component, false);
    }
  }
}

// --- listing --------------------------------------------------------------------

namespace {

constexpr size_t kNameWidth = 40;
constexpr size_t kPointerWidth = 14;

template <class Iterator>
void writeRows(Iterator first, Iterator last, std::ostream& out) {
  for (Iterator it = first; it != last; ++it) {
    // Removed entries waiting to be dropped are not listed.
    if (!it->second) continue;
    const std::string& key = it->first;
    const void* address = it->second;
    if (key.size() < kNameWidth) {
      out << key << std::setw(static_cast<int>(kPointerWidth + kNameWidth - key.size()))
          << address;
    } else {
      out << key.substr(0, kPointerWidth + kNameWidth - 3) << "..." << address;
    }
    out << '\t' << static_cast<unsigned long long>(it->second->getListeners().size())
        << std::endl;
  }
}

}  // namespace

void SymbolTable::printSymbolRows(const QualifiedIndex& index, std::ostream& out) {
  writeRows(index.begin(), index.end(), out);
}

void SymbolTable::printSymbolRows(const NameIndex& index, std::ostream& out) {
  writeRows(index.begin(), index.end(), out);
}

std::ostream& SymbolTable::printNamespace(const std::string& title, const Namespace& space,
                                          std::ostream& out) {
  out << title << std::endl << std::endl;
  if (space.liveQualifiedCount() != 0) {
    printSymbolRows(space.byQualifiedName, out);
  } else {
    printSymbolRows(space.byName, out);
  }
  out << std::endl;
  return out;
}

std::ostream& SymbolTable::printUndefinedNamespace(const PendingTable& pending,
                                                   std::ostream& out) {
  out << "Undefined Namespace" << std::endl << std::endl;
  for (const auto& [name, waiting] : pending) {
    out << name << '\t' << static_cast<unsigned long long>(waiting ? waiting->size() : 0)
        << std::endl;
  }
  return out;
}

const SymbolTable::Namespace& SymbolTable::listed(const Namespace& space, Namespace& shown) const {
  const auto live = space.entries();
  if (std::none_of(live.begin(), live.end(),
                   [](const auto& entry) { return isIdentityKey(entry.first); })) {
    return space;
  }
  shown.byName = space.byName;
  shown.removedNames = space.removedNames;
  shown.byQualifiedName.clear();
  shown.removedQualified = 0;
  for (const auto& [key, component] : space.entries()) {
    shown.byQualifiedName.emplace(listedKey(key, component), component);
  }
  return shown;
}

std::string SymbolTable::listedKey(const std::string& key, const KelborComponent* component) {
  if (!isIdentityKey(key) || !component) return key;
  std::string name;
  component->fillPartiallyQualifiedName(name);
  return name;
}

void SymbolTable::print(std::ostream& out) const {
  std::ostringstream text;
  text << "================ SymbolTable Contents ================" << std::endl << std::endl;
  printNamespace("Species namespace", species_, text);
  printNamespace("Compartment namespace", compartments_, text);
  printNamespace("Parameter namespace", modelParameters_, text);
  Namespace shown;
  printNamespace("Reaction parameter namespace", listed(reactionParameters_, shown), text);
  printNamespace("Reaction namespace", listed(reactions_, shown), text);
  printUndefinedNamespace(pendingListeners_, text);
  out << text.str() << std::flush;
}

std::ostream& operator<<(std::ostream& out, const SymbolTable& table) {
  table.print(out);
  return out;
}
