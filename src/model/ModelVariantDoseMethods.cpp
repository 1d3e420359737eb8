// The Model methods of variants and doses: add, remove and get.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include <ks_utils/Errors.hpp>

#include "configsets/Configset.hpp"
#include "core/PropertyValuePairs.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "model/BQuorvixRoot.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "model/ModelGlue.hpp"
#include "model/ModelMethodSupport.hpp"
#include "model/ModelMethods.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BEvent.hpp"
#include "reactions/BReaction.hpp"
#include "reactions/BRule.hpp"
#include "variants_doses/Dose.hpp"
#include "variants_doses/Variant.hpp"

using namespace kstr::model;
using namespace kstr::model::methods;
using Code = kstr::MessageCode;

namespace {

// Keeps an instance alive until the host's current call ends, so that a
// result the tree no longer holds survives until the host took its own
// reference.  Outside a host call nothing is done.
void keepAliveForCall(OBInterface* instance) {
  if (!instance || qxCallScopeDepth() == 0) return;
  qxArray* holder = qxCreateHandleArray(1, 1);
  qxSetHandle(holder, 0, instance);
}

std::string lowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// A new instance of a dose class with the name as its one constructor
// argument.
OBInterface* newDose(const char* className, OBInterface* model, const std::string& name) {
  OBClass* cls = requireKestrionClass(className);
  qxArray* text = qxCreateString(name.c_str());
  OBInterface* dose = nullptr;
  try {
    dose = cls->createObject(internalClient(), model, 1, &text);
  } catch (...) {
    qxDestroyArray(text);
    throw;
  }
  qxDestroyArray(text);
  return dose;
}

}  // namespace

// --- addvariant / removevariant ---------------------------------------------------------

Model_AddVariant_MI::Model_AddVariant_MI() {
  setName("addvariant");
  byName_ = new OBMethodSignature({"handle", "string"}, {"handle"});
  addMethodSignature(byName_);
  addMethodSignature(new OBMethodSignature({"handle", "Kestrion.Variant"}, {"handle"}));
}

void Model_AddVariant_MI::invoke(OBMethodSignature* matched, int& nOut, void* outs[], int,
                                 void* const ins[]) {
  OBInterface* inst = handleArg(ins, 0);
  Kelbor* model = requireModel(inst);
  if (!isTopLevelModel(inst)) {
    kstr_error("Kestrion:VariantObjectsAddOnTopLevelModel",
               kstr::code(kstr::MessageCode::KS_PATCH_ADD_ON_TOP_LEVEL_MODEL));
  }
  OBInterface* fresh = nullptr;
  if (matched == byName_) {
    OBClass* cls = requireKestrionClass("Variant");
    qxArray* name = qxCreateString(textOrEmpty(textArg(ins, 1)).c_str());
    try {
      fresh = cls->createObject(internalClient(), inst, 1, &name);
    } catch (...) {
      qxDestroyArray(name);
      throw;
    }
    qxDestroyArray(name);
  } else {
    OBInterface* given = handleArg(ins, 1);
    if (!given) {
      kstr_error("Kestrion:AddVariantNotVariant", kstr::code(kstr::MessageCode::KS_ADDPATCH_NOT_PATCH));
    }
    fresh = given->copy(internalClient());
  }
  CreatedInstance created(fresh);
  auto* variant = isInstanceOf(fresh, "Variant") ? dynamic_cast<Variant*>(componentOf(fresh)) : nullptr;
  if (!variant) {
    kstr_error("Kestrion:AddVariantNotVariant", kstr::code(kstr::MessageCode::KS_ADDPATCH_NOT_PATCH));
  }
  variant->setActive(false);
  model->addVariant(variant);
  fresh->addBelow(inst);
  created.keep();
  variant->setOBIParent(inst);
  variant->setParent(model);
  postChildAdded(inst, fresh, "variant");
  nOut = 1;
  outs[0] = fresh;
}

Model_RemoveVariant_MI::Model_RemoveVariant_MI() {
  setName("removevariant");
  byName_ = new OBMethodSignature({"handle", "string"}, {"handle"});
  addMethodSignature(byName_);
  addMethodSignature(new OBMethodSignature({"handle", "Kestrion.Variant"}, {"handle"}));
}

void Model_RemoveVariant_MI::invoke(OBMethodSignature* matched, int& nOut, void* outs[], int,
                                    void* const ins[]) {
  OBInterface* inst = handleArg(ins, 0);
  Kelbor* model = requireModel(inst);
  if (!isTopLevelModel(inst)) {
    kstr_error("Kestrion:VariantObjectsRemoveOnTopLevelModel",
               kstr::code(kstr::MessageCode::KS_PATCH_REMOVE_ON_TOP_LEVEL_MODEL));
  }
  const Variant* variant = nullptr;
  OBInterface* handle = nullptr;
  if (matched == byName_) {
    variant = model->getVariant(textOrEmpty(textArg(ins, 1)));
    handle = variant ? variant->getOBI() : nullptr;
  } else {
    handle = handleArg(ins, 1);
    variant = isInstanceOf(handle, "Variant") ? dynamic_cast<const Variant*>(componentOf(handle)) : nullptr;
    if (variant && !model->containsVariant(variant)) variant = nullptr;
  }
  if (!variant) {
    warn("Kestrion:RemoveVariantDoesNotExist", kstr::MessageCode::KS_REMOVEPATCH_DOES_NOT_EXIST);
    return;
  }
  auto* owned = const_cast<Variant*>(variant);
  owned->setParent(nullptr);
  owned->setOBIParent(nullptr);
  model->removeVariant(variant);
  nOut = 1;
  outs[0] = handle;
  if (handle && handle->getUp()) {
    keepAliveForCall(handle);
    handle->addBelow(nullptr);
  }
}

// --- getvariant / getdose ---------------------------------------------------------------

namespace {

// The one-name and the all-components forms shared by getvariant and getdose.
template <class Component, class ByName, class Count, class At>
void getComponents(bool byName, const char* name, int& nOut, void* outs[], ByName find, Count count,
                   At at) {
  nOut = 1;
  if (byName) {
    const Component* found = find(textOrEmpty(name));
    outs[0] = found ? found->getOBI() : nullptr;
    return;
  }
  auto* all = new Vector();
  for (uint64_t i = 0; i < count(); ++i) {
    OBInterface* handle = at(i)->getOBI();
    if (!handle) continue;
    handle->getReference();
    all->addElement(handle);
  }
  outs[0] = all;
}

}  // namespace

Model_GetVariant_MI::Model_GetVariant_MI() {
  setName("getvariant");
  byName_ = new OBMethodSignature({"handle", "string"}, {"handle"});
  addMethodSignature(byName_);
  addMethodSignature(new OBMethodSignature({"handle"}, {"handle vector"}));
}

void Model_GetVariant_MI::invoke(OBMethodSignature* matched, int& nOut, void* outs[], int,
                                 void* const ins[]) {
  OBInterface* inst = handleArg(ins, 0);
  Kelbor* model = requireModel(inst);
  if (!isTopLevelModel(inst)) {
    throw ErrorIdException("Kestrion:VariantObjectsOnTopLevelModel",
                           "Variant objects can only be retrieved from top-level models.");
  }
  const bool byName = matched == byName_;
  getComponents<Variant>(
      byName, byName ? textArg(ins, 1) : nullptr, nOut, outs,
      [model](const std::string& name) { return model->getVariant(name); },
      [model] { return model->getNumVariants(); }, [model](uint64_t i) { return model->getVariantAt(i); });
}

Model_GetDose_MI::Model_GetDose_MI() {
  setName("getdose");
  byName_ = new OBMethodSignature({"handle", "string"}, {"handle"});
  addMethodSignature(byName_);
  addMethodSignature(new OBMethodSignature({"handle"}, {"handle vector"}));
}

void Model_GetDose_MI::invoke(OBMethodSignature* matched, int& nOut, void* outs[], int,
                              void* const ins[]) {
  OBInterface* inst = handleArg(ins, 0);
  Kelbor* model = requireModel(inst);
  if (!isTopLevelModel(inst)) {
    throw ErrorIdException("Kestrion:DoseObjectsOnTopLevelModel",
                           "Dose objects can only be retrieved from top-level models.");
  }
  const bool byName = matched == byName_;
  getComponents<Dose>(
      byName, byName ? textArg(ins, 1) : nullptr, nOut, outs,
      [model](const std::string& name) { return model->getDose(name); },
      [model] { return model->getNumDoses(); }, [model](uint64_t i) { return model->getDoseAt(i); });
}

// --- adddose / removedose ----------------------------------------------------------------------

Model_AddDose_MI::Model_AddDose_MI() {
  setName("adddose");
  byName_ = new OBMethodSignature({"handle", "string"}, {"handle"});
  byDose_ = new OBMethodSignature({"handle", "Kestrion.Dose"}, {"handle"});
  addMethodSignature(byName_);
  addMethodSignature(byDose_);
  addMethodSignature(new OBMethodSignature({"handle", "string", "string"}, {"handle"}));
}

void Model_AddDose_MI::invoke(OBMethodSignature* matched, int& nOut, void* outs[], int,
                              void* const ins[]) {
  nOut = 1;
  outs[0] = nullptr;
  OBInterface* inst = handleArg(ins, 0);
  Kelbor* model = requireModel(inst);
  if (!isTopLevelModel(inst)) fail("Kestrion:DOSE_ADD_ON_TOP_LEVEL_MODEL", Code::KS_DOSE_ADD_ON_TOP_LEVEL_MODEL);
  OBInterface* fresh = nullptr;
  if (matched == byDose_) {
    OBInterface* given = handleArg(ins, 1);
    if (!given) throw ErrorIdException("Kestrion:ADDDOSE_INVALID_OBJECT", "The dose to add must not be empty.");
    fresh = given->copy(internalClient());
  } else {
    const char* className = "RepeatDose";
    if (matched != byName_) {
      const std::string type = lowerCase(textOrEmpty(textArg(ins, 2)));
      if (type == "schedule") {
        className = "ScheduleDose";
      } else if (type != "repeat") {
        fail("Kestrion:ADDDOSE_INVALID_TYPE", Code::KS_ADDDOSE_INVALID_TYPE);
      }
    }
    fresh = newDose(className, inst, textOrEmpty(textArg(ins, 1)));
  }
  CreatedInstance created(fresh);
  auto* dose = dynamic_cast<Dose*>(componentOf(fresh));
  if (!dose) throw ErrorIdException("Kestrion:ADDDOSE_INVALID_OBJECT", "The dose to add must be a Kestrion dose.");
  dose->setActive(false);
  model->addDose(dose);
  fresh->addBelow(inst);
  created.keep();
  dose->setOBIParent(inst);
  dose->setParent(model);
  postChildAdded(inst, fresh, "scheduledose");
  outs[0] = fresh;
}

Model_RemoveDose_MI::Model_RemoveDose_MI() {
  setName("removedose");
  byName_ = new OBMethodSignature({"handle", "string"}, {"handle"});
  addMethodSignature(byName_);
  addMethodSignature(new OBMethodSignature({"handle", "Kestrion.Dose"}, {"handle"}));
}

void Model_RemoveDose_MI::invoke(OBMethodSignature* matched, int& nOut, void* outs[], int,
                                 void* const ins[]) {
  OBInterface* inst = handleArg(ins, 0);
  Kelbor* model = requireModel(inst);
  if (!isTopLevelModel(inst)) {
    fail("Kestrion:DOSE_REMOVE_ON_TOP_LEVEL_MODEL", Code::KS_DOSE_REMOVE_ON_TOP_LEVEL_MODEL);
  }
  const Dose* dose = nullptr;
  if (matched == byName_) {
    dose = model->getDose(textOrEmpty(textArg(ins, 1)));
  } else {
    dose = dynamic_cast<const Dose*>(componentOf(handleArg(ins, 1)));
    if (dose && !model->containsDose(dose)) dose = nullptr;
  }
  if (!dose) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:REMOVEDOSE_DOES_NOT_EXIST",
                  kstr::code(Code::KS_REMOVEDOSE_DOES_NOT_EXIST));
    return;
  }
  OBInterface* handle = dose->getOBI();
  auto* owned = const_cast<Dose*>(dose);
  owned->setParent(nullptr);
  owned->setOBIParent(nullptr);
  model->removeDose(dose);
  nOut = 1;
  outs[0] = handle;
  if (handle && handle->getUp()) {
    // The result must outlive the tree's reference until the host took its
    // own: a call-temporary array holds one meanwhile.
    if (qxCallScopeDepth() > 0) qxSetHandle(qxCreateHandleArray(1, 1), 0, handle);
    handle->addBelow(nullptr);
  }
}
