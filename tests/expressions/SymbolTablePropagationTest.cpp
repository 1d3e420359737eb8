// Change propagation: who is told of an addition, removal or rename, how
// often and in which order, also when listeners call back into the table.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <new>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include <hb/hb_test.hpp>

#include "SymbolTableFixtures.hpp"

namespace {

using Strings = std::vector<std::string>;

class PropagationTest : public ::testing::Test {
 protected:
  void SetUp() override { registerMessageCatalog(); }

  size_t inUseCallsFor(const KelborComponent* component) const {
    size_t n = 0;
    for (const RecordingModel::Call& call : w.model.calls) {
      n += call.what == "inUseCountChange" && call.component == component;
    }
    return n;
  }

  SymbolTableWorld w;
};

TEST_F(PropagationTest, AdditionTellsEveryListenerOfTheSharedNamesOnce) {
  TestComponent& c1 = w.compartment("c1");
  TestComponent& c2 = w.compartment("c2");
  TestComponent& compartmentK = w.compartment("k");
  TestComponent& speciesK1 = w.species("k", c1);
  TestComponent& speciesK2 = w.species("k", c2);
  TestComponent& modelK = w.parameter("k");
  TestComponent& unrelated = w.parameter("z");
  RecordingListener& r1 = w.reaction("r1");
  RecordingListener& r2 = w.reaction("r2");
  TestComponent& otherK = w.reactionParameter("k", r2);

  struct Listening {
    std::string label;
    std::vector<KelborComponent*> listensTo;
    Strings waitsFor;
    size_t told;
  } cases[] = {
      {"modelParameter", {&modelK}, {}, 1},
      {"compartment", {&compartmentK}, {}, 1},
      // Another reaction's "k" is what that reaction's bare "k" denotes,
      // whichever reactions have a "k" of their own.
      {"otherReactionParameter", {&otherK}, {}, 0},
      {"speciesOfC1", {&speciesK1}, {}, 1},
      {"speciesOfC2", {&speciesK2}, {}, 1},
      {"waitsForBareName", {}, {"k"}, 1},
      {"waitsForQualifiedName", {}, {"r1.k"}, 1},
      {"everything", {&modelK, &speciesK1, &otherK}, {"k", "r1.k"}, 1},
      {"bystander", {&unrelated}, {"r2.k"}, 0},
  };
  std::map<std::string, RecordingListener*> listeners;
  for (const Listening& c : cases) {
    RecordingListener& l = w.listener(c.label);
    for (KelborComponent* component : c.listensTo) component->addListener(&l);
    for (const std::string& name : c.waitsFor) w.table.addPendingListener(name, &l);
    listeners[c.label] = &l;
  }
  w.model.calls.clear();

  TestComponent& added = w.reactionParameter("k", r1);
  for (const Listening& c : cases) {
    EXPECT_EQ(listeners[c.label]->calls, Strings(c.told, "added r1.k")) << c.label;
  }
  EXPECT_EQ(inUseCallsFor(&added), 1u);
  // Arrivals do not clear waiting entries.
  EXPECT_EQ(w.table.getListenerCount("k", SymbolTable::pendingNamespace), 2u);
}

TEST_F(PropagationTest, SecondSpeciesOfTheSameNameReachesTheListenersOfTheFirst) {
  TestComponent& c1 = w.compartment("c1");
  TestComponent& c2 = w.compartment("c2");
  w.species("A", c1);
  RecordingListener& rule = w.listener("rule");
  w.table.resolveSymbolAndListen("A", &rule);

  w.species("A", c2);
  EXPECT_EQ(rule.calls, Strings{"added c2.A"});
  EXPECT_EQ(w.table.resolveSymbol("A"), nullptr);
}

TEST_F(PropagationTest, ArrivalOfAWaitedNameLetsTheListenerResolveIt) {
  RecordingListener& resolving = w.listener("resolving");
  RecordingListener& passive = w.listener("passive");
  w.table.resolveSymbolAndListen("k9", &resolving);
  w.table.resolveSymbolAndListen("k9", &passive);
  resolving.onCall = [&](const std::string& what, const KelborComponent*) {
    if (what == "added") w.table.reResolveSymbolAndListen("", "k9", &resolving);
  };

  TestComponent& k9 = w.parameter("k9");
  EXPECT_EQ(resolving.calls, Strings{"added k9"});
  EXPECT_EQ(passive.calls, Strings{"added k9"});
  EXPECT_EQ(k9.getListeners(), KelborComponent::ListenerSet{&resolving});
  SymbolTable::ListenerSetPtr waiting = w.table.findPendingListeners("k9");
  ASSERT_TRUE(waiting);
  EXPECT_EQ(*waiting, SymbolTable::ListenerSet{&passive});
}

TEST_F(PropagationTest, UnnamedComponentsConsultOnlyTheWaitersOfTheEmptyName) {
  RecordingListener& r1 = w.reaction("r1");
  RecordingListener& waitsForEmpty = w.listener("waitsForEmpty");
  RecordingListener& onR1 = w.listener("onR1");
  w.table.addPendingListener("", &waitsForEmpty);
  r1.addListener(&onR1);

  w.reaction("", "UnnamedReaction_2");
  EXPECT_EQ(waitsForEmpty.calls, Strings{"added UnnamedReaction_2"});
  EXPECT_TRUE(onR1.calls.empty());
}

TEST_F(PropagationTest, RemovalTellsOwnSharingAndWaitingListenersOnce) {
  TestComponent& c1 = w.compartment("c1");
  TestComponent& c2 = w.compartment("c2");
  TestComponent& a1 = w.species("A", c1);
  TestComponent& a2 = w.species("A", c2);
  RecordingListener& onA1 = w.listener("onA1");
  RecordingListener& onA2 = w.listener("onA2");
  RecordingListener& waitsBare = w.listener("waitsBare");
  RecordingListener& waitsQualified = w.listener("waitsQualified");
  RecordingListener& everywhere = w.listener("everywhere");
  RecordingListener& bystander = w.listener("bystander");
  w.table.resolveSymbolAndListen("c1.A", &onA1);
  w.table.resolveSymbolAndListen("c2.A", &onA2);
  w.table.resolveSymbolAndListen("A", &waitsBare);  // ambiguous: waits
  w.table.addPendingListener("c2.A", &waitsQualified);
  a1.addListener(&everywhere);
  a2.addListener(&everywhere);
  w.table.addPendingListener("A", &everywhere);
  w.table.resolveSymbolAndListen("c1", &bystander);
  w.model.calls.clear();

  w.table.componentRemoved(&a2);
  for (RecordingListener* l : {&onA1, &onA2, &waitsBare, &waitsQualified, &everywhere}) {
    EXPECT_EQ(l->calls, Strings{"removed c2.A"}) << l->label();
  }
  EXPECT_TRUE(bystander.calls.empty());
  EXPECT_EQ(inUseCallsFor(&a2), 1u);
  EXPECT_FALSE(w.table.containsComponent(&a2));
  EXPECT_EQ(w.table.resolveSymbol("A"), &a1);
  // The removed component keeps its listeners.
  EXPECT_EQ(a2.getListeners(), (KelborComponent::ListenerSet{&onA2, &everywhere}));
}

// A removal skips the search for other components answering its names when
// no other entry holds them; each way another component can come to hold
// the bare name must still reach that component's listeners.  Many removals
// of unrelated names go first, so that the texts nobody holds any more have
// been dropped.
TEST_F(PropagationTest, RemovalReachesEveryOtherHolderOfItsNames) {
  struct Case {
    const char* label;
    std::function<KelborComponent*(SymbolTableWorld&)> other;  // null: none
  };
  const std::vector<Case> cases = {
      {"no other holder", [](SymbolTableWorld&) -> KelborComponent* { return nullptr; }},
      {"model parameter", [](SymbolTableWorld& w) -> KelborComponent* { return &w.parameter("A"); }},
      {"species in another compartment",
       [](SymbolTableWorld& w) -> KelborComponent* { return &w.species("A", w.compartment("c2")); }},
      {"compartment", [](SymbolTableWorld& w) -> KelborComponent* { return &w.compartment("A"); }},
      {"kinetic-law parameter",
       [](SymbolTableWorld& w) -> KelborComponent* {
         return &w.reactionParameter("A", w.reaction("R"));
       }},
      {"parameter renamed onto the name",
       [](SymbolTableWorld& w) -> KelborComponent* {
         TestComponent& p = w.parameter("B");
         w.rename(p, "A");
         return &p;
       }},
      {"parameter taken out and entered again",
       [](SymbolTableWorld& w) -> KelborComponent* {
         TestComponent& p = w.parameter("A");
         w.table.componentRemoved(&p);
         w.table.componentAdded(&p);
         return &p;
       }},
  };
  for (const Case& c : cases) {
    SymbolTableWorld world;
    TestComponent& cell = world.compartment("cell");
    for (int i = 0; i < 300; ++i) {
      world.table.componentRemoved(&world.parameter("u" + std::to_string(i)));
    }
    TestComponent& a = world.species("A", cell);
    KelborComponent* other = c.other(world);
    RecordingListener& onOther = world.listener("onOther");
    RecordingListener& bystander = world.listener("bystander");
    if (other) other->addListener(&onOther);
    world.parameter("B2").addListener(&bystander);

    world.table.componentRemoved(&a);
    EXPECT_EQ(onOther.calls, other ? Strings{"removed cell.A"} : Strings{}) << c.label;
    EXPECT_TRUE(bystander.calls.empty()) << c.label;
    EXPECT_FALSE(world.table.containsComponent(&a)) << c.label;
  }
}

TEST_F(PropagationTest, RemovingWhatIsNotEnteredChangesNothing) {
  TestComponent& cell = w.compartment("cell");
  TestComponent& first = w.species("A", cell);
  TestComponent& duplicate = w.species("A", cell);  // key taken: never entered
  TestComponent& outside = w.parameter("k", false);
  TestComponent rule(kstr::rule);
  RecordingListener& onFirst = w.listener("onFirst");
  RecordingListener& onDuplicate = w.listener("onDuplicate");
  first.addListener(&onFirst);
  duplicate.addListener(&onDuplicate);
  w.model.calls.clear();

  for (KelborComponent* c : std::vector<KelborComponent*>{&duplicate, &outside, &rule}) {
    w.table.componentRemoved(c);
  }
  w.table.componentAdded(&rule);
  w.table.componentNameChanged(&rule, "x", "x");
  EXPECT_TRUE(onFirst.calls.empty());
  EXPECT_TRUE(onDuplicate.calls.empty());
  EXPECT_TRUE(w.model.calls.empty());
  EXPECT_EQ(w.table.findByQualifiedName("cell.A"), &first);
  EXPECT_EQ(w.table.getComponentCount(), 2u);
}

TEST_F(PropagationTest, RemovalFindsAComponentWhoseDefaultNameMoved) {
  // An unnamed reaction entered as the third moves to second place without
  // being re-keyed: its key no longer matches the name it answers.
  RecordingListener& unnamed = w.reaction("", "UnnamedReaction_3");
  TestComponent& ku = w.reactionParameter("ku", unnamed);
  RecordingListener& onKu = w.listener("onKu");
  ku.addListener(&onKu);
  unnamed.setDefaultName("UnnamedReaction_2");
  w.model.calls.clear();

  w.table.componentRemoved(&ku);
  w.table.componentRemoved(&unnamed);
  EXPECT_EQ(onKu.calls, Strings{"removed UnnamedReaction_2.ku"});
  EXPECT_EQ(w.table.getComponentCount(), 0u);
  EXPECT_FALSE(w.table.isNameInNamespace("UnnamedReaction_3", SymbolTable::reactionNamespace));
  EXPECT_FALSE(w.table.isNameInNamespace("UnnamedReaction_3.ku",
                                         SymbolTable::reactionParameterNamespace));
  EXPECT_FALSE(w.table.isNameInNamespace("ku", SymbolTable::reactionParameterNamespace));
  EXPECT_EQ(inUseCallsFor(&ku), 1u);
}

TEST_F(PropagationTest, RekeyMovesReactionsAndTheirParametersEvenWhenSwapping) {
  RecordingListener& first = w.reaction("", "UnnamedReaction_1");
  RecordingListener& second = w.reaction("", "UnnamedReaction_2");
  TestComponent& k1 = w.reactionParameter("k", first);
  TestComponent& k2 = w.reactionParameter("k", second);
  RecordingListener& onK1 = w.listener("onK1");
  k1.addListener(&onK1);
  first.setDefaultName("UnnamedReaction_2");  // the two change places
  second.setDefaultName("UnnamedReaction_1");

  EXPECT_EQ(w.table.rekeyComponents({&first, &second}), 4u);
  EXPECT_EQ(w.table.findByQualifiedName("UnnamedReaction_2"), &first);
  EXPECT_EQ(w.table.findByQualifiedName("UnnamedReaction_1"), &second);
  EXPECT_EQ(w.table.findByQualifiedName("UnnamedReaction_2.k"), &k1);
  EXPECT_EQ(w.table.findByQualifiedName("UnnamedReaction_1.k"), &k2);
  EXPECT_EQ(w.table.resolveSymbolImpl("k", &first), &k1);
  EXPECT_EQ(w.table.getComponentCount(), 4u);
  EXPECT_TRUE(onK1.calls.empty());  // nobody is told

  TestComponent& loose = w.parameter("p", false);
  EXPECT_EQ(w.table.rekeyComponent(&loose), 0u);
  EXPECT_FALSE(w.table.containsComponent(&loose));
}

// With the model's list at hand the table keys unnamed reactions by
// identity: a removal ahead of them re-keys nothing, yet their default
// names (and their parameters under them) follow their positions.
TEST_F(PropagationTest, UnnamedReactionsFoundThroughTheListFollowTheirPositions) {
  std::vector<const KelborComponent*> list;
  w.table.setReactionAtPosition([&list](size_t position) -> const KelborComponent* {
    return position < list.size() ? list[position] : nullptr;
  });
  auto append = [&](const std::string& name) -> RecordingListener& {
    RecordingListener& reaction =
        w.reaction(name, "UnnamedReaction_" + std::to_string(list.size() + 1), false);
    list.push_back(&reaction);
    w.table.componentAdded(&reaction);
    return reaction;
  };
  RecordingListener& first = append("");
  append("r2");
  RecordingListener& third = append("");
  TestComponent& ku = w.reactionParameter("ku", third);
  TestComponent& lookalike = w.parameter("UnnamedReaction_2");
  EXPECT_EQ(w.table.findByQualifiedName("UnnamedReaction_3.ku"), &ku);

  w.table.componentRemoved(&first);
  list.erase(list.begin());
  third.setDefaultName("UnnamedReaction_2");
  EXPECT_EQ(w.table.rekeyComponents({}), 0u);

  EXPECT_EQ(w.table.resolveSymbolImpl("ku", &third), &ku);
  EXPECT_EQ(w.table.findInNamespace("UnnamedReaction_2", *w.table.getNamespace(
                                                             SymbolTable::reactionNamespace)),
            &third);
  EXPECT_EQ(w.table.findByQualifiedName("UnnamedReaction_2.ku"), &ku);
  EXPECT_TRUE(w.table.isNameInNamespace("UnnamedReaction_2.ku",
                                        SymbolTable::reactionParameterNamespace));
  EXPECT_TRUE(w.table.isComponentNameInUse("UnnamedReaction_2", kstr::reaction));
  // Other namespaces keep the name as written.
  EXPECT_EQ(w.table.findByQualifiedName("UnnamedReaction_2"), &lookalike);
  for (const char* name : {"UnnamedReaction_1", "UnnamedReaction_3", "UnnamedReaction_3.ku",
                           "UnnamedReaction_02", "UnnamedReaction_0", "UnnamedReaction_",
                           "UnnamedReaction_2x", "UnnamedReaction_99999999999999999999999"}) {
    EXPECT_FALSE(w.table.isNameInNamespace(name, SymbolTable::reactionNamespace)) << name;
    EXPECT_FALSE(w.table.isNameInNamespace(name, SymbolTable::reactionParameterNamespace))
        << name;
  }
  std::ostringstream listing;
  w.table.print(listing);
  EXPECT_NE(listing.str().find("\nUnnamedReaction_2.ku "), std::string::npos) << listing.str();
  EXPECT_NE(listing.str().find("\nUnnamedReaction_2 "), std::string::npos) << listing.str();
  EXPECT_EQ(listing.str().find('\x01'), std::string::npos);

  // Named now: its parameter follows, and listeners hear the old names.
  RecordingListener& onKu = w.listener("onKu");
  ku.addListener(&onKu);
  w.nameChanged(third, "r3");
  EXPECT_EQ(w.table.findByQualifiedName("r3.ku"), &ku);
  EXPECT_EQ(w.table.findByQualifiedName("UnnamedReaction_2.ku"), nullptr);
  EXPECT_EQ(onKu.count("nameChange"), 1u);
  EXPECT_NE(std::find(onKu.calls.begin(), onKu.calls.end(),
                      "nameChange r3.ku ku UnnamedReaction_2.ku"),
            onKu.calls.end())
      << ::testing::PrintToString(onKu.calls);
}

TEST_F(PropagationTest, CompartmentRenameReachesSpeciesAndTheirListenersInOrder) {
  TestComponent& cell = w.compartment("cell");
  TestComponent& a = w.species("A", cell);
  TestComponent& other = w.compartment("cellar");
  TestComponent& b = w.species("B", other);
  RecordingListener& onCell = w.listener("onCell");
  RecordingListener& onA = w.listener("onA");
  RecordingListener& onB = w.listener("onB");
  w.table.resolveSymbolAndListen("cell", &onCell);
  w.table.resolveSymbolAndListen("cell.A", &onA);
  w.table.resolveSymbolAndListen("cellar.B", &onB);

  w.rename(cell, "cyto");
  EXPECT_EQ(w.journal, (Strings{
                           "onCell: rename cell cyto",
                           "onA: parentRename cell.A cell cyto cell.A cyto.A",
                           "onCell: nameChange cyto cell cell",
                           "onCell: removed cyto",
                           "onA: nameChange cyto.A A cell.A",
                           "onA: removed cyto.A",
                           "onA: added cyto.A",
                           "onCell: added cyto",
                       }));
  EXPECT_TRUE(onB.calls.empty());
  EXPECT_EQ(w.table.findByQualifiedName("cyto.A"), &a);
  EXPECT_EQ(w.table.findByQualifiedName("cell.A"), nullptr);
  EXPECT_EQ(w.table.findByQualifiedName("cellar.B"), &b);
  // After a rename the component has no listeners until they resolve again.
  EXPECT_TRUE(cell.getListeners().empty());
  EXPECT_TRUE(a.getListeners().empty());
}

TEST_F(PropagationTest, ReactionRenameReKeysItsParameters) {
  RecordingListener& r1 = w.reaction("r1");
  TestComponent& k = w.reactionParameter("k", r1);
  RecordingListener& onK = w.listener("onK");
  k.addListener(&onK);

  w.rename(r1, "r2");
  EXPECT_EQ(w.table.findByQualifiedName("r2.k"), &k);
  EXPECT_EQ(w.table.findByQualifiedName("r1.k"), nullptr);
  EXPECT_EQ(w.table.findByQualifiedName("r2"), &r1);
  // As for a compartment's species, the parameter's listeners first hear
  // its new qualified name (to rewrite r1.k), then the re-keying.
  EXPECT_EQ(onK.calls,
            (Strings{"parentRename r1.k r1 r2 r1.k r2.k", "nameChange r2.k k r1.k", "removed r2.k", "added r2.k"}));
  EXPECT_EQ(w.table.getComponentCount(), 2u);
}

TEST_F(PropagationTest, NameChangeToleratesAMissingOldKey) {
  TestComponent& p = w.parameter("p");
  TestComponent& x = w.parameter("x");
  TestComponent& twin = w.parameter("x");  // never entered
  RecordingListener& onP = w.listener("onP");
  p.addListener(&onP);

  p.setName("q");
  EXPECT_NO_THROW(w.table.componentNameChanged(&p, "p", "not-a-key"));
  EXPECT_EQ(w.table.findByQualifiedName("q"), &p);
  EXPECT_FALSE(w.table.isNameInNamespace("p", SymbolTable::modelParameterNamespace));
  EXPECT_EQ(onP.calls, (Strings{"nameChange q p not-a-key", "removed q", "added q"}));

  // The old key held by another component stays with that component.
  w.nameChanged(twin, "y");
  EXPECT_EQ(w.table.findByQualifiedName("x"), &x);
  EXPECT_EQ(w.table.findByQualifiedName("y"), &twin);
  EXPECT_EQ(w.table.getComponentCount(), 3u);
}

TEST_F(PropagationTest, RenamingOntoATakenKeyLeavesOnlyTheBracketedName) {
  TestComponent& a = w.parameter("a");
  TestComponent& b = w.parameter("b");
  w.nameChanged(b, "a");
  const SymbolTable::Namespace& ns = *w.table.getNamespace(SymbolTable::modelParameterNamespace);
  EXPECT_EQ(ns.findQualified("a"), &a);
  EXPECT_EQ(ns.findQualified("b"), nullptr);
  EXPECT_EQ(ns.countNamed("a"), 2u);
  EXPECT_TRUE(w.table.containsComponent(&b));

  w.table.componentRemoved(&b);
  EXPECT_EQ(ns.countNamed("a"), 1u);
  EXPECT_FALSE(w.table.containsComponent(&b));
  EXPECT_EQ(w.table.findInNamespace("a", ns), &a);
}

TEST_F(PropagationTest, UndoableRenameAnswersOneEntryPerListener) {
  TestComponent& k = w.parameter("k");
  RecordingListener& l1 = w.listener("l1");
  RecordingListener& l2 = w.listener("l2");
  RecordingListener& l3 = w.listener("l3");
  for (RecordingListener* l : {&l1, &l2, &l3}) k.addListener(l);
  l1.renameAdds = {5};
  l3.renameAdds = {0, 4294967295u};
  const int unrelated = 0;
  SymbolTable::ListenerUndoMap given;
  given[static_cast<const void*>(static_cast<ExpressionBasedComponent*>(&l1))] = {1, 2};
  given[static_cast<const void*>(static_cast<ExpressionBasedComponent*>(&l2))] = {};
  given[&unrelated] = {9};

  SymbolTable::ListenerUndoMap answer = w.table.componentRename(&k, "k2", given);
  auto key = [](RecordingListener& l) {
    return static_cast<const void*>(static_cast<ExpressionBasedComponent*>(&l));
  };
  SymbolTable::ListenerUndoMap expected;
  expected[key(l1)] = {1, 2, 5};
  expected[key(l2)] = {};
  expected[key(l3)] = {0, 4294967295u};
  EXPECT_EQ(answer, expected);
  EXPECT_EQ(l1.renameGiven, (std::vector<std::set<size_t>>{{1, 2}}));
  EXPECT_EQ(l3.renameGiven, (std::vector<std::set<size_t>>{{}}));
  EXPECT_EQ(l2.calls, Strings{"rename k k2"});
  // The table is re-keyed only when the name is set.
  EXPECT_EQ(w.table.findByQualifiedName("k"), &k);
}

// --- listeners that call back into the table while they are told -------------------

// For each propagating operation: every listener told changes the table
// while it is told (re-resolves, leaves, waits, and hands the component a
// late listener).  Each original listener is still told exactly once per
// phase, and the late one is not told in a phase that began before it came.
// (A rename's second phase, the addition under the new name, rightly
// reaches the late listener: it listens by then.)
struct ReentryCase {
  std::string name;
  Strings whats;  // the updates every listener must get once, and the late one never
  std::function<void(SymbolTableWorld&, TestComponent&)> change;
};

void PrintTo(const ReentryCase& c, std::ostream* out) { *out << c.name; }

class ReentryTest : public PropagationTest,
                    public ::testing::WithParamInterface<ReentryCase> {};

TEST_P(ReentryTest, EachListenerIsToldExactlyOnce) {
  const ReentryCase& c = GetParam();
  TestComponent& cell = w.compartment("cell");
  TestComponent& k = w.species("k", cell, c.whats != Strings{"added"});
  TestComponent& modelK = w.parameter("k");
  RecordingListener& late = w.listener("late");
  std::vector<RecordingListener*> told;
  for (const char* label : {"l1", "l2", "l3", "l4"}) {
    RecordingListener& l = w.listener(label);
    k.addListener(&l);
    modelK.addListener(&l);
    w.table.addPendingListener("k", &l);
    told.push_back(&l);
  }
  for (RecordingListener* l : told) {
    l->onCall = [&, l](const std::string&, const KelborComponent* component) {
      w.table.resolveSymbolsAndListen({"k", "cell.k"}, {"k", "cell.k", "x"}, l);
      for (RecordingListener* other : told) {
        const_cast<KelborComponent*>(component)->removeListener(other);
        modelK.removeListener(other);
        w.table.removePendingListener("k", other);
      }
      const_cast<KelborComponent*>(component)->addListener(&late);
      modelK.addListener(&late);
      w.table.addPendingListener("k", &late);
      w.table.addPendingListener("cell.k", &late);
    };
  }

  c.change(w, k);
  for (const std::string& what : c.whats) {
    for (RecordingListener* l : told) EXPECT_EQ(l->count(what + " "), 1u) << l->label();
    EXPECT_EQ(late.count(what + " "), 0u) << what;
  }
  EXPECT_FALSE(told.front()->calls.empty());
}

INSTANTIATE_TEST_SUITE_P(
    EveryPropagation, ReentryTest,
    ::testing::Values(
        ReentryCase{"Added", {"added"},
                    [](SymbolTableWorld& w, TestComponent& k) { w.table.componentAdded(&k); }},
        ReentryCase{"Removed", {"removed"},
                    [](SymbolTableWorld& w, TestComponent& k) { w.table.componentRemoved(&k); }},
        ReentryCase{"NameChanged", {"nameChange", "removed"},
                    [](SymbolTableWorld& w, TestComponent& k) { w.nameChanged(k, "k2"); }},
        ReentryCase{"Rename", {"rename"},
                    [](SymbolTableWorld& w, TestComponent& k) {
                      w.table.componentRename(&k, "k2");
                    }},
        ReentryCase{"UndoableRename", {"rename"},
                    [](SymbolTableWorld& w, TestComponent& k) {
                      w.table.componentRename(&k, "k2", SymbolTable::ListenerUndoMap());
                    }}),
    [](const ::testing::TestParamInfo<ReentryCase>& info) { return info.param.name; });

TEST_F(PropagationTest, ParentRenameIteratesOverACopyOfEachSpeciesListeners) {
  TestComponent& cell = w.compartment("cell");
  TestComponent& a = w.species("A", cell);
  RecordingListener& first = w.listener("first");
  RecordingListener& second = w.listener("second");
  RecordingListener& late = w.listener("late");
  a.addListener(&first);
  a.addListener(&second);
  auto leaveAndInvite = [&](const std::string&, const KelborComponent*) {
    a.removeListener(&first);
    a.removeListener(&second);
    a.addListener(&late);
  };
  first.onCall = leaveAndInvite;
  second.onCall = leaveAndInvite;

  w.table.notifyParentComponentRename(&cell, "my cell");
  EXPECT_EQ(first.calls, Strings{"parentRename cell.A cell [my cell] cell.A [my cell].A"});
  EXPECT_EQ(second.calls, first.calls);
  EXPECT_TRUE(late.calls.empty());
  // Only compartments have species below them.
  w.table.notifyParentComponentRename(&a, "B");
  EXPECT_TRUE(late.calls.empty());
}

// A compartment rename that runs out of host memory part way leaves every
// component in the table: its species are taken out and entered again
// under the new key one by one, and a species sharing its bare name with a
// species of another compartment gathers the old name's holders on the way.
TEST(PropagationMemoryTest, AFailedCompartmentRenameLeavesEveryComponentInTheTable) {
  registerMessageCatalog();
  size_t refused = 0;
  for (size_t k = 1;; ++k) {
    SymbolTableWorld w;
    TestComponent& c1 = w.compartment("c1");
    TestComponent& c2 = w.compartment("c2");
    std::vector<const TestComponent*> all{&c1, &c2};
    for (const char* name : {"A", "B", "C"}) {
      all.push_back(&w.species(name, c1));
      all.push_back(&w.species(name, c2));
    }
    RecordingListener& rule = w.listener("rule");
    w.table.resolveSymbolAndListen("c1.A", &rule);
    hbTestFailAllocationAt(k);
    try {
      w.nameChanged(c1, "d1");
    } catch (const std::bad_alloc&) {
      ++refused;
    }
    const size_t attempts = hbTestAllocationAttempts();
    hbTestFailAllocationAt(0);
    for (const TestComponent* c : all) {
      EXPECT_TRUE(w.table.containsComponent(c)) << c->getName() << ", allocation " << k;
    }
    if (attempts < k) break;  // the rename ran whole before the armed attempt
  }
  EXPECT_GT(refused, 0u);
}

}  // namespace
