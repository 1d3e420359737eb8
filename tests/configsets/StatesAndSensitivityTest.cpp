// The lists of a configuration set that hold components: the states to log
// of the runtime options and the input factors and outputs of the
// sensitivity options, with their checks, their model context, and the
// removal of a deleted species or parameter from every set of its model.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ConfigsetFixture.hpp"
#include "configsets/KStrRuntimeConfigSet.hpp"
#include "configsets/KStrSensitivityAnalysisConfigSet.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"

namespace {

class StatesTest : public ConfigsetTest {
 protected:
  void SetUp() override {
    ConfigsetTest::SetUp();
    m_ = model("m");
    s1_ = add(m_, "addspecies", {host().str("s1")});
    s2_ = add(m_, "addspecies", {host().str("s2")});
    k_ = add(m_, "addparameter", {host().str("k")});
    v_ = add(m_, "addparameter", {host().str("v")});
    host().set(v_, "ConstantValue", host().logical(false));
    set_ = defaultSet(m_);
    runtime_ = optionsOf(set_, "RuntimeOptions");
    sensitivity_ = optionsOf(set_, "SensitivityAnalysisOptions");
    host().clearLogs();
  }
  std::vector<OBInterface*> states() { return handlesOf(host().get(runtime_, "StatesToLog")); }
  std::string statesText() {
    const std::string shown = displayed(runtime_);
    const size_t at = shown.find("StatesToLog:" + sp(10));
    return shown.substr(at + 22, shown.find('\n', at) - at - 22);
  }
  const KStrRuntimeConfigSet& runtime() {
    return *static_cast<const KStrRuntimeConfigSet*>(runtime_->getComponentObject());
  }
  std::vector<const KelborComponent*> loggedComponents() {
    auto lists = runtime().getStatesToLog();
    std::vector<const KelborComponent*> out;
    if (lists.first) out.insert(out.end(), lists.first->begin(), lists.first->end());
    if (lists.second) out.insert(out.end(), lists.second->begin(), lists.second->end());
    return out;
  }

  OBInterface* m_ = nullptr;
  OBInterface *s1_ = nullptr, *s2_ = nullptr, *k_ = nullptr, *v_ = nullptr;
  OBInterface* set_ = nullptr;
  OBInterface* runtime_ = nullptr;
  OBInterface* sensitivity_ = nullptr;
};

TEST_F(StatesTest, DefaultLogsEverySpeciesAndTheVaryingParameters) {
  EXPECT_EQ(states(), (std::vector<OBInterface*>{s1_, s2_, v_}));
  EXPECT_EQ(statesText(), "all");
  EXPECT_FALSE(flag(runtime_, "StatesToLogSet"));
  EXPECT_EQ(runtime().getStatesToLog().first, nullptr);
}

TEST_F(StatesTest, WritingChoosesStatesOnceEachInOrder) {
  host().set(runtime_, "StatesToLog", host().handles({s1_, s1_, k_}));
  EXPECT_EQ(states(), (std::vector<OBInterface*>{s1_, k_}));
  EXPECT_EQ(statesText(), "2");
  EXPECT_TRUE(flag(runtime_, "StatesToLogSet"));
  EXPECT_EQ(loggedComponents(), (std::vector<const KelborComponent*>{componentOf(s1_), componentOf(k_)}));
  EXPECT_EQ(runtime().getStateIndex(componentOf(k_)), 1u);
  EXPECT_EQ(runtime().getStateIndex(componentOf(s2_)), 2u);

  host().set(runtime_, "StatesToLog", host().own(qxCreateDoubleMatrix(0, 0, qxREAL)));
  EXPECT_TRUE(states().empty());
  EXPECT_EQ(statesText(), "0");

  host().call(runtime_, "set", {host().str("statestolog"), host().str("ALL")});
  EXPECT_EQ(states(), (std::vector<OBInterface*>{s1_, s2_, v_}));
  EXPECT_EQ(statesText(), "all");
  host().set(runtime_, "StatesToLog", host().handles({s2_}));
  host().set(runtime_, "StatesToLogSet", host().logical(false), true);
  EXPECT_EQ(statesText(), "all");
}

TEST_F(StatesTest, BadStatesAreRefusedAndOtherModelsStatesSkipped) {
  host().set(runtime_, "StatesToLog", host().handles({s2_}));
  OBInterface* compartment = objectOf(host().get(s1_, "Parent"));
  for (qxArray* bad : {host().handles({s1_, compartment}), host().handles({set_})}) {
    expectHostError([&] { host().set(runtime_, "StatesToLog", bad); }, "Kestrion:IllegalStatesToLogSet",
                    "Bad input for StatesToLog property. Valid inputs are species and parameter objects or the "
                    "string 'All' for logging all states.");
    EXPECT_EQ(states(), std::vector<OBInterface*>{s2_});
  }
  expectHostError([&] { host().call(runtime_, "set", {host().str("StatesToLog"), host().str("none")}); },
                  "Kestrion:IllegalStatesToLogSet");
  expectHostError([&] { host().call(runtime_, "set", {host().str("Bogus"), host().num(1)}); }, "Kestrion:IllegalSet",
                  "There is no 'Bogus' property in the 'RuntimeOptions' class.");

  OBInterface* other = model("other");
  OBInterface* foreign = add(other, "addspecies", {host().str("x")});
  host().clearLogs();
  host().set(runtime_, "StatesToLog", host().handles({foreign, s1_, foreign}));
  EXPECT_EQ(states(), std::vector<OBInterface*>{s1_});
  ASSERT_EQ(warningIds(), (std::vector<std::string>(2, "Kestrion:OutOfContextStateToLog")));
  EXPECT_EQ(host().warnings()[0].text,
            "Warning: You are trying to add a species named 'x' that does not exist\n in this model's hierarchy. "
            "Any entry in the StatesToLog property must exist\n in the model that holds this particular "
            "configuration set.\n This state will not be added.");
  // The engine's own setting takes it.
  host().set(runtime_, "StatesToLog", host().handles({foreign}), true);
  EXPECT_EQ(states(), std::vector<OBInterface*>{foreign});
}

TEST_F(StatesTest, SensitivityListsCheckTheirElements) {
  expectHostError([&] { host().set(sensitivity_, "SpeciesInputFactors", host().handles({s1_, k_})); },
                  "Kestrion:InvalidSensInputOutput",
                  "All elements of the SpeciesInputFactors property must be Kestrion species objects.");
  expectHostError([&] { host().set(sensitivity_, "ParameterInputFactors", host().handles({s1_})); },
                  "Kestrion:InvalidSensInputOutput",
                  "All elements of the ParameterInputFactors property must be Kestrion parameter objects.");
  host().set(sensitivity_, "SpeciesInputFactors", host().handles({s1_, s2_, s1_}));
  host().set(sensitivity_, "ParameterInputFactors", host().handles({k_}));
  host().set(sensitivity_, "SpeciesOutputs", host().handles({s2_}));
  EXPECT_EQ(handlesOf(host().get(sensitivity_, "SpeciesInputFactors")), (std::vector<OBInterface*>{s1_, s2_}));
  EXPECT_NE(displayed(set_).find("InputFactors:" + sp(16) + "3\n"), std::string::npos);

  OBInterface* foreign = add(model("other"), "addspecies", {host().str("x")});
  host().clearLogs();
  host().set(sensitivity_, "SpeciesOutputs", host().handles({foreign, s1_}));
  EXPECT_EQ(handlesOf(host().get(sensitivity_, "SpeciesOutputs")), std::vector<OBInterface*>{s1_});
  ASSERT_EQ(warningIds(), std::vector<std::string>{"Kestrion:OutOfContextSensInputOutput"});
  EXPECT_EQ(host().warnings()[0].text,
            "Warning: You are trying to add a species named 'x' that does not exist\n in this model's hierarchy to "
            "the SpeciesOutputs property. All elements of this property\n must exist in the model that holds this "
            "configuration set.\n The species will not be added.");
  host().set(sensitivity_, "SpeciesOutputs", host().own(qxCreateDoubleMatrix(0, 0, qxREAL)));
  EXPECT_TRUE(handlesOf(host().get(sensitivity_, "SpeciesOutputs")).empty());

  // Options below no set of a model drop every element.
  OBInterface* loose = host().construct("SensitivityAnalysisOptions");
  host().clearLogs();
  host().set(loose, "SpeciesInputFactors", host().handles({s1_}));
  EXPECT_TRUE(handlesOf(host().get(loose, "SpeciesInputFactors")).empty());
  EXPECT_EQ(warningIds().size(), 1u);
}

TEST_F(StatesTest, DeletedComponentsLeaveEverySetOfTheirModel) {
  OBInterface* fast = addSet(m_, "fast");
  OBInterface* fastRuntime = optionsOf(fast, "RuntimeOptions");
  for (OBInterface* runtime : {runtime_, fastRuntime}) {
    host().set(runtime, "StatesToLog", host().handles({s1_, s2_, k_, v_}));
  }
  host().set(sensitivity_, "SpeciesInputFactors", host().handles({s1_, s2_}));
  host().set(sensitivity_, "ParameterInputFactors", host().handles({k_, v_}));
  host().set(optionsOf(fast, "SensitivityAnalysisOptions"), "SpeciesOutputs", host().handles({s2_, s1_}));
  configurationSetOf(set_)->setCompileNeeded(false);

  ASSERT_TRUE(host().destroy(s1_));
  ASSERT_TRUE(host().destroy(k_));
  EXPECT_FALSE(configurationSetOf(set_)->getCompileNeeded());  // removing a state needs no compile by itself
  for (OBInterface* runtime : {runtime_, fastRuntime}) {
    EXPECT_EQ(handlesOf(host().get(runtime, "StatesToLog")), (std::vector<OBInterface*>{s2_, v_}));
  }
  EXPECT_EQ(loggedComponents(), (std::vector<const KelborComponent*>{componentOf(s2_), componentOf(v_)}));
  EXPECT_EQ(handlesOf(host().get(sensitivity_, "SpeciesInputFactors")), std::vector<OBInterface*>{s2_});
  EXPECT_EQ(handlesOf(host().get(sensitivity_, "ParameterInputFactors")), std::vector<OBInterface*>{v_});
  EXPECT_EQ(handlesOf(host().get(optionsOf(fast, "SensitivityAnalysisOptions"), "SpeciesOutputs")),
            std::vector<OBInterface*>{s2_});
  EXPECT_NE(displayed(runtime_).find("StatesToLog:" + sp(10) + "2\n"), std::string::npos);
}

TEST_F(StatesTest, RemovedSetForgetsItsStates) {
  OBInterface* fast = addSet(m_, "fast");
  OBInterface* runtime = optionsOf(fast, "RuntimeOptions");
  host().set(runtime, "StatesToLog", host().handles({s1_, k_}));
  host().call(m_, "removeconfigset", {host().handle(fast)});
  EXPECT_EQ(fast->getUp(), nullptr);
  EXPECT_TRUE(handlesOf(host().get(runtime, "StatesToLog")).empty());
}

// A set that logs every state keeps doing so once removed: only a choice
// of states (components of the model it leaves) is forgotten.
TEST_F(StatesTest, RemovedSetThatLogsEveryStateKeepsLoggingAll) {
  OBInterface* fast = addSet(m_, "fast");
  OBInterface* runtime = optionsOf(fast, "RuntimeOptions");
  host().call(m_, "removeconfigset", {host().str("fast")});
  EXPECT_EQ(fast->getUp(), nullptr);
  EXPECT_FALSE(flag(runtime, "StatesToLogSet"));
  EXPECT_NE(displayed(runtime).find("StatesToLog:" + sp(10) + "all\n"), std::string::npos);
}

// Species and parameters of sub-models (at any depth) are states of the
// top-level model: destroying one takes it out of the top model's sets.
TEST_F(StatesTest, DeletedSubModelComponentsLeaveTheTopModelsSets) {
  OBInterface* sub = add(m_, "addmodel", {host().str("sub")});
  OBInterface* inner = add(sub, "addmodel", {host().str("inner")});
  OBInterface* x = add(sub, "addspecies", {host().str("x")});
  OBInterface* p = add(sub, "addparameter", {host().str("p")});
  OBInterface* y = add(inner, "addspecies", {host().str("y")});
  OBInterface* q = add(inner, "addparameter", {host().str("q")});
  // Filled by the system itself, as a restore does.
  host().set(runtime_, "StatesToLog", host().handles({s1_, x, p, y, q}), true);
  host().set(sensitivity_, "SpeciesInputFactors", host().handles({s1_, x, y}), true);
  host().set(sensitivity_, "ParameterInputFactors", host().handles({k_, p, q}), true);
  host().set(sensitivity_, "SpeciesOutputs", host().handles({y, x, s1_}), true);
  ASSERT_EQ(states(), (std::vector<OBInterface*>{s1_, x, p, y, q}));
  for (OBInterface* gone : {x, p, y, q}) ASSERT_TRUE(host().destroy(gone));
  EXPECT_EQ(states(), std::vector<OBInterface*>{s1_});
  EXPECT_EQ(loggedComponents(), std::vector<const KelborComponent*>{componentOf(s1_)});
  EXPECT_EQ(handlesOf(host().get(sensitivity_, "SpeciesInputFactors")), std::vector<OBInterface*>{s1_});
  EXPECT_EQ(handlesOf(host().get(sensitivity_, "ParameterInputFactors")), std::vector<OBInterface*>{k_});
  EXPECT_EQ(handlesOf(host().get(sensitivity_, "SpeciesOutputs")), std::vector<OBInterface*>{s1_});
}

}  // namespace
