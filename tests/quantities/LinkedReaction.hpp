// The smallest reaction of the shared test support, completed with the
// kinetic-law calls the tree wiring makes; it can refuse a model or a law
// to show what a refusal after the host side was wired leaves behind.
#pragma once

#include <obk/Exception.hpp>

#include "support/ProbeReaction.hpp"

namespace qtest {

// A reaction that also records its kinetic law's host handle.  With
// refuseModel it raises when a model becomes its parent (the model layer
// refusing it after the host side was wired).
class LinkedReaction : public ProbeReaction {
 public:
  OBInterface* lawInstance = nullptr;
  bool refuseModel = false;
  bool refuseLaw = false;
  void setKineticLaw(BKineticLaw* newLaw) override {
    if (refuseLaw && newLaw) throw ErrorIdException("Test:LawRefused", "refused");
    law = newLaw;
  }
  OBInterface* getOBIKineticLaw() const override { return lawInstance; }
  void setOBIKineticLaw(OBInterface* instance) override { lawInstance = instance; }
  void setParent(KelborComponent* parent) override {
    if (refuseModel && parent && parent->getEnumType() == kstr::kstrmodel) {
      throw ErrorIdException("Test:ModelRefused", "refused");
    }
    ProbeReaction::setParent(parent);
  }
};

}  // namespace qtest
