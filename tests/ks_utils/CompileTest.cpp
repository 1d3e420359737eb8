// The compile record, the mini-compile stand-in and the unit-system
// conversion service.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "KsTestMessages.hpp"
#include "hb/hb_test.hpp"
#include "ks_utils/CompileData.hpp"
#include "ks_utils/MiniCompileManager.hpp"
#include "ks_utils/UnitSystemConversion.hpp"
#include "ks_utils/kstrContainers.hpp"
#include "obk/Exception.hpp"

namespace {

class CompileTest : public ::testing::Test {
 protected:
  void SetUp() override { MiniCompileManagerControl::instance().reset(); }
  void TearDown() override { MiniCompileManagerControl::instance().reset(); }
  MiniCompileManagerControl& control() { return MiniCompileManagerControl::instance(); }

  // Distinct fake addresses standing in for engine objects.
  template <class T>
  static T* fake(std::uintptr_t n) {
    return reinterpret_cast<T*>(n * 16);
  }
};

TEST_F(CompileTest, CompileDataComesFromTheHostHeap) {
  const size_t before = hbTestLiveBlocks();
  CompileData* data = new CompileData();
  EXPECT_EQ(hbTestLiveBlocks(), before + 1);
  data->bitVector2.assign(5, true);
  data->map3[7] = 9;
  data->vector4.push_back(-1);
  CompileData copy(*data);
  EXPECT_EQ(copy.bitVector2.size(), 5u);
  EXPECT_EQ(copy.map3.at(7), 9);
  CompileData assigned;
  assigned = *data;
  EXPECT_EQ(assigned.vector4, std::vector<int64_t>{-1});
  delete data;
  EXPECT_EQ(hbTestLiveBlocks(), before);
  CompileData* array = new CompileData[3];
  EXPECT_EQ(hbTestLiveBlocks(), before + 1);
  EXPECT_TRUE(array[2].map1.empty());
  delete[] array;
  EXPECT_EQ(hbTestLiveBlocks(), before);
}

TEST_F(CompileTest, DefaultCompileReturnsAnEmptyRecordAndRecordsTheCall) {
  MiniCompileServiceManagerApi* manager = getMiniCompileManager();
  ASSERT_EQ(manager, getMiniCompileManager());
  kstrVector<const Variant*> variants = {fake<const Variant>(1), fake<const Variant>(2)};
  kstrVector<const Dose*> doses = {fake<const Dose>(3)};
  CompileData* data = manager->compile(fake<Kelbor>(4), fake<KStrConfigurationSetApi>(5),
                                       &variants, &doses, false);
  ASSERT_NE(data, nullptr);
  EXPECT_TRUE(data->bitVector1.empty() && data->map1.empty() && data->vector1.empty());
  delete data;
  manager->finish();
  delete manager->compile(fake<Kelbor>(6), nullptr, nullptr, nullptr, true);
  manager->finish();

  ASSERT_EQ(control().calls().size(), 2u);
  const MiniCompileCall& first = control().calls()[0];
  EXPECT_EQ(first.model, fake<Kelbor>(4));
  EXPECT_EQ(first.configSet, fake<KStrConfigurationSetApi>(5));
  EXPECT_TRUE(first.hasVariants);
  EXPECT_EQ(first.variants, (std::vector<const Variant*>{fake<const Variant>(1), fake<const Variant>(2)}));
  EXPECT_EQ(first.doses, std::vector<const Dose*>{fake<const Dose>(3)});
  EXPECT_FALSE(first.flag);
  const MiniCompileCall& second = control().calls()[1];
  EXPECT_FALSE(second.hasVariants);
  EXPECT_FALSE(second.hasDoses);
  EXPECT_EQ(second.configSet, nullptr);
  EXPECT_TRUE(second.flag);
  EXPECT_EQ(control().finishCount(), 2u);
}

TEST_F(CompileTest, SwitchesMakeCompileReturnNullOrThrow) {
  MiniCompileServiceManagerApi* manager = getMiniCompileManager();
  control().setMode(MiniCompileManagerControl::Mode::ReturnNull);
  EXPECT_EQ(manager->compile(nullptr, nullptr, nullptr, nullptr, false), nullptr);
  control().setMode(MiniCompileManagerControl::Mode::Throw);
  try {
    manager->compile(nullptr, nullptr, nullptr, nullptr, false);
    ADD_FAILURE() << "no throw";
  } catch (const ErrorIdException& e) {
    EXPECT_EQ(e.getIdentifier(), "Kestrion:MiniCompileFailed");
  }
  control().setError("Kestrion:Other", "custom");
  try {
    manager->compile(nullptr, nullptr, nullptr, nullptr, false);
    ADD_FAILURE() << "no throw";
  } catch (const ErrorIdException& e) {
    EXPECT_EQ(e.getIdentifier(), "Kestrion:Other");
    EXPECT_EQ(e.getMessage(), "custom");
  }
  EXPECT_EQ(control().calls().size(), 3u);
  control().reset();
  EXPECT_TRUE(control().calls().empty());
  EXPECT_EQ(control().finishCount(), 0u);
  std::unique_ptr<CompileData> data(manager->compile(nullptr, nullptr, nullptr, nullptr, false));
  EXPECT_NE(data, nullptr);
}

TEST_F(CompileTest, HookBuildsTheResult) {
  int hookCalls = 0;
  control().setCompileHook([&hookCalls](const MiniCompileCall& call) {
    ++hookCalls;
    auto* data = new CompileData();
    data->vector1.push_back(call.flag ? 1 : 0);
    return data;
  });
  std::unique_ptr<CompileData> data(
      getMiniCompileManager()->compile(fake<Kelbor>(1), nullptr, nullptr, nullptr, true));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->vector1, std::vector<int64_t>{1});
  EXPECT_EQ(hookCalls, 1);
  control().setMode(MiniCompileManagerControl::Mode::ReturnNull);
  EXPECT_EQ(getMiniCompileManager()->compile(nullptr, nullptr, nullptr, nullptr, true), nullptr);
  EXPECT_EQ(hookCalls, 1);
}

// A reader over fake component addresses: component n has the n-th units.
class UnitSystemConversionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    units_ = {"", "millimole", "molecule", "millilitre", "1/(millimole/litre*minute)",
              "kelvin", "Celsius/second", "no_such_unit"};
    getUnitSystemConversionServiceFcn()->setComponentUnitsReader(
        [this](const KelborComponent& c) {
          const auto n = reinterpret_cast<std::uintptr_t>(&c) / 16 - 1;
          return ComponentUnits{"c" + std::to_string(n), units_.at(n)};
        });
  }
  void TearDown() override {
    getUnitSystemConversionServiceFcn()->setComponentUnitsReader(ComponentUnitsReader());
  }
  static KelborComponent* component(std::uintptr_t n) {
    return reinterpret_cast<KelborComponent*>((n + 1) * 16);
  }
  static std::string errorOf(std::uintptr_t n) {
    std::vector<double> multipliers = {3.0};
    try {
      getUnitSystemConversionServiceFcn()->getMultipliers(multipliers, {component(n)});
    } catch (const ErrorIdException& e) {
      EXPECT_EQ(multipliers, std::vector<double>{3.0});
      return e.getIdentifier();
    }
    return "";
  }
  std::vector<std::string> units_;
};

TEST_F(UnitSystemConversionTest, FactorOverTheBaseUnitsPerComponent) {
  UnitSystemConversionServiceApi* service = getUnitSystemConversionServiceFcn();
  ASSERT_EQ(service, getUnitSystemConversionServiceFcn());
  std::vector<double> multipliers = {5.0, 6.0, 7.0, 8.0, 9.0, 10.0, 11.0};
  service->getMultipliers(multipliers, {component(0), nullptr, component(1), component(2),
                                        component(3), component(4), component(6)});
  ASSERT_EQ(multipliers.size(), 7u);
  EXPECT_EQ(multipliers[0], 1.0);  // no units
  EXPECT_EQ(multipliers[1], 1.0);  // no component
  EXPECT_DOUBLE_EQ(multipliers[2], 1e-3);
  EXPECT_DOUBLE_EQ(multipliers[3], 1.0 / 6.02214076e23);
  EXPECT_DOUBLE_EQ(multipliers[4], 1e-6);
  EXPECT_DOUBLE_EQ(multipliers[5], 1.0 / 60.0);
  EXPECT_DOUBLE_EQ(multipliers[6], 1.0);  // Celsius is a base unit: no offset
  service->getMultipliers(multipliers, {});
  EXPECT_TRUE(multipliers.empty());
}

TEST_F(UnitSystemConversionTest, OffsetsAndUnknownUnitsAndNoReaderRaise) {
  kstest::registerTestMessages();
  EXPECT_EQ(errorOf(5), "Kestrion:KSUNIT_CANNOT_CONVERT_COMPONENT");
  EXPECT_EQ(errorOf(7), "Kestrion:KSUNIT_CANNOT_PARSE_UNITS");
  getUnitSystemConversionServiceFcn()->setComponentUnitsReader(ComponentUnitsReader());
  EXPECT_EQ(errorOf(1), "Kestrion:KSUNIT_UNITCONVERSION_NOT_ENABLED");
  std::vector<double> multipliers;
  getUnitSystemConversionServiceFcn()->getMultipliers(multipliers, {nullptr});
  EXPECT_EQ(multipliers, std::vector<double>{1.0});
}

TEST(KstrContainers, StorageComesFromTheHostHeap) {
  const size_t before = hbTestLiveBlocks();
  {
    kstrVector<std::string> names;
    names.push_back("a");
    EXPECT_GT(hbTestLiveBlocks(), before);
    kstrMap<std::string, const char*> map;
    map["k"] = "v";
    EXPECT_EQ(map.at("k"), std::string("v"));
    EXPECT_EQ(names.front(), "a");
  }
  EXPECT_EQ(hbTestLiveBlocks(), before);
}

}  // namespace
