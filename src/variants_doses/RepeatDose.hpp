// A dose given at a start time and again after each interval, a number of
// times.
#pragma once

#include <cstdint>

#include "variants_doses/Dose.hpp"

class KELBOR_API RepeatDose : public Dose {
 public:
  RepeatDose() = default;
  RepeatDose(const RepeatDose& other) = default;
  RepeatDose& operator=(const RepeatDose& other) = default;
  ~RepeatDose() override;

  const char* getType() const override { return "repeatdose"; }
  kstr::bcomptype getEnumType() const override { return kstr::repeatdose; }

  double getAmount() const { return amount_; }
  double getInterval() const { return interval_; }
  double getRate() const { return rate_; }
  double getStartTime() const { return startTime_; }
  int getRepeatCount() const { return repeatCount_; }
  // A negative, infinite or NaN value raises the property's error
  // ("Kestrion:REPEATDOSE_INVALID_AMOUNT", ...) and nothing is stored;
  // otherwise the dose is marked for compiling.
  void setAmount(double amount);
  void setInterval(double interval);
  void setRate(double rate);
  void setStartTime(double startTime);
  // A negative count raises "Kestrion:REPEATDOSE_INVALID_REPEATCOUNT".
  void setRepeatCount(int count);

  bool hasRateSpecified() const override { return rate_ != 0.0; }
  // The most administrations a table holds (three columns of 10^7 doubles
  // are 240 MB).
  static constexpr uint64_t kMaxTableRows = 10'000'000;
  // RepeatCount + 1 administrations (one when Interval is 0).  More than
  // kMaxTableRows raise "Kestrion:RepeatDoseTableTooLarge" and a table that
  // memory cannot hold "Kestrion:MallocError"; the cache is left as it was.
  const Table& getTable() const override;
  bool hasDuplicateTimes() const override { return false; }
  double getAmountAtTimeZero() const override;
  double getRateAtTimeZero() const override;
  double getParameterizedRateAmountAtTimeZero() const override;

 private:
  double amount_ = 0.0;
  double interval_ = 0.0;
  double rate_ = 0.0;
  int32_t repeatCount_ = 0;
  double startTime_ = 0.0;
};
