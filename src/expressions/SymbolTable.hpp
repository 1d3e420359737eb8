#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory_resource>
#include <optional>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <boost/shared_ptr.hpp>
#include <ks_utils/kstrContainers.hpp>

#include "core/ComponentKind.hpp"
#include "core/KelborApi.hpp"
#include "expressions/KeyTextCounts.hpp"
#include "expressions/NodeKeyIndex.hpp"
#include "core/PointerMap.hpp"
#include "core/RenameUndoData.hpp"

class KelborComponent;
class ExpressionBasedComponent;
class BReaction;

// The per-model index through which the names written in expressions are
// turned into model components, and the register of which expression-based
// components use which component.
//
// Five namespaces (species, compartments, model parameters, kinetic-law
// parameters, reactions) each index their components twice: by partially
// qualified name ("cell.A", at most one component per key) and by bracketed
// name ("A", several components per key, in order of insertion).  Names that
// do not resolve yet are kept with the listeners waiting for them.  A third
// index, from component to its entries, lets every removal and re-key find
// the entries of a component by identity.
//
// The table owns no component and no listener.  Every operation costs a few
// logarithmic searches (a lookup of an exact key, a hashed one); change
// propagation additionally touches only the listeners concerned.  Lookups
// never raise: absence gives null, false, 0,
// an empty vector or an empty pointer.  Listeners may call back into the
// table while they are told of a change: every propagation collects the
// listeners into a private set first and tells each of them once.
class KELBOR_API SymbolTable {
 public:
  using ListenerSet = std::set<ExpressionBasedComponent*>;
  using ListenerSetPtr = boost::shared_ptr<ListenerSet>;
  using ComponentVector = std::vector<const KelborComponent*>;
  using ComponentVectorPtr = boost::shared_ptr<ComponentVector>;
  // Components in the order gathered; repeats allowed.
  using CandidateList = kstrVector<KelborComponent*>;
  // Per listener (by address) the entry numbers its rename answered; the
  // listener part of quorvix::type_defs::RenameUndoData.
  using ListenerUndoMap = decltype(quorvix::type_defs::RenameUndoData::expressionPositions);
  // (component, found): found with a null component means ambiguous.
  using SpeciesMatch = std::pair<KelborComponent*, bool>;
  using QualifiedIndex = std::pmr::map<std::string, KelborComponent*>;
  using NameIndex = std::pmr::multimap<std::string, KelborComponent*>;
  // Exact-key lookups of an index by hash: each key gives its first node
  // in key order.  A node stays put until it is erased; nodes are erased
  // when an index is built again, which builds its hash again, and a name
  // entry followed by others of its name, whose hash entry then moves to
  // the next.
  template <class Index>
  using HashOf = kstr::NodeKeyIndex<typename Index::iterator>;
  using PendingTable = std::map<std::string, ListenerSetPtr>;

  // The entries of [first, last) whose component is not null, in order.
  template <class Iterator>
  class LiveEntries {
   public:
    class iterator {
     public:
      using iterator_category = std::forward_iterator_tag;
      using value_type = typename std::iterator_traits<Iterator>::value_type;
      using difference_type = typename std::iterator_traits<Iterator>::difference_type;
      using pointer = typename std::iterator_traits<Iterator>::pointer;
      using reference = typename std::iterator_traits<Iterator>::reference;

      iterator() = default;
      iterator(Iterator at, Iterator last) : at_(at), last_(last) { skipRemoved(); }
      reference operator*() const { return *at_; }
      pointer operator->() const { return &*at_; }
      iterator& operator++() {
        ++at_;
        skipRemoved();
        return *this;
      }
      iterator operator++(int) {
        iterator before = *this;
        ++*this;
        return before;
      }
      bool operator==(const iterator& other) const { return at_ == other.at_; }

     private:
      void skipRemoved() {
        while (at_ != last_ && !at_->second) ++at_;
      }
      Iterator at_{};
      Iterator last_{};
    };

    LiveEntries(Iterator first, Iterator last) : first_(first), last_(last) {}
    iterator begin() const { return {first_, last_}; }
    iterator end() const { return {last_, last_}; }

   private:
    Iterator first_;
    Iterator last_;
  };

  // The first entry of an ordered index whose key does not start with the
  // prefix and sorts after it.
  template <class Index>
  static typename Index::const_iterator endOfPrefix(const Index& index, std::string prefix) {
    while (!prefix.empty() && static_cast<unsigned char>(prefix.back()) == 0xFF) prefix.pop_back();
    if (prefix.empty()) return index.end();
    prefix.back() = static_cast<char>(static_cast<unsigned char>(prefix.back()) + 1);
    return index.lower_bound(prefix);
  }

  // The two indexes of one namespace.  An entry whose component is null
  // has been taken out: it keeps its node, because erasing a node from a
  // long tree rebalances it and touches nodes scattered over memory, until
  // such entries outnumber the live ones and are dropped in one pass.  A
  // component entered again under its key takes the same node back.  Of
  // the entries under one bracketed name only the last may be a removed
  // one (the node the next of that name takes back): an entry followed by
  // others of its name is erased, so that no lookup of a name shared by
  // many components (ATP in every compartment) walks the removed ones.
  // Read the indexes through the members below, which skip removed entries.
  struct Namespace {
    Namespace() = default;
    explicit Namespace(std::pmr::memory_resource* memory)
        : byQualifiedName(memory), byName(memory), qualifiedHash(memory), nameHash(memory) {}
    QualifiedIndex byQualifiedName;
    NameIndex byName;
    // The first node of each key of the two indexes; enter entries through
    // enterQualified and enterName, which keep them.  (A copy made only to
    // be listed has none: it is walked, never searched.)
    HashOf<QualifiedIndex> qualifiedHash;
    HashOf<NameIndex> nameHash;
    // Removed entries still kept in each index.
    size_t removedQualified = 0;
    size_t removedNames = 0;

    // try_emplace into byQualifiedName, keeping its hash.
    std::pair<QualifiedIndex::iterator, bool> enterQualified(const std::string& key, size_t hash,
                                                             KelborComponent* component);
    // emplace_hint into byName at the hint (after the equal names already
    // there), keeping its hash.
    NameIndex::iterator enterName(NameIndex::const_iterator hint, const std::string& name, size_t hash,
                                  KelborComponent* component);

    // The live entries of each index, in key order (equal bracketed names
    // in order of insertion).
    LiveEntries<QualifiedIndex::const_iterator> entries() const {
      return {byQualifiedName.begin(), byQualifiedName.end()};
    }
    LiveEntries<NameIndex::const_iterator> nameEntries() const {
      return {byName.begin(), byName.end()};
    }
    // The live entries whose qualified key starts with the prefix.
    LiveEntries<QualifiedIndex::const_iterator> entriesUnder(const std::string& prefix) const {
      return {byQualifiedName.lower_bound(prefix), endOfPrefix(byQualifiedName, prefix)};
    }
    // The first node under the bracketed name (live or removed), or the end.
    NameIndex::const_iterator firstNode(const std::string& name) const {
      return firstNode(name, hashOf(name));
    }
    NameIndex::const_iterator firstNode(const std::string& name, size_t hash) const {
      const NameIndex::iterator* found = nameHash.find(name, hash);
      return found ? NameIndex::const_iterator(*found) : byName.end();
    }
    // The live entries under the bracketed name, in order of insertion.
    LiveEntries<NameIndex::const_iterator> named(const std::string& name) const {
      auto first = firstNode(name);
      auto last = first;
      while (last != byName.end() && last->first == name) ++last;
      return {first, last};
    }
    // The component under the qualified key, or null.
    KelborComponent* findQualified(const std::string& key) const { return findQualified(key, hashOf(key)); }
    KelborComponent* findQualified(const std::string& key, size_t hash) const {
      const QualifiedIndex::iterator* found = qualifiedHash.find(key, hash);
      return found ? (*found)->second : nullptr;
    }
    // The first component under the bracketed name, or null.
    KelborComponent* firstNamed(const std::string& name) const { return firstNamed(name, hashOf(name)); }
    KelborComponent* firstNamed(const std::string& name, size_t hash) const {
      for (auto it = firstNode(name, hash); it != byName.end() && it->first == name; ++it) {
        if (it->second) return it->second;
      }
      return nullptr;
    }
    // How many components are under the bracketed name, counting no
    // further than the limit; the first of them in first.
    size_t countNamed(const std::string& name, size_t limit = SIZE_MAX, KelborComponent** first = nullptr) const {
      return countNamed(name, hashOf(name), limit, first);
    }
    size_t countNamed(const std::string& name, size_t hash, size_t limit, KelborComponent** first) const {
      size_t count = 0;
      for (auto it = firstNode(name, hash); count < limit && it != byName.end() && it->first == name; ++it) {
        if (!it->second) continue;
        if (count == 0 && first) *first = it->second;
        ++count;
      }
      return count;
    }
    size_t liveQualifiedCount() const { return byQualifiedName.size() - removedQualified; }
    size_t liveNameCount() const { return byName.size() - removedNames; }

    // The hash by which both indexes find a key (one for every namespace).
    static size_t hashOf(const std::string& key) { return HashOf<QualifiedIndex>::hashOf(key); }
  };

  // Namespace numbers.  pendingNamespace stands for the waiting names in
  // getListenerCount and isNameInNamespace; undefinedNamespace is the number
  // of a component that is never entered.
  static constexpr size_t speciesNamespace = 0;
  static constexpr size_t compartmentNamespace = 1;
  static constexpr size_t modelParameterNamespace = 2;
  static constexpr size_t reactionParameterNamespace = 3;
  static constexpr size_t reactionNamespace = 4;
  static constexpr size_t pendingNamespace = 5;
  static constexpr size_t undefinedNamespace = 6;
  static constexpr size_t namespaceCount = 5;

  // The reaction at a 0-based position of the model's list, or null.
  using ReactionAtPosition = std::function<const KelborComponent*(size_t)>;
  // The prefix of an unnamed reaction's default name.
  static constexpr const char* unnamedReactionPrefix = "UnnamedReaction_";

  SymbolTable();
  // Drops the table's share of every waiting set; touches no component.
  ~SymbolTable();
  SymbolTable(const SymbolTable&) = delete;
  SymbolTable& operator=(const SymbolTable&) = delete;

  // --- structure and maintenance ------------------------------------------
  // Once the model hands over its list, unnamed reactions (and their
  // kinetic-law parameters) are entered under a key made from their identity,
  // which does not change when reactions ahead of them are removed or the
  // list is reordered; a name "UnnamedReaction_<n>[.<parameter>]" is turned
  // into that key on every lookup through the reaction at position n - 1.
  // Without a list (a table on its own) the default names are the keys, and
  // rekeyComponents moves them.  Set before anything is entered.
  void setReactionAtPosition(ReactionAtPosition reactionAt) { reactionAt_ = std::move(reactionAt); }

  // Makes room in the hashes of namespace `number` for `entries` more, so
  // that entering a known number of components does not grow them step by
  // step.  An unknown namespace number is ignored; out of memory nothing is
  // reserved (a reservation is only a saving).
  void reserve(size_t number, size_t entries);
  // Makes room in the index of members for `components` more, in one
  // array, and in the counts of key texts for their two keys each: grown
  // step by step, a read of 100,000 reactions would build and fault in
  // every smaller array on the way and rehash every entry at each step.
  // Out of memory nothing is reserved.
  void reserveMembers(size_t components);

  // Namespace number of a component from its kind: species 0, compartment 1,
  // parameter of the model 2, parameter of anything else 3, reaction 4; 6
  // for every other kind, for a parameter without a parent and for null.
  static size_t getNamespaceIndex(const KelborComponent* component);

  // The namespace of a number 0-4; null for any other number.
  const Namespace* getNamespace(size_t number) const;

  // Enters the component under the qualified name (only when that key is
  // free) and, when the bracketed name is not empty, under the bracketed
  // name after any equal keys.  A component already in the table is first
  // taken out of its old entries, so each component is entered at most once.
  // A namespace number above 4 or a null component does nothing.
  void insertComponent(size_t ns, const std::string& qualifiedName,
                       const std::string& bracketedName, KelborComponent* component);

  // Moves each component (and, for a reaction or compartment, the children
  // entered under its old qualified name) to the keys it answers now,
  // telling nobody.  The model calls it when default names change, e.g.
  // after removing or reordering unnamed reactions.  All entries are taken
  // out before any is entered again, so components may swap keys.
  // Components not in the table are skipped.  Answers how many components,
  // children included, were entered again.
  size_t rekeyComponents(const std::vector<KelborComponent*>& components);
  size_t rekeyComponent(KelborComponent* component);

  // A key of a qualified index as it reads: the key itself, or for an
  // identity key the partially qualified name of the component entered
  // under it.
  static std::string listedKey(const std::string& key, const KelborComponent* component);
  static bool isIdentityKey(const std::string& key);

  // Whether the component is entered (under either of its keys), and how many
  // components are.
  bool containsComponent(const KelborComponent* component) const;
  size_t getComponentCount() const { return members_.size() - leftMembers_; }

  // --- resolution, in the scope of a rule or event ---------------------------
  // The order is species, compartment, model parameter; valid identifiers
  // lose their brackets first.  An ambiguous species name answers null at
  // once.  The scope only selects this overload and may be omitted.
  KelborComponent* resolveSymbol(const std::string& name,
                                 const ExpressionBasedComponent* scope = nullptr) const;
  // Every component the unchanged name can denote: the species (not when
  // ambiguous), compartment and model parameter matches, in that order.
  ComponentVectorPtr resolveSymbolWithCollisions(const std::string& name,
                                                 const ExpressionBasedComponent* scope) const;
  // Resolves; a component gains the listener, otherwise the listener waits
  // under the name exactly as given.  A null listener resolves only.
  KelborComponent* resolveSymbolAndListen(const std::string& name,
                                          ExpressionBasedComponent* listener);
  // Leaves the component found under the exact qualified key of the old name,
  // then resolves and listens to the new name (and stops waiting for it
  // when it resolves).
  KelborComponent* reResolveSymbolAndListen(const std::string& oldName, const std::string& newName,
                                            ExpressionBasedComponent* listener);
  // Releases every name of the first set (the listener leaves what it denotes
  // and always stops waiting for it), then resolves and listens to every name
  // of the second set.  One entry per name to resolve, in set order, null
  // where it does not resolve.
  ComponentVectorPtr resolveSymbolsAndListen(const std::set<std::string>& release,
                                             const std::set<std::string>& resolve,
                                             ExpressionBasedComponent* listener);

  // --- the same in the scope of a reaction: its own kinetic-law parameters are
  // tried after the species.  Chosen for a pointer to BReaction or a subclass
  // (which must be complete where the call is made).
  template <std::derived_from<BReaction> R>
  KelborComponent* resolveSymbol(const std::string& name, const R* reaction) const {
    return resolveSymbolImpl(name, reaction);
  }
  template <std::derived_from<BReaction> R>
  ComponentVectorPtr resolveSymbolWithCollisions(const std::string& name,
                                                 const R* reaction) const {
    return resolveSymbolWithCollisionsImpl(name, reaction);
  }
  template <std::derived_from<BReaction> R>
  KelborComponent* resolveSymbolAndListen(const std::string& name, R* reaction) {
    return resolveSymbolAndListenImpl(name, reaction, true);
  }
  template <std::derived_from<BReaction> R>
  KelborComponent* reResolveSymbolAndListen(const std::string& oldName,
                                            const std::string& newName, R* reaction) {
    return reResolveSymbolAndListenImpl(oldName, newName, reaction, true);
  }
  template <std::derived_from<BReaction> R>
  ComponentVectorPtr resolveSymbolsAndListen(const std::set<std::string>& release,
                                             const std::set<std::string>& resolve,
                                             R* reaction) {
    return resolveSymbolsAndListenImpl(release, resolve, reaction, true);
  }

  // The common workers.  `reaction` null (or the flag false) means the scope
  // of a rule or event; otherwise the reaction is the scope, and for the
  // listening forms it is the listener.  In reaction scope with equal old and
  // new names, reResolveSymbolAndListenImpl first leaves every candidate of
  // the name.
  KelborComponent* resolveSymbolImpl(const std::string& name,
                                     const KelborComponent* reaction) const;
  ComponentVectorPtr resolveSymbolWithCollisionsImpl(const std::string& name,
                                                     const KelborComponent* reaction) const;
  KelborComponent* resolveSymbolAndListenImpl(const std::string& name,
                                              ExpressionBasedComponent* listener,
                                              bool reactionScope);
  // resolveSymbolAndListenImpl that also sets `candidates` to the size of
  // what resolveSymbolWithCollisionsImpl lists for the name in the same
  // scope.  A name without brackets to drop is looked up once for both.
  KelborComponent* resolveListenAndCountImpl(const std::string& name,
                                             ExpressionBasedComponent* listener,
                                             bool reactionScope, size_t& candidates);
  // The resolution's listening: the component found gains the listener,
  // otherwise the listener waits under the name; a null listener does
  // neither.  Answers the component.
  KelborComponent* listenTo(KelborComponent* found, const std::string& name,
                            ExpressionBasedComponent* listener);
  // The namespace of a kind's names (parameter, reaction, species,
  // compartment); null for other kinds.
  const Namespace* namespaceOfKind(kstr::bcomptype kind) const;
  KelborComponent* reResolveSymbolAndListenImpl(const std::string& oldName,
                                                const std::string& newName,
                                                ExpressionBasedComponent* listener,
                                                bool reactionScope);
  ComponentVectorPtr resolveSymbolsAndListenImpl(const std::set<std::string>& release,
                                                 const std::set<std::string>& resolve,
                                                 ExpressionBasedComponent* listener,
                                                 bool reactionScope);

  // --- waiting names ------------------------------------------------------------
  // Adds the listener to the waiting set of the name (once).  Null does
  // nothing.
  void addPendingListener(const std::string& name, ExpressionBasedComponent* listener);
  // Takes the listener out of the name's waiting set; an emptied entry is
  // dropped.  An absent name or listener changes nothing.
  void removePendingListener(const std::string& name, ExpressionBasedComponent* listener);
  // The shared waiting set of the name (kept alive by the caller after the
  // table drops it); an empty pointer when nobody waits.
  ListenerSetPtr findPendingListeners(const std::string& name) const;

  // The component's listeners, in set order; empty for null.
  std::vector<const ExpressionBasedComponent*> getComponentListeners(
      const KelborComponent* component) const;

  // --- lookups -------------------------------------------------------------------
  // True for a text longer than two characters that starts with "[" and
  // whose first "]" is its last character.
  static bool isWhollyBracketed(const std::string& name);
  // Exact qualified key unless wholly bracketed, else the first component
  // entered under the bracketed name; null when neither holds.
  KelborComponent* findInNamespace(const std::string& name, const Namespace& ns) const;
  // The same, the name's Namespace::hashOf given.
  KelborComponent* findInNamespace(const std::string& name, size_t hash, const Namespace& ns) const;
  // (species, true) for one species, (null, true) when several share the bare
  // name, (null, false) for none.
  SpeciesMatch resolveSpecies(std::string name) const;
  // The same for a name whose brackets are already as few as they can be,
  // with its Namespace::hashOf.
  SpeciesMatch resolvePlainSpecies(const std::string& name, size_t hash) const;
  // The kinetic-law parameter under the unchanged name, else under the
  // reaction's (default) name, ".", and the name.  Null for a null reaction.
  KelborComponent* resolveReactionParameter(const std::string& name,
                                            const KelborComponent* reaction) const;
  // Exact qualified keys only: species, model parameter, kinetic-law
  // parameter, compartment, reaction.  Null for "".
  KelborComponent* findByQualifiedName(const std::string& name) const;
  // Whether a component of the kind (parameter, reaction, species,
  // compartment) carries the name; false for "" and for other kinds.
  bool isComponentNameInUse(const std::string& name, kstr::bcomptype kind) const;
  // Whether a component of any of the kinds carries the name (the name is
  // bracketed once for all of them).
  bool isComponentNameInUse(const std::string& name, std::initializer_list<kstr::bcomptype> kinds) const;
  // Appends the candidates of the unchanged name: the species (not when
  // ambiguous), the reaction's parameter (when `reaction` is given), the
  // compartment and the model parameter.
  void collectCandidates(const std::string& name, const KelborComponent* reaction,
                         CandidateList& out) const;
  // Listener count of the component found in namespace 0-4, or the size of
  // the waiting set (5).  0 for every other number.
  uint64_t getListenerCount(const std::string& name, size_t ns) const;
  // Whether the namespace 0-4 has the name as either key, or (5) whether a
  // waiting set exists for it.  False for every other number.
  bool isNameInNamespace(const std::string& name, size_t ns) const;
  // Adds the listeners of every component to the set.
  static void collectListeners(const CandidateList& components, ListenerSet& out);
  // Erases the first bracketed-name entry of the component under the name;
  // answers whether one was erased.  The qualified index is not touched.
  bool removeNameEntry(const std::string& bracketedName, const KelborComponent* component,
                       Namespace& ns);
  // Appends every component entered under the bracketed name.
  static void appendAllWithName(const std::string& bracketedName, const Namespace& ns,
                                CandidateList& out);
  // Tells the model of every species and parameter (model and kinetic law)
  // and compartment its in-use count; components outside a model are
  // skipped.
  void notifyAllInUseCounts() const;

  // --- change propagation ----------------------------------------------------------
  // Enters the component unless its qualified key is taken, then tells every
  // listener of the components sharing its names, and those waiting for
  // them, once.  Components of other kinds are ignored.
  void componentAdded(KelborComponent* component);
  // Takes the component (found by identity) out, then tells its listeners,
  // those of the components sharing its names and those waiting for them,
  // once.  A component not in the table changes nothing.
  void componentRemoved(KelborComponent* component);
  // Re-keys a component that already carries its new name, then its children
  // (species of a compartment, parameters of a reaction), telling the
  // listeners of the old names, and then those of the new names.  The
  // component is left with no listeners.  Never raises for a missing key; an
  // entry of another component under the old key is left alone.
  void componentNameChanged(KelborComponent* component, std::string oldName,
                            const std::string& oldQualifiedName);
  // Called before the component takes the new name: every listener rewrites
  // its expressions; a compartment's species' listeners get the parent
  // rename.
  void componentRename(const KelborComponent* component, const std::string& newName);
  // The same, handing each listener its entry of the undo map (empty when
  // absent); answers one entry per listener.
  ListenerUndoMap componentRename(const KelborComponent* component, const std::string& newName,
                                  const ListenerUndoMap& undo);
  // Adds to out the listeners of every component the name can denote (in
  // the model or in any reaction's scope) and those waiting for the name:
  // whose expressions a component taking or leaving that name may rewrite.
  // For a component of a known namespace (0-4) the users only a component
  // of another kind concerns are left out (gatherCandidates).
  void collectNameUsers(const std::string& name, ListenerSet& out,
                        size_t number = undefinedNamespace) const;
  // Re-keys every child entered under "oldQualifiedName." in the namespace.
  void renameChildEntries(const std::string& oldQualifiedName, size_t childNamespace);
  // For a compartment: tells the listeners of each of its species the new
  // qualified name; for a reaction, the listeners of each of its kinetic-law
  // parameters (an empty new name stands for the reaction's default name).
  // Other kinds: nothing.
  void notifyParentComponentRename(const KelborComponent* component, const std::string& newName);
  // Tells the listeners of the child (a species or a kinetic-law parameter)
  // that its qualified name is changing from oldQualifiedName to the one of
  // its parent's new bracketed name: those whose expressions hold the old
  // name bound to the child write the new one.
  void notifyChildRequalified(const KelborComponent* parent, const KelborComponent* child,
                              const std::string& newParentBracketedName,
                              const std::string& oldQualifiedName);
  // The kinetic-law parameters in the table that a name has resolved to
  // through the default name of their unnamed reaction (such as
  // "UnnamedReaction_2.kf"), each with its qualified name now.  The model
  // reads them before the default names move (a reaction ahead of them
  // removed, the list reordered) so that the texts naming them follow.
  std::vector<std::pair<const KelborComponent*, std::string>> defaultNamedParameters() const;

  // --- what a rename would change -------------------------------------------------
  // A component about to take a new name: the keys it is entered under now
  // and will be, and the namespace of its children (a compartment's
  // species, a reaction's kinetic-law parameters), which will answer under
  // its new key.
  struct RenamePlan {
    const KelborComponent* component = nullptr;
    size_t ns = undefinedNamespace;
    size_t childNs = undefinedNamespace;
    std::string oldKey;
    std::string newKey;
    std::string newName;       // bracketed
    std::string newQualified;  // the partially qualified name it will have
  };
  // Nothing for a component not in the table or an empty new name.
  std::optional<RenamePlan> planRename(const KelborComponent* component, const std::string& newName) const;
  // What resolveSymbol would answer for the name in the scope (a reaction,
  // or null for a rule or event) once the planned rename is made; null with
  // ambiguous set when several species would then share the bare name.
  const KelborComponent* resolveAfterRename(const std::string& name, const KelborComponent* reaction,
                                            const RenamePlan& plan, bool& ambiguous) const;

  // --- listing ----------------------------------------------------------------------
  void print(std::ostream& out) const;
  static std::ostream& printNamespace(const std::string& title, const Namespace& ns,
                                      std::ostream& out);
  static std::ostream& printUndefinedNamespace(const PendingTable& pending, std::ostream& out);
  // One row per entry of an index, in key order.
  static void printSymbolRows(const QualifiedIndex& index, std::ostream& out);
  static void printSymbolRows(const NameIndex& index, std::ostream& out);

 private:
  // How many entries, over both indexes of every namespace, are kept under
  // each key text, by the text's hash (texts sharing a hash share a count,
  // which only ever makes a text look held).  A hash no entry holds any more
  // is kept with a count of 0 until such hashes outnumber the held ones,
  // then all are dropped at once.
  using KeyHolders = kstr::KeyTextCounts;

  // Where a component is entered, and the hashes of its two key texts
  // (meaningful where the entry is).
  struct Membership {
    size_t ns = undefinedNamespace;
    std::optional<QualifiedIndex::iterator> qualified;
    std::optional<NameIndex::iterator> name;
    size_t qualifiedHash = 0;
    size_t nameHash = 0;
  };
  // The keys a component was entered under, as taken out, with how many
  // entries still hold each text and the table's change count just after.
  struct FormerKeys {
    size_t ns = undefinedNamespace;
    std::optional<std::string> qualified;
    std::optional<std::string> name;
    uint32_t qualifiedHolders = 0;
    uint32_t nameHolders = 0;
    uint64_t changes = 0;
  };

  // The key under which the name is entered: the name itself, or for a
  // default name of an unnamed reaction (or a name under it) the
  // reaction's own key; the answer lives in the buffer when it differs.
  const std::string& keyOf(const std::string& name, std::string& buffer) const;
  // The identity key of an unnamed reaction.
  static std::string identityKeyOf(const KelborComponent* reaction);
  // The namespace as listed: identity keys shown as the names they stand for.
  const Namespace& listed(const Namespace& space, Namespace& shown) const;
  void renameChildEntries(const std::string& parentKey, size_t childNamespace,
                          const std::string& oldParentName);

  Namespace& ns(size_t number) { return *namespaces_[number]; }
  const Namespace& ns(size_t number) const { return *namespaces_[number]; }
  std::optional<FormerKeys> takeOut(const KelborComponent* component);
  // The record of an entered component, or null.
  Membership* memberOf(const KelborComponent* component);
  const Membership* memberOf(const KelborComponent* component) const;
  // Empties the record of a component that is no longer entered.  Empty
  // records stay in the map (taking one out shifts the entries behind it,
  // each on a line of its own) until they outnumber the others, then go
  // in one pass.
  void leave(Membership& member);
  // Marks an entry of either index removed and counts it; an entry of the
  // name index followed by others of its name is erased instead.
  static void markQualifiedRemoved(QualifiedIndex::iterator entry, Namespace& space);
  static void markNameRemoved(NameIndex::iterator entry, Namespace& space);
  // Drops the removed entries of the namespace's indexes that hold more of
  // them than live ones, rebuilding each such index in one ordered pass
  // and moving the components' places to the new nodes.
  void dropRemovedEntries(Namespace& space);
  // The components whose listeners a component of the namespace (a number
  // 0-4, or undefinedNamespace for any kind) taking or leaving the names
  // may concern: those the qualified name resolves to, and the holders of
  // the bare name (appendBareNameHolders).
  void gatherCandidates(const std::string& qualifiedName, const std::string& bracketedName,
                        size_t number, CandidateList& out) const;
  // The kinetic-law parameters of the bare name (unless the component is
  // one of them), the species, compartment and model parameter it resolves
  // to, and the species holding it (appendSpeciesHoldingBareName).
  void appendBareNameHolders(const std::string& bracketedName, size_t number, CandidateList& out) const;
  // Appends the species of that bare name whose listeners may hold it bare:
  // all of them while at most two species hold it, none from three on.
  void appendSpeciesHoldingBareName(const std::string& bracketedName, CandidateList& out) const;
  // Whether a component other than the one just taken out may answer its
  // names: false only when, with nothing entered or taken out since, no
  // entry holds either name, nor either name with the brackets of its
  // identifier parts dropped (the texts gatherCandidates searches for).
  bool othersMayAnswer(const FormerKeys& former, const std::string& qualifiedName,
                       const std::string& bracketedName) const;
  // Whether gatherCandidates may find, for the names of a component just
  // entered, a component with listeners: false only when it has none itself
  // and no entry but its own holds either name, nor either name with the
  // brackets of its identifier parts dropped.
  bool othersMayAnswerAdded(const KelborComponent* component, const std::string& qualifiedName,
                            const std::string& bracketedName) const;
  // Whether a text other than each of the names, made by dropping the
  // brackets of its identifier parts, is held by an entry.
  bool plainFormsHeld(const std::string& qualifiedName, const std::string& bracketedName) const;
  bool isKeyTextHeld(const std::string& text) const;
  // How many entries hold the text (or a text of the same hash).
  uint32_t keyTextHolders(const std::string& text) const;
  // Counts one holder more (or fewer) of the text of that hash.
  void holdKeyText(size_t hash);
  uint32_t releaseKeyText(size_t hash);
  void addWaiting(const std::string& name, ListenerSet& out) const;
  void takeOutChildren(const std::string& parentKey, size_t childNamespace,
                       std::vector<KelborComponent*>& children);
  // The lookups of resolveAfterRename: a qualified key, the components
  // under a bracketed name (the first and how many, counting to two), and
  // findInNamespace.
  KelborComponent* qualifiedAfter(const std::string& key, size_t number, const RenamePlan& plan) const;
  std::pair<KelborComponent*, size_t> namedAfter(const std::string& name, size_t number,
                                                 const RenamePlan& plan) const;
  KelborComponent* inNamespaceAfter(const std::string& name, size_t number, const RenamePlan& plan) const;
  void tellNameChange(KelborComponent* component, const std::string& oldBracketedName,
                      const std::string& oldQualifiedName, size_t number,
                      const std::optional<FormerKeys>& former, const CandidateList& oldCandidates);

  // The entries of every index below come from the table's own pool: they
  // lie together instead of between the components they name, and when the
  // table goes (with its model) the pool hands its memory back in a few
  // blocks instead of entry by entry.  Declared first, so it outlives them.
  std::pmr::unsynchronized_pool_resource memory_;
  Namespace compartments_;
  Namespace species_;
  Namespace reactions_;
  Namespace modelParameters_;
  Namespace reactionParameters_;
  PendingTable pendingListeners_;
  kstrVector<Namespace*> namespaces_;
  // Where each entered component sits; looked up by identity only, never
  // walked in order (entries in one array: a lookup touches a line or two).
  // A record with neither place is empty: its component has left.
  kstr::PointerMap<const KelborComponent*, Membership> members_;
  size_t leftMembers_ = 0;
  KeyHolders keyHolders_;
  // Counts every entry made or taken out.
  uint64_t changes_ = 0;
  ReactionAtPosition reactionAt_;
  // Kinetic-law parameters found through a default name (filled by the
  // lookups, so mutable); a parameter leaves when it leaves the table.
  mutable std::set<const KelborComponent*> defaultNamed_;
};

KELBOR_API std::ostream& operator<<(std::ostream& out, const SymbolTable& table);
