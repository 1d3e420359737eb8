// Small host classes and helpers for the object-system tests.
//
// Application "TestApp" holds:
//   "Thing"    creatable; properties Name, Note (internal set only), Secret
//              (no external get), Count (int), Ratio (double), Flag (bool),
//              Uses (long, read only), Kind (read only), Partner (handle),
//              Mode (enum "TestModeEnum"), Data (PELLAM array); a guard that
//              refuses while the component is locked; methods used by the
//              signature tests.
//   "SubThing" derives from Thing; redeclares "NAME", adds "Extra".
//   "Config"   creatable, no properties.
//   "Abstract" cannot be constructed.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "obk/obk.hpp"
#include "qx/qx.hpp"

namespace obktest {

struct Thing {
  std::string name;
  std::string note;
  std::string secret = "hidden";
  std::string extra;
  int count = 0;
  double ratio = 0.0;
  bool flag = false;
  size_t uses = 7;
  int mode = 0;
  bool locked = false;
  OBInterface* partner = nullptr;  // borrowed
  qxArray* data = nullptr;         // persistent copy, owned

  const std::string& getName() const { return name; }
  void setName(const std::string& v) { name = v; }
  const std::string& getNote() const { return note; }
  void setNote(const std::string& v) { note = v; }
  const std::string& getSecret() const { return secret; }
  void setSecret(const std::string& v) { secret = v; }
  const std::string& getExtra() const { return extra; }
  void setExtra(const std::string& v) { extra = v; }
  int getCount() const { return count; }
  void setCount(int v) { count = v; }
  double getRatio() const { return ratio; }
  void setRatio(double v) {
    if (v < 0) throw ErrorIdException("Test:NegativeRatio", "Ratio must not be negative.");
    ratio = v;
  }
  bool getFlag() const { return flag; }
  void setFlag(bool v) { flag = v; }
  size_t getUses() const { return uses; }
  void toggle() { flag = !flag; }
  const char* getKind() const { return "thing"; }
  OBInterface* getPartner() const { return partner; }
  void setPartner(OBInterface* p) { partner = p; }
  ~Thing();
};

// Names of destroyed instances, in the order their hooks ran, with the
// parent's name as seen from the hook ("child<parent").
std::vector<std::string>& destroyLog();

OBApplication* testApp();
OBClass* thingClass();
OBClass* subThingClass();
OBClass* configClass();
OBClass* abstractClass();
EnumStringType* modeType();

// A new Thing instance (one reference, the caller's) with a name.
OBInterface* newThing(const std::string& name, OBClass* cls = nullptr);
Thing* thingOf(OBInterface* obi);

// A method whose body is a callable; it records the index of the matched
// signature.
class LambdaMethod : public OBMethodInfo {
 public:
  using Body = std::function<void(int sigIndex, int& nOut, void* outs[], int nIn,
                                  void* const ins[])>;
  LambdaMethod(const char* name, std::vector<OBMethodSignature*> sigs, Body body);
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
  int lastIndex = -1;

 private:
  Body body_;
};

// Owning handle of a host array.
struct ArrDel {
  void operator()(qxArray* a) const { qxDestroyArray(a); }
};
using Arr = std::unique_ptr<qxArray, ArrDel>;
inline Arr str(const char* s) { return Arr(qxCreateString(s)); }
inline Arr num(double v) { return Arr(qxCreateDoubleScalar(v)); }
inline Arr logical(bool v) { return Arr(qxCreateLogicalScalar(v)); }
Arr handles(const std::vector<OBInterface*>& objs);  // N-by-1
Arr cellOf(const std::vector<const char*>& texts, bool row = false);
std::vector<std::string> textsOf(const qxArray* cell);

// Checks at the end of every test that no instance or array leaked and no
// destroy diagnostic was recorded.
class ObkTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  size_t liveBefore_ = 0;
  size_t arraysBefore_ = 0;
  size_t blocksBefore_ = 0;
};

// Expects fn to raise ErrorIdException with that identifier; returns the text.
std::string expectError(const std::function<void()>& fn, const std::string& id);

}  // namespace obktest
