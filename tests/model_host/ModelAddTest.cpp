// The Model methods that add components, with their argument checks:
// addcompartment, addspecies (forwarded to the model's only compartment),
// addparameter, addrule, addevent, addreaction and addmodel.
#include <limits>

#include "ModelHostFixture.hpp"
#include "reactions/BRule.hpp"
#include "core/Application.hpp"
#include "model/ModelOBC.hpp"
#include "quantities/BCompartment.hpp"

namespace {

class ModelAddTest : public ModelHostTest {
 protected:
  // Calls a Model method with any first argument, as the host dispatch
  // does once it found the method.  Returns the error, if any.
  std::optional<HostCallError> invokeModelMethod(const char* method, std::vector<qxArray*> ins) {
    OBMethodInfo* info = getModelOBClass()->getMethod(method);
    return TestHost::errorOf([&] {
      qxArray* outs[1] = {nullptr};
      int n = obkInvokeMethod(info, 1, outs, static_cast<int>(ins.size()), ins.data());
      for (int i = 0; i < n; ++i) host().own(outs[i]);
    });
  }

  void expectRefused(OBInterface* m, const char* method, std::initializer_list<qxArray*> args, const char* id,
                     const char* text) {
    SCOPED_TRACE(method);
    expectHostError([&] { host().call(m, method, args, 1); }, id, text ? text : "");
  }
};

// --- addcompartment ---------------------------------------------------------------------

TEST_F(ModelAddTest, AddCompartmentWiresTheCompartmentBelowTheModel) {
  OBInterface* m = model("m");
  OBInterface* c = add(m, "addcompartment", {host().str("  c1 "), host().num(2)});
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(nameOf(c), "c1");
  EXPECT_EQ(c->getUp(), m);
  EXPECT_EQ(componentOf(c)->getOBIParent(), m);
  EXPECT_EQ(handlesOf(host().get(m, "Compartments")), std::vector<OBInterface*>{c});
  EXPECT_EQ(kelbor(m)->getNamedCompartment("c1")->getOBI(), c);
  // The call's own reference is given back: the tree and the vector hold it.
  EXPECT_EQ(c->getExternalReferenceCount(), 1);
}

TEST_F(ModelAddTest, AddCompartmentRefusals) {
  OBInterface* m = model("m");
  OBInterface* c1 = add(m, "addcompartment", {host().str("c1")});
  add(c1, "addcompartment", {host().str("inner")});
  const size_t instances = OBInterface::liveCount();
  expectRefused(m, "addcompartment", {}, "Kestrion:MODEL_ADDCOMPARTMENT_TOO_FEW_ARGS",
                "Not enough input arguments. Type 'help Kestrion.Model.addcompartment' for more information.");
  expectRefused(m, "addcompartment", {host().num(1)}, "Kestrion:COMPARTMENT_INVALID_NAME",
                "Invalid syntax. Name must be a string.");
  expectRefused(m, "addcompartment", {host().str("null")}, "Kestrion:INVALIDNAME_RESERVED", nullptr);
  expectRefused(m, "addcompartment", {host().str("time")}, "Kestrion:InvalidComponentName", nullptr);
  for (const char* taken : {"c1", "inner"}) {
    expectRefused(m, "addcompartment", {host().str(taken)}, "Kestrion:COMPARTMENT_DUPLICATE_NAME",
                  "Compartment NAME is being used by another Kestrion model component object. Specify a "
                  "different NAME.");
  }
  auto error = invokeModelMethod("addcompartment", {host().handle(c1), host().str("x")});
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->id, "Kestrion:COMPARTMENT_ADDCOMPARTMENT_INVALID_FIRST_ARG");
  EXPECT_EQ(error->message,
            "Invalid syntax. First argument must be a model or a compartment. Type 'help "
            "Kestrion.Model.addcompartment' for more information.");
  // A failing pair is the compartment's own refusal; nothing is left.
  expectRefused(m, "addcompartment", {host().str("c2"), host().str("Bogus"), host().num(1)},
                "Kestrion:KSTR_INVALID_PVPAIR", nullptr);
  EXPECT_EQ(OBInterface::liveCount(), instances);
  EXPECT_EQ(kelbor(m)->getNumCompartmentsInTree(), 2u);
}

// --- addspecies ----------------------------------------------------------------------------

TEST_F(ModelAddTest, AddSpeciesGoesToTheOnlyCompartmentMadeWhenMissing) {
  OBInterface* m = model("m");
  OBInterface* a = add(m, "addspecies", {host().str("A"), host().num(5)});
  ASSERT_NE(a, nullptr);
  BCompartment* unnamed = kelbor(m)->getNamedCompartment("unnamed");
  ASSERT_NE(unnamed, nullptr);
  EXPECT_EQ(a->getUp(), unnamed->getOBI());
  OBInterface* b = add(m, "addspecies", {host().str("B")});
  EXPECT_EQ(b->getUp(), unnamed->getOBI());
  EXPECT_EQ(kelbor(m)->getNumCompartmentsInTree(), 1u);
  EXPECT_EQ(handlesOf(host().get(m, "Species")), (std::vector<OBInterface*>{a, b}));
  // A second compartment anywhere in the tree makes the model's method refuse.
  add(unnamed->getOBI(), "addcompartment", {host().str("nested")});
  expectRefused(m, "addspecies", {host().str("C")}, "Kestrion:MODEL_ADDSPECIES_MULTIPLE_COMPARTMENTS",
                "The model contains more than one compartment. In this situation a species must be added "
                "to a compartment. Type 'help Kestrion.Compartment.addspecies' for more information.");
}

TEST_F(ModelAddTest, AddSpeciesWithTwoTopLevelCompartmentsIsRefused) {
  OBInterface* m = model("m");
  add(m, "addcompartment", {host().str("c1")});
  add(m, "addcompartment", {host().str("c2")});
  expectRefused(m, "addspecies", {host().str("A")}, "Kestrion:MODEL_ADDSPECIES_MULTIPLE_COMPARTMENTS", nullptr);
  EXPECT_EQ(kelbor(m)->getNumSpeciesInTree(), 0u);
}

TEST_F(ModelAddTest, AddSpeciesArgumentChecks) {
  OBInterface* m = model("m");
  expectRefused(m, "addspecies", {}, "Kestrion:ADDSPECIES_TOOFEWARGS",
                "Not enough input arguments. Type 'help Kestrion.Compartment.addspecies' for more information.");
  expectRefused(m, "addspecies", {host().num(1)}, "Kestrion:ADDSPECIES_INVALIDNAME",
                "Invalid syntax. NAME must be a string.");
  OBInterface* c = add(m, "addcompartment", {host().str("c")});
  auto error = invokeModelMethod("addspecies", {host().handle(c), host().str("A")});
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->id, "Kestrion:ADDSPECIES_INVALID_FIRSTARG");
  EXPECT_EQ(kelbor(m)->getNumSpeciesInTree(), 0u);
}

// The forwarded call runs with its own argument list: the caller's arguments
// and the compartment's references are as before, whether it succeeds or
// raises.
TEST_F(ModelAddTest, AddSpeciesForwardingLeavesTheCallersArgumentsAlone) {
  OBInterface* m = model("m");
  OBInterface* c = add(m, "addcompartment", {host().str("c")});
  OBMethodInfo* method = getModelOBClass()->getMethod("addspecies");
  void* outs[1] = {nullptr};
  qxArray* name = host().str("A");
  void* ins[2] = {m, name};
  const int references = c->getReferenceCount();
  int nOut = 1;
  method->invoke(method->getMethodSignatures()[0], nOut, outs, 2, ins);
  EXPECT_EQ(ins[0], m);
  EXPECT_EQ(ins[1], name);
  EXPECT_EQ(static_cast<OBInterface*>(outs[0])->getUp(), c);
  EXPECT_EQ(c->getReferenceCount(), references);
  auto error = TestHost::errorOf([&] { method->invoke(method->getMethodSignatures()[0], nOut, outs, 2, ins); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->id, "Kestrion:ADDSPECIES_DUPLICATENAME");
  EXPECT_EQ(ins[0], m);
  EXPECT_EQ(ins[1], name);
  EXPECT_EQ(c->getReferenceCount(), references);
}

// --- addparameter --------------------------------------------------------------------------

TEST_F(ModelAddTest, AddParameterAndItsRefusals) {
  OBInterface* m = model("m");
  OBInterface* k = add(m, "addparameter", {host().str(" k1 "), host().num(3)});
  ASSERT_NE(k, nullptr);
  EXPECT_EQ(nameOf(k), "k1");
  EXPECT_EQ(k->getUp(), m);
  EXPECT_EQ(handlesOf(host().get(m, "Parameters")), std::vector<OBInterface*>{k});
  EXPECT_EQ(kelbor(m)->getNumParameters(), 1u);
  const char* invalidName = "Invalid Name. Name cannot be empty, contain brackets, or be 'time'.";
  expectRefused(m, "addparameter", {}, "Kestrion:ADDPARAMETER_TOOFEWARGS",
                "Not enough input arguments. Type 'help Kestrion.Model.addparameter' for more information.");
  expectRefused(m, "addparameter", {host().num(1)}, "Kestrion:ADDPARAMETER_INVALIDNAME",
                "Invalid syntax. NAME must be a string.");
  for (const char* bad : {"", "  ", "time", "a[1]"}) {
    expectRefused(m, "addparameter", {host().str(bad)}, "Kestrion:ADDPARAMETER_INVALIDNAME", invalidName);
  }
  expectRefused(m, "addparameter", {host().str("k1")}, "Kestrion:ADDPARAMETER_DUPLICATENAME",
                "NAME is being used by another Kestrion parameter object. Specify a different NAME. \n"
                "Type 'help Kestrion.Model.addparameter' for more information.");
  OBInterface* c = add(m, "addcompartment", {host().str("c")});
  auto error = invokeModelMethod("addparameter", {host().handle(c), host().str("k2")});
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->id, "Kestrion:ADDPARAMETER_INVALIDMOBJ");
  EXPECT_EQ(error->message, "Invalid syntax. MOBJ must be a Kestrion model or kinetic law object.");
  EXPECT_EQ(kelbor(m)->getNumParameters(), 1u);
}

// --- addrule / addevent ----------------------------------------------------------------------

TEST_F(ModelAddTest, RulesAndEventsRefuseBadCallsAndLeaveNothing) {
  OBInterface* m = model("m");
  expectRefused(m, "addrule", {host().num(1)}, "Kestrion:KSTRRULE_INVALID_FIRSTARG",
                "Invalid RULE. RULE must be a string.");
  expectRefused(m, "addevent", {host().str("time > 1")}, "Kestrion:KSTREVENT_INVALIDSYNTAX_NO_EVENTFCNS",
                "Invalid syntax. EVENTFCNS must be specified.");
  expectRefused(m, "addrule", {}, "Kestrion:ADDRULE_TOOFEWARGS",
                "Not enough input arguments. Type 'help Kestrion.Model.addrule' for more information.");
  expectRefused(m, "addevent", {}, "Kestrion:ADDEVENT_TOOFEWARGS",
                "Not enough input arguments. Type 'help Kestrion.Model.addevent' for more information.");
  OBInterface* c = add(m, "addcompartment", {host().str("c")});
  for (const auto& [method, id] : {std::pair{"addrule", "Kestrion:ADDRULE_INVALID_FIRSTARG"},
                                   std::pair{"addevent", "Kestrion:ADDEVENT_INVALID_FIRSTARG"}}) {
    auto error = invokeModelMethod(method, {host().handle(c), host().str("x")});
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->id, id);
    EXPECT_EQ(error->message, "Invalid syntax. MOBJ must be a Kestrion model object.");
  }
  EXPECT_TRUE(qxIsEmpty(host().get(m, "Rules")));
  EXPECT_TRUE(qxIsEmpty(host().get(m, "Events")));
}

TEST_F(ModelAddTest, AddRuleMakesAndWiresTheRule) {
  OBInterface* m = model("m");
  OBInterface* r = add(m, "addrule", {host().str("x = 1")});
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->getUp(), m);
  EXPECT_EQ(handlesOf(host().get(m, "Rules")), std::vector<OBInterface*>{r});
  EXPECT_EQ(kelbor(m)->getNumRules(), 1u);
  expectRefused(m, "addrule", {host().num(1)}, "Kestrion:KSTRRULE_INVALID_FIRSTARG",
                "Invalid RULE. RULE must be a string.");
  EXPECT_EQ(kelbor(m)->getNumRules(), 1u);
  // The restore of "Rules" wires saved rules the same way.
  OBInterface* saved = host().construct("Rule", {host().str("y = 2")});
  host().set(m, "Rules", host().handles({saved}), true);
  EXPECT_EQ(handlesOf(host().get(m, "Rules")), (std::vector<OBInterface*>{r, saved}));
  EXPECT_EQ(saved->getUp(), m);
  host().call(m, "reorder", {host().handles({saved, r})});
  EXPECT_EQ(kelbor(m)->getRuleAt(0)->getOBI(), saved);
  host().call(m, "delete");
}

// --- addreaction -------------------------------------------------------------------------------

TEST_F(ModelAddTest, AddReactionFromAnEquation) {
  OBInterface* m = model("m");
  OBInterface* r = add(m, "addreaction", {host().str("A + B -> C")});
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->getUp(), m);
  EXPECT_EQ(handlesOf(host().get(m, "Reactions")), std::vector<OBInterface*>{r});
  EXPECT_EQ(host().getString(r, "Reaction"), "A + B -> C");
  EXPECT_EQ(kelbor(m)->getNumSpeciesInTree(), 3u);
  OBInterface* named = add(m, "addreaction", {host().str("C -> A"), host().str("Name"), host().str("back")});
  EXPECT_EQ(nameOf(named), "back");
}

TEST_F(ModelAddTest, AddReactionFromListsWithAndWithoutStoichiometry) {
  OBInterface* m = model("m");
  OBInterface* r = add(m, "addreaction", {host().cell({host().str("A"), host().str("B")}), host().nums({1, 2}),
                                         host().str("C"), host().num(3)});
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(host().getString(r, "Reaction"), "A + 2 B -> 3 C");
  OBInterface* plain = add(m, "addreaction", {host().str("C"), host().str("D")});
  EXPECT_EQ(host().getString(plain, "Reaction"), "C -> D");
  EXPECT_EQ(handlesOf(host().get(m, "Reactions")), (std::vector<OBInterface*>{r, plain}));
}

TEST_F(ModelAddTest, AddReactionRefusalsLeaveNoReactionBehind) {
  OBInterface* m = model("m");
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* label;
    std::vector<qxArray*> args;
    const char* id;
  };
  const Case cases[] = {
      {"too few", {}, "Kestrion:ADDREACTION_TOOFEWARGS"},
      {"a number", {host().num(1)}, "Kestrion:ADDREACTION_MOREINFO"},
      {"stoichiometric form without products", {host().str("A"), host().num(1), host().str("B")},
       "Kestrion:ADDREACTION_MOREINFO"},
      {"infinite reactant stoichiometry", {host().str("A"), host().num(inf), host().str("B"), host().num(1)},
       "Kestrion:ADDREACTION_INVALIDRSTOICH"},
      {"infinite product stoichiometry",
       {host().cell({host().str("A"), host().str("B")}), host().nums({1, 1}), host().str("C"), host().nums({inf})},
       "Kestrion:ADDREACTION_INVALIDPSTOICH"},
      {"zero stoichiometry", {host().str("A"), host().num(0), host().str("B"), host().num(1)},
       "Kestrion:ADDREACTION_INVALIDRSTOICH"},
      {"reactant count", {host().cell({host().str("A"), host().str("B")}), host().num(1), host().str("C"),
                          host().num(1)},
       "Kestrion:ADDREACTION_SIZEMISMATCH_REACTANTS"},
      {"product count", {host().str("A"), host().num(1), host().str("C"), host().nums({1, 2})},
       "Kestrion:ADDREACTION_SIZEMISMATCH_PRODUCTS"},
      {"empty reactants", {host().cell({}), host().str("C")}, "Kestrion:ADDREACTION_INVALIDREACTANTS"},
      {"bad products", {host().str("A"), host().num(1), host().num(2), host().num(1)},
       "Kestrion:ADDREACTION_INVALIDPRODUCTS"},
      {"failing pair", {host().str("A -> B"), host().str("Bogus"), host().num(1)}, "Kestrion:KSTR_INVALID_PVPAIR"},
  };
  const size_t instances = OBInterface::liveCount();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<qxArray*> ins{host().handle(m)};
    ins.insert(ins.end(), c.args.begin(), c.args.end());
    auto error = TestHost::errorOf([&] {
      qxArray* outs[1] = {nullptr};
      obkCallMethod("addreaction", 1, outs, static_cast<int>(ins.size()), ins.data());
      host().own(outs[0]);
    });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->id, c.id);
    EXPECT_TRUE(qxIsEmpty(host().get(m, "Reactions")));
    EXPECT_EQ(kelbor(m)->getNumReactions(), 0u);
  }
  EXPECT_EQ(OBInterface::liveCount(), instances);
}

// --- addmodel ------------------------------------------------------------------------------------

TEST_F(ModelAddTest, AddModelMakesASubModelAndAlwaysWarns) {
  OBInterface* m = model("m");
  OBInterface* sub = add(m, "addmodel", {host().str(" sub "), host().str("Notes"), host().str("n")});
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(warningIds(), std::vector<std::string>{"Kestrion:AddModelDeprecated"});
  EXPECT_EQ(host().warnings()[0].text,
            "Warning: ADDMODEL is deprecated and will be removed in a future release.\n"
            " Sub-models will not be supported in future releases.");
  EXPECT_EQ(nameOf(sub), "sub");
  EXPECT_EQ(host().getString(sub, "Notes"), "n");
  EXPECT_EQ(objectOf(host().get(sub, "Parent")), m);
  EXPECT_EQ(handlesOf(host().get(m, "Models")), std::vector<OBInterface*>{sub});
  EXPECT_EQ(handlesOf(host().get(getOBIRoot(), "Models")), std::vector<OBInterface*>{m});
}

TEST_F(ModelAddTest, AddModelRefusalsWarnFirstAndLeaveNothing) {
  OBInterface* m = model("m");
  OBInterface* other = model("other");
  add(m, "addmodel", {host().str("taken")});
  struct Case {
    const char* label;
    std::vector<qxArray*> args;
    const char* id;
    const char* text;
  };
  const Case cases[] = {
      {"too few", {host().handle(m)}, "Kestrion:ADDMODEL_TOOFEWARGS",
       "Not enough input arguments. Type 'help Kestrion.Model.addmodel' for more information."},
      {"two models", {host().handles({m, other}), host().str("x")}, "Kestrion:ADDMODEL_INVALID_FIRSTARG",
       "Invalid syntax. MOBJ must be a 1-by-1 Kestrion model object."},
      {"name not text", {host().handle(m), host().num(1)}, "Kestrion:ADDMODEL_INVALIDNAME",
       "Invalid syntax. NAME must be a string."},
      {"blank name", {host().handle(m), host().str("  ")}, "Kestrion:ADDMODEL_INVALIDNAME",
       "Invalid Name. Name cannot be an empty string or contain only whitespace."},
      {"taken name", {host().handle(m), host().str("taken")}, "Kestrion:ADDMODEL_DUPLICATENAME",
       "NAME is being used by another Kestrion model object. Specify a different NAME. \n"
       "Type 'help Kestrion.Model.addmodel' for more information."},
      {"failing pair", {host().handle(m), host().str("fresh"), host().str("Bogus"), host().num(1)},
       "Kestrion:KSTR_INVALID_PVPAIR",
       "An error occurred while configuring the PV pairs.\nThere is no 'Bogus' property in the 'Model' class."},
  };
  const size_t instances = OBInterface::liveCount();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    host().clearLogs();
    auto error = TestHost::errorOf([&] {
      qxArray* outs[1] = {nullptr};
      obkCallMethod("addmodel", 1, outs, static_cast<int>(c.args.size()), c.args.data());
      host().own(outs[0]);
    });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->id, c.id);
    EXPECT_EQ(error->message, c.text);
    EXPECT_EQ(warningIds(), std::vector<std::string>{"Kestrion:AddModelDeprecated"});
    EXPECT_EQ(handlesOf(host().get(m, "Models")).size(), 1u);
    EXPECT_EQ(BQuorvixRoot::getInstance()->getModels().size(), 2u);
    EXPECT_EQ(OBInterface::liveCount(), instances);
  }
}

}  // namespace
