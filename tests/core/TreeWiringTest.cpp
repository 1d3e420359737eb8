// The tree wiring: each operation leaves the host tree, the parent's handle
// vector, the references, the parent handles and the model's registries
// consistent, also when the model layer refuses the child after the host
// side was wired; and the mass-action test behind the parameter's delete
// guard.
#include <gtest/gtest.h>

#include <jpi/jpi_test.hpp>
#include <ks_utils/Errors.hpp>
#include <sv/sv_test.hpp>

#include "../quantities/QuantityHostFixture.hpp"
#include "expressions/SymbolTable.hpp"

namespace {

using qtest::behind;
using qtest::LinkedReaction;
using qtest::NamedKineticLaw;

// A parameter that the model layer can refuse below a kinetic law, and
// whose undo can fail in turn.
class RefusingParameter : public BParameter {
 public:
  bool refuseLaw = false;
  bool failUndo = false;
  void setParent(KelborComponent* parent) override {
    if (refuseLaw && parent && parent->getEnumType() == kstr::kineticlaw) {
      throw ErrorIdException("Test:LawRefused", "refused");
    }
    if (failUndo && !parent) throw ErrorIdException("Test:UndoFailed", "undo failed");
    BParameter::setParent(parent);
  }
};

class TreeWiringTest : public qtest::QuantityHostTest {
 protected:
  // A parameter "Vm" of the host's parameter class that refuses a kinetic law.
  RefusingParameter* refusingParameter() {
    auto* refusing = new RefusingParameter();
    refusing->setName("Vm");
    refusing->refuseLaw = true;
    wrap(refusing, getParameterOBClass());
    return refusing;
  }
  static int count(const Vector* v, const OBInterface* instance) {
    int n = 0;
    if (v) {
      for (OBInterface* e : v->elements()) n += e == instance ? 1 : 0;
    }
    return n;
  }
  // The child-added desktop events posted so far, as "keyword" texts.
  static std::vector<std::string> childAddedKeywords() {
    std::vector<std::string> keywords;
    for (const jpiRecord* r : jpiTestObjectsOfClass("kestridesk.eventqueue.OBKToJavaEvent")) {
      if (r->signature == "(Ljava/lang/Object;Ljava/lang/Object;Ljava/lang/String;)V") {
        keywords.push_back(r->args.at(2).text);
      }
    }
    return keywords;
  }
};

TEST_F(TreeWiringTest, SpeciesBelowCompartmentEntersEverythingOnce) {
  OBInterface* model = newModel();
  OBInterface* c = newCompartment(model, "c1");
  OBInterface* s = host().construct("Kestrion.Species", {host().str("A")});
  addSpeciesBelowCompartment(s, c);
  addSpeciesBelowCompartment(s, c);  // a second wiring changes nothing

  auto* compartment = behind<BCompartment>(c);
  auto* species = behind<BSpecies>(s);
  EXPECT_EQ(s->getUp(), c);
  EXPECT_EQ(count(static_cast<Vector*>(compartment->getOBISpecies()), s), 1);
  EXPECT_EQ(s->getExternalReferenceCount(), 1);
  EXPECT_EQ(species->getOBIParent(), c);
  EXPECT_EQ(species->getParent(), compartment);
  EXPECT_EQ(compartment->getNumSpecies(), 1u);
  EXPECT_TRUE(behind<Kelbor>(model)->isComponentNameInUse("A", kstr::species));
}

TEST_F(TreeWiringTest, SpeciesWithATakenNameIsRefusedBeforeAnythingChanges) {
  OBInterface* model = newModel();
  OBInterface* c = newCompartment(model, "c1");
  addSpecies(c, "A");
  OBInterface* other = host().construct("Kestrion.Species", {host().str("A")});
  expectHostError([&] { addSpeciesBelowCompartment(other, c); }, "Kestrion:SPECIES_DUPLICATENAME");
  EXPECT_EQ(other->getUp(), nullptr);
  EXPECT_EQ(other->getExternalReferenceCount(), 0);
  EXPECT_EQ(behind<BSpecies>(other)->getOBIParent(), nullptr);
  EXPECT_EQ(behind<BCompartment>(c)->getNumSpecies(), 1u);
}

TEST_F(TreeWiringTest, FreeCompartmentTreeJoinsTheModelAtEveryDepth) {
  OBInterface* model = newModel();
  OBInterface* top = host().construct("Kestrion.Compartment", {host().str("top")});
  OBInterface* mid = objectOf(host().call(top, "addcompartment", {host().str("mid")}, 1).at(0));
  OBInterface* low = objectOf(host().call(mid, "addcompartment", {host().str("low")}, 1).at(0));
  OBInterface* deep = addSpecies(low, "S");
  addSpecies(top, "T");
  EXPECT_EQ(behind<BCompartment>(low)->getParent(), nullptr);

  addCompartmentBelowModel(top, model);
  auto* m = behind<Kelbor>(model);
  for (OBInterface* c : {top, mid, low}) {
    EXPECT_EQ(count(m->getOBICompartments(), c), 1);
    EXPECT_EQ(behind<BCompartment>(c)->getOBIParent(), model);
    EXPECT_EQ(behind<BCompartment>(c)->getParent(), m);
  }
  EXPECT_EQ(m->getNumCompartmentsInTree(), 3u);
  EXPECT_EQ(m->getPartiallyQualifiedComponent("low.S", kstr::species), componentOf(deep));
  EXPECT_EQ(m->getPartiallyQualifiedComponent("top.T", kstr::species)->getName(), "T");
  EXPECT_EQ(host().getString(deep, "PartiallyQualifiedName", true), "low.S");
}

TEST_F(TreeWiringTest, CompartmentTreeWithATakenNameLeavesBothSidesAlone) {
  OBInterface* model = newModel();
  newCompartment(model, "inner");
  OBInterface* top = host().construct("Kestrion.Compartment", {host().str("outer")});
  host().call(top, "addcompartment", {host().str("inner")}, 1);
  expectHostError([&] { addCompartmentBelowModel(top, model); },
                  "Kestrion:KS_COMPARTMENT_DUPLICATE_NAME");
  EXPECT_EQ(top->getUp(), nullptr);
  EXPECT_EQ(count(behind<Kelbor>(model)->getOBICompartments(), top), 0);
  EXPECT_EQ(behind<Kelbor>(model)->getNumCompartmentsInTree(), 1u);
}

TEST_F(TreeWiringTest, NestedCompartmentOutsideAModelOnlyEntersItsOwner) {
  OBInterface* owner = host().construct("Kestrion.Compartment", {host().str("owner")});
  OBInterface* child = host().construct("Kestrion.Compartment", {host().str("child")});
  addCompartmentBelowCompartment(child, owner);
  EXPECT_EQ(child->getUp(), owner);
  EXPECT_EQ(count(static_cast<Vector*>(behind<BCompartment>(owner)->getOBICompartments()), child), 1);
  EXPECT_EQ(behind<BCompartment>(child)->getParent(), nullptr);
  EXPECT_EQ(behind<BCompartment>(child)->getOBIParent(), nullptr);
  // The model-layer membership is the caller's: the owner's list is untouched.
  EXPECT_EQ(behind<BCompartment>(owner)->getNumCompartments(), 0u);
  host().destroy(owner);
}

TEST_F(TreeWiringTest, ReactionRuleAndEventEnterTheModelVectorsOnce) {
  OBInterface* model = newModel();
  auto* m = behind<Kelbor>(model);
  OBInterface* r = newReaction(model, "R1");
  addReactionBelowModel(r, model);
  OBInterface* rule = wrap(new TestRule("1"), qtest::probeRuleClass());
  addRuleBelowModel(rule, model);
  addRuleBelowModel(rule, model);
  OBInterface* event = wrap(new qtest::ProbeEvent(), qtest::probeEventClass());
  addEventBelowModel(event, model);

  EXPECT_EQ(count(m->getOBIReactions(), r), 1);
  EXPECT_EQ(count(m->getOBIRules(), rule), 1);
  EXPECT_EQ(count(m->getOBIEvents(), event), 1);
  for (OBInterface* child : {r, rule, event}) {
    EXPECT_EQ(child->getUp(), model);
    EXPECT_EQ(child->getExternalReferenceCount(), 1);
    EXPECT_EQ(componentOf(child)->getOBIParent(), model);
    EXPECT_EQ(componentOf(child)->getParent(), m);
  }
  EXPECT_EQ(m->getNumReactions(), 1u);
  EXPECT_EQ(m->getNumRules(), 1u);
  EXPECT_EQ(m->getNumEvents(), 1u);
}

TEST_F(TreeWiringTest, RefusalAfterTheHostSideWasWiredUndoesIt) {
  OBInterface* model = newModel();
  auto* m = behind<Kelbor>(model);
  auto* refusing = new LinkedReaction();
  refusing->refuseModel = true;
  OBInterface* r = wrap(refusing, qtest::probeReactionClass());
  expectHostError([&] { addReactionBelowModel(r, model); }, "Test:ModelRefused");
  EXPECT_EQ(r->getUp(), nullptr);
  EXPECT_EQ(count(m->getOBIReactions(), r), 0);
  EXPECT_EQ(r->getExternalReferenceCount(), 0);
  EXPECT_EQ(refusing->getOBIParent(), nullptr);
  EXPECT_EQ(m->getNumReactions(), 0u);  // the model's list gave it back too

  // A duplicate reaction name is refused before any wiring.
  newReaction(model, "R1");
  OBInterface* twin = newReaction(nullptr, "R1");
  expectHostError([&] { addReactionBelowModel(twin, model); }, "Kestrion:DuplicateReactionName");
  EXPECT_EQ(twin->getUp(), nullptr);
  EXPECT_EQ(m->getNumReactions(), 1u);
}

TEST_F(TreeWiringTest, KineticLawBelowReactionAndItsUndo) {
  OBInterface* model = newModel();
  OBInterface* r = newReaction(model, "R1");
  OBInterface* law = newKineticLaw(r, "MassAction");
  auto* reaction = behind<LinkedReaction>(r);
  EXPECT_EQ(law->getUp(), r);
  EXPECT_EQ(reaction->getOBIKineticLaw(), law);
  EXPECT_EQ(reaction->getKineticLaw(), behind<NamedKineticLaw>(law));
  EXPECT_EQ(behind<NamedKineticLaw>(law)->getParent(), reaction);
  EXPECT_EQ(behind<NamedKineticLaw>(law)->getOBIParent(), r);
  EXPECT_EQ(law->getExternalReferenceCount(), 0);  // the reaction takes no reference
  addKineticLawBelowReaction(nullptr, r);          // nothing for no law
  EXPECT_EQ(reaction->getOBIKineticLaw(), law);

  OBInterface* r2 = newReaction(model, "R2");
  behind<LinkedReaction>(r2)->refuseLaw = true;
  auto* refused = new NamedKineticLaw();
  OBInterface* law2 = wrap(refused, qtest::probeKineticLawClass());
  expectHostError([&] { addKineticLawBelowReaction(law2, r2); }, "Test:LawRefused");
  EXPECT_EQ(law2->getUp(), nullptr);
  EXPECT_EQ(behind<LinkedReaction>(r2)->getOBIKineticLaw(), nullptr);
  EXPECT_EQ(refused->getParent(), nullptr);
  EXPECT_EQ(refused->getOBIParent(), nullptr);
}

// The desktop hears of a child only once the model layer has taken it: a
// child that the rollback takes back again was never announced.
TEST_F(TreeWiringTest, RefusedChildIsNotAnnouncedToTheDesktop) {
  svTestSetJava(true);
  OBInterface* model = newModel();
  OBInterface* r = newReaction(model, "R1");
  behind<LinkedReaction>(r)->refuseLaw = true;
  OBInterface* law = wrap(new NamedKineticLaw(), qtest::probeKineticLawClass());
  const size_t before = childAddedKeywords().size();
  expectHostError([&] { addKineticLawBelowReaction(law, r); }, "Test:LawRefused");
  EXPECT_EQ(childAddedKeywords().size(), before)
      << ::testing::PrintToString(childAddedKeywords());
  behind<LinkedReaction>(r)->refuseLaw = false;
  addKineticLawBelowReaction(law, r);
  EXPECT_EQ(childAddedKeywords().size(), before + 1);
  svTestSetJava(false);
}

TEST_F(TreeWiringTest, ParameterAttachedToTheModelAndItsDuplicate) {
  OBInterface* model = newModel();
  auto* m = behind<Kelbor>(model);
  OBInterface* k = newParameter(model, "k", 2);
  attachParameterToModel(k, model);
  EXPECT_EQ(k->getUp(), model);
  EXPECT_EQ(count(m->getOBIParameters(), k), 1);
  EXPECT_EQ(k->getExternalReferenceCount(), 1);
  EXPECT_EQ(m->getNumParameters(), 1u);
  EXPECT_TRUE(m->isComponentNameInUse("k", kstr::parameter));

  OBInterface* twin = host().construct("Kestrion.Parameter", {host().str("k")});
  expectHostError([&] { attachParameterToModel(twin, model); }, "Kestrion:PARAMETER_DUPLICATENAME");
  EXPECT_EQ(twin->getUp(), nullptr);
  EXPECT_EQ(m->getNumParameters(), 1u);
  EXPECT_EQ(m->getOBIParameters()->size(), 1);
}

TEST_F(TreeWiringTest, ParameterBelowKineticLawAndWhatTheLawRefuses) {
  svTestSetJava(true);
  OBInterface* model = newModel();
  OBInterface* law = newKineticLaw(newReaction(model, "R1"), "Henri-Michaelis-Menten");
  auto* kl = behind<NamedKineticLaw>(law);
  const size_t events = childAddedKeywords().size();
  const size_t failures = countFailedWiringRollbacks();
  OBInterface* km = host().construct("Kestrion.Parameter", {host().str("Km")});
  addParameterBelowKineticLaw(km, law);
  addParameterBelowKineticLaw(km, law);  // a second wiring changes nothing
  EXPECT_EQ(km->getUp(), law);
  EXPECT_EQ(count(static_cast<Vector*>(kl->getOBIParameters()), km), 1);
  EXPECT_EQ(km->getExternalReferenceCount(), 1);
  EXPECT_EQ(behind<BParameter>(km)->getOBIParent(), law);
  EXPECT_EQ(behind<BParameter>(km)->getParent(), kl);
  EXPECT_EQ(kl->getNumParameters(), 1u);
  EXPECT_EQ(childAddedKeywords().size(), events + 1);

  // Refused by name before any wiring, and by the model layer after it.
  OBInterface* twin = host().construct("Kestrion.Parameter", {host().str("Km")});
  expectHostError([&] { addParameterBelowKineticLaw(twin, law); }, "Kestrion:PARAMETER_DUPLICATENAME");
  OBInterface* vm = refusingParameter()->getOBI();
  expectHostError([&] { addParameterBelowKineticLaw(vm, law); }, "Test:LawRefused");
  for (OBInterface* refused : {twin, vm}) {
    EXPECT_EQ(refused->getUp(), nullptr);
    EXPECT_EQ(count(static_cast<Vector*>(kl->getOBIParameters()), refused), 0);
    EXPECT_EQ(refused->getExternalReferenceCount(), 0);
    EXPECT_EQ(behind<BParameter>(refused)->getOBIParent(), nullptr);
    EXPECT_EQ(behind<BParameter>(refused)->getParent(), nullptr);
  }
  EXPECT_EQ(kl->getNumParameters(), 1u);
  EXPECT_EQ(childAddedKeywords().size(), events + 1);
  EXPECT_EQ(countFailedWiringRollbacks(), failures);  // both undone cleanly
  svTestSetJava(false);
}

// An error raised while a refused child is taken back does not hide the
// refusal: the host side is still undone, and the second error is counted
// and warned instead of being dropped.
TEST_F(TreeWiringTest, FailingUndoStepIsRecorded) {
  OBInterface* model = newModel();
  OBInterface* law = newKineticLaw(newReaction(model, "R1"), "Henri-Michaelis-Menten");
  RefusingParameter* refusing = refusingParameter();
  refusing->failUndo = true;
  OBInterface* vm = refusing->getOBI();
  const size_t before = countFailedWiringRollbacks();
  hbTestClearWarnings();
  expectHostError([&] { addParameterBelowKineticLaw(vm, law); }, "Test:LawRefused");
  refusing->failUndo = false;
  EXPECT_EQ(countFailedWiringRollbacks(), before + 1);
  ASSERT_EQ(warningIds(), std::vector<std::string>{"Kestrion:WiringRollbackFailed"});
  EXPECT_EQ(hbTestWarnings().front().text,
            "Warning: Undoing the refused addition of a Parameter object raised an error of its own:\n"
            " Test:UndoFailed: undo failed");
  EXPECT_EQ(vm->getUp(), nullptr);
  EXPECT_EQ(vm->getExternalReferenceCount(), 0);
  EXPECT_EQ(refusing->getOBIParent(), nullptr);
  EXPECT_EQ(behind<NamedKineticLaw>(law)->getNumParameters(), 0u);
}

TEST_F(TreeWiringTest, MassActionTestSelectsLawsByKineticLawName) {
  OBInterface* model = newModel();
  OBInterface* r1 = newReaction(model, "R1");
  OBInterface* r2 = newReaction(model, "R2");
  OBInterface* k = newParameter(model, "k");
  const int before = qtest::getParametersMethod()->calls;
  // No mass-action law: false without asking any law.
  EXPECT_FALSE(isParameterInMassActionKineticLaw(k, model));
  EXPECT_EQ(qtest::getParametersMethod()->calls, before);

  OBInterface* other = newKineticLaw(r1, "Henri-Michaelis-Menten");
  OBInterface* kh = host().construct("Kestrion.Parameter", {host().str("kh")});
  attachToKineticLaw(kh, other);
  EXPECT_FALSE(isParameterInMassActionKineticLaw(kh, model));
  EXPECT_TRUE(isParameterInKineticLaw(other, kh));

  OBInterface* massAction = newKineticLaw(r2, "MassAction");
  OBInterface* kf = host().construct("Kestrion.Parameter", {host().str("kf")});
  attachToKineticLaw(kf, massAction);
  EXPECT_TRUE(isParameterInMassActionKineticLaw(kf, model));
  EXPECT_FALSE(isParameterInMassActionKineticLaw(k, model));
  EXPECT_GT(qtest::getParametersMethod()->calls, before);
  // Two mass-action laws: each is asked in turn.
  OBInterface* r3 = newReaction(model, "R3");
  OBInterface* second = newKineticLaw(r3, "MassAction");
  OBInterface* kr = host().construct("Kestrion.Parameter", {host().str("kr")});
  attachToKineticLaw(kr, second);
  EXPECT_TRUE(isParameterInMassActionKineticLaw(kr, model));
  EXPECT_TRUE(isParameterInMassActionKineticLaw(kf, model));
  EXPECT_FALSE(isParameterInMassActionKineticLaw(nullptr, model));
  EXPECT_FALSE(isParameterInKineticLaw(model, k));  // a class without "getparameters"
}

TEST_F(TreeWiringTest, DesktopHearsOfEveryChildButAReaction) {
  svTestSetJava(true);
  OBInterface* model = newModel();
  const size_t before = childAddedKeywords().size();
  OBInterface* c = newCompartment(model, "c1");
  addSpecies(c, "A");
  newParameter(model, "k");
  OBInterface* r = newReaction(model, "R1");
  newKineticLaw(r, "MassAction");
  addRuleBelowModel(wrap(new TestRule("1"), qtest::probeRuleClass()), model);
  addEventBelowModel(wrap(new qtest::ProbeEvent(), qtest::probeEventClass()), model);
  std::vector<std::string> keywords = childAddedKeywords();
  keywords.erase(keywords.begin(), keywords.begin() + static_cast<long>(before));
  EXPECT_EQ(keywords, (std::vector<std::string>{"compartment", "species", "parameter",
                                                "kineticlaw", "rule", "event"}));
  svTestSetJava(false);
  const size_t silent = childAddedKeywords().size();
  newCompartment(model, "c2");
  EXPECT_EQ(childAddedKeywords().size(), silent);
}

}  // namespace
