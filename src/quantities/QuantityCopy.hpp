// "copyobj" of compartments, species and parameters: where a copy may go
// and how it is put there.  The copy itself (the walk over held objects,
// the deferred attachments, the clean-up of a failed copy) is the generic
// method's.
#pragma once

#include "core/ComponentCopy.hpp"
#include "core/KelborApi.hpp"

class OBClass;

// A compartment goes below a model or a compartment when none of the names
// of its tree is used by a compartment of the target's model (a target
// compartment in no model: when none of its direct sub-compartments has the
// copied compartment's name).
class KELBOR_API Compartment_copyobj_MI : public ModelComponent_copyobj_MI {
 public:
  bool canCopyInto(OBInterface* obj, OBInterface* newParent) override;
  // Below a model: addCompartmentBelowModel.  Below a compartment: the
  // target takes it (BCompartment::addCompartmentHack), then
  // addCompartmentBelowCompartment.  Any other target: nothing.
  void attachCopy(OBInterface* copy, OBInterface* newParent, OBInterface* source) override;
};

// A species goes into a compartment, or into a model's single top-level
// compartment ("unnamed", made when the model has none).  Raises
// "Kestrion:MODEL_COPYOBJ_MULTIPLE_COMPARTMENTS" for a model with several
// top-level compartments and "Kestrion:COPYOBJ_INVALIDARG" when the
// destination holds a species of that name.
class KELBOR_API Species_copyobj_MI : public ModelComponent_copyobj_MI {
 public:
  bool canCopyInto(OBInterface* obj, OBInterface* newParent) override;
  void attachCopy(OBInterface* copy, OBInterface* newParent, OBInterface* source) override;
};

// A parameter goes below a "Model" or a "KineticLaw"; a parameter of that
// name there raises "Kestrion:COPYOBJ_INVALIDARG".
class KELBOR_API Parameter_copyobj_MI : public ModelComponent_copyobj_MI {
 public:
  bool canCopyInto(OBInterface* obj, OBInterface* newParent) override;
  // Below a model: attachParameterToModel.  Below a kinetic law:
  // addParameterBelowKineticLaw (checked, undone when the law refuses).
  void attachCopy(OBInterface* copy, OBInterface* newParent, OBInterface* source) override;
};
