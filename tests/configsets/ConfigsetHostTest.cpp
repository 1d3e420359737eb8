// The "Configset" host class as a user meets it: the default set of a new
// model with its option objects and defaults, the displays, copyobj into
// another model, delete, the option handle properties and the
// compile-needed aggregation.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "ConfigsetFixture.hpp"
#include "configsets/KStrCompileConfigSet.hpp"
#include "configsets/KStrConfigurationSet.hpp"
#include "configsets/OptionClasses.hpp"

namespace {

using kstr::configsets::solverOptionsBehind;

const char* const kOptionClasses[] = {"CompileOptions",   "RuntimeOptions",          "KStrDistributed",
                                      "SensitivityAnalysisOptions", "SSASolverOptions", "ExplicitTauSolverOptions",
                                      "ImplicitTauSolverOptions",   "ODESolverOptions"};

TEST_F(ConfigsetTest, NewModelHasAnActiveDefaultSetWithEveryOptionObject) {
  OBInterface* m = model("m");
  OBInterface* set = defaultSet(m);
  EXPECT_TRUE(flag(set, "Active"));
  EXPECT_EQ(text(set, "Name"), "default");
  EXPECT_EQ(text(set, "SolverType"), "sundials");
  EXPECT_EQ(text(set, "StopTimeType"), "simulationTime");
  EXPECT_EQ(text(set, "TimeUnits"), "second");
  EXPECT_EQ(text(set, "Type"), "configset");
  EXPECT_EQ(number(set, "StartTime"), 0.0);
  EXPECT_EQ(number(set, "StopTime"), 10.0);
  EXPECT_TRUE(flag(set, "CompileNeeded"));
  ASSERT_EQ(set->getNumChildren(), 8u);
  for (const char* cls : kOptionClasses) EXPECT_NE(optionsOf(set, cls), nullptr) << cls;

  OBInterface* compile = objectOf(host().get(set, "CompileOptions"));
  EXPECT_EQ(compile, optionsOf(set, "CompileOptions"));
  EXPECT_TRUE(flag(compile, "DimensionalAnalysis"));
  EXPECT_FALSE(flag(compile, "UnitConversion"));
  EXPECT_EQ(text(compile, "DefaultSpeciesDimension"), "concentration");
  EXPECT_EQ(objectOf(host().get(set, "RuntimeOptions")), optionsOf(set, "RuntimeOptions"));
  EXPECT_EQ(objectOf(host().get(set, "SensitivityAnalysisOptions")), optionsOf(set, "SensitivityAnalysisOptions"));
  EXPECT_EQ(handlesOf(host().get(set, "AllSolverOptions")),
            (std::vector<OBInterface*>{optionsOf(set, "SSASolverOptions"), optionsOf(set, "ExplicitTauSolverOptions"),
                                       optionsOf(set, "ImplicitTauSolverOptions"), optionsOf(set, "ODESolverOptions")}));

  OBInterface* ode = optionsOf(set, "ODESolverOptions");
  EXPECT_EQ(objectOf(host().get(set, "SolverOptions")), ode);
  EXPECT_EQ(number(ode, "RelativeTolerance"), 1e-3);
  EXPECT_EQ(number(ode, "AbsoluteTolerance"), 1e-6);
  EXPECT_EQ(number(ode, "InitialStep"), -1.0);
  EXPECT_EQ(number(ode, "Refine"), -1.0);
  EXPECT_EQ(number(ode, "MaxOrder"), 5.0);
  EXPECT_TRUE(qxIsEmpty(host().get(ode, "MaxStep")));
  EXPECT_TRUE(qxIsEmpty(host().get(ode, "TSpan")));
  EXPECT_TRUE(qxIsEmpty(host().get(ode, "NonNegative")));
  EXPECT_FALSE(flag(ode, "SensitivityAnalysis"));
  for (const char* onOff : {"BDF", "NormControl", "Stats"}) EXPECT_EQ(text(ode, onOff), "on") << onOff;
  EXPECT_EQ(text(ode, "Name"), "odesolver");
  EXPECT_EQ(text(ode, "Type"), "solveroptions");

  OBInterface* itl = optionsOf(set, "ImplicitTauSolverOptions");
  EXPECT_EQ(number(itl, "ErrorTolerance"), 0.03);
  EXPECT_EQ(number(itl, "AbsoluteTolerance"), 1e-6);
  EXPECT_EQ(number(itl, "MaxIterations"), 25.0);
  EXPECT_EQ(number(itl, "LogDecimation"), 1.0);
  EXPECT_TRUE(qxIsEmpty(host().get(itl, "RandomState")));
  EXPECT_EQ(number(optionsOf(set, "ExplicitTauSolverOptions"), "ErrorTolerance"), 0.03);
  OBInterface* distributed = optionsOf(set, "KStrDistributed");
  EXPECT_EQ(number(distributed, "NumberOfRuns"), 1.0);
  EXPECT_FALSE(flag(distributed, "UseLocalMachineOnly"));
  EXPECT_EQ(text(distributed, "Type"), "distributedoptions");
  OBInterface* sensitivity = optionsOf(set, "SensitivityAnalysisOptions");
  EXPECT_EQ(text(sensitivity, "Normalization"), "None");
  EXPECT_TRUE(handlesOf(host().get(sensitivity, "SpeciesInputFactors")).empty());
}

TEST_F(ConfigsetTest, SolverOptionsFollowTheSolverType) {
  OBInterface* set = defaultSet(model("m"));
  struct Case {
    const char* type;
    const char* options;
  };
  const Case cases[] = {{"ssa", "SSASolverOptions"}, {"expltau", "ExplicitTauSolverOptions"},
                        {"impltau", "ImplicitTauSolverOptions"}, {"tolbrin", "ODESolverOptions"},
                        {"sembrot", "ODESolverOptions"}, {"sundials", "ODESolverOptions"}};
  for (const Case& c : cases) {
    host().set(set, "SolverType", host().str(c.type));
    EXPECT_EQ(objectOf(host().get(set, "SolverOptions")), optionsOf(set, c.options)) << c.type;
    EXPECT_EQ(configSetOf(set)->getSolverOptions(), solverOptionsBehind(optionsOf(set, c.options))) << c.type;
  }
}

TEST_F(ConfigsetTest, DisplaysFollowTheirLayouts) {
  OBInterface* m = model("m");
  OBInterface* set = defaultSet(m);
  const std::string setText = "\n   Configuration Settings - default (active)\n" + sp(5) + "SolverType:" + sp(18) +
                              "sundials\n" + sp(5) + "StopTime:" + sp(20) + "10.000000\n" +
                              "\n   SolverOptions:\n" + sp(5) + "AbsoluteTolerance:" + sp(11) + "1.000000e-06 \n" +
                              sp(5) + "RelativeTolerance:" + sp(11) + "1.000000e-03 \n" + sp(5) +
                              "SensitivityAnalysis:" + sp(9) + "false\n" + "\n   RuntimeOptions:\n" + sp(5) +
                              "StatesToLog:" + sp(17) + "all\n" + "\n   CompileOptions:\n" + sp(5) +
                              "UnitConversion:" + sp(14) + "false\n" + sp(5) + "DimensionalAnalysis:" + sp(9) +
                              "true\n" + "\n   SensitivityAnalysisOptions:\n" + sp(5) + "InputFactors:" + sp(16) +
                              "0\n" + sp(5) + "Outputs:" + sp(21) + "0\n" + "\n";
  EXPECT_EQ(displayed(set), setText);

  host().set(set, "StopTime", host().num(std::numeric_limits<double>::infinity()));
  EXPECT_NE(displayed(set).find(sp(5) + "StopTime:" + sp(20) + "Inf\n"), std::string::npos);

  OBInterface* fast = addSet(m, "fast");
  host().set(fast, "SolverType", host().str("impltau"));
  host().clearLogs();
  host().call("display", {host().handles({defaultSet(m), fast})});
  EXPECT_EQ(host().printed(), "\n   Kestrion Configuration Set Array\n\n   Index:" + sp(6) + "Active:" + sp(6) +
                                  "SolverType:" + sp(7) + "Name:\n   1" + sp(11) + "true" + sp(9) + "sundials" +
                                  sp(10) + "default\n   2" + sp(11) + "false" + sp(8) + "impltau" + sp(11) +
                                  "fast\n\n");
  EXPECT_NE(displayed(fast).find("\n   SolverOptions:\n" + sp(5) + "ErrorTolerance:" + sp(14) + "3.000000e-02 \n" +
                                 sp(5) + "LogDecimation:" + sp(15) + "1\n" + sp(5) + "AbsoluteTolerance:" + sp(11) +
                                 "1.000000e-06 \n" + sp(5) + "MaxIterations:" + sp(15) + "25\n"),
            std::string::npos);
}

TEST_F(ConfigsetTest, OptionObjectDisplaysFollowTheirLayouts) {
  OBInterface* set = defaultSet(model("m"));
  struct Case {
    const char* cls;
    std::string text;
  };
  const Case cases[] = {
      {"CompileOptions", "\n   Kestrion Compile Settings:\n\n" + sp(5) + "UnitConversion:" + sp(7) + "false\n" + sp(5) +
                             "DimensionalAnalysis:" + sp(2) + "true\n\n"},
      {"RuntimeOptions", "\n   Kestrion Runtime Settings:\n\n" + sp(5) + "StatesToLog:" + sp(10) + "all\n\n"},
      {"KStrDistributed", "\n   Distributed Settings:\n\n" + sp(5) + "NumberOfRuns:" + sp(10) + "1\n" + sp(5) +
                              "UseLocalMachineOnly:" + sp(3) + "false\n\n"},
      {"SensitivityAnalysisOptions", "\n   Kestrion Sensitivity Analysis Settings:\n\n" + sp(5) + "Normalization:" +
                                         sp(15) + "None\n" + sp(5) + "ParameterInputFactors:" + sp(7) + "0\n" +
                                         sp(5) + "SpeciesInputFactors:" + sp(9) + "0\n" + sp(5) + "SpeciesOutputs:" +
                                         sp(14) + "0\n\n"},
      {"SSASolverOptions", "\n   Kestrion Solver Settings: (ssa)\n\n" + sp(5) + "LogDecimation:" + sp(8) + "1\n" +
                               sp(5) + "RandomState:" + sp(10) + "[]\n\n"},
      {"ExplicitTauSolverOptions", "\n   Kestrion Solver Settings: (expltau)\n\n" + sp(5) + "ErrorTolerance:" + sp(7) +
                                       "3.000000e-02 \n" + sp(5) + "LogDecimation:" + sp(8) + "1\n" + sp(5) +
                                       "RandomState:" + sp(10) + "[]\n\n"},
      {"ImplicitTauSolverOptions", "\n   Kestrion Solver Settings: (impltau)\n\n" + sp(5) + "ErrorTolerance:" + sp(7) +
                                       "3.000000e-02 \n" + sp(5) + "LogDecimation:" + sp(8) + "1\n" + sp(5) +
                                       "AbsoluteTolerance:" + sp(4) + "1.000000e-06 \n" + sp(5) + "MaxIterations:" +
                                       sp(8) + "25\n" + sp(5) + "RandomState:" + sp(10) + "[]\n\n"},
      {"ODESolverOptions", "\n   Kestrion Solver Settings: (ode)\n\n" + sp(5) + "AbsoluteTolerance:" + sp(4) +
                               "1.000000e-06 \n" + sp(5) + "RelativeTolerance:" + sp(4) + "1.000000e-03 \n" + sp(5) +
                               "SensitivityAnalysis:" + sp(2) + "false\n\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(displayed(optionsOf(set, c.cls)), c.text) << c.cls;
  host().set(optionsOf(set, "SSASolverOptions"), "RandomState", host().num(7));
  EXPECT_NE(displayed(optionsOf(set, "SSASolverOptions")).find("RandomState:" + sp(10) + "7\n"), std::string::npos);
  // A vector of option objects prints nothing.
  host().clearLogs();
  host().call("display", {host().handles({optionsOf(set, "ODESolverOptions"), optionsOf(set, "SSASolverOptions")})});
  EXPECT_EQ(host().printed(), "");
}

TEST_F(ConfigsetTest, CopyobjGivesAFreeNameAndCarriesEveryOptionButTheStatesToLog) {
  OBInterface* source = model("source");
  OBInterface* target = model("target");
  OBInterface* cs = addSet(source, "cs");
  addSet(target, "cs");
  OBInterface* species = add(source, "addspecies", {host().str("s")});
  host().set(cs, "SolverType", host().str("expltau"));
  host().set(cs, "StopTime", host().num(42));
  host().set(cs, "Notes", host().str("fast runs"));
  host().set(optionsOf(cs, "CompileOptions"), "UnitConversion", host().logical(true));
  host().set(optionsOf(cs, "ExplicitTauSolverOptions"), "ErrorTolerance", host().num(0.05));
  host().set(optionsOf(cs, "ODESolverOptions"), "MaxStep", host().num(0.25));
  host().set(optionsOf(cs, "SSASolverOptions"), "RandomState", host().num(11));
  host().set(optionsOf(cs, "KStrDistributed"), "NumberOfRuns", host().num(4));
  host().set(optionsOf(cs, "KStrDistributed"), "UseLocalMachineOnly", host().logical(true));
  host().set(optionsOf(cs, "SensitivityAnalysisOptions"), "Normalization", host().str("Full"));
  host().set(optionsOf(cs, "RuntimeOptions"), "StatesToLog", host().handles({species}));
  configSetOf(cs)->setActive(true);

  OBInterface* first = add(cs, "copyobj", {host().handle(target)});
  OBInterface* second = add(cs, "copyobj", {host().handle(target)});
  EXPECT_EQ(text(first, "Name"), "cs_1");
  EXPECT_EQ(text(second, "Name"), "cs_2");
  EXPECT_EQ(first->getUp(), target);
  EXPECT_EQ(kelbor(target)->getConfigSet("cs_1"), configSetOf(first));
  EXPECT_FALSE(flag(first, "Active"));
  EXPECT_EQ(text(first, "SolverType"), "expltau");
  EXPECT_EQ(number(first, "StopTime"), 42.0);
  EXPECT_EQ(text(first, "Notes"), "fast runs");
  EXPECT_TRUE(flag(optionsOf(first, "CompileOptions"), "UnitConversion"));
  EXPECT_EQ(number(optionsOf(first, "ExplicitTauSolverOptions"), "ErrorTolerance"), 0.05);
  EXPECT_EQ(number(optionsOf(first, "ODESolverOptions"), "MaxStep"), 0.25);
  EXPECT_EQ(number(optionsOf(first, "SSASolverOptions"), "RandomState"), 11.0);
  EXPECT_EQ(number(optionsOf(first, "KStrDistributed"), "NumberOfRuns"), 4.0);
  EXPECT_TRUE(flag(optionsOf(first, "KStrDistributed"), "UseLocalMachineOnly"));
  EXPECT_EQ(text(optionsOf(first, "SensitivityAnalysisOptions"), "Normalization"), "Full");
  EXPECT_FALSE(flag(optionsOf(first, "RuntimeOptions"), "StatesToLogSet"));
  EXPECT_NE(displayed(optionsOf(first, "RuntimeOptions")).find("StatesToLog:" + sp(10) + "all"), std::string::npos);
}

// Each copy takes the first suffix no set of the model bears, also once
// names were freed by a removal, a rename or a deletion.
TEST_F(ConfigsetTest, CopyobjTakesTheFirstFreeSuffixAfterNamesAreFreed) {
  OBInterface* m = model("m");
  OBInterface* cs = addSet(m, "cs");
  auto copyName = [&] { return text(add(cs, "copyobj", {host().handle(m)}), "Name"); };
  EXPECT_EQ(copyName(), "cs_1");
  EXPECT_EQ(copyName(), "cs_2");
  EXPECT_EQ(copyName(), "cs_3");
  host().call(m, "removeconfigset", {host().str("cs_2")});
  EXPECT_EQ(copyName(), "cs_2");
  host().set(kelbor(m)->getConfigSet("cs_1")->getOBI(), "Name", host().str("renamed"));
  EXPECT_EQ(copyName(), "cs_1");
  host().call(kelbor(m)->getConfigSet("cs_3")->getOBI(), "delete");
  addSet(m, "cs_4");
  EXPECT_EQ(copyName(), "cs_3");
  EXPECT_EQ(copyName(), "cs_5");
  // A set named like a copy of another stem frees nothing of this one.
  addSet(m, "cs_x_1");
  host().call(m, "removeconfigset", {host().str("cs_x_1")});
  EXPECT_EQ(copyName(), "cs_6");
  std::vector<std::string> names;
  kelbor(m)->getConfigSetNames(&names);
  EXPECT_EQ(names, (std::vector<std::string>{"default", "cs", "renamed", "cs_2", "cs_1", "cs_4", "cs_3", "cs_5",
                                             "cs_6"}));
}

TEST_F(ConfigsetTest, CopyobjRefusesABadTarget) {
  OBInterface* m = model("m");
  OBInterface* sub = model("sub");
  host().set(sub, "Parent", host().handle(m), true);
  OBInterface* set = defaultSet(m);
  const size_t instances = OBInterface::liveCount();
  expectHostError([&] { host().call(set, "copyobj", {}, 1); }, "Kestrion:COPYOBJ_INVALIDARG",
                  "Invalid syntax for copyobj with configuration sets. A second argument of type Kestrion model is "
                  "expected.");
  for (OBInterface* target : {sub, set}) {
    expectHostError([&] { host().call(set, "copyobj", {host().handle(target)}, 1); }, "Kestrion:COPYOBJ_INVALIDARG",
                    "Invalid syntax for copyobj with configuration sets. The second argument must be a Kestrion "
                    "model object.");
  }
  EXPECT_EQ(OBInterface::liveCount(), instances);
}

TEST_F(ConfigsetTest, DeleteDestroysSetsButNeverTheDefault) {
  OBInterface* m = model("m");
  OBInterface* a = addSet(m, "a");
  OBInterface* b = addSet(m, "b");
  host().call(m, "setactiveconfigset", {host().str("a")}, 1);
  host().clearLogs();
  host().call(a, "delete");
  EXPECT_FALSE(a->isValid());
  EXPECT_EQ(warningIds(), std::vector<std::string>{"Kestrion:ActiveCSNowDefault"});
  EXPECT_EQ(kelbor(m)->getActiveConfigSetName(), "default");
  EXPECT_TRUE(flag(defaultSet(m), "Active"));
  OBInterface* c = addSet(m, "c");
  expectHostError([&] { host().call("delete", {host().handles({b, defaultSet(m), c})}); },
                  "Kestrion:CannotDeleteDefaultConfigSet", "The default configuration set cannot be deleted.");
  EXPECT_EQ(kelbor(m)->getConfigSet("b"), nullptr);
  EXPECT_NE(kelbor(m)->getConfigSet("c"), nullptr);
  EXPECT_NE(kelbor(m)->getConfigSet("default"), nullptr);
  expectHostError([&] { host().call(defaultSet(m), "delete"); }, "Kestrion:CannotDeleteDefaultConfigSet");
}

TEST_F(ConfigsetTest, OptionObjectsRefuseDeleteAndCopyobj) {
  OBInterface* set = defaultSet(model("m"));
  struct Case {
    const char* cls;
    const char* deleteId;
    const char* deleteText;
    const char* copyId;
    const char* copyText;
  };
  const Case cases[] = {
      {"CompileOptions", "Kestrion:CompileOptionsCannotDelete", "The Compile options object cannot be deleted.",
       "Kestrion:CompileOptionsCannotCopy", "The Compile options object cannot be copied."},
      {"RuntimeOptions", "Kestrion:RuntimeOptionsCannotDelete", "The Runtime options object cannot be deleted.",
       "Kestrion:RuntimeOptionsCannotCopy", "The Runtime options object cannot be copied."},
      {"SensitivityAnalysisOptions", "Kestrion:SensitivityOptionsCannotDelete",
       "The Sensitivity options object cannot be deleted.", "Kestrion:SensitivityOptionsCannotCopy",
       "The Sensitivity options object cannot be copied."},
      {"SSASolverOptions", "Kestrion:SolverOptionsCannotDelete", "The Solver options object cannot be deleted.",
       "Kestrion:SolverOptionsCannotCopy", "The Solver options object cannot be copied."},
      {"ODESolverOptions", "Kestrion:SolverOptionsCannotDelete", "The Solver options object cannot be deleted.",
       "Kestrion:SolverOptionsCannotCopy", "The Solver options object cannot be copied."},
  };
  const size_t instances = OBInterface::liveCount();
  for (const Case& c : cases) {
    OBInterface* options = optionsOf(set, c.cls);
    expectHostError([&] { host().call(options, "delete"); }, c.deleteId, c.deleteText);
    expectHostError([&] { host().call(options, "copyobj", {host().handle(set)}, 1); }, c.copyId, c.copyText);
    EXPECT_FALSE(host().destroy(options)) << c.cls;  // only with its set
  }
  EXPECT_EQ(OBInterface::liveCount(), instances);
  EXPECT_EQ(getDistributedOBClass()->getMethods().size(), 1u);  // "display" only
}

TEST_F(ConfigsetTest, OptionHandlePropertiesTakeOnlyTheirOwnKind) {
  OBInterface* m = model("m");
  OBInterface* set = defaultSet(m);
  OBInterface* other = addSet(m, "other");
  OBInterface* loose = host().construct("CompileOptions");
  const struct {
    const char* property;
    qxArray* value;
  } refused[] = {
      {"CompileOptions", host().handle(optionsOf(set, "RuntimeOptions"))},
      {"CompileOptions", host().handle(optionsOf(other, "CompileOptions"))},
      {"RuntimeOptions", host().handle(m)},
      {"SensitivityAnalysisOptions", host().handle(optionsOf(set, "CompileOptions"))},
      {"AllSolverOptions", host().handles({optionsOf(set, "SSASolverOptions"), optionsOf(set, "CompileOptions")})},
      {"AllSolverOptions", host().handles({optionsOf(other, "SSASolverOptions")})},
  };
  for (const auto& r : refused) {
    SCOPED_TRACE(r.property);
    qxArray* before = host().get(set, r.property, true);
    expectHostError([&] { host().set(set, r.property, r.value, true); }, "Kestrion:InvalidConfigsetOptions");
    EXPECT_TRUE(qxIsIdentical(host().get(set, r.property, true), before));
  }
  // A loose compile options object is taken and placed below the set.
  host().set(set, "CompileOptions", host().handle(loose), true);
  EXPECT_EQ(loose->getUp(), set);
  EXPECT_EQ(configSetOf(set)->getCompileOptions(), static_cast<KStrCompileConfigSet*>(loose->getComponentObject()));
  // AllSolverOptions without an SSA object leaves no SSA options filed.
  host().set(set, "AllSolverOptions", host().handles({optionsOf(set, "ODESolverOptions")}), true);
  host().set(set, "SolverType", host().str("ssa"));
  EXPECT_EQ(configSetOf(set)->getSolverOptions(), nullptr);
  EXPECT_EQ(objectOf(host().get(set, "SolverOptions")), nullptr);
  // An empty value makes fresh sensitivity options; the old ones leave.
  OBInterface* oldSensitivity = optionsOf(set, "SensitivityAnalysisOptions");
  host().set(set, "SensitivityAnalysisOptions", host().own(qxCreateDoubleMatrix(0, 0, qxREAL)), true);
  OBInterface* fresh = objectOf(host().get(set, "SensitivityAnalysisOptions"));
  EXPECT_NE(fresh, oldSensitivity);
  EXPECT_EQ(fresh->getUp(), set);
}

TEST_F(ConfigsetTest, CompileNeededAsksOnlyTheRelevantOptions) {
  OBInterface* set = defaultSet(model("m"));
  KStrConfigurationSet* cs = configurationSetOf(set);
  cs->setCompileNeeded(false);
  EXPECT_FALSE(cs->getCompileNeeded());
  for (const char* cls : kOptionClasses) {
    KStrSolverConfigSetApi* solver = solverOptionsBehind(optionsOf(set, cls));
    if (solver) {
      EXPECT_EQ(solver->getCompileNeeded(), cls != std::string("ODESolverOptions")) << cls;
    }
  }
  host().set(optionsOf(set, "CompileOptions"), "DimensionalAnalysis", host().logical(true));
  EXPECT_TRUE(cs->getCompileNeeded());
  EXPECT_TRUE(flag(set, "CompileNeeded"));
  host().set(set, "CompileNeeded", host().logical(false), true);
  EXPECT_FALSE(cs->getCompileNeeded());
  // A changed option of a solver that is not current does not count.
  host().set(optionsOf(set, "SSASolverOptions"), "LogDecimation", host().num(3));
  EXPECT_FALSE(cs->getCompileNeeded());
  host().set(set, "SolverType", host().str("ssa"));
  EXPECT_TRUE(cs->getCompileNeeded());
}

}  // namespace

namespace {

TEST_F(ConfigsetTest, ARestoredSetStartsWithSensitivityAndDistributedOptions) {
  OBInterface* restored = getConfigsetOBClass()->createInstance(OBDatabaseClient::getInternalClient(), 0, nullptr,
                                                                nullptr, 0);
  host().own(obkHandleArray(restored));
  restored->releaseReference();
  EXPECT_EQ(restored->getNumChildren(), 2u);
  EXPECT_NE(optionsOf(restored, "SensitivityAnalysisOptions"), nullptr);
  EXPECT_NE(optionsOf(restored, "KStrDistributed"), nullptr);
  EXPECT_EQ(configSetOf(restored)->getSolverOptions(), nullptr);
  // The restore fills the other options through the properties.
  OBInterface* compile = host().construct("CompileOptions");
  OBInterface* ode = host().construct("ODESolverOptions");
  host().set(restored, "CompileOptions", host().handle(compile), true);
  host().set(restored, "AllSolverOptions", host().handles({ode}), true);
  EXPECT_EQ(compile->getUp(), restored);
  EXPECT_EQ(objectOf(host().get(restored, "SolverOptions")), ode);
}

TEST_F(ConfigsetTest, DeletingAModelTakesItsSetsWithoutWarnings) {
  OBInterface* m = model("m");
  host().call(m, "setactiveconfigset", {host().str("default")}, 1);
  addSet(m, "a");
  host().call(m, "setactiveconfigset", {host().str("a")}, 1);
  host().clearLogs();
  host().call(m, "delete");
  EXPECT_TRUE(host().warnings().empty());
}

}  // namespace
