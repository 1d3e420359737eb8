// What the properties of "Model" do when read and written: the flags and
// switches, the identity values, the Parent moves, and the restore-only
// setters of the handle vectors with their checks.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "ModelHostFixture.hpp"
#include "model/ModelGlue.hpp"
#include "model/ModelOBC.hpp"
#include "model/SimulatorInterfaces.hpp"
#include "quantities/BCompartment.hpp"

namespace {

using ModelPropertiesTest = ModelHostTest;

OBDatabaseClient* internal() { return OBDatabaseClient::getInternalClient(); }

// Sets a native value through the object system as the engine's client.
void setNative(OBInterface* object, const char* property, void* value) {
  object->set(object->getProperty(property), value, internal());
}

TEST_F(ModelPropertiesTest, CompileNeededCanOnlyBeSetToTrue) {
  OBInterface* m = model("m");
  kelbor(m)->setCompileNeeded(false);
  host().set(m, "CompileNeeded", host().logical(true));
  EXPECT_TRUE(kelbor(m)->getCompileNeeded());
  EXPECT_TRUE(qxIsLogical(host().get(m, "CompileNeeded")));
  kelbor(m)->setCompileNeeded(false);
  expectHostError([&] { host().set(m, "CompileNeeded", host().logical(false)); },
                  "Kestrion:InvalidCompileNeededValue", "CompileNeeded can only be set to true.");
  EXPECT_FALSE(kelbor(m)->getCompileNeeded());
}

TEST_F(ModelPropertiesTest, ExpressionEventSwitchesAreWrittenButNeverRead) {
  OBInterface* m = model("m");
  const std::pair<const char*, kstr::bcomptype> switches[] = {
      {"SendRuleExpressionEvents", kstr::rule},
      {"SendReactionExpressionEvents", kstr::reaction},
      {"SendEventExpressionEvents", kstr::event},
  };
  for (const auto& [name, kind] : switches) {
    host().set(m, name, host().logical(true));
    EXPECT_TRUE(kelbor(m)->getSendExpressionEvents(kind)) << name;
    expectHostError([&, name = name] { host().get(m, name); }, "obk:PropertyAccessDenied");
    expectHostError([&, name = name] { host().get(m, name, true); }, "obk:PropertyAccessDenied");
  }
  // Without the desktop there is nobody to send in-use counts to.
  host().set(m, "SendInUseCountEvents", host().logical(true));
  EXPECT_FALSE(kelbor(m)->getSendInUseEvents());
  EXPECT_FALSE(*qxGetLogicals(host().get(m, "SendInUseCountEvents")));
}

TEST_F(ModelPropertiesTest, GeneratedEventCodeIsReadOnly) {
  OBInterface* m = model("m");
  EXPECT_TRUE(qxIsEmpty(host().get(m, "Generator_EventTrigger")));
  EXPECT_TRUE(qxIsEmpty(host().get(m, "Generator_EventFunction")));
  for (const char* name : {"Generator_EventTrigger", "Generator_EventFunction"}) {
    expectHostError([&] { host().set(m, name, host().num(1), true); }, "obk:PropertyAccessDenied");
    OBPropInfo* prop = m->getProperty(name);
    expectHostError([&] { prop->setValue(internal(), m, host().num(1)); }, "Kestrion:NoSetMethod",
                    "No set method is available for this property.");
  }
}

TEST_F(ModelPropertiesTest, UuidReadsAndRestores) {
  OBInterface* m = model("m");
  const std::string fresh = host().getString(m, "UUID");
  EXPECT_EQ(fresh.size(), 36u);
  const char* text = "0123abcd-0000-4000-8000-00000000beef";
  host().set(m, "UUID", host().str(text), true);
  EXPECT_EQ(host().getString(m, "UUID"), text);
  host().set(m, "UUID", host().str(""), true);
  EXPECT_EQ(host().getString(m, "UUID"), text);
  expectHostError([&] { host().set(m, "UUID", host().str("not a uuid"), true); }, "Kestrion:InvalidUUID");
  EXPECT_EQ(host().getString(m, "UUID"), text);
  expectHostError([&] { host().set(m, "UUID", host().str(text)); }, "obk:PropertyAccessDenied");
}

// Run in a process of its own by the test below: prints the UUID of a fresh
// model and the ID of a fresh compartment, the identity values that two
// sessions must never share.
TEST_F(ModelPropertiesTest, DISABLED_PrintsTheIdentityOfAFreshModel) {
  OBInterface* m = model("m");
  OBInterface* c = add(m, "addcompartment", {host().str("c")});
  std::printf("fresh identity: %s %s\n", host().getString(m, "UUID").c_str(),
              host().getString(c, "ID").c_str());
  std::fflush(stdout);
}

// The identity line printed by the test above, run in a new process of this
// executable; empty when it could not be run.
std::string identityFromANewProcess() {
  char self[4096] = {};
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return {};
  const std::string command = std::string("'") + self +
                              "' --gtest_also_run_disabled_tests "
                              "--gtest_filter=ModelPropertiesTest."
                              "DISABLED_PrintsTheIdentityOfAFreshModel 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return {};
  std::string found;
  char line[1024];
  const std::string marker = "fresh identity: ";
  while (std::fgets(line, sizeof line, pipe)) {
    const std::string text(line);
    if (text.compare(0, marker.size(), marker) == 0) found = text.substr(marker.size());
  }
  pclose(pipe);
  return found;
}

TEST_F(ModelPropertiesTest, TwoProcessesGiveTheirModelsDifferentIdentities) {
  const std::string first = identityFromANewProcess();
  const std::string second = identityFromANewProcess();
  ASSERT_GT(first.size(), 36u) << "the child process printed no identity";
  ASSERT_GT(second.size(), 36u) << "the child process printed no identity";
  const std::string firstUuid = first.substr(0, 36);
  const std::string secondUuid = second.substr(0, 36);
  EXPECT_NE(firstUuid, secondUuid);
  EXPECT_NE(first.substr(37), second.substr(37));
  // Neither is this process's own first model's.
  EXPECT_NE(host().getString(model("m"), "UUID"), firstUuid);
}

class SimulationData : public ODESimulationDataApi {};

TEST_F(ModelPropertiesTest, OdeSimulationDataMustBeOfItsClassAndIsKept) {
  OBInterface* m = model("m");
  expectHostError([&] { host().set(m, "ODESimulationData", host().num(2)); },
                  "Kestrion:InvalidODESimulationData", "The property value must be an ODESimulationData object.");
  EXPECT_EQ(kelbor(m)->getODESimulationData(), nullptr);
  static SimulationData data;
  qxArray* value = qxCreateObjectArray("ODESimData.ODESimulationData", &data, nullptr);
  host().own(value);
  host().set(m, "ODESimulationData", value);
  EXPECT_EQ(kelbor(m)->getODESimulationDataApi(), &data);
  ASSERT_NE(kelbor(m)->getODESimulationData(), nullptr);
  EXPECT_NE(kelbor(m)->getODESimulationData(), value);  // a copy is kept
  EXPECT_TRUE(qxIsIdentical(host().get(m, "ODESimulationData"), value));
  expectHostError([&] { host().set(m, "ODESimulationData", host().str("x")); },
                  "Kestrion:InvalidODESimulationData");
  EXPECT_EQ(kelbor(m)->getODESimulationDataApi(), &data);
}

TEST_F(ModelPropertiesTest, NameIsTrimmedAndUniqueAmongSiblings) {
  OBInterface* top = model("top");
  OBInterface* a = model("a");
  OBInterface* b = model("b");
  host().set(a, "Parent", host().handle(top), true);
  host().set(b, "Parent", host().handle(top), true);
  host().set(a, "Name", host().str("  a2  "));
  EXPECT_EQ(nameOf(a), "a2");
  expectHostError([&] { host().set(a, "Name", host().str("   ")); }, "Kestrion:KSTRMODEL_INVALIDNAME",
                  "Invalid Name. Name cannot be an empty string or contain only whitespace.");
  expectHostError([&] { host().set(a, "Name", host().str("b")); }, "Kestrion:MODEL_DUPLICATENAME",
                  "NAME is being used by another Kestrion model object. Specify a different NAME. \n"
                  "Type 'help Kestrion.Model.addmodel' for more information.");
  EXPECT_EQ(nameOf(a), "a2");
  host().set(a, "Name", host().str("a2"));  // its own name again
  // Top-level models may share a name.
  host().set(top, "Name", host().str("a2"));
  EXPECT_EQ(nameOf(top), "a2");
}

TEST_F(ModelPropertiesTest, ParentMovesBetweenModelsAndTheRoot) {
  OBInterface* top = model("top");
  OBInterface* m = model("m");
  host().set(m, "Parent", host().handle(top), true);
  EXPECT_EQ(m->getUp(), top);
  EXPECT_EQ(objectOf(host().get(m, "Parent")), top);
  EXPECT_EQ(handlesOf(host().get(getOBIRoot(), "Models")), std::vector<OBInterface*>{top});
  EXPECT_EQ(handlesOf(host().get(top, "Models")), std::vector<OBInterface*>{m});
  EXPECT_EQ(kelbor(m)->getParent(), kelbor(top));
  EXPECT_EQ(host().getString(m, "FullyQualifiedName"), "kstrmodel:top.kstrmodel:m");
  // Back to the root: the model's parent component becomes the root.
  host().set(m, "Parent", host().handle(getOBIRoot()), true);
  EXPECT_EQ(m->getUp(), getOBIRoot());
  EXPECT_EQ(kelbor(m)->getParent(), BQuorvixRoot::getInstance());
  EXPECT_EQ(host().getString(m, "FullyQualifiedName"), "kstrmodel:m");
  EXPECT_EQ(handlesOf(host().get(getOBIRoot(), "Models")), (std::vector<OBInterface*>{top, m}));
  EXPECT_TRUE(qxIsEmpty(host().get(top, "Models")));
  // The model keeps its own model data through the moves.
  EXPECT_EQ(kelbor(m)->getModelGlobalData()->model, kelbor(m));
}

TEST_F(ModelPropertiesTest, RefusedParentsChangeNothing) {
  OBInterface* top = model("top");
  OBInterface* m = model("m");
  OBInterface* sub = model("sub");
  OBInterface* other = model("other");
  OBInterface* clash = model("m");
  host().set(m, "Parent", host().handle(top), true);
  host().set(sub, "Parent", host().handle(m), true);
  host().set(clash, "Parent", host().handle(other), true);
  OBInterface* compartment = add(top, "addcompartment", {host().str("c")});
  struct Case {
    const char* label;
    OBInterface* newParent;
    const char* id;
    const char* text;
  };
  const Case cases[] = {
      {"itself", m, "Kestrion:PARENT_INVALIDOBJ",
       "Invalid Parent. The Parent cannot be the object itself or one of its sub-models."},
      {"its sub-model", sub, "Kestrion:PARENT_INVALIDOBJ", nullptr},
      {"a compartment", compartment, "Kestrion:PARENT_INVALIDTYPE", "Parent must be a Kestrion model object."},
      {"nothing", nullptr, "Kestrion:MODEL_PARENT_INVALIDTYPE",
       "Parent must be the Kestrion root object or a Kestrion model object."},
      {"a model holding its name", other, "Kestrion:MODEL_DUPLICATENAME",
       "The Parent property cannot be configured. Parent already has a Kestrion model with the same name."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    expectHostError([&] { host().set(m, "Parent", host().handle(c.newParent), true); }, c.id,
                    c.text ? c.text : "");
    EXPECT_EQ(m->getUp(), top);
    EXPECT_EQ(handlesOf(host().get(top, "Models")), std::vector<OBInterface*>{m});
    EXPECT_EQ(handlesOf(host().get(other, "Models")), std::vector<OBInterface*>{clash});
  }
  expectHostError([&] { host().set(m, "Parent", host().handle(top)); }, "obk:PropertyAccessDenied");
}

TEST_F(ModelPropertiesTest, VectorsOfASubModel) {
  OBInterface* top = model("top");
  OBInterface* sub = model("sub");
  host().set(sub, "Parent", host().handle(top), true);
  EXPECT_TRUE(qxIsEmpty(host().get(sub, "ConfigSets")));
  EXPECT_TRUE(qxIsEmpty(host().get(sub, "Variants")));
  EXPECT_TRUE(qxIsHandleArray(host().get(sub, "Doses")));
  EXPECT_TRUE(qxIsEmpty(host().get(sub, "Events")));
  EXPECT_EQ(handlesOf(host().get(top, "ConfigSets")).size(), 1u);
  EXPECT_EQ(host().getString(sub, "FullIdPathToTopModel"),
            host().getString(top, "ID", true) + "_" + host().getString(sub, "ID", true));
}

TEST_F(ModelPropertiesTest, ComponentVectorsFollowTheAddMethods) {
  OBInterface* m = model("m");
  OBInterface* c1 = add(m, "addcompartment", {host().str("c1")});
  OBInterface* p = add(m, "addparameter", {host().str("k")});
  OBInterface* s = add(m, "addspecies", {host().str("A")});
  EXPECT_EQ(handlesOf(host().get(m, "Compartments")), std::vector<OBInterface*>{c1});
  EXPECT_EQ(handlesOf(host().get(m, "TopLevelCompartments")), std::vector<OBInterface*>{c1});
  EXPECT_EQ(handlesOf(host().get(m, "Parameters")), std::vector<OBInterface*>{p});
  EXPECT_EQ(handlesOf(host().get(m, "Species")), std::vector<OBInterface*>{s});
  EXPECT_TRUE(qxIsEmpty(host().get(m, "Reactions")));
  EXPECT_TRUE(qxIsEmpty(host().get(m, "Rules")));
}

// --- the restore-only setters ------------------------------------------------------------

TEST_F(ModelPropertiesTest, SpeciesRestoreMakesTheUnnamedCompartment) {
  OBInterface* m = model("m");
  Vector empty;
  setNative(m, "Species", &empty);
  EXPECT_NE(kelbor(m)->getNamedCompartment("unnamed"), nullptr);
  EXPECT_TRUE(kelbor(m)->getLoadingSpeciesIntoModel());
  OBInterface* loose = host().construct("Species", {host().str("S1")});
  host().set(m, "Species", host().handles({loose}), true);
  EXPECT_EQ(handlesOf(host().get(m, "Species")), std::vector<OBInterface*>{loose});
  EXPECT_EQ(kelbor(m)->getNumCompartmentsInTree(), 1u);
  // The reactions' restore ends the species loading, also with no reaction.
  Vector none;
  setNative(m, "Reactions", &none);
  EXPECT_FALSE(kelbor(m)->getLoadingSpeciesIntoModel());
}

TEST_F(ModelPropertiesTest, ReactionRestoreRenamesDuplicates) {
  OBInterface* m = model("m");
  OBInterface* r1 = host().construct("Reaction");
  OBInterface* r2 = host().construct("Reaction");
  OBInterface* r3 = host().construct("Reaction");
  componentOf(r1)->setName("r");
  componentOf(r2)->setName("r");
  componentOf(r3)->setName("r");
  host().set(m, "Reactions", host().handles({r1, r2, r3}), true);
  EXPECT_EQ(nameOf(r1), "r");
  EXPECT_EQ(nameOf(r2), "r_1");
  EXPECT_EQ(nameOf(r3), "r_2");
  EXPECT_EQ(handlesOf(host().get(m, "Reactions")), (std::vector<OBInterface*>{r1, r2, r3}));
  ASSERT_EQ(host().warnings().size(), 2u);
  EXPECT_EQ(host().warnings()[0].id, "Kestrion:DuplicateReactionNameRename");
  EXPECT_EQ(host().warnings()[0].text,
            "Duplicate reaction names are not allowed. Reaction 'r' will be renamed to 'r_1'.");
}

TEST_F(ModelPropertiesTest, ConfigSetsRestoreReplacesTheDefaultMadeAtCreation) {
  OBInterface* m = model("m");
  OBInterface* automatic = kelbor(m)->getConfigSet("default")->getOBI();
  OBInterface* savedDefault = getConfigsetOBClass()->createInstance(internal());
  OBInterface* saved = getConfigsetOBClass()->createInstance(internal());
  host().own(obkHandleArray(savedDefault));
  host().own(obkHandleArray(saved));
  savedDefault->releaseReference();
  saved->releaseReference();
  componentOf(savedDefault)->setName("default");
  componentOf(saved)->setName("fast");
  configSetOf(saved)->setActive(true);
  const size_t instances = OBInterface::liveCount();
  host().set(m, "ConfigSets", host().handles({savedDefault, saved}), true);
  EXPECT_EQ(kelbor(m)->getConfigSet("default"), configSetOf(savedDefault));
  EXPECT_EQ(kelbor(m)->getActiveConfigSetName(), "fast");
  // The automatic set and its eight option objects are gone.
  EXPECT_EQ(OBInterface::liveCount(), instances - 9);
  EXPECT_EQ(handlesOf(host().get(m, "ConfigSets")), (std::vector<OBInterface*>{savedDefault, saved}));
  EXPECT_NE(handlesOf(host().get(m, "ConfigSets"))[0], automatic);
  // A second set named "default" now clashes.
  OBInterface* again = getConfigsetOBClass()->createInstance(internal());
  host().own(obkHandleArray(again));
  again->releaseReference();
  componentOf(again)->setName("default");
  expectHostError([&] { host().set(m, "ConfigSets", host().handles({again}), true); },
                  "Kestrion:ConfigSetNameClash");
}

TEST_F(ModelPropertiesTest, RestoreSettersRefuseForeignOrMisplacedMembers) {
  OBInterface* m = model("m");
  OBInterface* other = model("other");
  OBInterface* sub = model("sub");
  host().set(sub, "Parent", host().handle(m), true);
  OBInterface* compartment = add(m, "addcompartment", {host().str("c")});
  OBInterface* foreignParameter = add(other, "addparameter", {host().str("k")});
  struct Case {
    const char* property;
    OBInterface* owner;
    std::vector<OBInterface*> members;
  };
  const Case cases[] = {
      {"Models", m, {m}},
      {"Models", sub, {m}},
      {"Events", m, {compartment}},
      {"Rules", m, {compartment}},
      {"Reactions", m, {compartment}},
      {"Parameters", m, {foreignParameter}},
      {"Parameters", m, {compartment}},
      {"Variants", m, {compartment}},
      {"Doses", m, {compartment}},
      {"ConfigSets", m, {compartment}},
      {"Compartments", other, {compartment}},
      {"TopLevelCompartments", m, {compartment}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.property);
    qxArray* value = qxCreateHandleArray(c.members.size(), 1);
    for (size_t i = 0; i < c.members.size(); ++i) qxSetHandle(value, i, c.members[i]);
    host().own(value);
    auto error = TestHost::errorOf([&] { host().set(c.owner, c.property, value, true); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->id, "Kestrion:InvalidPropertyValue");
    EXPECT_NE(error->message.find(std::string("'") + c.property + "'"), std::string::npos) << error->message;
  }
  EXPECT_EQ(handlesOf(host().get(m, "Models")), std::vector<OBInterface*>{sub});
  EXPECT_EQ(handlesOf(host().get(other, "Parameters")), std::vector<OBInterface*>{foreignParameter});
  EXPECT_EQ(handlesOf(host().get(m, "Compartments")), std::vector<OBInterface*>{compartment});
}

TEST_F(ModelPropertiesTest, ModelsRestoreTakesModelsFromTheRoot) {
  OBInterface* m = model("m");
  OBInterface* a = model("a");
  OBInterface* b = model("b");
  host().set(m, "Models", host().handles({a, b}), true);
  EXPECT_EQ(handlesOf(host().get(m, "Models")), (std::vector<OBInterface*>{a, b}));
  EXPECT_EQ(handlesOf(host().get(getOBIRoot(), "Models")), std::vector<OBInterface*>{m});
  EXPECT_EQ(a->getUp(), m);
  EXPECT_EQ(kelbor(b)->getParent(), kelbor(m));
}

}  // namespace

namespace {

class CompiledModel : public CModelApi {
 public:
  qxArray_tag* getQxEventTriggerCode() const override { return nullptr; }
  qxArray_tag* getQxEventFunctionCode() const override { return nullptr; }
};

TEST_F(ModelPropertiesTest, ACompiledModelWithoutASetIsNotCached) {
  OBInterface* m = model("m");
  kstrVector<const Dose*> doses;
  kelbor(m)->setCachedCModel(boost::shared_ptr<CModelApi>(new CompiledModel()), nullptr, doses);
  EXPECT_FALSE(kelbor(m)->getCachedCModel());
  EXPECT_TRUE(kelbor(m)->getCompileNeeded());
  kelbor(m)->setCachedCModel(boost::shared_ptr<CModelApi>(new CompiledModel()), kelbor(m)->getActiveConfigSet(), doses);
  EXPECT_TRUE(kelbor(m)->getCachedCModel());
  EXPECT_FALSE(kelbor(m)->getCompileNeeded());
}

// The compartments of a saved model come back through two properties: the
// whole tree's vector and the top-level list.
TEST_F(ModelPropertiesTest, CompartmentsRestore) {
  OBInterface* m = model("m");
  OBInterface* c = host().construct("Compartment", {host().str("c")});
  c->addBelow(m);
  host().set(m, "Compartments", host().handles({c}), true);
  host().set(m, "TopLevelCompartments", host().handles({c}), true);
  EXPECT_EQ(handlesOf(host().get(m, "Compartments")), std::vector<OBInterface*>{c});
  EXPECT_EQ(handlesOf(host().get(m, "TopLevelCompartments")), std::vector<OBInterface*>{c});
  EXPECT_EQ(componentOf(c)->getOBIParent(), m);
  EXPECT_EQ(kelbor(m)->getNamedCompartment("c")->getOBI(), c);
  EXPECT_EQ(c->getExternalReferenceCount(), 1);
  // A second restore of the same top-level compartment is refused.
  expectHostError([&] { host().set(m, "TopLevelCompartments", host().handles({c}), true); },
                  "Kestrion:InvalidPropertyValue");
  EXPECT_EQ(kelbor(m)->getCompartments()->size(), 1u);
}

TEST_F(ModelPropertiesTest, MassActionLawsAreFoundBelowAModel) {
  OBInterface* m = model("m");
  add(m, "addreaction", {host().str("A -> B")});
  EXPECT_EQ(kstr::model::findByTypeMassAction(nullptr), nullptr);
  qxArray* found = host().own(kstr::model::findByTypeMassAction(m));
  ASSERT_NE(found, nullptr);
  EXPECT_TRUE(qxIsEmpty(found));
}

}  // namespace
