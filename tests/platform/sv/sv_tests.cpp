// Tests of the host services stand-in.
#include <gtest/gtest.h>

#include "sv/sv.hpp"
#include "sv/sv_test.hpp"

namespace {

class SvTest : public ::testing::Test {
 protected:
  void SetUp() override {
    svTestSetJava(false);
    svTestResetFeatures();
  }
  void TearDown() override { SetUp(); }
};

TEST_F(SvTest, JavaIsOffByDefaultAndOneSwitchSetsBoth) {
  EXPECT_FALSE(svJavaUseJVM());
  EXPECT_FALSE(svIsJavaEnabled());
  svTestSetJava(true);
  EXPECT_TRUE(svJavaUseJVM());
  EXPECT_TRUE(svIsJavaEnabled());
  svTestSetJava(false);
  EXPECT_FALSE(svJavaUseJVM());
  EXPECT_FALSE(svIsJavaEnabled());
}

// The switches the engine registers, with their defaults.
struct Feature {
  const char* name;
  int defaultValue;
};
const Feature kFeatures[] = {
    {"QuorvUnits", 1},          {"KestriJPattern", 1},          {"KestriODEFcnHandles", 1},
    {"KestriInternalDebug", 0}, {"KestriNonMassActionStoch", 0}, {"KestriGenODEFile", 0},
    {"KestriPKAccel", 1},       {"KestriCacheCompiledModels", 1}, {"KestriCodeGeneration", 1},
};

TEST_F(SvTest, RegisteredDefaultsAnswer) {
  for (const Feature& f : kFeatures) {
    EXPECT_FALSE(svIsFeatureEnabled(f.name)) << f.name << " before registration";
    svRegisterFeature(f.name, f.defaultValue, nullptr, nullptr);
  }
  for (const Feature& f : kFeatures) {
    EXPECT_EQ(svIsFeatureEnabled(f.name), f.defaultValue != 0) << f.name;
    EXPECT_TRUE(svTestIsFeatureRegistered(f.name)) << f.name;
  }
}

TEST_F(SvTest, FirstRegistrationWins) {
  struct Case {
    int first, second;
    bool expected;
  };
  const Case cases[] = {{1, 0, true}, {0, 1, false}, {7, 0, true}, {0, 0, false}};
  for (const Case& c : cases) {
    svTestResetFeatures();
    svRegisterFeature("Switch", c.first, nullptr, nullptr);
    svRegisterFeature("Switch", c.second, nullptr, nullptr);
    EXPECT_EQ(svIsFeatureEnabled("Switch"), c.expected) << c.first << "," << c.second;
  }
}

TEST_F(SvTest, UnknownAndNullNamesAnswerFalse) {
  svRegisterFeature(nullptr, 1, nullptr, nullptr);  // ignored
  svSetFeature(nullptr, true);                      // ignored
  EXPECT_FALSE(svIsFeatureEnabled(nullptr));
  EXPECT_FALSE(svIsFeatureEnabled("NeverRegistered"));
  EXPECT_FALSE(svTestIsFeatureRegistered("NeverRegistered"));
  svRegisterFeature("QuorvUnits", 1, nullptr, nullptr);
  EXPECT_FALSE(svIsFeatureEnabled("quorvunits"));  // names are exact
}

TEST_F(SvTest, SetFeatureOverridesAndOutlivesLaterRegistration) {
  svRegisterFeature("KestriCacheCompiledModels", 1, nullptr, nullptr);
  svSetFeature("KestriCacheCompiledModels", false);
  EXPECT_FALSE(svIsFeatureEnabled("KestriCacheCompiledModels"));
  svSetFeature("QuorvUnits", false);  // set before the engine registers it
  svRegisterFeature("QuorvUnits", 1, nullptr, nullptr);
  EXPECT_FALSE(svIsFeatureEnabled("QuorvUnits"));
  svTestResetFeatures();
  EXPECT_FALSE(svTestIsFeatureRegistered("QuorvUnits"));
  svRegisterFeature("QuorvUnits", 1, nullptr, nullptr);
  EXPECT_TRUE(svIsFeatureEnabled("QuorvUnits"));
}

}  // namespace
