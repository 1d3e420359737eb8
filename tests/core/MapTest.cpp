// The map object "BMapWrapper" as the host language uses it: insert, find,
// removeElement and getNumElements on a map keyed by TestThing instances,
// its refusals, and the destroy hook that frees every stored array.
#include <gtest/gtest.h>

#include <hb/hb_test.hpp>
#include <obk/obk.hpp>
#include <testhost/TestHost.hpp>

#include "core/BMapWrapper.hpp"
#include "core/BMapWrapperOBC.hpp"
#include "support/Expect.hpp"
#include "support/TestComponents.hpp"
#include "support/TestThing.hpp"

namespace {

const char kInvalidValueId[] = "Kestrion:BMapWrapper_InvalidValue";
const char kInvalidValueText[] =
    "The value must be a numeric or cell array with one element per key.";

class MapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registerMessageCatalog();
    testThingClass();
    getBMapWrapperOBClass();
    hbTestSetEcho(false);
  }

  OBInterface* newMap(TestHost& host) { return host.construct("Kestrion.BMapWrapper"); }
  OBInterface* newKey(TestHost& host) { return host.construct("Kestrion.TestThing"); }

  int numElements(TestHost& host, OBInterface* map) {
    auto out = host.call(map, "getNumElements", {}, 1);
    return static_cast<int>(qxGetScalar(out.at(0)));
  }
  // The column that find gives for a vector of keys.
  std::vector<double> findColumn(TestHost& host, OBInterface* map, qxArray* keys) {
    qxArray* out = host.call(map, "find", {keys}, 1).at(0);
    EXPECT_TRUE(qxIsDouble(out));
    EXPECT_EQ(qxGetN(out), 1u);
    const double* data = qxGetPr(out);
    return std::vector<double>(data, data + qxGetM(out));
  }
  qxArray* findOne(TestHost& host, OBInterface* map, OBInterface* key) {
    return host.call(map, "find", {host.handle(key)}, 1).at(0);
  }
};

TEST_F(MapTest, ClassHasItsMethodsInOrderAndAnswersFalseToBothQueries) {
  OBClass* cls = getBMapWrapperOBClass();
  EXPECT_EQ(cls, getBMapWrapperOBClass());
  EXPECT_STREQ(cls->getFullName(), "Kestrion.BMapWrapper");
  EXPECT_EQ(cls->getSuperClass(), nullptr);
  EXPECT_FALSE(cls->firstClassQuery());
  EXPECT_FALSE(cls->secondClassQuery());
  ASSERT_EQ(cls->getConstructorSignatures().size(), 1u);
  EXPECT_EQ(cls->getConstructorSignatures()[0]->getNumArguments(), 0);
  const char* expected[] = {"insert", "find", "removeElement", "getNumElements"};
  std::vector<OBMethodInfo*> methods = cls->getMethods();
  ASSERT_EQ(methods.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) EXPECT_STREQ(methods[i]->getName(), expected[i]);

  TestHost host;
  auto error = TestHost::errorOf([&] { host.construct("Kestrion.BMapWrapper", {host.num(1)}); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->id, "obk:NoMatchingConstructor");
}

TEST_F(MapTest, SingleKeyInsertKeepsTheFirstValueAndFindCopiesIt) {
  TestHost host;
  OBInterface* map = newMap(host);
  OBInterface* a = newKey(host);
  OBInterface* b = newKey(host);
  EXPECT_EQ(numElements(host, map), 0);

  qxArray* first = host.nums({1, 2});
  host.call(map, "insert", {host.handle(a), first});
  host.call(map, "insert", {host.handle(a), host.str("second")});
  EXPECT_EQ(numElements(host, map), 1);
  qxArray* found = findOne(host, map, a);
  EXPECT_TRUE(qxIsIdentical(found, first));
  EXPECT_NE(found, first);

  // The map stores its own copy: changing the caller's array changes nothing.
  qxGetPr(first)[0] = 99;
  EXPECT_EQ(qxGetPr(findOne(host, map, a))[0], 1.0);

  // An absent key gives the host's empty value.
  qxArray* absent = findOne(host, map, b);
  EXPECT_TRUE(qxIsEmpty(absent));
  EXPECT_TRUE(qxIsDouble(absent));
}

TEST_F(MapTest, VectorInsertStoresOneScalarPerKeyInVectorOrder) {
  TestHost host;
  OBInterface* map = newMap(host);
  OBInterface* k1 = newKey(host);
  OBInterface* k2 = newKey(host);
  OBInterface* k3 = newKey(host);
  OBInterface* never = newKey(host);
  host.call(map, "insert", {host.handles({k1, k2, k3}), host.nums({1, 2, 3})});
  EXPECT_EQ(numElements(host, map), 3);
  EXPECT_EQ(findColumn(host, map, host.handles({k1, k2, k3})), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(findColumn(host, map, host.handles({k3, never, k1})),
            (std::vector<double>{3, -1, 1}));
  EXPECT_TRUE(qxIsScalar(findOne(host, map, k2)));

  // A second insert over present keys keeps their values and adds the new one.
  host.call(map, "insert", {host.handles({k1, never}), host.nums({10, 20})});
  EXPECT_EQ(findColumn(host, map, host.handles({k1, never})), (std::vector<double>{1, 20}));
  EXPECT_EQ(numElements(host, map), 4);
}

TEST_F(MapTest, VectorInsertTakesCellElementsAndExtraElementsAreIgnored) {
  TestHost host;
  OBInterface* map = newMap(host);
  OBInterface* k1 = newKey(host);
  OBInterface* k2 = newKey(host);
  host.call(map, "insert",
            {host.handles({k1, k2}), host.cell({host.str("text"), host.num(7), host.num(8)})});
  EXPECT_EQ(numElements(host, map), 2);
  EXPECT_EQ(textOf(findOne(host, map, k1)), "text");
  EXPECT_EQ(qxGetScalar(findOne(host, map, k2)), 7.0);
}

TEST_F(MapTest, VectorInsertReadsSparseNumbersByPosition) {
  TestHost host;
  OBInterface* map = newMap(host);
  OBInterface* k1 = newKey(host);
  OBInterface* k2 = newKey(host);
  OBInterface* k3 = newKey(host);
  // 1-by-3 sparse row holding 5 in its second column only.
  qxArray* sparse = host.own(qxCreateSparse(1, 3, 1, qxREAL));
  qxGetPr(sparse)[0] = 5;
  sparse->get_ir()[0] = 0;
  size_t* jc = sparse->get_jc();
  jc[0] = 0;
  jc[1] = 0;
  jc[2] = 1;
  jc[3] = 1;
  host.call(map, "insert", {host.handles({k1, k2, k3}), sparse});
  EXPECT_EQ(findColumn(host, map, host.handles({k1, k2, k3})), (std::vector<double>{0, 5, 0}));
}

TEST_F(MapTest, RepeatedKeyInOneVectorKeepsItsFirstValue) {
  TestHost host;
  OBInterface* map = newMap(host);
  OBInterface* k = newKey(host);
  host.call(map, "insert", {host.handles({k, k}), host.nums({1, 2})});
  EXPECT_EQ(numElements(host, map), 1);
  EXPECT_EQ(qxGetScalar(findOne(host, map, k)), 1.0);
}

TEST_F(MapTest, AnEmptyKeyArrayIsTheNullKeyOfTheSingleKeyForm) {
  // The host matches an empty handle array to the first signature.
  TestHost host;
  OBInterface* map = newMap(host);
  qxArray* none = host.own(qxCreateHandleArray(0, 0));
  host.call(map, "insert", {none, host.str("under null")});
  EXPECT_EQ(numElements(host, map), 1);
  EXPECT_EQ(textOf(host.call(map, "find", {none}, 1).at(0)), "under null");
}

TEST_F(MapTest, ANullKeyVectorStoresNothingAndFindsAnEmptyColumn) {
  // A null handle vector reaches the vector forms only from inside the
  // engine; the bodies are called directly here.
  TestHost host;
  OBInterface* map = newMap(host);
  OBClass* cls = getBMapWrapperOBClass();
  OBMethodInfo* insert = cls->getMethod("insert");
  OBMethodInfo* find = cls->getMethod("find");
  qxArray* value = host.str("ignored");
  int nOut = 0;
  void* outs[1] = {nullptr};
  void* insertIns[] = {map, nullptr, value};
  insert->invoke(insert->getMethodSignatures()[1], nOut, outs, 3, insertIns);
  EXPECT_EQ(numElements(host, map), 0);
  void* findIns[] = {map, nullptr};
  find->invoke(find->getMethodSignatures()[1], nOut, outs, 2, findIns);
  ASSERT_EQ(nOut, 1);
  auto* column = host.own(static_cast<qxArray*>(outs[0]));
  EXPECT_TRUE(qxIsDouble(column));
  EXPECT_EQ(qxGetM(column), 0u);
  EXPECT_EQ(qxGetN(column), 1u);

  // An instance of another class is no map.
  OBInterface* thing = host.construct("Kestrion.TestThing");
  void* countIns[] = {thing};
  OBMethodInfo* count = cls->getMethod("getNumElements");
  expectError([&] { count->invoke(count->getMethodSignatures()[0], nOut, outs, 1, countIns); },
              "obk:InvalidObject");
}

TEST_F(MapTest, VectorInsertRefusesValuesThatCannotCoverTheKeys) {
  TestHost host;
  OBInterface* map = newMap(host);
  OBInterface* k1 = newKey(host);
  OBInterface* k2 = newKey(host);
  OBInterface* k3 = newKey(host);
  struct Case {
    const char* what;
    qxArray* value;
  } cases[] = {
      {"fewer numbers than keys", host.nums({1, 2})},
      {"fewer cell elements than keys", host.cell({host.num(1)})},
      {"text", host.str("abc")},
      {"logical", host.own(qxCreateLogicalMatrix(1, 3))},
      {"struct", host.strct({{"a", host.num(1)}})},
      {"empty", host.own(qxCreateDoubleMatrix(0, 0, qxREAL))},
  };
  qxArray* keys = host.handles({k1, k2, k3});
  for (const Case& c : cases) {
    const size_t arrays = qxLiveArrayCount();
    auto error = TestHost::errorOf([&] { host.call(map, "insert", {keys, c.value}); });
    ASSERT_TRUE(error.has_value()) << c.what;
    EXPECT_EQ(error->id, kInvalidValueId) << c.what;
    EXPECT_EQ(error->message, kInvalidValueText) << c.what;
    // Nothing made: only the host's handle of the map for the call is new.
    EXPECT_EQ(qxLiveArrayCount(), arrays + 1) << c.what;
    EXPECT_EQ(numElements(host, map), 0) << c.what;
  }
}

TEST_F(MapTest, RemoveElementDropsOnlyThatEntry) {
  TestHost host;
  OBInterface* map = newMap(host);
  OBInterface* a = newKey(host);
  OBInterface* b = newKey(host);
  host.call(map, "insert", {host.handles({a, b}), host.nums({4, 5})});
  EXPECT_EQ(numElements(host, map), 2);
  const size_t arrays = qxLiveArrayCount();
  host.call(map, "removeElement", {host.handle(a)});
  // The removed entry's array is destroyed; the host's handles of the map
  // and the key for the call stay.
  EXPECT_EQ(qxLiveArrayCount(), arrays + 2 - 1);
  EXPECT_EQ(numElements(host, map), 1);
  EXPECT_EQ(findColumn(host, map, host.handles({a, b})), (std::vector<double>{-1, 5}));
  host.call(map, "removeElement", {host.handle(a)});
  EXPECT_EQ(numElements(host, map), 1);
}

TEST_F(MapTest, DestroyHookFreesEveryStoredArrayAndLeavesNothing) {
  const HostHealth before = TestHost::health();
  {
    TestHost host;
    OBInterface* map = newMap(host);
    OBInterface* k1 = newKey(host);
    OBInterface* k2 = newKey(host);
    OBInterface* k3 = newKey(host);
    OBInterface* k4 = newKey(host);
    host.call(map, "insert", {host.handle(k1), host.str("one")});
    host.call(map, "insert", {host.handles({k2, k3}), host.nums({2, 3})});
    // k1 is present: its cell element is not stored.
    host.call(map, "insert", {host.handles({k4, k1}), host.cell({host.nums({4, 4}), host.num(1)})});
    host.call(map, "insert", {host.handle(k1), host.str("refused")});
    ASSERT_EQ(numElements(host, map), 4);
    const size_t arrays = qxLiveArrayCount();
    EXPECT_TRUE(host.destroy(map));
    EXPECT_EQ(qxLiveArrayCount(), arrays - 4);
    EXPECT_EQ(map->getComponentObject(), nullptr);
    auto error = TestHost::errorOf([&] { numElements(host, map); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->id, "obk:InvalidObject");
  }
  EXPECT_EQ(TestHost::health(), before) << describe(TestHost::health());
}

TEST_F(MapTest, AMapReleasedByTheHostFreesItsArrays) {
  const HostHealth before = TestHost::health();
  {
    TestHost host;
    OBInterface* map = newMap(host);
    OBInterface* key = newKey(host);
    host.call(map, "insert", {host.handles({key}), host.nums({1})});
    host.call(map, "removeElement", {host.handle(key)});
    host.call(map, "insert", {host.handle(key), host.nums({1, 2, 3})});
  }
  EXPECT_EQ(TestHost::health(), before) << describe(TestHost::health());
}

TEST(MapObject, OwnsWhatItKeepsAndDestroysWhatItRefuses) {
  const size_t arrays = qxLiveArrayCount();
  {
    BMapWrapper map;
    const auto* key = reinterpret_cast<const OBInterface*>(&map);
    EXPECT_TRUE(map.insert(key, qxCreateDoubleScalar(1)));
    EXPECT_FALSE(map.insert(key, qxCreateDoubleScalar(2)));
    EXPECT_EQ(qxLiveArrayCount(), arrays + 1);
    EXPECT_TRUE(map.insert(nullptr, nullptr));
    EXPECT_TRUE(map.contains(nullptr));
    EXPECT_EQ(map.find(nullptr), nullptr);
    EXPECT_EQ(map.size(), 2u);
    EXPECT_TRUE(map.remove(nullptr));
    EXPECT_FALSE(map.remove(nullptr));
    EXPECT_EQ(qxGetScalar(map.find(key)), 1.0);
  }
  EXPECT_EQ(qxLiveArrayCount(), arrays);
}

}  // namespace
