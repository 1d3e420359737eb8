// Signature matching and the conversion of inputs and outputs by the
// dispatcher.
#include <gtest/gtest.h>

#include "hb/hb.hpp"
#include "obk_test_support.hpp"

using namespace obktest;

namespace {

class SignatureTest : public ObkTest {
 protected:
  void SetUp() override {
    ObkTest::SetUp();
    a = newThing("a");
    b = newThing("b");
    cfg = configClass()->createInstance(OBDatabaseClient::getInternalClient());
  }
  void TearDown() override {
    a->releaseReference();
    b->releaseReference();
    cfg->releaseReference();
    ObkTest::TearDown();
  }
  OBInterface* a = nullptr;
  OBInterface* b = nullptr;
  OBInterface* cfg = nullptr;
};

struct MatchCase {
  const char* label;
  const char* method;
  std::function<std::vector<Arr>(OBInterface* a, OBInterface* b, OBInterface* cfg)> args;
  int nargout;
  int expectedForm;     // index of the matched signature, or -1
  const char* errorId;  // when expectedForm is -1
};

std::vector<Arr> list(Arr x) {
  std::vector<Arr> v;
  v.push_back(std::move(x));
  return v;
}
std::vector<Arr> list(Arr x, Arr y) {
  auto v = list(std::move(x));
  v.push_back(std::move(y));
  return v;
}
std::vector<Arr> list(Arr x, Arr y, Arr z) {
  auto v = list(std::move(x), std::move(y));
  v.push_back(std::move(z));
  return v;
}
std::vector<Arr> list(Arr x, Arr y, Arr z, Arr w) {
  auto v = list(std::move(x), std::move(y), std::move(z));
  v.push_back(std::move(w));
  return v;
}

const MatchCase kCases[] = {
    {"display one", "display", [](auto a, auto, auto) { return list(handles({a})); }, 0, 0, ""},
    {"display several", "display", [](auto a, auto b, auto) { return list(handles({a, b})); }, 0,
     1, ""},
    {"display asked for an output", "display", [](auto a, auto, auto) { return list(handles({a})); },
     1, -1, "obk:NoMatchingSignature"},
    {"getAdj 1", "getAdj", [](auto a, auto, auto) { return list(handles({a})); }, 1, 0, ""},
    {"getAdj 2", "getAdj", [](auto a, auto, auto) { return list(handles({a})); }, 2, 1, ""},
    {"getAdj 3", "getAdj", [](auto a, auto, auto) { return list(handles({a})); }, 3, 2, ""},
    {"getAdj 4", "getAdj", [](auto a, auto, auto) { return list(handles({a})); }, 4, -1,
     "obk:NoMatchingSignature"},
    {"addconfig string bool", "addconfig",
     [](auto a, auto, auto) { return list(handles({a}), str("x"), logical(true)); }, 1, 0, ""},
    {"addconfig PV form", "addconfig",
     [](auto a, auto, auto) { return list(handles({a}), str("x"), str("Notes"), str("n")); }, 1, 1,
     ""},
    {"addconfig repeating matches none", "addconfig",
     [](auto a, auto, auto) { return list(handles({a}), str("x")); }, 0, 1, ""},
    {"addconfig name not text", "addconfig",
     [](auto a, auto, auto) { return list(handles({a}), num(5), logical(true)); }, 0, -1,
     "obk:NoMatchingSignature"},
    {"verify with a Config", "verify",
     [](auto a, auto, auto cfg) { return list(handles({a}), handles({cfg})); }, 0, 0, ""},
    {"verify with a Thing", "verify",
     [](auto a, auto b, auto) { return list(handles({a}), handles({b})); }, 0, 1, ""},
    {"verify with several", "verify",
     [](auto a, auto b, auto) { return list(handles({a}), handles({a, b})); }, 0, 1, ""},
    {"describe int double", "describe",
     [](auto a, auto, auto) { return list(handles({a}), num(3), num(2.5)); }, 1, 0, ""},
    {"describe non-integral int", "describe",
     [](auto a, auto, auto) { return list(handles({a}), num(3.5), num(2.5)); }, 1, -1,
     "obk:NoMatchingSignature"},
    {"no object", "display", [](auto, auto, auto) { return list(str("a")); }, 0, -1,
     "obk:InvalidObject"},
    {"unknown method", "nosuch", [](auto a, auto, auto) { return list(handles({a})); }, 0, -1,
     "obk:UndefinedMethod"},
};

TEST_F(SignatureTest, MatchingTable) {
  for (const MatchCase& c : kCases) {
    SCOPED_TRACE(c.label);
    std::vector<Arr> args = c.args(a, b, cfg);
    std::vector<qxArray*> ins;
    for (Arr& x : args) ins.push_back(x.get());
    std::vector<qxArray*> outs(static_cast<size_t>(std::max(c.nargout, 1)) + 1, nullptr);
    auto* method = static_cast<LambdaMethod*>(thingClass()->getMethod(c.method));
    if (method) method->lastIndex = -1;
    if (c.expectedForm < 0) {
      expectError([&] { obkCallMethod(c.method, c.nargout, outs.data(), static_cast<int>(ins.size()), ins.data()); },
                  c.errorId);
      if (method) {
        EXPECT_EQ(method->lastIndex, -1);
      }
      continue;
    }
    int n = obkCallMethod(c.method, c.nargout, outs.data(), static_cast<int>(ins.size()), ins.data());
    ASSERT_NE(method, nullptr);
    EXPECT_EQ(method->lastIndex, c.expectedForm);
    EXPECT_EQ(n, c.nargout == 0 && outs[0] != nullptr ? 1 : c.nargout);
    for (int i = 0; i < n; ++i) {
      ASSERT_NE(outs[static_cast<size_t>(i)], nullptr);
      EXPECT_EQ(qxGetArrayScope(outs[static_cast<size_t>(i)]), qxSCOPE_PERSISTENT);
      qxDestroyArray(outs[static_cast<size_t>(i)]);
    }
  }
}

TEST_F(SignatureTest, MatchSignatureWithoutCalling) {
  Arr h = handles({a, b});
  const qxArray* ins[] = {h.get()};
  OBMethodInfo* display = thingClass()->getMethod("display");
  EXPECT_EQ(obkMatchSignature(display, 0, 1, ins), display->getMethodSignatures()[1]);
  EXPECT_EQ(obkMatchSignature(display, 0, 0, ins), nullptr);
}

TEST_F(SignatureTest, GetAdjOutputsAreTheBodysArrays) {
  Arr h = handles({a});
  qxArray* ins[] = {h.get()};
  qxArray* outs[3] = {};
  ASSERT_EQ(obkCallMethod("getAdj", 3, outs, 1, ins), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(qxGetScalar(outs[i]), i + 1);
    qxDestroyArray(outs[i]);
  }
}

TEST_F(SignatureTest, ZeroRequestedStillDeliversAns) {
  Arr h = handles({a});
  Arr name = str("x");
  Arr yes = logical(true);
  qxArray* ins[] = {h.get(), name.get(), yes.get()};
  qxArray* outs[1] = {nullptr};
  ASSERT_EQ(obkCallMethod("addconfig", 0, outs, 3, ins), 1);
  EXPECT_EQ(obkHandleOf(outs[0]), a);
  qxDestroyArray(outs[0]);
  // The test's own and the input array's: the lent output kept none.
  EXPECT_EQ(a->getReferenceCount(), 2);
}

TEST_F(SignatureTest, InputsAndOutputsAreConvertedAndReleased) {
  Arr h = handles({a});
  Arr both = handles({a, b});
  Arr three = num(3);
  Arr half = num(0.5);
  qxArray* out = nullptr;
  qxArray* describeIns[] = {h.get(), three.get(), half.get()};
  ASSERT_EQ(obkCallMethod("describe", 1, &out, 3, describeIns), 1);
  EXPECT_EQ(qxArrayToStdString(out), "3/0.500000");
  qxDestroyArray(out);

  int refsA = a->getReferenceCount();
  qxArray* membersIns[] = {h.get(), both.get()};
  ASSERT_EQ(obkCallMethod("members", 1, &out, 2, membersIns), 1);
  ASSERT_EQ(qxGetNumberOfElements(out), 2u);
  EXPECT_EQ(qxGetM(out), 2u);
  EXPECT_EQ(qxGetHandle(out, 0), a);
  EXPECT_EQ(qxGetHandle(out, 1), b);
  EXPECT_EQ(a->getReferenceCount(), refsA + 1);  // held by the output array only
  qxDestroyArray(out);
  EXPECT_EQ(a->getReferenceCount(), refsA);
}

TEST_F(SignatureTest, StaticMethodOnTheClass) {
  Arr yes = logical(true);
  qxArray* ins[] = {yes.get()};
  qxArray* out = nullptr;
  ASSERT_EQ(obkCallStaticMethod(thingClass(), "negate", 0, &out, 1, ins), 1);
  ASSERT_TRUE(qxIsLogical(out));
  EXPECT_EQ(qxGetScalar(out), 0.0);
  qxDestroyArray(out);
  expectError([&] { obkCallStaticMethod(thingClass(), "display", 0, &out, 1, ins); },
              "obk:UndefinedMethod");
}

TEST_F(SignatureTest, BodyErrorReleasesWhatItProduced) {
  Arr h = handles({a});
  qxArray* ins[] = {h.get()};
  qxArray* out = nullptr;
  expectError([&] { obkCallMethod("failing", 1, &out, 1, ins); }, "Test:Failing");
  EXPECT_EQ(out, nullptr);
}

TEST_F(SignatureTest, StaleObjectArgumentIsRejected) {
  OBInterface* c = newThing("c");
  Arr h = handles({c});
  ASSERT_TRUE(c->destroy(OBDatabaseClient::getInternalClient()));
  c->releaseReference();  // the array still holds one
  qxArray* ins[] = {h.get()};
  expectError([&] { obkCallMethod("display", 0, nullptr, 1, ins); }, "obk:InvalidObject");
}

TEST_F(SignatureTest, SignatureText) {
  auto* pv = new OBMethodSignature({"handle", "string"}, {"handle"});
  pv->addArgument("PELLAM array", true);
  EXPECT_EQ(pv->toString(), "(handle, string, PELLAM array...) -> handle");
  expectError([&] { pv->addArgument("string"); }, "obk:InvalidSignature");
  EXPECT_TRUE(pv->acceptsCount(2));
  EXPECT_TRUE(pv->acceptsCount(5));
  EXPECT_FALSE(pv->acceptsCount(1));
  delete pv;
}

}  // namespace
