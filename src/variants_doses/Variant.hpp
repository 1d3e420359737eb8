#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "core/KelborApi.hpp"
#include "core/KelborComponent.hpp"

// A variant: alternative values of model components, kept as content
// entries that name the components.
class KELBOR_API Variant : public KelborComponent {
 public:
  const char* getType() const override { return "variant"; }
  kstr::bcomptype getEnumType() const override { return kstr::variant; }

  virtual bool getActive() const = 0;
  virtual void setActive(bool active) = 0;
  // Rewrites the content entries that name the component (only those of
  // the given indices when the set is not empty); answers the indices of
  // the entries it rewrote.
  virtual std::set<uint64_t> componentRename(const KelborComponent* component,
                                             std::string newName,
                                             const std::set<uint64_t>& entries) = 0;
  // The indices of the content entries that refer to the component.
  virtual std::vector<uint64_t> getUsageLocations(const KelborComponent* component) const = 0;
};
