// The repeat dose: its five values with their checks, the expansion of its
// schedule into a table and its time-zero values.
#include "variants_doses/RepeatDose.hpp"

#include <cmath>
#include <new>

#include <ks_utils/Errors.hpp>

#include "model/MessageCatalog.hpp"

using Code = kstr::MessageCode;

namespace {

// Stores the value when it is zero or positive and finite (negative zero
// counts as zero), else raises.
void checkedStore(double value, double& field, const char* id, Code code) {
  if (!(value >= 0.0 && std::isfinite(value))) kstr_error(id, kstr::code(code));
  field = value;
}

}  // namespace

RepeatDose::~RepeatDose() = default;

void RepeatDose::setAmount(double amount) {
  checkedStore(amount, amount_, "Kestrion:REPEATDOSE_INVALID_AMOUNT", Code::KS_REPEATDOSE_INVALID_AMOUNT);
  setCompileNeeded(true);
}

void RepeatDose::setInterval(double interval) {
  checkedStore(interval, interval_, "Kestrion:REPEATDOSE_INVALID_INTERVAL", Code::KS_REPEATDOSE_INVALID_INTERVAL);
  setCompileNeeded(true);
}

void RepeatDose::setRate(double rate) {
  checkedStore(rate, rate_, "Kestrion:REPEATDOSE_INVALID_RATE", Code::KS_REPEATDOSE_INVALID_RATE);
  setCompileNeeded(true);
}

void RepeatDose::setStartTime(double startTime) {
  checkedStore(startTime, startTime_, "Kestrion:REPEATDOSE_INVALID_STARTTIME",
               Code::KS_REPEATDOSE_INVALID_STARTTIME);
  setCompileNeeded(true);
}

void RepeatDose::setRepeatCount(int count) {
  if (count < 0) {
    kstr_error("Kestrion:REPEATDOSE_INVALID_REPEATCOUNT", kstr::code(Code::KS_REPEATDOSE_INVALID_REPEATCOUNT));
  }
  setCompileNeeded(true);
  repeatCount_ = count;
}

const Dose::Table& RepeatDose::getTable() const {
  // Counted in 64 bits: RepeatCount + 1 overflows an int at its largest.
  const uint64_t count = interval_ == 0.0 ? 1 : static_cast<uint64_t>(repeatCount_) + 1;
  // Beyond the bound the table is refused before any of it is made: with
  // memory overcommitted, a reserve of gigabytes succeeds and the writes
  // then exhaust the machine.
  if (count > kMaxTableRows) {
    kstr_error("Kestrion:RepeatDoseTableTooLarge", kstr::code(Code::KS_REPEATDOSE_TABLE_TOO_LARGE), repeatCount_,
               static_cast<int>(kMaxTableRows));
  }
  std::vector<double> times, amounts, rates;
  try {
    times.reserve(count);
    amounts.reserve(count);
    rates.reserve(count);
  } catch (const std::bad_alloc&) {
    kstr_error("Kestrion:MallocError", kstr::code(Code::KS_MallocError));
  }
  for (uint64_t k = 0; k < count; ++k) {
    times.push_back(static_cast<double>(k) * interval_ + startTime_);
    amounts.push_back(amount_);
    rates.push_back(rate_);
  }
  Table& table = tableCache();
  table.clear();
  table["Time"] = std::move(times);
  table["Amount"] = std::move(amounts);
  table["Rate"] = std::move(rates);
  return table;
}

double RepeatDose::getAmountAtTimeZero() const {
  if (!getDurationParameterName().empty() || startTime_ != 0.0 || rate_ != 0.0) return 0.0;
  return amount_;
}

double RepeatDose::getRateAtTimeZero() const {
  if (!getDurationParameterName().empty() || startTime_ != 0.0) return 0.0;
  return rate_;
}

double RepeatDose::getParameterizedRateAmountAtTimeZero() const {
  if (getDurationParameterName().empty() || startTime_ != 0.0) return 0.0;
  return amount_;
}
