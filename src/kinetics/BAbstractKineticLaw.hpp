#pragma once

#include "core/KelborApi.hpp"
#include "core/KelborComponent.hpp"

// A rate-law template of a library: a named expression over parameter and
// species variables that kinetic laws are bound to.
class KELBOR_API BAbstractKineticLaw : public KelborComponent {
 public:
  const char* getType() const override { return "abstract_kinetic_law"; }
  kstr::bcomptype getEnumType() const override { return kstr::abstract_kinetic_law; }
};
