// The flat pointer map: random insertions, lookups and removals (null key
// included, keys crowded into few homes) checked against std::unordered_map.
#include <gtest/gtest.h>

#include <random>
#include <unordered_map>
#include <vector>

#include "core/PointerMap.hpp"

namespace {

struct Value {
  int slot = 0;
  int count = 0;
};

// Keys: null and addresses inside one table, so that neighbouring keys
// collide and removals move runs that wrap around the end of the array.
TEST(PointerMapTest, RandomEditsAgreeWithAStandardMap) {
  std::vector<char> storage(300);
  std::vector<const char*> keys = {nullptr};
  for (char& c : storage) keys.push_back(&c);
  kstr::PointerMap<const char*, Value> map;
  std::unordered_map<const char*, Value> reference;
  std::mt19937 random(11);
  for (int step = 0; step < 60000; ++step) {
    // The live key range shrinks and grows, so the table both grows and
    // empties.
    const size_t span = 1 + (step / 5000 % 2 == 0 ? keys.size() - 1 : 40);
    const char* key = keys[random() % span];
    switch (random() % 4) {
      case 0:
      case 1: {
        const Value value{step, 1};
        auto [made, entered] = map.tryEmplace(key, value);
        auto expected = reference.try_emplace(key, value);
        ASSERT_EQ(entered, expected.second) << step;
        ++made->count;
        ++expected.first->second.count;
        break;
      }
      case 2:
        ASSERT_EQ(map.erase(key), reference.erase(key) == 1) << step;
        break;
      default: {
        const Value* found = map.find(key);
        auto expected = reference.find(key);
        ASSERT_EQ(found != nullptr, expected != reference.end()) << step;
        if (found) {
          EXPECT_EQ(found->slot, expected->second.slot);
          EXPECT_EQ(found->count, expected->second.count);
        }
      }
    }
    ASSERT_EQ(map.size(), reference.size()) << step;
    if (step % 7919 == 0) {
      for (const char* each : keys) {
        const Value* found = map.find(each);
        ASSERT_EQ(found != nullptr, reference.count(each) == 1) << step;
        if (found) {
          EXPECT_EQ(found->slot, reference.at(each).slot);
        }
      }
    }
  }
  map.clear();
  EXPECT_TRUE(map.empty());
  EXPECT_EQ(map.find(keys[1]), nullptr);
  EXPECT_EQ(map.find(nullptr), nullptr);
}

// One sweep takes out the entries a predicate picks (the null key among
// them), keeps the rest findable with their values, and leaves room to
// enter the swept keys again.
TEST(PointerMapTest, EraseIfSweepsThePickedEntries) {
  std::vector<char> storage(300);
  kstr::PointerMap<const char*, int> map;
  EXPECT_TRUE(map.tryEmplace(nullptr, 0).second);
  for (size_t i = 0; i < storage.size(); ++i) map.tryEmplace(&storage[i], static_cast<int>(i) + 1);
  const size_t gone = map.eraseIf([](const char*, int value) { return value % 3 == 0; });
  EXPECT_EQ(gone, 1u + storage.size() / 3);
  EXPECT_EQ(map.find(nullptr), nullptr);
  for (size_t i = 0; i < storage.size(); ++i) {
    const int* found = map.find(&storage[i]);
    if ((i + 1) % 3 == 0) {
      EXPECT_EQ(found, nullptr) << i;
    } else {
      ASSERT_NE(found, nullptr) << i;
      EXPECT_EQ(*found, static_cast<int>(i) + 1);
    }
  }
  EXPECT_EQ(map.size(), storage.size() - storage.size() / 3);
  EXPECT_TRUE(map.tryEmplace(&storage[2], 7).second);
  EXPECT_EQ(*map.find(&storage[2]), 7);
}

TEST(PointerMapTest, ReservedRoomKeepsEveryEntry) {
  std::vector<int> storage(5000);
  kstr::PointerMap<const int*, int> map;
  map.reserve(storage.size());
  for (size_t i = 0; i < storage.size(); ++i) EXPECT_TRUE(map.tryEmplace(&storage[i], static_cast<int>(i)).second);
  for (size_t i = 0; i < storage.size(); i += 2) EXPECT_TRUE(map.erase(&storage[i]));
  for (size_t i = 0; i < storage.size(); ++i) {
    const int* found = map.find(&storage[i]);
    if (i % 2 == 0) {
      EXPECT_EQ(found, nullptr) << i;
    } else {
      ASSERT_NE(found, nullptr) << i;
      EXPECT_EQ(*found, static_cast<int>(i));
    }
  }
  EXPECT_EQ(map.size(), storage.size() / 2);
  EXPECT_FALSE(map.erase(&storage[0]));
}

}  // namespace
