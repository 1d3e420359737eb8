// The symbol table's structure, keys, lookups, waiting names, listener
// registration and listing.
#include <gtest/gtest.h>

#include "support/CountingMemoryResource.hpp"
#include "support/ProbeReaction.hpp"

#include <algorithm>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "reactions/BReaction.hpp"
#include "SymbolTableFixtures.hpp"

namespace {

std::vector<std::string> namesOf(const SymbolTable::ComponentVectorPtr& components) {
  std::vector<std::string> names;
  if (!components) return {"<no vector>"};
  for (const KelborComponent* c : *components) names.push_back(qualifiedNameOf(c));
  return names;
}

class SymbolTableTest : public ::testing::Test {
 protected:
  void SetUp() override { registerMessageCatalog(); }
};

// A model with a bare species name held twice (B), a species name that needs
// brackets, a species and a parameter sharing a name (A), two named
// reactions and an unnamed one, each with a kinetic-law parameter.
class LookupTest : public SymbolTableTest {
 protected:
  void SetUp() override {
    SymbolTableTest::SetUp();
    TestComponent& cell = w.compartment("cell");
    TestComponent& c2 = w.compartment("c2");
    w.species("A", cell);
    w.species("B", cell);
    w.species("B", c2);
    w.species("my A", cell);
    w.parameter("A");
    w.parameter("B");
    w.parameter("k1");
    r1 = &w.reaction("r1");
    r2 = &w.reaction("r2");
    unnamed = &w.reaction("", "UnnamedReaction_3");
    w.reactionParameter("kf", *r1);
    w.reactionParameter("k1", *r1);
    w.reactionParameter("kg", *r2);
    w.reactionParameter("ku", *unnamed);
  }

  SymbolTableWorld w;
  RecordingListener* r1 = nullptr;
  RecordingListener* r2 = nullptr;
  RecordingListener* unnamed = nullptr;
};

TEST_F(SymbolTableTest, NamespaceNumbersFollowTheKind) {
  SymbolTableWorld w;
  TestComponent& cell = w.compartment("cell", false);
  RecordingListener& r1 = w.reaction("r1", "", false);
  TestComponent orphanParameter(kstr::parameter);
  TestComponent rule(kstr::rule);
  TestComponent law(kstr::kineticlaw);
  struct Case {
    const KelborComponent* component;
    size_t expected;
  } cases[] = {
      {&w.species("A", cell, false), SymbolTable::speciesNamespace},
      {&cell, SymbolTable::compartmentNamespace},
      {&w.parameter("k", false), SymbolTable::modelParameterNamespace},
      {&w.reactionParameter("kf", r1, false), SymbolTable::reactionParameterNamespace},
      {&r1, SymbolTable::reactionNamespace},
      {&orphanParameter, SymbolTable::undefinedNamespace},
      {&rule, SymbolTable::undefinedNamespace},
      {&law, SymbolTable::undefinedNamespace},
      {nullptr, SymbolTable::undefinedNamespace},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SymbolTable::getNamespaceIndex(c.component), c.expected)
        << qualifiedNameOf(c.component);
  }
}

TEST_F(SymbolTableTest, ComponentsAreKeyedByQualifiedAndBracketedName) {
  SymbolTableWorld w;
  TestComponent& cell = w.compartment("cell");
  RecordingListener& r1 = w.reaction("r1");
  RecordingListener& unnamed = w.reaction("", "UnnamedReaction_3");
  struct Case {
    const KelborComponent* component;
    size_t ns;
    std::string qualified;
    std::string bracketed;  // "" when there is no bracketed-name entry
  } cases[] = {
      {&cell, SymbolTable::compartmentNamespace, "cell", "cell"},
      {&w.species("A", cell), SymbolTable::speciesNamespace, "cell.A", "A"},
      {&w.species("my A", cell), SymbolTable::speciesNamespace, "cell.[my A]", "[my A]"},
      {&w.parameter("k1"), SymbolTable::modelParameterNamespace, "k1", "k1"},
      {&r1, SymbolTable::reactionNamespace, "r1", "r1"},
      {&w.reactionParameter("kf", r1), SymbolTable::reactionParameterNamespace, "r1.kf", "kf"},
      {&unnamed, SymbolTable::reactionNamespace, "UnnamedReaction_3", ""},
      {&w.reactionParameter("kf", unnamed), SymbolTable::reactionParameterNamespace,
       "UnnamedReaction_3.kf", "kf"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.qualified);
    const SymbolTable::Namespace* ns = w.table.getNamespace(c.ns);
    ASSERT_NE(ns, nullptr);
    EXPECT_EQ(ns->findQualified(c.qualified), c.component);
    size_t nameEntries = 0;
    for (const auto& [key, component] : ns->nameEntries()) {
      if (component != c.component) continue;
      ++nameEntries;
      EXPECT_EQ(key, c.bracketed);
    }
    EXPECT_EQ(nameEntries, c.bracketed.empty() ? 0u : 1u);
    EXPECT_TRUE(w.table.containsComponent(c.component));
  }
  EXPECT_EQ(w.table.getComponentCount(), std::size(cases));
  EXPECT_EQ(w.table.getNamespace(SymbolTable::pendingNamespace), nullptr);
}

// A table going with entries in every index (names long enough to be held
// apart from their entries among them, some entries taken out and entered
// again) hands back all the memory its pool took.
TEST_F(SymbolTableTest, AGoingTableHandsBackAllItsMemory) {
  CountingDefaultResource counting;
  {
    SymbolTableWorld w;
    TestComponent& cell = w.compartment("a compartment with a long name");
    std::vector<TestComponent*> species;
    for (int i = 0; i < 200; ++i) {
      species.push_back(&w.species((i % 2 ? "species with a long name " : "s") + std::to_string(i), cell));
    }
    w.parameter("k");
    w.reactionParameter("kf", w.reaction("r1"));
    for (int i = 0; i < 200; i += 3) w.table.componentRemoved(species[static_cast<size_t>(i)]);
    for (int i = 0; i < 200; i += 6) w.table.componentAdded(species[static_cast<size_t>(i)]);
    EXPECT_GT(counting.outstanding(), 0u);
    EXPECT_TRUE(w.table.isComponentNameInUse("species with a long name 199", kstr::species));
    EXPECT_FALSE(w.table.isComponentNameInUse("species with a long name 3", kstr::species));
    EXPECT_TRUE(w.table.isComponentNameInUse("s6", kstr::species));
  }
  EXPECT_EQ(counting.outstanding(), 0u);
}

TEST_F(SymbolTableTest, FirstComponentKeepsAQualifiedKey) {
  SymbolTableWorld w;
  TestComponent& cell = w.compartment("cell");
  TestComponent& first = w.species("A", cell);
  RecordingListener& rule = w.listener("rule");
  w.table.resolveSymbolAndListen("cell.A", &rule);
  w.model.calls.clear();
  TestComponent& second = w.species("A", cell);  // same key: not entered, nobody told

  EXPECT_EQ(w.table.findByQualifiedName("cell.A"), &first);
  EXPECT_FALSE(w.table.containsComponent(&second));
  EXPECT_TRUE(rule.calls.empty());
  EXPECT_EQ(w.model.count("inUseCountChange"), 0u);

  // insertComponent directly: the key stays with the first, the bracketed
  // name is added after the first's.
  w.table.insertComponent(SymbolTable::speciesNamespace, "cell.A", "A", &second);
  EXPECT_EQ(w.table.findByQualifiedName("cell.A"), &first);
  const SymbolTable::Namespace& space = *w.table.getNamespace(SymbolTable::speciesNamespace);
  std::vector<const KelborComponent*> order;
  for (const auto& [key, component] : space.named("A")) order.push_back(component);
  EXPECT_EQ(order, (std::vector<const KelborComponent*>{&first, &second}));

  // Later equal names go after all earlier ones, and an erased one leaves
  // the others' order alone.
  TestComponent& third = w.species("A", cell);
  w.table.insertComponent(SymbolTable::speciesNamespace, "cell.A3", "A", &third);
  const auto namesInOrder = [&space] {
    std::vector<const KelborComponent*> found;
    for (const auto& [key, component] : space.named("A")) found.push_back(component);
    return found;
  };
  EXPECT_EQ(namesInOrder(), (std::vector<const KelborComponent*>{&first, &second, &third}));
  SymbolTable::Namespace& species =
      const_cast<SymbolTable::Namespace&>(*w.table.getNamespace(SymbolTable::speciesNamespace));
  EXPECT_TRUE(w.table.removeNameEntry("A", &second, species));
  EXPECT_EQ(namesInOrder(), (std::vector<const KelborComponent*>{&first, &third}));

  // Bad namespace numbers and null components are ignored.
  w.table.insertComponent(7, "x", "x", &second);
  w.table.insertComponent(SymbolTable::speciesNamespace, "y", "y", nullptr);
  EXPECT_FALSE(w.table.isNameInNamespace("x", SymbolTable::speciesNamespace));
  EXPECT_FALSE(w.table.isNameInNamespace("y", SymbolTable::speciesNamespace));
}

TEST_F(LookupTest, ResolveSymbolFollowsTheScopeOrder) {
  struct Case {
    std::string name;
    const KelborComponent* reaction;  // null: scope of a rule or event
    std::string expected;             // qualified name, "" for null
  } cases[] = {
      {"A", nullptr, "cell.A"},  // species before the parameter A
      {"[A]", nullptr, "cell.A"},
      {"cell.A", nullptr, "cell.A"},
      {"[cell].[A]", nullptr, "cell.A"},
      {"B", nullptr, ""},  // ambiguous species: null, parameter B not tried
      {"B", r1, ""},
      {"c2.B", nullptr, "c2.B"},
      {"[my A]", nullptr, "cell.[my A]"},
      {"cell.[my A]", nullptr, "cell.[my A]"},
      {"cell", nullptr, "cell"},
      {"k1", nullptr, "k1"},
      {"k1", r1, "r1.k1"},  // the reaction's own parameter before the model's
      {"k1", r2, "k1"},
      {"kf", nullptr, ""},
      {"kf", r1, "r1.kf"},
      {"kf", r2, ""},  // other reactions' parameters need their qualified name
      {"r1.kf", nullptr, ""},
      {"r1.kf", r2, "r1.kf"},
      {"ku", unnamed, "UnnamedReaction_3.ku"},
      {"r1", nullptr, ""},  // reactions are not values
      {"nothing", nullptr, ""},
      {"", nullptr, ""},
      {"[A", nullptr, ""},
      {"a.b.c", nullptr, ""},
      {"[]", nullptr, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + " in " + qualifiedNameOf(c.reaction));
    EXPECT_EQ(qualifiedNameOf(w.table.resolveSymbolImpl(c.name, c.reaction)), c.expected);
    if (!c.reaction) {
      EXPECT_EQ(w.table.resolveSymbol(c.name, r1), w.table.resolveSymbolImpl(c.name, nullptr));
    }
  }
}

TEST_F(LookupTest, CollisionsListEveryCandidateInOrder) {
  struct Case {
    std::string name;
    const KelborComponent* reaction;
    std::vector<std::string> expected;
  } cases[] = {
      {"A", nullptr, {"cell.A", "A"}},
      {"B", nullptr, {"B"}},  // the ambiguous species add nothing
      {"k1", nullptr, {"k1"}},
      {"k1", r1, {"r1.k1", "k1"}},
      {"cell", nullptr, {"cell"}},
      {"[A]", nullptr, {"cell.A"}},  // only the species lookup drops brackets
      {"nothing", nullptr, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(namesOf(w.table.resolveSymbolWithCollisionsImpl(c.name, c.reaction)), c.expected);
  }
  EXPECT_EQ(namesOf(w.table.resolveSymbolWithCollisions("A", r1)),
            (std::vector<std::string>{"cell.A", "A"}));
}

// A reaction's own parameters answer while any is entered: the last one
// removed, its name falls through to the model's; entered again, it answers
// again, bare and qualified.
TEST_F(SymbolTableTest, ReactionParametersAnswerOnlyWhileAnyIsEntered) {
  SymbolTableWorld w;
  RecordingListener& r1 = w.reaction("r1");
  TestComponent& model = w.parameter("k");
  TestComponent& own = w.reactionParameter("k", r1);
  EXPECT_EQ(w.table.resolveSymbolImpl("k", &r1), &own);
  w.table.componentRemoved(&own);
  EXPECT_EQ(w.table.resolveSymbolImpl("k", &r1), &model);
  EXPECT_EQ(w.table.resolveSymbolImpl("r1.k", &r1), nullptr);
  EXPECT_EQ(w.table.resolveSymbolWithCollisionsImpl("k", &r1)->size(), 1u);
  TestComponent& again = w.reactionParameter("k", r1);
  EXPECT_EQ(w.table.resolveSymbolImpl("k", &r1), &again);
  EXPECT_EQ(w.table.resolveSymbolImpl("r1.k", &r1), &again);
  EXPECT_EQ(w.table.resolveSymbolWithCollisionsImpl("k", &r1)->size(), 2u);
}

// The one lookup that binds a token and counts its candidates answers what
// the two separate lookups answer, in either scope, and listens where the
// separate resolution listens.
TEST_F(LookupTest, CountedResolutionAgreesWithResolveAndCollisions) {
  RecordingListener& rule = w.listener("rule");
  const std::vector<std::string> names = {"A",  "[A]",   "cell.A", "[cell].[A]", "B",       "c2.B",
                                          "[my A]", "cell", "k1",     "kf",         "r1.kf",   "ku",
                                          "r1", "nothing", "",       "[A",         "a.b.c",   "[]"};
  for (RecordingListener* listener : {&rule, r1, r2, unnamed}) {
    const bool reactionScope = listener != &rule;
    for (const std::string& name : names) {
      SCOPED_TRACE(name + " in " + qualifiedNameOf(listener));
      const KelborComponent* scope = reactionScope ? listener : nullptr;
      size_t candidates = 99;
      KelborComponent* found = w.table.resolveListenAndCountImpl(name, listener, reactionScope, candidates);
      EXPECT_EQ(found, w.table.resolveSymbolImpl(name, scope));
      EXPECT_EQ(candidates, w.table.resolveSymbolWithCollisionsImpl(name, scope)->size());
      if (found) {
        EXPECT_EQ(found->getListeners().count(listener), 1u);
      } else {
        SymbolTable::ListenerSetPtr waiting = w.table.findPendingListeners(name);
        ASSERT_TRUE(waiting);
        EXPECT_EQ(waiting->count(listener), 1u);
      }
    }
  }
}

TEST_F(LookupTest, SpeciesLookupTellsNoneOneAndSeveralApart) {
  struct Case {
    std::string name;
    std::string component;
    bool found;
  } cases[] = {
      {"A", "cell.A", true},   {"[A]", "cell.A", true}, {"cell.A", "cell.A", true},
      {"B", "", true},         {"c2.B", "c2.B", true},  {"Z", "", false},
      {"[my A]", "cell.[my A]", true}, {"cell", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SymbolTable::SpeciesMatch match = w.table.resolveSpecies(c.name);
    EXPECT_EQ(qualifiedNameOf(match.first), c.component);
    EXPECT_EQ(match.second, c.found);
  }
}

TEST_F(LookupTest, NamespaceLookupUsesTheNameUnchanged) {
  const SymbolTable::Namespace& species = *w.table.getNamespace(SymbolTable::speciesNamespace);
  struct Case {
    std::string name;
    std::string expected;
  } cases[] = {
      {"cell.A", "cell.A"},
      {"A", "cell.A"},
      {"B", "cell.B"},  // no count: the first entered
      {"[my A]", "cell.[my A]"},
      {"[A]", ""},  // no brackets removed here
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(qualifiedNameOf(w.table.findInNamespace(c.name, species)), c.expected) << c.name;
  }
  struct Bracketed {
    std::string name;
    bool whole;
  } texts[] = {{"[my A]", true}, {"[x]", true},     {"[a].[b]", false}, {"[]", false},
               {"x", false},     {"[a]b]", false},  {"[a", false},      {"a]", false}};
  for (const Bracketed& b : texts) {
    EXPECT_EQ(SymbolTable::isWhollyBracketed(b.name), b.whole) << b.name;
  }
}

TEST_F(LookupTest, QualifiedNameLookupUsesExactKeysOnly) {
  struct Case {
    std::string name;
    std::string expected;
  } cases[] = {{"cell.A", "cell.A"}, {"k1", "k1"},     {"r1.kf", "r1.kf"}, {"cell", "cell"},
               {"r1", "r1"},         {"A", "A"},       {"B", "B"},         {"kf", ""},
               {"", ""},             {"[k1]", ""},     {"cell.[my A]", "cell.[my A]"}};
  for (const Case& c : cases) {
    EXPECT_EQ(qualifiedNameOf(w.table.findByQualifiedName(c.name)), c.expected) << c.name;
  }
  // Model parameters come before kinetic-law parameters and compartments.
  EXPECT_EQ(w.table.findByQualifiedName("A")->getEnumType(), kstr::parameter);
}

TEST_F(LookupTest, NameInUseLooksInTheNamespaceOfTheKind) {
  struct Case {
    std::string name;
    kstr::bcomptype kind;
    bool inUse;
  } cases[] = {
      {"A", kstr::species, true},      {"B", kstr::species, true},
      {"my A", kstr::species, true},
      {"cell.A", kstr::species, false},  // a name, not a qualified name: "[cell.A]"
      {"Z", kstr::species, false},     {"k1", kstr::parameter, true},
      {"kf", kstr::parameter, false},  {"r1", kstr::reaction, true},
      {"r9", kstr::reaction, false},   {"cell", kstr::compartment, true},
      {"A", kstr::compartment, false}, {"", kstr::species, false},
      {"A", kstr::rule, false},        {"k1", kstr::kineticlaw, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(w.table.isComponentNameInUse(c.name, c.kind), c.inUse)
        << c.name << " as " << kstr::componentTypeKeyword(c.kind);
    // Asked with other kinds around it, the name is in use when any of them has it.
    for (const kstr::bcomptype other : {kstr::rule, kstr::species, kstr::compartment}) {
      const bool either = c.inUse || w.table.isComponentNameInUse(c.name, other);
      EXPECT_EQ(w.table.isComponentNameInUse(c.name, {other, c.kind}), either)
          << c.name << " as " << kstr::componentTypeKeyword(other) << " or " << kstr::componentTypeKeyword(c.kind);
      EXPECT_EQ(w.table.isComponentNameInUse(c.name, {c.kind, other}), either);
    }
  }
  EXPECT_FALSE(w.table.isComponentNameInUse("A", {}));
}

TEST_F(LookupTest, CountsAndMembershipPerNamespaceNumber) {
  RecordingListener& rule = w.listener("rule");
  RecordingListener& event = w.listener("event");
  w.table.resolveSymbolAndListen("k1", &rule);
  w.table.resolveSymbolAndListen("k1", &event);
  w.table.resolveSymbolAndListen("later", &rule);
  struct Case {
    std::string name;
    size_t ns;
    uint64_t count;
    bool present;
  } cases[] = {
      {"k1", SymbolTable::modelParameterNamespace, 2, true},
      {"r1.k1", SymbolTable::reactionParameterNamespace, 0, true},
      {"k1", SymbolTable::reactionParameterNamespace, 0, true},  // by bracketed name
      {"A", SymbolTable::speciesNamespace, 0, true},
      {"cell.A", SymbolTable::speciesNamespace, 0, true},
      {"Z", SymbolTable::speciesNamespace, 0, false},
      {"later", SymbolTable::pendingNamespace, 1, true},
      {"k1", SymbolTable::pendingNamespace, 0, false},
      {"k1", SymbolTable::undefinedNamespace, 0, false},  // numbers above 5
      {"k1", 7, 0, false},
      {"k1", 1000, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + " in " + std::to_string(c.ns));
    EXPECT_EQ(w.table.getListenerCount(c.name, c.ns), c.count);
    EXPECT_EQ(w.table.isNameInNamespace(c.name, c.ns), c.present);
  }
  std::vector<const ExpressionBasedComponent*> listeners =
      w.table.getComponentListeners(w.table.findByQualifiedName("k1"));
  std::vector<const ExpressionBasedComponent*> expected{&rule, &event};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(listeners, expected);
  EXPECT_TRUE(w.table.getComponentListeners(nullptr).empty());
}

// --- listening and waiting ------------------------------------------------------

TEST_F(SymbolTableTest, AmbiguousNameWaitsAndRegistersNowhere) {
  SymbolTableWorld w;
  TestComponent& c1 = w.compartment("c1");
  TestComponent& c2 = w.compartment("c2");
  TestComponent& a1 = w.species("A", c1);
  TestComponent& a2 = w.species("A", c2);
  RecordingListener& rule = w.listener("rule");

  EXPECT_EQ(w.table.resolveSymbolAndListen("A", &rule), nullptr);
  EXPECT_TRUE(a1.getListeners().empty());
  EXPECT_TRUE(a2.getListeners().empty());
  SymbolTable::ListenerSetPtr waiting = w.table.findPendingListeners("A");
  ASSERT_TRUE(waiting);
  EXPECT_EQ(*waiting, SymbolTable::ListenerSet{&rule});

  // Asking again keeps one entry with the listener once.
  w.table.resolveSymbolAndListen("A", &rule);
  EXPECT_EQ(w.table.findPendingListeners("A"), waiting);
  EXPECT_EQ(waiting->size(), 1u);

  // The shared set outlives the table's entry.
  w.table.removePendingListener("A", &rule);
  EXPECT_FALSE(w.table.findPendingListeners("A"));
  EXPECT_TRUE(waiting->empty());

  // Waiting keys are the names exactly as given.
  w.table.resolveSymbolAndListen("[Q]", &rule);
  EXPECT_TRUE(w.table.isNameInNamespace("[Q]", SymbolTable::pendingNamespace));
  EXPECT_FALSE(w.table.isNameInNamespace("Q", SymbolTable::pendingNamespace));
}

TEST_F(SymbolTableTest, BracketedNameRegistersWithoutWaiting) {
  SymbolTableWorld w;
  TestComponent& cell = w.compartment("cell");
  TestComponent& a = w.species("A", cell);
  RecordingListener& rule = w.listener("rule");
  EXPECT_EQ(w.table.resolveSymbolAndListen("[A]", &rule), &a);
  EXPECT_EQ(a.getListeners(), KelborComponent::ListenerSet{&rule});
  EXPECT_FALSE(w.table.isNameInNamespace("[A]", SymbolTable::pendingNamespace));
}

TEST_F(SymbolTableTest, ReResolveMovesTheListener) {
  SymbolTableWorld w;
  TestComponent& cell = w.compartment("cell");
  TestComponent& a = w.species("A", cell);
  RecordingListener& rule = w.listener("rule");
  w.table.resolveSymbolAndListen("cell.A", &rule);
  w.table.addPendingListener("B", &rule);
  TestComponent& b = w.species("B", cell);
  rule.calls.clear();

  EXPECT_EQ(w.table.reResolveSymbolAndListen("cell.A", "B", &rule), &b);
  EXPECT_TRUE(a.getListeners().empty());
  EXPECT_EQ(b.getListeners(), KelborComponent::ListenerSet{&rule});
  EXPECT_FALSE(w.table.findPendingListeners("B"));

  // A new name that does not resolve makes the listener wait.
  EXPECT_EQ(w.table.reResolveSymbolAndListen("cell.B", "C", &rule), nullptr);
  EXPECT_TRUE(b.getListeners().empty());
  EXPECT_EQ(w.table.getListenerCount("C", SymbolTable::pendingNamespace), 1u);
  // A bare old name is no qualified key: nothing is left.
  w.table.resolveSymbolAndListen("A", &rule);
  w.table.reResolveSymbolAndListen("A", "A", &rule);
  EXPECT_EQ(a.getListeners(), KelborComponent::ListenerSet{&rule});
}

TEST_F(SymbolTableTest, ReactionReResolveWithEqualNamesLeavesEveryCandidate) {
  SymbolTableWorld w;
  TestComponent& cell = w.compartment("cell");
  RecordingListener& r1 = w.reaction("r1");
  TestComponent& species = w.species("k", cell);
  TestComponent& own = w.reactionParameter("k", r1);
  TestComponent& global = w.parameter("k");
  species.addListener(&r1);
  own.addListener(&r1);
  global.addListener(&r1);

  EXPECT_EQ(w.table.reResolveSymbolAndListenImpl("k", "k", &r1, true), &species);
  EXPECT_EQ(species.getListeners(), KelborComponent::ListenerSet{&r1});
  EXPECT_TRUE(own.getListeners().empty());
  EXPECT_TRUE(global.getListeners().empty());

  // Different names: the old one is released by its qualified key.
  EXPECT_EQ(w.table.reResolveSymbolAndListenImpl("cell.k", "r1.k", &r1, true), &own);
  EXPECT_TRUE(species.getListeners().empty());
  EXPECT_EQ(own.getListeners(), KelborComponent::ListenerSet{&r1});
  EXPECT_EQ(w.table.reResolveSymbolAndListenImpl("r1.k", "none", &r1, true), nullptr);
  EXPECT_TRUE(own.getListeners().empty());
  EXPECT_TRUE(w.table.isNameInNamespace("none", SymbolTable::pendingNamespace));
}

TEST_F(SymbolTableTest, ResolveManyReleasesThenResolvesInSetOrder) {
  SymbolTableWorld w;
  TestComponent& k1 = w.parameter("k1");
  TestComponent& k2 = w.parameter("k2");
  RecordingListener& rule = w.listener("rule");

  SymbolTable::ComponentVectorPtr result = w.table.resolveSymbolsAndListen({}, {"x", "k1"}, &rule);
  EXPECT_EQ(namesOf(result), (std::vector<std::string>{"k1", ""}));
  EXPECT_EQ(k1.getListeners(), KelborComponent::ListenerSet{&rule});
  EXPECT_TRUE(w.table.isNameInNamespace("x", SymbolTable::pendingNamespace));

  result = w.table.resolveSymbolsAndListen({"k1", "x"}, {"k2"}, &rule);
  EXPECT_EQ(namesOf(result), (std::vector<std::string>{"k2"}));
  EXPECT_TRUE(k1.getListeners().empty());
  EXPECT_EQ(k2.getListeners(), KelborComponent::ListenerSet{&rule});
  EXPECT_FALSE(w.table.isNameInNamespace("x", SymbolTable::pendingNamespace));

  // Only releasing answers an empty vector; releasing what one does not
  // hold changes nothing.
  RecordingListener& other = w.listener("other");
  result = w.table.resolveSymbolsAndListen({"k2", "y"}, {}, &other);
  ASSERT_TRUE(result);
  EXPECT_TRUE(result->empty());
  EXPECT_EQ(k2.getListeners(), KelborComponent::ListenerSet{&rule});
}

TEST_F(SymbolTableTest, ReleaseAlwaysStopsWaitingEvenWhenTheNameResolvesNow) {
  // The listener waits under an ambiguous name; one holder leaves, so the
  // name resolves; releasing it must still drop the waiting entry, or the
  // next arrival would call a listener that is gone.
  SymbolTableWorld w;
  TestComponent& c1 = w.compartment("c1");
  TestComponent& c2 = w.compartment("c2");
  w.species("A", c1);
  TestComponent& a2 = w.species("A", c2);
  RecordingListener& rule = w.listener("rule");
  w.table.resolveSymbolAndListen("A", &rule);
  w.table.removePendingListener("A", nullptr);  // no such listener: nothing changes
  ASSERT_EQ(w.table.getListenerCount("A", SymbolTable::pendingNamespace), 1u);
  w.table.componentRemoved(&a2);
  rule.calls.clear();

  w.table.resolveSymbolsAndListen({"A"}, {}, &rule);
  EXPECT_FALSE(w.table.findPendingListeners("A"));
  w.species("A", c2);
  EXPECT_TRUE(rule.calls.empty());
}

// --- the reaction overloads -------------------------------------------------------


TEST_F(SymbolTableTest, ReactionPointersSelectTheReactionScope) {
  SymbolTableWorld w;
  ProbeReaction reaction;
  reaction.setName("r1");
  reaction.setParent(&w.model);
  w.table.componentAdded(&reaction);
  TestComponent& kf = w.reactionParameter("kf", reaction);
  BReaction* asReaction = &reaction;
  ExpressionBasedComponent* asListener = &reaction;

  EXPECT_EQ(w.table.resolveSymbol("kf", &reaction), &kf);
  EXPECT_EQ(w.table.resolveSymbol("kf", asReaction), &kf);
  EXPECT_EQ(w.table.resolveSymbol("kf", asListener), nullptr);
  EXPECT_EQ(namesOf(w.table.resolveSymbolWithCollisions("kf", asReaction)),
            (std::vector<std::string>{"r1.kf"}));
  EXPECT_EQ(w.table.resolveSymbolAndListen("kf", asReaction), &kf);
  EXPECT_EQ(kf.getListeners(), KelborComponent::ListenerSet{asListener});
  EXPECT_EQ(namesOf(w.table.resolveSymbolsAndListen({"kf"}, {"kf"}, asReaction)),
            (std::vector<std::string>{"r1.kf"}));
  EXPECT_EQ(w.table.reResolveSymbolAndListen("kf", "kf", asReaction), &kf);
  EXPECT_EQ(w.table.resolveSymbolAndListen("kf", asListener), nullptr);
  EXPECT_TRUE(w.table.isNameInNamespace("kf", SymbolTable::pendingNamespace));
  w.table.componentRemoved(&kf);
  w.table.componentRemoved(&reaction);
}

// --- in-use counts and listing ------------------------------------------------------

TEST_F(SymbolTableTest, InUseSweepCoversQuantitiesInMapOrder) {
  SymbolTableWorld w;
  TestComponent& cell = w.compartment("cell");
  TestComponent& b = w.species("B", cell);
  TestComponent& a = w.species("A", cell);
  TestComponent& k = w.parameter("k");
  RecordingListener& r1 = w.reaction("r1");
  TestComponent& kf = w.reactionParameter("kf", r1);
  TestComponent outside(kstr::parameter);
  w.table.insertComponent(SymbolTable::modelParameterNamespace, "outside", "outside", &outside);
  w.model.calls.clear();

  w.table.notifyAllInUseCounts();
  std::vector<const KelborComponent*> told;
  for (const RecordingModel::Call& call : w.model.calls) {
    EXPECT_EQ(call.what, "inUseCountChange");
    told.push_back(call.component);
  }
  EXPECT_EQ(told, (std::vector<const KelborComponent*>{&a, &b, &k, &kf, &cell}));
}

TEST_F(SymbolTableTest, EmptyTableListsTheTitlesOnly) {
  SymbolTable table;
  std::ostringstream out;
  out << table;
  EXPECT_EQ(out.str(),
            "================ SymbolTable Contents ================\n\n"
            "Species namespace\n\n\n"
            "Compartment namespace\n\n\n"
            "Parameter namespace\n\n\n"
            "Reaction parameter namespace\n\n\n"
            "Reaction namespace\n\n\n"
            "Undefined Namespace\n\n");
}

TEST_F(SymbolTableTest, ListingRowsAlignOrCutLongNames) {
  SymbolTableWorld w;
  const std::string n39(39, 'a');
  const std::string n40(40, 'b');
  const std::string n51(51, 'c');
  const std::string n60 = std::string(51, 'd') + std::string(9, 'e');
  TestComponent& p39 = w.parameter(n39);
  TestComponent& p40 = w.parameter(n40);
  TestComponent& p51 = w.parameter(n51);
  TestComponent& p60 = w.parameter(n60);
  RecordingListener& rule = w.listener("rule");
  p39.addListener(&rule);
  w.table.addPendingListener("later", &rule);

  std::ostringstream out;
  w.table.print(out);
  const std::string a39 = address(&p39);
  const std::string expectedRows =
      n39 + std::string(15 - a39.size(), ' ') + a39 + "\t1\n" +  // ends at column 54
      n40 + "..." + address(&p40) + "\t0\n" + n51 + "..." + address(&p51) + "\t0\n" +
      std::string(51, 'd') + "..." + address(&p60) + "\t0\n";
  const std::string text = out.str();
  EXPECT_NE(text.find("Parameter namespace\n\n" + expectedRows + "\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("Undefined Namespace\n\nlater\t1\n"), std::string::npos) << text;
}

TEST_F(SymbolTableTest, NamespaceWithoutQualifiedKeysListsItsBracketedNames) {
  SymbolTable::Namespace ns;
  TestComponent c(kstr::species);
  ns.byName.emplace("A", &c);
  std::ostringstream out;
  SymbolTable::printNamespace("Title", ns, out);
  const std::string a = address(&c);
  EXPECT_EQ(out.str(), "Title\n\nA" + std::string(53 - a.size(), ' ') + a + "\t0\n\n");
}

}  // namespace
