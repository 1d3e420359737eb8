// The counts of key texts by hash: holding and releasing agree with a plain
// map of counts through growth, reservation and the dropping of unheld
// hashes, including hashes that share a home slot.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <vector>

#include "expressions/KeyTextCounts.hpp"

namespace {

void expectAgrees(const kstr::KeyTextCounts& counts, const std::map<size_t, uint32_t>& expected,
                  const std::vector<size_t>& hashes) {
  for (size_t hash : hashes) {
    auto it = expected.find(hash);
    EXPECT_EQ(counts.count(hash), it == expected.end() ? 0u : it->second) << hash;
  }
}

TEST(KeyTextCountsTest, CountsAgreeWithAMapThroughGrowthReleaseAndDropping) {
  struct Case {
    const char* title;
    size_t hashRange;  // distinct hashes drawn from
    size_t spread;     // hashes are multiples of it: large ones share home slots
    int operations;
    size_t reserved;
  };
  const Case cases[] = {
      {"few hashes, many holders", 8, 1, 4000, 0},
      {"many hashes, many growths", 3000, 1, 20000, 0},
      {"hashes sharing home slots", 500, size_t{1} << 40, 8000, 0},
      {"reserved up front", 2000, 7, 6000, 4000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    kstr::KeyTextCounts counts;
    counts.reserve(c.reserved);
    std::map<size_t, uint32_t> expected;
    std::vector<size_t> hashes;
    for (size_t h = 0; h < c.hashRange; ++h) hashes.push_back(h * c.spread);
    std::mt19937 random(11);
    for (int i = 0; i < c.operations; ++i) {
      const size_t hash = hashes[random() % hashes.size()];
      if (random() % 3 == 0) {
        uint32_t& n = expected[hash];
        const uint32_t after = n > 0 ? n - 1 : 0;
        EXPECT_EQ(counts.release(hash), after);
        n = after;
      } else {
        EXPECT_EQ(counts.hold(hash), ++expected[hash]);
      }
      if (i % 1000 == 999) {
        size_t unheld = 0;
        for (const auto& [h, n] : expected) unheld += n == 0;
        EXPECT_LE(counts.unheld(), unheld);
        counts.dropUnheld();
        EXPECT_EQ(counts.unheld(), 0u);
        std::erase_if(expected, [](const auto& entry) { return entry.second == 0; });
        EXPECT_EQ(counts.size(), expected.size());
      }
    }
    expectAgrees(counts, expected, hashes);
  }
}

TEST(KeyTextCountsTest, AReleasedHashKeepsItsSlotUntilDroppedAndAnUnknownOneReleasesNothing) {
  kstr::KeyTextCounts counts;
  EXPECT_EQ(counts.release(42), 0u);
  EXPECT_EQ(counts.size(), 0u);
  EXPECT_EQ(counts.hold(42), 1u);
  EXPECT_EQ(counts.hold(42), 2u);
  EXPECT_EQ(counts.release(42), 1u);
  EXPECT_EQ(counts.release(42), 0u);
  EXPECT_EQ(counts.release(42), 0u);  // not below 0
  EXPECT_EQ(counts.size(), 1u);
  EXPECT_EQ(counts.unheld(), 1u);
  EXPECT_EQ(counts.hold(42), 1u);  // held again in its own slot
  EXPECT_EQ(counts.unheld(), 0u);
  counts.release(42);
  counts.dropUnheld();
  EXPECT_EQ(counts.size(), 0u);
  EXPECT_EQ(counts.count(42), 0u);
}

}  // namespace
