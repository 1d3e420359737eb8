// The checked values of the configuration set and its option objects, as
// tables: every refused value gives its identifier and text and keeps the
// old value; every accepted value is stored and marks the set as needing
// compilation exactly when it should.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "ConfigsetFixture.hpp"
#include "configsets/KStrConfigurationSet.hpp"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

const char kTolerance[] = "Tolerance must be a positive number less than one.";
const char kLogDecimation[] = "Log decimation value must be a positive integer.";
const char kRandomState[] = "The random state property must have an integer value.";
const char kMaxIterations[] = "Max iterations property must be a positive integer.";
const char kMaxStep[] = "MaxStep property must be a positive scalar.";
const char kRunsNegative[] = "Number of Runs property must be an integer greater than or equal to zero.";
const char kRunsInteger[] = "Number of Runs property must be a positive integer value.";
const char kClash[] =
    "A configset with the same name is already attached to the model,\n"
    "or this is a reserved name. Reserved names are 'default' and 'active'. To get the \n"
    "configset, use GETCONFIGSET.";

class OptionValuesTest : public ConfigsetTest {
 protected:
  void SetUp() override {
    ConfigsetTest::SetUp();
    m_ = model("m");
    set_ = addSet(m_, "fast");
  }
  // The object a row names: the set itself ("Configset") or its option
  // object of that class.
  OBInterface* target(const char* cls) {
    return std::string(cls) == "Configset" ? set_ : optionsOf(set_, cls);
  }
  qxArray* value(std::initializer_list<double> values) { return host().nums(values); }

  OBInterface* m_ = nullptr;
  OBInterface* set_ = nullptr;
};

struct Refusal {
  const char* cls;
  const char* property;
  std::vector<double> values;  // each refused alone; empty: the text value below
  const char* textValue;
  const char* id;
  const char* message;
};

TEST_F(OptionValuesTest, RefusedValuesKeepTheOldValue) {
  const Refusal rows[] = {
      {"Configset", "StartTime", {-1, -1e-300, kNaN}, nullptr, "Kestrion:NegativeStartTime",
       "Simulation start time must be a positive value."},
      {"Configset", "StopTime", {-0.5, kNaN, -kInf}, nullptr, "Kestrion:NegativeStopTime",
       "Simulation stop time must be a positive value."},
      {"Configset", "Name", {}, "", "Kestrion:InvalidConfigsetName", "A configuration set must have a name."},
      {"Configset", "Name", {}, "active", "Kestrion:ConfigSetNameClash", kClash},
      {"Configset", "Name", {}, "default", "Kestrion:ConfigSetNameClash", kClash},
      {"Configset", "Name", {}, "fast", "Kestrion:ConfigSetNameClash", kClash},
      {"Configset", "SerializableName", {}, "active", "Kestrion:ActiveReservedConfigSetName",
       "Cannot name a configuration set 'active', this is a reserved name."},
      {"Configset", "SerializableName", {}, "", "Kestrion:InvalidConfigsetName", "A configuration set must have a name."},
      {"ODESolverOptions", "AbsoluteTolerance", {0, 1, -0.1, 1.5, kNaN, kInf}, nullptr, "Kestrion:KS_InvalidTolerance", kTolerance},
      {"ODESolverOptions", "RelativeTolerance", {0, 1, -0.1, 1.5, kNaN}, nullptr, "Kestrion:KS_InvalidTolerance", kTolerance},
      {"ODESolverOptions", "MaxOrder", {0, 6, -1}, nullptr, "Kestrion:MaxOrderBadValue",
       "MaxOrder must an integer value between 1 and 5"},
      {"ODESolverOptions", "MaxStep", {0, -1, kNaN}, nullptr, "Kestrion:InvalidMaxStep", kMaxStep},
      {"ODESolverOptions", "MaxStep", {}, "fast", "Kestrion:InvalidMaxStep", kMaxStep},
      {"SSASolverOptions", "LogDecimation", {0, -3, 2.5, kNaN, kInf, 4294967296.0}, nullptr,
       "Kestrion:ZeroOrNegativeLogDecimation", kLogDecimation},
      {"ExplicitTauSolverOptions", "LogDecimation", {0}, nullptr, "Kestrion:ZeroOrNegativeLogDecimation", kLogDecimation},
      {"SSASolverOptions", "RandomState", {2.5, kNaN, kInf}, nullptr, "Kestrion:KS_RandomStateIntegerValue", kRandomState},
      // The state is a 32-bit integer: whole numbers beyond it are refused.
      {"SSASolverOptions", "RandomState", {2147483648.0, -2147483649.0, 1e10, -1e300}, nullptr,
       "Kestrion:KS_RandomStateIntegerValue", kRandomState},
      {"ImplicitTauSolverOptions", "RandomState", {}, "a", "Kestrion:KS_RandomStateIntegerValue", kRandomState},
      {"ExplicitTauSolverOptions", "ErrorTolerance", {0, 1, kNaN}, nullptr, "Kestrion:KS_InvalidTolerance", kTolerance},
      {"ImplicitTauSolverOptions", "AbsoluteTolerance", {0, 1, kNaN}, nullptr, "Kestrion:KS_BadTolerance", kTolerance},
      {"ImplicitTauSolverOptions", "ErrorTolerance", {0, 1}, nullptr, "Kestrion:KS_InvalidTolerance", kTolerance},
      {"ImplicitTauSolverOptions", "MaxIterations", {0, -5, 2.5, kNaN, kInf, 3e9}, nullptr,
       "Kestrion:KS_InvalidMaxIterations", kMaxIterations},
      {"KStrDistributed", "NumberOfRuns", {-1, kNaN, -kInf}, nullptr, "Kestrion:KS_NumberOfRunsNegative", kRunsNegative},
      {"KStrDistributed", "NumberOfRuns", {2.5, kInf, 3e9}, nullptr, "Kestrion:KS_NumberOfRunsNotInteger", kRunsInteger},
  };
  for (const Refusal& row : rows) {
    OBInterface* object = target(row.cls);
    std::vector<qxArray*> values;
    for (double x : row.values) values.push_back(host().num(x));
    if (row.textValue) values.push_back(host().str(row.textValue));
    for (qxArray* v : values) {
      SCOPED_TRACE(std::string(row.cls) + "." + row.property + " = " +
                   (row.textValue ? row.textValue : std::to_string(qxGetScalar(v))));
      qxArray* before = host().get(object, row.property);
      const bool internal = !object->getProperty(row.property)->isExternalSetAccess();
      expectHostError([&] { host().set(object, row.property, v, internal); }, row.id, row.message);
      EXPECT_TRUE(qxIsIdentical(host().get(object, row.property), before));
    }
  }
  // Arrays of the wrong shape.
  for (const char* cls : {"SSASolverOptions", "ODESolverOptions"}) {
    const char* property = std::string(cls) == "SSASolverOptions" ? "RandomState" : "MaxStep";
    expectHostError([&] { host().set(target(cls), property, value({1, 2})); },
                    std::string(cls) == "SSASolverOptions" ? "Kestrion:KS_RandomStateIntegerValue"
                                                           : "Kestrion:InvalidMaxStep");
  }
}

struct Acceptance {
  const char* cls;
  const char* property;
  double value;
  double stored;
  bool marksCompile;  // with the set's flags cleared first
  const char* solverType;  // the set's solver type during the row
};

TEST_F(OptionValuesTest, AcceptedValuesAreStoredAndMarkCompileNeededWhenTheyShould) {
  const Acceptance rows[] = {
      {"Configset", "StartTime", 0, 0, true, "sundials"},
      {"Configset", "StartTime", kInf, kInf, true, "sundials"},
      {"Configset", "StopTime", 0, 0, false, "sundials"},
      {"Configset", "StopTime", kInf, kInf, false, "sundials"},
      {"Configset", "Version", 2.5, 2.5, false, "sundials"},
      {"KStrDistributed", "NumberOfRuns", 0, 0, true, "sundials"},
      {"KStrDistributed", "NumberOfRuns", 2147483647.0, 2147483647.0, true, "sundials"},
      {"ODESolverOptions", "MaxStep", 0.5, 0.5, true, "sundials"},
      {"ODESolverOptions", "MaxStep", 1e300, 1e300, true, "tolbrin"},
      {"ODESolverOptions", "MaxStep", kInf, kInf, true, "sundials"},
      {"ODESolverOptions", "RelativeTolerance", 0.5, 0.5, true, "sundials"},
      {"ODESolverOptions", "AbsoluteTolerance", 1e-9, 1e-9, true, "sundials"},
      {"ODESolverOptions", "MaxOrder", 1, 1, true, "sundials"},
      {"ODESolverOptions", "MaxOrder", 5, 5, true, "sundials"},
      {"ODESolverOptions", "InitialStep", 0.125, 0.125, true, "sundials"},
      {"ODESolverOptions", "Refine", 4, 4, true, "sundials"},
      {"ODESolverOptions", "RelativeTolerance", 0.5, 0.5, false, "ssa"},
      {"SSASolverOptions", "LogDecimation", 10, 10, true, "ssa"},
      {"SSASolverOptions", "LogDecimation", 10, 10, false, "sundials"},
      {"SSASolverOptions", "RandomState", 7, 7, true, "ssa"},
      {"SSASolverOptions", "RandomState", -3, -3, true, "ssa"},
      {"SSASolverOptions", "RandomState", 2147483647.0, 2147483647.0, true, "ssa"},
      {"ExplicitTauSolverOptions", "RandomState", -2147483648.0, -2147483648.0, true, "expltau"},
      {"ExplicitTauSolverOptions", "ErrorTolerance", 0.05, 0.05, true, "expltau"},
      {"ExplicitTauSolverOptions", "ErrorTolerance", 0.05, 0.05, false, "impltau"},
      {"ImplicitTauSolverOptions", "MaxIterations", 40, 40, true, "impltau"},
      {"ImplicitTauSolverOptions", "AbsoluteTolerance", 0.25, 0.25, true, "impltau"},
  };
  KStrConfigurationSet* set = configurationSetOf(set_);
  for (const Acceptance& row : rows) {
    SCOPED_TRACE(std::string(row.cls) + "." + row.property + " = " + std::to_string(row.value) + " with " +
                 row.solverType);
    host().set(set_, "SolverType", host().str(row.solverType));
    set->setCompileNeeded(false);
    host().set(target(row.cls), row.property, host().num(row.value), true);
    EXPECT_EQ(number(target(row.cls), row.property), row.stored);
    EXPECT_EQ(set->getCompileNeeded(), row.marksCompile);
  }
}

TEST_F(OptionValuesTest, ArrayAndListValues) {
  OBInterface* ode = target("ODESolverOptions");
  KStrConfigurationSet* set = configurationSetOf(set_);
  set->setCompileNeeded(false);
  host().set(ode, "TSpan", value({0, 1, 2}));
  EXPECT_TRUE(qxIsIdentical(host().get(ode, "TSpan"), value({0, 1, 2})));
  EXPECT_FALSE(set->getCompileNeeded());  // the time span needs no compilation
  host().set(ode, "MaxStep", value({0.5}));
  host().set(ode, "MaxStep", value({}));
  EXPECT_TRUE(qxIsEmpty(host().get(ode, "MaxStep")));
  host().set(ode, "NonNegative", value({1, 3, 4}));
  EXPECT_TRUE(qxIsIdentical(host().get(ode, "NonNegative"), value({1, 3, 4})));
  for (const char* onOff : {"BDF", "NormControl", "Stats"}) {
    host().set(ode, onOff, host().str("off"));
    EXPECT_EQ(text(ode, onOff), "off");
  }
  OBInterface* ssa = target("SSASolverOptions");
  host().set(ssa, "RandomState", host().num(9));
  host().set(ssa, "RandomState", value({}));
  EXPECT_TRUE(qxIsEmpty(host().get(ssa, "RandomState")));
  // A value read back and written again is safe.
  host().set(ssa, "RandomState", host().num(5));
  host().set(ssa, "RandomState", host().get(ssa, "RandomState"));
  EXPECT_EQ(number(ssa, "RandomState"), 5.0);
  host().set(set_, "Notes", host().str("n"));
  host().set(set_, "Notes", host().get(set_, "Notes"));
  EXPECT_EQ(text(set_, "Notes"), "n");
  // Setting Type or Name of an option object changes nothing.
  host().set(ode, "Name", host().str("x"), true);
  EXPECT_EQ(text(ode, "Name"), "odesolver");
}

TEST_F(OptionValuesTest, UnitConversionNeedsDimensionalAnalysis) {
  OBInterface* compile = target("CompileOptions");
  host().clearLogs();
  host().set(compile, "DimensionalAnalysis", host().logical(false));
  EXPECT_TRUE(warningIds().empty());
  host().set(compile, "UnitConversion", host().logical(true));
  EXPECT_EQ(warningIds(), std::vector<std::string>{"Kestrion:UnitConvRequiresDimAnal"});
  EXPECT_EQ(host().warnings()[0].text,
            "Warning: UnitConversion requires DimensionalAnalysis.\n Turning on DimensionalAnalysis in the configset.");
  EXPECT_TRUE(flag(compile, "DimensionalAnalysis"));
  host().clearLogs();
  host().set(compile, "DimensionalAnalysis", host().logical(false));
  EXPECT_EQ(host().warnings().at(0).text,
            "Warning: UnitConversion requires DimensionalAnalysis.\n Turning off UnitConversion in the configset.");
  EXPECT_FALSE(flag(compile, "UnitConversion"));
  host().set(compile, "DefaultSpeciesDimension", host().str("substance"));
  EXPECT_EQ(text(compile, "DefaultSpeciesDimension"), "substance");
}

TEST_F(OptionValuesTest, RenamesKeepTheModelInStep) {
  host().call(m_, "setactiveconfigset", {host().str("fast")}, 1);
  host().set(set_, "Name", host().str("faster"));
  EXPECT_EQ(kelbor(m_)->getActiveConfigSetName(), "faster");
  EXPECT_EQ(kelbor(m_)->getConfigSet("faster"), configSetOf(set_));
  expectHostError([&] { host().set(defaultSet(m_), "Name", host().str("other")); },
                  "Kestrion:CannotRenameRemoveDefault", "The default configuration set cannot be renamed or removed.");
  // Without a "default" in the model, the default rule speaks.
  OBInterface* loose = getConfigsetOBClass()->createInstance(OBDatabaseClient::getInternalClient());
  host().own(obkHandleArray(loose));
  loose->releaseReference();
  host().set(loose, "SerializableName", host().str("default"), true);
  EXPECT_EQ(text(loose, "Name"), "default");
  expectHostError([&] { host().set(loose, "Name", host().str("x")); }, "Kestrion:CannotRenameRemoveDefault");
}

}  // namespace
