// The engine's member lists and their slot counting: removals that keep the
// order without moving the rest, mixed with reads, agree with a plain list.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "core/LiveSlotTree.hpp"
#include "core/MemberList.hpp"

namespace {

// Distinct addresses to stand for members; never dereferenced.
std::vector<int*> members(size_t n) {
  static std::vector<int> storage(20000);
  std::vector<int*> out;
  for (size_t i = 0; i < n; ++i) out.push_back(&storage[i]);
  return out;
}

std::vector<int*> asPlain(const kstrVector<int*>& list) { return {list.begin(), list.end()}; }

TEST(LiveSlotTreeTest, PositionsAndSlotsAgreeWithACount) {
  kstr::LiveSlotTree tree;
  std::vector<char> alive;
  std::mt19937 random(3);
  for (int step = 0; step < 4000; ++step) {
    if (alive.empty() || random() % 3 != 0) {
      tree.push();
      alive.push_back(1);
    } else {
      const size_t slot = random() % alive.size();
      tree.kill(slot);
      alive[slot] = 0;
    }
    if (step % 97 != 0) continue;
    size_t live = 0;
    for (size_t slot = 0; slot < alive.size(); ++slot) {
      ASSERT_EQ(tree.liveBefore(slot), live);
      ASSERT_EQ(tree.isLive(slot), alive[slot] != 0);
      if (alive[slot]) {
        ASSERT_EQ(tree.slotOf(live++), slot);
      }
    }
    ASSERT_EQ(tree.live(), live);
    ASSERT_EQ(tree.slotOf(live), tree.slots());
  }
}

// A reset list of a length that is no whole number of 64-slot words, then
// removals at the word edges and pushes past them.
TEST(LiveSlotTreeTest, ResetCountsEverySlotUpToAnUnevenEnd) {
  for (size_t count : {0u, 1u, 63u, 64u, 65u, 130u}) {
    kstr::LiveSlotTree tree;
    tree.reset(count);
    std::vector<char> alive(count, 1);
    for (size_t slot : {0u, 63u, 64u, 129u}) {
      if (slot >= count) continue;
      tree.kill(slot);
      alive[slot] = 0;
    }
    for (int more = 0; more < 3; ++more) {
      tree.push();
      alive.push_back(1);
    }
    size_t live = 0;
    for (size_t slot = 0; slot < alive.size(); ++slot) {
      ASSERT_EQ(tree.liveBefore(slot), live) << count << " slots, slot " << slot;
      ASSERT_EQ(tree.isLive(slot), alive[slot] != 0);
      if (alive[slot]) {
        ASSERT_EQ(tree.slotOf(live++), slot);
      }
    }
    EXPECT_EQ(tree.live(), live);
    EXPECT_EQ(tree.slotOf(live), tree.slots());
    EXPECT_FALSE(tree.isLive(tree.slots()));
  }
}

// Removals by position, by search and with a wrong position, appends,
// replacements and reads in random order against a plain list.
TEST(MemberListTest, RandomEditsAndReadsMatchAPlainList) {
  const auto all = members(20000);
  std::mt19937 random(11);
  kstr::MemberList<int*> list;
  std::vector<int*> plain;
  size_t next = 0;
  for (int step = 0; step < 20000; ++step) {
    const unsigned what = random() % 10;
    if (plain.empty() || (what < 4 && next < all.size())) {
      list.push_back(all[next]);
      plain.push_back(all[next++]);
    } else if (what < 8) {
      const size_t i = random() % plain.size();
      // Mostly the true position; now and then none or a wrong one.
      const long position = what == 7   ? -1
                            : what == 6 ? static_cast<long>((i + 1) % plain.size())
                                        : static_cast<long>(i);
      ASSERT_TRUE(list.erase(plain[i], position));
      plain.erase(plain.begin() + static_cast<long>(i));
    } else if (what == 8) {
      ASSERT_EQ(asPlain(list.items()), plain);
    } else if (random() % 50 == 0) {
      std::shuffle(plain.begin(), plain.end(), random);
      list.assign(kstrVector<int*>(plain.begin(), plain.end()));
    }
    ASSERT_EQ(list.size(), plain.size());
  }
  EXPECT_FALSE(list.erase(all[next - 1] + 1, 0));
  EXPECT_EQ(asPlain(list.items()), plain);
}

TEST(MemberListTest, CopiesAndChangeableItemsSeeTheMembersOnly) {
  const auto m = members(6);
  kstr::MemberList<int*> list;
  for (int* x : m) list.push_back(x);
  ASSERT_TRUE(list.erase(m[1], 1));
  ASSERT_TRUE(list.erase(m[4], 3));
  const kstr::MemberList<int*> copy = list;
  EXPECT_EQ(asPlain(copy.items()), (std::vector<int*>{m[0], m[2], m[3], m[5]}));
  ASSERT_TRUE(list.erase(m[2], 1));
  // A change made through the changeable view is followed by later removals.
  list.changeableItems().insert(list.changeableItems().begin(), m[4]);
  ASSERT_TRUE(list.erase(m[3], 2));
  EXPECT_EQ(asPlain(list.items()), (std::vector<int*>{m[4], m[0], m[5]}));
  EXPECT_EQ(asPlain(copy.items()), (std::vector<int*>{m[0], m[2], m[3], m[5]}));
  ASSERT_TRUE(list.eraseUnordered(m[0]));
  EXPECT_EQ(list.size(), 2u);
}

}  // namespace
