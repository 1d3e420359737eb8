// The host class "Model" as a user meets it: its class object, the
// feature switches, creation and destruction, and its properties.
#include <cstring>

#include "ModelHostFixture.hpp"
#include "core/Application.hpp"
#include "model/ModelOBC.hpp"
#include "model/SimulatorInterfaces.hpp"

namespace {

using ModelClassTest = ModelHostTest;

// --- class object and feature switches ------------------------------------------------

TEST_F(ModelClassTest, ClassObjectIsMadeOnceWithItsConstructorSignature) {
  OBClass* cls = getModelOBClass();
  EXPECT_EQ(cls, getModelOBClass());
  EXPECT_STREQ(cls->getFullName(), "Kestrion.Model");
  EXPECT_EQ(cls->getSuperClass(), nullptr);
  EXPECT_TRUE(cls->firstClassQuery());
  EXPECT_TRUE(cls->secondClassQuery());
  ASSERT_EQ(cls->getConstructorSignatures().size(), 1u);
  EXPECT_EQ(cls->getConstructorSignatures()[0]->toString(), "(PELLAM array...)");
}

TEST_F(ModelClassTest, FeatureSwitchesAreRegisteredOnceWithTheirDefaults) {
  struct Switch {
    const char* name;
    bool on;
  };
  const Switch switches[] = {
      {"QuorvUnits", true},           {"KestriJPattern", true},        {"KestriODEFcnHandles", true},
      {"KestriInternalDebug", false}, {"KestriNonMassActionStoch", false}, {"KestriGenODEFile", false},
      {"KestriPKAccel", true},        {"KestriCacheCompiledModels", true}, {"KestriCodeGeneration", true},
  };
  for (const Switch& s : switches) {
    EXPECT_TRUE(svTestIsFeatureRegistered(s.name)) << s.name;
    EXPECT_EQ(svIsFeatureEnabled(s.name), s.on) << s.name;
  }
  // A later call of the class getter registers nothing again.
  svTestResetFeatures();
  getModelOBClass();
  for (const Switch& s : switches) EXPECT_FALSE(svTestIsFeatureRegistered(s.name)) << s.name;
  // The switches are process-wide: the tests after this one find them as the
  // engine registered them.
  for (const Switch& s : switches) svRegisterFeature(s.name, s.on ? 1 : 0, nullptr, nullptr);
}

// --- the property table ------------------------------------------------------------------

struct PropertyRow {
  const char* name;
  const char* type;
  bool extSet, intSet, extGet, intGet, visible, saved, copied;
};

// Every property in registration order, with its type and access flags.
const PropertyRow kProperties[] = {
    {"Annotation", "string", true, true, true, true, true, true, true},
    {"AnnotationFull", "string", false, true, true, true, false, true, false},
    {"ConfigSets", "handle vector", false, true, true, true, false, true, false},
    {"Variants", "handle vector", false, true, true, true, false, true, false},
    {"Doses", "handle vector", false, true, true, true, false, true, false},
    {"Events", "handle vector", false, true, true, true, true, true, false},
    {"ID", "string", false, true, true, true, false, true, false},
    {"Name", "string", true, true, true, true, true, true, true},
    {"Notes", "string", true, true, true, true, true, true, true},
    {"FullyQualifiedName", "string", false, false, true, true, false, false, false},
    {"FullIdPathToTopModel", "string", false, false, true, true, false, false, false},
    {"Models", "handle vector", false, true, true, true, false, true, false},
    {"ODESimulationData", "PELLAM array", true, true, true, true, false, false, false},
    {"Parameters", "handle vector", false, true, true, true, true, true, false},
    {"Parent", "handle", false, true, true, true, true, false, false},
    {"Species", "handle vector", false, true, true, true, true, false, false},
    {"TopLevelCompartments", "handle vector", false, true, true, true, false, true, false},
    {"Compartments", "handle vector", false, true, true, true, true, true, false},
    {"Reactions", "handle vector", false, true, true, true, true, true, false},
    {"Rules", "handle vector", false, true, true, true, true, true, false},
    {"Tag", "string", true, true, true, true, true, true, true},
    {"Type", "string", false, false, true, true, true, true, true},
    {"UserData", "PELLAM array", true, true, true, true, true, true, true},
    {"UUID", "string", false, true, true, true, false, true, false},
    {"SendRuleExpressionEvents", "bool", true, true, false, false, false, false, false},
    {"SendReactionExpressionEvents", "bool", true, true, false, false, false, false, false},
    {"SendEventExpressionEvents", "bool", true, true, false, false, false, false, false},
    {"SendInUseCountEvents", "bool", true, true, true, true, false, false, false},
    {"CompileNeeded", "bool", true, true, true, true, false, false, false},
    {"Generator_EventTrigger", "PELLAM array", false, false, true, true, false, false, true},
    {"Generator_EventFunction", "PELLAM array", false, false, true, true, false, false, true},
};

TEST_F(ModelClassTest, PropertiesInOrderWithTypesAndAccess) {
  const auto& props = getModelOBClass()->getProperties();
  ASSERT_EQ(props.size(), std::size(kProperties));
  for (size_t i = 0; i < props.size(); ++i) {
    const PropertyRow& row = kProperties[i];
    const OBPropInfo* p = props[i];
    SCOPED_TRACE(row.name);
    EXPECT_STREQ(p->getName(), row.name);
    EXPECT_STREQ(p->getDataType(nullptr)->getName(), row.type);
    EXPECT_EQ(p->isExternalSetAccess(), row.extSet);
    EXPECT_EQ(p->isInternalSetAccess(), row.intSet);
    EXPECT_EQ(p->isExternalGetAccess(), row.extGet);
    EXPECT_EQ(p->isInternalGetAccess(), row.intGet);
    EXPECT_EQ(p->isVisible(), row.visible);
    EXPECT_EQ(p->isSerializeAccess(), row.saved);
    EXPECT_EQ(p->isCopyAccess(), row.copied);
    EXPECT_FALSE(p->isInitAccess());
  }
  const OBPropInfo* inUse = getModelOBClass()->getProperty("SendInUseCountEvents");
  EXPECT_TRUE(inUse->isDefaultAccess() && inUse->isResetAccess() && inUse->isListenerAccess() &&
              inUse->isAbortSetAccess());
  EXPECT_FALSE(inUse->isGrandfathered());
}

TEST_F(ModelClassTest, HelpTextsOfTheProperties) {
  const std::pair<const char*, const char*> texts[] = {
      {"TopLevelCompartments", "This is a hidden property; only for serialize purposes."},
      {"Events", "Event array."},
      {"ConfigSets", "All the attached configuration sets.\n"},
      {"Variants", "All the attached variants sets.\n"},
      {"UUID", "Universal Unique Identifier for the Model"},
      {"ODESimulationData", "ODESimulationData."},
      {"CompileNeeded", "Recompile needed."},
      {"Generator_EventTrigger", "Event trigger code object."},
      {"Generator_EventFunction", "Event function code object."},
      {"FullIdPathToTopModel", "Get a underscore delimeted path to top model."},
      {"Doses", ""},
      {"SendRuleExpressionEvents", ""},
      {"SendReactionExpressionEvents", ""},
      {"SendEventExpressionEvents", ""},
      {"SendInUseCountEvents", ""},
      {"Notes", "Notes can be used to describe a Kestrion object."},
  };
  OBClass* cls = getModelOBClass();
  for (const auto& [name, text] : texts) EXPECT_STREQ(cls->getProperty(name)->getDescription(), text) << name;
  EXPECT_STREQ(cls->getProperty("Compartments")->getDescription(),
               cls->getProperty("Models")->getDescription());
  for (const char* explained : {"Parameters", "Parent", "Species", "Reactions", "Rules", "Name", "Tag",
                                "Type", "UserData", "Models"}) {
    EXPECT_GT(std::strlen(cls->getProperty(explained)->getDescription()), 40u) << explained;
  }
}

TEST_F(ModelClassTest, MethodsInOrderWithTheirSignatures) {
  const std::pair<const char*, std::vector<std::string>> methods[] = {
      {"addevent", {"(handle, PELLAM array...) -> handle"}},
      {"addmodel", {"(handle, PELLAM array...) -> handle", "(handle vector, PELLAM array...) -> handle"}},
      {"addparameter", {"(handle, PELLAM array...) -> handle"}},
      {"addreaction", {"(handle, PELLAM array...) -> handle"}},
      {"addrule", {"(handle, PELLAM array...) -> handle"}},
      {"addspecies", {"(handle, PELLAM array...) -> handle"}},
      {"copyobj", {"(handle, handle) -> handle", "(handle) -> handle"}},
      {"display", {"(handle)", "(handle vector)"}},
      {"addcompartment", {"(handle, PELLAM array...) -> handle"}},
      {"help", {"(handle, string)"}},
      {"setactiveconfigset", {"(handle, string) -> handle", "(handle, handle) -> handle"}},
      {"addconfigset",
       {"(handle, string) -> handle", "(handle, string, bool) -> handle",
        "(handle, string, PELLAM array...) -> handle"}},
      {"removeconfigset", {"(handle, string)", "(handle, handle)"}},
      {"getconfigset", {"(handle, string) -> handle", "(handle) -> handle vector"}},
      {"getstates", {"(handle) -> handle vector", "(handle, bool) -> handle vector"}},
      {"verify",
       {"(handle)", "(handle, Kestrion.Configset)", "(handle, handle vector)",
        "(handle, Kestrion.Configset, handle vector)",
        "(handle, Kestrion.Configset, Kestrion.Variant vector, Kestrion.Dose vector)"}},
      {"reorder", {"(handle, handle vector)"}},
      {"addvariant", {"(handle, string) -> handle", "(handle, Kestrion.Variant) -> handle"}},
      {"removevariant", {"(handle, string) -> handle", "(handle, Kestrion.Variant) -> handle"}},
      {"getvariant", {"(handle, string) -> handle", "(handle) -> handle vector"}},
      {"adddose",
       {"(handle, string) -> handle", "(handle, Kestrion.Dose) -> handle", "(handle, string, string) -> handle"}},
      {"removedose", {"(handle, string) -> handle", "(handle, Kestrion.Dose) -> handle"}},
      {"getdose", {"(handle, string) -> handle", "(handle) -> handle vector"}},
      {"delete", {"(handle)", "(handle vector)"}},
      {"copy", {"(handle)"}},
      {"debugExpressionsAndListeners", {"(handle)"}},
      {"printSymbolTable", {"(handle)"}},
  };
  const std::vector<OBMethodInfo*> actual = getModelOBClass()->getMethods();
  ASSERT_EQ(actual.size(), std::size(methods));
  for (size_t i = 0; i < actual.size(); ++i) {
    SCOPED_TRACE(methods[i].first);
    EXPECT_STREQ(actual[i]->getName(), methods[i].first);
    std::vector<std::string> signatures;
    for (const OBMethodSignature* sig : actual[i]->getMethodSignatures()) signatures.push_back(sig->toString());
    EXPECT_EQ(signatures, methods[i].second);
  }
}

// --- creation ------------------------------------------------------------------------------

TEST_F(ModelClassTest, CreationWithNameAndPairsPutsTheModelBelowTheRoot) {
  OBInterface* m = model({host().str("  m1 "), host().str("Notes"), host().str("hello"), host().str("Tag"),
                          host().str("t")});
  EXPECT_EQ(nameOf(m), "m1");
  EXPECT_EQ(host().getString(m, "Notes"), "hello");
  EXPECT_EQ(host().getString(m, "Tag"), "t");
  EXPECT_EQ(host().getString(m, "Type"), "kstrmodel");
  EXPECT_EQ(objectOf(host().get(m, "Parent")), getOBIRoot());
  EXPECT_EQ(m->getUp(), getOBIRoot());
  EXPECT_EQ(kelbor(m)->getParent(), BQuorvixRoot::getInstance());
  EXPECT_EQ(handlesOf(host().get(getOBIRoot(), "Models")), std::vector<OBInterface*>{m});
  EXPECT_TRUE(host().postSetEvents().size() >= 2);
}

TEST_F(ModelClassTest, CreationWithoutArgumentsGivesAnUnnamedTopLevelModel) {
  OBInterface* m = model();
  EXPECT_EQ(nameOf(m), "");
  EXPECT_EQ(objectOf(host().get(m, "Parent")), getOBIRoot());
}

TEST_F(ModelClassTest, EveryNewModelHasAnActiveDefaultConfigurationSet) {
  OBInterface* m = model("m1");
  KStrConfigurationSetApi* set = kelbor(m)->getActiveConfigSet();
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(set->getName(), "default");
  EXPECT_TRUE(set->getActive());
  EXPECT_EQ(set->getOBI()->getUp(), m);
  EXPECT_EQ(handlesOf(host().get(m, "ConfigSets", true)), std::vector<OBInterface*>{set->getOBI()});
}

TEST_F(ModelClassTest, RefusedCreationLeavesNothingBehind) {
  struct Case {
    const char* label;
    std::vector<qxArray*> args;
    const char* id;
    const char* text;
  };
  const Case cases[] = {
      {"blank name", {host().str("   ")}, "Kestrion:KSTRMODEL_INVALIDNAME",
       "Invalid Name. Name cannot be an empty string or contain only whitespace."},
      {"name not text", {host().num(3)}, "Kestrion:KSTRMODEL_INVALIDNAME",
       "Invalid Name. Name cannot be an empty string or contain only whitespace."},
      {"name with brackets", {host().str("a]b")}, "Kestrion:NameCannotContainBrackets", nullptr},
      {"property without value", {host().str("m"), host().str("Notes")}, "Kestrion:KSTR_INVALID_PVPAIR",
       "An error occurred while configuring the PV pairs.\nA property was passed in with no corresponding value."},
      {"unknown property", {host().str("m"), host().str("Bogus"), host().num(1)}, "Kestrion:KSTR_INVALID_PVPAIR",
       "An error occurred while configuring the PV pairs.\nThere is no 'Bogus' property in the 'Model' class."},
  };
  const size_t instances = OBInterface::liveCount();
  // The library components hang below the root as well.
  const size_t rootChildren = getOBIRoot()->getNumChildren();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    auto error = TestHost::errorOf([&] {
      obkConstruct("Model", static_cast<int>(c.args.size()), c.args.data());
    });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->id, c.id);
    if (c.text) {
      EXPECT_EQ(error->message, c.text);
    }
    EXPECT_TRUE(BQuorvixRoot::getInstance()->getModels().empty());
    EXPECT_EQ(OBInterface::liveCount(), instances);
    EXPECT_EQ(getOBIRoot()->getNumChildren(), rootChildren);
  }
}

// --- destruction ---------------------------------------------------------------------------

TEST_F(ModelClassTest, DestroyingModelsTakesThemOffTheirParents) {
  const size_t rootChildren = getOBIRoot()->getNumChildren();
  OBInterface* top = model("top");
  OBInterface* sub = model("sub");
  host().set(sub, "Parent", host().handle(top), true);
  EXPECT_EQ(handlesOf(host().get(top, "Models")), std::vector<OBInterface*>{sub});
  kelbor(top)->setCompileNeeded(false);
  host().destroy(sub);
  EXPECT_TRUE(qxIsEmpty(host().get(top, "Models")));
  EXPECT_TRUE(kelbor(top)->getCompileNeeded());
  EXPECT_EQ(top->getNumChildren(), 1u);  // its default configuration set
  host().destroy(top);
  EXPECT_TRUE(BQuorvixRoot::getInstance()->getModels().empty());
  EXPECT_EQ(getOBIRoot()->getNumChildren(), rootChildren);
}

}  // namespace
