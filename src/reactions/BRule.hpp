#pragma once

#include "core/KelborApi.hpp"
#include "expressions/ExpressionBasedComponent.hpp"

// A rule of the model.  The model holds rules through this class and
// calls only what is declared here.
class KELBOR_API BRule : public ExpressionBasedComponent {
 public:
  const char* getType() const override { return "rule"; }
  kstr::bcomptype getEnumType() const override { return kstr::rule; }

  // Called by the model after taking the rule out of its list.
  virtual void removeDependentState() = 0;
};
