// Schedule and repeat doses: their tables, time-zero values, duplicate
// times, setters with their refusals and units, verification with stacked
// messages, and the table display.
#include "VariantDoseFixture.hpp"

#include <cmath>
#include <limits>


namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

class DoseTest : public VariantDoseTest {
 protected:
  std::vector<std::string> stackedIds() {
    std::vector<std::string> ids;
    for (const StackedMessage& m : host().stacked()) ids.push_back(m.id);
    return ids;
  }
};

TEST_F(DoseTest, RepeatTables) {
  struct Case {
    double start, interval;
    int count;
    std::vector<double> times;
  };
  const Case cases[] = {
      {2, 3, 2, {2, 5, 8}},
      {2, 0, 4, {2}},   // interval 0: one administration
      {1, 3, 0, {1}},   // no repeat
      {0, 0.5, 3, {0, 0.5, 1, 1.5}},
  };
  RepeatDose d;
  d.setAmount(5);
  for (const Case& c : cases) {
    d.setStartTime(c.start);
    d.setInterval(c.interval);
    d.setRepeatCount(c.count);
    const Dose::Table& table = d.getTable();
    EXPECT_EQ(table.at("Time"), c.times);
    EXPECT_EQ(table.at("Amount"), std::vector<double>(c.times.size(), 5.0));
    EXPECT_EQ(table.at("Rate"), std::vector<double>(c.times.size(), 0.0));
    EXPECT_FALSE(d.hasDuplicateTimes());
  }
}

TEST_F(DoseTest, RepeatTimeZeroValues) {
  struct Case {
    double start, rate;
    const char* duration;
    double amount0, rate0, parameterized0;
  };
  const Case cases[] = {
      {0, 0, "", 5, 0, 0}, {0, 2, "", 0, 2, 0}, {1, 0, "", 0, 0, 0}, {1, 2, "", 0, 0, 0}, {0, 0, "tau", 0, 0, 5},
  };
  for (const Case& c : cases) {
    RepeatDose d;
    d.setAmount(5);
    d.setStartTime(c.start);
    d.setRate(c.rate);
    d.setDurationParameterName(c.duration);
    EXPECT_EQ(d.getAmountAtTimeZero(), c.amount0);
    EXPECT_EQ(d.getRateAtTimeZero(), c.rate0);
    EXPECT_EQ(d.getParameterizedRateAmountAtTimeZero(), c.parameterized0);
    EXPECT_EQ(d.hasRateSpecified(), c.rate != 0);
  }
}

TEST_F(DoseTest, RepeatSettersRefuseAndKeepTheOldValue) {
  using Setter = void (RepeatDose::*)(double);
  using Getter = double (RepeatDose::*)() const;
  struct Case {
    Setter set;
    Getter get;
    const char* id;
  };
  const Case cases[] = {
      {&RepeatDose::setAmount, &RepeatDose::getAmount, "Kestrion:REPEATDOSE_INVALID_AMOUNT"},
      {&RepeatDose::setInterval, &RepeatDose::getInterval, "Kestrion:REPEATDOSE_INVALID_INTERVAL"},
      {&RepeatDose::setRate, &RepeatDose::getRate, "Kestrion:REPEATDOSE_INVALID_RATE"},
      {&RepeatDose::setStartTime, &RepeatDose::getStartTime, "Kestrion:REPEATDOSE_INVALID_STARTTIME"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    RepeatDose d;
    (d.*c.set)(-0.0);
    (d.*c.set)(1.5);
    d.setCompileNeeded(false);
    for (double bad : {-1.0, kInf, -kInf, kNaN}) {
      expectHostError([&] { (d.*c.set)(bad); }, c.id);
      EXPECT_EQ((d.*c.get)(), 1.5);
      EXPECT_FALSE(d.isCompileNeeded());
    }
  }
  RepeatDose d;
  expectHostError([&] { d.setRepeatCount(-1); }, "Kestrion:REPEATDOSE_INVALID_REPEATCOUNT",
                  "RepeatCount must be a 1-by-1 double greater than or equal to zero.");
  d.setRepeatCount(std::numeric_limits<int>::max());
  EXPECT_EQ(d.getRepeatCount(), std::numeric_limits<int>::max());
}

// A RepeatCount whose table would pass the bound of ten million
// administrations is refused before any of the table is made (under
// overcommitted memory a reserve of gigabytes succeeds and the writes then
// exhaust the machine); smaller tables and an interval of 0 pass.
TEST_F(DoseTest, RepeatTablesBeyondTheBoundAreRefused) {
  struct Case {
    int count;
    double interval;
    const char* error;  // "" when the table is made
  };
  const Case cases[] = {
      {10'000'000, 1, "Kestrion:RepeatDoseTableTooLarge"},
      {std::numeric_limits<int>::max(), 1, "Kestrion:RepeatDoseTableTooLarge"},
      {1000, 1, ""},
      {std::numeric_limits<int>::max(), 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    RepeatDose d;
    d.setInterval(c.interval);
    d.setRepeatCount(c.count);
    const auto error = TestHost::errorOf([&] { d.getTable(); });
    ASSERT_EQ(error ? error->id : "", c.error);
    if (error) {
      EXPECT_EQ(error->message, "RepeatCount " + std::to_string(c.count) +
                                    " would make a dose table of more than 10000000 administrations.");
      continue;
    }
    const uint64_t rows = c.interval == 0 ? 1 : static_cast<uint64_t>(c.count) + 1;
    const std::vector<double>& times = d.getTable().at("Time");
    EXPECT_EQ(times.size(), rows);
    EXPECT_EQ(times.back(), static_cast<double>(rows - 1) * c.interval);
  }
}

TEST_F(DoseTest, ScheduleTimeZeroValues) {
  struct Case {
    std::vector<double> rate;
    const char* duration;
    double amount0, rate0, parameterized0;
  };
  const Case cases[] = {
      {{}, "", 3, 0, 0},
      {{0, 4, 0}, "", 1, 4, 0},
      {{}, "tau", 0, 0, 3},
  };
  for (const Case& c : cases) {
    ScheduleDose d;
    d.setTime({0, 0, 5});
    d.setAmount({1, 2, 3});
    d.setRate(c.rate);
    d.setDurationParameterName(c.duration);
    EXPECT_EQ(d.getAmountAtTimeZero(), c.amount0);
    EXPECT_EQ(d.getRateAtTimeZero(), c.rate0);
    EXPECT_EQ(d.getParameterizedRateAmountAtTimeZero(), c.parameterized0);
  }
  // A Rate shorter than Time is never read past its end.
  ScheduleDose d;
  d.setTime({1, 0});
  d.setAmount({1, 2});
  d.setRate({0});
  EXPECT_THROW(
      {
        try {
          d.getAmountAtTimeZero();
        } catch (const std::out_of_range& e) {
          EXPECT_STREQ(e.what(), "invalid vector<T> subscript");
          throw;
        }
      },
      std::out_of_range);
  EXPECT_EQ(d.getRateAtTimeZero(), 0);
}

TEST_F(DoseTest, ScheduleVectorsTableAndDuplicates) {
  ScheduleDose d;
  const Dose::Table& fresh = d.getTable();
  EXPECT_EQ(fresh.size(), 3u);
  for (const auto& [key, values] : fresh) EXPECT_TRUE(values.empty()) << key;
  struct Times {
    std::vector<double> time;
    bool duplicates;
  };
  const Times times[] = {{{1, 2, 1}, true}, {{1}, false}, {{}, false}, {{0, -0.0}, true}, {{1, 2, 3}, false}};
  for (const Times& t : times) {
    d.setTime(t.time);
    EXPECT_EQ(d.hasDuplicateTimes(), t.duplicates);
  }
  using Setter = void (ScheduleDose::*)(const std::vector<double>&);
  using Getter = const std::vector<double>& (ScheduleDose::*)() const;
  const struct {
    Setter set;
    Getter get;
    const char* id;
  } setters[] = {
      {&ScheduleDose::setAmount, &ScheduleDose::getAmount, "Kestrion:SCHEDULEDOSE_INVALID_AMOUNT"},
      {&ScheduleDose::setTime, &ScheduleDose::getTime, "Kestrion:SCHEDULEDOSE_INVALID_TIME"},
      {&ScheduleDose::setRate, &ScheduleDose::getRate, "Kestrion:SCHEDULEDOSE_INVALID_RATE"},
  };
  for (const auto& s : setters) {
    SCOPED_TRACE(s.id);
    (d.*s.set)({1, -0.0});
    d.setCompileNeeded(false);
    for (double bad : {-2.0, kInf, kNaN}) {
      expectHostError([&] { (d.*s.set)({1, bad}); }, s.id);
      EXPECT_EQ((d.*s.get)(), (std::vector<double>{1, 0}));
      EXPECT_FALSE(d.isCompileNeeded());
    }
  }
  d.setRate({0, 0});
  EXPECT_FALSE(d.hasRateSpecified());
  d.setRate({0, 1});
  EXPECT_TRUE(d.hasRateSpecified());
  d.setAmount({7, 8});
  d.setTime({2, 3});
  EXPECT_EQ(d.getTable().at("Amount"), (std::vector<double>{7, 8}));
  EXPECT_EQ(d.getTable().at("Rate"), (std::vector<double>{0, 1}));
}

TEST_F(DoseTest, UnitsAndTheCompileFlag) {
  RepeatDose d;
  d.setCompileNeeded(false);
  d.setAmountUnits("   ");
  EXPECT_EQ(d.getAmountUnits(), "");
  EXPECT_FALSE(d.isCompileNeeded());
  d.setTimeUnits("   ");
  EXPECT_EQ(d.getTimeUnits(), "");
  EXPECT_TRUE(d.isCompileNeeded());

  struct Case {
    void (Dose::*set)(const std::string&);
    const std::string& (Dose::*get)() const;
    const char* good;
    const char* stored;
    const char* wrongKind;
    const char* id;
  };
  const Case cases[] = {
      {&Dose::setAmountUnits, &Dose::getAmountUnits, " gram ", "gram", "second", "Kestrion:InvalidDoseAmountUnits"},
      {&Dose::setAmountUnits, &Dose::getAmountUnits, "mole", "mole", "mole/second", "Kestrion:InvalidDoseAmountUnits"},
      {&Dose::setRateUnits, &Dose::getRateUnits, " gram/second ", "gram/second", "gram",
       "Kestrion:InvalidDoseRateUnits"},
      {&Dose::setRateUnits, &Dose::getRateUnits, "mole/hour", "mole/hour", "litre", "Kestrion:InvalidDoseRateUnits"},
      {&Dose::setTimeUnits, &Dose::getTimeUnits, " hour", "hour", "mole", "Kestrion:DOSE_INVALID_TIMEUNITS"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.good);
    d.setCompileNeeded(false);
    (d.*c.set)(c.good);
    EXPECT_EQ((d.*c.get)(), c.stored);
    EXPECT_TRUE(d.isCompileNeeded());
    d.setCompileNeeded(false);
    expectHostError([&] { (d.*c.set)(c.wrongKind); }, c.id);
    EXPECT_EQ((d.*c.get)(), c.stored);
    EXPECT_FALSE(d.isCompileNeeded());
  }
  // Clearing a unit changes what a compiled model used: the dose needs
  // compiling again.  The same text again changes nothing.
  d.setCompileNeeded(false);
  d.setRateUnits("mole/hour");
  EXPECT_FALSE(d.isCompileNeeded());
  d.setRateUnits("");
  EXPECT_TRUE(d.isCompileNeeded());
  d.setCompileNeeded(false);
  d.setAmountUnits("");
  EXPECT_TRUE(d.isCompileNeeded());
}

TEST_F(DoseTest, VerifyStacksEveryFault) {
  OBInterface* m = smallModel();
  OBInterface* d = one(m, "adddose", {host().str("d1"), host().str("schedule")});
  auto* schedule = dynamic_cast<ScheduleDose*>(dose(d));
  struct Case {
    const char* target;
    const char* duration;
    double durationValue;
    std::vector<double> rate;
    std::vector<std::string> ids;
  };
  const Case cases[] = {
      {"c1.A", "", 1, {1, 1, 1}, {}},
      {"Z", "kz", 1, {}, {"Kestrion:DOSE_VERIFY_INVALID_TARGETNAME", "Kestrion:DOSE_VERIFY_INVALID_DURATIONPARAMETERNAME"}},
      {"A", "k2", 0, {}, {"Kestrion:DOSE_VERIFY_INVALID_DURATIONPARAMETERVALUE"}},
      {"A", "k2", kNaN, {}, {"Kestrion:DOSE_VERIFY_INVALID_DURATIONPARAMETERVALUE"}},
      {"A", "k2", 1e-300, {}, {}},
      {"A", "k2", 1, {0, 2, 0}, {"Kestrion:DOSE_VERIFY_INVALID_RATE"}},
      {"B", "", 1, {1}, {"Kestrion:DOSE_SCHEDULE_SIZE_MISMATCH_RATE"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    schedule->setTime({0, 1, 2});
    schedule->setAmount({1, 1, 1});
    schedule->setRate(c.rate);
    schedule->setTargetName(c.target);
    schedule->setDurationParameterName(c.duration);
    host().set(find(m, "k2", kstr::parameter), "Value", host().num(c.durationValue));
    kstr_stacked_clear();
    EXPECT_EQ(schedule->verify(nullptr), c.ids.empty());
    EXPECT_EQ(stackedIds(), c.ids);
  }
  // A constant target, and lengths that differ.
  host().set(find(m, "A", kstr::species), "ConstantAmount", host().logical(true));
  schedule->setTargetName("A");
  schedule->setDurationParameterName("");
  schedule->setAmount({1, 2});
  schedule->setRate({});
  kstr_stacked_clear();
  EXPECT_FALSE(schedule->verify(kelbor(m)));
  EXPECT_EQ(stackedIds(), (std::vector<std::string>{"Kestrion:DOSE_VERIFY_INVALID_TARGETNAME_CONSTANT",
                                                    "Kestrion:DOSE_SCHEDULE_SIZE_MISMATCH_AMOUNT"}));
  EXPECT_EQ(host().stacked()[0].object, d);
  EXPECT_EQ(host().stacked()[0].text, "Invalid dose 'd1'. TargetName's ConstantAmount value must be false.");
  EXPECT_EQ(host().stacked()[1].text, "Invalid dose ''d1''. The Amount and Time vectors must be the same length.");
  // A dose on no model resolves nothing and reports its target.
  RepeatDose loose;
  loose.setTargetName("A");
  EXPECT_EQ(loose.resolveTarget(nullptr), nullptr);
  EXPECT_EQ(loose.resolveDurationParameter(nullptr), nullptr);
  kstr_stacked_clear();
  EXPECT_FALSE(loose.verify(nullptr));
  EXPECT_EQ(stackedIds(), std::vector<std::string>{"Kestrion:DOSE_VERIFY_INVALID_TARGETNAME"});
}

TEST_F(DoseTest, DisplayTable) {
  kstrVector<Dose*> doses;
  ScheduleDose d1;
  d1.setName("d1");
  RepeatDose d2;
  d2.setName("d2");
  doses.push_back(&d1);
  doses.push_back(&d2);
  hbTestClearPrinted();
  Dose::display(&doses);
  EXPECT_EQ(hbTestPrinted(),
            "\n   Kestrion Dose Array\n\n   Index:    Name:    Type:\n"
            "   1         d1       schedule\n"
            "   2         d2       repeat\n\n");
  // A name of 120 characters: its first 97 and "...", gaps of at most 46.
  RepeatDose longName;
  longName.setName(std::string(120, 'x'));
  hbTestClearPrinted();
  longName.display();
  EXPECT_EQ(hbTestPrinted(), "\n   Kestrion Dose Array\n\n   Index:    Name:" + std::string(46, ' ') +
                                 "Type:\n   1         " + std::string(97, 'x') + "...    repeat\n\n");
  hbTestClearPrinted();
  kstrVector<Dose*> none;
  Dose::display(&none);
  EXPECT_EQ(hbTestPrinted(), "\n   Kestrion Dose Array\n\n   Index:    Name:    Type:\n\n");
}

}  // namespace
