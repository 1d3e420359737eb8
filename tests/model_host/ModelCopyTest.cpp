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

// Every property that the host copies reads the same on a copy as on its
// original, for each class that "copyobj" copies; an annotation keeps its
// tags.
TEST_F(ModelCopyTest, CopiedPropertiesReadTheSameOnTheCopy) {
  OBInterface* m = model("source");
  OBInterface* cell = add(m, "addcompartment", {host().str("cell")});
  OBInterface* a = add(m, "addspecies", {host().str("A")});
  OBInterface* k = add(m, "addparameter", {host().str("k")});
  OBInterface* r = add(m, "addreaction", {host().str("A -> null")});
  host().set(r, "ReactionRate", host().str("k*A"));
  for (OBInterface* object : {m, cell, a, k, r}) {
    host().set(object, "Annotation", host().str("<annotation x='1'>hi</annotation>"));
    host().set(object, "Notes", host().str("some notes"));
    host().set(object, "Tag", host().str("tagged"));
  }
  OBInterface* target = model("target");
  OBInterface* targetCell = add(target, "addcompartment", {host().str("room")});
  const std::vector<std::pair<OBInterface*, OBInterface*>> pairs{
      {m, add(m, "copyobj", {})},
      {cell, add(cell, "copyobj", {host().handle(target)})},
      {a, add(a, "copyobj", {host().handle(targetCell)})},
      {k, add(k, "copyobj", {host().handle(target)})},
      {r, add(r, "copyobj", {host().handle(model("target2"))})},
  };
  for (const auto& [original, copy] : pairs) {
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(host().getString(copy, "Annotation"), "<annotation x='1'>hi</annotation>");
    for (OBPropInfo* property : original->getClass()->getProperties()) {
      if (!property->isCopyAccess() || !property->isInternalGetAccess() ||
          !property->isInternalSetAccess() ||
          property->getDataType(original)->isHandleBearing()) {
        continue;
      }
      SCOPED_TRACE(std::string(original->getClass()->getName()) + "." + property->getName());
      EXPECT_TRUE(qxIsIdentical(host().get(original, property->getName(), true),
                                host().get(copy, property->getName(), true)))
          << qxArrayToStdString(host().get(original, property->getName(), true)) << " vs "
          << qxArrayToStdString(host().get(copy, property->getName(), true));
    }
  }
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
