// Data types: matching, conversion round trips, copies, enumerations and
// the repository.
#include <gtest/gtest.h>

#include "hb/hb.hpp"
#include "jpi/jpi_test.hpp"
#include "obk_test_support.hpp"
#include "sv/sv_test.hpp"

using namespace obktest;

namespace {

class TypeTest : public ObkTest {
 protected:
  void SetUp() override {
    ObkTest::SetUp();
    a = newThing("a");
    b = newThing("b");
    cfg = configClass()->createInstance(OBDatabaseClient::getInternalClient());
  }
  void TearDown() override {
    for (OBInterface* o : {a, b, cfg}) o->releaseReference();
    ObkTest::TearDown();
  }
  OBInterface* a = nullptr;
  OBInterface* b = nullptr;
  OBInterface* cfg = nullptr;
};

Arr row(std::vector<double> v, bool column = false) {
  qxArray* m = column ? qxCreateDoubleMatrix(v.size(), 1, qxREAL) : qxCreateDoubleMatrix(1, v.size(), qxREAL);
  for (size_t i = 0; i < v.size(); ++i) qxGetPr(m)[i] = v[i];
  return Arr(m);
}

Arr complexScalar() {
  Arr m(qxCreateDoubleMatrix(1, 1, qxCOMPLEX));
  qxGetPr(m.get())[0] = 1;
  qxGetPi(m.get())[0] = 2;
  return m;
}

Arr twoRows() {
  const char* rows[] = {"ab", "cd"};
  return Arr(qxCreateCharMatrixFromStrings(2, rows));
}

struct TypeCase {
  const char* type;
  std::function<Arr(OBInterface* a, OBInterface* b, OBInterface* cfg)> input;
  bool matches;
  // The host form after fromHost + toHost; null: the input itself.
  std::function<Arr(OBInterface* a, OBInterface* b)> back;
};

const std::vector<TypeCase>& typeCases() {
  using H = OBInterface*;
  static const std::vector<TypeCase> cases = {
      {"string", [](H, H, H) { return str("abc"); }, true, nullptr},
      {"string", [](H, H, H) { return str(""); }, true, nullptr},
      {"string", [](H, H, H) { return num(1); }, false, nullptr},
      {"string", [](H, H, H) { return twoRows(); }, false, nullptr},
      {"double", [](H, H, H) { return num(2.5); }, true, nullptr},
      {"double", [](H, H, H) { return row({1, 2}); }, false, nullptr},
      {"double", [](H, H, H) { return logical(true); }, false, nullptr},
      {"double", [](H, H, H) { return complexScalar(); }, false, nullptr},
      {"bool", [](H, H, H) { return logical(true); }, true, nullptr},
      {"bool", [](H, H, H) { return num(0); }, true, [](H, H) { return logical(false); }},
      {"bool", [](H, H, H) { return str("true"); }, false, nullptr},
      {"int", [](H, H, H) { return num(-3); }, true, nullptr},
      {"int", [](H, H, H) { return num(3.5); }, false, nullptr},
      {"int", [](H, H, H) { return num(1e12); }, false, nullptr},
      {"long", [](H, H, H) { return num(1e12); }, true, nullptr},
      {"handle", [](H a, H, H) { return handles({a}); }, true, nullptr},
      {"handle", [](H, H, H) { return row({}); }, true, [](H, H) { return handles({}); }},
      {"handle", [](H a, H b, H) { return handles({a, b}); }, false, nullptr},
      {"handle", [](H, H, H) { return num(1); }, false, nullptr},
      {"handle vector", [](H a, H b, H) { return handles({a, b}); }, true, nullptr},
      {"handle vector", [](H a, H, H) { return handles({a}); }, true, nullptr},
      {"handle vector", [](H, H, H) { return cellOf({}); }, true, [](H, H) { return handles({}); }},
      {"handle vector", [](H, H, H) { return str("a"); }, false, nullptr},
      {"string vector", [](H, H, H) { return cellOf({"a", "bc"}); }, true, nullptr},
      {"string vector", [](H, H, H) { return cellOf({"a", "bc"}, true); }, true,
       [](H, H) { return cellOf({"a", "bc"}); }},
      {"string vector", [](H, H, H) { return str("one"); }, true, [](H, H) { return cellOf({"one"}); }},
      {"string vector", [](H, H, H) { return num(1); }, false, nullptr},
      {"PELLAM array", [](H, H, H) { return cellOf({"x"}); }, true, nullptr},
      {"PELLAM array", [](H a, H, H) { return handles({a}); }, true, nullptr},
      {"NReals", [](H, H, H) { return row({1, 2.5, 3}); }, true, nullptr},
      {"NReals", [](H, H, H) { return row({1, 2}, true); }, true, [](H, H) { return row({1, 2}); }},
      {"NReals", [](H, H, H) { return complexScalar(); }, false, nullptr},
      {"NReals", [](H, H, H) { return str("1"); }, false, nullptr},
      {"Nints", [](H, H, H) { return row({1, -2, 3}); }, true, nullptr},
      {"Nints", [](H, H, H) { return row({1.5}); }, false, nullptr},
      {"TestApp.Config", [](H, H, H cfg) { return handles({cfg}); }, true, nullptr},
      {"TestApp.Config", [](H a, H, H) { return handles({a}); }, false, nullptr},
      {"TestApp.Thing vector", [](H a, H b, H) { return handles({a, b}); }, true, nullptr},
      {"TestApp.Thing vector", [](H a, H, H cfg) { return handles({a, cfg}); }, false, nullptr},
      {"TestApp.Missing", [](H a, H, H) { return handles({a}); }, false, nullptr},
      {"TestModeEnum", [](H, H, H) { return str("ADAPTIVE"); }, true, [](H, H) { return str("Adaptive"); }},
      {"TestModeEnum", [](H, H, H) { return num(4); }, false, nullptr},
  };
  return cases;
}

TEST_F(TypeTest, MatchAndRoundTrip) {
  for (const TypeCase& c : typeCases()) {
    Arr in = c.input(a, b, cfg);
    SCOPED_TRACE(std::string(c.type) + " from " + qxGetClassName(in.get()));
    OBDataType* t = OBTypeRepository::getType(c.type);
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(t->getName(), c.type);
    EXPECT_EQ(t->matches(in.get()), c.matches);
    if (!c.matches) {
      expectError([&] { t->fromHost(in.get()); }, "obk:InvalidValue");
      continue;
    }
    void* v = t->fromHost(in.get());
    Arr back(t->getConverter()->toHost(v));
    Arr expected = c.back ? c.back(a, b) : nullptr;
    EXPECT_TRUE(obkHostValuesEqual(back.get(), expected ? expected.get() : in.get()));
    void* dup = t->copy(v);
    EXPECT_TRUE(t->isEqual(v, dup));
    t->release(dup);
    t->release(v);
  }
}

TEST_F(TypeTest, EqualityHandlesNulls) {
  for (const char* name : {"string", "double", "bool", "int", "long", "handle", "string vector",
                           "PELLAM array", "NReals", "Nints", "TestModeEnum"}) {
    SCOPED_TRACE(name);
    OBDataType* t = OBTypeRepository::getType(name);
    EXPECT_TRUE(t->isEqual(nullptr, nullptr));
    EXPECT_EQ(t->copy(nullptr), nullptr);
    t->release(nullptr);
  }
  OBDataType* d = OBTypeRepository::getType("double");
  double one = 1, two = 2;
  EXPECT_FALSE(d->isEqual(&one, nullptr));
  EXPECT_FALSE(d->isEqual(&one, &two));
}

TEST_F(TypeTest, HandleConversionsCountReferences) {
  OBDataType* h = OBTypeRepository::getType("handle");
  OBDataType* hv = OBTypeRepository::getType("handle vector");
  Arr arr = handles({a, b});
  int before = a->getReferenceCount();
  void* v = hv->fromHost(arr.get());
  EXPECT_EQ(a->getReferenceCount(), before + 1);
  void* c = hv->copy(v);
  EXPECT_EQ(a->getReferenceCount(), before + 2);
  hv->release(c);
  hv->release(v);
  EXPECT_EQ(a->getReferenceCount(), before);
  EXPECT_TRUE(h->isHandleBearing());
  EXPECT_TRUE(hv->isHandleBearing());
  EXPECT_FALSE(OBTypeRepository::getType("PELLAM array")->isHandleBearing());
  Arr one(h->toHost(a));
  EXPECT_EQ(a->getReferenceCount(), before + 1);
}

TEST_F(TypeTest, PellamArrayCopyIsPersistent) {
  OBDataType* t = OBTypeRepository::getType("PELLAM array");
  Arr x = row({1, 2});
  qxOpenCallScope();
  auto* c = static_cast<qxArray*>(t->copy(x.get()));
  qxCloseCallScope();
  EXPECT_EQ(qxGetArrayScope(c), qxSCOPE_PERSISTENT);
  EXPECT_TRUE(qxIsIdentical(c, x.get()));
  t->release(c);
}

TEST_F(TypeTest, EnumTexts) {
  EnumStringType* e = modeType();
  EXPECT_STREQ(e->getEnumString(4), "Adaptive");
  EXPECT_STREQ(e->getEnumString(99), "");
  int v = -1;
  EXPECT_TRUE(e->getEnumValue("SLOW", v));
  EXPECT_EQ(v, 0);
  EXPECT_FALSE(e->getEnumValue("medium", v));
  e->addEnumValue("FAST", 9);  // already there ignoring case: ignored
  EXPECT_EQ(e->getNumValues(), 3);
  int32_t unknown = 42;
  Arr text(e->toHost(&unknown));
  EXPECT_EQ(qxArrayToStdString(text.get()), "");
  Arr bad = str("medium");
  std::string msg = expectError([&] { e->fromHost(bad.get()); }, "obk:InvalidEnumValue");
  EXPECT_EQ(msg, "'medium' is not a valid 'TestModeEnum' value. Valid values are: slow, fast, Adaptive.");
}

TEST_F(TypeTest, RepositoryAndOverrideTypes) {
  EXPECT_EQ(OBTypeRepository::getType("no such type", true), nullptr);
  EXPECT_EQ(OBTypeRepository::getType(nullptr), nullptr);
  EXPECT_EQ(OBTypeRepository::getType("TestApp.Config"), OBTypeRepository::getType("TestApp.Config"));
  auto* dup = new StringType("string");
  EXPECT_FALSE(OBTypeRepository::addType(dup));  // the caller keeps it
  delete dup;
  static OverrideStringType* over = [] {
    auto* t = new OverrideStringType("TestChoices", [] { return cellOf({"one", "two"}).release(); });
    EXPECT_TRUE(OBTypeRepository::addType(t));
    return t;
  }();
  EXPECT_EQ(OBTypeRepository::getType("TestChoices"), over);
  Arr values(over->getAllowedValues());
  EXPECT_EQ(textsOf(values.get()), (std::vector<std::string>{"one", "two"}));
  Arr any = str("three");  // converts like "string": nothing is restricted
  void* v = over->fromHost(any.get());
  EXPECT_STREQ(static_cast<const char*>(v), "three");
  over->release(v);
  EXPECT_EQ(OBTypeRepository::getType("string")->getAllowedValues(), nullptr);
}

TEST_F(TypeTest, JavaConvertersOnlyWithJava) {
  OBDataType* s = OBTypeRepository::getType("string");
  OBDataType* i = OBTypeRepository::getType("int");
  OBDataType* bo = OBTypeRepository::getType("bool");
  OBDataType* h = OBTypeRepository::getType("handle");
  size_t calls = jpiTestCallCount();
  int32_t seven = 7;
  uint8_t yes = 1;
  EXPECT_EQ(s->toJava("x"), nullptr);
  EXPECT_EQ(h->toJava(a), nullptr);
  EXPECT_EQ(jpiTestCallCount(), calls);  // no Java call at all
  svTestSetJava(true);
  jobject js = s->toJava("text");
  jobject ji = i->toJava(&seven);
  jobject jb = bo->toJava(&yes);
  jobject jh = h->toJava(a);
  svTestSetJava(false);
  EXPECT_EQ(jpiTestDescribe(js), "text");
  EXPECT_EQ(jpiTestDescribe(ji), "7");
  EXPECT_EQ(jpiTestDescribe(jb), "true");
  ASSERT_NE(jh, nullptr);
  EXPECT_NE(jpiTestDescribe(jh).find("OBKObject"), std::string::npos);
  EXPECT_EQ(OBTypeRepository::getType("double")->toJava(&seven), nullptr);
  for (jobject o : {js, ji, jb, jh}) pljReleaseObject(o);
  EXPECT_TRUE(jpiTestDiagnostics().empty());
}

TEST(VectorTest, ElementsAndTexts) {
  auto* p = reinterpret_cast<OBInterface*>(0x10);
  auto* q = reinterpret_cast<OBInterface*>(0x20);
  Vector v;
  v.addElement(p);
  v.addElement(q);
  v.addElement(p);
  EXPECT_EQ(v.size(), 3);
  EXPECT_EQ(v.indexOf(q), 1);
  EXPECT_EQ(v.indexOf(nullptr), -1);
  EXPECT_TRUE(v.removeElement(p));
  EXPECT_EQ(v.elementAt(0), q);
  EXPECT_EQ(v.elementAt(1), p);
  EXPECT_EQ(v.elementAt(2), nullptr);
  v.removeElementAt(7);
  v.removeElementAt(0);
  EXPECT_EQ(v.size(), 1);
  EXPECT_FALSE(v.removeElement(q));

  std::string text = "abc";
  StringVector s;
  s.addElement(text.c_str());
  s.addElement(nullptr);
  text[0] = 'z';
  EXPECT_STREQ(s.elementAt(0), "abc");  // copied
  EXPECT_EQ(s.elementAt(1), nullptr);
  StringVector t = s;
  EXPECT_EQ(t.size(), 2);
  EXPECT_STREQ(t.elementAt(0), "abc");
}

}  // namespace
