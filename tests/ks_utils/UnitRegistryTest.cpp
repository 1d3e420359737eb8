// User units and prefixes: registration, ownership, subscriptions, renames.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "KsTestMessages.hpp"
#include "ks_utils/Units.hpp"
#include "obk/Exception.hpp"

namespace {

using OVUnits::UnitPrefixApi;
using OVUnits::UnitRepresentationApi;

class UnitRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kstest::registerTestMessages();
    manager().resetUserDefinitions();
  }
  void TearDown() override {
    for (size_t id : unitSubscriptions_) manager().unsubscribe(id);
    for (size_t id : prefixSubscriptions_) prefixes().unsubscribe(id);
    manager().resetUserDefinitions();
  }

  static OVUnits::UnitManagerApi& manager() { return *getUnitManagerApiFcn(); }
  static OVUnits::UnitPrefixServiceApi& prefixes() {
    return *manager().getPrefixService();
  }

  // A new caller-owned unit with the given definition.
  static UnitRepresentationApi* makeUnit(const std::string& name,
                                         const std::string& composition,
                                         double multiplier = 1.0,
                                         double offset = 0.0) {
    UnitRepresentationApi* unit = manager().newUnit();
    unit->setName(name);
    unit->setComposition(composition);
    unit->setMultiplier(multiplier);
    unit->setOffset(offset);
    return unit;
  }

  // Records the names of units as they are unregistered, checking that
  // each is still readable at that moment.
  std::vector<std::string>& recordUnregistrations() {
    unitSubscriptions_.push_back(manager().subscribe(
        [this](const UnitRepresentationApi* unit) {
          unregistered_.push_back(unit->getName() + ":" + unit->getComposition());
        }));
    return unregistered_;
  }

  std::vector<size_t> unitSubscriptions_;
  std::vector<size_t> prefixSubscriptions_;
  std::vector<std::string> unregistered_;
};

TEST_F(UnitRegistryTest, NewUnitDefaults) {
  std::unique_ptr<UnitRepresentationApi> unit(manager().newUnit());
  EXPECT_EQ(unit->getName(), "");
  EXPECT_EQ(unit->getComposition(), "");
  EXPECT_DOUBLE_EQ(unit->getMultiplier(), 1.0);
  EXPECT_DOUBLE_EQ(unit->getOffset(), 0.0);
  EXPECT_FALSE(manager().ownsObject(unit.get()));
  std::unique_ptr<UnitRepresentationApi> original(makeUnit("a", "mole", 2.0, 3.0));
  std::unique_ptr<UnitRepresentationApi> copy(original->clone());
  EXPECT_EQ(copy->getName(), "a");
  EXPECT_EQ(copy->getComposition(), "mole");
  EXPECT_DOUBLE_EQ(copy->getMultiplier(), 2.0);
  EXPECT_DOUBLE_EQ(copy->getOffset(), 3.0);
}

TEST_F(UnitRegistryTest, RegisteredUnitsTakePartInTexts) {
  UnitRepresentationApi* molar = makeUnit("molar", "mole/liter");
  ASSERT_TRUE(manager().registerUnit(molar));
  EXPECT_TRUE(manager().ownsObject(molar));
  EXPECT_TRUE(manager().isKnown("molar"));
  EXPECT_FALSE(manager().isBuiltIn("molar"));
  EXPECT_EQ(manager().getUnit("molar"), molar);
  EXPECT_EQ(manager().getUnitType("molar"), 14u);
  EXPECT_EQ(manager().getUnitType("millimolar"), 14u);
  EXPECT_NEAR(manager().getConverter("millimolar", "mole/liter").convert(1.0), 1e-3, 1e-15);
  std::string substance, volume;
  EXPECT_TRUE(manager().splitConcentrationUnits("molar", substance, volume));
  EXPECT_EQ(substance, "mole");
  EXPECT_EQ(volume, "liter");
  // Two mole per litre is no mole over a litre.
  ASSERT_TRUE(manager().registerUnit(makeUnit("twomolar", "mole/liter", 2.0)));
  substance = volume = "-";
  EXPECT_FALSE(manager().splitConcentrationUnits("twomolar", substance, volume));
  EXPECT_EQ(substance + volume, "--");
  // Registering the same object again changes nothing.
  EXPECT_TRUE(manager().registerUnit(molar));
  EXPECT_EQ(manager().getUnit("molar"), molar);
}

TEST_F(UnitRegistryTest, UserUnitsWithMultiplierAndOffset) {
  ASSERT_TRUE(manager().registerUnit(makeUnit("fahrenheit", "Celsius", 5.0 / 9.0, -160.0 / 9.0)));
  EXPECT_NEAR(manager().getConverter("fahrenheit", "Celsius").convert(212.0), 100.0, 1e-12);
  EXPECT_NEAR(manager().getConverter("fahrenheit", "kelvin").convert(32.0), 273.15, 1e-12);
  ASSERT_TRUE(manager().registerUnit(makeUnit("week", "day", 7.0)));
  EXPECT_DOUBLE_EQ(manager().getConverter("week", "hour").convert(1.0), 168.0);
  EXPECT_EQ(manager().getUnitType("week"), 3u);
  ASSERT_TRUE(manager().registerUnit(makeUnit("ratio", "")));
  EXPECT_EQ(manager().getUnitType("ratio"), 100u);
}

TEST_F(UnitRegistryTest, RegistrationRefusals) {
  const struct {
    const char* name;
    const char* composition;
    double multiplier;
  } refused[] = {
      {"gram", "mole", 1.0},          // built-in name
      {"", "mole", 1.0},              // empty name
      {"two words", "mole", 1.0},     // not a name
      {"9lives", "mole", 1.0},
      {"bad", "mole/", 1.0},          // composition does not parse
      {"bad", "nothing", 1.0},        // unknown unit
      {"self", "self*mole", 1.0},     // refers to itself
  };
  for (const auto& r : refused) {
    SCOPED_TRACE(r.name);
    std::unique_ptr<UnitRepresentationApi> unit(makeUnit(r.name, r.composition, r.multiplier));
    EXPECT_FALSE(manager().registerUnit(unit.get()));
    EXPECT_FALSE(manager().ownsObject(unit.get()));
  }
  EXPECT_FALSE(manager().registerUnit(nullptr));
  EXPECT_FALSE(manager().registerUnit(manager().getUnit("gram")));
  EXPECT_EQ(manager().getUnit("gram")->getComposition(), "gram");
  EXPECT_FALSE(manager().isKnown("self"));
}

TEST_F(UnitRegistryTest, UnregisterNotifiesWhileValidThenFrees) {
  std::vector<std::string>& seen = recordUnregistrations();
  ASSERT_TRUE(manager().registerUnit(makeUnit("molar", "mole/liter")));
  EXPECT_TRUE(manager().unregisterUnit("molar"));
  EXPECT_EQ(seen, std::vector<std::string>{"molar:mole/liter"});
  EXPECT_FALSE(manager().isKnown("molar"));
  EXPECT_THROW(manager().getUnitType("molar"), ErrorIdException);
  EXPECT_FALSE(manager().unregisterUnit("molar"));
  EXPECT_FALSE(manager().unregisterUnit("mole"));
  EXPECT_EQ(seen.size(), 1u);
}

TEST_F(UnitRegistryTest, ListenerCanKeepACopy) {
  // The pattern of a wrapper that replaces its unit object by a copy.
  std::unique_ptr<UnitRepresentationApi> kept;
  unitSubscriptions_.push_back(manager().subscribe(
      [&kept](const UnitRepresentationApi* unit) { kept.reset(unit->clone()); }));
  UnitRepresentationApi* unit = makeUnit("week", "day", 7.0);
  ASSERT_TRUE(manager().registerUnit(unit));
  manager().unregisterUnit("week");
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->getName(), "week");
  EXPECT_DOUBLE_EQ(kept->getMultiplier(), 7.0);
  EXPECT_FALSE(manager().ownsObject(kept.get()));
}

TEST_F(UnitRegistryTest, RegisteringAnExistingUserNameReplacesIt) {
  std::vector<std::string>& seen = recordUnregistrations();
  ASSERT_TRUE(manager().registerUnit(makeUnit("conc", "mole/liter")));
  UnitRepresentationApi* second = makeUnit("conc", "gram/liter");
  ASSERT_TRUE(manager().registerUnit(second));
  EXPECT_EQ(seen, std::vector<std::string>{"conc:mole/liter"});
  EXPECT_EQ(manager().getUnit("conc"), second);
  EXPECT_EQ(manager().getUnitType("conc"), 15u);
  // A redefinition may use the name's other units but not itself.
  std::unique_ptr<UnitRepresentationApi> cyclic(makeUnit("conc", "conc*2"));
  EXPECT_FALSE(manager().registerUnit(cyclic.get()));
  EXPECT_EQ(manager().getUnit("conc"), second);
}

TEST_F(UnitRegistryTest, SubscriptionsRunInOrderAndCanBeRemoved) {
  std::vector<int> calls;
  const size_t a = manager().subscribe([&calls](const UnitRepresentationApi*) { calls.push_back(1); });
  const size_t b = manager().subscribe([&calls](const UnitRepresentationApi*) { calls.push_back(2); });
  unitSubscriptions_.push_back(b);
  ASSERT_TRUE(manager().registerUnit(makeUnit("u1", "mole")));
  manager().unregisterUnit("u1");
  manager().unsubscribe(a);
  ASSERT_TRUE(manager().registerUnit(makeUnit("u2", "mole")));
  manager().unregisterUnit("u2");
  EXPECT_EQ(calls, (std::vector<int>{1, 2, 2}));
}

TEST_F(UnitRegistryTest, RenamingARegisteredUnitReKeysIt) {
  UnitRepresentationApi* unit = makeUnit("molar", "mole/liter");
  ASSERT_TRUE(manager().registerUnit(unit));
  unit->setName("M");
  EXPECT_FALSE(manager().isKnown("molar"));
  EXPECT_EQ(manager().getUnit("M"), unit);
  EXPECT_EQ(manager().getUnitType("M"), 14u);
  ASSERT_TRUE(manager().registerUnit(makeUnit("other", "mole")));
  const struct {
    const char* name;
    const char* id;
  } refused[] = {{"other", "Kestrion:KSUNIT_NAME_IN_USE"},
                 {"mole", "Kestrion:KSUNIT_NAME_IN_USE"},
                 {"not valid", "Kestrion:KSUNIT_INVALID_NAME"},
                 {"", "Kestrion:KSUNIT_INVALID_NAME"}};
  for (const auto& r : refused) {
    SCOPED_TRACE(r.name);
    try {
      unit->setName(r.name);
      ADD_FAILURE() << "renamed";
    } catch (const ErrorIdException& e) {
      EXPECT_EQ(e.getIdentifier(), r.id);
    }
    EXPECT_EQ(unit->getName(), "M");
    EXPECT_EQ(manager().getUnit("M"), unit);
  }
  // After unregistering, a kept copy renames freely.
  std::unique_ptr<UnitRepresentationApi> free(unit->clone());
  free->setName("mole");
  EXPECT_EQ(free->getName(), "mole");
}

TEST_F(UnitRegistryTest, ResetUnregistersEverythingUserDefined) {
  std::vector<std::string>& seen = recordUnregistrations();
  ASSERT_TRUE(manager().registerUnit(makeUnit("u1", "mole")));
  ASSERT_TRUE(manager().registerUnit(makeUnit("u2", "gram")));
  UnitPrefixApi* p = prefixes().newPrefix();
  p->setName("kk");
  p->setExponent(6);
  ASSERT_TRUE(prefixes().registerPrefix(p));
  manager().resetUserDefinitions();
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_FALSE(manager().isKnown("u1"));
  EXPECT_FALSE(manager().isKnown("u2"));
  EXPECT_FALSE(prefixes().isKnown("kk"));
  EXPECT_TRUE(manager().isKnown("mole"));
}

TEST_F(UnitRegistryTest, UserPrefixes) {
  std::vector<std::string> seen;
  prefixSubscriptions_.push_back(prefixes().subscribe(
      [&seen](const UnitPrefixApi* p) { seen.push_back(p->getName()); }));
  UnitPrefixApi* p = prefixes().newPrefix();
  EXPECT_EQ(p->getName(), "");
  EXPECT_EQ(p->getExponent(), 0);
  p->setName("myria");
  p->setExponent(3.6);
  EXPECT_EQ(p->getExponent(), 4);
  p->setExponent(-2.5);
  EXPECT_EQ(p->getExponent(), -3);  // halves away from zero
  p->setExponent(4.0);
  EXPECT_FALSE(prefixes().ownsObject(p));
  ASSERT_TRUE(prefixes().registerPrefix(p));
  EXPECT_TRUE(prefixes().ownsObject(p));
  EXPECT_TRUE(prefixes().isKnown("myria"));
  EXPECT_FALSE(prefixes().isBuiltIn("myria"));
  EXPECT_EQ(prefixes().getPrefixNames().back(), "myria");
  EXPECT_EQ(prefixes().findPrefixForFactor(1e4), p);
  EXPECT_NEAR(manager().getConverter("myriameter", "meter").convert(1.0), 1e4, 1e-9);
  p->setExponent(5.0);
  EXPECT_EQ(prefixes().findPrefixForFactor(1e5), p);
  EXPECT_EQ(prefixes().findPrefixForFactor(1e4), nullptr);
  p->setName("quinta");
  EXPECT_FALSE(prefixes().isKnown("myria"));
  EXPECT_EQ(prefixes().getPrefix("quinta"), p);
  EXPECT_THROW(p->setName("kilo"), ErrorIdException);
  EXPECT_TRUE(prefixes().unregisterPrefix("quinta"));
  EXPECT_EQ(seen, std::vector<std::string>{"quinta"});
  EXPECT_THROW(manager().getUnitType("quintameter"), ErrorIdException);
}

TEST_F(UnitRegistryTest, PrefixRefusals) {
  std::unique_ptr<UnitPrefixApi> p(prefixes().newPrefix());
  const double badExponents[] = {std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(), 400.0};
  for (double e : badExponents) {
    try {
      p->setExponent(e);
      ADD_FAILURE() << "accepted " << e;
    } catch (const ErrorIdException& ex) {
      EXPECT_EQ(ex.getIdentifier(), "Kestrion:UNITPREFIXEXPONENT_NOT_NUMERIC");
    }
  }
  EXPECT_EQ(p->getExponent(), 0);
  p->setName("milli");
  EXPECT_FALSE(prefixes().registerPrefix(p.get()));  // built-in name
  p->setName("");
  EXPECT_FALSE(prefixes().registerPrefix(p.get()));
  EXPECT_FALSE(prefixes().registerPrefix(nullptr));
  EXPECT_FALSE(prefixes().registerPrefix(prefixes().getPrefix("kilo")));
  EXPECT_FALSE(prefixes().unregisterPrefix("kilo"));
  EXPECT_FALSE(prefixes().unregisterPrefix("nothing"));
}

TEST_F(UnitRegistryTest, UserPrefixWithTheSameExponentAsABuiltIn) {
  UnitPrefixApi* p = prefixes().newPrefix();
  p->setName("k");
  p->setExponent(3);
  ASSERT_TRUE(prefixes().registerPrefix(p));
  EXPECT_EQ(prefixes().findPrefixForFactor(1e3)->getName(), "kilo");
  std::string rest, prefix;
  ASSERT_TRUE(prefixes().splitPrefixedName("kmole", rest, prefix));
  EXPECT_EQ(prefix, "k");
  EXPECT_EQ(rest, "mole");
}

}  // namespace
