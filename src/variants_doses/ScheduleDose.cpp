// The schedule dose: its three vectors with their checks, its table,
// duplicate times, the length checks of verification and the time-zero
// values.
#include "variants_doses/ScheduleDose.hpp"

#include <cmath>
#include <functional>
#include <stdexcept>
#include <unordered_set>

#include <ks_utils/Errors.hpp>

#include "model/MessageCatalog.hpp"

using Code = kstr::MessageCode;

namespace {

// Zero or positive and finite; negative zero counts as zero.
bool isValidValue(double value) { return value >= 0.0 && std::isfinite(value); }

void checkValues(const std::vector<double>& values, const char* id, Code code) {
  for (double value : values) {
    if (!isValidValue(value)) kstr_error(id, kstr::code(code));
  }
}

// Hashes zero and negative zero alike, as equality requires.
struct TimeHash {
  size_t operator()(double value) const { return value == 0.0 ? 0 : std::hash<double>()(value); }
};

}  // namespace

ScheduleDose::~ScheduleDose() = default;

void ScheduleDose::setAmount(const std::vector<double>& amount) {
  checkValues(amount, "Kestrion:SCHEDULEDOSE_INVALID_AMOUNT", Code::KS_SCHEDULEDOSE_INVALID_AMOUNT);
  setCompileNeeded(true);
  amount_ = amount;
}

void ScheduleDose::setTime(const std::vector<double>& time) {
  checkValues(time, "Kestrion:SCHEDULEDOSE_INVALID_TIME", Code::KS_SCHEDULEDOSE_INVALID_TIME);
  setCompileNeeded(true);
  time_ = time;
}

void ScheduleDose::setRate(const std::vector<double>& rate) {
  checkValues(rate, "Kestrion:SCHEDULEDOSE_INVALID_RATE", Code::KS_SCHEDULEDOSE_INVALID_RATE);
  setCompileNeeded(true);
  rate_ = rate;
}

bool ScheduleDose::hasRateSpecified() const {
  for (double rate : rate_) {
    if (rate != 0.0) return true;
  }
  return false;
}

const Dose::Table& ScheduleDose::getTable() const {
  Table& table = tableCache();
  table.clear();
  table["Amount"] = amount_;
  table["Time"] = time_;
  table["Rate"] = rate_;
  return table;
}

bool ScheduleDose::hasDuplicateTimes() const {
  if (time_.size() < 2) return false;
  std::unordered_set<double, TimeHash> seen(50);
  seen.max_load_factor(1.0f);
  for (double time : time_) {
    if (!seen.insert(time).second) return true;
  }
  return false;
}

bool ScheduleDose::verify(const Kelbor* model) const {
  bool valid = Dose::verify(model);
  if (amount_.size() != time_.size()) {
    kstr_stacked_error(0, getOBI(), "Kestrion:DOSE_SCHEDULE_SIZE_MISMATCH_AMOUNT",
                       kstr::code(Code::KS_DOSE_SCHEDULE_SIZE_MISMATCH_AMOUNT), getName().c_str());
    valid = false;
  }
  if (!rate_.empty() && rate_.size() != time_.size()) {
    kstr_stacked_error(0, getOBI(), "Kestrion:DOSE_SCHEDULE_SIZE_MISMATCH_RATE",
                       kstr::code(Code::KS_DOSE_SCHEDULE_SIZE_MISMATCH_RATE), getName().c_str());
    valid = false;
  }
  return valid;
}

double ScheduleDose::sumOfBolusesAtTimeZero() const {
  double sum = 0.0;
  for (size_t i = 0; i < time_.size(); ++i) {
    if (time_[i] != 0.0) continue;
    // A Rate shorter than Time (which verify refuses) is read with a
    // checked access, never past its end.
    if (!rate_.empty()) {
      if (i >= rate_.size()) throw std::out_of_range("invalid vector<T> subscript");
      if (rate_[i] != 0.0) continue;
    }
    sum += amount_[i];
  }
  return sum;
}

double ScheduleDose::getAmountAtTimeZero() const {
  if (!getDurationParameterName().empty() || time_.size() != amount_.size()) return 0.0;
  return sumOfBolusesAtTimeZero();
}

double ScheduleDose::getRateAtTimeZero() const {
  if (!getDurationParameterName().empty() || time_.size() != rate_.size()) return 0.0;
  double sum = 0.0;
  for (size_t i = 0; i < time_.size(); ++i) {
    if (time_[i] == 0.0 && rate_[i] != 0.0) sum += rate_[i];
  }
  return sum;
}

double ScheduleDose::getParameterizedRateAmountAtTimeZero() const {
  if (getDurationParameterName().empty() || time_.size() != amount_.size()) return 0.0;
  return sumOfBolusesAtTimeZero();
}
