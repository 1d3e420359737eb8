// The parameter component: names, duplicates among the parameters of one
// model or kinetic law, values, units and qualified names.
#include <gtest/gtest.h>

#include "support/Expect.hpp"
#include "LinkedReaction.hpp"

#include <cmath>
#include <functional>
#include <hb/hb.hpp>
#include <limits>
#include <memory>
#include <obk/Exception.hpp>
#include <string>

#include "kinetics/BKineticLaw.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BParameter.hpp"
#include "reactions/BReaction.hpp"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const char kInvalidNameText[] =
    "Invalid Name. Name cannot be 'time', an empty string or contain only whitespace.";
const char kDuplicateText[] =
    "NAME is being used by another Kestrion parameter object. Specify a different NAME. \n"
    "Type 'help Kestrion.Model.addparameter' for more information.";


std::unique_ptr<BParameter> makeParameter(const std::string& name) {
  auto p = std::make_unique<BParameter>();
  p->setName(name);
  return p;
}

class ParameterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hb_mem_add_primary_message_table(hbGetMemoryContext(), &kstr::getMessageCatalog());
  }
};

TEST_F(ParameterTest, Defaults) {
  BParameter p;
  EXPECT_STREQ(p.getType(), "parameter");
  EXPECT_EQ(p.getEnumType(), kstr::parameter);
  EXPECT_EQ(p.getInitialValue(), 1.0);
  EXPECT_EQ(p.getUnits(), "");
  EXPECT_TRUE(p.getConstantValue());
  EXPECT_FALSE(p.getBoundaryCondition());
  EXPECT_EQ(p.getDefaultName(), "");
}

TEST_F(ParameterTest, NameChecks) {
  const struct {
    const char* name;
    const char* errorId;  // null: accepted
  } cases[] = {
      {"k", nullptr},
      {"null", nullptr},
      {"a->b", nullptr},
      {"my k", nullptr},
      {"", "Kestrion:KSTRPARAMETER_INVALIDNAME"},
      // The common check runs first and answers for blank names.
      {" \t", "Kestrion:NameCannotContainOnlyWhitespace"},
      {"time", "Kestrion:InvalidComponentName"},
      {"k[1]", "Kestrion:NameCannotContainBrackets"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto check = [&] { BParameter::errorForInvalidNameStatic(c.name, nullptr); };
    if (!c.errorId) {
      EXPECT_NO_THROW(check());
    } else if (std::string(c.errorId) == "Kestrion:KSTRPARAMETER_INVALIDNAME") {
      expectError(check, c.errorId, kInvalidNameText);
    } else {
      expectError(check, c.errorId);
    }
  }
}

TEST_F(ParameterTest, DuplicatesAmongTheModelsParameters) {
  Kelbor model;
  auto k1 = makeParameter("k1");
  auto k2 = makeParameter("my k");
  model.addParameter(k1.get());
  model.addParameter(k2.get());

  for (const char* taken : {"k1", "my k"}) {
    SCOPED_TRACE(taken);
    expectError([&] { BParameter::errorForInvalidNameStatic(taken, &model); },
                "Kestrion:PARAMETER_DUPLICATENAME", kDuplicateText);
  }
  EXPECT_NO_THROW(BParameter::errorForInvalidNameStatic("k3", &model));
  EXPECT_NO_THROW(BParameter::errorForInvalidNameStatic("K1", &model));
  // The parameter's own current name is no duplicate; another's is.
  EXPECT_NO_THROW(k1->errorForInvalidName("k1", &model));
  expectError([&] { k2->errorForInvalidName("k1", &model); }, "Kestrion:PARAMETER_DUPLICATENAME");
  expectError([&] { k2->rename(" k1 "); }, "Kestrion:PARAMETER_DUPLICATENAME");
  EXPECT_EQ(k2->getName(), "my k");
  k1->rename("renamed");
  EXPECT_NO_THROW(k2->errorForInvalidName("k1", &model));
  expectError([&] { BParameter::errorForInvalidNameStatic("renamed", &model); },
              "Kestrion:PARAMETER_DUPLICATENAME");
  model.removeParameter(k1.get());
  EXPECT_NO_THROW(BParameter::errorForInvalidNameStatic("renamed", &model));
  model.removeParameter(k2.get());
}

TEST_F(ParameterTest, KineticLawAndModelParametersHaveSeparateNames) {
  Kelbor model;
  BKineticLaw law;
  auto kf = makeParameter("kf");
  auto other = makeParameter("kr");
  law.addParameter(kf.get());
  law.addParameter(other.get());

  expectError([&] { BParameter::errorForInvalidNameStatic("kf", &law); },
              "Kestrion:PARAMETER_DUPLICATENAME", kDuplicateText);
  EXPECT_NO_THROW(kf->errorForInvalidName("kf", &law));
  expectError([&] { other->errorForInvalidName("kf", &law); }, "Kestrion:PARAMETER_DUPLICATENAME");
  EXPECT_NO_THROW(BParameter::errorForInvalidNameStatic("kf", &model));

  auto modelKf = makeParameter("kf");
  model.addParameter(modelKf.get());
  EXPECT_NO_THROW(BParameter::errorForInvalidNameStatic("kr", &model));
  BKineticLaw emptyLaw;
  EXPECT_NO_THROW(BParameter::errorForInvalidNameStatic("kf", &emptyLaw));
  // A parent of any other kind is not searched.
  BCompartment compartment;
  EXPECT_NO_THROW(BParameter::errorForInvalidNameStatic("kf", &compartment));
  compartment.releaseHandleVectors();
  model.removeParameter(modelKf.get());
  law.removeParameter(kf.get());
  law.removeParameter(other.get());
}

TEST_F(ParameterTest, EveryValueIsValid) {
  for (double value : {0.0, -1.0, 1e300, kInf, -kInf}) {
    BParameter p;
    p.setInitialValue(value);
    EXPECT_EQ(p.getInitialValue(), value);
  }
  BParameter p;
  p.setInitialValue(kNaN);
  EXPECT_TRUE(std::isnan(p.getInitialValue()));
}

TEST_F(ParameterTest, UnitsAreCheckedByTheUnitManager) {
  const struct {
    const char* units;
    const char* stored;  // null: refused, the old units stay
  } cases[] = {{"1/second", "1/second"},
               {" liter/(mole*second) ", "liter/(mole*second)"},
               {"mole", "mole"},
               {"dimensionless", "dimensionless"},
               {"  ", ""},
               {"", ""},
               {"foo", nullptr},
               {"mole/", nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.units);
    Kelbor model;
    BParameter p;
    p.setName("k");
    model.addParameter(&p);
    p.setUnits("second");
    model.setCompileNeeded(false);
    if (c.stored) {
      EXPECT_NO_THROW(BParameter::verifyUnitsStatic(c.units));
      p.setUnits(c.units);
      EXPECT_EQ(p.getUnits(), c.stored);
      EXPECT_TRUE(model.getCompileNeeded());
    } else {
      expectError([&] { BParameter::verifyUnitsStatic(c.units); },
                  "Kestrion:KSUNIT_CANNOT_PARSE_UNITS");
      expectError([&] { p.setUnits(c.units); }, "Kestrion:KSUNIT_CANNOT_PARSE_UNITS");
      EXPECT_EQ(p.getUnits(), "second");
      EXPECT_FALSE(model.getCompileNeeded());
    }
    model.removeParameter(&p);
  }
}

TEST_F(ParameterTest, QualifiedNames) {
  Kelbor model;
  // Several compartments do not qualify a parameter's name.
  BCompartment a;
  a.setName("A");
  BCompartment b;
  b.setName("B");
  model.addCompartment(&a);
  model.addCompartment(&b);
  auto k = makeParameter("k");
  auto spaced = makeParameter("my k");
  model.addParameter(k.get());
  model.addParameter(spaced.get());

  std::string out = "left over";  // cleared first
  k->getPQN(out);
  EXPECT_EQ(out, "k");
  spaced->getPQN(out);
  EXPECT_EQ(out, "[my k]");
  out = "left over";
  spaced->getDQN(out);
  EXPECT_EQ(out, "my k");

  // A kinetic-law parameter is qualified by its reaction.
  qtest::LinkedReaction reaction;
  reaction.setName("r1");
  BKineticLaw law;
  reaction.law = &law;
  model.addReaction(&reaction);
  auto kf = makeParameter("kf");
  law.addParameter(kf.get());
  kf->getPQN(out);
  EXPECT_EQ(out, "r1.kf");
  kf->getDQN(out);
  EXPECT_EQ(out, "r1.kf");
  EXPECT_EQ(
      std::string(kf->getIdWithFullPathToTopModel()),
      std::string(model.getID()) + "_" + reaction.getID() + "_" + law.getID() + "_" + kf->getID());

  law.removeParameter(kf.get());
  model.removeReaction(&reaction);
  model.removeParameter(k.get());
  model.removeParameter(spaced.get());
  model.removeCompartment(&a);
  model.removeCompartment(&b);
  a.releaseHandleVectors();
  b.releaseHandleVectors();
}

TEST_F(ParameterTest, CopyAndAssignment) {
  BParameter source;
  source.setName("k");
  source.setInitialValue(-2.5);
  source.setUnits("1/second");
  source.setConstantValue(false);
  source.setBoundaryCondition(true);
  BParameter copy(source);
  BParameter assigned;
  assigned = source;
  for (const BParameter* p : {&copy, &assigned}) {
    EXPECT_EQ(p->getName(), "k");
    EXPECT_EQ(p->getInitialValue(), -2.5);
    EXPECT_EQ(p->getUnits(), "1/second");
    EXPECT_FALSE(p->getConstantValue());
    EXPECT_TRUE(p->getBoundaryCondition());
  }
}

}  // namespace
