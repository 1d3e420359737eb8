// A dose: an amount given to one species of a model during a simulation,
// with its units, its target and an optional duration parameter; the base
// of the schedule and repeat doses.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <ks_utils/kstrContainers.hpp>

#include "core/KelborApi.hpp"
#include "core/KelborComponent.hpp"

class StringVector;
namespace kstr {
class QuantityComponent;
}

class KELBOR_API Dose : public KelborComponent {
 public:
  using Table = std::map<std::string, std::vector<double>>;

  Dose() = default;
  // A copy is filed in no model's name index until a model adds it.
  Dose(const Dose& other) = default;
  Dose& operator=(const Dose& other);
  ~Dose() override;

  static void* operator new(size_t size);
  static void* operator new[](size_t size);
  static void* operator new(size_t size, void* where) noexcept { return where; }
  static void operator delete(void* p) noexcept;
  static void operator delete[](void* p) noexcept;
  static void operator delete(void*, void*) noexcept {}

  // An empty name raises "Kestrion:DOSE_MUST_HAVE_NAME"; on a model, a name
  // that any dose of the model has (this one included) raises
  // "Kestrion:DOSE_WITH_NAME_EXISTS".  Then the component's own rules.
  void setName(const std::string& name) override;

  // --- the dose kinds -----------------------------------------------------------
  // True when the dose gives any non-zero rate.
  virtual bool hasRateSpecified() const = 0;
  // The time table: "Amount", "Rate" and "Time", one value per
  // administration; valid until the next call.
  virtual const Table& getTable() const = 0;
  virtual bool hasDuplicateTimes() const = 0;
  // Stacks a message for every fault found against the model (the parent
  // model when null) and answers false when there was any.
  virtual bool verify(const Kelbor* model) const;
  virtual double getAmountAtTimeZero() const = 0;
  virtual double getRateAtTimeZero() const = 0;
  virtual double getParameterizedRateAmountAtTimeZero() const = 0;

  // --- fields -----------------------------------------------------------------------
  bool getActive() const { return active_; }
  void setActive(bool active) { active_ = active; }
  const std::string& getTargetName() const { return targetName_; }
  const std::string& getDurationParameterName() const { return durationParameterName_; }
  const std::string& getAmountUnits() const { return amountUnits_; }
  const std::string& getRateUnits() const { return rateUnits_; }
  const std::string& getTimeUnits() const { return timeUnits_; }
  int getGroupIndex() const { return groupIndex_; }
  void setGroupIndex(int index) { groupIndex_ = index; }
  bool isCompileNeeded() const { return compileNeeded_; }
  void setCompileNeeded(bool needed) const { compileNeeded_ = needed; }

  // Stored as given (checked by verify); mark the dose for compiling.
  void setTargetName(const std::string& name);
  void setDurationParameterName(const std::string& name);
  // Trimmed; a non-empty text must be a time unit, else
  // "Kestrion:DOSE_INVALID_TIMEUNITS".  Marks the dose for compiling.
  void setTimeUnits(const std::string& units);
  // Trimmed; a non-empty text must be an amount or mass unit, else
  // "Kestrion:InvalidDoseAmountUnits".  Marks the dose for compiling when
  // the stored text changes.
  void setAmountUnits(const std::string& units);
  // Trimmed; a non-empty text must be an amount/time or mass/time unit,
  // else "Kestrion:InvalidDoseRateUnits".  Marks the dose for compiling
  // when the stored text changes.
  void setRateUnits(const std::string& units);

  // --- in its model ----------------------------------------------------------------------
  // The species TargetName names in the model (the parent model when null);
  // null when there is none or no model.
  const kstr::QuantityComponent* resolveTarget(const Kelbor* model) const;
  // The model parameter DurationParameterName names; null likewise.
  const kstr::QuantityComponent* resolveDurationParameter(const Kelbor* model) const;
  // True when TargetName or DurationParameterName denotes the component
  // in the component's model; false for a component in no model.
  bool isComponentReferenced(const KelborComponent* component) const;
  // Appends "TargetName" and/or "DurationParameterName" for the references
  // that denote the component.
  void privateFindUsages(StringVector& out, const KelborComponent* component) const;
  // Rewrites TargetName or DurationParameterName when it denotes the
  // component, which is about to take the new name.
  void componentRename(const KelborComponent* component, std::string newName);
  // True when TargetName or DurationParameterName holds the text, so that
  // a rename of a component of that name may rewrite them.
  bool referencesHold(const std::string& text) const;
  // Both references take the saved texts back where they differ; the host
  // hears of each that changed.
  void restoreReferences(const std::string& targetName, const std::string& durationParameterName);
  // Files the dose under the name parts of its references in the model's
  // index (null: takes it out of the index it is in).  The model calls it
  // when it adds or removes the dose; while filed, every change of a
  // reference is filed too.
  void setNameIndex(Kelbor* model);
  // The model that files the dose is going: the dose forgets it, touching
  // nothing else.
  void forgetNameIndex() noexcept { indexedIn_.model = nullptr; }

  // Prints this dose, or the doses, as a table.
  void display() const;
  static void display(const kstrVector<Dose*>* doses);

  // Unit-type codes accepted for AmountUnits and RateUnits.
  static const uint32_t fValidAmountUnits[2];
  static const uint32_t fValidRateUnits[2];

 protected:
  Table& tableCache() const { return table_; }

 private:
  // Stacks the catalog message under the identifier for this dose.
  void stack(const char* id, uint32_t code) const;
  // The model given, or the parent model when none is given.
  const Kelbor* modelOrParent(const Kelbor* model) const;
  // Stores a reference, keeping the model's name index in step.
  void setReference(std::string& reference, std::string value);
  // Files (or takes out) name parts in the model's index; filing raises
  // only with nothing filed.
  void fileParts(const std::vector<std::string>& parts, bool held);

  // The model whose name index files the dose; never copied.
  struct IndexLink {
    Kelbor* model = nullptr;
    IndexLink() = default;
    IndexLink(const IndexLink&) noexcept {}
    IndexLink& operator=(const IndexLink&) noexcept { return *this; }
  };

  mutable Table table_;
  mutable bool compileNeeded_ = true;
  bool active_ = false;
  std::string targetName_;
  std::string amountUnits_;
  std::string rateUnits_;
  std::string timeUnits_;
  int32_t groupIndex_ = 0;
  std::string durationParameterName_;
  IndexLink indexedIn_;
};
