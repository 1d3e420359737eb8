// The engine's indexed handle vector: membership and positions agree with the
// host Vector's own linear answers through every kind of change, and the
// Vector's elements are the members whenever it is handed out.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include <obk/Vector.hpp>

#include "host/HandleVector.hpp"
#include "host/HostHelpers.hpp"

namespace {

// Distinct addresses to stand for instances; never dereferenced.
std::vector<OBInterface*> handles(size_t n) {
  static std::vector<char> storage(100000);
  std::vector<OBInterface*> out;
  for (size_t i = 0; i < n; ++i) out.push_back(reinterpret_cast<OBInterface*>(&storage[i]));
  return out;
}

// Every handle's indexed position equals the host Vector's indexOf once the
// Vector is handed out (published).
void expectAgreesWithLinearSearch(const HandleVector& v, const std::vector<OBInterface*>& all) {
  v.publish();
  ASSERT_EQ(v.memberCount(), v.size());
  for (OBInterface* h : all) {
    ASSERT_EQ(v.positionOf(h), v.indexOf(h));
    ASSERT_EQ(v.holds(h), v.indexOf(h) >= 0);
  }
}

TEST(HandleVectorTest, RemovalKeepsTheOrderOfTheOthers) {
  const auto h = handles(5);
  HandleVector v;
  for (OBInterface* x : h) v.append(x);
  EXPECT_TRUE(v.remove(h[1]));
  EXPECT_FALSE(v.remove(h[1]));
  EXPECT_TRUE(v.remove(h[3]));
  EXPECT_EQ(v.memberCount(), 3);
  EXPECT_EQ(publishedHandleVector(&v)->elements(), (std::vector<OBInterface*>{h[0], h[2], h[4]}));
  EXPECT_EQ(v.positionOf(h[4]), 2);
  EXPECT_EQ(v.positionOf(h[1]), -1);
  v.clear();
  EXPECT_EQ(v.size(), 0);
  EXPECT_FALSE(v.holds(h[0]));
}

TEST(HandleVectorTest, RandomAppendsAndRemovalsMatchTheLinearSearch) {
  const auto all = handles(3000);
  std::mt19937 random(7);
  HandleVector v;
  std::vector<OBInterface*> members;
  std::vector<OBInterface*> outside = all;
  for (int step = 0; step < 20000; ++step) {
    const bool add = members.empty() || (!outside.empty() && random() % 3 != 0);
    if (add) {
      const size_t i = random() % outside.size();
      v.append(outside[i]);
      members.push_back(outside[i]);
      outside.erase(outside.begin() + static_cast<long>(i));
    } else {
      const size_t i = random() % members.size();
      ASSERT_TRUE(v.remove(members[i]));
      outside.push_back(members[i]);
      members.erase(members.begin() + static_cast<long>(i));
    }
    ASSERT_EQ(v.memberCount(), static_cast<int>(members.size()));
    // Handed out now and then, as the host reads it between edits.
    if (random() % 50 == 0) {
      ASSERT_EQ(publishedHandleVector(&v)->elements(), members);
    }
    if (step % 1000 == 0) expectAgreesWithLinearSearch(v, all);
  }
  v.publish();
  EXPECT_EQ(v.elements(), members);
  expectAgreesWithLinearSearch(v, all);
}

// Changes made through the plain host interface are noticed on the next
// question.
TEST(HandleVectorTest, ChangesThroughTheHostInterfaceAreNoticed) {
  const auto h = handles(6);
  struct Case {
    const char* what;
    void (*change)(Vector&, const std::vector<OBInterface*>&);
  };
  const Case cases[] = {
      {"addElement", [](Vector& v, const std::vector<OBInterface*>& x) { v.addElement(x[5]); }},
      {"removeElementAt", [](Vector& v, const std::vector<OBInterface*>&) { v.removeElementAt(0); }},
      {"insertElementAt", [](Vector& v, const std::vector<OBInterface*>& x) { v.insertElementAt(x[5], 1); }},
      {"same size, other order",
       [](Vector& v, const std::vector<OBInterface*>& x) {
         v.removeElementAt(0);
         v.addElement(x[0]);
       }},
      {"same size, other member",
       [](Vector& v, const std::vector<OBInterface*>& x) {
         v.removeElementAt(0);
         v.insertElementAt(x[5], 0);
       }},
      {"duplicate", [](Vector& v, const std::vector<OBInterface*>& x) { v.addElement(x[2]); }},
      {"removeAllElements", [](Vector& v, const std::vector<OBInterface*>&) { v.removeAllElements(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HandleVector v;
    for (int i = 0; i < 5; ++i) v.append(h[static_cast<size_t>(i)]);
    ASSERT_EQ(v.positionOf(h[4]), 4);
    c.change(v, h);
    expectAgreesWithLinearSearch(v, h);
    // Removal after the change removes the first occurrence, as the host's.
    std::vector<OBInterface*> expected = v.elements();
    auto first = std::find(expected.begin(), expected.end(), h[2]);
    const bool present = first != expected.end();
    if (present) expected.erase(first);
    EXPECT_EQ(v.remove(h[2]), present);
    v.publish();
    EXPECT_EQ(v.elements(), expected);
    expectAgreesWithLinearSearch(v, h);
  }
}

// A change of size made through the host interface while removals are not
// yet published keeps those removals and the members appended since.
TEST(HandleVectorTest, HostChangesBeforePublishingKeepThePendingEdits) {
  const auto h = handles(8);
  HandleVector v;
  for (int i = 0; i < 5; ++i) v.append(h[static_cast<size_t>(i)]);
  ASSERT_TRUE(v.remove(h[1]));
  v.append(h[5]);
  ASSERT_TRUE(v.remove(h[3]));
  v.append(h[6]);
  ASSERT_TRUE(v.remove(h[6]));
  v.addElement(h[7]);
  EXPECT_EQ(v.positionOf(h[7]), 3);
  EXPECT_FALSE(v.holds(h[1]));
  EXPECT_FALSE(v.holds(h[6]));
  v.publish();
  EXPECT_EQ(v.elements(), (std::vector<OBInterface*>{h[0], h[2], h[4], h[7], h[5]}));
  expectAgreesWithLinearSearch(v, h);
}

// Removals that outnumber the members close the slots up without losing a
// member, published or not.
TEST(HandleVectorTest, ManyRemovalsBetweenReadsKeepTheOrder) {
  const auto all = handles(1000);
  HandleVector v;
  for (OBInterface* x : all) v.append(x);
  std::vector<OBInterface*> members = all;
  for (size_t i = 0; i < 900; ++i) {
    OBInterface* leaving = members[(i * 7) % members.size()];
    ASSERT_TRUE(v.remove(leaving));
    members.erase(std::find(members.begin(), members.end(), leaving));
    ASSERT_EQ(v.positionOf(members.back()), static_cast<int>(members.size()) - 1);
  }
  EXPECT_EQ(publishedHandleVector(&v)->elements(), members);
  expectAgreesWithLinearSearch(v, all);
}

TEST(HandleVectorTest, HelpersUseTheIndexOnlyForVectorsTheEngineMade) {
  const auto h = handles(3);
  Vector* made = newHandleVector();
  Vector plain;
  EXPECT_NE(indexedHandleVector(made), nullptr);
  EXPECT_EQ(indexedHandleVector(&plain), nullptr);
  for (Vector* v : {made, &plain}) {
    appendToHandleVector(h[0], v);
    appendToHandleVector(h[1], v);
    EXPECT_TRUE(handleVectorHolds(v, h[1]));
    EXPECT_FALSE(handleVectorHolds(v, h[2]));
    EXPECT_EQ(handleVectorPosition(v, h[1]), 1);
    clearHandleVector(v);
    EXPECT_EQ(v->size(), 0);
    EXPECT_FALSE(handleVectorHolds(v, h[0]));
  }
  EXPECT_FALSE(handleVectorHolds(nullptr, h[0]));
  deleteHandleVector(made);
}

}  // namespace
