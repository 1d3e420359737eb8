// copyobj of a whole model: the copy has the same components, names, order
// and expressions as the original, resolved to its own components.
#include "ModelHostFixture.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>

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

namespace {

// The text of a property value, for comparing an original with its copy:
// numbers with every digit, texts quoted, cells and structures element by
// element.  Handles are not values of their own (the copy holds its own).
std::string valueText(const qxArray* value) {
  if (!value) return "none";
  if (qxIsChar(value)) return "'" + qxArrayToStdString(value) + "'";
  std::string out = "[";
  const size_t count = qxGetNumberOfElements(value);
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) out += ' ';
    if (qxIsCell(value)) {
      out += valueText(qxGetCell(value, i));
    } else if (qxIsStruct(value)) {
      for (int f = 0; f < qxGetNumberOfFields(value); ++f) {
        out += std::string(qxGetFieldNameByNumber(value, f)) + ":" + valueText(qxGetFieldByNumber(value, i, f)) + ";";
      }
    } else if (qxIsLogical(value)) {
      out += qxGetLogicals(value)[i] ? "true" : "false";
    } else if (qxIsNumeric(value)) {
      char number[32];
      std::snprintf(number, sizeof number, "%.17g", qxGetPr(value)[i]);
      out += number;
    }
  }
  return out + "]";
}

class ModelCopyContentsTest : public ModelHostTest {
 protected:
  // Kinetic laws fill process-wide caches on first use; fill them before
  // the leak check's starting point.
  void SetUp() override {
    ModelHostTest::SetUp();
    OBInterface* m = model("warm-up");
    OBInterface* law = add(add(m, "addreaction", {host().str("A -> B")}), "addkineticlaw", {host().str("MassAction")});
    add(law, "addparameter", {host().str("kf")});
    host().set(law, "ParameterVariableNames", host().str("kf"));
    host().destroy(m);
    host().clearLogs();
    startHealth_.hbBlocks = TestHost::health().hbBlocks;
  }

  // Every value the host reads on the object, one "Property=value" text
  // each.  Handles and what the copy makes afresh (identifiers of its own)
  // are left out.
  std::vector<std::string> valuesOf(OBInterface* object, const std::set<std::string>& skipped) {
    std::vector<std::string> out{object->getClass()->getName()};
    for (OBPropInfo* property : object->getClass()->getProperties()) {
      if (!property->isInternalGetAccess() || property->getDataType(object)->isHandleBearing() ||
          skipped.count(property->getName())) {
        continue;
      }
      out.push_back(std::string(property->getName()) + "=" + valueText(host().get(object, property->getName(), true)));
    }
    return out;
  }

  // The object and everything below it in the host tree, depth first.
  static void collectTree(OBInterface* object, std::vector<OBInterface*>& out) {
    out.push_back(object);
    for (OBInterface* child : object->getChildren()) collectTree(child, out);
  }

  // A model with every part a copy must carry: configuration sets with
  // values of their own (the second one active, its states to log chosen
  // and its sensitivity inputs set), variants, doses, a sub-model with its
  // own components, and reactions with kinetic laws and law parameters.
  OBInterface* richModel() {
    OBInterface* m = model("rich");
    add(m, "addcompartment", {host().str("cell")});
    OBInterface* a = add(m, "addspecies", {host().str("A"), host().num(5)});
    add(m, "addspecies", {host().str("B")});
    OBInterface* k = add(m, "addparameter", {host().str("k"), host().num(0.5)});
    OBInterface* defaults = add(m, "getconfigset", {host().str("default")});
    host().set(defaults, "StopTime", host().num(77));
    host().set(defaults, "SolverType", host().str("ssa"));
    host().set(child(defaults, "KStrDistributed"), "NumberOfRuns", host().num(9));
    host().set(child(defaults, "SSASolverOptions"), "RandomState", host().num(12345));
    OBInterface* fast = add(m, "addconfigset", {host().str("fast"), host().logical(true)});
    host().set(fast, "StopTime", host().num(42));
    host().set(fast, "Notes", host().str("quick runs"));
    host().set(child(fast, "ODESolverOptions"), "AbsoluteTolerance", host().num(1e-9));
    host().set(child(fast, "CompileOptions"), "DimensionalAnalysis", host().logical(false));
    host().set(child(fast, "RuntimeOptions"), "StatesToLog", host().handles({a}));
    host().set(child(fast, "SensitivityAnalysisOptions"), "SpeciesInputFactors", host().handles({a}));
    host().set(child(fast, "SensitivityAnalysisOptions"), "ParameterInputFactors", host().handles({k}));
    OBInterface* v = add(m, "addvariant", {host().str("v1")});
    host().set(v, "Content",
               host().cell({host().cell({host().str("species"), host().str("A"), host().str("InitialAmount"),
                                         host().num(3)}),
                            host().cell({host().str("parameter"), host().str("k"), host().str("Value"),
                                         host().num(2)})}));
    host().set(v, "Active", host().logical(true));
    OBInterface* d = add(m, "adddose", {host().str("d1"), host().str("schedule")});
    host().set(d, "TargetName", host().str("cell.A"));
    host().set(d, "Amount", host().nums({1, 2}));
    host().set(d, "Time", host().nums({0, 8}));
    OBInterface* repeat = add(m, "adddose", {host().str("d2"), host().str("repeat")});
    host().set(repeat, "TargetName", host().str("B"));
    host().set(repeat, "RepeatCount", host().num(3));
    OBInterface* sub = add(m, "addmodel", {host().str("sub")});
    add(sub, "addcompartment", {host().str("inner"), host().num(2)});
    add(sub, "addspecies", {host().str("X"), host().num(7)});
    add(sub, "addparameter", {host().str("ks"), host().num(4)});
    OBInterface* r1 = add(m, "addreaction", {host().str("A -> B")});
    host().set(r1, "Name", host().str("r1"));
    OBInterface* law = add(r1, "addkineticlaw", {host().str("MassAction")});
    add(law, "addparameter", {host().str("kf"), host().num(0.25)});
    host().set(law, "ParameterVariableNames", host().str("kf"));
    OBInterface* r2 = add(m, "addreaction", {host().str("B -> null"), host().str("Name"), host().str("r2")});
    host().set(r2, "ReactionRate", host().str("k*B"));
    host().clearLogs();
    return m;
  }

  static OBInterface* child(OBInterface* parent, const char* className) {
    for (OBInterface* c : parent->getChildren()) {
      if (std::strcmp(c->getClass()->getName(), className) == 0) return c;
    }
    return nullptr;
  }
};

// One part of a model: the objects that make it up, each with what lies
// below it in the host tree.
struct ModelPart {
  const char* what;
  std::function<std::vector<OBInterface*>(ModelCopyContentsTest&, OBInterface*)> roots;
};

// copyobj of a model, in both its forms, carries every part of the model
// with the same values: the copy's objects read as the original's, one by
// one, and none of them is the original's own object.
TEST_F(ModelCopyContentsTest, CopyCarriesEveryPartWithItsValues) {
  auto handles = [](const char* property) {
    return [property](ModelCopyContentsTest& t, OBInterface* m) { return handlesOf(t.host().get(m, property)); };
  };
  const ModelPart parts[] = {
      {"configuration sets", handles("ConfigSets")},
      {"variants", handles("Variants")},
      {"doses", handles("Doses")},
      {"sub-models", handles("Models")},
      {"compartments", handles("Compartments")},
      {"parameters", handles("Parameters")},
      {"reactions and kinetic laws", handles("Reactions")},
  };
  // Values the copy makes afresh or that say where an object lies.
  const std::set<std::string> skipped{"ID", "UUID", "FullIdPathToTopModel", "CompileNeeded", "StatesToLogSet"};
  OBInterface* m = richModel();
  const struct {
    const char* form;
    std::function<OBInterface*()> copy;
  } forms[] = {
      {"copyobj(m)", [&] { return add(m, "copyobj", {}); }},
      {"copyobj(m, root)", [&] { return add(m, "copyobj", {host().handle(getOBIRoot())}); }},
  };
  for (const auto& form : forms) {
    SCOPED_TRACE(form.form);
    OBInterface* copy = form.copy();
    ASSERT_NE(copy, nullptr);
    for (const ModelPart& part : parts) {
      SCOPED_TRACE(part.what);
      std::vector<OBInterface*> original, copied;
      for (OBInterface* root : part.roots(*this, m)) collectTree(root, original);
      for (OBInterface* root : part.roots(*this, copy)) collectTree(root, copied);
      ASSERT_FALSE(original.empty());
      // The host tree keeps children in the order they were attached, which
      // a copy need not repeat: the objects are compared as a whole set.
      std::vector<std::vector<std::string>> originalValues, copiedValues;
      for (OBInterface* object : original) originalValues.push_back(valuesOf(object, skipped));
      for (OBInterface* object : copied) {
        EXPECT_EQ(std::find(original.begin(), original.end(), object), original.end());
        copiedValues.push_back(valuesOf(object, skipped));
      }
      std::sort(originalValues.begin(), originalValues.end());
      std::sort(copiedValues.begin(), copiedValues.end());
      EXPECT_EQ(copiedValues, originalValues);
    }
    // The source's active set is the copy's; the copy logs every state
    // again (a choice of states belongs to the original's components), and
    // its sensitivity inputs are the copy's own components.
    Kelbor* duplicate = kelbor(copy);
    EXPECT_EQ(duplicate->getActiveConfigSetName(), "fast");
    OBInterface* fast = duplicate->getConfigSet("fast")->getOBI();
    EXPECT_TRUE(*qxGetLogicals(host().get(fast, "Active")));
    EXPECT_FALSE(*qxGetLogicals(host().get(duplicate->getConfigSet("default")->getOBI(), "Active")));
    EXPECT_FALSE(*qxGetLogicals(host().get(child(fast, "RuntimeOptions"), "StatesToLogSet", true)));
    OBInterface* copiedA = duplicate->getPartiallyQualifiedComponent("A", kstr::species)->getOBI();
    OBInterface* copiedK = duplicate->getPartiallyQualifiedComponent("k", kstr::parameter)->getOBI();
    OBInterface* sensitivity = child(fast, "SensitivityAnalysisOptions");
    EXPECT_EQ(handlesOf(host().get(sensitivity, "SpeciesInputFactors")), std::vector<OBInterface*>{copiedA});
    EXPECT_EQ(handlesOf(host().get(sensitivity, "ParameterInputFactors")), std::vector<OBInterface*>{copiedK});
    // The copied sub-model is a sub-model of the copy, without sets of its
    // own, and the top model's law still drives its reaction.
    OBInterface* sub = handlesOf(host().get(copy, "Models")).at(0);
    EXPECT_EQ(componentOf(sub)->getOBIParent(), copy);
    EXPECT_TRUE(kelbor(sub)->getConfigSets().empty());
    EXPECT_EQ(duplicate->getReactionAt(0)->getReactionRate(), "kf*A");
  }
  EXPECT_EQ(BQuorvixRoot::getInstance()->getModels().size(), 3u);
}

}  // namespace
