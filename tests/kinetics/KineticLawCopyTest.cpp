// copyobj of a kinetic law onto a reaction: a reaction without a law takes
// the copy as its law; a reaction that has one refuses it as
// "addkineticlaw" does, and keeps its own law and rate untouched.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KineticsHostFixture.hpp"

namespace ktest {
namespace {

const char kSecondLawText[] =
    "This reaction component already has a kinetic law.  Before adding a new one\n"
    " the old one must be deleted, or alternatively you can change the existing \n"
    " kinetic law object's KineticLawName field to the type trying to be added.";

class KineticLawCopyTest : public KineticsHostTest {
 protected:
  // A mass-action law on the reaction with a law parameter of that name
  // and value bound as its forward rate.
  OBInterface* lawWithParameter(OBInterface* r, const char* parameter, double value) {
    OBInterface* law = addLaw(r, "MassAction");
    call1(law, "addparameter", {host().str(parameter), host().num(value)});
    setParameter(law, "Forward Rate Parameter", parameter);
    return law;
  }
  static std::vector<OBInterface*> lawsBelow(OBInterface* r) {
    std::vector<OBInterface*> laws;
    for (OBInterface* child : r->getChildren()) {
      if (std::string(child->getClass()->getName()) == "KineticLaw") laws.push_back(child);
    }
    return laws;
  }
};

TEST_F(KineticLawCopyTest, ALawIsCopiedOnlyOntoAReactionWithoutOne) {
  OBInterface* m = model();
  OBInterface* r1 = addReaction(m, "A -> B");
  OBInterface* r2 = addReaction(m, "B -> C");
  OBInterface* r3 = addReaction(m, "C -> null");
  OBInterface* law = lawWithParameter(r1, "kf", 2);
  OBInterface* own = lawWithParameter(r2, "kold", 3);
  const size_t instances = OBInterface::liveCount();

  expectHostError([&] { call1(law, "copyobj", {host().handle(r2)}); }, "Kestrion:KineticLawAlreadyExists",
                  kSecondLawText);
  EXPECT_EQ(OBInterface::liveCount(), instances);
  EXPECT_EQ(lawsBelow(r2), std::vector<OBInterface*>{own});
  EXPECT_EQ(objectOf(host().get(r2, "KineticLaw")), own);
  EXPECT_EQ(componentOf(r2)->getOBIParent(), m);
  EXPECT_EQ(host().getString(r2, "ReactionRate"), "kold*B");
  // The reaction's own law still follows its parameter alone.
  host().set(handlesOf(host().get(own, "Parameters")).at(0), "Name", host().str("kslow"));
  EXPECT_EQ(host().getString(r2, "ReactionRate"), "kslow*B");
  EXPECT_EQ(host().getString(r1, "ReactionRate"), "kf*A");

  OBInterface* copy = call1(law, "copyobj", {host().handle(r3)});
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, law);
  EXPECT_EQ(lawsBelow(r3), std::vector<OBInterface*>{copy});
  EXPECT_EQ(objectOf(host().get(r3, "KineticLaw")), copy);
  EXPECT_EQ(host().getString(r3, "ReactionRate"), "kf*C");
  OBInterface* copiedParameter = handlesOf(host().get(copy, "Parameters")).at(0);
  EXPECT_EQ(qxGetScalar(host().get(copiedParameter, "Value")), 2.0);
  host().set(copiedParameter, "Name", host().str("kc"));
  EXPECT_EQ(host().getString(r3, "ReactionRate"), "kc*C");
  EXPECT_EQ(host().getString(r1, "ReactionRate"), "kf*A");
}

}  // namespace
}  // namespace ktest
