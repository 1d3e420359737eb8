// The configuration-set methods of "Model" (addconfigset, getconfigset,
// setactiveconfigset, removeconfigset), getstates and verify, and the
// minimal "Configset" class they work with.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <hb/hb.hpp>

#include "ModelHostFixture.hpp"

namespace {

class ModelConfigSetTest : public ModelHostTest {
 protected:
  OBInterface* addSet(OBInterface* m, const char* name, bool activate = false) {
    if (activate) return add(m, "addconfigset", {host().str(name), host().logical(true)});
    return add(m, "addconfigset", {host().str(name)});
  }
  static bool activeFlag(OBInterface* set) { return configSetOf(set)->getActive(); }
  static OBInterface* setNamed(OBInterface* m, const char* name) {
    KStrConfigurationSetApi* set = kelbor(m)->getConfigSet(name);
    return set ? set->getOBI() : nullptr;
  }
  // The number of post-set events of "Active" sent for the instance.
  int activeEvents(const OBInterface* set) {
    int n = 0;
    for (const auto& event : host().postSetEvents()) n += event.source == set && event.propName == "Active";
    return n;
  }
};

TEST_F(ModelConfigSetTest, ConfigsetClassHasNameAndActive) {
  OBClass* cls = getConfigsetOBClass();
  EXPECT_EQ(cls, getConfigsetOBClass());
  EXPECT_STREQ(cls->getFullName(), "Kestrion.Configset");
  EXPECT_FALSE(cls->firstClassQuery());
  EXPECT_TRUE(cls->secondClassQuery());
  std::vector<std::string> names;
  for (const OBPropInfo* prop : cls->getProperties()) names.emplace_back(prop->getName());
  EXPECT_EQ(names, (std::vector<std::string>{"Active", "AllSolverOptions", "CompileOptions", "DebugMode", "Name",
                                             "Notes", "RuntimeOptions", "SensitivityAnalysisOptions",
                                             "SolverOptions", "SolverType", "SerializableName", "StartTime",
                                             "StopTime", "StopTimeType", "TimeUnits", "Type", "Version",
                                             "CompileNeeded"}));
  EXPECT_FALSE(cls->getProperty("Active")->isExternalSetAccess());
  EXPECT_TRUE(cls->getProperty("Name")->isExternalSetAccess());
}

TEST_F(ModelConfigSetTest, AddConfigSetAttachesAndOptionallyActivates) {
  OBInterface* m = model("m");
  OBInterface* defaults = setNamed(m, "default");
  OBInterface* fast = addSet(m, "fast");
  EXPECT_EQ(fast->getUp(), m);
  EXPECT_EQ(kelbor(m)->getConfigSet("fast"), configSetOf(fast));
  EXPECT_FALSE(activeFlag(fast));
  EXPECT_EQ(kelbor(m)->getActiveConfigSetName(), "default");
  OBInterface* slow = addSet(m, "slow", true);
  EXPECT_EQ(kelbor(m)->getActiveConfigSetName(), "slow");
  EXPECT_TRUE(activeFlag(slow));
  EXPECT_FALSE(*qxGetLogicals(host().get(defaults, "Active")));
  OBInterface* paired = add(m, "addconfigset", {host().str("paired"), host().str("Name"), host().str("renamed")});
  EXPECT_EQ(nameOf(paired), "renamed");
  EXPECT_EQ(handlesOf(host().call(m, "getconfigset", {}, 1)[0]),
            (std::vector<OBInterface*>{defaults, fast, slow, paired}));
}

TEST_F(ModelConfigSetTest, AddConfigSetRefusalsLeaveNoSetBehind) {
  OBInterface* m = model("m");
  OBInterface* sub = model("sub");
  host().set(sub, "Parent", host().handle(m), true);
  addSet(m, "fast");
  const char* clash =
      "The Kestrion model contains a configset with the same name, or the specified name is a reserved "
      "name ('default', 'active'). Use GETCONFIGSET to get a configset by name.";
  struct Case {
    OBInterface* model;
    std::vector<qxArray*> args;
    const char* id;
    const char* text;
  };
  const Case cases[] = {
      {m, {host().str("")}, "Kestrion:ConfigSetMustHaveName", "A configuration set must have a name."},
      {m, {host().str("fast")}, "Kestrion:ConfigSetNameClash", clash},
      {m, {host().str("active")}, "Kestrion:ActiveReservedConfigSetName",
       "Cannot name a configuration set 'active', this is a reserved name."},
      {m, {host().str("x"), host().str("Bogus"), host().num(1)}, "Kestrion:KSTR_INVALID_PVPAIR",
       "An error occurred while configuring the PV pairs.\nThere is no 'Bogus' property in the 'Configset' class."},
      {sub, {host().str("y")}, "Kestrion:ConfigSetOnlyOnTopModel",
       "A configuration set can only exist on a top-level model."},
  };
  const size_t instances = OBInterface::liveCount();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    std::vector<qxArray*> ins{host().handle(c.model)};
    ins.insert(ins.end(), c.args.begin(), c.args.end());
    auto error = TestHost::errorOf([&] {
      qxArray* outs[1] = {nullptr};
      obkCallMethod("addconfigset", 1, outs, static_cast<int>(ins.size()), ins.data());
      host().own(outs[0]);
    });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->id, c.id);
    EXPECT_EQ(error->message, c.text);
    EXPECT_EQ(OBInterface::liveCount(), instances);
  }
  EXPECT_EQ(kelbor(m)->getConfigSets().size(), 2u);
}

// A message table whose text for each of its codes names the code.  It is
// registered ahead of the catalog, so a raise with one of these codes shows
// which code it used; the catalog answers every other code as before.
class CodeProbe {
 public:
  explicit CodeProbe(std::vector<uint32_t> codes) : codes_(std::move(codes)) {
    for (uint32_t code : codes_) {
      char text[32];
      std::snprintf(text, sizeof text, "probe 0x%06x", static_cast<unsigned>(code));
      texts_.emplace_back(text);
    }
    for (const std::string& text : texts_) {
      textPointers_.push_back(text.c_str());
      ids_.push_back("KS_PROBE");
    }
    table_ = {static_cast<uint32_t>(codes_.size()), 0x40, codes_.data(), ids_.data(),
              textPointers_.data()};
    BQuorvixRoot::unregisterMessageCatalog();
    hb_mem_add_primary_message_table(hbGetMemoryContext(), &table_);
    BQuorvixRoot::registerMessageCatalog();
  }
  ~CodeProbe() { hb_mem_remove_primary_message_table(hbGetMemoryContext(), &table_); }
  CodeProbe(const CodeProbe&) = delete;
  CodeProbe& operator=(const CodeProbe&) = delete;

 private:
  std::vector<uint32_t> codes_;
  std::vector<std::string> texts_;
  std::vector<const char*> textPointers_;
  std::vector<const char*> ids_;
  MessageTable table_{};
};

// A taken or reserved set name is refused by the model with the catalog row
// of the model's name clash (0x40002f), not with the configuration set's own
// row of the same wording (0x40013e).
TEST_F(ModelConfigSetTest, NameClashUsesTheModelCatalogCode) {
  OBInterface* m = model("m");
  addSet(m, "fast");
  Kelbor* km = kelbor(m);
  const CodeProbe probe({0x40002f, 0x40013e});
  struct Case {
    const char* what;
    std::function<void()> raise;
  };
  const Case cases[] = {
      {"addconfigset with a taken name", [&] { host().call(m, "addconfigset", {host().str("fast")}, 1); }},
      {"updateCSName to a taken name", [&] { km->updateCSName("default", "fast"); }},
      {"updateCSName to active", [&] { km->updateCSName("fast", "active"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto error = TestHost::errorOf(c.raise);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->id, "Kestrion:ConfigSetNameClash");
    EXPECT_EQ(error->message, "probe 0x40002f");
  }
  EXPECT_EQ(km->getActiveConfigSetName(), "default");
  EXPECT_EQ(km->getConfigSets().size(), 2u);
}

TEST_F(ModelConfigSetTest, GetConfigSetByNameActiveAndAll) {
  OBInterface* m = model("m");
  OBInterface* fast = addSet(m, "fast", true);
  EXPECT_EQ(objectOf(host().call(m, "getconfigset", {host().str("fast")}, 1)[0]), fast);
  EXPECT_EQ(objectOf(host().call(m, "getconfigset", {host().str("active")}, 1)[0]), fast);
  EXPECT_TRUE(qxIsEmpty(host().call(m, "getconfigset", {host().str("none")}, 1)[0]));
  OBInterface* sub = model("sub");
  host().set(sub, "Parent", host().handle(m), true);
  expectHostError([&] { host().call(sub, "getconfigset", {}, 1); }, "Kestrion:ConfigSetOnlyOnTopModel");
}

TEST_F(ModelConfigSetTest, SetActiveByNameAndByHandle) {
  OBInterface* m = model("m");
  OBInterface* defaults = setNamed(m, "default");
  OBInterface* fast = addSet(m, "fast");
  host().clearLogs();
  EXPECT_EQ(objectOf(host().call(m, "setactiveconfigset", {host().str("fast")}, 1)[0]), fast);
  EXPECT_TRUE(activeFlag(fast));
  EXPECT_FALSE(activeFlag(defaults));
  EXPECT_EQ(activeEvents(fast), 1);
  EXPECT_EQ(activeEvents(defaults), 1);
  EXPECT_EQ(objectOf(host().call(m, "setactiveconfigset", {host().handle(defaults)}, 1)[0]), defaults);
  EXPECT_EQ(kelbor(m)->getActiveConfigSetName(), "default");
  EXPECT_TRUE(activeFlag(defaults));
  EXPECT_FALSE(activeFlag(fast));
  // The set that is already active is marked once; no other set is touched.
  host().clearLogs();
  host().call(m, "setactiveconfigset", {host().str("default")}, 1);
  EXPECT_EQ(activeEvents(defaults), 1);
  EXPECT_EQ(activeEvents(fast), 0);
}

TEST_F(ModelConfigSetTest, SetActiveRefusesUnknownAndForeignSets) {
  OBInterface* m = model("m");
  OBInterface* other = model("other");
  OBInterface* mine = addSet(m, "fast");
  OBInterface* foreign = addSet(other, "fast");
  host().clearLogs();
  const char* text = "Warning: This configuration set does not exist on the model.";
  expectHostError([&] { host().call(m, "setactiveconfigset", {host().str("none")}, 1); },
                  "Kestrion:ConfigSetDoesNotExist", text);
  // A same-named set of another model is not this model's set.
  expectHostError([&] { host().call(m, "setactiveconfigset", {host().handle(foreign)}, 1); },
                  "Kestrion:ConfigSetDoesNotExist", text);
  EXPECT_TRUE(host().postSetEvents().empty());
  EXPECT_FALSE(activeFlag(foreign));
  EXPECT_FALSE(activeFlag(mine));
  EXPECT_EQ(kelbor(m)->getActiveConfigSetName(), "default");
  OBInterface* sub = model("sub");
  host().set(sub, "Parent", host().handle(m), true);
  expectHostError([&] { host().call(sub, "setactiveconfigset", {host().str("default")}, 1); },
                  "Kestrion:ConfigSetOnlyOnTopModel");
}

TEST_F(ModelConfigSetTest, RemoveRefusesTheDefaultSet) {
  OBInterface* m = model("m");
  const char* text = "The default configuration set cannot be renamed or removed.";
  expectHostError([&] { host().call(m, "removeconfigset", {host().str("default")}); },
                  "Kestrion:CannotRenameRemoveDefault", text);
  expectHostError([&] { host().call(m, "removeconfigset", {host().str("active")}); },
                  "Kestrion:CannotRenameRemoveDefault", text);
  expectHostError([&] { host().call(m, "removeconfigset", {host().handle(setNamed(m, "default"))}); },
                  "Kestrion:CannotRenameRemoveDefault", text);
  OBInterface* c = add(m, "addcompartment", {host().str("c")});
  expectHostError([&] { host().call(m, "removeconfigset", {host().handle(c)}); },
                  "Kestrion:OnlyConfigSetCanBeAttached", "Only a configuration set object can be attached.");
  EXPECT_EQ(kelbor(m)->getConfigSets().size(), 1u);
}

// "active" names the active set: removing it makes "default" active again.
TEST_F(ModelConfigSetTest, RemovingTheActiveSetByTheNameActive) {
  OBInterface* m = model("m");
  OBInterface* defaults = setNamed(m, "default");
  OBInterface* fast = addSet(m, "fast", true);
  host().clearLogs();
  host().call(m, "removeconfigset", {host().str("active")});
  EXPECT_EQ(kelbor(m)->getConfigSet("fast"), nullptr);
  EXPECT_EQ(kelbor(m)->getActiveConfigSetName(), "default");
  EXPECT_TRUE(activeFlag(defaults));
  EXPECT_FALSE(activeFlag(fast));
  EXPECT_EQ(fast->getUp(), nullptr);
  EXPECT_EQ(warningIds(), std::vector<std::string>{"Kestrion:ActiveCSNowDefault"});
}

TEST_F(ModelConfigSetTest, RemovingByHandleAndByName) {
  OBInterface* m = model("m");
  OBInterface* defaults = setNamed(m, "default");
  OBInterface* fast = addSet(m, "fast", true);
  OBInterface* slow = addSet(m, "slow");
  // An inactive set leaves every Active flag as it was.
  host().call(m, "removeconfigset", {host().str("slow")});
  EXPECT_TRUE(activeFlag(fast));
  EXPECT_FALSE(activeFlag(defaults));
  EXPECT_EQ(slow->getUp(), nullptr);
  // The active one by handle: the set then named active is marked.
  host().call(m, "removeconfigset", {host().handle(fast)});
  EXPECT_TRUE(activeFlag(defaults));
  EXPECT_FALSE(activeFlag(fast));
  EXPECT_EQ(kelbor(m)->getConfigSets().size(), 1u);
  // A removed set the user does not hold goes away with its instance.
  addSet(m, "temp");
  const size_t instances = OBInterface::liveCount();
  host().call(m, "removeconfigset", {host().str("temp")});
  EXPECT_EQ(OBInterface::liveCount(), instances);
}

TEST_F(ModelConfigSetTest, RemovingSomethingThatIsNotThereWarns) {
  OBInterface* m = model("m");
  OBInterface* other = model("other");
  OBInterface* mine = addSet(m, "fast");
  OBInterface* foreign = addSet(other, "fast");
  host().clearLogs();
  host().call(m, "removeconfigset", {host().str("none")});
  EXPECT_EQ(warningIds(), std::vector<std::string>{"Kestrion:ConfigSetDoesNotExist"});
  host().clearLogs();
  // The same-named set of another model is not attached here; this model's
  // own set of that name stays.
  host().call(m, "removeconfigset", {host().handle(foreign)});
  EXPECT_EQ(warningIds(), std::vector<std::string>{"Kestrion:ConfigSetNotAttached"});
  EXPECT_EQ(host().warnings()[0].text, "This configuration set is not attached to the model. It cannot be removed.");
  EXPECT_EQ(kelbor(m)->getConfigSet("fast"), configSetOf(mine));
  EXPECT_EQ(kelbor(other)->getConfigSet("fast"), configSetOf(foreign));
}

// With no "default" set attached, removing the active set leaves no set
// active and marks none.
TEST_F(ModelConfigSetTest, RemovingTheActiveSetWithoutADefaultSet) {
  OBInterface* m = model("m");
  OBInterface* fast = addSet(m, "fast", true);
  OBInterface* automatic = setNamed(m, "default");
  kelbor(m)->removeConfigSet("default");
  automatic->addBelow(nullptr);
  host().clearLogs();
  host().call(m, "removeconfigset", {host().str("fast")});
  EXPECT_EQ(kelbor(m)->getActiveConfigSet(), nullptr);
  EXPECT_FALSE(activeFlag(fast));
  EXPECT_EQ(warningIds(), std::vector<std::string>{"Kestrion:ActiveCSNowDefault"});
}

TEST_F(ModelConfigSetTest, DestroyingASetDetachesItAndTheDefaultSetRefuses) {
  OBInterface* m = model("m");
  OBInterface* fast = addSet(m, "fast", true);
  host().destroy(fast);
  EXPECT_EQ(kelbor(m)->getConfigSet("fast"), nullptr);
  EXPECT_EQ(kelbor(m)->getActiveConfigSetName(), "default");
  EXPECT_TRUE(activeFlag(setNamed(m, "default")));
  EXPECT_FALSE(host().destroy(setNamed(m, "default")));
  EXPECT_NE(kelbor(m)->getConfigSet("default"), nullptr);
}

TEST_F(ModelConfigSetTest, ConfigsetNameChecks) {
  OBInterface* m = model("m");
  OBInterface* fast = addSet(m, "fast");
  addSet(m, "slow");
  expectHostError([&] { host().set(fast, "Name", host().str("slow")); }, "Kestrion:ConfigSetNameClash");
  expectHostError([&] { host().set(fast, "Name", host().str("default")); }, "Kestrion:ConfigSetNameClash");
  expectHostError([&] { host().set(setNamed(m, "default"), "Name", host().str("x")); },
                  "Kestrion:CannotRenameRemoveDefault");
  host().call(m, "setactiveconfigset", {host().str("fast")}, 1);
  host().set(fast, "Name", host().str("quick"));
  EXPECT_EQ(kelbor(m)->getActiveConfigSetName(), "quick");
}

// --- getstates -------------------------------------------------------------------------------

TEST_F(ModelConfigSetTest, GetStatesListsSpeciesThenParameters) {
  OBInterface* m = model("m");
  OBInterface* a = add(m, "addspecies", {host().str("A")});
  OBInterface* b = add(m, "addspecies", {host().str("B")});
  OBInterface* k = add(m, "addparameter", {host().str("k")});
  OBInterface* v = add(m, "addparameter", {host().str("v"), host().str("ConstantValue"), host().logical(false)});
  EXPECT_EQ(handlesOf(host().call(m, "getstates", {}, 1)[0]), (std::vector<OBInterface*>{a, b, k, v}));
  EXPECT_EQ(handlesOf(host().call(m, "getstates", {host().logical(false)}, 1)[0]),
            (std::vector<OBInterface*>{a, b, v}));
}

// --- verify ------------------------------------------------------------------------------------

TEST_F(ModelConfigSetTest, VerifyCompilesWithTheGivenOrActiveParts) {
  OBInterface* m = model("m");
  OBInterface* fast = addSet(m, "fast");
  OBInterface* v1 = add(m, "addvariant", {host().str("v1")});
  host().set(v1, "Active", host().logical(true));
  add(m, "addvariant", {host().str("v2")});
  OBInterface* d1 = add(m, "adddose", {host().str("d1")});
  auto& compile = MiniCompileManagerControl::instance();
  host().call(m, "verify");
  ASSERT_EQ(compile.calls().size(), 1u);
  EXPECT_EQ(compile.calls()[0].configSet, kelbor(m)->getConfigSet("default"));
  EXPECT_EQ(compile.calls()[0].variants, std::vector<const Variant*>{kelbor(m)->getVariant("v1")});
  EXPECT_TRUE(compile.calls()[0].doses.empty());
  host().call(m, "verify", {host().handle(fast), host().handles({d1})});
  ASSERT_EQ(compile.calls().size(), 2u);
  EXPECT_EQ(compile.calls()[1].configSet, configSetOf(fast));
  EXPECT_EQ(compile.calls()[1].doses, std::vector<const Dose*>{kelbor(m)->getDose("d1")});
  EXPECT_EQ(compile.calls()[1].variants.size(), 1u);
  // An empty list counts as not given.
  host().call(m, "verify", {host().handles({})});
  EXPECT_EQ(compile.calls()[2].variants.size(), 1u);
  EXPECT_EQ(compile.finishCount(), 3u);
}

TEST_F(ModelConfigSetTest, VerifyRefusals) {
  OBInterface* m = model("m");
  OBInterface* other = model("other");
  OBInterface* foreign = add(other, "addconfigset", {host().str("x")});
  OBInterface* c = add(m, "addcompartment", {host().str("c")});
  OBInterface* sub = model("sub");
  host().set(sub, "Parent", host().handle(m), true);
  expectHostError([&] { host().call(sub, "verify"); }, "Kestrion:VerifyMethodOnlyTopLevelModel",
                  "The verify method is limited to a top-level model.");
  expectHostError([&] { host().call(m, "verify", {host().handles({c})}); }, "Kestrion:InvalidVerifyArguments",
                  "Configuration sets, variant objects and dose objects are the only valid inputs to the model "
                  "verify method.");
  expectHostError([&] { host().call(m, "verify", {host().handle(foreign)}); }, "Kestrion:VerifyConfigSetNotAttached",
                  "A configset used for model verification must be attached to the model being verified");
  EXPECT_TRUE(MiniCompileManagerControl::instance().calls().empty());
  MiniCompileManagerControl::instance().setMode(MiniCompileManagerControl::Mode::Throw);
  MiniCompileManagerControl::instance().setError("Kestrion:CompileFailed", "no");
  expectHostError([&] { host().call(m, "verify"); }, "Kestrion:CompileFailed", "no");
  EXPECT_EQ(MiniCompileManagerControl::instance().finishCount(), 1u);
}

}  // namespace
