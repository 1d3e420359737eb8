// Removed entries of the symbol table's indexes: a taken-out component
// leaves its node behind until such nodes are dropped together.  Lookups,
// counts and the listing skip them, a key entered again takes its node
// back, equal bracketed names keep their order, and a random run of adds,
// removals and renames answers as plain ordered maps do.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <ks_utils/Identifiers.hpp>

#include "SymbolTableFixtures.hpp"

namespace {

using Components = std::vector<const KelborComponent*>;

Components namedInOrder(const SymbolTable& table, const std::string& name) {
  Components found;
  const SymbolTable::Namespace& species = *table.getNamespace(SymbolTable::speciesNamespace);
  for (const auto& [key, component] : species.named(name)) {
    found.push_back(component);
  }
  return found;
}

std::string printed(const SymbolTable& table) {
  std::ostringstream out;
  table.print(out);
  return out.str();
}

class RemovedEntriesTest : public ::testing::Test {
 protected:
  void SetUp() override { registerMessageCatalog(); }
  const SymbolTable::Namespace& species() const {
    return *w.table.getNamespace(SymbolTable::speciesNamespace);
  }
  SymbolTableWorld w;
};

TEST_F(RemovedEntriesTest, ARemovedComponentAnswersNothingAndItsKeyIsTakenBack) {
  TestComponent& cell = w.compartment("cell");
  TestComponent& first = w.species("A", cell);
  RecordingListener& rule = w.listener("rule");
  w.table.resolveSymbolAndListen("A", &rule);
  w.table.componentRemoved(&first);

  EXPECT_EQ(w.table.findByQualifiedName("cell.A"), nullptr);
  EXPECT_EQ(w.table.resolveSymbol("A"), nullptr);
  EXPECT_EQ(w.table.resolveSpecies("A"), SymbolTable::SpeciesMatch(nullptr, false));
  EXPECT_FALSE(w.table.isNameInNamespace("A", SymbolTable::speciesNamespace));
  EXPECT_FALSE(w.table.isNameInNamespace("cell.A", SymbolTable::speciesNamespace));
  EXPECT_FALSE(w.table.isComponentNameInUse("A", kstr::species));
  EXPECT_EQ(w.table.getListenerCount("A", SymbolTable::speciesNamespace), 0u);
  EXPECT_TRUE(namedInOrder(w.table, "A").empty());
  EXPECT_EQ(species().liveQualifiedCount(), 0u);
  EXPECT_EQ(printed(w.table).find(address(&first)), std::string::npos) << printed(w.table);
  // The two nodes are kept, marked removed.
  EXPECT_EQ(species().byQualifiedName.size(), 1u);
  EXPECT_EQ(species().byName.size(), 1u);

  // A new species under the same keys takes both nodes back.
  TestComponent& second = w.species("A", cell);
  EXPECT_EQ(w.table.findByQualifiedName("cell.A"), &second);
  EXPECT_EQ(w.table.resolveSpecies("A"), SymbolTable::SpeciesMatch(&second, true));
  EXPECT_EQ(species().byQualifiedName.size(), 1u);
  EXPECT_EQ(species().byName.size(), 1u);
  EXPECT_EQ(species().removedQualified + species().removedNames, 0u);
  EXPECT_NE(printed(w.table).find("cell.A"), std::string::npos);
  w.table.componentRemoved(&second);
  EXPECT_FALSE(w.table.containsComponent(&second));
  EXPECT_EQ(w.table.getComponentCount(), 1u);  // the compartment
}

TEST_F(RemovedEntriesTest, EqualBracketedNamesKeepTheirOrderAcrossRemovedEntries) {
  TestComponent& c1 = w.compartment("c1");
  TestComponent& c2 = w.compartment("c2");
  TestComponent& c3 = w.compartment("c3");
  TestComponent& c4 = w.compartment("c4");
  TestComponent& a1 = w.species("A", c1);
  TestComponent& a2 = w.species("A", c2);
  TestComponent& a3 = w.species("A", c3);

  // A removed entry between two live ones: still ambiguous, order kept.
  w.table.componentRemoved(&a2);
  EXPECT_EQ(namedInOrder(w.table, "A"), (Components{&a1, &a3}));
  EXPECT_EQ(w.table.resolveSpecies("A"), SymbolTable::SpeciesMatch(nullptr, true));
  // The first removed too: one live entry behind a removed one answers.
  w.table.componentRemoved(&a1);
  EXPECT_EQ(w.table.resolveSpecies("A"), SymbolTable::SpeciesMatch(&a3, true));
  EXPECT_EQ(species().countNamed("A"), 1u);
  EXPECT_EQ(w.table.findInNamespace("A", species()), &a3);
  // New entries go after every live one, never into an earlier removed node.
  TestComponent& a4 = w.species("A", c4);
  EXPECT_EQ(namedInOrder(w.table, "A"), (Components{&a3, &a4}));
  // The last entry removed and a new one entered: its node is taken back,
  // still after the live ones.
  w.table.componentRemoved(&a4);
  const size_t nodes = species().byName.size();
  TestComponent& a5 = w.species("A", c4);
  EXPECT_EQ(species().byName.size(), nodes);
  EXPECT_EQ(namedInOrder(w.table, "A"), (Components{&a3, &a5}));
  // The same order after a rename away from A and back.
  w.nameChanged(a3, "B");
  w.nameChanged(a3, "A");
  EXPECT_EQ(namedInOrder(w.table, "A"), (Components{&a5, &a3}));
}

// Many components share a bracketed name and leave in every order: no
// removed entry stays ahead of a live one of that name (at most the last
// is kept, for the next to take back), so counting and finding the first
// never walk past the ones that left, and the order of the rest holds.
TEST_F(RemovedEntriesTest, ASharedNameKeepsNoRemovedEntryAheadOfALiveOne) {
  struct Case {
    const char* label;
    std::vector<size_t> leaving;  // indexes, in order of removal
  } cases[] = {
      {"from the front", {0, 1, 2, 3, 4, 5}},
      {"from the back", {7, 6, 5, 4, 3, 2}},
      {"from the middle out", {3, 4, 2, 5, 1, 6}},
      {"every other", {0, 2, 4, 6, 7, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    SymbolTableWorld world;
    std::vector<const KelborComponent*> live;
    for (size_t i = 0; i < 8; ++i) {
      live.push_back(&world.species("A", world.compartment("c" + std::to_string(i))));
    }
    const auto entry = live;
    const SymbolTable::Namespace& space = *world.table.getNamespace(SymbolTable::speciesNamespace);
    for (size_t index : c.leaving) {
      world.table.componentRemoved(const_cast<KelborComponent*>(entry[index]));
      std::erase(live, entry[index]);
      const auto [first, last] = space.byName.equal_range("A");
      size_t removed = 0;
      for (auto it = first; it != last; ++it) {
        if (it->second) continue;
        ++removed;
        EXPECT_EQ(std::next(it), last) << "a removed entry ahead of a live one";
      }
      EXPECT_LE(removed, 1u);
      EXPECT_EQ(namedInOrder(world.table, "A"), live);
      EXPECT_EQ(space.countNamed("A"), live.size());
      EXPECT_EQ(space.firstNamed("A"), live.front());
      EXPECT_EQ(world.table.resolveSpecies("A"),
                SymbolTable::SpeciesMatch(live.size() == 1 ? const_cast<KelborComponent*>(live.front()) : nullptr,
                                          true));
    }
    // A newcomer goes after the rest.
    live.push_back(&world.species("A", world.compartment("late")));
    EXPECT_EQ(namedInOrder(world.table, "A"), live);
  }
}

TEST_F(RemovedEntriesTest, RemovedEntriesAreDroppedOnceTheyOutnumberTheLiveOnes) {
  std::vector<TestComponent*> parameters;
  for (int i = 0; i < 300; ++i) parameters.push_back(&w.parameter("p" + std::to_string(i)));
  const SymbolTable::Namespace& space = *w.table.getNamespace(SymbolTable::modelParameterNamespace);
  size_t mostKept = 0;
  for (int i = 0; i < 250; ++i) {
    w.table.componentRemoved(parameters[i]);
    mostKept = std::max(mostKept, space.byQualifiedName.size());
    // Never more removed nodes than live ones, once past a few.
    ASSERT_LE(space.removedQualified, std::max<size_t>(64, space.liveQualifiedCount()));
    ASSERT_LE(space.removedNames, std::max<size_t>(64, space.liveNameCount()));
  }
  EXPECT_LT(space.byQualifiedName.size(), 300u);
  EXPECT_EQ(space.liveQualifiedCount(), 50u);
  EXPECT_EQ(space.liveNameCount(), 50u);
  EXPECT_EQ(mostKept, 300u);
  // The survivors were moved to new nodes: each still answers, is renamed
  // and removed through its own entries.
  for (int i = 250; i < 300; ++i) {
    ASSERT_EQ(w.table.findByQualifiedName("p" + std::to_string(i)), parameters[i]);
    w.nameChanged(*parameters[i], "q" + std::to_string(i));
    ASSERT_EQ(w.table.findByQualifiedName("q" + std::to_string(i)), parameters[i]);
    ASSERT_EQ(w.table.findByQualifiedName("p" + std::to_string(i)), nullptr);
  }
  for (int i = 250; i < 300; ++i) w.table.componentRemoved(parameters[i]);
  EXPECT_EQ(w.table.getComponentCount(), 0u);
  EXPECT_EQ(space.liveQualifiedCount() + space.liveNameCount(), 0u);
  // Listed with no rows.
  const std::string text = printed(w.table);
  EXPECT_EQ(text.find("Parameter namespace\n\n\n"), text.find("Parameter namespace")) << text;
}

TEST_F(RemovedEntriesTest, RemovingABracketedNameEntryLeavesTheOthersAnswering) {
  TestComponent& c1 = w.compartment("c1");
  TestComponent& c2 = w.compartment("c2");
  TestComponent& a1 = w.species("A", c1);
  TestComponent& a2 = w.species("A", c2);
  auto& space = const_cast<SymbolTable::Namespace&>(species());
  EXPECT_TRUE(w.table.removeNameEntry("A", &a1, space));
  EXPECT_FALSE(w.table.removeNameEntry("A", &a1, space));
  // A null component never matches a removed entry.
  EXPECT_FALSE(w.table.removeNameEntry("A", nullptr, space));
  EXPECT_EQ(namedInOrder(w.table, "A"), (Components{&a2}));
  EXPECT_EQ(w.table.resolveSpecies("A"), SymbolTable::SpeciesMatch(&a2, true));
  // The qualified key stays.
  EXPECT_EQ(w.table.findByQualifiedName("c1.A"), &a1);
}

// Plain ordered maps kept with the table's rules: the first component under
// a qualified key keeps it, bracketed names are appended after equal ones,
// and a removal erases.
struct PlainIndex {
  std::map<std::string, const KelborComponent*> qualified;
  std::multimap<std::string, const KelborComponent*> names;
  std::map<const KelborComponent*, std::pair<std::string, std::string>> keys;

  void enter(const KelborComponent* c) {
    takeOut(c);
    std::string bracketed = c->getName();
    bracketNameIfNotValidIdentifier(bracketed);
    const std::string key = qualifiedNameOf(c);
    const bool keyed = qualified.emplace(key, c).second;
    names.emplace(bracketed, c);
    keys[c] = {keyed ? key : "", bracketed};
  }
  void takeOut(const KelborComponent* c) {
    auto found = keys.find(c);
    if (found == keys.end()) return;
    if (!found->second.first.empty()) qualified.erase(found->second.first);
    for (auto [it, end] = names.equal_range(found->second.second); it != end; ++it) {
      if (it->second == c) {
        names.erase(it);
        break;
      }
    }
    keys.erase(found);
  }
};

TEST_F(RemovedEntriesTest, RandomAddsRemovalsAndRenamesAnswerAsPlainMaps) {
  std::mt19937 random(17);
  std::vector<TestComponent*> compartments;
  for (int i = 0; i < 3; ++i) compartments.push_back(&w.compartment("c" + std::to_string(i)));
  std::vector<std::string> pool = {"my A"};
  for (int i = 0; i < 40; ++i) pool.push_back("n" + std::to_string(i));
  std::vector<TestComponent*> made;
  PlainIndex plain;
  const auto anyName = [&] { return pool[random() % pool.size()]; };
  for (int step = 0; step < 4000; ++step) {
    const unsigned what = random() % 10;
    if (made.empty() || what < 4) {
      TestComponent& c = w.species(anyName(), *compartments[random() % compartments.size()], false);
      made.push_back(&c);
      // The table enters it only when its qualified key is free.
      if (!plain.qualified.count(qualifiedNameOf(&c))) plain.enter(&c);
      w.table.componentAdded(&c);
    } else if (what < 8) {
      TestComponent* c = made[random() % made.size()];
      plain.takeOut(c);
      w.table.componentRemoved(c);
    } else {
      TestComponent* c = made[random() % made.size()];
      const std::string oldName = c->getName();
      const std::string oldQualified = qualifiedNameOf(c);
      c->setName(anyName());
      plain.enter(c);
      w.table.componentNameChanged(c, oldName, oldQualified);
    }
    ASSERT_EQ(w.table.getComponentCount(), compartments.size() + plain.keys.size())
        << "step " << step;
    if (step % 7 != 0) continue;
    const SymbolTable::Namespace& space = species();
    auto live = space.entries();
    const std::map<std::string, const KelborComponent*> qualified(live.begin(), live.end());
    ASSERT_EQ(qualified, plain.qualified) << "step " << step;
    auto liveNames = space.nameEntries();
    const std::vector<std::pair<std::string, const KelborComponent*>> names(liveNames.begin(),
                                                                            liveNames.end());
    ASSERT_EQ(names, (std::vector<std::pair<std::string, const KelborComponent*>>(
                         plain.names.begin(), plain.names.end())))
        << "step " << step;
    for (const std::string& name : pool) {
      std::string bracketed = name;
      bracketNameIfNotValidIdentifier(bracketed);
      const size_t holders = plain.names.count(bracketed);
      const KelborComponent* only = holders == 1 ? plain.names.find(bracketed)->second : nullptr;
      const SymbolTable::SpeciesMatch expected(const_cast<KelborComponent*>(only), holders != 0);
      ASSERT_EQ(w.table.resolveSpecies(bracketed), expected) << name << " at step " << step;
      ASSERT_EQ(w.table.isNameInNamespace(bracketed, SymbolTable::speciesNamespace), holders != 0);
    }
  }
  EXPECT_LE(species().removedNames, std::max<size_t>(64, species().liveNameCount()));
}

}  // namespace
