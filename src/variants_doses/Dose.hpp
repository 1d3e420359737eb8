#pragma once

#include <string>

#include "core/KelborApi.hpp"
#include "core/KelborComponent.hpp"

// A dose: an amount given to a target species, scheduled or repeated.
class KELBOR_API Dose : public KelborComponent {
 public:
  virtual bool getActive() const = 0;
  virtual void setActive(bool active) = 0;
  // True when the dose changed since it was last compiled.
  virtual bool isCompileNeeded() const = 0;
  // True when one of the dose's component references denotes the component.
  virtual bool isComponentReferenced(const KelborComponent* component) const = 0;
  // Rewrites the dose's component references that denote the component.
  virtual void componentRename(const KelborComponent* component, std::string newName) = 0;
};
