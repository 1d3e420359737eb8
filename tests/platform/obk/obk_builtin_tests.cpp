// The built-in methods "set" and "find".
#include <gtest/gtest.h>

#include "obk_test_support.hpp"

using namespace obktest;

namespace {

class BuiltInTest : public ObkTest {
 protected:
  void SetUp() override {
    ObkTest::SetUp();
    x = newThing("x");
  }
  void TearDown() override {
    x->releaseReference();
    ObkTest::TearDown();
  }
  // Calls "set" with the handle of x first; returns the output (or null).
  Arr callSet(std::vector<Arr> args, OBErrorStatus& status) {
    Arr self(obkHandleArray(x));
    std::vector<qxArray*> ins{self.get()};
    for (Arr& a : args) ins.push_back(a.get());
    qxArray* out = nullptr;
    obCallBuiltInMethod("set", 1, &out, static_cast<int>(ins.size()), ins.data(), status);
    return Arr(out);
  }
  OBInterface* x = nullptr;
};

Arr structOf(const char* f1, Arr v1, const char* f2, Arr v2) {
  const char* names[] = {f1, f2};
  qxArray* s = qxCreateStructMatrix(1, 1, 2, names);
  qxSetFieldByNumber(s, 0, 0, v1.release());
  qxSetFieldByNumber(s, 0, 1, v2.release());
  return Arr(s);
}

Arr pairCell(const char* n1, Arr v1, const char* n2, Arr v2) {
  qxArray* c = qxCreateCellMatrix(1, 4);
  qxSetCell(c, 0, qxCreateString(n1));
  qxSetCell(c, 1, v1.release());
  qxSetCell(c, 2, qxCreateString(n2));
  qxSetCell(c, 3, v2.release());
  return Arr(c);
}

template <class... A>
std::vector<Arr> args(A... a) {
  std::vector<Arr> v;
  (v.push_back(std::move(a)), ...);
  return v;
}

struct SetCase {
  const char* label;
  std::function<std::vector<Arr>()> make;
  const char* errorId;        // "" when every pair applies
  std::string name;           // expected Name afterwards
  int count;                  // expected Count afterwards
  std::vector<std::string> output;  // expected cell output ({} = none)
};

const std::vector<SetCase>& setCases() {
  static const std::vector<SetCase> cases = {
      {"pairs", [] { return args(str("Name"), str("n1"), str("count"), num(3)); }, "", "n1", 3, {}},
      {"struct", [] { return args(structOf("Name", str("s"), "Count", num(4))); }, "", "s", 4, {}},
      {"cell of pairs", [] { return args(pairCell("Name", str("c"), "Count", num(5))); }, "", "c", 5, {}},
      {"unknown property", [] { return args(str("Nope"), num(1)); }, "obk:InvalidProperty", "x", 0, {}},
      {"stops at a refusal", [] { return args(str("Name"), str("ok"), str("Note"), str("n"), str("Count"), num(9)); },
       "obk:PropertyAccessDenied", "ok", 0, {}},
      {"setter error", [] { return args(str("Ratio"), num(-1), str("Name"), str("zzz")); },
       "Test:NegativeRatio", "x", 0, {}},
      {"conversion error", [] { return args(str("Count"), str("abc")); }, "obk:InvalidValue", "x", 0, {}},
      {"enum ignoring case", [] { return args(str("Mode"), str("FAST")); }, "", "x", 0, {}},
      {"enum unknown", [] { return args(str("Mode"), str("bogus")); }, "obk:InvalidEnumValue", "x", 0, {}},
      {"enum values", [] { return args(str("Mode")); }, "", "x", 0, {"slow", "fast", "Adaptive"}},
      {"trailing name", [] { return args(str("Name"), str("q"), str("Mode")); }, "", "q", 0,
       {"slow", "fast", "Adaptive"}},
  };
  return cases;
}

TEST_F(BuiltInTest, SetForms) {
  for (const SetCase& c : setCases()) {
    SCOPED_TRACE(c.label);
    thingOf(x)->name = "x";
    thingOf(x)->count = 0;
    OBErrorStatus status;
    Arr out = callSet(c.make(), status);
    if (*c.errorId) {
      ASSERT_TRUE(status.hasErrors());
      EXPECT_EQ(status.getNumErrors(), 1);
      EXPECT_EQ(status.getIdentifier(0), c.errorId) << status.getMessage(0);
    } else {
      EXPECT_FALSE(status.hasErrors()) << status.getMessage(0);
    }
    EXPECT_EQ(thingOf(x)->name, c.name);
    EXPECT_EQ(thingOf(x)->count, c.count);
    if (c.output.empty()) {
      EXPECT_EQ(out, nullptr);
    } else {
      ASSERT_NE(out, nullptr);
      EXPECT_EQ(qxGetN(out.get()), 1u);
      EXPECT_EQ(textsOf(out.get()), c.output);
    }
  }
}

TEST_F(BuiltInTest, SetMessagesAndListings) {
  OBErrorStatus status;
  callSet(args(str("Nope"), num(1)), status);
  EXPECT_EQ(status.getMessage(0), "There is no 'Nope' property in the 'Thing' class.");
  OBErrorStatus s2;
  callSet(args(str("Mode"), str("bogus")), s2);
  EXPECT_NE(s2.getMessage(0).find("slow, fast, Adaptive"), std::string::npos);

  OBErrorStatus s3;
  Arr free = callSet(args(str("Name")), s3);
  ASSERT_NE(free, nullptr);
  EXPECT_EQ(qxGetM(free.get()), 0u);
  EXPECT_EQ(qxGetN(free.get()), 1u);

  Arr names = callSet({}, s3);
  std::vector<std::string> settable = textsOf(names.get());
  EXPECT_NE(std::find(settable.begin(), settable.end(), "Name"), settable.end());
  EXPECT_EQ(std::find(settable.begin(), settable.end(), "Note"), settable.end());
  EXPECT_EQ(std::find(settable.begin(), settable.end(), "Uses"), settable.end());
  EXPECT_FALSE(s3.hasErrors());
}

TEST_F(BuiltInTest, MalformedCallsRaise) {
  OBErrorStatus status;
  qxArray* out = nullptr;
  Arr text = str("x");
  qxArray* noObject[] = {text.get()};
  expectError([&] { obCallBuiltInMethod("set", 0, &out, 1, noObject, status); }, "obk:InvalidObject");
  expectError([&] { callSet(args(num(5), num(1)), status); }, "obk:InvalidPropertyName");
  expectError([&] { callSet(args(cellOf({"Name"}, true)), status); }, "obk:InvalidPropertyName");
  Arr h = handles({x});
  qxArray* ins[] = {h.get()};
  expectError([&] { obCallBuiltInMethod("get", 0, &out, 1, ins, status); }, "obk:UnknownBuiltIn");
  EXPECT_FALSE(status.hasErrors());
  EXPECT_EQ(out, nullptr);
}

// r -> c1 (Name x, Count 1) -> g (Name x); r -> c2 (Name y); r -> s (SubThing, Name x)
TEST_F(BuiltInTest, FindDescendantsInPreOrder) {
  OBInterface* r = newThing("r");
  OBInterface* c1 = newThing("x");
  OBInterface* g = newThing("x");
  OBInterface* c2 = newThing("y");
  OBInterface* s = newThing("x", subThingClass());
  c1->addBelow(r);
  g->addBelow(c1);
  c2->addBelow(r);
  s->addBelow(r);
  thingOf(c1)->count = 1;
  thingOf(c1)->partner = c2;
  struct FindCase {
    OBInterface* root;
    std::vector<std::pair<const char*, std::function<Arr()>>> pairs;
    std::vector<OBInterface*> expected;
  };
  std::vector<FindCase> cases = {
      {r, {{"Name", [] { return str("x"); }}}, {c1, g, s}},
      {r, {{"nAmE", [] { return str("x"); }}}, {c1, g, s}},
      {r, {{"Name", [] { return str("x"); }}, {"Count", [] { return num(1); }}}, {c1}},
      {r, {{"Name", [] { return str("X"); }}}, {}},
      {r, {{"Extra", [] { return str(""); }}}, {s}},
      {r, {{"Partner", [&] { return handles({c2}); }}}, {c1}},
      {c1, {{"Name", [] { return str("x"); }}}, {g}},
      {g, {{"Name", [] { return str("x"); }}}, {}},
  };
  for (size_t k = 0; k < cases.size(); ++k) {
    SCOPED_TRACE(k);
    std::vector<Arr> keep;
    std::vector<qxArray*> ins{obkHandleArray(cases[k].root)};
    for (auto& [name, make] : cases[k].pairs) {
      keep.push_back(str(name));
      keep.push_back(make());
      ins.push_back(keep[keep.size() - 2].get());
      ins.push_back(keep.back().get());
    }
    OBErrorStatus status;
    qxArray* out = nullptr;
    ASSERT_EQ(obCallBuiltInMethod("find", 1, &out, static_cast<int>(ins.size()), ins.data(), status), 1);
    std::vector<OBInterface*> got;
    for (size_t i = 0; i < qxGetNumberOfElements(out); ++i)
      got.push_back(static_cast<OBInterface*>(qxGetHandle(out, i)));
    EXPECT_EQ(got, cases[k].expected);
    if (got.empty()) {
      EXPECT_EQ(qxGetM(out), 0u);
      EXPECT_EQ(qxGetN(out), 0u);
    } else {
      EXPECT_EQ(qxGetN(out), 1u);
    }
    qxDestroyArray(out);
    qxDestroyArray(ins[0]);
  }
  for (OBInterface* o : {c1, g, c2, s}) o->releaseReference();
  r->releaseReference();
}

}  // namespace
