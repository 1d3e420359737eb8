// Instance copy, the factory property infos and the method factory.
#include <gtest/gtest.h>

#include "hb/hb.hpp"
#include "hb/hb_test.hpp"
#include "obk_test_support.hpp"

using namespace obktest;

namespace {

class CopyTest : public ObkTest {};

OBDatabaseClient* internal() { return OBDatabaseClient::getInternalClient(); }

TEST_F(CopyTest, CopiesPlainPropertiesAndSkipsHandles) {
  OBInterface* src = newThing("orig");
  OBInterface* other = newThing("other");
  Thing* t = thingOf(src);
  t->note = "n";
  t->secret = "s";
  t->count = 4;
  t->ratio = 1.5;
  t->flag = true;
  t->mode = 4;
  t->partner = other;
  t->data = qxCreateDoubleScalar(9);
  qxSetArrayScope(t->data, qxSCOPE_PERSISTENT);
  obkClearEventLog();
  OBInterface* dup = src->copy(internal());
  ASSERT_NE(dup, src);
  EXPECT_EQ(dup->getReferenceCount(), 1);
  EXPECT_EQ(dup->getClass(), thingClass());
  Thing* d = thingOf(dup);
  EXPECT_EQ(d->name, "orig");
  EXPECT_EQ(d->note, "n");  // not externally settable, still copied
  EXPECT_EQ(d->secret, "s");
  EXPECT_EQ(d->count, 4);
  EXPECT_EQ(d->ratio, 1.5);
  EXPECT_TRUE(d->flag);
  EXPECT_EQ(d->mode, 4);
  EXPECT_EQ(d->partner, nullptr);  // handle-bearing: left to the caller
  ASSERT_NE(d->data, nullptr);
  EXPECT_NE(d->data, t->data);
  EXPECT_EQ(qxGetScalar(d->data), 9.0);
  std::vector<std::string> props;
  for (const OBEventRecord& r : obkEventLog()) {
    EXPECT_EQ(r.source, dup);
    EXPECT_FALSE(r.external);
    props.push_back(r.propName);
  }
  EXPECT_EQ(props, (std::vector<std::string>{"Name", "Note", "Secret", "Count", "Ratio", "Flag",
                                             "Mode", "Data"}));
  for (OBInterface* o : {dup, other, src}) o->releaseReference();
}

TEST_F(CopyTest, FailedCopyLeavesNothingBehind) {
  OBInterface* src = newThing("bad");
  thingOf(src)->ratio = -2;  // the setter refuses this value
  size_t live = OBInterface::liveCount();
  expectError([&] { src->copy(internal()); }, "Test:NegativeRatio");
  EXPECT_EQ(OBInterface::liveCount(), live);
  EXPECT_EQ(destroyLog(), std::vector<std::string>{"bad<"});  // the partial copy
  src->releaseReference();
  OBInterface* abs = new OBInterface(nullptr, abstractClass());
  expectError([&] { abs->copy(internal()); }, "obk:CannotCopy");
  abs->releaseReference();
}

TEST(FactoryTest, FlagWordBits) {
  const OBAccessFlag flags[] = {
#define OBK_ACCESS_FLAG(Enumerator, bit, defaultValue, queryName) OBAccessFlag::Enumerator,
#include "obk/OBAccess.def"
  };
  ASSERT_EQ(std::size(flags), 13u);
  const char* expectedOrder[] = {"Init",    "InternalSet", "InternalGet", "ExternalSet", "ExternalGet",
                                 "AbortSet", "Visible",    "Copied",      "Saved",       "Default",
                                 "Reset",   "Listener",    "Grandfathered"};
  for (int bit = 0; bit < 13; ++bit) {
    SCOPED_TRACE(bit);
    EXPECT_STREQ(obkAccessFlagName(flags[bit]), expectedOrder[bit]);
    obk_t::OBKFactoryPropInfo<Thing, int, int> p(&Thing::getCount, &Thing::setCount, "P", "",
                                                 1u << bit);
    for (OBAccessFlag f : flags) EXPECT_EQ(p.getAccess(f), f == flags[bit]);
  }
  obk_t::OBKFactoryPropInfo<Thing, int, int> p(&Thing::getCount, &Thing::setCount, "P", "",
                                               (1u << 3) | (1u << 4) | (1u << 8));
  EXPECT_TRUE(p.isExternalSetAccess());
  EXPECT_TRUE(p.isExternalGetAccess());
  EXPECT_TRUE(p.isSerializeAccess());
  EXPECT_FALSE(p.isInternalSetAccess());
  EXPECT_STREQ(p.getDataType(nullptr)->getName(), "int");
}

class FactoryObkTest : public ObkTest {};

TEST_F(FactoryObkTest, MarshallingPerValueType) {
  OBInterface* x = newThing("x");
  struct Row {
    const char* prop;
    std::function<void(const qxArray*)> check;
  };
  const Row rows[] = {
      {"Name", [](const qxArray* a) { EXPECT_EQ(qxArrayToStdString(a), "x"); }},
      {"Kind", [](const qxArray* a) { EXPECT_EQ(qxArrayToStdString(a), "thing"); }},
      {"Uses", [](const qxArray* a) { EXPECT_EQ(qxGetScalar(a), 7.0); }},
      {"Flag", [](const qxArray* a) { EXPECT_TRUE(qxIsLogical(a)); }},
      {"Count", [](const qxArray* a) { EXPECT_EQ(qxGetScalar(a), 0.0); }},
      {"Partner", [](const qxArray* a) { EXPECT_TRUE(qxIsEmpty(a)); }},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.prop);
    Arr v(obkGetProperty(x, r.prop));
    r.check(v.get());
  }
  // A getter returning a string by value: the copy is freed after use.
  obk_t::OBKFactoryPropInfo<Thing, std::string, const std::string&> shout(
      [](Thing* t) { return t->name + "!"; }, nullptr, "Shout", "", 0x1f);
  size_t blocks = hbTestLiveBlocks();
  void* v = shout.getValue(nullptr, x);
  EXPECT_STREQ(static_cast<const char*>(v), "x!");
  shout.releaseValue(nullptr, x, v);
  EXPECT_EQ(hbTestLiveBlocks(), blocks);
  shout.setValue(nullptr, x, const_cast<char*>("ignored"));  // no setter
  EXPECT_EQ(thingOf(x)->name, "x");
  obk_t::OBKFactoryPropInfo<Thing, int, int> count(&Thing::getCount, &Thing::setCount, "C", "", 0);
  expectError([&] { count.setValue(nullptr, x, nullptr); }, "obk:InvalidValue");
  OBInterface* empty = new OBInterface(nullptr, thingClass());
  expectError([&] { count.getValue(nullptr, empty); }, "obk:InvalidObject");
  empty->releaseReference();
  destroyLog().clear();
  x->releaseReference();
}

TEST_F(FactoryObkTest, MethodFactoryRunsTheBoundCall) {
  obk_t::OBKMethodFactory<Thing> m("bump");
  auto* bound = m.bind(new OBMethodSignature({"handle", "int"}),
                       [](Thing* t, int&, void*[], int, void* const ins[]) {
                         t->count += *static_cast<int32_t*>(ins[1]);
                       });
  auto* unbound = new OBMethodSignature({"handle"});
  m.addMethodSignature(unbound);
  EXPECT_EQ(m.getMethodSignatures(), (std::vector<OBMethodSignature*>{bound, unbound}));
  OBInterface* x = newThing("x");
  int32_t two = 2;
  void* ins[] = {x, &two};
  int nOut = 0;
  m.invoke(bound, nOut, nullptr, 2, ins);
  m.invoke(bound, nOut, nullptr, 2, ins);
  EXPECT_EQ(thingOf(x)->count, 4);
  expectError([&] { m.invoke(unbound, nOut, nullptr, 1, ins); }, "obk:NoBoundCall");
  obk_t::OBKMethodFactory<Thing> flip("flip");
  OBMethodSignature* sig = flip.bindMember(new OBMethodSignature({"handle"}), &Thing::toggle);
  flip.invoke(sig, nOut, nullptr, 1, ins);
  EXPECT_TRUE(thingOf(x)->flag);
  OBInterface* empty = new OBInterface(nullptr, thingClass());
  void* none[] = {empty};
  expectError([&] { flip.invoke(sig, nOut, nullptr, 1, none); }, "obk:InvalidObject");
  empty->releaseReference();
  destroyLog().clear();
  x->releaseReference();
}

}  // namespace
