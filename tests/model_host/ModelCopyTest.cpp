// copyobj of a whole model: the copy has the same components, names, order
// and expressions as the original, resolved to its own components.
#include "ModelHostFixture.hpp"

#include "quantities/BCompartment.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BReaction.hpp"

namespace {

class ModelCopyTest : public ModelHostTest {};

// Names of the model's compartments, species, parameters and reactions (with
// equation and rate), in list order.
std::vector<std::string> describeModel(Kelbor* m) {
  std::vector<std::string> out;
  std::unique_ptr<kstrVector<BCompartment*>> compartments(m->getAllCompartmentsInTree());
  for (BCompartment* c : *compartments) out.push_back("compartment " + c->getName());
  std::unique_ptr<kstrVector<BSpecies*>> species(m->getAllSpeciesInTree());
  for (BSpecies* s : *species) out.push_back("species " + s->getName());
  for (BParameter* p : *m->getParameters()) out.push_back("parameter " + p->getName());
  for (BReaction* r : *m->getReactions()) {
    out.push_back("reaction " + r->getName() + ": " + r->getReactionString() + " | " +
                  r->getReactionRate());
  }
  return out;
}

TEST_F(ModelCopyTest, CopyKeepsComponentsOrderAndExpressions) {
  OBInterface* m = model("enzyme");
  add(m, "addcompartment", {host().str("cell")});
  for (const char* s : {"E", "S", "ES", "P"}) add(m, "addspecies", {host().str(s)});
  for (const char* p : {"kf", "kr", "kcat"}) add(m, "addparameter", {host().str(p)});
  OBInterface* r1 = add(m, "addreaction", {host().str("E + S <-> ES")});
  host().set(r1, "Name", host().str("binding"));
  host().set(r1, "ReactionRate", host().str("kf*E*S - kr*ES"));
  OBInterface* r2 = add(m, "addreaction", {host().str("ES -> E + P")});
  host().set(r2, "ReactionRate", host().str("kcat*ES"));

  OBInterface* copy = add(m, "copyobj", {});
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(copy, m);
  Kelbor* original = kelbor(m);
  Kelbor* duplicate = kelbor(copy);
  EXPECT_EQ(describeModel(duplicate), describeModel(original));

  // The copy's expressions resolve to the copy's own components.
  BReaction* copied = duplicate->getReactionAt(1);
  BSpecies* es = static_cast<BSpecies*>(duplicate->getPartiallyQualifiedComponent("ES", kstr::species));
  ASSERT_NE(es, nullptr);
  EXPECT_EQ(es->getModelGlobalData()->model, duplicate);
  EXPECT_EQ(copied->getReactionString(), "ES -> E + P");
  EXPECT_GE(es->getInUseCount(), 1u);
}

}  // namespace

namespace {

TEST_F(ModelCopyTest, ModelHelpersForOtherSubsystems) {
  OBInterface* m = model("m");
  add(m, "addcompartment", {host().str("cell")});
  OBInterface* a = add(m, "addspecies", {host().str("A")});
  OBInterface* k = add(m, "addparameter", {host().str("k")});
  OBInterface* c = add(m, "addparameter", {host().str("c")});
  host().set(c, "ConstantValue", host().logical(false));

  EXPECT_EQ(kelborFromHandle(m), kelbor(m));
  EXPECT_EQ(kelborFromHandle(a), nullptr);
  EXPECT_EQ(kelborFromHandle(nullptr), nullptr);

  Vector all, variable;
  collectSpeciesAndParameterOBIs(m, &all, true);
  collectSpeciesAndParameterOBIs(m, &variable, false);
  collectSpeciesAndParameterOBIs(a, &variable, false);  // not a model: nothing
  EXPECT_EQ(all.elements(), (std::vector<OBInterface*>{a, k, c}));
  EXPECT_EQ(variable.elements(), (std::vector<OBInterface*>{a, c}));
  for (Vector* v : {&all, &variable}) {
    for (OBInterface* h : v->elements()) h->releaseReference();
  }
  EXPECT_FALSE(BQuorvixRoot::getInstance()->getLibraryUpdateSwitch());
}

}  // namespace
