#pragma once

#include "core/KelborApi.hpp"
#include "expressions/ExpressionBasedComponent.hpp"

// A event of the model.  The model holds events through this class and
// calls only what is declared here.
class KELBOR_API BEvent : public ExpressionBasedComponent {
 public:
  const char* getType() const override { return "event"; }
  kstr::bcomptype getEnumType() const override { return kstr::event; }

  // Called by the model after taking the event out of its list.
  virtual void removeDependentState() = 0;
};
