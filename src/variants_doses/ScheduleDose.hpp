// A dose that lists every administration: parallel vectors of times,
// amounts and infusion rates.
#pragma once

#include <vector>

#include "variants_doses/Dose.hpp"

class KELBOR_API ScheduleDose : public Dose {
 public:
  ScheduleDose() = default;
  ScheduleDose(const ScheduleDose& other) = default;
  ScheduleDose& operator=(const ScheduleDose& other) = default;
  ~ScheduleDose() override;

  const char* getType() const override { return "scheduledose"; }
  kstr::bcomptype getEnumType() const override { return kstr::scheduledose; }

  const std::vector<double>& getAmount() const { return amount_; }
  const std::vector<double>& getTime() const { return time_; }
  const std::vector<double>& getRate() const { return rate_; }
  // Each element must be zero or positive and finite; the first that is not
  // raises the vector's error ("Kestrion:SCHEDULEDOSE_INVALID_AMOUNT",
  // "..._TIME", "..._RATE") and nothing is stored.  Marks the dose for
  // compiling.
  void setAmount(const std::vector<double>& amount);
  void setTime(const std::vector<double>& time);
  void setRate(const std::vector<double>& rate);

  bool hasRateSpecified() const override;
  const Table& getTable() const override;
  bool hasDuplicateTimes() const override;
  // The base checks, then the lengths: Amount as long as Time, Rate empty or
  // as long as Time.
  bool verify(const Kelbor* model) const override;
  double getAmountAtTimeZero() const override;
  double getRateAtTimeZero() const override;
  double getParameterizedRateAmountAtTimeZero() const override;

 private:
  // The amounts at time zero that are not infusions.
  double sumOfBolusesAtTimeZero() const;

  std::vector<double> amount_;
  std::vector<double> time_;
  std::vector<double> rate_;
};
