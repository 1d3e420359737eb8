#include "expressions/SymbolTable.hpp"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

#include <boost/make_shared.hpp>
#include <ks_utils/Identifiers.hpp>

#include "core/Compaction.hpp"
#include "core/KelborComponent.hpp"
#include "expressions/ExpressionBasedComponent.hpp"
#include "expressions/NameHelpers.hpp"

// --- construction -----------------------------------------------------------

SymbolTable::SymbolTable()
    : compartments_(&memory_),
      species_(&memory_),
      reactions_(&memory_),
      modelParameters_(&memory_),
      reactionParameters_(&memory_),
      keyHolders_(&memory_) {
  namespaces_.reserve(namespaceCount);
  namespaces_.push_back(&species_);
  namespaces_.push_back(&compartments_);
  namespaces_.push_back(&modelParameters_);
  namespaces_.push_back(&reactionParameters_);
  namespaces_.push_back(&reactions_);
}

// Members go in reverse order of declaration: the index of entries, the
// namespace list, the waiting sets (the table's share only), the namespaces
// from kinetic-law parameters back to compartments, and last the pool their
// entries came from.  The counts of key texts and the index of members are
// one array each and go in one free; the pool hands back the memory of the
// indexes in blocks.
SymbolTable::~SymbolTable() = default;

// --- the hashes of a namespace ----------------------------------------------

void SymbolTable::reserve(size_t number, size_t entries) {
  if (number >= namespaceCount) return;
  Namespace& space = ns(number);
  try {
    space.qualifiedHash.reserve(entries);
    space.nameHash.reserve(entries);
  } catch (const std::bad_alloc&) {
  }
}

void SymbolTable::reserveMembers(size_t components) {
  try {
    members_.reserve(members_.size() + components);
    keyHolders_.reserve(keyHolders_.size() + 2 * components);
  } catch (const std::bad_alloc&) {
  }
}

std::pair<SymbolTable::QualifiedIndex::iterator, bool> SymbolTable::Namespace::enterQualified(
    const std::string& key, size_t hash, KelborComponent* component) {
  auto entered = byQualifiedName.try_emplace(key, component);
  if (!entered.second) return entered;
  try {
    // Every key of the index has its hash entry: a key new to the index
    // has none yet.
    qualifiedHash.enterAbsent(entered.first, hash);
  } catch (...) {
    byQualifiedName.erase(entered.first);
    throw;
  }
  return entered;
}

SymbolTable::NameIndex::iterator SymbolTable::Namespace::enterName(NameIndex::const_iterator hint,
                                                                   const std::string& name, size_t hash,
                                                                   KelborComponent* component) {
  auto entered = byName.emplace_hint(hint, name, component);
  try {
    // After the equal names already there: it is the first only when alone.
    nameHash.tryEnter(entered, hash);
  } catch (...) {
    byName.erase(entered);
    throw;
  }
  return entered;
}

size_t SymbolTable::getNamespaceIndex(const KelborComponent* component) {
  if (!component) return undefinedNamespace;
  switch (component->getEnumType()) {
    case kstr::species:
      return speciesNamespace;
    case kstr::compartment:
      return compartmentNamespace;
    case kstr::reaction:
      return reactionNamespace;
    case kstr::parameter: {
      const KelborComponent* parent = component->getParent();
      if (!parent) return undefinedNamespace;
      return parent->getEnumType() == kstr::kstrmodel ? modelParameterNamespace
                                                      : reactionParameterNamespace;
    }
    default:
      return undefinedNamespace;
  }
}

const SymbolTable::Namespace* SymbolTable::getNamespace(size_t number) const {
  return number < namespaceCount ? namespaces_[number] : nullptr;
}

// --- keys of unnamed reactions ---------------------------------------------------

std::string SymbolTable::identityKeyOf(const KelborComponent* reaction) {
  // A leading control character keeps it apart from every name.
  char text[2 + 2 * sizeof(uintptr_t)] = {'\x01'};
  const auto end = std::to_chars(text + 1, text + sizeof text,
                                 reinterpret_cast<uintptr_t>(reaction), 16).ptr;
  return std::string(text, end);
}

bool SymbolTable::isIdentityKey(const std::string& key) { return !key.empty() && key[0] == '\x01'; }

const std::string& SymbolTable::keyOf(const std::string& name, std::string& buffer) const {
  if (!reactionAt_) return name;
  const size_t prefixLength = std::strlen(unnamedReactionPrefix);
  if (name.compare(0, prefixLength, unnamedReactionPrefix) != 0) return name;
  // The 1-based position, as a default name writes it (no leading zero).
  size_t end = prefixLength;
  size_t position = 0;
  for (; end < name.size() && name[end] >= '0' && name[end] <= '9'; ++end) {
    if (position > (SIZE_MAX - 9) / 10) return name;
    position = position * 10 + static_cast<size_t>(name[end] - '0');
  }
  if (end == prefixLength || name[prefixLength] == '0') return name;
  if (end < name.size() && name[end] != '.') return name;
  const KelborComponent* reaction = reactionAt_(position - 1);
  if (!reaction || !reaction->getName().empty()) return name;
  buffer = identityKeyOf(reaction);
  buffer.append(name, end, std::string::npos);
  return buffer;
}

// --- entries ----------------------------------------------------------------

void SymbolTable::insertComponent(size_t number, const std::string& qualifiedName,
                                  const std::string& bracketedName, KelborComponent* component) {
  if (number >= namespaceCount || !component) return;
  // A component met for the first time (as every one of a read is) has no
  // record to take out: its slot is found once, for both.
  Membership* record = members_.find(component);
  if (record && (record->qualified || record->name)) {
    takeOut(component);
    record = members_.find(component);  // the sweep of takeOut may move it
  }
  Namespace& space = ns(number);
  Membership entry;
  entry.ns = number;
  std::string buffer;
  const std::string& key = number == reactionNamespace || number == reactionParameterNamespace
                               ? keyOf(qualifiedName, buffer)
                               : qualifiedName;
  const size_t keyHash = Namespace::hashOf(key);
  auto [where, inserted] = space.enterQualified(key, keyHash, component);
  if (!inserted && !where->second) {
    // The node of a removed entry under the key, taken back.
    where->second = component;
    --space.removedQualified;
    inserted = true;
  }
  if (inserted) {
    entry.qualified = where;
    entry.qualifiedHash = keyHash;
    holdKeyText(keyHash);
  }
  // After the equal keys already present; the last of them is taken back
  // when it is a removed entry, since every live one comes before it.
  if (!bracketedName.empty()) {
    const size_t nameHash = bracketedName == key ? keyHash : Namespace::hashOf(bracketedName);
    auto after = space.byName.upper_bound(bracketedName);
    auto last = after == space.byName.begin() ? after : std::prev(after);
    if (last != after && !last->second && last->first == bracketedName) {
      last->second = component;
      --space.removedNames;
      entry.name = last;
    } else {
      entry.name = space.enterName(after, bracketedName, nameHash, component);
    }
    entry.nameHash = nameHash;
    holdKeyText(nameHash);
  }
  if (entry.qualified || entry.name) {
    if (record) {
      // The empty record of an earlier stay, or one just emptied.
      --leftMembers_;
      *record = entry;
    } else {
      members_.emplaceAbsent(component, entry);
    }
    ++changes_;
  }
}

std::optional<SymbolTable::FormerKeys> SymbolTable::takeOut(const KelborComponent* component) {
  Membership* found = memberOf(component);
  if (!found) return std::nullopt;
  const Membership entry = *found;
  leave(*found);
  FormerKeys keys;
  keys.ns = entry.ns;
  Namespace& space = ns(entry.ns);
  if (entry.qualified) {
    keys.qualified = (*entry.qualified)->first;
    markQualifiedRemoved(*entry.qualified, space);
    releaseKeyText(entry.qualifiedHash);
  }
  if (entry.name) {
    keys.name = (*entry.name)->first;
    markNameRemoved(*entry.name, space);
    releaseKeyText(entry.nameHash);
  }
  // Read after both releases: the two keys may be one text.
  if (entry.qualified) keys.qualifiedHolders = keyHolders_.count(entry.qualifiedHash);
  if (entry.name) keys.nameHolders = keyHolders_.count(entry.nameHash);
  keys.changes = ++changes_;
  if (kstr::isWorthCompacting(keyHolders_.unheld(), keyHolders_.size())) keyHolders_.dropUnheld();
  dropRemovedEntries(space);
  return keys;
}

void SymbolTable::markQualifiedRemoved(QualifiedIndex::iterator entry, Namespace& space) {
  entry->second = nullptr;
  ++space.removedQualified;
}

void SymbolTable::markNameRemoved(NameIndex::iterator entry, Namespace& space) {
  const auto next = std::next(entry);
  if (next != space.byName.end() && next->first == entry->first) {
    space.nameHash.moveEntry(entry, next);
    space.byName.erase(entry);
    return;
  }
  entry->second = nullptr;
  ++space.removedNames;
}

namespace {

// Builds the index and its hash again from its live entries when worth it,
// in the same order (new nodes, allocated in key order), and moves each
// component's place (the member `place` of its membership) to its new node.
// The new index and hash are complete before any place moves, so running
// out of memory while they are built leaves the old ones and every place as
// they were: dropping is only a saving, and the removed entries wait for the
// next pass.
template <class Index, class Hash, class Members, class Place>
void dropRemovedFrom(Index& index, Hash& hash, size_t& removed, Members& members, Place place) {
  if (!kstr::isWorthCompacting(removed, index.size())) return;
  Index kept(index.get_allocator());
  Hash keptHash(hash.resource());
  try {
    for (const auto& entry : index) {
      if (entry.second) kept.emplace_hint(kept.end(), entry.first, entry.second);
    }
    keptHash.reserve(kept.size());
    // In key order, so each key keeps its first node.
    for (auto it = kept.begin(); it != kept.end(); ++it) keptHash.tryEnter(it);
  } catch (const std::bad_alloc&) {
    return;
  }
  // The live entries of both, in the same order.
  auto now = kept.begin();
  for (auto it = index.begin(); it != index.end(); ++it) {
    if (!it->second) continue;
    auto* member = members.find(it->second);  // an empty record matches no place
    if (member && member->*place == it) member->*place = now;
    ++now;
  }
  index.swap(kept);
  hash.swap(keptHash);
  removed = 0;
}

}  // namespace

void SymbolTable::dropRemovedEntries(Namespace& space) {
  dropRemovedFrom(space.byQualifiedName, space.qualifiedHash, space.removedQualified, members_,
                  &Membership::qualified);
  dropRemovedFrom(space.byName, space.nameHash, space.removedNames, members_, &Membership::name);
}

void SymbolTable::holdKeyText(size_t hash) { keyHolders_.hold(hash); }

uint32_t SymbolTable::releaseKeyText(size_t hash) { return keyHolders_.release(hash); }

bool SymbolTable::isKeyTextHeld(const std::string& text) const { return keyTextHolders(text) != 0; }

uint32_t SymbolTable::keyTextHolders(const std::string& text) const {
  return keyHolders_.count(Namespace::hashOf(text));
}

bool SymbolTable::containsComponent(const KelborComponent* component) const {
  return memberOf(component) != nullptr;
}

SymbolTable::Membership* SymbolTable::memberOf(const KelborComponent* component) {
  Membership* member = members_.find(component);
  return member && (member->qualified || member->name) ? member : nullptr;
}

const SymbolTable::Membership* SymbolTable::memberOf(const KelborComponent* component) const {
  return const_cast<SymbolTable*>(this)->memberOf(component);
}

void SymbolTable::leave(Membership& member) {
  member = Membership{};
  ++leftMembers_;
  if (kstr::isWorthCompacting(leftMembers_, members_.size())) {
    try {
      members_.eraseIf([](const KelborComponent*, const Membership& record) {
        return !record.qualified && !record.name;
      });
      leftMembers_ = 0;
    } catch (const std::bad_alloc&) {
      // The empty records stay until the next sweep; they answer nothing.
    }
  }
}

bool SymbolTable::removeNameEntry(const std::string& bracketedName,
                                  const KelborComponent* component, Namespace& space) {
  auto [first, last] = space.byName.equal_range(bracketedName);
  for (auto it = first; it != last; ++it) {
    if (!it->second || it->second != component) continue;
    Membership* member = memberOf(component);
    if (member && member->name == it) {
      releaseKeyText(member->nameHash);
      member->name.reset();
      member->nameHash = 0;
      if (!member->qualified) leave(*member);
    } else {
      // Not the component's own entry: its text's count is found by text.
      releaseKeyText(Namespace::hashOf(bracketedName));
    }
    markNameRemoved(it, space);
    ++changes_;
    dropRemovedEntries(space);
    return true;
  }
  return false;
}

void SymbolTable::takeOutChildren(const std::string& parentKey, size_t childNamespace,
                                  std::vector<KelborComponent*>& children) {
  std::vector<KelborComponent*> found;
  for (const auto& [key, child] : ns(childNamespace).entriesUnder(parentKey + ".")) {
    found.push_back(child);
  }
  for (KelborComponent* child : found) {
    if (takeOut(child)) children.push_back(child);
  }
}

size_t SymbolTable::rekeyComponents(const std::vector<KelborComponent*>& components) {
  // Take everything out first, so that components may exchange keys.
  std::vector<std::pair<KelborComponent*, size_t>> moved;
  for (KelborComponent* component : components) {
    std::optional<FormerKeys> former = takeOut(component);
    if (!former) continue;
    moved.emplace_back(component, former->ns);
    if (!former->qualified) continue;
    const size_t childNamespace = former->ns == reactionNamespace      ? reactionParameterNamespace
                                  : former->ns == compartmentNamespace ? speciesNamespace
                                                                       : undefinedNamespace;
    if (childNamespace == undefinedNamespace) continue;
    std::vector<KelborComponent*> children;
    takeOutChildren(*former->qualified, childNamespace, children);
    for (KelborComponent* child : children) moved.emplace_back(child, childNamespace);
  }
  for (auto& [component, number] : moved) {
    std::string qualifiedName;
    component->fillPartiallyQualifiedName(qualifiedName);
    std::string bracketedName = component->getName();
    bracketNameIfNotValidIdentifier(bracketedName);
    insertComponent(number, qualifiedName, bracketedName, component);
  }
  return moved.size();
}

size_t SymbolTable::rekeyComponent(KelborComponent* component) {
  return rekeyComponents({component});
}

// --- waiting names ------------------------------------------------------------

void SymbolTable::addPendingListener(const std::string& name, ExpressionBasedComponent* listener) {
  if (!listener) return;
  ListenerSetPtr& waiting = pendingListeners_[name];
  if (!waiting) waiting = boost::make_shared<ListenerSet>();
  waiting->insert(listener);
}

void SymbolTable::removePendingListener(const std::string& name,
                                        ExpressionBasedComponent* listener) {
  auto found = pendingListeners_.find(name);
  if (found == pendingListeners_.end()) return;
  if (found->second) found->second->erase(listener);
  if (!found->second || found->second->empty()) pendingListeners_.erase(found);
}

SymbolTable::ListenerSetPtr SymbolTable::findPendingListeners(const std::string& name) const {
  auto found = pendingListeners_.find(name);
  return found == pendingListeners_.end() ? ListenerSetPtr() : found->second;
}

std::vector<const ExpressionBasedComponent*> SymbolTable::getComponentListeners(
    const KelborComponent* component) const {
  if (!component) return {};
  const KelborComponent::ListenerSet& listeners = component->getListeners();
  return {listeners.begin(), listeners.end()};
}

// --- resolution -----------------------------------------------------------------

KelborComponent* SymbolTable::resolveSymbol(const std::string& name,
                                            const ExpressionBasedComponent*) const {
  return resolveSymbolImpl(name, nullptr);
}

SymbolTable::ComponentVectorPtr SymbolTable::resolveSymbolWithCollisions(
    const std::string& name, const ExpressionBasedComponent*) const {
  return resolveSymbolWithCollisionsImpl(name, nullptr);
}

KelborComponent* SymbolTable::resolveSymbolAndListen(const std::string& name,
                                                     ExpressionBasedComponent* listener) {
  return resolveSymbolAndListenImpl(name, listener, false);
}

KelborComponent* SymbolTable::reResolveSymbolAndListen(const std::string& oldName,
                                                       const std::string& newName,
                                                       ExpressionBasedComponent* listener) {
  return reResolveSymbolAndListenImpl(oldName, newName, listener, false);
}

SymbolTable::ComponentVectorPtr SymbolTable::resolveSymbolsAndListen(
    const std::set<std::string>& release, const std::set<std::string>& resolve,
    ExpressionBasedComponent* listener) {
  return resolveSymbolsAndListenImpl(release, resolve, listener, false);
}

KelborComponent* SymbolTable::resolveSymbolImpl(const std::string& name,
                                                const KelborComponent* reaction) const {
  std::string plain = name;
  kstr::removeBracketsFromValidIdentifiers(plain);
  const size_t hash = Namespace::hashOf(plain);
  const SpeciesMatch species = resolvePlainSpecies(plain, hash);
  if (species.second) return species.first;
  if (reaction) {
    if (KelborComponent* parameter = resolveReactionParameter(plain, reaction)) return parameter;
  }
  if (KelborComponent* compartment = findInNamespace(plain, hash, compartments_)) return compartment;
  return findInNamespace(plain, hash, modelParameters_);
}

SymbolTable::ComponentVectorPtr SymbolTable::resolveSymbolWithCollisionsImpl(
    const std::string& name, const KelborComponent* reaction) const {
  CandidateList candidates;
  collectCandidates(name, reaction, candidates);
  auto result = boost::make_shared<ComponentVector>();
  result->reserve(candidates.size());
  result->assign(candidates.begin(), candidates.end());
  return result;
}

KelborComponent* SymbolTable::resolveSymbolAndListenImpl(const std::string& name,
                                                         ExpressionBasedComponent* listener,
                                                         bool reactionScope) {
  return listenTo(resolveSymbolImpl(name, reactionScope ? listener : nullptr), name, listener);
}

KelborComponent* SymbolTable::listenTo(KelborComponent* found, const std::string& name,
                                       ExpressionBasedComponent* listener) {
  if (!listener) return found;
  if (found) {
    found->addListener(listener);
  } else {
    addPendingListener(name, listener);
  }
  return found;
}

KelborComponent* SymbolTable::resolveListenAndCountImpl(const std::string& name,
                                                        ExpressionBasedComponent* listener,
                                                        bool reactionScope, size_t& candidates) {
  const KelborComponent* scope = reactionScope ? listener : nullptr;
  std::string plain = name;
  kstr::removeBracketsFromValidIdentifiers(plain);
  if (plain != name) {
    CandidateList all;
    collectCandidates(name, scope, all);
    candidates = all.size();
    return resolveSymbolAndListenImpl(name, listener, reactionScope);
  }
  // The candidates in the order collectCandidates finds them; resolution
  // takes a species name that answers (even ambiguously, as null) before
  // the rest, otherwise the first of the others.
  // One hash of the name serves every namespace it is looked up in.
  const size_t hash = Namespace::hashOf(name);
  const SpeciesMatch species = resolvePlainSpecies(name, hash);
  KelborComponent* const others[] = {scope ? resolveReactionParameter(name, scope) : nullptr,
                                     findInNamespace(name, hash, compartments_),
                                     findInNamespace(name, hash, modelParameters_)};
  candidates = species.first ? 1 : 0;
  KelborComponent* found = species.second ? species.first : nullptr;
  for (KelborComponent* other : others) {
    if (!other) continue;
    ++candidates;
    if (!species.second && !found) found = other;
  }
  return listenTo(found, name, listener);
}

KelborComponent* SymbolTable::reResolveSymbolAndListenImpl(const std::string& oldName,
                                                           const std::string& newName,
                                                           ExpressionBasedComponent* listener,
                                                           bool reactionScope) {
  if (!listener) return resolveSymbolImpl(newName, nullptr);
  const KelborComponent* scope = reactionScope ? listener : nullptr;
  if (reactionScope && oldName == newName) {
    CandidateList candidates;
    collectCandidates(newName, scope, candidates);
    for (KelborComponent* candidate : candidates) candidate->removeListener(listener);
  } else if (KelborComponent* previous = findByQualifiedName(oldName)) {
    previous->removeListener(listener);
  }
  KelborComponent* found = resolveSymbolImpl(newName, scope);
  if (!found) {
    addPendingListener(newName, listener);
    return nullptr;
  }
  found->addListener(listener);
  removePendingListener(newName, listener);
  return found;
}

SymbolTable::ComponentVectorPtr SymbolTable::resolveSymbolsAndListenImpl(
    const std::set<std::string>& release, const std::set<std::string>& resolve,
    ExpressionBasedComponent* listener, bool reactionScope) {
  const KelborComponent* scope = reactionScope ? listener : nullptr;
  for (const std::string& name : release) {
    KelborComponent* held = resolveSymbolImpl(name, scope);
    if (held && held->getListeners().count(listener) != 0) held->removeListener(listener);
    // Always: the listener may wait under a name that resolves by now.
    removePendingListener(name, listener);
  }
  auto result = boost::make_shared<ComponentVector>();
  result->reserve(resolve.size());
  for (const std::string& name : resolve) {
    KelborComponent* found = resolveSymbolImpl(name, scope);
    if (listener) {
      if (found) {
        found->addListener(listener);
      } else {
        addPendingListener(name, listener);
      }
    }
    result->push_back(found);
  }
  return result;
}
