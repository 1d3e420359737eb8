// The hash index of an ordered index's keys: each key finds its first node
// (equal keys entered later do not replace it), keys that are absent find
// nothing, through growth, reservation and swap, checked against the
// ordered index itself.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "expressions/NodeKeyIndex.hpp"

namespace {

using Index = std::multimap<std::string, int>;

// Whether the hash index answers every key as the ordered index does.
void expectAgrees(const kstr::NodeKeyIndex<Index::iterator>& hash, Index& index, int keyRange) {
  for (int k = 0; k < keyRange; ++k) {
    const std::string key = "k" + std::to_string(k);
    const Index::iterator* found = hash.find(key);
    auto first = index.lower_bound(key);
    if (first == index.end() || first->first != key) {
      EXPECT_EQ(found, nullptr) << key;
    } else {
      ASSERT_NE(found, nullptr) << key;
      EXPECT_EQ(*found, first) << key;  // the first node of the key, not a later one
    }
  }
  EXPECT_EQ(hash.find(""), nullptr);
}

TEST(NodeKeyIndexTest, EachKeyFindsItsFirstNodeThroughGrowthReserveAndSwap) {
  struct Case {
    const char* title;
    int entries;
    int keyRange;
    size_t reserved;
  };
  const Case cases[] = {
      {"empty", 0, 10, 0},
      {"one key", 1, 3, 0},
      {"repeated keys, many growths", 5000, 300, 0},
      {"distinct keys reserved up front", 2000, 4000, 4000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    Index index;
    kstr::NodeKeyIndex<Index::iterator> hash;
    hash.reserve(c.reserved);
    std::mt19937 random(7);
    for (int i = 0; i < c.entries; ++i) {
      const std::string key = "k" + std::to_string(random() % c.keyRange);
      // After the equal keys already there, as the symbol table enters names.
      hash.tryEnter(index.emplace_hint(index.upper_bound(key), key, i));
    }
    expectAgrees(hash, index, c.keyRange);
    size_t keys = 0;
    for (auto it = index.begin(); it != index.end(); it = index.upper_bound(it->first)) ++keys;
    EXPECT_EQ(hash.size(), keys);

    kstr::NodeKeyIndex<Index::iterator> other;
    other.swap(hash);
    EXPECT_EQ(hash.size(), 0u);
    EXPECT_EQ(hash.find("k0"), nullptr);
    expectAgrees(other, index, c.keyRange);
  }
}

}  // namespace
