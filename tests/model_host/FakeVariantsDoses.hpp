// Stand-ins for the host classes "Variant", "Dose", "RepeatDose" and
// "ScheduleDose" (the real ones come with the variants and doses): enough
// of each for the Model methods that create, copy, attach, find and remove
// them.  Registered in the engine's application like the real classes.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "variants_doses/Dose.hpp"
#include "variants_doses/Variant.hpp"

namespace fakes {

class FakeVariant : public Variant {
 public:
  bool getActive() const override { return active; }
  void setActive(bool on) override { active = on; }
  std::set<uint64_t> componentRename(const KelborComponent*, std::string,
                                     const std::set<uint64_t>&) override {
    return {};
  }
  std::vector<uint64_t> getUsageLocations(const KelborComponent*) const override { return {}; }

  bool active = true;
};

class FakeDose : public Dose {
 public:
  explicit FakeDose(bool schedule) : schedule_(schedule) {}
  const char* getType() const override { return schedule_ ? "scheduledose" : "repeatdose"; }
  kstr::bcomptype getEnumType() const override {
    return schedule_ ? kstr::scheduledose : kstr::repeatdose;
  }
  bool getActive() const override { return active; }
  void setActive(bool on) override { active = on; }
  bool isCompileNeeded() const override { return false; }
  bool isComponentReferenced(const KelborComponent*) const override { return false; }
  void componentRename(const KelborComponent*, std::string) override {}

  bool active = true;

 private:
  bool schedule_;
};

// Registers the four classes once per process.
void registerVariantAndDoseClasses();

}  // namespace fakes
