// The methods of the dose host classes.
#include "variants_doses/DoseMethods.hpp"

#include <cstring>

#include <ks_utils/Errors.hpp>

#include "core/QuantityComponent.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "variants_doses/Dose.hpp"
#include "variants_doses/DoseOBC.hpp"

namespace {

OBInterface* handleArg(void* const ins[], int i) { return static_cast<OBInterface*>(ins[i]); }

Dose* requireDose(OBInterface* inst) {
  Dose* dose = doseOf(inst);
  if (!dose) throw ErrorIdException("obk:InvalidObject", "The object has no component.");
  return dose;
}

// The host object of a found quantity, or null.
OBInterface* instanceOf(const kstr::QuantityComponent* found) { return found ? found->getOBI() : nullptr; }

}  // namespace

// --- resolvetarget / resolvedurationparameter ------------------------------------------------

Dose_ResolveTarget_MI::Dose_ResolveTarget_MI() {
  setName("resolvetarget");
  addMethodSignature(new OBMethodSignature({"handle", "handle"}, {"handle"}));
}

void Dose_ResolveTarget_MI::invoke(OBMethodSignature*, int& nOut, void* outs[], int nIn, void* const ins[]) {
  const Dose* dose = requireDose(handleArg(ins, 0));
  const Kelbor* model = nIn > 1 ? kelborFromHandle(handleArg(ins, 1)) : nullptr;
  nOut = 1;
  outs[0] = instanceOf(dose->resolveTarget(model));
}

Dose_ResolveDurationParameter_MI::Dose_ResolveDurationParameter_MI() {
  setName("resolvedurationparameter");
  addMethodSignature(new OBMethodSignature({"handle", "handle"}, {"handle"}));
}

void Dose_ResolveDurationParameter_MI::invoke(OBMethodSignature*, int& nOut, void* outs[], int nIn,
                                              void* const ins[]) {
  const Dose* dose = requireDose(handleArg(ins, 0));
  const Kelbor* model = nIn > 1 ? kelborFromHandle(handleArg(ins, 1)) : nullptr;
  nOut = 1;
  outs[0] = instanceOf(dose->resolveDurationParameter(model));
}

// --- privategetusages --------------------------------------------------------------------------

Dose_GetComponentUsageLocations_MI::Dose_GetComponentUsageLocations_MI() {
  setName("privategetusages");
  addMethodSignature(new OBMethodSignature({"handle", "handle"}, {"string vector"}));
}

void Dose_GetComponentUsageLocations_MI::invoke(OBMethodSignature*, int& nOut, void* outs[], int,
                                                void* const ins[]) {
  const Dose* dose = requireDose(handleArg(ins, 0));
  auto* usages = new StringVector();
  nOut = 1;
  outs[0] = usages;
  OBInterface* used = handleArg(ins, 1);
  const kstr::bcomptype kind = getKestrionObjectEnumType(used);
  if (kind == kstr::species || kind == kstr::parameter || kind == kstr::compartment) {
    dose->privateFindUsages(*usages, componentOf(used));
  }
}

// --- display -----------------------------------------------------------------------------------

void Dose_display_MI::displayOne(int&, void*[], int, void* const ins[]) {
  requireDose(handleArg(ins, 0))->display();
}

void Dose_display_MI::displayVector(int&, void*[], int, void* const ins[]) {
  kstrVector<Dose*> doses;
  if (const auto* given = static_cast<const Vector*>(ins[0])) {
    for (OBInterface* element : given->elements()) doses.push_back(requireDose(element));
  }
  Dose::display(&doses);
}

// --- copyobj ----------------------------------------------------------------------------------------

bool Dose_copyobj_MI::canCopyInto(OBInterface* obj, OBInterface* newParent) {
  const Dose* dose = doseOf(obj);
  if (!dose || !newParent || std::strcmp(newParent->getClass()->getName(), "Model") != 0) return false;
  const Kelbor* model = kelborFromHandle(newParent);
  if (model && model->getDose(dose->getName())) {
    kstr_error("Kestrion:DOSE_WITH_NAME_EXISTS", kstr::code(kstr::MessageCode::KS_DOSE_WITH_NAME_EXISTS));
  }
  return model != nullptr;
}

void Dose_copyobj_MI::attachCopy(OBInterface* copy, OBInterface* newParent, OBInterface*) {
  Dose* dose = requireDose(copy);
  Kelbor* model = kelborFromHandle(newParent);
  model->addDose(dose);
  copy->addBelow(newParent);
  dose->setParent(model);
  dose->setOBIParent(newParent);
}
