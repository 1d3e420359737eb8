// The index from parameter names to the kinetic laws naming them: keys of
// bound names, and random notes and removals checked against a plain map.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "kinetics/ParameterBindingIndex.hpp"

namespace {

using kstr::ParameterBindingIndex;

TEST(ParameterBindingIndexTest, KeysOfBoundNames) {
  struct Row {
    const char *bound;
    std::vector<std::string> keys;
  };
  const Row rows[] = {
      {"", {}},           {"kf", {"kf"}},
      {"[a b]", {"a b"}}, {"r1.kf", {"r1.kf", "kf"}},
      {"[a.b]", {"a.b"}},
  };
  for (const Row &row : rows)
    EXPECT_EQ(ParameterBindingIndex::keysOf(row.bound), row.keys) << row.bound;
}

// Stand-ins for laws: the index never reads a law, it only hands the
// pointers back, so the address of a slot in this table serves.
struct FakeLaws {
  std::vector<char> addresses = std::vector<char>(200);
  const BKineticLaw *law(size_t i) const {
    return reinterpret_cast<const BKineticLaw *>(&addresses[i]);
  }
};

std::set<const BKineticLaw *>
sorted(const std::vector<const BKineticLaw *> &laws) {
  const std::set<const BKineticLaw *> set(laws.begin(), laws.end());
  EXPECT_EQ(set.size(), laws.size()) << "a law listed twice";
  return set;
}

// Laws noted under names (several times, with qualified names and names
// shared with other laws), some forgotten, some noted again with other
// names, in random order, with removals rare or frequent (so that lists are
// mostly empty slots and are closed up): every name answers exactly the
// live laws whose last names hold it.
TEST(ParameterBindingIndexTest, RandomNotesAndRemovalsAgreeWithAPlainMap) {
  for (const unsigned forgetsInEight : {3u, 7u}) {
    ParameterBindingIndex &index = ParameterBindingIndex::instance();
    const FakeLaws fakes;
    const std::vector<std::string> names = {"k0",    "k1",       "k2", "r1.k0",
                                            "[a b]", "r2.[a b]", "k3", "r3.k4"};
    std::vector<std::unique_ptr<ParameterBindingIndex::Places>> places(
        fakes.addresses.size());
    std::map<size_t, std::set<std::string>> reference; // law -> keys
    std::mt19937 random(7);
    for (int step = 0; step < 20000; ++step) {
      const size_t law = random() % places.size();
      if (random() % 8 < forgetsInEight && places[law]) {
        index.forget(*places[law]);
        places[law].reset();
        reference.erase(law);
      } else {
        if (!places[law])
          places[law] = std::make_unique<ParameterBindingIndex::Places>();
        kstrVector<std::string> given = {names[random() % names.size()]};
        if (random() % 2)
          given.push_back(names[random() % names.size()]);
        index.note(fakes.law(law), *places[law], given);
        std::set<std::string> &keys = reference[law];
        keys.clear();
        for (const std::string &name : given) {
          for (const std::string &key : ParameterBindingIndex::keysOf(name))
            keys.insert(key);
        }
      }
      if (step % 500 != 0)
        continue;
      for (const char *key : {"k0", "k1", "k2", "k3", "k4", "a b", "r1.k0",
                              "r2.[a b]", "r3.k4", "kx"}) {
        std::set<const BKineticLaw *> expected;
        for (const auto &[id, keys] : reference) {
          if (keys.count(key))
            expected.insert(fakes.law(id));
        }
        ASSERT_EQ(sorted(index.lawsNaming(key)), expected)
            << "step " << step << ", key " << key << ", forgets in eight "
            << forgetsInEight;
      }
    }
    for (auto &held : places) {
      if (held)
        index.forget(*held);
    }
    for (const char *key : {"k0", "k1", "a b", "r3.k4"})
      EXPECT_TRUE(index.lawsNaming(key).empty()) << key;
  }
}

// Laws leaving in the order they came (as when a model is deleted), a new
// law entered once most of them are gone, then the rest leaving newest
// first: the name answers the live laws throughout and none at the end.
TEST(ParameterBindingIndexTest, LawsLeavingInOrderAreAnsweredUntilTheLast) {
  ParameterBindingIndex &index = ParameterBindingIndex::instance();
  const FakeLaws fakes;
  std::vector<ParameterBindingIndex::Places> places(101);
  std::set<const BKineticLaw *> live;
  for (size_t i = 0; i < 100; ++i) {
    index.note(fakes.law(i), places[i], {"r.kq"});
    live.insert(fakes.law(i));
  }
  for (size_t i = 0; i < 60; ++i) {
    index.forget(places[i]);
    live.erase(fakes.law(i));
    if (i % 20 == 0) {
      EXPECT_EQ(sorted(index.lawsNaming("kq")), live) << i << " gone";
    }
  }
  index.note(fakes.law(100), places[100], {"kq"});
  live.insert(fakes.law(100));
  EXPECT_EQ(sorted(index.lawsNaming("kq")), live);
  EXPECT_EQ(index.lawsNaming("r.kq").size(), 40u);
  for (size_t i = 101; i-- > 60;) {
    index.forget(places[i]);
    live.erase(fakes.law(i));
    EXPECT_EQ(sorted(index.lawsNaming("kq")), live) << i << " gone";
  }
  EXPECT_TRUE(index.lawsNaming("kq").empty());
  EXPECT_TRUE(index.lawsNaming("r.kq").empty());
}

// Many names, entered while the index grows and taken out again: each
// name answers exactly the laws still holding it, before and after.
TEST(ParameterBindingIndexTest, ManyNamesComeAndGo) {
  ParameterBindingIndex& index = ParameterBindingIndex::instance();
  const FakeLaws fakes;
  constexpr size_t kNames = 3000;
  std::vector<ParameterBindingIndex::Places> places(kNames);
  const auto nameOf = [](size_t i) { return "many" + std::to_string(i); };
  for (size_t i = 0; i < kNames; ++i) index.note(fakes.law(i % 200), places[i], {nameOf(i)});
  for (size_t i = 0; i < kNames; i += 2) index.forget(places[i]);
  for (size_t i = 0; i < kNames; ++i) {
    const std::vector<const BKineticLaw*> expected =
        i % 2 ? std::vector<const BKineticLaw*>{fakes.law(i % 200)} : std::vector<const BKineticLaw*>{};
    ASSERT_EQ(index.lawsNaming(nameOf(i)), expected) << nameOf(i);
  }
  EXPECT_TRUE(index.lawsNaming("many" + std::to_string(kNames)).empty());
  for (size_t i = 1; i < kNames; i += 2) index.forget(places[i]);
  for (size_t i = 0; i < kNames; ++i) ASSERT_TRUE(index.lawsNaming(nameOf(i)).empty()) << nameOf(i);
}

// A copy of a law's record is empty, and assigning one record to another
// keeps the target's places: a copied law enters the index on its own.
TEST(ParameterBindingIndexTest, ACopiedRecordHoldsNoPlaces) {
  ParameterBindingIndex &index = ParameterBindingIndex::instance();
  const FakeLaws fakes;
  ParameterBindingIndex::Places first;
  index.note(fakes.law(0), first, {"kcopy"});
  ParameterBindingIndex::Places copy(first);
  index.forget(copy); // holds nothing: takes nothing out
  EXPECT_EQ(index.lawsNaming("kcopy").size(), 1u);
  ParameterBindingIndex::Places second;
  index.note(fakes.law(1), second, {"kcopy"});
  second = first; // keeps its own place
  index.forget(first);
  EXPECT_EQ(index.lawsNaming("kcopy"),
            std::vector<const BKineticLaw *>{fakes.law(1)});
  index.forget(second);
  EXPECT_TRUE(index.lawsNaming("kcopy").empty());
}

} // namespace
